// Pages, PageIndex resolution, clearing and the cursor position.
#include <gtest/gtest.h>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using KelvaneConsole::Error;
using platform::Coord;
using platform::SmallRect;

class PagesTest : public ConsoleTest {
 protected:
  PagesTest() { console_.Load(); }
  Console console_;
};

TEST_F(PagesTest, PageFifteenIsCreatedClearedHomedAndShown) {
  console_.Page(15);
  EXPECT_EQ(console_.Page(), 15);
  auto info = emulated_.BufferInfo(Shown());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->wAttributes, 0x07);
  EXPECT_EQ(info->dwCursorPosition, (Coord{0, 0}));
  EXPECT_EQ(Cell(Shown(), 79, 24).Attributes, 0x07);
}

TEST_F(PagesTest, PagesOutsideZeroToNineteenRaiseFromScreen) {
  for (Integer page : {20, -1, 32767, -32768}) {
    Error e = ErrorOf([&] { console_.Page(page); });
    EXPECT_EQ(e.Number(), 30053);
    EXPECT_EQ(e.Source(), "KelvaneConsole.Screen");
    EXPECT_EQ(e.Description(), "Invalid Page specified.");
    EXPECT_EQ(e.HelpContext(), 1000);
  }
  EXPECT_EQ(console_.Page(), 0);
}

TEST_F(PagesTest, ShowingAPageDrawnOnBeforeKeepsItsContent) {
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue, 3));
  ASSERT_TRUE(console_.SetScreenData("Z", kYellow, kDarkBlue, 2, 2, 3));
  EXPECT_EQ(console_.Page(), 0);
  console_.Page(3);
  EXPECT_EQ(Cell(Shown(), 2, 2).Char, 'Z');
  EXPECT_EQ(Cell(Shown(), 3, 2).Attributes, 0x1F);
  // Showing it again does not clear it either.
  console_.Page(3);
  EXPECT_EQ(Cell(Shown(), 2, 2).Char, 'Z');
}

TEST_F(PagesTest, AFailedBufferCreationLeavesThePageAsItWas) {
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  console_.Page(7);  // the 30053 of the page lookup is absorbed
  EXPECT_EQ(console_.Page(), 0);
  // The slot stayed empty, so the next attempt creates the buffer.
  console_.Page(7);
  EXPECT_EQ(console_.Page(), 7);
}

TEST_F(PagesTest, ARefusedActivationRaisesFromScreen) {
  emulated_.FailCall(Op::SetConsoleActiveScreenBuffer, 1);
  Error e = ErrorOf([&] { console_.Page(2); });
  EXPECT_EQ(e.Number(), 30053);
  EXPECT_EQ(e.Source(), "KelvaneConsole.Screen");
  EXPECT_EQ(console_.Page(), 0);
}

TEST_F(PagesTest, PageIndexConversions) {
  struct Case {
    Variant index;
    bool expected;
  };
  // ClearScreen reports through its result alone: a page that cannot be had gives false.
  const Case cases[] = {{Variant("2"), true},    {Variant("abc"), false}, {Variant(25), false},
                        {Variant(2.5), true},    {Variant("&H3"), true},  {Variant(-1), false},
                        {Variant(" 19 "), true}, {Variant(20), false},    {Variant(1e10), false}};
  for (const auto& c : cases) {
    EXPECT_EQ(console_.ClearScreen(kWhite, kDarkBlue, c.index), c.expected) << c.index.StringValue();
  }
  // 2.5 rounds to the even 2; "&H3" is page 3; " 19 " is page 19.
  for (Integer page : {2, 3, 19}) {
    console_.Page(page);
    EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x1F) << page;
  }
}

TEST_F(PagesTest, ClearScreenDefaultsToLightGreyOnBlackAndHomesTheCursor) {
  console_.WriteText("hello");
  console_.ClearScreen(kWhite, kDarkBlue);
  EXPECT_EQ(Cell(Shown(), 40, 12).Attributes, 0x1F);
  ASSERT_TRUE(console_.ClearScreen());
  EXPECT_EQ(Text(Shown(), 0, 1)[0], std::string(80, ' '));
  EXPECT_EQ(Cell(Shown(), 40, 12).Attributes, 0x07);
  EXPECT_EQ(emulated_.BufferInfo(Shown())->wAttributes, 0x07);
  EXPECT_EQ(emulated_.BufferInfo(Shown())->dwCursorPosition, (Coord{0, 0}));
  // Only a background: the foreground stays light grey.
  ASSERT_TRUE(console_.ClearScreen(Variant(), kDarkBlue));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x17);
  // An unconvertible colour keeps its default, independently of the other.
  ASSERT_TRUE(console_.ClearScreen("white", kDarkGreen));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x27);
}

