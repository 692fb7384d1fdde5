// Single cells: SetScreenData and GetScreenData, on a 20 x 5 console.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using platform::Coord;
using platform::Dword;
using platform::SmallRect;
using Rows = std::vector<std::string>;

const std::string kBlankRow = "                    ";
const std::string kWhiteOnDarkBlueRow = "1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F";

class CellsTest : public ConsoleTest {
 protected:
  // White on dark blue with the cursor at (2, 1), so that the cursor's cell is not the origin.
  CellsTest() : ConsoleTest(20, 5) {
    console_.Load();
    console_.ClearScreen(kWhite, kDarkBlue);
    console_.SetCursorPos(2, 1);
  }

  Coord CursorOf(Handle buffer) const { return emulated_.BufferInfo(buffer)->dwCursorPosition; }

  // Puts a character and an attribute into a cell behind the library's back.
  void Poke(Handle buffer, Coord at, char character, platform::Word attribute) {
    Dword written = 0;
    emulated_.FillConsoleOutputCharacterA(buffer, character, 1, at, &written);
    emulated_.FillConsoleOutputAttribute(buffer, attribute, 1, at, &written);
  }

  Console console_;
};

// --- SetScreenData ---

TEST_F(CellsTest, AFiveLetterCharWritesItsFirstLetterAtTheCursor) {
  String ch = "Hello";
  EXPECT_TRUE(console_.SetScreenData(ch, kYellow));
  EXPECT_EQ(ch, "H");
  EXPECT_EQ(Text(Shown(), 0, 3), (Rows{kBlankRow,  //
                                       "  H                 ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 1, 1), (Rows{"1F1F1E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 1}));
}

TEST_F(CellsTest, CharIsCutToItsFirstWholeCharacter) {
  String accented = "éclair";
  EXPECT_TRUE(console_.SetScreenData(accented, kWhite, Variant(), 0, 0));
  EXPECT_EQ(accented, "é");
  // A character code page 437 lacks is still cut whole, and shows as '?'.
  String euro = "€uro";
  EXPECT_TRUE(console_.SetScreenData(euro, kWhite, Variant(), 1, 0));
  EXPECT_EQ(euro, "€");
  EXPECT_EQ(Text(Shown(), 0, 1), (Rows{"é?                  "}));
}

