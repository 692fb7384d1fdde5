// Keys: the keyboard tables, the records the input queue holds and ReadConsoleInputA hands out, reads
// that wait for keys (from another thread or from a key source), and the end of input.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/emulated/support.hpp"

namespace kelvane::platform {
namespace {

using namespace std::chrono_literals;
using namespace testing;

constexpr Dword kCtrl = kLeftCtrlPressed, kAlt = kLeftAltPressed, kShift = kShiftPressed;

using Stroke = std::tuple<Word, Word, Dword>;  // virtual key, character, control state
Stroke S(const KeyStroke& k) { return {k.virtual_key, k.character, k.control_state}; }

TEST(Keyboard, IN4_IN5_ScanCodesAndEnhancedKeys) {
  const Word keys[] = {'Q',      'P',        'A',       'L',       'Z',        'M',        '1',
                       '9',      '0',        kVkF1,     kVkF1 + 9, kVkF1 + 10, kVkF1 + 11, kVkReturn,
                       kVkTab,   kVkBack,    kVkEscape, kVkSpace,  kVkLeft,    kVkUp,      kVkRight,
                       kVkDown,  kVkHome,    kVkEnd,    kVkPrior,  kVkNext,    kVkInsert,  kVkDelete,
                       kVkShift, kVkControl, kVkMenu,   0,         0xFFFF};
  const Word scans[] = {0x10, 0x19, 0x1E, 0x26, 0x2C, 0x32, 0x02, 0x0A, 0x0B, 0x3B, 0x44,
                        0x57, 0x58, 0x1C, 0x0F, 0x0E, 0x01, 0x39, 0x4B, 0x48, 0x4D, 0x50,
                        0x47, 0x4F, 0x49, 0x51, 0x52, 0x53, 0x2A, 0x1D, 0x38, 0,    0};
  for (size_t i = 0; i < std::size(keys); ++i) EXPECT_EQ(ScanCode(keys[i]), scans[i]) << keys[i];
  for (Word vk :
       {kVkPrior, kVkNext, kVkEnd, kVkHome, kVkLeft, kVkUp, kVkRight, kVkDown, kVkInsert, kVkDelete})
    EXPECT_TRUE(IsEnhancedKey(vk)) << vk;
  for (Word vk : {kVkReturn, kVkEscape, kVkSpace, kVkF1, Word{'A'}, kVkShift})
    EXPECT_FALSE(IsEnhancedKey(vk)) << vk;
}

TEST(Keyboard, IN5_TheKeyBehindEachCharacter) {
  const std::pair<unsigned char, Stroke> cases[] = {
      {'a', {'A', 'a', 0}},       {'A', {'A', 'A', kShift}},    {'7', {'7', '7', 0}},
      {'&', {'7', '&', kShift}},  {')', {'0', ')', kShift}},    {';', {0xBA, ';', 0}},
      {':', {0xBA, ':', kShift}}, {'\'', {0xDE, '\'', 0}},      {'~', {0xC0, '~', kShift}},
      {' ', {kVkSpace, ' ', 0}},  {'\r', {kVkReturn, '\r', 0}}, {'\n', {kVkReturn, '\n', kCtrl}},
      {'\t', {kVkTab, '\t', 0}},  {8, {kVkBack, 8, 0}},         {0x1B, {kVkEscape, 0x1B, 0}},
      {0, {kVkSpace, 0, kCtrl}},  {26, {'Z', 26, kCtrl}},       {0x7F, {kVkBack, 0x7F, kCtrl}},
      {0xB0, {0xE7, 0xB0, 0}},    {0x1C, {0xE7, 0x1C, 0}}};  // VK_PACKET: no key types them
  for (const auto& [byte, stroke] : cases) EXPECT_EQ(S(KeyStrokeForCharacter(byte)), stroke) << int{byte};
  // Every printable character comes back from the keystroke that types it.
  for (int byte = 0x20; byte < 0x7F; ++byte) {
    const KeyStroke stroke = KeyStrokeForCharacter(static_cast<unsigned char>(byte));
    EXPECT_EQ(stroke.character, byte);
    EXPECT_NE(ScanCode(stroke.virtual_key), 0) << byte;
  }
}

TEST(Keyboard, IN3_IN4_IN5_IN6_TheRecordsOfAKeystroke) {
  constexpr Dword kAll = kShift | kAlt | kCtrl, kRight = kRightAltPressed | kRightCtrlPressed;
  const std::pair<KeyStroke, std::vector<InputRecord>> cases[] = {
      {{'Q', 'q', 0}, {Down('Q', 'q'), Up('Q', 'q')}},
      // Downs Shift, Alt, Ctrl, ups in reverse, each carrying the modifiers held at that moment.
      {{'X', 0x18, kAll},
       {Down(kVkShift, 0, kShift), Down(kVkMenu, 0, kShift | kAlt), Down(kVkControl, 0, kAll),
        Down('X', 0x18, kAll), Up('X', 0x18, kAll), Up(kVkControl, 0, kShift | kAlt), Up(kVkMenu, 0, kShift),
        Up(kVkShift, 0, 0)}},
      {{kVkEnd, 0, kCtrl},
       {Down(kVkControl, 0, kCtrl), Down(kVkEnd, 0, kCtrl | kEnhancedKey),
        Up(kVkEnd, 0, kCtrl | kEnhancedKey), Up(kVkControl, 0, 0)}},
      // The right-hand modifiers are enhanced keys themselves; lock states stay on every record.
      {{'K', 0, kRight | kNumlockOn},
       {Down(kVkMenu, 0, kRightAltPressed | kEnhancedKey | kNumlockOn),
        Down(kVkControl, 0, kRight | kEnhancedKey | kNumlockOn), Down('K', 0, kRight | kNumlockOn),
        Up('K', 0, kRight | kNumlockOn), Up(kVkControl, 0, kRightAltPressed | kEnhancedKey | kNumlockOn),
        Up(kVkMenu, 0, kEnhancedKey | kNumlockOn)}},
  };
  for (const auto& [stroke, records] : cases)
    EXPECT_EQ(KeystrokeRecords(stroke), records) << stroke.virtual_key;
}

TEST(Keyboard, TheSendKeysNotation) {
  const std::pair<std::string, std::vector<Stroke>> cases[] = {
      {"aB1", {{'A', 'a', 0}, {'B', 'B', kShift}, {'1', '1', 0}}},
      {"+ab+1", {{'A', 'A', kShift}, {'B', 'b', 0}, {'1', '!', kShift}}},
      {"^c%f%+f^+a",
       {{'C', 3, kCtrl}, {'F', 'f', kAlt}, {'F', 'F', kAlt | kShift}, {'A', 1, kCtrl | kShift}}},
      {"^{ENTER}^{BS}^ ", {{kVkReturn, '\n', kCtrl}, {kVkBack, 0x7F, kCtrl}, {kVkSpace, 0, kCtrl}}},
      {"~%~{TAB}{ESC}",
       {{kVkReturn, '\r', 0}, {kVkReturn, '\r', kAlt}, {kVkTab, '\t', 0}, {kVkEscape, 0x1B, 0}}},
      {"{BS}{UP}{down}{Home}", {{kVkBack, 8, 0}, {kVkUp, 0, 0}, {kVkDown, 0, 0}, {kVkHome, 0, 0}}},
      {"{END}{PGUP}{PGDN}{INS}", {{kVkEnd, 0, 0}, {kVkPrior, 0, 0}, {kVkNext, 0, 0}, {kVkInsert, 0, 0}}},
      {"{DEL}{F1}{f12}{F05}", {{kVkDelete, 0, 0}, {kVkF1, 0, 0}, {kVkF1 + 11, 0, 0}, {kVkF1 + 4, 0, 0}}},
      {"{+}{~}{{}{}}", {{0xBB, '+', kShift}, {0xC0, '~', kShift}, {0xDB, '{', kShift}, {0xDD, '}', kShift}}},
      // Unknown or broken names are skipped with their modifiers.
      {"{NOSUCHKEY}x^{NOSUCHKEY}{F0}{F13}{F1X}{F99999999999999999999}{F-1}y", {{'X', 'x', 0}, {'Y', 'y', 0}}},
      {"a{ENTER", {{'A', 'a', 0}}},
      {"{", {}},
      {"+", {}},
  };
  for (const auto& [keys, strokes] : cases) {
    std::vector<Stroke> got;
    for (const KeyStroke& k : ParseSendKeys(keys)) got.push_back(S(k));
    EXPECT_EQ(got, strokes) << keys;
  }
}

class EmulatedInput : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    ASSERT_NE(console_.SetConsoleMode(in_, kEnableWindowInput), 0);
  }
  std::vector<InputRecord> Queued(Dword size = 32) {
    std::vector<InputRecord> records(size);
    Dword got = 0;
    if (console_.PendingInput() == 0) return {};
    EXPECT_NE(console_.ReadConsoleInputA(in_, records.data(), size, &got), 0);
    records.resize(got);
    return records;
  }
};

