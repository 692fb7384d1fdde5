// What lines and boxes share: the clip of a length at the window's far edge and the one rectangle write
// of their cells. The start check raises, so it is a member (Console::Impl::CheckDrawingStart).
#pragma once

#include <cstdint>
#include <span>

#include "core/console_impl.hpp"

namespace KelvaneConsole {

// Shortens `length` so that a shape starting at `start` ends at `far_edge` at the latest. Only the far end
// is clipped, and in 32 bits, so that a length reaching past 32767 clips too. The caller's argument
// receives the clipped length.
inline void ClipToFarEdge(std::int32_t start, Integer& length, std::int32_t far_edge) noexcept {
  if (start + length - 1 > far_edge) length = static_cast<Integer>(far_edge - start + 1);
}

// Every cell of `cells` becomes `cell`, by memory copies: a plain loop over 4-byte cells goes a cell at a
// time, several times slower.
void FillCells(std::span<plat::CharInfo> cells, plat::CharInfo cell) noexcept;

// Writes `cells` (size.X by size.Y, row after row) over the rectangle whose top-left cell is `at`, in one
// rectangle write. With `keep_characters` the cells there are read first and their character bytes
// replace those of `cells`; when that read fails nothing is written, as the write would wipe the text it
// should keep. True when the write was made and succeeded. Throws std::bad_alloc when there is no memory
// for the cells read.
bool WriteCells(Handle handle, std::span<plat::CharInfo> cells, Coord at, Coord size, bool keep_characters);

}  // namespace KelvaneConsole
