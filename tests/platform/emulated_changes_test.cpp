// Change tracking: what the console hands to the presenter at EndOfCall must be enough to bring the
// previous screen up to date. Each step applies the reported changes to a copy of the screen shown
// before (scroll first, then copy the dirty rows from the new view) and compares it with the new view.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using testing::EmulatedConsoleTest;

// No console cell holds this: rows the changes fail to report stay visibly stale.
constexpr CharInfo kStale{0xBAD, 0xBAD};

class EmulatedChanges : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    console_.SetPresenter([this](const ConsoleChanges& changes, const ConsoleView& view) {
      handed_.push_back(Handed{changes, view});
    });
    Sync();
  }

  // Shows everything as it is now.
  void Sync() {
    console_.EndOfCall();
    handed_.clear();
    shown_ = console_.View();
  }

  // Ends the call, brings the shown screen up to date with what the presenter was given and checks
  // it against the console. Returns the changes handed over (none when the presenter was not called).
  ConsoleChanges Present() {
    console_.EndOfCall();
    ConsoleView now = console_.View();
    if (handed_.empty()) {
      EXPECT_EQ(now.size, shown_.size);
      EXPECT_EQ(now.cells, shown_.cells) << "cells changed but nothing was reported";
      EXPECT_EQ(now.cursor, shown_.cursor);
      EXPECT_EQ(now.title, shown_.title);
      return ConsoleChanges{};
    }
    EXPECT_EQ(handed_.size(), 1u);
    Handed handed = handed_.back();
    handed_.clear();
    const ConsoleChanges& changes = handed.changes;
    const ConsoleView& view = handed.view;
    EXPECT_TRUE(changes.Any());
    EXPECT_EQ(view.cells, now.cells) << "the view handed over is not the console's";
    EXPECT_EQ(view.cursor, now.cursor);

    std::vector<CharInfo> screen = shown_.cells;
    if (changes.repaint) {
      screen = view.cells;
    } else {
      EXPECT_EQ(view.size, shown_.size) << "the window changed size without a repaint";
      const size_t width = static_cast<size_t>(view.size.X);
      const int height = view.size.Y;
      EXPECT_GE(changes.scrolled, 0);
      EXPECT_LT(changes.scrolled, height);
      if (changes.scrolled > 0) {
        size_t shift = static_cast<size_t>(changes.scrolled) * width;
        for (size_t i = 0; i < screen.size(); ++i)
          screen[i] = i + shift < screen.size() ? screen[i + shift] : kStale;
      }
      if (!changes.dirty_rows.empty()) {
        EXPECT_EQ(changes.dirty_rows.size(), static_cast<size_t>(height));
        for (int row = 0; row < height && row < static_cast<int>(changes.dirty_rows.size()); ++row) {
          if (!changes.dirty_rows[row]) continue;
          for (size_t x = 0; x < width; ++x) screen[row * width + x] = view.cells[row * width + x];
        }
      }
    }
    EXPECT_EQ(screen, view.cells) << "the changes do not bring the old screen up to date";
    if (!changes.repaint) {
      if (view.cursor != shown_.cursor || view.cursor_size != shown_.cursor_size ||
          view.cursor_visible != shown_.cursor_visible) {
        EXPECT_TRUE(changes.cursor) << "the cursor changed unreported";
      }
      if (view.title != shown_.title) {
        EXPECT_TRUE(changes.title);
      }
      if (view.full_screen != shown_.full_screen) {
        EXPECT_TRUE(changes.display_mode);
      }
    }
    shown_ = view;
    return changes;
  }

  int DirtyRowCount(const ConsoleChanges& changes) const {
    int count = 0;
    for (bool dirty : changes.dirty_rows) count += dirty ? 1 : 0;
    return count;
  }

  // Distinct text on every row of a `columns` x `rows` buffer, the cursor back at the top.
  void FillRows(Short columns, Short rows) {
    for (Short y = 0; y < rows; ++y) {
      std::string line(static_cast<size_t>(columns), static_cast<char>('A' + y % 26));
      line[0] = static_cast<char>('0' + y % 10);
      CharInfo cells[256];
      for (Short x = 0; x < columns; ++x) cells[x] = CharInfo{static_cast<Word>(line[x]), 0x07};
      SmallRect region{0, y, static_cast<Short>(columns - 1), y};
      ASSERT_NE(console_.WriteConsoleOutputA(out_, cells, Coord{columns, 1}, Coord{0, 0}, &region), 0);
    }
  }

  struct Handed {
    ConsoleChanges changes;
    ConsoleView view;
  };
  std::vector<Handed> handed_;
  ConsoleView shown_;
};