TEST_F(EmulatedInput, IN1_ARecordReadTakesUpToTheRequestedRecordsOfEveryType) {
  console_.QueueInput({EventOfType(kMouseEvent), EventOfType(kFocusEvent)});
  console_.QueueText("ab");
  console_.QueueInput({Down(0, 0x2550)});
  EXPECT_EQ(Queued(3), (std::vector{EventOfType(kMouseEvent), EventOfType(kFocusEvent), Down('A', 'a')}));
  // A length beyond the caller's array takes only what is queued; the character's high byte reads 0.
  std::vector<InputRecord> records(4);
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, records.data(), 0xFFFFFFFFu, &got), 0);
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(records, (std::vector{Up('A', 'a'), Down('B', 'b'), Up('B', 'b'), Down(0, 0x50)}));
}

TEST_F(EmulatedInput, IN2_ASingleRepeatedKeyDownAddsToTheRepeatCount) {
  InputRecord thrice = Down('A', 'a');
  thrice.KeyEvent.wRepeatCount = 3;
  for (const InputRecord& r : {Down('A', 'a'), Down('A', 'a'), thrice}) console_.QueueInput({r});
  EXPECT_EQ(console_.PendingInput(), 1u);
  console_.QueueInput({Down('A', 'a', kShift)});  // another state: a record of its own
  console_.QueueInput({Up('A', 'a')});
  console_.QueueInput({Up('A', 'a')});                    // key-ups never merge
  console_.QueueInput({Down('A', 'a'), Down('A', 'a')});  // nor records written together
  EXPECT_EQ(console_.PendingInput(), 6u);
  EXPECT_EQ(Queued(1).at(0).KeyEvent.wRepeatCount, 5);
  // RC5: a repeat count yields that many characters, across reads.
  console_.QueueInput({thrice});
  char text[4];
  Dword got = 0;
  ASSERT_NE(console_.FlushConsoleInputBuffer(in_), 0);
  console_.QueueInput({thrice, Up('A', 'a')});
  ASSERT_NE(console_.ReadConsoleA(in_, text, 2, &got), 0);
  ASSERT_NE(console_.ReadConsoleA(in_, text + 2, 2, &got), 0);
  EXPECT_EQ(std::string(text, 3), "aaa");
  EXPECT_EQ(got, 1u);
}

