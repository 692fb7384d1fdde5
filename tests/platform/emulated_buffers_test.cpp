// Screen buffers of the emulated console: creation, activation, the buffer information, windows inside
// larger buffers, handles and the test controls, each checked against what the real console does.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <vector>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform {
namespace {

constexpr Dword kReadWrite = kGenericRead | kGenericWrite;
constexpr Dword kShareBoth = kFileShareRead | kFileShareWrite;
constexpr Dword kErrorInvalidAccess = 998;

// The interface has no SetLastError; an injected failure of GetLocalTime, which has no other effect,
// stands in so that a test can tell a fresh error from one left over by an earlier call.
void SetLastErrorTo(EmulatedConsole& console, Dword value) {
  console.FailCall(Op::GetLocalTime, 1, value);
  console.GetLocalTime();
}

InputRecord EventOfType(Word type) {
  InputRecord record;
  record.EventType = type;
  record.KeyEvent = KeyEventRecord{};
  return record;
}

InputRecord KeyDown(char ch) {
  InputRecord record;
  record.EventType = kKeyEvent;
  record.KeyEvent.bKeyDown = 1;
  record.KeyEvent.wVirtualKeyCode = static_cast<Word>(ch);
  record.KeyEvent.uChar = static_cast<Word>(ch);
  return record;
}

class EmulatedBuffers : public ::testing::Test {
 protected:
  void SetUp() override {
    console_.SetConsoleSize(80, 25);
    ASSERT_TRUE(console_.AllocConsole());
    in_ = console_.GetStdHandle(kStdInputHandle);
    out_ = console_.GetStdHandle(kStdOutputHandle);
  }

  Handle NewBuffer(Dword access = kReadWrite) {
    return console_.CreateConsoleScreenBuffer(access, kShareBoth, kConsoleTextmodeBuffer);
  }

  ScreenBufferInfo Info(Handle handle) {
    ScreenBufferInfo info;
    EXPECT_TRUE(console_.GetConsoleScreenBufferInfo(handle, &info));
    return info;
  }

  // Marks a cell so that a test can tell which buffer it is looking at.
  void Mark(Handle handle, char ch) {
    Dword written = 0;
    ASSERT_TRUE(console_.FillConsoleOutputCharacterA(handle, ch, 1, Coord{0, 0}, &written));
  }
  char MarkOf(Handle handle) {
    auto cells = console_.ReadCells(handle);
    return cells.empty() ? '\0' : static_cast<char>(cells[0].Char);
  }

  EmulatedConsole console_;
  Handle in_ = 0;
  Handle out_ = 0;
};

// --- CreateConsoleScreenBuffer ---

TEST_F(EmulatedBuffers, SB1_OnlyTheTextModeFlagIsAccepted) {
  for (Dword flags : {0u, 2u, 3u, 0x80000001u, 0xFFFFFFFFu}) {
    SetLastErrorTo(console_, 0);
    EXPECT_EQ(console_.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, flags), kInvalidHandle) << flags;
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidParameter) << flags;
  }
  EXPECT_GT(NewBuffer(), 0);
}

TEST_F(EmulatedBuffers, SB2_WithoutAConsoleTheCallFailsWithInvalidHandle) {
  EmulatedConsole never_allocated;
  SetLastErrorTo(never_allocated, 0);
  EXPECT_EQ(never_allocated.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, kConsoleTextmodeBuffer),
            kInvalidHandle);
  EXPECT_EQ(never_allocated.GetLastError(), kErrorInvalidHandle);

  ASSERT_TRUE(console_.FreeConsole());
  SetLastErrorTo(console_, 0);
  EXPECT_EQ(NewBuffer(), kInvalidHandle);
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
}

TEST_F(EmulatedBuffers, SB3_SizeIsTheActiveWindowNotTheActiveBuffer) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{120, 300}, SmallRect{10, 200, 59, 219}));
  Handle page = NewBuffer();
  ASSERT_GT(page, 0);
  ScreenBufferInfo info = Info(page);
  EXPECT_EQ(info.dwSize, (Coord{50, 20}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 49, 19}));
  EXPECT_EQ(console_.ReadCells(page).size(), 50u * 20u);
}

