// Cells of the emulated console: rectangle reads and writes and the row-major fills, checked against
// what the real console does, and hostile arguments that must never reach outside a buffer or array.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform {
namespace {

constexpr Dword kReadWrite = kGenericRead | kGenericWrite;
constexpr Dword kShareBoth = kFileShareRead | kFileShareWrite;
constexpr Dword kErrorInvalidAccess = 998;
constexpr CharInfo kUntouched{0xEEEE, 0xEEEE};  // what no console cell can hold

// The interface has no SetLastError; an injected failure of GetLocalTime, which has no other effect,
// stands in so that a test can tell a fresh error from one left over by an earlier call.
void SetLastErrorTo(EmulatedConsole& console, Dword value) {
  console.FailCall(Op::GetLocalTime, 1, value);
  console.GetLocalTime();
}

// Distinct cells for a caller's array: cell i holds character 'A' + i and attribute i.
std::vector<CharInfo> Numbered(int count) {
  std::vector<CharInfo> cells(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    cells[static_cast<size_t>(i)] = CharInfo{static_cast<Word>('A' + i), static_cast<Word>(i)};
  }
  return cells;
}

class EmulatedCells : public ::testing::Test {
 protected:
  void SetUp() override {
    console_.SetConsoleSize(80, 25);
    ASSERT_TRUE(console_.AllocConsole());
    in_ = console_.GetStdHandle(kStdInputHandle);
    out_ = console_.GetStdHandle(kStdOutputHandle);
  }

  CharInfo At(int x, int y, Handle handle = 0) {
    auto info = console_.BufferInfo(handle ? handle : out_);
    auto cells = console_.ReadCells(handle ? handle : out_);
    return cells.at(static_cast<size_t>(y) * info->dwSize.X + x);
  }
  std::string Row(int y, int from, int to) {
    std::string text;
    for (int x = from; x <= to; ++x) text += static_cast<char>(At(x, y).Char);
    return text;
  }

  EmulatedConsole console_;
  Handle in_ = 0;
  Handle out_ = 0;
};

// --- WriteConsoleOutputA ---

TEST_F(EmulatedCells, WO1_InvertedRegionFailsAndIsLeftAlone) {
  auto source = Numbered(4);
  auto before = console_.ReadCells(out_);
  for (SmallRect region : {SmallRect{5, 0, 4, 0}, SmallRect{0, 5, 0, 4}}) {
    SmallRect copy = region;
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.WriteConsoleOutputA(out_, source.data(), Coord{2, 2}, Coord{0, 0}, &copy));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidParameter);
    EXPECT_EQ(copy, region);
  }
  EXPECT_EQ(console_.ReadCells(out_), before);
}

TEST_F(EmulatedCells, WO2_OriginOutsideTheCallersArrayFails) {
  auto source = Numbered(6);
  auto before = console_.ReadCells(out_);
  for (Coord origin : {Coord{3, 0}, Coord{0, 2}, Coord{3, 2}, Coord{-1, 0}, Coord{0, -1}}) {
    SmallRect region{0, 0, 1, 1};
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.WriteConsoleOutputA(out_, source.data(), Coord{3, 2}, origin, &region));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidParameter);
    EXPECT_EQ(region, (SmallRect{0, 0, 1, 1}));
  }
  EXPECT_EQ(console_.ReadCells(out_), before);
}

TEST_F(EmulatedCells, WO3_RegionIsCutToWhatTheCallersArrayHolds) {
  auto narrow = Numbered(6 * 12);
  SmallRect region{10, 7, 15, 11};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, narrow.data(), Coord{6, 12}, Coord{2, 0}, &region));
  EXPECT_EQ(region, (SmallRect{10, 7, 13, 11}));
  EXPECT_EQ(Row(7, 10, 14), "CDEF ");
  EXPECT_EQ(At(13, 11), narrow[4 * 6 + 5]);

  auto short_array = Numbered(16 * 7);
  region = SmallRect{20, 7, 25, 11};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, short_array.data(), Coord{16, 7}, Coord{0, 3}, &region));
  EXPECT_EQ(region, (SmallRect{20, 7, 25, 10}));
  EXPECT_EQ(At(20, 7), short_array[3 * 16]);
  EXPECT_EQ(At(25, 10), short_array[6 * 16 + 5]);
  EXPECT_EQ(At(20, 11).Char, ' ');
}

TEST_F(EmulatedCells, WO4_NegativeLeftAndTopSkipSourceColumnsAndRows) {
  auto source = Numbered(4 * 3);
  SmallRect region{-2, -1, 1, 1};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{4, 3}, Coord{0, 0}, &region));
  EXPECT_EQ(region, (SmallRect{0, 0, 1, 1}));
  EXPECT_EQ(At(0, 0), source[6]);
  EXPECT_EQ(At(1, 0), source[7]);
  EXPECT_EQ(At(0, 1), source[10]);
  EXPECT_EQ(At(1, 1), source[11]);
  EXPECT_EQ(At(2, 0).Char, ' ');
  EXPECT_EQ(At(0, 2).Char, ' ');
}

