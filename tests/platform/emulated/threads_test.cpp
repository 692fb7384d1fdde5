// Two threads sharing one console, as two threads of a process share the real one. Every kind of
// operation runs on both at once, so the thread sanitizer (the tsan preset) reports any operation that
// touches the console's state without its lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/emulated/support.hpp"

namespace kelvane::platform {
namespace {

using namespace testing;

TEST(EmulatedThreads, EveryKindOfOperationFromTwoThreadsAtOnce) {
  EmulatedConsole console;
  console.SetConsoleSize(40, 10);
  ASSERT_NE(console.AllocConsole(), 0);
  const Handle in = console.GetStdHandle(kStdInputHandle), out = console.GetStdHandle(kStdOutputHandle);
  console.EndInput();  // reads take what is queued, or fail at once
  auto session = [&](char ch, Word attribute) {
    const std::vector<CharInfo> block(40 * 10, CharInfo{static_cast<Word>(ch), attribute});
    std::vector<CharInfo> back(40 * 10);
    const std::string text(30, ch);
    for (int round = 0; round < 300; ++round) {
      SmallRect region{0, 0, 39, 9};
      console.WriteConsoleOutputA(out, block.data(), Coord{40, 10}, Coord{0, 0}, &region);
      region = SmallRect{0, 0, 39, 9};
      console.ReadConsoleOutputA(out, back.data(), Coord{40, 10}, Coord{0, 0}, &region);
      Dword n = 0;
      console.FillConsoleOutputCharacterA(out, ch, 50, Coord{5, 2}, &n);
      console.FillConsoleOutputAttribute(out, attribute, 50, Coord{5, 2}, &n);
      console.WriteConsoleA(out, text.data(), static_cast<Dword>(text.size()), &n);
      console.SetConsoleTextAttribute(out, attribute);
      console.SetConsoleCursorPosition(out,
                                       Coord{static_cast<Short>(round % 40), static_cast<Short>(round % 10)});
      CursorInfo shape{static_cast<Dword>(1 + round % 100), round % 2};
      console.SetConsoleCursorInfo(out, &shape);
      console.GetConsoleCursorInfo(out, &shape);
      ScreenBufferInfo info;
      console.GetConsoleScreenBufferInfo(out, &info);
      console.SetConsoleMode(out, round % 4);
      console.GetConsoleMode(out, &n);
      console.SetConsoleMode(in, kEnableWindowInput);
      console.SetConsoleTitleA(text.c_str());
      char title[64];
      console.GetConsoleTitleA(title, sizeof title);
      console.SendKeys("ab", true);
      console.GetNumberOfConsoleInputEvents(in, &n);
      InputRecord records[4];
      console.ReadConsoleInputA(in, records, 4, &n);
      char keys[4];
      console.ReadConsoleA(in, keys, 4, &n);
      console.FlushConsoleInputBuffer(in);
      const Handle page =
          console.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
      console.SetConsoleActiveScreenBuffer(page);
      console.SetConsoleActiveScreenBuffer(out);
      console.CloseHandle(page);
      console.AppActivate("x");
      console.GetStdHandle(kStdOutputHandle);
      console.EndOfCall();
    }
  };
  std::thread a(session, 'a', 0x1F);
  std::thread b(session, 'b', 0x4E);
  a.join();
  b.join();
  EXPECT_EQ(console.PendingInput(), 0u);
}

// The same without depending on the machine's timing: a writer and a reader take turns through relaxed
// atomics, which order nothing for the thread sanitizer, so only the console's lock orders each
// rectangle write before the other thread's read of it. Each turn is awaited for seconds at most.
TEST(EmulatedThreads, OnlyTheLockOrdersAWriteBeforeAnotherThreadsRead) {
  EmulatedConsole console;
  console.SetConsoleSize(40, 10);
  ASSERT_NE(console.AllocConsole(), 0);
  const Handle out = console.GetStdHandle(kStdOutputHandle);
  std::atomic<int> written = 0, read = 0;
  const auto reached = [](const std::atomic<int>& turn, int round) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (turn.load(std::memory_order_relaxed) < round) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::yield();
    }
    return true;
  };
  std::thread writer([&] {
    for (int round = 1; round <= 20; ++round) {
      const std::vector<CharInfo> block(400, CharInfo{static_cast<Word>('a' + round), 0x1F});
      SmallRect region{0, 0, 39, 9};
      console.WriteConsoleOutputA(out, block.data(), Coord{40, 10}, Coord{0, 0}, &region);
      written.store(round, std::memory_order_relaxed);
      if (!reached(read, round)) return;
    }
  });
  std::vector<CharInfo> back(400);
  for (int round = 1; round <= 20 && reached(written, round); ++round) {
    SmallRect region{0, 0, 39, 9};
    console.ReadConsoleOutputA(out, back.data(), Coord{40, 10}, Coord{0, 0}, &region);
    EXPECT_EQ(back[399].Char, 'a' + round);
    read.store(round, std::memory_order_relaxed);
  }
  writer.join();
  EXPECT_EQ(read.load(), 20);
}

}  // namespace
}  // namespace kelvane::platform
