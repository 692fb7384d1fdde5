// Bytes from a terminal (or a pipe that holds what a terminal would send) to keystrokes as a US keyboard
// delivers them to the console: virtual keys, code page 437 characters and modifiers.
//
// A pure function of the bytes and the times they arrived: an Escape that nothing follows within
// kEscapeDelay is the Escape key, one followed at once by a byte is Alt with that key, and a sequence
// or UTF-8 character split across reads is joined. Unknown sequences are dropped whole; invalid UTF-8
// gives no key.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/keyboard.hpp"

namespace kelvane::platform::terminal {

using Clock = std::chrono::steady_clock;
inline constexpr std::chrono::milliseconds kEscapeDelay{50};

class KeyDecoder {
 public:
  // Decodes `bytes`, which arrived at `now`, appending finished keystrokes to `keys`. Bytes that may be
  // the start of something longer are held until more arrive or their deadline passes.
  void Feed(std::string_view bytes, Clock::time_point now, std::vector<KeyStroke>& keys);
  // When the held bytes become keys by themselves (Timeout); nullopt when none are held.
  std::optional<Clock::time_point> Deadline() const;
  // The held bytes as they stand, once their deadline has passed or the input has ended: a lone Escape
  // is the Escape key, Escape and one byte Alt with that byte's key; a cut sequence or character is
  // dropped.
  void Timeout(std::vector<KeyStroke>& keys);
  // Forgets the held bytes (keys typed ahead are being discarded).
  void Clear() {
    held_.clear();
    skipping_ = false;
  }
  bool Holding() const { return !held_.empty(); }

 private:
  // Decodes one key from the front of `bytes`: the bytes it used (0: incomplete, more may come).
  size_t DecodeOne(std::string_view bytes, bool final, std::vector<KeyStroke>& keys);
  // Past the bytes of a sequence too long to hold, up to and with its final byte: the bytes used.
  size_t Skip(std::string_view bytes);

  std::string held_;
  bool skipping_ = false;  // inside a sequence too long to be a key, dropping it
  Clock::time_point held_since_{};
};

}  // namespace kelvane::platform::terminal
