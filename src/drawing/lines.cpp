// DrawHLine and DrawVLine: one rectangle write per line (and one read when the characters are kept).
#include <vector>

#include "core/console_impl.hpp"
#include "drawing/line_styles.hpp"

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
  const Handle handle = looked_up.handle;
  const SmallRect window = looked_up.window;
  // The start must lie in the page's visible window, not merely in its buffer.
  if (X < window.Left || X > window.Right || Y < window.Top || Y > window.Bottom || Length < 1) {
    Raise(kErrInvalidLineOrBox, source);
  }
  // Only the far end is clipped, in 32 bits so that a length reaching past 32767 clips too.
  if (horizontal) {
    if (std::int32_t{X} + Length - 1 > window.Right) Length = static_cast<Integer>(window.Right - X + 1);
  } else {
    if (std::int32_t{Y} + Length - 1 > window.Bottom) Length = static_cast<Integer>(window.Bottom - Y + 1);
  }
  const Coord size = horizontal ? Coord{Length, 1} : Coord{1, Length};
  const Coord origin{0, 0};
  const SmallRect target{X, Y, static_cast<Integer>(X + size.X - 1), static_cast<Integer>(Y + size.Y - 1)};
  const LineStyleCharacters& style = CharactersOf(LineStyle);
  const std::uint8_t character = horizontal ? style.horizontal : style.vertical;
  const auto attribute = static_cast<Word>(zzzColorsToAttribute(ForeColor, BackColor));
  std::vector<plat::CharInfo> cells(static_cast<size_t>(Length), plat::CharInfo{character, attribute});
  if (character == 0) {
    std::vector<plat::CharInfo> kept(cells.size());
    SmallRect region = target;
    // Without the cells as they are, writing would put NULs over the text the line should keep.
    if (Os().ReadConsoleOutputA(handle, kept.data(), size, origin, &region) == 0) return false;
    for (size_t i = 0; i < cells.size(); ++i) cells[i].Char = kept[i].Char & 0xFF;
  }
  SmallRect region = target;
  return Os().WriteConsoleOutputA(handle, cells.data(), size, origin, &region) != 0;
}

}  // namespace KelvaneConsole
