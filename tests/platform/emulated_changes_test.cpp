// Change tracking: what the console hands to the presenter at EndOfCall must be enough to bring the
// previous screen up to date. Each step applies the reported changes to a copy of the screen shown
// before (scroll first, then copy the dirty rows from the new view) and compares it with the new view.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace testing;

// No console cell holds this: rows the changes fail to report stay visibly stale.
constexpr CharInfo kStale{0xBAD, 0xBAD};

class EmulatedChanges : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    console_.SetPresenter(&presenter_);
    Sync();
  }
  void TearDown() override { console_.SetPresenter(nullptr); }

  // Shows everything as it is now.
  void Sync() {
    console_.EndOfCall();
    handed_.clear();
    shown_ = console_.View();
  }

  // Ends the call and brings the shown screen up to date from the frame alone, as a presenter keeps
  // its copy of the terminal, then checks it against the console. Returns the frame handed over (an
  // empty one when the presenter was not called).
  ConsoleFrame Present() {
    console_.EndOfCall();
    const ConsoleView now = console_.View();
    if (handed_.empty()) {
      EXPECT_EQ(now.size, shown_.size);
      EXPECT_EQ(now.cells, shown_.cells) << "cells changed but nothing was reported";
      EXPECT_EQ(now.cursor, shown_.cursor);
      EXPECT_EQ(now.title, shown_.title);
      return ConsoleFrame{};
    }
    EXPECT_EQ(handed_.size(), 1u);
    const ConsoleFrame frame = handed_.back();
    handed_.clear();
    EXPECT_TRUE(frame.HasChanges());

    const size_t width = static_cast<size_t>(frame.size.X);
    if (frame.repaint) {
      shown_.size = frame.size;
      shown_.cells.assign(width * frame.size.Y, kStale);
      EXPECT_EQ(frame.spans.size(), static_cast<size_t>(frame.size.Y)) << "a repaint must cover every row";
    } else {
      EXPECT_EQ(frame.size, shown_.size) << "the window changed size without a repaint";
      EXPECT_GE(frame.scrolled, 0);
      EXPECT_LT(frame.scrolled, frame.size.Y);
      const size_t shift = static_cast<size_t>(std::max(frame.scrolled, 0)) * width;
      for (size_t i = 0; i < shown_.cells.size(); ++i)
        shown_.cells[i] = i + shift < shown_.cells.size() ? shown_.cells[i + shift] : kStale;
    }
    size_t taken = 0;
    int previous_row = -1;
    for (const ConsoleFrame::Span& span : frame.spans) {
      EXPECT_GT(span.row, previous_row) << "spans out of row order";
      previous_row = span.row;
      EXPECT_LE(0, span.left);
      EXPECT_LE(span.left, span.right);
      EXPECT_LT(span.right, frame.size.X);
      const size_t count = static_cast<size_t>(span.right - span.left + 1);
      EXPECT_LE(taken + count, frame.cells.size());
      if (taken + count > frame.cells.size()) break;
      std::copy_n(frame.cells.begin() + static_cast<std::ptrdiff_t>(taken), count,
                  shown_.cells.begin() + static_cast<std::ptrdiff_t>(span.row * width + span.left));
      taken += count;
    }
    EXPECT_EQ(taken, frame.cells.size());
    if (frame.cursor_changed) {
      shown_.cursor = frame.cursor;
      shown_.cursor_size = frame.cursor_size;
      shown_.cursor_visible = frame.cursor_visible;
    }
    if (frame.title_changed) shown_.title = frame.title;
    if (frame.display_mode_changed) shown_.full_screen = frame.full_screen;

    EXPECT_EQ(shown_.cells, now.cells) << "the frame does not bring the old screen up to date";
    EXPECT_EQ(shown_.cursor, now.cursor) << "the cursor changed unreported";
    EXPECT_EQ(shown_.cursor_size, now.cursor_size);
    EXPECT_EQ(shown_.cursor_visible, now.cursor_visible);
    EXPECT_EQ(shown_.title, now.title);
    EXPECT_EQ(shown_.full_screen, now.full_screen);
    shown_ = now;
    return frame;
  }

  // Which window rows the frame carries cells for.
  static std::vector<bool> Rows(const ConsoleFrame& frame) {
    std::vector<bool> rows(static_cast<size_t>(frame.size.Y), false);
    for (const auto& span : frame.spans) rows.at(static_cast<size_t>(span.row)) = true;
    return rows;
  }
  static int DirtyRows(const ConsoleFrame& frame) { return static_cast<int>(frame.spans.size()); }

  // Distinct text on every row of the buffer, the cursor where it was.
  void FillRows() {
    const Coord size = Info().dwSize;
    std::vector<CharInfo> cells(static_cast<size_t>(size.X) * size.Y);
    for (size_t i = 0; i < cells.size(); ++i) {
      size_t y = i / size.X;
      cells[i] = CharInfo{static_cast<Word>(i % size.X == 0 ? '0' + y % 10 : 'A' + y % 26), 0x07};
    }
    SmallRect all{0, 0, static_cast<Short>(size.X - 1), static_cast<Short>(size.Y - 1)};
    ASSERT_NE(console_.WriteConsoleOutputA(out_, cells.data(), size, Coord{0, 0}, &all), 0);
  }

  std::vector<ConsoleFrame> handed_;
  CallbackPresenter presenter_{[this](const ConsoleFrame& frame) { handed_.push_back(frame); }};
  ConsoleView shown_;
};

