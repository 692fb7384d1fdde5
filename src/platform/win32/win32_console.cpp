// The console of a Windows process: each operation forwarded to the real console API of the same name.
// The records are copied field by field into the API's own, never cast: the compiler lays out both, and
// the character field of an A-call's cell is a byte whose neighbour is not defined on the way out.
#include <windows.h>

#include <vector>

#include "platform/console_platform.hpp"
#include "platform/keyboard.hpp"

namespace kelvane::platform {

namespace {

// Kernel handles fit in 32 bits on 64-bit Windows, which documents that a handle may be truncated to
// 32 bits and sign-extended back (so INVALID_HANDLE_VALUE stays -1 both ways).
Handle FromHandle(HANDLE handle) {
  return static_cast<Handle>(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle)));
}
HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }

COORD ToCoord(Coord c) { return COORD{c.X, c.Y}; }
Coord FromCoord(COORD c) { return Coord{c.X, c.Y}; }
SMALL_RECT ToRect(const SmallRect& r) { return SMALL_RECT{r.Left, r.Top, r.Right, r.Bottom}; }
SmallRect FromRect(const SMALL_RECT& r) { return SmallRect{r.Left, r.Top, r.Right, r.Bottom}; }

// The number of cells of a buffer of that size; 0 for a size with a negative side.
std::size_t CellCount(Coord size) {
  if (size.X <= 0 || size.Y <= 0) return 0;
  return static_cast<std::size_t>(size.X) * static_cast<std::size_t>(size.Y);
}

InputRecord FromInputRecord(const INPUT_RECORD& in) {
  InputRecord out;
  out.EventType = in.EventType;
  if (in.EventType == KEY_EVENT) {
    const KEY_EVENT_RECORD& key = in.Event.KeyEvent;
    out.KeyEvent.bKeyDown = key.bKeyDown;
    out.KeyEvent.wRepeatCount = key.wRepeatCount;
    out.KeyEvent.wVirtualKeyCode = key.wVirtualKeyCode;
    out.KeyEvent.wVirtualScanCode = key.wVirtualScanCode;
    out.KeyEvent.uChar = static_cast<unsigned char>(key.uChar.AsciiChar);
    out.KeyEvent.dwControlKeyState = key.dwControlKeyState;
  }
  return out;
}