TEST_F(EmulatedBuffers, SB4_SB6_TakesTheActiveAttributeAndIsFilledWithSpaces) {
  ASSERT_TRUE(console_.SetConsoleTextAttribute(out_, 0x1E));
  Handle page = NewBuffer();
  EXPECT_EQ(Info(page).wAttributes, 0x1E);
  for (const CharInfo& cell : console_.ReadCells(page)) ASSERT_EQ(cell, (CharInfo{' ', 0x1E}));

  // The attribute comes from the buffer being shown, whichever handle the caller holds.
  Handle shown = NewBuffer();
  ASSERT_TRUE(console_.SetConsoleTextAttribute(shown, 0x4F));
  ASSERT_TRUE(console_.SetConsoleActiveScreenBuffer(shown));
  Handle next = NewBuffer();
  EXPECT_EQ(Info(next).wAttributes, 0x4F);
  EXPECT_EQ(console_.ReadCells(next).front(), (CharInfo{' ', 0x4F}));
}

TEST_F(EmulatedBuffers, SB7_CursorStartsSmallAndVisibleAtTheOrigin) {
  CursorInfo big_hidden{80, 0};
  ASSERT_TRUE(console_.SetConsoleCursorInfo(out_, &big_hidden));
  ASSERT_TRUE(console_.SetConsoleCursorPosition(out_, Coord{7, 9}));
  Handle page = NewBuffer();
  CursorInfo cursor;
  ASSERT_TRUE(console_.GetConsoleCursorInfo(page, &cursor));
  EXPECT_EQ(cursor.dwSize, 25u);
  EXPECT_EQ(cursor.bVisible, 1);
  EXPECT_EQ(Info(page).dwCursorPosition, (Coord{0, 0}));
}

TEST_F(EmulatedBuffers, SB8_OutputModeStartsProcessedAndWrapping) {
  ASSERT_TRUE(console_.SetConsoleMode(out_, 0));
  Dword mode = 0;
  ASSERT_TRUE(console_.GetConsoleMode(NewBuffer(), &mode));
  EXPECT_EQ(mode, kEnableProcessedOutput | kEnableWrapAtEolOutput);
}

TEST_F(EmulatedBuffers, SB9_NewBufferIsInactiveYetUsable) {
  Mark(out_, 'o');
  Handle page = NewBuffer();
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
  Mark(page, 'p');
  EXPECT_EQ(MarkOf(page), 'p');
  EXPECT_EQ(MarkOf(out_), 'o');
  EXPECT_EQ(console_.View().cells.front().Char, 'o');
  EXPECT_EQ(Info(page).dwSize, (Coord{80, 25}));
}

TEST_F(EmulatedBuffers, S1_NewBufferBesideATallBuffer) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{80, 300}, SmallRect{0, 0, 79, 24}));
  ASSERT_TRUE(console_.SetConsoleTextAttribute(out_, 0x1E));

  Handle page = NewBuffer();
  ASSERT_GT(page, 0);
  ScreenBufferInfo info = Info(page);
  EXPECT_EQ(info.dwSize, (Coord{80, 25}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 79, 24}));
  EXPECT_EQ(info.dwCursorPosition, (Coord{0, 0}));
  EXPECT_EQ(info.wAttributes, 0x1E);
  Dword mode = 0;
  ASSERT_TRUE(console_.GetConsoleMode(page, &mode));
  EXPECT_EQ(mode, 3u);
  CursorInfo cursor;
  ASSERT_TRUE(console_.GetConsoleCursorInfo(page, &cursor));
  EXPECT_EQ(cursor.dwSize, 25u);
  EXPECT_EQ(cursor.bVisible, 1);
  auto cells = console_.ReadCells(page);
  ASSERT_EQ(cells.size(), 80u * 25u);
  for (const CharInfo& cell : cells) ASSERT_EQ(cell, (CharInfo{' ', 0x1E}));
}

