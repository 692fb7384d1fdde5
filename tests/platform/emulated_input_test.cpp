// Keys: the records a keyboard produces, the input queue, ReadConsoleInputA and raw ReadConsoleA,
// and the end of input.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/emulated/keyboard.hpp"
#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using testing::EmulatedConsoleTest;
using testing::KeyDown;
using testing::KeyUp;
using testing::MouseEvent;

constexpr Dword kCtrl = kLeftCtrlPressed;
constexpr Dword kAlt = kLeftAltPressed;
constexpr Dword kShift = kShiftPressed;
constexpr Word kVkCancel = 0x03;

// A key record as a keyboard sends it, with the scan code of the US layout.
InputRecord Down(Word vk, Word ch, Dword state = 0) { return KeyDown(vk, ch, state, ScanCode(vk)); }
InputRecord Up(Word vk, Word ch, Dword state = 0) { return KeyUp(vk, ch, state, ScanCode(vk)); }

std::vector<InputRecord> Records(const KeyStroke& stroke) { return KeystrokeRecords(stroke); }

// --- the keyboard tables ---

TEST(KeyboardScanCodes, IN5_LettersAndDigits) {
  const char* row_order = "QWERTYUIOPASDFGHJKLZXCVBNM";
  const Word scans[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1E, 0x1F, 0x20,
                        0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};
  for (int i = 0; i < 26; ++i) EXPECT_EQ(ScanCode(static_cast<Word>(row_order[i])), scans[i]) << row_order[i];
  for (Word digit = '1'; digit <= '9'; ++digit) EXPECT_EQ(ScanCode(digit), digit - '1' + 2);
  EXPECT_EQ(ScanCode('0'), 0x0B);
}

TEST(KeyboardScanCodes, IN5_NamedKeys) {
  EXPECT_EQ(ScanCode(kVkReturn), 0x1C);
  EXPECT_EQ(ScanCode(kVkTab), 0x0F);
  EXPECT_EQ(ScanCode(kVkBack), 0x0E);
  EXPECT_EQ(ScanCode(kVkEscape), 0x01);
  EXPECT_EQ(ScanCode(kVkSpace), 0x39);
  EXPECT_EQ(ScanCode(kVkLeft), 0x4B);
  EXPECT_EQ(ScanCode(kVkUp), 0x48);
  EXPECT_EQ(ScanCode(kVkRight), 0x4D);
  EXPECT_EQ(ScanCode(kVkDown), 0x50);
  EXPECT_EQ(ScanCode(kVkHome), 0x47);
  EXPECT_EQ(ScanCode(kVkEnd), 0x4F);
  EXPECT_EQ(ScanCode(kVkPrior), 0x49);
  EXPECT_EQ(ScanCode(kVkNext), 0x51);
  EXPECT_EQ(ScanCode(kVkInsert), 0x52);
  EXPECT_EQ(ScanCode(kVkDelete), 0x53);
  for (Word n = 0; n < 10; ++n) EXPECT_EQ(ScanCode(kVkF1 + n), 0x3B + n);
  EXPECT_EQ(ScanCode(kVkF1 + 10), 0x57);
  EXPECT_EQ(ScanCode(kVkF1 + 11), 0x58);
  EXPECT_EQ(ScanCode(kVkShift), 0x2A);
  EXPECT_EQ(ScanCode(kVkControl), 0x1D);
  EXPECT_EQ(ScanCode(kVkMenu), 0x38);
  EXPECT_EQ(ScanCode(0), 0);
  EXPECT_EQ(ScanCode(0xFFFF), 0);
}

TEST(KeyboardScanCodes, IN4_EnhancedKeys) {
  for (Word vk :
       {kVkPrior, kVkNext, kVkEnd, kVkHome, kVkLeft, kVkUp, kVkRight, kVkDown, kVkInsert, kVkDelete}) {
    EXPECT_TRUE(IsEnhancedKey(vk)) << vk;
  }
  for (Word vk : {kVkReturn, kVkEscape, kVkSpace, kVkF1, Word{'A'}, kVkShift, kVkBack, kVkTab}) {
    EXPECT_FALSE(IsEnhancedKey(vk)) << vk;
  }
}

struct CharacterCase {
  unsigned char byte;
  Word vk;
  Word character;
  Dword state;
};

