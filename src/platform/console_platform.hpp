// The console operations the library is built on, named and shaped as the Windows console API names
// them. Windows forwards each one to the real API; POSIX runs them on the emulated console. The Console
// code sees only this interface.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane::platform {

using Handle = std::int32_t;  // 0 is never a valid handle; closed values are not reused
using Bool = std::int32_t;    // nonzero is success, as the API's BOOL
using Dword = std::uint32_t;
using Word = std::uint16_t;
using Short = std::int16_t;

inline constexpr Handle kInvalidHandle = -1;

inline constexpr Dword kStdInputHandle = static_cast<Dword>(-10);
inline constexpr Dword kStdOutputHandle = static_cast<Dword>(-11);
inline constexpr Dword kStdErrorHandle = static_cast<Dword>(-12);

inline constexpr Dword kGenericRead = 0x80000000u;
inline constexpr Dword kGenericWrite = 0x40000000u;
inline constexpr Dword kFileShareRead = 1;
inline constexpr Dword kFileShareWrite = 2;
inline constexpr Dword kConsoleTextmodeBuffer = 1;

// Last-error values the console sets.
inline constexpr Dword kErrorInvalidFunction = 1;
inline constexpr Dword kErrorAccessDenied = 5;
inline constexpr Dword kErrorInvalidHandle = 6;
inline constexpr Dword kErrorNotEnoughMemory = 8;
inline constexpr Dword kErrorHandleEof = 38;  // the source of keys has ended for good
inline constexpr Dword kErrorInvalidParameter = 87;

// Output modes of a screen buffer.
inline constexpr Dword kEnableProcessedOutput = 0x1;
inline constexpr Dword kEnableWrapAtEolOutput = 0x2;
inline constexpr Dword kEnableVirtualTerminalProcessing = 0x4;
inline constexpr Dword kDisableNewlineAutoReturn = 0x8;
inline constexpr Dword kEnableLvbGridWorldwide = 0x10;
// Input modes of the input buffer.
inline constexpr Dword kEnableProcessedInput = 0x1;
inline constexpr Dword kEnableLineInput = 0x2;
inline constexpr Dword kEnableEchoInput = 0x4;
inline constexpr Dword kEnableWindowInput = 0x8;
inline constexpr Dword kEnableMouseInput = 0x10;
inline constexpr Dword kEnableInsertMode = 0x20;
inline constexpr Dword kEnableQuickEditMode = 0x40;
inline constexpr Dword kEnableExtendedFlags = 0x80;
inline constexpr Dword kEnableAutoPosition = 0x100;
inline constexpr Dword kEnableVirtualTerminalInput = 0x200;

struct Coord {
  Short X = 0;
  Short Y = 0;
  friend bool operator==(const Coord&, const Coord&) = default;
};

struct SmallRect {  // bounds inclusive
  Short Left = 0;
  Short Top = 0;
  Short Right = 0;
  Short Bottom = 0;
  friend bool operator==(const SmallRect&, const SmallRect&) = default;
};

struct CharInfo {  // the 4-byte cell: character byte in the low byte of Char, then the attribute
  Word Char = 0;
  Word Attributes = 0;
  friend bool operator==(const CharInfo&, const CharInfo&) = default;
};
static_assert(sizeof(CharInfo) == 4);

struct ScreenBufferInfo {
  Coord dwSize;
  Coord dwCursorPosition;
  Word wAttributes = 0;
  SmallRect srWindow;
  Coord dwMaximumWindowSize;
};

struct CursorInfo {
  Dword dwSize = 0;
  Bool bVisible = 0;
};

inline constexpr Word kKeyEvent = 0x1;
inline constexpr Word kMouseEvent = 0x2;
inline constexpr Word kWindowBufferSizeEvent = 0x4;
inline constexpr Word kMenuEvent = 0x8;
inline constexpr Word kFocusEvent = 0x10;

// Control key state bits of a key event.
inline constexpr Dword kRightAltPressed = 0x01;
inline constexpr Dword kLeftAltPressed = 0x02;
inline constexpr Dword kRightCtrlPressed = 0x04;
inline constexpr Dword kLeftCtrlPressed = 0x08;
inline constexpr Dword kShiftPressed = 0x10;
inline constexpr Dword kNumlockOn = 0x20;
inline constexpr Dword kScrolllockOn = 0x40;
inline constexpr Dword kCapslockOn = 0x80;
inline constexpr Dword kEnhancedKey = 0x100;

struct KeyEventRecord {
  Bool bKeyDown = 0;
  Word wRepeatCount = 1;
  Word wVirtualKeyCode = 0;
  Word wVirtualScanCode = 0;
  Word uChar = 0;  // the character byte in the low byte (high byte 0 after an A read)
  Dword dwControlKeyState = 0;
  friend bool operator==(const KeyEventRecord&, const KeyEventRecord&) = default;
};

struct InputRecord {
  Word EventType = kKeyEvent;
  KeyEventRecord KeyEvent;  // meaningful for key events only; other kinds carry their type alone
  friend bool operator==(const InputRecord&, const InputRecord&) = default;
};