// --- SetConsoleActiveScreenBuffer ---

TEST_F(EmulatedBuffers, AC1_RefusesWhatIsNotAScreenBuffer) {
  Handle closed = NewBuffer();
  ASSERT_TRUE(console_.CloseHandle(closed));
  for (Handle bad : {kInvalidHandle, Handle{0}, in_, closed, Handle{12345}}) {
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.SetConsoleActiveScreenBuffer(bad)) << bad;
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle) << bad;
  }
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
}

TEST_F(EmulatedBuffers, AC1_ActivationNeedsWriteAccess) {
  Handle read_only = NewBuffer(kGenericRead);
  Handle write_only = NewBuffer(kGenericWrite);
  ASSERT_GT(read_only, 0);
  ASSERT_GT(write_only, 0);
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.SetConsoleActiveScreenBuffer(read_only));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
  EXPECT_TRUE(console_.SetConsoleActiveScreenBuffer(write_only));
  EXPECT_EQ(console_.ActiveBufferHandle(), write_only);
}

TEST_F(EmulatedBuffers, AC2_ActivatingTheActiveBufferChangesNothing) {
  console_.QueueInput({EventOfType(kMouseEvent), KeyDown('a'), EventOfType(kFocusEvent)});
  console_.EndOfCall();
  EXPECT_TRUE(console_.SetConsoleActiveScreenBuffer(out_));
  EXPECT_EQ(console_.PendingInput(), 3u);
  EXPECT_FALSE(console_.PeekChanges().Any());
}

TEST_F(EmulatedBuffers, AC3_EachBufferKeepsItsOwnState) {
  Handle page = NewBuffer();
  ASSERT_TRUE(console_.SetBufferGeometry(page, Coord{100, 60}, SmallRect{20, 30, 59, 49}));
  ASSERT_TRUE(console_.SetConsoleCursorPosition(page, Coord{25, 35}));
  ASSERT_TRUE(console_.SetConsoleTextAttribute(page, 0x2F));
  ASSERT_TRUE(console_.SetConsoleMode(page, kEnableProcessedOutput));
  CursorInfo page_cursor{60, 0};
  ASSERT_TRUE(console_.SetConsoleCursorInfo(page, &page_cursor));
  ASSERT_TRUE(console_.SetConsoleCursorPosition(out_, Coord{3, 4}));

  ASSERT_TRUE(console_.SetConsoleActiveScreenBuffer(page));
  ScreenBufferInfo shown = Info(page);
  EXPECT_EQ(shown.dwSize, (Coord{100, 60}));
  EXPECT_EQ(shown.srWindow, (SmallRect{20, 30, 59, 49}));
  EXPECT_EQ(shown.dwCursorPosition, (Coord{25, 35}));
  EXPECT_EQ(shown.wAttributes, 0x2F);
  // The console window takes the size of the new buffer's window.
  ConsoleView view = console_.View();
  EXPECT_EQ(view.size, (Coord{40, 20}));
  EXPECT_EQ(view.cursor, (Coord{5, 5}));
  EXPECT_EQ(view.cursor_size, 60u);
  EXPECT_FALSE(view.cursor_visible);
  EXPECT_TRUE(console_.PeekChanges().repaint);

  ScreenBufferInfo hidden = Info(out_);
  EXPECT_EQ(hidden.dwSize, (Coord{80, 25}));
  EXPECT_EQ(hidden.dwCursorPosition, (Coord{3, 4}));
  EXPECT_EQ(hidden.wAttributes, 0x07);
  Dword mode = 0;
  ASSERT_TRUE(console_.GetConsoleMode(out_, &mode));
  EXPECT_EQ(mode, 3u);
  CursorInfo cursor;
  ASSERT_TRUE(console_.GetConsoleCursorInfo(out_, &cursor));
  EXPECT_EQ(cursor.dwSize, 25u);
}

