// DrawBox: the fill in one rectangle write, then shadow strips, edges and corners.
#include <span>

#include "core/console_impl.hpp"
#include "drawing/line_styles.hpp"
#include "drawing/shapes.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

bool Console::Impl::DrawBox(Integer X, Integer Y, Integer& Width, Integer& Height, Long ForeColor,
                            Long BackColor, KSConsoleLineStyles LineStyle, bool DrawShadow,
                            const Variant& PageIndex) {
  constexpr const char* kSource = "KelvaneConsole.DrawBox";
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  if (page < 0 || page >= kPageCount) Raise(kErrInvalidPage, kSource);
  const PageLookup looked_up = ReadPage(page);
  const SmallRect window = looked_up.window;
  CheckDrawingStart(window, X, Y, Width, Height, kSource);
  // Width first, then height; both written back and fixed from here on.
  ClipToFarEdge(X, Width, window.Right);
  ClipToFarEdge(Y, Height, window.Bottom);
  const Integer width = Width;
  const Integer height = Height;

  // The fill. Its cell count is kept in 32 bits: on a large terminal a box can cover more than 32767
  // cells, and it is drawn like any other. Memory for it that cannot be had fails the fill as a refused
  // write does: the result is false, and the shadow and the frame are still drawn.
  const bool keep = KeepsCharacters(LineStyle);
  const auto attribute = static_cast<Word>(zzzColorsToAttribute(ForeColor, BackColor));
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  bool result = false;
  Step([&] {
    const std::span<plat::CharInfo> cells = ScratchCells(count);
    FillCells(cells, plat::CharInfo{' ', attribute});
    result = WriteCells(looked_up.handle, cells, Coord{X, Y}, Coord{width, height}, keep);
  });

  const Variant on_page(page);
  const std::int32_t right = X + width;   // first column right of the box
  const std::int32_t below = Y + height;  // first row below the box
  if (DrawShadow) {
    // Dark grey on black, colours only: the shadow darkens what it falls on. Each strip gets its own
    // copy of the length, so that its clipping never shortens the box. A strip whose first cell is off
    // the window is left out.
    if (InWindow(window, X + 2, below)) {
      Integer length = width;
      Step([&] {
        DrawHLine(static_cast<Integer>(X + 2), static_cast<Integer>(below), length, kDarkGrey, 0,
                  kcLineColorOnly, on_page);
      });
    }
    if (InWindow(window, right, Y + 1)) {
      Integer length = height;
      Step([&] {
        DrawVLine(static_cast<Integer>(right), static_cast<Integer>(Y + 1), length, kDarkGrey, 0,
                  kcLineColorOnly, on_page);
      });
    }
    if (InWindow(window, right + 1, Y + 1)) {
      Integer length = height;
      Step([&] {
        DrawVLine(static_cast<Integer>(right + 1), static_cast<Integer>(Y + 1), length, kDarkGrey, 0,
                  kcLineColorOnly, on_page);
      });
    }
  }
  if (keep) return result;

  // The frame: vertical edges last, so each corner holds the vertical character until replaced.
  const auto last_column = static_cast<Integer>(X + width - 1);
  const auto last_row = static_cast<Integer>(Y + height - 1);
  auto edge = [&](bool horizontal, Integer x, Integer y, Integer length) {
    Step([&] {
      if (horizontal) {
        DrawHLine(x, y, length, ForeColor, BackColor, LineStyle, on_page);
      } else {
        DrawVLine(x, y, length, ForeColor, BackColor, LineStyle, on_page);
      }
    });
  };
  edge(true, X, Y, width);
  edge(true, X, last_row, width);
  edge(false, X, Y, height);
  edge(false, last_column, Y, height);

  const LineStyleCharacters& style = CharactersOf(LineStyle);
  if (style.top_left == 0) return result;
  auto corner = [&](std::uint8_t byte, Integer x, Integer y) {
    char c = static_cast<char>(byte);
    String character = plat::Utf8FromAnsi(std::string_view(&c, 1));
    Step([&] { SetScreenData(character, ForeColor, BackColor, Variant(x), Variant(y), on_page); });
  };
  corner(style.top_left, X, Y);
  corner(style.top_right, last_column, Y);
  corner(style.bottom_left, X, last_row);
  corner(style.bottom_right, last_column, last_row);
  return result;
}

}  // namespace KelvaneConsole
