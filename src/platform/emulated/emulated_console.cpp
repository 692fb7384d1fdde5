#include "platform/emulated/emulated_console.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "platform/emulated/keyboard.hpp"

#ifndef KELVANE_DATA_DIR
#define KELVANE_DATA_DIR "/usr/local/share/kelvane"
#endif

namespace kelvane::platform {

namespace {

// Like the real console, the last error belongs to the calling thread.
thread_local Dword t_last_error = 0;

constexpr Dword kErrorInvalidAccess = 998;

// Attribute bits a cell keeps: the colours, the grid lines, reverse video and underscore. The lead and
// trail byte flags (0x0100, 0x0200) belong to double-width glyphs and 0x2000 is dropped.
constexpr Word kStoredCellAttributeBits = 0xDCFF;
constexpr Word kRefusedTextAttributeBits = 0x2000;

constexpr Dword kValidOutputModes = 0x1F;
constexpr Dword kValidInputModes = 0x3FF;
constexpr Dword kPrivateInputModes =
    kEnableInsertMode | kEnableQuickEditMode | kEnableExtendedFlags | kEnableAutoPosition;

constexpr size_t kMaxTitleBytes = 65535;

bool Fail(Dword error) {
  t_last_error = error;
  return false;
}

}  // namespace

void ConsoleChanges::Clear() {
  repaint = false;
  scrolled = 0;
  // Keep the rows' storage: it is needed again at the next change.
  std::fill(dirty_rows.begin(), dirty_rows.end(), false);
  title = cursor = display_mode = false;
}

bool ConsoleChanges::Any() const {
  return repaint || scrolled != 0 || title || cursor || display_mode ||
         std::find(dirty_rows.begin(), dirty_rows.end(), true) != dirty_rows.end();
}

struct EmulatedConsole::Buffer {
  Coord size;
  std::vector<CharInfo> cells;
  SmallRect window;
  Coord cursor;
  Word attributes = 0x07;
  Word popup_attributes = 0x07;
  Dword cursor_size = 25;
  bool cursor_visible = true;
  Dword mode = kEnableProcessedOutput | kEnableWrapAtEolOutput;
  int open_handles = 0;

  CharInfo& At(int x, int y) { return cells[static_cast<size_t>(y) * size.X + x]; }
  const CharInfo& At(int x, int y) const { return cells[static_cast<size_t>(y) * size.X + x]; }
  int Width() const { return size.X; }
  int Height() const { return size.Y; }
  short WindowWidth() const { return static_cast<short>(window.Right - window.Left + 1); }
  short WindowHeight() const { return static_cast<short>(window.Bottom - window.Top + 1); }
};

struct EmulatedConsole::HandleEntry {
  bool input = false;
  std::shared_ptr<Buffer> buffer;  // output handles only
  Dword access = kGenericRead | kGenericWrite;
};

struct EmulatedConsole::State {
  // Process-wide, outliving any one console.
  std::array<Handle, 3> std_handles{0, 0, 0};
  Handle next_handle = 4;

  // Configuration and test controls.
  Coord console_size{80, 25};
  std::function<Coord()> size_provider;
  std::string system_directory = KELVANE_DATA_DIR;
  std::optional<SystemTime> fixed_time;
  Presenter presenter;
  std::optional<Coord> new_buffer_size;
  std::optional<SmallRect> new_buffer_window;
  struct Failure {
    int countdown;  // calls to let through before failing
    Dword error;
    bool every;
  };
  std::array<std::vector<Failure>, kOpCount> failures;

  // The console itself.
  bool allocated = false;
  Coord display_size{80, 25};  // the console window AllocConsole opened: no window can be larger
  std::map<Handle, HandleEntry> handles;
  std::vector<std::shared_ptr<Buffer>> buffers;  // in creation order
  std::shared_ptr<Buffer> active;
  std::deque<InputRecord> input;
  bool input_ended = false;
  Dword input_mode = 0x1F7;
  std::string pending_line;  // the part of a line-mode read that did not fit the caller's buffer
  std::string title;
  bool full_screen = false;
  ConsoleChanges changes;
};

EmulatedConsole::EmulatedConsole() : state_(std::make_unique<State>()) {}
EmulatedConsole::~EmulatedConsole() = default;

bool EmulatedConsole::Enter(Op op) {
  auto index = static_cast<size_t>(op);
  calls_[index].fetch_add(1, std::memory_order_relaxed);
  auto& pending = state_->failures[index];
  // Every entry counts every call, so several injected failures of one operation each hit the call
  // they were aimed at; when more than one is due, the first injected gives the error.
  std::optional<Dword> error;
  for (auto it = pending.begin(); it != pending.end();) {
    if (it->countdown > 0) {
      --it->countdown;
      ++it;
      continue;
    }
    if (!error) error = it->error;
    it = it->every ? it + 1 : pending.erase(it);
  }
  return error ? Fail(*error) : true;
}

EmulatedConsole::Buffer* EmulatedConsole::OutputBuffer(Handle handle) {
  auto it = state_->handles.find(handle);
  if (it == state_->handles.end() || it->second.input) return nullptr;
  return it->second.buffer.get();
}

const EmulatedConsole::Buffer* EmulatedConsole::OutputBuffer(Handle handle) const {
  auto it = state_->handles.find(handle);
  if (it == state_->handles.end() || it->second.input) return nullptr;
  return it->second.buffer.get();
}

bool EmulatedConsole::HasAccess(Handle handle, Dword access) const {
  auto it = state_->handles.find(handle);
  return it != state_->handles.end() && (it->second.access & access) == access;
}

bool EmulatedConsole::IsInputHandle(Handle handle) const {
  auto it = state_->handles.find(handle);
  return it != state_->handles.end() && it->second.input;
}

Handle EmulatedConsole::NewHandle(bool input, std::shared_ptr<Buffer> buffer) {
  Handle handle = state_->next_handle;
  state_->next_handle += 4;
  if (buffer) ++buffer->open_handles;
  state_->handles.emplace(handle, HandleEntry{input, std::move(buffer)});
  return handle;
}

std::shared_ptr<EmulatedConsole::Buffer> EmulatedConsole::MakeBuffer(Coord size, SmallRect window,
                                                                     Word attributes) {
  auto buffer = std::make_shared<Buffer>();
  buffer->size = size;
  buffer->window = window;
  buffer->attributes = attributes;
  buffer->popup_attributes = attributes;
  buffer->cells.assign(static_cast<size_t>(size.X) * size.Y, CharInfo{' ', attributes});
  state_->buffers.push_back(buffer);
  return buffer;
}

void EmulatedConsole::ReleaseBufferIfUnused(const std::shared_ptr<Buffer>& buffer) {
  if (!buffer || buffer->open_handles > 0) return;
  auto& list = state_->buffers;
  list.erase(std::remove(list.begin(), list.end(), buffer), list.end());
  if (state_->active == buffer) {
    // The real console falls back on the most recently created buffer that is still open, through its
    // ordinary activation, which also drops the queued events that are not key events.
    state_->active = list.empty() ? nullptr : list.back();
    if (state_->active) {
      std::erase_if(state_->input, [](const InputRecord& r) { return r.EventType != kKeyEvent; });
    }
    Track().repaint = true;
    Track().cursor = true;
  }
}

// --- change tracking ---

void EmulatedConsole::MarkCells(const Buffer& buffer, Short top, Short bottom) {
  if (state_->active.get() != &buffer) return;
  auto& changes = Track();
  if (changes.repaint) return;
  int first = std::max<int>(top, buffer.window.Top);
  int last = std::min<int>(bottom, buffer.window.Bottom);
  if (first > last) return;
  if (changes.dirty_rows.size() != static_cast<size_t>(buffer.WindowHeight())) {
    changes.dirty_rows.assign(buffer.WindowHeight(), false);
  }
  for (int row = first; row <= last; ++row) changes.dirty_rows[row - buffer.window.Top] = true;
}

void EmulatedConsole::MarkWindowMoved(const Buffer& buffer) {
  if (state_->active.get() == &buffer) Track().repaint = true;
}

void EmulatedConsole::MarkCursor(const Buffer& buffer) {
  if (state_->active.get() == &buffer) Track().cursor = true;
}

ConsoleChanges& EmulatedConsole::Track() {
  // Set under the lock with the change itself, so EndOfCall never misses one (see there).
  changes_pending_.store(true, std::memory_order_release);
  return state_->changes;
}

// --- the console's life ---

Bool EmulatedConsole::AllocConsole() {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::AllocConsole)) return 0;
  auto& s = *state_;
  if (s.allocated) return Fail(kErrorAccessDenied);
  Coord size = s.size_provider ? s.size_provider() : s.console_size;
  size.X = std::max<Short>(size.X, 1);
  size.Y = std::max<Short>(size.Y, 1);
  s.allocated = true;
  s.display_size = size;
  s.input.clear();
  s.input_mode = 0x1F7;
  s.pending_line.clear();
  s.title = "KelvaneConsole";
  s.full_screen = false;
  auto buffer =
      MakeBuffer(size, SmallRect{0, 0, static_cast<Short>(size.X - 1), static_cast<Short>(size.Y - 1)}, 0x07);
  s.active = buffer;
  s.std_handles[0] = NewHandle(true, nullptr);
  s.std_handles[1] = NewHandle(false, buffer);
  s.std_handles[2] = NewHandle(false, buffer);
  s.changes = ConsoleChanges{};
  Track().repaint = true;
  Track().title = true;
  return 1;
}

