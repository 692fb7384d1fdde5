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

namespace kelvane::testing {

namespace {

using platform::Bool;
using platform::Dword;

HANDLE Native(Handle handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }

// The real console, with the buffer it was last told to show noted: the console API has no call that
// names the active buffer (CONOUT$ opens the buffer the process started with, under Wine).
class ShownBufferNoted final : public platform::ConsolePlatform {
 public:
  Handle shown = 0;

  Bool AllocConsole() override { return os().AllocConsole(); }
  Bool FreeConsole() override { return os().FreeConsole(); }
  Handle GetStdHandle(Dword n) override { return os().GetStdHandle(n); }
  Bool CloseHandle(Handle h) override { return os().CloseHandle(h); }
  Handle CreateConsoleScreenBuffer(Dword a, Dword s, Dword f) override {
    return os().CreateConsoleScreenBuffer(a, s, f);
  }
  Bool SetConsoleActiveScreenBuffer(Handle h) override {
    const Bool ok = os().SetConsoleActiveScreenBuffer(h);
    if (ok) shown = h;
    return ok;
  }
  Bool GetConsoleScreenBufferInfo(Handle h, platform::ScreenBufferInfo* i) override {
    return os().GetConsoleScreenBufferInfo(h, i);
  }
  Bool ReadConsoleOutputA(Handle h, platform::CharInfo* b, Coord s, Coord c, SmallRect* r) override {
    return os().ReadConsoleOutputA(h, b, s, c, r);
  }
  Bool WriteConsoleOutputA(Handle h, const platform::CharInfo* b, Coord s, Coord c, SmallRect* r) override {
    return os().WriteConsoleOutputA(h, b, s, c, r);
  }
  Bool FillConsoleOutputCharacterA(Handle h, char c, Dword n, Coord at, Dword* w) override {
    return os().FillConsoleOutputCharacterA(h, c, n, at, w);
  }
  Bool FillConsoleOutputAttribute(Handle h, platform::Word a, Dword n, Coord at, Dword* w) override {
    return os().FillConsoleOutputAttribute(h, a, n, at, w);
  }
  Bool WriteConsoleA(Handle h, const void* b, Dword n, Dword* w) override {
    return os().WriteConsoleA(h, b, n, w);
  }
  Bool SetConsoleTextAttribute(Handle h, platform::Word a) override {
    return os().SetConsoleTextAttribute(h, a);
  }
  Bool SetConsoleCursorPosition(Handle h, Coord c) override { return os().SetConsoleCursorPosition(h, c); }
  Bool GetConsoleCursorInfo(Handle h, platform::CursorInfo* i) override {
    return os().GetConsoleCursorInfo(h, i);
  }
  Bool SetConsoleCursorInfo(Handle h, const platform::CursorInfo* i) override {
    return os().SetConsoleCursorInfo(h, i);
  }
  Bool GetConsoleMode(Handle h, Dword* m) override { return os().GetConsoleMode(h, m); }
  Bool SetConsoleMode(Handle h, Dword m) override { return os().SetConsoleMode(h, m); }
  Dword GetConsoleTitleA(char* t, Dword n) override { return os().GetConsoleTitleA(t, n); }
  Bool SetConsoleTitleA(const char* t) override { return os().SetConsoleTitleA(t); }
  Bool ReadConsoleA(Handle h, void* b, Dword n, Dword* r) override { return os().ReadConsoleA(h, b, n, r); }
  Bool ReadConsoleInputA(Handle h, platform::InputRecord* b, Dword n, Dword* r) override {
    return os().ReadConsoleInputA(h, b, n, r);
  }
  Bool GetNumberOfConsoleInputEvents(Handle h, Dword* n) override {
    return os().GetNumberOfConsoleInputEvents(h, n);
  }
  Bool FlushConsoleInputBuffer(Handle h) override { return os().FlushConsoleInputBuffer(h); }
  Dword GetSystemDirectoryA(char* b, Dword n) override { return os().GetSystemDirectoryA(b, n); }
  platform::SystemTime GetLocalTime() override { return os().GetLocalTime(); }
  Bool AppActivate(const std::string& t) override { return os().AppActivate(t); }
  void SendKeys(const std::string& k, bool w) override { os().SendKeys(k, w); }
  Dword GetLastError() override { return os().GetLastError(); }
  void EndOfCall() noexcept override { os().EndOfCall(); }

 private:
  static platform::ConsolePlatform& os() { return platform::SystemPlatform(); }
};

ShownBufferNoted& Noted() {
  static ShownBufferNoted noted;
  return noted;
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
  platform::InstallPlatform(&Noted());
}

ConsoleTest::~ConsoleTest() {
  platform::InstallPlatform(nullptr);
  KelvaneConsole::ConsoleGlobals::ConsoleIsLoaded = 0;
}

bool ConsoleTest::Emulated() const { return false; }

platform::ConsolePlatform& ConsoleTest::Platform() { return Noted(); }

Handle ConsoleTest::Shown() const { return Noted().shown; }

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

namespace {

std::string Glyph(const platform::CharInfo& cell) {
  return platform::EncodeUtf8(platform::Cp437Glyph(static_cast<unsigned char>(cell.Char & 0xFF)));
}

std::string Hex(const platform::CharInfo& cell) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string{kHex[(cell.Attributes >> 4) & 15], kHex[cell.Attributes & 15]};
}

}  // namespace

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
  const SMALL_RECT w = Read(buffer).info.srWindow;
  const COORD size{static_cast<SHORT>(w.Right - w.Left + 1), static_cast<SHORT>(w.Bottom - w.Top + 1)};
  std::vector<CHAR_INFO> cells(static_cast<size_t>(size.X) * static_cast<size_t>(size.Y));
  for (short y = 0; y < size.Y; ++y) {
    for (short x = 0; x < size.X; ++x) {
      CHAR_INFO& cell = cells[static_cast<size_t>(y) * size.X + x];
      cell.Char.UnicodeChar = 0;
      cell.Char.AsciiChar = static_cast<char>('a' + (y + x) % 26);
      cell.Attributes = 0x07;
    }
  }
  SMALL_RECT region = w;
  WriteConsoleOutputA(Native(buffer), cells.data(), size, COORD{0, 0}, &region);
}

}  // namespace kelvane::testing
