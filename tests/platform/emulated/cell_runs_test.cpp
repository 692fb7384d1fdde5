// The loops over runs of cells, by every path this processor has: each must give what a cell at a time
// gives, for runs of every length around the vector widths, and leave the cells beyond the run alone.
#include "platform/emulated/cell_runs.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace kelvane::platform::emulated {
namespace {

TEST(CellRuns, EveryPathGivesWhatACellAtATimeGives) {
  struct Case {
    std::uint32_t keep, put;
    bool in_place;
  };
  const Case cases[] = {{CellBits(CharInfo{0, 0xFFFF}), CellBits(CharInfo{'#', 0}), true},   // characters
                        {CellBits(CharInfo{0xFFFF, 0}), CellBits(CharInfo{0, 0x1E}), true},  // attributes
                        {CellBits(CharInfo{0xFF, 0xDCFF}), 0, false}};                       // a write
  for (CellRunPath path :
       {CellRunPath::FieldStores, CellRunPath::Avx512, CellRunPath::Avx2, CellRunPath::Portable}) {
    if (!CellRunPathAvailable(path)) continue;
    for (const Case& c : cases) {
      if (path == CellRunPath::FieldStores && !c.in_place) continue;
      for (size_t count : {0, 1, 7, 8, 9, 15, 16, 17, 31, 33, 1001}) {
        std::vector<CharInfo> source(count + 2), cells(count + 2);
        for (size_t i = 0; i < source.size(); ++i) {
          source[i] = CharInfo{static_cast<Word>(0x1234 + i), static_cast<Word>(0xFEDC - i)};
          cells[i] = CharInfo{static_cast<Word>(0xABCD + i), static_cast<Word>(0x4321 + i)};
        }
        std::vector<CharInfo> expected = cells;
        const std::vector<CharInfo>& from = c.in_place ? cells : source;
        for (size_t i = 1; i <= count; ++i)
          expected[i] = std::bit_cast<CharInfo>((CellBits(from[i]) & c.keep) | c.put);
        TransformCellRunBy(path, &cells[1], &from[1], count, c.keep, c.put);
        EXPECT_EQ(cells, expected) << "path " << static_cast<int>(path) << ", " << count << " cells";
      }
    }
  }
}

}  // namespace
}  // namespace kelvane::platform::emulated
