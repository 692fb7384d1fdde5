// Keys: the records a keyboard produces, the input queue, ReadConsoleInputA and raw ReadConsoleA,
// and the end of input.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace std::string_literals;
using namespace testing;

constexpr Dword kCtrl = kLeftCtrlPressed;
constexpr Dword kAlt = kLeftAltPressed;
constexpr Dword kShift = kShiftPressed;
constexpr Word kVkCancel = 0x03;

// --- the keyboard tables ---

TEST(Keyboard, IN4_IN5_ScanCodesAndEnhancedKeys) {
  const char* letters = "QWERTYUIOPASDFGHJKLZXCVBNM";
  const Word letter_scans[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1E, 0x1F, 0x20,
                               0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};
  for (int i = 0; i < 26; ++i)
    EXPECT_EQ(ScanCode(static_cast<Word>(letters[i])), letter_scans[i]) << letters[i];
  for (Word digit = '1'; digit <= '9'; ++digit) EXPECT_EQ(ScanCode(digit), digit - '1' + 2);
  for (Word n = 0; n < 10; ++n) EXPECT_EQ(ScanCode(kVkF1 + n), 0x3B + n);
  const Word keys[] = {'0',      kVkReturn,  kVkTab,    kVkBack,   kVkEscape,  kVkSpace,
                       kVkLeft,  kVkUp,      kVkRight,  kVkDown,   kVkHome,    kVkEnd,
                       kVkPrior, kVkNext,    kVkInsert, kVkDelete, kVkF1 + 10, kVkF1 + 11,
                       kVkShift, kVkControl, kVkMenu,   0,         0xFFFF};
  const Word scans[] = {0x0B, 0x1C, 0x0F, 0x0E, 0x01, 0x39, 0x4B, 0x48, 0x4D, 0x50, 0x47, 0x4F,
                        0x49, 0x51, 0x52, 0x53, 0x57, 0x58, 0x2A, 0x1D, 0x38, 0,    0};
  for (size_t i = 0; i < std::size(keys); ++i) EXPECT_EQ(ScanCode(keys[i]), scans[i]) << keys[i];
  for (Word vk :
       {kVkPrior, kVkNext, kVkEnd, kVkHome, kVkLeft, kVkUp, kVkRight, kVkDown, kVkInsert, kVkDelete}) {
    EXPECT_TRUE(IsEnhancedKey(vk)) << vk;
  }
  for (Word vk : {kVkReturn, kVkEscape, kVkSpace, kVkF1, Word{'A'}, kVkShift, kVkBack, kVkTab}) {
    EXPECT_FALSE(IsEnhancedKey(vk)) << vk;
  }
}

void ExpectStroke(const KeyStroke& got, const KeyStroke& expected, const std::string& what) {
  EXPECT_EQ(got.virtual_key, expected.virtual_key) << what;
  EXPECT_EQ(got.character, expected.character) << what;
  EXPECT_EQ(got.control_state, expected.control_state) << what;
}

