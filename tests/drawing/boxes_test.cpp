// DrawBox: fill, frame and corners of each style, the shadow at the window's edges, clipping written
// back, sizes below one, pages, and the result when the platform refuses a part.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

constexpr const char* kSource = "KelvaneConsole.DrawBox";
constexpr const char* kDescription =
    "Invalid X, Y, Width, or Height parameters for Console DrawBox function.";

using Size = std::pair<Integer, Integer>;

class BoxTest : public LoadedTest {
 protected:
  using LoadedTest::LoadedTest;

  // A white on dark blue box; the result must be true. Gives the width and height written back.
  Size Box(Integer x, Integer y, Integer width, Integer height, int style, bool shadow = false) {
    EXPECT_TRUE(console_.DrawBox(x, y, width, height, kWhite, kDarkBlue, Style(style), shadow));
    return {width, height};
  }
};

// Painted with the pattern, so that a character kept from the wrong cell shows.
template <short Width, short Height>
class SizedBoxTest : public BoxTest {
 protected:
  SizedBoxTest() : BoxTest(Width, Height) { PaintPattern(Shown()); }
};

// --- golden screens: a 6 x 4 box at (1, 1) on a 12 x 7 console ---

using SmallBoxTest = SizedBoxTest<12, 7>;

const Rows kPattern = {"abcdefghijkl", "bcdefghijklm", "cdefghijklmn", "defghijklmno",
                       "efghijklmnop", "fghijklmnopq", "ghijklmnopqr"};
const std::string kPlainRow = "070707070707070707070707";
const std::string kBoxRow = "071F1F1F1F1F1F0707070707";
const std::string kShadedRow = "071F1F1F1F1F1F0808070707";
const Rows kBoxAttributes = {kPlainRow, kBoxRow, kBoxRow, kBoxRow, kBoxRow, kPlainRow, kPlainRow};
const Rows kShadowAttributes = {
    kPlainRow, kBoxRow, kShadedRow, kShadedRow, kShadedRow, "070707080808080808070707", kPlainRow};

// The pattern with the rows from `first` on replaced.
Rows WithRows(const Rows& rows, int first = 1) {
  Rows screen = kPattern;
  std::copy(rows.begin(), rows.end(), screen.begin() + first);
  return screen;
}

TEST_F(SmallBoxTest, EachStyleFillsFramesAndCornersTheBox) {
  const Rows kept(kPattern.begin() + 1, kPattern.begin() + 5);
  const std::pair<int, Rows> cases[] = {
      {0, kept},
      {9, kept},
      {-1, kept},
      {1, {"b      ijklm", "c      jklmn", "d      klmno", "e      lmnop"}},
      {2, {"b┌────┐ijklm", "c│    │jklmn", "d│    │klmno", "e└────┘lmnop"}},
      {3, {"b╔════╗ijklm", "c║    ║jklmn", "d║    ║klmno", "e╚════╝lmnop"}},
      {4, {"b+----+ijklm", "c|    |jklmn", "d|    |klmno", "e+----+lmnop"}},
      {5, {"b******ijklm", "c*    *jklmn", "d*    *klmno", "e******lmnop"}},
      {6, {"b░░░░░░ijklm", "c░    ░jklmn", "d░    ░klmno", "e░░░░░░lmnop"}},
      {7, {"b▒▒▒▒▒▒ijklm", "c▒    ▒jklmn", "d▒    ▒klmno", "e▒▒▒▒▒▒lmnop"}},
      {8, {"b▓▓▓▓▓▓ijklm", "c▓    ▓jklmn", "d▓    ▓klmno", "e▓▓▓▓▓▓lmnop"}}};
  for (const auto& [style, box_rows] : cases) {
    SCOPED_TRACE(style);
    PaintPattern(Shown());
    EXPECT_EQ(Box(1, 1, 6, 4, style), Size(6, 4));
    ExpectScreen(Shown(), WithRows(box_rows), kBoxAttributes);
  }
  // Omitted style and shadow: a plain box without shadow.
  PaintPattern(Shown());
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue));
  ExpectScreen(Shown(), WithRows(cases[3].second), kBoxAttributes);
}

// --- the smallest boxes: where corners fall on the same cells, the later ones win ---