TEST_F(EmulatedCells, WO5_RegionComesBackClipped) {
  auto source = Numbered(5);
  SmallRect region{78, 7, 82, 7};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{5, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(region, (SmallRect{78, 7, 79, 7}));
  EXPECT_EQ(Row(7, 78, 79), "AB");
  EXPECT_EQ(At(0, 8).Char, ' ');

  region = SmallRect{3, 23, 4, 27};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{1, 5}, Coord{0, 0}, &region));
  EXPECT_EQ(region, (SmallRect{3, 23, 3, 24}));
}

TEST_F(EmulatedCells, WO6_RegionWhollyOutsideSucceedsAndWritesNothing) {
  auto source = Numbered(12 * 2);
  auto before = console_.ReadCells(out_);
  for (SmallRect region : {SmallRect{200, 7, 211, 8}, SmallRect{80, 0, 91, 1}, SmallRect{0, 25, 11, 26},
                           SmallRect{-12, 0, -1, 1}, SmallRect{0, -2, 11, -1}}) {
    EXPECT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{12, 2}, Coord{0, 0}, &region));
  }
  EXPECT_EQ(console_.ReadCells(out_), before);
}

TEST_F(EmulatedCells, WO7_CellsOnlyNoCursorWindowOrScrolling) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{80, 100}, SmallRect{0, 50, 79, 74}));
  ASSERT_TRUE(console_.SetConsoleCursorPosition(out_, Coord{5, 60}));
  std::vector<CharInfo> controls{{'\n', 7}, {'\r', 7}, {'\a', 7}, {'\b', 7}, {'\t', 7}, {0, 7}};
  SmallRect region{74, 99, 79, 99};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, controls.data(), Coord{6, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(Row(99, 74, 79), std::string("\n\r\a\b\t", 5) + '\0');
  region = SmallRect{0, 0, 5, 0};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, controls.data(), Coord{6, 1}, Coord{0, 0}, &region));
  auto info = console_.BufferInfo(out_);
  EXPECT_EQ(info->dwCursorPosition, (Coord{5, 60}));
  EXPECT_EQ(info->srWindow, (SmallRect{0, 50, 79, 74}));
  EXPECT_EQ(At(0, 0).Char, '\n');
  Dword mode = 0;
  ASSERT_TRUE(console_.GetConsoleMode(out_, &mode));
  EXPECT_EQ(mode, 3u);
}

TEST_F(EmulatedCells, WO8_TheCharacterByteIsStoredAndItsHighByteIgnored) {
  std::vector<CharInfo> source{{0x4101, 7}, {0x00B0, 7}, {0xFFCD, 7}, {0x7F, 7}, {0x00FF, 7}};
  SmallRect region{0, 0, 4, 0};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{5, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(At(0, 0).Char, 0x01);
  EXPECT_EQ(At(1, 0).Char, 0xB0);
  EXPECT_EQ(At(2, 0).Char, 0xCD);
  EXPECT_EQ(At(3, 0).Char, 0x7F);
  EXPECT_EQ(At(4, 0).Char, 0xFF);
}

TEST_F(EmulatedCells, WO9_EveryLowAttributeByteIsKeptAndOnlyTheStoredHighBits) {
  std::vector<CharInfo> source(256);
  for (int i = 0; i < 256; ++i) source[static_cast<size_t>(i)] = CharInfo{'x', static_cast<Word>(i)};
  SmallRect region{0, 0, 63, 3};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{64, 4}, Coord{0, 0}, &region));
  for (int i = 0; i < 256; ++i) ASSERT_EQ(At(i % 64, i / 64).Attributes, i);

  // Grid lines, reverse video and underscore are kept; the lead and trail flags and 0x2000 are not.
  std::vector<CharInfo> high{{'a', 0xFFFF}, {'b', 0x2307}, {'c', 0xDC1E}};
  region = SmallRect{0, 5, 2, 5};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, high.data(), Coord{3, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(At(0, 5).Attributes, 0xDCFF);
  EXPECT_EQ(At(1, 5).Attributes, 0x0007);
  EXPECT_EQ(At(2, 5).Attributes, 0xDC1E);
}