TEST_F(EmulatedChanges, WritesMarkTheirRows) {
  UseBuffer(20, 6);
  Sync();
  Write("hello");
  ConsoleFrame changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 0);
  EXPECT_EQ(Rows(changes), (std::vector<bool>{true, false, false, false, false, false}));
  EXPECT_TRUE(changes.cursor_changed);

  MoveCursor(3, 2);
  Write("one\ntwo\nthree and more text that wraps");
  changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(Rows(changes), (std::vector<bool>{false, false, true, true, true, true}));
}

TEST_F(EmulatedChanges, FillsAndCellWritesMarkTheWindowRowsTheyChanged) {
  UseBuffer(Coord{10, 30}, SmallRect{0, 10, 9, 17});
  Sync();
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, '*', 25, Coord{7, 12}, &written), 0);
  ConsoleFrame changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(Rows(changes), (std::vector<bool>{false, false, true, true, true, true, false, false}));

  ASSERT_NE(console_.FillConsoleOutputAttribute(out_, 0x4E, 3, Coord{0, 17}, &written), 0);
  EXPECT_EQ(Rows(Present()), (std::vector<bool>{false, false, false, false, false, false, false, true}));

  CharInfo block[6];
  for (auto& cell : block) cell = CharInfo{'#', 0x1F};
  SmallRect region{4, 15, 6, 16};
  ASSERT_NE(console_.WriteConsoleOutputA(out_, block, Coord{3, 2}, Coord{0, 0}, &region), 0);
  changes = Present();
  EXPECT_EQ(DirtyRows(changes), 2);
  EXPECT_FALSE(changes.cursor_changed);
  region = SmallRect{0, 1, 2, 2};  // above the window
  ASSERT_NE(console_.WriteConsoleOutputA(out_, block, Coord{3, 2}, Coord{0, 0}, &region), 0);
  EXPECT_FALSE(Present().HasChanges());
}

TEST_F(EmulatedChanges, ScrollingIsReportedAsAScroll) {
  UseBuffer(10, 5);
  FillRows();
  MoveCursor(0, 4);
  Sync();
  Write("x\ny\n");
  ConsoleFrame changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 2);
  EXPECT_LE(DirtyRows(changes), 3);

  // A row written before the scroll moves up with it.
  MoveCursor(5, 1);
  Write("!");
  MoveCursor(9, 4);
  Write("z");
  changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 1);
  EXPECT_TRUE(Rows(changes).at(0));

  // Scrolling the whole window away.
  Write("1\n2\n3\n4\n5\n6\n");
  Present();

  // The window above the buffer's bottom: the scroll moves what it shows too.
  UseBuffer(Coord{10, 20}, SmallRect{0, 0, 9, 4});
  FillRows();
  MoveCursor(0, 19);
  UseBuffer(Coord{10, 20}, SmallRect{0, 0, 9, 4});
  Sync();
  Write("last\n");
  changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 1);
  EXPECT_EQ(shown_.cells.at(0).Char, '1');
}

TEST_F(EmulatedChanges, CursorChangesAndWindowMoves) {
  UseBuffer(Coord{20, 50}, SmallRect{0, 0, 19, 9});
  FillRows();
  Sync();
  MoveCursor(5, 5);
  ConsoleFrame changes = Present();
  EXPECT_TRUE(changes.cursor_changed);
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(DirtyRows(changes), 0);
  CursorInfo shape{80, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &shape), 0);
  EXPECT_TRUE(Present().cursor_changed);

  // Out of view: the window moves, which shows everything again.
  MoveCursor(0, 30);
  EXPECT_TRUE(Present().repaint);
  EXPECT_EQ(shown_.cursor, (Coord{0, 9}));
  Write("\n\n");  // the hidden cursor leaves the window where it is
  Present();

  // The window following the cursor after a write.
  shape.bVisible = 1;
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &shape), 0);
  UseBuffer(Coord{20, 50}, SmallRect{0, 0, 19, 9});
  MoveCursor(0, 9);
  Sync();
  Write("\n");
  EXPECT_TRUE(Present().repaint);
  EXPECT_EQ(shown_.cells.at(0).Char, '1');
}

