// TerminalKeys on a pseudo-terminal and on a pipe of the test's own: whole keys as a keyboard sends them,
// typing ahead dropped on a terminal but a pipe's script kept, the end of input, and a wait woken.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <string>

#include "platform/terminal/terminal_keys.hpp"
#include "platform/terminal/terminal_screen.hpp"

namespace kelvane::platform::terminal {
namespace {

using namespace std::chrono_literals;

class Keys : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int fd : {master_, pipe_[0], pipe_[1]})
      if (fd >= 0) close(fd);
  }
  void OpenPty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(slave_, &raw), 0);
    raw = RawModes(raw, false);
    ASSERT_EQ(tcsetattr(slave_, TCSANOW, &raw), 0);
    keys_.Use(slave_, true);
  }
  void Type(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // The key's records, as (virtual key, down) pairs; waits at most a few seconds.
  std::vector<std::pair<Word, bool>> Next() {
    auto next = std::async(std::launch::async, [this] { return keys_.NextKey(); });
    if (next.wait_for(5s) != std::future_status::ready) {
      keys_.Wake();
      ADD_FAILURE() << "no key";
    }
    const KeyResult result = next.get();
    std::vector<std::pair<Word, bool>> records;
    if (result.kind == KeyResult::Kind::Ended) records.emplace_back(0xFFFF, false);
    for (const InputRecord& r : result.records)
      records.emplace_back(r.KeyEvent.wVirtualKeyCode, r.KeyEvent.bKeyDown != 0);
    return records;
  }

  EmulatedConsole console_;
  TerminalScreen screen_{console_};
  TerminalKeys keys_{screen_};
  int master_ = -1, slave_ = -1;  // the slave belongs to no one: closed with the process
  int pipe_[2] = {-1, -1};
};

using Records = std::vector<std::pair<Word, bool>>;

TEST_F(Keys, ATerminalsKeysWithTheirModifiersAndTypingAheadDropped) {
  OpenPty();
  Type("A\x1b[1;5A");
  EXPECT_EQ(Next(), (Records{{kVkShift, true}, {'A', true}, {'A', false}, {kVkShift, false}}));
  EXPECT_EQ(Next(), (Records{{kVkControl, true}, {kVkUp, true}, {kVkUp, false}, {kVkControl, false}}));
  Type("zz\x1b[");
  std::this_thread::sleep_for(100ms);  // the bytes reach the terminal's queue
  keys_.Flush();
  Type("q");
  EXPECT_EQ(Next(), (Records{{'Q', true}, {'Q', false}}));
  // A lone Escape is the Escape key once nothing follows it.
  Type("\x1b");
  EXPECT_EQ(Next(), (Records{{kVkEscape, true}, {kVkEscape, false}}));
  // The terminal goes away: the input has ended.
  close(master_);
  master_ = -1;
  EXPECT_EQ(Next(), (Records{{0xFFFF, false}}));
}

TEST_F(Keys, APipeIsAScriptReadOnlyAsFarAsTheNextKey) {
  ASSERT_EQ(pipe(pipe_), 0);
  keys_.Use(pipe_[0], false);
  const std::string script = "ab\x1b[Bc";
  ASSERT_EQ(write(pipe_[1], script.data(), script.size()), static_cast<ssize_t>(script.size()));
  EXPECT_EQ(Next(), (Records{{'A', true}, {'A', false}}));
  keys_.Flush();  // keeps what is still in the pipe
  EXPECT_EQ(Next(), (Records{{'B', true}, {'B', false}}));
  char rest[8] = {};
  ASSERT_EQ(read(pipe_[0], rest, 1), 1);  // nothing beyond the key was taken
  EXPECT_EQ(rest[0], '\x1b');
  close(pipe_[1]);
  pipe_[1] = -1;
  // "[Bc" is left: '[' then B, c as keys, then the end.
  EXPECT_EQ(Next(), (Records{{0xDB, true}, {0xDB, false}}));
  Next();
  Next();
  EXPECT_EQ(Next(), (Records{{0xFFFF, false}}));
}

TEST_F(Keys, AWaitIsWokenAndAClosedInputHasEnded) {
  ASSERT_EQ(pipe(pipe_), 0);
  keys_.Use(pipe_[0], false);
  auto next = std::async(std::launch::async, [this] { return keys_.NextKey(); });
  EXPECT_EQ(next.wait_for(100ms), std::future_status::timeout);
  keys_.Wake();
  ASSERT_EQ(next.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(next.get().kind, KeyResult::Kind::Nothing);
  close(pipe_[0]);
  pipe_[0] = -1;
  EXPECT_EQ(Next(), (Records{{0xFFFF, false}}));
}

}  // namespace
}  // namespace kelvane::platform::terminal
