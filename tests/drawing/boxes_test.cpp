// DrawBox: fill, frame and corners of each style, the shadow at the window's edges, clipping written
// back, errors, pages, the result and the platform traffic of one box.
#include <gtest/gtest.h>

#include "drawing/drawing_fixture.hpp"

namespace kelvane::testing {
namespace {

using KelvaneConsole::kcLineColorOnly;
using KelvaneConsole::kcLineDoubleLine;
using KelvaneConsole::kcLinePlain;
using KelvaneConsole::kcLineSingleLine;

constexpr const char* kSource = "KelvaneConsole.DrawBox";
constexpr const char* kDescription =
    "Invalid X, Y, Width, or Height parameters for Console DrawBox function.";

template <short Columns, short Rows>
class SizedBoxTest : public DrawingTest {
 protected:
  SizedBoxTest() : DrawingTest(Columns, Rows) { PaintPattern(Shown()); }
};

using BoxTest = DrawingTest;
using SmallBoxTest = SizedBoxTest<12, 7>;

// --- golden screens: a 6 x 4 box at (1, 1) on a 12 x 7 console ---

const std::vector<std::string> kPattern = {"abcdefghijkl", "bcdefghijklm", "cdefghijklmn", "defghijklmno",
                                           "efghijklmnop", "fghijklmnopq", "ghijklmnopqr"};
const std::string kPlainRow = "070707070707070707070707";
const std::string kBoxRow = "071F1F1F1F1F1F0707070707";
const std::vector<std::string> kBoxAttributes = {kPlainRow, kBoxRow,   kBoxRow,  kBoxRow,
                                                 kBoxRow,   kPlainRow, kPlainRow};

struct StyleScreen {
  int style;
  std::vector<std::string> text;
};

class BoxStyleTest : public SmallBoxTest, public ::testing::WithParamInterface<StyleScreen> {};

TEST_P(BoxStyleTest, FillsFramesAndCornersTheBox) {
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(GetParam().style)));
  EXPECT_EQ(width, 6);
  EXPECT_EQ(height, 4);
  ExpectScreen(Shown(), GetParam().text, kBoxAttributes);
}

const std::vector<std::string> kColourOnlyScreen = kPattern;

INSTANTIATE_TEST_SUITE_P(
    AllStyles, BoxStyleTest,
    ::testing::Values(StyleScreen{0, kColourOnlyScreen}, StyleScreen{9, kColourOnlyScreen},
                      StyleScreen{-1, kColourOnlyScreen},
                      StyleScreen{1,
                                  {"abcdefghijkl", "b      ijklm", "c      jklmn", "d      klmno",
                                   "e      lmnop", "fghijklmnopq", "ghijklmnopqr"}},
                      StyleScreen{2,
                                  {"abcdefghijkl", "b┌────┐ijklm", "c│    │jklmn", "d│    │klmno",
                                   "e└────┘lmnop", "fghijklmnopq", "ghijklmnopqr"}},
                      StyleScreen{3,
                                  {"abcdefghijkl", "b╔════╗ijklm", "c║    ║jklmn", "d║    ║klmno",
                                   "e╚════╝lmnop", "fghijklmnopq", "ghijklmnopqr"}},
                      StyleScreen{4,
                                  {"abcdefghijkl", "b+----+ijklm", "c|    |jklmn", "d|    |klmno",
                                   "e+----+lmnop", "fghijklmnopq", "ghijklmnopqr"}},
                      StyleScreen{5,
                                  {"abcdefghijkl", "b******ijklm", "c*    *jklmn", "d*    *klmno",
                                   "e******lmnop", "fghijklmnopq", "ghijklmnopqr"}},
                      StyleScreen{6,
                                  {"abcdefghijkl", "b░░░░░░ijklm", "c░    ░jklmn", "d░    ░klmno",
                                   "e░░░░░░lmnop", "fghijklmnopq", "ghijklmnopqr"}},
                      StyleScreen{7,
                                  {"abcdefghijkl", "b▒▒▒▒▒▒ijklm", "c▒    ▒jklmn", "d▒    ▒klmno",
                                   "e▒▒▒▒▒▒lmnop", "fghijklmnopq", "ghijklmnopqr"}},
                      StyleScreen{8,
                                  {"abcdefghijkl", "b▓▓▓▓▓▓ijklm", "c▓    ▓jklmn", "d▓    ▓klmno",
                                   "e▓▓▓▓▓▓lmnop", "fghijklmnopq", "ghijklmnopqr"}}),
    [](const ::testing::TestParamInfo<StyleScreen>& info) {
      return info.param.style < 0 ? std::string("Minus") + std::to_string(-info.param.style)
                                  : std::to_string(info.param.style);
    });

