// An in-memory console that behaves as the Windows console does for every operation the library
// uses: screen buffers with windows, cursors and attributes, modes, an input queue of key events and
// the title. Deterministic, safe to share between threads (one lock), and with controls for tests:
// geometry, fault injection, direct cell access and scripted keys. It knows nothing of terminals.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/console_platform.hpp"
#include "platform/emulated/frame.hpp"
#include "platform/emulated/key_source.hpp"

namespace kelvane::platform {

// Every operation of the platform interface, for counting calls and injecting failures.
enum class Op : int {
  AllocConsole,
  FreeConsole,
  GetStdHandle,
  CloseHandle,
  CreateConsoleScreenBuffer,
  SetConsoleActiveScreenBuffer,
  GetConsoleScreenBufferInfo,
  ReadConsoleOutputA,
  WriteConsoleOutputA,
  FillConsoleOutputCharacterA,
  FillConsoleOutputAttribute,
  WriteConsoleA,
  SetConsoleTextAttribute,
  SetConsoleCursorPosition,
  GetConsoleCursorInfo,
  SetConsoleCursorInfo,
  GetConsoleMode,
  SetConsoleMode,
  GetConsoleTitleA,
  SetConsoleTitleA,
  ReadConsoleA,
  ReadConsoleInputA,
  GetNumberOfConsoleInputEvents,
  FlushConsoleInputBuffer,
  GetSystemDirectoryA,
  GetLocalTime,
  AppActivate,
  SendKeys,
  EndOfCall,
  kCount
};
inline constexpr int kOpCount = static_cast<int>(Op::kCount);

// A consistent picture of the active buffer's whole window, for tests.
struct ConsoleView {
  Coord size;                   // window columns and rows
  std::vector<CharInfo> cells;  // row-major, size.X * size.Y
  Coord cursor;                 // relative to the window; may lie outside it
  Dword cursor_size = 25;
  bool cursor_visible = true;
  bool full_screen = false;
  std::string title;  // code page 437 bytes
};

namespace emulated {
struct ConsoleState;
struct ScreenBuffer;
}  // namespace emulated

class EmulatedConsole final : public ConsolePlatform {
 public:
  EmulatedConsole();
  ~EmulatedConsole() override;

  // --- ConsolePlatform ---
  Bool AllocConsole() override;
  Bool FreeConsole() override;
  Handle GetStdHandle(Dword nStdHandle) override;
  Bool CloseHandle(Handle handle) override;
  Handle CreateConsoleScreenBuffer(Dword dwDesiredAccess, Dword dwShareMode, Dword dwFlags) override;
  Bool SetConsoleActiveScreenBuffer(Handle hConsoleOutput) override;
  Bool GetConsoleScreenBufferInfo(Handle hConsoleOutput, ScreenBufferInfo* info) override;
  Bool ReadConsoleOutputA(Handle hConsoleOutput, CharInfo* lpBuffer, Coord dwBufferSize, Coord dwBufferCoord,
                          SmallRect* lpReadRegion) override;
  Bool WriteConsoleOutputA(Handle hConsoleOutput, const CharInfo* lpBuffer, Coord dwBufferSize,
                           Coord dwBufferCoord, SmallRect* lpWriteRegion) override;
  Bool FillConsoleOutputCharacterA(Handle hConsoleOutput, char cCharacter, Dword nLength, Coord dwWriteCoord,
                                   Dword* lpNumberOfCharsWritten) override;
  Bool FillConsoleOutputAttribute(Handle hConsoleOutput, Word wAttribute, Dword nLength, Coord dwWriteCoord,
                                  Dword* lpNumberOfAttrsWritten) override;
  Bool WriteConsoleA(Handle hConsoleOutput, const void* lpBuffer, Dword nNumberOfCharsToWrite,
                     Dword* lpNumberOfCharsWritten) override;
  Bool SetConsoleTextAttribute(Handle hConsoleOutput, Word wAttributes) override;
  Bool SetConsoleCursorPosition(Handle hConsoleOutput, Coord dwCursorPosition) override;
  Bool GetConsoleCursorInfo(Handle hConsoleOutput, CursorInfo* lpConsoleCursorInfo) override;
  Bool SetConsoleCursorInfo(Handle hConsoleOutput, const CursorInfo* lpConsoleCursorInfo) override;
  Bool GetConsoleMode(Handle hConsoleHandle, Dword* lpMode) override;
  Bool SetConsoleMode(Handle hConsoleHandle, Dword dwMode) override;
  Dword GetConsoleTitleA(char* lpConsoleTitle, Dword nSize) override;
  Bool SetConsoleTitleA(const char* lpConsoleTitle) override;
  Bool ReadConsoleA(Handle hConsoleInput, void* lpBuffer, Dword nNumberOfCharsToRead,
                    Dword* lpNumberOfCharsRead) override;
  Bool ReadConsoleInputA(Handle hConsoleInput, InputRecord* lpBuffer, Dword nLength,
                         Dword* lpNumberOfEventsRead) override;
  Bool GetNumberOfConsoleInputEvents(Handle hConsoleInput, Dword* lpNumberOfEvents) override;
  Bool FlushConsoleInputBuffer(Handle hConsoleInput) override;
  Dword GetSystemDirectoryA(char* lpBuffer, Dword uSize) override;
  SystemTime GetLocalTime() override;
  Bool AppActivate(const std::string& title) override;
  void SendKeys(const std::string& keys, bool wait) override;
  Dword GetLastError() override;
  void EndOfCall() noexcept override;

