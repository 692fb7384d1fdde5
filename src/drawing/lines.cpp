// DrawHLine and DrawVLine: one rectangle write per line (and one read when the characters are kept).
#include <span>

#include "core/console_impl.hpp"
#include "drawing/line_styles.hpp"
#include "drawing/shapes.hpp"

namespace KelvaneConsole {

bool Console::Impl::DrawHLine(Integer X, Integer Y, Integer& Width, Long ForeColor, Long BackColor,
                              KSConsoleLineStyles LineStyle, const Variant& PageIndex) {
  return DrawLine(true, X, Y, Width, ForeColor, BackColor, LineStyle, PageIndex);
}

bool Console::Impl::DrawVLine(Integer X, Integer Y, Integer& Height, Long ForeColor, Long BackColor,
                              KSConsoleLineStyles LineStyle, const Variant& PageIndex) {
  return DrawLine(false, X, Y, Height, ForeColor, BackColor, LineStyle, PageIndex);
}

bool Console::Impl::DrawLine(bool horizontal, Integer X, Integer Y, Integer& Length, Long ForeColor,
                             Long BackColor, KSConsoleLineStyles LineStyle, const Variant& PageIndex) {
  const char* source = horizontal ? "KelvaneConsole.DrawHLine" : "KelvaneConsole.DrawVLine";
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  if (page < 0 || page >= kPageCount) Raise(kErrInvalidPage, source);
  const PageLookup looked_up = ReadPage(page);
  const SmallRect& window = looked_up.window;
  if (horizontal) {
    CheckDrawingStart(window, X, Y, Length, 1, source);
    ClipToFarEdge(X, Length, window.Right);
  } else {
    CheckDrawingStart(window, X, Y, 1, Length, source);
    ClipToFarEdge(Y, Length, window.Bottom);
  }
  const LineStyleCharacters& style = CharactersOf(LineStyle);
  const std::uint8_t character = horizontal ? style.horizontal : style.vertical;
  const auto attribute = static_cast<Word>(zzzColorsToAttribute(ForeColor, BackColor));
  const Coord size = horizontal ? Coord{Length, 1} : Coord{1, Length};
  bool result = false;
  Step([&] {
    const std::span<plat::CharInfo> cells = ScratchCells(static_cast<size_t>(Length));
    FillCells(cells, plat::CharInfo{character, attribute});
    result = WriteCells(looked_up.handle, cells, Coord{X, Y}, size, character == 0);
  });
  return result;
}

}  // namespace KelvaneConsole
