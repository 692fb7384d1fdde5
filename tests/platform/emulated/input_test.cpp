// Keys: the keyboard tables, and reads that wait for keys from another thread or from a key source. What
// the input queue does with keys is in conformance/input.test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <iterator>
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

class EmulatedInputWaiting : public EmulatedConsoleTest {
 protected:
  // Starts `read` on another thread and returns once it sleeps waiting for input, in seconds at most.
  std::future<Bool> Asleep(std::function<Bool()> read) {
    auto result = std::async(std::launch::async, std::move(read));
    for (int tries = 0; console_.WaitingReads() == 0 && tries < 5000; ++tries)
      std::this_thread::sleep_for(1ms);
    EXPECT_EQ(console_.WaitingReads(), 1) << "the read does not wait";
    return result;
  }
  // The read's result; one not woken in seconds fails the test, and is then ended.
  Bool Woken(std::future<Bool>& read) {
    if (read.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "the read was not woken";
      console_.QueueText("x");
      console_.EndInput();
    }
    return read.get();
  }
};

// Keys, FreeConsole and the end of input each wake a read asleep on an empty queue; what was drawn is
// shown before it sleeps.
TEST_F(EmulatedInputWaiting, KeysFreeConsoleAndTheEndOfInputWakeAWaitingRead) {
  std::atomic<int> frames = 0;
  FramesTo presenter([&](const ConsoleFrame&) { ++frames; });
  console_.SetPresenter(&presenter);
  ASSERT_NE(console_.SetConsoleTitleA("a change to show"), 0);
  // Records without a character do not end a line; the echo goes to the buffer shown when a key arrives.
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput), 0);
  const Handle other = NewBuffer();
  char text[10];
  Dword got = 0xDEAD;
  auto line = Asleep([&] { return console_.ReadConsoleA(in_, text, 10, &got); });
  EXPECT_EQ(frames, 1);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  ASSERT_NE(console_.CloseHandle(out_), 0);
  ASSERT_NE(console_.CloseHandle(console_.GetStdHandle(kStdErrorHandle)), 0);
  console_.QueueKeystroke(kVkUp, 0, 0);
  console_.QueueText("hi\r");
  ASSERT_NE(Woken(line), 0);
  EXPECT_EQ(std::string(text, got), "hi\r\n");
  EXPECT_EQ(console_.ReadCells(other).at(1).Char, 'i');

  auto freed = Asleep([&] { return console_.ReadConsoleA(in_, text, 4, &got); });
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(Woken(freed), 0);
  EXPECT_EQ(got, 0u);

  ASSERT_NE(console_.AllocConsole(), 0);
  in_ = console_.GetStdHandle(kStdInputHandle);
  InputRecord record;
  Dword error = 0;
  auto ended = Asleep([&] {
    const Bool ok = console_.ReadConsoleInputA(in_, &record, 1, &got);
    error = console_.GetLastError();
    return ok;
  });
  console_.EndInput();
  EXPECT_EQ(Woken(ended), 0);
  EXPECT_EQ(error, kErrorHandleEof);
  console_.SetPresenter(nullptr);
}

// The end of input raced against a read about to wait, on a fresh console each round: the read must see
// it, whichever comes first. A read left waiting is woken, so a lost end fails in seconds.
TEST_F(EmulatedInputWaiting, TheEndOfInputRacedWithAReadAboutToWait) {
  for (int round = 0; round < 300; ++round) {
    EmulatedConsole console;
    ASSERT_NE(console.AllocConsole(), 0);
    auto read = std::async(std::launch::async, [&] {
      InputRecord record;
      Dword got = 0;
      return console.ReadConsoleInputA(console.GetStdHandle(kStdInputHandle), &record, 1, &got) == 0 &&
             console.GetLastError() == kErrorHandleEof;
    });
    console.EndInput();
    if (read.wait_for(5s) != std::future_status::ready) {
      console.QueueText("x");
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
  }
  void TearDown() override { console_.SetKeySource(nullptr); }
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
    EXPECT_EQ(read.get(), expected_error);
    return expected_error ? std::string() : text.substr(0, got);
  }
  ScriptedKeys keys_;
};

// One key is asked for each time a read finds the queue empty, and it passes the keyboard filter; a
// flush reaches the source, which keeps its script; the end is for good.
TEST_F(EmulatedKeySource, KeysComeOneAtATimeWhenAReadWaitsUntilTheScriptEnds) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableProcessedInput), 0);
  keys_.Add(KeystrokeRecords(KeyStroke{'C', 3, kCtrl}));  // with processed input a signal, not a key
  keys_.AddNothing();                                     // a turn without a key: asked again
  keys_.AddText("ab");
  EXPECT_EQ(Read(10), "a");
  EXPECT_EQ(keys_.Asked(), 3);
  console_.QueueText("typed ahead");
  ASSERT_NE(console_.FlushConsoleInputBuffer(in_), 0);
  EXPECT_EQ(keys_.Flushes(), 1);
  console_.QueueText("z");  // keys already queued are read without asking
  EXPECT_EQ(Read(10), "z");
  EXPECT_EQ(Read(10), "b");
  EXPECT_EQ(keys_.Asked(), 4);
  EXPECT_EQ(Read(4, kErrorHandleEof), "");
  InputRecord record;
  Dword got = 0xDEAD;
  EXPECT_FAILS(console_.ReadConsoleInputA(in_, &record, 1, &got), kErrorHandleEof);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(keys_.Asked(), 5);
}

}  // namespace
}  // namespace kelvane::platform
