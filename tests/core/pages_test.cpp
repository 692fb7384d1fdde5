// Pages, PageIndex conversion and clearing.
#include <gtest/gtest.h>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using PagesTest = LoadedTest;

TEST_F(PagesTest, PagesOutsideZeroToNineteenOrARefusedActivationRaiseFromScreen) {
  for (Integer page : {20, -1, 32767, -32768})
    EXPECT_EQ(ErrorOf([&] { console_.Page(page); }), "30053 KelvaneConsole.Screen: Invalid Page specified.");
  if (!Emulated()) return;
  emulated_.FailCall(Op::SetConsoleActiveScreenBuffer, 1);
  EXPECT_EQ(ErrorOf([&] { console_.Page(2); }), "30053 KelvaneConsole.Screen: Invalid Page specified.");
  EXPECT_EQ(console_.Page(), 0);
}

TEST_F(PagesTest, ClearScreenDefaultsToLightGreyOnBlackAndHomesTheCursor) {
  console_.SetCursorPos(40, 12);
  ASSERT_TRUE(console_.ClearScreen());
  EXPECT_EQ(Cell(Shown(), 40, 12).Attributes, 0x07);
  EXPECT_EQ(CurrentAttribute(Shown()), 0x07);
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
  // Only a background: the foreground stays light grey. A colour that does not convert keeps its default.
  ASSERT_TRUE(console_.ClearScreen(Variant(), kDarkBlue));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x17);
  ASSERT_TRUE(console_.ClearScreen("white", kDarkGreen));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x27);
  // Either fill refused: false.
  if (!Emulated()) return;
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
}

// A page is created cleared light grey on black when first used and keeps its content; PageIndex
// converts as an Integer (2.5 to the even 2, "&H3" to 3); a buffer that cannot be created leaves the
// page as it was and is tried again next time.
TEST_F(PagesTest, APageIsCreatedClearedAndShownOnceAndKeepsItsContent) {
  console_.Page(15);
  EXPECT_EQ(console_.Page(), 15);
  EXPECT_EQ(CurrentAttribute(Shown()), 0x07);
  EXPECT_EQ(Cell(Shown(), 79, 24).Attributes, 0x07);
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue, 2.5));
  ASSERT_TRUE(console_.SetScreenData("Z", kYellow, kDarkBlue, 2, 2, "&H3"));
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue, 1e10));
  EXPECT_EQ(Cell(PageBuffer(console_, 2), 3, 2).Attributes, 0x1F);
  EXPECT_EQ(Cell(PageBuffer(console_, 3), 2, 2).Char, 'Z');
  if (!Emulated()) return;
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  console_.Page(7);
  EXPECT_EQ(console_.Page(), 15);
  console_.Page(7);
  EXPECT_EQ(console_.Page(), 7);
}

}  // namespace
}  // namespace kelvane::testing