TEST(KeyboardCharacters, IN5_KeyBehindEachCharacter) {
  const CharacterCase cases[] = {
      {'a', 'A', 'a', 0},         {'z', 'Z', 'z', 0},
      {'A', 'A', 'A', kShift},    {'Q', 'Q', 'Q', kShift},
      {'1', '1', '1', 0},         {'0', '0', '0', 0},
      {'!', '1', '!', kShift},    {'@', '2', '@', kShift},
      {')', '0', ')', kShift},    {'(', '9', '(', kShift},
      {';', 0xBA, ';', 0},        {':', 0xBA, ':', kShift},
      {'=', 0xBB, '=', 0},        {'+', 0xBB, '+', kShift},
      {',', 0xBC, ',', 0},        {'<', 0xBC, '<', kShift},
      {'-', 0xBD, '-', 0},        {'_', 0xBD, '_', kShift},
      {'.', 0xBE, '.', 0},        {'/', 0xBF, '/', 0},
      {'?', 0xBF, '?', kShift},   {'`', 0xC0, '`', 0},
      {'~', 0xC0, '~', kShift},   {'[', 0xDB, '[', 0},
      {'{', 0xDB, '{', kShift},   {'\\', 0xDC, '\\', 0},
      {'|', 0xDC, '|', kShift},   {']', 0xDD, ']', 0},
      {'}', 0xDD, '}', kShift},   {'\'', 0xDE, '\'', 0},
      {'"', 0xDE, '"', kShift},   {' ', kVkSpace, ' ', 0},
      {'\r', kVkReturn, '\r', 0}, {'\n', kVkReturn, '\n', kCtrl},
      {'\t', kVkTab, '\t', 0},    {8, kVkBack, 8, 0},
      {0x1B, kVkEscape, 0x1B, 0}, {0, kVkSpace, 0, kCtrl},
      {1, 'A', 1, kCtrl},         {3, 'C', 3, kCtrl},
      {26, 'Z', 26, kCtrl},       {0x7F, kVkBack, 0x7F, kCtrl},
  };
  for (const auto& c : cases) {
    KeyStroke stroke = KeyStrokeForCharacter(c.byte);
    EXPECT_EQ(stroke.virtual_key, c.vk) << int{c.byte};
    EXPECT_EQ(stroke.character, c.character) << int{c.byte};
    EXPECT_EQ(stroke.control_state, c.state) << int{c.byte};
  }
}

TEST(KeyboardCharacters, BytesWithoutAKeyComeAsTheCharacterAlone) {
  for (unsigned char byte : {0x80, 0xB0, 0xFF, 0x1C}) {
    KeyStroke stroke = KeyStrokeForCharacter(byte);
    EXPECT_EQ(stroke.virtual_key, 0) << int{byte};
    EXPECT_EQ(stroke.character, byte);
    EXPECT_EQ(stroke.control_state, 0u);
  }
}

TEST(KeyboardRecords, IN3_ShiftedKey) {
  std::vector<InputRecord> expected{Down(kVkShift, 0, kShift), Down('A', 'A', kShift), Up('A', 'A', kShift),
                                    Up(kVkShift, 0, 0)};
  EXPECT_EQ(Records(KeyStroke{'A', 'A', kShift}), expected);
}

TEST(KeyboardRecords, IN3_PlainKeyHasNoModifierRecords) {
  std::vector<InputRecord> expected{Down('Q', 'q'), Up('Q', 'q')};
  EXPECT_EQ(Records(KeyStroke{'Q', 'q', 0}), expected);
}

TEST(KeyboardRecords, IN3_ModifiersGoDownShiftAltCtrlAndUpInReverse) {
  std::vector<InputRecord> expected{
      Down(kVkShift, 0, kShift),
      Down(kVkMenu, 0, kShift | kAlt),
      Down(kVkControl, 0, kShift | kAlt | kCtrl),
      Down('X', 0x18, kShift | kAlt | kCtrl),
      Up('X', 0x18, kShift | kAlt | kCtrl),
      Up(kVkControl, 0, kShift | kAlt),
      Up(kVkMenu, 0, kShift),
      Up(kVkShift, 0, 0),
  };
  EXPECT_EQ(Records(KeyStroke{'X', 0x18, kShift | kAlt | kCtrl}), expected);
}

TEST(KeyboardRecords, IN4_EnhancedKeysCarryTheFlag) {
  std::vector<InputRecord> expected{Down(kVkUp, 0, kEnhancedKey), Up(kVkUp, 0, kEnhancedKey)};
  EXPECT_EQ(Records(KeyStroke{kVkUp, 0, 0}), expected);
  std::vector<InputRecord> ctrl_end{Down(kVkControl, 0, kCtrl), Down(kVkEnd, 0, kCtrl | kEnhancedKey),
                                    Up(kVkEnd, 0, kCtrl | kEnhancedKey), Up(kVkControl, 0, 0)};
  EXPECT_EQ(Records(KeyStroke{kVkEnd, 0, kCtrl}), ctrl_end);
}

TEST(KeyboardRecords, IN5_RightHandModifiersAreEnhanced) {
  std::vector<InputRecord> expected{
      Down(kVkMenu, 0, kRightAltPressed | kEnhancedKey),
      Down(kVkControl, 0, kRightAltPressed | kRightCtrlPressed | kEnhancedKey),
      Down('K', 0, kRightAltPressed | kRightCtrlPressed),
      Up('K', 0, kRightAltPressed | kRightCtrlPressed),
      Up(kVkControl, 0, kRightAltPressed | kEnhancedKey),
      Up(kVkMenu, 0, kEnhancedKey),
  };
  EXPECT_EQ(Records(KeyStroke{'K', 0, kRightAltPressed | kRightCtrlPressed}), expected);
}

