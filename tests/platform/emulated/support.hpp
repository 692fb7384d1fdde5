// For tests that watch the emulated console: a presenter that hands each frame to a function, and
// keystrokes shown as text.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/keyboard.hpp"

namespace kelvane::platform::testing {

// Hands each frame to a function, for tests that watch what would be shown.
class FramesTo final : public Presenter {
 public:
  explicit FramesTo(std::function<void(const ConsoleFrame&)> present) : present_(std::move(present)) {}
  void Present(const ConsoleFrame& frame) noexcept override { present_(frame); }

 private:
  std::function<void(const ConsoleFrame&)> present_;
};

// Keystrokes as VK.CHAR in hex, then the modifiers held, S(hift), A(lt), C(trl): "41.41.S" for Shift+A.
inline std::string ShowKeys(const std::vector<KeyStroke>& keys) {
  std::string out;
  for (const KeyStroke& k : keys) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%X.%X%s", out.empty() ? "" : " ", k.virtual_key, k.character,
                  k.control_state != 0 ? "." : "");
    out += text;
    for (const auto& [bit, letter] :
         {std::pair{kShiftPressed, 'S'}, std::pair{kLeftAltPressed, 'A'}, std::pair{kLeftCtrlPressed, 'C'}})
      if (k.control_state & bit) out += letter;
  }
  return out;
}

}  // namespace kelvane::platform::testing
