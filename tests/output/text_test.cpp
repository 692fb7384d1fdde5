// SetColor, WriteText and the console modes WriteText sets, on a 20 x 5 console.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using platform::Dword;

const std::string kYellowOnDarkRedRow = "4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E";

class TextTest : public SmallConsoleTest {
 protected:
  Dword Mode(Handle handle) {
    Dword mode = 0xDEAD;
    emulated_.GetConsoleMode(handle, &mode);
    return mode;
  }
  Dword InputMode() { return Mode(emulated_.GetStdHandle(platform::kStdInputHandle)); }
  // Yellow on dark red from the cursor at (column, row).
  bool WriteAt(Integer column, Integer row, const String& text, bool keep_cursor = false) {
    EXPECT_TRUE(console_.SetCursorPos(column, row));
    return console_.WriteText(text, kYellow, kDarkRed, keep_cursor);
  }
};

// --- SetColor ---

// No cell changes colour: only later text takes the new colours.
TEST_F(TextTest, SetColorOnAHiddenPageChangesOnlyThatPagesColours) {
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue, 2));
  Handle hidden = PageBuffer(console_, 2);
  Handle shown = Shown();
  EXPECT_TRUE(console_.SetColor(kYellow, kDarkRed, 2));
  EXPECT_EQ(CurrentAttribute(hidden), 0x4E);
  EXPECT_EQ(CurrentAttribute(shown), 0x1F);
  EXPECT_EQ(Shown(), shown);
  EXPECT_EQ(console_.Page(), 0);
  ExpectBlankPage(hidden);
  // Without BackColor, the background under that page's cursor.
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkGreen, 2));
  EXPECT_TRUE(console_.SetColor(kRed, Variant(), 2));
  EXPECT_EQ(CurrentAttribute(hidden), 0x2C);
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

// --- WriteText: colours ---

// The defaults are the colours of the cell under the cursor, never the page's current colours.
TEST_F(TextTest, EachGivenColourReplacesOnlyItsOwnDefault) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkBlue));
  ASSERT_TRUE(console_.SetColor(kRed, kBlack));
  EXPECT_TRUE(console_.WriteText("ab", kRed));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1C);
  EXPECT_TRUE(console_.WriteText("cd", Variant(), kDarkGreen));
  // Colours that do not convert keep the defaults.
  EXPECT_TRUE(console_.WriteText("ef", "red", "green"));
  EXPECT_EQ(Text(Shown(), 0, 3),
            (Rows{"ab                  ", "cd                  ", "ef                  "}));
  EXPECT_EQ(Attributes(Shown(), 0, 3),
            (Rows{"1C1C1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E", "2E2E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E",
                  "1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E1E"}));
}

// A C++ client writes colours as unsigned literals; the high byte is ignored, whatever the literal's type.
TEST_F(TextTest, ColoursGivenAsUnsignedLiteralsWithTheHighByteSet) {
  EXPECT_TRUE(console_.ClearScreen(0xFF0000FF, 0xFF800000));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1C);
  EXPECT_TRUE(console_.WriteText("x", 0xFFFFFF00, Variant(), true));
  EXPECT_TRUE(console_.WriteText("y", 0x80FFFFFFul, 0xFF008000ull, true));
  EXPECT_TRUE(console_.WriteText("z", static_cast<unsigned short>(0xFF00), 0xFFFFFFFFu, true));
  EXPECT_EQ(Attributes(Shown(), 0, 1), (Rows{"1B2FFA1C1C1C1C1C1C1C1C1C1C1C1C1C1C1C1C1C"}));
}

// --- WriteText: line ends ---

