// A console allocated for each test, with short ways to set its geometry and read cells back, for the
// emulated console's tests of text, input, life and change tracking.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform::testing {

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
    ASSERT_TRUE(console_.SetBufferGeometry(
        buffer, Coord{columns, rows},
        SmallRect{0, 0, static_cast<Short>(columns - 1), static_cast<Short>(rows - 1)}));
  }
  void UseBuffer(Coord size, SmallRect window) {
    ASSERT_TRUE(console_.SetBufferGeometry(out_, size, window));
  }

  Bool Write(std::string_view text) { return Write(out_, text); }
  Bool Write(Handle buffer, std::string_view text) {
    Dword written = 0xDEAD;
    Bool ok = console_.WriteConsoleA(buffer, text.data(), static_cast<Dword>(text.size()), &written);
    if (ok) {
      EXPECT_EQ(written, text.size());
    }
    return ok;
  }

  void MoveCursor(Short x, Short y) { ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{x, y}), 0); }
  void SetMode(Dword mode) { ASSERT_NE(console_.SetConsoleMode(out_, mode), 0); }
  void SetAttribute(Word attribute) { ASSERT_NE(console_.SetConsoleTextAttribute(out_, attribute), 0); }

  ScreenBufferInfo Info(Handle buffer = 0) const { return *console_.BufferInfo(buffer ? buffer : out_); }
  Coord Cursor(Handle buffer = 0) const { return Info(buffer).dwCursorPosition; }
  SmallRect Window(Handle buffer = 0) const { return Info(buffer).srWindow; }

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

  EmulatedConsole console_;
  Handle in_ = 0;
  Handle out_ = 0;
};

inline InputRecord KeyDown(Word vk, Word ch, Dword state = 0, Word scan = 0) {
  InputRecord r;
  r.EventType = kKeyEvent;
  r.KeyEvent.bKeyDown = 1;
  r.KeyEvent.wRepeatCount = 1;
  r.KeyEvent.wVirtualKeyCode = vk;
  r.KeyEvent.wVirtualScanCode = scan;
  r.KeyEvent.uChar = ch;
  r.KeyEvent.dwControlKeyState = state;
  return r;
}

inline InputRecord KeyUp(Word vk, Word ch, Dword state = 0, Word scan = 0) {
  InputRecord r = KeyDown(vk, ch, state, scan);
  r.KeyEvent.bKeyDown = 0;
  return r;
}

inline InputRecord MouseEvent() {
  InputRecord r;
  r.EventType = kMouseEvent;
  return r;
}

}  // namespace kelvane::platform::testing