TEST_F(EmulatedBuffers, AC4_S15_ActivationDropsEverythingButKeyEvents) {
  console_.QueueInput({EventOfType(kMouseEvent), KeyDown('a'), EventOfType(kWindowBufferSizeEvent),
                       EventOfType(kFocusEvent), KeyDown('b'), EventOfType(kMenuEvent)});
  ASSERT_TRUE(console_.SetConsoleActiveScreenBuffer(NewBuffer()));
  Dword pending = 0;
  ASSERT_TRUE(console_.GetNumberOfConsoleInputEvents(in_, &pending));
  ASSERT_EQ(pending, 2u);
  InputRecord records[2];
  Dword read = 0;
  ASSERT_TRUE(console_.ReadConsoleInputA(in_, records, 2, &read));
  EXPECT_EQ(records[0].KeyEvent.uChar, 'a');
  EXPECT_EQ(records[1].KeyEvent.uChar, 'b');

  console_.QueueInput({EventOfType(kMouseEvent), KeyDown('c')});
  ASSERT_TRUE(console_.FlushConsoleInputBuffer(in_));
  EXPECT_EQ(console_.PendingInput(), 0u);
}

TEST_F(EmulatedBuffers, AC6_ClosingTheActiveBufferShowsTheNewestRemainingOne) {
  Handle a = NewBuffer();
  Handle b = NewBuffer();
  Handle c = NewBuffer();
  Mark(out_, 'o');
  Mark(a, 'a');
  Mark(b, 'b');
  Mark(c, 'c');
  ASSERT_TRUE(console_.SetConsoleActiveScreenBuffer(b));
  console_.EndOfCall();

  ASSERT_TRUE(console_.CloseHandle(b));
  EXPECT_EQ(console_.ActiveBufferHandle(), c);
  EXPECT_EQ(console_.View().cells.front().Char, 'c');
  EXPECT_TRUE(console_.PeekChanges().repaint);
  ASSERT_TRUE(console_.CloseHandle(c));
  EXPECT_EQ(console_.ActiveBufferHandle(), a);
  ASSERT_TRUE(console_.CloseHandle(a));
  EXPECT_EQ(MarkOf(console_.ActiveBufferHandle()), 'o');
}

TEST_F(EmulatedBuffers, AC6_TheActiveBufferLivesWhileAnyHandleToItIsOpen) {
  Handle err = console_.GetStdHandle(kStdErrorHandle);
  Handle page = NewBuffer();
  Mark(out_, 'o');
  ASSERT_TRUE(console_.CloseHandle(out_));
  EXPECT_EQ(console_.ActiveBufferHandle(), err);
  EXPECT_EQ(MarkOf(err), 'o');
  // Closing a buffer that is not shown leaves the shown one alone.
  ASSERT_TRUE(console_.CloseHandle(page));
  EXPECT_EQ(console_.ActiveBufferHandle(), err);
}

TEST_F(EmulatedBuffers, AC6_FallingBackToAnotherBufferIsAnActivation) {
  Handle page = NewBuffer();
  ASSERT_TRUE(console_.SetConsoleActiveScreenBuffer(page));
  console_.QueueInput({EventOfType(kMouseEvent), KeyDown('k'), EventOfType(kFocusEvent)});
  ASSERT_TRUE(console_.CloseHandle(page));
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
  EXPECT_EQ(console_.PendingInput(), 1u);
}

// --- GetConsoleScreenBufferInfo ---

TEST_F(EmulatedBuffers, GI1_NeedsAScreenBufferHandle) {
  Handle closed = NewBuffer();
  ASSERT_TRUE(console_.CloseHandle(closed));
  for (Handle bad : {in_, Handle{0}, kInvalidHandle, closed}) {
    ScreenBufferInfo info;
    info.wAttributes = 0xABCD;
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.GetConsoleScreenBufferInfo(bad, &info)) << bad;
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle) << bad;
    EXPECT_EQ(info.wAttributes, 0xABCD);
  }
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.GetConsoleScreenBufferInfo(out_, nullptr));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidAccess);
}

