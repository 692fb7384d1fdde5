// The KELVANE_CONSOLE setting of the POSIX platform layer, as a pure function of its text.
#pragma once

#include <cstdint>

namespace kelvane::platform {

struct ConsoleSetting {
  enum class Kind { Automatic, Headless, Terminal } kind = Kind::Automatic;
  std::int16_t columns = 80;  // the size of a headless console
  std::int16_t rows = 25;
  bool valid = true;  // false when the text was not understood (then Automatic, 80 x 25)
};

// "headless", "headless:COLSxROWS" (1..9999 each), "terminal", or nothing (null or empty).
ConsoleSetting ParseConsoleSetting(const char* text);

}  // namespace kelvane::platform