TEST_F(EmulatedInput, IN7_TheConsoleFiltersKeysOnTheirWayIn) {
  // With processed input the Ctrl+C down is a signal, not a key; Ctrl+Esc and Alt+Esc downs belong to
  // the system; Ctrl+Break empties the queue. The ups arrive all the same.
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableProcessedInput), 0);
  console_.QueueKeystroke('C', 3, kCtrl);
  EXPECT_EQ(Queued(), (std::vector{Down(kVkControl, 0, kCtrl), Up('C', 3, kCtrl), Up(kVkControl, 0, 0)}));
  console_.QueueKeystroke('A', 'a', 0);
  console_.QueueKeystroke(0x03, 3, kCtrl);
  EXPECT_EQ(Queued(), (std::vector{Up(0x03, 3, kCtrl), Up(kVkControl, 0, 0)}));
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  console_.QueueKeystroke('C', 3, kCtrl);
  EXPECT_EQ(Queued().size(), 4u);
  console_.QueueKeystroke(kVkEscape, 0x1B, kCtrl);
  console_.QueueKeystroke(kVkEscape, 0x1B, kAlt);
  EXPECT_EQ(Queued(),
            (std::vector{Down(kVkControl, 0, kCtrl), Up(kVkEscape, 0x1B, kCtrl), Up(kVkControl, 0, 0),
                         Down(kVkMenu, 0, kAlt), Up(kVkEscape, 0x1B, kAlt), Up(kVkMenu, 0, 0)}));
  console_.QueueInput({Down('C', 3, kCtrl)});  // records written directly are not filtered
  EXPECT_EQ(console_.PendingInput(), 1u);
}

