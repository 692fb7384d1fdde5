// Cells of the emulated console: rectangle reads and writes and the row-major fills, checked against
// what the real console does, and hostile arguments that must never reach outside a buffer or array.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace testing;

constexpr Short kLo = SHRT_MIN, kHi = SHRT_MAX;

bool Inside(const SmallRect& r, int x, int y) {
  return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}

// Where WO-4 puts screen cell (x, y) in the caller's array.
size_t ArraySlot(const SmallRect& asked, Coord size, Coord origin, int x, int y) {
  return static_cast<size_t>(origin.Y + y - asked.Top) * size.X +
         static_cast<size_t>(origin.X + x - asked.Left);
}

bool BadTransfer(const SmallRect& r, Coord size, Coord origin) {
  return r.Left > r.Right || r.Top > r.Bottom || origin.X < 0 || origin.Y < 0 || origin.X >= size.X ||
         origin.Y >= size.Y;
}

// A caller's array of exactly the claimed size (empty for a size below 1x1), so that the sanitizer
// reports any access outside it.
std::unique_ptr<CharInfo[]> CallerArray(Coord size, const std::vector<CharInfo>& content = {}) {
  size_t n = static_cast<size_t>(std::max(0, size.X * size.Y));
  auto array = std::make_unique<CharInfo[]>(n);
  for (size_t i = 0; i < n; ++i) array[i] = i < content.size() ? content[i] : kUntouched;
  return array;
}

class EmulatedCells : public EmulatedConsoleTest {
 protected:
  // Writes numbered cells over a blank buffer and checks WO-1..6: a refused call changes nothing; an
  // accepted one writes exactly the region it reports, each cell from the array slot WO-4 names.
  SmallRect CheckedWrite(SmallRect asked, Coord size, Coord origin) {
    const Coord buffer = Info().dwSize;
    const int count = buffer.X * buffer.Y;
    Dword done = 0;
    EXPECT_NE(console_.FillConsoleOutputCharacterA(out_, ' ', count, Coord{0, 0}, &done), 0);
    EXPECT_NE(console_.FillConsoleOutputAttribute(out_, 0x07, count, Coord{0, 0}, &done), 0);
    const std::vector<CharInfo> source = Numbered(size.X * size.Y);
    auto array = CallerArray(size, source);
    SmallRect region = asked;
    ClearError();
    const bool ok = console_.WriteConsoleOutputA(out_, array.get(), size, origin, &region) != 0;
    EXPECT_EQ(ok, !BadTransfer(asked, size, origin));
    if (!ok) {
      EXPECT_EQ(LastError(), kErrorInvalidParameter);
    }
    // A region reported inside the buffer is what was written; any other must be the asked one, unused.
    const bool wrote = ok && region.Left >= 0 && region.Top >= 0 && region.Left <= region.Right &&
                       region.Top <= region.Bottom && region.Right < buffer.X && region.Bottom < buffer.Y;
    EXPECT_EQ(wrote ? asked : region, asked);
    const std::vector<CharInfo> cells = console_.ReadCells(out_);
    for (int y = 0; y < buffer.Y; ++y) {
      for (int x = 0; x < buffer.X; ++x) {
        CharInfo expected = kBlank;
        if (wrote && Inside(region, x, y)) {
          size_t slot = ArraySlot(asked, size, origin, x, y);
          if (!Inside(asked, x, y) || slot >= source.size()) {
            ADD_FAILURE() << "wrote (" << x << ',' << y << ") from outside the asked region or the array";
            return region;
          }
          expected = source[slot];
        }
        if (cells[static_cast<size_t>(y * buffer.X + x)] != expected) {
          ADD_FAILURE() << "cell (" << x << ',' << y << ") is "
                        << ::testing::PrintToString(cells[y * buffer.X + x]);
          return region;
        }
      }
    }
    return region;
  }