TEST_F(EmulatedBuffers, GI1_NeedsReadAccess) {
  Handle write_only = NewBuffer(kGenericWrite);
  ScreenBufferInfo info;
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.GetConsoleScreenBufferInfo(write_only, &info));
  EXPECT_EQ(console_.GetLastError(), kErrorAccessDenied);
  EXPECT_TRUE(console_.GetConsoleScreenBufferInfo(NewBuffer(kGenericRead), &info));
}

TEST_F(EmulatedBuffers, GI2_GI3_GI4_ReportSizeCursorAttributeAndInclusiveWindow) {
  EmulatedConsole console;
  console.SetConsoleSize(40, 30);
  ASSERT_TRUE(console.AllocConsole());
  Handle out = console.GetStdHandle(kStdOutputHandle);
  ASSERT_TRUE(console.SetConsoleCursorPosition(out, Coord{39, 29}));
  ASSERT_TRUE(console.SetConsoleTextAttribute(out, 0x9C));
  ScreenBufferInfo info;
  ASSERT_TRUE(console.GetConsoleScreenBufferInfo(out, &info));
  EXPECT_EQ(info.dwSize, (Coord{40, 30}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 39, 29}));
  EXPECT_EQ(info.dwCursorPosition, (Coord{39, 29}));
  EXPECT_EQ(info.wAttributes, 0x9C);
}

TEST_F(EmulatedBuffers, GI5_LargestWindowIsTheSmallerOfBufferAndConsoleWindow) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{200, 300}, SmallRect{0, 0, 79, 24}));
  EXPECT_EQ(Info(out_).dwMaximumWindowSize, (Coord{80, 25}));
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{60, 300}, SmallRect{0, 0, 59, 24}));
  EXPECT_EQ(Info(out_).dwMaximumWindowSize, (Coord{60, 25}));
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{30, 10}, SmallRect{0, 0, 29, 9}));
  EXPECT_EQ(Info(out_).dwMaximumWindowSize, (Coord{30, 10}));
  // A window placed larger than the console's own never exceeds the largest window reported.
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{120, 50}, SmallRect{0, 0, 99, 39}));
  EXPECT_EQ(Info(out_).dwMaximumWindowSize, (Coord{100, 40}));
  EXPECT_EQ(console_.BufferInfo(out_)->dwMaximumWindowSize, (Coord{100, 40}));
}

TEST_F(EmulatedBuffers, GI6_InactiveBufferReportsItsOwnValues) {
  Handle page = NewBuffer();
  ASSERT_TRUE(console_.SetBufferGeometry(page, Coord{90, 40}, SmallRect{5, 6, 54, 25}));
  ASSERT_TRUE(console_.SetConsoleCursorPosition(page, Coord{10, 20}));
  ASSERT_TRUE(console_.SetConsoleTextAttribute(page, 0x31));
  ScreenBufferInfo info = Info(page);
  EXPECT_EQ(info.dwSize, (Coord{90, 40}));
  EXPECT_EQ(info.srWindow, (SmallRect{5, 6, 54, 25}));
  EXPECT_EQ(info.dwCursorPosition, (Coord{10, 20}));
  EXPECT_EQ(info.wAttributes, 0x31);
  EXPECT_EQ(Info(out_).dwSize, (Coord{80, 25}));
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
}

// --- windows inside larger buffers ---

TEST_F(EmulatedBuffers, WI_TheWindowCanLieAnywhereInsideItsBuffer) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{120, 300}, SmallRect{40, 275, 119, 299}));
  ScreenBufferInfo info = Info(out_);
  EXPECT_EQ(info.dwSize, (Coord{120, 300}));
  EXPECT_EQ(info.srWindow, (SmallRect{40, 275, 119, 299}));
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'w', 1, Coord{40, 275}, &written));
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'z', 1, Coord{119, 299}, &written));
  ConsoleView view = console_.View();
  ASSERT_EQ(view.size, (Coord{80, 25}));
  EXPECT_EQ(view.cells.front().Char, 'w');
  EXPECT_EQ(view.cells.back().Char, 'z');
}