TEST_F(SmallBoxTest, OneColumnOneRowAndTwoByTwo) {
  EXPECT_EQ(Box(1, 1, 1, 3, 2), Size(1, 3));
  EXPECT_EQ(Box(3, 1, 4, 1, 2), Size(4, 1));
  EXPECT_EQ(Box(8, 1, 2, 2, 2), Size(2, 2));
  ExpectScreen(Shown(), WithRows({"b┐d└──┘i┌┐lm", "c│efghij└┘mn", "d┘fghijklmno"}),
               {kPlainRow, "071F071F1F1F1F071F1F0707", "071F0707070707071F1F0707", "071F07070707070707070707",
                kPlainRow, kPlainRow, kPlainRow});
}

TEST_F(SmallBoxTest, OneCellHoldsTheLastCornerOrTheVerticalCharacter) {
  const std::pair<int, const char*> cases[] = {{0, "g"}, {1, " "}, {2, "┘"}, {3, "╝"}, {4, "+"},
                                               {5, "*"}, {6, "░"}, {7, "▒"}, {8, "▓"}};
  for (const auto& [style, glyph] : cases) {
    SCOPED_TRACE(style);
    PaintPattern(Shown());
    EXPECT_EQ(Box(1, 5, 1, 1, style), Size(1, 1));
    ExpectScreen(
        Shown(), WithRows({std::string("f") + glyph + "hijklmnopq"}, 5),
        {kPlainRow, kPlainRow, kPlainRow, kPlainRow, kPlainRow, "071F07070707070707070707", kPlainRow});
  }
}

// --- the shadow: dark grey on black over whatever lies there, clipped without shortening the box ---

TEST_F(SmallBoxTest, TheShadowDarkensTwoColumnsRightAndOneRowBelowEvenOfAColourOnlyBox) {
  EXPECT_EQ(Box(1, 1, 6, 4, 3, true), Size(6, 4));
  ExpectScreen(Shown(), WithRows({"b╔════╗ijklm", "c║    ║jklmn", "d║    ║klmno", "e╚════╝lmnop"}),
               kShadowAttributes);
  PaintPattern(Shown());
  EXPECT_EQ(Box(1, 1, 6, 4, -1, true), Size(6, 4));
  ExpectScreen(Shown(), kPattern, kShadowAttributes);
}

TEST_F(SmallBoxTest, AtTheRightEdgeOnlyTheBottomStripIsDrawnUpToTheEdge) {
  EXPECT_EQ(Box(6, 1, 6, 4, 2, true), Size(6, 4));
  const std::string row = "0707070707071F1F1F1F1F1F";
  ExpectScreen(Shown(), WithRows({"bcdefg┌────┐", "cdefgh│    │", "defghi│    │", "efghij└────┘"}),
               {kPlainRow, row, row, row, row, "070707070707070708080808", kPlainRow});
}

TEST_F(SmallBoxTest, OneColumnLeftOfTheEdgeTheInnerStripTakesTheLastColumn) {
  EXPECT_EQ(Box(5, 1, 6, 4, 2, true), Size(6, 4));
  const std::string shaded = "07070707071F1F1F1F1F1F08";
  ExpectScreen(
      Shown(), WithRows({"bcdef┌────┐m", "cdefg│    │n", "defgh│    │o", "efghi└────┘p"}),
      {kPlainRow, "07070707071F1F1F1F1F1F07", shaded, shaded, shaded, "070707070707070808080808", kPlainRow});
}

TEST_F(SmallBoxTest, AtTheBottomTheRightStripsRunToTheLastRow) {
  EXPECT_EQ(Box(1, 3, 6, 4, 2, true), Size(6, 4));
  ExpectScreen(Shown(), WithRows({"d┌────┐klmno", "e│    │lmnop", "f│    │mnopq", "g└────┘nopqr"}, 3),
               {kPlainRow, kPlainRow, kPlainRow, kBoxRow, kShadedRow, kShadedRow, kShadedRow});
}

TEST_F(SmallBoxTest, TheBottomStripNeedsItsStartInsideTheWindow) {
  // X + 2 is the window's last column: the strip is that one cell.
  EXPECT_EQ(Box(9, 1, 3, 2, 1, true), Size(3, 2));
  EXPECT_EQ(Attributes(Shown(), 3, 1)[0], "070707070707070707070708");
  PaintPattern(Shown());
  // X + 2 lies right of the window: no strip at all.
  EXPECT_EQ(Box(10, 1, 2, 2, 1, true), Size(2, 2));
  EXPECT_EQ(Attributes(Shown(), 1, 3),
            (Rows{"070707070707070707071F1F", "070707070707070707071F1F", kPlainRow}));
}

