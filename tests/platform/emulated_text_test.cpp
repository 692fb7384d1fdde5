// Text output through WriteConsoleA, the cursor, text attributes, modes and titles of the emulated
// console, checked cell by cell against the real console's recorded behaviour.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/emulated/emulated_console.hpp"
#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace std::string_view_literals;
using testing::EmulatedConsoleTest;

class EmulatedTextWrite : public EmulatedConsoleTest {};
class EmulatedTextProcessed : public EmulatedConsoleTest {};
class EmulatedTextUnprocessed : public EmulatedConsoleTest {};
class EmulatedTextWrap : public EmulatedConsoleTest {};
class EmulatedTextNoWrap : public EmulatedConsoleTest {};
class EmulatedTextWindow : public EmulatedConsoleTest {};
class EmulatedTextCursorPosition : public EmulatedConsoleTest {};
class EmulatedTextCursorInfo : public EmulatedConsoleTest {};
class EmulatedTextAttribute : public EmulatedConsoleTest {};
class EmulatedTextMode : public EmulatedConsoleTest {};
class EmulatedTextTitle : public EmulatedConsoleTest {};

// --- WriteConsoleA in general ---

TEST_F(EmulatedTextWrite, WR1_ReportsTheByteCount) {
  Dword written = 0;
  ASSERT_NE(console_.WriteConsoleA(out_, "hello", 5, &written), 0);
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(Chars(0, 0, 5), "hello");
  EXPECT_EQ(Cursor(), (Coord{5, 0}));
  // The count is optional.
  EXPECT_NE(console_.WriteConsoleA(out_, "!", 1, nullptr), 0);
  EXPECT_EQ(Chars(5, 0, 1), "!");
}

TEST_F(EmulatedTextWrite, WR1_EmptyWriteChangesNothing) {
  MoveCursor(3, 2);
  auto before = console_.ReadCells(out_);
  Dword written = 77;
  EXPECT_NE(console_.WriteConsoleA(out_, "x", 0, &written), 0);
  EXPECT_EQ(written, 0u);
  EXPECT_NE(console_.WriteConsoleA(out_, nullptr, 0, &written), 0);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(console_.ReadCells(out_), before);
  EXPECT_EQ(Cursor(), (Coord{3, 2}));
}

TEST_F(EmulatedTextWrite, NullTextWithALengthFailsWithoutWriting) {
  auto before = console_.ReadCells(out_);
  Dword written = 0;
  EXPECT_EQ(console_.WriteConsoleA(out_, nullptr, 10, &written), 0);
  EXPECT_EQ(console_.ReadCells(out_), before);
  EXPECT_EQ(Cursor(), (Coord{0, 0}));
}

TEST_F(EmulatedTextWrite, WR2_PrintedCellsTakeTheCurrentAttribute) {
  SetAttribute(0x1E);
  Write("ab");
  SetAttribute(0x4F);
  Write("c");
  EXPECT_EQ(Cell(0, 0), (CharInfo{'a', 0x1E}));
  EXPECT_EQ(Cell(1, 0), (CharInfo{'b', 0x1E}));
  EXPECT_EQ(Cell(2, 0), (CharInfo{'c', 0x4F}));
  EXPECT_EQ(Cell(3, 0), (CharInfo{' ', 0x07}));
}

TEST_F(EmulatedTextWrite, WR3_RefusesInputAndUnknownHandles) {
  Dword written = 0;
  EXPECT_EQ(console_.WriteConsoleA(in_, "x", 1, &written), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.WriteConsoleA(0, "x", 1, &written), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.WriteConsoleA(kInvalidHandle, "x", 1, &written), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.WriteConsoleA(out_ + 1000, "x", 1, &written), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(Cell(0, 0), (CharInfo{' ', 0x07}));
}

TEST_F(EmulatedTextWrite, WritesToAnInactiveBufferWithItsOwnState) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  ASSERT_NE(console_.SetConsoleTextAttribute(other, 0x5A), 0);
  ASSERT_NE(console_.SetConsoleCursorPosition(other, Coord{4, 1}), 0);
  Write(other, "zz");
  EXPECT_EQ(Cell(4, 1, other), (CharInfo{'z', 0x5A}));
  EXPECT_EQ(Cursor(other), (Coord{6, 1}));
  EXPECT_EQ(Cell(4, 1), (CharInfo{' ', 0x07}));
  EXPECT_EQ(Cursor(), (Coord{0, 0}));
}

