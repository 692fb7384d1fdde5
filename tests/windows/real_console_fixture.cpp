// The behaviour tests' fixture on the real console (Windows, or Wine's console on a tmux pane) in place
// of tests/support/console_fixture.cpp: the Console runs on the system's platform, and the helpers read
// and write the buffers through the console API. The emulated console of the fixture is left unused, so a
// test that injects faults into it or sets its geometry does not hold here (run_wine_tests.sh lists them).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/console_impl.hpp"
#include "platform/codepage.hpp"
#include "support/console_fixture.hpp"

// The entry of SetConsoleActiveScreenBuffer in this program's import table.
extern "C" decltype(&::SetConsoleActiveScreenBuffer) __imp_SetConsoleActiveScreenBuffer;

namespace kelvane::testing {

namespace {

HANDLE Native(Handle handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }

// The buffer the Console last showed. The console API has no call that names the active buffer (under
// Wine, CONOUT$ opens the one the process started with), so this program's import of
// SetConsoleActiveScreenBuffer, through which the system platform calls it, is pointed at NoteShown.
decltype(&::SetConsoleActiveScreenBuffer) g_show = nullptr;
Handle g_shown = 0;

BOOL WINAPI NoteShown(HANDLE buffer) {
  const BOOL ok = g_show(buffer);
  if (ok) g_shown = static_cast<Handle>(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(buffer)));
  return ok;
}

void NoteShownBuffers() {
  if (g_show != nullptr) return;
  DWORD was = 0;
  VirtualProtect(&__imp_SetConsoleActiveScreenBuffer, sizeof(void*), PAGE_READWRITE, &was);
  g_show = std::exchange(__imp_SetConsoleActiveScreenBuffer, &NoteShown);
  VirtualProtect(&__imp_SetConsoleActiveScreenBuffer, sizeof(void*), was, &was);
}

struct Buffer {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  std::vector<CHAR_INFO> cells;
};

Buffer Read(Handle handle) {
  Buffer buffer;
  if (!GetConsoleScreenBufferInfo(Native(handle), &buffer.info)) return buffer;
  const COORD size = buffer.info.dwSize;
  buffer.cells.resize(static_cast<size_t>(size.X) * static_cast<size_t>(size.Y));
  SMALL_RECT all{0, 0, static_cast<SHORT>(size.X - 1), static_cast<SHORT>(size.Y - 1)};
  ReadConsoleOutputA(Native(handle), buffer.cells.data(), size, COORD{0, 0}, &all);
  return buffer;
}

platform::CharInfo Ours(const CHAR_INFO& cell) {
  return platform::CharInfo{static_cast<unsigned char>(cell.Char.AsciiChar), cell.Attributes};
}

template <class Render>
Rows WindowRows(Handle handle, int first, int count, Render render) {
  const Buffer buffer = Read(handle);
  if (buffer.cells.empty()) return {};
  const SMALL_RECT& w = buffer.info.srWindow;
  Rows lines(static_cast<size_t>(count < 0 ? w.Bottom - w.Top + 1 - first : count));
  for (size_t r = 0; r < lines.size(); ++r) {
    for (int x = w.Left; x <= w.Right; ++x)
      lines[r] += render(Ours(
          buffer.cells[static_cast<size_t>(w.Top + first + static_cast<int>(r)) * buffer.info.dwSize.X + x]));
  }
  return lines;
}

std::string Glyph(const platform::CharInfo& cell) {
  return platform::EncodeUtf8(platform::Cp437Glyph(static_cast<unsigned char>(cell.Char & 0xFF)));
}

std::string Hex(const platform::CharInfo& cell) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string{kHex[(cell.Attributes >> 4) & 15], kHex[cell.Attributes & 15]};
}

}  // namespace

std::string ExpectedHelpFile() {
  char directory[MAX_PATH] = {};
  GetSystemDirectoryA(directory, MAX_PATH);
  return std::string(directory) + "\\KelvaneSG3.chm";
}

