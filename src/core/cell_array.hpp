// Arrays of cells for one rectangle transfer. A window of a huge console (9999 x 9999 is allowed) makes
// such an array hundreds of megabytes; memory that cannot be had throws std::bad_alloc, which fails the
// step that asked, as a refused transfer of the console would (Step absorbs it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/console_platform.hpp"

namespace KelvaneConsole {

std::vector<kelvane::platform::CharInfo> NewCellArray(std::size_t count,
                                                      kelvane::platform::CharInfo fill = {});
// Grows `cells` to at least `count` cells (new ones cleared), under the same limit; never shrinks it.
void GrowCellArray(std::vector<kelvane::platform::CharInfo>& cells, std::size_t count);
// The bytes of `cells` cells as a screen file holds them, four a cell, zero; under the same limit.
std::vector<std::uint8_t> NewCellBytes(std::size_t cells);

// For tests: an array of more than `cells` cells fails as if memory had run out, in every thread, until
// the limit is set back to SIZE_MAX.
void LimitCellArraysForTesting(std::size_t cells) noexcept;

}  // namespace KelvaneConsole
