// Text output through WriteConsoleA, the cursor, text attributes, modes and titles of the emulated
// console, checked cell by cell against the real console's recorded behaviour.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulated_test_support.hpp"

namespace kelvane::platform {
namespace {

using namespace std::string_literals;
using namespace testing;

class EmulatedText : public EmulatedConsoleTest {};

struct WriteCase {
  const char* ids;
  Dword mode;
  Coord from;
  std::string text;
  std::vector<std::string> rows;  // from the top; rows not given are left alone
  Coord cursor;
  Coord size = {10, 3};
};

constexpr Dword kProcessed = kEnableProcessedOutput;
constexpr Dword kWrap = kEnableWrapAtEolOutput;
constexpr Dword kBoth = kProcessed | kWrap;
constexpr Dword kNoReturn = kBoth | kDisableNewlineAutoReturn;

// The buffer starts as '.' cells in attribute 0x07 and the text is written in 0x1E, so every cell the
// write touched, spaces included, shows, and must carry the current attribute.
const WriteCase kWriteCases[] = {
    {"WR1 WR2", kBoth, {0, 0}, "hello", {"hello....."}, {5, 0}},
    {"WR4", kBoth, {0, 0}, "a\ab", {"ab........"}, {2, 0}},
    {"WR4 S5", kBoth, {2, 0}, "\a", {}, {2, 0}},
    {"WR5 S5", kBoth, {0, 0}, "ab\bc", {"ac........"}, {2, 0}},
    {"WR5", kBoth, {0, 0}, "ab\b\b\b", {"ab........"}, {0, 0}},
    {"WR5 S5 col 0", kBoth, {0, 1}, "\b\bx", {"..........", "x........."}, {1, 1}},
    {"WR6", kBoth, {0, 0}, "f\tg", {"f       g."}, {9, 0}},
    {"WR6 S4", kBoth, {5, 0}, "\t", {".....   .."}, {8, 0}},
    {"WR6 S4 edge", kBoth, {8, 0}, "\t", {"........  "}, {0, 1}},
    {"WR6 edge", kBoth, {8, 1}, "\t\t", {"..........", "........  ", "        .."}, {8, 2}},
    {"WR7 S6", kBoth, {3, 0}, "x\ny", {"...x......", "y........."}, {1, 1}},
    {"WR7 no CR", kNoReturn, {3, 0}, "x\ny", {"...x......", "....y....."}, {5, 1}},
    {"WR8", kBoth, {0, 0}, "abc\rX", {"Xbc......."}, {1, 0}},
    {"WR9", kBoth, {2, 0}, std::string(16, '\0'), {"..                .."}, {18, 0}, {20, 2}},
    {"WR10", kBoth, {0, 0}, "\x01\x0c\x1b\x7f\x1f\x0e", {"\x01\x0c\x1b\x7f\x1f\x0e...."}, {6, 0}},
    {"WR11 S7", kWrap, {0, 0}, "a\nb", {"a\nb......."}, {3, 0}},
    {"WR11", kWrap, {5, 0}, "abcd\nf\tg\a\b\r", {".....abcd\nf\tg\a\b\r...."}, {16, 0}, {20, 2}},
    {"WR11 NUL", 0, {0, 0}, "x\0y"s, {"x\0y......."s}, {3, 0}},
    {"WR12", kBoth, {7, 0}, "abc", {".......abc"}, {0, 1}},
    {"WR12", kBoth, {7, 1}, "abcd", {"..........", ".......abc", "d........."}, {1, 2}},
    {"WR12 bottom right", kBoth, {9, 2}, "z", {"..........", ".........z", "          "}, {0, 2}},
    {"WR12 WR14 S2", kBoth, {7, 2}, "abc", {"..........", ".......abc", "          "}, {0, 2}},
    {"WR14 LF", kBoth, {0, 0}, "top\nmid\nbot\n\n", {"bot.......", "          ", "          "}, {0, 2}},
    {"WR12 WR14 long", kBoth, {0, 0}, "abcdefghijk", {"efgh", "ijk "}, {3, 1}, {4, 2}},
    {"WR13 S3", kProcessed, {7, 0}, "abcd", {".......dbc"}, {8, 0}},
    {"WR13 S3 exact", kProcessed, {7, 0}, "abc", {".......abc"}, {7, 0}},
    {"WR13 cycles", kProcessed, {8, 0}, "xyz1234", {"........43"}, {9, 0}},
    {"WR13 cycles", kProcessed, {8, 0}, "xyz123", {"........23"}, {8, 0}},
    {"WR13 CR run", kProcessed, {5, 0}, "ab\rcdefghijklmn", {"mnefghijkl"}, {2, 0}},
    {"WR13 TAB run", kProcessed, {6, 0}, "ab\tc", {"......abc "}, {9, 0}},
    {"WR13 NUL run", kProcessed, {7, 0}, "ab\0c"s, {".......abc"}, {9, 0}},
    {"WR13 glyph run", kProcessed, {8, 0}, "a\x01"s + "b", {"........ab"}, {9, 0}},
    {"WR13 unprocessed", 0, {7, 0}, "ab\ncd", {".......cd\n"}, {9, 0}},
    {"WR13 no scroll",
     kProcessed,
     {0, 2},
     "0123456789abc",
     {"..........", "..........", "abc3456789"},
     {3, 2}},
};

TEST_F(EmulatedText, WR_S2_S7_WriteConsoleCellByCell) {
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(std::string(c.ids) + " from " + ::testing::PrintToString(c.from));
    UseBuffer(c.size.X, c.size.Y);
    SetAttribute(0x07);
    Dword done = 0;
    ASSERT_NE(console_.FillConsoleOutputCharacterA(out_, '.', c.size.X * c.size.Y, Coord{0, 0}, &done), 0);
    ASSERT_NE(console_.FillConsoleOutputAttribute(out_, 0x07, c.size.X * c.size.Y, Coord{0, 0}, &done), 0);
    SetMode(c.mode);
    MoveCursor(c.from.X, c.from.Y);
    SetAttribute(0x1E);
    ASSERT_NE(Write(c.text), 0);
    for (Short y = 0; y < c.size.Y; ++y) {
      std::string expected = y < static_cast<Short>(c.rows.size()) ? c.rows[y] : std::string(c.size.X, '.');
      EXPECT_EQ(Row(y), expected) << "row " << y;
      for (Short x = 0; x < c.size.X; ++x) {
        EXPECT_EQ(Cell(x, y).Attributes, expected[x] == '.' ? 0x07 : 0x1E) << "cell " << x << ',' << y;
      }
    }
    EXPECT_EQ(Cursor(), c.cursor);
  }
}

TEST_F(EmulatedText, WR1_WR3_CountsRefusalsAndAccessRights) {
  MoveCursor(3, 2);
  const auto before = console_.ReadCells(out_);
  Dword written = 77;
  EXPECT_NE(console_.WriteConsoleA(out_, "x", 0, &written), 0);
  EXPECT_EQ(written, 0u);
  written = 77;
  EXPECT_NE(console_.WriteConsoleA(out_, nullptr, 0, &written), 0);
  EXPECT_EQ(written, 0u);
  EXPECT_FAILS(console_.WriteConsoleA(out_, nullptr, 10, &written), kErrorInvalidAccess);
  for (Handle bad : {in_, Handle{0}, kInvalidHandle, out_ + 1000}) {
    EXPECT_FAILS(console_.WriteConsoleA(bad, "x", 1, &written), kErrorInvalidHandle);
  }
  EXPECT_EQ(console_.ReadCells(out_), before);
  EXPECT_EQ(Cursor(), (Coord{3, 2}));
  EXPECT_NE(console_.WriteConsoleA(out_, "!", 1, nullptr), 0);  // the count is optional
  EXPECT_EQ(Chars(3, 2, 2), "! ");

  // Calls that change a buffer need write access, and so does GetConsoleCursorInfo, as conhost asks.
  Handle read_only = NewBuffer(kGenericRead);
  Handle write_only = NewBuffer(kGenericWrite);
  Dword n = 0;
  CursorInfo cursor{50, 1};
  EXPECT_FAILS(console_.WriteConsoleA(read_only, "x", 1, &n), kErrorAccessDenied);
  EXPECT_FAILS(console_.SetConsoleTextAttribute(read_only, 0x1F), kErrorAccessDenied);
  EXPECT_FAILS(console_.SetConsoleCursorPosition(read_only, Coord{1, 1}), kErrorAccessDenied);
  EXPECT_FAILS(console_.SetConsoleCursorInfo(read_only, &cursor), kErrorAccessDenied);
  EXPECT_FAILS(console_.GetConsoleCursorInfo(read_only, &cursor), kErrorAccessDenied);
  EXPECT_FAILS(console_.SetConsoleMode(read_only, 1), kErrorAccessDenied);
  EXPECT_EQ(Mode(read_only), 3u);
  EXPECT_EQ(Cell(0, 0, read_only), kBlank);
  EXPECT_EQ(Cursor(read_only), (Coord{0, 0}));

  EXPECT_NE(console_.WriteConsoleA(write_only, "x", 1, &n), 0);
  EXPECT_NE(console_.GetConsoleCursorInfo(write_only, &cursor), 0);
  EXPECT_NE(console_.SetConsoleMode(write_only, 1), 0);
  Dword mode = 0;
  EXPECT_FAILS(console_.GetConsoleMode(write_only, &mode), kErrorAccessDenied);
}

TEST_F(EmulatedText, WR15_TheWindowFollowsACursorThatWasInView) {
  struct Case {
    Coord size;
    SmallRect window;
    Coord from;
    bool hidden;
    const char* text;
    Coord cursor;
    SmallRect window_after;
  };
  const Case cases[] = {
      {{10, 50}, {0, 0, 9, 4}, {0, 4}, false, "\n", {0, 5}, {0, 1, 9, 5}},
      {{10, 50}, {0, 0, 9, 4}, {0, 4}, false, "\n\n\n\nabc", {3, 8}, {0, 4, 9, 8}},
      {{20, 5}, {0, 0, 9, 4}, {9, 0}, false, "a", {10, 0}, {1, 0, 10, 4}},
      {{20, 5}, {1, 0, 10, 4}, {10, 0}, false, "\n", {0, 1}, {0, 0, 9, 4}},
      {{10, 50}, {0, 0, 9, 4}, {0, 40}, false, "x\n", {0, 41}, {0, 0, 9, 4}},         // out of view before
      {{10, 50}, {0, 0, 9, 4}, {0, 4}, true, "\n", {0, 5}, {0, 0, 9, 4}},             // hidden
      {{10, 20}, {0, 15, 9, 19}, {0, 19}, false, "last\n", {0, 19}, {0, 15, 9, 19}},  // scrolled instead
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.from) + " " + c.text);
    UseBuffer(c.size, c.window);
    MoveCursor(c.from.X, c.from.Y);
    UseBuffer(c.size, c.window);  // the window back where the case wants it
    CursorInfo shape{25, c.hidden ? 0 : 1};
    ASSERT_NE(console_.SetConsoleCursorInfo(out_, &shape), 0);
    Write(c.text);
    EXPECT_EQ(Cursor(), c.cursor);
    EXPECT_EQ(Window(), c.window_after);
  }
}

