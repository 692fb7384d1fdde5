// Figures for the hot members on the emulated console: single cells, text and boxes, the cost of the
// end-of-call guard on its own, and the members that touch every cell beside memset and memcpy.
#include <benchmark/benchmark.h>
#include <kelvane/console.hpp>

#include <cstring>
#include <vector>

#include "core/console_impl.hpp"
#include "platform/emulated/emulated_console.hpp"
#include "platform/terminal/vt_renderer.hpp"

namespace {

namespace kc = KelvaneConsole;

class Session {
 public:
  explicit Session(short columns = 80, short rows = 25) {
    emulated_.SetConsoleSize(columns, rows);
    kelvane::platform::InstallPlatform(&emulated_);
    console_.Load();
  }
  ~Session() {
    console_.Unload();
    kelvane::platform::InstallPlatform(nullptr);
  }
  kc::Console& console() { return console_; }
  kelvane::platform::EmulatedConsole& emulated() { return emulated_; }

 private:
  kelvane::platform::EmulatedConsole emulated_;
  kc::Console console_;
};

void BM_SetScreenData(benchmark::State& state) {
  Session session;
  kc::Integer x = 0;
  for (auto _ : state) {
    kc::String ch = "x";
    benchmark::DoNotOptimize(session.console().SetScreenData(ch, 0xFFFFFF, 0x800000, x, 5));
    x = static_cast<kc::Integer>((x + 1) % 80);
  }
}
BENCHMARK(BM_SetScreenData);

// The same member without the public entry's end-of-call guard: the difference is the guard's cost.
void BM_SetScreenDataWithoutGuard(benchmark::State& state) {
  kelvane::platform::EmulatedConsole emulated;
  kelvane::platform::InstallPlatform(&emulated);
  {
    kc::Console::Impl impl;
    impl.Load(false);
    kc::Integer x = 0;
    for (auto _ : state) {
      kc::String ch = "x";
      benchmark::DoNotOptimize(impl.SetScreenData(ch, 0xFFFFFF, 0x800000, x, 5, kc::Missing));
      x = static_cast<kc::Integer>((x + 1) % 80);
    }
    impl.Unload();
  }
  kelvane::platform::InstallPlatform(nullptr);
}
BENCHMARK(BM_SetScreenDataWithoutGuard);

void BM_GetScreenData(benchmark::State& state) {
  Session session;
  kc::String ch;
  kc::Long fore = 0, back = 0;
  for (auto _ : state) benchmark::DoNotOptimize(session.console().GetScreenData(ch, fore, back, 10, 5));
}
BENCHMARK(BM_GetScreenData);

// A member that does almost nothing but pass the guard: the guard's own cost.
void BM_PageGetter(benchmark::State& state) {
  Session session;
  for (auto _ : state) benchmark::DoNotOptimize(session.console().Page());
}
BENCHMARK(BM_PageGetter);

void BM_WriteText(benchmark::State& state) {
  Session session;
  const std::string line(static_cast<size_t>(state.range(0)), 'a');
  for (auto _ : state) benchmark::DoNotOptimize(session.console().WriteText(line));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteText)->Arg(10)->Arg(80)->Arg(2000);

void BM_DrawBoxWithShadow(benchmark::State& state) {
  Session session(static_cast<short>(state.range(0)), static_cast<short>(state.range(1)));
  for (auto _ : state) {
    kc::Integer w = static_cast<kc::Integer>(state.range(0) - 4);
    kc::Integer h = static_cast<kc::Integer>(state.range(1) - 4);
    benchmark::DoNotOptimize(
        session.console().DrawBox(1, 1, w, h, 0xFFFFFF, 0x800000, kc::kcLineDoubleLine, true));
  }
}
BENCHMARK(BM_DrawBoxWithShadow)->Args({80, 25})->Args({250, 140});

// A presenter that only counts what it is handed, so the figure is the console's cost of a frame.
class CountingPresenter final : public kelvane::platform::Presenter {
 public:
  void Present(const kelvane::platform::ConsoleFrame& frame) noexcept override {
    ++frames;
    cells += frame.cells.size();
  }
  std::int64_t frames = 0;
  std::int64_t cells = 0;
};

// One cell changed per public call, with a presenter attached: the cost of the call and its frame
// should not grow with the window.
void BM_OneCellFrame(benchmark::State& state) {
  const auto columns = static_cast<short>(state.range(0));
  Session session(columns, static_cast<short>(state.range(1)));
  CountingPresenter presenter;
  session.emulated().SetPresenter(&presenter);
  kc::Integer x = 0;
  for (auto _ : state) {
    kc::String ch = "x";
    benchmark::DoNotOptimize(session.console().SetScreenData(ch, 0xFFFFFF, 0x800000, x, 5));
    x = static_cast<kc::Integer>((x + 1) % columns);
  }
  session.emulated().SetPresenter(nullptr);
  state.counters["cells_per_frame"] =
      presenter.frames ? static_cast<double>(presenter.cells) / static_cast<double>(presenter.frames) : 0.0;
}
BENCHMARK(BM_OneCellFrame)->Args({80, 25})->Args({200, 60});

// The same change drawn for a terminal: the bytes, and the time to find them, do not grow with the
// screen.
struct TerminalPresenter final : kelvane::platform::Presenter {
  kelvane::platform::terminal::VtRenderer renderer;
  std::string out;
  double bytes = 0;
  double frames = 0;
  void Present(const kelvane::platform::ConsoleFrame& frame) noexcept override {
    out.clear();
    renderer.Render(frame, out);
    bytes += static_cast<double>(out.size());
    ++frames;
  }
};

void BM_TerminalOneCellFrame(benchmark::State& state) {
  const auto columns = static_cast<short>(state.range(0));
  Session session(columns, static_cast<short>(state.range(1)));
  TerminalPresenter presenter;
  session.emulated().SetPresenter(&presenter);
  session.console().CursorVisible(false);
  kc::Integer x = 0;
  unsigned round = 0;
  for (auto _ : state) {
    kc::String ch = round++ / static_cast<unsigned>(columns) % 2 ? "x" : "y";  // each visit changes the cell
    benchmark::DoNotOptimize(session.console().SetScreenData(ch, 0xFFFFFF, 0x800000, x, 5));
    x = static_cast<kc::Integer>((x + 7) % columns);
  }
  session.emulated().SetPresenter(nullptr);
  state.counters["bytes_per_frame"] = presenter.frames ? presenter.bytes / presenter.frames : 0.0;
}
BENCHMARK(BM_TerminalOneCellFrame)->Args({80, 25})->Args({200, 60});

// The members that touch every cell of the window, beside the C library filling and copying the same
// memory (4 bytes a cell): their aim is a small multiple of these.
void BM_MemsetCells(benchmark::State& state) {
  std::vector<kelvane::platform::CharInfo> cells(static_cast<size_t>(state.range(0) * state.range(1)));
  int value = 0;
  for (auto _ : state) {
    std::memset(static_cast<void*>(cells.data()), ++value & 0x7F, cells.size() * sizeof cells[0]);
    benchmark::DoNotOptimize(cells.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemsetCells)->Args({80, 25})->Args({250, 140});

void BM_MemcpyCells(benchmark::State& state) {
  const auto count = static_cast<size_t>(state.range(0) * state.range(1));
  std::vector<kelvane::platform::CharInfo> from(count), to(count);
  for (auto _ : state) {
    std::memcpy(static_cast<void*>(to.data()), from.data(), count * sizeof from[0]);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyCells)->Args({80, 25})->Args({250, 140});

void BM_ClearScreen(benchmark::State& state) {
  Session session(static_cast<short>(state.range(0)), static_cast<short>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(session.console().ClearScreen(0xFFFFFF, 0x800000));
}
BENCHMARK(BM_ClearScreen)->Args({80, 25})->Args({250, 140});

// A box as large as the window (its shadow falls outside it).
void BM_DrawBoxFullWindow(benchmark::State& state) {
  Session session(static_cast<short>(state.range(0)), static_cast<short>(state.range(1)));
  for (auto _ : state) {
    kc::Integer w = static_cast<kc::Integer>(state.range(0));
    kc::Integer h = static_cast<kc::Integer>(state.range(1));
    benchmark::DoNotOptimize(
        session.console().DrawBox(0, 0, w, h, 0xFFFFFF, 0x800000, kc::kcLineDoubleLine, true));
  }
}
BENCHMARK(BM_DrawBoxFullWindow)->Args({80, 25})->Args({250, 140});

void BM_PageCopy(benchmark::State& state) {
  Session session(static_cast<short>(state.range(0)), static_cast<short>(state.range(1)));
  session.console().ClearScreen(0xFFFFFF, 0x800000, 1);
  for (auto _ : state) benchmark::DoNotOptimize(session.console().PageCopy(0, 1));
}
BENCHMARK(BM_PageCopy)->Args({80, 25})->Args({250, 140});

}  // namespace

BENCHMARK_MAIN();
