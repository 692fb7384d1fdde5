// Single cells: SetScreenData and GetScreenData, on a 20 x 5 console.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

// What GetScreenData gives: the character and the two colours.
using Read = std::tuple<String, Long, Long>;

class CellsTest : public SmallConsoleTest {
 protected:
  // The cursor's cell is not the origin.
  CellsTest() { console_.SetCursorPos(2, 1); }

  // GetScreenData, whose result is always true; colours it does not write come back as -1.
  Read Get(const Variant& x = Missing, const Variant& y = Missing, const Variant& page = Missing) {
    String ch = "unchanged";
    Long fore = -1, back = -1;
    EXPECT_TRUE(console_.GetScreenData(ch, fore, back, x, y, page));
    return {ch, fore, back};
  }
};

TEST_F(CellsTest, AFiveLetterCharWritesItsFirstLetterAtTheCursorAndLeavesCursorAndColours) {
  String ch = "Hello";
  EXPECT_TRUE(console_.SetScreenData(ch, kYellow));
  EXPECT_EQ(ch, "H");
  EXPECT_EQ(Text(Shown(), 0, 3), (Rows{kBlankRow, "  H                 ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 1, 1), (Rows{"1F1F1E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 1}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1F);
}

// Code page 437 characters round trip; one it lacks is still cut whole, and shows as '?'.
TEST_F(CellsTest, CharIsCutToItsFirstWholeCharacter) {
  const std::vector<std::string> characters{"éclair", "┌", "░", "ñ", "ß", "½", "A", "~", "€uro"};
  for (size_t i = 0; i < characters.size(); ++i) {
    String ch = characters[i];
    ASSERT_TRUE(console_.SetScreenData(ch, kWhite, Variant(), static_cast<int>(i), 0));
    EXPECT_EQ(ch, i == 0 ? "é" : i == 8 ? "€" : characters[i]);
    EXPECT_EQ(std::get<0>(Get(static_cast<int>(i), 0)), i == 0 ? "é" : i == 8 ? "?" : characters[i]);
  }
  EXPECT_EQ(Text(Shown(), 0, 1), (Rows{"é┌░ñß½A~?           "}));
}

TEST_F(CellsTest, AnEmptyCharRecoloursAndCharAlonePaintsBlackOnTheCellsBackground) {
  ASSERT_TRUE(console_.SetScreenData("Q", kWhite, Variant(), 5, 0));
  EXPECT_TRUE(console_.SetScreenData("", kYellow, kDarkRed, 5, 0));
  // With every argument omitted: the cursor's cell, black on the background it has.
  EXPECT_TRUE(console_.SetScreenData());
  EXPECT_EQ(Text(Shown(), 0, 2), (Rows{"     Q              ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 0, 2),
            (Rows{"1F1F1F1F1F4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F", "1F1F101F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
  // The cursor's cell dark red while the rest of the page is dark blue.
  ASSERT_TRUE(console_.SetScreenData("", kYellow, kDarkRed));
  EXPECT_TRUE(console_.SetScreenData("x"));
  EXPECT_EQ(Text(Shown(), 1, 1), (Rows{"  x                 "}));
  EXPECT_EQ(Attributes(Shown(), 1, 1), (Rows{"1F1F401F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

TEST_F(CellsTest, EachCoordinateOutsideTheWindowFallsBackToTheCursorsOnItsOwnAxis) {
  EXPECT_TRUE(console_.SetScreenData("a", kWhite, Variant(), 20, 3));     // X beyond the right edge
  EXPECT_TRUE(console_.SetScreenData("b", kWhite, Variant(), 5, 5));      // Y below the bottom
  EXPECT_TRUE(console_.SetScreenData("c", kWhite, Variant(), 19, 4));     // the far corner itself
  EXPECT_TRUE(console_.SetScreenData("d", kWhite, Variant(), "abc", 0));  // X unconvertible
  EXPECT_TRUE(console_.SetScreenData("e", kWhite, Variant(), -1, 2));     // X left of the window
  EXPECT_TRUE(console_.SetScreenData("f", kWhite, Variant(), 0, -3));     // Y above the window
  EXPECT_TRUE(console_.SetScreenData("g", kWhite, Variant(), 40000, 9));  // X overflows, Y beyond
  EXPECT_EQ(Text(Shown()), (Rows{"  d                 ", "f g  b              ", "  e                 ",
                                 "  a                 ", "                   c"}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 1}));
}

// Empty converts (to 0), so it is black rather than omitted.
TEST_F(CellsTest, BackColorThatDoesNotConvertCountsAsOmitted) {
  EXPECT_TRUE(console_.SetScreenData("x", kYellow, "purple", 3, 3));
  EXPECT_TRUE(console_.SetScreenData("y", kYellow, Variant::Null(), 4, 3));
  EXPECT_TRUE(console_.SetScreenData("z", kYellow, Variant::Empty(), 5, 3));
  EXPECT_EQ(Text(Shown(), 3, 1), (Rows{"   xyz              "}));
  EXPECT_EQ(Attributes(Shown(), 3, 1), (Rows{"1F1F1F1E1E0E1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

// The attribute goes first; the character only after it.
TEST_F(CellsTest, ARefusedFillIsReported) {
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 1);
  String ch = "xyz";
  EXPECT_FALSE(console_.SetScreenData(ch, kYellow, kDarkRed, 3, 3));
  EXPECT_EQ(ch, "xyz");
  ExpectBlankPage(Shown());
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  EXPECT_FALSE(console_.SetScreenData(ch, kYellow, kDarkRed, 3, 3));
  EXPECT_EQ(ch, "x");
  EXPECT_EQ(Text(Shown(), 3, 1), (Rows{kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 3, 1), (Rows{"1F1F1F4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

TEST_F(CellsTest, AHiddenPageIsWrittenAtItsOwnCursorAndReadWithoutBeingShown) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));  // its cursor is at (0, 0)
  EXPECT_TRUE(console_.SetScreenData("P", kWhite, Variant(), 1, 1, 2));
  EXPECT_TRUE(console_.SetScreenData("Q", kWhite, Variant(), Variant(), Variant(), 2));
  EXPECT_EQ(Get(1, 1, 2), Read("P", kWhite, kDarkRed));
  EXPECT_EQ(console_.Page(), 0);
  ExpectBlankPage(Shown());
  Handle hidden = PageBuffer(console_, 2);
  EXPECT_EQ(Text(hidden, 0, 2), (Rows{"Q                   ", " P                  "}));
  EXPECT_EQ(Attributes(hidden, 0, 2),
            (Rows{"4F4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E", "4E4F4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E"}));
}

TEST_F(CellsTest, GetScreenDataReadsTheCharacterAndBothColours) {
  EXPECT_EQ(Get(0, 0), Read(" ", kWhite, kDarkBlue));
  Poke(Shown(), Coord{6, 2}, 'Z', 0x1E);
  EXPECT_EQ(Get(6, 2), Read("Z", 0x00FFFF, 0x800000));
  // A grid line bit beside yellow on dark blue: neither colour is written.
  Poke(Shown(), Coord{6, 2}, 'G', 0x041E);
  EXPECT_EQ(Get(6, 2), Read("G", -1, -1));
}

TEST_F(CellsTest, OmittedOrOffWindowCoordinatesReadUnderTheCursor) {
  Poke(Shown(), Coord{2, 1}, 'K', 0x4E);
  Poke(Shown(), Coord{7, 1}, 'L', 0x2A);
  EXPECT_EQ(Get(), Read("K", kYellow, kDarkRed));
  EXPECT_EQ(std::get<0>(Get(7)), "L");      // the cursor's row
  EXPECT_EQ(std::get<0>(Get(30, 1)), "K");  // beyond the right edge
}

TEST_F(CellsTest, AFailedCellReadGivesTheCurrentColours) {
  ASSERT_TRUE(console_.SetColor(kYellow, kDarkRed));
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  EXPECT_EQ(Get(0, 0), Read("", kYellow, kDarkRed));
  // SetScreenData then takes the current background.
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  EXPECT_TRUE(console_.SetScreenData("x", kWhite, Variant(), 3, 3));
  EXPECT_EQ(Attributes(Shown(), 3, 1), (Rows{"1F1F1F4F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

}  // namespace
}  // namespace kelvane::testing