Bool EmulatedConsole::FreeConsole() {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::FreeConsole)) return 0;
  auto& s = *state_;
  if (s.allocated) {
    // Every handle of the console dies with it; the standard handle table keeps its (now dead) values.
    s.handles.clear();
    s.buffers.clear();
    s.active.reset();
    s.input.clear();
    s.pending_line.clear();
    s.title.clear();
    s.full_screen = false;
    s.allocated = false;
    s.changes = ConsoleChanges{};
    Track().repaint = true;
  }
  input_ready_.notify_all();
  return 1;
}

Handle EmulatedConsole::GetStdHandle(Dword nStdHandle) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::GetStdHandle)) return kInvalidHandle;
  switch (nStdHandle) {
    case kStdInputHandle:
      return state_->std_handles[0];
    case kStdOutputHandle:
      return state_->std_handles[1];
    case kStdErrorHandle:
      return state_->std_handles[2];
    default:
      Fail(kErrorInvalidHandle);
      return kInvalidHandle;
  }
}

Bool EmulatedConsole::CloseHandle(Handle handle) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::CloseHandle)) return 0;
  auto it = state_->handles.find(handle);
  if (it == state_->handles.end()) return Fail(kErrorInvalidHandle);
  auto buffer = it->second.buffer;
  state_->handles.erase(it);
  if (buffer) {
    --buffer->open_handles;
    ReleaseBufferIfUnused(buffer);
  }
  return 1;
}

// --- screen buffers ---

namespace {

// No window is wider or taller than its buffer, nor than the console window; a window a test control
// placed larger than the console window still counts as possible.
Coord LargestWindow(Coord buffer_size, const SmallRect& window, Coord display_size) {
  auto axis = [](int buffer, int placed, int display) {
    return static_cast<Short>(std::min(buffer, std::max(placed, display)));
  };
  return Coord{axis(buffer_size.X, window.Right - window.Left + 1, display_size.X),
               axis(buffer_size.Y, window.Bottom - window.Top + 1, display_size.Y)};
}

}  // namespace

Handle EmulatedConsole::CreateConsoleScreenBuffer(Dword dwDesiredAccess, Dword dwShareMode, Dword dwFlags) {
  (void)dwShareMode;
  std::lock_guard lock(mutex_);
  if (!Enter(Op::CreateConsoleScreenBuffer)) return kInvalidHandle;
  auto& s = *state_;
  if (!s.allocated) {
    Fail(kErrorInvalidHandle);
    return kInvalidHandle;
  }
  if (dwFlags != kConsoleTextmodeBuffer) {
    Fail(kErrorInvalidParameter);
    return kInvalidHandle;
  }
  // A new buffer is as large as the active buffer's window, and takes its text attribute.
  Coord shown = s.display_size;
  Word attributes = 0x07;
  if (s.active) {
    shown = Coord{s.active->WindowWidth(), s.active->WindowHeight()};
    attributes = s.active->attributes;
  }
  Coord size = s.new_buffer_size.value_or(shown);
  Coord window_size{std::min(shown.X, size.X), std::min(shown.Y, size.Y)};
  SmallRect window = s.new_buffer_window.value_or(
      SmallRect{0, 0, static_cast<Short>(window_size.X - 1), static_cast<Short>(window_size.Y - 1)});
  auto buffer = MakeBuffer(size, window, attributes);
  Handle handle = NewHandle(false, buffer);
  s.handles[handle].access = dwDesiredAccess & (kGenericRead | kGenericWrite);
  return handle;
}

