// Shows the emulated console on the process's terminal: the alternate screen while a console exists,
// the frames drawn by a VtRenderer, and the terminal given back exactly as it was found, whatever way
// the program ends.
#pragma once

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

 private:
  std::optional<Coord> AttachLocked();
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
  VtRenderer renderer_;
  std::string out_;
};

}  // namespace kelvane::platform::terminal