TEST_F(EmulatedText, CP1_CP2_S10_TheCursorGoesAnywhereInTheBufferAndTheWindowFollowsMinimally) {
  struct Step {
    Coord to;
    SmallRect window;
  };
  UseBuffer(Coord{80, 300}, SmallRect{0, 0, 79, 24});
  for (Step s :
       {Step{{0, 100}, {0, 76, 79, 100}}, Step{{0, 10}, {0, 10, 79, 34}}, Step{{5, 20}, {0, 10, 79, 34}},
        Step{{79, 299}, {0, 275, 79, 299}}, Step{{0, 0}, {0, 0, 79, 24}}}) {
    MoveCursor(s.to.X, s.to.Y);
    EXPECT_EQ(Cursor(), s.to);
    EXPECT_EQ(Window(), s.window) << ::testing::PrintToString(s.to);
  }
  UseBuffer(Coord{100, 30}, SmallRect{0, 0, 39, 9});
  for (Step s :
       {Step{{50, 15}, {11, 6, 50, 15}}, Step{{99, 29}, {60, 20, 99, 29}}, Step{{0, 0}, {0, 0, 39, 9}}}) {
    MoveCursor(s.to.X, s.to.Y);
    EXPECT_EQ(Window(), s.window) << ::testing::PrintToString(s.to);
  }

  UseBuffer(Coord{80, 300}, SmallRect{0, 0, 79, 24});
  MoveCursor(5, 6);
  for (Coord bad : {Coord{80, 0}, Coord{0, 300}, Coord{-1, 0}, Coord{0, -1}, Coord{SHRT_MIN, SHRT_MAX}}) {
    EXPECT_FAILS(console_.SetConsoleCursorPosition(out_, bad), kErrorInvalidParameter);
  }
  EXPECT_FAILS(console_.SetConsoleCursorPosition(0, Coord{1, 1}), kErrorInvalidHandle);
  EXPECT_FAILS(console_.SetConsoleCursorPosition(in_, Coord{1, 1}), kErrorInvalidHandle);
  EXPECT_EQ(Cursor(), (Coord{5, 6}));
  EXPECT_EQ(Window(), (SmallRect{0, 0, 79, 24}));
}