Bool EmulatedConsole::SetConsoleActiveScreenBuffer(Handle hConsoleOutput) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::SetConsoleActiveScreenBuffer)) return 0;
  auto it = state_->handles.find(hConsoleOutput);
  if (it == state_->handles.end() || it->second.input) return Fail(kErrorInvalidHandle);
  // Windows refuses a handle without write access as if it were no screen buffer at all.
  if (!(it->second.access & kGenericWrite)) return Fail(kErrorInvalidHandle);
  auto& s = *state_;
  if (s.active == it->second.buffer) return 1;
  s.active = it->second.buffer;
  // Activation drops every queued event that is not a key event.
  std::erase_if(s.input, [](const InputRecord& r) { return r.EventType != kKeyEvent; });
  Track().repaint = true;
  Track().cursor = true;
  return 1;
}

Bool EmulatedConsole::GetConsoleScreenBufferInfo(Handle hConsoleOutput, ScreenBufferInfo* info) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::GetConsoleScreenBufferInfo)) return 0;
  const Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericRead)) return Fail(kErrorAccessDenied);
  if (!info) return Fail(kErrorInvalidAccess);
  info->dwSize = buffer->size;
  info->dwCursorPosition = buffer->cursor;
  info->wAttributes = buffer->attributes;
  info->srWindow = buffer->window;
  info->dwMaximumWindowSize = LargestWindow(buffer->size, buffer->window, state_->display_size);
  return 1;
}

// --- cells ---

namespace {

// The part of a transfer rectangle that both the caller's array and the buffer hold, per the real
// console's arithmetic: clip to the array from the array origin, then to the buffer.
struct Transfer {
  int left, top, right, bottom;  // in buffer coordinates, inclusive
  bool empty() const { return left > right || top > bottom; }
};

Transfer ClipTransfer(const SmallRect& region, Coord array_size, Coord array_origin, Coord buffer_size) {
  int width = std::min<int>(region.Right - region.Left + 1, array_size.X - array_origin.X);
  int height = std::min<int>(region.Bottom - region.Top + 1, array_size.Y - array_origin.Y);
  Transfer t{region.Left, region.Top, region.Left + width - 1, region.Top + height - 1};
  t.left = std::max(t.left, 0);
  t.top = std::max(t.top, 0);
  t.right = std::min(t.right, buffer_size.X - 1);
  t.bottom = std::min(t.bottom, buffer_size.Y - 1);
  return t;
}

bool BadTransferArguments(const SmallRect& region, Coord array_size, Coord array_origin) {
  return region.Left > region.Right || region.Top > region.Bottom || array_origin.X < 0 ||
         array_origin.Y < 0 || array_origin.X >= array_size.X || array_origin.Y >= array_size.Y;
}

size_t ArrayIndex(const SmallRect& region, Coord array_size, Coord array_origin, int x, int y) {
  return static_cast<size_t>(array_origin.Y + y - region.Top) * array_size.X +
         static_cast<size_t>(array_origin.X + x - region.Left);
}

}  // namespace

Bool EmulatedConsole::ReadConsoleOutputA(Handle hConsoleOutput, CharInfo* lpBuffer, Coord dwBufferSize,
                                         Coord dwBufferCoord, SmallRect* lpReadRegion) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::ReadConsoleOutputA)) return 0;
  const Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericRead)) return Fail(kErrorAccessDenied);
  if (!lpBuffer || !lpReadRegion) return Fail(kErrorInvalidAccess);
  SmallRect region = *lpReadRegion;
  if (BadTransferArguments(region, dwBufferSize, dwBufferCoord)) return Fail(kErrorInvalidFunction);
  Transfer t = ClipTransfer(region, dwBufferSize, dwBufferCoord, buffer->size);
  if (t.empty()) return Fail(kErrorInvalidParameter);
  for (int y = t.top; y <= t.bottom; ++y) {
    for (int x = t.left; x <= t.right; ++x) {
      const CharInfo& cell = buffer->At(x, y);
      // The character byte comes back zero-extended: the high byte of the field is 0.
      lpBuffer[ArrayIndex(region, dwBufferSize, dwBufferCoord, x, y)] =
          CharInfo{static_cast<Word>(cell.Char & 0xFF), cell.Attributes};
    }
  }
  *lpReadRegion = SmallRect{static_cast<Short>(t.left), static_cast<Short>(t.top),
                            static_cast<Short>(t.right), static_cast<Short>(t.bottom)};
  return 1;
}

Bool EmulatedConsole::WriteConsoleOutputA(Handle hConsoleOutput, const CharInfo* lpBuffer, Coord dwBufferSize,
                                          Coord dwBufferCoord, SmallRect* lpWriteRegion) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::WriteConsoleOutputA)) return 0;
  Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (!lpBuffer || !lpWriteRegion) return Fail(kErrorInvalidAccess);
  SmallRect region = *lpWriteRegion;
  if (BadTransferArguments(region, dwBufferSize, dwBufferCoord)) return Fail(kErrorInvalidParameter);
  Transfer t = ClipTransfer(region, dwBufferSize, dwBufferCoord, buffer->size);
  // Wholly outside the buffer: success, nothing written, the region left as it was.
  if (t.empty()) return 1;
  for (int y = t.top; y <= t.bottom; ++y) {
    for (int x = t.left; x <= t.right; ++x) {
      const CharInfo& source = lpBuffer[ArrayIndex(region, dwBufferSize, dwBufferCoord, x, y)];
      buffer->At(x, y) = CharInfo{static_cast<Word>(source.Char & 0xFF),
                                  static_cast<Word>(source.Attributes & kStoredCellAttributeBits)};
    }
  }
  MarkCells(*buffer, static_cast<Short>(t.top), static_cast<Short>(t.bottom));
  *lpWriteRegion = SmallRect{static_cast<Short>(t.left), static_cast<Short>(t.top),
                             static_cast<Short>(t.right), static_cast<Short>(t.bottom)};
  return 1;
}

namespace {

// Cells from `start` in row order to the end of the buffer, at most `length`; 0 when the start lies
// outside the buffer.
Dword FillSpan(Coord size, Coord start, Dword length) {
  if (start.X < 0 || start.Y < 0 || start.X >= size.X || start.Y >= size.Y) return 0;
  auto total = static_cast<uint64_t>(size.X) * size.Y;
  auto offset = static_cast<uint64_t>(start.Y) * size.X + start.X;
  return static_cast<Dword>(std::min<uint64_t>(length, total - offset));
}

}  // namespace

