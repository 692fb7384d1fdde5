// SetColor, WriteText and the console modes WriteText sets, on a 20 x 5 console.
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
const std::string kYellowOnDarkRedRow = "4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E";

class TextTest : public ConsoleTest {
 protected:
  TextTest() : ConsoleTest(20, 5) {
    console_.Load();
    console_.ClearScreen(kWhite, kDarkBlue);
  }

  Coord CursorOf(Handle buffer) const { return emulated_.BufferInfo(buffer)->dwCursorPosition; }
  platform::Word CurrentAttribute(Handle buffer) const { return emulated_.BufferInfo(buffer)->wAttributes; }
  Dword Mode(Handle handle) {
    Dword mode = 0xDEAD;
    emulated_.GetConsoleMode(handle, &mode);
    return mode;
  }
  Dword InputMode() { return Mode(emulated_.GetStdHandle(platform::kStdInputHandle)); }

  Console console_;
};

// --- SetColor ---

TEST_F(TextTest, SetColorOnAHiddenPageChangesOnlyThatPagesColours) {
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue, 2));
  Handle hidden = PageBuffer(console_, 2);
  Handle shown = Shown();
  EXPECT_TRUE(console_.SetColor(kYellow, kDarkRed, 2));
  EXPECT_EQ(CurrentAttribute(hidden), 0x4E);
  EXPECT_EQ(CurrentAttribute(shown), 0x1F);
  EXPECT_EQ(Shown(), shown);
  EXPECT_EQ(console_.Page(), 0);
  // No cell changes colour: only later text takes the new colours.
  EXPECT_EQ(Attributes(hidden), Rows(5, kWhiteOnDarkBlueRow));
}

TEST_F(TextTest, SetColorOnAHiddenPageTakesTheBackgroundUnderThatPagesCursor) {
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkGreen, 2));
  EXPECT_TRUE(console_.SetColor(kRed, Variant(), 2));
  EXPECT_EQ(CurrentAttribute(PageBuffer(console_, 2)), 0x2C);
}

TEST_F(TextTest, SetColorWithoutBackColorKeepsTheBackgroundOfTheCursorsCell) {
  // The current colours have a black background; the cells under the cursor do not.
  ASSERT_TRUE(console_.SetColor(kLightGrey, kBlack));
  ASSERT_EQ(CurrentAttribute(Shown()), 0x07);
  EXPECT_TRUE(console_.SetColor(kRed));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1C);
  // A BackColor that does not convert counts as omitted.
  ASSERT_TRUE(console_.SetScreenData("", kWhite, kDarkGreen, 4, 2));
  ASSERT_TRUE(console_.SetCursorPos(4, 2));
  EXPECT_TRUE(console_.SetColor(kYellow, "navy"));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x2E);
  EXPECT_EQ(CursorOf(Shown()), (Coord{4, 2}));
}

TEST_F(TextTest, SetColorOnAPageThatCannotBeHadFails) {
  for (const Variant& page : {Variant(25), Variant(-1), Variant("abc")}) {
    EXPECT_FALSE(console_.SetColor(kYellow, kDarkRed, page)) << page.StringValue();
  }
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1F);
}

// --- WriteText: colours ---

TEST_F(TextTest, TextTakesTheColoursOfTheCursorsCellAndEndsTheLine) {
  EXPECT_TRUE(console_.WriteText("Hi"));
  EXPECT_EQ(Text(Shown(), 0, 2), (Rows{"Hi                  ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 0, 1), (Rows{kWhiteOnDarkBlueRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 1}));
}

TEST_F(TextTest, TheDefaultsAreTheCellsColoursNeverThePagesCurrentColours) {
  ASSERT_TRUE(console_.SetColor(kRed, kBlack));
  EXPECT_TRUE(console_.WriteText("ab"));
  EXPECT_EQ(Attributes(Shown(), 0, 1), (Rows{kWhiteOnDarkBlueRow}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1F);
}

TEST_F(TextTest, EachGivenColourReplacesOnlyItsOwnDefault) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkBlue));
  EXPECT_TRUE(console_.WriteText("ab", kRed));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1C);
  EXPECT_TRUE(console_.WriteText("cd", Variant(), kDarkGreen));
  // Colours that do not convert keep the defaults.
  EXPECT_TRUE(console_.WriteText("ef", "red", "green"));
  EXPECT_EQ(Text(Shown(), 0, 3), (Rows{"ab                  ",  //
                                       "cd                  ", "ef                  "}));
  EXPECT_EQ(Attributes(Shown(), 0, 3),
            (Rows{"1C1C1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E", "2E2E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E",
                  "1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E"}));
}