TEST_F(EmulatedCells, S8_ArrayAndBufferClippingTogether) {
  ASSERT_TRUE(console_.SetConsoleCursorPosition(out_, Coord{11, 12}));
  auto source = Numbered(4 * 2);
  SmallRect region{78, 5, 81, 6};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{4, 2}, Coord{1, 0}, &region));
  EXPECT_EQ(region, (SmallRect{78, 5, 79, 6}));
  EXPECT_EQ(At(78, 5), source[1]);
  EXPECT_EQ(At(79, 5), source[2]);
  EXPECT_EQ(At(78, 6), source[5]);
  EXPECT_EQ(At(79, 6), source[6]);
  EXPECT_EQ(At(77, 5).Char, ' ');
  EXPECT_EQ(At(0, 6).Char, ' ');
  EXPECT_EQ(At(0, 7).Char, ' ');
  EXPECT_EQ(console_.BufferInfo(out_)->dwCursorPosition, (Coord{11, 12}));
}

TEST_F(EmulatedCells, WriteNeedsAScreenBufferHandleWithWriteAccess) {
  auto source = Numbered(1);
  Handle read_only = console_.CreateConsoleScreenBuffer(kGenericRead, kShareBoth, kConsoleTextmodeBuffer);
  for (Handle bad : {in_, Handle{0}, kInvalidHandle, read_only}) {
    SmallRect region{0, 0, 0, 0};
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.WriteConsoleOutputA(bad, source.data(), Coord{1, 1}, Coord{0, 0}, &region));
    EXPECT_EQ(console_.GetLastError(), bad == read_only ? kErrorAccessDenied : kErrorInvalidHandle) << bad;
  }
  EXPECT_EQ(console_.ReadCells(read_only).front().Char, ' ');
  SmallRect region{0, 0, 0, 0};
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.WriteConsoleOutputA(out_, nullptr, Coord{1, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidAccess);
  EXPECT_FALSE(console_.WriteConsoleOutputA(out_, source.data(), Coord{1, 1}, Coord{0, 0}, nullptr));
}

TEST_F(EmulatedCells, WriteReachesAnInactiveBufferWithoutShowingIt) {
  Handle page = console_.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, kConsoleTextmodeBuffer);
  console_.EndOfCall();
  auto source = Numbered(2);
  SmallRect region{0, 0, 1, 0};
  ASSERT_TRUE(console_.WriteConsoleOutputA(page, source.data(), Coord{2, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(At(0, 0, page), source[0]);
  EXPECT_EQ(At(0, 0).Char, ' ');
  EXPECT_FALSE(console_.PeekChanges().Any());
}

TEST_F(EmulatedCells, WriteMarksTheWindowRowsItChanged) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{80, 100}, SmallRect{0, 50, 79, 74}));
  console_.EndOfCall();
  auto source = Numbered(2);
  SmallRect region{0, 60, 0, 61};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{1, 2}, Coord{0, 0}, &region));
  ConsoleChanges changes = console_.PeekChanges();
  ASSERT_EQ(changes.dirty_rows.size(), 25u);
  for (size_t row = 0; row < 25; ++row) EXPECT_EQ(changes.dirty_rows[row], row == 10 || row == 11) << row;

  console_.EndOfCall();
  region = SmallRect{0, 10, 0, 11};  // above the window
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{1, 2}, Coord{0, 0}, &region));
  EXPECT_FALSE(console_.PeekChanges().Any());
}

// --- ReadConsoleOutputA ---

TEST_F(EmulatedCells, RO1_DataLandsAtTheArrayOrigin) {
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'r', 4, Coord{2, 3}, &written));
  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x1F, 4, Coord{2, 3}, &written));
  std::vector<CharInfo> dest(16 * 7, kUntouched);
  SmallRect region{2, 3, 5, 3};
  ASSERT_TRUE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{16, 7}, Coord{5, 6}, &region));
  EXPECT_EQ(region, (SmallRect{2, 3, 5, 3}));
  for (size_t i = 0; i < dest.size(); ++i) {
    bool inside = i >= 6 * 16 + 5 && i < 6 * 16 + 9;
    EXPECT_EQ(dest[i], (inside ? CharInfo{'r', 0x1F} : kUntouched)) << i;
  }
}

TEST_F(EmulatedCells, RO1_CellsBeyondTheBufferLeaveTheArrayAlone) {
  auto source = Numbered(4);
  SmallRect write{76, 0, 79, 0};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{4, 1}, Coord{0, 0}, &write));

  std::vector<CharInfo> dest(4, kUntouched);
  SmallRect region{78, 0, 81, 0};
  ASSERT_TRUE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{4, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(region, (SmallRect{78, 0, 79, 0}));
  EXPECT_EQ(dest, (std::vector<CharInfo>{source[2], source[3], kUntouched, kUntouched}));

  write = SmallRect{0, 0, 3, 0};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{4, 1}, Coord{0, 0}, &write));
  dest.assign(4, kUntouched);
  region = SmallRect{-2, 0, 1, 0};
  ASSERT_TRUE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{4, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(region, (SmallRect{0, 0, 1, 0}));
  EXPECT_EQ(dest, (std::vector<CharInfo>{kUntouched, kUntouched, source[0], source[1]}));
}