Bool EmulatedConsole::FillConsoleOutputCharacterA(Handle hConsoleOutput, char cCharacter, Dword nLength,
                                                  Coord dwWriteCoord, Dword* lpNumberOfCharsWritten) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::FillConsoleOutputCharacterA)) return 0;
  Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (!lpNumberOfCharsWritten) return Fail(kErrorInvalidAccess);
  Dword count = FillSpan(buffer->size, dwWriteCoord, nLength);
  size_t first = static_cast<size_t>(dwWriteCoord.Y) * buffer->size.X + dwWriteCoord.X;
  for (Dword i = 0; i < count; ++i) buffer->cells[first + i].Char = static_cast<unsigned char>(cCharacter);
  if (count > 0) {
    MarkCells(*buffer, dwWriteCoord.Y, static_cast<Short>((first + count - 1) / buffer->size.X));
  }
  *lpNumberOfCharsWritten = count;
  return 1;
}

Bool EmulatedConsole::FillConsoleOutputAttribute(Handle hConsoleOutput, Word wAttribute, Dword nLength,
                                                 Coord dwWriteCoord, Dword* lpNumberOfAttrsWritten) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::FillConsoleOutputAttribute)) return 0;
  Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (!lpNumberOfAttrsWritten) return Fail(kErrorInvalidAccess);
  Dword count = FillSpan(buffer->size, dwWriteCoord, nLength);
  size_t first = static_cast<size_t>(dwWriteCoord.Y) * buffer->size.X + dwWriteCoord.X;
  Word stored = wAttribute & kStoredCellAttributeBits;
  for (Dword i = 0; i < count; ++i) buffer->cells[first + i].Attributes = stored;
  if (count > 0) {
    MarkCells(*buffer, dwWriteCoord.Y, static_cast<Short>((first + count - 1) / buffer->size.X));
  }
  *lpNumberOfAttrsWritten = count;
  return 1;
}

// --- text output ---

void EmulatedConsole::ScrollUp(Buffer& buffer) {
  // Row 0 is discarded and the new last row is blank in the current text attribute.
  auto width = static_cast<size_t>(buffer.size.X);
  std::move(buffer.cells.begin() + static_cast<std::ptrdiff_t>(width), buffer.cells.end(),
            buffer.cells.begin());
  std::fill(buffer.cells.end() - static_cast<std::ptrdiff_t>(width), buffer.cells.end(),
            CharInfo{' ', buffer.attributes});
  if (state_->active.get() != &buffer) return;
  auto& changes = Track();
  if (changes.repaint) return;
  // Everything in the window moves up one row; the row that comes in at the bottom is new.
  int height = buffer.WindowHeight();
  if (changes.dirty_rows.size() != static_cast<size_t>(height)) changes.dirty_rows.assign(height, false);
  if (++changes.scrolled >= height) {
    changes.repaint = true;
    return;
  }
  std::rotate(changes.dirty_rows.begin(), changes.dirty_rows.begin() + 1, changes.dirty_rows.end());
  changes.dirty_rows.back() = true;
}

void EmulatedConsole::WriteBytes(Buffer& buffer, const unsigned char* bytes, Dword count) {
  const bool processed = buffer.mode & kEnableProcessedOutput;
  const bool wrap = buffer.mode & kEnableWrapAtEolOutput;
  const bool auto_return = !(buffer.mode & kDisableNewlineAutoReturn);
  const SmallRect window_before = buffer.window;
  const Coord cursor_before = buffer.cursor;
  const bool cursor_was_in_view =
      cursor_before.X >= window_before.Left && cursor_before.X <= window_before.Right &&
      cursor_before.Y >= window_before.Top && cursor_before.Y <= window_before.Bottom;
  int x = buffer.cursor.X;
  int y = buffer.cursor.Y;
  int run_start = x;  // column where the current run of printable characters began
  int min_row = y;
  int max_row = y;

  auto new_line = [&](bool to_column_zero) {
    if (to_column_zero) x = 0;
    if (y + 1 >= buffer.Height()) {
      ScrollUp(buffer);
      --min_row;
    } else {
      ++y;
    }
    max_row = std::max(max_row, y);
  };
  auto put = [&](unsigned char byte) {
    buffer.At(x, y) = CharInfo{byte, buffer.attributes};
    ++x;
    if (x >= buffer.Width()) {
      if (wrap) {
        // No delayed wrap: the cursor goes to the next row at once, scrolling at the bottom.
        new_line(true);
      } else {
        // Without wrap the run's overflow comes back to where the run started.
        x = run_start;
      }
    }
  };

  for (Dword i = 0; i < count; ++i) {
    unsigned char byte = bytes[i];
    if (!processed) {
      put(byte);
      continue;
    }
    switch (byte) {
      case 7:  // BEL: a beep, nothing on the screen
        run_start = x;
        break;
      case 8:  // BS: one column left, not erasing; nothing at column 0
        if (x > 0) --x;
        run_start = x;
        break;
      case 9: {  // TAB: spaces to the next stop of 8
        int spaces = std::min(buffer.Width() - x, 8 - (x % 8));
        run_start = x;
        for (int n = 0; n < spaces; ++n) put(' ');
        run_start = x;
        break;
      }
      case 10:  // LF
        new_line(auto_return);
        run_start = x;
        break;
      case 13:  // CR
        x = 0;
        run_start = x;
        break;
      case 0:  // NUL shows as a space, a run of its own
        run_start = x;
        put(' ');
        run_start = x;
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          // Another control character shows as its glyph, also a run of its own.
          run_start = x;
          put(byte);
          run_start = x;
        } else {
          put(byte);
        }
        break;
    }
  }
  buffer.cursor = Coord{static_cast<Short>(x), static_cast<Short>(y)};
  MarkCells(buffer, static_cast<Short>(std::max(min_row, 0)), static_cast<Short>(max_row));
  MarkCursor(buffer);

  // The window follows the cursor by the least movement when the cursor was in view before, unless
  // the cursor is hidden.
  if (cursor_was_in_view && buffer.cursor_visible) ShowCursorInWindow(buffer);
}

void EmulatedConsole::ShowCursorInWindow(Buffer& buffer) {
  // Shift the window by the least amount that shows the cursor, keeping its size and staying inside
  // the buffer.
  SmallRect& w = buffer.window;
  const int width = w.Right - w.Left + 1;
  const int height = w.Bottom - w.Top + 1;
  const int x = buffer.cursor.X;
  const int y = buffer.cursor.Y;
  int left = w.Left;
  int top = w.Top;
  if (x < left) left = x;
  if (x > left + width - 1) left = x - width + 1;
  if (y < top) top = y;
  if (y > top + height - 1) top = y - height + 1;
  left = std::clamp(left, 0, std::max(0, buffer.size.X - width));
  top = std::clamp(top, 0, std::max(0, buffer.size.Y - height));
  if (left == w.Left && top == w.Top) return;
  w = SmallRect{static_cast<Short>(left), static_cast<Short>(top), static_cast<Short>(left + width - 1),
                static_cast<Short>(top + height - 1)};
  MarkWindowMoved(buffer);
}

