// What the presenter is handed at EndOfCall: only the cells that changed, and scrolls as scrolls. That a
// frame always brings the screen shown before up to date (activations, hidden buffers and titles
// included) is the fuzz target emulated_frames' invariant.
#include <gtest/gtest.h>

#include <string>
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
  // The frame's spans as "ROW:LEFT-RIGHT ...".
  static std::string Spans(const ConsoleFrame& frame) {
    std::string spans;
    for (const auto& span : frame.spans)
      spans +=
          std::to_string(span.row) + ":" + std::to_string(span.left) + "-" + std::to_string(span.right) + " ";
    return spans;
  }

  std::vector<ConsoleFrame> frames_;
  FramesTo presenter_{[this](const ConsoleFrame& frame) { frames_.push_back(frame); }};
};

TEST_F(EmulatedFrames, AFrameCarriesOnlyTheCellsThatChangedAndScrollsAsScrolls) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{200, 60}, SmallRect{0, 0, 199, 59}));
  Frame();
  CharInfo cell{'#', 0x1F};
  SmallRect region{150, 40, 150, 40};
  ASSERT_NE(console_.WriteConsoleOutputA(out_, &cell, Coord{1, 1}, Coord{0, 0}, &region), 0);
  ConsoleFrame frame = Frame();
  EXPECT_EQ(frame.cells, (std::vector<CharInfo>{cell}));
  EXPECT_FALSE(frame.repaint || frame.cursor_changed);
  // A fill: the run it covers, row by row. Two writes to one row: the span covering both.
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, '*', 205, Coord{198, 9}, &written), 0);
  EXPECT_EQ(Spans(Frame()), "9:198-199 10:0-199 11:0-2 ");
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{30, 3}), 0);
  ASSERT_NE(Write(out_, "x"), 0);
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{20, 3}), 0);
  ASSERT_NE(Write(out_, "abc"), 0);
  frame = Frame();
  EXPECT_EQ(Spans(frame), "3:20-30 ");
  EXPECT_TRUE(frame.cursor_changed);
  EXPECT_EQ(frame.cursor, (Coord{23, 3}));

  // A scroll is a scroll with the rows it brings; a whole window's height in one frame leaves nothing
  // shown before, so all is new.
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{10, 5}, SmallRect{0, 0, 9, 4}));
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{0, 4}), 0);
  Frame();
  ASSERT_NE(Write(out_, "x\ny\n"), 0);
  frame = Frame();
  EXPECT_FALSE(frame.repaint);
  EXPECT_EQ(frame.scrolled, 2);
  EXPECT_EQ(Spans(frame), "2:0-9 3:0-9 4:0-9 ");
  ASSERT_NE(Write(out_, "1\n2\n3\n4\n5\n"), 0);
  frame = Frame();
  EXPECT_TRUE(frame.repaint);
  EXPECT_EQ(frame.scrolled, 0);
  // The window moving to follow the cursor shows everything again.
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{10, 50}, SmallRect{0, 0, 9, 4}));
  Frame();
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{0, 30}), 0);
  EXPECT_TRUE(Frame().repaint);
}

}  // namespace
}  // namespace kelvane::platform