// --- WriteText: line ends, control characters and the bottom row ---

TEST_F(TextTest, KeepingTheCursorOnTheLineContinuesTheRow) {
  EXPECT_TRUE(console_.WriteText("ab", Variant(), Variant(), true));
  EXPECT_TRUE(console_.WriteText("cd", Variant(), Variant(), true));
  EXPECT_EQ(Text(Shown(), 0, 2), (Rows{"abcd                ", kBlankRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{4, 0}));
}

TEST_F(TextTest, KeepingTheCursorOnTheLineShowsCarriageReturnAndLineFeedAsCells) {
  EXPECT_TRUE(console_.WriteText("a\r\nb", Variant(), Variant(), true));
  EXPECT_EQ(Text(Shown(), 0, 2), (Rows{"a♪◙b                ", kBlankRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{4, 0}));
}

TEST_F(TextTest, EndingTheLineActsOnCarriageReturnAndLineFeed) {
  EXPECT_TRUE(console_.WriteText("a\r\nb"));
  EXPECT_EQ(Text(Shown(), 0, 3), (Rows{"a                   ",  //
                                       "b                   ", kBlankRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 2}));
}

TEST_F(TextTest, ATextFillingItsRowExactlyLeavesAnEmptyRowBehindIt) {
  // The last column moves the cursor to the next row at once; the line end then adds another.
  EXPECT_TRUE(console_.WriteText("abcdefghijklmnopqrst"));
  EXPECT_EQ(Text(Shown(), 0, 3), (Rows{"abcdefghijklmnopqrst", kBlankRow, kBlankRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 2}));
}

TEST_F(TextTest, TextAwayFromTheBottomRowColoursOnlyItsOwnCells) {
  ASSERT_TRUE(console_.SetCursorPos(3, 2));
  EXPECT_TRUE(console_.WriteText("ab", kYellow, kDarkRed));
  EXPECT_EQ(Text(Shown(), 2, 2), (Rows{"   ab               ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown(), 2, 2), (Rows{"1F1F1F4E4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F",  //
                                             kWhiteOnDarkBlueRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 3}));
}

TEST_F(TextTest, OnTheBottomRowTheLineEndColoursToTheRightEdgeAndScrolls) {
  ASSERT_TRUE(console_.SetScreenData("1", kWhite, Variant(), 0, 1));
  ASSERT_TRUE(console_.SetCursorPos(3, 4));
  EXPECT_TRUE(console_.WriteText("ab", kYellow, kDarkRed));
  // Row 0 is gone; the new bottom row is blank in the text's colours.
  EXPECT_EQ(Text(Shown()), (Rows{"1                   ",  //
                                 kBlankRow, kBlankRow, "   ab               ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown()), (Rows{kWhiteOnDarkBlueRow,  //
                                       kWhiteOnDarkBlueRow, kWhiteOnDarkBlueRow,
                                       "1F1F1F4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E", kYellowOnDarkRedRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 4}));
}

TEST_F(TextTest, OnTheBottomRowWithTheCursorKeptTheColouringDependsOnWhereTheTextEnds) {
  struct Case {
    Integer column;
    std::string text;
    std::string row;
    std::string attributes;
  };
  const Case cases[] = {
      // n + c < Right: exactly the text's cells.
      {3, "ab", "   ab               ", "1F1F1F4E4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"},
      {16, "ab", "                ab  ", "1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F4E4E1F1F"},
      // n + c = Right: through the right edge, one cell more than the text.
      {17, "ab", "                 ab ", "1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F4E4E4E"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
    ASSERT_TRUE(console_.SetCursorPos(c.column, 4));
    EXPECT_TRUE(console_.WriteText(c.text, kYellow, kDarkRed, true));
    EXPECT_EQ(Text(Shown(), 4, 1), (Rows{c.row})) << c.column;
    EXPECT_EQ(Attributes(Shown(), 4, 1), (Rows{c.attributes})) << c.column;
    EXPECT_EQ(CursorOf(Shown()), (Coord{static_cast<short>(c.column + 2), 4})) << c.column;
  }
}

TEST_F(TextTest, OnTheBottomRowATextRunningPastTheEdgeWrapsIntoTheScrolledRow) {
  ASSERT_TRUE(console_.SetCursorPos(18, 4));
  EXPECT_TRUE(console_.WriteText("abcd", kYellow, kDarkRed, true));
  EXPECT_EQ(Text(Shown(), 3, 2), (Rows{"                  ab",  //
                                       "cd                  "}));
  EXPECT_EQ(Attributes(Shown(), 3, 2), (Rows{"1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F4E4E",  //
                                             kYellowOnDarkRedRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 4}));
}

TEST_F(TextTest, TheBottomRowIsColouredToTheWindowsEdgeNotTheBuffers) {
  // A buffer twice as wide as its window.
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{40, 5}, SmallRect{0, 0, 19, 4}));
  ASSERT_TRUE(console_.SetCursorPos(3, 4));
  EXPECT_TRUE(console_.WriteText("ab", kYellow, kDarkRed, true));
  EXPECT_EQ(Attributes(Shown(), 4, 1), (Rows{"1F1F1F4E4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
  ASSERT_TRUE(console_.SetCursorPos(15, 4));
  EXPECT_TRUE(console_.WriteText("cd", kYellow, kDarkRed));
  EXPECT_EQ(Cell(Shown(), 19, 3).Attributes, 0x4E);  // the line end scrolled the row up
  EXPECT_EQ(Cell(Shown(), 20, 3).Attributes, 0x1F);
}

// --- WriteText: characters ---

TEST_F(TextTest, CharactersOfCodePage437RoundTripAndOthersBecomeQuestionMarks) {
  EXPECT_TRUE(console_.WriteText("é┌€x", Variant(), Variant(), true));
  EXPECT_EQ(Text(Shown(), 0, 1), (Rows{"é┌?x                "}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{4, 0}));
  const std::vector<std::string> expected{"é", "┌", "?", "x"};
  for (size_t i = 0; i < expected.size(); ++i) {
    String ch;
    Long fore = 0, back = 0;
    ASSERT_TRUE(console_.GetScreenData(ch, fore, back, static_cast<int>(i), 0));
    EXPECT_EQ(ch, expected[i]);
  }
  // What SetScreenData writes, WriteText's reader sees the same way.
  ASSERT_TRUE(console_.SetScreenData("┌", kWhite, Variant(), 0, 1));
  String ch;
  Long fore = 0, back = 0;
  ASSERT_TRUE(console_.GetScreenData(ch, fore, back, 0, 1));
  EXPECT_EQ(ch, "┌");
}

// --- WriteText: empty and long texts ---

TEST_F(TextTest, AnEmptyTextKeptOnTheLineWritesNothingButSetsTheColours) {
  ASSERT_TRUE(console_.SetCursorPos(5, 1));
  EXPECT_FALSE(console_.WriteText("", kYellow, kDarkRed, true));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x4E);
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(Attributes(Shown()), Rows(5, kWhiteOnDarkBlueRow));
  EXPECT_EQ(CursorOf(Shown()), (Coord{5, 1}));
}

TEST_F(TextTest, AnEmptyTextWritesTheLineEndAlone) {
  ASSERT_TRUE(console_.SetCursorPos(5, 1));
  EXPECT_TRUE(console_.WriteText(""));
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 2}));
}

