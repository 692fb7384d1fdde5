// DrawHLine and DrawVLine: the characters of each style, clipping written back, lengths below one,
// drawing on another page, and refused platform calls.
#include <gtest/gtest.h>

#include <string>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

class LinesTest : public LoadedTest {
 protected:
  using LoadedTest::LoadedTest;

  // White on dark blue; the result must be true. Gives the length written back.
  Integer H(Integer x, Integer y, Integer width, int style, const Variant& page = Missing) {
    EXPECT_TRUE(console_.DrawHLine(x, y, width, kWhite, kDarkBlue, Style(style), page));
    return width;
  }
  Integer V(Integer x, Integer y, Integer height, int style, const Variant& page = Missing) {
    EXPECT_TRUE(console_.DrawVLine(x, y, height, kWhite, kDarkBlue, Style(style), page));
    return height;
  }
};

// Styles 0..8, then 9 and -1, which behave as colours only.
constexpr int kStyles[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1};

class SmallLinesTest : public LinesTest {
 protected:
  SmallLinesTest() : LinesTest(12, 11) { PaintPattern(Shown()); }
};

TEST_F(SmallLinesTest, RowNDrawnInStyleN) {
  for (int row = 0; row < 11; ++row) EXPECT_EQ(H(2, static_cast<Integer>(row), 8, kStyles[row]), 8) << row;
  ExpectScreen(
      Shown(),
      {"abcdefghijkl", "bc        lm", "cd────────mn", "de════════no", "ef--------op", "fg********pq",
       "gh░░░░░░░░qr", "hi▒▒▒▒▒▒▒▒rs", "ij▓▓▓▓▓▓▓▓st", "jklmnopqrstu", "klmnopqrstuv"},
      Rows(11, "07071F1F1F1F1F1F1F1F0707"));
}

TEST_F(SmallLinesTest, ColumnOnePlusNDrawnInStyleN) {
  for (int i = 0; i < 11; ++i) EXPECT_EQ(V(static_cast<Integer>(1 + i), 1, 5, kStyles[i]), 5) << i;
  const std::string plain = Repeat("07", 12), drawn = "07" + Repeat("1F", 11);
  ExpectScreen(
      Shown(),
      {"abcdefghijkl", "bc │║|*░▒▓lm", "cd │║|*░▒▓mn", "de │║|*░▒▓no", "ef │║|*░▒▓op", "fg │║|*░▒▓pq",
       "ghijklmnopqr", "hijklmnopqrs", "ijklmnopqrst", "jklmnopqrstu", "klmnopqrstuv"},
      {plain, drawn, drawn, drawn, drawn, drawn, plain, plain, plain, plain, plain});
}

TEST_F(SmallLinesTest, AnOmittedStyleRecoloursARowButBlanksAColumn) {
  Integer width = 3, height = 3;
  ASSERT_TRUE(console_.DrawHLine(1, 1, width, kYellow, kDarkRed));
  ASSERT_TRUE(console_.DrawVLine(8, 2, height, kYellow, kDarkRed));
  EXPECT_EQ(Text(Shown(), 1, 5),
            (Rows{"bcdefghijklm", "cdefghij lmn", "defghijk mno", "efghijkl nop", "fghijklmnopq"}));
  const std::string column = "07070707070707074E070707";
  EXPECT_EQ(Attributes(Shown(), 1, 5),
            (Rows{"074E4E4E0707070707070707", column, column, column, Repeat("07", 12)}));
}

// At the window's far edges the length is clipped and written back.
TEST_F(LinesTest, ALengthPastTheFarEdgeIsClippedAndWrittenBack) {
  const Integer cases[][3] = {{75, 10, 5}, {75, 5, 5}, {75, 4, 4}, {79, 2, 1}, {0, 81, 80}, {1, 32767, 79}};
  for (const auto& [x, width, expected] : cases) {
    console_.ClearScreen();
    EXPECT_EQ(H(x, 3, width, 3), expected) << x << "+" << width;
    EXPECT_EQ(Text(Shown(), 3, 1)[0],
              std::string(x, ' ') + Repeat("═", expected) + std::string(80 - x - expected, ' '));
  }
  EXPECT_EQ(V(10, 24, 3, 2), 1);
  EXPECT_EQ(Cell(Shown(), 10, 24).Char, 0xB3);
  EXPECT_EQ(V(11, 20, 32767, 2), 5);
  EXPECT_EQ(Cell(Shown(), 11, 19).Attributes, 0x07);
  for (int y = 20; y <= 24; ++y) EXPECT_EQ(Cell(Shown(), 11, y).Attributes, 0x1F) << y;
  EXPECT_EQ(V(12, 0, 25, 1), 25);
}