TEST_F(EmulatedChanges, WritesMarkTheirRows) {
  UseBuffer(20, 6);
  Sync();
  Write("hello");
  ConsoleChanges changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 0);
  EXPECT_EQ(DirtyRowCount(changes), 1);
  EXPECT_TRUE(changes.dirty_rows.at(0));
  EXPECT_TRUE(changes.cursor);

  MoveCursor(3, 2);
  Write("one\ntwo\nthree and more text that wraps");
  changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 0);
  EXPECT_FALSE(changes.dirty_rows.at(0));
  EXPECT_FALSE(changes.dirty_rows.at(1));
  EXPECT_TRUE(changes.dirty_rows.at(2));
  EXPECT_TRUE(changes.dirty_rows.at(5));

  SetMode(0);
  MoveCursor(15, 1);
  Write("\a\b\t\n\rxyzw");
  changes = Present();
  EXPECT_FALSE(changes.repaint);
}

TEST_F(EmulatedChanges, FillsAndCellWritesMarkTheirRows) {
  UseBuffer(10, 8);
  Sync();
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, '*', 25, Coord{7, 2}, &written), 0);
  ConsoleChanges changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(DirtyRowCount(changes), 4);  // rows 2..5

  ASSERT_NE(console_.FillConsoleOutputAttribute(out_, 0x4E, 3, Coord{0, 7}, &written), 0);
  changes = Present();
  EXPECT_EQ(DirtyRowCount(changes), 1);
  EXPECT_TRUE(changes.dirty_rows.at(7));

  CharInfo block[6];
  for (auto& cell : block) cell = CharInfo{'#', 0x1F};
  SmallRect region{4, 5, 6, 6};
  ASSERT_NE(console_.WriteConsoleOutputA(out_, block, Coord{3, 2}, Coord{0, 0}, &region), 0);
  changes = Present();
  EXPECT_EQ(DirtyRowCount(changes), 2);
  EXPECT_FALSE(changes.cursor);
}

TEST_F(EmulatedChanges, ScrollingAtTheBottomIsReportedAsAScroll) {
  UseBuffer(10, 5);
  FillRows(10, 5);
  MoveCursor(0, 4);
  Sync();
  Write("x\ny\n");
  ConsoleChanges changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 2);
  EXPECT_LE(DirtyRowCount(changes), 3);

  // A row written before the scroll moves up with it.
  MoveCursor(5, 1);
  Write("!");
  MoveCursor(9, 4);
  Write("z");
  changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 1);
  EXPECT_TRUE(changes.dirty_rows.at(0));
}

TEST_F(EmulatedChanges, ScrollingTheWholeWindowAway) {
  UseBuffer(8, 4);
  FillRows(8, 4);
  MoveCursor(0, 3);
  Sync();
  Write("1\n2\n3\n4\n5\n6\n");
  Present();
}

TEST_F(EmulatedChanges, ScrollWithTheWindowAboveTheBottom) {
  UseBuffer(Coord{10, 20}, SmallRect{0, 0, 9, 4});
  FillRows(10, 20);
  MoveCursor(0, 19);
  UseBuffer(Coord{10, 20}, SmallRect{0, 0, 9, 4});
  Sync();
  Write("last\n");
  ConsoleChanges changes = Present();
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(changes.scrolled, 1);
  EXPECT_EQ(shown_.cells.at(0).Char, '1');  // the window now shows what was row 1
}

