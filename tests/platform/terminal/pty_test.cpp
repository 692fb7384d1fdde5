// TerminalScreen and TerminalKeys on a pseudo-terminal of the test's own, and TerminalKeys on a pipe: the
// console takes the terminal's size and draws in raw modes, and a terminal that goes away stops the
// drawing without a hang (what a real terminal is given back is terminal_test.sh's); whole keys as a
// keyboard sends them, typing ahead dropped on a terminal but a pipe's script kept, the end of input, and
// a wait woken.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/terminal/terminal_keys.hpp"
#include "platform/terminal/terminal_screen.hpp"
#include "platform/terminal/vt_model.hpp"

namespace kelvane::platform::terminal {
namespace {

using namespace std::chrono_literals;
using Records = std::vector<std::pair<Word, bool>>;  // (virtual key, down); (FFFF, up) for the end

class Pty : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);  // closed by the screen, or with the process
    ASSERT_GE(slave_, 0);
  }
  void TearDown() override {
    console_.SetPresenter(nullptr);
    for (int fd : {master_, pipe_[0], pipe_[1]})
      if (fd >= 0) close(fd);
  }
  static void Close(int& fd) { close(std::exchange(fd, -1)); }
  void Send(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string Drain() {  // what reached the terminal so far
    std::string bytes;
    char chunk[4096];
    pollfd p{master_, POLLIN, 0};
    for (ssize_t got = 0; poll(&p, 1, 200) > 0 && (got = read(master_, chunk, sizeof chunk)) > 0;)
      bytes.append(chunk, static_cast<size_t>(got));
    return bytes;
  }
  void Write(const std::string& text) {
    console_.WriteConsoleA(console_.GetStdHandle(kStdOutputHandle), text.data(),
                           static_cast<Dword>(text.size()), nullptr);
    console_.EndOfCall();
  }
  Records Next() {  // the next key's records; waits a few seconds at most
    auto next = std::async(std::launch::async, [this] { return keys_.NextKey(); });
    if (next.wait_for(5s) != std::future_status::ready) {
      keys_.Wake();
      ADD_FAILURE() << "no key";
    }
    const KeyResult result = next.get();
    Records records;
    if (result.kind == KeyResult::Kind::Ended) records.emplace_back(0xFFFF, false);
    for (const InputRecord& r : result.records)
      records.emplace_back(r.KeyEvent.wVirtualKeyCode, r.KeyEvent.bKeyDown != 0);
    return records;
  }

  EmulatedConsole console_;
  TerminalScreen screen_{console_};
  TerminalKeys keys_{screen_};
  int master_ = -1, slave_ = -1;
  int pipe_[2] = {-1, -1};
};

TEST_F(Pty, TheScreenDrawsAtTheTerminalsSizeInRawModesUntilTheTerminalGoesAway) {
  winsize size{};
  size.ws_col = 30;
  size.ws_row = 8;
  ASSERT_EQ(ioctl(master_, TIOCSWINSZ, &size), 0);
  console_.SetPresenter(&screen_);
  console_.SetConsoleSizeProvider([this] { return screen_.AttachTo(slave_); });
  ASSERT_NE(console_.AllocConsole(), 0);
  EXPECT_EQ(console_.View().size, (Coord{30, 8}));
  Write("hello\x1b[31m\a");  // ESC and BEL reach the terminal as their glyphs
  testing_vt::VtModel model(30, 8);
  model.Feed(Drain());
  EXPECT_EQ(testing_vt::Mismatch(model, console_.View()), "");
  EXPECT_EQ(model.At(5, 0).glyph, U'\u2190');
  termios drawing{};
  ASSERT_EQ(tcgetattr(slave_, &drawing), 0);
  EXPECT_EQ(drawing.c_lflag & (ECHO | ICANON), 0u);
  EXPECT_EQ(drawing.c_oflag & OPOST, 0u);
  Close(master_);  // the terminal is gone: writes fail with EIO
  for (int i = 0; i < 50; ++i) Write(std::string(200, 'x'));
  EXPECT_NE(console_.FreeConsole(), 0);
  console_.EndOfCall();
}

TEST_F(Pty, ATerminalsKeysWithTheirModifiersAndTypingAheadDropped) {
  termios raw{};
  ASSERT_EQ(tcgetattr(slave_, &raw), 0);
  raw = RawModes(raw, false);
  ASSERT_EQ(tcsetattr(slave_, TCSANOW, &raw), 0);
  keys_.Use(slave_, true);
  Send(master_, "A\x1b[1;5A");
  EXPECT_EQ(Next(), (Records{{kVkShift, true}, {'A', true}, {'A', false}, {kVkShift, false}}));
  EXPECT_EQ(Next(), (Records{{kVkControl, true}, {kVkUp, true}, {kVkUp, false}, {kVkControl, false}}));
  Send(master_, "zz\x1b[");
  std::this_thread::sleep_for(100ms);  // the bytes reach the terminal's queue
  keys_.Flush();
  Send(master_, "q\x1b");  // a lone Escape is the Escape key once nothing follows it
  EXPECT_EQ(Next(), (Records{{'Q', true}, {'Q', false}}));
  EXPECT_EQ(Next(), (Records{{kVkEscape, true}, {kVkEscape, false}}));
  Close(master_);  // the terminal goes away: the input has ended
  EXPECT_EQ(Next(), (Records{{0xFFFF, false}}));
}

TEST_F(Pty, APipeIsAScriptReadOnlyAsFarAsTheNextKeyAndAWaitIsWoken) {
  ASSERT_EQ(pipe(pipe_), 0);
  keys_.Use(pipe_[0], false);
  auto next = std::async(std::launch::async, [this] { return keys_.NextKey(); });
  EXPECT_EQ(next.wait_for(100ms), std::future_status::timeout);
  keys_.Wake();
  ASSERT_EQ(next.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(next.get().kind, KeyResult::Kind::Nothing);
  Send(pipe_[1], "ab\x1b[Bc");
  EXPECT_EQ(Next(), (Records{{'A', true}, {'A', false}}));
  keys_.Flush();  // keeps what is still in the pipe
  EXPECT_EQ(Next(), (Records{{'B', true}, {'B', false}}));
  char rest = 0;
  ASSERT_EQ(read(pipe_[0], &rest, 1), 1);  // nothing beyond the key was taken
  EXPECT_EQ(rest, '\x1b');
  Close(pipe_[1]);
  // "[Bc" is left: '[' then B, c as keys, then the end.
  EXPECT_EQ(Next(), (Records{{0xDB, true}, {0xDB, false}}));
  Next();
  Next();
  EXPECT_EQ(Next(), (Records{{0xFFFF, false}}));
  Close(pipe_[0]);  // an input closed under the keys has ended too
  ASSERT_EQ(pipe(pipe_), 0);
  keys_.Use(pipe_[0], false);
  Close(pipe_[0]);
  EXPECT_EQ(Next(), (Records{{0xFFFF, false}}));
}

}  // namespace
}  // namespace kelvane::platform::terminal