TEST_F(EmulatedCells, RO1_ReadIsCutToTheCallersArray) {
  auto source = Numbered(10);
  SmallRect write{0, 0, 9, 0};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{10, 1}, Coord{0, 0}, &write));
  std::vector<CharInfo> dest(3 * 2, kUntouched);
  SmallRect region{0, 0, 9, 5};
  ASSERT_TRUE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{3, 2}, Coord{1, 1}, &region));
  EXPECT_EQ(region, (SmallRect{0, 0, 1, 0}));
  EXPECT_EQ(dest,
            (std::vector<CharInfo>{kUntouched, kUntouched, kUntouched, kUntouched, source[0], source[1]}));
}

TEST_F(EmulatedCells, RO2_BadRegionOrOriginFails) {
  std::vector<CharInfo> dest(4, kUntouched);
  struct Case {
    SmallRect region;
    Coord origin;
  };
  for (Case c : {Case{SmallRect{3, 0, 2, 0}, Coord{0, 0}}, Case{SmallRect{0, 3, 0, 2}, Coord{0, 0}},
                 Case{SmallRect{0, 0, 1, 1}, Coord{2, 0}}, Case{SmallRect{0, 0, 1, 1}, Coord{0, 2}},
                 Case{SmallRect{0, 0, 1, 1}, Coord{-1, 0}}}) {
    SmallRect region = c.region;
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{2, 2}, c.origin, &region));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidFunction);
  }
  EXPECT_EQ(dest, std::vector<CharInfo>(4, kUntouched));
}

TEST_F(EmulatedCells, RO2_RegionWhollyOutsideFails) {
  std::vector<CharInfo> dest(4, kUntouched);
  for (SmallRect region : {SmallRect{80, 0, 81, 1}, SmallRect{0, 25, 1, 26}, SmallRect{-2, 0, -1, 1}}) {
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{2, 2}, Coord{0, 0}, &region));
    EXPECT_EQ(console_.GetLastError(), kErrorInvalidParameter);
  }
  EXPECT_EQ(dest, std::vector<CharInfo>(4, kUntouched));
}

TEST_F(EmulatedCells, RO3_TheHighByteOfEveryCharacterReadIsZero) {
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, static_cast<char>(0xCD), 2, Coord{0, 0}, &written));
  std::vector<CharInfo> source{{0xFF01, 7}};
  SmallRect write{2, 0, 2, 0};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, source.data(), Coord{1, 1}, Coord{0, 0}, &write));
  std::vector<CharInfo> dest(3, kUntouched);
  SmallRect region{0, 0, 2, 0};
  ASSERT_TRUE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{3, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(dest[0].Char, 0x00CD);
  EXPECT_EQ(dest[1].Char, 0x00CD);
  EXPECT_EQ(dest[2].Char, 0x0001);
}

TEST_F(EmulatedCells, WrittenCellsReadBackUnchanged) {
  Handle page = console_.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, kConsoleTextmodeBuffer);
  std::vector<CharInfo> source(256);
  for (int i = 0; i < 256; ++i) {
    source[static_cast<size_t>(i)] = CharInfo{static_cast<Word>(i), static_cast<Word>(255 - i)};
  }
  SmallRect region{8, 3, 39, 10};
  ASSERT_TRUE(console_.WriteConsoleOutputA(page, source.data(), Coord{32, 8}, Coord{0, 0}, &region));
  std::vector<CharInfo> dest(256, kUntouched);
  ASSERT_TRUE(console_.ReadConsoleOutputA(page, dest.data(), Coord{32, 8}, Coord{0, 0}, &region));
  EXPECT_EQ(dest, source);
}

TEST_F(EmulatedCells, ReadNeedsAScreenBufferHandleWithReadAccess) {
  Handle write_only = console_.CreateConsoleScreenBuffer(kGenericWrite, kShareBoth, kConsoleTextmodeBuffer);
  for (Handle bad : {in_, Handle{0}, kInvalidHandle, write_only}) {
    CharInfo cell = kUntouched;
    SmallRect region{0, 0, 0, 0};
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.ReadConsoleOutputA(bad, &cell, Coord{1, 1}, Coord{0, 0}, &region));
    EXPECT_EQ(console_.GetLastError(), bad == write_only ? kErrorAccessDenied : kErrorInvalidHandle) << bad;
    EXPECT_EQ(cell, kUntouched);
  }
  SmallRect region{0, 0, 0, 0};
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.ReadConsoleOutputA(out_, nullptr, Coord{1, 1}, Coord{0, 0}, &region));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidAccess);
}

