// DrawHLine and DrawVLine: characters of each style, clipping written back, errors and page choice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing/drawing_fixture.hpp"

namespace kelvane::testing {
namespace {

constexpr const char* kHSource = "KelvaneConsole.DrawHLine";
constexpr const char* kVSource = "KelvaneConsole.DrawVLine";
constexpr const char* kHDescription =
    "Invalid X, Y, Width, or Height parameters for Console DrawHLine function.";
constexpr const char* kVDescription =
    "Invalid X, Y, Width, or Height parameters for Console DrawVLine function.";

// Styles 0..8, then 9 and -1, which behave as colours only.
constexpr int kStyles[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1};

class LinesTest : public DrawingTest {
 protected:
  using DrawingTest::DrawingTest;

  // White on dark blue; the result must be true. Give the length written back.
  Integer H(Integer x, Integer y, Integer width, int style, const Variant& page = Missing) {
    EXPECT_TRUE(console_.DrawHLine(x, y, width, kWhite, kDarkBlue, Style(style), page));
    return width;
  }
  Integer V(Integer x, Integer y, Integer height, int style, const Variant& page = Missing) {
    EXPECT_TRUE(console_.DrawVLine(x, y, height, kWhite, kDarkBlue, Style(style), page));
    return height;
  }
  // Both lines with the same arguments must raise the same error, each under its own name.
  void ExpectBothRaise(Integer x, Integer y, Integer length, const Variant& page, Long number) {
    for (bool horizontal : {true, false}) {
      Integer kept = length;
      const auto error = ErrorOf([&] {
        horizontal ? console_.DrawHLine(x, y, kept, kWhite, kDarkBlue, Style(0), page)
                   : console_.DrawVLine(x, y, kept, kWhite, kDarkBlue, Style(0), page);
      });
      const char* description = number == 30053 ? "Invalid page specified."
                                : horizontal    ? kHDescription
                                                : kVDescription;
      ExpectError(error, number, horizontal ? kHSource : kVSource, description);
      EXPECT_EQ(kept, length);
    }
  }
};

// --- what each style draws ---

class HorizontalLineStylesTest : public LinesTest {
 protected:
  HorizontalLineStylesTest() : LinesTest(12, 11) { PaintPattern(Shown()); }
};

TEST_F(HorizontalLineStylesTest, RowNDrawnInStyleN) {
  for (int row = 0; row < 11; ++row) EXPECT_EQ(H(2, static_cast<Integer>(row), 8, kStyles[row]), 8) << row;
  ExpectScreen(
      Shown(),
      {"abcdefghijkl", "bc        lm", "cd────────mn", "de════════no", "ef--------op", "fg********pq",
       "gh░░░░░░░░qr", "hi▒▒▒▒▒▒▒▒rs", "ij▓▓▓▓▓▓▓▓st", "jklmnopqrstu", "klmnopqrstuv"},
      std::vector<std::string>(11, "07071F1F1F1F1F1F1F1F0707"));
}

class VerticalLineStylesTest : public LinesTest {
 protected:
  VerticalLineStylesTest() : LinesTest(12, 7) { PaintPattern(Shown()); }
};

TEST_F(VerticalLineStylesTest, ColumnOnePlusNDrawnInStyleN) {
  for (int i = 0; i < 11; ++i) EXPECT_EQ(V(static_cast<Integer>(1 + i), 1, 5, kStyles[i]), 5) << i;
  const std::string plain = "070707070707070707070707";
  const std::string drawn = "071F1F1F1F1F1F1F1F1F1F1F";
  ExpectScreen(Shown(),
               {"abcdefghijkl", "bc │║|*░▒▓lm", "cd │║|*░▒▓mn", "de │║|*░▒▓no", "ef │║|*░▒▓op",
                "fg │║|*░▒▓pq", "ghijklmnopqr"},
               {plain, drawn, drawn, drawn, drawn, drawn, plain});
}

TEST_F(VerticalLineStylesTest, AnOmittedStyleRecoloursARowButBlanksAColumn) {
  Integer width = 3;
  Integer height = 3;
  ASSERT_TRUE(console_.DrawHLine(1, 1, width, kYellow, kDarkRed));
  ASSERT_TRUE(console_.DrawVLine(8, 2, height, kYellow, kDarkRed));
  const std::string column = "07070707070707074E070707";
  ExpectScreen(Shown(),
               {"abcdefghijkl", "bcdefghijklm", "cdefghij lmn", "defghijk mno", "efghijkl nop",
                "fghijklmnopq", "ghijklmnopqr"},
               {"070707070707070707070707", "074E4E4E0707070707070707", column, column, column,
                "070707070707070707070707", "070707070707070707070707"});
}

// --- clipping at the window's far edges, written back ---

TEST_F(LinesTest, ALengthPastTheFarEdgeIsClippedAndWrittenBack) {
  struct Case {
    Integer x, width, expected;
  };
  const Case cases[] = {{75, 10, 5}, {75, 5, 5},  {75, 4, 4},     {79, 1, 1},    {79, 2, 1},
                        {0, 80, 80}, {0, 81, 80}, {75, 32767, 5}, {1, 32767, 79}};
  for (const auto& c : cases) {
    console_.ClearScreen();
    EXPECT_EQ(H(c.x, 3, c.width, 3), c.expected) << c.x << "+" << c.width;
    std::string row;
    for (int x = 0; x < 80; ++x) row += (x >= c.x && x < c.x + c.expected) ? "═" : " ";
    EXPECT_EQ(Text(Shown(), 3, 1)[0], row) << c.x << "+" << c.width;
  }
  EXPECT_EQ(V(10, 24, 3, 2), 1);
  EXPECT_EQ(Cell(Shown(), 10, 24).Char, 0xB3);
  EXPECT_EQ(V(11, 20, 32767, 2), 5);
  EXPECT_EQ(Cell(Shown(), 11, 19).Attributes, 0x07);
  for (int y = 20; y <= 24; ++y) EXPECT_EQ(Cell(Shown(), 11, y).Attributes, 0x1F) << y;
  EXPECT_EQ(V(12, 0, 25, 1), 25);
}

// --- errors ---

TEST_F(LinesTest, AStartOutsideTheWindowOrALengthBelowOneRaisesAndLeavesTheLength) {
  struct Case {
    Integer x, y, length;
  };
  const Case cases[] = {{-1, 0, 5}, {80, 0, 1}, {0, -1, 5},     {0, 25, 1},
                        {0, 0, 0},  {5, 5, -1}, {5, 5, -32768}, {-32768, 0, 1}};
  emulated_.ResetCallCounts();
  for (const auto& c : cases) ExpectBothRaise(c.x, c.y, c.length, Missing, 30059);
  // Pages outside 0..19 raise 30053.
  for (const Variant& page : {Variant("abc"), Variant(-1), Variant(20), Variant(32768)}) {
    ExpectBothRaise(0, 0, 5, page, 30053);
  }
  // Nothing was read, drawn or created.
  EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), 0);
  EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 0);
  EXPECT_EQ(emulated_.CallCount(Op::CreateConsoleScreenBuffer), 0);
}