TEST_F(CellsTest, AnEmptyCharRecoloursTheCellAndKeepsItsCharacter) {
  ASSERT_TRUE(console_.SetScreenData("Q", kWhite, Variant(), 5, 0));
  EXPECT_TRUE(console_.SetScreenData("", kYellow, kDarkRed, 5, 0));
  // With every argument omitted: the cursor's cell, black on the background it has.
  EXPECT_TRUE(console_.SetScreenData());
  EXPECT_EQ(Text(Shown(), 0, 2), (Rows{"     Q              ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 0, 2),
            (Rows{"1F1F1F1F1F4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F", "1F1F101F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

TEST_F(CellsTest, CharAlonePaintsBlackOnTheCellsOwnBackground) {
  // The cursor's cell is dark red while the rest of the page is dark blue.
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
  EXPECT_EQ(Text(Shown()), (Rows{"  d                 ",                  //
                                 "f g  b              ", "  e                 ", "  a                 ",
                                 "                   c"}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 1}));
}

TEST_F(CellsTest, InAScrolledWindowTheEdgesAreTheWindowsNotTheBuffers) {
  // A 40 x 20 buffer showing columns 10..29 of rows 8..12.
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{40, 20}, SmallRect{10, 8, 29, 12}));
  ASSERT_TRUE(console_.SetCursorPos(12, 9));
  EXPECT_TRUE(console_.SetScreenData("a", kWhite, Variant(), 0, 11));  // in the buffer, left of the window
  EXPECT_TRUE(console_.SetScreenData("b", kWhite, Variant(), 15, 7));  // above the window
  EXPECT_TRUE(console_.SetScreenData("c", kWhite, Variant(), 29, 12));
  EXPECT_TRUE(console_.SetScreenData("d", kWhite, Variant(), 10, 8));
  EXPECT_EQ(Text(Shown()),
            (Rows{"d                   ",  //
                  "     b              ", kBlankRow, "  a                 ", "                   c"}));
  EXPECT_EQ(Cell(Shown(), 0, 11).Char, ' ');
}

TEST_F(CellsTest, BackColorThatDoesNotConvertCountsAsOmitted) {
  EXPECT_TRUE(console_.SetScreenData("x", kYellow, "purple", 3, 3));
  EXPECT_TRUE(console_.SetScreenData("y", kYellow, Variant::Null(), 4, 3));
  // Empty converts (to 0), so it is black rather than omitted.
  EXPECT_TRUE(console_.SetScreenData("z", kYellow, Variant::Empty(), 5, 3));
  EXPECT_EQ(Text(Shown(), 3, 1), (Rows{"   xyz              "}));
  EXPECT_EQ(Attributes(Shown(), 3, 1), (Rows{"1F1F1F1E1E0E1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

TEST_F(CellsTest, SetScreenDataLeavesTheCurrentColoursAndTheCursorAlone) {
  ASSERT_TRUE(console_.SetScreenData("x", kYellow, kDarkRed, 7, 3));
  auto info = emulated_.BufferInfo(Shown());
  EXPECT_EQ(info->wAttributes, 0x1F);
  EXPECT_EQ(info->dwCursorPosition, (Coord{2, 1}));
}

TEST_F(CellsTest, APageThatCannotBeHadGetsNothingWritten) {
  const int buffers_created = emulated_.CallCount(Op::CreateConsoleScreenBuffer);
  for (const Variant& page : {Variant(25), Variant(-1), Variant("abc"), Variant(20)}) {
    String ch = "xyz";
    EXPECT_FALSE(console_.SetScreenData(ch, kYellow, kDarkRed, 0, 0, page)) << page.StringValue();
  }
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(Attributes(Shown()), Rows(5, kWhiteOnDarkBlueRow));
  EXPECT_EQ(emulated_.CallCount(Op::CreateConsoleScreenBuffer), buffers_created);
}

TEST_F(CellsTest, ARefusedAttributeFillWritesNoCharacter) {
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 1);
  String ch = "xyz";
  EXPECT_FALSE(console_.SetScreenData(ch, kYellow, kDarkRed, 3, 3));
  EXPECT_EQ(ch, "xyz");
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(Attributes(Shown()), Rows(5, kWhiteOnDarkBlueRow));
}

TEST_F(CellsTest, ARefusedCharacterFillKeepsTheAttributeAlreadyWritten) {
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  String ch = "xyz";
  EXPECT_FALSE(console_.SetScreenData(ch, kYellow, kDarkRed, 3, 3));
  EXPECT_EQ(ch, "x");
  EXPECT_EQ(Text(Shown(), 3, 1), (Rows{kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 3, 1), (Rows{"1F1F1F4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

TEST_F(CellsTest, AHiddenPageIsWrittenAtItsOwnCursorAndStaysHidden) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));  // its cursor is at (0, 0)
  EXPECT_TRUE(console_.SetScreenData("P", kWhite, Variant(), 1, 1, 2));
  EXPECT_TRUE(console_.SetScreenData("Q", kWhite, Variant(), Variant(), Variant(), 2));
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  Handle hidden = PageBuffer(console_, 2);
  EXPECT_EQ(Text(hidden, 0, 2), (Rows{"Q                   ",  //
                                      " P                  "}));
  EXPECT_EQ(Attributes(hidden, 0, 2),
            (Rows{"4F4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E", "4E4F4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E"}));
}

// --- GetScreenData ---

TEST_F(CellsTest, AttributeOneEReadsAsYellowOnDarkBlue) {
  Poke(Shown(), Coord{6, 2}, 'Z', 0x1E);
  String ch;
  Long fore = -1, back = -1;
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 6, 2));
  EXPECT_EQ(ch, "Z");
  EXPECT_EQ(fore, 0x00FFFF);
  EXPECT_EQ(back, 0x800000);
}

TEST_F(CellsTest, ASpaceReadsAsAOneCharacterString) {
  String ch = "unchanged";
  Long fore = -1, back = -1;
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 0, 0));
  EXPECT_EQ(ch, " ");
  EXPECT_EQ(fore, kWhite);
  EXPECT_EQ(back, kDarkBlue);
}

TEST_F(CellsTest, AnAttributeWithHighBitsWritesNeitherColour) {
  Poke(Shown(), Coord{6, 2}, 'G', 0x041E);  // a grid line bit beside yellow on dark blue
  String ch;
  Long fore = -1, back = -2;
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 6, 2));
  EXPECT_EQ(ch, "G");
  EXPECT_EQ(fore, -1);
  EXPECT_EQ(back, -2);
}

TEST_F(CellsTest, OmittedCoordinatesReadUnderTheCursor) {
  Poke(Shown(), Coord{2, 1}, 'K', 0x4E);
  Poke(Shown(), Coord{7, 1}, 'L', 0x2A);
  String ch;
  Long fore = -1, back = -1;
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back));
  EXPECT_EQ(ch, "K");
  EXPECT_EQ(fore, kYellow);
  EXPECT_EQ(back, kDarkRed);
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 7));  // the cursor's row
  EXPECT_EQ(ch, "L");
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 30, 1));  // beyond the right edge
  EXPECT_EQ(ch, "K");
}

