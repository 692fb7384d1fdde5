// The emulated console's test controls (injected failures, geometry) and the rest of the system the
// library uses: standard handles, handle values, the system directory, the local time and AppActivate.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>

#include "platform/emulated/support.hpp"

namespace kelvane::platform {
namespace {

using namespace std::string_literals;
using namespace testing;

class EmulatedSystem : public EmulatedConsoleTest {};

TEST_F(EmulatedSystem, FailCallFailsTheNthCallWithTheGivenErrorAndNoEffect) {
  console_.FailCall(Op::SetConsoleTextAttribute, 2, kErrorNotEnoughMemory);
  EXPECT_NE(console_.SetConsoleTextAttribute(out_, 0x1E), 0);
  EXPECT_FAILS(console_.SetConsoleTextAttribute(out_, 0x4F), kErrorNotEnoughMemory);
  EXPECT_EQ(console_.BufferInfo(out_)->wAttributes, 0x1E);
  EXPECT_NE(console_.SetConsoleTextAttribute(out_, 0x2F), 0);
  // A call returning a handle gives -1; `every` fails each call from the n-th on until cleared.
  console_.FailCall(Op::CreateConsoleScreenBuffer, 2, kErrorAccessDenied, true);
  EXPECT_GT(NewBuffer(), 0);
  for (int i = 0; i < 2; ++i) EXPECT_FAILS(NewBuffer() != kInvalidHandle, kErrorAccessDenied);
  console_.ClearFailures();
  EXPECT_GT(NewBuffer(), 0);
  // Failures pending together each count the same calls; the first injected gives the error.
  console_.FailCall(Op::FillConsoleOutputCharacterA, 3, kErrorAccessDenied);
  console_.FailCall(Op::FillConsoleOutputCharacterA, 1, kErrorNotEnoughMemory);
  console_.FailCall(Op::FillConsoleOutputCharacterA, 1, kErrorInvalidFunction);
  Dword written = 77;
  EXPECT_FAILS(console_.FillConsoleOutputCharacterA(out_, 'x', 10, Coord{0, 0}, &written),
               kErrorNotEnoughMemory);
  EXPECT_EQ(written, 77u);
  EXPECT_EQ(console_.ReadCells(out_).at(0).Char, ' ');
  EXPECT_NE(console_.FillConsoleOutputCharacterA(out_, 'x', 10, Coord{0, 0}, &written), 0);
  EXPECT_FAILS(console_.FillConsoleOutputCharacterA(out_, 'x', 10, Coord{0, 0}, &written),
               kErrorAccessDenied);
  EXPECT_NE(console_.FillConsoleOutputCharacterA(out_, 'x', 10, Coord{0, 0}, &written), 0);
}

TEST_F(EmulatedSystem, GeometryControlsRefuseWindowsOutsideTheirBuffer) {
  for (SmallRect window : {SmallRect{0, 0, 100, 10}, SmallRect{0, 0, 10, 50}, SmallRect{-1, 0, 10, 10},
                           SmallRect{0, -1, 10, 10}, SmallRect{10, 0, 9, 10}, SmallRect{0, 10, 10, 9}}) {
    EXPECT_FALSE(console_.SetBufferGeometry(out_, Coord{100, 50}, window));
  }
  for (Coord bad : {Coord{0, 10}, Coord{10, 0}, Coord{SHRT_MIN, SHRT_MIN}})
    EXPECT_FALSE(console_.SetBufferGeometry(out_, bad, SmallRect{0, 0, 0, 0}));
  EXPECT_FALSE(console_.SetBufferGeometry(0, Coord{10, 10}, SmallRect{0, 0, 9, 9}));
  EXPECT_EQ(console_.BufferInfo(out_)->dwSize, (Coord{80, 25}));
  EXPECT_TRUE(console_.SetBufferGeometry(out_, Coord{100, 50}, SmallRect{99, 49, 99, 49}));
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{100, 50}, SmallRect{0, 0, 99, 49}));

  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{0, 10}, std::nullopt));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{0, 0, 10, 9}));
  EXPECT_FALSE(console_.SetNewBufferGeometry(Coord{10, 10}, SmallRect{5, 0, 4, 5}));
  EXPECT_FALSE(console_.SetNewBufferGeometry(std::nullopt, SmallRect{0, 0, 9, 9}));
  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{100, 200}, SmallRect{10, 20, 69, 39}));
  ScreenBufferInfo info = console_.BufferInfo(NewBuffer()).value();
  EXPECT_EQ(info.dwSize, (Coord{100, 200}));
  EXPECT_EQ(info.srWindow, (SmallRect{10, 20, 69, 39}));
  // Without a window: one of the shown window's size, cut to the buffer, at the origin.
  ASSERT_TRUE(console_.SetNewBufferGeometry(Coord{30, 10}, std::nullopt));
  EXPECT_EQ(console_.BufferInfo(NewBuffer())->srWindow, (SmallRect{0, 0, 29, 9}));
  ASSERT_TRUE(console_.SetNewBufferGeometry(std::nullopt, std::nullopt));
  EXPECT_EQ(console_.BufferInfo(NewBuffer())->srWindow, (SmallRect{0, 0, 99, 49}));
}