TEST(KeyboardRecords, LockStatesStayOnEveryRecord) {
  std::vector<InputRecord> expected{Down(kVkShift, 0, kShift | kNumlockOn),
                                    Down('B', 'B', kShift | kNumlockOn), Up('B', 'B', kShift | kNumlockOn),
                                    Up(kVkShift, 0, kNumlockOn)};
  EXPECT_EQ(Records(KeyStroke{'B', 'B', kShift | kNumlockOn}), expected);
}

// --- the SendKeys notation ---

struct StrokeCase {
  const char* keys;
  std::vector<KeyStroke> strokes;
};

void ExpectStrokes(const std::string& keys, const std::vector<KeyStroke>& expected) {
  std::vector<KeyStroke> got = ParseSendKeys(keys);
  ASSERT_EQ(got.size(), expected.size()) << keys;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].virtual_key, expected[i].virtual_key) << keys << " #" << i;
    EXPECT_EQ(got[i].character, expected[i].character) << keys << " #" << i;
    EXPECT_EQ(got[i].control_state, expected[i].control_state) << keys << " #" << i;
  }
}

TEST(KeyboardSendKeys, PlainCharacters) {
  ExpectStrokes("aB1", {{'A', 'a', 0}, {'B', 'B', kShift}, {'1', '1', 0}});
  ExpectStrokes("", {});
}

TEST(KeyboardSendKeys, ModifiersApplyToTheNextKeyOnly) {
  ExpectStrokes("+ab", {{'A', 'A', kShift}, {'B', 'b', 0}});
  ExpectStrokes("+1", {{'1', '!', kShift}});
  ExpectStrokes("+;", {{0xBA, ':', kShift}});
  ExpectStrokes("^c", {{'C', 3, kCtrl}});
  ExpectStrokes("%f", {{'F', 'f', kAlt}});
  ExpectStrokes("%+f", {{'F', 'F', kAlt | kShift}});
  ExpectStrokes("^+a", {{'A', 1, kCtrl | kShift}});
}

TEST(KeyboardSendKeys, EnterAndNamedKeys) {
  ExpectStrokes("~", {{kVkReturn, '\r', 0}});
  ExpectStrokes("%~", {{kVkReturn, '\r', kAlt}});
  ExpectStrokes("{ENTER}{TAB}{ESC}{BS}",
                {{kVkReturn, '\r', 0}, {kVkTab, '\t', 0}, {kVkEscape, 0x1B, 0}, {kVkBack, 8, 0}});
  ExpectStrokes("{UP}{down}{Home}{END}{PGUP}{PGDN}{INS}{DEL}", {{kVkUp, 0, 0},
                                                                {kVkDown, 0, 0},
                                                                {kVkHome, 0, 0},
                                                                {kVkEnd, 0, 0},
                                                                {kVkPrior, 0, 0},
                                                                {kVkNext, 0, 0},
                                                                {kVkInsert, 0, 0},
                                                                {kVkDelete, 0, 0}});
  ExpectStrokes("{F1}{F10}{f12}", {{kVkF1, 0, 0}, {kVkF1 + 9, 0, 0}, {kVkF1 + 11, 0, 0}});
  ExpectStrokes("+{TAB}", {{kVkTab, '\t', kShift}});
}

TEST(KeyboardSendKeys, ControlChangesTheCharacterOfSomeKeys) {
  ExpectStrokes("^{ENTER}", {{kVkReturn, '\n', kCtrl}});
  ExpectStrokes("^~", {{kVkReturn, '\n', kCtrl}});
  ExpectStrokes("^{BS}", {{kVkBack, 0x7F, kCtrl}});
  ExpectStrokes("^ ", {{kVkSpace, 0, kCtrl}});
}

TEST(KeyboardSendKeys, BracedSpecialCharacters) {
  ExpectStrokes("{+}{^}{%}{~}{{}{}}", {{0xBB, '+', kShift},
                                       {'6', '^', kShift},
                                       {'5', '%', kShift},
                                       {0xC0, '~', kShift},
                                       {0xDB, '{', kShift},
                                       {0xDD, '}', kShift}});
}

TEST(KeyboardSendKeys, UnknownAndBrokenNamesAreSkipped) {
  ExpectStrokes("{NOSUCHKEY}x", {{'X', 'x', 0}});
  ExpectStrokes("^{NOSUCHKEY}x", {{'X', 'x', 0}});
  ExpectStrokes("{F0}{F13}y", {{'Y', 'y', 0}});
  ExpectStrokes("a{ENTER", {{'A', 'a', 0}});
  ExpectStrokes("{", {});
  ExpectStrokes("+", {});
}

