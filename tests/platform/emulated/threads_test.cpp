// Two threads sharing one console, as two threads of a process share the real one. They take turns, one
// operation a turn, each operation on one thread and then on the other, through relaxed atomics, which
// order nothing for the thread sanitizer (the tsan preset): only the console's lock orders one thread's
// operation before the other's, so the sanitizer reports any operation that touches the console's state
// without it, whatever the machine's timing. The threads write different values, so every setter writes;
// a getter comes just before a setter of what it reads, so a read without the lock meets the other
// thread's write. Each turn is awaited for seconds at most.
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
  explicit Scratch(int thread) : id(static_cast<Short>(thread)) {}
  Short id;
  std::vector<CharInfo> cells = std::vector<CharInfo>(400, CharInfo{static_cast<Word>('a' + id), 0x1F});
  SmallRect region{0, 0, 39, 9};
  Dword n = 0;
  CursorInfo shape{static_cast<Dword>(50 + id), 1};
  ScreenBufferInfo info{};
  InputRecord records[4];
  char text[64] = {};
  Handle page = 0;
};

TEST(EmulatedThreads, EveryOperationTakesTurnsWithItselfOnAnotherThread) {
  EmulatedConsole console;
  console.SetConsoleSize(40, 10);
  ASSERT_NE(console.AllocConsole(), 0);
  const Handle in = console.GetStdHandle(kStdInputHandle), out = console.GetStdHandle(kStdOutputHandle);
  console.EndInput();  // reads take what is queued, or fail at once
  const Coord size{40, 10}, origin{0, 0};
  const std::function<void(Scratch&)> operations[] = {
      [&](Scratch& s) { console.ReadConsoleOutputA(out, s.cells.data(), size, origin, &s.region); },
      [&](Scratch& s) { console.WriteConsoleOutputA(out, s.cells.data(), size, origin, &s.region); },
      [&](Scratch& s) {
        console.FillConsoleOutputCharacterA(out, 'f', 50, Coord{s.id, 2}, &s.n);
      },
      [&](Scratch& s) {
        console.FillConsoleOutputAttribute(out, 0x4E, 50, Coord{s.id, 2}, &s.n);
      },
      [&](Scratch& s) { console.WriteConsoleA(out, "text\n", 5, &s.n); },
      [&](Scratch& s) { console.GetConsoleScreenBufferInfo(out, &s.info); },
      [&](Scratch& s) {
        console.SetConsoleCursorPosition(out, Coord{s.id, 4});
      },
      [&](Scratch& s) { console.GetConsoleScreenBufferInfo(out, &s.info); },
      [&](Scratch& s) { console.SetConsoleTextAttribute(out, static_cast<Word>(0x1E + s.id)); },
      [&](Scratch& s) { console.GetConsoleCursorInfo(out, &s.shape); },
      [&](Scratch& s) { console.SetConsoleCursorInfo(out, &s.shape); },
      [&](Scratch& s) { console.GetConsoleMode(out, &s.n); },
      [&](Scratch& s) { console.SetConsoleMode(out, static_cast<Dword>(s.id)); },
      [&](Scratch& s) { console.GetConsoleMode(in, &s.n); },
      [&](Scratch& s) { console.SetConsoleMode(in, s.id ? kEnableWindowInput : kEnableProcessedInput); },
      [&](Scratch& s) { console.GetConsoleTitleA(s.text, sizeof s.text); },
      [&](Scratch& s) { console.SetConsoleTitleA(s.id ? "title one" : "title two"); },
      [&](Scratch&) { console.AppActivate("title"); },  // keys sent go to the console
      [&](Scratch& s) { console.SetConsoleTitleA(s.id ? "title one" : "title two"); },
      [&](Scratch& s) { console.GetNumberOfConsoleInputEvents(in, &s.n); },
      [&](Scratch&) { console.SendKeys("ab", true); },
      [&](Scratch& s) { console.ReadConsoleInputA(in, s.records, 2, &s.n); },
      [&](Scratch& s) { console.ReadConsoleA(in, s.text, 4, &s.n); },
      [&](Scratch&) { console.FlushConsoleInputBuffer(in); },
      [&](Scratch&) { console.EndInput(); },
      [&](Scratch&) { console.GetStdHandle(kStdOutputHandle); },
      [&](Scratch& s) {
        s.page = console.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
      },
      [&](Scratch& s) { console.SetConsoleActiveScreenBuffer(s.page); },
      [&](Scratch&) { console.SetConsoleActiveScreenBuffer(out); },
      [&](Scratch& s) { console.CloseHandle(s.page); },
      [&](Scratch&) { console.EndOfCall(); },
  };
  const int turns = 2 * 2 * static_cast<int>(std::size(operations));  // two rounds
  std::atomic<int> turn = 0;
  const auto play = [&](int first) {
    Scratch scratch(first);
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
