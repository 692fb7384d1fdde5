// Pages, PageIndex conversion and clearing.
#include <gtest/gtest.h>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using PagesTest = LoadedTest;

TEST_F(PagesTest, PagesOutsideZeroToNineteenOrARefusedActivationRaiseFromScreen) {
  for (Integer page : {20, -1, 32767, -32768})
    EXPECT_EQ(ErrorOf([&] { console_.Page(page); }), "30053 KelvaneConsole.Screen: Invalid Page specified.");
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
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 1);
  EXPECT_FALSE(console_.ClearScreen(kWhite, kDarkBlue));
}

}  // namespace
}  // namespace kelvane::testing