TEST_F(EmulatedTextWrite, AccessRightsOfTheHandle) {
  Handle read_only = console_.CreateConsoleScreenBuffer(kGenericRead, 0, kConsoleTextmodeBuffer);
  Handle write_only = console_.CreateConsoleScreenBuffer(kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(read_only, kInvalidHandle);
  ASSERT_NE(write_only, kInvalidHandle);
  Dword written = 0;
  CursorInfo cursor{50, 1};
  Dword mode = 0;
  EXPECT_EQ(console_.WriteConsoleA(read_only, "x", 1, &written), 0);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_EQ(console_.SetConsoleTextAttribute(read_only, 0x1F), 0);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_EQ(console_.SetConsoleCursorPosition(read_only, Coord{1, 1}), 0);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_EQ(console_.SetConsoleCursorInfo(read_only, &cursor), 0);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_EQ(console_.GetConsoleCursorInfo(read_only, &cursor), 0);  // write access, as conhost asks
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_EQ(console_.SetConsoleMode(read_only, 1), 0);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_NE(console_.GetConsoleMode(read_only, &mode), 0);
  EXPECT_EQ(Cell(0, 0, read_only), (CharInfo{' ', 0x07}));
  EXPECT_EQ(Cursor(read_only), (Coord{0, 0}));

  EXPECT_NE(console_.WriteConsoleA(write_only, "x", 1, &written), 0);
  EXPECT_NE(console_.GetConsoleCursorInfo(write_only, &cursor), 0);
  EXPECT_NE(console_.SetConsoleMode(write_only, 1), 0);
  EXPECT_EQ(console_.GetConsoleMode(write_only, &mode), 0);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
}

// --- processed output ---

TEST_F(EmulatedTextProcessed, WR4_BellLeavesNoCell) {
  Write("a\ab");
  EXPECT_EQ(Chars(0, 0, 3), "ab ");
  EXPECT_EQ(Cursor(), (Coord{2, 0}));
  auto before = console_.ReadCells(out_);
  Write("\a");  // S-5
  EXPECT_EQ(console_.ReadCells(out_), before);
  EXPECT_EQ(Cursor(), (Coord{2, 0}));
}

TEST_F(EmulatedTextProcessed, WR5_BackspaceMovesLeftWithoutErasing) {
  Write("ab\bc");  // S-5
  EXPECT_EQ(Chars(0, 0, 3), "ac ");
  EXPECT_EQ(Cursor(), (Coord{2, 0}));
  Write("\b\b");
  EXPECT_EQ(Chars(0, 0, 2), "ac");
  EXPECT_EQ(Cursor(), (Coord{0, 0}));
}

TEST_F(EmulatedTextProcessed, WR5_BackspaceAtColumnZeroStays) {
  MoveCursor(0, 1);
  Write("\b");  // S-5
  EXPECT_EQ(Cursor(), (Coord{0, 1}));
  Write("\b\bx");
  EXPECT_EQ(Cell(0, 1).Char, 'x');
  EXPECT_EQ(Cell(79, 0).Char, ' ');
}

TEST_F(EmulatedTextProcessed, WR6_TabWritesSpacesToTheNextStopOfEight) {
  SetAttribute(0x07);
  Write("xxxxxxxxxxxx");
  MoveCursor(0, 0);
  SetAttribute(0x1F);
  Write("f\tg");
  EXPECT_EQ(Cell(0, 0), (CharInfo{'f', 0x1F}));
  for (Short x = 1; x < 8; ++x) EXPECT_EQ(Cell(x, 0), (CharInfo{' ', 0x1F})) << x;
  EXPECT_EQ(Cell(8, 0), (CharInfo{'g', 0x1F}));
  EXPECT_EQ(Cell(9, 0), (CharInfo{'x', 0x07}));
  EXPECT_EQ(Cursor(), (Coord{9, 0}));
}

TEST_F(EmulatedTextProcessed, WR6_TabStopsAndTheRightEdge) {
  UseBuffer(10, 3);
  Write("0123456789");  // fills row 0, cursor to (0,1)
  MoveCursor(5, 0);
  Write("\t");  // S-4
  EXPECT_EQ(Chars(0, 0, 10), "01234   89");
  EXPECT_EQ(Cursor(), (Coord{8, 0}));
  Write("\t");
  EXPECT_EQ(Chars(0, 0, 10), "01234     ");
  EXPECT_EQ(Cursor(), (Coord{0, 1}));
  MoveCursor(8, 1);
  Write("\t\t");
  EXPECT_EQ(Cursor(), (Coord{8, 2}));
}

TEST_F(EmulatedTextProcessed, WR7_LineFeedReturnsToColumnZero) {
  MoveCursor(3, 0);
  Write("x\ny");  // S-6
  EXPECT_EQ(Cell(3, 0).Char, 'x');
  EXPECT_EQ(Cell(0, 1).Char, 'y');
  EXPECT_EQ(Cursor(), (Coord{1, 1}));
}

TEST_F(EmulatedTextProcessed, WR7_LineFeedKeepsTheColumnWithoutAutoReturn) {
  SetMode(kEnableProcessedOutput | kEnableWrapAtEolOutput | kDisableNewlineAutoReturn);
  MoveCursor(3, 0);
  Write("x\ny");
  EXPECT_EQ(Cell(3, 0).Char, 'x');
  EXPECT_EQ(Cell(4, 1).Char, 'y');
  EXPECT_EQ(Cursor(), (Coord{5, 1}));
}

TEST_F(EmulatedTextProcessed, WR8_CarriageReturnGoesToColumnZero) {
  Write("abc\rX");
  EXPECT_EQ(Chars(0, 0, 3), "Xbc");
  EXPECT_EQ(Cursor(), (Coord{1, 0}));
}

TEST_F(EmulatedTextProcessed, WR9_NulIsWrittenAsASpace) {
  Write("0123456789abcdefghij");
  MoveCursor(2, 0);
  SetAttribute(0x2E);
  Write(std::string(16, '\0'));
  EXPECT_EQ(Chars(0, 0, 20), "01                ij");
  EXPECT_EQ(Cell(2, 0), (CharInfo{' ', 0x2E}));
  EXPECT_EQ(Cursor(), (Coord{18, 0}));
}

TEST_F(EmulatedTextProcessed, WR10_OtherControlBytesAreStoredAsCells) {
  Write("\x01\x0c\x1b\x7f\x1f\x0e"sv);
  EXPECT_EQ(Chars(0, 0, 6), "\x01\x0c\x1b\x7f\x1f\x0e"sv);
  EXPECT_EQ(Cursor(), (Coord{6, 0}));
}

// --- unprocessed output ---

TEST_F(EmulatedTextUnprocessed, WR11_EveryByteTakesACell) {
  SetMode(kEnableWrapAtEolOutput);
  Write("a\nb");  // S-7
  EXPECT_EQ(Cursor(), (Coord{3, 0}));
  CharInfo cells[3]{};
  SmallRect region{0, 0, 2, 0};
  ASSERT_NE(console_.ReadConsoleOutputA(out_, cells, Coord{3, 1}, Coord{0, 0}, &region), 0);
  EXPECT_EQ(cells[0].Char, 'a');
  EXPECT_EQ(cells[1].Char, '\n');
  EXPECT_EQ(cells[2].Char, 'b');
}

TEST_F(EmulatedTextUnprocessed, WR11_ControlCharactersAreNotInterpreted) {
  SetMode(kEnableWrapAtEolOutput);
  MoveCursor(5, 0);
  Write("abcd\nf\tg\a\b\r"sv);
  EXPECT_EQ(Chars(5, 0, 12), "abcd\nf\tg\a\b\r "sv);
  EXPECT_EQ(Cursor(), (Coord{16, 0}));
  SetMode(0);
  Write(std::string_view("\0", 1));
  EXPECT_EQ(Cell(16, 0).Char, 0);
}

// --- the right edge with wrap on ---

TEST_F(EmulatedTextWrap, WR12_LastColumnMovesTheCursorAtOnce) {
  UseBuffer(10, 3);
  MoveCursor(7, 0);
  Write("abc");
  EXPECT_EQ(Chars(7, 0, 3), "abc");
  EXPECT_EQ(Cursor(), (Coord{0, 1}));
  MoveCursor(7, 1);
  Write("abcd");
  EXPECT_EQ(Chars(7, 1, 3), "abc");
  EXPECT_EQ(Cell(0, 2).Char, 'd');
  EXPECT_EQ(Cursor(), (Coord{1, 2}));
}

TEST_F(EmulatedTextWrap, WR12_BottomRightCellScrollsAtOnce) {
  UseBuffer(10, 3);
  Write("0123456789ABCDEFGHIJ");
  MoveCursor(9, 2);
  Write("z");
  EXPECT_EQ(Row(0), "ABCDEFGHIJ");
  EXPECT_EQ(Row(1), "         z");
  EXPECT_EQ(Row(2), "          ");
  EXPECT_EQ(Cursor(), (Coord{0, 2}));
}

TEST_F(EmulatedTextWrap, WR14_ScrollFillsTheNewRowWithTheCurrentAttribute) {
  // S-2
  UseBuffer(10, 3);
  Write("0123456789ABCDEFGHIJklmnopq");
  MoveCursor(7, 2);
  SetAttribute(0x2A);
  Dword written = 0;
  ASSERT_NE(console_.WriteConsoleA(out_, "abc", 3, &written), 0);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(Row(0), "ABCDEFGHIJ");
  EXPECT_EQ(Row(1), "klmnopqabc");
  for (Short x = 7; x < 10; ++x) EXPECT_EQ(Cell(x, 1).Attributes, 0x2A);
  EXPECT_EQ(Cell(0, 1).Attributes, 0x07);
  for (Short x = 0; x < 10; ++x) EXPECT_EQ(Cell(x, 2), (CharInfo{' ', 0x2A})) << x;
  EXPECT_EQ(Cursor(), (Coord{0, 2}));
}

TEST_F(EmulatedTextWrap, WR14_LineFeedAtTheBottomScrolls) {
  UseBuffer(10, 3);
  Write("top\nmid\nbot");
  SetAttribute(0x30);
  Write("\n\n");
  EXPECT_EQ(Row(0), "bot       ");
  EXPECT_EQ(Cell(0, 1), (CharInfo{' ', 0x30}));
  EXPECT_EQ(Cell(0, 2), (CharInfo{' ', 0x30}));
  EXPECT_EQ(Cursor(), (Coord{0, 2}));
}

TEST_F(EmulatedTextWrap, LongTextWrapsAndScrollsRowByRow) {
  UseBuffer(4, 2);
  Write("abcdefghijk");
  EXPECT_EQ(Row(0), "efgh");
  EXPECT_EQ(Row(1), "ijk ");
  EXPECT_EQ(Cursor(), (Coord{3, 1}));
}

// --- the right edge with wrap off ---

TEST_F(EmulatedTextNoWrap, WR13_OverflowReturnsToTheRunsStart) {
  // S-3
  UseBuffer(10, 3);
  SetMode(kEnableProcessedOutput);
  MoveCursor(7, 0);
  Write("abcd");
  EXPECT_EQ(Chars(7, 0, 3), "dbc");
  EXPECT_EQ(Cursor(), (Coord{8, 0}));
  EXPECT_EQ(Row(1), "          ");
  MoveCursor(7, 1);
  Write("abc");
  EXPECT_EQ(Chars(7, 1, 3), "abc");
  EXPECT_EQ(Cursor(), (Coord{7, 1}));
}

TEST_F(EmulatedTextNoWrap, WR13_LongRunKeepsCyclingAtTheEdge) {
  UseBuffer(30, 2);
  SetMode(kEnableProcessedOutput);
  MoveCursor(28, 0);
  Write("xyz1234");
  EXPECT_EQ(Chars(28, 0, 2), "43");
  EXPECT_EQ(Cursor(), (Coord{29, 0}));
  MoveCursor(28, 1);
  Write("xyz123");
  EXPECT_EQ(Chars(28, 1, 2), "23");
  EXPECT_EQ(Cursor(), (Coord{28, 1}));
}

TEST_F(EmulatedTextNoWrap, WR13_ControlCharactersStartNewRuns) {
  UseBuffer(10, 2);
  SetMode(kEnableProcessedOutput);
  MoveCursor(5, 0);
  Write("ab\rcdefghijklmn");  // the run after CR starts at column 0
  EXPECT_EQ(Row(0), "mnefghijkl");
  EXPECT_EQ(Cursor(), (Coord{2, 0}));
  // A tab that reaches the edge is a run of its own.
  MoveCursor(6, 1);
  Write("ab\tc");
  EXPECT_EQ(Chars(6, 1, 4), "abc ");
  EXPECT_EQ(Cursor(), (Coord{9, 1}));
}

TEST_F(EmulatedTextNoWrap, WR13_NulAndControlGlyphsAreRunsOfTheirOwn) {
  UseBuffer(10, 2);
  SetMode(kEnableProcessedOutput);
  MoveCursor(7, 0);
  Write("ab\0c"sv);
  EXPECT_EQ(Chars(7, 0, 3), "abc");
  EXPECT_EQ(Cursor(), (Coord{9, 0}));
  MoveCursor(8, 1);
  Write(
      "a\x01"
      "b"sv);
  EXPECT_EQ(Chars(8, 1, 2), "ab");
  EXPECT_EQ(Cursor(), (Coord{9, 1}));
}

TEST_F(EmulatedTextNoWrap, WR13_UnprocessedCallIsOneRun) {
  UseBuffer(10, 2);
  SetMode(0);
  MoveCursor(7, 0);
  Write("ab\ncd"sv);
  EXPECT_EQ(Chars(7, 0, 3), "cd\n"sv);
  EXPECT_EQ(Cursor(), (Coord{9, 0}));
  EXPECT_EQ(Row(1), "          ");
}

TEST_F(EmulatedTextNoWrap, NeverScrolls) {
  UseBuffer(10, 2);
  SetMode(kEnableProcessedOutput);
  MoveCursor(0, 1);
  Write("0123456789abc");
  EXPECT_EQ(Row(0), "          ");
  EXPECT_EQ(Row(1), "abc3456789");
  EXPECT_EQ(Cursor(), (Coord{3, 1}));
}

// --- the window following the cursor ---

TEST_F(EmulatedTextWindow, WR15_WindowFollowsACursorThatWasInView) {
  UseBuffer(Coord{10, 50}, SmallRect{0, 0, 9, 4});
  MoveCursor(0, 4);
  Write("\n");
  EXPECT_EQ(Cursor(), (Coord{0, 5}));
  EXPECT_EQ(Window(), (SmallRect{0, 1, 9, 5}));
  Write("\n\n\nabc");
  EXPECT_EQ(Window(), (SmallRect{0, 4, 9, 8}));
}

TEST_F(EmulatedTextWindow, WR15_WindowFollowsHorizontally) {
  UseBuffer(Coord{20, 5}, SmallRect{0, 0, 9, 4});
  MoveCursor(9, 0);
  Write("a");
  EXPECT_EQ(Cursor(), (Coord{10, 0}));
  EXPECT_EQ(Window(), (SmallRect{1, 0, 10, 4}));
  Write("\n");
  EXPECT_EQ(Window(), (SmallRect{0, 0, 9, 4}));
}

TEST_F(EmulatedTextWindow, WR15_WindowStaysWhenTheCursorWasOutOfView) {
  UseBuffer(Coord{10, 50}, SmallRect{0, 0, 9, 4});
  MoveCursor(0, 40);
  UseBuffer(Coord{10, 50}, SmallRect{0, 0, 9, 4});  // the window back at the top
  Write("x\n");
  EXPECT_EQ(Cursor(), (Coord{0, 41}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 9, 4}));
}

