#include "platform/emulated/key_source.hpp"

#include "platform/keyboard.hpp"

namespace kelvane::platform {

void ScriptedKeys::Add(std::vector<InputRecord> key) {
  std::lock_guard lock(mutex_);
  script_.push_back(KeyResult{KeyResult::Kind::Key, std::move(key)});
}

void ScriptedKeys::AddText(const std::string& cp437_bytes) {
  for (char c : cp437_bytes) Add(KeystrokeRecords(KeyStrokeForCharacter(static_cast<unsigned char>(c))));
}

void ScriptedKeys::AddNothing() {
  std::lock_guard lock(mutex_);
  script_.push_back(KeyResult{KeyResult::Kind::Nothing, {}});
}

KeyResult ScriptedKeys::NextKey() {
  std::lock_guard lock(mutex_);
  ++asked_;
  if (script_.empty()) return KeyResult{};
  KeyResult next = std::move(script_.front());
  script_.pop_front();
  return next;
}

void ScriptedKeys::Flush() noexcept {
  std::lock_guard lock(mutex_);
  ++flushes_;
}

size_t ScriptedKeys::Remaining() const {
  std::lock_guard lock(mutex_);
  return script_.size();
}

int ScriptedKeys::Asked() const {
  std::lock_guard lock(mutex_);
  return asked_;
}

int ScriptedKeys::Flushes() const {
  std::lock_guard lock(mutex_);
  return flushes_;
}

}  // namespace kelvane::platform
