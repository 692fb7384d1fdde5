// A console allocated for each test, with short ways to set its geometry, read cells back and check
// failures, for the emulated console's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/keyboard.hpp"
#include "support/callback_presenter.hpp"

namespace kelvane::platform {

// Readable failure messages for the API's structures.
inline void PrintTo(const Coord& c, std::ostream* os) { *os << '(' << c.X << ',' << c.Y << ')'; }
inline void PrintTo(const SmallRect& r, std::ostream* os) {
  *os << '(' << r.Left << ',' << r.Top << ',' << r.Right << ',' << r.Bottom << ')';
}
inline void PrintTo(const CharInfo& c, std::ostream* os) {
  *os << "{0x" << std::hex << c.Char << ",0x" << c.Attributes << std::dec << '}';
}

namespace testing {

inline constexpr Dword kReadWrite = kGenericRead | kGenericWrite;
inline constexpr Dword kShareBoth = kFileShareRead | kFileShareWrite;
inline constexpr Dword kErrorInvalidAccess = 998;
inline constexpr CharInfo kBlank{' ', 0x07};
inline constexpr CharInfo kUntouched{0xEEEE, 0xEEEE};  // what no console cell can hold

// Distinct cells (up to 32768 of them) that a buffer stores unchanged and that differ from any blank
// cell: cell i holds character i mod 256 and attribute 0x80 | i / 256.
inline std::vector<CharInfo> Numbered(int count) {
  std::vector<CharInfo> cells(static_cast<size_t>(std::max(count, 0)));
  for (size_t i = 0; i < cells.size(); ++i)
    cells[i] = CharInfo{static_cast<Word>(i % 256), static_cast<Word>(0x80 | i / 256)};
  return cells;
}

// Expects `call` to fail with `error`. The error is cleared first, so a value left by an earlier call
// cannot pass for it.
#define EXPECT_FAILS(call, error)                         \
  do {                                                    \
    ClearError();                                         \
    EXPECT_EQ((call), 0) << #call;                        \
    EXPECT_EQ(console_.GetLastError(), (error)) << #call; \
  } while (0)

class EmulatedConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(console_.AllocConsole(), 0);
    in_ = console_.GetStdHandle(kStdInputHandle);
    out_ = console_.GetStdHandle(kStdOutputHandle);
  }

  // A buffer of `columns` x `rows` whose window shows all of it.
  void UseBuffer(Short columns, Short rows) { UseBuffer(out_, columns, rows); }
  void UseBuffer(Handle buffer, Short columns, Short rows) {
    UseBuffer(buffer, Coord{columns, rows},
              SmallRect{0, 0, static_cast<Short>(columns - 1), static_cast<Short>(rows - 1)});
  }
  void UseBuffer(Coord size, SmallRect window) { UseBuffer(out_, size, window); }
  void UseBuffer(Handle buffer, Coord size, SmallRect window) {
    ASSERT_TRUE(console_.SetBufferGeometry(buffer, size, window));
  }
  Handle NewBuffer(Dword access = kReadWrite) {
    return console_.CreateConsoleScreenBuffer(access, kShareBoth, kConsoleTextmodeBuffer);
  }

  Bool Write(std::string_view text) { return Write(out_, text); }
  Bool Write(Handle buffer, std::string_view text) {
    Dword written = 0xDEAD;
    Bool ok = console_.WriteConsoleA(buffer, text.data(), static_cast<Dword>(text.size()), &written);
    EXPECT_TRUE(!ok || written == text.size()) << written;  // every byte counts
    return ok;
  }

  void MoveCursor(Short x, Short y) { ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{x, y}), 0); }
  void SetMode(Dword mode) { ASSERT_NE(console_.SetConsoleMode(out_, mode), 0); }
  void SetAttribute(Word attribute) { ASSERT_NE(console_.SetConsoleTextAttribute(out_, attribute), 0); }

  ScreenBufferInfo Info(Handle buffer = 0) const {
    return console_.BufferInfo(buffer ? buffer : out_).value();
  }
  Coord Cursor(Handle buffer = 0) const { return Info(buffer).dwCursorPosition; }
  SmallRect Window(Handle buffer = 0) const { return Info(buffer).srWindow; }
  CursorInfo Shape(Handle buffer = 0) const {
    return console_.BufferCursorInfo(buffer ? buffer : out_).value();
  }
  Dword Mode(Handle handle) {
    Dword mode = 0xDEAD;
    EXPECT_NE(console_.GetConsoleMode(handle, &mode), 0);
    return mode;
  }
  Dword Pending() {
    Dword count = 0xDEAD;
    EXPECT_NE(console_.GetNumberOfConsoleInputEvents(in_, &count), 0);
    return count;
  }

  CharInfo Cell(Short x, Short y, Handle buffer = 0) const {
    Handle h = buffer ? buffer : out_;
    return console_.ReadCells(h).at(static_cast<size_t>(y) * Info(h).dwSize.X + x);
  }
  // The character bytes of `count` cells from (x, y), row-major.
  std::string Chars(Short x, Short y, int count, Handle buffer = 0) const {
    Handle h = buffer ? buffer : out_;
    std::vector<CharInfo> cells = console_.ReadCells(h);
    size_t first = static_cast<size_t>(y) * Info(h).dwSize.X + x;
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>(cells.at(first + i).Char & 0xFF);
    return text;
  }
  std::string Row(Short y, Handle buffer = 0) const {
    return Chars(0, y, Info(buffer ? buffer : out_).dwSize.X, buffer);
  }

  Dword LastError() { return console_.GetLastError(); }
  // The interface has no SetLastError: an injected failure of GetLocalTime, which has no other
  // effect, stands in for it.
  void ClearError() {
    console_.FailCall(Op::GetLocalTime, 1, 0);
    console_.GetLocalTime();
  }

  EmulatedConsole console_;
  Handle in_ = 0;
  Handle out_ = 0;
};

// A key record as a US keyboard sends it.
inline InputRecord Down(Word vk, Word ch, Dword state = 0) {
  InputRecord r;
  r.KeyEvent = KeyEventRecord{1, 1, vk, ScanCode(vk), ch, state};
  return r;
}
inline InputRecord Up(Word vk, Word ch, Dword state = 0) {
  InputRecord r = Down(vk, ch, state);
  r.KeyEvent.bKeyDown = 0;
  return r;
}
inline InputRecord EventOfType(Word type) {
  InputRecord r;
  r.EventType = type;
  return r;
}

}  // namespace testing
}  // namespace kelvane::platform