Bool EmulatedConsole::WriteConsoleA(Handle hConsoleOutput, const void* lpBuffer, Dword nNumberOfCharsToWrite,
                                    Dword* lpNumberOfCharsWritten) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::WriteConsoleA)) return 0;
  Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (nNumberOfCharsToWrite > 0 && !lpBuffer) return Fail(kErrorInvalidAccess);
  if (nNumberOfCharsToWrite > 0) {
    WriteBytes(*buffer, static_cast<const unsigned char*>(lpBuffer), nNumberOfCharsToWrite);
  }
  if (lpNumberOfCharsWritten) *lpNumberOfCharsWritten = nNumberOfCharsToWrite;
  return 1;
}

Bool EmulatedConsole::SetConsoleTextAttribute(Handle hConsoleOutput, Word wAttributes) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::SetConsoleTextAttribute)) return 0;
  Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (wAttributes & kRefusedTextAttributeBits) return Fail(kErrorInvalidParameter);
  buffer->attributes = wAttributes;
  return 1;
}

Bool EmulatedConsole::SetConsoleCursorPosition(Handle hConsoleOutput, Coord pos) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::SetConsoleCursorPosition)) return 0;
  Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (pos.X < 0 || pos.Y < 0 || pos.X >= buffer->size.X || pos.Y >= buffer->size.Y) {
    return Fail(kErrorInvalidParameter);
  }
  buffer->cursor = pos;
  MarkCursor(*buffer);
  ShowCursorInWindow(*buffer);
  return 1;
}

Bool EmulatedConsole::GetConsoleCursorInfo(Handle hConsoleOutput, CursorInfo* info) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::GetConsoleCursorInfo)) return 0;
  const Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  // The real console asks for write access here, although the call only reads.
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (!info) return Fail(kErrorInvalidAccess);
  info->dwSize = buffer->cursor_size;
  info->bVisible = buffer->cursor_visible ? 1 : 0;
  return 1;
}

Bool EmulatedConsole::SetConsoleCursorInfo(Handle hConsoleOutput, const CursorInfo* info) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::SetConsoleCursorInfo)) return 0;
  Buffer* buffer = OutputBuffer(hConsoleOutput);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleOutput, kGenericWrite)) return Fail(kErrorAccessDenied);
  if (!info) return Fail(kErrorInvalidAccess);
  // A size of 0 or above 100 is refused and changes nothing, visibility included.
  if (info->dwSize == 0 || info->dwSize > 100) return Fail(kErrorInvalidParameter);
  buffer->cursor_size = info->dwSize;
  buffer->cursor_visible = info->bVisible != 0;
  MarkCursor(*buffer);
  return 1;
}

Bool EmulatedConsole::GetConsoleMode(Handle hConsoleHandle, Dword* lpMode) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::GetConsoleMode)) return 0;
  if (!lpMode) return Fail(kErrorInvalidAccess);
  if (IsInputHandle(hConsoleHandle)) {
    *lpMode = state_->input_mode;
    return 1;
  }
  const Buffer* buffer = OutputBuffer(hConsoleHandle);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleHandle, kGenericRead)) return Fail(kErrorAccessDenied);
  *lpMode = buffer->mode;
  return 1;
}

Bool EmulatedConsole::SetConsoleMode(Handle hConsoleHandle, Dword dwMode) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::SetConsoleMode)) return 0;
  if (IsInputHandle(hConsoleHandle)) {
    // The input mode is stored before it is checked, as the real console does. A mode with any of the
    // private bits reads back with the extended-flags bit as well.
    state_->input_mode = (dwMode & kPrivateInputModes) ? (dwMode | kEnableExtendedFlags) : dwMode;
    if ((dwMode & ~kValidInputModes) != 0) return Fail(kErrorInvalidParameter);
    if ((dwMode & kEnableEchoInput) && !(dwMode & kEnableLineInput)) return Fail(kErrorInvalidParameter);
    return 1;
  }
  Buffer* buffer = OutputBuffer(hConsoleHandle);
  if (!buffer) return Fail(kErrorInvalidHandle);
  if (!HasAccess(hConsoleHandle, kGenericWrite)) return Fail(kErrorAccessDenied);
  if ((dwMode & ~kValidOutputModes) != 0) return Fail(kErrorInvalidParameter);
  buffer->mode = dwMode;
  return 1;
}

Dword EmulatedConsole::GetConsoleTitleA(char* lpConsoleTitle, Dword nSize) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::GetConsoleTitleA)) return 0;
  if (!state_->allocated) {
    Fail(kErrorInvalidHandle);
    return 0;
  }
  if (!lpConsoleTitle || nSize == 0) return 0;
  const std::string& title = state_->title;
  if (title.empty()) {
    lpConsoleTitle[0] = '\0';
    return 0;
  }
  // A title longer than the buffer is cut to fit, without a terminator when the buffer is full.
  size_t copied = std::min<size_t>(title.size(), nSize);
  std::memcpy(lpConsoleTitle, title.data(), copied);
  if (copied < nSize) lpConsoleTitle[copied] = '\0';
  return static_cast<Dword>(copied);
}

Bool EmulatedConsole::SetConsoleTitleA(const char* lpConsoleTitle) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::SetConsoleTitleA)) return 0;
  if (!state_->allocated) return Fail(kErrorInvalidHandle);
  if (!lpConsoleTitle) return Fail(kErrorInvalidAccess);
  size_t length = std::strlen(lpConsoleTitle);
  if (length > kMaxTitleBytes) return Fail(kErrorInvalidParameter);
  state_->title.assign(lpConsoleTitle, length);
  Track().title = true;
  return 1;
}

// --- keyboard input ---

bool EmulatedConsole::WaitForInput(std::unique_lock<std::mutex>& lock) {
  auto& s = *state_;
  if (s.input.empty() && !s.input_ended && s.presenter && s.changes.Any()) {
    // Show what was drawn before the caller waits for a key.
    s.presenter(s.changes, MakeView());
    s.changes.Clear();
  }
  input_ready_.wait(lock, [&] { return !s.input.empty() || s.input_ended || !s.allocated; });
  if (!s.input.empty()) return true;
  if (!s.allocated) return Fail(kErrorInvalidHandle);
  return Fail(kErrorHandleEof);
}

