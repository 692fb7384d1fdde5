// Every emulated operation against the handles and pointers it must refuse: the wrong kind of handle,
// 0, -1, a closed one, one never issued, a buffer opened without the access it needs, and null pointers
// (998, ERROR_NOACCESS). A refused call writes nothing back and changes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/emulated/support.hpp"

namespace kelvane::platform {
namespace {

using namespace testing;

// What a call may write back, preset so a refused call that writes anything shows.
struct Scratch {
  Dword count = 0xDEAD;
  ScreenBufferInfo info{{1, 2}, {3, 4}, 0xABCD, {5, 6, 7, 8}, {9, 10}};
  CursorInfo cursor{42, 7};
  CharInfo cell{0xEEEE, 0xEEEE};
  SmallRect region{0, 0, 0, 0};
  InputRecord record = EventOfType(0x77);
  char text[4] = {'#', '#', '#', '#'};
};

enum Kind { kOutput, kInput, kAny };
struct Row {
  const char* name;
  Kind kind;
  Dword read_only, write_only;  // the error with a buffer opened for reading (writing) only; 0: allowed
  Bool (*call)(EmulatedConsole&, Handle, Scratch&);
};

// The operation's name, the handle kind it takes, the errors for read-only and write-only buffers, and
// its arguments after the handle (`s`: the scratch the call may write back to).
// clang-format off
#define ROW(op, kind, read_only, write_only, ...) Row{#op, kind, read_only, write_only, \
    [](EmulatedConsole& c, Handle h, Scratch& s) -> Bool { return (void)s, c.op(h __VA_OPT__(, ) __VA_ARGS__); }}
// clang-format on
constexpr Dword kDenied = kErrorAccessDenied;
const CursorInfo kShape{60, 0};
const Row kRows[] = {
    ROW(GetConsoleScreenBufferInfo, kOutput, 0, kDenied, &s.info),
    ROW(SetConsoleActiveScreenBuffer, kOutput, kErrorInvalidHandle, 0),
    ROW(WriteConsoleOutputA, kOutput, kDenied, 0, &s.cell, Coord{1, 1}, Coord{0, 0}, &s.region),
    ROW(ReadConsoleOutputA, kOutput, 0, kDenied, &s.cell, Coord{1, 1}, Coord{0, 0}, &s.region),
    ROW(FillConsoleOutputCharacterA, kOutput, kDenied, 0, 'q', 5, Coord{0, 0}, &s.count),
    ROW(FillConsoleOutputAttribute, kOutput, kDenied, 0, 0x70, 5, Coord{0, 0}, &s.count),
    ROW(WriteConsoleA, kOutput, kDenied, 0, "xy", 2, &s.count),
    ROW(SetConsoleTextAttribute, kOutput, kDenied, 0, 0x1F),
    ROW(SetConsoleCursorPosition, kOutput, kDenied, 0, Coord{1, 1}),
    ROW(GetConsoleCursorInfo, kOutput, kDenied, 0, &s.cursor),  // write access, as the real console asks
    ROW(SetConsoleCursorInfo, kOutput, kDenied, 0, &kShape),
    ROW(GetConsoleMode, kAny, 0, kDenied, &s.count),
    ROW(SetConsoleMode, kAny, kDenied, 0, 1),
    ROW(ReadConsoleA, kInput, 0, 0, s.text, 4, &s.count),
    ROW(ReadConsoleInputA, kInput, 0, 0, &s.record, 1, &s.count),
    ROW(GetNumberOfConsoleInputEvents, kInput, 0, 0, &s.count),
    ROW(FlushConsoleInputBuffer, kInput, 0, 0),
};
#undef ROW

class EmulatedArguments : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    console_.QueueText("k");  // a read that got past its checks would take it
    console_.EndInput();
    closed_ = NewBuffer();
    read_only_ = NewBuffer(kGenericRead);
    write_only_ = NewBuffer(kGenericWrite);
    ASSERT_NE(console_.CloseHandle(closed_), 0);
  }
  // Calls the row with `handle`; expects `error` and nothing written back, or success when 0.
  void Check(const Row& row, Handle handle, Dword error, const char* what) {
    SCOPED_TRACE(std::string(row.name) + " with " + what);
    Scratch scratch;
    ClearError();
    const Bool ok = row.call(console_, handle, scratch);
    if (error == 0) {
      EXPECT_NE(ok, 0) << console_.GetLastError();
      return;
    }
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(console_.GetLastError(), error);
    const Scratch pristine;
    EXPECT_EQ(scratch.count, pristine.count);
    EXPECT_EQ(std::memcmp(&scratch.info, &pristine.info, sizeof pristine.info), 0);
    EXPECT_EQ(scratch.cursor.dwSize, 42u);
    EXPECT_EQ(scratch.cell, pristine.cell);
    EXPECT_EQ(scratch.record, pristine.record);
    EXPECT_EQ(std::string(scratch.text, 4), "####");
  }

  Handle closed_ = 0, read_only_ = 0, write_only_ = 0;
};

