#include "core/errors.hpp"

#include <array>

namespace KelvaneConsole {

namespace {

struct CatalogueEntry {
  Long number;
  std::string_view source;
  std::string_view description;
};

constexpr std::array kCatalogue{
    CatalogueEntry{kErrNotLoaded, "KelvaneConsole",
                   "Operation failed.  The console has not yet been loaded."},
    CatalogueEntry{kErrAlreadyLoaded, "KelvaneConsole.Load",
                   "Console already loaded.  You may only use one console per process (application)."},
    CatalogueEntry{kErrInvalidPage, "KelvaneConsole.Screen", "Invalid Page specified."},
    CatalogueEntry{kErrInvalidPage, "KelvaneConsole.zzzHandleFromPage", "Invalid Page specified."},
    CatalogueEntry{kErrInvalidCursor, "KelvaneConsole.SetCursorPos", "Invalid console cursor coordinates."},
    CatalogueEntry{kErrInvalidPage, "KelvaneConsole.DrawHLine", "Invalid page specified."},
    CatalogueEntry{kErrInvalidPage, "KelvaneConsole.DrawVLine", "Invalid page specified."},
    CatalogueEntry{kErrInvalidPage, "KelvaneConsole.DrawBox", "Invalid page specified."},
    CatalogueEntry{kErrInvalidPage, "KelvaneConsole.SaveScreen", "Invalid page specified."},
    CatalogueEntry{kErrInvalidPage, "KelvaneConsole.LoadScreen", "Invalid page specified."},
    CatalogueEntry{kErrPageNotCreated, "KelvaneConsole.SaveScreen",
                   "Invalid Page Index; Page not yet created."},
    CatalogueEntry{kErrFileAccess, "KelvaneConsole.SaveScreen", "Path/File Access Error."},
    CatalogueEntry{kErrFileAccess, "KelvaneConsole.LoadScreen", "Path/File Access Error."},
    CatalogueEntry{kErrInvalidLineOrBox, "KelvaneConsole.DrawHLine",
                   "Invalid X, Y, Width, or Height parameters for Console DrawHLine function."},
    CatalogueEntry{kErrInvalidLineOrBox, "KelvaneConsole.DrawVLine",
                   "Invalid X, Y, Width, or Height parameters for Console DrawVLine function."},
    CatalogueEntry{kErrInvalidLineOrBox, "KelvaneConsole.DrawBox",
                   "Invalid X, Y, Width, or Height parameters for Console DrawBox function."},
};

}  // namespace

std::string_view ErrorDescription(Long number, std::string_view source) {
  for (const auto& entry : kCatalogue) {
    if (entry.number == number && entry.source == source) return entry.description;
  }
  return {};
}

void ThrowOverflow() { throw Error(kErrOverflow, kLibrarySource, "Overflow"); }
void ThrowTypeMismatch() { throw Error(kErrTypeMismatch, kLibrarySource, "Type mismatch"); }

}  // namespace KelvaneConsole
