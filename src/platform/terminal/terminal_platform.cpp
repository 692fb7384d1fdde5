// The console of a POSIX process: the emulated console, shown on the process's terminal when it has one
// and headless in memory otherwise, as KELVANE_CONSOLE and the terminal decide at each allocation; its
// keys come from that terminal, or for a headless console from standard input.
#include <unistd.h>

#include <cstdlib>

#include "platform/console_platform.hpp"
#include "platform/console_setting.hpp"
#include "platform/emulated/emulated_console.hpp"
#include "platform/terminal/terminal_keys.hpp"
#include "platform/terminal/terminal_screen.hpp"

namespace kelvane::platform {

ConsolePlatform& SystemPlatform() {
  // Never destroyed: static Console objects may still be released while the process exits.
  static EmulatedConsole* console = [] {
    auto* c = new EmulatedConsole();
    auto* screen = new terminal::TerminalScreen(*c);
    auto* keys = new terminal::TerminalKeys(*screen);
    c->SetPresenter(screen);
    c->SetKeySource(keys);
    c->SetConsoleSizeProvider([screen, keys]() -> std::optional<Coord> {
      const ConsoleSetting setting = ParseConsoleSetting(std::getenv("KELVANE_CONSOLE"));
      std::optional<Coord> terminal_size;
      if (setting.kind != ConsoleSetting::Kind::Headless) terminal_size = screen->Attach();
      switch (terminal::ChooseConsoleHome(setting.kind, terminal_size.has_value())) {
        case terminal::ConsoleHome::Terminal:
          keys->Use(screen->Fd(), true);
          return terminal_size;
        case terminal::ConsoleHome::Nowhere:
          return std::nullopt;
        case terminal::ConsoleHome::Headless:
          break;
      }
      // A headless console takes its keys from standard input, whatever that is.
      screen->Detach();
      keys->Use(STDIN_FILENO, false);
      return Coord{setting.columns, setting.rows};
    });
    return c;
  }();
  return *console;
}

}  // namespace kelvane::platform