  // Reads from a buffer of numbered cells into an array of untouched cells and checks RO-1/RO-2: a
  // refused call leaves the array alone; an accepted one fills exactly the slots of the region it
  // reports, from the right cells. Returns the error (0 for success) and the region reported.
  std::pair<Dword, SmallRect> CheckedRead(SmallRect asked, Coord size, Coord origin) {
    const Coord buffer = Info().dwSize;
    const std::vector<CharInfo> content = Numbered(buffer.X * buffer.Y);
    SmallRect all{0, 0, static_cast<Short>(buffer.X - 1), static_cast<Short>(buffer.Y - 1)};
    EXPECT_NE(console_.WriteConsoleOutputA(out_, content.data(), buffer, Coord{0, 0}, &all), 0);
    auto array = CallerArray(size);
    const size_t slots = static_cast<size_t>(std::max(0, size.X * size.Y));
    SmallRect region = asked;
    ClearError();
    if (!console_.ReadConsoleOutputA(out_, array.get(), size, origin, &region)) {
      for (size_t i = 0; i < slots; ++i) EXPECT_EQ(array[i], kUntouched) << "slot " << i;
      // RO-2: the same bad arguments as for a write fail with another error.
      EXPECT_TRUE(!BadTransfer(asked, size, origin) || LastError() == kErrorInvalidFunction);
      return {LastError(), region};
    }
    EXPECT_FALSE(BadTransfer(asked, size, origin));
    if (region.Left < 0 || region.Top < 0 || region.Left > region.Right || region.Top > region.Bottom ||
        region.Right >= buffer.X || region.Bottom >= buffer.Y) {
      ADD_FAILURE() << "read succeeded for " << ::testing::PrintToString(region)
                    << ", not a region of the buffer";
      return {0, region};
    }
    size_t filled = 0;
    for (size_t i = 0; i < slots; ++i) filled += array[i] == kUntouched ? 0 : 1;
    EXPECT_EQ(filled,
              static_cast<size_t>((region.Right - region.Left + 1) * (region.Bottom - region.Top + 1)));
    for (int y = region.Top; y <= region.Bottom; ++y) {
      for (int x = region.Left; x <= region.Right; ++x) {
        size_t slot = ArraySlot(asked, size, origin, x, y);
        if (slot >= slots || array[slot] != content[static_cast<size_t>(y * buffer.X + x)]) {
          ADD_FAILURE() << "cell (" << x << ',' << y << ") not read into slot " << slot;
          return {0, region};
        }
      }
    }
    return {0, region};
  }
};

TEST_F(EmulatedCells, WO3_WO4_WO5_WO6_S8_WriteIsCutToTheArrayThenTheBuffer) {
  MoveCursor(11, 12);
  struct Case {
    SmallRect region;
    Coord size, origin;
    SmallRect reported;
  };
  const Case cases[] = {
      {{10, 7, 15, 11}, {6, 12}, {2, 0}, {10, 7, 13, 11}},    // WO-3: the array's columns from the origin
      {{20, 7, 25, 11}, {16, 7}, {0, 3}, {20, 7, 25, 10}},    // WO-3: its rows
      {{-2, -1, 1, 1}, {4, 3}, {0, 0}, {0, 0, 1, 1}},         // WO-4: source cells skipped
      {{78, 7, 82, 7}, {5, 1}, {0, 0}, {78, 7, 79, 7}},       // WO-5
      {{3, 23, 4, 27}, {1, 5}, {0, 0}, {3, 23, 3, 24}},       // WO-5
      {{78, 5, 81, 6}, {4, 2}, {1, 0}, {78, 5, 79, 6}},       // S-8
      {{200, 7, 211, 8}, {12, 2}, {0, 0}, {200, 7, 211, 8}},  // WO-6: wholly outside, on each side
      {{80, 0, 91, 1}, {12, 2}, {0, 0}, {80, 0, 91, 1}},
      {{0, 25, 11, 26}, {12, 2}, {0, 0}, {0, 25, 11, 26}},
      {{-12, 0, -1, 1}, {12, 2}, {0, 0}, {-12, 0, -1, 1}},
      {{0, -2, 11, -1}, {12, 2}, {0, 0}, {0, -2, 11, -1}},
      {{0, 0, kHi, kHi}, {1, 1}, {0, 0}, {0, 0, 0, 0}},
      {{79, 24, kHi, kHi}, {1, 1}, {0, 0}, {79, 24, 79, 24}},
      {{kLo, kLo, kHi, kHi}, {1, 1}, {0, 0}, {kLo, kLo, kHi, kHi}},
      {{0, 0, kHi, 0}, {kHi, 1}, {kHi - 1, 0}, {0, 0, 0, 0}},
      {{kLo, 0, kHi, 0}, {kHi, 1}, {kHi - 1, 0}, {kLo, 0, kHi, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.region));
    EXPECT_EQ(CheckedWrite(c.region, c.size, c.origin), c.reported);
  }
  // WO-7: cells only.
  EXPECT_EQ(Cursor(), (Coord{11, 12}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 79, 24}));
}

