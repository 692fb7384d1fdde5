#include "support/console_fixture.hpp"

#include <utility>

#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace kelvane::testing {

std::string ExpectedHelpFile() { return "/opt/kelvane/share/KelvaneSG3.chm"; }

ConsoleTest::ConsoleTest(short columns, short rows) {
  emulated_.SetConsoleSize(columns, rows);
  emulated_.SetSystemDirectory("/opt/kelvane/share");
  platform::InstallPlatform(&emulated_);
}

ConsoleTest::~ConsoleTest() {
  platform::InstallPlatform(nullptr);
  // A test that left a console loaded must not leak it into the next test on this thread.
  KelvaneConsole::ConsoleGlobals::ConsoleIsLoaded = 0;
}

bool ConsoleTest::Emulated() const { return true; }

platform::ConsolePlatform& ConsoleTest::Platform() { return emulated_; }

Handle ConsoleTest::Shown() const { return emulated_.ActiveBufferHandle(); }

Coord ConsoleTest::CursorOf(Handle buffer) const { return emulated_.BufferInfo(buffer)->dwCursorPosition; }

platform::Word ConsoleTest::CurrentAttribute(Handle buffer) const {
  return emulated_.BufferInfo(buffer)->wAttributes;
}

Handle ConsoleTest::PageBuffer(Console& console, Integer page) {
  Integer previous = console.Page();
  console.Page(page);
  Handle handle = emulated_.ActiveBufferHandle();
  console.Page(previous);
  return handle;
}

Rows ConsoleTest::Screen(Handle buffer, int first, int count, bool hex) const {
  static constexpr std::pair<platform::Word, char> kLetters[] = {
      {0x07, '.'}, {0x1F, '#'}, {0x08, 's'}, {0x4E, 'r'}};
  const auto info = emulated_.BufferInfo(buffer);
  if (!info) return {};
  const auto cells = emulated_.ReadCells(buffer);
  const SmallRect& w = info->srWindow;
  Rows rows(static_cast<size_t>(count < 0 ? w.Bottom - w.Top + 1 - first : count));
  for (size_t r = 0; r < rows.size(); ++r) {
    std::string text, colours;
    for (int x = w.Left; x <= w.Right; ++x) {
      const auto& cell = cells[static_cast<size_t>(w.Top + first + static_cast<int>(r)) * info->dwSize.X + x];
      text += platform::EncodeUtf8(platform::Cp437Glyph(static_cast<unsigned char>(cell.Char & 0xFF)));
      static constexpr char kHex[] = "0123456789ABCDEF";
      colours += hex ? std::string{kHex[(cell.Attributes >> 4) & 15], kHex[cell.Attributes & 15]} : "?";
      for (const auto& [attribute, letter] : kLetters)
        if (!hex && cell.Attributes == attribute) colours.back() = letter;
    }
    rows[r] = text + " " + colours;
  }
  return rows;
}

Rows ConsoleTest::Part(Handle buffer, int first, int count, bool text) const {
  Rows rows = Screen(buffer, first, count, true);
  const SmallRect w = emulated_.BufferInfo(buffer)->srWindow;
  const size_t colours = 2 * static_cast<size_t>(w.Right - w.Left + 1);
  for (std::string& row : rows)
    row = text ? row.substr(0, row.size() - colours - 1) : row.substr(row.size() - colours);
  return rows;
}

platform::CharInfo ConsoleTest::Cell(Handle buffer, int x, int y) const {
  return emulated_.ReadCells(buffer).at(static_cast<size_t>(y) * emulated_.BufferInfo(buffer)->dwSize.X + x);
}

void ConsoleTest::Poke(Handle buffer, Coord at, char character, platform::Word attribute) {
  platform::Dword written = 0;
  emulated_.FillConsoleOutputCharacterA(buffer, character, 1, at, &written);
  emulated_.FillConsoleOutputAttribute(buffer, attribute, 1, at, &written);
}

void ConsoleTest::PaintPattern(Handle buffer) {
  const SmallRect w = emulated_.BufferInfo(buffer)->srWindow;
  for (short y = w.Top; y <= w.Bottom; ++y) {
    for (short x = w.Left; x <= w.Right; ++x)
      Poke(buffer, Coord{x, y}, static_cast<char>('a' + (y - w.Top + x - w.Left) % 26), 0x07);
  }
}

}  // namespace kelvane::testing