TEST_F(EmulatedTextWindow, WR15_WindowStaysWhenTheCursorIsHidden) {
  UseBuffer(Coord{10, 50}, SmallRect{0, 0, 9, 4});
  CursorInfo hidden{25, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &hidden), 0);
  MoveCursor(0, 4);
  Write("\n");
  EXPECT_EQ(Cursor(), (Coord{0, 5}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 9, 4}));
}

TEST_F(EmulatedTextWindow, ScrollAtTheBufferBottomKeepsTheWindow) {
  UseBuffer(Coord{10, 20}, SmallRect{0, 15, 9, 19});
  MoveCursor(0, 19);
  Write("last\n");
  EXPECT_EQ(Cursor(), (Coord{0, 19}));
  EXPECT_EQ(Window(), (SmallRect{0, 15, 9, 19}));
  EXPECT_EQ(Chars(0, 18, 4), "last");
}

// --- SetConsoleCursorPosition ---

TEST_F(EmulatedTextCursorPosition, CP1_WholeBufferIsValid) {
  UseBuffer(Coord{80, 300}, SmallRect{0, 0, 79, 24});
  EXPECT_NE(console_.SetConsoleCursorPosition(out_, Coord{79, 299}), 0);
  EXPECT_EQ(Cursor(), (Coord{79, 299}));
  EXPECT_NE(console_.SetConsoleCursorPosition(out_, Coord{0, 0}), 0);
  EXPECT_EQ(Cursor(), (Coord{0, 0}));
}

