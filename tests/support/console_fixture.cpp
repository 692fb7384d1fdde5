#include "support/console_fixture.hpp"

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

namespace {

// Rows of a buffer's window, each cell turned into text by `render`.
template <class Render>
Rows WindowRows(const EmulatedConsole& emulated, Handle buffer, int first, int count, Render render) {
  auto info = emulated.BufferInfo(buffer);
  if (!info) return {};
  auto cells = emulated.ReadCells(buffer);
  const auto& w = info->srWindow;
  Rows lines(static_cast<size_t>(count < 0 ? w.Bottom - w.Top + 1 - first : count));
  for (size_t r = 0; r < lines.size(); ++r) {
    for (int x = w.Left; x <= w.Right; ++x)
      lines[r] +=
          render(cells[static_cast<size_t>(w.Top + first + static_cast<int>(r)) * info->dwSize.X + x]);
  }
  return lines;
}

}  // namespace

Rows ConsoleTest::Text(Handle buffer, int first, int count) const {
  return WindowRows(emulated_, buffer, first, count, [](const platform::CharInfo& cell) {
    return platform::EncodeUtf8(platform::Cp437Glyph(static_cast<unsigned char>(cell.Char & 0xFF)));
  });
}

Rows ConsoleTest::Attributes(Handle buffer, int first, int count) const {
  return WindowRows(emulated_, buffer, first, count, [](const platform::CharInfo& cell) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string{kHex[(cell.Attributes >> 4) & 15], kHex[cell.Attributes & 15]};
  });
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