// Page 0's buffer is 100 x 300 with the window at columns 10..89, rows 100..124: a line stops at the
// window's edge, not the buffer's.
TEST_F(LinesTest, CoordinatesAreBufferCoordinatesCheckedAgainstTheWindow) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  ExpectBothRaise(10, 5, 3, Missing, 30059);
  ExpectBothRaise(9, 100, 3, Missing, 30059);
  ExpectBothRaise(20, 99, 3, Missing, 30059);
  ExpectBothRaise(90, 100, 1, Missing, 30059);
  EXPECT_EQ(H(10, 100, 3, 2), 3);
  EXPECT_EQ(Text(Shown(), 0, 1)[0], "───" + std::string(77, ' '));
  std::string plain;
  for (int i = 0; i < 77; ++i) plain += "07";
  EXPECT_EQ(Attributes(Shown(), 0, 1)[0], "1F1F1F" + plain);
  EXPECT_EQ(V(89, 120, 10, 0), 5);
  EXPECT_EQ(H(80, 124, 100, 0), 10);
  EXPECT_EQ(Cell(Shown(), 89, 124).Attributes, 0x1F);
  EXPECT_EQ(Cell(Shown(), 90, 124).Attributes, 0x07);
}

// --- pages ---

TEST_F(LinesTest, APageIndexDrawsOnThatPageWhileTheShownPageStays) {
  const Handle shown = Shown();
  EXPECT_EQ(H(1, 1, 4, 2, "2"), 4);
  Integer height = 3;
  ASSERT_TRUE(console_.DrawVLine(2, 2, height, kYellow, kDarkRed, Style(3), 15));
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

// Page 5's buffer cannot be created: its window reads as the single cell (0, 0).
TEST_F(LinesTest, AnUnobtainablePageBufferDrawsNothingWithoutRaisingAtTheOrigin) {
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer width = 5;
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, Style(1), 5));
  EXPECT_EQ(width, 1);
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer height = 1;
  ExpectError(ErrorOf([&] { console_.DrawVLine(1, 0, height, kWhite, kDarkBlue, Style(1), 5); }), 30059,
              kVSource, kVDescription);
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
}