  // --- Configuration ---
  // Size of the first screen buffer (and its window) of the next AllocConsole. Default 80 x 25.
  void SetConsoleSize(Short columns, Short rows);
  // Called by AllocConsole for the size when set; lets the POSIX layer read its setting and measure its
  // terminal at each Load. nullopt: there is no console to be had, and AllocConsole fails with
  // ERROR_INVALID_HANDLE.
  void SetConsoleSizeProvider(std::function<std::optional<Coord>()> provider);
  // The folder GetSystemDirectoryA reports (default: the library's installed data folder).
  void SetSystemDirectory(std::string directory);
  // A fixed clock for GetLocalTime (default: the real local time).
  void SetLocalTime(std::optional<SystemTime> time);
  // Shown the changes at each EndOfCall and before each wait for a key, outside the console's lock.
  // Not owned; nullptr for none. Once this returns, the presenter given before is no longer called.
  void SetPresenter(Presenter* presenter);
  // Asked for keys when a read finds the input queue empty, outside the console's lock, and told of
  // every flush. Not owned; nullptr for none (reads then wait for keys queued by the controls below).
  // Set it while no read waits.
  void SetKeySource(KeySource* source);
  // The console's window changed size (the terminal it is shown on was resized): every buffer takes the
  // size, keeping its cells from the top left (new cells blank in the buffer's attribute) and its cursor
  // inside, with the window the whole buffer; buffers created later take it too. With window input on,
  // the input queue gets a buffer-size event. False without a console or for a size below 1 x 1.
  bool ResizeConsole(Coord size);
  // The presenter no longer knows what it shows (its terminal was cleared or taken over): the next
  // EndOfCall presents the whole window, and so does a Present in progress once its frame is shown.
  // Only sets flags, so it is safe from a signal handler and from inside Presenter::Present.
  void RequestRepaint() noexcept;

  // --- Test controls ---
  // Resizes a buffer (cells kept where they overlap, new cells blank in its attribute) and places its
  // window, which must lie inside the buffer. False for a bad handle or rectangle.
  bool SetBufferGeometry(Handle buffer, Coord size, SmallRect window);
  // Geometry given to every buffer created from now on. Size nullopt: the active window's size, as
  // usual; window nullopt: one of the active window's size (cut to the buffer) at the origin. False, and
  // nothing changed, for a size below 1x1, a window outside the size, or a window without a size.
  bool SetNewBufferGeometry(std::optional<Coord> size, std::optional<SmallRect> window);
  // Makes the n-th call of `op` from now (1 = the next one) fail: it returns 0 (-1 where the operation
  // returns a handle) and sets `last_error`. `every` makes every call from the n-th on fail.
  void FailCall(Op op, int nth, Dword last_error = kErrorInvalidParameter, bool every = false);
  void ClearFailures();
  int CallCount(Op op) const;
  void ResetCallCounts();