TEST_F(EmulatedChanges, CursorMoves) {
  UseBuffer(Coord{20, 50}, SmallRect{0, 0, 19, 9});
  Sync();
  MoveCursor(5, 5);
  ConsoleChanges changes = Present();
  EXPECT_TRUE(changes.cursor);
  EXPECT_FALSE(changes.repaint);
  EXPECT_EQ(DirtyRowCount(changes), 0);

  CursorInfo shape{80, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &shape), 0);
  changes = Present();
  EXPECT_TRUE(changes.cursor);

  // Out of view: the window moves, which shows everything again.
  MoveCursor(0, 30);
  changes = Present();
  EXPECT_TRUE(changes.repaint);
  EXPECT_EQ(shown_.cursor, (Coord{0, 9}));

  Write("\n\n");  // the hidden cursor leaves the window where it is
  Present();
}

TEST_F(EmulatedChanges, WindowFollowingTheCursorRepaints) {
  UseBuffer(Coord{10, 30}, SmallRect{0, 0, 9, 4});
  FillRows(10, 30);
  MoveCursor(0, 4);
  Sync();
  Write("\n");
  ConsoleChanges changes = Present();
  EXPECT_TRUE(changes.repaint);
  EXPECT_EQ(shown_.cells.at(0).Char, '1');
}

TEST_F(EmulatedChanges, InactiveBuffersAreNotShown) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  Sync();
  Write(other, "unseen\n");
  ASSERT_NE(console_.SetConsoleCursorPosition(other, Coord{3, 3}), 0);
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(other, 'q', 100, Coord{0, 0}, &written), 0);
  ConsoleChanges changes = Present();
  EXPECT_FALSE(changes.Any());
}

TEST_F(EmulatedChanges, SwitchingTheActiveBufferRepaints) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  ASSERT_TRUE(console_.SetBufferGeometry(other, Coord{30, 10}, SmallRect{0, 0, 29, 9}));
  Write(other, "other buffer");
  Sync();
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  ConsoleChanges changes = Present();
  EXPECT_TRUE(changes.repaint);
  EXPECT_EQ(shown_.size, (Coord{30, 10}));
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);  // already active: nothing to show
  EXPECT_FALSE(Present().Any());
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);
  EXPECT_TRUE(Present().repaint);
}

TEST_F(EmulatedChanges, ClosingTheActiveBufferRepaints) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  Sync();
  ASSERT_NE(console_.CloseHandle(other), 0);
  EXPECT_TRUE(Present().repaint);
}

TEST_F(EmulatedChanges, TitleAndDisplayMode) {
  ASSERT_NE(console_.SetConsoleTitleA("new title"), 0);
  ConsoleChanges changes = Present();
  EXPECT_TRUE(changes.title);
  EXPECT_FALSE(changes.display_mode);
  EXPECT_EQ(shown_.title, "new title");
  console_.SendKeys("%~", true);
  changes = Present();
  EXPECT_TRUE(changes.display_mode);
  EXPECT_TRUE(shown_.full_screen);
}

TEST_F(EmulatedChanges, NothingToShowCallsNoPresenter) {
  Sync();
  console_.EndOfCall();
  EXPECT_TRUE(handed_.empty());
  SetAttribute(0x1F);
  Dword mode = 0;
  ASSERT_NE(console_.GetConsoleMode(out_, &mode), 0);
  console_.QueueText("keys");
  console_.EndOfCall();
  EXPECT_TRUE(handed_.empty());
  EXPECT_FALSE(console_.PeekChanges().Any());
}

TEST_F(EmulatedChanges, EndOfCallStartsAfresh) {
  Write("x");
  EXPECT_TRUE(console_.PeekChanges().Any());
  console_.SetPresenter(nullptr);
  console_.EndOfCall();
  EXPECT_FALSE(console_.PeekChanges().Any());
}

