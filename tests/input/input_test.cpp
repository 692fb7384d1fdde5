// GetInputKey, GetInputChar and GetInputLine, with keys scripted as a keyboard delivers them.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <tuple>

#include "platform/codepage.hpp"
#include "platform/emulated/key_source.hpp"
#include "platform/keyboard.hpp"
#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

// The console's key source. Whenever the console asks for a key, all that was drawn must have been
// shown; a member that never returns aborts the run after ten seconds.
class InputTest : public SmallConsoleTest, public platform::KeySource {
 protected:
  InputTest() { emulated_.SetKeySource(this); }
  ~InputTest() override {
    done_.set_value();
    watchdog_.join();
  }
  platform::KeyResult NextKey() override {
    EXPECT_FALSE(emulated_.PendingFrame().HasChanges()) << "a wait began before all that was drawn was shown";
    EXPECT_EQ(emulated_.View().cursor_visible, cursor_while_waiting_);
    return script_.NextKey();
  }
  void Flush() noexcept override {}
  void Type(const std::string& keys) {  // SendKeys notation: "+a" is Shift+A; "\b" and "\r" as typed
    for (const auto& stroke : platform::ParseSendKeys(keys)) script_.Add(platform::KeystrokeRecords(stroke));
  }

  platform::ScriptedKeys script_;
  bool cursor_while_waiting_ = true;
  std::promise<void> done_;
  std::thread watchdog_{[finished = done_.get_future()] {
    if (finished.wait_for(std::chrono::seconds(10)) != std::future_status::ready) std::abort();
  }};
};

// One script, one key a call: what each call returns, and the cursor while it waits and after.
TEST_F(InputTest, EachCallTakesOneKeyAndHidesTheCursorWhenAsked) {
  // First a release left from a key held before the call, and a focus event: both passed over.
  script_.Add(
      {platform::KeystrokeRecords({'Z', 'z', 0}).back(), platform::InputRecord{platform::kFocusEvent, {}}});
  Type("+a^c{F1}~\xB0+ab{UP}{F1}x~\xB0");
  const std::tuple<bool, bool, bool, std::string> calls[] = {
      // cursor visible before and after, GetInputChar (else GetInputKey), NoCursor, result
      {true, false, true, "16"},  {false, false, true, "17"}, {true, false, false, "112"},
      {true, false, false, "13"}, {true, false, true, "231"},  // VK_PACKET: no key types this character
      {true, false, false, "16"}, {true, true, true, "b"},     // not the A of Shift+A
      {false, true, false, "x"},  {true, true, false, "\r"},   // Up and F1 type nothing
      {true, true, true, "░"},    {true, false, true, "0"},   {true, true, true, ""},  // input has ended
  };
  for (const auto& [visible, by_char, no_cursor, result] : calls) {
    console_.CursorVisible(visible);
    cursor_while_waiting_ = visible && !no_cursor;
    emulated_.QueueText("q");  // typed ahead: discarded
    EXPECT_EQ(by_char ? console_.GetInputChar(no_cursor) : std::to_string(console_.GetInputKey(no_cursor)),
              result);
    EXPECT_EQ(emulated_.BufferCursorInfo(Shown())->bVisible != 0, visible) << result;
    EXPECT_EQ(emulated_.PendingInput(), 0u);
  }
  EXPECT_EQ(script_.Asked(), 14);
}

// On a window 10 columns wide, the prompt "?" at (4, 4), on the last row, and a yellow-on-dark-red Z
// after it: the echo takes that cell's colours. A line past the right edge wraps, writing the
// bottom-right cell scrolls the page and the start of the line with it, and Backspace walks back to
// the start and no further.
TEST_F(InputTest, EchoEditingWrappingAndTheEndsOfALine) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{10, 5}, SmallRect{0, 0, 9, 4}));
  const std::string walk_back = "0123456789" + std::string(12, '\b') + "ok\r";
  const std::tuple<std::string, Long, String, Rows, Coord> cases[] = {
      // rows 3 and 4, then the colours of row 4 from column 4
      {"abc\r", 0, "abc", {"", "    ?abc", "1F4E4E4E1F1F"}, {8, 4}},
      {"abcd\bx\r", 3, "abx", {"", "    ?abx", "1F4E4E4E1F1F"}, {8, 4}},     // the d is not taken
      {"ab\r", -1, "", {"", "    ?Z", "1F4E1F1F1F1F"}, {5, 4}},              // a negative length takes none
      {"\b\b\r", 0, "", {"", "    ? ", "1F4E1F1F1F1F"}, {5, 4}},             // nothing to take back: a blank
      {"^c\x1b\t", 0, "\x03\x1b", {"", "    ?♥←", "1F4E4E1F1F1F"}, {7, 4}},  // Tab ends it too
      {"0123456789\b\b\b\b\b\b\r", 0, "0123", {"    ?0123", "", "4E4E4E4E4E4E"}, {9, 3}},  // over the edge
      {walk_back, 0, "ok", {"    ?ok", "", "4E4E4E4E4E4E"}, {7, 3}},
      {"0123456789", 0, "0123456789", {"    ?01234", "56789", "4E4E4E4E4E4E"}, {5, 4}},  // input ends
  };
  for (auto [keys, max_length, result, rows, cursor] : cases) {
    console_.ClearScreen(kWhite, kDarkBlue);
    Poke(Shown(), Coord{5, 4}, 'Z', 0x4E);
    console_.SetCursorPos(4, 4);
    emulated_.QueueText("q");  // typed ahead: discarded
    Type(keys);
    EXPECT_EQ(console_.GetInputLine("?", max_length), result) << keys;
    Rows shown = Text(Shown(), 3, 2);
    shown.push_back(Attributes(Shown(), 4, 1)[0].substr(8));
    for (int r : {0, 1}) rows[r] += std::string(10 - platform::Utf8CharacterCount(rows[r]), ' ');
    EXPECT_EQ(shown, rows) << keys;
    EXPECT_EQ(CursorOf(Shown()), cursor) << keys;
    EXPECT_EQ(CurrentAttribute(Shown()), 0x4E);
    EXPECT_EQ(emulated_.PendingInput(), 0u);
  }
}

}  // namespace
}  // namespace kelvane::testing
