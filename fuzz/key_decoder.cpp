// Arbitrary bytes through the terminal key decoder, cut into reads at places the input chooses: no
// crash, a bounded amount held back, only real keys out, and the same keys however the bytes are cut
// when they all arrive at once.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/terminal/key_decoder.hpp"

namespace {

using namespace kelvane::platform;
using namespace kelvane::platform::terminal;

void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "key_decoder: violated: %s\n", property);
  std::abort();
}

bool Same(const std::vector<KeyStroke>& a, const std::vector<KeyStroke>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].virtual_key != b[i].virtual_key || a[i].character != b[i].character ||
        a[i].control_state != b[i].control_state)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte seeds where the reads are cut; the rest is what the terminal sent.
  unsigned cuts = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const Clock::time_point t0{};

  KeyDecoder whole;
  std::vector<KeyStroke> expected;
  whole.Feed(bytes, t0, expected);
  whole.Timeout(expected);

  KeyDecoder pieces;
  std::vector<KeyStroke> keys;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t length = 1 + (cuts % 7);
    cuts = cuts * 33 + 7;
    pieces.Feed(bytes.substr(at, length), t0, keys);
    at += length;
  }
  pieces.Timeout(keys);
  Check(!pieces.Holding(), "nothing is held after the end of input");
  Check(Same(keys, expected), "the keys do not depend on how the reads were cut");
  for (const KeyStroke& key : keys) {
    Check(key.virtual_key != 0 && key.virtual_key <= 0xFE, "every key has a virtual key");
    Check(key.character <= 0xFF, "characters are code page 437 bytes");
  }

  // With time between the reads, Escape and what follows it may part; keys still come out whole.
  KeyDecoder timed;
  keys.clear();
  at = 0;
  Clock::time_point now = t0;
  while (at < bytes.size()) {
    const size_t length = 1 + (cuts % 5);
    cuts = cuts * 33 + 7;
    now += std::chrono::milliseconds(cuts % 120);
    timed.Feed(bytes.substr(at, length), now, keys);
    Check(!timed.Holding() || timed.Deadline().has_value(), "held bytes have a deadline");
    at += length;
  }
  timed.Timeout(keys);
  Check(keys.size() <= bytes.size(), "at most one key per byte");
  return 0;
}
