// WriteText and the console modes it sets, on a 20 x 5 console cleared white on dark blue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using platform::Dword;

const std::string kBlank = std::string(20, ' ') + " " + std::string(20, '#');

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
  // The shown page is left with processed output and wrap, and the input raw.
  EXPECT_EQ(Mode(Shown()), 3u);
  EXPECT_EQ(Mode(emulated_.GetStdHandle(platform::kStdInputHandle)), 8u);
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

// A C++ client writes colours as unsigned literals; the high byte is ignored, whatever the literal's type.
TEST_F(TextTest, ColoursGivenAsUnsignedLiteralsWithTheHighByteSet) {
  EXPECT_TRUE(console_.ClearScreen(0xFF0000FF, 0xFF800000));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1C);
  EXPECT_TRUE(console_.WriteText("x", 0xFFFFFF00, Variant(), true));
  EXPECT_TRUE(console_.WriteText("y", 0x80FFFFFFul, 0xFF008000ull, true));
  EXPECT_TRUE(console_.WriteText("z", static_cast<unsigned short>(0xFF00), 0xFFFFFFFFu, true));
  const int expected[] = {0x1B, 0x2F, 0xFA, 0x1C};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Cell(Shown(), x, 0).Attributes, expected[x]) << x;
}

}  // namespace
}  // namespace kelvane::testing