TEST_F(EmulatedBuffers, WI1_GeometryRefusesAWindowThatDoesNotFitItsBuffer) {
  const Coord size{100, 50};
  for (SmallRect window : {SmallRect{0, 0, 100, 10}, SmallRect{0, 0, 10, 50}, SmallRect{-1, 0, 10, 10},
                           SmallRect{0, -1, 10, 10}, SmallRect{10, 0, 9, 10}, SmallRect{0, 10, 10, 9},
                           SmallRect{SHRT_MIN, SHRT_MIN, SHRT_MAX, SHRT_MAX}}) {
    EXPECT_FALSE(console_.SetBufferGeometry(out_, size, window))
        << window.Left << ',' << window.Top << ',' << window.Right << ',' << window.Bottom;
  }
  for (Coord bad : {Coord{0, 10}, Coord{10, 0}, Coord{-5, 10}, Coord{SHRT_MIN, SHRT_MIN}}) {
    EXPECT_FALSE(console_.SetBufferGeometry(out_, bad, SmallRect{0, 0, 0, 0}));
  }
  EXPECT_EQ(Info(out_).dwSize, (Coord{80, 25}));
  EXPECT_EQ(Info(out_).srWindow, (SmallRect{0, 0, 79, 24}));
  EXPECT_TRUE(console_.SetBufferGeometry(out_, size, SmallRect{99, 49, 99, 49}));
}

TEST_F(EmulatedBuffers, WI_ResizingKeepsOverlappingCellsAndTheCursorInside) {
  ASSERT_TRUE(console_.SetConsoleTextAttribute(out_, 0x5A));
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'k', 1, Coord{9, 4}, &written));
  ASSERT_TRUE(console_.SetConsoleCursorPosition(out_, Coord{79, 24}));
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{10, 5}, SmallRect{0, 0, 9, 4}));
  ScreenBufferInfo info = Info(out_);
  // No cursor position outside the buffer is ever reported.
  EXPECT_EQ(info.dwCursorPosition, (Coord{9, 4}));
  EXPECT_EQ(console_.ReadCells(out_)[4 * 10 + 9].Char, 'k');

  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{12, 6}, SmallRect{0, 0, 11, 5}));
  auto cells = console_.ReadCells(out_);
  EXPECT_EQ(cells[4 * 12 + 9], (CharInfo{'k', 0x07}));
  EXPECT_EQ(cells[4 * 12 + 10], (CharInfo{' ', 0x5A}));
  EXPECT_EQ(cells[5 * 12 + 0], (CharInfo{' ', 0x5A}));
}

// --- handles ---

class EmulatedBuffersHandles : public EmulatedBuffers {};

TEST_F(EmulatedBuffersHandles, ZeroAndMinusOneAreNeverHandles) {
  for (Handle bad : {Handle{0}, kInvalidHandle}) {
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.CloseHandle(bad));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.SetConsoleActiveScreenBuffer(bad));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
    CharInfo cell;
    SmallRect region{0, 0, 0, 0};
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.ReadConsoleOutputA(bad, &cell, Coord{1, 1}, Coord{0, 0}, &region));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
    EXPECT_FALSE(console_.SetBufferGeometry(bad, Coord{10, 10}, SmallRect{0, 0, 9, 9}));
    EXPECT_TRUE(console_.ReadCells(bad).empty());
    EXPECT_FALSE(console_.BufferInfo(bad).has_value());
  }
  EXPECT_NE(in_, 0);
  EXPECT_NE(out_, 0);
  EXPECT_NE(console_.GetStdHandle(kStdErrorHandle), 0);
}

