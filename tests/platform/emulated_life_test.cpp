// The console's life (AllocConsole, FreeConsole, the standard handles) and the rest of the system the
// library uses: the system directory, the local time, AppActivate and SendKeys.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/emulated/keyboard.hpp"
#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using testing::EmulatedConsoleTest;

class EmulatedLifeAlloc : public EmulatedConsoleTest {};
class EmulatedLifeFree : public EmulatedConsoleTest {};
class EmulatedLifeStdHandles : public EmulatedConsoleTest {};
class EmulatedLifeSystem : public EmulatedConsoleTest {};
class EmulatedLifeAppActivate : public EmulatedConsoleTest {};
class EmulatedLifeSendKeys : public EmulatedConsoleTest {};

// Every kind of call on a handle that should be dead.
void ExpectDeadOutput(EmulatedConsole& console, Handle handle) {
  Dword n = 0;
  EXPECT_EQ(console.WriteConsoleA(handle, "x", 1, &n), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
  ScreenBufferInfo info;
  EXPECT_EQ(console.GetConsoleScreenBufferInfo(handle, &info), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
  Dword mode = 0;
  EXPECT_EQ(console.GetConsoleMode(handle, &mode), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(console.SetConsoleCursorPosition(handle, Coord{0, 0}), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
}

void ExpectDeadInput(EmulatedConsole& console, Handle handle) {
  InputRecord record;
  Dword n = 0;
  EXPECT_EQ(console.ReadConsoleInputA(handle, &record, 1, &n), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
  char text[4];
  EXPECT_EQ(console.ReadConsoleA(handle, text, 4, &n), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(console.GetNumberOfConsoleInputEvents(handle, &n), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
  Dword mode = 0;
  EXPECT_EQ(console.GetConsoleMode(handle, &mode), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
}

// --- AllocConsole ---

TEST_F(EmulatedLifeAlloc, AL1_SecondAllocationIsRefused) {
  Handle err = console_.GetStdHandle(kStdErrorHandle);
  EXPECT_EQ(console_.AllocConsole(), 0);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_TRUE(console_.IsAllocated());
  EXPECT_EQ(console_.GetStdHandle(kStdInputHandle), in_);
  EXPECT_EQ(console_.GetStdHandle(kStdOutputHandle), out_);
  EXPECT_EQ(console_.GetStdHandle(kStdErrorHandle), err);
}

TEST_F(EmulatedLifeAlloc, AL2_StandardHandlesReachTheNewConsole) {
  Handle err = console_.GetStdHandle(kStdErrorHandle);
  EXPECT_GT(in_, 0);
  EXPECT_GT(out_, 0);
  EXPECT_GT(err, 0);
  EXPECT_NE(out_, err);
  Dword count = 0;
  EXPECT_NE(console_.GetNumberOfConsoleInputEvents(in_, &count), 0);
  Write(err, "via stderr");
  EXPECT_EQ(Chars(0, 0, 10), "via stderr");
  EXPECT_EQ(Cursor(), (Coord{10, 0}));
  Handle active = console_.ActiveBufferHandle();
  EXPECT_TRUE(active == out_ || active == err);
}

TEST_F(EmulatedLifeAlloc, AL3_NewConsoleDefaults) {
  ScreenBufferInfo info{};
  ASSERT_NE(console_.GetConsoleScreenBufferInfo(out_, &info), 0);
  EXPECT_EQ(info.dwSize, (Coord{80, 25}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 79, 24}));
  EXPECT_EQ(info.dwCursorPosition, (Coord{0, 0}));
  EXPECT_EQ(info.wAttributes, 0x07);
  CursorInfo cursor{};
  ASSERT_NE(console_.GetConsoleCursorInfo(out_, &cursor), 0);
  EXPECT_EQ(cursor.dwSize, 25u);
  EXPECT_EQ(cursor.bVisible, 1);
  Dword mode = 0;
  ASSERT_NE(console_.GetConsoleMode(in_, &mode), 0);
  EXPECT_EQ(mode, 0x1F7u);
  ASSERT_NE(console_.GetConsoleMode(out_, &mode), 0);
  EXPECT_EQ(mode, 3u);
  for (const CharInfo& cell : console_.ReadCells(out_)) ASSERT_EQ(cell, (CharInfo{' ', 0x07}));
  EXPECT_FALSE(console_.Title().empty());
  EXPECT_FALSE(console_.FullScreen());
  EXPECT_EQ(console_.PendingInput(), 0u);
}

TEST(EmulatedLifeSize, AL3_ConfiguredSizeAndProvider) {
  EmulatedConsole console;
  console.SetConsoleSize(100, 40);
  ASSERT_NE(console.AllocConsole(), 0);
  auto info = console.BufferInfo(console.GetStdHandle(kStdOutputHandle));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->dwSize, (Coord{100, 40}));
  EXPECT_EQ(info->srWindow, (SmallRect{0, 0, 99, 39}));
  ASSERT_NE(console.FreeConsole(), 0);

  int asked = 0;
  console.SetConsoleSizeProvider([&asked] {
    ++asked;
    return Coord{0, -5};  // nonsense is raised to one cell
  });
  ASSERT_NE(console.AllocConsole(), 0);
  EXPECT_EQ(asked, 1);
  info = console.BufferInfo(console.GetStdHandle(kStdOutputHandle));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->dwSize, (Coord{1, 1}));
  Dword written = 0;
  EXPECT_NE(console.WriteConsoleA(console.GetStdHandle(kStdOutputHandle), "abc\n\t\b", 6, &written), 0);
}

TEST(EmulatedLifeNoConsole, StandardHandlesAreNullBeforeTheFirstConsole) {
  EmulatedConsole console;
  EXPECT_EQ(console.GetStdHandle(kStdInputHandle), 0);
  EXPECT_EQ(console.GetStdHandle(kStdOutputHandle), 0);
  EXPECT_EQ(console.GetStdHandle(kStdErrorHandle), 0);
  EXPECT_FALSE(console.IsAllocated());
  ExpectDeadOutput(console, 0);
  EXPECT_EQ(console.SetConsoleTitleA("x"), 0);
  EXPECT_EQ(console.GetLastError(), kErrorInvalidHandle);
  console.EndOfCall();
}

// --- FreeConsole ---

TEST_F(EmulatedLifeFree, AL4_AlwaysSucceeds) {
  EXPECT_NE(console_.FreeConsole(), 0);
  EXPECT_FALSE(console_.IsAllocated());
  EXPECT_NE(console_.FreeConsole(), 0);
}

TEST_F(EmulatedLifeFree, AL4_StandardHandleValuesStayButAreDead) {
  Handle err = console_.GetStdHandle(kStdErrorHandle);
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(console_.GetStdHandle(kStdInputHandle), in_);
  EXPECT_EQ(console_.GetStdHandle(kStdOutputHandle), out_);
  EXPECT_EQ(console_.GetStdHandle(kStdErrorHandle), err);
  ExpectDeadOutput(console_, out_);
  ExpectDeadOutput(console_, err);
  ExpectDeadInput(console_, in_);
  EXPECT_EQ(console_.ActiveBufferHandle(), 0);
}

TEST_F(EmulatedLifeFree, AL4_BuffersTheConsoleCreatedDieToo) {
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  ASSERT_NE(console_.FreeConsole(), 0);
  ExpectDeadOutput(console_, other);
  EXPECT_EQ(console_.CloseHandle(other), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
}

TEST_F(EmulatedLifeFree, AL5_NoConsoleNoTitleNoBuffers) {
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer),
            kInvalidHandle);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.SetConsoleTitleA("t"), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  char buffer[8] = "#######";
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "#######");
}

TEST_F(EmulatedLifeFree, NewConsoleAfterFreeStartsFresh) {
  Handle err = console_.GetStdHandle(kStdErrorHandle);
  Write("old text");
  ASSERT_NE(console_.SetConsoleTitleA("old title"), 0);
  console_.QueueText("old keys");
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  ASSERT_NE(console_.FreeConsole(), 0);
  ASSERT_NE(console_.AllocConsole(), 0);

  Handle new_in = console_.GetStdHandle(kStdInputHandle);
  Handle new_out = console_.GetStdHandle(kStdOutputHandle);
  Handle new_err = console_.GetStdHandle(kStdErrorHandle);
  for (Handle old : {in_, out_, err}) {
    EXPECT_NE(new_in, old);
    EXPECT_NE(new_out, old);
    EXPECT_NE(new_err, old);
  }
  ExpectDeadOutput(console_, out_);
  ExpectDeadInput(console_, in_);
  EXPECT_EQ(console_.PendingInput(), 0u);
  EXPECT_NE(console_.Title(), "old title");
  Dword mode = 0;
  ASSERT_NE(console_.GetConsoleMode(new_in, &mode), 0);
  EXPECT_EQ(mode, 0x1F7u);
  EXPECT_EQ(console_.ReadCells(new_out).at(0), (CharInfo{' ', 0x07}));
}

// --- the standard handles ---

TEST_F(EmulatedLifeStdHandles, AL6_BadIdIsRefused) {
  for (Dword id : {Dword{0}, Dword{1}, static_cast<Dword>(-9), static_cast<Dword>(-13), Dword{0xFFFFFFFF}}) {
    EXPECT_EQ(console_.GetStdHandle(id), kInvalidHandle) << id;
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
  }
}

TEST_F(EmulatedLifeStdHandles, AL6_ClosedOutputHandleStaysInTheTable) {
  Handle err = console_.GetStdHandle(kStdErrorHandle);
  ASSERT_NE(console_.CloseHandle(out_), 0);
  EXPECT_EQ(console_.GetStdHandle(kStdOutputHandle), out_);
  ExpectDeadOutput(console_, out_);
  EXPECT_EQ(console_.CloseHandle(out_), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  // The other handle of the same buffer still works.
  Write(err, "still here");
  EXPECT_EQ(Chars(0, 0, 10, err), "still here");
  EXPECT_EQ(console_.ActiveBufferHandle(), err);
}

TEST_F(EmulatedLifeStdHandles, AL6_ClosedInputHandleStaysInTheTable) {
  ASSERT_NE(console_.CloseHandle(in_), 0);
  EXPECT_EQ(console_.GetStdHandle(kStdInputHandle), in_);
  ExpectDeadInput(console_, in_);
}

TEST_F(EmulatedLifeStdHandles, CloseHandleOfUnknownValues) {
  for (Handle bad : {Handle{0}, kInvalidHandle, Handle{3}, Handle{0x7FFFFFFF}}) {
    EXPECT_EQ(console_.CloseHandle(bad), 0) << bad;
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
  }
}

// --- the rest of the system ---

TEST_F(EmulatedLifeSystem, SystemDirectoryLengths) {
  console_.SetSystemDirectory("/opt/k");
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetSystemDirectoryA(buffer, sizeof buffer), 6u);
  EXPECT_EQ(std::string(buffer, 8), std::string("/opt/k\0#", 8));
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetSystemDirectoryA(buffer, 7), 6u);
  EXPECT_EQ(std::string(buffer, 8), std::string("/opt/k\0#", 8));
  // Too small: the size needed, terminator included, and nothing written.
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(console_.GetSystemDirectoryA(buffer, 6), 7u);
  EXPECT_EQ(console_.GetSystemDirectoryA(buffer, 1), 7u);
  EXPECT_EQ(console_.GetSystemDirectoryA(buffer, 0), 7u);
  EXPECT_EQ(std::string(buffer, 8), "########");
  EXPECT_EQ(console_.GetSystemDirectoryA(nullptr, 0), 7u);
  EXPECT_EQ(console_.GetSystemDirectoryA(nullptr, 100), 7u);
}

TEST_F(EmulatedLifeSystem, SystemDirectoryDefaultIsTheDataFolder) {
  EmulatedConsole fresh;
  char buffer[4096];
  Dword length = fresh.GetSystemDirectoryA(buffer, sizeof buffer);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof buffer);
  EXPECT_EQ(std::strlen(buffer), length);
  EXPECT_NE(std::string(buffer).find("kelvane"), std::string::npos);
}

TEST_F(EmulatedLifeSystem, FixedLocalTime) {
  SystemTime fixed;
  fixed.wYear = 1999;
  fixed.wMonth = 12;
  fixed.wDayOfWeek = 5;
  fixed.wDay = 31;
  fixed.wHour = 23;
  fixed.wMinute = 59;
  fixed.wSecond = 58;
  fixed.wMilliseconds = 999;
  console_.SetLocalTime(fixed);
  SystemTime got = console_.GetLocalTime();
  EXPECT_EQ(got.wYear, 1999);
  EXPECT_EQ(got.wMonth, 12);
  EXPECT_EQ(got.wDayOfWeek, 5);
  EXPECT_EQ(got.wDay, 31);
  EXPECT_EQ(got.wHour, 23);
  EXPECT_EQ(got.wMinute, 59);
  EXPECT_EQ(got.wSecond, 58);
  EXPECT_EQ(got.wMilliseconds, 999);
  EXPECT_EQ(console_.GetLocalTime().wSecond, 58);  // the clock does not move
}

TEST_F(EmulatedLifeSystem, RealLocalTimeIsAValidDate) {
  console_.SetLocalTime(std::nullopt);
  SystemTime now = console_.GetLocalTime();
  EXPECT_GE(now.wYear, 2024);
  EXPECT_GE(now.wMonth, 1);
  EXPECT_LE(now.wMonth, 12);
  EXPECT_GE(now.wDay, 1);
  EXPECT_LE(now.wDay, 31);
  EXPECT_LE(now.wDayOfWeek, 6);
  EXPECT_LE(now.wHour, 23);
  EXPECT_LE(now.wMinute, 59);
  EXPECT_LE(now.wSecond, 60);
  EXPECT_LE(now.wMilliseconds, 999);
}

TEST_F(EmulatedLifeAppActivate, MatchesTheWholeTitleOrItsBeginning) {
  ASSERT_NE(console_.SetConsoleTitleA("Kelvane Demo"), 0);
  EXPECT_NE(console_.AppActivate("Kelvane Demo"), 0);
  EXPECT_NE(console_.AppActivate("Kelvane"), 0);
  EXPECT_NE(console_.AppActivate("K"), 0);
}

TEST_F(EmulatedLifeAppActivate, OtherTitlesDoNotMatch) {
  ASSERT_NE(console_.SetConsoleTitleA("Kelvane Demo"), 0);
  for (const char* other : {"Demo", "Kelvane Demo 2", "Kelvane  Demo", "elvane", ""}) {
    EXPECT_EQ(console_.AppActivate(other), 0) << other;
  }
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(console_.AppActivate("Kelvane"), 0);
}

TEST_F(EmulatedLifeSendKeys, AltEnterTogglesFullScreenAndIsNotInput) {
  console_.SendKeys("%~", true);
  EXPECT_TRUE(console_.FullScreen());
  EXPECT_TRUE(console_.View().full_screen);
  EXPECT_TRUE(console_.PeekChanges().display_mode);
  EXPECT_EQ(console_.PendingInput(), 0u);
  console_.SendKeys("%{ENTER}", false);
  EXPECT_FALSE(console_.FullScreen());
  EXPECT_EQ(console_.PendingInput(), 0u);
}

TEST_F(EmulatedLifeSendKeys, OtherKeysAreQueued) {
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  console_.SendKeys("a+b~", true);
  std::vector<InputRecord> expected;
  for (const KeyStroke& stroke :
       {KeyStroke{'A', 'a', 0}, KeyStroke{'B', 'B', kShiftPressed}, KeyStroke{kVkReturn, '\r', 0}}) {
    for (const InputRecord& r : KeystrokeRecords(stroke)) expected.push_back(r);
  }
  std::vector<InputRecord> got(16);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), 16, &count), 0);
  got.resize(count);
  EXPECT_EQ(got, expected);
  EXPECT_FALSE(console_.FullScreen());
}

TEST_F(EmulatedLifeSendKeys, KeysAroundAltEnterAreStillQueued) {
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  console_.SendKeys("x%~y", true);
  EXPECT_TRUE(console_.FullScreen());
  char text[8];
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleA(in_, text, 8, &got), 0);
  EXPECT_EQ(std::string(text, got), "xy");
}

TEST_F(EmulatedLifeSendKeys, NoConsoleNoKeys) {
  ASSERT_NE(console_.FreeConsole(), 0);
  console_.SendKeys("abc%~", true);
  EXPECT_FALSE(console_.FullScreen());
  EXPECT_EQ(console_.PendingInput(), 0u);
}

}  // namespace
}  // namespace kelvane::platform
