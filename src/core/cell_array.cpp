#include "core/cell_array.hpp"

#include <atomic>
#include <cstdint>
#include <new>

namespace KelvaneConsole {

namespace {
std::atomic<std::size_t> g_cell_limit{SIZE_MAX};
}  // namespace

std::vector<kelvane::platform::CharInfo> NewCellArray(std::size_t count, kelvane::platform::CharInfo fill) {
  if (count > g_cell_limit.load(std::memory_order_relaxed)) throw std::bad_alloc();
  return std::vector<kelvane::platform::CharInfo>(count, fill);
}

void GrowCellArray(std::vector<kelvane::platform::CharInfo>& cells, std::size_t count) {
  if (cells.size() >= count) return;
  if (count > g_cell_limit.load(std::memory_order_relaxed)) throw std::bad_alloc();
  cells.resize(count);
}

std::vector<std::uint8_t> NewCellBytes(std::size_t cells) {
  if (cells > g_cell_limit.load(std::memory_order_relaxed)) throw std::bad_alloc();
  return std::vector<std::uint8_t>(cells * sizeof(kelvane::platform::CharInfo));
}

void LimitCellArraysForTesting(std::size_t cells) noexcept {
  g_cell_limit.store(cells, std::memory_order_relaxed);
}

}  // namespace KelvaneConsole