TEST_F(EmulatedChanges, FreeAndAllocRepaint) {
  ASSERT_NE(console_.FreeConsole(), 0);
  console_.EndOfCall();
  handed_.clear();
  ASSERT_NE(console_.AllocConsole(), 0);
  out_ = console_.GetStdHandle(kStdOutputHandle);
  ConsoleChanges changes = Present();
  EXPECT_TRUE(changes.repaint);
  EXPECT_EQ(shown_.size, (Coord{80, 25}));
}

// Many random steps of output, attributes, modes, fills, cell writes and cursor moves, checked after
// each call. The seed is fixed, so every run takes the same steps.
void RandomSession(EmulatedConsole& console, Handle out, std::mt19937& random, int steps,
                   const std::function<ConsoleChanges()>& present) {
  ScreenBufferInfo info{};
  ASSERT_NE(console.GetConsoleScreenBufferInfo(out, &info), 0);
  const Coord size = info.dwSize;
  auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  const std::string alphabet = "abcdefghijXYZ0123 \n\n\r\t\b\a\x01\x1b\x7f";
  for (int step = 0; step < steps; ++step) {
    int operations = pick(1, 3);
    for (int op = 0; op < operations; ++op) {
      switch (pick(0, 7)) {
        case 0:
        case 1: {
          std::string text;
          int length = pick(0, 30);
          for (int i = 0; i < length; ++i) text += alphabet[pick(0, static_cast<int>(alphabet.size()) - 1)];
          if (pick(0, 5) == 0) text += std::string(1, '\0');
          Dword written = 0;
          ASSERT_NE(console.WriteConsoleA(out, text.data(), static_cast<Dword>(text.size()), &written), 0);
          break;
        }
        case 2:
          ASSERT_NE(console.SetConsoleTextAttribute(out, static_cast<Word>(pick(0, 0xFF))), 0);
          break;
        case 3:
          ASSERT_NE(console.SetConsoleMode(out, static_cast<Dword>(pick(0, 3))), 0);
          break;
        case 4: {
          Dword written = 0;
          Coord at{static_cast<Short>(pick(0, size.X - 1)), static_cast<Short>(pick(0, size.Y - 1))};
          if (pick(0, 1)) {
            ASSERT_NE(console.FillConsoleOutputCharacterA(out, static_cast<char>(pick('!', '~')),
                                                          static_cast<Dword>(pick(0, 40)), at, &written),
                      0);
          } else {
            ASSERT_NE(console.FillConsoleOutputAttribute(out, static_cast<Word>(pick(0, 0xFF)),
                                                         static_cast<Dword>(pick(0, 40)), at, &written),
                      0);
          }
          break;
        }
        case 5: {
          CharInfo cells[16];
          for (auto& cell : cells)
            cell = CharInfo{static_cast<Word>(pick('A', 'Z')), static_cast<Word>(pick(0, 0xFF))};
          Short left = static_cast<Short>(pick(-2, size.X));
          Short top = static_cast<Short>(pick(-2, size.Y));
          SmallRect region{left, top, static_cast<Short>(left + pick(0, 3)),
                           static_cast<Short>(top + pick(0, 3))};
          ASSERT_NE(console.WriteConsoleOutputA(out, cells, Coord{4, 4}, Coord{0, 0}, &region), 0);
          break;
        }
        case 6:
        case 7: {
          Coord to{static_cast<Short>(pick(0, size.X - 1)), static_cast<Short>(pick(0, size.Y - 1))};
          ASSERT_NE(console.SetConsoleCursorPosition(out, to), 0);
          break;
        }
      }
    }
    present();
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "at step " << step;
      return;
    }
  }
}

TEST_F(EmulatedChanges, RandomSessionsOnAWholeWindow) {
  UseBuffer(12, 8);
  Sync();
  std::mt19937 random(20240601);
  RandomSession(console_, out_, random, 400, [this] { return Present(); });
}

TEST_F(EmulatedChanges, RandomSessionsOnATallBuffer) {
  UseBuffer(Coord{12, 30}, SmallRect{0, 22, 11, 29});
  Sync();
  std::mt19937 random(777);
  RandomSession(console_, out_, random, 400, [this] { return Present(); });
}

}  // namespace
}  // namespace kelvane::platform
