// The emulated console's keys on POSIX: read from the terminal the console is shown on, or, for a
// headless console, from standard input (a pipe, a file, or a terminal), decoded as terminal input and
// handed over one whole key at a time, only when a read waits.
#pragma once

#include <termios.h>

#include <deque>
#include <mutex>

#include "platform/emulated/key_source.hpp"
#include "platform/terminal/key_decoder.hpp"

namespace kelvane::platform::terminal {

class TerminalScreen;

class TerminalKeys final : public KeySource {
 public:
  // `screen` is the terminal the console may be shown on: its size is followed while a key is awaited.
  explicit TerminalKeys(TerminalScreen& screen);
  ~TerminalKeys() override;
  TerminalKeys(const TerminalKeys&) = delete;
  TerminalKeys& operator=(const TerminalKeys&) = delete;

  // Where the keys of the next console come from: the terminal it is shown on (already in raw mode), or
  // another file (standard input); a file that is a terminal is put in raw mode only while a key is
  // awaited. Keys held from before are dropped.
  void Use(int fd, bool shown_terminal);

  KeyResult NextKey() override;
  void Flush() noexcept override;
  void Wake() noexcept override;

 private:
  // Reads and decodes what is there, or waits for it: false once the input has ended for good.
  bool Read(int fd, bool whole_keys_only);

  TerminalScreen& screen_;
  std::mutex mutex_;  // the configuration and the decoder; one reader at a time besides
  int fd_ = 0;
  bool shown_terminal_ = false;
  bool ended_ = false;
  KeyDecoder decoder_;
  std::deque<KeyStroke> ready_;
  int wake_[2] = {-1, -1};  // a pipe: a byte in it ends a wait
};

}  // namespace kelvane::platform::terminal
