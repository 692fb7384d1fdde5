#include "platform/terminal/terminal_screen.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#ifdef KELVANE_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

namespace kelvane::platform::terminal {

termios RawModes(const termios& found, bool processed_input) {
  termios raw = found;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN | ISIG);
  raw.c_cflag = (raw.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB)) | CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (processed_input) {
    raw.c_lflag |= ISIG;
    raw.c_cc[VQUIT] = _POSIX_VDISABLE;
    raw.c_cc[VSUSP] = _POSIX_VDISABLE;
#ifdef VDSUSP
    raw.c_cc[VDSUSP] = _POSIX_VDISABLE;
#endif
  }
  return raw;
}

ConsoleHome ChooseConsoleHome(ConsoleSetting::Kind setting, bool terminal_available) {
  if (setting == ConsoleSetting::Kind::Headless) return ConsoleHome::Headless;
  if (terminal_available) return ConsoleHome::Terminal;
  return setting == ConsoleSetting::Kind::Terminal ? ConsoleHome::Nowhere : ConsoleHome::Headless;
}

namespace {

// The title is pushed on xterm's title stack and popped at the end, so the window gets its own back.
constexpr char kPushTitle[] = "\x1b[22;2t";
constexpr char kEnterScreen[] = "\x1b[?1049h\x1b[?7h";
constexpr char kLeaveFullScreen[] = "\x1b[10;0t";
// Explicit colours off, cursor visible in the terminal's own shape, autowrap on, main screen, old title.
constexpr char kLeave[] = "\x1b[0m\x1b[?25h\x1b[0 q\x1b[?7h\x1b[?1049l\x1b[23;2t";
// CAN ends whatever sequence a frame cut short by a signal left open.
constexpr char kCancel[] = "\x18";

// What the signal handlers use. They may run at any moment on any thread, so they touch only lock-free
// atomics and data that is fixed before `shown` is set and not changed while it is.
struct RestoreState {
  std::atomic<int> fd{-1};
  std::atomic<bool> shown{false};        // the terminal is in our modes, on the alternate screen
  std::atomic<bool> full_screen{false};  // full screen was asked of it
  std::atomic<bool> lost{false};         // what the terminal shows is no longer what we drew
  std::atomic<bool> exited{false};       // the process is ending: never take the terminal again
  std::atomic<EmulatedConsole*> console{nullptr};
  termios saved{};       // the modes we found
  termios drawing[2]{};  // the modes while the console is shown, without and with processed input
  std::atomic<bool> processed{true};  // the console's processed input, which picks the drawing modes
  std::atomic<bool> resized{false};   // SIGWINCH came: the console follows the terminal's size
  std::atomic<TerminalScreen::Waker> waker{nullptr};
  // While a frame is written the keyboard's signals are only noted (a bit per signal), and raised again
  // once it is out.
  std::atomic<bool> writing{false};
  std::atomic<std::uint32_t> deferred{0};
};
RestoreState g_state;
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
              std::atomic<EmulatedConsole*>::is_always_lock_free &&
              std::atomic<std::uint32_t>::is_always_lock_free);

constexpr int kDeferred[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT};
constexpr bool IsDeferred(int sig) {
  return std::find(std::begin(kDeferred), std::end(kDeferred), sig) != std::end(kDeferred);
}
static_assert(std::ranges::all_of(kDeferred, [](int sig) { return sig < 32; }));

constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP,  SIGQUIT, SIGSEGV, SIGBUS,
                            SIGFPE, SIGILL,  SIGABRT, SIGTSTP, SIGCONT, SIGWINCH};
// Signals whose handler the program may have set to "ignore" on purpose (nohup, a shell without job
// control): those are left alone.
constexpr int kRespectIgnored[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
struct sigaction g_previous[NSIG];

void WriteRaw(int fd, const char* bytes, size_t size) {  // async-signal-safe
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
}

void WriteRaw(int fd, const char* text) { WriteRaw(fd, text, std::strlen(text)); }

// Gives the terminal back: async-signal-safe, and done at most once per time it was taken.
void GiveBack(bool cancel) {
  if (!g_state.shown.exchange(false)) return;
  const int fd = g_state.fd.load();
  if (cancel) WriteRaw(fd, kCancel);
  if (g_state.full_screen.load()) WriteRaw(fd, kLeaveFullScreen);
  WriteRaw(fd, kLeave);
  tcsetattr(fd, TCSANOW, &g_state.saved);
}

// Takes the terminal again after the process was stopped and continued: async-signal-safe. The console
// is asked for a repaint, drawn at its next call.
void TakeAgain(bool push_title) {
  const int fd = g_state.fd.load();
  if (fd < 0 || g_state.exited.load()) return;
  tcsetattr(fd, TCSANOW, &g_state.drawing[g_state.processed.load() ? 1 : 0]);
  g_state.shown.store(true);
  if (push_title) WriteRaw(fd, kPushTitle);
  WriteRaw(fd, kEnterScreen);
  g_state.lost.store(true);
  if (EmulatedConsole* console = g_state.console.load()) console->RequestRepaint();
}

void OnSignal(int sig);

void InstallHandler(int sig) {
  struct sigaction current {};
  if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler == OnSignal) return;
  if (current.sa_handler == SIG_IGN &&
      std::find(std::begin(kRespectIgnored), std::end(kRespectIgnored), sig) != std::end(kRespectIgnored))
    return;
  g_previous[sig] = current;
  struct sigaction ours {};
  ours.sa_handler = OnSignal;
  ours.sa_flags = SA_RESTART;
  sigemptyset(&ours.sa_mask);
  for (int other : kHandled) sigaddset(&ours.sa_mask, other);
  // When a shell with job control has already taken the terminal back (Ctrl+Z stops the whole job, and
  // the shell may be quicker than this handler), restoring the modes must not stop the process with
  // SIGTTOU halfway: with SIGTTOU blocked the modes are simply set.
  sigaddset(&ours.sa_mask, SIGTTOU);
  sigaction(sig, &ours, nullptr);
}