TEST(KeyboardSendKeys, FunctionKeyNamesAreNumbersOfOneOrTwoDigits) {
  ExpectStrokes("{F1X}{F99999999999999999999}{F-1}z", {{'Z', 'z', 0}});
  ExpectStrokes("{F}", {{'F', 'F', kShift}});
  ExpectStrokes("{F05}", {{kVkF1 + 4, 0, 0}});
}

TEST(KeyboardSendKeys, AnyTextParsesSafely) {
  const std::string alphabet = "{}+^%~()aZ1 F\x01\xFF";
  std::mt19937 random(4242);
  for (int round = 0; round < 2000; ++round) {
    std::string keys;
    int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) keys += alphabet[random() % alphabet.size()];
    for (const KeyStroke& stroke : ParseSendKeys(keys)) {
      EXPECT_FALSE(KeystrokeRecords(stroke).empty());
    }
  }
}

// --- the input queue ---

class EmulatedInputQueue : public EmulatedConsoleTest {};
class EmulatedInputRead : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    ASSERT_NE(console_.SetConsoleMode(in_, kEnableWindowInput), 0);
  }

  std::string ReadChars(Dword size) {
    std::string buffer(size, '#');
    Dword got = 0xDEAD;
    EXPECT_NE(console_.ReadConsoleA(in_, buffer.data(), size, &got), 0);
    if (got > size) return "<overrun>";
    return buffer.substr(0, got);
  }
};
class EmulatedInputEnd : public EmulatedConsoleTest {};

Dword Pending(EmulatedConsole& console, Handle in) {
  Dword count = 0xDEAD;
  EXPECT_NE(console.GetNumberOfConsoleInputEvents(in, &count), 0);
  return count;
}

// Lets a test start a read on another thread and go on only once that read waits for input. The
// console hands pending changes to the presenter just before a read waits, which marks the moment
// without any timing.
class WaitingRead {
 public:
  template <class Read>
  WaitingRead(EmulatedConsole& console, Read read) : console_(console), shared_(std::make_shared<Shared>()) {
    auto shared = shared_;
    console_.SetPresenter([shared](const ConsoleChanges&, const ConsoleView&) {
      std::lock_guard lock(shared->mutex);
      shared->waiting = true;
      shared->changed.notify_all();
    });
    EXPECT_NE(console_.SetConsoleTitleA("a change to show"), 0);
    result_ = std::async(std::launch::async, [shared, read] {
      auto result = read();
      std::lock_guard lock(shared->mutex);
      shared->done = true;
      shared->changed.notify_all();
      return result;
    });
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return shared_->waiting || shared_->done; });
    blocked_ = shared_->waiting && !shared_->done;
  }
  ~WaitingRead() {
    if (result_.valid()) {
      // A read left waiting by a failed test must not outlive it.
      console_.EndInput();
      result_.wait();
    }
    console_.SetPresenter(nullptr);
  }

  bool Blocked() const { return blocked_; }

  struct Result {
    Bool ok = 0;
    Dword error = 0;
    std::string text;
    std::vector<InputRecord> records;
  };
  Result Get() { return result_.get(); }

 private:
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;
    bool done = false;
  };
  EmulatedConsole& console_;
  std::shared_ptr<Shared> shared_;
  std::future<Result> result_;
  bool blocked_ = false;
};

WaitingRead::Result ReadInputRecords(EmulatedConsole& console, Handle in, Dword size) {
  WaitingRead::Result result;
  result.records.resize(size);
  Dword got = 0;
  result.ok = console.ReadConsoleInputA(in, result.records.data(), size, &got);
  result.error = result.ok ? 0 : console.GetLastError();
  result.records.resize(result.ok ? got : 0);
  return result;
}

WaitingRead::Result ReadText(EmulatedConsole& console, Handle in, Dword size) {
  WaitingRead::Result result;
  std::string buffer(size, '#');
  Dword got = 0;
  result.ok = console.ReadConsoleA(in, buffer.data(), size, &got);
  result.error = result.ok ? 0 : console.GetLastError();
  result.text = buffer.substr(0, result.ok ? got : 0);
  return result;
}

TEST_F(EmulatedInputQueue, IN1_ReadTakesUpToTheRequestedRecords) {
  console_.QueueText("ab");
  EXPECT_EQ(Pending(console_, in_), 4u);
  InputRecord records[3];
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, records, 3, &got), 0);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(records[0], Down('A', 'a'));
  EXPECT_EQ(records[1], Up('A', 'a'));
  EXPECT_EQ(records[2], Down('B', 'b'));
  EXPECT_EQ(Pending(console_, in_), 1u);
  ASSERT_NE(console_.ReadConsoleInputA(in_, records, 3, &got), 0);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(records[0], Up('B', 'b'));
  EXPECT_EQ(Pending(console_, in_), 0u);
}

