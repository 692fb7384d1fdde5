// A fresh emulated console for each test, and helpers that read a page back as literal text.
#pragma once

#include <gtest/gtest.h>
#include <kelvane/console.hpp>

#include <string>
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
inline constexpr Long kBlack = 0x000000;
inline constexpr Long kDarkBlue = 0x800000;
inline constexpr Long kDarkGreen = 0x008000;
inline constexpr Long kDarkRed = 0x000080;
inline constexpr Long kLightGrey = 0xC0C0C0;
inline constexpr Long kRed = 0x0000FF;
inline constexpr Long kYellow = 0x00FFFF;
inline constexpr Long kWhite = 0xFFFFFF;

inline std::string Repeat(const std::string& text, int times) {
  std::string all;
  while (times-- > 0) all += text;
  return all;
}

inline KSConsoleLineStyles Style(int value) { return static_cast<KSConsoleLineStyles>(value); }

// The error a call raises; fails the test when it raises none.
template <class F>
Error ErrorOf(F&& call) {
  try {
    call();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error was raised";
  return Error(0, "", "");
}

// The help file every numbered error names: in the system directory the fixture gives the console.
std::string ExpectedHelpFile();

// Number, source and description as given; the help file and context every numbered error carries.
inline void ExpectError(const Error& e, Long number, const std::string& source, const std::string& text) {
  EXPECT_EQ(e.Number(), number);
  EXPECT_EQ(e.Source(), source);
  EXPECT_EQ(e.Description(), text);
  EXPECT_EQ(e.HelpFile(), ExpectedHelpFile());
  EXPECT_EQ(e.HelpContext(), 1000);
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
  // Rows of a buffer's window as text (code page 437 glyphs, UTF-8) from `first` for `count` rows.
  Rows Text(Handle buffer, int first = 0, int count = -1) const;
  // The same rows as attributes: two hex digits a cell (background, foreground).
  Rows Attributes(Handle buffer, int first = 0, int count = -1) const;
  // One cell of a buffer (buffer coordinates).
  platform::CharInfo Cell(Handle buffer, int x, int y) const;
  Coord CursorOf(Handle buffer) const;
  platform::Word CurrentAttribute(Handle buffer) const;
  // Puts a character and an attribute into a cell behind the library's back.
  void Poke(Handle buffer, Coord at, char character, platform::Word attribute);
  // Letters over the buffer's whole window, light grey on black: row r holds the alphabet from its
  // (r+1)-th letter, so that a character kept from the wrong cell shows.
  void PaintPattern(Handle buffer);
  void ExpectScreen(Handle buffer, const Rows& text, const Rows& attributes) const {
    EXPECT_EQ(Text(buffer), text);
    EXPECT_EQ(Attributes(buffer), attributes);
  }

  EmulatedConsole emulated_;
};

// A loaded console.
class LoadedTest : public ConsoleTest {
 protected:
  explicit LoadedTest(short columns = 80, short rows = 25) : ConsoleTest(columns, rows) { console_.Load(); }
  Console console_;
};

// A loaded 20 x 5 console cleared white on dark blue, for the text and cell tests.
class SmallConsoleTest : public LoadedTest {
 protected:
  inline static const std::string kBlankRow = std::string(20, ' ');
  inline static const std::string kWhiteOnDarkBlueRow = "1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F";

  SmallConsoleTest() : LoadedTest(20, 5) { console_.ClearScreen(kWhite, kDarkBlue); }
  // Nothing written since the fixture cleared it.
  void ExpectBlankPage(Handle buffer) const {
    ExpectScreen(buffer, Rows(5, kBlankRow), Rows(5, kWhiteOnDarkBlueRow));
  }
};

}  // namespace kelvane::testing