TEST_F(EmulatedInput, IN8_AC2_AC6_WindowEventsAndActivationsDropAllButKeyEvents) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{80, 25}, SmallRect{0, 0, 39, 9}));  // same size
  EXPECT_EQ(console_.PendingInput(), 0u);
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{100, 30}, SmallRect{0, 0, 99, 29}));
  EXPECT_EQ(Queued(), (std::vector{EventOfType(kWindowBufferSizeEvent)}));
  const Handle other = NewBuffer();
  ASSERT_TRUE(console_.SetBufferGeometry(other, Coord{20, 5}, SmallRect{0, 0, 19, 4}));  // not shown
  EXPECT_EQ(console_.PendingInput(), 0u);

  console_.QueueInput({EventOfType(kMouseEvent), Down('A', 'a'), EventOfType(kFocusEvent), Down('B', 'b')});
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);  // already shown: nothing happens
  EXPECT_EQ(console_.PendingInput(), 4u);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  EXPECT_EQ(console_.PendingInput(), 2u);
  console_.QueueInput({EventOfType(kMenuEvent)});
  ASSERT_NE(console_.CloseHandle(other), 0);  // falling back on another buffer is an activation
  EXPECT_EQ(Queued(), (std::vector{Down('A', 'a'), Down('B', 'b')}));
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableProcessedInput), 0);
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{50, 20}, SmallRect{0, 0, 49, 19}));  // window input off
  EXPECT_EQ(console_.PendingInput(), 0u);
}

// Starts a read on another thread and returns once it waits for input: the console shows pending
// changes just before a read waits, which marks the moment without timing. Every wait is bounded, and
// a read left waiting is ended, so a broken wake-up fails in seconds instead of hanging.
class WaitingRead {
 public:
  WaitingRead(EmulatedConsole& console, std::function<Bool()> read) : console_(console) {
    console_.SetPresenter(&presenter_);
    EXPECT_NE(console_.SetConsoleTitleA("a change to show"), 0);
    result_ = std::async(std::launch::async, [this, read] {
      const Bool ok = read();
      Signal(done_);
      return ok;
    });
    std::unique_lock lock(mutex_);
    // What was drawn is shown before the read waits; then the read goes to sleep, after which only a
    // wake-up can end it.
    blocked_ = changed_.wait_for(lock, 5s, [this] { return waiting_ || done_; }) && !done_;
    lock.unlock();
    for (int tries = 0; blocked_ && console_.WaitingReads() == 0 && tries < 5000; ++tries)
      std::this_thread::sleep_for(1ms);
    blocked_ = blocked_ && console_.WaitingReads() > 0;
  }
  ~WaitingRead() {
    if (result_.valid()) Get();
    console_.SetPresenter(nullptr);
  }
  bool Blocked() const { return blocked_; }
  Bool Get() {
    if (result_.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "the read was not woken";
      console_.QueueText("x");  // whatever the fault, keys wake it
      console_.EndInput();
    }
    return result_.get();
  }

 private:
  void Signal(bool& flag) {
    std::lock_guard lock(mutex_);
    flag = true;
    changed_.notify_all();
  }
  EmulatedConsole& console_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool waiting_ = false, done_ = false, blocked_ = false;
  FramesTo presenter_{[this](const ConsoleFrame&) { Signal(waiting_); }};
  std::future<Bool> result_;
};

class EmulatedInputWaiting : public EmulatedInput {};

