// Pages, PageIndex conversion, clearing and the cursor position.
#include <gtest/gtest.h>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using PagesTest = LoadedTest;

TEST_F(PagesTest, PageFifteenIsCreatedClearedHomedAndShownAndKeepsItsContent) {
  console_.Page(15);
  EXPECT_EQ(console_.Page(), 15);
  EXPECT_EQ(CurrentAttribute(Shown()), 0x07);
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
  EXPECT_EQ(Cell(Shown(), 79, 24).Attributes, 0x07);
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue, 3));
  ASSERT_TRUE(console_.SetScreenData("Z", kYellow, kDarkBlue, 2, 2, 3));
  EXPECT_EQ(console_.Page(), 15);
  for (int twice = 0; twice < 2; ++twice) {
    console_.Page(3);
    EXPECT_EQ(Cell(Shown(), 2, 2).Char, 'Z');
    EXPECT_EQ(Cell(Shown(), 3, 2).Attributes, 0x1F);
  }
}

TEST_F(PagesTest, PagesOutsideZeroToNineteenOrARefusedActivationRaiseFromScreen) {
  for (Integer page : {20, -1, 32767, -32768}) {
    ExpectError(ErrorOf([&] { console_.Page(page); }), 30053, "KelvaneConsole.Screen",
                "Invalid Page specified.");
  }
  emulated_.FailCall(Op::SetConsoleActiveScreenBuffer, 1);
  ExpectError(ErrorOf([&] { console_.Page(2); }), 30053, "KelvaneConsole.Screen", "Invalid Page specified.");
  EXPECT_EQ(console_.Page(), 0);
}

TEST_F(PagesTest, AFailedBufferCreationLeavesThePageAsItWas) {
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  console_.Page(7);  // the 30053 of the page lookup is absorbed
  EXPECT_EQ(console_.Page(), 0);
  // The slot stayed empty, so the next attempt creates the buffer.
  console_.Page(7);
  EXPECT_EQ(console_.Page(), 7);
}

TEST_F(PagesTest, PageIndexConvertsAsAnInteger) {
  // 2.5 rounds to the even 2; "&H3" is page 3; " 19 " is page 19; 25 and 1e10 cannot be had.
  for (const Variant& page : {Variant("2"), Variant(2.5), Variant("&H3"), Variant(" 19 ")}) {
    EXPECT_TRUE(console_.ClearScreen(kWhite, kDarkBlue, page));
  }
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue, 25));
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue, 1e10));
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
  EXPECT_EQ(CurrentAttribute(Shown()), 0x07);
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
  // Only a background: the foreground stays light grey.
  ASSERT_TRUE(console_.ClearScreen(Variant(), kDarkBlue));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x17);
  // An unconvertible colour keeps its default, independently of the other.
  ASSERT_TRUE(console_.ClearScreen("white", kDarkGreen));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x27);
}

TEST_F(PagesTest, ClearScreenReportsAFailedFill) {
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x07);
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
}

TEST_F(PagesTest, ClearScreenStartsAtTheScrolledWindowsTopLeft) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_EQ(Cell(Shown(), 10, 100).Attributes, 0x1F);
  EXPECT_EQ(Cell(Shown(), 9, 100).Attributes, 0x07);
}

TEST_F(PagesTest, CursorPositionIsPerPageAndAnUnresolvablePageIsTheOriginAlone) {
  console_.ClearScreen(Variant(), Variant(), 4);
  EXPECT_TRUE(console_.SetCursorPos(5, 3, 4));
  Integer x = -1, y = -1;
  EXPECT_FALSE(console_.GetCursorPos(x, y, 4));
  EXPECT_EQ((Coord{x, y}), (Coord{5, 3}));
  console_.GetCursorPos(x, y);
  EXPECT_EQ((Coord{x, y}), (Coord{0, 0}));
  ExpectError(ErrorOf([&] { console_.SetCursorPos(1, 0, "abc"); }), 30056, "KelvaneConsole.SetCursorPos",
              "Invalid console cursor coordinates.");
}

TEST_F(PagesTest, AFailedBufferQueryReadsAsAnAllZeroWindow) {
  console_.SetCursorPos(4, 4);
  Integer w = 0, h = 0;
  emulated_.FailCall(Op::GetConsoleScreenBufferInfo, 1);
  EXPECT_FALSE(console_.GetWindowSize(w, h));
  EXPECT_EQ((Coord{w, h}), (Coord{1, 1}));
  emulated_.FailCall(Op::GetConsoleScreenBufferInfo, 1);
  Integer x = 9, y = 9;
  console_.GetCursorPos(x, y);
  EXPECT_EQ((Coord{x, y}), (Coord{0, 0}));
}

class LargeConsoleTest : public LoadedTest {
 protected:
  LargeConsoleTest() : LoadedTest(250, 140) {}
};

TEST_F(LargeConsoleTest, AWindowOfMoreThan32767CellsClearsWhole) {
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x1F);
  EXPECT_EQ(Cell(Shown(), 249, 139).Attributes, 0x1F);
}

}  // namespace
}  // namespace kelvane::testing