TEST_F(EmulatedText, CI1_CI2_CI3_S11_CursorShapeAndVisibility) {
  struct Case {
    CursorInfo given;
    bool accepted;
    CursorInfo after;
  };
  // A refused size changes nothing, the visibility included.
  const Case cases[] = {
      {{0, 1}, false, {25, 1}},   {{101, 1}, false, {25, 1}},          {{0, 0}, false, {25, 1}},
      {{100, 0}, true, {100, 0}}, {{0xFFFFFFFFu, 1}, false, {100, 0}}, {{1, 1}, true, {1, 1}},
      {{60, 5}, true, {60, 1}}};
  for (const Case& c : cases) {
    if (c.accepted) {
      EXPECT_NE(console_.SetConsoleCursorInfo(out_, &c.given), 0) << c.given.dwSize;
    } else {
      EXPECT_FAILS(console_.SetConsoleCursorInfo(out_, &c.given), kErrorInvalidParameter);
    }
    CursorInfo info{};
    ASSERT_NE(console_.GetConsoleCursorInfo(out_, &info), 0);
    EXPECT_EQ(info.dwSize, c.after.dwSize) << c.given.dwSize;
    EXPECT_EQ(info.bVisible, c.after.bVisible) << c.given.dwSize;
  }

  CursorInfo untouched{42, 7};
  EXPECT_FAILS(console_.GetConsoleCursorInfo(in_, &untouched), kErrorInvalidHandle);
  EXPECT_FAILS(console_.GetConsoleCursorInfo(0, &untouched), kErrorInvalidHandle);
  EXPECT_EQ(untouched.dwSize, 42u);
  EXPECT_EQ(untouched.bVisible, 7);
  EXPECT_FAILS(console_.SetConsoleCursorInfo(in_, &untouched), kErrorInvalidHandle);
  EXPECT_FAILS(console_.GetConsoleCursorInfo(out_, nullptr), kErrorInvalidAccess);
  EXPECT_FAILS(console_.SetConsoleCursorInfo(out_, nullptr), kErrorInvalidAccess);
}

