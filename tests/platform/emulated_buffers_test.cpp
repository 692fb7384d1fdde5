// Screen buffers of the emulated console: creation, activation, the buffer information, windows inside
// larger buffers, handles and the test controls, each checked against what the real console does.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <vector>

#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace testing;

class EmulatedBuffers : public EmulatedConsoleTest {
 protected:
  // Marks a buffer's first cell so that a test can tell which buffer it is looking at.
  void Mark(Handle handle, char ch) {
    Dword written = 0;
    ASSERT_NE(console_.FillConsoleOutputCharacterA(handle, ch, 1, Coord{0, 0}, &written), 0);
  }
  ScreenBufferInfo ApiInfo(Handle handle) {
    ScreenBufferInfo info;
    EXPECT_NE(console_.GetConsoleScreenBufferInfo(handle, &info), 0);
    return info;
  }
};

TEST_F(EmulatedBuffers, SB1_SB2_OnlyTextModeBuffersAndOnlyWithAConsole) {
  for (Dword flags : {0u, 2u, 3u, 0x80000001u, 0xFFFFFFFFu}) {
    ClearError();
    EXPECT_EQ(console_.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, flags), kInvalidHandle) << flags;
    EXPECT_EQ(LastError(), kErrorInvalidParameter) << flags;
  }
  EXPECT_GT(NewBuffer(), 0);

  EmulatedConsole never_allocated;
  ClearError();
  EXPECT_EQ(never_allocated.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, kConsoleTextmodeBuffer),
            kInvalidHandle);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  ASSERT_NE(console_.FreeConsole(), 0);
  ClearError();
  EXPECT_EQ(NewBuffer(), kInvalidHandle);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
}

TEST_F(EmulatedBuffers, S1_SB3_SB4_SB6_SB7_SB8_NewBufferTakesTheActiveWindowSizeAndAttribute) {
  UseBuffer(Coord{80, 300}, SmallRect{0, 0, 79, 24});
  SetAttribute(0x1E);
  CursorInfo big_hidden{80, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &big_hidden), 0);
  MoveCursor(7, 9);
  SetMode(0);

  Handle page = NewBuffer();
  ASSERT_GT(page, 0);
  ScreenBufferInfo info = ApiInfo(page);
  EXPECT_EQ(info.dwSize, (Coord{80, 25}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 79, 24}));
  EXPECT_EQ(info.dwCursorPosition, (Coord{0, 0}));
  EXPECT_EQ(info.wAttributes, 0x1E);
  EXPECT_EQ(Mode(page), kEnableProcessedOutput | kEnableWrapAtEolOutput);
  CursorInfo cursor;
  ASSERT_NE(console_.GetConsoleCursorInfo(page, &cursor), 0);
  EXPECT_EQ(cursor.dwSize, 25u);
  EXPECT_EQ(cursor.bVisible, 1);
  EXPECT_EQ(console_.ReadCells(page), std::vector<CharInfo>(80 * 25, CharInfo{' ', 0x1E}));

  // The size is the shown window's wherever that window lies, the attribute the shown buffer's,
  // whichever handle the caller holds.
  UseBuffer(page, Coord{120, 300}, SmallRect{10, 200, 59, 219});
  ASSERT_NE(console_.SetConsoleTextAttribute(page, 0x4F), 0);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(page), 0);
  Handle next = NewBuffer();
  info = ApiInfo(next);
  EXPECT_EQ(info.dwSize, (Coord{50, 20}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 49, 19}));
  EXPECT_EQ(info.wAttributes, 0x4F);
  EXPECT_EQ(console_.ReadCells(next), std::vector<CharInfo>(50 * 20, CharInfo{' ', 0x4F}));
}

