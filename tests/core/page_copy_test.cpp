// PageCopy: the rectangle the shown page's window covers, from one page onto another.
#include <gtest/gtest.h>

#include <tuple>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

// Page 0 shows "zero" (white on dark blue, its current colours); page 3 holds "three" in yellow on
// dark red.
class PageCopyTest : public SmallConsoleTest {
 protected:
  PageCopyTest() {
    console_.WriteText("zero");
    console_.ClearScreen(kYellow, kDarkRed, 3);
    console_.WriteText("three", Missing, Missing, false, 3);
  }
};

TEST_F(PageCopyTest, OneReadAndOneWriteOfTheShownWindow) {
  const std::tuple<Integer, Integer, size_t, bool, int, int, std::string, const char*> copies[] = {
      // from, to, cells memory allows, result, reads, writes, then page 0's first row and its colours
      {3, 0, 99, false, 0, 0, "zero", "1F"},          // memory for the window's 100 cells cannot be had
      {3, 0, SIZE_MAX, true, 1, 1, "three", "4E"},    // page 3's window over page 0's
      {0, 0, SIZE_MAX, true, 1, 1, "three", "4E"},    // onto itself: the same cells again
      {20, 0, SIZE_MAX, false, 1, 0, "three", "4E"},  // no such page: the read fails
      {-1, 0, SIZE_MAX, false, 1, 0, "three", "4E"},
      {3, 20, SIZE_MAX, false, 1, 1, "three", "4E"},  // the write fails
      {3, -1, SIZE_MAX, false, 1, 1, "three", "4E"},
      // A page never used: blank, in the shown page's current colours.
      {7, 0, SIZE_MAX, true, 1, 1, "", "1F"},
  };
  for (const auto& [from, to, memory, result, reads, writes, text, colours] : copies) {
    emulated_.ResetCallCounts();
    const CellArrayLimit limit(memory);
    EXPECT_EQ(console_.PageCopy(from, to), result) << from << " to " << to;
    if (Emulated()) {
      EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA), reads);
      EXPECT_EQ(emulated_.CallCount(Op::WriteConsoleOutputA), writes);
    }
    Rows rows(5, kBlankRow);
    rows[0].replace(0, text.size(), text);
    ExpectScreen(Shown(), rows, Rows(5, Repeat(colours, 20)));
  }
  // The shown page, its cursor and its colours stay.
  EXPECT_EQ(console_.Page(), 0);
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 1}));
  EXPECT_EQ(CurrentAttribute(Shown()), 0x1F);
}

// Pages of 200 x 300 with the shown window at columns 10..189, rows 100..289: 34,200 cells, more than
// a 16-bit count holds. That rectangle goes from page 1 to the same cells of page 2, and no cell beside.
using PageCopyWindowTest = LoadedTest;
TEST_F(PageCopyWindowTest, ALargeWindowScrolledInsideItsBuffer) {
  ASSERT_TRUE(emulated_.SetNewBufferGeometry(Coord{200, 300}, std::nullopt));
  const Handle one = PageBuffer(console_, 1), two = PageBuffer(console_, 2);
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{200, 300}, SmallRect{10, 100, 189, 289}));
  const std::pair<Coord, char> marks[] = {{{10, 100}, 'a'}, {{189, 289}, 'b'}, {{9, 100}, 'c'},
                                          {{10, 99}, 'd'},  {{190, 289}, 'e'}, {{189, 290}, 'f'}};
  for (const auto& [at, mark] : marks) Poke(one, at, mark, 0x4E);
  EXPECT_TRUE(console_.PageCopy(1, 2));
  std::string copied;
  for (const auto& [at, mark] : marks) copied += static_cast<char>(Cell(two, at.X, at.Y).Char);
  EXPECT_EQ(copied, "ab    ");
}

}  // namespace
}  // namespace kelvane::testing
