// SetColor, WriteText and the console modes WriteText sets, on a 20 x 5 console cleared white on dark blue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using platform::Dword;

const std::string kBlank = std::string(20, ' ') + " " + std::string(20, '#');

std::string Repeated(const std::string& text, int times) {
  std::string all;
  while (times-- > 0) all += text;
  return all;
}

class TextTest : public LoadedTest {
 protected:
  TextTest() : LoadedTest(20, 5) { console_.ClearScreen(kWhite, kDarkBlue); }
  Dword Mode(Handle handle) {
    Dword mode = 0xDEAD;
    emulated_.GetConsoleMode(handle, &mode);
    return mode;
  }
  // Yellow on dark red from the cursor at (column, row).
  bool WriteAt(Integer column, Integer row, const String& text, bool keep_cursor = false) {
    EXPECT_TRUE(console_.SetCursorPos(column, row));
    return console_.WriteText(text, kYellow, kDarkRed, keep_cursor);
  }
};

// Only later text takes the new colours; without BackColor (or with one that does not convert), the
// background under that page's cursor stays.
TEST_F(TextTest, SetColorChangesOnlyItsPagesCurrentColours) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));
  EXPECT_TRUE(console_.SetColor(kWhite, kDarkBlue, 2));
  EXPECT_EQ(CurrentAttribute(PageBuffer(console_, 2)), 0x1F);
  EXPECT_TRUE(console_.SetColor(kRed, Variant(), 2));
  EXPECT_EQ(CurrentAttribute(PageBuffer(console_, 2)), 0x4C);
  EXPECT_EQ(Screen(PageBuffer(console_, 2), 0, 1)[0], std::string(20, ' ') + " " + std::string(20, 'r'));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1F);
  ASSERT_TRUE(console_.SetColor(kLightGrey, kBlack));
  EXPECT_TRUE(console_.SetColor(kRed, "navy"));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1C);
}

// The defaults are the colours of the cell under the cursor, never the page's current colours.
TEST_F(TextTest, EachGivenColourReplacesOnlyItsOwnDefault) {
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkBlue));
  ASSERT_TRUE(console_.SetColor(kRed, kBlack));
  EXPECT_TRUE(console_.WriteText("ab", kWhite));
  EXPECT_TRUE(console_.WriteText("cd", Variant(), kDarkRed));
  EXPECT_TRUE(console_.WriteText("ef", "red", "green"));
  EXPECT_EQ(Screen(Shown(), 0, 3),
            (Rows{"ab                   ##yyyyyyyyyyyyyyyyyy", "cd                   rryyyyyyyyyyyyyyyyyy",
                  "ef                   yyyyyyyyyyyyyyyyyyyy"}));
}

TEST_F(TextTest, TheLineEndIsCarriageReturnAndLineFeedUnlessTheCursorIsKeptOnTheLine) {
  struct Case {
    std::vector<String> texts;
    bool keep_cursor;
    Rows rows;
    Coord cursor;
  };
  const Case cases[] = {
      {{"Hi"}, false, {"Hi                   ####################", kBlank}, {0, 1}},
      {{"ab", "cd"}, true, {"abcd                 ####################", kBlank}, {4, 0}},
      // Kept on the line, the console shows CR and LF as cells; otherwise it acts on them.
      {{"a\r\nb"}, true, {"a♪◙b                 ####################", kBlank}, {4, 0}},
      {{"a\r\nb"}, false, {"a                    ####################", "b" + kBlank.substr(1)}, {0, 2}},
      // The last column moves the cursor to the next row at once; the line end then adds another.
      {{"abcdefghijklmnopqrst"}, false, {"abcdefghijklmnopqrst ####################", kBlank}, {0, 2}},
      {{""}, false, {kBlank, kBlank}, {0, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.texts[0]);
    ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
    for (const String& text : c.texts)
      EXPECT_TRUE(console_.WriteText(text, Variant(), Variant(), c.keep_cursor));
    EXPECT_EQ(Screen(Shown(), 0, 2), c.rows);
    EXPECT_EQ(CursorOf(Shown()), c.cursor);
  }
}

// Where the console scrolls before the new line is coloured: the line end colours the bottom row to the
// window's right edge (not the buffer's); with the cursor kept, exactly the text's cells unless the text
// ends at or past the edge.
TEST_F(TextTest, OnTheBottomRowTheColouringDependsOnWhereTheTextEnds) {
  EXPECT_TRUE(WriteAt(3, 2, "ab"));
  EXPECT_EQ(Screen(Shown(), 2, 1)[0], "   ab                ###rr###############");
  struct Case {
    Integer column;
    const char* text;
    bool keep_cursor;
    Rows rows;  // the last two
    Coord cursor;
  };
  const Case cases[] = {
      {3,
       "ab",
       false,
       {"   ab                ###rrrrrrrrrrrrrrrrr", "                     rrrrrrrrrrrrrrrrrrrr"},
       {0, 4}},
      {3, "ab", true, {kBlank, "   ab                ###rr###############"}, {5, 4}},
      {16, "ab", true, {kBlank, "                ab   ################rr##"}, {18, 4}},
      {17, "ab", true, {kBlank, "                 ab  #################rrr"}, {19, 4}},
      {18,
       "abcd",
       true,
       {"                  ab ##################rr", "cd                   rrrrrrrrrrrrrrrrrrrr"},
       {2, 4}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
    EXPECT_TRUE(WriteAt(c.column, 4, c.text, c.keep_cursor));
    EXPECT_EQ(Screen(Shown(), 3, 2), c.rows);
    EXPECT_EQ(CursorOf(Shown()), c.cursor);
  }
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{40, 5}, SmallRect{0, 0, 19, 4}));
  EXPECT_TRUE(WriteAt(15, 4, "cd"));
  EXPECT_EQ(Cell(Shown(), 19, 3).Attributes, 0x4E);  // the line end scrolled the row up
  EXPECT_EQ(Cell(Shown(), 20, 3).Attributes, 0x1F);
}

