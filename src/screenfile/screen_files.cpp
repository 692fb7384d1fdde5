// SaveScreen and LoadScreen. A screen file is the shown page's window area as four-byte records, row by
// row from the window's top-left cell: the character field, then the attribute, each 16-bit
// little-endian on every platform, and one record of zeros after them. There is no header: the window's
// size when a file is loaded decides how its records fall onto rows.
//
// Every failure up to the opening of the file reaches the caller as it is (the loaded check, the page
// and its lookup); from the opening on, a failed file step is error 75.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "core/cell_array.hpp"
#include "core/console_impl.hpp"
#include "platform/file_system.hpp"

namespace KelvaneConsole {

namespace {

constexpr const char* kSaveSource = "KelvaneConsole.SaveScreen";
constexpr const char* kLoadSource = "KelvaneConsole.LoadScreen";
constexpr std::size_t kRecordBytes = 4;

// The shown page's window area, which both members move on whichever page they name.
struct ScreenArea {
  Coord size;         // W x H: the shape of the record array
  SmallRect region;   // where those cells lie in a page's buffer
  std::size_t cells;  // W x H, counted in full: a window of more than 32,767 cells has a file too
};

ScreenArea AreaOf(Integer width, Integer height, const SmallRect& window) {
  const std::size_t cells =
      width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0;
  return ScreenArea{Coord{width, height},
                    SmallRect{window.Left, window.Top, static_cast<plat::Short>(window.Left + width - 1),
                              static_cast<plat::Short>(window.Top + height - 1)},
                    cells};
}

std::vector<std::uint8_t> FileBytes(std::span<const plat::CharInfo> cells) {
  std::vector<std::uint8_t> bytes = NewCellBytes(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    std::uint8_t* record = &bytes[i * kRecordBytes];
    record[0] = static_cast<std::uint8_t>(cells[i].Char);
    record[1] = static_cast<std::uint8_t>(cells[i].Char >> 8);
    record[2] = static_cast<std::uint8_t>(cells[i].Attributes);
    record[3] = static_cast<std::uint8_t>(cells[i].Attributes >> 8);
  }
  return bytes;
}

std::vector<plat::CharInfo> CellsOf(std::span<const std::uint8_t> bytes) {
  std::vector<plat::CharInfo> cells = NewCellArray(bytes.size() / kRecordBytes);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::uint8_t* record = &bytes[i * kRecordBytes];
    cells[i] = plat::CharInfo{static_cast<Word>(record[0] | record[1] << 8),
                              static_cast<Word>(record[2] | record[3] << 8)};
  }
  return cells;
}

// A file of the seam, closed when it goes out of scope unless closed before.
class OpenFile {
 public:
  OpenFile(plat::FileSystem& files, plat::FileHandle handle) : files_(files), handle_(handle) {}
  ~OpenFile() { Close(); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  explicit operator bool() const { return handle_ != plat::kNoFile; }
  plat::FileHandle get() const { return handle_; }
  bool Close() {
    if (handle_ == plat::kNoFile) return true;
    return files_.Close(std::exchange(handle_, plat::kNoFile));
  }

 private:
  plat::FileSystem& files_;
  plat::FileHandle handle_;
};

// What saving did before files were replaced whole, kept for a writable file in a folder that takes no
// new file: the file is cut and written where it is, so a failure while writing leaves it short.
bool RewriteInPlace(plat::FileSystem& files, const String& name, std::span<const std::uint8_t> bytes) {
  OpenFile file(files, files.OpenForRewriting(name));
  // Errors while closing are not looked at here, as they never were.
  return file && files.Write(file.get(), bytes.data(), bytes.size());
}

// Makes `bytes` the whole of the file `name`: written to a new file beside it, flushed to the disk and
// only then put in its place, so that a failure at any step leaves the old file as it was and no
// temporary file behind.
bool StoreFile(plat::FileSystem& files, const String& name, std::span<const std::uint8_t> bytes) {
  plat::TemporaryFile temporary;
  switch (files.CreateTemporaryBeside(name, temporary)) {
    case plat::FileError::None:
      break;
    case plat::FileError::FolderRefused:
      return RewriteInPlace(files, name, bytes);
    case plat::FileError::Failed:
      return false;
  }
  OpenFile file(files, temporary.file);
  bool complete = files.Write(file.get(), bytes.data(), bytes.size()) && files.Flush(file.get());
  // A close that fails may have lost what was written: such a file does not replace the old one.
  complete = file.Close() && complete;
  if (complete && files.Replace(temporary)) return true;
  files.Remove(temporary.path);
  return false;
}

// Fills `bytes` from the start of the file as far as the file goes; false when a read fails.
bool ReadInto(plat::FileSystem& files, plat::FileHandle file, std::span<std::uint8_t> bytes) {
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const std::int64_t n = files.Read(file, bytes.data() + filled, bytes.size() - filled);
    if (n < 0) return false;
    if (n == 0) break;
    filled += std::min(static_cast<std::size_t>(n), bytes.size() - filled);
  }
  return true;
}

}  // namespace