TEST_F(EmulatedBuffers, SB9_GI6_AC3_CP3_CI4_MD2_TA1_EachBufferKeepsItsOwnState) {
  MoveCursor(3, 4);
  Handle page = NewBuffer();
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
  UseBuffer(page, Coord{100, 60}, SmallRect{20, 30, 59, 49});
  ASSERT_NE(console_.SetConsoleCursorPosition(page, Coord{25, 35}), 0);
  ASSERT_NE(console_.SetConsoleTextAttribute(page, 0x2F), 0);
  ASSERT_NE(console_.SetConsoleMode(page, kEnableProcessedOutput), 0);
  CursorInfo page_cursor{60, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(page, &page_cursor), 0);
  Write(page, "zz");
  EXPECT_EQ(Cell(26, 35, page), (CharInfo{'z', 0x2F}));

  ScreenBufferInfo info = ApiInfo(page);
  EXPECT_EQ(info.dwSize, (Coord{100, 60}));
  EXPECT_EQ(info.srWindow, (SmallRect{20, 30, 59, 49}));
  EXPECT_EQ(info.dwCursorPosition, (Coord{27, 35}));
  EXPECT_EQ(info.wAttributes, 0x2F);
  // The shown buffer kept its own.
  auto check_shown_buffer_unchanged = [&] {
    ScreenBufferInfo shown = ApiInfo(out_);
    EXPECT_EQ(shown.dwSize, (Coord{80, 25}));
    EXPECT_EQ(shown.dwCursorPosition, (Coord{3, 4}));
    EXPECT_EQ(shown.wAttributes, 0x07);
    EXPECT_EQ(Mode(out_), 3u);
    EXPECT_EQ(Shape(out_).dwSize, 25u);
    EXPECT_EQ(Shape(out_).bVisible, 1);
    EXPECT_EQ(console_.ReadCells(out_), std::vector<CharInfo>(80 * 25, kBlank));
  };
  check_shown_buffer_unchanged();
  EXPECT_EQ(console_.View().cells.at(0), kBlank);

  // Activation copies nothing; the console window takes the new buffer's window.
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(page), 0);
  ConsoleView view = console_.View();
  EXPECT_EQ(view.size, (Coord{40, 20}));
  EXPECT_EQ(view.cursor, (Coord{7, 5}));
  EXPECT_EQ(view.cursor_size, 60u);
  EXPECT_FALSE(view.cursor_visible);
  EXPECT_TRUE(console_.PendingFrame().repaint);
  EXPECT_EQ(ApiInfo(page).srWindow, (SmallRect{20, 30, 59, 49}));
  check_shown_buffer_unchanged();
}

TEST_F(EmulatedBuffers, AC1_OnlyWritableScreenBuffersCanBeActivated) {
  Handle closed = NewBuffer();
  ASSERT_NE(console_.CloseHandle(closed), 0);
  Handle read_only = NewBuffer(kGenericRead);
  Handle write_only = NewBuffer(kGenericWrite);
  for (Handle bad : {kInvalidHandle, Handle{0}, in_, closed, Handle{12345}, read_only}) {
    EXPECT_FAILS(console_.SetConsoleActiveScreenBuffer(bad), kErrorInvalidHandle);
  }
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
  EXPECT_NE(console_.SetConsoleActiveScreenBuffer(write_only), 0);
  EXPECT_EQ(console_.ActiveBufferHandle(), write_only);
}

TEST_F(EmulatedBuffers, AC2_AC4_S15_ActivationKeepsOnlyKeyEvents) {
  console_.QueueInput({EventOfType(kMouseEvent), Down('A', 'a'), EventOfType(kWindowBufferSizeEvent),
                       EventOfType(kFocusEvent), Down('B', 'b'), EventOfType(kMenuEvent)});
  console_.EndOfCall();
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);  // already active: nothing happens
  EXPECT_EQ(Pending(), 6u);
  EXPECT_FALSE(console_.PendingFrame().HasChanges());

  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(NewBuffer()), 0);
  InputRecord records[4];
  Dword read = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, records, 4, &read), 0);
  ASSERT_EQ(read, 2u);
  EXPECT_EQ(records[0], Down('A', 'a'));
  EXPECT_EQ(records[1], Down('B', 'b'));

  console_.QueueInput({EventOfType(kMouseEvent), Down('K', 'k')});
  ASSERT_NE(console_.FlushConsoleInputBuffer(in_), 0);  // IN-9
  EXPECT_EQ(Pending(), 0u);
}

