// LoadScreen on arbitrary file contents and window sizes, the window anywhere in a larger buffer, shown
// or on a hidden page, the file handed over in reads of any length. The window must then hold exactly the
// file's records (zeros where the file ends early), no cell outside it may change, the file is read no
// further than the records and the trailing record, and saving the window again gives the records back
// with the zero record after them. The first 8 bytes choose the geometry; the rest is the file.
#include <kelvane/console.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/file_system.hpp"

namespace kelvane::platform {
namespace {

void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "screen_file_loader: violated: %s\n", property);
  std::abort();
}

// One file in memory, read `chunk` bytes at most at a time; what is saved lands in `saved`.
class MemoryFiles final : public FileSystem {
 public:
  MemoryFiles(std::span<const std::uint8_t> content, std::size_t chunk) : content_(content), chunk_(chunk) {}
  std::size_t read = 0;
  std::vector<std::uint8_t> saved;

  FileHandle OpenForReading(const std::string&) override { return 1; }
  std::int64_t Read(FileHandle, void* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, chunk_, content_.size() - read});
    std::copy_n(content_.begin() + static_cast<std::ptrdiff_t>(read), n, static_cast<std::uint8_t*>(buffer));
    read += n;
    return static_cast<std::int64_t>(n);
  }
  FileError CreateTemporaryBeside(const std::string&, TemporaryFile& temporary) override {
    temporary = TemporaryFile{2, "temporary", "target"};
    return FileError::None;
  }
  FileHandle OpenForRewriting(const std::string&) override { return kNoFile; }
  bool Write(FileHandle, const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    saved.insert(saved.end(), bytes, bytes + size);
    return true;
  }
  bool Flush(FileHandle) override { return true; }
  bool Close(FileHandle) override { return true; }
  bool Replace(const TemporaryFile&) override { return true; }
  bool Remove(const std::string&) override { return true; }

 private:
  std::span<const std::uint8_t> content_;
  std::size_t chunk_;
};

// The console keeps a cell's character byte and the attribute bits it stores.
CharInfo Stored(Word character, Word attributes) {
  return CharInfo{static_cast<Word>(character & 0xFF), static_cast<Word>(attributes & 0xDCFF)};
}

}  // namespace
}  // namespace kelvane::platform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvane::platform;
  if (size < 8) return 0;
  // Windows up to 300 x 200 (beyond 32,767 cells), in a buffer up to 15 columns and rows larger.
  const auto width = static_cast<Short>(1 + (data[0] | data[1] << 8) % 300);
  const auto height = static_cast<Short>(1 + (data[2] | data[3] << 8) % 200);
  const auto left = static_cast<Short>(data[4] & 15), top = static_cast<Short>(data[4] >> 4);
  const Coord buffer_size{static_cast<Short>(width + left + (data[5] & 15)),
                          static_cast<Short>(height + top + (data[5] >> 4))};
  const SmallRect window{left, top, static_cast<Short>(left + width - 1),
                         static_cast<Short>(top + height - 1)};
  const KelvaneConsole::Integer page = data[6] & 1;
  MemoryFiles files(std::span(data + 8, size - 8), 1 + data[7] * 97u);

  EmulatedConsole console;
  InstallPlatform(&console);
  InstallFiles(&files);
  {
    KelvaneConsole::Console c;
    c.Load();
    Check(console.SetBufferGeometry(console.ActiveBufferHandle(), buffer_size, window), "window placed");
    Check(console.SetNewBufferGeometry(buffer_size, SmallRect{0, 0, 0, 0}), "new pages placed");
    // Page 1 is created here, as large as page 0, with a window of one cell at its origin.
    c.ClearScreen(0xC0C0C0, 0x800000, page);
    // The page's buffer, found by showing it for a moment (the shown page's window is what counts).
    c.Page(page);
    const Handle buffer = console.ActiveBufferHandle();
    c.Page(0);
    const std::vector<CharInfo> before = console.ReadCells(buffer);

    Check(c.LoadScreen("screen.bin", page), "LoadScreen succeeds");
    const std::size_t records = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Check(files.read <= 4 * (records + 1), "the file is read no further than the records and one more");
    const std::vector<CharInfo> after = console.ReadCells(buffer);
    const std::span<const std::uint8_t> file(data + 8, size - 8);
    auto byte = [&](std::size_t i) -> Word { return i < file.size() ? file[i] : 0; };
    for (int y = 0; y < buffer_size.Y; ++y) {
      for (int x = 0; x < buffer_size.X; ++x) {
        const std::size_t at = static_cast<std::size_t>(y) * buffer_size.X + x;
        if (x < left || x > window.Right || y < top || y > window.Bottom) {
          Check(after[at] == before[at], "cells outside the window keep what they had");
          continue;
        }
        const std::size_t r = 4 * (static_cast<std::size_t>(y - top) * width + (x - left));
        const CharInfo expected = Stored(static_cast<Word>(byte(r) | byte(r + 1) << 8),
                                         static_cast<Word>(byte(r + 2) | byte(r + 3) << 8));
        Check(after[at] == expected, "each window cell holds its record, zero past the file's end");
      }
    }

    Check(c.SaveScreen("screen.bin", page), "SaveScreen succeeds");
    Check(files.saved.size() == 4 * (records + 1), "the saved file holds the records and one more");
    for (std::size_t i = 0; i + 4 < files.saved.size(); i += 4) {
      const CharInfo cell = Stored(byte(i), static_cast<Word>(byte(i + 2) | byte(i + 3) << 8));
      const std::uint8_t* saved = &files.saved[i];
      Check(saved[0] == cell.Char && saved[1] == 0 && saved[2] == (cell.Attributes & 0xFF) &&
                saved[3] == cell.Attributes >> 8,
            "each saved record is the cell, little-endian");
    }
    Check(std::all_of(files.saved.end() - 4, files.saved.end(), [](std::uint8_t b) { return b == 0; }),
          "the saved file ends with a zero record");
  }
  InstallFiles(nullptr);
  InstallPlatform(nullptr);
  return 0;
}
