// Where the emulated console's keys come from when a read finds its input queue empty: a terminal, a
// pipe on standard input, or a test's script. The console asks for one whole key at a time, only when a
// read waits, so keys not yet needed stay with the source.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/console_platform.hpp"

namespace kelvane::platform {

struct KeyResult {
  enum class Kind {
    Key,      // `records` holds one key as a keyboard sends it (modifier downs, down, up, modifier ups)
    Nothing,  // no key this time (a resize to show, a signal): the read shows what changed and asks again
    Ended,    // the source has ended for good: every wait ends
  };
  Kind kind = Kind::Ended;
  std::vector<InputRecord> records;
};

class KeySource {
 public:
  virtual ~KeySource() = default;
  // The next key. Called without the console's lock, by one reader at a time; may block until a key
  // arrives. The records pass the console's keyboard filter (Ctrl+C, Ctrl+Break) on their way in.
  virtual KeyResult NextKey() = 0;
  // The console's input queue has been flushed. A source that holds keys typed ahead drops them; a
  // script keeps its keys, which no one has typed yet.
  virtual void Flush() noexcept = 0;
  // The console went away: a NextKey blocked now returns soon (Nothing will do).
  virtual void Wake() noexcept {}
};

// A script of keys for tests: handed out one per NextKey in order, then the end of input. Counts what
// the console asked of it.
class ScriptedKeys final : public KeySource {
 public:
  void Add(std::vector<InputRecord> key);
  // One keystroke per character, as a US keyboard types it.
  void AddText(const std::string& cp437_bytes);
  // A turn with no key, as a terminal's resize gives.
  void AddNothing();

  KeyResult NextKey() override;
  void Flush() noexcept override;

  size_t Remaining() const;
  int Asked() const;
  int Flushes() const;

 private:
  mutable std::mutex mutex_;
  std::deque<KeyResult> script_;
  int asked_ = 0;
  int flushes_ = 0;
};

}  // namespace kelvane::platform
