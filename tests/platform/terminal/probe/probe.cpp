// A small program for the terminal tests: draws a known page on its terminal, then ends the way its
// argument says (or waits for a signal), so the test can check what the terminal is left with; or reads
// keys and logs their codes ("keys"); or only loads the console and waits ("bare").
#include <kelvane/console.hpp>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace kc = KelvaneConsole;

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "wait";
  kc::Console console;
  console.Load();
  if (const char* pid_file = std::getenv("PROBE_PID_FILE")) std::ofstream(pid_file) << getpid() << '\n';
  if (mode == "bare") {  // nothing written, no key read: the console's processed input is still on
    for (;;) {
      console.Page();
      usleep(50 * 1000);
    }
  }
  console.Caption("probe title");
  console.ClearScreen(0xFFFFFF, 0x800000);
  kc::Integer columns = 0, rows = 0;
  console.GetWindowSize(columns, rows);  // the terminal's size
  console.WriteText(
      "PROBE TEXT " + std::to_string(columns) + "x" + std::to_string(rows) + " \x01 \xE2\x95\x90", 0x00FFFF,
      0x800000);
  console.CursorSize(100);
  if (mode == "keys") {
    // Each key's code and the window's size then, one line each, until the input ends (code 0). The
    // cursor is hidden exactly while a key is awaited, which tells the test when to type.
    std::ofstream log(std::getenv("PROBE_LOG") ? std::getenv("PROBE_LOG") : "/dev/null");
    for (;;) {
      const kc::Integer key = console.GetInputKey(true);
      console.GetWindowSize(columns, rows);
      log << key << ' ' << columns << 'x' << rows << std::endl;
      console.WriteText(" key " + std::to_string(key));
      if (key == 0) break;
    }
    console.Unload();
    return 0;
  }
  // Until the test has seen the page (or for good, when the mode is to wait for a signal), call in now
  // and then as a program would, so that a repaint asked for after a stop gets drawn.
  const char* go_file = std::getenv("PROBE_GO_FILE");
  while (mode == "wait" || (go_file && access(go_file, F_OK) != 0)) {
    console.Page();
    usleep(50 * 1000);
  }
  if (mode == "unload") {
    console.Unload();
    std::printf("unloaded\n");
    return 0;
  }
  if (mode == "exit") std::exit(0);  // no Unload, no destructor
  if (mode == "throw") throw std::runtime_error("uncaught");
  if (mode == "abort") std::abort();
  if (mode == "segv") {
    // Not null, which the undefined-behaviour sanitizer would catch before the fault happens.
    volatile std::uintptr_t address = 16;
    *reinterpret_cast<volatile int*>(address) = 1;
  }
  return 2;
}