TEST_F(EmulatedArguments, BadHandlesAndMissingAccessAreRefusedAndChangeNothing) {
  const std::vector<CharInfo> cells = console_.ReadCells(out_);
  for (const Row& row : kRows) {
    if (row.kind != kInput) Check(row, in_, row.kind == kAny ? 0 : kErrorInvalidHandle, "the input handle");
    if (row.kind == kInput) Check(row, out_, kErrorInvalidHandle, "an output handle");
    for (Handle bad : {Handle{0}, kInvalidHandle, closed_, Handle{0x7FFFFFF0}}) {
      Check(row, bad, kErrorInvalidHandle, ("handle " + std::to_string(bad)).c_str());
    }
    if (row.kind == kInput) continue;
    Check(row, read_only_, row.read_only, "a read-only buffer");
    Check(row, write_only_, row.write_only, "a write-only buffer");
    ASSERT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);
  }
  EXPECT_EQ(console_.ReadCells(out_), cells);
  EXPECT_EQ(console_.ReadCells(read_only_), cells);
  EXPECT_EQ(console_.BufferInfo(read_only_)->dwCursorPosition, (Coord{0, 0}));
  EXPECT_EQ(console_.BufferCursorInfo(read_only_)->dwSize, 25u);
  EXPECT_EQ(console_.PendingInput(), 2u);
}

TEST_F(EmulatedArguments, NullPointersFailWith998AndChangeNothing) {
  CharInfo cell{'x', 0x1F};
  SmallRect region{0, 0, 0, 0};
  InputRecord record;
  Dword n = 0;
  const Coord one{1, 1}, origin{0, 0};
  const std::function<Bool()> calls[] = {
      [&] { return console_.GetConsoleScreenBufferInfo(out_, nullptr); },
      [&] { return console_.WriteConsoleOutputA(out_, nullptr, one, origin, &region); },
      [&] { return console_.WriteConsoleOutputA(out_, &cell, one, origin, nullptr); },
      [&] { return console_.ReadConsoleOutputA(out_, nullptr, one, origin, &region); },
      [&] { return console_.ReadConsoleOutputA(out_, &cell, one, origin, nullptr); },
      [&] { return console_.FillConsoleOutputCharacterA(out_, 'q', 5, origin, nullptr); },
      [&] { return console_.FillConsoleOutputAttribute(out_, 0x70, 5, origin, nullptr); },
      [&] { return console_.WriteConsoleA(out_, nullptr, 5, &n); },
      [&] { return console_.GetConsoleCursorInfo(out_, nullptr); },
      [&] { return console_.SetConsoleCursorInfo(out_, nullptr); },
      [&] { return console_.GetConsoleMode(out_, nullptr); },
      [&] { return console_.GetConsoleMode(in_, nullptr); },
      [&] { return console_.SetConsoleTitleA(nullptr); },
      [&] { return console_.ReadConsoleA(in_, nullptr, 4, &n); },
      [&] { return console_.ReadConsoleA(in_, &cell, 4, nullptr); },
      [&] { return console_.ReadConsoleInputA(in_, nullptr, 1, &n); },
      [&] { return console_.ReadConsoleInputA(in_, &record, 1, nullptr); },
      [&] { return console_.GetNumberOfConsoleInputEvents(in_, nullptr); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) {
    SCOPED_TRACE(i);  // the call's row
    EXPECT_FAILS(calls[i](), kErrorInvalidAccess);
  }
  EXPECT_EQ(console_.ReadCells(out_).at(0), (CharInfo{' ', 0x07}));
  EXPECT_EQ(console_.GetConsoleTitleA(nullptr, 64), 0u);
  // Nothing to write or room for nothing: success at once, with nothing taken.
  EXPECT_NE(console_.WriteConsoleA(out_, nullptr, 0, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_NE(console_.ReadConsoleA(in_, &cell, 0, &n), 0);
  EXPECT_NE(console_.ReadConsoleInputA(in_, &record, 0, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(console_.PendingInput(), 2u);
}

}  // namespace
}  // namespace kelvane::platform