TEST_F(EmulatedText, TA1_AttributeBitsAndRefusal) {
  for (Word attribute : {Word{0x0000}, Word{0x00FF}, Word{0x1F00}, Word{0xDFFF}, Word{0xC01E}}) {
    ASSERT_NE(console_.SetConsoleTextAttribute(out_, attribute), 0) << attribute;
    EXPECT_EQ(Info().wAttributes, attribute);
  }
  SetAttribute(0x1E);
  EXPECT_FAILS(console_.SetConsoleTextAttribute(out_, 0x2000), kErrorInvalidParameter);
  EXPECT_FAILS(console_.SetConsoleTextAttribute(out_, 0xFFFF), kErrorInvalidParameter);
  EXPECT_FAILS(console_.SetConsoleTextAttribute(in_, 0x1F), kErrorInvalidHandle);
  EXPECT_EQ(Info().wAttributes, 0x1E);
}

TEST_F(EmulatedText, MD1_MD2_MD3_MD4_S14_ModesAreStoredPerHandleKind) {
  struct Case {
    bool input;
    Dword set;
    bool accepted;
    Dword reads_back;
  };
  const Case cases[] = {
      {false, 0x20, false, 3},  // S-14: refused and unchanged
      {false, 0, true, 0},
      {false, 0x1F, true, 0x1F},
      {false, 0x8, true, 0x8},
      {true, kEnableEchoInput, false, kEnableEchoInput},  // S-14: stored, then refused
      {true, 0x400 | kEnableLineInput, false, 0x402},
      {true, kEnableWindowInput, true, kEnableWindowInput},
      {true, kEnableLineInput | kEnableEchoInput, true, kEnableLineInput | kEnableEchoInput},
      {true, kEnableVirtualTerminalInput, true, kEnableVirtualTerminalInput},
      // A private bit brings the extended-flags bit with it.
      {true, kEnableInsertMode | kEnableProcessedInput, true,
       kEnableExtendedFlags | kEnableInsertMode | kEnableProcessedInput},
      {true, kEnableExtendedFlags, true, kEnableExtendedFlags},
      {true, 0, true, 0},
  };
  for (const Case& c : cases) {
    Handle h = c.input ? in_ : out_;
    if (c.accepted) {
      EXPECT_NE(console_.SetConsoleMode(h, c.set), 0) << c.set;
    } else {
      EXPECT_FAILS(console_.SetConsoleMode(h, c.set), kErrorInvalidParameter);
    }
    EXPECT_EQ(Mode(h), c.reads_back) << c.set;
  }

  Dword mode = 1234;
  EXPECT_FAILS(console_.GetConsoleMode(0, &mode), kErrorInvalidHandle);
  EXPECT_FAILS(console_.GetConsoleMode(kInvalidHandle, &mode), kErrorInvalidHandle);
  EXPECT_EQ(mode, 1234u);
  EXPECT_FAILS(console_.SetConsoleMode(0, 3), kErrorInvalidHandle);
  EXPECT_FAILS(console_.GetConsoleMode(out_, nullptr), kErrorInvalidAccess);
  EXPECT_FAILS(console_.GetConsoleMode(in_, nullptr), kErrorInvalidAccess);
}