// Code page 437 characters round trip and others become '?'; at most 32768 characters, counting the
// line end, and counting characters, not bytes.
TEST_F(TextTest, CharactersAndTheLengthLimit) {
  EXPECT_TRUE(console_.WriteText("é┌€x", Variant(), Variant(), true));
  EXPECT_EQ(Screen(Shown(), 0, 1)[0], "é┌?x                 ####################");
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_TRUE(console_.WriteText(Repeated("é", 32766)));
  EXPECT_EQ(Screen(Shown(), 3, 2), (Rows{"éééééé               ####################", kBlank}));
  EXPECT_TRUE(console_.WriteText(std::string(32768, 'y'), Variant(), Variant(), true));
  // Nothing written, although the colours are set: 32769 kept on the line, 32767 + CR LF, or an empty
  // text kept on the line.
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(console_.WriteText(std::string(32769, 'y'), Variant(), Variant(), true));
  EXPECT_FALSE(console_.WriteText(Repeated("é", 32767), kYellow, kDarkRed));
  EXPECT_FALSE(WriteAt(5, 1, "", true));
  EXPECT_EQ(Screen(Shown()), Rows(5, kBlank));
  EXPECT_EQ(CursorOf(Shown()), (Coord{5, 1}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x4E);
}

// The shown page gets processed output with wrap (or, with the cursor kept, without) and raw input; a
// hidden page keeps its mode, so CR and LF still act there.
TEST_F(TextTest, WriteTextSetsTheShownPagesOutputModeAndRawInput) {
  const Handle in = emulated_.GetStdHandle(platform::kStdInputHandle);
  ASSERT_EQ(Mode(in), 0x1F7u);
  EXPECT_TRUE(console_.WriteText("b"));
  EXPECT_EQ(Mode(Shown()), 3u);
  EXPECT_EQ(Mode(in), 8u);
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));
  ASSERT_TRUE(console_.SetCursorPos(1, 1, 2));
  EXPECT_TRUE(console_.WriteText("a\r\nb", Variant(), Variant(), true, 2));
  EXPECT_EQ(Mode(Shown()), 2u);
  EXPECT_EQ(Mode(PageBuffer(console_, 2)), 3u);
  EXPECT_EQ(Screen(PageBuffer(console_, 2), 1, 2)[1], "b                    rrrrrrrrrrrrrrrrrrrr");
  // A page that cannot be had, or a refused write: false.
  EXPECT_FALSE(console_.WriteText("zz", kYellow, kDarkRed, true, 25));
  emulated_.FailCall(Op::WriteConsoleA, 1);
  EXPECT_FALSE(console_.WriteText("ab"));
}

}  // namespace
}  // namespace kelvane::testing