Bool EmulatedConsole::ReadConsoleInputA(Handle hConsoleInput, InputRecord* lpBuffer, Dword nLength,
                                        Dword* lpNumberOfEventsRead) {
  std::unique_lock lock(mutex_);
  if (!Enter(Op::ReadConsoleInputA)) return 0;
  if (!IsInputHandle(hConsoleInput)) return Fail(kErrorInvalidHandle);
  if (!lpBuffer || !lpNumberOfEventsRead) return Fail(kErrorInvalidAccess);
  if (nLength == 0) {
    *lpNumberOfEventsRead = 0;
    return 1;
  }
  if (!WaitForInput(lock)) {
    *lpNumberOfEventsRead = 0;
    return 0;
  }
  auto& queue = state_->input;
  Dword n = std::min<Dword>(nLength, static_cast<Dword>(queue.size()));
  for (Dword i = 0; i < n; ++i) {
    InputRecord record = queue.front();
    queue.pop_front();
    record.KeyEvent.uChar &= 0xFF;
    lpBuffer[i] = record;
  }
  *lpNumberOfEventsRead = n;
  return 1;
}

namespace {

bool ProducesCharacter(const InputRecord& r) {
  if (r.EventType != kKeyEvent || !r.KeyEvent.bKeyDown) return false;
  if ((r.KeyEvent.uChar & 0xFF) != 0) return true;
  // The key that types NUL (Ctrl+Space, Ctrl+@) yields a 0 byte; other keys without a character none.
  const Dword state = r.KeyEvent.dwControlKeyState;
  const Word vk = r.KeyEvent.wVirtualKeyCode;
  return (vk == kVkSpace || vk == '2') && (state & (kLeftCtrlPressed | kRightCtrlPressed)) &&
         !(state & (kLeftAltPressed | kRightAltPressed));
}

// A key from the keyboard on its way into the queue. With processed input a Ctrl+C key-down is a
// signal, not a key; Ctrl+Break empties the queue; Ctrl+Esc and Alt+Esc belong to the system. The
// key-ups of all of them are queued as usual.
void QueueFromKeyboard(std::deque<InputRecord>& queue, const std::vector<InputRecord>& records,
                       Dword input_mode) {
  constexpr Word kVkCancel = 0x03;
  for (const InputRecord& r : records) {
    const Dword state = r.KeyEvent.dwControlKeyState;
    const Word vk = r.KeyEvent.wVirtualKeyCode;
    const bool ctrl = state & (kLeftCtrlPressed | kRightCtrlPressed);
    const bool alt = state & (kLeftAltPressed | kRightAltPressed);
    if (r.EventType == kKeyEvent && r.KeyEvent.bKeyDown) {
      if (ctrl && !alt) {
        if (vk == 'C' && (input_mode & kEnableProcessedInput)) continue;
        if (vk == kVkCancel) {
          queue.clear();
          continue;
        }
        if (vk == kVkEscape) continue;
      } else if (alt && vk == kVkEscape) {
        continue;
      }
    }
    queue.push_back(r);
  }
}

}  // namespace

Bool EmulatedConsole::ReadConsoleA(Handle hConsoleInput, void* lpBuffer, Dword nNumberOfCharsToRead,
                                   Dword* lpNumberOfCharsRead) {
  std::unique_lock lock(mutex_);
  if (!Enter(Op::ReadConsoleA)) return 0;
  if (!IsInputHandle(hConsoleInput)) return Fail(kErrorInvalidHandle);
  if (!lpBuffer || !lpNumberOfCharsRead) return Fail(kErrorInvalidAccess);
  auto* out = static_cast<unsigned char*>(lpBuffer);
  auto& queue = state_->input;
  Dword got = 0;
  const bool line_mode = state_->input_mode & kEnableLineInput;
  if (nNumberOfCharsToRead == 0) {
    *lpNumberOfCharsRead = 0;
    return 1;
  }
  // The rest of an earlier line comes first, and alone, in either mode.
  if (std::string& pending = state_->pending_line; !pending.empty()) {
    Dword n = std::min<Dword>(nNumberOfCharsToRead, static_cast<Dword>(pending.size()));
    std::memcpy(out, pending.data(), n);
    pending.erase(0, n);
    *lpNumberOfCharsRead = n;
    return 1;
  }
  if (!line_mode) {
    // Raw: wait for one character, then take every character already queued that fits. Key-ups,
    // other events and keys without a character are consumed silently. Escape and LF are delivered.
    while (got == 0) {
      if (!WaitForInput(lock)) {
        *lpNumberOfCharsRead = 0;
        return 0;
      }
      while (!queue.empty() && got < nNumberOfCharsToRead) {
        InputRecord& r = queue.front();
        if (!ProducesCharacter(r)) {
          queue.pop_front();
          continue;
        }
        auto ch = static_cast<unsigned char>(r.KeyEvent.uChar & 0xFF);
        Word repeat = std::max<Word>(r.KeyEvent.wRepeatCount, 1);
        Dword take = std::min<Dword>(repeat, nNumberOfCharsToRead - got);
        for (Dword i = 0; i < take; ++i) out[got++] = ch;
        if (take < repeat) {
          r.KeyEvent.wRepeatCount = static_cast<Word>(repeat - take);
        } else {
          queue.pop_front();
        }
      }
    }
    *lpNumberOfCharsRead = got;
    return 1;
  }
  // Line mode: collect a line up to Enter, with Backspace editing and optional echo.
  std::string line;
  const bool echo = state_->input_mode & kEnableEchoInput;
  for (;;) {
    if (!WaitForInput(lock)) {
      *lpNumberOfCharsRead = 0;
      return 0;
    }
    // The active buffer may have changed, or gone, while the read waited.
    Buffer* echo_buffer = state_->active.get();
    InputRecord r = queue.front();
    queue.pop_front();
    if (!ProducesCharacter(r)) continue;
    auto ch = static_cast<unsigned char>(r.KeyEvent.uChar & 0xFF);
    if (ch == '\r') {
      line += "\r\n";
      if (echo && echo_buffer) WriteBytes(*echo_buffer, reinterpret_cast<const unsigned char*>("\r\n"), 2);
      break;
    }
    if (ch == 8) {
      if (!line.empty()) {
        line.pop_back();
        if (echo && echo_buffer) WriteBytes(*echo_buffer, reinterpret_cast<const unsigned char*>("\b \b"), 3);
      }
      continue;
    }
    line += static_cast<char>(ch);
    if (echo && echo_buffer) WriteBytes(*echo_buffer, &ch, 1);
  }
  // What does not fit is returned by the next reads, without being echoed or edited again.
  Dword n = std::min<Dword>(nNumberOfCharsToRead, static_cast<Dword>(line.size()));
  std::memcpy(out, line.data(), n);
  state_->pending_line = line.substr(n);
  *lpNumberOfCharsRead = n;
  return 1;
}