void OnSignal(int sig) {
  const int saved_errno = errno;
  if (IsDeferred(sig) && g_state.writing.load()) {
    g_state.deferred.fetch_or(1u << sig);
  } else if (sig == SIGWINCH) {
    g_state.resized.store(true);
    if (TerminalScreen::Waker wake = g_state.waker.load()) wake();
  } else if (sig == SIGCONT) {
    // Continued after a stop this handler did not see (SIGSTOP): whoever had the terminal meanwhile may
    // have drawn on it and changed its modes.
    if (g_state.shown.load()) {
      g_state.shown.store(false);
      TakeAgain(false);
    }
  } else if (sig == SIGTSTP) {
    const bool was_shown = g_state.shown.load();
    GiveBack(true);
    // Stop for real, with the default action, then take the terminal back.
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, nullptr);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    pthread_sigmask(SIG_UNBLOCK, &tstp, nullptr);
    raise(SIGTSTP);
    InstallHandler(SIGTSTP);
    if (was_shown) TakeAgain(true);
  } else {
    GiveBack(true);
    // The signal goes on to whoever had it before: their handler, or the default action, which ends
    // the process. It is blocked until this handler returns, and a fault simply happens again.
    sigaction(sig, &g_previous[sig], nullptr);
    raise(sig);
  }
  errno = saved_errno;
}

void AtExit() {
  g_state.exited.store(true);
  GiveBack(false);
}

int OpenTerminal() {
  if (isatty(STDOUT_FILENO)) {
    // Opened afresh for reading and writing: standard output itself may have been opened write-only.
    const char* name = ttyname(STDOUT_FILENO);
    const int fd = name ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    return fd >= 0 ? fd : fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  }
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd >= 0 && !isatty(fd)) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

TerminalScreen::TerminalScreen(EmulatedConsole& console) : console_(console) {}

TerminalScreen::~TerminalScreen() {
  std::lock_guard lock(mutex_);
  Leave();
  if (fd_ >= 0) close(fd_);
  if (g_state.fd.load() == fd_) g_state.fd.store(-1);
}

std::optional<Coord> TerminalScreen::Attach() {
  {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0 && !broken_) return AttachLocked();
  }
  return AttachTo(OpenTerminal());
}

std::optional<Coord> TerminalScreen::AttachTo(int fd) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0 && fd_ != fd) {
    Leave();
    close(fd_);
  }
  fd_ = fd;
  broken_ = false;
  return AttachLocked();
}