TEST_F(EmulatedBuffers, AC6_ClosingTheActiveBufferShowsTheNewestRemainingOne) {
  Handle err = console_.GetStdHandle(kStdErrorHandle);
  Handle a = NewBuffer();
  Handle b = NewBuffer();
  Handle c = NewBuffer();
  Mark(out_, 'o');
  Mark(a, 'a');
  Mark(b, 'b');
  Mark(c, 'c');
  // The shown buffer lives while any handle to it is open.
  ASSERT_NE(console_.CloseHandle(out_), 0);
  EXPECT_EQ(console_.ActiveBufferHandle(), err);

  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(b), 0);
  console_.QueueInput({EventOfType(kMouseEvent), Down('K', 'k'), EventOfType(kFocusEvent)});
  console_.EndOfCall();
  ASSERT_NE(console_.CloseHandle(b), 0);
  EXPECT_EQ(console_.ActiveBufferHandle(), c);
  EXPECT_EQ(console_.View().cells.at(0).Char, 'c');
  EXPECT_TRUE(console_.PendingFrame().repaint);
  EXPECT_EQ(Pending(), 1u);               // falling back is an activation
  ASSERT_NE(console_.CloseHandle(a), 0);  // not shown: nothing changes
  EXPECT_EQ(console_.ActiveBufferHandle(), c);
  ASSERT_NE(console_.CloseHandle(c), 0);
  EXPECT_EQ(console_.ActiveBufferHandle(), err);
  EXPECT_EQ(console_.View().cells.at(0).Char, 'o');
}

TEST_F(EmulatedBuffers, GI1_InfoNeedsAReadableScreenBuffer) {
  Handle closed = NewBuffer();
  ASSERT_NE(console_.CloseHandle(closed), 0);
  ScreenBufferInfo info;
  info.wAttributes = 0xABCD;
  for (Handle bad : {in_, Handle{0}, kInvalidHandle, closed}) {
    EXPECT_FAILS(console_.GetConsoleScreenBufferInfo(bad, &info), kErrorInvalidHandle);
  }
  EXPECT_FAILS(console_.GetConsoleScreenBufferInfo(NewBuffer(kGenericWrite), &info), kErrorAccessDenied);
  EXPECT_FAILS(console_.GetConsoleScreenBufferInfo(out_, nullptr), kErrorInvalidAccess);
  EXPECT_EQ(info.wAttributes, 0xABCD);
  EXPECT_NE(console_.GetConsoleScreenBufferInfo(NewBuffer(kGenericRead), &info), 0);
}

TEST_F(EmulatedBuffers, GI5_LargestWindowIsTheSmallerOfBufferAndConsoleWindow) {
  struct Case {
    Coord size;
    SmallRect window;
    Coord largest;
  };
  const Case cases[] = {{{200, 300}, {0, 0, 79, 24}, {80, 25}},
                        {{60, 300}, {0, 0, 59, 24}, {60, 25}},
                        {{30, 10}, {0, 0, 29, 9}, {30, 10}},
                        // A window placed larger than the console's own is possible, so it counts.
                        {{120, 50}, {0, 0, 99, 39}, {100, 40}}};
  for (const Case& c : cases) {
    UseBuffer(c.size, c.window);
    EXPECT_EQ(ApiInfo(out_).dwMaximumWindowSize, c.largest);
    EXPECT_EQ(Info().dwMaximumWindowSize, c.largest);
  }
}