TEST_F(SmallBoxTest, OmittedStyleAndShadowGiveABlankBoxWithoutShadow) {
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue));
  ExpectScreen(Shown(),
               {"abcdefghijkl", "b      ijklm", "c      jklmn", "d      klmno", "e      lmnop",
                "fghijklmnopq", "ghijklmnopqr"},
               kBoxAttributes);
}

// --- the smallest boxes: where corners fall on the same cells, the later ones win ---

using Box3x5Test = SizedBoxTest<3, 5>;
using Box6x3Test = SizedBoxTest<6, 3>;
using Box4x4Test = SizedBoxTest<4, 4>;
using Box3x3Test = SizedBoxTest<3, 3>;

TEST_F(Box3x5Test, OneColumnShowsTheRightHandCorners) {
  Integer width = 1;
  Integer height = 3;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine));
  ExpectScreen(Shown(), {"abc", "b┐d", "c│e", "d┘f", "efg"},
               {"070707", "071F07", "071F07", "071F07", "070707"});
}

TEST_F(Box6x3Test, OneRowShowsTheBottomCorners) {
  Integer width = 4;
  Integer height = 1;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine));
  ExpectScreen(Shown(), {"abcdef", "b└──┘g", "cdefgh"}, {"070707070707", "071F1F1F1F07", "070707070707"});
}

TEST_F(Box4x4Test, TwoByTwoIsFourCornersWithoutInterior) {
  Integer width = 2;
  Integer height = 2;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine));
  ExpectScreen(Shown(), {"abcd", "b┌┐e", "c└┘f", "defg"}, {"07070707", "071F1F07", "071F1F07", "07070707"});
}

TEST_F(Box3x3Test, OneCellHoldsTheLastCornerOrTheVerticalCharacter) {
  const std::pair<int, const char*> cases[] = {{0, "c"}, {1, " "}, {2, "┘"}, {3, "╝"}, {4, "+"},
                                               {5, "*"}, {6, "░"}, {7, "▒"}, {8, "▓"}};
  for (const auto& [style, glyph] : cases) {
    PaintPattern(Shown());
    Integer width = 1;
    Integer height = 1;
    ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(style))) << style;
    EXPECT_EQ(Text(Shown()), (std::vector<std::string>{"abc", std::string("b") + glyph + "d", "cde"}))
        << style;
    EXPECT_EQ(Attributes(Shown()), (std::vector<std::string>{"070707", "071F07", "070707"})) << style;
  }
}

// --- the shadow: dark grey on black over whatever lies there ---

TEST_F(SmallBoxTest, TheShadowDarkensTwoColumnsRightAndOneRowBelow) {
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineDoubleLine, true));
  EXPECT_EQ(width, 6);
  EXPECT_EQ(height, 4);
  ExpectScreen(Shown(),
               {"abcdefghijkl", "b╔════╗ijklm", "c║    ║jklmn", "d║    ║klmno", "e╚════╝lmnop",
                "fghijklmnopq", "ghijklmnopqr"},
               {kPlainRow, kBoxRow, "071F1F1F1F1F1F0808070707", "071F1F1F1F1F1F0808070707",
                "071F1F1F1F1F1F0808070707", "070707080808080808070707", kPlainRow});
}

TEST_F(SmallBoxTest, AColourOnlyBoxStillCastsAShadow) {
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, Style(-1), true));
  ExpectScreen(Shown(), kPattern,
               {kPlainRow, kBoxRow, "071F1F1F1F1F1F0808070707", "071F1F1F1F1F1F0808070707",
                "071F1F1F1F1F1F0808070707", "070707080808080808070707", kPlainRow});
}

TEST_F(SmallBoxTest, AtTheRightEdgeOnlyTheBottomStripIsDrawnUpToTheEdge) {
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(6, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine, true));
  // The strips' clipping does not reach the box's own size.
  EXPECT_EQ(width, 6);
  EXPECT_EQ(height, 4);
  const std::string row = "0707070707071F1F1F1F1F1F";
  ExpectScreen(Shown(),
               {"abcdefghijkl", "bcdefg┌────┐", "cdefgh│    │", "defghi│    │", "efghij└────┘",
                "fghijklmnopq", "ghijklmnopqr"},
               {kPlainRow, row, row, row, row, "070707070707070708080808", kPlainRow});
}