Bool EmulatedConsole::GetNumberOfConsoleInputEvents(Handle hConsoleInput, Dword* lpNumberOfEvents) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::GetNumberOfConsoleInputEvents)) return 0;
  if (!IsInputHandle(hConsoleInput)) return Fail(kErrorInvalidHandle);
  if (!lpNumberOfEvents) return Fail(kErrorInvalidAccess);
  *lpNumberOfEvents = static_cast<Dword>(state_->input.size());
  return 1;
}

Bool EmulatedConsole::FlushConsoleInputBuffer(Handle hConsoleInput) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::FlushConsoleInputBuffer)) return 0;
  if (!IsInputHandle(hConsoleInput)) return Fail(kErrorInvalidHandle);
  state_->input.clear();
  return 1;
}

// --- the rest of the system ---

Dword EmulatedConsole::GetSystemDirectoryA(char* lpBuffer, Dword uSize) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::GetSystemDirectoryA)) return 0;
  const std::string& dir = state_->system_directory;
  // As the real call: the length without the terminator when it fits, else the size needed.
  if (!lpBuffer || uSize <= dir.size()) return static_cast<Dword>(dir.size() + 1);
  std::memcpy(lpBuffer, dir.data(), dir.size());
  lpBuffer[dir.size()] = '\0';
  return static_cast<Dword>(dir.size());
}

SystemTime EmulatedConsole::GetLocalTime() {
  std::lock_guard lock(mutex_);
  Enter(Op::GetLocalTime);
  if (state_->fixed_time) return *state_->fixed_time;
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  SystemTime st;
  st.wYear = static_cast<Word>(tm.tm_year + 1900);
  st.wMonth = static_cast<Word>(tm.tm_mon + 1);
  st.wDayOfWeek = static_cast<Word>(tm.tm_wday);
  st.wDay = static_cast<Word>(tm.tm_mday);
  st.wHour = static_cast<Word>(tm.tm_hour);
  st.wMinute = static_cast<Word>(tm.tm_min);
  st.wSecond = static_cast<Word>(tm.tm_sec);
  st.wMilliseconds = static_cast<Word>(ms);
  return st;
}

Bool EmulatedConsole::AppActivate(const std::string& title) {
  std::lock_guard lock(mutex_);
  if (!Enter(Op::AppActivate)) return 0;
  // The console's own window is the only window here: it matches when its title equals the text or
  // begins with it.
  if (!state_->allocated || title.empty()) return Fail(kErrorInvalidParameter);
  if (state_->title == title || state_->title.starts_with(title)) return 1;
  return Fail(kErrorInvalidParameter);
}

void EmulatedConsole::SendKeys(const std::string& keys, bool wait) {
  (void)wait;  // keys are processed before this returns either way
  std::lock_guard lock(mutex_);
  if (!Enter(Op::SendKeys)) return;
  if (!state_->allocated) return;
  for (const KeyStroke& stroke : ParseSendKeys(keys)) {
    if (stroke.virtual_key == kVkReturn && (stroke.control_state & kLeftAltPressed)) {
      // Alt+Enter is the console's own switch between a window and full screen, not input.
      state_->full_screen = !state_->full_screen;
      Track().display_mode = true;
      continue;
    }
    QueueFromKeyboard(state_->input, KeystrokeRecords(stroke), state_->input_mode);
  }
  input_ready_.notify_all();
}

Dword EmulatedConsole::GetLastError() { return t_last_error; }

ConsoleView EmulatedConsole::MakeView() const {
  ConsoleView view;
  const auto& s = *state_;
  view.title = s.title;
  view.full_screen = s.full_screen;
  if (!s.active) return view;
  const Buffer& b = *s.active;
  view.size = Coord{b.WindowWidth(), b.WindowHeight()};
  view.cells.reserve(static_cast<size_t>(view.size.X) * view.size.Y);
  for (int y = b.window.Top; y <= b.window.Bottom; ++y) {
    for (int x = b.window.Left; x <= b.window.Right; ++x) view.cells.push_back(b.At(x, y));
  }
  view.cursor =
      Coord{static_cast<Short>(b.cursor.X - b.window.Left), static_cast<Short>(b.cursor.Y - b.window.Top)};
  view.cursor_size = b.cursor_size;
  view.cursor_visible = b.cursor_visible;
  return view;
}

void EmulatedConsole::EndOfCall() {
  // Every public call of the library ends here, so when nothing changed this takes no lock.
  calls_[static_cast<size_t>(Op::EndOfCall)].fetch_add(1, std::memory_order_relaxed);
  if (!changes_pending_.exchange(false, std::memory_order_acq_rel)) return;
  std::lock_guard lock(mutex_);
  auto& s = *state_;
  if (!s.changes.Any()) return;
  if (s.presenter) s.presenter(s.changes, MakeView());
  s.changes.Clear();
}

// --- configuration and test controls ---

void EmulatedConsole::SetConsoleSize(Short columns, Short rows) {
  std::lock_guard lock(mutex_);
  state_->console_size = Coord{std::max<Short>(columns, 1), std::max<Short>(rows, 1)};
}

void EmulatedConsole::SetConsoleSizeProvider(std::function<Coord()> provider) {
  std::lock_guard lock(mutex_);
  state_->size_provider = std::move(provider);
}

void EmulatedConsole::SetSystemDirectory(std::string directory) {
  std::lock_guard lock(mutex_);
  state_->system_directory = std::move(directory);
}

void EmulatedConsole::SetLocalTime(std::optional<SystemTime> time) {
  std::lock_guard lock(mutex_);
  state_->fixed_time = time;
}

void EmulatedConsole::SetPresenter(Presenter presenter) {
  std::lock_guard lock(mutex_);
  state_->presenter = std::move(presenter);
}

