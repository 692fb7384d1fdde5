#include "platform/emulated/input_queue.hpp"

#include <algorithm>
#include <cstring>

#include "platform/keyboard.hpp"

namespace kelvane::platform::emulated {

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

}  // namespace

void InputQueue::Reset() {
  records_.clear();
  pending_line_.clear();
  mode = kDefaultInputMode;
}

void InputQueue::DropNonKeyEvents() {
  std::erase_if(records_, [](const InputRecord& r) { return r.EventType != kKeyEvent; });
}

void InputQueue::Write(const std::vector<InputRecord>& records) {
  if (records.size() == 1 && !records_.empty()) {
    const KeyEventRecord& in = records[0].KeyEvent;
    KeyEventRecord& last = records_.back().KeyEvent;
    if (records[0].EventType == kKeyEvent && records_.back().EventType == kKeyEvent && in.bKeyDown &&
        last.bKeyDown && in.wVirtualScanCode == last.wVirtualScanCode && in.uChar == last.uChar &&
        in.dwControlKeyState == last.dwControlKeyState) {
      last.wRepeatCount = static_cast<Word>(last.wRepeatCount + in.wRepeatCount);
      return;
    }
  }
  records_.insert(records_.end(), records.begin(), records.end());
}

void InputQueue::FromKeyboard(const std::vector<InputRecord>& records) {
  constexpr Word kVkCancel = 0x03;
  for (const InputRecord& r : records) {
    const Dword state = r.KeyEvent.dwControlKeyState;
    const Word vk = r.KeyEvent.wVirtualKeyCode;
    const bool ctrl = state & (kLeftCtrlPressed | kRightCtrlPressed);
    const bool alt = state & (kLeftAltPressed | kRightAltPressed);
    if (r.EventType == kKeyEvent && r.KeyEvent.bKeyDown) {
      if (ctrl && !alt) {
        if (vk == 'C' && (mode & kEnableProcessedInput)) continue;
        if (vk == kVkCancel) {
          records_.clear();
          continue;
        }
        if (vk == kVkEscape) continue;
      } else if (alt && vk == kVkEscape) {
        continue;
      }
    }
    records_.push_back(r);
  }
}

Dword InputQueue::TakeRecords(InputRecord* out, Dword count) {
  Dword n = std::min<Dword>(count, static_cast<Dword>(records_.size()));
  for (Dword i = 0; i < n; ++i) {
    out[i] = records_.front();
    out[i].KeyEvent.uChar &= 0xFF;
    records_.pop_front();
  }
  return n;
}

Dword InputQueue::TakeCharacters(unsigned char* out, Dword count) {
  Dword got = 0;
  while (!records_.empty() && got < count) {
    InputRecord& r = records_.front();
    if (!ProducesCharacter(r)) {
      records_.pop_front();
      continue;
    }
    auto ch = static_cast<unsigned char>(r.KeyEvent.uChar & 0xFF);
    Word repeat = std::max<Word>(r.KeyEvent.wRepeatCount, 1);
    Dword take = std::min<Dword>(repeat, count - got);
    for (Dword i = 0; i < take; ++i) out[got++] = ch;
    if (take < repeat) {
      r.KeyEvent.wRepeatCount = static_cast<Word>(repeat - take);
    } else {
      records_.pop_front();
    }
  }
  return got;
}

std::optional<unsigned char> InputQueue::TakeLineKey() {
  InputRecord r = records_.front();
  records_.pop_front();
  if (!ProducesCharacter(r)) return std::nullopt;
  return static_cast<unsigned char>(r.KeyEvent.uChar & 0xFF);
}

Dword InputQueue::TakePendingLine(unsigned char* out, Dword count) {
  Dword n = std::min<Dword>(count, static_cast<Dword>(pending_line_.size()));
  std::memcpy(out, pending_line_.data(), n);
  pending_line_.erase(0, n);
  return n;
}

}  // namespace kelvane::platform::emulated
