// Two threads sharing one console, as two threads of a process share the real one. They take turns, one
// operation a turn, each operation on one thread and then on the other, through relaxed atomics, which
// order nothing for the thread sanitizer (the tsan preset): only the console's lock orders one thread's
// operation before the other's, so the sanitizer reports any operation that touches the console's state
// without it, whatever the machine's timing. A getter follows its setter, so a read without the lock
// meets the other thread's write. Each turn is awaited for seconds at most.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform {
namespace {

struct Scratch {  // what each thread passes and has written back
  std::vector<CharInfo> cells = std::vector<CharInfo>(400, CharInfo{'a', 0x1F});
  SmallRect region{0, 0, 39, 9};
  Dword n = 0;
  CursorInfo shape{50, 1};
  ScreenBufferInfo info{};
  InputRecord records[4];
  char text[64] = {};
};

TEST(EmulatedThreads, EveryOperationTakesTurnsWithItselfOnAnotherThread) {
  EmulatedConsole console;
  console.SetConsoleSize(40, 10);
  ASSERT_NE(console.AllocConsole(), 0);
  const Handle in = console.GetStdHandle(kStdInputHandle), out = console.GetStdHandle(kStdOutputHandle);
  console.EndInput();  // reads take what is queued, or fail at once
  const Coord size{40, 10}, origin{0, 0};
  const std::function<void(Scratch&)> operations[] = {
      [&](Scratch& s) { console.WriteConsoleOutputA(out, s.cells.data(), size, origin, &s.region); },
      [&](Scratch& s) { console.ReadConsoleOutputA(out, s.cells.data(), size, origin, &s.region); },
      [&](Scratch& s) {
        console.FillConsoleOutputCharacterA(out, 'f', 50, Coord{5, 2}, &s.n);
      },
      [&](Scratch& s) {
        console.FillConsoleOutputAttribute(out, 0x4E, 50, Coord{5, 2}, &s.n);
      },
      [&](Scratch& s) { console.WriteConsoleA(out, "text\n", 5, &s.n); },
      [&](Scratch&) { console.SetConsoleTextAttribute(out, 0x2F); },
      [&](Scratch&) {
        console.SetConsoleCursorPosition(out, Coord{3, 4});
      },
      [&](Scratch& s) { console.GetConsoleScreenBufferInfo(out, &s.info); },
      [&](Scratch& s) { console.SetConsoleCursorInfo(out, &s.shape); },
      [&](Scratch& s) { console.GetConsoleCursorInfo(out, &s.shape); },
      [&](Scratch&) { console.SetConsoleMode(out, 1); },
      [&](Scratch& s) { console.GetConsoleMode(out, &s.n); },
      [&](Scratch&) { console.SetConsoleMode(in, kEnableWindowInput); },
      [&](Scratch& s) { console.GetConsoleMode(in, &s.n); },
      [&](Scratch&) { console.SetConsoleTitleA("title"); },
      [&](Scratch& s) { console.GetConsoleTitleA(s.text, sizeof s.text); },
      [&](Scratch&) { console.SendKeys("ab", true); },
      [&](Scratch& s) { console.GetNumberOfConsoleInputEvents(in, &s.n); },
      [&](Scratch& s) { console.ReadConsoleInputA(in, s.records, 2, &s.n); },
      [&](Scratch& s) { console.ReadConsoleA(in, s.text, 4, &s.n); },
      [&](Scratch&) { console.FlushConsoleInputBuffer(in); },
      [&](Scratch&) { console.EndInput(); },
      [&](Scratch&) {
        const Handle page =
            console.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
        console.SetConsoleActiveScreenBuffer(page);
        console.SetConsoleActiveScreenBuffer(out);
        console.CloseHandle(page);
      },
      [&](Scratch&) { console.AppActivate("x"); },
      [&](Scratch&) { console.GetStdHandle(kStdOutputHandle); },
      [&](Scratch&) { console.EndOfCall(); },
  };
  const int turns = 2 * 2 * static_cast<int>(std::size(operations));  // two rounds
  std::atomic<int> turn = 0;
  const auto play = [&](int first) {
    Scratch scratch;
    for (int t = first; t < turns; t += 2) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (turn.load(std::memory_order_relaxed) < t) {
        if (std::chrono::steady_clock::now() > deadline) return;
        std::this_thread::yield();
      }
      operations[static_cast<size_t>(t / 2) % std::size(operations)](scratch);
      turn.store(t + 1, std::memory_order_relaxed);
    }
  };
  std::thread other(play, 1);
  play(0);
  other.join();
  EXPECT_EQ(turn.load(), turns);
}

}  // namespace
}  // namespace kelvane::platform