TEST_F(TextTest, AtMost32768CharactersCountingTheLineEnd) {
  // 32766 + CR LF: written. Rows of 20 fill and scroll; the last six characters stay above the cursor.
  EXPECT_TRUE(console_.WriteText(std::string(32766, 'x')));
  EXPECT_EQ(Text(Shown()),
            (Rows{"xxxxxxxxxxxxxxxxxxxx",  //
                  "xxxxxxxxxxxxxxxxxxxx", "xxxxxxxxxxxxxxxxxxxx", "xxxxxx              ", kBlankRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 4}));

  // 32767 + CR LF: nothing written, although the colours are set.
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(console_.WriteText(std::string(32767, 'x'), kYellow, kDarkRed));
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x4E);

  // Kept on the line, the text alone counts.
  EXPECT_TRUE(console_.WriteText(std::string(32768, 'y'), Variant(), Variant(), true));
  EXPECT_EQ(CursorOf(Shown()), (Coord{8, 4}));
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(console_.WriteText(std::string(32769, 'y'), Variant(), Variant(), true));
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
}

TEST_F(TextTest, ALongTextsLengthCountsCharactersNotBytes) {
  std::string accented;
  for (int i = 0; i < 32766; ++i) accented += "é";
  EXPECT_TRUE(console_.WriteText(accented));
  EXPECT_EQ(Text(Shown(), 3, 2), (Rows{"éééééé              ", kBlankRow}));
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(console_.WriteText(accented + "é"));
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
}