TEST_F(LinesTest, ALengthBelowOneRaisesAndIsLeftAsItWas) {
  for (Integer length : {0, -1, -32768}) {
    Integer kept = length;
    ExpectError(ErrorOf([&] { console_.DrawHLine(5, 5, kept, kWhite, kDarkBlue, Style(1)); }), 30059,
                "KelvaneConsole.DrawHLine",
                "Invalid X, Y, Width, or Height parameters for Console DrawHLine function.");
    ExpectError(ErrorOf([&] { console_.DrawVLine(5, 5, kept, kWhite, kDarkBlue, Style(1)); }), 30059,
                "KelvaneConsole.DrawVLine",
                "Invalid X, Y, Width, or Height parameters for Console DrawVLine function.");
    EXPECT_EQ(kept, length);
  }
  EXPECT_EQ(Cell(Shown(), 5, 5).Attributes, 0x07);
}

TEST_F(LinesTest, APageIndexDrawsOnThatPageWhileTheShownPageStays) {
  const Handle shown = Shown();
  EXPECT_EQ(H(1, 1, 4, 2, "2"), 4);
  Integer height = 3;
  ASSERT_TRUE(console_.DrawVLine(2, 2, height, kYellow, kDarkRed, Style(3), 15));
  EXPECT_EQ(Shown(), shown);
  EXPECT_EQ(Text(shown, 1, 3), Rows(3, std::string(80, ' ')));
  EXPECT_EQ(Cell(shown, 1, 1).Attributes, 0x07);
  const Handle page2 = PageBuffer(console_, 2);
  EXPECT_EQ(Text(page2, 1, 1)[0], " ────" + std::string(75, ' '));
  EXPECT_EQ(Cell(page2, 4, 1).Attributes, 0x1F);
  const Handle page15 = PageBuffer(console_, 15);
  EXPECT_EQ(Text(page15, 1, 5),
            (Rows{std::string(80, ' '), "  ║" + std::string(77, ' '), "  ║" + std::string(77, ' '),
                  "  ║" + std::string(77, ' '), std::string(80, ' ')}));
  for (int y = 2; y <= 4; ++y) EXPECT_EQ(Cell(page15, 2, y).Attributes, 0x4E) << y;
}

// Page 5's buffer cannot be created: its window reads as the single cell (0, 0).
TEST_F(LinesTest, AnUnobtainablePageBufferDrawsNothingWithoutRaisingAtTheOrigin) {
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer width = 5;
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, Style(1), 5));
  EXPECT_EQ(width, 1);
  emulated_.FailCall(Op::CreateConsoleScreenBuffer, 1);
  Integer height = 1;
  ExpectError(ErrorOf([&] { console_.DrawVLine(1, 0, height, kWhite, kDarkBlue, Style(1), 6); }), 30059,
              "KelvaneConsole.DrawVLine",
              "Invalid X, Y, Width, or Height parameters for Console DrawVLine function.");
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
}

TEST_F(LinesTest, ARefusedWriteOrReadGivesFalseAndWritesNothing) {
  Integer width = 5;
  emulated_.FailCall(Op::WriteConsoleOutputA, 1);
  EXPECT_FALSE(console_.DrawHLine(0, 0, width, kWhite, kDarkBlue, Style(1)));
  EXPECT_EQ(Cell(Shown(), 0, 0).Attributes, 0x07);
  // Without the kept characters, writing would put NULs over the text: nothing is written.
  ASSERT_TRUE(console_.WriteText("abcde", kWhite, kBlack, true));
  for (bool horizontal : {true, false}) {
    emulated_.FailCall(Op::ReadConsoleOutputA, 1);
    Integer length = 5;
    EXPECT_FALSE(horizontal ? console_.DrawHLine(0, 0, length, kYellow, kDarkBlue, Style(0))
                            : console_.DrawVLine(0, 0, length, kYellow, kDarkBlue, Style(0)));
    EXPECT_EQ(Text(Shown(), 0, 1)[0].substr(0, 5), "abcde");
    EXPECT_EQ(Attributes(Shown(), 0, 2), (Rows{"0F0F0F0F0F" + Repeat("07", 75), Repeat("07", 80)}));
  }
}

}  // namespace
}  // namespace kelvane::testing
