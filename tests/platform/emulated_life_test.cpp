// The console's life (AllocConsole, FreeConsole, the standard handles) and the rest of the system the
// library uses: the system directory, the local time, AppActivate and SendKeys.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace std::string_literals;
using namespace testing;

class EmulatedLife : public EmulatedConsoleTest {
 protected:
  // Every kind of call on a handle that should be dead.
  void ExpectDeadOutput(Handle handle) {
    Dword n = 0;
    ScreenBufferInfo info;
    EXPECT_FAILS(console_.WriteConsoleA(handle, "x", 1, &n), kErrorInvalidHandle);
    EXPECT_FAILS(console_.GetConsoleScreenBufferInfo(handle, &info), kErrorInvalidHandle);
    EXPECT_FAILS(console_.GetConsoleMode(handle, &n), kErrorInvalidHandle);
    EXPECT_FAILS(console_.SetConsoleCursorPosition(handle, Coord{0, 0}), kErrorInvalidHandle);
  }
  void ExpectDeadInput(Handle handle) {
    InputRecord record;
    char text[4];
    Dword n = 0;
    EXPECT_FAILS(console_.ReadConsoleInputA(handle, &record, 1, &n), kErrorInvalidHandle);
    EXPECT_FAILS(console_.ReadConsoleA(handle, text, 4, &n), kErrorInvalidHandle);
    EXPECT_FAILS(console_.GetNumberOfConsoleInputEvents(handle, &n), kErrorInvalidHandle);
    EXPECT_FAILS(console_.GetConsoleMode(handle, &n), kErrorInvalidHandle);
  }
  Handle Err() { return console_.GetStdHandle(kStdErrorHandle); }
};

TEST_F(EmulatedLife, AL1_AL2_AL3_ANewConsoleAndItsStandardHandles) {
  const Handle err = Err();
  EXPECT_TRUE(in_ > 0 && out_ > 0 && err > 0 && out_ != err);
  EXPECT_EQ(Info().dwSize, (Coord{80, 25}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 79, 24}));
  EXPECT_EQ(Cursor(), (Coord{0, 0}));
  EXPECT_EQ(Info().wAttributes, 0x07);
  CursorInfo cursor{};
  ASSERT_NE(console_.GetConsoleCursorInfo(out_, &cursor), 0);
  EXPECT_EQ(cursor.dwSize, 25u);
  EXPECT_EQ(cursor.bVisible, 1);
  EXPECT_EQ(Mode(in_), 0x1F7u);
  EXPECT_EQ(Mode(out_), 3u);
  EXPECT_EQ(console_.ReadCells(out_), std::vector<CharInfo>(80 * 25, kBlank));
  EXPECT_FALSE(console_.Title().empty());
  EXPECT_FALSE(console_.FullScreen());
  EXPECT_EQ(Pending(), 0u);
  // Standard output and standard error reach the same, shown buffer.
  Write(err, "via stderr");
  EXPECT_EQ(Chars(0, 0, 10), "via stderr");
  EXPECT_EQ(Cursor(), (Coord{10, 0}));
  Handle active = console_.ActiveBufferHandle();
  EXPECT_TRUE(active == out_ || active == err);

  EXPECT_FAILS(console_.AllocConsole(), kErrorAccessDenied);
  EXPECT_TRUE(console_.IsAllocated());
  EXPECT_EQ(console_.GetStdHandle(kStdInputHandle), in_);
  EXPECT_EQ(console_.GetStdHandle(kStdOutputHandle), out_);
  EXPECT_EQ(Err(), err);
}

