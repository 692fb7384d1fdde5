// SetColor, WriteText and the console modes it sets, SetScreenData and GetScreenData, on a 20 x 5 console
// cleared white on dark blue. Coordinates off the window and bad pages are the contract table's.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
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
    Platform().GetConsoleMode(handle, &mode);
    return mode;
  }
  // Yellow on dark red from the cursor at (column, row).
  bool WriteAt(Integer column, Integer row, const String& text, bool keep_cursor = false) {
    EXPECT_TRUE(console_.SetCursorPos(column, row));
    return console_.WriteText(text, kYellow, kDarkRed, keep_cursor);
  }
};

TEST_F(TextTest, TheLineEndIsCarriageReturnAndLineFeedUnlessTheCursorIsKeptOnTheLine) {
  // clang-format off
  const std::tuple<std::vector<String>, bool, Rows, Coord> cases[] = {  // texts, cursor kept, two rows, cursor
      {{"Hi"}, false, {"Hi                   ####################", kBlank}, {0, 1}},
      {{"ab", "cd"}, true, {"abcd                 ####################", kBlank}, {4, 0}},
      // Kept on the line, the console shows CR and LF as cells; otherwise it acts on them.
      {{"a\r\nb"}, true, {"a♪◙b                 ####################", kBlank}, {4, 0}},
      {{"a\r\nb"}, false, {"a                    ####################", "b" + kBlank.substr(1)}, {0, 2}},
      // The last column moves the cursor to the next row at once; the line end then adds another.
      {{"abcdefghijklmnopqrst"}, false, {"abcdefghijklmnopqrst ####################", kBlank}, {0, 2}},
      {{""}, false, {kBlank, kBlank}, {0, 1}}};
  // clang-format on
  for (const auto& [texts, keep_cursor, rows, cursor] : cases) {
    ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
    for (const String& text : texts) EXPECT_TRUE(console_.WriteText(text, Variant(), Variant(), keep_cursor));
    EXPECT_EQ(Screen(Shown(), 0, 2), rows) << texts[0];
    EXPECT_EQ(CursorOf(Shown()), cursor) << texts[0];
  }
  // The shown page is left with processed output and wrap, and the input raw.
  EXPECT_EQ(Mode(Shown()), 3u);
  EXPECT_EQ(Mode(Platform().GetStdHandle(platform::kStdInputHandle)), 8u);
}

// Where the console scrolls before the new line is coloured: the line end colours the bottom row to the
// window's right edge (not the buffer's); with the cursor kept, exactly the text's cells unless the text
// ends at or past the edge.
TEST_F(TextTest, OnTheBottomRowTheColouringDependsOnWhereTheTextEnds) {
  EXPECT_TRUE(WriteAt(3, 2, "ab"));
  EXPECT_EQ(Screen(Shown(), 2, 1)[0], "   ab                ###rr###############");
  // clang-format off
  const std::tuple<Integer, const char*, bool, Rows, Coord> cases[] = {  // column, text, cursor kept, last two rows, cursor
      {3, "ab", false, {"   ab                ###rrrrrrrrrrrrrrrrr", "                     rrrrrrrrrrrrrrrrrrrr"}, {0, 4}},
      {3, "ab", true, {kBlank, "   ab                ###rr###############"}, {5, 4}},
      {16, "ab", true, {kBlank, "                ab   ################rr##"}, {18, 4}},
      {17, "ab", true, {kBlank, "                 ab  #################rrr"}, {19, 4}},
      {18, "abcd", true, {"                  ab ##################rr", "cd                   rrrrrrrrrrrrrrrrrrrr"}, {2, 4}}};
  // clang-format on
  for (const auto& [column, text, keep_cursor, rows, cursor] : cases) {
    ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
    EXPECT_TRUE(WriteAt(column, 4, text, keep_cursor));
    EXPECT_EQ(Screen(Shown(), 3, 2), rows) << column;
    EXPECT_EQ(CursorOf(Shown()), cursor) << column;
  }
  if (!Emulated()) return;
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{40, 5}, SmallRect{0, 0, 19, 4}));
  EXPECT_TRUE(WriteAt(15, 4, "cd"));
  EXPECT_EQ(Cell(Shown(), 19, 3).Attributes, 0x4E);  // the line end scrolled the row up
  EXPECT_EQ(Cell(Shown(), 20, 3).Attributes, 0x1F);
}

