// DrawHLine and DrawVLine: characters of each style, clipping written back, errors and page choice.
#include <gtest/gtest.h>

#include "drawing/drawing_fixture.hpp"

namespace kelvane::testing {
namespace {

using KelvaneConsole::kcLineColorOnly;
using KelvaneConsole::kcLineDoubleLine;
using KelvaneConsole::kcLinePlain;
using KelvaneConsole::kcLineSingleLine;

constexpr const char* kHSource = "KelvaneConsole.DrawHLine";
constexpr const char* kVSource = "KelvaneConsole.DrawVLine";
constexpr const char* kHDescription =
    "Invalid X, Y, Width, or Height parameters for Console DrawHLine function.";
constexpr const char* kVDescription =
    "Invalid X, Y, Width, or Height parameters for Console DrawVLine function.";
constexpr const char* kPageDescription = "Invalid page specified.";

using LinesTest = DrawingTest;

// --- what each style draws ---

class HorizontalLineStylesTest : public DrawingTest {
 protected:
  HorizontalLineStylesTest() : DrawingTest(12, 11) {}
};

TEST_F(HorizontalLineStylesTest, RowNDrawnInStyleN) {
  PaintPattern(Shown());
  // Styles 0..8 on rows 0..8, then 9 and -1, which behave as colours only.
  const int styles[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1};
  for (int row = 0; row < 11; ++row) {
    Integer width = 8;
    ASSERT_TRUE(
        console_.DrawHLine(2, static_cast<Integer>(row), width, kWhite, kDarkBlue, Style(styles[row])))
        << row;
    EXPECT_EQ(width, 8);
  }
  const std::string drawn = "07071F1F1F1F1F1F1F1F0707";
  ExpectScreen(
      Shown(),
      {"abcdefghijkl", "bc        lm", "cd────────mn", "de════════no", "ef--------op", "fg********pq",
       "gh░░░░░░░░qr", "hi▒▒▒▒▒▒▒▒rs", "ij▓▓▓▓▓▓▓▓st", "jklmnopqrstu", "klmnopqrstuv"},
      std::vector<std::string>(11, drawn));
}

class VerticalLineStylesTest : public DrawingTest {
 protected:
  VerticalLineStylesTest() : DrawingTest(12, 7) {}
};

TEST_F(VerticalLineStylesTest, ColumnOnePlusNDrawnInStyleN) {
  PaintPattern(Shown());
  // Styles 0..8 in columns 1..9, then 9 and -1 in columns 10 and 11.
  const int styles[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1};
  for (int i = 0; i < 11; ++i) {
    Integer height = 5;
    ASSERT_TRUE(
        console_.DrawVLine(static_cast<Integer>(1 + i), 1, height, kWhite, kDarkBlue, Style(styles[i])))
        << i;
    EXPECT_EQ(height, 5);
  }
  const std::string plain = "070707070707070707070707";
  const std::string drawn = "071F1F1F1F1F1F1F1F1F1F1F";
  ExpectScreen(Shown(),
               {"abcdefghijkl", "bc │║|*░▒▓lm", "cd │║|*░▒▓mn", "de │║|*░▒▓no", "ef │║|*░▒▓op",
                "fg │║|*░▒▓pq", "ghijklmnopqr"},
               {plain, drawn, drawn, drawn, drawn, drawn, plain});
}

TEST_F(VerticalLineStylesTest, AnOmittedStyleRecoloursARowButBlanksAColumn) {
  PaintPattern(Shown());
  Integer width = 3;
  Integer height = 3;
  ASSERT_TRUE(console_.DrawHLine(1, 1, width, kYellow, kDarkRed));
  ASSERT_TRUE(console_.DrawVLine(8, 2, height, kYellow, kDarkRed));
  ExpectScreen(Shown(),
               {"abcdefghijkl", "bcdefghijklm", "cdefghij lmn", "defghijk mno", "efghijkl nop",
                "fghijklmnopq", "ghijklmnopqr"},
               {"070707070707070707070707", "074E4E4E0707070707070707", "07070707070707074E070707",
                "07070707070707074E070707", "07070707070707074E070707", "070707070707070707070707",
                "070707070707070707070707"});
}

TEST_F(LinesTest, ColoursSnapToTheNearestPaletteEntry) {
  Integer width = 1;
  // Red on dark blue; 0xE0E0E0 is nearer white than light grey; a tie goes to the higher index.
  console_.DrawHLine(0, 0, width, kRed, kDarkBlue, kcLinePlain);
  console_.DrawHLine(1, 0, width, 0xE0E0E0, 0x000040, kcLinePlain);
  console_.DrawHLine(2, 0, width, static_cast<Long>(0xFF000000), 0xA0A0A0, kcLinePlain);
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x1C);
  EXPECT_EQ(Cell(Shown(), 1, 0).Attributes, 0x4F);
  EXPECT_EQ(Cell(Shown(), 2, 0).Attributes, 0x80);
}

// --- clipping at the window's far edges, written back ---

TEST_F(LinesTest, AWidthPastTheRightEdgeIsClippedAndWrittenBack) {
  struct Case {
    Integer x, width, expected;
  };
  const Case cases[] = {{75, 10, 5}, {75, 5, 5},  {75, 4, 4},     {79, 1, 1},    {79, 2, 1},
                        {0, 80, 80}, {0, 81, 80}, {75, 32767, 5}, {1, 32767, 79}};
  for (const auto& c : cases) {
    console_.ClearScreen();
    Integer width = c.width;
    EXPECT_TRUE(console_.DrawHLine(c.x, 3, width, kWhite, kDarkBlue, kcLineDoubleLine))
        << c.x << "+" << c.width;
    EXPECT_EQ(width, c.expected) << c.x << "+" << c.width;
    const std::string row = Text(Shown(), 3, 1)[0];
    const std::string expected_row = [&] {
      std::string r;
      for (int x = 0; x < 80; ++x) r += (x >= c.x && x < c.x + c.expected) ? "═" : " ";
      return r;
    }();
    EXPECT_EQ(row, expected_row) << c.x << "+" << c.width;
  }
}

TEST_F(LinesTest, AHeightPastTheBottomRowIsClippedAndWrittenBack) {
  Integer height = 3;
  ASSERT_TRUE(console_.DrawVLine(10, 24, height, kWhite, kDarkBlue, kcLineSingleLine));
  EXPECT_EQ(height, 1);
  EXPECT_EQ(Cell(Shown(), 10, 24).Char, 0xB3);
  height = 32767;
  ASSERT_TRUE(console_.DrawVLine(11, 20, height, kWhite, kDarkBlue, kcLineSingleLine));
  EXPECT_EQ(height, 5);
  EXPECT_EQ(Cell(Shown(), 11, 19).Attributes, 0x07);
  for (int y = 20; y <= 24; ++y) EXPECT_EQ(Cell(Shown(), 11, y).Attributes, 0x1F) << y;
  height = 25;
  ASSERT_TRUE(console_.DrawVLine(12, 0, height, kWhite, kDarkBlue));
  EXPECT_EQ(height, 25);
}

// --- errors ---

TEST_F(LinesTest, AStartOutsideTheWindowOrALengthBelowOneRaisesAndLeavesTheLength) {
  struct Case {
    Integer x, y, length;
  };
  const Case cases[] = {{-1, 0, 5}, {80, 0, 1}, {0, -1, 5},     {0, 25, 1},
                        {0, 0, 0},  {5, 5, -1}, {5, 5, -32768}, {-32768, 0, 1}};
  emulated_.ResetCallCounts();
  for (const auto& c : cases) {
    Integer width = c.length;
    ExpectError(ErrorOf([&] { console_.DrawHLine(c.x, c.y, width, kWhite, kDarkBlue, kcLineColorOnly); }),
                30059, kHSource, kHDescription);
    EXPECT_EQ(width, c.length);
    Integer height = c.length;
    ExpectError(ErrorOf([&] { console_.DrawVLine(c.x, c.y, height, kWhite, kDarkBlue, kcLineColorOnly); }),
                30059, kVSource, kVDescription);
    EXPECT_EQ(height, c.length);
  }
  // Nothing was read or drawn.
  EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), 0);
  EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 0);
}

