// The emulated console's configuration and test controls: geometry, injected failures, call counts,
// direct looks at buffers, scripted keys and the frame a presenter would be handed.
#include <algorithm>

#include "platform/emulated/console_state.hpp"
#include "platform/emulated/emulated_console.hpp"
#include "platform/keyboard.hpp"

namespace kelvane::platform {

using emulated::ScreenBuffer;

namespace {

bool WindowInside(const SmallRect& window, Coord size) {
  return window.Left >= 0 && window.Top >= 0 && window.Left <= window.Right && window.Top <= window.Bottom &&
         window.Right < size.X && window.Bottom < size.Y;
}

}  // namespace

void emulated::FaultInjector::Add(Op op, int nth, Dword error, bool every) {
  failures_[static_cast<size_t>(op)].push_back(Failure{std::max(nth, 1) - 1, error, every});
}

void emulated::FaultInjector::Clear() {
  for (auto& list : failures_) list.clear();
}

std::optional<Dword> emulated::FaultInjector::Countdown(Op op) {
  // Every entry counts every call, so several injected failures of one operation each hit the call
  // they were aimed at; when more than one is due, the first injected gives the error.
  auto& pending = failures_[static_cast<size_t>(op)];
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
  return error;
}

// --- configuration ---

void EmulatedConsole::SetConsoleSize(Short columns, Short rows) {
  std::lock_guard lock(mutex_);
  state_->console_size = Coord{std::max<Short>(columns, 1), std::max<Short>(rows, 1)};
}

void EmulatedConsole::SetConsoleSizeProvider(std::function<std::optional<Coord>()> provider) {
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

void EmulatedConsole::SetPresenter(Presenter* presenter) {
  // Under present_mutex_ as well: a frame being shown by the old presenter is finished first.
  std::lock_guard presenting(present_mutex_);
  std::lock_guard lock(mutex_);
  state_->presenter = presenter;
}

void EmulatedConsole::SetKeySource(KeySource* source) {
  std::lock_guard lock(mutex_);
  state_->key_source = source;
}

// --- test controls ---

bool EmulatedConsole::SetBufferGeometry(Handle handle, Coord size, SmallRect window) {
  std::lock_guard lock(mutex_);
  ScreenBuffer* buffer = state_->BufferOf(handle);
  if (!buffer || size.X < 1 || size.Y < 1 || !WindowInside(window, size)) return false;
  const bool resized = size != buffer->size;
  buffer->Resize(size, window);
  MarkRepaintIfShown(*buffer);
  // With window input on, a new size of the active buffer reaches the input queue as an event.
  if (resized && buffer == state_->active.get() && (state_->input.mode & kEnableWindowInput)) {
    InputRecord event;
    event.EventType = kWindowBufferSizeEvent;
    state_->input.Write({event});
    input_ready_.notify_all();
  }
  return true;
}

bool EmulatedConsole::SetNewBufferGeometry(std::optional<Coord> size, std::optional<SmallRect> window) {
  // Checked here, so that every buffer created later has its window inside it.
  if (size && (size->X < 1 || size->Y < 1)) return false;
  if (window && (!size || !WindowInside(*window, *size))) return false;
  std::lock_guard lock(mutex_);
  state_->new_buffer_size = size;
  state_->new_buffer_window = window;
  return true;
}

void EmulatedConsole::FailCall(Op op, int nth, Dword last_error, bool every) {
  std::lock_guard lock(mutex_);
  state_->faults.Add(op, nth, last_error, every);
}

void EmulatedConsole::ClearFailures() {
  std::lock_guard lock(mutex_);
  state_->faults.Clear();
}

int EmulatedConsole::CallCount(Op op) const {
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
  const ScreenBuffer* buffer = state_->BufferOf(handle);
  return buffer ? buffer->cells : std::vector<CharInfo>{};
}

std::optional<ScreenBufferInfo> EmulatedConsole::BufferInfo(Handle handle) const {
  std::lock_guard lock(mutex_);
  const ScreenBuffer* b = state_->BufferOf(handle);
  if (!b) return std::nullopt;
  return ScreenBufferInfo{b->size, b->cursor, b->attributes, b->window,
                          LargestWindow(*b, state_->display_size)};
}

std::optional<CursorInfo> EmulatedConsole::BufferCursorInfo(Handle handle) const {
  std::lock_guard lock(mutex_);
  const ScreenBuffer* buffer = state_->BufferOf(handle);
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
    state_->input.Write(records);
  }
  input_ready_.notify_all();
}

void EmulatedConsole::QueueKeystroke(Word virtual_key, Word character, Dword control_state) {
  {
    std::lock_guard lock(mutex_);
    state_->input.FromKeyboard(KeystrokeRecords(KeyStroke{virtual_key, character, control_state}));
  }
  input_ready_.notify_all();
}

void EmulatedConsole::QueueText(const std::string& cp437_bytes) {
  {
    std::lock_guard lock(mutex_);
    for (char c : cp437_bytes) {
      state_->input.FromKeyboard(KeystrokeRecords(KeyStrokeForCharacter(static_cast<unsigned char>(c))));
    }
  }
  input_ready_.notify_all();
}

void EmulatedConsole::EndInput() {
  {
    std::lock_guard lock(mutex_);
    state_->input.ended = true;
  }
  input_ready_.notify_all();
}

size_t EmulatedConsole::PendingInput() const {
  std::lock_guard lock(mutex_);
  return state_->input.Size();
}

int EmulatedConsole::WaitingReads() const {
  std::lock_guard lock(mutex_);
  return state_->waiting_reads;
}

ConsoleFrame EmulatedConsole::PendingFrame() const {
  std::lock_guard lock(mutex_);
  ConsoleFrame frame;
  state_->FillFrame(frame);
  return frame;
}

ConsoleView EmulatedConsole::View() const {
  std::lock_guard lock(mutex_);
  return MakeView();
}

ConsoleView EmulatedConsole::MakeView() const {
  ConsoleView view;
  const auto& s = *state_;
  view.title = s.title;
  view.full_screen = s.full_screen;
  if (!s.active) return view;
  const ScreenBuffer& b = *s.active;
  view.size = Coord{static_cast<Short>(b.WindowWidth()), static_cast<Short>(b.WindowHeight())};
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

}  // namespace kelvane::platform