TEST_F(EmulatedSystem, StandardHandlesAndHandleValues) {
  EmulatedConsole fresh;
  EXPECT_EQ(fresh.GetStdHandle(kStdOutputHandle), 0);  // none before the first console
  for (Dword id : {Dword{0}, Dword{1}, static_cast<Dword>(-9), static_cast<Dword>(-13)}) {
    EXPECT_FAILS(console_.GetStdHandle(id) != kInvalidHandle, kErrorInvalidHandle);
  }
  std::set<Handle> seen{Handle{0}, kInvalidHandle, in_, out_, console_.GetStdHandle(kStdErrorHandle)};
  EXPECT_EQ(seen.size(), 5u);
  for (int i = 0; i < 20; ++i) {
    const Handle page = NewBuffer();
    EXPECT_TRUE(seen.insert(page).second) << page;
    ASSERT_NE(console_.CloseHandle(page), 0);
  }
  int asked = 0;
  fresh.SetConsoleSizeProvider([&asked] { return ++asked, Coord{30, 7}; });
  ASSERT_NE(fresh.AllocConsole(), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(fresh.BufferInfo(fresh.GetStdHandle(kStdOutputHandle))->dwSize, (Coord{30, 7}));
}

TEST_F(EmulatedSystem, SystemDirectoryLocalTimeAndAppActivate) {
  console_.SetSystemDirectory("/opt/k");
  // Too small: the size needed, terminator included, and nothing written.
  for (auto [size, returned] : {std::pair{16u, 6u}, {7u, 6u}, {6u, 7u}, {0u, 7u}}) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(console_.GetSystemDirectoryA(buffer, size), returned) << size;
    EXPECT_EQ(std::string(buffer, 8), returned == 6 ? "/opt/k\0#"s : "########") << size;
  }
  EXPECT_EQ(console_.GetSystemDirectoryA(nullptr, 100), 7u);
  char folder[4096];
  EmulatedConsole fresh;
  ASSERT_LT(fresh.GetSystemDirectoryA(folder, sizeof folder), sizeof folder);
  EXPECT_NE(std::string(folder).find("kelvane"), std::string::npos);

  const SystemTime fixed{1999, 12, 5, 31, 23, 59, 58, 999};
  console_.SetLocalTime(fixed);
  SystemTime got = console_.GetLocalTime();
  EXPECT_EQ(std::memcmp(&got, &fixed, sizeof got), 0);
  console_.SetLocalTime(std::nullopt);
  got = console_.GetLocalTime();
  EXPECT_GE(got.wYear, 2024);
  EXPECT_TRUE(got.wMonth >= 1 && got.wMonth <= 12 && got.wDay >= 1 && got.wDay <= 31 && got.wDayOfWeek <= 6);
  EXPECT_TRUE(got.wHour <= 23 && got.wMinute <= 59 && got.wSecond <= 60 && got.wMilliseconds <= 999);

  // The console's own window is the only one: its title matches whole or by its beginning.
  ASSERT_NE(console_.SetConsoleTitleA("Kelvane Demo"), 0);
  for (const char* title : {"Kelvane Demo", "K"}) EXPECT_NE(console_.AppActivate(title), 0) << title;
  for (const char* other : {"Demo", "Kelvane Demo 2", "elvane", ""})
    EXPECT_EQ(console_.AppActivate(other), 0);
  // Keys sent after a refused activation go to the window in front, not to the console.
  console_.SendKeys("a%~", true);
  EXPECT_EQ(console_.PendingInput(), 0u);
  EXPECT_FALSE(console_.FullScreen());
  ASSERT_NE(console_.AppActivate("K"), 0);
  console_.SendKeys("a%~", true);
  EXPECT_EQ(console_.PendingInput(), 2u);
  EXPECT_TRUE(console_.FullScreen());
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(console_.AppActivate("Kelvane"), 0);
}

}  // namespace
}  // namespace kelvane::platform
