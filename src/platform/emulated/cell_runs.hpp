// The loops over many cells that fills and rectangle transfers share, done a vector register at a time:
// a cell is one 32-bit word (character field and attribute field), and every such loop is
// `cell = (source & keep) | put` over a run of words. A 250 x 140 window is 140 KB of cells; done a
// field at a time, as plain loops are, a fill costs over ten times a memset of it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/console_platform.hpp"

namespace kelvane::platform::emulated {

// A cell's bits as one word, whatever the byte order.
constexpr std::uint32_t CellBits(CharInfo cell) { return std::bit_cast<std::uint32_t>(cell); }

// destination[i] = (source[i] & keep) | put for `count` cells. The two runs are the same or do not
// overlap.
void TransformCellRun(CharInfo* destination, const CharInfo* source, std::size_t count, std::uint32_t keep,
                      std::uint32_t put) noexcept;

// The ways TransformCellRun can take, best first where the processor has them; tests ask for each.
enum class CellRunPath {
  FieldStores,  // AVX-512BW: a fill of one field stores that field alone, reading nothing
  Avx512,
  Avx2,
  Portable,  // the compiler's vectors for the build's own instruction set, or a word at a time
};
bool CellRunPathAvailable(CellRunPath path) noexcept;
// TransformCellRun by `path`, which must be available; FieldStores only for a fill of one field in place.
void TransformCellRunBy(CellRunPath path, CharInfo* destination, const CharInfo* source, std::size_t count,
                        std::uint32_t keep, std::uint32_t put) noexcept;

// The same, with short runs (a vertical line's rows, single cells) done here without a call.
inline void TransformCells(CharInfo* destination, const CharInfo* source, std::size_t count,
                           std::uint32_t keep, std::uint32_t put) noexcept {
  if (count >= 8) return TransformCellRun(destination, source, count, keep, put);
  for (std::size_t i = 0; i < count; ++i)
    destination[i] = std::bit_cast<CharInfo>((CellBits(source[i]) & keep) | put);
}

}  // namespace kelvane::platform::emulated