TEST_F(EmulatedInputQueue, IN1_EveryEventTypeIsReturned) {
  InputRecord focus;
  focus.EventType = kFocusEvent;
  console_.QueueInput({MouseEvent(), focus, Down('A', 'a')});
  InputRecord records[8];
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, records, 8, &got), 0);
  ASSERT_EQ(got, 3u);
  EXPECT_EQ(records[0].EventType, kMouseEvent);
  EXPECT_EQ(records[1].EventType, kFocusEvent);
  EXPECT_EQ(records[2], Down('A', 'a'));
}

TEST_F(EmulatedInputQueue, IN1_CharacterComesBackZeroExtended) {
  console_.QueueInput({Down(0, 0x2550)});
  InputRecord record;
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, &record, 1, &got), 0);
  EXPECT_EQ(record.KeyEvent.uChar, 0x50);
}

TEST_F(EmulatedInputQueue, IN1_ReadWaitsForInput) {
  WaitingRead read(console_, [this] { return ReadInputRecords(console_, in_, 8); });
  ASSERT_TRUE(read.Blocked());
  console_.QueueText("q");
  auto result = read.Get();
  ASSERT_NE(result.ok, 0);
  std::vector<InputRecord> expected{Down('Q', 'q'), Up('Q', 'q')};
  EXPECT_EQ(result.records, expected);
}

TEST_F(EmulatedInputQueue, IN1_BadArguments) {
  console_.QueueText("a");
  InputRecord record;
  Dword got = 0xDEAD;
  EXPECT_EQ(console_.ReadConsoleInputA(out_, &record, 1, &got), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.ReadConsoleInputA(0, &record, 1, &got), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.ReadConsoleInputA(in_, nullptr, 1, &got), 0);
  EXPECT_EQ(console_.ReadConsoleInputA(in_, &record, 1, nullptr), 0);
  ASSERT_NE(console_.ReadConsoleInputA(in_, &record, 0, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(Pending(console_, in_), 2u);
}

TEST_F(EmulatedInputQueue, IN1_HugeLengthTakesOnlyWhatIsQueued) {
  console_.QueueText("x");
  std::vector<InputRecord> records(4);
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, records.data(), 0xFFFFFFFFu, &got), 0);
  EXPECT_EQ(got, 2u);
}

TEST_F(EmulatedInputQueue, IN2_ASingleRepeatedKeyDownAddsToTheRepeatCount) {
  console_.QueueInput({Down('A', 'a')});
  console_.QueueInput({Down('A', 'a')});
  InputRecord twice = Down('A', 'a');
  twice.KeyEvent.wRepeatCount = 3;
  console_.QueueInput({twice});
  EXPECT_EQ(Pending(console_, in_), 1u);
  console_.QueueInput({Down('A', 'a', kShift)});  // another state: a record of its own
  console_.QueueInput({Up('A', 'a')});
  console_.QueueInput({Up('A', 'a')});                    // key-ups never merge
  console_.QueueInput({Down('A', 'a'), Down('A', 'a')});  // nor records written together
  EXPECT_EQ(Pending(console_, in_), 6u);
  InputRecord first;
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, &first, 1, &got), 0);
  EXPECT_EQ(first.KeyEvent.wRepeatCount, 5);
}

TEST_F(EmulatedInputQueue, IN3_QueuedTextComesAsKeystrokes) {
  console_.QueueText("Hi!\r");
  std::vector<InputRecord> expected{
      Down(kVkShift, 0, kShift), Down('H', 'H', kShift), Up('H', 'H', kShift),
      Up(kVkShift, 0, 0),        Down('I', 'i'),         Up('I', 'i'),
      Down(kVkShift, 0, kShift), Down('1', '!', kShift), Up('1', '!', kShift),
      Up(kVkShift, 0, 0),        Down(kVkReturn, '\r'),  Up(kVkReturn, '\r'),
  };
  std::vector<InputRecord> got(expected.size() + 1);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), static_cast<Dword>(got.size()), &count), 0);
  got.resize(count);
  EXPECT_EQ(got, expected);
}

TEST_F(EmulatedInputQueue, IN3_QueuedKeystrokeWithControl) {
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  console_.QueueKeystroke('C', 3, kCtrl);
  std::vector<InputRecord> expected{Down(kVkControl, 0, kCtrl), Down('C', 3, kCtrl), Up('C', 3, kCtrl),
                                    Up(kVkControl, 0, 0)};
  std::vector<InputRecord> got(8);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), 8, &count), 0);
  got.resize(count);
  EXPECT_EQ(got, expected);
}

TEST_F(EmulatedInputQueue, IN6_NoModifierRecordsForPlainKeys) {
  console_.QueueText("ab1 ;");
  std::vector<InputRecord> got(20);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), 20, &count), 0);
  EXPECT_EQ(count, 10u);
  for (Dword i = 0; i < count; ++i) {
    EXPECT_NE(got[i].KeyEvent.wVirtualKeyCode, kVkShift);
    EXPECT_EQ(got[i].KeyEvent.bKeyDown, i % 2 == 0 ? 1 : 0);
  }
}