TEST_F(SmallBoxTest, OneColumnLeftOfTheEdgeTheInnerStripTakesTheLastColumn) {
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(5, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine, true));
  EXPECT_EQ(width, 6);
  EXPECT_EQ(height, 4);
  const std::string shaded = "07070707071F1F1F1F1F1F08";
  ExpectScreen(
      Shown(),
      {"abcdefghijkl", "bcdef┌────┐m", "cdefg│    │n", "defgh│    │o", "efghi└────┘p", "fghijklmnopq",
       "ghijklmnopqr"},
      {kPlainRow, "07070707071F1F1F1F1F1F07", shaded, shaded, shaded, "070707070707070808080808", kPlainRow});
}

TEST_F(SmallBoxTest, AtTheBottomTheRightStripsRunToTheLastRow) {
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 3, width, height, kWhite, kDarkBlue, kcLineSingleLine, true));
  EXPECT_EQ(width, 6);
  EXPECT_EQ(height, 4);
  const std::string shaded = "071F1F1F1F1F1F0808070707";
  ExpectScreen(Shown(),
               {"abcdefghijkl", "bcdefghijklm", "cdefghijklmn", "d┌────┐klmno", "e│    │lmnop",
                "f│    │mnopq", "g└────┘nopqr"},
               {kPlainRow, kPlainRow, kPlainRow, kBoxRow, shaded, shaded, shaded});
}

TEST_F(SmallBoxTest, TheBottomStripNeedsItsStartInsideTheWindow) {
  Integer width = 3;
  Integer height = 2;
  // X + 2 is the window's last column: the strip is that one cell.
  ASSERT_TRUE(console_.DrawBox(9, 1, width, height, kWhite, kDarkBlue, kcLinePlain, true));
  EXPECT_EQ(Attributes(Shown(), 3, 1)[0], "070707070707070707070708");
  PaintPattern(Shown());
  width = 2;
  // X + 2 lies right of the window: no strip at all.
  ASSERT_TRUE(console_.DrawBox(10, 1, width, height, kWhite, kDarkBlue, kcLinePlain, true));
  EXPECT_EQ(Attributes(Shown(), 3, 1)[0], kPlainRow);
  EXPECT_EQ(Attributes(Shown(), 1, 2), (std::vector<std::string>(2, "070707070707070707071F1F")));
}

// --- clipping, written back ---

TEST_F(BoxTest, APastTheWindowBoxIsClippedAndFramedAtTheClippedEdges) {
  Integer width = 10;
  Integer height = 10;
  ASSERT_TRUE(console_.DrawBox(75, 20, width, height, kWhite, kDarkBlue, kcLineSingleLine));
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, 5);
  const std::string left(75, ' ');
  EXPECT_EQ(Text(Shown(), 20, 5), (std::vector<std::string>{left + "┌───┐", left + "│   │", left + "│   │",
                                                            left + "│   │", left + "└───┘"}));
  EXPECT_EQ(Cell(Shown(), 74, 22).Attributes, 0x07);
  EXPECT_EQ(Cell(Shown(), 79, 24).Attributes, 0x1F);

  width = 32767;
  height = 32767;
  ASSERT_TRUE(console_.DrawBox(75, 20, width, height, kWhite, kDarkBlue, kcLineSingleLine));
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, 5);

  // Only the dimension past its edge changes.
  width = 80;
  height = 30;
  ASSERT_TRUE(console_.DrawBox(0, 0, width, height, kWhite, kDarkBlue));
  EXPECT_EQ(width, 80);
  EXPECT_EQ(height, 25);
}

// --- errors ---

TEST_F(BoxTest, AStartOutsideTheWindowOrASizeBelowOneRaisesAndDrawsNothing) {
  struct Case {
    Integer x, y, width, height;
  };
  const Case cases[] = {{-1, 0, 5, 5}, {80, 0, 1, 1}, {0, -1, 5, 5}, {0, 25, 1, 1},     {0, 0, 0, 5},
                        {0, 0, 5, 0},  {0, 0, -1, 5}, {0, 0, 5, -1}, {0, 0, 5, -32768}, {79, 24, 0, 0}};
  emulated_.ResetCallCounts();
  for (const auto& c : cases) {
    Integer width = c.width;
    Integer height = c.height;
    ExpectError(ErrorOf([&] {
                  console_.DrawBox(c.x, c.y, width, height, kWhite, kDarkBlue, kcLineSingleLine, true);
                }),
                30059, kSource, kDescription);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
  }
  for (Op op : {Op::ReadConsoleOutputA, Op::WriteConsoleOutputA, Op::FillConsoleOutputAttribute,
                Op::FillConsoleOutputCharacterA}) {
    EXPECT_EQ(emulated_.CallCount(op), 0) << static_cast<int>(op);
  }
}

