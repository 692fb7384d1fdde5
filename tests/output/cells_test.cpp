// Single cells: SetScreenData and GetScreenData, on a 20 x 5 console cleared white on dark blue, with the
// cursor at (2, 1). Coordinates off the window are the contract table's.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

// What GetScreenData gives: the character and the two colours (-1 where it writes none).
using Read = std::tuple<String, Long, Long>;

class CellsTest : public LoadedTest {
 protected:
  CellsTest() : LoadedTest(20, 5) {
    console_.ClearScreen(kWhite, kDarkBlue);
    console_.SetCursorPos(2, 1);
  }
  Read Get(const Variant& x = Missing, const Variant& y = Missing, const Variant& page = Missing) {
    String ch = "unchanged";
    Long fore = -1, back = -1;
    EXPECT_TRUE(console_.GetScreenData(ch, fore, back, x, y, page));
    return {ch, fore, back};
  }
};

// The first whole character of Char is written back and drawn ('?' for one code page 437 lacks); an
// empty Char recolours; Char alone is black on the cell's background; a BackColor that does not convert
// counts as omitted, while Empty converts to black. Cursor and current colours stay.
TEST_F(CellsTest, SetScreenDataWritesTheFirstCharacterOfCharInItsColours) {
  String ch = "éclair";
  EXPECT_TRUE(console_.SetScreenData(ch, kYellow, Variant(), 0, 0));
  EXPECT_EQ(ch, "é");
  ch = "€uro";
  EXPECT_TRUE(console_.SetScreenData(ch, kYellow, kDarkRed, 1, 0));
  EXPECT_EQ(ch, "€");
  EXPECT_TRUE(console_.SetScreenData("┌", kYellow, "purple", 2, 0));
  EXPECT_TRUE(console_.SetScreenData("", kYellow, kDarkRed, 0, 0));
  EXPECT_TRUE(console_.SetScreenData("x", kYellow, Variant::Empty(), 3, 0));
  EXPECT_TRUE(console_.SetScreenData());  // the cursor's cell
  EXPECT_EQ(Screen(Shown(), 0, 2),
            (Rows{"é?┌x                 rry?################", "                     ##?#################"}));
  EXPECT_EQ(Cell(Shown(), 3, 0).Attributes, 0x0E);
  EXPECT_EQ(Cell(Shown(), 2, 1).Attributes, 0x10);
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 1}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1F);
}

TEST_F(CellsTest, GetScreenDataReadsTheCharacterAndBothColours) {
  Poke(Shown(), Coord{2, 1}, 'K', 0x4E);
  Poke(Shown(), Coord{7, 1}, 'L', 0x2A);
  EXPECT_EQ(Get(), Read("K", kYellow, kDarkRed));
  EXPECT_EQ(Get(7), Read("L", 0x00FF00, kDarkGreen));  // the cursor's row
  // A grid line bit beside yellow on dark blue: neither colour is written.
  Poke(Shown(), Coord{6, 2}, 'G', 0x041E);
  EXPECT_EQ(Get(6, 2), Read("G", -1, -1));
  // A failed read gives the current colours, which SetScreenData then takes for the background.
  ASSERT_TRUE(console_.SetColor(kYellow, kDarkRed));
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  EXPECT_EQ(Get(0, 0), Read("", kYellow, kDarkRed));
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  EXPECT_TRUE(console_.SetScreenData("x", kWhite, Variant(), 3, 3));
  EXPECT_EQ(Cell(Shown(), 3, 3).Attributes, 0x4F);
}

TEST_F(CellsTest, AHiddenPageIsWrittenAtItsOwnCursorAndReadWithoutBeingShown) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));  // its cursor is at (0, 0)
  EXPECT_TRUE(console_.SetScreenData("P", kWhite, Variant(), 1, 1, 2));
  EXPECT_TRUE(console_.SetScreenData("Q", kYellow, Variant(), Variant(), Variant(), 2));
  EXPECT_EQ(Get(1, 1, 2), Read("P", kWhite, kDarkRed));
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Screen(Shown()), Rows(5, std::string(20, ' ') + " " + std::string(20, '#')));
  EXPECT_EQ(Screen(PageBuffer(console_, 2), 0, 2),
            (Rows{"Q                    rrrrrrrrrrrrrrrrrrrr", " P                   r?rrrrrrrrrrrrrrrrrr"}));
}

}  // namespace
}  // namespace kelvane::testing