TEST_F(EmulatedInputQueue, IN7_ProcessedInputKeepsCtrlCDownOut) {
  console_.QueueText("\x03");
  std::vector<InputRecord> expected{Down(kVkControl, 0, kCtrl), Up('C', 3, kCtrl), Up(kVkControl, 0, 0)};
  std::vector<InputRecord> got(8);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), 8, &count), 0);
  got.resize(count);
  EXPECT_EQ(got, expected);
  // Records written directly are not filtered.
  console_.QueueInput({Down('C', 3, kCtrl)});
  EXPECT_EQ(Pending(console_, in_), 1u);
}

TEST_F(EmulatedInputQueue, IN7_CtrlEscAndAltEscDownsAreNeverQueued) {
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  console_.QueueKeystroke(kVkEscape, 0x1B, kCtrl);
  console_.QueueKeystroke(kVkEscape, 0x1B, kAlt);
  std::vector<InputRecord> expected{Down(kVkControl, 0, kCtrl), Up(kVkEscape, 0x1B, kCtrl),
                                    Up(kVkControl, 0, 0),       Down(kVkMenu, 0, kAlt),
                                    Up(kVkEscape, 0x1B, kAlt),  Up(kVkMenu, 0, 0)};
  std::vector<InputRecord> got(8);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), 8, &count), 0);
  got.resize(count);
  EXPECT_EQ(got, expected);
}

TEST_F(EmulatedInputQueue, IN7_CtrlCIsAKeyWithoutProcessedInput) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableWindowInput), 0);
  console_.QueueText("\x03");
  EXPECT_EQ(Pending(console_, in_), 4u);
}

TEST_F(EmulatedInputQueue, IN7_CtrlBreakFlushesTheQueue) {
  console_.QueueText("abc");
  console_.QueueKeystroke(kVkCancel, 3, kCtrl);
  std::vector<InputRecord> expected{Up(kVkCancel, 3, kCtrl), Up(kVkControl, 0, 0)};
  std::vector<InputRecord> got(8);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), 8, &count), 0);
  got.resize(count);
  EXPECT_EQ(got, expected);
}

TEST_F(EmulatedInputQueue, IN8_WindowInputReportsNewBufferSizes) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableWindowInput), 0);
  UseBuffer(Coord{80, 25}, SmallRect{0, 0, 39, 9});  // same size, smaller window: no event
  EXPECT_EQ(Pending(console_, in_), 0u);
  UseBuffer(100, 30);
  ASSERT_EQ(Pending(console_, in_), 1u);
  InputRecord record;
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, &record, 1, &got), 0);
  EXPECT_EQ(record.EventType, kWindowBufferSizeEvent);

  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  UseBuffer(other, 20, 5);  // not the active buffer
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableProcessedInput), 0);
  UseBuffer(50, 20);  // window input off
  EXPECT_EQ(Pending(console_, in_), 0u);
}

TEST_F(EmulatedInputQueue, IN9_FlushDiscardsEverything) {
  console_.QueueText("hello");
  console_.QueueInput({MouseEvent()});
  EXPECT_EQ(Pending(console_, in_), 11u);
  ASSERT_NE(console_.FlushConsoleInputBuffer(in_), 0);
  EXPECT_EQ(Pending(console_, in_), 0u);
  EXPECT_EQ(console_.PendingInput(), 0u);
}

TEST_F(EmulatedInputQueue, IN9_FlushNeedsTheInputHandle) {
  console_.QueueText("a");
  EXPECT_EQ(console_.FlushConsoleInputBuffer(out_), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.FlushConsoleInputBuffer(0), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(Pending(console_, in_), 2u);
}

TEST_F(EmulatedInputQueue, NumberOfEventsBadArguments) {
  Dword count = 99;
  EXPECT_EQ(console_.GetNumberOfConsoleInputEvents(out_, &count), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(count, 99u);
  EXPECT_EQ(console_.GetNumberOfConsoleInputEvents(in_, nullptr), 0);
}

TEST_F(EmulatedInputQueue, S15_ActivationKeepsOnlyKeyEvents) {
  console_.QueueInput({MouseEvent(), Down('K', 'k')});
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  EXPECT_EQ(Pending(console_, in_), 1u);
  InputRecord record;
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, &record, 1, &got), 0);
  EXPECT_EQ(record, Down('K', 'k'));
  console_.QueueInput({MouseEvent(), Down('K', 'k')});
  ASSERT_NE(console_.FlushConsoleInputBuffer(in_), 0);
  EXPECT_EQ(Pending(console_, in_), 0u);
}

// --- raw ReadConsoleA ---

TEST_F(EmulatedInputRead, RC1_TakesEveryQueuedCharacterThatFits) {
  console_.QueueText("abc");
  EXPECT_EQ(ReadChars(10), "abc");
  EXPECT_EQ(Pending(console_, in_), 0u);
  console_.QueueText("xyz");
  EXPECT_EQ(ReadChars(1), "x");
  EXPECT_EQ(ReadChars(10), "yz");
}