TEST_F(EmulatedBuffers, WI1_TheWindowLiesAnywhereInsideItsBufferButNeverOutside) {
  for (SmallRect window : {SmallRect{0, 0, 100, 10}, SmallRect{0, 0, 10, 50}, SmallRect{-1, 0, 10, 10},
                           SmallRect{0, -1, 10, 10}, SmallRect{10, 0, 9, 10}, SmallRect{0, 10, 10, 9},
                           SmallRect{SHRT_MIN, SHRT_MIN, SHRT_MAX, SHRT_MAX}}) {
    EXPECT_FALSE(console_.SetBufferGeometry(out_, Coord{100, 50}, window))
        << ::testing::PrintToString(window);
  }
  for (Coord bad : {Coord{0, 10}, Coord{10, 0}, Coord{-5, 10}, Coord{SHRT_MIN, SHRT_MIN}}) {
    EXPECT_FALSE(console_.SetBufferGeometry(out_, bad, SmallRect{0, 0, 0, 0}));
  }
  EXPECT_EQ(Info().dwSize, (Coord{80, 25}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 79, 24}));
  EXPECT_TRUE(console_.SetBufferGeometry(out_, Coord{100, 50}, SmallRect{99, 49, 99, 49}));

  UseBuffer(Coord{120, 300}, SmallRect{40, 275, 119, 299});
  Dword written = 0;
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, 'w', 1, Coord{40, 275}, &written), 0);
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, 'z', 1, Coord{119, 299}, &written), 0);
  ConsoleView view = console_.View();
  ASSERT_EQ(view.size, (Coord{80, 25}));
  EXPECT_EQ(view.cells.at(0).Char, 'w');
  EXPECT_EQ(view.cells.at(view.cells.size() - 1).Char, 'z');

  // Resizing keeps the cells that overlap and the cursor inside.
  UseBuffer(80, 25);
  SetAttribute(0x5A);
  ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, 'k', 1, Coord{9, 4}, &written), 0);
  MoveCursor(79, 24);
  UseBuffer(10, 5);
  EXPECT_EQ(Cursor(), (Coord{9, 4}));
  EXPECT_EQ(Cell(9, 4).Char, 'k');
  UseBuffer(12, 6);
  EXPECT_EQ(Cell(9, 4), (CharInfo{'k', 0x07}));
  EXPECT_EQ(Cell(10, 4), (CharInfo{' ', 0x5A}));  // new cells blank in the buffer's attribute
  EXPECT_EQ(Cell(0, 5), (CharInfo{' ', 0x5A}));
}

TEST_F(EmulatedBuffers, HandleValuesAreNeverZeroMinusOneOrUsedTwice) {
  for (Handle bad : {Handle{0}, kInvalidHandle}) {
    EXPECT_FAILS(console_.CloseHandle(bad), kErrorInvalidHandle);
    EXPECT_FALSE(console_.SetBufferGeometry(bad, Coord{10, 10}, SmallRect{0, 0, 9, 9}));
    EXPECT_TRUE(console_.ReadCells(bad).empty());
    EXPECT_FALSE(console_.BufferInfo(bad).has_value());
  }
  std::set<Handle> seen{Handle{0}, kInvalidHandle, in_, out_, console_.GetStdHandle(kStdErrorHandle)};
  EXPECT_EQ(seen.size(), 5u);
  Handle page = 0;
  for (int i = 0; i < 50; ++i) {
    page = NewBuffer();
    EXPECT_TRUE(seen.insert(page).second) << page;
    ASSERT_NE(console_.CloseHandle(page), 0);
  }
  EXPECT_FAILS(console_.CloseHandle(page), kErrorInvalidHandle);
  EXPECT_FAILS(console_.CloseHandle(0x7FFFFFF0), kErrorInvalidHandle);
  ScreenBufferInfo info;
  EXPECT_FAILS(console_.GetConsoleScreenBufferInfo(page, &info), kErrorInvalidHandle);
}

// --- the test controls ---

