// DrawHLine, DrawVLine and DrawBox on a console painted with letters (so that a character kept from the
// wrong cell shows): the characters of each style, the shadow at the window's edges, lengths clipped and
// written back, lengths below one, pages, and the result when the platform refuses a part. What every member
// shares (before Load, a bad PageIndex, a scrolled window) is the contract table's.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using Size = std::pair<Integer, Integer>;

template <short Columns, short Lines>
class Drawing : public LoadedTest {
 protected:
  Drawing() : LoadedTest(Columns, Lines) { PaintPattern(Shown()); }
  // White on dark blue; the result must be true. Each gives the length or size written back.
  Integer H(Integer x, Integer y, Integer width, int style) {
    EXPECT_TRUE(console_.DrawHLine(x, y, width, kWhite, kDarkBlue, Style(style)));
    return width;
  }
  Integer V(Integer x, Integer y, Integer height, int style) {
    EXPECT_TRUE(console_.DrawVLine(x, y, height, kWhite, kDarkBlue, Style(style)));
    return height;
  }
  Size Box(Integer x, Integer y, Integer width, Integer height, int style, bool shadow = false) {
    EXPECT_TRUE(console_.DrawBox(x, y, width, height, kWhite, kDarkBlue, Style(style), shadow));
    return {width, height};
  }
  // The colour letters of the shown window's rows.
  Rows Colours() {
    Rows rows = Screen(Shown());
    for (std::string& row : rows) row = row.substr(row.rfind(' ') + 1);
    return rows;
  }
};

// Each group of four columns: a 4 x 3 box, a line and a column in one style, for 0 to 8, then 9 and -1
// (colours only, like 0), then the members' own default styles. Below, boxes one column wide, one row
// high and 2 x 2: where corners fall on the same cells, the later ones win.
using DrawingStyles = Drawing<48, 9>;
TEST_F(DrawingStyles, EachStyleDrawsItsCharacters) {
  const int styles[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1};
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(Box(4 * i, 0, 4, 3, styles[i]), Size(4, 3));
    EXPECT_EQ(H(4 * i, 3, 4, styles[i]), 4);
    EXPECT_EQ(V(4 * i + 1, 4, 2, styles[i]), 2);
  }
  Integer width = 4, height = 3;
  ASSERT_TRUE(console_.DrawBox(44, 0, width, height, kWhite, kDarkBlue));
  ASSERT_TRUE(console_.DrawHLine(44, 3, width, kWhite, kDarkBlue));
  ASSERT_TRUE(console_.DrawVLine(45, 4, height, kWhite, kDarkBlue));
  EXPECT_EQ(Box(0, 6, 1, 3, 2), Size(1, 3));
  EXPECT_EQ(Box(2, 6, 4, 1, 2), Size(4, 1));
  EXPECT_EQ(Box(7, 6, 2, 2, 2), Size(2, 2));
  EXPECT_EQ(
      Screen(Shown()),
      (Rows{
          "abcd    ┌──┐╔══╗+--+****░░░░▒▒▒▒▓▓▓▓klmnopqr     ################################################",
          "bcde    │  │║  ║|  |*  *░  ░▒  ▒▓  ▓lmnopqrs     ################################################",
          "cdef    └──┘╚══╝+--+****░░░░▒▒▒▒▓▓▓▓mnopqrst     ################################################",
          "defg    ────════----****░░░░▒▒▒▒▓▓▓▓nopqrstuvwxy ################################################",
          "efghi klm│opq║stu|wxy*abc░efg▒ijk▓mnopqrstuvw yz .#...#...#...#...#...#...#...#...#...#...#...#..",
          "fghij lmn│pqr║tuv|xyz*bcd░fgh▒jkl▓nopqrstuvwx za .#...#...#...#...#...#...#...#...#...#...#...#..",
          "┐h└──┘m┌┐pqrstuvwxyzabcdefghijklmnopqrstuvwxy ab #.####.##....................................#..",
          "│ijklmn└┘qrstuvwxyzabcdefghijklmnopqrstuvwxyzabc #......##.......................................",
          "┘jklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcd "
          "#..............................................."}));
}

