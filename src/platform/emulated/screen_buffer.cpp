#include "platform/emulated/screen_buffer.hpp"

#include <algorithm>
#include <cstdint>

namespace kelvane::platform::emulated {

ScreenBuffer::ScreenBuffer(Coord buffer_size, SmallRect buffer_window, Word text_attributes)
    : size(buffer_size),
      cells(static_cast<size_t>(buffer_size.X) * buffer_size.Y, CharInfo{' ', text_attributes}),
      window(buffer_window),
      attributes(text_attributes),
      popup_attributes(text_attributes) {}

void ScreenBuffer::ScrollUp() {
  auto width = static_cast<std::ptrdiff_t>(size.X);
  std::move(cells.begin() + width, cells.end(), cells.begin());
  std::fill(cells.end() - width, cells.end(), CharInfo{' ', attributes});
}

bool ScreenBuffer::ShowCursor() {
  const int width = WindowWidth();
  const int height = WindowHeight();
  int left = window.Left;
  int top = window.Top;
  if (cursor.X < left) left = cursor.X;
  if (cursor.X > left + width - 1) left = cursor.X - width + 1;
  if (cursor.Y < top) top = cursor.Y;
  if (cursor.Y > top + height - 1) top = cursor.Y - height + 1;
  left = std::clamp(left, 0, std::max(0, size.X - width));
  top = std::clamp(top, 0, std::max(0, size.Y - height));
  if (left == window.Left && top == window.Top) return false;
  window = SmallRect{static_cast<Short>(left), static_cast<Short>(top), static_cast<Short>(left + width - 1),
                     static_cast<Short>(top + height - 1)};
  return true;
}

void ScreenBuffer::Resize(Coord new_size, SmallRect new_window) {
  std::vector<CharInfo> resized(static_cast<size_t>(new_size.X) * new_size.Y, CharInfo{' ', attributes});
  const int rows = std::min<int>(new_size.Y, size.Y);
  const int columns = std::min<int>(new_size.X, size.X);
  for (int y = 0; y < rows; ++y) {
    std::copy_n(cells.begin() + static_cast<std::ptrdiff_t>(y) * size.X, columns,
                resized.begin() + static_cast<std::ptrdiff_t>(y) * new_size.X);
  }
  cells = std::move(resized);
  size = new_size;
  window = new_window;
  cursor.X = std::min<Short>(cursor.X, static_cast<Short>(size.X - 1));
  cursor.Y = std::min<Short>(cursor.Y, static_cast<Short>(size.Y - 1));
}

Coord LargestWindow(const ScreenBuffer& buffer, Coord display_size) {
  auto axis = [](int buffer_extent, int placed, int display) {
    return static_cast<Short>(std::min(buffer_extent, std::max(placed, display)));
  };
  return Coord{axis(buffer.size.X, buffer.WindowWidth(), display_size.X),
               axis(buffer.size.Y, buffer.WindowHeight(), display_size.Y)};
}

bool Transfer::BadArguments() const {
  return region.Left > region.Right || region.Top > region.Bottom || array_origin.X < 0 ||
         array_origin.Y < 0 || array_origin.X >= array_size.X || array_origin.Y >= array_size.Y;
}

SmallRect Transfer::ClippedToArray() const {
  // In 32 bits: the region's extent and the array's room can each exceed what a Short holds.
  const int width = std::max(0, std::min(Width(region), array_size.X - array_origin.X));
  const int height = std::max(0, std::min(Height(region), array_size.Y - array_origin.Y));
  return SmallRect{region.Left, region.Top, static_cast<Short>(region.Left + width - 1),
                   static_cast<Short>(region.Top + height - 1)};
}

SmallRect Transfer::ClippedTo(Coord buffer_size) const {
  const SmallRect r = ClippedToArray();
  if (IsEmpty(r)) return r;
  return SmallRect{std::max<Short>(r.Left, 0), std::max<Short>(r.Top, 0),
                   std::min<Short>(r.Right, static_cast<Short>(buffer_size.X - 1)),
                   std::min<Short>(r.Bottom, static_cast<Short>(buffer_size.Y - 1))};
}

size_t Transfer::ArrayIndex(int x, int y) const {
  return static_cast<size_t>(array_origin.Y + y - region.Top) * array_size.X +
         static_cast<size_t>(array_origin.X + x - region.Left);
}

Dword FillSpan(Coord size, Coord start, Dword length) {
  if (start.X < 0 || start.Y < 0 || start.X >= size.X || start.Y >= size.Y) return 0;
  auto total = static_cast<std::uint64_t>(size.X) * size.Y;
  auto offset = static_cast<std::uint64_t>(start.Y) * size.X + start.X;
  return static_cast<Dword>(std::min<std::uint64_t>(length, total - offset));
}

}  // namespace kelvane::platform::emulated
