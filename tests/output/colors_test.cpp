// RGB colours to console attributes and back, against an independent computation.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "core/console_impl.hpp"

namespace KelvaneConsole {
namespace {

// The palette as separate channels, written out independently of the library's table.
struct Rgb {
  int r, g, b;
};
constexpr std::array<Rgb, 16> kChannels{{{0, 0, 0},
                                         {0, 0, 128},
                                         {0, 128, 0},
                                         {0, 128, 128},
                                         {128, 0, 0},
                                         {128, 0, 128},
                                         {128, 128, 0},
                                         {192, 192, 192},
                                         {128, 128, 128},
                                         {0, 0, 255},
                                         {0, 255, 0},
                                         {0, 255, 255},
                                         {255, 0, 0},
                                         {255, 0, 255},
                                         {255, 255, 0},
                                         {255, 255, 255}}};

Long ToRgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

// The nearest index: the largest of the indexes at the smallest distance.
int Expected(int r, int g, int b) {
  int best_distance = 1000;
  for (const auto& p : kChannels) {
    best_distance = std::min(best_distance, std::abs(r - p.r) + std::abs(g - p.g) + std::abs(b - p.b));
  }
  for (int i = 15; i >= 0; --i) {
    const auto& p = kChannels[static_cast<size_t>(i)];
    if (std::abs(r - p.r) + std::abs(g - p.g) + std::abs(b - p.b) == best_distance) return i;
  }
  return -1;
}

TEST(ColorMapping, NearestIndexAgreesEverywhereThatMatters) {
  // Every value of each channel against the values around the palette's thresholds of the others.
  const std::vector<int> edges{0,   1,   31,  32,  33,  63,  64,  65,  95,  96,  97,  127, 128,
                               129, 159, 160, 161, 191, 192, 193, 223, 224, 225, 254, 255};
  for (int v = 0; v < 256; ++v) {
    for (int a : edges) {
      for (int b : edges) {
        ASSERT_EQ(zzzNearestColorIndex(ToRgb(v, a, b)), Expected(v, a, b)) << v << "," << a << "," << b;
        ASSERT_EQ(zzzNearestColorIndex(ToRgb(a, v, b)), Expected(a, v, b)) << a << "," << v << "," << b;
        ASSERT_EQ(zzzNearestColorIndex(ToRgb(a, b, v)), Expected(a, b, v)) << a << "," << b << "," << v;
      }
    }
  }
  // And a coarse sweep of the whole cube.
  for (int r = 0; r < 256; r += 3) {
    for (int g = 0; g < 256; g += 3) {
      for (int b = 0; b < 256; b += 3) ASSERT_EQ(zzzNearestColorIndex(ToRgb(r, g, b)), Expected(r, g, b));
    }
  }
}

TEST(ColorMapping, TiesGoToTheHigherIndex) {
  EXPECT_EQ(zzzNearestColorIndex(0x000040), 4);
  EXPECT_EQ(zzzNearestColorIndex(0x400000), 1);
  EXPECT_EQ(zzzNearestColorIndex(0xA0A0A0), 8);
  EXPECT_EQ(zzzNearestColorIndex(0x404040), 8);
  EXPECT_EQ(zzzNearestColorIndex(0xE0E0E0), 15);
}

TEST(ColorMapping, TheHighByteIsIgnored) {
  EXPECT_EQ(zzzNearestColorIndex(static_cast<Long>(0xFF000000u)), 0);
  EXPECT_EQ(zzzNearestColorIndex(static_cast<Long>(0x80000005u)), 0);
  EXPECT_EQ(zzzNearestColorIndex(-1), 15);  // 0xFFFFFFFF: white
}

TEST(ColorMapping, PaletteColoursMapToThemselvesAndPack) {
  for (int i = 0; i < 16; ++i) EXPECT_EQ(zzzNearestColorIndex(PaletteColor(i)), i);
  EXPECT_EQ(zzzColorsToAttribute(0xFFFFFF, 0), 15);
  EXPECT_EQ(zzzColorsToAttribute(0x0000FF, 0x800000), 28);
  for (int f = 0; f < 16; ++f) {
    for (int b = 0; b < 16; ++b)
      EXPECT_EQ(zzzColorsToAttribute(PaletteColor(f), PaletteColor(b)), f + 16 * b);
  }
}

TEST(ColorMapping, AttributeToColorsForEveryAttribute) {
  for (int a = 0; a < 65536; ++a) {
    Long fore = 0x12345678;
    Long back = 0x12345678;
    zzzAttributeToColors(static_cast<Integer>(a), fore, back);
    if (a > 0xFF) {
      ASSERT_EQ(fore, 0x12345678) << a;
      ASSERT_EQ(back, 0x12345678) << a;
    } else {
      const auto& f = kChannels[static_cast<size_t>(a & 15)];
      const auto& b = kChannels[static_cast<size_t>(a >> 4)];
      ASSERT_EQ(fore, ToRgb(f.r, f.g, f.b)) << a;
      ASSERT_EQ(back, ToRgb(b.r, b.g, b.b)) << a;
    }
  }
  Long fore = 1, back = 2;
  zzzAttributeToColors(0x1F, fore, back);
  EXPECT_EQ(fore, 0xFFFFFF);
  EXPECT_EQ(back, 0x800000);
}

}  // namespace
}  // namespace KelvaneConsole