// --- clipping, written back: only the dimension past its edge changes ---

TEST_F(BoxTest, APastTheWindowBoxIsClippedAndFramedAtTheClippedEdges) {
  EXPECT_EQ(Box(75, 20, 10, 10, 2), Size(5, 5));
  const std::string left(75, ' ');
  EXPECT_EQ(Text(Shown(), 20, 5),
            (Rows{left + "┌───┐", left + "│   │", left + "│   │", left + "│   │", left + "└───┘"}));
  EXPECT_EQ(Cell(Shown(), 74, 22).Attributes, 0x07);
  EXPECT_EQ(Cell(Shown(), 79, 24).Attributes, 0x1F);
  EXPECT_EQ(Box(75, 20, 32767, 32767, 2), Size(5, 5));
  EXPECT_EQ(Box(0, 0, 80, 30, 1), Size(80, 25));
}

// --- errors ---

TEST_F(BoxTest, ASizeBelowOneRaisesAndDrawsNothing) {
  const Size cases[] = {{0, 5}, {5, 0}, {-1, 5}, {5, -1}, {5, -32768}, {0, 0}};
  for (const auto& [w, h] : cases) {
    Integer width = w, height = h;
    ExpectError(ErrorOf([&] { console_.DrawBox(5, 5, width, height, kWhite, kDarkBlue, Style(2), true); }),
                30059, kSource, kDescription);
    EXPECT_EQ(Size(width, height), Size(w, h));
  }
  EXPECT_EQ(Attributes(Shown()), Rows(25, Repeat("07", 80)));
}

TEST_F(BoxTest, AnUnobtainablePageBufferDrawsNothingWithoutRaisingAtTheOrigin) {
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer width = 3;
  Integer height = 3;
  EXPECT_FALSE(console_.DrawBox(0, 0, width, height, kWhite, kDarkBlue, Style(2), true, 5));
  EXPECT_EQ(Size(width, height), Size(1, 1));
  // Page 6: the edges of the call above have since created page 5's buffer through their own lookups.
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  ExpectError(ErrorOf([&] { console_.DrawBox(0, 1, width, height, kWhite, kDarkBlue, Style(1), false, 6); }),
              30059, kSource, kDescription);
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
}

TEST_F(BoxTest, APageIndexDrawsTheWholeBoxOnThatPageOnly) {
  const Handle shown = Shown();
  const auto blank = Attributes(shown);
  Integer width = 4;
  Integer height = 3;
  ASSERT_TRUE(console_.DrawBox(2, 1, width, height, kWhite, kDarkBlue, Style(3), true, "2"));
  ASSERT_TRUE(console_.DrawBox(2, 1, width, height, kYellow, kDarkRed, Style(2), true, 15));
  EXPECT_EQ(Shown(), shown);
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Attributes(shown), blank);

  const std::string right(74, ' ');
  EXPECT_EQ(Text(PageBuffer(console_, 2), 1, 3),
            (Rows{"  ╔══╗" + right, "  ║  ║" + right, "  ╚══╝" + right}));
  const Handle page15 = PageBuffer(console_, 15);
  EXPECT_EQ(Text(page15, 1, 3), (Rows{"  ┌──┐" + right, "  │  │" + right, "  └──┘" + right}));
  EXPECT_EQ(Cell(page15, 2, 1).Attributes, 0x4E);
  const std::pair<int, int> shadow[] = {{6, 2}, {7, 4}, {4, 4}};
  for (auto [x, y] : shadow) EXPECT_EQ(Cell(page15, x, y).Attributes, 0x08) << x << "," << y;
}

TEST_F(SmallBoxTest, ARefusedFillGivesFalseButFrameAndShadowAreDrawn) {
  emulated_.FailCall(Op::WriteConsoleOutputA, 1);
  Integer width = 6;
  Integer height = 4;
  EXPECT_FALSE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(2), true));
  const std::string open = "071F070707071F0808070707";
  ExpectScreen(Shown(), WithRows({"b┌────┐ijklm", "c│efgh│jklmn", "d│fghi│klmno", "e└────┘lmnop"}),
               {kPlainRow, kBoxRow, open, open, kShadedRow, "070707080808080808070707", kPlainRow});
}