TEST_F(BoxTest, AStartInTheBufferButRightOfTheWindowRaises) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 25}, SmallRect{0, 0, 79, 24}));
  Integer width = 3;
  Integer height = 3;
  ExpectError(ErrorOf([&] { console_.DrawBox(80, 0, width, height, kWhite, kDarkBlue); }), 30059, kSource,
              kDescription);
  EXPECT_EQ(Cell(Shown(), 80, 0).Attributes, 0x07);
  // The box stops at the window's edge, not the buffer's; so does its shadow.
  width = 10;
  ASSERT_TRUE(console_.DrawBox(75, 0, width, height, kWhite, kDarkBlue, kcLinePlain, true));
  EXPECT_EQ(width, 5);
  EXPECT_EQ(Cell(Shown(), 79, 0).Attributes, 0x1F);
  EXPECT_EQ(Cell(Shown(), 80, 0).Attributes, 0x07);
  EXPECT_EQ(Cell(Shown(), 79, 3).Attributes, 0x08);
  EXPECT_EQ(Cell(Shown(), 80, 3).Attributes, 0x07);
  EXPECT_EQ(Cell(Shown(), 80, 1).Attributes, 0x07);
}

TEST_F(BoxTest, PagesOutsideZeroToNineteenRaise30053) {
  for (const Variant& page : {Variant("abc"), Variant(-1), Variant(20)}) {
    Integer width = 5;
    Integer height = 5;
    ExpectError(
        ErrorOf([&] { console_.DrawBox(0, 0, width, height, kWhite, kDarkBlue, kcLinePlain, true, page); }),
        30053, kSource, "Invalid page specified.");
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 5);
  }
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
}

TEST_F(BoxTest, AnUnobtainablePageBufferDrawsNothingWithoutRaisingAtTheOrigin) {
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer width = 3;
  Integer height = 3;
  EXPECT_FALSE(console_.DrawBox(0, 0, width, height, kWhite, kDarkBlue, kcLineSingleLine, true, 5));
  EXPECT_EQ(width, 1);
  EXPECT_EQ(height, 1);
  // Page 6: the edges of the call above have since created page 5's buffer through their own lookups.
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  ExpectError(
      ErrorOf([&] { console_.DrawBox(0, 1, width, height, kWhite, kDarkBlue, kcLinePlain, false, 6); }),
      30059, kSource, kDescription);
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
}

// --- pages ---

TEST_F(BoxTest, APageIndexDrawsTheWholeBoxOnThatPageOnly) {
  const Handle shown = Shown();
  const auto blank = Attributes(shown);
  Integer width = 4;
  Integer height = 3;
  ASSERT_TRUE(console_.DrawBox(2, 1, width, height, kWhite, kDarkBlue, kcLineDoubleLine, true, "2"));
  ASSERT_TRUE(console_.DrawBox(2, 1, width, height, kYellow, kDarkRed, kcLineSingleLine, true, 15));
  EXPECT_EQ(Shown(), shown);
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Attributes(shown), blank);

  const std::string right(74, ' ');
  const Handle page2 = PageBuffer(console_, 2);
  EXPECT_EQ(Text(page2, 0, 5),
            (std::vector<std::string>{std::string(80, ' '), "  ╔══╗" + right, "  ║  ║" + right,
                                      "  ╚══╝" + right, std::string(80, ' ')}));
  const Handle page15 = PageBuffer(console_, 15);
  EXPECT_EQ(Text(page15, 1, 3),
            (std::vector<std::string>{"  ┌──┐" + right, "  │  │" + right, "  └──┘" + right}));
  EXPECT_EQ(Cell(page15, 2, 1).Attributes, 0x4E);
  EXPECT_EQ(Cell(page15, 6, 2).Attributes, 0x08);
  EXPECT_EQ(Cell(page15, 7, 4).Attributes, 0x08);
  EXPECT_EQ(Cell(page15, 4, 4).Attributes, 0x08);
}