TEST_F(EmulatedTextCursorPosition, CP1_OutsideTheBufferIsRefused) {
  UseBuffer(Coord{80, 300}, SmallRect{0, 0, 79, 24});
  MoveCursor(5, 6);
  for (Coord bad : {Coord{80, 0}, Coord{0, 300}, Coord{-1, 0}, Coord{0, -1}, Coord{-32768, 32767}}) {
    EXPECT_EQ(console_.SetConsoleCursorPosition(out_, bad), 0);
    EXPECT_EQ(LastError(), kErrorInvalidParameter);
  }
  EXPECT_EQ(Cursor(), (Coord{5, 6}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 79, 24}));
}

TEST_F(EmulatedTextCursorPosition, CP1_RefusesBadHandles) {
  EXPECT_EQ(console_.SetConsoleCursorPosition(0, Coord{1, 1}), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.SetConsoleCursorPosition(in_, Coord{1, 1}), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
}

TEST_F(EmulatedTextCursorPosition, CP2_WindowMovesMinimally) {
  // S-10
  UseBuffer(Coord{80, 300}, SmallRect{0, 0, 79, 24});
  MoveCursor(0, 100);
  EXPECT_EQ(Window(), (SmallRect{0, 76, 79, 100}));
  MoveCursor(0, 10);
  EXPECT_EQ(Window(), (SmallRect{0, 10, 79, 34}));
  MoveCursor(5, 20);  // already in view
  EXPECT_EQ(Window(), (SmallRect{0, 10, 79, 34}));
  EXPECT_EQ(console_.SetConsoleCursorPosition(out_, Coord{80, 0}), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
}

TEST_F(EmulatedTextCursorPosition, CP2_WindowMovesOnBothAxes) {
  UseBuffer(Coord{100, 30}, SmallRect{0, 0, 39, 9});
  MoveCursor(50, 15);
  EXPECT_EQ(Window(), (SmallRect{11, 6, 50, 15}));
  MoveCursor(99, 29);
  EXPECT_EQ(Window(), (SmallRect{60, 20, 99, 29}));
  MoveCursor(0, 0);
  EXPECT_EQ(Window(), (SmallRect{0, 0, 39, 9}));
}

TEST_F(EmulatedTextCursorPosition, CP3_EachBufferHasItsOwnCursor) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  MoveCursor(7, 7);
  ASSERT_NE(console_.SetConsoleCursorPosition(other, Coord{2, 3}), 0);
  EXPECT_EQ(Cursor(other), (Coord{2, 3}));
  EXPECT_EQ(Cursor(), (Coord{7, 7}));
}

// --- cursor shape and visibility ---

TEST_F(EmulatedTextCursorInfo, CI1_DefaultsAndBadHandles) {
  CursorInfo info{};
  ASSERT_NE(console_.GetConsoleCursorInfo(out_, &info), 0);
  EXPECT_EQ(info.dwSize, 25u);
  EXPECT_EQ(info.bVisible, 1);
  CursorInfo untouched{42, 7};
  EXPECT_EQ(console_.GetConsoleCursorInfo(in_, &untouched), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.GetConsoleCursorInfo(0, &untouched), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(untouched.dwSize, 42u);
  EXPECT_EQ(untouched.bVisible, 7);
  EXPECT_EQ(console_.GetConsoleCursorInfo(out_, nullptr), 0);
  CursorInfo some{50, 1};
  EXPECT_EQ(console_.SetConsoleCursorInfo(in_, &some), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.SetConsoleCursorInfo(out_, nullptr), 0);
}

TEST_F(EmulatedTextCursorInfo, CI2_SizeOutOfRangeIsRefusedAndChangesNothing) {
  // S-11
  CursorInfo zero{0, 1};
  EXPECT_EQ(console_.SetConsoleCursorInfo(out_, &zero), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  CursorInfo big{101, 1};
  EXPECT_EQ(console_.SetConsoleCursorInfo(out_, &big), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  // A refused call leaves the visibility alone too.
  CursorInfo hide_zero{0, 0};
  EXPECT_EQ(console_.SetConsoleCursorInfo(out_, &hide_zero), 0);
  CursorInfo hide_huge{0xFFFFFFFFu, 0};
  EXPECT_EQ(console_.SetConsoleCursorInfo(out_, &hide_huge), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  CursorInfo info{};
  ASSERT_NE(console_.GetConsoleCursorInfo(out_, &info), 0);
  EXPECT_EQ(info.dwSize, 25u);
  EXPECT_EQ(info.bVisible, 1);

  CursorInfo full_hidden{100, 0};
  EXPECT_NE(console_.SetConsoleCursorInfo(out_, &full_hidden), 0);
  ASSERT_NE(console_.GetConsoleCursorInfo(out_, &info), 0);
  EXPECT_EQ(info.dwSize, 100u);
  EXPECT_EQ(info.bVisible, 0);
  CursorInfo smallest{1, 1};
  EXPECT_NE(console_.SetConsoleCursorInfo(out_, &smallest), 0);
  ASSERT_NE(console_.GetConsoleCursorInfo(out_, &info), 0);
  EXPECT_EQ(info.dwSize, 1u);
  EXPECT_EQ(info.bVisible, 1);
}

TEST_F(EmulatedTextCursorInfo, CI3_AnyNonzeroVisibleReadsBackAsOne) {
  CursorInfo odd{60, 5};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &odd), 0);
  CursorInfo info{};
  ASSERT_NE(console_.GetConsoleCursorInfo(out_, &info), 0);
  EXPECT_EQ(info.dwSize, 60u);
  EXPECT_EQ(info.bVisible, 1);
}

TEST_F(EmulatedTextCursorInfo, CI4_EachBufferHasItsOwnCursorShape) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  CursorInfo big_hidden{80, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &big_hidden), 0);
  CursorInfo info{};
  ASSERT_NE(console_.GetConsoleCursorInfo(other, &info), 0);
  EXPECT_EQ(info.dwSize, 25u);
  EXPECT_EQ(info.bVisible, 1);
}

// --- SetConsoleTextAttribute ---

TEST_F(EmulatedTextAttribute, TA1_AcceptedBitsAreKept) {
  for (Word attribute : {Word{0x0000}, Word{0x00FF}, Word{0x1F00}, Word{0xDFFF}, Word{0xC01E}}) {
    ASSERT_NE(console_.SetConsoleTextAttribute(out_, attribute), 0) << attribute;
    EXPECT_EQ(Info().wAttributes, attribute);
  }
}

TEST_F(EmulatedTextAttribute, TA1_Bit2000IsRefused) {
  SetAttribute(0x1E);
  EXPECT_EQ(console_.SetConsoleTextAttribute(out_, 0x2000), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  EXPECT_EQ(console_.SetConsoleTextAttribute(out_, 0xFFFF), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  EXPECT_EQ(Info().wAttributes, 0x1E);
}

TEST_F(EmulatedTextAttribute, TA1_PerBufferAndOnlyForLaterOutput) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  Write("a");
  SetAttribute(0x4E);
  EXPECT_EQ(Cell(0, 0), (CharInfo{'a', 0x07}));
  EXPECT_EQ(Info(other).wAttributes, 0x07);
  EXPECT_EQ(console_.SetConsoleTextAttribute(in_, 0x1F), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
}

// --- console modes ---

TEST_F(EmulatedTextMode, MD4_FreshModes) {
  Dword mode = 0;
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, 0x1F7u);
  ASSERT_NE(console_.GetConsoleMode(out_, &mode), 0);
  EXPECT_EQ(mode, 3u);
}

TEST_F(EmulatedTextMode, MD1_BadHandlesAndPointers) {
  Dword mode = 1234;
  EXPECT_EQ(console_.GetConsoleMode(0, &mode), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.GetConsoleMode(kInvalidHandle, &mode), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(mode, 1234u);
  EXPECT_EQ(console_.SetConsoleMode(0, 3), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.GetConsoleMode(out_, nullptr), 0);
  EXPECT_EQ(console_.GetConsoleMode(in_, nullptr), 0);
}

TEST_F(EmulatedTextMode, MD2_OutputModeBitsAndRefusal) {
  // S-14
  EXPECT_EQ(console_.SetConsoleMode(out_, 0x20), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  Dword mode = 0;
  ASSERT_NE(console_.GetConsoleMode(out_, &mode), 0);
  EXPECT_EQ(mode, 3u);
  for (Dword valid : {0x0u, 0x1u, 0x2u, 0x1Fu, 0x8u}) {
    ASSERT_NE(console_.SetConsoleMode(out_, valid), 0) << valid;
    ASSERT_NE(console_.GetConsoleMode(out_, &mode), 0);
    EXPECT_EQ(mode, valid);
  }
}

TEST_F(EmulatedTextMode, MD2_OutputModeIsPerBuffer) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  SetMode(kEnableProcessedOutput);
  Dword mode = 0;
  ASSERT_NE(console_.GetConsoleMode(other, &mode), 0);
  EXPECT_EQ(mode, 3u);
}

TEST_F(EmulatedTextMode, MD3_InputModeIsStoredBeforeItIsChecked) {
  // S-14
  EXPECT_EQ(console_.SetConsoleMode(in_, kEnableEchoInput), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  Dword mode = 0;
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, 4u);
  EXPECT_EQ(console_.SetConsoleMode(in_, 0x400 | kEnableLineInput), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, 0x402u);
  EXPECT_NE(console_.SetConsoleMode(in_, kEnableWindowInput), 0);
  EXPECT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput), 0);
  EXPECT_NE(console_.SetConsoleMode(in_, kEnableVirtualTerminalInput), 0);
}

TEST_F(EmulatedTextMode, MD4_PrivateBitsReportExtendedFlags) {
  Dword mode = 0;
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableWindowInput), 0);
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, 8u);
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableInsertMode | kEnableProcessedInput), 0);
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, kEnableExtendedFlags | kEnableInsertMode | kEnableProcessedInput);
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableExtendedFlags), 0);
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, kEnableExtendedFlags);
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, 0u);
}