TEST_F(CellsTest, AnUnconvertiblePageReadsTheCurrentPagesOrigin) {
  Poke(Shown(), Coord{0, 0}, 'A', 0x1E);
  // An unconvertible page becomes -1, which the cell read takes for the current page; so does -1 itself.
  for (const Variant& page : {Variant("abc"), Variant(-1)}) {
    String ch;
    Long fore = -1, back = -1;
    EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 5, 3, page));
    EXPECT_EQ(ch, "A");
    EXPECT_EQ(fore, kYellow);
    EXPECT_EQ(back, kDarkBlue);
  }
}

TEST_F(CellsTest, APageOutsideTheTableReadsAsEmptyAndBlack) {
  for (const Variant& page : {Variant(25), Variant(20), Variant(-2)}) {
    String ch = "x";
    Long fore = -1, back = -1;
    EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 0, 0, page));
    EXPECT_EQ(ch, "");
    EXPECT_EQ(fore, kBlack);
    EXPECT_EQ(back, kBlack);
  }
}

TEST_F(CellsTest, AHiddenPageIsReadWithoutBeingShown) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));
  ASSERT_TRUE(console_.SetScreenData("P", kWhite, Variant(), 1, 1, 2));
  String ch;
  Long fore = -1, back = -1;
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 1, 1, 2));
  EXPECT_EQ(ch, "P");
  EXPECT_EQ(fore, kWhite);
  EXPECT_EQ(back, kDarkRed);
  EXPECT_EQ(console_.Page(), 0);
}

TEST_F(CellsTest, AFailedCellReadGivesEmptyTextAndTheCurrentColours) {
  ASSERT_TRUE(console_.SetColor(kYellow, kDarkRed));
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  String ch = "x";
  Long fore = -1, back = -1;
  EXPECT_TRUE(console_.GetScreenData(ch, fore, back, 0, 0));
  EXPECT_EQ(ch, "");
  EXPECT_EQ(fore, kYellow);
  EXPECT_EQ(back, kDarkRed);
}

TEST_F(CellsTest, AFailedCellReadLeavesSetScreenDataTheCurrentBackground) {
  ASSERT_TRUE(console_.SetColor(kYellow, kDarkRed));
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  EXPECT_TRUE(console_.SetScreenData("x", kWhite, Variant(), 3, 3));
  EXPECT_EQ(Attributes(Shown(), 3, 1), (Rows{"1F1F1F4F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
}

// --- Characters through code page 437 ---

TEST_F(CellsTest, CharactersOfCodePage437RoundTrip) {
  const std::vector<std::string> characters{"é", "┌", "░", "ñ", "ß", "½", "A", "~"};
  for (size_t i = 0; i < characters.size(); ++i) {
    ASSERT_TRUE(console_.SetScreenData(characters[i], kWhite, Variant(), static_cast<int>(i), 0));
  }
  EXPECT_EQ(Text(Shown(), 0, 1), (Rows{"é┌░ñß½A~            "}));
  for (size_t i = 0; i < characters.size(); ++i) {
    String ch;
    Long fore = 0, back = 0;
    ASSERT_TRUE(console_.GetScreenData(ch, fore, back, static_cast<int>(i), 0));
    EXPECT_EQ(ch, characters[i]);
  }
}

TEST_F(CellsTest, ACharacterOutsideCodePage437ReadsBackAsAQuestionMark) {
  ASSERT_TRUE(console_.SetScreenData("€", kWhite, Variant(), 0, 0));
  String ch;
  Long fore = 0, back = 0;
  ASSERT_TRUE(console_.GetScreenData(ch, fore, back, 0, 0));
  EXPECT_EQ(ch, "?");
}

}  // namespace
}  // namespace kelvane::testing