TEST_F(SmallBoxTest, ARefusedReadOfAColourOnlyBoxKeepsItsText) {
  // Without the cells under it the fill would overwrite the text with NULs: it writes nothing instead.
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  Integer width = 6;
  Integer height = 4;
  EXPECT_FALSE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(0), true));
  const std::string shaded = "070707070707070808070707";
  ExpectScreen(Shown(), kPattern,
               {kPlainRow, kPlainRow, shaded, shaded, shaded, "070707080808080808070707", kPlainRow});
}

// A full window of a huge console needs hundreds of megabytes for the fill. When they cannot be had, the
// fill fails as a refused write does, and the cells a colour-only box keeps as a refused read does.
TEST_F(SmallBoxTest, MemoryThatCannotBeHadFailsTheFillAlone) {
  const CellArrayLimit limit(23);  // the fill is 24 cells; every edge and strip fits
  Integer width = 6;
  Integer height = 4;
  EXPECT_FALSE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(2), true));
  const std::string open = "071F070707071F0808070707";
  ExpectScreen(Shown(), WithRows({"b┌────┐ijklm", "c│efgh│jklmn", "d│fghi│klmno", "e└────┘lmnop"}),
               {kPlainRow, kBoxRow, open, open, kShadedRow, "070707080808080808070707", kPlainRow});
  PaintPattern(Shown());
  EXPECT_FALSE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(0), true));
  const std::string shaded = "070707070707070808070707";
  ExpectScreen(Shown(), kPattern,
               {kPlainRow, kPlainRow, shaded, shaded, shaded, "070707080808080808070707", kPlainRow});
}

TEST_F(SmallBoxTest, AFailingStripOrCornerKeepsTheResultTrue) {
  // The second rectangle write is the bottom shadow strip; then the first corner's character and the
  // second corner's attribute.
  emulated_.FailCall(Op::WriteConsoleOutputA, 2);
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 2);
  EXPECT_EQ(Box(1, 1, 6, 4, 2, true), Size(6, 4));
  ExpectScreen(
      Shown(), WithRows({"b│────│ijklm", "c│    │jklmn", "d│    │klmno", "e└────┘lmnop"}),
      {kPlainRow, kBoxRow, kShadedRow, kShadedRow, kShadedRow, "070707070707070808070707", kPlainRow});
}

// --- a box of more than 32,767 cells ---

using LargeBoxTest = SizedBoxTest<250, 140>;

TEST_F(LargeBoxTest, IsDrawnWhole) {
  EXPECT_EQ(Box(0, 0, 250, 140, 2), Size(250, 140));
  const std::tuple<int, int, int> characters[] = {{0, 0, 0xDA},     {249, 0, 0xBF},   {0, 139, 0xC0},
                                                  {249, 139, 0xD9}, {125, 139, 0xC4}, {249, 70, 0xB3},
                                                  {248, 138, ' '}};
  for (auto [x, y, c] : characters) {
    EXPECT_EQ(Cell(Shown(), x, y).Char, c) << x << "," << y;
  }
  std::string row;
  for (int i = 0; i < 250; ++i) row += "1F";
  EXPECT_EQ(Attributes(Shown()), Rows(140, row));

  // Colours only, with a shadow along the last column and row: 248 x 139 cells kept and recoloured.
  PaintPattern(Shown());
  Integer width = 248;
  Integer height = 139;
  ASSERT_TRUE(console_.DrawBox(0, 0, width, height, kYellow, kDarkRed, Style(0), true));
  EXPECT_EQ(Size(width, height), Size(248, 139));
  EXPECT_EQ(Cell(Shown(), 247, 138).Char, 'a' + (138 + 247) % 26);
  EXPECT_EQ(Cell(Shown(), 247, 138).Attributes, 0x4E);
  const std::tuple<int, int, int> attributes[] = {
      {248, 139, 0x08}, {249, 1, 0x08}, {249, 0, 0x07}, {1, 139, 0x07}, {2, 139, 0x08}};
  for (auto [x, y, a] : attributes) {
    EXPECT_EQ(Cell(Shown(), x, y).Attributes, a) << x << "," << y;
  }
}

}  // namespace
}  // namespace kelvane::testing