// --- FillConsoleOutputCharacterA / FillConsoleOutputAttribute ---

TEST_F(EmulatedCells, FI1_FillWrapsToTheNextRowAndLeavesTheOtherHalf) {
  ASSERT_TRUE(console_.SetConsoleCursorPosition(out_, Coord{4, 4}));
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x2E, 5, Coord{77, 1}, &written));
  EXPECT_EQ(written, 5u);
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, '#', 6, Coord{76, 1}, &written));
  EXPECT_EQ(written, 6u);
  EXPECT_EQ(At(75, 1), (CharInfo{' ', 0x07}));
  EXPECT_EQ(At(76, 1), (CharInfo{'#', 0x07}));
  EXPECT_EQ(At(77, 1), (CharInfo{'#', 0x2E}));
  EXPECT_EQ(At(79, 1), (CharInfo{'#', 0x2E}));
  EXPECT_EQ(At(0, 2), (CharInfo{'#', 0x2E}));
  EXPECT_EQ(At(1, 2), (CharInfo{'#', 0x2E}));
  EXPECT_EQ(At(2, 2), (CharInfo{' ', 0x07}));
  EXPECT_EQ(console_.BufferInfo(out_)->dwCursorPosition, (Coord{4, 4}));
}

TEST_F(EmulatedCells, FI1_FI2_FillStopsAtTheLastCellWithoutScrolling) {
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'v', 1, Coord{0, 0}, &written));
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'e', 1000, Coord{75, 24}, &written));
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(Row(24, 74, 79), " eeeee");
  EXPECT_EQ(At(0, 0).Char, 'v');
  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x40, 1000, Coord{79, 24}, &written));
  EXPECT_EQ(written, 1u);
  EXPECT_EQ(At(79, 24).Attributes, 0x40);
  EXPECT_EQ(console_.BufferInfo(out_)->srWindow, (SmallRect{0, 0, 79, 24}));
}

TEST_F(EmulatedCells, FI3_LengthZeroSucceedsAndWritesNothing) {
  Dword written = 99;
  auto before = console_.ReadCells(out_);
  EXPECT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'z', 0, Coord{0, 0}, &written));
  EXPECT_EQ(written, 0u);
  written = 99;
  EXPECT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x70, 0, Coord{0, 0}, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(console_.ReadCells(out_), before);
}

TEST_F(EmulatedCells, FI4_StartOutsideTheBufferSucceedsAndWritesNothing) {
  auto before = console_.ReadCells(out_);
  for (Coord start : {Coord{80, 0}, Coord{0, 25}, Coord{-1, 0}, Coord{0, -1}, Coord{SHRT_MAX, SHRT_MAX},
                      Coord{SHRT_MIN, 3}}) {
    Dword written = 99;
    EXPECT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'q', 10, start, &written));
    EXPECT_EQ(written, 0u);
    written = 99;
    EXPECT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x70, 10, start, &written));
    EXPECT_EQ(written, 0u);
  }
  EXPECT_EQ(console_.ReadCells(out_), before);
}

TEST_F(EmulatedCells, FI5_TheCountPointerIsRequired) {
  auto before = console_.ReadCells(out_);
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.FillConsoleOutputCharacterA(out_, 'q', 10, Coord{0, 0}, nullptr));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidAccess);
  SetLastErrorTo(console_, 0);
  EXPECT_FALSE(console_.FillConsoleOutputAttribute(out_, 0x70, 10, Coord{0, 0}, nullptr));
  EXPECT_EQ(console_.GetLastError(), kErrorInvalidAccess);
  EXPECT_EQ(console_.ReadCells(out_), before);
}

TEST_F(EmulatedCells, FI6_FillNeedsAScreenBufferHandleWithWriteAccess) {
  Handle closed = console_.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, kConsoleTextmodeBuffer);
  ASSERT_TRUE(console_.CloseHandle(closed));
  Handle read_only = console_.CreateConsoleScreenBuffer(kGenericRead, kShareBoth, kConsoleTextmodeBuffer);
  for (Handle bad : {in_, Handle{0}, kInvalidHandle, closed, read_only}) {
    Dword expected = bad == read_only ? kErrorAccessDenied : kErrorInvalidHandle;
    Dword written = 99;
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.FillConsoleOutputCharacterA(bad, 'q', 1, Coord{0, 0}, &written)) << bad;
    EXPECT_EQ(console_.GetLastError(), expected) << bad;
    SetLastErrorTo(console_, 0);
    EXPECT_FALSE(console_.FillConsoleOutputAttribute(bad, 0x70, 1, Coord{0, 0}, &written)) << bad;
    EXPECT_EQ(console_.GetLastError(), expected) << bad;
    EXPECT_EQ(written, 99u);
  }
  EXPECT_EQ(console_.ReadCells(read_only).front(), (CharInfo{' ', 0x07}));
}

