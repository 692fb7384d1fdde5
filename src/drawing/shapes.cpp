// The start check, the far-edge clip and the cell write of lines and boxes.
#include "drawing/shapes.hpp"

#include <algorithm>
#include <vector>

#include "core/cell_array.hpp"

namespace KelvaneConsole {

void Console::Impl::CheckDrawingStart(const SmallRect& window, Integer X, Integer Y, Integer width,
                                      Integer height, const char* source) {
  // The start must lie in the page's visible window, not merely in its buffer.
  if (!InWindow(window, X, Y) || width < 1 || height < 1) Raise(kErrInvalidLineOrBox, source);
}

void FillCells(std::span<plat::CharInfo> cells, plat::CharInfo cell) noexcept {
  // A block of cells made by doubling, small enough to stay in the nearest cache, then copied on.
  constexpr size_t kBlock = 4096;
  const size_t count = cells.size();
  if (count == 0) return;
  const auto first = cells.begin();
  cells[0] = cell;
  size_t filled = 1;
  for (; filled < count && filled < kBlock; filled *= 2)
    std::copy_n(first, std::min(filled, count - filled), first + static_cast<std::ptrdiff_t>(filled));
  for (size_t at = filled; at < count; at += filled)
    std::copy_n(first, std::min(filled, count - at), first + static_cast<std::ptrdiff_t>(at));
}

bool WriteCells(Handle handle, std::span<plat::CharInfo> cells, Coord at, Coord size, bool keep_characters) {
  const Coord origin{0, 0};
  const SmallRect target{at.X, at.Y, static_cast<Integer>(at.X + size.X - 1),
                         static_cast<Integer>(at.Y + size.Y - 1)};
  if (keep_characters) {
    std::vector<plat::CharInfo> kept = NewCellArray(cells.size());
    SmallRect region = target;
    if (Os().ReadConsoleOutputA(handle, kept.data(), size, origin, &region) == 0) return false;
    for (size_t i = 0; i < cells.size(); ++i) cells[i].Char = kept[i].Char & 0xFF;
  }
  SmallRect region = target;
  return Os().WriteConsoleOutputA(handle, cells.data(), size, origin, &region) != 0;
}

}  // namespace KelvaneConsole