TEST_F(EmulatedText, TI1_TI2_TI3_S12_TitlesAreBytesUpTo65535ReadBackIntoBuffersOfEverySize) {
  ASSERT_NE(console_.SetConsoleTitleA("test"), 0);
  const std::pair<Dword, std::string> cases[] = {
      {64, "test\0#"s}, {5, "test\0#"s}, {4, "test#"}, {3, "tes#"}, {1, "t#"}, {0, "#"},
  };
  for (const auto& [size, bytes] : cases) {
    char buffer[70];
    std::memset(buffer, '#', sizeof buffer);
    // Room to spare: the length and a terminator; cut to fit: as much as fits, no terminator.
    EXPECT_EQ(console_.GetConsoleTitleA(buffer, size), std::min<Dword>(size, 4)) << size;
    EXPECT_EQ(std::string(buffer, bytes.size()), bytes) << size;
  }
  EXPECT_EQ(console_.GetConsoleTitleA(nullptr, 64), 0u);

  ASSERT_NE(console_.SetConsoleTitleA("My \x01 title\xB0"), 0);
  EXPECT_EQ(console_.Title(), "My \x01 title\xB0");
  EXPECT_NE(console_.SetConsoleTitleA(""), 0);
  char empty[8];
  EXPECT_EQ(console_.GetConsoleTitleA(empty, sizeof empty), 0u);
  EXPECT_FAILS(console_.SetConsoleTitleA(nullptr), kErrorInvalidAccess);
  const std::string longest(65535, 'x');
  EXPECT_NE(console_.SetConsoleTitleA(longest.c_str()), 0);
  EXPECT_FAILS(console_.SetConsoleTitleA(std::string(65536, 'y').c_str()), kErrorInvalidParameter);
  std::string back(70000, '#');
  EXPECT_EQ(console_.GetConsoleTitleA(back.data(), static_cast<Dword>(back.size())), 65535u);
  EXPECT_EQ(back.substr(0, 65537), longest + '\0' + '#');
}

}  // namespace
}  // namespace kelvane::platform