TEST_F(EmulatedChanges, OnlyTheShownBufferIsShown) {
  Handle other = NewBuffer();
  ASSERT_TRUE(console_.SetBufferGeometry(other, Coord{30, 10}, SmallRect{0, 0, 29, 9}));
  Sync();
  Write(other, "unseen\n");
  ASSERT_NE(console_.SetConsoleCursorPosition(other, Coord{3, 3}), 0);
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(other, 'q', 100, Coord{0, 0}, &written), 0);
  CharInfo cell{'c', 7};
  SmallRect region{0, 0, 0, 0};
  ASSERT_NE(console_.WriteConsoleOutputA(other, &cell, Coord{1, 1}, Coord{0, 0}, &region), 0);
  EXPECT_FALSE(Present().HasChanges());

  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  EXPECT_TRUE(Present().repaint);
  EXPECT_EQ(shown_.size, (Coord{30, 10}));
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);  // already shown: nothing to show
  EXPECT_FALSE(Present().HasChanges());
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);
  EXPECT_TRUE(Present().repaint);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  Present();
  ASSERT_NE(console_.CloseHandle(other), 0);  // closing the shown buffer shows another
  EXPECT_TRUE(Present().repaint);
}

TEST_F(EmulatedChanges, TitleDisplayModeAndANewConsole) {
  ASSERT_NE(console_.SetConsoleTitleA("new title"), 0);
  ConsoleFrame changes = Present();
  EXPECT_TRUE(changes.title_changed);
  EXPECT_FALSE(changes.display_mode_changed);
  EXPECT_EQ(shown_.title, "new title");
  console_.SendKeys("%~", true);
  EXPECT_TRUE(Present().display_mode_changed);
  EXPECT_TRUE(shown_.full_screen);

  ASSERT_NE(console_.FreeConsole(), 0);
  Sync();
  ASSERT_NE(console_.AllocConsole(), 0);
  EXPECT_TRUE(Present().repaint);
  EXPECT_EQ(shown_.size, (Coord{80, 25}));
}

TEST_F(EmulatedChanges, AFrameCarriesOnlyTheCellsThatChanged) {
  UseBuffer(200, 60);
  Sync();
  CharInfo cell{'#', 0x1F};
  SmallRect region{150, 40, 150, 40};
  ASSERT_NE(console_.WriteConsoleOutputA(out_, &cell, Coord{1, 1}, Coord{0, 0}, &region), 0);
  ConsoleFrame frame = Present();
  ASSERT_EQ(frame.spans.size(), 1u);
  EXPECT_EQ(frame.spans[0].row, 40);
  EXPECT_EQ(frame.spans[0].left, 150);
  EXPECT_EQ(frame.spans[0].right, 150);
  EXPECT_EQ(frame.cells, (std::vector<CharInfo>{cell}));

  // A fill: the run of cells it covers, row by row.
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputAttribute(out_, 0x4E, 1, Coord{7, 2}, &written), 0);
  frame = Present();
  ASSERT_EQ(frame.spans.size(), 1u);
  EXPECT_EQ(frame.cells.size(), 1u);
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, '*', 205, Coord{198, 9}, &written), 0);
  frame = Present();
  ASSERT_EQ(frame.spans.size(), 3u);
  EXPECT_EQ(frame.cells.size(), 205u);
  EXPECT_EQ(frame.spans[2].right, 2);

  // Text on one row: the columns written, not the row.
  MoveCursor(10, 3);
  Write("abc");
  frame = Present();
  ASSERT_EQ(frame.spans.size(), 1u);
  EXPECT_EQ(frame.spans[0].left, 10);
  EXPECT_EQ(frame.spans[0].right, 12);
  EXPECT_TRUE(frame.cursor_changed);
  EXPECT_EQ(frame.cursor, (Coord{13, 3}));

  // Two writes to one row merge into the span that covers both.
  MoveCursor(30, 3);
  Write("x");
  MoveCursor(20, 3);
  Write("y");
  frame = Present();
  ASSERT_EQ(frame.spans.size(), 1u);
  EXPECT_EQ(frame.spans[0].left, 20);
  EXPECT_EQ(frame.spans[0].right, 30);
  EXPECT_EQ(frame.cells.size(), 11u);
}

