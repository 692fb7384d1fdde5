// A fresh emulated console for each test, and its pages read back as literal text.
#pragma once

#include <gtest/gtest.h>
#include <kelvane/console.hpp>

#include <string>
#include <type_traits>
#include <vector>

#include "core/cell_array.hpp"
#include "platform/emulated/emulated_console.hpp"

namespace kelvane::testing {

using KelvaneConsole::Console;
using KelvaneConsole::Error;
using KelvaneConsole::Integer;
using KelvaneConsole::KSConsoleLineStyles;
using KelvaneConsole::Long;
using KelvaneConsole::Missing;
using KelvaneConsole::String;
using KelvaneConsole::Variant;
using platform::Coord;
using platform::EmulatedConsole;
using platform::Handle;
using platform::Op;
using platform::SmallRect;
using Rows = std::vector<std::string>;

// Colours by name, as RGB values (red in the low byte).
inline constexpr Long kBlack = 0, kDarkBlue = 0x800000, kDarkGreen = 0x008000, kDarkRed = 0x000080,
                      kRed = 0x0000FF, kYellow = 0x00FFFF, kWhite = 0xFFFFFF;

inline std::string Repeat(const std::string& text, int times) {
  std::string all;
  while (times-- > 0) all += text;
  return all;
}

inline KSConsoleLineStyles Style(int value) { return static_cast<KSConsoleLineStyles>(value); }

// The help file every numbered error names: in the system directory the fixture gives the console.
std::string ExpectedHelpFile();

// The error a call raises as "NUMBER SOURCE: TEXT", once its help file and context are checked (every
// numbered error carries the same; the conversion errors 6 and 13 are the automation runtime's, without
// them); otherwise the text the call returns, or "no error".
template <class F>
std::string ErrorOf(F&& call) {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<F>>)
      call();
    else
      return call();
  } catch (const Error& e) {
    if (e.Number() != 6 && e.Number() != 13) {
      EXPECT_EQ(e.HelpFile(), ExpectedHelpFile());
      EXPECT_EQ(e.HelpContext(), 1000);
    }
    return std::to_string(e.Number()) + " " + e.Source() + ": " + e.Description();
  }
  return "no error";
}

// Memory for cell arrays of more than `cells` cells cannot be had while this lives.
class CellArrayLimit {
 public:
  explicit CellArrayLimit(size_t cells) { KelvaneConsole::LimitCellArraysForTesting(cells); }
  ~CellArrayLimit() { KelvaneConsole::LimitCellArraysForTesting(SIZE_MAX); }
  CellArrayLimit(const CellArrayLimit&) = delete;
  CellArrayLimit& operator=(const CellArrayLimit&) = delete;
};

class ConsoleTest : public ::testing::Test {
 protected:
  // A console of `columns` x `rows`, installed as the process's platform for the test.
  explicit ConsoleTest(short columns = 80, short rows = 25);
  ~ConsoleTest() override;

  // The shown buffer.
  Handle Shown() const;
  // The buffer of a page (the page must exist), found by showing it for a moment.
  Handle PageBuffer(Console& console, Integer page);
  // Rows of a buffer's window from `first` for `count` rows, each its characters as code page 437
  // glyphs (UTF-8), a space, then a letter a cell for its attribute: '.' light grey on black (07), '#'
  // white on dark blue (1F), 's' the shadow's dark grey on black (08), 'r' yellow on dark red (4E), '?'
  // any other; or, with `hex`, two hex digits a cell for its attribute.
  Rows Screen(Handle buffer, int first = 0, int count = -1, bool hex = false) const;
  // The same rows' text alone, or their attributes alone as two hex digits a cell.
  Rows Text(Handle buffer, int first = 0, int count = -1) const { return Part(buffer, first, count, true); }
  Rows Attributes(Handle buffer, int first = 0, int count = -1) const {
    return Part(buffer, first, count, false);
  }
  void ExpectScreen(Handle buffer, const Rows& text, const Rows& attributes) const {
    EXPECT_EQ(Text(buffer), text);
    EXPECT_EQ(Attributes(buffer), attributes);
  }
  // One cell of a buffer (buffer coordinates).
  platform::CharInfo Cell(Handle buffer, int x, int y) const;
  Coord CursorOf(Handle buffer) const;
  platform::Word CurrentAttribute(Handle buffer) const;
  // False on a real console (the Windows build of these tests), where a test leaves out what only the
  // emulated console gives: operations made to fail, buffers larger than their window, its records.
  bool Emulated() const;
  // The console operations the Console runs on, to read and set behind its back what both kinds of
  // console keep alike (modes, the cursor's shape).
  platform::ConsolePlatform& Platform();
  // Puts a character and an attribute into a cell behind the library's back.
  void Poke(Handle buffer, Coord at, char character, platform::Word attribute);
  // Letters over the buffer's whole window, light grey on black: row r holds the alphabet from its
  // (r+1)-th letter, so that a character kept from the wrong cell shows.
  void PaintPattern(Handle buffer);

  EmulatedConsole emulated_;

 private:
  Rows Part(Handle buffer, int first, int count, bool text) const;
};

// A loaded console.
class LoadedTest : public ConsoleTest {
 protected:
  explicit LoadedTest(short columns = 80, short rows = 25) : ConsoleTest(columns, rows) { console_.Load(); }
  Console console_;
};

// A loaded 20 x 5 console cleared white on dark blue.
class SmallConsoleTest : public LoadedTest {
 protected:
  inline static const std::string kBlankRow = std::string(20, ' ');
  SmallConsoleTest() : LoadedTest(20, 5) { console_.ClearScreen(kWhite, kDarkBlue); }
};

}  // namespace kelvane::testing
