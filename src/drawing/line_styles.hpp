// The characters of each line style, as code page 437 bytes.
#pragma once

#include <kelvane/console.hpp>

#include <cstdint>

namespace KelvaneConsole {

struct LineStyleCharacters {
  std::uint8_t horizontal;  // 0: keep each cell's character
  std::uint8_t vertical;
  std::uint8_t top_left;  // 0: no corner character
  std::uint8_t top_right;
  std::uint8_t bottom_left;
  std::uint8_t bottom_right;
};

// Any value outside the enumeration behaves as kcLineColorOnly.
const LineStyleCharacters& CharactersOf(KSConsoleLineStyles style) noexcept;

// Whether a style keeps the characters under it (colours only).
inline bool KeepsCharacters(KSConsoleLineStyles style) noexcept {
  return CharactersOf(style).horizontal == 0;
}

}  // namespace KelvaneConsole
