// A loaded console for the drawing tests, a patterned screen to draw over, and error capture.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_fixture.hpp"

namespace kelvane::testing {

using KelvaneConsole::Error;
using KelvaneConsole::KSConsoleLineStyles;
using platform::CharInfo;
using platform::Coord;
using platform::SmallRect;
using platform::Word;

inline KSConsoleLineStyles Style(int value) { return static_cast<KSConsoleLineStyles>(value); }

class DrawingTest : public ConsoleTest {
 protected:
  explicit DrawingTest(short columns = 80, short rows = 25) : ConsoleTest(columns, rows) { console_.Load(); }

  // Writes letters over a buffer's whole window, straight through the emulated console: row r holds the
  // alphabet from its (r+1)-th letter, so that every row and column differs from its neighbours and a
  // character kept from the wrong cell shows. The attribute is light grey on black.
  void PaintPattern(Handle buffer) {
    auto info = emulated_.BufferInfo(buffer);
    ASSERT_TRUE(info);
    const SmallRect& w = info->srWindow;
    const int width = w.Right - w.Left + 1;
    for (int r = 0; r <= w.Bottom - w.Top; ++r) {
      std::vector<CharInfo> cells;
      for (int c = 0; c < width; ++c) {
        cells.push_back(CharInfo{static_cast<Word>('a' + (r + c) % 26), 0x07});
      }
      const auto y = static_cast<short>(w.Top + r);
      SmallRect region{w.Left, y, w.Right, y};
      ASSERT_TRUE(emulated_.WriteConsoleOutputA(buffer, cells.data(), Coord{static_cast<short>(width), 1},
                                                Coord{0, 0}, &region));
    }
  }

  void ExpectScreen(Handle buffer, const std::vector<std::string>& text,
                    const std::vector<std::string>& attributes) {
    EXPECT_EQ(Text(buffer), text);
    EXPECT_EQ(Attributes(buffer), attributes);
  }

  Console console_;
};

}  // namespace kelvane::testing