TEST_F(EmulatedInputRead, RC1_WaitsForACharacter) {
  WaitingRead read(console_, [this] { return ReadText(console_, in_, 10); });
  ASSERT_TRUE(read.Blocked());
  console_.QueueText("hi");
  auto result = read.Get();
  ASSERT_NE(result.ok, 0);
  EXPECT_EQ(result.text, "hi");
}

TEST_F(EmulatedInputRead, RC2_RecordsWithoutCharactersDoNotEndTheWait) {
  WaitingRead read(console_, [this] { return ReadText(console_, in_, 10); });
  ASSERT_TRUE(read.Blocked());
  console_.QueueKeystroke(kVkUp, 0, 0);
  console_.QueueInput({MouseEvent(), Up('A', 'a')});
  console_.QueueText("k");
  auto result = read.Get();
  ASSERT_NE(result.ok, 0);
  EXPECT_EQ(result.text, "k");
  EXPECT_EQ(Pending(console_, in_), 0u);
}

TEST_F(EmulatedInputRead, RC2_CharacterlessKeysAreConsumedSilently) {
  console_.QueueKeystroke(kVkUp, 0, 0);
  console_.QueueKeystroke(kVkF1, 0, 0);
  console_.QueueKeystroke(kVkHome, 0, kCtrl);
  console_.QueueInput({MouseEvent()});
  console_.QueueText("Z");
  console_.QueueKeystroke(kVkDelete, 0, 0);
  EXPECT_EQ(ReadChars(10), "Z");
  EXPECT_EQ(Pending(console_, in_), 0u);
}

TEST_F(EmulatedInputRead, RC3_EscapeLineFeedAndNulAreDelivered) {
  console_.QueueText(std::string("\x1b\n\0.", 4));
  EXPECT_EQ(ReadChars(10), std::string("\x1b\n\0.", 4));
}

TEST_F(EmulatedInputRead, RC4_CharacterValues) {
  console_.QueueKeystroke(kVkReturn, '\r', 0);
  console_.QueueKeystroke(kVkBack, 8, 0);
  console_.QueueKeystroke(kVkTab, '\t', 0);
  console_.QueueKeystroke('C', 3, kCtrl);
  console_.QueueKeystroke('A', 1, kCtrl);
  console_.QueueKeystroke('A', 'a', kAlt);
  EXPECT_EQ(ReadChars(10),
            "\r\b\t\x03\x01"
            "a");
}

TEST_F(EmulatedInputRead, RC5_RepeatCountYieldsThatManyCharacters) {
  InputRecord thrice = Down('A', 'a');
  thrice.KeyEvent.wRepeatCount = 3;
  console_.QueueInput({thrice, Up('A', 'a')});
  EXPECT_EQ(ReadChars(10), "aaa");
  console_.QueueInput({thrice});
  EXPECT_EQ(ReadChars(2), "aa");
  EXPECT_EQ(ReadChars(2), "a");
}

TEST_F(EmulatedInputRead, RC6_BadArguments) {
  console_.QueueText("a");
  char buffer[4];
  Dword got = 0xDEAD;
  EXPECT_EQ(console_.ReadConsoleA(out_, buffer, 4, &got), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.ReadConsoleA(0, buffer, 4, &got), 0);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_EQ(console_.ReadConsoleA(in_, nullptr, 4, &got), 0);
  EXPECT_EQ(console_.ReadConsoleA(in_, buffer, 4, nullptr), 0);
  ASSERT_NE(console_.ReadConsoleA(in_, buffer, 0, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(Pending(console_, in_), 2u);
}

TEST_F(EmulatedInputRead, RC6_HugeLengthTakesOnlyWhatIsQueued) {
  console_.QueueText("abc");
  char buffer[16] = {};
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleA(in_, buffer, 0xFFFFFFFFu, &got), 0);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST_F(EmulatedInputRead, S13_RawReadAndTheSameKeysAsRecords) {
  auto queue = [this] {
    console_.QueueText("A");
    console_.QueueKeystroke(kVkUp, 0, 0);
    console_.QueueText("\x1b\r");
  };
  queue();
  EXPECT_EQ(ReadChars(10), "A\x1b\r");
  EXPECT_EQ(Pending(console_, in_), 0u);

  queue();
  std::vector<InputRecord> expected{
      Down(kVkShift, 0, kShift),    Down('A', 'A', kShift),     Up('A', 'A', kShift),  Up(kVkShift, 0, 0),
      Down(kVkUp, 0, kEnhancedKey), Up(kVkUp, 0, kEnhancedKey), Down(kVkEscape, 0x1B), Up(kVkEscape, 0x1B),
      Down(kVkReturn, '\r'),        Up(kVkReturn, '\r'),
  };
  std::vector<InputRecord> got(10);
  Dword count = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, got.data(), 10, &count), 0);
  EXPECT_EQ(count, 10u);
  EXPECT_EQ(got, expected);
}