TEST_F(EmulatedChanges, TheInputModeTravelsWithTheFrame) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput), 0);
  ConsoleFrame frame = Present();
  EXPECT_TRUE(frame.input_mode_changed);
  EXPECT_EQ(frame.input_mode, kEnableLineInput);
  EXPECT_TRUE(frame.spans.empty());
  // A refused mode is stored all the same, and reported.
  EXPECT_EQ(console_.SetConsoleMode(in_, kEnableEchoInput), 0);
  frame = Present();
  EXPECT_TRUE(frame.input_mode_changed);
  EXPECT_EQ(frame.input_mode, kEnableEchoInput);
}

TEST_F(EmulatedChanges, NothingToShowCallsNoPresenter) {
  SetAttribute(0x1F);
  EXPECT_EQ(Mode(out_), 3u);
  console_.QueueText("keys");
  console_.EndOfCall();
  EXPECT_TRUE(handed_.empty());
  EXPECT_FALSE(console_.PendingFrame().HasChanges());
  // Without a presenter the changes are dropped all the same.
  Write("x");
  EXPECT_TRUE(console_.PendingFrame().HasChanges());
  console_.SetPresenter(nullptr);
  console_.EndOfCall();
  EXPECT_FALSE(console_.PendingFrame().HasChanges());
}

// Random steps of output, attributes, modes, fills, cell writes and cursor moves, each call checked
// by Present(). The seeds are fixed, so every run takes the same steps.
TEST_F(EmulatedChanges, RandomSessionsReplayExactly) {
  const std::string alphabet = "abcdefghijXYZ0123 \n\n\r\t\b\a\x01\x1b\x7f";
  for (auto [seed, buffer, window] : {std::tuple{20240601u, Coord{12, 8}, SmallRect{0, 0, 11, 7}},
                                      std::tuple{777u, Coord{12, 30}, SmallRect{0, 22, 11, 29}}}) {
    const Coord size = buffer;
    UseBuffer(size, window);
    Sync();
    std::mt19937 random(seed);
    auto pick = [&random](int low, int high) {
      return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto anywhere = [&] {
      return Coord{static_cast<Short>(pick(0, size.X - 1)), static_cast<Short>(pick(0, size.Y - 1))};
    };
    for (int step = 0; step < 400; ++step) {
      for (int op = pick(1, 3); op > 0; --op) {
        Dword written = 0;
        switch (pick(0, 7)) {
          case 0:
          case 1: {
            std::string text;
            for (int i = pick(0, 30); i > 0; --i)
              text += alphabet[pick(0, static_cast<int>(alphabet.size()) - 1)];
            if (pick(0, 5) == 0) text += '\0';
            ASSERT_NE(Write(text), 0);
            break;
          }
          case 2:
            SetAttribute(static_cast<Word>(pick(0, 0xFF)));
            break;
          case 3:
            SetMode(static_cast<Dword>(pick(0, 3)));
            break;
          case 4: {
            const Coord at = anywhere();
            const auto length = static_cast<Dword>(pick(0, 40));
            const int value = pick(0, 0xFF);
            ASSERT_NE(pick(0, 1) ? console_.FillConsoleOutputCharacterA(
                                       out_, static_cast<char>('!' + value % 94), length, at, &written)
                                 : console_.FillConsoleOutputAttribute(out_, static_cast<Word>(value), length,
                                                                       at, &written),
                      0);
            break;
          }
          case 5: {
            std::vector<CharInfo> cells(16);
            for (auto& cell : cells)
              cell = CharInfo{static_cast<Word>(pick('A', 'Z')), static_cast<Word>(pick(0, 0xFF))};
            Short left = static_cast<Short>(pick(-2, size.X));
            Short top = static_cast<Short>(pick(-2, size.Y));
            SmallRect region{left, top, static_cast<Short>(left + pick(0, 3)),
                             static_cast<Short>(top + pick(0, 3))};
            ASSERT_NE(console_.WriteConsoleOutputA(out_, cells.data(), Coord{4, 4}, Coord{0, 0}, &region), 0);
            break;
          }
          default: {
            Coord to = anywhere();
            MoveCursor(to.X, to.Y);
          }
        }
      }
      Present();
      if (HasFailure()) FAIL() << "seed " << seed << ", step " << step;
    }
  }
}

}  // namespace
}  // namespace kelvane::platform