// --- results and platform traffic ---

TEST_F(LinesTest, WithoutALoadedConsoleTheResultIsFalseAndNothingIsChecked) {
  console_.Unload();
  Integer width = 5;
  Integer height = 5;
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, Style(1)));
  EXPECT_FALSE(console_.DrawVLine(0, 0, height, kWhite, kDarkBlue, Style(1)));
  width = 0;
  EXPECT_FALSE(console_.DrawHLine(-5, 0, width, kWhite, kDarkBlue, Style(1), 99));
}

TEST_F(LinesTest, ARefusedWriteOrReadGivesFalse) {
  Integer width = 5;
  emulated_.FailCall(Op::WriteConsoleOutputA, 1);
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, Style(1)));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
  // Without the kept characters, writing would put NULs over the text: nothing is written.
  ASSERT_TRUE(console_.WriteText("abcde", kWhite, kBlack, true));
  for (bool horizontal : {true, false}) {
    emulated_.FailCall(Op::ReadConsoleOutputA, 1);
    emulated_.ResetCallCounts();
    Integer length = 5;
    EXPECT_FALSE(horizontal ? console_.DrawHLine(0, 0, length, kYellow, kDarkBlue, Style(0))
                            : console_.DrawVLine(0, 0, length, kYellow, kDarkBlue, Style(0)));
    EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 0);
    EXPECT_EQ(Text(Shown(), 0, 1)[0].substr(0, 5), "abcde");
    EXPECT_EQ(Attributes(Shown(), 0, 1)[0].substr(0, 10), "0F0F0F0F0F");
  }
}

TEST_F(LinesTest, ALineOfAnyLengthIsOneWriteAndAtMostOneReadAndKeepsCursorAndColours) {
  ASSERT_TRUE(console_.SetCursorPos(7, 8));
  const auto before = emulated_.BufferInfo(Shown());
  for (int style = 0; style <= 9; ++style) {
    for (bool horizontal : {true, false}) {
      emulated_.ResetCallCounts();
      EXPECT_EQ(horizontal ? H(0, 8, 80, style) : V(7, 0, 25, style), horizontal ? 80 : 25);
      const bool keeps = style == 0 || style == 9;
      EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), keeps ? 1 : 0) << style << horizontal;
      EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), 1) << style << horizontal;
      EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputCharacterA), 0);
      EXPECT_EQ(emulated_.CallCount(Op::FillConsoleOutputAttribute), 0);
    }
  }
  EXPECT_EQ(emulated_.BufferInfo(Shown())->dwCursorPosition, before->dwCursorPosition);
  EXPECT_EQ(emulated_.BufferInfo(Shown())->wAttributes, before->wAttributes);
}

}  // namespace
}  // namespace kelvane::testing
