// Keys: the keyboard tables, and reads that wait for keys from another thread. What the input queue does
// with keys, also from a key source, is in conformance/input.test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/emulated/support.hpp"

namespace kelvane::platform {
namespace {

using namespace std::chrono_literals;
using namespace testing;

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

// Keystrokes show as VK.CHAR[.MODIFIERS] (support.hpp); E7 is VK_PACKET, for characters no key types.
TEST(Keyboard, IN5_TheKeyBehindEachCharacter) {
  std::vector<KeyStroke> strokes;
  for (unsigned char byte : std::string("aA7&);:'~ \r\n\t\b\x1b\0\x1a\x7f\xb0\x1c", 20))
    strokes.push_back(KeyStrokeForCharacter(byte));
  EXPECT_EQ(ShowKeys(strokes),
            "41.61 41.41.S 37.37 37.26.S 30.29.S BA.3B BA.3A.S DE.27 C0.7E.S 20.20 D.D D.A.C 9.9 8.8 1B.1B "
            "20.0.C 5A.1A.C 8.7F.C E7.B0 E7.1C");
  // Every printable character comes back from the keystroke that types it.
  for (int byte = 0x20; byte < 0x7F; ++byte) {
    const KeyStroke stroke = KeyStrokeForCharacter(static_cast<unsigned char>(byte));
    EXPECT_EQ(stroke.character, byte);
    EXPECT_NE(ScanCode(stroke.virtual_key), 0) << byte;
  }
}

TEST(Keyboard, TheSendKeysNotation) {
  const std::pair<std::string, std::string> cases[] = {
      {"aB1+ab+1", "41.61 42.42.S 31.31 41.41.S 42.62 31.21.S"},
      {"^c%f%+f^+a", "43.3.C 46.66.A 46.46.SA 41.1.SC"},
      {"^{ENTER}^{BS}^ ~%~{TAB}{ESC}", "D.A.C 8.7F.C 20.0.C D.D D.D.A 9.9 1B.1B"},
      {"{BS}{UP}{down}{Home}{END}{PGUP}{PGDN}{INS}", "8.8 26.0 28.0 24.0 23.0 21.0 22.0 2D.0"},
      {"{DEL}{F1}{f12}{F05}{+}{~}{{}{}}", "2E.0 70.0 7B.0 74.0 BB.2B.S C0.7E.S DB.7B.S DD.7D.S"},
      // Unknown or broken names are skipped with their modifiers.
      {"{NOSUCHKEY}x^{NOSUCHKEY}{F0}{F13}{F1X}{F99999999999999999999}{F-1}y", "58.78 59.79"},
      {"a{ENTER", "41.61"},
      {"{", ""},
      {"+", ""},
  };
  for (const auto& [keys, strokes] : cases) EXPECT_EQ(ShowKeys(ParseSendKeys(keys)), strokes) << keys;
}

class EmulatedInputWaiting : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(console_.AllocConsole(), 0);
    in_ = console_.GetStdHandle(kStdInputHandle);
    out_ = console_.GetStdHandle(kStdOutputHandle);
  }
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

  EmulatedConsole console_;
  Handle in_ = 0, out_ = 0;
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
  const Handle other =
      console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
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

}  // namespace
}  // namespace kelvane::platform