// --- titles ---

TEST_F(EmulatedTextTitle, TI1_SetAndReadBack) {
  ASSERT_NE(console_.SetConsoleTitleA("My \x01 title\xB0"), 0);
  char buffer[64];
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, sizeof buffer), 11u);
  EXPECT_STREQ(buffer, "My \x01 title\xB0");
  EXPECT_EQ(console_.Title(), "My \x01 title\xB0");
  EXPECT_NE(console_.SetConsoleTitleA(""), 0);
  EXPECT_EQ(console_.Title(), "");
  EXPECT_EQ(console_.SetConsoleTitleA(nullptr), 0);
}

TEST_F(EmulatedTextTitle, TI1_LongestTitle) {
  std::string longest(65535, 'x');
  EXPECT_NE(console_.SetConsoleTitleA(longest.c_str()), 0);
  EXPECT_EQ(console_.Title().size(), 65535u);
  std::string too_long(65536, 'y');
  EXPECT_EQ(console_.SetConsoleTitleA(too_long.c_str()), 0);
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
  EXPECT_EQ(console_.Title().size(), 65535u);
  std::string back(70000, '\0');
  EXPECT_EQ(console_.GetConsoleTitleA(back.data(), static_cast<Dword>(back.size())), 65535u);
  EXPECT_EQ(back.substr(0, 65536), longest + '\0');
}