TEST_F(EmulatedInputRead, LineModeReturnsTheRestOnLaterReads) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput), 0);
  console_.QueueText("abcdef\rxy\r");
  EXPECT_EQ(ReadChars(4), "abcd");
  EXPECT_EQ(ReadChars(3), "ef\r");
  EXPECT_EQ(ReadChars(10), "\n");
  EXPECT_EQ(ReadChars(10), "xy\r\n");
}

TEST_F(EmulatedInputRead, LineModeEchoesOnce) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput), 0);
  console_.QueueText("abcdef\r");
  EXPECT_EQ(ReadChars(2), "ab");
  EXPECT_EQ(ReadChars(10), "cdef\r\n");
  EXPECT_EQ(Row(0).substr(0, 8), "abcdef  ");
  EXPECT_EQ(Cursor(), (Coord{0, 1}));
}

TEST_F(EmulatedInputRead, LineModeEchoesToTheBufferActiveWhenTheKeyArrives) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput), 0);
  Handle other = console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  ASSERT_NE(other, kInvalidHandle);
  WaitingRead read(console_, [this] { return ReadText(console_, in_, 10); });
  ASSERT_TRUE(read.Blocked());
  // The buffer active when the read began goes away while it waits.
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  ASSERT_NE(console_.CloseHandle(out_), 0);
  ASSERT_NE(console_.CloseHandle(console_.GetStdHandle(kStdErrorHandle)), 0);
  console_.QueueText("hi\r");
  auto result = read.Get();
  ASSERT_NE(result.ok, 0);
  EXPECT_EQ(result.text, "hi\r\n");
  EXPECT_EQ(Chars(0, 0, 3, other), "hi ");
}

TEST_F(EmulatedInputRead, LineModeWithoutAnyBufferToEchoTo) {
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput | kEnableEchoInput), 0);
  ASSERT_NE(console_.CloseHandle(out_), 0);
  ASSERT_NE(console_.CloseHandle(console_.GetStdHandle(kStdErrorHandle)), 0);
  ASSERT_EQ(console_.ActiveBufferHandle(), 0);
  console_.QueueText("ab\bc\r");
  EXPECT_EQ(ReadChars(10), "ac\r\n");
}

// --- the end of input ---

TEST_F(EmulatedInputEnd, ReadsOnAnEmptyQueueFailAtOnce) {
  console_.EndInput();
  InputRecord record;
  Dword got = 0xDEAD;
  EXPECT_EQ(console_.ReadConsoleInputA(in_, &record, 1, &got), 0);
  EXPECT_EQ(LastError(), kErrorHandleEof);
  EXPECT_EQ(got, 0u);
  char buffer[4];
  got = 0xDEAD;
  EXPECT_EQ(console_.ReadConsoleA(in_, buffer, 4, &got), 0);
  EXPECT_EQ(LastError(), kErrorHandleEof);
  EXPECT_EQ(got, 0u);
  ASSERT_NE(console_.SetConsoleMode(in_, kEnableLineInput), 0);
  EXPECT_EQ(console_.ReadConsoleA(in_, buffer, 4, &got), 0);
  EXPECT_EQ(LastError(), kErrorHandleEof);
}

TEST_F(EmulatedInputEnd, QueuedInputIsStillDelivered) {
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  console_.QueueText("ok");
  console_.EndInput();
  char buffer[8];
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleA(in_, buffer, 8, &got), 0);
  EXPECT_EQ(std::string(buffer, got), "ok");
  EXPECT_EQ(console_.ReadConsoleA(in_, buffer, 8, &got), 0);
  EXPECT_EQ(LastError(), kErrorHandleEof);
}

TEST_F(EmulatedInputEnd, KeyUpsAloneEndInTheSameWay) {
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  console_.QueueInput({Up('A', 'a'), MouseEvent()});
  console_.EndInput();
  char buffer[8];
  Dword got = 0;
  EXPECT_EQ(console_.ReadConsoleA(in_, buffer, 8, &got), 0);
  EXPECT_EQ(LastError(), kErrorHandleEof);
}

TEST_F(EmulatedInputEnd, EndsAWaitingRead) {
  WaitingRead read(console_, [this] { return ReadInputRecords(console_, in_, 4); });
  ASSERT_TRUE(read.Blocked());
  console_.EndInput();
  auto result = read.Get();
  EXPECT_EQ(result.ok, 0);
  EXPECT_EQ(result.error, kErrorHandleEof);
}

TEST_F(EmulatedInputEnd, FreeConsoleEndsAWaitingRead) {
  ASSERT_NE(console_.SetConsoleMode(in_, 0), 0);
  WaitingRead read(console_, [this] { return ReadText(console_, in_, 4); });
  ASSERT_TRUE(read.Blocked());
  ASSERT_NE(console_.FreeConsole(), 0);
  auto result = read.Get();
  EXPECT_EQ(result.ok, 0);
  EXPECT_EQ(result.error, kErrorInvalidHandle);
}

}  // namespace
}  // namespace kelvane::platform