TEST_F(LinesTest, AStartInTheBufferButRightOfTheWindowRaises) {
  // The buffer is 100 columns wide; the window shows columns 0..79.
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 25}, SmallRect{0, 0, 79, 24}));
  Integer width = 1;
  ExpectError(ErrorOf([&] { console_.DrawHLine(80, 0, width, kWhite, kDarkBlue); }), 30059, kHSource,
              kHDescription);
  Integer height = 1;
  ExpectError(ErrorOf([&] { console_.DrawVLine(80, 0, height, kWhite, kDarkBlue); }), 30059, kVSource,
              kVDescription);
  EXPECT_EQ(Cell(Shown(), 80, 0).Attributes, 0x07);
  // A line from inside the window stops at the window's edge, not the buffer's.
  width = 30;
  ASSERT_TRUE(console_.DrawHLine(70, 0, width, kWhite, kDarkBlue));
  EXPECT_EQ(width, 10);
  EXPECT_EQ(Cell(Shown(), 79, 0).Attributes, 0x1F);
  EXPECT_EQ(Cell(Shown(), 80, 0).Attributes, 0x07);
}

TEST_F(LinesTest, PagesOutsideZeroToNineteenRaise30053) {
  for (const Variant& page : {Variant("abc"), Variant(-1), Variant(20), Variant(32768)}) {
    Integer width = 5;
    ExpectError(ErrorOf([&] { console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, kcLinePlain, page); }),
                30053, kHSource, kPageDescription);
    EXPECT_EQ(width, 5);
    Integer height = 5;
    ExpectError(ErrorOf([&] { console_.DrawVLine(0, 0, height, kWhite, kDarkBlue, kcLinePlain, page); }),
                30053, kVSource, kPageDescription);
    EXPECT_EQ(height, 5);
  }
  EXPECT_EQ(emulated_.CallCount(Op::CreateConsoleScreenBuffer), 1);  // page 0's, at Load
}

