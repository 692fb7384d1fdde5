// TerminalScreen on a pseudo-terminal of the test's own: the console takes the terminal's size, the
// terminal is drawn on in its drawing modes and given back on FreeConsole, and a terminal that goes
// away mid-run stops the drawing without a hang.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/terminal/terminal_screen.hpp"
#include "platform/terminal/vt_model.hpp"

namespace kelvane::platform::terminal {
namespace {

class PtyScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    const int slave = open(ptsname(master_), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    winsize size{};
    size.ws_col = 30;
    size.ws_row = 8;
    ASSERT_EQ(ioctl(master_, TIOCSWINSZ, &size), 0);
    ASSERT_EQ(tcgetattr(slave, &before_), 0);
    slave_ = slave;
    console_.SetPresenter(&screen_);
    console_.SetConsoleSizeProvider([this] { return screen_.AttachTo(slave_); });
    ASSERT_NE(console_.AllocConsole(), 0);
    out_ = console_.GetStdHandle(kStdOutputHandle);
  }
  void TearDown() override {
    console_.SetPresenter(nullptr);
    if (master_ >= 0) close(master_);
  }
  // What reached the terminal so far.
  std::string Drain() {
    std::string bytes;
    char chunk[4096];
    pollfd p{master_, POLLIN, 0};
    while (poll(&p, 1, 200) > 0) {
      const ssize_t got = read(master_, chunk, sizeof chunk);
      if (got <= 0) break;
      bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
  }
  void Write(const std::string& text) {
    console_.WriteConsoleA(out_, text.data(), static_cast<Dword>(text.size()), nullptr);
    console_.EndOfCall();
  }

  int master_ = -1;
  int slave_ = -1;  // owned by the screen
  termios before_{};
  EmulatedConsole console_;
  TerminalScreen screen_{console_};
  Handle out_ = 0;
};

TEST_F(PtyScreen, DrawsAtTheTerminalsSizeInItsModesAndGivesItBack) {
  EXPECT_EQ(console_.View().size, (Coord{30, 8}));
  Write("hello\x1b[31m\a");
  testing_vt::VtModel model(30, 8);
  model.Feed(Drain());
  EXPECT_TRUE(model.errors.empty()) << model.errors.front();
  EXPECT_TRUE(model.alternate);
  EXPECT_EQ(model.At(0, 0).glyph, U'h');
  EXPECT_EQ(model.At(5, 0).glyph, U'\u2190');  // ESC as its glyph, never as ESC
  termios drawing{};
  ASSERT_EQ(tcgetattr(slave_, &drawing), 0);
  EXPECT_EQ(drawing.c_lflag & (ECHO | ICANON), 0u);
  EXPECT_EQ(drawing.c_oflag & OPOST, 0u);

  ASSERT_NE(console_.FreeConsole(), 0);
  console_.EndOfCall();
  model.Feed(Drain());
  EXPECT_FALSE(model.alternate);
  EXPECT_TRUE(model.cursor_visible);
  termios after{};
  ASSERT_EQ(tcgetattr(slave_, &after), 0);
  EXPECT_EQ(after.c_lflag, before_.c_lflag);
  EXPECT_EQ(after.c_iflag, before_.c_iflag);
  EXPECT_EQ(after.c_oflag, before_.c_oflag);
}

TEST_F(PtyScreen, ATerminalThatGoesAwayEndsTheDrawingQuietly) {
  Write("first");
  Drain();
  close(master_);  // the terminal is gone: writes fail with EIO
  master_ = -1;
  for (int i = 0; i < 50; ++i) Write(std::string(200, 'x'));
  EXPECT_NE(console_.FreeConsole(), 0);
  console_.EndOfCall();
}

}  // namespace
}  // namespace kelvane::platform::terminal