TEST_F(EmulatedInputWaiting, IN1_RC1_ReadsWaitForKeysFromAnotherThread) {
  std::vector<InputRecord> records(8);
  Dword got = 0;
  WaitingRead record_read(console_, [&] { return console_.ReadConsoleInputA(in_, records.data(), 8, &got); });
  ASSERT_TRUE(record_read.Blocked());
  console_.QueueText("q");
  ASSERT_NE(record_read.Get(), 0);
  records.resize(got);
  EXPECT_EQ(records, (std::vector{Down('Q', 'q'), Up('Q', 'q')}));

  char text[10];
  WaitingRead raw_read(console_, [&] { return console_.ReadConsoleA(in_, text, 10, &got); });
  ASSERT_TRUE(raw_read.Blocked());
  console_.QueueKeystroke(kVkUp, 0, 0);  // records without a character do not end the wait
  console_.QueueInput({EventOfType(kMouseEvent), Up('A', 'a')});
  console_.QueueText("k");
  ASSERT_NE(raw_read.Get(), 0);
  EXPECT_EQ(std::string(text, got), "k");
  EXPECT_EQ(console_.PendingInput(), 0u);
}

TEST_F(EmulatedInputWaiting, LineModeEchoesToTheBufferShownWhenTheKeyArrives) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput), 0);
  const Handle other = NewBuffer();
  char text[10];
  Dword got = 0;
  WaitingRead read(console_, [&] { return console_.ReadConsoleA(in_, text, 10, &got); });
  ASSERT_TRUE(read.Blocked());
  // The buffer shown when the read began goes away while it waits.
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  ASSERT_NE(console_.CloseHandle(out_), 0);
  ASSERT_NE(console_.CloseHandle(console_.GetStdHandle(kStdErrorHandle)), 0);
  console_.QueueText("hi\r");
  ASSERT_NE(read.Get(), 0);
  EXPECT_EQ(std::string(text, got), "hi\r\n");
  EXPECT_EQ(console_.ReadCells(other).at(1).Char, 'i');
}

TEST_F(EmulatedInputWaiting, FreeConsoleAndTheEndOfInputEndAWaitingRead) {
  char text[4];
  Dword got = 0xDEAD;
  WaitingRead text_read(console_, [&] { return console_.ReadConsoleA(in_, text, 4, &got); });
  ASSERT_TRUE(text_read.Blocked());
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(text_read.Get(), 0);
  EXPECT_EQ(got, 0u);

  ASSERT_NE(console_.AllocConsole(), 0);
  in_ = console_.GetStdHandle(kStdInputHandle);
  InputRecord record;
  Dword error = 0;
  WaitingRead record_read(console_, [&] {
    const Bool ok = console_.ReadConsoleInputA(in_, &record, 1, &got);
    error = console_.GetLastError();
    return ok;
  });
  ASSERT_TRUE(record_read.Blocked());
  console_.EndInput();
  EXPECT_EQ(record_read.Get(), 0);
  EXPECT_EQ(error, kErrorHandleEof);
}

// The end of input from another thread, racing a read that is about to wait: it must never be lost.
TEST_F(EmulatedInputWaiting, TheEndOfInputRacedWithAReadAboutToWait) {
  for (int round = 0; round < 300; ++round) {
    EmulatedConsole console;
    ASSERT_NE(console.AllocConsole(), 0);
    const Handle in = console.GetStdHandle(kStdInputHandle);
    auto read = std::async(std::launch::async, [&] {
      InputRecord record;
      Dword got = 0;
      return console.ReadConsoleInputA(in, &record, 1, &got) == 0 &&
             console.GetLastError() == kErrorHandleEof;
    });
    console.EndInput();
    if (read.wait_for(5s) != std::future_status::ready) {
      console.QueueText("x");  // wakes the read whatever the fault, so the test ends
      ADD_FAILURE() << "the end of input was lost in round " << round;
    }
    ASSERT_TRUE(read.get()) << "round " << round;
  }
}

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
  // On another thread, so that a read that never ends fails the test in seconds (and is then ended).
  std::string Read(Dword size, Dword expected_error = 0) {
    std::string text(size, '\0');
    Dword got = 0xDEAD;
    auto read = std::async(std::launch::async, [&] {
      ClearError();  // the last error belongs to the reading thread
      return console_.ReadConsoleA(in_, text.data(), size, &got) ? 0 : console_.GetLastError();
    });
    if (read.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "the read did not end";
      console_.EndInput();
    }
    const Dword error = read.get();
    EXPECT_EQ(error, expected_error);
    return error ? std::string() : text.substr(0, got);
  }
  ScriptedKeys keys_;
};

