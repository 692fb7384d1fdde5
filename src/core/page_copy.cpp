// PageCopy: what the shown page's window covers, copied from one page onto the same cells of another
// in one read and one write.
#include <cstddef>
#include <span>

#include "core/console_impl.hpp"

namespace KelvaneConsole {

bool Console::Impl::PageCopy(Integer SourcePage, Integer DestPage) {
  if (!Loaded()) return false;
  // Either lookup may create its page. A number outside 0..19 gives no buffer, and the read or the
  // write then fails.
  const Handle source = HandleOf(SourcePage);
  const Handle destination = HandleOf(DestPage);
  // The shown page's window, which this also reads into mWindow, is the rectangle on both pages.
  Integer width = 0;
  Integer height = 0;
  Step([&] { GetWindowSize(width, height); });
  if (width < 1 || height < 1) return false;
  // The cell count in 32 bits: a window of more than 32,767 cells is copied like any other, unless the
  // memory for it cannot be had, which fails the copy as a refused read would. The array needs no
  // clearing: the write takes exactly the region the read filled.
  const Coord size{width, height};
  SmallRect region = mWindow;
  bool result = false;
  Step([&] {
    const std::span<plat::CharInfo> cells =
        ScratchCells(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (Os().ReadConsoleOutputA(source, cells.data(), size, Coord{0, 0}, &region) == 0) return;
    // Written back to the region the read reports.
    result = Os().WriteConsoleOutputA(destination, cells.data(), size, Coord{0, 0}, &region) != 0;
  });
  return result;
}

}  // namespace KelvaneConsole