Integer Console::Impl::ScreenFilePage(const Variant& PageIndex, const char* source) {
  const Integer page = PageIndex.IsMissing() ? mCurrentPage : PageIndex.ToInteger();
  if (page < 0 || page >= kPageCount) Raise(kErrInvalidPage, source);
  return page;
}

bool Console::Impl::SaveScreen(const String& FileName, const Variant& PageIndex) {
  zzzCheckLoaded();
  const Integer page = ScreenFilePage(PageIndex, kSaveSource);
  // Saving never creates a page: a new one would have nothing on it worth saving.
  if (mPageHandles[static_cast<std::size_t>(page)] == kNoHandle) Raise(kErrPageNotCreated, kSaveSource);
  bool created = false;
  const Handle handle = zzzHandleFromPage(page, created);
  Integer width = 0;
  Integer height = 0;
  GetWindowSize(width, height);
  const ScreenArea area = AreaOf(width, height, mWindow);
  // The records, and after them the zero record that ends every screen file. A huge window's records can
  // be hundreds of megabytes: memory that cannot be had fails the save as a refused read does.
  std::vector<plat::CharInfo> cells;
  if (!Step([&] { cells = NewCellArray(area.cells + 1); })) return false;
  SmallRect region = area.region;
  if (Os().ReadConsoleOutputA(handle, cells.data(), area.size, Coord{0, 0}, &region) == 0) return false;
  std::vector<std::uint8_t> bytes;
  if (!Step([&] { bytes = FileBytes(cells); })) return false;
  if (!StoreFile(plat::Files(), FileName, bytes)) Raise(kErrFileAccess, kSaveSource);
  return true;
}

bool Console::Impl::LoadScreen(const String& FileName, const Variant& PageIndex) {
  zzzCheckLoaded();
  const Integer page = ScreenFilePage(PageIndex, kLoadSource);
  // A page without a buffer gets one here, neither cleared nor shown, and keeps it should the file fail.
  bool created = false;
  const Handle handle = zzzHandleFromPage(page, created);
  plat::FileSystem& files = plat::Files();
  OpenFile file(files, files.OpenForReading(FileName));
  if (!file) Raise(kErrFileAccess, kLoadSource);
  Integer width = 0;
  Integer height = 0;
  Step([&] { GetWindowSize(width, height); });
  const ScreenArea area = AreaOf(width, height, mWindow);
  // Zeros where the file ends early: what a short file does not cover is left black on black. A longer
  // file is read no further than the records and the trailing record. Memory for them that cannot be
  // had fails the load as a refused write does.
  std::vector<std::uint8_t> bytes;
  if (!Step([&] { bytes = NewCellBytes(area.cells + 1); })) return false;
  if (!ReadInto(files, file.get(), bytes)) Raise(kErrFileAccess, kLoadSource);  // closed on the way out
  file.Close();  // a file only read has nothing to lose as it closes
  std::vector<plat::CharInfo> cells;
  if (!Step([&] { cells = CellsOf(bytes); })) return false;
  SmallRect region = area.region;
  return Os().WriteConsoleOutputA(handle, cells.data(), area.size, Coord{0, 0}, &region) != 0;
}

}  // namespace KelvaneConsole