TEST_F(EmulatedKeySource, KeysArriveOneReadAtATimeUntilTheScriptEnds) {
  keys_.AddText("ab");
  // A raw read takes every character queued, but one key is asked for each time the queue is empty.
  EXPECT_EQ(Read(10), "a");
  EXPECT_EQ(keys_.Remaining(), 1u);
  console_.QueueText("z");  // keys already queued are read without asking
  EXPECT_EQ(Read(10), "z");
  EXPECT_EQ(Read(10), "b");
  EXPECT_EQ(keys_.Asked(), 2);
  // The end is for good: later reads end at once without asking again.
  EXPECT_EQ(Read(4, kErrorHandleEof), "");
  InputRecord record;
  Dword got = 0xDEAD;
  EXPECT_FAILS(console_.ReadConsoleInputA(in_, &record, 1, &got), kErrorHandleEof);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(keys_.Asked(), 3);
}

TEST_F(EmulatedKeySource, KeysPassTheFilterAndTurnsWithoutAKeyAreAskedAgain) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableProcessedInput), 0);
  keys_.Add(KeystrokeRecords(KeyStroke{'C', 3, kCtrl}));
  keys_.AddNothing();
  keys_.AddText("q");
  EXPECT_EQ(Read(10), "q");  // Ctrl+C with processed input is a signal, not a key
  EXPECT_EQ(keys_.Asked(), 3);
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput | kEnableProcessedInput), 0);
  keys_.AddText("hix\b!\r");
  EXPECT_EQ(Read(32), "hi!\r\n");
  EXPECT_EQ(console_.ReadCells(out_).at(2).Char, '!');
}

TEST_F(EmulatedKeySource, FlushesReachTheSourceAndKeepTheScript) {
  keys_.AddText("kept");
  console_.QueueText("typed ahead");
  ASSERT_NE(console_.FlushConsoleInputBuffer(in_), 0);
  EXPECT_EQ(keys_.Flushes(), 1);
  EXPECT_EQ(console_.PendingInput(), 0u);
  EXPECT_EQ(Read(10), "k");
  EXPECT_FAILS(console_.FlushConsoleInputBuffer(out_), kErrorInvalidHandle);  // reaches no one
  EXPECT_EQ(keys_.Flushes(), 1);
}

// What was drawn is shown before the source is asked, so a prompt is on screen while the program
// waits for a key.
TEST_F(EmulatedKeySource, WhatWasDrawnIsShownBeforeTheSourceIsAsked) {
  std::vector<std::string> log;
  struct Keys final : KeySource {
    std::vector<std::string>& log;
    explicit Keys(std::vector<std::string>& l) : log(l) {}
    KeyResult NextKey() override {
      log.push_back("ask");
      if (log.size() > 2) return KeyResult{};
      return KeyResult{KeyResult::Kind::Key, KeystrokeRecords(KeyStrokeForCharacter('y'))};
    }
    void Flush() noexcept override {}
  } keys(log);
  FramesTo presenter([&](const ConsoleFrame& frame) {
    log.push_back("show " +
                  std::string(1, static_cast<char>(frame.cells.empty() ? ' ' : frame.cells[0].Char)));
  });
  console_.SetKeySource(&keys);
  console_.SetPresenter(&presenter);
  console_.EndOfCall();
  log.clear();
  ASSERT_NE(Write(out_, "?"), 0);
  EXPECT_EQ(Read(4), "y");
  EXPECT_EQ(Read(4, kErrorHandleEof), "");
  EXPECT_EQ(log, (std::vector<std::string>{"show ?", "ask", "ask"}));
}

// The presenter runs outside the console's lock: another thread can use the console while a frame is
// drawn. Under the lock this would wait for the presenter, which waits (a bounded time) for it.
TEST_F(EmulatedKeySource, FramesAreDrawnOutsideTheConsolesLock) {
  bool other_thread_finished = false;
  FramesTo presenter([&](const ConsoleFrame&) {
    auto other = std::async(std::launch::async, [&] {
      Dword mode = 0;
      return console_.GetConsoleMode(out_, &mode);
    });
    other_thread_finished = other.wait_for(5s) == std::future_status::ready;
  });
  console_.SetPresenter(&presenter);
  ASSERT_NE(Write(out_, "x"), 0);
  console_.EndOfCall();
  EXPECT_TRUE(other_thread_finished);
}

}  // namespace
}  // namespace kelvane::platform