bool EmulatedConsole::SetBufferGeometry(Handle handle, Coord size, SmallRect window) {
  std::lock_guard lock(mutex_);
  Buffer* buffer = OutputBuffer(handle);
  if (!buffer || size.X < 1 || size.Y < 1) return false;
  if (window.Left < 0 || window.Top < 0 || window.Left > window.Right || window.Top > window.Bottom ||
      window.Right >= size.X || window.Bottom >= size.Y) {
    return false;
  }
  std::vector<CharInfo> cells(static_cast<size_t>(size.X) * size.Y, CharInfo{' ', buffer->attributes});
  for (int y = 0; y < std::min<int>(size.Y, buffer->size.Y); ++y) {
    for (int x = 0; x < std::min<int>(size.X, buffer->size.X); ++x) {
      cells[static_cast<size_t>(y) * size.X + x] = buffer->At(x, y);
    }
  }
  const bool resized = size != buffer->size;
  buffer->cells = std::move(cells);
  buffer->size = size;
  buffer->window = window;
  buffer->cursor.X = std::min<Short>(buffer->cursor.X, static_cast<Short>(size.X - 1));
  buffer->cursor.Y = std::min<Short>(buffer->cursor.Y, static_cast<Short>(size.Y - 1));
  MarkWindowMoved(*buffer);
  // With window input on, a new size of the active buffer reaches the input queue as an event.
  if (resized && buffer == state_->active.get() && (state_->input_mode & kEnableWindowInput)) {
    InputRecord event;
    event.EventType = kWindowBufferSizeEvent;
    state_->input.push_back(event);
    input_ready_.notify_all();
  }
  return true;
}

bool EmulatedConsole::SetNewBufferGeometry(std::optional<Coord> size, std::optional<SmallRect> window) {
  // Checked here, so that every buffer created later has its window inside it.
  if (size && (size->X < 1 || size->Y < 1)) return false;
  if (window && (!size || window->Left < 0 || window->Top < 0 || window->Left > window->Right ||
                 window->Top > window->Bottom || window->Right >= size->X || window->Bottom >= size->Y)) {
    return false;
  }
  std::lock_guard lock(mutex_);
  state_->new_buffer_size = size;
  state_->new_buffer_window = window;
  return true;
}

void EmulatedConsole::FailCall(Op op, int nth, Dword last_error, bool every) {
  std::lock_guard lock(mutex_);
  state_->failures[static_cast<size_t>(op)].push_back(
      State::Failure{std::max(nth, 1) - 1, last_error, every});
}

void EmulatedConsole::ClearFailures() {
  std::lock_guard lock(mutex_);
  for (auto& list : state_->failures) list.clear();
}

int EmulatedConsole::CallCount(Op op) const {
  std::lock_guard lock(mutex_);
  return calls_[static_cast<size_t>(op)].load(std::memory_order_relaxed);
}

void EmulatedConsole::ResetCallCounts() {
  std::lock_guard lock(mutex_);
  for (auto& count : calls_) count.store(0, std::memory_order_relaxed);
}

bool EmulatedConsole::IsAllocated() const {
  std::lock_guard lock(mutex_);
  return state_->allocated;
}

Handle EmulatedConsole::ActiveBufferHandle() const {
  std::lock_guard lock(mutex_);
  for (const auto& [handle, entry] : state_->handles) {
    if (!entry.input && entry.buffer == state_->active) return handle;
  }
  return 0;
}

std::vector<CharInfo> EmulatedConsole::ReadCells(Handle handle) const {
  std::lock_guard lock(mutex_);
  const Buffer* buffer = OutputBuffer(handle);
  return buffer ? buffer->cells : std::vector<CharInfo>{};
}

std::optional<ScreenBufferInfo> EmulatedConsole::BufferInfo(Handle handle) const {
  std::lock_guard lock(mutex_);
  const Buffer* buffer = OutputBuffer(handle);
  if (!buffer) return std::nullopt;
  return ScreenBufferInfo{buffer->size, buffer->cursor, buffer->attributes, buffer->window,
                          LargestWindow(buffer->size, buffer->window, state_->display_size)};
}

std::optional<CursorInfo> EmulatedConsole::BufferCursorInfo(Handle handle) const {
  std::lock_guard lock(mutex_);
  const Buffer* buffer = OutputBuffer(handle);
  if (!buffer) return std::nullopt;
  return CursorInfo{buffer->cursor_size, buffer->cursor_visible ? 1 : 0};
}

std::string EmulatedConsole::Title() const {
  std::lock_guard lock(mutex_);
  return state_->title;
}

bool EmulatedConsole::FullScreen() const {
  std::lock_guard lock(mutex_);
  return state_->full_screen;
}

void EmulatedConsole::QueueInput(const std::vector<InputRecord>& records) {
  {
    std::lock_guard lock(mutex_);
    auto& queue = state_->input;
    // As in the real input buffer, a single key-down written like the last one queued (same scan
    // code, character and state) adds to its repeat count; records written together never merge.
    if (records.size() == 1 && !queue.empty()) {
      const KeyEventRecord& in = records[0].KeyEvent;
      KeyEventRecord& last = queue.back().KeyEvent;
      if (records[0].EventType == kKeyEvent && queue.back().EventType == kKeyEvent && in.bKeyDown &&
          last.bKeyDown && in.wVirtualScanCode == last.wVirtualScanCode && in.uChar == last.uChar &&
          in.dwControlKeyState == last.dwControlKeyState) {
        last.wRepeatCount = static_cast<Word>(last.wRepeatCount + in.wRepeatCount);
        input_ready_.notify_all();
        return;
      }
    }
    queue.insert(queue.end(), records.begin(), records.end());
  }
  input_ready_.notify_all();
}

void EmulatedConsole::QueueKeystroke(Word virtual_key, Word character, Dword control_state) {
  {
    std::lock_guard lock(mutex_);
    QueueFromKeyboard(state_->input, KeystrokeRecords(KeyStroke{virtual_key, character, control_state}),
                      state_->input_mode);
  }
  input_ready_.notify_all();
}

void EmulatedConsole::QueueText(const std::string& cp437_bytes) {
  {
    std::lock_guard lock(mutex_);
    for (char c : cp437_bytes) {
      QueueFromKeyboard(state_->input, KeystrokeRecords(KeyStrokeForCharacter(static_cast<unsigned char>(c))),
                        state_->input_mode);
    }
  }
  input_ready_.notify_all();
}

void EmulatedConsole::EndInput() {
  {
    std::lock_guard lock(mutex_);
    state_->input_ended = true;
  }
  input_ready_.notify_all();
}

size_t EmulatedConsole::PendingInput() const {
  std::lock_guard lock(mutex_);
  return state_->input.size();
}

ConsoleChanges EmulatedConsole::PeekChanges() const {
  std::lock_guard lock(mutex_);
  return state_->changes;
}

ConsoleView EmulatedConsole::View() const {
  std::lock_guard lock(mutex_);
  return MakeView();
}

}  // namespace kelvane::platform