using DrawingLengths = Drawing<12, 7>;
TEST_F(DrawingLengths, LengthsPastTheFarEdgeAreClippedAndBelowOneRaise) {
  EXPECT_EQ(H(1, 0, 32767, 3), 11);
  EXPECT_EQ(V(0, 1, 32767, 3), 6);
  EXPECT_EQ(Box(8, 4, 32767, 32767, 2), Size(4, 3));
  // Below one: error 30059 (whose text is the contract table's), nothing drawn, the lengths kept.
  for (Integer bad : {0, -1, -32768}) {
    Integer length = bad, other = 2;
    EXPECT_EQ(ErrorOf([&] { console_.DrawHLine(5, 5, length, kWhite, kDarkBlue); }).substr(0, 5), "30059");
    EXPECT_EQ(ErrorOf([&] { console_.DrawVLine(5, 5, length, kWhite, kDarkBlue); }).substr(0, 5), "30059");
    EXPECT_EQ(ErrorOf([&] { console_.DrawBox(5, 5, length, other, kWhite, kDarkBlue); }).substr(0, 5),
              "30059");
    EXPECT_EQ(ErrorOf([&] { console_.DrawBox(5, 5, other, length, kWhite, kDarkBlue); }).substr(0, 5),
              "30059");
    EXPECT_EQ(Size(length, other), Size(bad, 2));
  }
  EXPECT_EQ(Screen(Shown()),
            (Rows{"a═══════════ .###########", "║cdefghijklm #...........", "║defghijklmn #...........",
                  "║efghijklmno #...........", "║fghijkl┌──┐ #.......####", "║ghijklm│  │ #.......####",
                  "║hijklmn└──┘ #.......####"}));
}

// Dark grey on black over whatever lies there, two columns right and one row below, clipped at the
// window's edges without shortening the box; a strip whose first cell is off the window is left out.
// Each case: X, Y, width, height, style, then the colour letters of the seven rows.
using DrawingShadows = Drawing<12, 7>;
TEST_F(DrawingShadows, TheShadowIsClippedAtTheWindowsEdges) {
  // clang-format off
  const std::pair<std::array<Integer, 5>, std::string> cases[] = {
      {{1, 1, 6, 4, 3}, "............ .######..... .######ss... .######ss... .######ss... ...ssssss... ............"},
      {{1, 1, 6, 4, -1}, "............ .######..... .######ss... .######ss... .######ss... ...ssssss... ............"},
      {{6, 1, 6, 4, 2}, "............ ......###### ......###### ......###### ......###### ........ssss ............"},
      {{5, 1, 6, 4, 2}, "............ .....######. .....######s .....######s .....######s .......sssss ............"},
      {{1, 3, 6, 4, 2}, "............ ............ ............ .######..... .######ss... .######ss... .######ss..."},
      {{9, 1, 3, 2, 1}, "............ .........### .........### ...........s ............ ............ ............"},
      {{10, 1, 2, 2, 1}, "............ ..........## ..........## ............ ............ ............ ............"}};
  // clang-format on
  for (const auto& [box, colours] : cases) {
    SCOPED_TRACE(colours);
    PaintPattern(Shown());
    EXPECT_EQ(Box(box[0], box[1], box[2], box[3], box[4], true), Size(box[2], box[3]));
    std::string shown;
    for (const std::string& row : Colours()) shown += (shown.empty() ? "" : " ") + row;
    EXPECT_EQ(shown, colours);
  }
}

// A page's own buffer only, whole; when the page's buffer cannot be had, its window is the single cell
// (0, 0): a shape there draws nothing and is cut to 1 x 1, anywhere else it raises.
using DrawingPages = Drawing<12, 7>;
TEST_F(DrawingPages, APageIndexDrawsOnThatPageOnly) {
  const Rows shown = Screen(Shown());
  Integer width = 4, height = 3;
  ASSERT_TRUE(console_.DrawBox(2, 1, width, height, kYellow, kDarkRed, Style(3), true, "2"));
  ASSERT_TRUE(console_.DrawVLine(0, 1, height, kWhite, kDarkBlue, Style(2), 2));
  EXPECT_EQ(Screen(Shown()), shown);
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Screen(PageBuffer(console_, 2), 0, 5),
            (Rows{"             ............", "│ ╔══╗       #.rrrr......", "│ ║  ║       #.rrrrss....",
                  "│ ╚══╝       #.rrrrss....", "             ....ssss...."}));
  if (!Emulated()) return;
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  EXPECT_FALSE(console_.DrawBox(0, 0, width, height, kWhite, kDarkBlue, Style(2), true, 5));
  EXPECT_EQ(Size(width, height), Size(1, 1));
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  EXPECT_EQ(ErrorOf([&] { console_.DrawHLine(1, 0, width, kWhite, kDarkBlue, Style(1), 6); }).substr(0, 5),
            "30059");
  EXPECT_EQ(Screen(Shown()), shown);
}

