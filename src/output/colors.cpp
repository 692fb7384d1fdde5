// RGB colours and the sixteen console colours.
#include <array>
#include <cstdlib>

#include "core/console_impl.hpp"

namespace KelvaneConsole {

namespace {

// The QBColor palette; the index is the console's colour number (bit 0 blue, 1 green, 2 red, 3 bright).
constexpr std::array<Long, 16> kPalette{0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                        0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                        0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

int Channel(Long color, int shift) {
  return static_cast<int>((static_cast<std::uint32_t>(color) >> shift) & 0xFF);
}

}  // namespace

Long PaletteColor(int index) noexcept { return kPalette[static_cast<size_t>(index & 15)]; }

Integer zzzNearestColorIndex(Long Color) noexcept {
  // A palette colour itself, as most are given, is its own nearest: the palette's sixteen differ, so
  // no tie can arise.
  for (int i = 0; i < 16; ++i)
    if (kPalette[static_cast<size_t>(i)] == Color) return static_cast<Integer>(i);
  int best = 0;
  int best_distance = 1 << 30;
  for (int i = 0; i < 16; ++i) {
    int distance = std::abs(Channel(Color, 0) - Channel(kPalette[i], 0)) +
                   std::abs(Channel(Color, 8) - Channel(kPalette[i], 8)) +
                   std::abs(Channel(Color, 16) - Channel(kPalette[i], 16));
    // Less than or equal: a tie goes to the higher index.
    if (distance <= best_distance) {
      best = i;
      best_distance = distance;
    }
  }
  return static_cast<Integer>(best);
}

Integer zzzColorsToAttribute(Long ForeColor, Long BackColor) noexcept {
  return static_cast<Integer>(zzzNearestColorIndex(ForeColor) + 16 * zzzNearestColorIndex(BackColor));
}

void zzzAttributeToColors(Integer Attribute, Long& ForeColor, Long& BackColor) noexcept {
  auto attribute = static_cast<std::uint16_t>(Attribute);
  // Any of bits 8..15 set leaves both colours unwritten.
  std::uint16_t fore = attribute & ~std::uint16_t{0x00F0};
  if (fore <= 15) ForeColor = kPalette[fore];
  std::uint16_t back = attribute & ~std::uint16_t{0x000F};
  if (back <= 240) BackColor = kPalette[back / 16];
}

}  // namespace KelvaneConsole