TEST_F(EmulatedBuffersHandles, ClosedValuesAreNeverHandedOutAgain) {
  std::set<Handle> seen{in_, out_, console_.GetStdHandle(kStdErrorHandle)};
  for (int i = 0; i < 50; ++i) {
    Handle page = NewBuffer();
    ASSERT_GT(page, 0);
    EXPECT_TRUE(seen.insert(page).second) << page;
    ASSERT_TRUE(console_.CloseHandle(page));
  }
  ASSERT_TRUE(console_.FreeConsole());
  ASSERT_TRUE(console_.AllocConsole());
  for (Dword id : {kStdInputHandle, kStdOutputHandle, kStdErrorHandle}) {
    EXPECT_TRUE(seen.insert(console_.GetStdHandle(id)).second);
  }
}

TEST_F(EmulatedBuffersHandles, ClosingAnUnknownOrClosedHandleFails) {
  Handle page = NewBuffer();
  ASSERT_TRUE(console_.CloseHandle(page));
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.CloseHandle(page));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.CloseHandle(0x7FFFFFF0));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
  ScreenBufferInfo info;
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.GetConsoleScreenBufferInfo(page, &info));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
}

TEST_F(EmulatedBuffersHandles, HandlesDieWithTheConsole) {
  Handle page = NewBuffer();
  ASSERT_TRUE(console_.FreeConsole());
  ScreenBufferInfo info;
  for (Handle dead : {out_, page}) {
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.GetConsoleScreenBufferInfo(dead, &info));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidHandle);
  }
  EXPECT_EQ(console_.GetStdHandle(kStdOutputHandle), out_);
  EXPECT_EQ(console_.ActiveBufferHandle(), 0);
}

// --- the test controls ---

class EmulatedBuffersControls : public EmulatedBuffers {};

TEST_F(EmulatedBuffersControls, FailCallFailsTheNthCallWithTheGivenError) {
  console_.FailCall(Op::GetConsoleScreenBufferInfo, 2, kErrorNotEnoughMemory);
  ScreenBufferInfo info;
  EXPECT_TRUE(console_.GetConsoleScreenBufferInfo(out_, &info));
  info.wAttributes = 0xABCD;
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.GetConsoleScreenBufferInfo(out_, &info));
  EXPECT_EQ(console_.GetLastError(), kErrorNotEnoughMemory);
  EXPECT_EQ(info.wAttributes, 0xABCD);
  EXPECT_TRUE(console_.GetConsoleScreenBufferInfo(out_, &info));
}

TEST_F(EmulatedBuffersControls, FailCallOfAHandleReturningCallGivesMinusOne) {
  console_.FailCall(Op::CreateConsoleScreenBuffer, 1, kErrorAccessDenied);
  SetLastErrorTo(console_, 0);
  EXPECT_EQ(NewBuffer(), kInvalidHandle);
  EXPECT_EQ(console_.GetLastError(), kErrorAccessDenied);
  EXPECT_GT(NewBuffer(), 0);
}

TEST_F(EmulatedBuffersControls, FailCallEveryFailsEachCallFromTheNthOn) {
  console_.FailCall(Op::CreateConsoleScreenBuffer, 2, kErrorNotEnoughMemory, true);
  EXPECT_GT(NewBuffer(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(NewBuffer(), kInvalidHandle);
  console_.ClearFailures();
  EXPECT_GT(NewBuffer(), 0);
}

TEST_F(EmulatedBuffersControls, FailCallsPendingTogetherCountTheSameCalls) {
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 3, kErrorAccessDenied);
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 1, kErrorNotEnoughMemory);
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 1, kErrorInvalidFunction);
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.SetConsoleActiveScreenBuffer(out_));
  EXPECT_EQ(console_.GetLastError(), kErrorNotEnoughMemory);
  EXPECT_TRUE(console_.SetConsoleActiveScreenBuffer(out_));
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.SetConsoleActiveScreenBuffer(out_));
  EXPECT_EQ(console_.GetLastError(), kErrorAccessDenied);
  EXPECT_TRUE(console_.SetConsoleActiveScreenBuffer(out_));
}

