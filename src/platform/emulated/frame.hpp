// What a presenter is handed: the changes to the active buffer's window since the last frame, with the
// cells of exactly the spans that changed, so that bringing a copy of the screen up to date costs in
// proportion to what changed, not to the window's size.
#pragma once

#include <string>
#include <vector>

#include "platform/console_platform.hpp"

namespace kelvane::platform {

struct ConsoleFrame {
  struct Span {  // part of one window row, columns inclusive
    Short row = 0;
    Short left = 0;
    Short right = 0;
  };

  bool repaint = false;  // the spans cover the whole window: another buffer, window, size or console
  int scrolled = 0;      // without a repaint: the shown rows moved up this many rows before the spans apply
  Coord size;            // the window's columns and rows (0 x 0 without a console)
  std::vector<Span> spans;      // in row order, each row at most once; window coordinates
  std::vector<CharInfo> cells;  // the spans' cells, one span after another

  bool cursor_changed = false;  // position, size or visibility
  Coord cursor;                 // relative to the window; may lie outside it
  Dword cursor_size = 25;
  bool cursor_visible = true;

  bool title_changed = false;
  std::string title;  // code page 437 bytes; filled only when it changed

  bool display_mode_changed = false;
  bool full_screen = false;

  bool input_mode_changed = false;
  Dword input_mode = 0;

  bool HasChanges() const {
    return repaint || scrolled != 0 || !spans.empty() || cursor_changed || title_changed ||
           display_mode_changed || input_mode_changed;
  }
};

// Shows frames, in the order they were taken. Called without the console's lock, one frame at a time;
// it must not call the console back, and it never throws: a presenter that cannot show a frame
// (the terminal is gone) drops it.
class Presenter {
 public:
  virtual ~Presenter() = default;
  virtual void Present(const ConsoleFrame& frame) noexcept = 0;
};

}  // namespace kelvane::platform

namespace kelvane::platform::emulated {

struct ScreenBuffer;

// Collects what changed in the active buffer's window between two frames: per row the span of columns
// written, the rows scrolled, and the flags. Marking costs in proportion to the cells written; taking a
// frame in proportion to the rows marked.
class FrameTracker {
 public:
  // Cells of rows [top, bottom] and columns [left, right] of `buffer` (buffer coordinates) were written;
  // what lies outside the window is ignored.
  void MarkCells(const ScreenBuffer& buffer, int left, int top, int right, int bottom);
  // `buffer` scrolled up one row (every row of its window shows the row below).
  void MarkScrolled(const ScreenBuffer& buffer);
  void MarkRepaint() { repaint_ = true; }
  void MarkCursor() { cursor_ = true; }
  void MarkTitle() { title_ = true; }
  void MarkDisplayMode() { display_mode_ = true; }
  void MarkInputMode() { input_mode_ = true; }

  bool Any() const {
    return repaint_ || scrolled_ != 0 || !dirty_.empty() || cursor_ || title_ || display_mode_ || input_mode_;
  }
  void Clear();

  // The frame of the changes so far for `active` (nullptr: no console), written over `frame`, whose
  // storage is kept for the next one. Clears nothing.
  void Fill(ConsoleFrame& frame, const ScreenBuffer* active, const std::string& title, bool full_screen,
            Dword input_mode) const;

 private:
  struct RowSpan {
    int left = 1;
    int right = 0;  // left > right: nothing written in the row
  };
  void Fit(int height);

  bool repaint_ = false;
  int scrolled_ = 0;
  std::vector<RowSpan> rows_;  // per window row
  std::vector<int> dirty_;     // the rows with a span, in the order first written
  bool cursor_ = false;
  bool title_ = false;
  bool display_mode_ = false;
  bool input_mode_ = false;
};

}  // namespace kelvane::platform::emulated
