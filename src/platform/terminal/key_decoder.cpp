#include "platform/terminal/key_decoder.hpp"

#include <array>

#include "platform/codepage.hpp"

namespace kelvane::platform::terminal {

namespace {

constexpr size_t kLongestSequence = 32;  // anything longer is no key of ours, and is dropped
constexpr Dword kShift = kShiftPressed, kAlt = kLeftAltPressed, kCtrl = kLeftCtrlPressed;

// The key of one byte typed on its own.
KeyStroke KeyOfByte(unsigned char byte) {
  switch (byte) {
    case 0x08:
    case 0x7F:  // what terminals send for Backspace, one or the other
      return {kVkBack, 0x08, 0};
    case 0x1C:
      return {0xDC, 0x1C, kCtrl};  // Ctrl+backslash
    case 0x1D:
      return {0xDD, 0x1D, kCtrl};  // Ctrl+]
    case 0x1E:
      return {'6', 0x1E, kCtrl | kShift};  // Ctrl+^
    case 0x1F:
      return {0xBD, 0x1F, kCtrl | kShift};  // Ctrl+_
    default:
      break;
  }
  return KeyStrokeForCharacter(byte);
}

// The length of the valid UTF-8 character at the front of `s` (2..4); 0 when it is invalid; -1 when it
// is cut short and more bytes may complete it.
int Utf8Length(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                     : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                    : 0;
  if (length == 0) return 0;
  for (int k = 1; k < length; ++k) {
    if (static_cast<size_t>(k) >= s.size()) return -1;
    const auto c = static_cast<unsigned char>(s[static_cast<size_t>(k)]);
    unsigned char low = 0x80, high = 0xBF;
    if (k == 1 && lead == 0xE0) low = 0xA0;   // overlong
    if (k == 1 && lead == 0xED) high = 0x9F;  // surrogates
    if (k == 1 && lead == 0xF0) low = 0x90;   // overlong
    if (k == 1 && lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    if (c < low || c > high) return 0;
  }
  return length;
}

// The key of a CSI or SS3 sequence's final byte and numbers; virtual key 0 when there is none.
KeyStroke KeyOfSequence(bool ss3, char final_byte, int first) {
  switch (final_byte) {
    case 'A':
      return {kVkUp, 0, 0};
    case 'B':
      return {kVkDown, 0, 0};
    case 'C':
      return {kVkRight, 0, 0};
    case 'D':
      return {kVkLeft, 0, 0};
    case 'H':
      return {kVkHome, 0, 0};
    case 'F':
      return {kVkEnd, 0, 0};
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      return {static_cast<Word>(kVkF1 + (final_byte - 'P')), 0, 0};
    case 'Z':
      return ss3 ? KeyStroke{} : KeyStroke{kVkTab, '\t', kShift};
    case '~': {
      if (ss3) return {};
      // 1..8: the editing keys (7 and 8 as rxvt sends Home and End); 11..24: the function keys.
      constexpr std::array<Word, 25> kTilde = {
          0,         kVkHome,   kVkInsert, kVkDelete, kVkEnd,    kVkPrior,   kVkNext,   kVkHome, kVkEnd,
          0,         0,         kVkF1,     kVkF1 + 1, kVkF1 + 2, kVkF1 + 3,  kVkF1 + 4, 0,       kVkF1 + 5,
          kVkF1 + 6, kVkF1 + 7, kVkF1 + 8, kVkF1 + 9, 0,         kVkF1 + 10, kVkF1 + 11};
      if (first < 0 || first >= static_cast<int>(kTilde.size())) return {};
      return {kTilde[static_cast<size_t>(first)], 0, 0};
    }
    default:
      return {};
  }
}

}  // namespace

void KeyDecoder::Feed(std::string_view bytes, Clock::time_point now, std::vector<KeyStroke>& keys) {
  // Bytes held past their deadline were complete before these arrived.
  if (!held_.empty() && now >= held_since_ + kEscapeDelay) Timeout(keys);
  if (held_.empty()) held_since_ = now;
  held_.append(bytes);
  size_t at = Skip(held_);
  while (at < held_.size()) {
    const size_t used = DecodeOne(std::string_view(held_).substr(at), false, keys);
    if (used == 0) break;
    at += used;
  }
  if (at > 0) {
    held_.erase(0, at);
    held_since_ = now;
  }
}

std::optional<Clock::time_point> KeyDecoder::Deadline() const {
  if (held_.empty()) return std::nullopt;
  return held_since_ + kEscapeDelay;
}

void KeyDecoder::Timeout(std::vector<KeyStroke>& keys) {
  size_t at = 0;
  while (at < held_.size()) at += DecodeOne(std::string_view(held_).substr(at), true, keys);
  held_.clear();
  skipping_ = false;
}

size_t KeyDecoder::Skip(std::string_view bytes) {
  size_t used = 0;
  while (used < bytes.size() && skipping_) {
    const auto c = static_cast<unsigned char>(bytes[used]);
    if (c >= 0x20 && c <= 0x7E) ++used;
    if (c < 0x20 || c > 0x3F) skipping_ = false;
  }
  return used;
}

size_t KeyDecoder::DecodeOne(std::string_view s, bool final, std::vector<KeyStroke>& keys) {
  const auto first = static_cast<unsigned char>(s[0]);
  Dword alt = 0;
  size_t prefix = 0;
  if (first == 0x1B) {
    if (s.size() == 1) {
      if (!final) return 0;
      keys.push_back({kVkEscape, 0x1B, 0});
      return 1;
    }
    // Escape then a sequence or a key: Alt with that key. Escape twice and no sequence: Alt+Escape.
    alt = kAlt;
    prefix = 1;
    if (s[1] == 0x1B) {
      if (s.size() == 2 && !final) return 0;
      if (s.size() < 3 || (s[2] != '[' && s[2] != 'O')) {
        keys.push_back({kVkEscape, 0x1B, kAlt});
        return 2;
      }
      prefix = 2;
    }
    const std::string_view rest = s.substr(prefix);
    if ((rest[0] == '[' || rest[0] == 'O') && prefix == 1) {
      alt = 0;
    }
    if (rest[0] == '[' || rest[0] == 'O') {
      // A sequence: ESC [ params final, ESC O final, or the Linux console's ESC [ [ A..E.
      const bool ss3 = rest[0] == 'O';
      const bool linux_console = !ss3 && rest.size() > 1 && rest[1] == '[';
      size_t end = 1;
      if (linux_console) {
        end = 2;
      } else if (!ss3) {
        while (end < rest.size() && static_cast<unsigned char>(rest[end]) >= 0x20 &&
               static_cast<unsigned char>(rest[end]) <= 0x3F)
          ++end;
      }
      if (end >= rest.size()) {
        if (rest.size() > kLongestSequence) {  // no key of ours: dropped whole, the rest as it comes
          skipping_ = !final;
          return s.size();
        }
        if (!final) return 0;
        // Cut short for good: Escape and '[' or 'O' alone are Alt with that key; longer, nothing.
        if (rest.size() == 1) {
          KeyStroke key = KeyOfByte(static_cast<unsigned char>(rest[0]));
          key.control_state |= kAlt;
          keys.push_back(key);
        }
        return s.size();
      }
      const size_t used = prefix + end + 1;
      const auto final_byte = static_cast<unsigned char>(rest[end]);
      if (final_byte < 0x40 || final_byte > 0x7E) return prefix + end;  // broken: dropped up to here
      if (end > kLongestSequence) return used;  // as when it comes in pieces: too long to be a key
      KeyStroke key;
      if (linux_console) {
        if (final_byte >= 'A' && final_byte <= 'E')
          key = {static_cast<Word>(kVkF1 + (final_byte - 'A')), 0, 0};
      } else {
        // Numbers separated by ';'; the second, when there are exactly two, is 1 + the modifiers.
        int numbers[2] = {0, 0};
        int count = ss3 ? 0 : 1;
        bool plain = true;
        for (size_t i = 1; i < end; ++i) {
          const char c = rest[i];
          if (c == ';') {
            ++count;
          } else if (c >= '0' && c <= '9' && count <= 2) {
            int& n = numbers[count - 1];
            n = n > 9999 ? n : n * 10 + (c - '0');
          } else if (c < '0' || c > '9') {
            plain = false;  // private markers, intermediates: reports that are no keys
          }
        }
        if (!plain) return used;
        key = KeyOfSequence(ss3, static_cast<char>(final_byte), count >= 1 ? numbers[0] : 0);
        if (count == 2 && numbers[1] >= 2) {
          const int bits = (numbers[1] - 1) & 7;  // Meta (8) is ignored
          key.control_state |= (bits & 1 ? kShift : 0) | (bits & 2 ? kAlt : 0) | (bits & 4 ? kCtrl : 0);
        }
      }
      if (key.virtual_key != 0) {
        key.control_state |= alt;
        keys.push_back(key);
      }
      return used;
    }
  }
  // One character, with Alt when Escape came first.
  const std::string_view rest = s.substr(prefix);
  const auto lead = static_cast<unsigned char>(rest[0]);
  if (lead < 0x80) {
    KeyStroke key = KeyOfByte(lead);
    key.control_state |= alt;
    keys.push_back(key);
    return prefix + 1;
  }
  const int length = Utf8Length(rest);
  if (length < 0) return final ? s.size() : 0;
  if (length == 0) return prefix + 1;  // not UTF-8: no key
  // A character typed, not a key pressed: the console's packet key with the character's 437 byte.
  const std::string byte = AnsiFromUtf8(rest.substr(0, static_cast<size_t>(length)));
  keys.push_back({kVkPacket, static_cast<unsigned char>(byte[0]), alt});
  return prefix + static_cast<size_t>(length);
}

}  // namespace kelvane::platform::terminal
