// RGB colours (red in the low byte) to the sixteen console colours and back.
#include <gtest/gtest.h>

#include <utility>

#include "core/console_impl.hpp"

namespace KelvaneConsole {
namespace {

// The console's colour numbers in order: bit 0 blue, 1 green, 2 red, 3 bright.
constexpr Long kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                               0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// The nearest colour by the sum of the channel differences; of equally near ones, the higher number. The
// high byte is ignored. The palette maps to itself both ways (each colour once as fore and once as back),
// and attribute bits above the two colours write neither colour.
TEST(ColorMapping, NearestColourAtTheBoundariesAndTiesAndThePaletteBothWays) {
  const std::pair<Long, int> cases[] = {
      {0x000040, 4},  {0x400000, 1}, {0x004000, 2},  {0xA0A0A0, 8},          {0x404040, 8},
      {0xE0E0E0, 15}, {0x00003F, 0}, {0x000041, 4},  {0x0000BF, 4},          {0x0000C0, 12},
      {0x3F0000, 0},  {0xC00000, 9}, {0x00C000, 10}, {0xC0C0C0, 7},          {0xC1C1C1, 7},
      {0xBFBFBF, 7},  {0x808081, 8}, {0x0080FF, 14}, {0x8000FF, 13},         {0xFF8000, 11},
      {0x00FF80, 14}, {0x60C0C0, 7}, {-1, 15},       {Long(0xFF000000u), 0}, {Long(0x80000005u), 0}};
  for (auto [color, index] : cases) EXPECT_EQ(zzzNearestColorIndex(color), index) << std::hex << color;
  for (int f = 0; f < 16; ++f) {
    const int b = (f + 5) % 16;
    EXPECT_EQ(zzzColorsToAttribute(kPalette[f], kPalette[b]), f + 16 * b);
    Long fore = 1, back = 2;
    zzzAttributeToColors(static_cast<Integer>(f + 16 * b), fore, back);
    EXPECT_EQ(std::pair(fore, back), std::pair(kPalette[f], kPalette[b])) << f;
  }
  for (int a : {0x0100, 0x041E, 0x8000, 0xFFFF}) {
    Long fore = 0x12345678, back = 0x12345678;
    zzzAttributeToColors(static_cast<Integer>(a), fore, back);
    EXPECT_EQ(fore + back, 2 * 0x12345678) << a;
  }
}

}  // namespace
}  // namespace KelvaneConsole