// Looks for a visible top-level window whose title begins with the text.
struct TitleSearch {
  std::string title;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTitlePrefix(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TitleSearch*>(parameter);
  if (!IsWindowVisible(window)) return TRUE;
  std::vector<char> text(search->title.size() + 2, '\0');
  const int n = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  if (n >= 0 && static_cast<std::size_t>(n) >= search->title.size() &&
      std::string(text.data(), search->title.size()) == search->title) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

void AddKey(std::vector<INPUT>& inputs, Word virtual_key, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtual_key;
  input.ki.wScan = ScanCode(virtual_key);
  input.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (IsEnhancedKey(virtual_key) ? KEYEVENTF_EXTENDEDKEY : 0);
  inputs.push_back(input);
}

class Win32Console final : public ConsolePlatform {
 public:
  Bool AllocConsole() override { return ::AllocConsole(); }
  Bool FreeConsole() override { return ::FreeConsole(); }
  Handle GetStdHandle(Dword nStdHandle) override { return FromHandle(::GetStdHandle(nStdHandle)); }
  Bool CloseHandle(Handle handle) override { return ::CloseHandle(ToHandle(handle)); }

  Handle CreateConsoleScreenBuffer(Dword dwDesiredAccess, Dword dwShareMode, Dword dwFlags) override {
    return FromHandle(::CreateConsoleScreenBuffer(dwDesiredAccess, dwShareMode, nullptr, dwFlags, nullptr));
  }
  Bool SetConsoleActiveScreenBuffer(Handle hConsoleOutput) override {
    return ::SetConsoleActiveScreenBuffer(ToHandle(hConsoleOutput));
  }
  Bool GetConsoleScreenBufferInfo(Handle hConsoleOutput, ScreenBufferInfo* info) override {
    CONSOLE_SCREEN_BUFFER_INFO got{};
    if (!::GetConsoleScreenBufferInfo(ToHandle(hConsoleOutput), &got)) return FALSE;
    info->dwSize = FromCoord(got.dwSize);
    info->dwCursorPosition = FromCoord(got.dwCursorPosition);
    info->wAttributes = got.wAttributes;
    info->srWindow = FromRect(got.srWindow);
    info->dwMaximumWindowSize = FromCoord(got.dwMaximumWindowSize);
    return TRUE;
  }

  Bool ReadConsoleOutputA(Handle hConsoleOutput, CharInfo* lpBuffer, Coord dwBufferSize, Coord dwBufferCoord,
                          SmallRect* lpReadRegion) override {
    std::vector<CHAR_INFO> cells(CellCount(dwBufferSize));
    SMALL_RECT region = ToRect(*lpReadRegion);
    const BOOL ok = ::ReadConsoleOutputA(ToHandle(hConsoleOutput), cells.data(), ToCoord(dwBufferSize),
                                         ToCoord(dwBufferCoord), &region);
    *lpReadRegion = FromRect(region);
    if (!ok) return FALSE;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      lpBuffer[i].Char = static_cast<unsigned char>(cells[i].Char.AsciiChar);
      lpBuffer[i].Attributes = cells[i].Attributes;
    }
    return TRUE;
  }
  Bool WriteConsoleOutputA(Handle hConsoleOutput, const CharInfo* lpBuffer, Coord dwBufferSize,
                           Coord dwBufferCoord, SmallRect* lpWriteRegion) override {
    std::vector<CHAR_INFO> cells(CellCount(dwBufferSize));
    for (std::size_t i = 0; i < cells.size(); ++i) {
      cells[i].Char.UnicodeChar = 0;
      cells[i].Char.AsciiChar = static_cast<CHAR>(lpBuffer[i].Char & 0xFF);
      cells[i].Attributes = lpBuffer[i].Attributes;
    }
    SMALL_RECT region = ToRect(*lpWriteRegion);
    const BOOL ok = ::WriteConsoleOutputA(ToHandle(hConsoleOutput), cells.data(), ToCoord(dwBufferSize),
                                          ToCoord(dwBufferCoord), &region);
    *lpWriteRegion = FromRect(region);
    return ok;
  }
  Bool FillConsoleOutputCharacterA(Handle hConsoleOutput, char cCharacter, Dword nLength, Coord dwWriteCoord,
                                   Dword* lpNumberOfCharsWritten) override {
    DWORD written = 0;
    const BOOL ok = ::FillConsoleOutputCharacterA(ToHandle(hConsoleOutput), cCharacter, nLength,
                                                  ToCoord(dwWriteCoord), &written);
    if (lpNumberOfCharsWritten) *lpNumberOfCharsWritten = written;
    return ok;
  }
  Bool FillConsoleOutputAttribute(Handle hConsoleOutput, Word wAttribute, Dword nLength, Coord dwWriteCoord,
                                  Dword* lpNumberOfAttrsWritten) override {
    DWORD written = 0;
    const BOOL ok = ::FillConsoleOutputAttribute(ToHandle(hConsoleOutput), wAttribute, nLength,
                                                 ToCoord(dwWriteCoord), &written);
    if (lpNumberOfAttrsWritten) *lpNumberOfAttrsWritten = written;
    return ok;
  }

  Bool WriteConsoleA(Handle hConsoleOutput, const void* lpBuffer, Dword nNumberOfCharsToWrite,
                     Dword* lpNumberOfCharsWritten) override {
    DWORD written = 0;
    const BOOL ok =
        ::WriteConsoleA(ToHandle(hConsoleOutput), lpBuffer, nNumberOfCharsToWrite, &written, nullptr);
    if (lpNumberOfCharsWritten) *lpNumberOfCharsWritten = written;
    return ok;
  }
  Bool SetConsoleTextAttribute(Handle hConsoleOutput, Word wAttributes) override {
    return ::SetConsoleTextAttribute(ToHandle(hConsoleOutput), wAttributes);
  }
  Bool SetConsoleCursorPosition(Handle hConsoleOutput, Coord dwCursorPosition) override {
    return ::SetConsoleCursorPosition(ToHandle(hConsoleOutput), ToCoord(dwCursorPosition));
  }
  Bool GetConsoleCursorInfo(Handle hConsoleOutput, CursorInfo* lpConsoleCursorInfo) override {
    CONSOLE_CURSOR_INFO got{};
    if (!::GetConsoleCursorInfo(ToHandle(hConsoleOutput), &got)) return FALSE;
    lpConsoleCursorInfo->dwSize = got.dwSize;
    lpConsoleCursorInfo->bVisible = got.bVisible;
    return TRUE;
  }
  Bool SetConsoleCursorInfo(Handle hConsoleOutput, const CursorInfo* lpConsoleCursorInfo) override {
    const CONSOLE_CURSOR_INFO info{lpConsoleCursorInfo->dwSize, lpConsoleCursorInfo->bVisible};
    return ::SetConsoleCursorInfo(ToHandle(hConsoleOutput), &info);
  }
  Bool GetConsoleMode(Handle hConsoleHandle, Dword* lpMode) override {
    DWORD mode = 0;
    const BOOL ok = ::GetConsoleMode(ToHandle(hConsoleHandle), &mode);
    if (ok) *lpMode = mode;
    return ok;
  }
  Bool SetConsoleMode(Handle hConsoleHandle, Dword dwMode) override {
    return ::SetConsoleMode(ToHandle(hConsoleHandle), dwMode);
  }
  Dword GetConsoleTitleA(char* lpConsoleTitle, Dword nSize) override {
    return ::GetConsoleTitleA(lpConsoleTitle, nSize);
  }
  Bool SetConsoleTitleA(const char* lpConsoleTitle) override { return ::SetConsoleTitleA(lpConsoleTitle); }

  Bool ReadConsoleA(Handle hConsoleInput, void* lpBuffer, Dword nNumberOfCharsToRead,
                    Dword* lpNumberOfCharsRead) override {
    DWORD read = 0;
    const BOOL ok = ::ReadConsoleA(ToHandle(hConsoleInput), lpBuffer, nNumberOfCharsToRead, &read, nullptr);
    if (lpNumberOfCharsRead) *lpNumberOfCharsRead = read;
    return ok;
  }
  Bool ReadConsoleInputA(Handle hConsoleInput, InputRecord* lpBuffer, Dword nLength,
                         Dword* lpNumberOfEventsRead) override {
    std::vector<INPUT_RECORD> records(nLength);
    DWORD read = 0;
    const BOOL ok = ::ReadConsoleInputA(ToHandle(hConsoleInput), records.data(), nLength, &read);
    if (ok) {
      for (DWORD i = 0; i < read && i < nLength; ++i) lpBuffer[i] = FromInputRecord(records[i]);
    }
    if (lpNumberOfEventsRead) *lpNumberOfEventsRead = ok ? read : 0;
    return ok;
  }
  Bool GetNumberOfConsoleInputEvents(Handle hConsoleInput, Dword* lpNumberOfEvents) override {
    DWORD count = 0;
    const BOOL ok = ::GetNumberOfConsoleInputEvents(ToHandle(hConsoleInput), &count);
    if (lpNumberOfEvents) *lpNumberOfEvents = count;
    return ok;
  }
  Bool FlushConsoleInputBuffer(Handle hConsoleInput) override {
    return ::FlushConsoleInputBuffer(ToHandle(hConsoleInput));
  }

  Dword GetSystemDirectoryA(char* lpBuffer, Dword uSize) override {
    return ::GetSystemDirectoryA(lpBuffer, uSize);
  }
  SystemTime GetLocalTime() override {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return SystemTime{now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                      now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
  }

  Bool AppActivate(const std::string& title) override {
    HWND window = FindWindowA(nullptr, title.c_str());
    if (window == nullptr) {
      TitleSearch search{title};
      EnumWindows(MatchTitlePrefix, reinterpret_cast<LPARAM>(&search));
      window = search.found;
    }
    if (window == nullptr) return FALSE;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    return SetForegroundWindow(window);
  }

  void SendKeys(const std::string& keys, bool wait) override {
    std::vector<INPUT> inputs;
    for (const KeyStroke& stroke : ParseSendKeys(keys)) {
      const bool shift = (stroke.control_state & kShiftPressed) != 0;
      const bool ctrl = (stroke.control_state & (kLeftCtrlPressed | kRightCtrlPressed)) != 0;
      const bool alt = (stroke.control_state & (kLeftAltPressed | kRightAltPressed)) != 0;
      if (shift) AddKey(inputs, kVkShift, true);
      if (ctrl) AddKey(inputs, kVkControl, true);
      if (alt) AddKey(inputs, kVkMenu, true);
      AddKey(inputs, stroke.virtual_key, true);
      AddKey(inputs, stroke.virtual_key, false);
      if (alt) AddKey(inputs, kVkMenu, false);
      if (ctrl) AddKey(inputs, kVkControl, false);
      if (shift) AddKey(inputs, kVkShift, false);
    }
    if (inputs.empty()) return;
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (!wait) return;
    // The keys go to the foreground window's input queue. A message sent to that window is answered
    // only once its thread reads messages again, which it does after taking the input queued before it.
    // Bounded, so that a window that hangs cannot hang the caller.
    if (HWND foreground = GetForegroundWindow()) {
      SendMessageTimeoutA(foreground, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 2000, nullptr);
    }
  }

  Dword GetLastError() override { return ::GetLastError(); }

  // The console host shows every change itself.
  void EndOfCall() noexcept override {}
};

}  // namespace

ConsolePlatform& SystemPlatform() {
  // Never destroyed: static Console objects may still be released while the process exits.
  static Win32Console* console = new Win32Console();
  return *console;
}

}  // namespace kelvane::platform