TEST_F(PagesTest, ClearScreenOfABadPageChangesNothing) {
  console_.ClearScreen(kWhite, kDarkBlue);
  EXPECT_FALSE(console_.ClearScreen(kBlack, kBlack, 25));
  EXPECT_FALSE(console_.ClearScreen(kBlack, kBlack, "abc"));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x1F);
}

TEST_F(PagesTest, ClearScreenReportsAFailedFill) {
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_EQ(emulated_.BufferInfo(Shown())->wAttributes, 0x07);
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
}

class ScrolledWindowTest : public PagesTest {
 protected:
  ScrolledWindowTest() {
    // Page 0's buffer is 100 x 300 with the window at columns 10..89, rows 100..124.
    emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124});
  }
};

TEST_F(ScrolledWindowTest, SetCursorPosAcceptsTheWindowEdgesOnly) {
  EXPECT_TRUE(console_.SetCursorPos(89, 124));
  EXPECT_TRUE(console_.SetCursorPos(10, 100));
  for (auto [x, y] : {std::pair<Integer, Integer>{90, 124}, {89, 125}, {9, 100}, {10, 99}, {0, 0}}) {
    Error e = ErrorOf([&] { console_.SetCursorPos(x, y); });
    EXPECT_EQ(e.Number(), 30056);
    EXPECT_EQ(e.Source(), "KelvaneConsole.SetCursorPos");
    EXPECT_EQ(e.Description(), "Invalid console cursor coordinates.");
  }
  Integer x = 0, y = 0;
  EXPECT_FALSE(console_.GetCursorPos(x, y));
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 100);
}

TEST_F(ScrolledWindowTest, ClearScreenStartsAtTheWindowsTopLeft) {
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_EQ(Cell(Shown(), 10, 100).Attributes, 0x1F);
  EXPECT_EQ(Cell(Shown(), 9, 100).Attributes, 0x07);
  EXPECT_EQ(emulated_.BufferInfo(Shown())->dwCursorPosition, (Coord{10, 100}));
}

TEST_F(PagesTest, CursorPositionIsPerPage) {
  console_.ClearScreen(Variant(), Variant(), 4);
  EXPECT_TRUE(console_.SetCursorPos(5, 3, 4));
  Integer x = -1, y = -1;
  EXPECT_FALSE(console_.GetCursorPos(x, y, 4));
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 3);
  console_.GetCursorPos(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(PagesTest, AnUnresolvablePageIsTheSingleCellAtTheOrigin) {
  EXPECT_FALSE(console_.SetCursorPos(0, 0, 25));
  EXPECT_EQ(ErrorOf([&] { console_.SetCursorPos(1, 0, "abc"); }).Number(), 30056);
  Integer x = 9, y = 9;
  console_.GetCursorPos(x, y, 25);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(PagesTest, AFailedBufferQueryReadsAsAnAllZeroWindow) {
  console_.SetCursorPos(4, 4);
  Integer w = 0, h = 0;
  emulated_.FailCall(Op::GetConsoleScreenBufferInfo, 1);
  EXPECT_FALSE(console_.GetWindowSize(w, h));
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  emulated_.FailCall(Op::GetConsoleScreenBufferInfo, 1);
  Integer x = 9, y = 9;
  console_.GetCursorPos(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

class LargeConsoleTest : public ConsoleTest {
 protected:
  LargeConsoleTest() : ConsoleTest(250, 140) {}
};

TEST_F(LargeConsoleTest, AWindowOfMoreThan32767CellsClearsWhole) {
  Console c;
  c.Load();
  ASSERT_TRUE(c.ClearScreen(kWhite, kDarkBlue));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x1F);
  EXPECT_EQ(Cell(Shown(), 249, 139).Attributes, 0x1F);
}

}  // namespace
}  // namespace kelvane::testing