// --- pages ---

TEST_F(LinesTest, APageIndexDrawsOnThatPageWhileTheShownPageStays) {
  const Handle shown = Shown();
  Integer width = 4;
  ASSERT_TRUE(console_.DrawHLine(1, 1, width, kWhite, kDarkBlue, kcLineSingleLine, "2"));
  Integer height = 3;
  ASSERT_TRUE(console_.DrawVLine(2, 2, height, kYellow, kDarkRed, kcLineDoubleLine, 15));
  EXPECT_EQ(Shown(), shown);
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(Text(shown, 1, 3), std::vector<std::string>(3, std::string(80, ' ')));
  EXPECT_EQ(Cell(shown, 1, 1).Attributes, 0x07);

  const Handle page2 = PageBuffer(console_, 2);
  EXPECT_EQ(Text(page2, 1, 1)[0], " ────" + std::string(75, ' '));
  EXPECT_EQ(Cell(page2, 4, 1).Attributes, 0x1F);
  const Handle page15 = PageBuffer(console_, 15);
  for (int y = 2; y <= 4; ++y) {
    EXPECT_EQ(Cell(page15, 2, y).Char, 0xBA) << y;
    EXPECT_EQ(Cell(page15, 2, y).Attributes, 0x4E) << y;
  }
  EXPECT_EQ(Cell(page15, 2, 5).Char, ' ');
}

TEST_F(LinesTest, AnUnobtainablePageBufferDrawsNothingWithoutRaisingAtTheOrigin) {
  // Page 5's buffer cannot be created: its window reads as the single cell (0, 0).
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer width = 5;
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, kcLinePlain, 5));
  EXPECT_EQ(width, 1);
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer height = 1;
  ExpectError(ErrorOf([&] { console_.DrawVLine(1, 0, height, kWhite, kDarkBlue, kcLinePlain, 5); }), 30059,
              kVSource, kVDescription);
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
}

class ScrolledLinesTest : public LinesTest {
 protected:
  ScrolledLinesTest() {
    // Page 0's buffer is 100 x 300 with the window at columns 10..89, rows 100..124.
    EXPECT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  }
};