TEST_F(EmulatedCells, FI7_ControlBytesAreStoredAsTheyCame) {
  Dword written = 0;
  for (int byte = 0; byte < 256; ++byte) {
    Coord at{static_cast<Short>(byte % 80), static_cast<Short>(byte / 80)};
    ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, static_cast<char>(byte), 1, at, &written));
  }
  std::vector<CharInfo> dest(80 * 4, kUntouched);
  SmallRect region{0, 0, 79, 3};
  ASSERT_TRUE(console_.ReadConsoleOutputA(out_, dest.data(), Coord{80, 4}, Coord{0, 0}, &region));
  for (int byte = 0; byte < 256; ++byte) ASSERT_EQ(dest[static_cast<size_t>(byte)].Char, byte);
}

TEST_F(EmulatedCells, FI7_AnyAttributeIsAcceptedAndStoredAsACellKeepsIt) {
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0xFFFF, 1, Coord{0, 0}, &written));
  EXPECT_EQ(written, 1u);
  EXPECT_EQ(At(0, 0), (CharInfo{' ', 0xDCFF}));
  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x2007, 1, Coord{1, 0}, &written));
  EXPECT_EQ(At(1, 0).Attributes, 0x0007);
}

TEST_F(EmulatedCells, S9_FillAcrossTheRowEndStopsAtTheBufferEnd) {
  EmulatedConsole console;
  console.SetConsoleSize(80, 2);
  ASSERT_TRUE(console.AllocConsole());
  Handle out = console.GetStdHandle(kStdOutputHandle);
  Dword written = 0;
  ASSERT_TRUE(console.FillConsoleOutputCharacterA(out, 'x', 85, Coord{78, 0}, &written));
  EXPECT_EQ(written, 82u);
  auto cells = console.ReadCells(out);
  for (size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(cells[i].Char, i >= 78 ? 'x' : ' ') << i;

  written = 99;
  ASSERT_TRUE(console.FillConsoleOutputCharacterA(out, 'y', 85, Coord{80, 0}, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(console.ReadCells(out), cells);
}

TEST_F(EmulatedCells, FillReachesAnInactiveBufferAndMarksOnlyShownRows) {
  Handle page = console_.CreateConsoleScreenBuffer(kReadWrite, kShareBoth, kConsoleTextmodeBuffer);
  console_.EndOfCall();
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(page, 'p', 90, Coord{0, 3}, &written));
  EXPECT_EQ(At(89 - 80, 4, page).Char, 'p');
  EXPECT_FALSE(console_.PeekChanges().Any());

  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x30, 90, Coord{0, 3}, &written));
  ConsoleChanges changes = console_.PeekChanges();
  ASSERT_EQ(changes.dirty_rows.size(), 25u);
  for (size_t row = 0; row < 25; ++row) EXPECT_EQ(changes.dirty_rows[row], row == 3 || row == 4) << row;
}

// --- hostile arguments; meant for the sanitizer build ---

class EmulatedCellsRobustness : public EmulatedCells {};

TEST_F(EmulatedCellsRobustness, HugeFillLengthsStopAtTheBufferEnd) {
  Dword written = 0;
  ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, 'h', 0xFFFFFFFFu, Coord{0, 0}, &written));
  EXPECT_EQ(written, 80u * 25u);
  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x17, 0xFFFFFFFFu, Coord{79, 24}, &written));
  EXPECT_EQ(written, 1u);
  ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x17, 0x80000000u, Coord{0, 24}, &written));
  EXPECT_EQ(written, 80u);
}

TEST_F(EmulatedCellsRobustness, ExtremeRectanglesAgainstAOneCellArray) {
  CharInfo one{'1', 0x1F};
  for (SmallRect region :
       {SmallRect{SHRT_MIN, SHRT_MIN, SHRT_MAX, SHRT_MAX}, SmallRect{SHRT_MAX, SHRT_MAX, SHRT_MAX, SHRT_MAX},
        SmallRect{SHRT_MIN, SHRT_MIN, SHRT_MIN, SHRT_MIN}, SmallRect{0, 0, SHRT_MAX, SHRT_MAX},
        SmallRect{SHRT_MIN, 0, 0, 0}, SmallRect{79, 24, SHRT_MAX, SHRT_MAX}}) {
    SmallRect write = region;
    EXPECT_TRUE(console_.WriteConsoleOutputA(out_, &one, Coord{1, 1}, Coord{0, 0}, &write));
    CharInfo back = kUntouched;
    SmallRect read = region;
    if (console_.ReadConsoleOutputA(out_, &back, Coord{1, 1}, Coord{0, 0}, &read)) {
      EXPECT_EQ(back, one);
    }
  }
  EXPECT_EQ(At(0, 0), one);
  EXPECT_EQ(At(79, 24), one);
  EXPECT_EQ(At(1, 0).Char, ' ');
}

