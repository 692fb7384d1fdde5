#include "platform/emulated/cell_runs.hpp"

#include <cstring>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kelvane::platform::emulated {

namespace {

constexpr std::size_t kCellBytes = sizeof(CharInfo);
static_assert(kCellBytes == sizeof(std::uint32_t));

void TransformWords(char* destination, const char* source, std::size_t count, std::uint32_t keep,
                    std::uint32_t put) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t word;
    std::memcpy(&word, source + i * kCellBytes, kCellBytes);
    word = (word & keep) | put;
    std::memcpy(destination + i * kCellBytes, &word, kCellBytes);
  }
}

#if defined(__GNUC__)  // GCC and Clang: their vector types

// Inlined into each variant below, which compiles it for its instruction set. Loads and stores go
// through memcpy: the cells need no alignment and keep their own type.
// (Declared outside the template: GCC drops vector_size with a dependent size.)
using Words32 = std::uint32_t __attribute__((vector_size(32)));
using Words64 = std::uint32_t __attribute__((vector_size(64)));
static_assert(sizeof(Words32) == 32 && sizeof(Words64) == 64);

template <class Words>
[[gnu::always_inline]] inline void TransformVectors(char* destination, const char* source, std::size_t count,
                                                    std::uint32_t keep, std::uint32_t put) {
  constexpr std::size_t kStep = sizeof(Words) / kCellBytes;
  std::size_t i = 0;
  // Cells up to a register-aligned destination first: a store across two cache lines costs two.
  if (count >= 4 * kStep) {
    const auto misaligned = reinterpret_cast<std::uintptr_t>(destination) % sizeof(Words);
    if (misaligned % kCellBytes == 0 && misaligned != 0) i = (sizeof(Words) - misaligned) / kCellBytes;
    TransformWords(destination, source, i, keep, put);
  }
  for (; i + kStep <= count; i += kStep) {
    Words words;
    std::memcpy(&words, source + i * kCellBytes, sizeof words);
    words = (words & keep) | put;
    std::memcpy(destination + i * kCellBytes, &words, sizeof words);
  }
  TransformWords(destination + i * kCellBytes, source + i * kCellBytes, count - i, keep, put);
}

void TransformBaseline(char* destination, const char* source, std::size_t count, std::uint32_t keep,
                       std::uint32_t put) {
  TransformVectors<Words32>(destination, source, count, keep, put);
}

#if defined(__x86_64__)
// Wider registers where the processor has them; the build itself assumes only SSE2.
[[gnu::target("avx2")]] void TransformAvx2(char* destination, const char* source, std::size_t count,
                                           std::uint32_t keep, std::uint32_t put) {
  TransformVectors<Words32>(destination, source, count, keep, put);
}

[[gnu::target("avx512f")]] void TransformAvx512(char* destination, const char* source, std::size_t count,
                                                std::uint32_t keep, std::uint32_t put) {
  TransformVectors<Words64>(destination, source, count, keep, put);
}

// One field of every cell set, the other kept: with AVX-512BW the field is stored alone, 16-bit lanes
// under a mask, so the cells are not read at all. `low` is the field in the low half of the word.
[[gnu::target("avx512f,avx512bw")]] void FillFieldAvx512(char* cells, std::size_t count, bool low,
                                                         std::uint32_t put) {
  const __mmask32 lanes = low ? 0x55555555u : 0xAAAAAAAAu;
  const __m512i value = _mm512_set1_epi32(static_cast<int>(put));
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) _mm512_mask_storeu_epi16(cells + i * kCellBytes, lanes, value);
  if (i < count) {
    const auto rest = static_cast<unsigned>(count - i);  // 1..15 cells: 2..30 lanes
    _mm512_mask_storeu_epi16(cells + i * kCellBytes, lanes & ((1u << (2 * rest)) - 1), value);
  }
}

struct VectorUnits {
  bool avx2 = false;
  bool avx512 = false;
  bool avx512bw = false;
};
const VectorUnits& Units() {
  static const VectorUnits units = [] {
    __builtin_cpu_init();
    return VectorUnits{__builtin_cpu_supports("avx2") != 0, __builtin_cpu_supports("avx512f") != 0,
                       __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0};
  }();
  return units;
}
#endif

#else  // other compilers: a word at a time

void TransformBaseline(char* destination, const char* source, std::size_t count, std::uint32_t keep,
                       std::uint32_t put) {
  TransformWords(destination, source, count, keep, put);
}

#endif

// x86 is little-endian: the low half of a word is the cell's first field.
bool FillsOneField(const CharInfo* destination, const CharInfo* source, std::uint32_t keep,
                   std::uint32_t put) {
  return destination == source && (put & keep) == 0 && (keep == 0xFFFF0000u || keep == 0x0000FFFFu);
}

}  // namespace

bool CellRunPathAvailable(CellRunPath path) noexcept {
#if defined(__GNUC__) && defined(__x86_64__)
  switch (path) {
    case CellRunPath::FieldStores:
      return Units().avx512bw;
    case CellRunPath::Avx512:
      return Units().avx512;
    case CellRunPath::Avx2:
      return Units().avx2;
    case CellRunPath::Portable:
      return true;
  }
  return false;
#else
  return path == CellRunPath::Portable;
#endif
}

void TransformCellRunBy(CellRunPath path, CharInfo* destination, const CharInfo* source, std::size_t count,
                        std::uint32_t keep, std::uint32_t put) noexcept {
  auto* to = reinterpret_cast<char*>(destination);
  const auto* from = reinterpret_cast<const char*>(source);
  switch (path) {
#if defined(__GNUC__) && defined(__x86_64__)
    case CellRunPath::FieldStores:
      return FillFieldAvx512(to, count, keep == 0xFFFF0000u, put);
    case CellRunPath::Avx512:
      return TransformAvx512(to, from, count, keep, put);
    case CellRunPath::Avx2:
      return TransformAvx2(to, from, count, keep, put);
#endif
    default:
      return TransformBaseline(to, from, count, keep, put);
  }
}

void TransformCellRun(CharInfo* destination, const CharInfo* source, std::size_t count, std::uint32_t keep,
                      std::uint32_t put) noexcept {
  // The best paths, chosen once.
  static const CellRunPath transform = [] {
    for (CellRunPath path : {CellRunPath::Avx512, CellRunPath::Avx2})
      if (CellRunPathAvailable(path)) return path;
    return CellRunPath::Portable;
  }();
  static const bool field_stores = CellRunPathAvailable(CellRunPath::FieldStores);
  const bool one_field = field_stores && FillsOneField(destination, source, keep, put);
  TransformCellRunBy(one_field ? CellRunPath::FieldStores : transform, destination, source, count, keep, put);
}

}  // namespace kelvane::platform::emulated