// The defaults are the colours of the cell under the cursor, never the page's current colours, and a colour
// that does not convert counts as omitted; a C++ client's unsigned literals have their high byte ignored,
// whatever the literal's type. Code page 437 characters round trip and others become '?'.
TEST_F(TextTest, ColourDefaultsUnsignedColoursAndCharacters) {
  ASSERT_TRUE(console_.ClearScreen(0xFF0000FF, 0xFF800000));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1C);
  ASSERT_TRUE(console_.SetColor(kYellow, kBlack));
  EXPECT_TRUE(console_.WriteText("ab", kWhite));
  EXPECT_TRUE(console_.WriteText("cd", Variant(), kDarkRed));
  EXPECT_TRUE(console_.WriteText("ef", "red", "green"));
  EXPECT_TRUE(console_.WriteText("é┌€", Variant(), Variant(), true));
  EXPECT_TRUE(console_.WriteText("x", 0xFFFFFF00, Variant(), true));
  EXPECT_TRUE(console_.WriteText("y", 0x80FFFFFFul, 0xFF008000ull, true));
  EXPECT_TRUE(console_.WriteText("z", static_cast<unsigned short>(0xFF00), 0xFFFFFFFFu, true));
  const std::string pad(18, ' '), rest = Repeat("1C", 18);
  EXPECT_EQ(Screen(Shown(), 0, 4, true),
            (Rows{"ab" + pad + " 1F1F" + rest, "cd" + pad + " 4C4C" + rest, "ef" + pad + " 1C1C" + rest,
                  "é┌?xyz" + pad.substr(4) + " 1C1C1C1B2FFA" + rest.substr(8)}));
  // On a hidden page, SetColor changes only that page's current colours, for later text (without a
  // BackColor, or with one that does not convert, the background under its cursor stays); the page keeps
  // its output mode, so CR and LF act there though the cursor is kept on the line.
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));
  EXPECT_TRUE(console_.SetColor(kWhite, kDarkBlue, 2));
  EXPECT_EQ(CurrentAttribute(PageBuffer(console_, 2)), 0x1F);
  EXPECT_TRUE(console_.SetColor(kRed, Variant(), 2));
  EXPECT_EQ(CurrentAttribute(PageBuffer(console_, 2)), 0x4C);
  EXPECT_TRUE(console_.WriteText("a\r\nb", Variant(), Variant(), true, 2));
  EXPECT_EQ(Screen(PageBuffer(console_, 2), 0, 2),
            (Rows{"a                    rrrrrrrrrrrrrrrrrrrr", "b                    rrrrrrrrrrrrrrrrrrrr"}));
  EXPECT_EQ(Mode(Shown()), 2u);
  EXPECT_EQ(Mode(PageBuffer(console_, 2)), 3u);
  EXPECT_EQ(CurrentAttribute(Shown()), 0xFA);
  EXPECT_TRUE(console_.SetColor(kYellow, "navy"));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1E);
  if (!Emulated()) return;
  emulated_.FailCall(Op::WriteConsoleA, 1);  // a refused write gives false
  EXPECT_FALSE(console_.WriteText("ab"));
}

// At most 32768 characters, counting the line end and characters, not bytes. Past that nothing is
// written, though the colours are set.
TEST_F(TextTest, TheLengthLimit) {
  EXPECT_TRUE(console_.WriteText(Repeat("é", 32766)));
  EXPECT_EQ(Screen(Shown(), 3, 2), (Rows{"éééééé               ####################", kBlank}));
  EXPECT_TRUE(console_.WriteText(std::string(32768, 'y'), Variant(), Variant(), true));
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  EXPECT_FALSE(console_.WriteText(std::string(32769, 'y'), Variant(), Variant(), true));
  EXPECT_FALSE(console_.WriteText(Repeat("é", 32767), kYellow, kDarkRed));
  EXPECT_FALSE(WriteAt(5, 1, "", true));
  EXPECT_EQ(Screen(Shown()), Rows(5, kBlank));
  EXPECT_EQ(CursorOf(Shown()), (Coord{5, 1}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x4E);
}

// SetScreenData writes the first whole character of Char back and draws it ('?' for one code page 437
// lacks); an empty Char recolours; Char alone is black on the cell's background; a BackColor that does
// not convert counts as omitted, Empty as black. GetScreenData gives the character and both colours, none
// for a cell with a grid bit, and the current colours when the read fails. Cursor and colours stay; a
// hidden page is written at its own cursor.
TEST_F(TextTest, SetScreenDataAndGetScreenData) {
  using Read = std::tuple<String, Long, Long>;
  const auto get = [&](const Variant& x = Missing, const Variant& y = Missing,
                       const Variant& page = Missing) {
    String ch = "unchanged";
    Long fore = -1, back = -1;
    EXPECT_TRUE(console_.GetScreenData(ch, fore, back, x, y, page));
    return Read{ch, fore, back};
  };
  ASSERT_TRUE(console_.SetCursorPos(2, 1));
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
  EXPECT_EQ(Screen(Shown(), 0, 2, true), (Rows{"é?┌x                 4E4E1E0E" + Repeat("1F", 16),
                                               "                     1F1F10" + Repeat("1F", 17)}));
  EXPECT_EQ(CursorOf(Shown()), (Coord{2, 1}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1F);
  Poke(Shown(), Coord{2, 1}, 'K', 0x4E);
  Poke(Shown(), Coord{7, 1}, 'L', 0x2A);
  Poke(Shown(), Coord{6, 2}, 'G', 0x041E);
  EXPECT_EQ(get(), Read("K", kYellow, kDarkRed));
  EXPECT_EQ(get(7), Read("L", 0x00FF00, kDarkGreen));  // the cursor's row
  EXPECT_EQ(get(6, 2), Read("G", -1, -1));
  if (Emulated()) {
    ASSERT_TRUE(console_.SetColor(kYellow, kDarkRed));
    emulated_.FailCall(Op::ReadConsoleOutputA, 1);
    EXPECT_EQ(get(0, 0), Read("", kYellow, kDarkRed));
    emulated_.FailCall(Op::ReadConsoleOutputA, 1);
    EXPECT_TRUE(console_.SetScreenData("x", kWhite, Variant(), 3, 3));
    EXPECT_EQ(Cell(Shown(), 3, 3).Attributes, 0x4F);
  }
  ASSERT_TRUE(console_.ClearScreen(kYellow, kDarkRed, 2));  // its cursor is at (0, 0)
  EXPECT_TRUE(console_.SetScreenData("P", kWhite, Variant(), 1, 1, 2));
  EXPECT_TRUE(console_.SetScreenData("Q", kYellow, Variant(), Variant(), Variant(), 2));
  EXPECT_EQ(get(1, 1, 2), Read("P", kWhite, kDarkRed));
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Screen(PageBuffer(console_, 2), 0, 2),
            (Rows{"Q                    rrrrrrrrrrrrrrrrrrrr", " P                   r?rrrrrrrrrrrrrrrrrr"}));
}

}  // namespace
}  // namespace kelvane::testing