// --- WriteText: pages and console modes ---

TEST_F(TextTest, WriteTextSetsTheShownPagesOutputModeAndRawInput) {
  ASSERT_EQ(InputMode(), 0x1F7u);
  EXPECT_TRUE(console_.WriteText("a", Variant(), Variant(), true));
  EXPECT_EQ(Mode(Shown()), 2u);
  EXPECT_EQ(InputMode(), 8u);
  EXPECT_TRUE(console_.WriteText("b"));
  EXPECT_EQ(Mode(Shown()), 3u);
  EXPECT_EQ(InputMode(), 8u);
}

TEST_F(TextTest, AHiddenPageWritesWithTheModeItHas) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));
  Handle hidden = PageBuffer(console_, 2);
  ASSERT_TRUE(console_.SetCursorPos(1, 1, 2));
  // The style goes to the shown page; the hidden page keeps processing, so CR LF still act there.
  EXPECT_TRUE(console_.WriteText("a\r\nb", Variant(), Variant(), true, 2));
  EXPECT_EQ(Mode(Shown()), 2u);
  EXPECT_EQ(Mode(hidden), 3u);
  EXPECT_EQ(Text(hidden, 0, 3), (Rows{kBlankRow,  //
                                      " a                  ", "b                   "}));
  EXPECT_EQ(CursorOf(hidden), (Coord{1, 2}));
  EXPECT_EQ(CurrentAttribute(hidden), 0x4E);
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
}

TEST_F(TextTest, APageThatCannotBeHadGetsNothingButTheShownPageStillGetsTheStyle) {
  for (const Variant& page : {Variant(25), Variant("abc")}) {
    EXPECT_FALSE(console_.WriteText("zz", kYellow, kDarkRed, true, page)) << page.StringValue();
  }
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(Attributes(Shown()), Rows(5, kWhiteOnDarkBlueRow));
  EXPECT_EQ(Mode(Shown()), 2u);
}

TEST_F(TextTest, ARefusedWriteIsReported) {
  emulated_.FailCall(Op::WriteConsoleA, 1);
  EXPECT_FALSE(console_.WriteText("ab"));
  EXPECT_TRUE(console_.WriteText("ab"));
}

// --- Before Load ---

class TextBeforeLoadTest : public ConsoleTest {};

TEST_F(TextBeforeLoadTest, NothingReachesThePlatform) {
  Console c;
  EXPECT_FALSE(c.SetColor(kWhite, kBlack, 0));
  EXPECT_FALSE(c.WriteText("hello", kWhite));
  for (int op = 0; op < platform::kOpCount; ++op) {
    if (static_cast<Op>(op) == Op::EndOfCall) continue;
    EXPECT_EQ(emulated_.CallCount(static_cast<Op>(op)), 0) << op;
  }
}

}  // namespace
}  // namespace kelvane::testing
