#include "platform/emulated/text_writer.hpp"

#include <algorithm>

#include "platform/emulated/frame.hpp"
#include "platform/emulated/screen_buffer.hpp"

namespace kelvane::platform::emulated {

void WriteText(ScreenBuffer& buffer, const unsigned char* bytes, Dword count, FrameTracker* shown) {
  const bool processed = buffer.mode & kEnableProcessedOutput;
  const bool wrap = buffer.mode & kEnableWrapAtEolOutput;
  const bool auto_return = !(buffer.mode & kDisableNewlineAutoReturn);
  const bool cursor_was_in_view = buffer.CursorInWindow();
  const int width = buffer.size.X;
  int x = buffer.cursor.X;
  int y = buffer.cursor.Y;
  int run_start = x;  // column where the current run of printable characters began
  int min_row = y;
  int max_row = y;
  int first_column = width;  // columns written, for a write that stays on its row
  int last_column = -1;

  auto new_line = [&](bool to_column_zero) {
    if (to_column_zero) x = 0;
    if (y + 1 >= buffer.size.Y) {
      buffer.ScrollUp();
      if (shown) shown->MarkScrolled(buffer);
      --min_row;
    } else {
      ++y;
    }
    max_row = std::max(max_row, y);
  };
  auto put = [&](unsigned char byte) {
    buffer.At(x, y) = CharInfo{byte, buffer.attributes};
    first_column = std::min(first_column, x);
    last_column = std::max(last_column, x);
    ++x;
    if (x >= width) {
      if (wrap) {
        // No delayed wrap: the cursor goes to the next row at once, scrolling at the bottom.
        new_line(true);
      } else {
        // Without wrap the run's overflow comes back to where the run started.
        x = run_start;
      }
    }
  };

  for (Dword i = 0; i < count; ++i) {
    unsigned char byte = bytes[i];
    if (!processed) {
      put(byte);
      continue;
    }
    switch (byte) {
      case 7:  // BEL: a beep, nothing on the screen
        run_start = x;
        break;
      case 8:  // BS: one column left, not erasing; nothing at column 0
        if (x > 0) --x;
        run_start = x;
        break;
      case 9: {  // TAB: spaces to the next stop of 8
        int spaces = std::min(width - x, 8 - (x % 8));
        run_start = x;
        for (int n = 0; n < spaces; ++n) put(' ');
        run_start = x;
        break;
      }
      case 10:  // LF
        new_line(auto_return);
        run_start = x;
        break;
      case 13:  // CR
        x = 0;
        run_start = x;
        break;
      case 0:  // NUL shows as a space, a run of its own
        run_start = x;
        put(' ');
        run_start = x;
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          // Another control character shows as its glyph, also a run of its own.
          run_start = x;
          put(byte);
          run_start = x;
        } else {
          put(byte);
        }
        break;
    }
  }
  buffer.cursor = Coord{static_cast<Short>(x), static_cast<Short>(y)};
  if (shown) {
    if (min_row != max_row) {
      shown->MarkCells(buffer, 0, std::max(min_row, 0), width - 1, max_row);
    } else if (first_column <= last_column) {
      shown->MarkCells(buffer, first_column, y, last_column, y);
    }
    shown->MarkCursor();
  }
  // The window follows the cursor by the least movement when the cursor was in view before, unless
  // the cursor is hidden.
  if (cursor_was_in_view && buffer.cursor_visible && buffer.ShowCursor() && shown) shown->MarkRepaint();
}

}  // namespace kelvane::platform::emulated