std::optional<Coord> TerminalScreen::AttachLocked() {
  attached_ = fd_ >= 0;
  if (!attached_) return std::nullopt;
  tty_ = isatty(fd_) != 0;
  winsize size{};
  if (ioctl(fd_, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return Coord{80, 25};
  return Coord{static_cast<Short>(std::min<int>(size.ws_col, 9999)),
               static_cast<Short>(std::min<int>(size.ws_row, 9999))};
}

void TerminalScreen::Detach() {
  std::lock_guard lock(mutex_);
  Leave();
  attached_ = false;
}

void TerminalScreen::Present(const ConsoleFrame& frame) noexcept {
  if (frame.input_mode_changed) SetProcessedInput((frame.input_mode & kEnableProcessedInput) != 0);
  // A frame drawn for the old size could wrap and scroll a smaller terminal: it is dropped, and the
  // console repaints at once at the new size.
  if (FollowResize()) return;
  std::lock_guard lock(mutex_);
  if (!attached_ || broken_ || g_state.exited.load()) return;
  if (frame.size.X <= 0 || frame.size.Y <= 0) {
    Leave();
    return;
  }
  out_.clear();
  if (!g_state.shown.load() && !Enter(out_)) return;
  if (frame.display_mode_changed) g_state.full_screen.store(frame.full_screen);
  if (g_state.lost.exchange(false)) {
    renderer_.Invalidate();
    // This frame draws only what changed; the rest comes with the repaint that follows at once.
    if (!frame.repaint) console_.RequestRepaint();
  }
  const size_t entering = out_.size();
  try {
    renderer_.Render(frame, out_);
  } catch (...) {
    // No memory for the frame's bytes: the screen switch still goes out, the frame starts over whole.
    out_.resize(entering);
    g_state.lost.store(true);
  }
  if (!out_.empty()) WriteAll(out_);
}

int TerminalScreen::Fd() {
  std::lock_guard lock(mutex_);
  return attached_ && !broken_ ? fd_ : -1;
}

bool TerminalScreen::ProcessedInput() const { return g_state.processed.load(); }

void TerminalScreen::SetProcessedInput(bool on) {
  if (g_state.processed.exchange(on) == on) return;
  std::lock_guard lock(mutex_);
  if (g_state.shown.load()) tcsetattr(fd_, TCSADRAIN, &g_state.drawing[on ? 1 : 0]);
}

bool TerminalScreen::FollowResize() {
  if (!g_state.resized.exchange(false)) return false;
  const int fd = g_state.fd.load();
  winsize size{};
  if (fd < 0 || !g_state.shown.load() || ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 ||
      size.ws_row == 0)
    return false;
  return console_.ResizeConsole(Coord{static_cast<Short>(std::min<int>(size.ws_col, 9999)),
                                      static_cast<Short>(std::min<int>(size.ws_row, 9999))});
}

void TerminalScreen::SetWaker(Waker waker) { g_state.waker.store(waker); }

bool TerminalScreen::Enter(std::string& out) {
  termios saved{};
  if (tcgetattr(fd_, &saved) != 0) {
    broken_ = true;
    return false;
  }
  static const bool registered = [] {
#ifdef KELVANE_SANITIZED
    // A sanitizer ends the program without a signal or exit handlers: give the terminal back first, so
    // its report is readable.
    __sanitizer_set_death_callback(AtExit);
#endif
    return std::atexit(AtExit) == 0;
  }();
  (void)registered;
  g_state.fd.store(fd_);
  g_state.console.store(&console_);
  g_state.saved = saved;
  g_state.drawing[0] = RawModes(saved, false);
  g_state.drawing[1] = RawModes(saved, true);
  for (int sig : kHandled) InstallHandler(sig);
  if (tcsetattr(fd_, TCSADRAIN, &g_state.drawing[g_state.processed.load() ? 1 : 0]) != 0) {
    broken_ = true;
    return false;
  }
  g_state.shown.store(true);
  g_state.lost.store(true);
  const char* term = std::getenv("TERM");
  renderer_.SetFeatures(FeaturesOfTerminal(term ? term : ""));
  out += kPushTitle;
  out += kEnterScreen;
  return true;
}

void TerminalScreen::Leave() {
  if (!g_state.shown.exchange(false)) return;
  std::string bytes = g_state.full_screen.exchange(false) ? kLeaveFullScreen : "";
  bytes += kLeave;
  WriteAll(bytes);
  tcsetattr(fd_, TCSADRAIN, &g_state.saved);
}

bool TerminalScreen::WriteAll(const std::string& bytes) {
  // The keyboard's signals wait until the frame is out whole, so a restore never lands inside one of
  // our sequences: while `writing` is set their handler, on whichever thread, only notes them, and they
  // are raised here once the write is done. A flag rather than the signal mask, which would cost two
  // system calls a frame, more than the write of a small one. A terminal never raises SIGPIPE; any
  // other file is written with SIGPIPE blocked, since a write to a vanished reader must fail, not end
  // the program.
  sigset_t blocked, old, pending_before;
  sigemptyset(&blocked);
  sigemptyset(&old);
  sigemptyset(&pending_before);
  if (!tty_) {
    sigaddset(&blocked, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &blocked, &old);
    sigpending(&pending_before);
  }
  g_state.writing.store(true);
  const char* data = bytes.data();
  size_t left = bytes.size();
  int stalls = 0;
  while (left > 0 && !broken_) {
    const ssize_t written = write(fd_, data, left);
    if (written >= 0) {
      data += written;
      left -= static_cast<size_t>(written);
      stalls = 0;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // Someone made the terminal non-blocking: wait for room, but not for ever.
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0 && ++stalls >= 5) broken_ = true;
    } else if (errno != EINTR) {
      broken_ = true;  // EIO, EPIPE: the terminal is gone
      if (errno == EPIPE && !tty_ && !sigismember(&pending_before, SIGPIPE)) {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        const timespec now{};
        sigtimedwait(&pipe, nullptr, &now);
      }
    }
  }
  g_state.writing.store(false);
  if (!tty_) pthread_sigmask(SIG_SETMASK, &old, nullptr);
  // A terminal that will not take output keeps at least its modes.
  if (broken_ && g_state.shown.exchange(false)) tcsetattr(fd_, TCSANOW, &g_state.saved);
  if (const std::uint32_t deferred = g_state.deferred.exchange(0)) {
    for (const int sig : kDeferred)
      if (deferred & (1u << sig)) raise(sig);
  }
  return !broken_;
}

}  // namespace kelvane::platform::terminal
