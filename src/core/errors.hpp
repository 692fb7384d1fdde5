// The numbered errors of the library, their sources and texts, in one catalogue.
#pragma once

#include <kelvane/console.hpp>

#include <string_view>

namespace KelvaneConsole {

inline constexpr Long kErrNotLoaded = 30052;
inline constexpr Long kErrInvalidPage = 30053;
inline constexpr Long kErrInvalidCursor = 30056;
inline constexpr Long kErrAlreadyLoaded = 30057;
inline constexpr Long kErrPageNotCreated = 30058;
inline constexpr Long kErrInvalidLineOrBox = 30059;
inline constexpr Long kErrFileAccess = 75;

inline constexpr Long kErrOverflow = 6;
inline constexpr Long kErrTypeMismatch = 13;

inline constexpr Long kHelpContext = 1000;
inline constexpr const char* kHelpFileName = "KelvaneSG3.chm";
inline constexpr const char* kLibrarySource = "KelvaneConsole";

// The description of a numbered error as the given source reports it ("KelvaneConsole.Screen" says
// "Invalid Page specified.", the drawing members "Invalid page specified."). Empty when the pair is
// not in the catalogue.
std::string_view ErrorDescription(Long number, std::string_view source);

// The runtime errors of the automation conversions.
[[noreturn]] void ThrowOverflow();
[[noreturn]] void ThrowTypeMismatch();

}  // namespace KelvaneConsole