class ScrolledBoxTest : public BoxTest {
 protected:
  ScrolledBoxTest() {
    // Page 0's buffer is 100 x 300 with the window at columns 10..89, rows 100..124.
    EXPECT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  }
};

TEST_F(ScrolledBoxTest, CoordinatesAreBufferCoordinatesCheckedAgainstTheWindow) {
  Integer width = 4;
  Integer height = 3;
  ExpectError(ErrorOf([&] { console_.DrawBox(10, 5, width, height, kWhite, kDarkBlue); }), 30059, kSource,
              kDescription);
  ExpectError(ErrorOf([&] { console_.DrawBox(9, 100, width, height, kWhite, kDarkBlue); }), 30059, kSource,
              kDescription);

  ASSERT_TRUE(console_.DrawBox(10, 100, width, height, kWhite, kDarkBlue, kcLineSingleLine, true));
  const std::string right(76, ' ');
  EXPECT_EQ(Text(Shown(), 0, 4),
            (std::vector<std::string>{"┌──┐" + right, "│  │" + right, "└──┘" + right, std::string(80, ' ')}));
  std::string plain;
  for (int i = 0; i < 72; ++i) plain += "07";
  EXPECT_EQ(Attributes(Shown(), 0, 4),
            (std::vector<std::string>{"1F1F1F1F07070707" + plain, "1F1F1F1F08080707" + plain,
                                      "1F1F1F1F08080707" + plain, "0707080808080707" + plain}));

  // Clipped at the window's bottom row, not the buffer's.
  height = 40;
  ASSERT_TRUE(console_.DrawBox(20, 120, width, height, kWhite, kDarkBlue));
  EXPECT_EQ(height, 5);
  EXPECT_EQ(Cell(Shown(), 20, 125).Attributes, 0x07);
}

// --- the result ---

TEST_F(BoxTest, WithoutALoadedConsoleTheResultIsFalse) {
  console_.Unload();
  Integer width = 0;
  Integer height = 5;
  EXPECT_FALSE(console_.DrawBox(-1, 0, width, height, kWhite, kDarkBlue, kcLineSingleLine, true, 30));
  EXPECT_EQ(width, 0);
  Console never_loaded;
  width = 5;
  EXPECT_FALSE(never_loaded.DrawBox(0, 0, width, height, kWhite, kDarkBlue));
}

TEST_F(SmallBoxTest, ARefusedFillGivesFalseButFrameAndShadowAreDrawn) {
  emulated_.FailCall(Op::WriteConsoleOutputA, 1);
  Integer width = 6;
  Integer height = 4;
  EXPECT_FALSE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine, true));
  const std::string open = "071F070707071F0808070707";
  ExpectScreen(
      Shown(),
      {"abcdefghijkl", "b┌────┐ijklm", "c│efgh│jklmn", "d│fghi│klmno", "e└────┘lmnop", "fghijklmnopq",
       "ghijklmnopqr"},
      {kPlainRow, kBoxRow, open, open, "071F1F1F1F1F1F0808070707", "070707080808080808070707", kPlainRow});
}

TEST_F(SmallBoxTest, ARefusedReadOfAColourOnlyBoxKeepsItsText) {
  // Without the cells under it the fill would overwrite the text with NULs: it writes nothing instead.
  emulated_.FailCall(Op::ReadConsoleOutputA, 1);
  Integer width = 6;
  Integer height = 4;
  EXPECT_FALSE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineColorOnly, true));
  ExpectScreen(Shown(),
               {"abcdefghijkl", "bcdefghijklm", "cdefghijklmn", "defghijklmno", "efghijklmnop", "fghijklmnopq",
                "ghijklmnopqr"},
               {kPlainRow, kPlainRow, "070707070707070808070707", "070707070707070808070707",
                "070707070707070808070707", "070707080808080808070707", kPlainRow});
}

TEST_F(SmallBoxTest, AFailingStripOrCornerKeepsTheResultTrue) {
  // The second rectangle write is the bottom shadow strip.
  emulated_.FailCall(Op::WriteConsoleOutputA, 2);
  // The first corner's character, then the second corner's attribute.
  emulated_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  emulated_.FailCall(Op::FillConsoleOutputAttribute, 2);
  Integer width = 6;
  Integer height = 4;
  EXPECT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine, true));
  ExpectScreen(Shown(),
               {"abcdefghijkl", "b│────│ijklm", "c│    │jklmn", "d│    │klmno", "e└────┘lmnop",
                "fghijklmnopq", "ghijklmnopqr"},
               {kPlainRow, kBoxRow, "071F1F1F1F1F1F0808070707", "071F1F1F1F1F1F0808070707",
                "071F1F1F1F1F1F0808070707", "070707070707070808070707", kPlainRow});
}