TEST_F(EmulatedCells, RO1_RO2_ReadIsCutToTheArrayThenTheBuffer) {
  struct Case {
    SmallRect region;
    Coord size, origin;
    Dword error;
    SmallRect reported;
  };
  const Case cases[] = {
      {{2, 3, 5, 3}, {16, 7}, {5, 6}, 0, {2, 3, 5, 3}},  // RO-1: lands at the array origin
      {{8, 3, 39, 10}, {32, 8}, {0, 0}, 0, {8, 3, 39, 10}},
      {{78, 0, 81, 0}, {4, 1}, {0, 0}, 0, {78, 0, 79, 0}},  // slots beyond the buffer left alone
      {{-2, 0, 1, 0}, {4, 1}, {0, 0}, 0, {0, 0, 1, 0}},
      {{0, 0, 9, 5}, {3, 2}, {1, 1}, 0, {0, 0, 1, 0}},  // cut to the array
      {{0, 0, kHi, kHi}, {1, 1}, {0, 0}, 0, {0, 0, 0, 0}},
      {{79, 24, kHi, kHi}, {1, 1}, {0, 0}, 0, {79, 24, 79, 24}},
      {{5, 0, 5, kHi}, {1, kHi}, {0, kHi - 3}, 0, {5, 0, 5, 2}},
      // RO-2: wholly outside fails, the region cut to the array with its bottom above its top
      {{80, 0, 81, 1}, {2, 2}, {0, 0}, kErrorInvalidParameter, {80, 0, 81, -1}},
      {{0, 25, 1, 26}, {2, 2}, {0, 0}, kErrorInvalidParameter, {0, 25, 1, 24}},
      {{-2, 0, -1, 1}, {2, 2}, {0, 0}, kErrorInvalidParameter, {-2, 0, -1, -1}},
      {{kLo, kLo, kHi, kHi}, {1, 1}, {0, 0}, kErrorInvalidParameter, {kLo, kLo, kLo, kHi}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.region));
    auto [error, reported] = CheckedRead(c.region, c.size, c.origin);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(reported, c.reported);
  }
}

// Awkward rectangles against awkward arrays (empty, negative, origins outside) on a small buffer:
// whatever the call decides, it touches only what it reports, and nothing outside the buffer or the
// array (the sanitizer build checks that).
TEST_F(EmulatedCells, WO1_WO2_RO2_AwkwardArgumentsTouchOnlyTheReportedCells) {
  UseBuffer(5, 4);
  const SmallRect regions[] = {
      {kLo, kLo, kHi, kHi}, {kHi, kHi, kHi, kHi}, {kLo, kLo, kLo, kLo}, {kLo, 0, 0, 0}, {-3, -1, 2, 2},
      {-1, -3, 4, 3},       {2, 1, kHi, kHi},     {3, 2, 5, 4},         {4, 3, 4, 3},   {5, 0, 6, 3},
      {0, 4, 4, 5},         {0, 0, 4, 3},         {4, 0, 3, 3},         {0, 3, 4, 2}};
  const std::pair<Coord, Coord> arrays[] = {
      {{1, 1}, {0, 0}}, {{3, 2}, {1, 1}},  {{2, 5}, {1, 4}},     {{6, 6}, {2, 0}},      {{6, 6}, {5, 5}},
      {{3, 2}, {3, 0}}, {{3, 2}, {0, 2}},  {{3, 2}, {-1, 0}},    {{3, 2}, {0, -1}},     {{0, 0}, {0, 0}},
      {{5, 0}, {0, 0}}, {{-3, 4}, {0, 0}}, {{-1, -1}, {-1, -1}}, {{kLo, 2}, {kLo, kLo}}};
  for (const SmallRect& region : regions) {
    for (const auto& [size, origin] : arrays) {
      SCOPED_TRACE(::testing::PrintToString(region) + " array " + ::testing::PrintToString(size) + " at " +
                   ::testing::PrintToString(origin));
      CheckedWrite(region, size, origin);
      CheckedRead(region, size, origin);
      if (HasFailure()) return;
    }
  }
}

