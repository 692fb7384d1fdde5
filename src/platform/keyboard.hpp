// Keystrokes as a US keyboard delivers them to the console: virtual-key and scan codes, the records of
// one keystroke with its modifiers, the keystroke behind a typed character, and the SendKeys notation.
#pragma once

#include <string>
#include <vector>

#include "platform/console_platform.hpp"

namespace kelvane::platform {

inline constexpr Word kVkBack = 0x08;
inline constexpr Word kVkTab = 0x09;
inline constexpr Word kVkReturn = 0x0D;
inline constexpr Word kVkShift = 0x10;
inline constexpr Word kVkControl = 0x11;
inline constexpr Word kVkMenu = 0x12;  // Alt
inline constexpr Word kVkEscape = 0x1B;
inline constexpr Word kVkSpace = 0x20;
inline constexpr Word kVkPrior = 0x21;
inline constexpr Word kVkNext = 0x22;
inline constexpr Word kVkEnd = 0x23;
inline constexpr Word kVkHome = 0x24;
inline constexpr Word kVkLeft = 0x25;
inline constexpr Word kVkUp = 0x26;
inline constexpr Word kVkRight = 0x27;
inline constexpr Word kVkDown = 0x28;
inline constexpr Word kVkInsert = 0x2D;
inline constexpr Word kVkDelete = 0x2E;
inline constexpr Word kVkF1 = 0x70;
// A character that comes without a key of its own (typed through an input method, or sent as a
// character): its key event has this code, never 0, which is no key at all.
inline constexpr Word kVkPacket = 0xE7;

struct KeyStroke {
  Word virtual_key = 0;
  Word character = 0;       // the code page 437 byte the key produces, 0 for none
  Dword control_state = 0;  // modifiers held (and kEnhancedKey for the navigation keys)
};

// PC set 1 scan code of a virtual key on a US layout (0 when the key has none).
Word ScanCode(Word virtual_key);
// Whether the key carries the enhanced-key flag (arrows, Home, End, Page keys, Insert, Delete).
bool IsEnhancedKey(Word virtual_key);

// Shift, Alt and Ctrl downs as held, the key down and up, then the modifier ups in reverse order. Each
// modifier record has no character and carries the modifiers held at that moment (the right-hand Alt
// and Ctrl records also the enhanced-key flag).
std::vector<InputRecord> KeystrokeRecords(const KeyStroke& stroke);

// The keystroke that types `byte` on a US keyboard: letters, digits and punctuation with Shift where
// needed, Enter for CR, Ctrl+Enter for LF, Tab, Backspace, Escape, Ctrl+Space for NUL, Ctrl+letter for
// 1..26, Ctrl+Backspace for DEL. A byte without a key of its own comes as VK_PACKET with that character.
KeyStroke KeyStrokeForCharacter(unsigned char byte);

// The SendKeys notation: + Shift, ^ Ctrl, % Alt for the next key, ~ Enter, {NAME} for named keys
// ({ENTER}, {TAB}, {ESC}, {BS}, {UP}, {F1}...), {+} and the like for the literal character. The
// character follows the modifiers: +a types 'A', ^a 1, ^{ENTER} LF. Unknown names are skipped along
// with their modifiers.
std::vector<KeyStroke> ParseSendKeys(const std::string& keys);

}  // namespace kelvane::platform
