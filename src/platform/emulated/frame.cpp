#include "platform/emulated/frame.hpp"

#include <algorithm>

#include "platform/emulated/screen_buffer.hpp"

namespace kelvane::platform::emulated {

void FrameTracker::Fit(int height) {
  if (rows_.size() == static_cast<size_t>(height)) return;
  rows_.assign(static_cast<size_t>(height), RowSpan{});
  dirty_.clear();
}

void FrameTracker::MarkCells(const ScreenBuffer& buffer, int left, int top, int right, int bottom) {
  if (repaint_) return;
  const SmallRect& w = buffer.window;
  const int first = std::max<int>(top, w.Top);
  const int last = std::min<int>(bottom, w.Bottom);
  const int from = std::max<int>(left, w.Left) - w.Left;
  const int to = std::min<int>(right, w.Right) - w.Left;
  if (first > last || from > to) return;
  Fit(buffer.WindowHeight());
  for (int y = first - w.Top; y <= last - w.Top; ++y) {
    RowSpan& span = rows_[static_cast<size_t>(y)];
    if (span.left > span.right) {
      dirty_.push_back(y);
      span = RowSpan{from, to};
    } else {
      span.left = std::min(span.left, from);
      span.right = std::max(span.right, to);
    }
  }
}

void FrameTracker::MarkScrolled(const ScreenBuffer& buffer) {
  if (repaint_) return;
  const int height = buffer.WindowHeight();
  Fit(height);
  if (++scrolled_ >= height) {
    repaint_ = true;
    return;
  }
  // Every marked row moves up one; the top one leaves the window. Only the marked rows are touched.
  std::sort(dirty_.begin(), dirty_.end());
  size_t kept = 0;
  for (int row : dirty_) {
    RowSpan span = rows_[static_cast<size_t>(row)];
    rows_[static_cast<size_t>(row)] = RowSpan{};
    if (row == 0) continue;
    rows_[static_cast<size_t>(row - 1)] = span;
    dirty_[kept++] = row - 1;
  }
  dirty_.resize(kept);
  // The row that comes in at the bottom is new.
  const int bottom = height - 1;
  if (rows_[static_cast<size_t>(bottom)].left > rows_[static_cast<size_t>(bottom)].right)
    dirty_.push_back(bottom);
  rows_[static_cast<size_t>(bottom)] = RowSpan{0, buffer.WindowWidth() - 1};
}

void FrameTracker::Clear() {
  repaint_ = false;
  scrolled_ = 0;
  // Only the marked rows: the rest are clean already.
  for (int row : dirty_) rows_[static_cast<size_t>(row)] = RowSpan{};
  dirty_.clear();
  cursor_ = title_ = display_mode_ = input_mode_ = false;
}

void FrameTracker::Fill(ConsoleFrame& frame, const ScreenBuffer* active, const std::string& title,
                        bool full_screen, Dword input_mode) const {
  frame.repaint = repaint_;
  frame.scrolled = repaint_ ? 0 : scrolled_;
  frame.cursor_changed = cursor_ || repaint_;
  frame.title_changed = title_;
  frame.title.clear();
  if (title_) frame.title = title;
  frame.display_mode_changed = display_mode_;
  frame.full_screen = full_screen;
  frame.input_mode_changed = input_mode_;
  frame.input_mode = input_mode;
  frame.size = Coord{};
  frame.cursor = Coord{};
  frame.cursor_size = 25;
  frame.cursor_visible = true;
  frame.spans.clear();
  frame.cells.clear();
  if (!active) return;

  const ScreenBuffer& b = *active;
  const SmallRect& w = b.window;
  frame.size = Coord{static_cast<Short>(b.WindowWidth()), static_cast<Short>(b.WindowHeight())};
  frame.cursor = Coord{static_cast<Short>(b.cursor.X - w.Left), static_cast<Short>(b.cursor.Y - w.Top)};
  frame.cursor_size = b.cursor_size;
  frame.cursor_visible = b.cursor_visible;

  auto add = [&](int row, int left, int right) {
    frame.spans.push_back(
        ConsoleFrame::Span{static_cast<Short>(row), static_cast<Short>(left), static_cast<Short>(right)});
    const CharInfo* first = &b.At(w.Left + left, w.Top + row);
    frame.cells.insert(frame.cells.end(), first, first + (right - left + 1));
  };
  if (repaint_) {
    frame.spans.reserve(static_cast<size_t>(frame.size.Y));
    frame.cells.reserve(static_cast<size_t>(frame.size.X) * frame.size.Y);
    for (int row = 0; row < frame.size.Y; ++row) add(row, 0, frame.size.X - 1);
    return;
  }
  auto add_rows = [&](const std::vector<int>& rows) {
    for (int row : rows) {
      const RowSpan& span = rows_[static_cast<size_t>(row)];
      add(row, span.left, span.right);
    }
  };
  // Rows are mostly marked top to bottom (and a one-cell frame has one): sorted only when they are not.
  if (std::is_sorted(dirty_.begin(), dirty_.end())) {
    add_rows(dirty_);
  } else {
    std::vector<int> rows = dirty_;
    std::sort(rows.begin(), rows.end());
    add_rows(rows);
  }
}

}  // namespace kelvane::platform::emulated
