// GetInputLine: a line typed with the library's own echo and Backspace editing. The console's line
// editing is off (raw input), so the cell of the next character is tracked here, on the assumption that
// every echoed byte takes one cell and the console wraps at the window's right edge; the console's
// cursor is not read again while the line is typed.
#include <algorithm>
#include <cstdint>

#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

namespace {

constexpr char kBackspace = 8;
constexpr char kTab = 9;
constexpr char kEnter = 13;

// A tracked cell in 32 bits: the start row goes up a row each time the echo scrolls the page, and a
// long enough line in a narrow window would take it below row -32768.
struct Tracked {
  std::int32_t x;
  std::int32_t y;
};

Coord ToCoord(Tracked cell) {
  auto clamp = [](std::int32_t v) {
    return static_cast<plat::Short>(std::clamp<std::int32_t>(v, -32768, 32767));
  };
  return Coord{clamp(cell.x), clamp(cell.y)};
}

}  // namespace

String Console::Impl::GetInputLine(const String& Prompt, Long MaxLength, const Variant& PageIndex) {
  if (!Loaded()) return String();
  const Integer page = ResolvePage(PageIndex);
  const Handle handle = HandleOf(page);
  if (!Prompt.empty()) Step([&] { WriteText(Prompt, Missing, Missing, true, Variant(page)); });
  if (!zzzSetInputMode(3)) return String();
  // The echo takes the colours of the cell after the prompt, not the page's current colours, and
  // leaves them the page's current colours.
  String character;
  Long fore = 0;
  Long back = 0;
  const PageLookup at = ReadCellOn(ReadBuffer(handle), page, -1, -1, character, fore, back);
  Os().SetConsoleTextAttribute(handle, static_cast<Word>(zzzColorsToAttribute(fore, back)));
  const SmallRect window = at.window;
  Tracked next{at.cursor.X, at.cursor.Y};
  Tracked start = next;
  Os().FlushConsoleInputBuffer(mStdInput);  // keys typed ahead are not part of the line
  std::string typed;                        // one byte per character, as the console reads them
  for (;;) {
    char byte = 0;
    plat::Dword read = 0;
    // Once input has ended for good (or the read fails) nothing more will come: the line is what was
    // typed so far.
    if (Os().ReadConsoleA(mStdInput, &byte, 1, &read) == 0) break;
    if (read < 1) continue;
    if (byte == kEnter || byte == kTab) break;  // neither echoed nor taken
    plat::Dword written = 0;
    if (byte == kBackspace) {
      if (!typed.empty()) typed.pop_back();
      // Back one cell, across a row boundary if need be, but not past the start of the line; the cell
      // reached is blanked (its colours stay) and the cursor put there.
      if (next.x > start.x || next.y > start.y) {
        if (next.x == window.Left) {
          next = Tracked{window.Right, next.y - 1};
        } else {
          --next.x;
        }
      }
      Os().FillConsoleOutputCharacterA(handle, ' ', 1, ToCoord(next), &written);
      Os().SetConsoleCursorPosition(handle, ToCoord(next));
      continue;
    }
    // Any other character, control characters included. A negative MaxLength takes none.
    if (MaxLength != 0 && static_cast<std::int64_t>(typed.size()) >= MaxLength) continue;
    typed += byte;
    if (++next.x > window.Right) {
      next.x = window.Left;
      // Past the bottom row the console scrolls the page up, and the start of the line goes up with it.
      if (++next.y > window.Bottom) {
        next.y = window.Bottom;
        --start.y;
      }
    }
    Os().WriteConsoleA(handle, &byte, 1, &written);
  }
  Os().FlushConsoleInputBuffer(mStdInput);  // and so are the keys typed after the end of the line
  mCursorPos = ToCoord(next);
  return plat::Utf8FromAnsi(typed);
}

}  // namespace KelvaneConsole
