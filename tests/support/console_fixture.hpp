// A fresh emulated console for each test, and helpers that read a page back as literal text.
#pragma once

#include <gtest/gtest.h>
#include <kelvane/console.hpp>

#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::testing {

using KelvaneConsole::Console;
using KelvaneConsole::Integer;
using KelvaneConsole::Long;
using KelvaneConsole::Missing;
using KelvaneConsole::String;
using KelvaneConsole::Variant;
using platform::EmulatedConsole;
using platform::Handle;
using platform::Op;

// Colours by name, as RGB values.
inline constexpr Long kBlack = 0x000000;
inline constexpr Long kDarkBlue = 0x800000;
inline constexpr Long kDarkGreen = 0x008000;
inline constexpr Long kDarkRed = 0x000080;
inline constexpr Long kLightGrey = 0xC0C0C0;
inline constexpr Long kDarkGrey = 0x808080;
inline constexpr Long kBlue = 0xFF0000;
inline constexpr Long kRed = 0x0000FF;
inline constexpr Long kYellow = 0x00FFFF;
inline constexpr Long kWhite = 0xFFFFFF;

// The error a call raises; fails the test when it raises none.
template <class F>
KelvaneConsole::Error ErrorOf(F&& call) {
  try {
    call();
  } catch (const KelvaneConsole::Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error was raised";
  return KelvaneConsole::Error(0, "", "");
}

// Number, source and description as given; the help file and context every numbered error carries.
inline void ExpectError(const KelvaneConsole::Error& e, KelvaneConsole::Long number,
                        const std::string& source, const std::string& description) {
  EXPECT_EQ(e.Number(), number);
  EXPECT_EQ(e.Source(), source);
  EXPECT_EQ(e.Description(), description);
  EXPECT_TRUE(e.HelpFile().ends_with("KelvaneSG3.chm")) << e.HelpFile();
  EXPECT_EQ(e.HelpContext(), 1000);
}

class ConsoleTest : public ::testing::Test {
 protected:
  // A console of `columns` x `rows`, installed as the process's platform for the test.
  explicit ConsoleTest(short columns = 80, short rows = 25);
  ~ConsoleTest() override;

  // The buffer shown now.
  Handle Shown() const { return emulated_.ActiveBufferHandle(); }
  // The buffer of a page, found through the buffers the console knows (the page must exist).
  Handle PageBuffer(Console& console, Integer page);

  // Rows of a buffer's window as text (code page 437 glyphs, UTF-8) from `first` for `count` rows.
  std::vector<std::string> Text(Handle buffer, int first = 0, int count = -1) const;
  // The same rows as attributes: two hex digits a cell (background, foreground).
  std::vector<std::string> Attributes(Handle buffer, int first = 0, int count = -1) const;
  // One cell of a buffer (absolute coordinates).
  platform::CharInfo Cell(Handle buffer, int x, int y) const;

  EmulatedConsole emulated_;
};

using Rows = std::vector<std::string>;

// A loaded 20 x 5 console cleared white on dark blue, for the text and cell tests.
class SmallConsoleTest : public ConsoleTest {
 protected:
  inline static const std::string kBlankRow = std::string(20, ' ');
  inline static const std::string kWhiteOnDarkBlueRow = "1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F1F";

  SmallConsoleTest() : ConsoleTest(20, 5) {
    console_.Load();
    console_.ClearScreen(kWhite, kDarkBlue);
  }

  platform::Coord CursorOf(Handle buffer) const { return emulated_.BufferInfo(buffer)->dwCursorPosition; }
  platform::Word CurrentAttribute(Handle buffer) const { return emulated_.BufferInfo(buffer)->wAttributes; }
  // Nothing written since the fixture cleared it.
  void ExpectBlankPage(Handle buffer) const {
    EXPECT_EQ(Text(buffer), Rows(5, kBlankRow));
    EXPECT_EQ(Attributes(buffer), Rows(5, kWhiteOnDarkBlueRow));
  }

  Console console_;
};

}  // namespace kelvane::testing