  bool IsAllocated() const;
  Handle ActiveBufferHandle() const;  // some open handle of the active buffer, or 0
  // The cells of any buffer, row-major; empty for a bad handle.
  std::vector<CharInfo> ReadCells(Handle buffer) const;
  std::optional<ScreenBufferInfo> BufferInfo(Handle buffer) const;
  std::optional<CursorInfo> BufferCursorInfo(Handle buffer) const;
  std::string Title() const;
  bool FullScreen() const;

  // Records written to the input queue as they are, as WriteConsoleInput does: a single key-down like
  // the last one queued adds to its repeat count instead.
  void QueueInput(const std::vector<InputRecord>& records);
  // A keystroke: modifier downs, the key down and up, modifier ups (control state per the key table).
  // Like the real keyboard's, it passes the console's filter first: with processed input the Ctrl+C
  // key-down is not queued, Ctrl+Break empties the queue, Ctrl+Esc and Alt+Esc downs never arrive.
  void QueueKeystroke(Word virtual_key, Word character, Dword control_state);
  // Characters typed: each becomes the keystroke that produces it on a US keyboard (filtered as above).
  void QueueText(const std::string& cp437_bytes);
  // The source of keys has ended: reads on an empty queue report ERROR_HANDLE_EOF.
  void EndInput();
  size_t PendingInput() const;
  // Reads asleep until input arrives: once a test sees one, only a wake-up (keys, the end of input, the
  // console going) can end that read.
  int WaitingReads() const;

  // The frame the next EndOfCall would present, for tests of change tracking.
  ConsoleFrame PendingFrame() const;
  ConsoleView View() const;

 private:
  // What every operation does first: takes the lock, counts the call, applies an injected failure and
  // checks the handle the operation needs. On failure the last error is set and `ok` is false.
  enum class Needs { Nothing, Console, Input, Read, Write };
  struct Opened {
    std::unique_lock<std::mutex> lock;
    emulated::ScreenBuffer* buffer = nullptr;  // with Needs::Read and Needs::Write
    bool ok = false;
    explicit operator bool() const { return ok; }
  };
  Opened Open(Op op, Needs needs = Needs::Nothing, Handle handle = 0);
  // The output buffer of `handle` opened with all of `access`; nullptr with the last error set.
  emulated::ScreenBuffer* Output(Handle handle, Dword access);

  // The active buffer's changes, for the frame (the lock is held).
  void MarkCells(const emulated::ScreenBuffer& buffer, int left, int top, int right, int bottom);
  // The two fills: `value` into `field` of up to `length` cells in row order from `start`.
  Bool Fill(Op op, Handle handle, Word CharInfo::*field, Word value, Dword length, Coord start,
            Dword* written);
  // `count` cells in row order from cell index `first` of `buffer`.
  void MarkRun(const emulated::ScreenBuffer& buffer, size_t first, Dword count);
  void MarkRepaintIfShown(const emulated::ScreenBuffer& buffer);
  void MarkCursorIfShown(const emulated::ScreenBuffer& buffer);
  emulated::FrameTracker& Track();  // marks the changes pending for EndOfCall
  emulated::FrameTracker* TrackIfShown(const emulated::ScreenBuffer& buffer);
  // Takes the pending frame under the console's lock and presents it outside. Called without the lock.
  void Present() noexcept;
  // Waits until the input queue holds a record, asking the key source when there is one. False with
  // the last error set when the console goes or input ends. `lock` is held on entry and on return.
  bool WaitForInput(std::unique_lock<std::mutex>& lock);
  void ReleaseBufferIfUnused(const std::shared_ptr<emulated::ScreenBuffer>& buffer);
  Handle NewHandle(bool input, std::shared_ptr<emulated::ScreenBuffer> buffer, Dword access);
  ConsoleView MakeView() const;

  mutable std::mutex mutex_;
  // Taken before mutex_, never after: frames are taken and presented in one order.
  std::mutex present_mutex_;
  ConsoleFrame frame_;  // the frame being presented, kept for its storage; under present_mutex_
  std::array<std::atomic<int>, kOpCount> calls_{};
  std::atomic<bool> changes_pending_{false};
  std::atomic<bool> repaint_requested_{false};
  std::condition_variable input_ready_;
  std::unique_ptr<emulated::ConsoleState> state_;
};

}  // namespace kelvane::platform