TEST(Keyboard, IN5_TheKeyBehindEachCharacter) {
  // Every character key of the US layout, typed plain and with Shift.
  struct Key {
    Word vk;
    char plain, shifted;
  };
  std::vector<Key> keys;
  for (char c = 'A'; c <= 'Z'; ++c)
    keys.push_back({static_cast<Word>(c), static_cast<char>(c - 'A' + 'a'), c});
  for (char d = '0'; d <= '9'; ++d) keys.push_back({static_cast<Word>(d), d, ")!@#$%^&*("[d - '0']});
  const std::string plain = ";=,-./`[\\]'", shifted = ":+<_>?~{|}\"";
  const Word punctuation[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
  for (size_t i = 0; i < plain.size(); ++i) keys.push_back({punctuation[i], plain[i], shifted[i]});
  for (const Key& k : keys) {
    auto plain_byte = static_cast<unsigned char>(k.plain),
         shifted_byte = static_cast<unsigned char>(k.shifted);
    ExpectStroke(KeyStrokeForCharacter(plain_byte), {k.vk, plain_byte, 0}, std::string(1, k.plain));
    ExpectStroke(KeyStrokeForCharacter(shifted_byte), {k.vk, shifted_byte, kShift},
                 std::string(1, k.shifted));
  }
  // Keys of their own, control characters, and bytes without a key, which come as the character alone.
  const std::pair<unsigned char, KeyStroke> others[] = {
      {' ', {kVkSpace, ' ', 0}}, {'\r', {kVkReturn, '\r', 0}},   {'\n', {kVkReturn, '\n', kCtrl}},
      {'\t', {kVkTab, '\t', 0}}, {8, {kVkBack, 8, 0}},           {0x1B, {kVkEscape, 0x1B, 0}},
      {0, {kVkSpace, 0, kCtrl}}, {1, {'A', 1, kCtrl}},           {3, {'C', 3, kCtrl}},
      {26, {'Z', 26, kCtrl}},    {0x7F, {kVkBack, 0x7F, kCtrl}}, {0x80, {0, 0x80, 0}},
      {0xB0, {0, 0xB0, 0}},      {0xFF, {0, 0xFF, 0}},           {0x1C, {0, 0x1C, 0}},
  };
  for (const auto& [byte, stroke] : others)
    ExpectStroke(KeyStrokeForCharacter(byte), stroke, std::to_string(byte));
}

TEST(Keyboard, IN3_IN4_IN5_IN6_TheRecordsOfAKeystroke) {
  constexpr Dword kRight = kRightAltPressed | kRightCtrlPressed;
  constexpr Dword kAll = kShift | kAlt | kCtrl;
  const std::pair<KeyStroke, std::vector<InputRecord>> cases[] = {
      // A plain key alone, its up carrying the down's character.
      {{'Q', 'q', 0}, {Down('Q', 'q'), Up('Q', 'q')}},
      // Downs Shift, Alt, Ctrl, ups in reverse, each carrying the modifiers held at that moment.
      {{'X', 0x18, kAll},
       {Down(kVkShift, 0, kShift), Down(kVkMenu, 0, kShift | kAlt), Down(kVkControl, 0, kAll),
        Down('X', 0x18, kAll), Up('X', 0x18, kAll), Up(kVkControl, 0, kShift | kAlt), Up(kVkMenu, 0, kShift),
        Up(kVkShift, 0, 0)}},
      {{kVkUp, 0, 0}, {Down(kVkUp, 0, kEnhancedKey), Up(kVkUp, 0, kEnhancedKey)}},
      {{kVkEnd, 0, kCtrl},
       {Down(kVkControl, 0, kCtrl), Down(kVkEnd, 0, kCtrl | kEnhancedKey),
        Up(kVkEnd, 0, kCtrl | kEnhancedKey), Up(kVkControl, 0, 0)}},
      // The right-hand modifiers are enhanced keys themselves.
      {{'K', 0, kRight},
       {Down(kVkMenu, 0, kRightAltPressed | kEnhancedKey), Down(kVkControl, 0, kRight | kEnhancedKey),
        Down('K', 0, kRight), Up('K', 0, kRight), Up(kVkControl, 0, kRightAltPressed | kEnhancedKey),
        Up(kVkMenu, 0, kEnhancedKey)}},
      // Lock states stay on every record.
      {{'B', 'B', kShift | kNumlockOn},
       {Down(kVkShift, 0, kShift | kNumlockOn), Down('B', 'B', kShift | kNumlockOn),
        Up('B', 'B', kShift | kNumlockOn), Up(kVkShift, 0, kNumlockOn)}},
  };
  for (const auto& [stroke, records] : cases)
    EXPECT_EQ(KeystrokeRecords(stroke), records) << stroke.virtual_key;
}

TEST(Keyboard, TheSendKeysNotation) {
  const std::pair<std::string, std::vector<KeyStroke>> cases[] = {
      {"aB1", {{'A', 'a', 0}, {'B', 'B', kShift}, {'1', '1', 0}}},
      {"", {}},
      // Modifiers apply to the next key only and change its character.
      {"+ab", {{'A', 'A', kShift}, {'B', 'b', 0}}},
      {"+1+;", {{'1', '!', kShift}, {0xBA, ':', kShift}}},
      {"^c%f%+f^+a",
       {{'C', 3, kCtrl}, {'F', 'f', kAlt}, {'F', 'F', kAlt | kShift}, {'A', 1, kCtrl | kShift}}},
      {"^{ENTER}^~^{BS}^ ",
       {{kVkReturn, '\n', kCtrl}, {kVkReturn, '\n', kCtrl}, {kVkBack, 0x7F, kCtrl}, {kVkSpace, 0, kCtrl}}},
      {"~%~+{TAB}", {{kVkReturn, '\r', 0}, {kVkReturn, '\r', kAlt}, {kVkTab, '\t', kShift}}},
      {"{ENTER}{TAB}{ESC}{BS}",
       {{kVkReturn, '\r', 0}, {kVkTab, '\t', 0}, {kVkEscape, 0x1B, 0}, {kVkBack, 8, 0}}},
      {"{UP}{down}{Home}{END}", {{kVkUp, 0, 0}, {kVkDown, 0, 0}, {kVkHome, 0, 0}, {kVkEnd, 0, 0}}},
      {"{PGUP}{PGDN}{INS}{DEL}", {{kVkPrior, 0, 0}, {kVkNext, 0, 0}, {kVkInsert, 0, 0}, {kVkDelete, 0, 0}}},
      {"{F1}{F10}{f12}{F05}", {{kVkF1, 0, 0}, {kVkF1 + 9, 0, 0}, {kVkF1 + 11, 0, 0}, {kVkF1 + 4, 0, 0}}},
      {"{+}{^}{%}", {{0xBB, '+', kShift}, {'6', '^', kShift}, {'5', '%', kShift}}},
      {"{~}{{}{}}", {{0xC0, '~', kShift}, {0xDB, '{', kShift}, {0xDD, '}', kShift}}},
      {"{F}", {{'F', 'F', kShift}}},
      // Unknown or broken names are skipped with their modifiers.
      {"{NOSUCHKEY}x^{NOSUCHKEY}x", {{'X', 'x', 0}, {'X', 'x', 0}}},
      {"{F0}{F13}{F1X}{F99999999999999999999}{F-1}y", {{'Y', 'y', 0}}},
      {"a{ENTER", {{'A', 'a', 0}}},
      {"{", {}},
      {"+", {}},
  };
  for (const auto& [keys, strokes] : cases) {
    std::vector<KeyStroke> got = ParseSendKeys(keys);
    ASSERT_EQ(got.size(), strokes.size()) << keys;
    for (size_t i = 0; i < got.size(); ++i) {
      ExpectStroke(got[i], strokes[i], keys + " #" + std::to_string(i));
    }
  }
}

TEST(Keyboard, AnyTextParsesSafely) {
  const std::string alphabet = "{}+^%~()aZ1 F\x01\xFF";
  std::mt19937 random(4242);
  for (int round = 0; round < 2000; ++round) {
    std::string keys;
    int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) keys += alphabet[random() % alphabet.size()];
    for (const KeyStroke& stroke : ParseSendKeys(keys)) EXPECT_FALSE(KeystrokeRecords(stroke).empty());
  }
}

