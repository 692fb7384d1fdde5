#include "platform/keyboard.hpp"

#include <array>
#include <cctype>
#include <cstring>
#include <utility>

namespace kelvane::platform {

namespace {

struct ScanEntry {
  Word vk;
  Word scan;
};

constexpr std::array<ScanEntry, 44> kScanCodes{{
    {kVkBack, 0x0E}, {kVkTab, 0x0F},    {kVkReturn, 0x1C}, {kVkShift, 0x2A}, {kVkControl, 0x1D},
    {kVkMenu, 0x38}, {kVkEscape, 0x01}, {kVkSpace, 0x39},  {kVkPrior, 0x49}, {kVkNext, 0x51},
    {kVkEnd, 0x4F},  {kVkHome, 0x47},   {kVkLeft, 0x4B},   {kVkUp, 0x48},    {kVkRight, 0x4D},
    {kVkDown, 0x50}, {kVkInsert, 0x52}, {kVkDelete, 0x53}, {0x70, 0x3B},     {0x71, 0x3C},
    {0x72, 0x3D},    {0x73, 0x3E},      {0x74, 0x3F},      {0x75, 0x40},     {0x76, 0x41},
    {0x77, 0x42},    {0x78, 0x43},      {0x79, 0x44},      {0x7A, 0x57},     {0x7B, 0x58},
    {0xBA, 0x27},    {0xBB, 0x0D},      {0xBC, 0x33},      {0xBD, 0x0C},     {0xBE, 0x34},
    {0xBF, 0x35},    {0xC0, 0x29},      {0xDB, 0x1A},      {0xDC, 0x2B},     {0xDD, 0x1B},
    {0xDE, 0x28},    {0x30, 0x0B},      {0x31, 0x02},      {0x39, 0x0A},
}};

// Letters in the order A..Z.
constexpr std::array<Word, 26> kLetterScan{0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                           0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                           0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

// US layout punctuation: unshifted character, shifted character, virtual key.
struct Punct {
  char plain;
  char shifted;
  Word vk;
};
constexpr std::array<Punct, 11> kPunctuation{{{';', ':', 0xBA},
                                              {'=', '+', 0xBB},
                                              {',', '<', 0xBC},
                                              {'-', '_', 0xBD},
                                              {'.', '>', 0xBE},
                                              {'/', '?', 0xBF},
                                              {'`', '~', 0xC0},
                                              {'[', '{', 0xDB},
                                              {'\\', '|', 0xDC},
                                              {']', '}', 0xDD},
                                              {'\'', '"', 0xDE}}};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

InputRecord KeyRecord(bool down, Word vk, Word ch, Dword state) {
  InputRecord r;
  r.EventType = kKeyEvent;
  r.KeyEvent.bKeyDown = down ? 1 : 0;
  r.KeyEvent.wRepeatCount = 1;
  r.KeyEvent.wVirtualKeyCode = vk;
  r.KeyEvent.wVirtualScanCode = ScanCode(vk);
  r.KeyEvent.uChar = ch;
  r.KeyEvent.dwControlKeyState = state;
  return r;
}

// The character a key types with Shift held: the upper character of letters, digits and punctuation.
unsigned char ShiftedCharacter(unsigned char plain) {
  if (plain >= 'a' && plain <= 'z') return static_cast<unsigned char>(plain - 'a' + 'A');
  if (plain >= '0' && plain <= '9') return static_cast<unsigned char>(kShiftedDigits[plain - '0']);
  for (const auto& p : kPunctuation) {
    if (plain == static_cast<unsigned char>(p.plain)) return static_cast<unsigned char>(p.shifted);
  }
  return plain;
}

// The character of a key pressed with modifiers. Ctrl makes the control character of a letter, LF of
// Enter, DEL of Backspace and NUL of Space; Alt adds nothing to the character.
Word CharacterWithModifiers(const KeyStroke& stroke) {
  const Word vk = stroke.virtual_key;
  if (stroke.control_state & (kLeftCtrlPressed | kRightCtrlPressed)) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<Word>(vk - 'A' + 1);
    if (vk == kVkReturn) return '\n';
    if (vk == kVkBack) return 0x7F;
    if (vk == kVkSpace) return 0;
    return stroke.character;
  }
  if ((stroke.control_state & kShiftPressed) && stroke.character < 0x80) {
    return ShiftedCharacter(static_cast<unsigned char>(stroke.character));
  }
  return stroke.character;
}

}  // namespace

Word ScanCode(Word vk) {
  if (vk >= 'A' && vk <= 'Z') return kLetterScan[vk - 'A'];
  if (vk >= '1' && vk <= '9') return static_cast<Word>(0x02 + (vk - '1'));
  if (vk == '0') return 0x0B;
  for (const auto& e : kScanCodes) {
    if (e.vk == vk) return e.scan;
  }
  return 0;
}

bool IsEnhancedKey(Word vk) {
  return (vk >= kVkPrior && vk <= kVkDown) || vk == kVkInsert || vk == kVkDelete;
}

std::vector<InputRecord> KeystrokeRecords(const KeyStroke& stroke) {
  const Dword modifiers = stroke.control_state & (kShiftPressed | kLeftAltPressed | kRightAltPressed |
                                                  kLeftCtrlPressed | kRightCtrlPressed);
  const Dword locks = stroke.control_state & (kNumlockOn | kScrolllockOn | kCapslockOn);
  Dword held = locks;
  std::vector<InputRecord> records;
  // Downs in the order Shift, Alt, Ctrl; ups in the reverse order. The right-hand Alt and Ctrl keys
  // are enhanced keys themselves; the flag belongs to their own records only.
  struct Modifier {
    Dword bit;
    Word vk;
    Dword own_state;
  };
  constexpr std::array<Modifier, 5> kOrder{{{kShiftPressed, kVkShift, 0},
                                            {kLeftAltPressed, kVkMenu, 0},
                                            {kRightAltPressed, kVkMenu, kEnhancedKey},
                                            {kLeftCtrlPressed, kVkControl, 0},
                                            {kRightCtrlPressed, kVkControl, kEnhancedKey}}};
  for (const Modifier& m : kOrder) {
    if (modifiers & m.bit) {
      held |= m.bit;
      records.push_back(KeyRecord(true, m.vk, 0, held | m.own_state));
    }
  }
  Dword key_state =
      held | (IsEnhancedKey(stroke.virtual_key) ? kEnhancedKey : 0) | (stroke.control_state & kEnhancedKey);
  records.push_back(KeyRecord(true, stroke.virtual_key, stroke.character, key_state));
  records.push_back(KeyRecord(false, stroke.virtual_key, stroke.character, key_state));
  for (auto it = kOrder.rbegin(); it != kOrder.rend(); ++it) {
    if (modifiers & it->bit) {
      held &= ~it->bit;
      records.push_back(KeyRecord(false, it->vk, 0, held | it->own_state));
    }
  }
  return records;
}

KeyStroke KeyStrokeForCharacter(unsigned char byte) {
  if (byte >= 'a' && byte <= 'z') return {static_cast<Word>(byte - 'a' + 'A'), byte, 0};
  if (byte >= 'A' && byte <= 'Z') return {byte, byte, kShiftPressed};
  if (byte >= '0' && byte <= '9') return {byte, byte, 0};
  for (int d = 0; d < 10; ++d) {
    if (byte == static_cast<unsigned char>(kShiftedDigits[d])) {
      return {static_cast<Word>('0' + d), byte, kShiftPressed};
    }
  }
  for (const auto& p : kPunctuation) {
    if (byte == static_cast<unsigned char>(p.plain)) return {p.vk, byte, 0};
    if (byte == static_cast<unsigned char>(p.shifted)) return {p.vk, byte, kShiftPressed};
  }
  switch (byte) {
    case ' ':
      return {kVkSpace, ' ', 0};
    case '\r':
      return {kVkReturn, '\r', 0};
    case '\n':  // Ctrl+Enter
      return {kVkReturn, '\n', kLeftCtrlPressed};
    case '\t':
      return {kVkTab, '\t', 0};
    case 8:
      return {kVkBack, 8, 0};
    case 0x1B:
      return {kVkEscape, 0x1B, 0};
    case 0:  // Ctrl+Space
      return {kVkSpace, 0, kLeftCtrlPressed};
    default:
      break;
  }
  if (byte >= 1 && byte <= 26) return {static_cast<Word>('A' + byte - 1), byte, kLeftCtrlPressed};
  if (byte == 0x7F) return {kVkBack, 0x7F, kLeftCtrlPressed};
  return {kVkPacket, byte, 0};
}

std::vector<KeyStroke> ParseSendKeys(const std::string& keys) {
  struct Named {
    const char* name;
    Word vk;
    Word ch;
  };
  static constexpr Named kNamed[] = {
      {"ENTER", kVkReturn, '\r'},  {"TAB", kVkTab, '\t'},  {"ESC", kVkEscape, 0x1B},
      {"ESCAPE", kVkEscape, 0x1B}, {"BS", kVkBack, 8},     {"BACKSPACE", kVkBack, 8},
      {"BKSP", kVkBack, 8},        {"UP", kVkUp, 0},       {"DOWN", kVkDown, 0},
      {"LEFT", kVkLeft, 0},        {"RIGHT", kVkRight, 0}, {"HOME", kVkHome, 0},
      {"END", kVkEnd, 0},          {"PGUP", kVkPrior, 0},  {"PGDN", kVkNext, 0},
      {"INSERT", kVkInsert, 0},    {"INS", kVkInsert, 0},  {"DELETE", kVkDelete, 0},
      {"DEL", kVkDelete, 0},
  };
  std::vector<KeyStroke> strokes;
  Dword pending = 0;
  auto emit = [&](KeyStroke stroke) {
    stroke.control_state |= pending;
    stroke.character = CharacterWithModifiers(stroke);
    strokes.push_back(stroke);
    pending = 0;
  };
  for (size_t i = 0; i < keys.size(); ++i) {
    char c = keys[i];
    if (c == '+') {
      pending |= kShiftPressed;
    } else if (c == '^') {
      pending |= kLeftCtrlPressed;
    } else if (c == '%') {
      pending |= kLeftAltPressed;
    } else if (c == '~') {
      emit({kVkReturn, '\r', 0});
    } else if (c == '{') {
      size_t close = keys.find('}', i + 2);  // "{}}" names the brace itself
      if (close == std::string::npos) break;
      std::string name = keys.substr(i + 1, close - i - 1);
      i = close;
      if (name.size() == 1) {
        emit(KeyStrokeForCharacter(static_cast<unsigned char>(name[0])));
        continue;
      }
      for (auto& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (name.size() >= 2 && name[0] == 'F' && std::isdigit(static_cast<unsigned char>(name[1]))) {
        // One or two digits only: a longer number is no key (and could overflow).
        int n = 0;
        bool number = name.size() <= 3;
        for (size_t k = 1; number && k < name.size(); ++k) {
          number = std::isdigit(static_cast<unsigned char>(name[k])) != 0;
          n = n * 10 + (name[k] - '0');
        }
        if (number && n >= 1 && n <= 12) emit({static_cast<Word>(kVkF1 + n - 1), 0, 0});
        pending = 0;  // a skipped name takes its modifiers with it
        continue;
      }
      for (const auto& named : kNamed) {
        if (name == named.name) {
          emit({named.vk, named.ch, 0});
          break;
        }
      }
      pending = 0;
    } else {
      emit(KeyStrokeForCharacter(static_cast<unsigned char>(c)));
    }
  }
  return strokes;
}

}  // namespace kelvane::platform