ConsoleTest::ConsoleTest(short columns, short rows) {
  // The real console has the size of the window (under Wine, of the terminal) it is in. A test that
  // wants another size says which and ends, and its driver runs it again in a window of that size.
  HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const bool fits =
      GetConsoleScreenBufferInfo(out, &info) && info.dwSize.X == columns && info.dwSize.Y == rows;
  CloseHandle(out);
  if (!fits) {
    std::printf("console size needed: %dx%d\n", columns, rows);
    std::fflush(stdout);
    std::_Exit(3);
  }
  NoteShownBuffers();
}

ConsoleTest::~ConsoleTest() { KelvaneConsole::ConsoleGlobals::ConsoleIsLoaded = 0; }

bool ConsoleTest::Emulated() const { return false; }

platform::ConsolePlatform& ConsoleTest::Platform() { return platform::SystemPlatform(); }

Handle ConsoleTest::Shown() const { return g_shown; }

Coord ConsoleTest::CursorOf(Handle buffer) const {
  const Buffer b = Read(buffer);
  return Coord{b.info.dwCursorPosition.X, b.info.dwCursorPosition.Y};
}

platform::Word ConsoleTest::CurrentAttribute(Handle buffer) const { return Read(buffer).info.wAttributes; }

Handle ConsoleTest::PageBuffer(Console& console, Integer page) {
  Integer previous = console.Page();
  console.Page(page);
  Handle handle = Shown();
  console.Page(previous);
  return handle;
}

Rows ConsoleTest::Screen(Handle buffer, int first, int count, bool hex) const {
  static constexpr std::pair<platform::Word, char> kLetters[] = {
      {0x07, '.'}, {0x1F, '#'}, {0x08, 's'}, {0x4E, 'r'}};
  Rows rows = WindowRows(buffer, first, count, Glyph);
  const Rows colours = WindowRows(buffer, first, count, [hex](const platform::CharInfo& cell) {
    if (hex) return Hex(cell);
    for (const auto& [attribute, letter] : kLetters)
      if (cell.Attributes == attribute) return std::string(1, letter);
    return std::string("?");
  });
  for (size_t r = 0; r < rows.size() && r < colours.size(); ++r) rows[r] += " " + colours[r];
  return rows;
}

Rows ConsoleTest::Part(Handle buffer, int first, int count, bool text) const {
  return text ? WindowRows(buffer, first, count, Glyph) : WindowRows(buffer, first, count, Hex);
}

platform::CharInfo ConsoleTest::Cell(Handle buffer, int x, int y) const {
  const Buffer b = Read(buffer);
  return Ours(b.cells.at(static_cast<size_t>(y) * b.info.dwSize.X + x));
}

void ConsoleTest::Poke(Handle buffer, Coord at, char character, platform::Word attribute) {
  DWORD written = 0;
  FillConsoleOutputCharacterA(Native(buffer), character, 1, COORD{at.X, at.Y}, &written);
  FillConsoleOutputAttribute(Native(buffer), attribute, 1, COORD{at.X, at.Y}, &written);
}

void ConsoleTest::PaintPattern(Handle buffer) {
  // One rectangle write: cell by cell, a large window takes Wine's console minutes.
  SMALL_RECT w = Read(buffer).info.srWindow;
  const COORD size{static_cast<SHORT>(w.Right - w.Left + 1), static_cast<SHORT>(w.Bottom - w.Top + 1)};
  std::vector<CHAR_INFO> cells(static_cast<size_t>(size.X) * static_cast<size_t>(size.Y));
  for (size_t i = 0; i < cells.size(); ++i) {
    cells[i].Char.AsciiChar = static_cast<char>('a' + (i / size.X + i % size.X) % 26);
    cells[i].Attributes = 0x07;
  }
  WriteConsoleOutputA(Native(buffer), cells.data(), size, COORD{0, 0}, &w);
}

}  // namespace kelvane::testing