// More than 32,767 cells, counted in 32 bits.
using DrawingLarge = Drawing<250, 140>;
TEST_F(DrawingLarge, ABoxOfMoreThan32767CellsIsDrawnWhole) {
  EXPECT_EQ(Box(0, 0, 250, 140, 2), Size(250, 140));
  EXPECT_EQ(Cell(Shown(), 249, 139).Char, 0xD9);
  EXPECT_EQ(Cell(Shown(), 248, 138).Attributes, 0x1F);
  PaintPattern(Shown());
  EXPECT_EQ(Box(0, 0, 248, 139, 0, true), Size(248, 139));
  EXPECT_EQ(Cell(Shown(), 247, 138).Char, 'a' + (138 + 247) % 26);
  const int attributes[][3] = {
      {247, 138, 0x1F}, {248, 139, 0x08}, {249, 1, 0x08}, {249, 0, 0x07}, {1, 139, 0x07}};
  for (auto [x, y, a] : attributes) EXPECT_EQ(Cell(Shown(), x, y).Attributes, a) << x << "," << y;
}

// A refused fill gives false, but frame and shadow are drawn; a refused read of a colours-only box gives
// false and writes nothing rather than NULs over the text. Memory for the fill that cannot be had (a full
// window of a huge console needs hundreds of megabytes) fails it the same way, and nothing else.
using DrawingRefused = Drawing<12, 7>;
TEST_F(DrawingRefused, TheResultWhenThePlatformRefusesAPart) {
  const std::tuple<int, Op, Rows> cases[] = {
      // style, the operation refused, the screen
      {2,
       Op::WriteConsoleOutputA,
       {"abcdefghijkl ............", "b┌────┐ijklm .######.....", "c│efgh│jklmn .#....#ss...",
        "d│fghi│klmno .#....#ss...", "e└────┘lmnop .######ss...", "fghijklmnopq ...ssssss...",
        "ghijklmnopqr ............"}},
      {0,
       Op::ReadConsoleOutputA,
       {"abcdefghijkl ............", "bcdefghijklm ............", "cdefghijklmn .......ss...",
        "defghijklmno .......ss...", "efghijklmnop .......ss...", "fghijklmnopq ...ssssss...",
        "ghijklmnopqr ............"}}};
  // Memory first: a cell array, once grown, is kept for the next shape.
  for (const bool memory : {true, false}) {
    for (const auto& [style, refused, screen] : cases) {
      std::optional<CellArrayLimit> limit;
      if (memory)
        limit.emplace(23);  // the fill is 24 cells; every edge and strip fits
      else
        emulated_.FailCall(refused, 1);
      PaintPattern(Shown());
      Integer width = 6, height = 4;
      EXPECT_FALSE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(style), true));
      EXPECT_EQ(Screen(Shown()), screen) << style << memory;
    }
  }
  PaintPattern(Shown());
  // A refused strip or corner leaves the result true: the second rectangle write is the bottom shadow
  // strip; then the first corner's character and the second corner's attribute.
  emulated_.FailCall(Op::WriteConsoleOutputA, 2);
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 2);
  EXPECT_EQ(Box(1, 1, 6, 4, 2, true), Size(6, 4));
  EXPECT_EQ(Screen(Shown(), 1, 5),
            (Rows{"b│────│ijklm .######.....", "c│    │jklmn .######ss...", "d│    │klmno .######ss...",
                  "e└────┘lmnop .######ss...", "fghijklmnopq .......ss..."}));
}

}  // namespace
}  // namespace kelvane::testing