TEST_F(EmulatedCellsRobustness, EmptyOrNegativeArraysAreNeverTouched) {
  // A zero-length allocation: the sanitizer reports any access through it.
  auto nothing = std::make_unique<CharInfo[]>(0);
  for (Coord size :
       {Coord{0, 0}, Coord{0, 5}, Coord{5, 0}, Coord{-1, -1}, Coord{-3, 4}, Coord{SHRT_MIN, 2}}) {
    for (Coord origin : {Coord{0, 0}, Coord{-1, -1}, Coord{SHRT_MIN, SHRT_MIN}}) {
      SmallRect region{0, 0, 3, 3};
      SetLastErrorTo(console_, 0);
      EXPECT_FALSE(console_.WriteConsoleOutputA(out_, nothing.get(), size, origin, &region));
      EXPECT_EQ(console_.GetLastError(), kErrorInvalidParameter);
      EXPECT_EQ(region, (SmallRect{0, 0, 3, 3}));
      SetLastErrorTo(console_, 0);
      EXPECT_FALSE(console_.ReadConsoleOutputA(out_, nothing.get(), size, origin, &region));
      EXPECT_EQ(console_.GetLastError(), kErrorInvalidFunction);
    }
  }
}

TEST_F(EmulatedCellsRobustness, LargestArrayOriginsStayInsideTheArray) {
  std::vector<CharInfo> wide(SHRT_MAX, CharInfo{'w', 7});
  wide.back() = CharInfo{'L', 0x4E};
  SmallRect region{SHRT_MIN, 0, SHRT_MAX, 0};
  ASSERT_TRUE(
      console_.WriteConsoleOutputA(out_, wide.data(), Coord{SHRT_MAX, 1}, Coord{SHRT_MAX - 1, 0}, &region));
  // One column fits from that origin, at Left = SHRT_MIN: outside the buffer, so nothing is written.
  EXPECT_EQ(At(0, 0).Char, ' ');

  region = SmallRect{0, 0, SHRT_MAX, 0};
  ASSERT_TRUE(
      console_.WriteConsoleOutputA(out_, wide.data(), Coord{SHRT_MAX, 1}, Coord{SHRT_MAX - 1, 0}, &region));
  EXPECT_EQ(region, (SmallRect{0, 0, 0, 0}));
  EXPECT_EQ(At(0, 0), (CharInfo{'L', 0x4E}));

  std::vector<CharInfo> tall(SHRT_MAX, kUntouched);
  region = SmallRect{5, 0, 5, SHRT_MAX};
  ASSERT_TRUE(
      console_.ReadConsoleOutputA(out_, tall.data(), Coord{1, SHRT_MAX}, Coord{0, SHRT_MAX - 3}, &region));
  EXPECT_EQ(region, (SmallRect{5, 0, 5, 2}));
  EXPECT_EQ(tall[SHRT_MAX - 3].Char, ' ');
  EXPECT_EQ(tall[SHRT_MAX - 4], kUntouched);
}