TEST_F(EmulatedTextTitle, TI2_RoomToSpare) {
  // S-12
  ASSERT_NE(console_.SetConsoleTitleA("test"), 0);
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, 64), 4u);
  EXPECT_EQ(std::string(buffer, 6), std::string("test\0#", 6));
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, 5), 4u);
  EXPECT_EQ(std::string(buffer, 6), std::string("test\0#", 6));
}

TEST_F(EmulatedTextTitle, TI2_NothingToCopy) {
  ASSERT_NE(console_.SetConsoleTitleA("test"), 0);
  char buffer[8] = "#######";
  EXPECT_EQ(console_.GetConsoleTitleA(nullptr, 64), 0u);
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, 0), 0u);
  EXPECT_EQ(buffer[0], '#');
  ASSERT_NE(console_.SetConsoleTitleA(""), 0);
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, sizeof buffer), 0u);
}

TEST_F(EmulatedTextTitle, TI3_TruncatesWithoutTerminatorWhenFull) {
  // S-12 as the emulation answers it.
  ASSERT_NE(console_.SetConsoleTitleA("test"), 0);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 5), "test#");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, 3), 3u);
  EXPECT_EQ(std::string(buffer, 4), "tes#");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, 1), 1u);
  EXPECT_EQ(std::string(buffer, 2), "t#");
}

}  // namespace
}  // namespace kelvane::platform
