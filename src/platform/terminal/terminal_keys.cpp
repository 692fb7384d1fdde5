#include "platform/terminal/terminal_keys.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/terminal/terminal_screen.hpp"

namespace kelvane::platform::terminal {

namespace {

// Raw mode on a terminal for as long as one key is awaited, then the modes found.
class RawWhileWaiting {
 public:
  RawWhileWaiting(int fd, bool processed_input) : fd_(fd) {
    if (tcgetattr(fd_, &found_) != 0) return;
    const termios raw = RawModes(found_, processed_input);
    active_ = tcsetattr(fd_, TCSANOW, &raw) == 0;
  }
  ~RawWhileWaiting() {
    if (active_) tcsetattr(fd_, TCSANOW, &found_);
  }
  RawWhileWaiting(const RawWhileWaiting&) = delete;
  RawWhileWaiting& operator=(const RawWhileWaiting&) = delete;

 private:
  int fd_;
  termios found_{};
  bool active_ = false;
};

TerminalKeys* g_keys = nullptr;  // the one the SIGWINCH handler wakes

}  // namespace

TerminalKeys::TerminalKeys(TerminalScreen& screen) : screen_(screen) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  g_keys = this;
  TerminalScreen::SetWaker([] {
    if (g_keys) g_keys->Wake();
  });
}

TerminalKeys::~TerminalKeys() {
  TerminalScreen::SetWaker(nullptr);
  g_keys = nullptr;
  for (int fd : wake_)
    if (fd >= 0) close(fd);
}

void TerminalKeys::Use(int fd, bool shown_terminal) {
  std::lock_guard lock(mutex_);
  fd_ = fd;
  shown_terminal_ = shown_terminal;
  ended_ = false;
  decoder_.Clear();
  ready_.clear();
}

void TerminalKeys::Wake() noexcept {  // async-signal-safe: one write to a pipe
  if (wake_[1] < 0) return;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(wake_[1], &byte, 1);
}

void TerminalKeys::Flush() noexcept {
  std::lock_guard lock(mutex_);
  // Keys typed ahead on a terminal go, with what the terminal still holds; the bytes of a pipe or file
  // are a script, not typing ahead, and stay.
  if (!shown_terminal_ && !isatty(fd_)) return;
  decoder_.Clear();
  ready_.clear();
  tcflush(fd_, TCIFLUSH);
}

KeyResult TerminalKeys::NextKey() {
  int fd = 0;
  bool tty = false;
  {
    std::lock_guard lock(mutex_);
    fd = fd_;
    tty = shown_terminal_ || isatty(fd_);
  }
  std::optional<RawWhileWaiting> raw;
  {
    std::lock_guard lock(mutex_);
    if (!shown_terminal_ && tty && ready_.empty()) raw.emplace(fd, screen_.ProcessedInput());
  }
  for (;;) {
    if (screen_.FollowResize()) return KeyResult{KeyResult::Kind::Nothing, {}};
    std::optional<Clock::time_point> deadline;
    {
      std::lock_guard lock(mutex_);
      if (!ready_.empty()) {
        const KeyStroke key = ready_.front();
        ready_.pop_front();
        return KeyResult{KeyResult::Kind::Key, KeystrokeRecords(key)};
      }
      if (ended_) return KeyResult{KeyResult::Kind::Ended, {}};
      deadline = decoder_.Deadline();
    }
    int timeout = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      timeout = static_cast<int>(std::clamp<long long>(left, 0, 1000));
    }
    pollfd waits[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int ready = poll(waits, wake_[0] >= 0 ? 2 : 1, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::lock_guard lock(mutex_);
      ended_ = true;
      continue;
    }
    std::vector<KeyStroke> keys;
    if (ready == 0) {
      std::lock_guard lock(mutex_);
      if (decoder_.Deadline() && Clock::now() >= *decoder_.Deadline()) decoder_.Timeout(keys);
      ready_.insert(ready_.end(), keys.begin(), keys.end());
      continue;
    }
    if (waits[1].revents & POLLIN) {
      char drained[64];
      while (read(wake_[0], drained, sizeof drained) > 0) {
      }
      screen_.FollowResize();
      return KeyResult{KeyResult::Kind::Nothing, {}};
    }
    if (waits[0].revents & POLLNVAL) {
      std::lock_guard lock(mutex_);
      ended_ = true;  // a closed standard input
      continue;
    }
    if (!(waits[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    // A terminal is read as it comes (typing ahead is flushed anyway); a pipe or file one byte at a
    // time, so that nothing beyond the next key is taken from it.
    char bytes[256];
    const ssize_t got = read(fd, bytes, tty ? sizeof bytes : 1);
    std::lock_guard lock(mutex_);
    if (got > 0) {
      decoder_.Feed(std::string_view(bytes, static_cast<size_t>(got)), Clock::now(), keys);
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
      // The end of the file, or a terminal that is gone (EIO): what is held is all there will be.
      decoder_.Timeout(keys);
      ended_ = true;
    }
    ready_.insert(ready_.end(), keys.begin(), keys.end());
  }
}

}  // namespace kelvane::platform::terminal
