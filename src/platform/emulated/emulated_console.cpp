// The console operations: each opens with the shared step (lock, count, injected failure, handle) and
// then does its own part on the buffers, the input queue and the frame of changes.
#include "platform/emulated/emulated_console.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "platform/emulated/cell_runs.hpp"
#include "platform/emulated/console_state.hpp"
#include "platform/emulated/text_writer.hpp"
#include "platform/keyboard.hpp"

namespace kelvane::platform {

using emulated::Fail;
using emulated::ScreenBuffer;

namespace {

thread_local Dword t_last_error = 0;

constexpr Word kRefusedTextAttributeBits = 0x2000;
constexpr Dword kValidOutputModes = 0x1F;
constexpr Dword kValidInputModes = 0x3FF;
constexpr Dword kPrivateInputModes =
    kEnableInsertMode | kEnableQuickEditMode | kEnableExtendedFlags | kEnableAutoPosition;
constexpr size_t kMaxTitleBytes = 65535;
// A read of more characters than this is refused at once, as the console refuses a buffer it cannot
// take (a negative length passed through a signed type lands here).
constexpr Dword kMaxReadLength = 0x7FFFFFFF;

// The rows of rectangle `r` from `from` to `to` (each the rectangle's first cell, rows `*_stride` cells
// apart), every cell masked by `keep`. Rows that follow each other in both (a rectangle as wide as the
// buffer and the array) are one run.
void TransferRows(CharInfo* to, size_t to_stride, const CharInfo* from, size_t from_stride,
                  const SmallRect& r, std::uint32_t keep) {
  const auto width = static_cast<size_t>(emulated::Width(r));
  const auto rows = static_cast<size_t>(emulated::Height(r));
  if (width == to_stride && width == from_stride)
    return emulated::TransformCells(to, from, width * rows, keep, 0);
  for (size_t row = 0; row < rows; ++row)
    emulated::TransformCells(to + row * to_stride, from + row * from_stride, width, keep, 0);
}

}  // namespace

void emulated::SetLastError(Dword error) { t_last_error = error; }

EmulatedConsole::EmulatedConsole() : state_(std::make_unique<emulated::ConsoleState>()) {}
EmulatedConsole::~EmulatedConsole() = default;

// --- the opening step, handles and change tracking ---

EmulatedConsole::Opened EmulatedConsole::Open(Op op, Needs needs, Handle handle) {
  Opened call{std::unique_lock(mutex_)};
  calls_[static_cast<size_t>(op)].fetch_add(1, std::memory_order_relaxed);
  if (auto error = state_->faults.Due(op)) {
    Fail(*error);
  } else if (needs == Needs::Console && !state_->allocated) {
    Fail(kErrorInvalidHandle);
  } else if (needs == Needs::Input && !state_->IsInput(handle)) {
    Fail(kErrorInvalidHandle);
  } else if (needs == Needs::Read || needs == Needs::Write) {
    call.buffer = Output(handle, needs == Needs::Read ? kGenericRead : kGenericWrite);
    call.ok = call.buffer != nullptr;
  } else {
    call.ok = true;
  }
  return call;
}

ScreenBuffer* EmulatedConsole::Output(Handle handle, Dword access) {
  const emulated::HandleEntry* entry = state_->Find(handle);
  if (!entry || entry->input || !entry->buffer) return Fail(kErrorInvalidHandle), nullptr;
  if ((entry->access & access) != access) return Fail(kErrorAccessDenied), nullptr;
  return entry->buffer.get();
}

emulated::FrameTracker& EmulatedConsole::Track() {
  // Set under the lock with the change itself, so EndOfCall never misses one (see there).
  changes_pending_.store(true, std::memory_order_release);
  return state_->changes;
}

emulated::FrameTracker* EmulatedConsole::TrackIfShown(const ScreenBuffer& buffer) {
  return state_->active.get() == &buffer ? &Track() : nullptr;
}

void EmulatedConsole::MarkCells(const ScreenBuffer& buffer, int left, int top, int right, int bottom) {
  if (auto* shown = TrackIfShown(buffer)) shown->MarkCells(buffer, left, top, right, bottom);
}

void EmulatedConsole::MarkRun(const ScreenBuffer& buffer, size_t first, Dword count) {
  if (count == 0) return;
  const int width = buffer.size.X;
  const size_t last = first + count - 1;
  const int top = static_cast<int>(first / width), bottom = static_cast<int>(last / width);
  const int left = static_cast<int>(first % width), right = static_cast<int>(last % width);
  if (top == bottom) return MarkCells(buffer, left, top, right, top);
  // The rest of the first row, the rows between, the start of the last.
  MarkCells(buffer, left, top, width - 1, top);
  if (bottom > top + 1) MarkCells(buffer, 0, top + 1, width - 1, bottom - 1);
  MarkCells(buffer, 0, bottom, right, bottom);
}

void EmulatedConsole::MarkRepaintIfShown(const ScreenBuffer& buffer) {
  if (auto* shown = TrackIfShown(buffer)) shown->MarkRepaint();
}

void EmulatedConsole::MarkCursorIfShown(const ScreenBuffer& buffer) {
  if (auto* shown = TrackIfShown(buffer)) shown->MarkCursor();
}

Handle EmulatedConsole::NewHandle(bool input, std::shared_ptr<ScreenBuffer> buffer, Dword access) {
  Handle handle = state_->next_handle;
  state_->next_handle += 4;
  if (buffer) ++buffer->open_handles;
  state_->handles.emplace(state_->HandleSlot(handle), handle,
                          emulated::HandleEntry{input, std::move(buffer), access});
  return handle;
}

void EmulatedConsole::ReleaseBufferIfUnused(const std::shared_ptr<ScreenBuffer>& buffer) {
  if (!buffer || buffer->open_handles > 0) return;
  auto& s = *state_;
  std::erase(s.buffers, buffer);
  if (s.active == buffer) {
    // The real console falls back on the most recently created buffer that is still open, through its
    // ordinary activation, which also drops the queued events that are not key events.
    s.active = s.buffers.empty() ? nullptr : s.buffers.back();
    if (s.active) s.input.DropNonKeyEvents();
    Track().MarkRepaint();
    Track().MarkCursor();
  }
}

// --- presenting ---

void EmulatedConsole::Present() noexcept {
  // Frames are taken and shown under present_mutex_, which is taken before the console's lock, so two
  // threads never show their frames out of order; the console stays usable while a frame is drawn.
  std::lock_guard presenting(present_mutex_);
  // A presenter that lost its screen while showing a frame asks for the whole window at once; once is
  // enough, so a presenter that keeps asking cannot hold the caller here.
  for (int round = 0; round < 2; ++round) {
    std::unique_lock lock(mutex_);
    auto& s = *state_;
    if (repaint_requested_.exchange(false, std::memory_order_acq_rel) && s.allocated) s.changes.MarkRepaint();
    if (!s.changes.Any()) return;
    Presenter* presenter = s.presenter;
    ConsoleFrame& frame = frame_;
    try {
      if (presenter) s.FillFrame(frame);
    } catch (...) {
      // No memory for the frame: the changes wait for the next one, shown whole.
      s.changes.MarkRepaint();
      return;
    }
    s.changes.Clear();
    lock.unlock();
    if (presenter) presenter->Present(frame);
  }
}

void EmulatedConsole::RequestRepaint() noexcept {
  repaint_requested_.store(true, std::memory_order_release);
  changes_pending_.store(true, std::memory_order_release);
}

void EmulatedConsole::EndOfCall() noexcept {
  // Every public call of the library ends here, so when nothing changed this takes no lock.
  calls_[static_cast<size_t>(Op::EndOfCall)].fetch_add(1, std::memory_order_relaxed);
  if (!changes_pending_.exchange(false, std::memory_order_acq_rel)) return;
  Present();
}

// --- the console's life ---

Bool EmulatedConsole::AllocConsole() {
  auto call = Open(Op::AllocConsole);
  if (!call) return 0;
  auto& s = *state_;
  if (s.allocated) return Fail(kErrorAccessDenied);
  std::optional<Coord> provided = s.size_provider ? s.size_provider() : s.console_size;
  if (!provided) return Fail(kErrorInvalidHandle);
  Coord size = *provided;
  size.X = std::max<Short>(size.X, 1);
  size.Y = std::max<Short>(size.Y, 1);
  s.allocated = true;
  s.display_size = size;
  s.input.Reset();
  s.title = "KelvaneConsole";
  s.full_screen = false;
  s.in_front = true;  // a new console window opens in front
  auto buffer = std::make_shared<ScreenBuffer>(
      size, SmallRect{0, 0, static_cast<Short>(size.X - 1), static_cast<Short>(size.Y - 1)}, Word{0x07});
  s.buffers.push_back(buffer);
  s.active = buffer;
  constexpr Dword kAll = kGenericRead | kGenericWrite;
  s.std_handles[0] = NewHandle(true, nullptr, kAll);
  s.std_handles[1] = NewHandle(false, buffer, kAll);
  s.std_handles[2] = NewHandle(false, buffer, kAll);
  s.changes = emulated::FrameTracker{};
  Track().MarkRepaint();
  Track().MarkTitle();
  Track().MarkInputMode();
  return 1;
}

bool EmulatedConsole::ResizeConsole(Coord size) {
  std::lock_guard lock(mutex_);
  auto& s = *state_;
  if (!s.allocated || size.X < 1 || size.Y < 1) return false;
  s.display_size = size;
  for (const auto& buffer : s.buffers) {
    buffer->Resize(size, SmallRect{0, 0, static_cast<Short>(size.X - 1), static_cast<Short>(size.Y - 1)});
  }
  Track().MarkRepaint();
  Track().MarkCursor();
  if (s.input.mode & kEnableWindowInput) {
    InputRecord event;
    event.EventType = kWindowBufferSizeEvent;
    s.input.Write({event});
    input_ready_.notify_all();
  }
  return true;
}

Bool EmulatedConsole::FreeConsole() {
  auto call = Open(Op::FreeConsole);
  if (!call) return 0;
  auto& s = *state_;
  if (s.allocated) {
    // Every handle of the console dies with it; the standard handle table keeps its (now dead) values.
    s.handles.clear();
    s.buffers.clear();
    s.active.reset();
    s.input.Reset();
    s.title.clear();
    s.full_screen = false;
    s.allocated = false;
    s.changes = emulated::FrameTracker{};
    Track().MarkRepaint();
  }
  input_ready_.notify_all();
  // A read asking the key source for a key is woken too, and finds the console gone.
  KeySource* source = state_->asking_key_source ? state_->key_source : nullptr;
  call.lock.unlock();
  if (source) source->Wake();
  return 1;
}

Handle EmulatedConsole::GetStdHandle(Dword nStdHandle) {
  auto call = Open(Op::GetStdHandle);
  if (!call) return kInvalidHandle;
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
  auto call = Open(Op::CloseHandle);
  if (!call) return 0;
  auto it = state_->HandleSlot(handle);
  if (it == state_->handles.end() || it->first != handle) return Fail(kErrorInvalidHandle);
  auto buffer = it->second.buffer;
  state_->handles.erase(it);
  if (buffer) {
    --buffer->open_handles;
    ReleaseBufferIfUnused(buffer);
  }
  return 1;
}

// --- screen buffers ---

Handle EmulatedConsole::CreateConsoleScreenBuffer(Dword dwDesiredAccess, Dword dwShareMode, Dword dwFlags) {
  (void)dwShareMode;
  auto call = Open(Op::CreateConsoleScreenBuffer, Needs::Console);
  if (!call) return kInvalidHandle;
  auto& s = *state_;
  if (dwFlags != kConsoleTextmodeBuffer) {
    Fail(kErrorInvalidParameter);
    return kInvalidHandle;
  }
  // A new buffer is as large as the active buffer's window, and takes its text attribute.
  Coord shown = s.display_size;
  Word attributes = 0x07;
  if (s.active) {
    shown = Coord{static_cast<Short>(s.active->WindowWidth()), static_cast<Short>(s.active->WindowHeight())};
    attributes = s.active->attributes;
  }
  Coord size = s.new_buffer_size.value_or(shown);
  Coord window_size{std::min(shown.X, size.X), std::min(shown.Y, size.Y)};
  SmallRect window = s.new_buffer_window.value_or(
      SmallRect{0, 0, static_cast<Short>(window_size.X - 1), static_cast<Short>(window_size.Y - 1)});
  auto buffer = std::make_shared<ScreenBuffer>(size, window, attributes);
  s.buffers.push_back(buffer);
  return NewHandle(false, buffer, dwDesiredAccess & (kGenericRead | kGenericWrite));
}

Bool EmulatedConsole::SetConsoleActiveScreenBuffer(Handle hConsoleOutput) {
  // Windows refuses a handle without write access as if it were no screen buffer at all.
  auto call = Open(Op::SetConsoleActiveScreenBuffer);
  if (!call) return 0;
  const emulated::HandleEntry* entry = state_->Find(hConsoleOutput);
  if (!entry || entry->input || !(entry->access & kGenericWrite)) return Fail(kErrorInvalidHandle);
  auto& s = *state_;
  if (s.active == entry->buffer) return 1;
  s.active = entry->buffer;
  // Activation drops every queued event that is not a key event.
  s.input.DropNonKeyEvents();
  Track().MarkRepaint();
  Track().MarkCursor();
  return 1;
}

Bool EmulatedConsole::GetConsoleScreenBufferInfo(Handle hConsoleOutput, ScreenBufferInfo* info) {
  auto call = Open(Op::GetConsoleScreenBufferInfo, Needs::Read, hConsoleOutput);
  if (!call) return 0;
  if (!info) return Fail(emulated::kErrorInvalidAccess);
  const ScreenBuffer& b = *call.buffer;
  *info = ScreenBufferInfo{b.size, b.cursor, b.attributes, b.window, LargestWindow(b, state_->display_size)};
  return 1;
}

// --- cells ---

Bool EmulatedConsole::ReadConsoleOutputA(Handle hConsoleOutput, CharInfo* lpBuffer, Coord dwBufferSize,
                                         Coord dwBufferCoord, SmallRect* lpReadRegion) {
  auto call = Open(Op::ReadConsoleOutputA);
  if (!call) return 0;
  if (!lpBuffer || !lpReadRegion) return Fail(emulated::kErrorInvalidAccess);
  const emulated::Transfer transfer{*lpReadRegion, dwBufferSize, dwBufferCoord};
  // The region comes back cut to the caller's array whatever happens next, as the console cuts it
  // before it looks at the handle; a read that fails then marks it empty with its bottom above its top.
  *lpReadRegion = transfer.ClippedToArray();
  auto failed = [&](Dword error) {
    lpReadRegion->Bottom = static_cast<Short>(lpReadRegion->Top - 1);
    return Fail(error);
  };
  if (transfer.BadArguments()) return failed(kErrorInvalidFunction);
  const ScreenBuffer* buffer = Output(hConsoleOutput, kGenericRead);
  if (!buffer) return failed(GetLastError());
  const SmallRect r = transfer.ClippedTo(buffer->size);
  if (emulated::IsEmpty(r)) return failed(kErrorInvalidParameter);
  // The character byte comes back zero-extended: the high byte of the field is 0.
  constexpr std::uint32_t kKeep = emulated::CellBits(CharInfo{0xFF, 0xFFFF});
  TransferRows(lpBuffer + transfer.ArrayIndex(r.Left, r.Top), static_cast<size_t>(dwBufferSize.X),
               &buffer->At(r.Left, r.Top), static_cast<size_t>(buffer->size.X), r, kKeep);
  *lpReadRegion = r;
  return 1;
}

Bool EmulatedConsole::WriteConsoleOutputA(Handle hConsoleOutput, const CharInfo* lpBuffer, Coord dwBufferSize,
                                          Coord dwBufferCoord, SmallRect* lpWriteRegion) {
  auto call = Open(Op::WriteConsoleOutputA);
  if (!call) return 0;
  if (!lpBuffer || !lpWriteRegion) return Fail(emulated::kErrorInvalidAccess);
  const emulated::Transfer transfer{*lpWriteRegion, dwBufferSize, dwBufferCoord};
  if (transfer.BadArguments()) return Fail(kErrorInvalidParameter);
  // Cut to the caller's array before the handle is looked at, so a bad handle still returns the cut
  // region, as the console does.
  *lpWriteRegion = transfer.ClippedToArray();
  ScreenBuffer* buffer = Output(hConsoleOutput, kGenericWrite);
  if (!buffer) return 0;
  const SmallRect r = transfer.ClippedTo(buffer->size);
  // Wholly outside the buffer: success, nothing written, the region as the caller gave it.
  if (emulated::IsEmpty(r)) {
    *lpWriteRegion = transfer.region;
    return 1;
  }
  constexpr std::uint32_t kKeep = emulated::CellBits(CharInfo{0xFF, emulated::kStoredCellAttributeBits});
  TransferRows(&buffer->At(r.Left, r.Top), static_cast<size_t>(buffer->size.X),
               lpBuffer + transfer.ArrayIndex(r.Left, r.Top), static_cast<size_t>(dwBufferSize.X), r, kKeep);
  MarkCells(*buffer, r.Left, r.Top, r.Right, r.Bottom);
  *lpWriteRegion = r;
  return 1;
}

Bool EmulatedConsole::Fill(Op op, Handle handle, Word CharInfo::*field, Word value, Dword length, Coord start,
                           Dword* written) {
  auto call = Open(op, Needs::Write, handle);
  if (!call) return 0;
  if (!written) return Fail(emulated::kErrorInvalidAccess);
  ScreenBuffer& b = *call.buffer;
  const Dword count = emulated::FillSpan(b.size, start, length);
  *written = count;
  if (count == 0) return 1;  // a start outside the buffer: nothing, and no index into it
  const size_t first = static_cast<size_t>(start.Y) * b.size.X + start.X;
  // One field of each cell: the other is kept.
  const bool character = field == &CharInfo::Char;
  const std::uint32_t keep = emulated::CellBits(character ? CharInfo{0, 0xFFFF} : CharInfo{0xFFFF, 0});
  const std::uint32_t put = emulated::CellBits(character ? CharInfo{value, 0} : CharInfo{0, value});
  CharInfo* run = b.cells.data() + first;
  emulated::TransformCells(run, run, count, keep, put);
  MarkRun(b, first, count);
  return 1;
}

Bool EmulatedConsole::FillConsoleOutputCharacterA(Handle hConsoleOutput, char cCharacter, Dword nLength,
                                                  Coord dwWriteCoord, Dword* lpNumberOfCharsWritten) {
  return Fill(Op::FillConsoleOutputCharacterA, hConsoleOutput, &CharInfo::Char,
              static_cast<unsigned char>(cCharacter), nLength, dwWriteCoord, lpNumberOfCharsWritten);
}

Bool EmulatedConsole::FillConsoleOutputAttribute(Handle hConsoleOutput, Word wAttribute, Dword nLength,
                                                 Coord dwWriteCoord, Dword* lpNumberOfAttrsWritten) {
  return Fill(Op::FillConsoleOutputAttribute, hConsoleOutput, &CharInfo::Attributes,
              wAttribute & emulated::kStoredCellAttributeBits, nLength, dwWriteCoord, lpNumberOfAttrsWritten);
}

// --- text output, cursor, attributes, modes and title ---

Bool EmulatedConsole::WriteConsoleA(Handle hConsoleOutput, const void* lpBuffer, Dword nNumberOfCharsToWrite,
                                    Dword* lpNumberOfCharsWritten) {
  auto call = Open(Op::WriteConsoleA, Needs::Write, hConsoleOutput);
  if (!call) return 0;
  if (nNumberOfCharsToWrite > 0 && !lpBuffer) return Fail(emulated::kErrorInvalidAccess);
  if (nNumberOfCharsToWrite > 0) {
    emulated::WriteText(*call.buffer, static_cast<const unsigned char*>(lpBuffer), nNumberOfCharsToWrite,
                        TrackIfShown(*call.buffer));
  }
  if (lpNumberOfCharsWritten) *lpNumberOfCharsWritten = nNumberOfCharsToWrite;
  return 1;
}

Bool EmulatedConsole::SetConsoleTextAttribute(Handle hConsoleOutput, Word wAttributes) {
  auto call = Open(Op::SetConsoleTextAttribute, Needs::Write, hConsoleOutput);
  if (!call) return 0;
  if (wAttributes & kRefusedTextAttributeBits) return Fail(kErrorInvalidParameter);
  call.buffer->attributes = wAttributes;
  return 1;
}

Bool EmulatedConsole::SetConsoleCursorPosition(Handle hConsoleOutput, Coord pos) {
  auto call = Open(Op::SetConsoleCursorPosition, Needs::Write, hConsoleOutput);
  if (!call) return 0;
  ScreenBuffer& b = *call.buffer;
  if (pos.X < 0 || pos.Y < 0 || pos.X >= b.size.X || pos.Y >= b.size.Y) return Fail(kErrorInvalidParameter);
  b.cursor = pos;
  MarkCursorIfShown(b);
  if (b.ShowCursor()) MarkRepaintIfShown(b);
  return 1;
}

Bool EmulatedConsole::GetConsoleCursorInfo(Handle hConsoleOutput, CursorInfo* info) {
  // The real console asks for write access here, although the call only reads.
  auto call = Open(Op::GetConsoleCursorInfo, Needs::Write, hConsoleOutput);
  if (!call) return 0;
  if (!info) return Fail(emulated::kErrorInvalidAccess);
  info->dwSize = call.buffer->cursor_size;
  info->bVisible = call.buffer->cursor_visible ? 1 : 0;
  return 1;
}

Bool EmulatedConsole::SetConsoleCursorInfo(Handle hConsoleOutput, const CursorInfo* info) {
  auto call = Open(Op::SetConsoleCursorInfo, Needs::Write, hConsoleOutput);
  if (!call) return 0;
  if (!info) return Fail(emulated::kErrorInvalidAccess);
  // A size of 0 or above 100 is refused and changes nothing, visibility included.
  if (info->dwSize == 0 || info->dwSize > 100) return Fail(kErrorInvalidParameter);
  call.buffer->cursor_size = info->dwSize;
  call.buffer->cursor_visible = info->bVisible != 0;
  MarkCursorIfShown(*call.buffer);
  return 1;
}

Bool EmulatedConsole::GetConsoleMode(Handle hConsoleHandle, Dword* lpMode) {
  auto call = Open(Op::GetConsoleMode);
  if (!call) return 0;
  if (!lpMode) return Fail(emulated::kErrorInvalidAccess);
  if (state_->IsInput(hConsoleHandle)) {
    *lpMode = state_->input.mode;
    return 1;
  }
  const ScreenBuffer* buffer = Output(hConsoleHandle, kGenericRead);
  if (!buffer) return 0;
  *lpMode = buffer->mode;
  return 1;
}

Bool EmulatedConsole::SetConsoleMode(Handle hConsoleHandle, Dword dwMode) {
  auto call = Open(Op::SetConsoleMode);
  if (!call) return 0;
  if (state_->IsInput(hConsoleHandle)) {
    // The input mode is stored before it is checked, as the real console does. A mode with any of the
    // private bits reads back with the extended-flags bit as well.
    const Dword mode = (dwMode & kPrivateInputModes) ? (dwMode | kEnableExtendedFlags) : dwMode;
    // Only a change makes a frame: WriteText sets the mode on every call, mostly to what it was.
    if (mode != state_->input.mode) {
      state_->input.mode = mode;
      Track().MarkInputMode();
    }
    if ((dwMode & ~kValidInputModes) != 0) return Fail(kErrorInvalidParameter);
    if ((dwMode & kEnableEchoInput) && !(dwMode & kEnableLineInput)) return Fail(kErrorInvalidParameter);
    return 1;
  }
  ScreenBuffer* buffer = Output(hConsoleHandle, kGenericWrite);
  if (!buffer) return 0;
  if ((dwMode & ~kValidOutputModes) != 0) return Fail(kErrorInvalidParameter);
  buffer->mode = dwMode;
  return 1;
}

Dword EmulatedConsole::GetConsoleTitleA(char* lpConsoleTitle, Dword nSize) {
  auto call = Open(Op::GetConsoleTitleA, Needs::Console);
  if (!call) return 0;
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
  auto call = Open(Op::SetConsoleTitleA, Needs::Console);
  if (!call) return 0;
  if (!lpConsoleTitle) return Fail(emulated::kErrorInvalidAccess);
  size_t length = std::strlen(lpConsoleTitle);
  if (length > kMaxTitleBytes) return Fail(kErrorInvalidParameter);
  state_->title.assign(lpConsoleTitle, length);
  Track().MarkTitle();
  return 1;
}

// --- keyboard input ---

bool EmulatedConsole::WaitForInput(std::unique_lock<std::mutex>& lock) {
  auto& s = *state_;
  for (;;) {
    if (!s.input.Empty()) return true;
    if (!s.allocated) return Fail(kErrorInvalidHandle);
    if (s.input.ended) return Fail(kErrorHandleEof);
    // Show what was drawn before the caller waits for a key.
    if (s.changes.Any()) {
      lock.unlock();
      Present();
      lock.lock();
      continue;  // the console may have changed while the frame was drawn
    }
    if (!s.key_source || s.asking_key_source) {
      ++s.waiting_reads;
      input_ready_.wait(lock);
      --s.waiting_reads;
      continue;
    }
    // Ask the source for one key, outside the lock: it may block until someone types.
    KeySource* source = s.key_source;
    s.asking_key_source = true;
    lock.unlock();
    KeyResult key;
    try {
      key = source->NextKey();
    } catch (...) {
      key = KeyResult{};  // a source that cannot go on has ended
    }
    lock.lock();
    s.asking_key_source = false;
    if (key.kind == KeyResult::Kind::Key) s.input.FromKeyboard(key.records);
    if (key.kind == KeyResult::Kind::Ended) s.input.ended = true;
    input_ready_.notify_all();
  }
}

Bool EmulatedConsole::ReadConsoleInputA(Handle hConsoleInput, InputRecord* lpBuffer, Dword nLength,
                                        Dword* lpNumberOfEventsRead) {
  auto call = Open(Op::ReadConsoleInputA, Needs::Input, hConsoleInput);
  if (!call) return 0;
  if (!lpBuffer || !lpNumberOfEventsRead) return Fail(emulated::kErrorInvalidAccess);
  *lpNumberOfEventsRead = 0;
  if (nLength == 0) return 1;
  if (!WaitForInput(call.lock)) return 0;
  *lpNumberOfEventsRead = state_->input.TakeRecords(lpBuffer, nLength);
  return 1;
}

Bool EmulatedConsole::ReadConsoleA(Handle hConsoleInput, void* lpBuffer, Dword nNumberOfCharsToRead,
                                   Dword* lpNumberOfCharsRead) {
  auto call = Open(Op::ReadConsoleA, Needs::Input, hConsoleInput);
  if (!call) return 0;
  if (!lpBuffer || !lpNumberOfCharsRead) return Fail(emulated::kErrorInvalidAccess);
  if (nNumberOfCharsToRead > kMaxReadLength) return Fail(kErrorNotEnoughMemory);
  auto* out = static_cast<unsigned char*>(lpBuffer);
  auto& input = state_->input;
  if (nNumberOfCharsToRead == 0) {
    *lpNumberOfCharsRead = 0;
    return 1;
  }
  // The rest of an earlier line comes first, and alone, in either mode.
  if (input.HasPendingLine()) {
    *lpNumberOfCharsRead = input.TakePendingLine(out, nNumberOfCharsToRead);
    return 1;
  }
  if (!(input.mode & kEnableLineInput)) {
    // Raw: wait for one character, then take every character already queued that fits. Escape and LF
    // are delivered.
    Dword got = 0;
    while (got == 0) {
      if (!WaitForInput(call.lock)) {
        *lpNumberOfCharsRead = 0;
        return 0;
      }
      got = input.TakeCharacters(out, nNumberOfCharsToRead);
    }
    *lpNumberOfCharsRead = got;
    return 1;
  }
  // Line mode: collect a line up to Enter, with Backspace editing and optional echo.
  std::string line;
  const bool echo = input.mode & kEnableEchoInput;
  auto echo_bytes = [&](const char* bytes, Dword count) {
    // The active buffer may have changed, or gone, while the read waited.
    if (!echo || !state_->active) return;
    emulated::WriteText(*state_->active, reinterpret_cast<const unsigned char*>(bytes), count,
                        TrackIfShown(*state_->active));
  };
  for (;;) {
    if (!WaitForInput(call.lock)) {
      *lpNumberOfCharsRead = 0;
      return 0;
    }
    std::optional<unsigned char> ch = input.TakeLineKey();
    if (!ch) continue;
    if (*ch == '\r') {
      line += "\r\n";
      echo_bytes("\r\n", 2);
      break;
    }
    if (*ch == 8) {
      if (!line.empty()) {
        line.pop_back();
        echo_bytes("\b \b", 3);
      }
      continue;
    }
    line += static_cast<char>(*ch);
    echo_bytes(reinterpret_cast<const char*>(&*ch), 1);
  }
  // What does not fit is returned by the next reads, without being echoed or edited again.
  Dword n = std::min<Dword>(nNumberOfCharsToRead, static_cast<Dword>(line.size()));
  std::memcpy(out, line.data(), n);
  input.KeepPendingLine(line.substr(n));
  *lpNumberOfCharsRead = n;
  return 1;
}

Bool EmulatedConsole::GetNumberOfConsoleInputEvents(Handle hConsoleInput, Dword* lpNumberOfEvents) {
  auto call = Open(Op::GetNumberOfConsoleInputEvents, Needs::Input, hConsoleInput);
  if (!call) return 0;
  if (!lpNumberOfEvents) return Fail(emulated::kErrorInvalidAccess);
  *lpNumberOfEvents = static_cast<Dword>(state_->input.Size());
  return 1;
}

Bool EmulatedConsole::FlushConsoleInputBuffer(Handle hConsoleInput) {
  auto call = Open(Op::FlushConsoleInputBuffer, Needs::Input, hConsoleInput);
  if (!call) return 0;
  state_->input.Flush();
  KeySource* source = state_->key_source;
  call.lock.unlock();
  // Keys typed ahead and held by the source go too; keys a script has not handed out yet stay.
  if (source) source->Flush();
  return 1;
}

// --- the rest of the system ---

Dword EmulatedConsole::GetSystemDirectoryA(char* lpBuffer, Dword uSize) {
  auto call = Open(Op::GetSystemDirectoryA);
  if (!call) return 0;
  const std::string& dir = state_->system_directory;
  // As the real call: the length without the terminator when it fits, else the size needed.
  if (!lpBuffer || uSize <= dir.size()) return static_cast<Dword>(dir.size() + 1);
  std::memcpy(lpBuffer, dir.data(), dir.size());
  lpBuffer[dir.size()] = '\0';
  return static_cast<Dword>(dir.size());
}

SystemTime EmulatedConsole::GetLocalTime() {
  // GetLocalTime cannot fail: an injected failure is counted and ignored.
  auto call = Open(Op::GetLocalTime);
  if (state_->fixed_time) return *state_->fixed_time;
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);  // the same, with the arguments the other way round
#else
  localtime_r(&t, &tm);
#endif
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
  auto call = Open(Op::AppActivate);
  // The console's own window is the only window here: it matches when its title equals the text or
  // begins with it. A refused activation leaves some other window in front, which is where keys sent
  // next go.
  auto& s = *state_;
  s.in_front = call && s.allocated && !title.empty() && s.title.starts_with(title);
  if (!call) return 0;
  return s.in_front ? 1 : Fail(kErrorInvalidParameter);
}

void EmulatedConsole::SendKeys(const std::string& keys, bool wait) {
  (void)wait;  // keys are processed before this returns either way
  auto call = Open(Op::SendKeys);
  // Keys go to the window in front; after a refused activation that is not the console.
  if (!call || !state_->allocated || !state_->in_front) return;
  for (const KeyStroke& stroke : ParseSendKeys(keys)) {
    if (stroke.virtual_key == kVkReturn && (stroke.control_state & kLeftAltPressed)) {
      // Alt+Enter is the console's own switch between a window and full screen, not input.
      state_->full_screen = !state_->full_screen;
      Track().MarkDisplayMode();
      continue;
    }
    state_->input.FromKeyboard(KeystrokeRecords(stroke));
  }
  input_ready_.notify_all();
}

Dword EmulatedConsole::GetLastError() { return t_last_error; }

}  // namespace kelvane::platform
