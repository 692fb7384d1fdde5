// The key source: asked for one whole key only when a read finds the queue empty, outside the lock,
// after what was drawn has been shown; told of every flush; its end ends every wait.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace testing;

class EmulatedKeySource : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    console_.SetKeySource(&keys_);
    ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);  // raw, no processed input
  }
  void TearDown() override {
    console_.SetKeySource(nullptr);
    console_.SetPresenter(nullptr);
  }

  struct Read {
    Bool ok;
    Dword error;
    std::string text;
  };
  Read ReadText(Dword size) {
    std::string buffer(size, '\0');
    Dword got = 0xDEAD;
    Bool ok = console_.ReadConsoleA(in_, buffer.data(), size, &got);
    return Read{ok, ok ? 0 : LastError(), ok ? buffer.substr(0, got) : std::string()};
  }

  ScriptedKeys keys_;
};

TEST_F(EmulatedKeySource, ScriptedKeysArriveOneReadAtATime) {
  keys_.AddText("ab\r");
  // A raw read takes every character queued, but only one key is asked for each time the queue is
  // empty: the rest of the script stays with the source for the next reads.
  EXPECT_EQ(ReadText(10).text, "a");
  EXPECT_EQ(keys_.Remaining(), 2u);
  EXPECT_EQ(ReadText(10).text, "b");
  EXPECT_EQ(ReadText(10).text, "\r");
  EXPECT_EQ(keys_.Asked(), 3);

  // Keys already queued are read without asking.
  console_.QueueText("z");
  EXPECT_EQ(ReadText(10).text, "z");
  EXPECT_EQ(keys_.Asked(), 3);
}

TEST_F(EmulatedKeySource, TheEndOfTheScriptEndsEveryWait) {
  keys_.AddText("x");
  EXPECT_EQ(ReadText(4).text, "x");
  Read ended = ReadText(4);
  EXPECT_EQ(ended.ok, 0);
  EXPECT_EQ(ended.error, kErrorHandleEof);
  // The end is for good: later reads end at once without asking again.
  std::vector<InputRecord> records(4);
  Dword got = 0xDEAD;
  EXPECT_FAILS(console_.ReadConsoleInputA(in_, records.data(), 4, &got), kErrorHandleEof);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(keys_.Asked(), 2);
}

TEST_F(EmulatedKeySource, KeysPassTheKeyboardFilterAndTurnsWithoutAKeyAreAskedAgain) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableProcessedInput), 0);
  keys_.Add(KeystrokeRecords(KeyStroke{'C', 3, kLeftCtrlPressed}));
  keys_.AddNothing();
  keys_.AddText("q");
  // Ctrl+C with processed input is a signal, not a key; its key-up and the modifier's records carry
  // no character, so the read asks on until a character comes.
  EXPECT_EQ(ReadText(10).text, "q");
  EXPECT_EQ(keys_.Asked(), 3);

  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  keys_.Add(KeystrokeRecords(KeyStroke{'C', 3, kLeftCtrlPressed}));
  EXPECT_EQ(ReadText(10).text, "\x03");
}

TEST_F(EmulatedKeySource, FlushesReachTheSourceAndKeepTheScript) {
  keys_.AddText("kept");
  console_.QueueText("typed ahead");
  ASSERT_NE(console_.FlushConsoleInputBuffer(in_), 0);
  EXPECT_EQ(keys_.Flushes(), 1);
  EXPECT_EQ(Pending(), 0u);
  EXPECT_EQ(keys_.Remaining(), 4u);
  EXPECT_EQ(ReadText(10).text, "k");
  // A flush that fails reaches no one.
  EXPECT_FAILS(console_.FlushConsoleInputBuffer(out_), kErrorInvalidHandle);
  EXPECT_EQ(keys_.Flushes(), 1);
}

TEST_F(EmulatedKeySource, ALineIsEditedAndEchoedKeyByKey) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput | kEnableProcessedInput), 0);
  keys_.AddText("hix\b!\r");
  Read line = ReadText(32);
  EXPECT_EQ(line.text, "hi!\r\n");
  EXPECT_EQ(Row(0).substr(0, 4), "hi! ");
  EXPECT_EQ(keys_.Remaining(), 0u);
}

// What was drawn is shown before the source is asked, so a prompt is on screen while the program
// waits for a key.
class LoggingKeys final : public KeySource {
 public:
  explicit LoggingKeys(std::vector<std::string>& log) : log_(log) {}
  KeyResult NextKey() override {
    log_.push_back("ask");
    if (asked_++ > 0) return KeyResult{};
    return KeyResult{KeyResult::Kind::Key, KeystrokeRecords(KeyStrokeForCharacter('y'))};
  }
  void Flush() noexcept override { log_.push_back("flush"); }

 private:
  std::vector<std::string>& log_;
  int asked_ = 0;
};

TEST_F(EmulatedKeySource, WhatWasDrawnIsShownBeforeTheSourceIsAsked) {
  std::vector<std::string> log;
  LoggingKeys keys(log);
  CallbackPresenter presenter([&](const ConsoleFrame& frame) {
    log.push_back("show " + std::string(frame.cells.empty()
                                            ? ""
                                            : std::string(1, static_cast<char>(frame.cells[0].Char))));
  });
  console_.SetKeySource(&keys);
  console_.SetPresenter(&presenter);
  console_.EndOfCall();
  log.clear();
  ASSERT_NE(Write("?"), 0);
  EXPECT_EQ(ReadText(4).text, "y");
  EXPECT_EQ(ReadText(4).error, kErrorHandleEof);
  EXPECT_EQ(log, (std::vector<std::string>{"show ?", "ask", "ask"}));
}

// The presenter runs outside the console's lock: another thread can use the console while a frame is
// drawn. Under the lock this would wait for the presenter, which waits (a bounded time) for it.
TEST_F(EmulatedKeySource, FramesAreDrawnOutsideTheConsolesLock) {
  bool other_thread_finished = false;
  CallbackPresenter presenter([&](const ConsoleFrame&) {
    auto other = std::async(std::launch::async, [&] {
      Dword mode = 0;
      return console_.GetConsoleMode(out_, &mode);
    });
    other_thread_finished = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  });
  console_.SetPresenter(&presenter);
  ASSERT_NE(Write("x"), 0);
  console_.EndOfCall();
  EXPECT_TRUE(other_thread_finished);
}

}  // namespace
}  // namespace kelvane::platform