TEST_F(EmulatedCells, WO7_WO8_RO3_FI7_CharacterBytesAreStoredAsTheyCame) {
  UseBuffer(Coord{80, 100}, SmallRect{0, 50, 79, 74});
  MoveCursor(5, 60);
  // Controls in the bottom-right corner move no cursor and scroll nothing; the high byte is dropped.
  const std::vector<CharInfo> source{{'\n', 7}, {'\r', 7},   {'\a', 7},   {'\b', 7}, {'\t', 7},
                                     {0, 7},    {0x4101, 7}, {0xFFCD, 7}, {0x7F, 7}, {0xFF, 7}};
  SmallRect region{70, 99, 79, 99};
  ASSERT_NE(console_.WriteConsoleOutputA(out_, source.data(), Coord{10, 1}, Coord{0, 0}, &region), 0);
  std::vector<CharInfo> back(10, kUntouched);
  ASSERT_NE(console_.ReadConsoleOutputA(out_, back.data(), Coord{10, 1}, Coord{0, 0}, &region), 0);
  const Word bytes[] = {'\n', '\r', '\a', '\b', '\t', 0, 0x01, 0xCD, 0x7F, 0xFF};
  for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i].Char, bytes[i]) << i;  // RO-3: high byte 0
  EXPECT_EQ(Cursor(), (Coord{5, 60}));
  EXPECT_EQ(Window(), (SmallRect{0, 50, 79, 74}));
  EXPECT_EQ(Mode(out_), 3u);

  Dword written = 0;
  for (int byte = 0; byte < 256; ++byte) {
    Coord at{static_cast<Short>(byte % 80), static_cast<Short>(byte / 80)};
    ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, static_cast<char>(byte), 1, at, &written), 0);
  }
  std::vector<CharInfo> filled(80 * 4, kUntouched);
  region = SmallRect{0, 0, 79, 3};
  ASSERT_NE(console_.ReadConsoleOutputA(out_, filled.data(), Coord{80, 4}, Coord{0, 0}, &region), 0);
  for (int byte = 0; byte < 256; ++byte) ASSERT_EQ(filled[static_cast<size_t>(byte)].Char, byte);
}

TEST_F(EmulatedCells, WO9_FI7_AttributeBitsACellKeeps) {
  std::vector<CharInfo> source(256);
  for (int i = 0; i < 256; ++i) source[static_cast<size_t>(i)] = CharInfo{'x', static_cast<Word>(i)};
  SmallRect region{0, 0, 63, 3};
  ASSERT_NE(console_.WriteConsoleOutputA(out_, source.data(), Coord{64, 4}, Coord{0, 0}, &region), 0);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(Cell(static_cast<Short>(i % 64), static_cast<Short>(i / 64)).Attributes, i);

  // Grid lines, reverse video and underscore stay; the lead and trail flags and 0x2000 do not.
  const std::pair<Word, Word> cases[] = {
      {0xFFFF, 0xDCFF}, {0x2307, 0x0007}, {0xDC1E, 0xDC1E}, {0x2007, 0x0007}};
  for (auto [given, kept] : cases) {
    CharInfo cell{'a', given};
    region = SmallRect{0, 5, 0, 5};
    ASSERT_NE(console_.WriteConsoleOutputA(out_, &cell, Coord{1, 1}, Coord{0, 0}, &region), 0);
    EXPECT_EQ(Cell(0, 5).Attributes, kept) << given;
    Dword written = 0;
    ASSERT_NE(console_.FillConsoleOutputAttribute(out_, given, 1, Coord{1, 5}, &written), 0);
    EXPECT_EQ(written, 1u);
    EXPECT_EQ(Cell(1, 5).Attributes, kept) << given;
  }
}