TEST_F(EmulatedBuffers, FailCallFailsTheNthCallWithTheGivenErrorAndNoEffect) {
  console_.ResetCallCounts();
  console_.FailCall(Op::GetConsoleScreenBufferInfo, 2, kErrorNotEnoughMemory);
  ScreenBufferInfo info;
  EXPECT_NE(console_.GetConsoleScreenBufferInfo(out_, &info), 0);
  info.wAttributes = 0xABCD;
  EXPECT_FAILS(console_.GetConsoleScreenBufferInfo(out_, &info), kErrorNotEnoughMemory);
  EXPECT_EQ(info.wAttributes, 0xABCD);
  EXPECT_NE(console_.GetConsoleScreenBufferInfo(out_, &info), 0);
  // Every call of the interface counts, failed or not; the test controls do not.
  EXPECT_TRUE(console_.SetBufferGeometry(out_, Coord{80, 30}, SmallRect{0, 0, 79, 24}));
  console_.ReadCells(out_);
  EXPECT_EQ(console_.CallCount(Op::GetConsoleScreenBufferInfo), 3);
  EXPECT_EQ(console_.CallCount(Op::CreateConsoleScreenBuffer), 0);

  // A call returning a handle gives -1; `every` fails each call from the n-th on until cleared.
  console_.FailCall(Op::CreateConsoleScreenBuffer, 2, kErrorAccessDenied, true);
  EXPECT_GT(NewBuffer(), 0);
  for (int i = 0; i < 3; ++i) {
    ClearError();
    EXPECT_EQ(NewBuffer(), kInvalidHandle);
    EXPECT_EQ(LastError(), kErrorAccessDenied);
  }
  console_.ClearFailures();
  EXPECT_GT(NewBuffer(), 0);

  // Failures pending together each count the same calls; the first injected gives the error.
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 3, kErrorAccessDenied);
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 1, kErrorNotEnoughMemory);
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 1, kErrorInvalidFunction);
  EXPECT_FAILS(console_.SetConsoleActiveScreenBuffer(out_), kErrorNotEnoughMemory);
  EXPECT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);
  EXPECT_FAILS(console_.SetConsoleActiveScreenBuffer(out_), kErrorAccessDenied);
  EXPECT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);

  // An injected failure has no effect.
  Handle page = NewBuffer();
  console_.FailCall(Op::SetConsoleActiveScreenBuffer, 1);
  console_.FailCall(Op::CloseHandle, 1);
  console_.FailCall(Op::FillConsoleOutputCharacterA, 1);
  console_.QueueInput({EventOfType(kMouseEvent)});
  EXPECT_FAILS(console_.SetConsoleActiveScreenBuffer(page), kErrorInvalidParameter);
  EXPECT_EQ(console_.ActiveBufferHandle(), out_);
  EXPECT_EQ(Pending(), 1u);
  EXPECT_FAILS(console_.CloseHandle(page), kErrorInvalidParameter);
  Dword written = 77;
  EXPECT_FAILS(console_.FillConsoleOutputCharacterA(page, 'x', 10, Coord{0, 0}, &written),
               kErrorInvalidParameter);
  EXPECT_EQ(written, 77u);
  EXPECT_EQ(console_.ReadCells(page), std::vector<CharInfo>(80 * 25, kBlank));
}

TEST_F(EmulatedBuffers, NewBufferGeometryAppliesToBuffersCreatedFromNowOn) {
  Handle before = NewBuffer();
  // Refused: no size below 1x1, no window outside its size, no window without a size.
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{0, 10}, std::nullopt));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, -3}, std::nullopt));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{0, 0, 10, 9}));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{-1, 0, 5, 5}));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{5, 0, 4, 5}));
  EXPECT_FALSE(console_.SetNewBufferGeometry(std::nullopt, SmallRect{0, 0, 9, 9}));
  EXPECT_EQ(Info(NewBuffer()).dwSize, (Coord{80, 25}));

  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{100, 200}, SmallRect{10, 20, 69, 39}));
  for (int i = 0; i < 2; ++i) {
    Handle page = NewBuffer();
    EXPECT_EQ(Info(page).dwSize, (Coord{100, 200}));
    EXPECT_EQ(Window(page), (SmallRect{10, 20, 69, 39}));
    EXPECT_EQ(console_.ReadCells(page).size(), 100u * 200u);
  }
  EXPECT_EQ(Info(before).dwSize, (Coord{80, 25}));
  // Without a window: one of the shown window's size, cut to the buffer, at the origin.
  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{80, 300}, std::nullopt));
  EXPECT_EQ(Window(NewBuffer()), (SmallRect{0, 0, 79, 24}));
  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{30, 10}, std::nullopt));
  EXPECT_EQ(Window(NewBuffer()), (SmallRect{0, 0, 29, 9}));
  ASSERT_TRUE(console_.SetNewBufferGeometry(std::nullopt, std::nullopt));
  EXPECT_EQ(Info(NewBuffer()).dwSize, (Coord{80, 25}));
  EXPECT_EQ(Window(NewBuffer()), (SmallRect{0, 0, 79, 24}));
}

}  // namespace
}  // namespace kelvane::platform
