// The emulated console's state behind its lock, shared by the files that implement its operations.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/emulated/frame.hpp"
#include "platform/emulated/input_queue.hpp"
#include "platform/emulated/screen_buffer.hpp"

#ifndef KELVANE_DATA_DIR
#define KELVANE_DATA_DIR "/usr/local/share/kelvane"
#endif

namespace kelvane::platform::emulated {

// Like the real console's, the last error belongs to the calling thread.
void SetLastError(Dword error);
// Sets the last error; false, for `return Fail(...)` in operations returning Bool.
inline bool Fail(Dword error) {
  SetLastError(error);
  return false;
}

inline constexpr Dword kErrorInvalidAccess = 998;

struct HandleEntry {
  bool input = false;
  std::shared_ptr<ScreenBuffer> buffer;  // output handles only
  Dword access = kGenericRead | kGenericWrite;
};

// Failures injected by tests: the n-th call of an operation from now fails with a chosen error.
class FaultInjector {
 public:
  void Add(Op op, int nth, Dword error, bool every);
  void Clear();
  // Counts a call of `op`; the error it must fail with, if one is due. Every operation asks, and
  // almost always none is injected.
  std::optional<Dword> Due(Op op) {
    if (failures_[static_cast<size_t>(op)].empty()) return std::nullopt;
    return Countdown(op);
  }

 private:
  std::optional<Dword> Countdown(Op op);
  struct Failure {
    int countdown;  // calls to let through before failing
    Dword error;
    bool every;
  };
  std::array<std::vector<Failure>, kOpCount> failures_;
};

struct ConsoleState {
  // Process-wide, outliving any one console.
  std::array<Handle, 3> std_handles{0, 0, 0};
  Handle next_handle = 4;

  // Configuration and test controls.
  Coord console_size{80, 25};
  std::function<std::optional<Coord>()> size_provider;
  std::string system_directory = KELVANE_DATA_DIR;
  std::optional<SystemTime> fixed_time;
  Presenter* presenter = nullptr;
  KeySource* key_source = nullptr;
  bool asking_key_source = false;  // a read is waiting on the key source
  int waiting_reads = 0;           // reads asleep until input arrives
  std::optional<Coord> new_buffer_size;
  std::optional<SmallRect> new_buffer_window;
  FaultInjector faults;

  // The console itself.
  bool allocated = false;
  Coord display_size{80, 25};  // the console window AllocConsole opened: no window can be larger
  // The open handles by value, in one block: every operation looks one up, and a short binary search
  // in memory already cached beats a walk over tree nodes.
  std::vector<std::pair<Handle, HandleEntry>> handles;
  std::vector<std::shared_ptr<ScreenBuffer>> buffers;  // in creation order
  std::shared_ptr<ScreenBuffer> active;
  InputQueue input;
  std::string title;
  bool full_screen = false;
  bool in_front = false;  // the console's window is the one keys sent by SendKeys reach
  FrameTracker changes;

  // Where `handle` is, or would go, in `handles`.
  static bool Before(const std::pair<Handle, HandleEntry>& slot, Handle value) { return slot.first < value; }
  auto HandleSlot(Handle handle) { return std::lower_bound(handles.begin(), handles.end(), handle, Before); }
  auto HandleSlot(Handle handle) const {
    return std::lower_bound(handles.begin(), handles.end(), handle, Before);
  }
  const HandleEntry* Find(Handle handle) const {
    auto it = HandleSlot(handle);
    return it != handles.end() && it->first == handle ? &it->second : nullptr;
  }
  bool IsInput(Handle handle) const {
    const HandleEntry* entry = Find(handle);
    return entry && entry->input;
  }
  // The buffer of an output handle, whatever its access; nullptr for anything else.
  ScreenBuffer* BufferOf(Handle handle) const {
    const HandleEntry* entry = Find(handle);
    return entry && !entry->input ? entry->buffer.get() : nullptr;
  }
  void FillFrame(ConsoleFrame& frame) const {
    changes.Fill(frame, active.get(), title, full_screen, input.mode);
  }
};

}  // namespace kelvane::platform::emulated
