// A screen buffer of the emulated console: its cells, window, cursor, attributes and mode, with the
// geometry every operation on cells shares (transfer clipping, fill spans, scrolling, the window that
// follows the cursor). Plain data and pure arithmetic: the console's lock is held by the caller.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/console_platform.hpp"

namespace kelvane::platform::emulated {

// Attribute bits a cell keeps: the colours, the grid lines, reverse video and underscore. The lead and
// trail byte flags (0x0100, 0x0200) belong to double-width glyphs and 0x2000 is dropped.
inline constexpr Word kStoredCellAttributeBits = 0xDCFF;

inline int Width(const SmallRect& r) { return r.Right - r.Left + 1; }
inline int Height(const SmallRect& r) { return r.Bottom - r.Top + 1; }
inline bool Contains(const SmallRect& r, int x, int y) {
  return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}

struct ScreenBuffer {
  Coord size;
  std::vector<CharInfo> cells;
  SmallRect window;
  Coord cursor;
  Word attributes = 0x07;
  Word popup_attributes = 0x07;
  Dword cursor_size = 25;
  bool cursor_visible = true;
  Dword mode = kEnableProcessedOutput | kEnableWrapAtEolOutput;
  int open_handles = 0;

  ScreenBuffer(Coord size, SmallRect window, Word attributes);

  CharInfo& At(int x, int y) { return cells[static_cast<size_t>(y) * size.X + x]; }
  const CharInfo& At(int x, int y) const { return cells[static_cast<size_t>(y) * size.X + x]; }
  int WindowWidth() const { return Width(window); }
  int WindowHeight() const { return Height(window); }
  bool CursorInWindow() const { return Contains(window, cursor.X, cursor.Y); }

  // Row 0 is discarded, every row moves up one and the new last row is blank in the text attribute.
  void ScrollUp();
  // Shifts the window by the least amount that shows the cursor, keeping its size and staying inside
  // the buffer. True when the window moved.
  bool ShowCursor();
  // New size (cells kept where they overlap, new cells blank in the text attribute) and window; the
  // cursor is kept inside. The caller has checked that the window lies inside the size.
  void Resize(Coord new_size, SmallRect new_window);
};

// A window is never larger than its buffer, nor than the console window; a window a test control placed
// larger than the console window still counts as possible.
Coord LargestWindow(const ScreenBuffer& buffer, Coord display_size);

// The rectangle of a cell transfer (ReadConsoleOutput/WriteConsoleOutput) and the caller's array.
struct Transfer {
  SmallRect region;  // as the caller gave it
  Coord array_size;
  Coord array_origin;

  // Left > Right, Top > Bottom, or an origin outside the array.
  bool BadArguments() const;
  // The region cut to what the array holds from its origin on, as the console cuts it before it looks
  // at the buffer. Never wider or taller than the region; empty (Right < Left) when the array holds
  // nothing.
  SmallRect ClippedToArray() const;
  // ClippedToArray() cut to the buffer as well; empty when nothing of it lies in the buffer.
  SmallRect ClippedTo(Coord buffer_size) const;
  // Where the cell at buffer position (x, y) sits in the caller's array.
  size_t ArrayIndex(int x, int y) const;
};

inline bool IsEmpty(const SmallRect& r) { return r.Left > r.Right || r.Top > r.Bottom; }

// Cells from `start` in row order to the end of the buffer, at most `length`; 0 when the start lies
// outside the buffer.
Dword FillSpan(Coord size, Coord start, Dword length);

}  // namespace kelvane::platform::emulated