// Every combination of awkward rectangles, array sizes and origins on a small buffer: each call either
// fails without effect or writes exactly the cells of the region it reports, from the array cell the
// real console's indexing names, and never touches memory outside the array.
TEST_F(EmulatedCellsRobustness, AwkwardArgumentsWriteOnlyTheReportedRegion) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{5, 4}, SmallRect{0, 0, 4, 3}));
  const Short edges[] = {SHRT_MIN, -3, -1, 0, 2, 4, 5, SHRT_MAX};
  const Coord sizes[] = {{1, 1}, {3, 2}, {2, 5}, {6, 6}};
  const Coord origins[] = {{0, 0}, {1, 1}, {2, 0}, {0, 4}, {5, 5}};
  const std::vector<CharInfo> blank(20, CharInfo{' ', 0x07});
  int writes = 0;
  for (Short left : edges) {
    for (Short top : edges) {
      for (Short right : edges) {
        for (Short bottom : edges) {
          for (Coord size : sizes) {
            for (Coord origin : origins) {
              const SmallRect asked{left, top, right, bottom};
              auto source = Numbered(size.X * size.Y);
              for (auto& cell : source) cell.Attributes |= 0x80;  // unlike any blank cell
              SmallRect region = asked;
              Dword reset = 0;
              ASSERT_TRUE(console_.FillConsoleOutputCharacterA(out_, ' ', 20, Coord{0, 0}, &reset));
              ASSERT_TRUE(console_.FillConsoleOutputAttribute(out_, 0x07, 20, Coord{0, 0}, &reset));
              Bool ok = console_.WriteConsoleOutputA(out_, source.data(), size, origin, &region);
              auto cells = console_.ReadCells(out_);
              if (!ok) {
                ASSERT_EQ(cells, blank);
                ASSERT_EQ(region, asked);
                continue;
              }
              if (cells == blank) continue;  // none of the region fell inside the buffer
              ASSERT_TRUE(region.Left >= 0 && region.Top >= 0 && region.Right <= 4 && region.Bottom <= 3);
              ++writes;
              for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 5; ++x) {
                  const CharInfo& cell = cells[static_cast<size_t>(y * 5 + x)];
                  bool inside =
                      x >= region.Left && x <= region.Right && y >= region.Top && y <= region.Bottom;
                  if (!inside) {
                    ASSERT_EQ(cell, (CharInfo{' ', 0x07})) << x << ',' << y;
                    continue;
                  }
                  ASSERT_GE(x, asked.Left);
                  ASSERT_GE(y, asked.Top);
                  size_t index = static_cast<size_t>(origin.Y + y - asked.Top) * size.X +
                                 static_cast<size_t>(origin.X + x - asked.Left);
                  ASSERT_LT(index, source.size());
                  ASSERT_EQ(cell, source[index]) << x << ',' << y;
                }
              }
            }
          }
        }
      }
    }
  }
  EXPECT_GT(writes, 0);
}

TEST_F(EmulatedCellsRobustness, AwkwardArgumentsReadOnlyTheReportedRegion) {
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{5, 4}, SmallRect{0, 0, 4, 3}));
  auto content = Numbered(20);
  SmallRect all{0, 0, 4, 3};
  ASSERT_TRUE(console_.WriteConsoleOutputA(out_, content.data(), Coord{5, 4}, Coord{0, 0}, &all));
  const Short edges[] = {SHRT_MIN, -3, -1, 0, 2, 4, 5, SHRT_MAX};
  const Coord sizes[] = {{1, 1}, {3, 2}, {2, 5}, {6, 6}};
  const Coord origins[] = {{0, 0}, {1, 1}, {2, 0}, {0, 4}, {5, 5}};
  for (Short left : edges) {
    for (Short top : edges) {
      for (Short right : edges) {
        for (Short bottom : edges) {
          for (Coord size : sizes) {
            for (Coord origin : origins) {
              const SmallRect asked{left, top, right, bottom};
              std::vector<CharInfo> dest(static_cast<size_t>(size.X * size.Y), kUntouched);
              SmallRect region = asked;
              if (!console_.ReadConsoleOutputA(out_, dest.data(), size, origin, &region)) {
                ASSERT_EQ(dest, std::vector<CharInfo>(dest.size(), kUntouched));
                continue;
              }
              ASSERT_TRUE(region.Left >= 0 && region.Top >= 0 && region.Right <= 4 && region.Bottom <= 3);
              size_t filled = 0;
              for (const CharInfo& cell : dest) filled += cell == kUntouched ? 0 : 1;
              ASSERT_EQ(filled, static_cast<size_t>((region.Right - region.Left + 1) *
                                                    (region.Bottom - region.Top + 1)));
              for (int y = region.Top; y <= region.Bottom; ++y) {
                for (int x = region.Left; x <= region.Right; ++x) {
                  size_t index = static_cast<size_t>(origin.Y + y - asked.Top) * size.X +
                                 static_cast<size_t>(origin.X + x - asked.Left);
                  ASSERT_LT(index, dest.size());
                  ASSERT_EQ(dest[index], content[static_cast<size_t>(y * 5 + x)]);
                }
              }
            }
          }
        }
      }
    }
  }
}

TEST_F(EmulatedCellsRobustness, NullPointersFailWithoutTouchingAnything) {
  SmallRect region{0, 0, 0, 0};
  CharInfo cell{'n', 7};
  EXPECT_FALSE(console_.ReadConsoleOutputA(out_, &cell, Coord{1, 1}, Coord{0, 0}, nullptr));
  EXPECT_FALSE(console_.ReadConsoleOutputA(out_, nullptr, Coord{1, 1}, Coord{0, 0}, &region));
  EXPECT_FALSE(console_.WriteConsoleOutputA(out_, nullptr, Coord{1, 1}, Coord{0, 0}, &region));
  EXPECT_FALSE(console_.WriteConsoleOutputA(out_, &cell, Coord{1, 1}, Coord{0, 0}, nullptr));
  EXPECT_EQ(At(0, 0).Char, ' ');
}

}  // namespace
}  // namespace kelvane::platform
