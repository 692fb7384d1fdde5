// What the presenter is handed at EndOfCall: only the cells that changed, scrolls as scrolls, nothing
// for a hidden buffer, and the flags for the cursor, title, display mode and input mode. That a frame
// always brings the old screen up to date is the fuzz target emulated_frames' invariant.
#include <gtest/gtest.h>

#include <vector>

#include "platform/emulated/support.hpp"

namespace kelvane::platform {
namespace {

using namespace testing;

class EmulatedFrames : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    console_.SetPresenter(&presenter_);
    console_.EndOfCall();
    frames_.clear();
  }
  void TearDown() override { console_.SetPresenter(nullptr); }
  // The frame of this call; an empty one when the presenter was not called.
  ConsoleFrame Frame() {
    console_.EndOfCall();
    EXPECT_LE(frames_.size(), 1u);
    ConsoleFrame frame = frames_.empty() ? ConsoleFrame{} : frames_.back();
    frames_.clear();
    return frame;
  }
  std::vector<Short> Rows(const ConsoleFrame& frame) {
    std::vector<Short> rows;
    for (const auto& span : frame.spans) rows.push_back(span.row);
    return rows;
  }

  std::vector<ConsoleFrame> frames_;
  FramesTo presenter_{[this](const ConsoleFrame& frame) { frames_.push_back(frame); }};
};

TEST_F(EmulatedFrames, AFrameCarriesOnlyTheCellsThatChanged) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{200, 60}, SmallRect{0, 0, 199, 59}));
  Frame();
  CharInfo cell{'#', 0x1F};
  SmallRect region{150, 40, 150, 40};
  ASSERT_NE(console_.WriteConsoleOutputA(out_, &cell, Coord{1, 1}, Coord{0, 0}, &region), 0);
  ConsoleFrame frame = Frame();
  ASSERT_EQ(frame.spans.size(), 1u);
  EXPECT_EQ((std::vector{frame.spans[0].row, frame.spans[0].left, frame.spans[0].right}),
            (std::vector<Short>{40, 150, 150}));
  EXPECT_EQ(frame.cells, (std::vector<CharInfo>{cell}));
  EXPECT_FALSE(frame.repaint || frame.cursor_changed);

  // A fill: the run it covers, row by row.
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, '*', 205, Coord{198, 9}, &written), 0);
  frame = Frame();
  EXPECT_EQ(Rows(frame), (std::vector<Short>{9, 10, 11}));
  EXPECT_EQ(frame.spans[0].left, 198);
  EXPECT_EQ(frame.spans[2].right, 2);
  EXPECT_EQ(frame.cells.size(), 205u);

  // Text on one row: the columns written. Two writes to one row: the span covering both.
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{30, 3}), 0);
  ASSERT_NE(Write(out_, "x"), 0);
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{20, 3}), 0);
  ASSERT_NE(Write(out_, "abc"), 0);
  frame = Frame();
  ASSERT_EQ(frame.spans.size(), 1u);
  EXPECT_EQ(frame.spans[0].left, 20);
  EXPECT_EQ(frame.spans[0].right, 30);
  EXPECT_TRUE(frame.cursor_changed);
  EXPECT_EQ(frame.cursor, (Coord{23, 3}));
}

TEST_F(EmulatedFrames, ScrollingIsReportedAsAScrollWithTheRowsItBrings) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{10, 5}, SmallRect{0, 0, 9, 4}));
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{0, 4}), 0);
  Frame();
  ASSERT_NE(Write(out_, "x\ny\n"), 0);
  ConsoleFrame frame = Frame();
  EXPECT_FALSE(frame.repaint);
  EXPECT_EQ(frame.scrolled, 2);
  EXPECT_EQ(Rows(frame), (std::vector<Short>{2, 3, 4}));
  // A whole window's height scrolled away in one frame: nothing shown before is left, so all is new.
  ASSERT_NE(Write(out_, "1\n2\n3\n4\n5\n"), 0);
  frame = Frame();
  EXPECT_TRUE(frame.repaint);
  EXPECT_EQ(frame.scrolled, 0);
  EXPECT_EQ(frame.spans.size(), 5u);
  // The window moving to follow the cursor shows everything again.
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{10, 50}, SmallRect{0, 0, 9, 4}));
  Frame();
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{0, 30}), 0);
  EXPECT_TRUE(Frame().repaint);
}

TEST_F(EmulatedFrames, OnlyTheShownBufferIsShown) {
  const Handle other = NewBuffer();
  ASSERT_NE(Write(other, "unseen\n"), 0);
  ASSERT_NE(console_.SetConsoleCursorPosition(other, Coord{3, 3}), 0);
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(other, 'q', 100, Coord{0, 0}, &written), 0);
  EXPECT_FALSE(Frame().HasChanges());
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  EXPECT_TRUE(Frame().repaint);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);  // already shown: nothing to show
  EXPECT_FALSE(Frame().HasChanges());
  ASSERT_NE(console_.CloseHandle(other), 0);  // closing the shown buffer shows another
  EXPECT_TRUE(Frame().repaint);
}

TEST_F(EmulatedFrames, TitleDisplayModeInputModeAndANewConsole) {
  ASSERT_NE(console_.SetConsoleTitleA("new title"), 0);
  ConsoleFrame frame = Frame();
  EXPECT_TRUE(frame.title_changed);
  EXPECT_EQ(frame.title, "new title");
  EXPECT_FALSE(frame.display_mode_changed || frame.cursor_changed || frame.input_mode_changed);
  console_.SendKeys("%~", true);  // Alt+Enter: full screen
  frame = Frame();
  EXPECT_TRUE(frame.display_mode_changed && frame.full_screen);
  EXPECT_TRUE(console_.FullScreen());
  console_.SendKeys("%{ENTER}", false);
  EXPECT_FALSE(Frame().full_screen);
  // A refused input mode is stored all the same, and reported.
  EXPECT_EQ(console_.SetConsoleMode(in_, kEnableEchoInput), 0);
  frame = Frame();
  EXPECT_TRUE(frame.input_mode_changed);
  EXPECT_EQ(frame.input_mode, kEnableEchoInput);
  EXPECT_TRUE(frame.spans.empty());
  // The same mode again is no change, and makes no frame.
  EXPECT_EQ(console_.SetConsoleMode(in_, kEnableEchoInput), 0);
  EXPECT_FALSE(Frame().HasChanges());

  ASSERT_NE(console_.FreeConsole(), 0);
  Frame();
  ASSERT_NE(console_.AllocConsole(), 0);
  frame = Frame();
  EXPECT_TRUE(frame.repaint);
  EXPECT_EQ(frame.size, (Coord{80, 25}));
}

TEST_F(EmulatedFrames, NothingToShowCallsNoPresenter) {
  ASSERT_NE(console_.SetConsoleTextAttribute(out_, 0x1F), 0);
  ASSERT_NE(console_.SetConsoleMode(out_, 3), 0);
  console_.QueueText("keys");
  EXPECT_FALSE(Frame().HasChanges());
  EXPECT_FALSE(console_.PendingFrame().HasChanges());
  // Without a presenter the changes are dropped all the same.
  ASSERT_NE(Write(out_, "x"), 0);
  console_.SetPresenter(nullptr);
  console_.EndOfCall();
  EXPECT_FALSE(console_.PendingFrame().HasChanges());
}

}  // namespace
}  // namespace kelvane::platform