TEST_F(EmulatedCells, FI5_FI6_CellCallsNeedABufferHandleWithTheRightAccessAndPointers) {
  Handle closed = NewBuffer();
  ASSERT_NE(console_.CloseHandle(closed), 0);
  const Handle read_only = NewBuffer(kGenericRead), write_only = NewBuffer(kGenericWrite);
  CharInfo cell = kUntouched;
  SmallRect region{0, 0, 0, 0};
  Dword count = 99;
  const Coord one{1, 1}, at{0, 0};
  for (Handle bad : {in_, Handle{0}, kInvalidHandle, closed}) {
    region = SmallRect{0, 0, 0, 0};
    EXPECT_FAILS(console_.WriteConsoleOutputA(bad, &cell, one, at, &region), kErrorInvalidHandle);
    region = SmallRect{0, 0, 0, 0};
    EXPECT_FAILS(console_.ReadConsoleOutputA(bad, &cell, one, at, &region), kErrorInvalidHandle);
    EXPECT_FAILS(console_.FillConsoleOutputCharacterA(bad, 'q', 1, at, &count), kErrorInvalidHandle);
    EXPECT_FAILS(console_.FillConsoleOutputAttribute(bad, 0x70, 1, at, &count), kErrorInvalidHandle);
  }
  region = SmallRect{0, 0, 0, 0};
  EXPECT_FAILS(console_.WriteConsoleOutputA(read_only, &cell, one, at, &region), kErrorAccessDenied);
  EXPECT_FAILS(console_.ReadConsoleOutputA(write_only, &cell, one, at, &region), kErrorAccessDenied);
  region = SmallRect{0, 0, 0, 0};
  EXPECT_FAILS(console_.FillConsoleOutputCharacterA(read_only, 'q', 1, at, &count), kErrorAccessDenied);
  EXPECT_FAILS(console_.FillConsoleOutputAttribute(read_only, 0x70, 1, at, &count), kErrorAccessDenied);
  EXPECT_EQ(cell, kUntouched);
  EXPECT_EQ(count, 99u);
  EXPECT_EQ(console_.ReadCells(read_only).at(0), kBlank);

  // The region is cut to the caller's array before the handle is looked at (a failed read also
  // marks it empty with its bottom above its top).
  region = SmallRect{2, 3, 9, 9};
  EXPECT_FAILS(console_.WriteConsoleOutputA(Handle{0}, &cell, Coord{3, 2}, at, &region), kErrorInvalidHandle);
  EXPECT_EQ(region, (SmallRect{2, 3, 4, 4}));
  region = SmallRect{2, 3, 9, 9};
  EXPECT_FAILS(console_.ReadConsoleOutputA(Handle{0}, &cell, Coord{3, 2}, at, &region), kErrorInvalidHandle);
  EXPECT_EQ(region, (SmallRect{2, 3, 4, 2}));
  region = SmallRect{0, 0, 0, 0};

  EXPECT_FAILS(console_.WriteConsoleOutputA(out_, nullptr, one, at, &region), kErrorInvalidAccess);
  EXPECT_FAILS(console_.WriteConsoleOutputA(out_, &kBlank, one, at, nullptr), kErrorInvalidAccess);
  EXPECT_FAILS(console_.ReadConsoleOutputA(out_, nullptr, one, at, &region), kErrorInvalidAccess);
  EXPECT_FAILS(console_.ReadConsoleOutputA(out_, &cell, one, at, nullptr), kErrorInvalidAccess);
  EXPECT_FAILS(console_.FillConsoleOutputCharacterA(out_, 'q', 10, at, nullptr), kErrorInvalidAccess);
  EXPECT_FAILS(console_.FillConsoleOutputAttribute(out_, 0x70, 10, at, nullptr), kErrorInvalidAccess);
  EXPECT_EQ(cell, kUntouched);
  EXPECT_EQ(Cell(0, 0), kBlank);
}

TEST_F(EmulatedCells, FI1_FI2_FI3_FI4_S9_FillsRunRowMajorToTheBufferEnd) {
  UseBuffer(80, 2);
  MoveCursor(4, 1);
  struct Case {
    Coord start;
    Dword length, written;
  };
  // S-9, on to the next row, to the end; FI-4: starts outside, which are no error; huge lengths.
  const Case cases[] = {
      {{78, 0}, 85, 82},  {{77, 0}, 5, 5},   {{75, 1}, 1000, 5},     {{0, 0}, 0, 0},      {{80, 0}, 85, 0},
      {{0, 2}, 10, 0},    {{-1, 0}, 10, 0},  {{0, -1}, 10, 0},       {{kHi, kHi}, 10, 0}, {{kLo, 1}, 10, 0},
      {{0, 0}, ~0u, 160}, {{79, 1}, ~0u, 1}, {{0, 1}, 1u << 31, 80},
  };
  const std::vector<CharInfo> pattern = Numbered(160);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.start) + " length " + std::to_string(c.length));
    const size_t first = static_cast<size_t>(std::max(0, c.start.Y * 80 + c.start.X));
    for (bool attribute : {false, true}) {
      SmallRect all{0, 0, 79, 1};
      ASSERT_NE(console_.WriteConsoleOutputA(out_, pattern.data(), Coord{80, 2}, Coord{0, 0}, &all), 0);
      Dword written = 99;
      ASSERT_NE(attribute ? console_.FillConsoleOutputAttribute(out_, 0x2E, c.length, c.start, &written)
                          : console_.FillConsoleOutputCharacterA(out_, 'q', c.length, c.start, &written),
                0);
      EXPECT_EQ(written, c.written);
      std::vector<CharInfo> expected = pattern;
      for (size_t i = first; i < first + c.written; ++i)
        (attribute ? expected[i].Attributes : expected[i].Char) = attribute ? 0x2E : 'q';
      EXPECT_EQ(console_.ReadCells(out_), expected);
    }
  }
  EXPECT_EQ(Cursor(), (Coord{4, 1}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 79, 1}));
}

}  // namespace
}  // namespace kelvane::platform
