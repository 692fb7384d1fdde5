// Shows the emulated console on the process's terminal: the alternate screen while a console exists,
// the frames drawn by a VtRenderer, and the terminal given back exactly as it was found, whatever way
// the program ends.
#pragma once

#include <termios.h>

#include <mutex>
#include <optional>
#include <string>

#include "platform/console_setting.hpp"
#include "platform/emulated/emulated_console.hpp"
#include "platform/terminal/vt_renderer.hpp"

namespace kelvane::platform::terminal {

// Where a new console lives, from the KELVANE_CONSOLE setting and whether a terminal can be had.
enum class ConsoleHome { Headless, Terminal, Nowhere };
ConsoleHome ChooseConsoleHome(ConsoleSetting::Kind setting, bool terminal_available);

// The terminal's modes while the console is shown or a key is awaited, from the modes found: raw (no
// echo, no line editing, no flow control, no CR translation, output as it is). With the console's
// processed input on, Ctrl+C stays the terminal's interrupt key, as the console's Ctrl+C ends a program;
// every other signal key is off, so Ctrl+Z and Ctrl+\ arrive as keys.
termios RawModes(const termios& found, bool processed_input);

class TerminalScreen final : public Presenter {
 public:
  // `console` is asked for a whole repaint when the terminal was taken away and given back.
  explicit TerminalScreen(EmulatedConsole& console);
  ~TerminalScreen() override;
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

  // Takes the terminal for the console about to be allocated (standard output when it is one, otherwise
  // the controlling terminal) and returns its size; nullopt when there is none. Nothing is drawn until
  // the first frame.
  std::optional<Coord> Attach();
  // The same with a terminal the caller opened (taken over, closed with this object); for tests.
  std::optional<Coord> AttachTo(int fd);
  // The next console is headless: frames are no longer drawn.
  void Detach();

  // Draws the frame; a frame without a console gives the terminal back.
  void Present(const ConsoleFrame& frame) noexcept override;

  // The terminal the console is shown on, or -1.
  int Fd();
  // Whether the console's processed input is on, as the frames have told.
  bool ProcessedInput() const;
  // After the terminal was resized (SIGWINCH): gives the console the terminal's new size. True when it
  // did. Called by whoever notices first, presenting or waiting for a key; never with the console's lock.
  bool FollowResize();
  // Called from the SIGWINCH handler as well as from FreeConsole: wakes whoever waits for a key.
  using Waker = void (*)();
  static void SetWaker(Waker waker);

 private:
  std::optional<Coord> AttachLocked();
  void SetProcessedInput(bool on);
  // Takes the terminal: its drawing modes and the signal handlers; appends the sequences that switch
  // its screen to `out`, which goes out with the first frame.
  bool Enter(std::string& out);
  void Leave();
  bool WriteAll(const std::string& bytes);

  EmulatedConsole& console_;
  std::mutex mutex_;
  int fd_ = -1;
  bool attached_ = false;
  bool broken_ = false;  // a write failed for good: the terminal is gone
  bool tty_ = false;     // fd_ is a terminal (which never raises SIGPIPE)
  VtRenderer renderer_;
  std::string out_;
};

}  // namespace kelvane::platform::terminal