struct SystemTime {
  Word wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
  Word wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};

class ConsolePlatform {
 public:
  virtual ~ConsolePlatform() = default;

  // The console's life and the standard handles.
  virtual Bool AllocConsole() = 0;
  virtual Bool FreeConsole() = 0;
  virtual Handle GetStdHandle(Dword nStdHandle) = 0;
  virtual Bool CloseHandle(Handle handle) = 0;

  // Screen buffers.
  virtual Handle CreateConsoleScreenBuffer(Dword dwDesiredAccess, Dword dwShareMode, Dword dwFlags) = 0;
  virtual Bool SetConsoleActiveScreenBuffer(Handle hConsoleOutput) = 0;
  virtual Bool GetConsoleScreenBufferInfo(Handle hConsoleOutput, ScreenBufferInfo* info) = 0;

  // Cells.
  virtual Bool ReadConsoleOutputA(Handle hConsoleOutput, CharInfo* lpBuffer, Coord dwBufferSize,
                                  Coord dwBufferCoord, SmallRect* lpReadRegion) = 0;
  virtual Bool WriteConsoleOutputA(Handle hConsoleOutput, const CharInfo* lpBuffer, Coord dwBufferSize,
                                   Coord dwBufferCoord, SmallRect* lpWriteRegion) = 0;
  virtual Bool FillConsoleOutputCharacterA(Handle hConsoleOutput, char cCharacter, Dword nLength,
                                           Coord dwWriteCoord, Dword* lpNumberOfCharsWritten) = 0;
  virtual Bool FillConsoleOutputAttribute(Handle hConsoleOutput, Word wAttribute, Dword nLength,
                                          Coord dwWriteCoord, Dword* lpNumberOfAttrsWritten) = 0;

  // Text output, cursor and attributes.
  virtual Bool WriteConsoleA(Handle hConsoleOutput, const void* lpBuffer, Dword nNumberOfCharsToWrite,
                             Dword* lpNumberOfCharsWritten) = 0;
  virtual Bool SetConsoleTextAttribute(Handle hConsoleOutput, Word wAttributes) = 0;
  virtual Bool SetConsoleCursorPosition(Handle hConsoleOutput, Coord dwCursorPosition) = 0;
  virtual Bool GetConsoleCursorInfo(Handle hConsoleOutput, CursorInfo* lpConsoleCursorInfo) = 0;
  virtual Bool SetConsoleCursorInfo(Handle hConsoleOutput, const CursorInfo* lpConsoleCursorInfo) = 0;
  virtual Bool GetConsoleMode(Handle hConsoleHandle, Dword* lpMode) = 0;
  virtual Bool SetConsoleMode(Handle hConsoleHandle, Dword dwMode) = 0;
  virtual Dword GetConsoleTitleA(char* lpConsoleTitle, Dword nSize) = 0;
  virtual Bool SetConsoleTitleA(const char* lpConsoleTitle) = 0;

  // Keyboard input.
  virtual Bool ReadConsoleA(Handle hConsoleInput, void* lpBuffer, Dword nNumberOfCharsToRead,
                            Dword* lpNumberOfCharsRead) = 0;
  virtual Bool ReadConsoleInputA(Handle hConsoleInput, InputRecord* lpBuffer, Dword nLength,
                                 Dword* lpNumberOfEventsRead) = 0;
  virtual Bool GetNumberOfConsoleInputEvents(Handle hConsoleInput, Dword* lpNumberOfEvents) = 0;
  virtual Bool FlushConsoleInputBuffer(Handle hConsoleInput) = 0;

  // The rest of the system the library needs.
  // The system directory (on POSIX the library's installed data folder); its length, 0 on failure.
  virtual Dword GetSystemDirectoryA(char* lpBuffer, Dword uSize) = 0;
  virtual SystemTime GetLocalTime() = 0;
  // Brings to the foreground the window whose title equals `title`, or else one whose title begins
  // with it. False when no window matches.
  virtual Bool AppActivate(const std::string& title) = 0;
  // Sends keystrokes in the SendKeys notation ("%~" is Alt+Enter) to the foreground window and, when
  // `wait` is set, returns only after they have been processed.
  virtual void SendKeys(const std::string& keys, bool wait) = 0;

  virtual Dword GetLastError() = 0;

  // Given by the outermost public call of the library as it returns, and before every wait for a key:
  // the moment to show what changed. A no-op where the console host shows changes itself. Never throws:
  // it runs as a call leaves, exceptions included.
  virtual void EndOfCall() noexcept = 0;
};

// The process's console platform. Tests install their own; otherwise the default of the build platform
// is created on first use.
ConsolePlatform& Platform();
// The system's own console, created on first use and kept for the life of the process: the terminal
// layer's on POSIX, the real console on Windows.
ConsolePlatform& SystemPlatform();
void InstallPlatform(ConsolePlatform* platform);  // nullptr returns to the default

}  // namespace kelvane::platform