// --- platform traffic ---

TEST_F(SmallBoxTest, AFramedBoxWithShadowCostsOneCallPerPart) {
  emulated_.ResetCallCounts();
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineSingleLine, true));
  // Fill: one write. Three shadow strips: a read and a write each. Four edges: a write each. Four
  // corners: a one-cell read, an attribute and a character each.
  EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), 3 + 4);
  EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 1 + 3 + 4);
  EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputAttribute), 4);
  EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputCharacterA), 4);
}

TEST_F(SmallBoxTest, AColourOnlyBoxIsOneReadAndOneWritePlusItsShadow) {
  emulated_.ResetCallCounts();
  Integer width = 6;
  Integer height = 4;
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineColorOnly));
  EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), 1);
  EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 1);
  emulated_.ResetCallCounts();
  ASSERT_TRUE(console_.DrawBox(1, 1, width, height, kWhite, kDarkBlue, kcLineColorOnly, true));
  EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), 4);
  EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 4);
  EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputAttribute), 0);
  EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputCharacterA), 0);
}

TEST_F(BoxTest, DrawingLeavesTheCursorTheCurrentColoursAndTheShownPage) {
  ASSERT_TRUE(console_.SetCursorPos(7, 8));
  const auto before = emulated_.BufferInfo(Shown());
  Integer width = 20;
  Integer height = 10;
  ASSERT_TRUE(console_.DrawBox(5, 5, width, height, kYellow, kDarkRed, kcLineDoubleLine, true));
  const auto after = emulated_.BufferInfo(Shown());
  EXPECT_EQ(after->dwCursorPosition, before->dwCursorPosition);
  EXPECT_EQ(after->wAttributes, before->wAttributes);
  EXPECT_EQ(console_.Page(), 0);
}

// --- a box of more than 32,767 cells ---

class LargeBoxTest : public DrawingTest {
 protected:
  LargeBoxTest() : DrawingTest(250, 140) {}
};

TEST_F(LargeBoxTest, IsDrawnWhole) {
  Integer width = 250;
  Integer height = 140;
  ASSERT_TRUE(console_.DrawBox(0, 0, width, height, kWhite, kDarkBlue, kcLineSingleLine));
  EXPECT_EQ(width, 250);
  EXPECT_EQ(height, 140);
  EXPECT_EQ(Cell(Shown(), 0, 0).Char, 0xDA);
  EXPECT_EQ(Cell(Shown(), 249, 0).Char, 0xBF);
  EXPECT_EQ(Cell(Shown(), 0, 139).Char, 0xC0);
  EXPECT_EQ(Cell(Shown(), 249, 139).Char, 0xD9);
  EXPECT_EQ(Cell(Shown(), 125, 139).Char, 0xC4);
  EXPECT_EQ(Cell(Shown(), 249, 70).Char, 0xB3);
  EXPECT_EQ(Cell(Shown(), 248, 138).Char, ' ');
  std::string row;
  for (int i = 0; i < 250; ++i) row += "1F";
  EXPECT_EQ(Attributes(Shown()), std::vector<std::string>(140, row));

  // Colours only, with a shadow along the last column and row: 248 x 139 cells kept and recoloured.
  PaintPattern(Shown());
  width = 248;
  height = 139;
  ASSERT_TRUE(console_.DrawBox(0, 0, width, height, kYellow, kDarkRed, kcLineColorOnly, true));
  EXPECT_EQ(Cell(Shown(), 247, 138).Char, 'a' + (138 + 247) % 26);
  EXPECT_EQ(Cell(Shown(), 247, 138).Attributes, 0x4E);
  EXPECT_EQ(Cell(Shown(), 248, 139).Attributes, 0x08);
  EXPECT_EQ(Cell(Shown(), 249, 1).Attributes, 0x08);
  EXPECT_EQ(Cell(Shown(), 249, 0).Attributes, 0x07);
  EXPECT_EQ(Cell(Shown(), 1, 139).Attributes, 0x07);
  EXPECT_EQ(Cell(Shown(), 2, 139).Attributes, 0x08);
}

}  // namespace
}  // namespace kelvane::testing