TEST(EmulatedLifeSize, AL3_GI2_GI3_GI4_ConfiguredSizeAndProvider) {
  EmulatedConsole console;
  console.SetConsoleSize(100, 40);
  ASSERT_NE(console.AllocConsole(), 0);
  Handle out = console.GetStdHandle(kStdOutputHandle);
  ASSERT_NE(console.SetConsoleCursorPosition(out, Coord{99, 39}), 0);
  ASSERT_NE(console.SetConsoleTextAttribute(out, 0x9C), 0);
  ScreenBufferInfo info;
  ASSERT_NE(console.GetConsoleScreenBufferInfo(out, &info), 0);
  EXPECT_EQ(info.dwSize, (Coord{100, 40}));
  EXPECT_EQ(info.srWindow, (SmallRect{0, 0, 99, 39}));  // inclusive
  EXPECT_EQ(info.dwCursorPosition, (Coord{99, 39}));
  EXPECT_EQ(info.wAttributes, 0x9C);
  ASSERT_NE(console.FreeConsole(), 0);

  int asked = 0;
  console.SetConsoleSizeProvider([&asked] {
    ++asked;
    return Coord{0, -5};  // nonsense is raised to one cell
  });
  ASSERT_NE(console.AllocConsole(), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(console.BufferInfo(console.GetStdHandle(kStdOutputHandle))->dwSize, (Coord{1, 1}));
  Dword written = 0;
  EXPECT_NE(console.WriteConsoleA(console.GetStdHandle(kStdOutputHandle), "abc\n\t\b", 6, &written), 0);
}

TEST_F(EmulatedLife, AL4_AL5_AfterFreeConsoleTheHandleValuesStayButAreDead) {
  const Handle err = Err();
  const Handle page = NewBuffer();
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_FALSE(console_.IsAllocated());
  EXPECT_NE(console_.FreeConsole(), 0);  // always succeeds
  EXPECT_EQ(console_.GetStdHandle(kStdInputHandle), in_);
  EXPECT_EQ(console_.GetStdHandle(kStdOutputHandle), out_);
  EXPECT_EQ(Err(), err);
  for (Handle dead : {out_, err, page}) ExpectDeadOutput(dead);
  ExpectDeadInput(in_);
  EXPECT_FAILS(console_.CloseHandle(page), kErrorInvalidHandle);
  EXPECT_EQ(console_.ActiveBufferHandle(), 0);
  ClearError();
  EXPECT_EQ(NewBuffer(), kInvalidHandle);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_FAILS(console_.SetConsoleTitleA("t"), kErrorInvalidHandle);
  char buffer[8] = "#######";
  EXPECT_EQ(console_.GetConsoleTitleA(buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "#######");
}

TEST_F(EmulatedLife, NoStandardHandlesBeforeTheFirstConsole) {
  EmulatedConsole console;
  for (Dword id : {kStdInputHandle, kStdOutputHandle, kStdErrorHandle})
    EXPECT_EQ(console.GetStdHandle(id), 0);
  EXPECT_FALSE(console.IsAllocated());
  Dword n = 0;
  ClearError();
  EXPECT_EQ(console.WriteConsoleA(0, "x", 1, &n), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  ClearError();
  EXPECT_EQ(console.SetConsoleTitleA("x"), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  console.EndOfCall();
}

TEST_F(EmulatedLife, ANewConsoleAfterFreeStartsFresh) {
  const Handle err = Err();
  Write("old text");
  ASSERT_NE(console_.SetConsoleTitleA("old title"), 0);
  console_.QueueText("old keys");
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  ASSERT_NE(console_.FreeConsole(), 0);
  ASSERT_NE(console_.AllocConsole(), 0);

  const Handle fresh[] = {console_.GetStdHandle(kStdInputHandle), console_.GetStdHandle(kStdOutputHandle),
                          Err()};
  for (Handle old : {in_, out_, err}) {
    for (Handle now : fresh) EXPECT_NE(now, old);
  }
  ExpectDeadOutput(out_);
  ExpectDeadInput(in_);
  EXPECT_EQ(console_.PendingInput(), 0u);
  EXPECT_NE(console_.Title(), "old title");
  EXPECT_EQ(Mode(fresh[0]), 0x1F7u);
  EXPECT_EQ(console_.ReadCells(fresh[1]).at(0), kBlank);
}

TEST_F(EmulatedLife, AL6_ClosedStandardHandlesStayInTheTable) {
  for (Dword id : {Dword{0}, Dword{1}, static_cast<Dword>(-9), static_cast<Dword>(-13), Dword{0xFFFFFFFF}}) {
    ClearError();
    EXPECT_EQ(console_.GetStdHandle(id), kInvalidHandle) << id;
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
  }
  const Handle err = Err();
  ASSERT_NE(console_.CloseHandle(out_), 0);
  ASSERT_NE(console_.CloseHandle(in_), 0);
  EXPECT_EQ(console_.GetStdHandle(kStdOutputHandle), out_);
  EXPECT_EQ(console_.GetStdHandle(kStdInputHandle), in_);
  ExpectDeadOutput(out_);
  ExpectDeadInput(in_);
  for (Handle bad : {out_, Handle{0}, kInvalidHandle, Handle{3}, Handle{0x7FFFFFFF}}) {
    EXPECT_FAILS(console_.CloseHandle(bad), kErrorInvalidHandle);
  }
  // The other handle of the same buffer still works.
  Write(err, "still here");
  EXPECT_EQ(Chars(0, 0, 10, err), "still here");
  EXPECT_EQ(console_.ActiveBufferHandle(), err);
}

TEST_F(EmulatedLife, SystemDirectoryLengths) {
  console_.SetSystemDirectory("/opt/k");
  // Too small: the size needed, terminator included, and nothing written.
  const std::pair<Dword, Dword> cases[] = {{16, 6}, {7, 6}, {6, 7}, {1, 7}, {0, 7}};
  for (auto [size, returned] : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(console_.GetSystemDirectoryA(buffer, size), returned) << size;
    EXPECT_EQ(std::string(buffer, 8), returned == 6 ? "/opt/k\0#"s : "########") << size;
  }
  EXPECT_EQ(console_.GetSystemDirectoryA(nullptr, 100), 7u);

  EmulatedConsole fresh;
  char buffer[4096];
  Dword length = fresh.GetSystemDirectoryA(buffer, sizeof buffer);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof buffer);
  EXPECT_EQ(std::strlen(buffer), length);
  EXPECT_NE(std::string(buffer).find("kelvane"), std::string::npos);  // the data folder
}

TEST_F(EmulatedLife, LocalTimeFixedOrReal) {
  const SystemTime fixed{1999, 12, 5, 31, 23, 59, 58, 999};
  console_.SetLocalTime(fixed);
  for (int i = 0; i < 2; ++i) {  // the clock does not move
    SystemTime got = console_.GetLocalTime();
    EXPECT_EQ(std::memcmp(&got, &fixed, sizeof got), 0);
  }
  console_.SetLocalTime(std::nullopt);
  SystemTime now = console_.GetLocalTime();
  EXPECT_GE(now.wYear, 2024);
  EXPECT_TRUE(now.wMonth >= 1 && now.wMonth <= 12 && now.wDay >= 1 && now.wDay <= 31 && now.wDayOfWeek <= 6);
  EXPECT_TRUE(now.wHour <= 23 && now.wMinute <= 59 && now.wSecond <= 60 && now.wMilliseconds <= 999);
}

TEST_F(EmulatedLife, AppActivateMatchesTheWholeTitleOrItsBeginning) {
  ASSERT_NE(console_.SetConsoleTitleA("Kelvane Demo"), 0);
  for (const char* title : {"Kelvane Demo", "Kelvane", "K"})
    EXPECT_NE(console_.AppActivate(title), 0) << title;
  for (const char* other : {"Demo", "Kelvane Demo 2", "Kelvane  Demo", "elvane", ""}) {
    EXPECT_EQ(console_.AppActivate(other), 0) << other;
  }
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(console_.AppActivate("Kelvane"), 0);
}

TEST_F(EmulatedLife, SendKeysQueuesKeysButAltEnterTogglesFullScreen) {
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

  console_.SendKeys("x%~y", true);
  EXPECT_TRUE(console_.FullScreen());
  EXPECT_TRUE(console_.View().full_screen);
  EXPECT_TRUE(console_.PendingFrame().display_mode_changed);
  char text[8];
  ASSERT_NE(console_.ReadConsoleA(in_, text, 8, &count), 0);
  EXPECT_EQ(std::string(text, count), "xy");
  EXPECT_EQ(Pending(), 0u);
  console_.SendKeys("%{ENTER}", false);
  EXPECT_FALSE(console_.FullScreen());
  EXPECT_EQ(Pending(), 0u);

  ASSERT_NE(console_.FreeConsole(), 0);
  console_.SendKeys("abc%~", true);
  EXPECT_FALSE(console_.FullScreen());
  EXPECT_EQ(console_.PendingInput(), 0u);
}

}  // namespace
}  // namespace kelvane::platform
