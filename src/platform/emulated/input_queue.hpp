// The console's input buffer: the queue of input records, the keyboard's filter in front of it, the
// merging of repeated keys, what raw and line reads take from it, the part of a line that did not fit
// the reader's buffer, and whether the source of keys has ended. The console's lock is held by the
// caller.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/console_platform.hpp"

namespace kelvane::platform::emulated {

inline constexpr Dword kDefaultInputMode = 0x1F7;

class InputQueue {
 public:
  Dword mode = kDefaultInputMode;
  bool ended = false;  // the source of keys has ended for good: reads on an empty queue end

  bool Empty() const { return records_.empty(); }
  size_t Size() const { return records_.size(); }
  // A new or freed console: no records, no partial line, the default mode. The end of input is the
  // process's and stays.
  void Reset();
  // FlushConsoleInputBuffer: the queued records go; the rest of a line already read stays.
  void Flush() { records_.clear(); }
  // What activating a screen buffer does: every record that is not a key event goes.
  void DropNonKeyEvents();

  // Records written as they are, as WriteConsoleInput does: a single key-down like the last one queued
  // (same scan code, character and state) adds to its repeat count; records written together never
  // merge.
  void Write(const std::vector<InputRecord>& records);
  // Records from the keyboard. With processed input a Ctrl+C key-down is a signal, not a key;
  // Ctrl+Break empties the queue; Ctrl+Esc and Alt+Esc belong to the system. The key-ups of all of them
  // are queued as usual.
  void FromKeyboard(const std::vector<InputRecord>& records);

  // Up to `count` records, oldest first, with the character's high byte cleared as an A read does.
  Dword TakeRecords(InputRecord* out, Dword count);
  // Raw read: every character already queued that fits, a repeat count giving its character that many
  // times. Key-ups, other events and keys without a character are consumed silently.
  Dword TakeCharacters(unsigned char* out, Dword count);
  // Line read: the oldest record, and its character when it produces one.
  std::optional<unsigned char> TakeLineKey();

  // The rest of an earlier line, handed out before anything else in either mode.
  bool HasPendingLine() const { return !pending_line_.empty(); }
  Dword TakePendingLine(unsigned char* out, Dword count);
  void KeepPendingLine(std::string rest) { pending_line_ = std::move(rest); }

 private:
  std::deque<InputRecord> records_;
  std::string pending_line_;
};

}  // namespace kelvane::platform::emulated
