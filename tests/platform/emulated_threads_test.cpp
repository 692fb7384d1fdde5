// Two threads sharing one console, as two threads of a process share the real one: every operation
// is whole, never interleaved with another.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform {
namespace {

TEST(EmulatedThreads, RectangleWritesAreNeverTorn) {
  EmulatedConsole console;
  console.SetConsoleSize(40, 10);
  ASSERT_NE(console.AllocConsole(), 0);
  Handle out = console.GetStdHandle(kStdOutputHandle);
  constexpr int kRounds = 2000;
  auto writer = [&](char ch, Word attribute) {
    std::vector<CharInfo> cells(40 * 10, CharInfo{static_cast<Word>(ch), attribute});
    for (int i = 0; i < kRounds; ++i) {
      SmallRect region{0, 0, 39, 9};
      console.WriteConsoleOutputA(out, cells.data(), Coord{40, 10}, Coord{0, 0}, &region);
    }
  };
  bool torn = false;
  auto reader = [&] {
    std::vector<CharInfo> cells(40 * 10);
    for (int i = 0; i < kRounds; ++i) {
      SmallRect region{0, 0, 39, 9};
      console.ReadConsoleOutputA(out, cells.data(), Coord{40, 10}, Coord{0, 0}, &region);
      for (const auto& cell : cells) torn = torn || cell != cells[0];
    }
  };
  std::thread a(writer, 'a', 0x1F);
  std::thread b(writer, 'b', 0x4E);
  std::thread r(reader);
  a.join();
  b.join();
  r.join();
  EXPECT_FALSE(torn);
}

TEST(EmulatedThreads, ABlockedReadWakesForKeysFromAnotherThread) {
  EmulatedConsole console;
  ASSERT_NE(console.AllocConsole(), 0);
  Handle in = console.GetStdHandle(kStdInputHandle);
  ASSERT_NE(console.SetConsoleMode(in, kEnableWindowInput), 0);
  char buffer[8] = {};
  Dword read = 0;
  Bool ok = 0;
  std::thread reader([&] { ok = console.ReadConsoleA(in, buffer, sizeof buffer, &read); });
  console.QueueText("x");
  reader.join();
  EXPECT_NE(ok, 0);
  ASSERT_EQ(read, 1u);
  EXPECT_EQ(buffer[0], 'x');
}

TEST(EmulatedThreads, EndOfInputEndsABlockedRead) {
  EmulatedConsole console;
  ASSERT_NE(console.AllocConsole(), 0);
  Handle in = console.GetStdHandle(kStdInputHandle);
  InputRecord record;
  Dword read = 7;
  Bool ok = 1;
  Dword error = 0;
  std::thread reader([&] {
    ok = console.ReadConsoleInputA(in, &record, 1, &read);
    error = console.GetLastError();
  });
  console.EndInput();
  reader.join();
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(error, kErrorHandleEof);
}

}  // namespace
}  // namespace kelvane::platform