TEST_F(EmulatedBuffersControls, AnInjectedFailureHasNoEffect) {
  Handle page = NewBuffer();
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 1);
  console_.FailCall(Op::CloseHandle, 1);
  console_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  console_.QueueInput({EventOfType(kMouseEvent)});

  EXPECT_FALSE(console_.SetConsoleActiveScreenBuffer(page));
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
  EXPECT_EQ(console_.PendingInput(), 1u);
  EXPECT_FALSE(console_.CloseHandle(page));
  EXPECT_TRUE(console_.BufferInfo(page).has_value());
  Dword written = 77;
  EXPECT_FALSE(console_.FillConsoleOutputCharacterA(page, 'x', 10, Coord{0, 0}, &written));
  EXPECT_EQ(written, 77u);
  EXPECT_EQ(console_.ReadCells(page).front().Char, ' ');
}

TEST_F(EmulatedBuffersControls, CallCountCountsEveryCallSucceededOrNot) {
  console_.ResetCallCounts();
  ScreenBufferInfo info;
  console_.FailCall(Op::GetConsoleScreenBufferInfo, 2);
  console_.GetConsoleScreenBufferInfo(out_, &info);
  console_.GetConsoleScreenBufferInfo(out_, &info);
  console_.GetConsoleScreenBufferInfo(in_, &info);
  EXPECT_EQ(console_.CallCount(Op::GetConsoleScreenBufferInfo), 3);
  EXPECT_EQ(console_.CallCount(Op::CreateConsoleScreenBuffer), 0);
  // The test controls are not calls of the interface.
  console_.ReadCells(out_);
  console_.BufferInfo(out_);
  EXPECT_TRUE(console_.SetBufferGeometry(out_, Coord{80, 30}, SmallRect{0, 0, 79, 24}));
  EXPECT_EQ(console_.CallCount(Op::GetConsoleScreenBufferInfo), 3);
  console_.ResetCallCounts();
  EXPECT_EQ(console_.CallCount(Op::GetConsoleScreenBufferInfo), 0);
}

TEST_F(EmulatedBuffersControls, NewBufferGeometryAppliesToBuffersCreatedFromNowOn) {
  Handle before = NewBuffer();
  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{100, 200}, SmallRect{10, 20, 69, 39}));
  Handle first = NewBuffer();
  Handle second = NewBuffer();
  for (Handle page : {first, second}) {
    ScreenBufferInfo info = Info(page);
    EXPECT_EQ(info.dwSize, (Coord{100, 200}));
    EXPECT_EQ(info.srWindow, (SmallRect{10, 20, 69, 39}));
    EXPECT_EQ(console_.ReadCells(page).size(), 100u * 200u);
  }
  EXPECT_EQ(Info(before).dwSize, (Coord{80, 25}));

  ASSERT_TRUE(console_.SetNewBufferGeometry(std::nullopt, std::nullopt));
  ScreenBufferInfo usual = Info(NewBuffer());
  EXPECT_EQ(usual.dwSize, (Coord{80, 25}));
  EXPECT_EQ(usual.srWindow, (SmallRect{0, 0, 79, 24}));
}

TEST_F(EmulatedBuffersControls, NewBufferGeometryWithoutAWindowGetsOneOfTheActiveWindowsSize) {
  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{80, 300}, std::nullopt));
  EXPECT_EQ(Info(NewBuffer()).srWindow, (SmallRect{0, 0, 79, 24}));
  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{30, 10}, std::nullopt));
  EXPECT_EQ(Info(NewBuffer()).srWindow, (SmallRect{0, 0, 29, 9}));
}

TEST_F(EmulatedBuffersControls, NewBufferGeometryRefusesWhatCannotBeABuffer) {
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{0, 10}, std::nullopt));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, -3}, std::nullopt));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{0, 0, 10, 9}));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{-1, 0, 5, 5}));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{5, 0, 4, 5}));
  // A window means nothing without the size of the buffer it belongs to.
  EXPECT_FALSE(console_.SetNewBufferGeometry(std::nullopt, SmallRect{0, 0, 9, 9}));
  ScreenBufferInfo info = Info(NewBuffer());
  EXPECT_EQ(info.dwSize, (Coord{80, 25}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 79, 24}));
}

}  // namespace
}  // namespace kelvane::platform