TEST_F(TextTest, TheLineEndIsCarriageReturnAndLineFeedUnlessTheCursorIsKeptOnTheLine) {
  struct Case {
    std::vector<String> texts;
    bool keep_cursor;
    Rows rows;
    Coord cursor;
  };
  const Case cases[] = {
      {{"Hi"}, false, {"Hi                  ", kBlankRow}, {0, 1}},
      {{"ab", "cd"}, true, {"abcd                ", kBlankRow}, {4, 0}},
      // Kept on the line, the console shows CR and LF as cells; otherwise it acts on them.
      {{"a\r\nb"}, true, {"a♪◙b                ", kBlankRow}, {4, 0}},
      {{"a\r\nb"}, false, {"a                   ", "b                   "}, {0, 2}},
      // The last column moves the cursor to the next row at once; the line end then adds another.
      {{"abcdefghijklmnopqrst"}, false, {"abcdefghijklmnopqrst", kBlankRow}, {0, 2}},
      // Empty text: the line end alone.
      {{""}, false, {kBlankRow, kBlankRow}, {0, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.texts[0]);
    ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
    for (const String& text : c.texts)
      EXPECT_TRUE(console_.WriteText(text, Variant(), Variant(), c.keep_cursor));
    EXPECT_EQ(Text(Shown(), 0, 2), c.rows);
    EXPECT_EQ(Attributes(Shown(), 0, 1), (Rows{kWhiteOnDarkBlueRow}));
    EXPECT_EQ(CursorOf(Shown()), c.cursor);
  }
}

// --- WriteText: the bottom row, where the console scrolls before the new line is coloured ---

TEST_F(TextTest, OnlyOnTheBottomRowTheLineEndColoursToTheRightEdge) {
  EXPECT_TRUE(WriteAt(3, 2, "ab"));
  EXPECT_EQ(Attributes(Shown(), 2, 2),
            (Rows{"1F1F1F4E4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F", kWhiteOnDarkBlueRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 3}));
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  ASSERT_TRUE(console_.SetScreenData("1", kWhite, Variant(), 0, 1));
  EXPECT_TRUE(WriteAt(3, 4, "ab"));
  // Row 0 is gone; the new bottom row is blank in the text's colours.
  EXPECT_EQ(Text(Shown()),
            (Rows{"1                   ", kBlankRow, kBlankRow, "   ab               ", kBlankRow}));
  EXPECT_EQ(Attributes(Shown()), (Rows{kWhiteOnDarkBlueRow, kWhiteOnDarkBlueRow, kWhiteOnDarkBlueRow,
                                       "1F1F1F4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E4E", kYellowOnDarkRedRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 4}));
}

TEST_F(TextTest, OnTheBottomRowWithTheCursorKeptTheColouringDependsOnWhereTheTextEnds) {
  struct Case {
    Integer column;
    std::string row;
    std::string attributes;
  };
  const Case cases[] = {
      // n + c < Right: exactly the text's cells.
      {3, "   ab               ", "1F1F1F4E4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"},
      {16, "                ab  ", "1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F4E4E1F1F"},
      // n + c = Right: through the right edge, one cell more than the text.
      {17, "                 ab ", "1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F4E4E4E"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
    EXPECT_TRUE(WriteAt(c.column, 4, "ab", true));
    EXPECT_EQ(Text(Shown(), 4, 1), (Rows{c.row})) << c.column;
    EXPECT_EQ(Attributes(Shown(), 4, 1), (Rows{c.attributes})) << c.column;
    EXPECT_EQ(CursorOf(Shown()), (Coord{static_cast<short>(c.column + 2), 4})) << c.column;
  }
  // Past the edge: the text wraps into the scrolled row, which is coloured whole.
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_TRUE(WriteAt(18, 4, "abcd", true));
  EXPECT_EQ(Text(Shown(), 3, 2), (Rows{"                  ab", "cd                  "}));
  EXPECT_EQ(Attributes(Shown(), 3, 2),
            (Rows{"1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F4E4E", kYellowOnDarkRedRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 4}));
}

TEST_F(TextTest, TheBottomRowIsColouredToTheWindowsEdgeNotTheBuffers) {
  // A buffer twice as wide as its window.
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{40, 5}, SmallRect{0, 0, 19, 4}));
  EXPECT_TRUE(WriteAt(3, 4, "ab", true));
  EXPECT_EQ(Attributes(Shown(), 4, 1), (Rows{"1F1F1F4E4E1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F"}));
  EXPECT_TRUE(WriteAt(15, 4, "cd"));
  EXPECT_EQ(Cell(Shown(), 19, 3).Attributes, 0x4E);  // the line end scrolled the row up
  EXPECT_EQ(Cell(Shown(), 20, 3).Attributes, 0x1F);
}

// --- WriteText: characters and length ---

TEST_F(TextTest, CharactersOfCodePage437RoundTripAndOthersBecomeQuestionMarks) {
  EXPECT_TRUE(console_.WriteText("é┌€x", Variant(), Variant(), true));
  EXPECT_EQ(Text(Shown(), 0, 1), (Rows{"é┌?x                "}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{4, 0}));
}

TEST_F(TextTest, AtMost32768CharactersCountingTheLineEnd) {
  // 32766 + CR LF: written. Rows of 20 fill and scroll; the last six characters stay above the cursor.
  EXPECT_TRUE(console_.WriteText(std::string(32766, 'x')));
  const std::string full(20, 'x');
  EXPECT_EQ(Text(Shown()), (Rows{full, full, full, "xxxxxx              ", kBlankRow}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 4}));

  // An empty text kept on the line, or 32767 + CR LF: nothing written, although the colours are set.
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(WriteAt(5, 1, "", true));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x4E);
  EXPECT_EQ(CursorOf(Shown()), (Coord{5, 1}));
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(console_.WriteText(std::string(32767, 'x'), kYellow, kDarkRed));
  ExpectBlankPage(Shown());
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x4E);

  // Kept on the line, the text alone counts.
  EXPECT_TRUE(console_.WriteText(std::string(32768, 'y'), Variant(), Variant(), true));
  EXPECT_EQ(CursorOf(Shown()), (Coord{8, 4}));
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(console_.WriteText(std::string(32769, 'y'), Variant(), Variant(), true));
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));

  // Characters count, not bytes.
  const std::string accented = Repeat("é", 32766);
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
  // A page that cannot be had gets nothing, but the shown page still gets the style.
  EXPECT_FALSE(console_.WriteText("zz", kYellow, kDarkRed, true, 25));
  EXPECT_EQ(Mode(Shown()), 2u);
}

// The style goes to the shown page; the hidden page keeps processing, so CR LF still act there.
TEST_F(TextTest, AHiddenPageWritesWithTheModeItHas) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));
  Handle hidden = PageBuffer(console_, 2);
  ASSERT_TRUE(console_.SetCursorPos(1, 1, 2));
  EXPECT_TRUE(console_.WriteText("a\r\nb", Variant(), Variant(), true, 2));
  EXPECT_EQ(Mode(Shown()), 2u);
  EXPECT_EQ(Mode(hidden), 3u);
  EXPECT_EQ(Text(hidden, 0, 3), (Rows{kBlankRow, " a                  ", "b                   "}));
  EXPECT_EQ(CursorOf(hidden), (Coord{1, 2}));
  EXPECT_EQ(CurrentAttribute(hidden), 0x4E);
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Text(Shown()), Rows(5, kBlankRow));
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
}

TEST_F(TextTest, ARefusedWriteIsReported) {
  emulated_.FailCall(Op::WriteConsoleA, 1);
  EXPECT_FALSE(console_.WriteText("ab"));
  EXPECT_TRUE(console_.WriteText("ab"));
}

}  // namespace
}  // namespace kelvane::testing
