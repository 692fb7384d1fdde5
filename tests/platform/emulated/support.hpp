// A console allocated for each test of the emulated console, with short ways to make buffers and to
// check failures, a presenter that hands each frame to a function, and keystrokes shown as text.
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

// Expects `call` to fail with `error`; the last error is cleared first so an old one cannot pass for it.
#define EXPECT_FAILS(call, error)                         \
  do {                                                    \
    ClearError();                                         \
    EXPECT_EQ((call), 0) << #call;                        \
    EXPECT_EQ(console_.GetLastError(), (error)) << #call; \
  } while (0)

class EmulatedConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(console_.AllocConsole(), 0);
    in_ = console_.GetStdHandle(kStdInputHandle);
    out_ = console_.GetStdHandle(kStdOutputHandle);
  }
  Handle NewBuffer(Dword access = kGenericRead | kGenericWrite) {
    return console_.CreateConsoleScreenBuffer(access, kFileShareRead | kFileShareWrite,
                                              kConsoleTextmodeBuffer);
  }
  // The interface has no SetLastError: an injected failure of GetLocalTime, which has no other effect,
  // stands in for it.
  void ClearError() {
    console_.FailCall(Op::GetLocalTime, 1, 0);
    console_.GetLocalTime();
  }

  EmulatedConsole console_;
  Handle in_ = 0;
  Handle out_ = 0;
};

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