// --- the input queue and the reads ---

// Lets a test start a read on another thread and go on only once that read waits for input. The
// console hands pending changes to the presenter just before a read waits, which marks the moment
// without any timing.
class WaitingRead {
 public:
  struct Result {
    Bool ok = 0;
    Dword error = 0;
    std::string text;
    std::vector<InputRecord> records;
  };

  WaitingRead(EmulatedConsole& console, std::function<Result()> read)
      : console_(console), shared_(std::make_shared<Shared>()) {
    auto shared = shared_;
    auto signal = [shared](bool Shared::*flag) {
      std::lock_guard lock(shared->mutex);
      shared.get()->*flag = true;
      shared->changed.notify_all();
    };
    presenter_ =
        std::make_unique<CallbackPresenter>([signal](const ConsoleFrame&) { signal(&Shared::waiting); });
    console_.SetPresenter(presenter_.get());
    EXPECT_NE(console_.SetConsoleTitleA("a change to show"), 0);
    result_ = std::async(std::launch::async, [signal, read] {
      Result result = read();
      signal(&Shared::done);
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
  Result Get() { return result_.get(); }

 private:
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;
    bool done = false;
  };
  EmulatedConsole& console_;
  std::unique_ptr<CallbackPresenter> presenter_;
  std::shared_ptr<Shared> shared_;
  std::future<Result> result_;
  bool blocked_ = false;
};

class EmulatedInputWaiting : public EmulatedConsoleTest {
 protected:
  void SetUp() override {
    EmulatedConsoleTest::SetUp();
    SetInputMode(kEnableWindowInput);
  }
  void SetInputMode(Dword mode) { ASSERT_NE(console_.SetConsoleMode(in_, mode), 0); }

  WaitingRead::Result ReadRecords(Dword size) {
    WaitingRead::Result r{0, 0, "", std::vector<InputRecord>(size)};
    Dword got = 0;
    r.ok = console_.ReadConsoleInputA(in_, r.records.data(), size, &got);
    r.error = r.ok ? 0 : LastError();
    r.records.resize(r.ok ? got : 0);
    return r;
  }
  WaitingRead::Result ReadText(Dword size) {
    WaitingRead::Result r{0, 0, std::string(size, '#'), {}};
    Dword got = 0;
    r.ok = console_.ReadConsoleA(in_, r.text.data(), size, &got);
    r.error = r.ok ? 0 : LastError();
    r.text.resize(r.ok ? got : 0);
    return r;
  }
  // What is queued now, read without waiting.
  std::vector<InputRecord> Queued(Dword size = 32) {
    return Pending() ? ReadRecords(size).records : std::vector<InputRecord>{};
  }
  std::string ReadChars(Dword size) {
    WaitingRead::Result result = ReadText(size);
    EXPECT_NE(result.ok, 0);
    return result.text;
  }
};

// Input has ended, so a read that finds nothing to take fails at once instead of waiting: a fault
// cannot hang these tests.
class EmulatedInput : public EmulatedInputWaiting {
 protected:
  void SetUp() override {
    EmulatedInputWaiting::SetUp();
    console_.EndInput();
  }
};

TEST_F(EmulatedInput, IN1_ReadRemovesUpToTheRequestedRecordsOfEveryType) {
  console_.QueueInput({EventOfType(kMouseEvent), EventOfType(kFocusEvent)});
  console_.QueueText("ab");
  console_.QueueInput({Down(0, 0x2550)});
  EXPECT_EQ(Pending(), 7u);
  EXPECT_EQ(Queued(3), (std::vector{EventOfType(kMouseEvent), EventOfType(kFocusEvent), Down('A', 'a')}));
  EXPECT_EQ(Pending(), 4u);
  // A length beyond the caller's array takes only what is queued; the character's high byte reads 0.
  std::vector<InputRecord> records(4);
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleInputA(in_, records.data(), 0xFFFFFFFFu, &got), 0);
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(records, (std::vector{Up('A', 'a'), Down('B', 'b'), Up('B', 'b'), Down(0, 0x50)}));
}

TEST_F(EmulatedInput, IN1_IN9_RC6_InputCallsNeedTheInputHandleAndPointers) {
  console_.QueueText("a");
  InputRecord record;
  char text[4];
  Dword got = 0xDEAD;
  for (Handle bad : {out_, Handle{0}, kInvalidHandle}) {
    EXPECT_FAILS(console_.ReadConsoleInputA(bad, &record, 1, &got), kErrorInvalidHandle);
    EXPECT_FAILS(console_.ReadConsoleA(bad, text, 4, &got), kErrorInvalidHandle);
    EXPECT_FAILS(console_.GetNumberOfConsoleInputEvents(bad, &got), kErrorInvalidHandle);
    EXPECT_FAILS(console_.FlushConsoleInputBuffer(bad), kErrorInvalidHandle);
  }
  EXPECT_EQ(got, 0xDEADu);
  EXPECT_FAILS(console_.ReadConsoleInputA(in_, nullptr, 1, &got), kErrorInvalidAccess);
  EXPECT_FAILS(console_.ReadConsoleInputA(in_, &record, 1, nullptr), kErrorInvalidAccess);
  EXPECT_FAILS(console_.ReadConsoleA(in_, nullptr, 4, &got), kErrorInvalidAccess);
  EXPECT_FAILS(console_.ReadConsoleA(in_, text, 4, nullptr), kErrorInvalidAccess);
  EXPECT_FAILS(console_.GetNumberOfConsoleInputEvents(in_, nullptr), kErrorInvalidAccess);
  // Room for nothing: success at once, nothing taken.
  ASSERT_NE(console_.ReadConsoleInputA(in_, &record, 0, &got), 0);
  EXPECT_EQ(got, 0u);
  got = 0xDEAD;
  ASSERT_NE(console_.ReadConsoleA(in_, text, 0, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(Pending(), 2u);
}

TEST_F(EmulatedInputWaiting, IN1_ReadInputWaitsForARecord) {
  WaitingRead read(console_, [this] { return ReadRecords(8); });
  ASSERT_TRUE(read.Blocked());
  console_.QueueText("q");
  auto result = read.Get();
  ASSERT_NE(result.ok, 0);
  EXPECT_EQ(result.records, (std::vector{Down('Q', 'q'), Up('Q', 'q')}));
}

TEST_F(EmulatedInput, IN2_ASingleRepeatedKeyDownAddsToTheRepeatCount) {
  console_.QueueInput({Down('A', 'a')});
  console_.QueueInput({Down('A', 'a')});
  InputRecord thrice = Down('A', 'a');
  thrice.KeyEvent.wRepeatCount = 3;
  console_.QueueInput({thrice});
  EXPECT_EQ(Pending(), 1u);
  console_.QueueInput({Down('A', 'a', kShift)});  // another state: a record of its own
  console_.QueueInput({Up('A', 'a')});
  console_.QueueInput({Up('A', 'a')});                    // key-ups never merge
  console_.QueueInput({Down('A', 'a'), Down('A', 'a')});  // nor records written together
  EXPECT_EQ(Pending(), 6u);
  EXPECT_EQ(Queued(1).at(0).KeyEvent.wRepeatCount, 5);
}

TEST_F(EmulatedInput, IN7_TheConsoleFiltersKeysOnTheirWayIn) {
  struct Case {
    Dword mode;
    std::vector<KeyStroke> typed;
    std::vector<InputRecord> queued;
  };
  // With processed input the Ctrl+C down is a signal, not a key; Ctrl+Esc and Alt+Esc downs belong to
  // the system; Ctrl+Break empties the queue. The ups arrive all the same.
  const Case cases[] = {
      {kEnableProcessedInput,
       {{'C', 3, kCtrl}},
       {Down(kVkControl, 0, kCtrl), Up('C', 3, kCtrl), Up(kVkControl, 0, 0)}},
      {0,
       {{'C', 3, kCtrl}},
       {Down(kVkControl, 0, kCtrl), Down('C', 3, kCtrl), Up('C', 3, kCtrl), Up(kVkControl, 0, 0)}},
      {0,
       {{kVkEscape, 0x1B, kCtrl}, {kVkEscape, 0x1B, kAlt}},
       {Down(kVkControl, 0, kCtrl), Up(kVkEscape, 0x1B, kCtrl), Up(kVkControl, 0, 0), Down(kVkMenu, 0, kAlt),
        Up(kVkEscape, 0x1B, kAlt), Up(kVkMenu, 0, 0)}},
      {kEnableProcessedInput,
       {{'A', 'a', 0}, {kVkCancel, 3, kCtrl}},
       {Up(kVkCancel, 3, kCtrl), Up(kVkControl, 0, 0)}},
  };
  for (const Case& c : cases) {
    SetInputMode(c.mode);
    for (const KeyStroke& k : c.typed) console_.QueueKeystroke(k.virtual_key, k.character, k.control_state);
    EXPECT_EQ(Queued(), c.queued) << c.typed.back().virtual_key;
  }
  // Records written directly are not filtered.
  console_.QueueInput({Down('C', 3, kCtrl)});
  EXPECT_EQ(Pending(), 1u);
}

TEST_F(EmulatedInput, IN8_WindowInputReportsNewSizesOfTheShownBuffer) {
  UseBuffer(Coord{80, 25}, SmallRect{0, 0, 39, 9});  // same size, smaller window: no event
  EXPECT_EQ(Pending(), 0u);
  UseBuffer(100, 30);
  EXPECT_EQ(Queued(), (std::vector{EventOfType(kWindowBufferSizeEvent)}));
  Handle other = NewBuffer();
  UseBuffer(other, 20, 5);  // not shown
  SetInputMode(kEnableProcessedInput);
  UseBuffer(50, 20);  // window input off
  EXPECT_EQ(Pending(), 0u);
}

TEST_F(EmulatedInput, RC1_RC2_RawReadTakesEveryQueuedCharacterThatFits) {
  console_.QueueText("abc");
  EXPECT_EQ(ReadChars(10), "abc");
  console_.QueueText("xyz");
  EXPECT_EQ(ReadChars(1), "x");
  EXPECT_EQ(ReadChars(10), "yz");
  // Records without a character are consumed silently.
  console_.QueueInput({EventOfType(kMouseEvent)});
  console_.SendKeys("{UP}{F1}^{HOME}+z{DEL}", true);
  EXPECT_EQ(ReadChars(10), "Z");
  EXPECT_EQ(Pending(), 0u);
  // A length beyond the caller's buffer takes only what is queued, up to the largest length the
  // console accepts; a larger one (a negative length cast) is refused at once, the count left alone
  // and the keys kept (RC-6).
  console_.QueueText("abc");
  char buffer[16] = {};
  Dword got = 0;
  ASSERT_NE(console_.ReadConsoleA(in_, buffer, 0x7FFFFFFFu, &got), 0);
  EXPECT_EQ(std::string(buffer, got), "abc");
  console_.QueueText("d");
  const size_t queued = Pending();
  for (Dword absurd : {0x80000000u, static_cast<Dword>(-128)}) {
    got = 0xDEADBEEF;
    EXPECT_FAILS(console_.ReadConsoleA(in_, buffer, absurd, &got), kErrorNotEnoughMemory);
    EXPECT_EQ(got, 0xDEADBEEFu);
    EXPECT_EQ(Pending(), queued);
  }
}

TEST_F(EmulatedInputWaiting, RC1_RC2_RawReadWaitsForACharacter) {
  WaitingRead read(console_, [this] { return ReadText(10); });
  ASSERT_TRUE(read.Blocked());
  console_.QueueKeystroke(kVkUp, 0, 0);
  console_.QueueInput({EventOfType(kMouseEvent), Up('A', 'a')});
  console_.QueueText("k");
  auto result = read.Get();
  ASSERT_NE(result.ok, 0);
  EXPECT_EQ(result.text, "k");
  EXPECT_EQ(Pending(), 0u);
}

TEST_F(EmulatedInput, RC3_RC4_CharacterValues) {
  // Escape and LF are delivered, Ctrl+Space gives a 0 byte, Alt adds nothing.
  console_.SendKeys("{ESC}^~^ .{ENTER}{BS}{TAB}^c^a%a", true);
  EXPECT_EQ(ReadChars(20), "\x1b\n\0.\r\b\t\x03\x01"s + "a");
}

TEST_F(EmulatedInput, RC5_RepeatCountYieldsThatManyCharacters) {
  InputRecord thrice = Down('A', 'a');
  thrice.KeyEvent.wRepeatCount = 3;
  console_.QueueInput({thrice, Up('A', 'a')});
  EXPECT_EQ(ReadChars(10), "aaa");
  console_.QueueInput({thrice});
  EXPECT_EQ(ReadChars(2), "aa");
  EXPECT_EQ(ReadChars(2), "a");
}

TEST_F(EmulatedInput, S13_RawReadAndTheSameKeysAsRecords) {
  auto queue = [this] {
    console_.QueueText("A");
    console_.QueueKeystroke(kVkUp, 0, 0);
    console_.QueueText("\x1b\r");
  };
  queue();
  EXPECT_EQ(ReadChars(10), "A\x1b\r");
  EXPECT_EQ(Pending(), 0u);
  queue();
  EXPECT_EQ(Queued(10), (std::vector{Down(kVkShift, 0, kShift), Down('A', 'A', kShift), Up('A', 'A', kShift),
                                     Up(kVkShift, 0, 0), Down(kVkUp, 0, kEnhancedKey),
                                     Up(kVkUp, 0, kEnhancedKey), Down(kVkEscape, 0x1B), Up(kVkEscape, 0x1B),
                                     Down(kVkReturn, '\r'), Up(kVkReturn, '\r')}));
}

TEST_F(EmulatedInput, LineModeEchoesOnceAndReturnsTheRestOnLaterReads) {
  SetInputMode(kEnableLineInput | kEnableEchoInput);
  console_.QueueText("abcdef\rxy\r");
  EXPECT_EQ(ReadChars(4), "abcd");
  EXPECT_EQ(ReadChars(3), "ef\r");
  EXPECT_EQ(ReadChars(10), "\n");
  EXPECT_EQ(ReadChars(10), "xy\r\n");
  EXPECT_EQ(Row(0).substr(0, 8), "abcdef  ");
  EXPECT_EQ(Row(1).substr(0, 4), "xy  ");
  EXPECT_EQ(Cursor(), (Coord{0, 2}));
}

TEST_F(EmulatedInputWaiting, LineModeEchoesToTheBufferShownWhenTheKeyArrives) {
  SetInputMode(kEnableLineInput | kEnableEchoInput);
  Handle other = NewBuffer();
  WaitingRead read(console_, [this] { return ReadText(10); });
  ASSERT_TRUE(read.Blocked());
  // The buffer shown when the read began goes away while it waits.
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(other), 0);
  ASSERT_NE(console_.CloseHandle(out_), 0);
  ASSERT_NE(console_.CloseHandle(console_.GetStdHandle(kStdErrorHandle)), 0);
  console_.QueueText("hi\r");
  auto result = read.Get();
  ASSERT_NE(result.ok, 0);
  EXPECT_EQ(result.text, "hi\r\n");
  EXPECT_EQ(Chars(0, 0, 3, other), "hi ");
}

TEST_F(EmulatedInput, LineModeEditsWithoutAnyBufferToEchoTo) {
  SetInputMode(kEnableLineInput | kEnableEchoInput);
  ASSERT_NE(console_.CloseHandle(out_), 0);
  ASSERT_NE(console_.CloseHandle(console_.GetStdHandle(kStdErrorHandle)), 0);
  ASSERT_EQ(console_.ActiveBufferHandle(), 0);
  console_.QueueText("ab\bc\r");
  EXPECT_EQ(ReadChars(10), "ac\r\n");
}

// --- the end of input ---

TEST_F(EmulatedInputWaiting, AfterTheEndOfInputReadsFailOnceTheQueueHoldsNoCharacter) {
  console_.QueueText("ok");
  console_.EndInput();
  EXPECT_EQ(ReadChars(8), "ok");  // what was queued is still delivered
  console_.QueueInput({Up('A', 'a'), EventOfType(kMouseEvent)});
  char buffer[8];
  Dword got = 0xDEAD;
  EXPECT_FAILS(console_.ReadConsoleA(in_, buffer, 8, &got), kErrorHandleEof);
  EXPECT_EQ(got, 0u);
  InputRecord record;
  got = 0xDEAD;
  EXPECT_FAILS(console_.ReadConsoleInputA(in_, &record, 1, &got), kErrorHandleEof);
  EXPECT_EQ(got, 0u);
  SetInputMode(kEnableLineInput);
  EXPECT_FAILS(console_.ReadConsoleA(in_, buffer, 4, &got), kErrorHandleEof);
}

TEST_F(EmulatedInputWaiting, FreeConsoleAndTheEndOfInputEndAWaitingRead) {
  WaitingRead text_read(console_, [this] { return ReadText(4); });
  ASSERT_TRUE(text_read.Blocked());
  ASSERT_NE(console_.FreeConsole(), 0);
  EXPECT_EQ(text_read.Get().error, kErrorInvalidHandle);

  ASSERT_NE(console_.AllocConsole(), 0);
  in_ = console_.GetStdHandle(kStdInputHandle);
  WaitingRead record_read(console_, [this] { return ReadRecords(4); });
  ASSERT_TRUE(record_read.Blocked());
  console_.EndInput();
  EXPECT_EQ(record_read.Get().error, kErrorHandleEof);
}

}  // namespace
}  // namespace kelvane::platform
