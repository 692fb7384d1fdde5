#include "support/console_fixture.hpp"

#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace kelvane::testing {

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

Handle ConsoleTest::PageBuffer(Console& console, Integer page) {
  // Show the page for a moment to learn its buffer, then put the previous page back.
  Integer previous = console.Page();
  console.Page(page);
  Handle handle = emulated_.ActiveBufferHandle();
  console.Page(previous);
  return handle;
}

std::vector<std::string> ConsoleTest::Text(Handle buffer, int first, int count) const {
  auto info = emulated_.BufferInfo(buffer);
  if (!info) return {};
  auto cells = emulated_.ReadCells(buffer);
  const auto& w = info->srWindow;
  int rows = count < 0 ? w.Bottom - w.Top + 1 - first : count;
  std::vector<std::string> lines;
  for (int r = 0; r < rows; ++r) {
    std::string line;
    int y = w.Top + first + r;
    for (int x = w.Left; x <= w.Right; ++x) {
      auto byte = static_cast<unsigned char>(cells[static_cast<size_t>(y) * info->dwSize.X + x].Char & 0xFF);
      line += platform::EncodeUtf8(platform::Cp437Glyph(byte));
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ConsoleTest::Attributes(Handle buffer, int first, int count) const {
  auto info = emulated_.BufferInfo(buffer);
  if (!info) return {};
  auto cells = emulated_.ReadCells(buffer);
  const auto& w = info->srWindow;
  int rows = count < 0 ? w.Bottom - w.Top + 1 - first : count;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::vector<std::string> lines;
  for (int r = 0; r < rows; ++r) {
    std::string line;
    int y = w.Top + first + r;
    for (int x = w.Left; x <= w.Right; ++x) {
      auto attribute = cells[static_cast<size_t>(y) * info->dwSize.X + x].Attributes;
      line += kHex[(attribute >> 4) & 15];
      line += kHex[attribute & 15];
    }
    lines.push_back(line);
  }
  return lines;
}

platform::CharInfo ConsoleTest::Cell(Handle buffer, int x, int y) const {
  auto info = emulated_.BufferInfo(buffer);
  auto cells = emulated_.ReadCells(buffer);
  return cells.at(static_cast<size_t>(y) * info->dwSize.X + x);
}

}  // namespace kelvane::testing
