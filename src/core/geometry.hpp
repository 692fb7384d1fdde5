// Cells and the platform's rectangles (bounds inclusive). Sizes and positions are taken in 32 bits: the
// width of a window 32767 columns wide, or a start plus a length past 32767, does not fit in 16.
#pragma once

#include <cstdint>

#include "platform/console_platform.hpp"

namespace KelvaneConsole {

inline std::int32_t RectWidth(const kelvane::platform::SmallRect& rect) noexcept {
  return std::int32_t{rect.Right} - rect.Left + 1;
}

inline std::int32_t RectHeight(const kelvane::platform::SmallRect& rect) noexcept {
  return std::int32_t{rect.Bottom} - rect.Top + 1;
}

inline bool InColumns(const kelvane::platform::SmallRect& rect, std::int32_t x) noexcept {
  return x >= rect.Left && x <= rect.Right;
}

inline bool InRows(const kelvane::platform::SmallRect& rect, std::int32_t y) noexcept {
  return y >= rect.Top && y <= rect.Bottom;
}

// Whether the cell (x, y) lies in the window, edges included.
inline bool InWindow(const kelvane::platform::SmallRect& window, std::int32_t x, std::int32_t y) noexcept {
  return InColumns(window, x) && InRows(window, y);
}

}  // namespace KelvaneConsole
