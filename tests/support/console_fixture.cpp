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

namespace {

// Rows of a buffer's window, each cell turned into text by `render`.
template <class Render>
std::vector<std::string> WindowRows(const EmulatedConsole& emulated, Handle buffer, int first, int count,
                                    Render render) {
  auto info = emulated.BufferInfo(buffer);
  if (!info) return {};
  auto cells = emulated.ReadCells(buffer);
  const auto& w = info->srWindow;
  int rows = count < 0 ? w.Bottom - w.Top + 1 - first : count;
  std::vector<std::string> lines;
  for (int r = 0; r < rows; ++r) {
    std::string line;
    int y = w.Top + first + r;
    for (int x = w.Left; x <= w.Right; ++x)
      line += render(cells[static_cast<size_t>(y) * info->dwSize.X + x]);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::vector<std::string> ConsoleTest::Text(Handle buffer, int first, int count) const {
  return WindowRows(emulated_, buffer, first, count, [](const platform::CharInfo& cell) {
    return platform::EncodeUtf8(platform::Cp437Glyph(static_cast<unsigned char>(cell.Char & 0xFF)));
  });
}

std::vector<std::string> ConsoleTest::Attributes(Handle buffer, int first, int count) const {
  return WindowRows(emulated_, buffer, first, count, [](const platform::CharInfo& cell) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string{kHex[(cell.Attributes >> 4) & 15], kHex[cell.Attributes & 15]};
  });
}

platform::CharInfo ConsoleTest::Cell(Handle buffer, int x, int y) const {
  auto info = emulated_.BufferInfo(buffer);
  auto cells = emulated_.ReadCells(buffer);
  return cells.at(static_cast<size_t>(y) * info->dwSize.X + x);
}

}  // namespace kelvane::testing