TEST_F(ScrolledLinesTest, CoordinatesAreBufferCoordinatesCheckedAgainstTheWindow) {
  Integer width = 3;
  ExpectError(ErrorOf([&] { console_.DrawHLine(10, 5, width, kWhite, kDarkBlue); }), 30059, kHSource,
              kHDescription);
  ExpectError(ErrorOf([&] { console_.DrawHLine(9, 100, width, kWhite, kDarkBlue); }), 30059, kHSource,
              kHDescription);
  Integer height = 3;
  ExpectError(ErrorOf([&] { console_.DrawVLine(20, 99, height, kWhite, kDarkBlue); }), 30059, kVSource,
              kVDescription);

  ASSERT_TRUE(console_.DrawHLine(10, 100, width, kWhite, kDarkBlue, kcLineSingleLine));
  EXPECT_EQ(Text(Shown(), 0, 1)[0], "───" + std::string(77, ' '));
  EXPECT_EQ(
      Attributes(Shown(), 0, 1)[0], "1F1F1F" + [] {
        std::string r;
        for (int i = 0; i < 77; ++i) r += "07";
        return r;
      }());
  height = 10;
  ASSERT_TRUE(console_.DrawVLine(89, 120, height, kWhite, kDarkBlue));
  EXPECT_EQ(height, 5);
  width = 100;
  ASSERT_TRUE(console_.DrawHLine(80, 124, width, kWhite, kDarkBlue));
  EXPECT_EQ(width, 10);
  EXPECT_EQ(Cell(Shown(), 90, 124).Attributes, 0x07);
}

// --- results and platform traffic ---

TEST_F(LinesTest, WithoutALoadedConsoleTheResultIsFalse) {
  console_.Unload();
  Integer width = 5;
  Integer height = 5;
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, kcLinePlain));
  EXPECT_FALSE(console_.DrawVLine(0, 0, height, kWhite, kDarkBlue, kcLinePlain));
  // Not even the arguments are checked.
  width = 0;
  EXPECT_FALSE(console_.DrawHLine(-5, 0, width, kWhite, kDarkBlue, kcLinePlain, 99));
  Console never_loaded;
  EXPECT_FALSE(never_loaded.DrawVLine(0, 0, height, kWhite, kDarkBlue));
}

TEST_F(LinesTest, ARefusedWriteGivesFalse) {
  Integer width = 5;
  emulated_.FailCall(Op::WriteConsoleOutputA, 1);
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, kcLinePlain));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
}

TEST_F(LinesTest, ARefusedReadOfKeptCharactersWritesNothing) {
  ASSERT_TRUE(console_.WriteText("abcde", kWhite, kBlack, true));
  for (bool horizontal : {true, false}) {
    emulated_.FailCall(Op::ReadConsoleOutputA, 1);
    emulated_.ResetCallCounts();
    Integer length = 5;
    EXPECT_FALSE(horizontal ? console_.DrawHLine(0, 0, length, kYellow, kDarkBlue, kcLineColorOnly)
                            : console_.DrawVLine(0, 0, length, kYellow, kDarkBlue, kcLineColorOnly));
    EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 0);
    EXPECT_EQ(Text(Shown(), 0, 1)[0].substr(0, 5), "abcde");
    EXPECT_EQ(Attributes(Shown(), 0, 1)[0].substr(0, 10), "0F0F0F0F0F");
  }
}

TEST_F(LinesTest, ALineOfAnyLengthIsOneWriteAndAtMostOneRead) {
  for (int style = 0; style <= 9; ++style) {
    for (bool horizontal : {true, false}) {
      emulated_.ResetCallCounts();
      Integer length = horizontal ? 80 : 25;
      ASSERT_TRUE(horizontal ? console_.DrawHLine(0, 0, length, kWhite, kDarkBlue, Style(style))
                             : console_.DrawVLine(0, 0, length, kWhite, kDarkBlue, Style(style)));
      const bool keeps = style == 0 || style == 9;
      EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), keeps ? 1 : 0) << style << horizontal;
      EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 1) << style << horizontal;
      EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputCharacterA), 0);
      EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputAttribute), 0);
    }
  }
}

TEST_F(LinesTest, DrawingLeavesTheCursorAndTheCurrentColours) {
  ASSERT_TRUE(console_.SetCursorPos(7, 8));
  const auto before = emulated_.BufferInfo(Shown());
  Integer width = 80;
  Integer height = 25;
  console_.DrawHLine(0, 8, width, kYellow, kDarkRed, kcLineDoubleLine);
  console_.DrawVLine(7, 0, height, kYellow, kDarkRed, kcLineColorOnly);
  const auto after = emulated_.BufferInfo(Shown());
  EXPECT_EQ(after->dwCursorPosition, before->dwCursorPosition);
  EXPECT_EQ(after->wAttributes, before->wAttributes);
}

}  // namespace
}  // namespace kelvane::testing
