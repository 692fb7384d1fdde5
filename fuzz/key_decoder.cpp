// Arbitrary bytes through the terminal key decoder, cut into reads at places the input chooses: no
// crash, nothing held after the end of input, only real keys out, and the same keys however the bytes
// are cut when they all arrive at once. Escape told from Alt by the time between reads is the unit
// tests' to check.
#include <algorithm>
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
  const auto same = [](const KeyStroke& a, const KeyStroke& b) {
    return a.virtual_key == b.virtual_key && a.character == b.character && a.control_state == b.control_state;
  };
  Check(std::ranges::equal(keys, expected, same), "the keys do not depend on how the reads were cut");
  for (const KeyStroke& key : keys) {
    Check(key.virtual_key != 0 && key.virtual_key <= 0xFE, "every key has a virtual key");
    Check(key.character <= 0xFF, "characters are code page 437 bytes");
  }
  return 0;
}
