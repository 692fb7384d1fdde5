// Terminal bytes to keystrokes: the tables of what terminals send, sequences split across reads, and
// Escape told from Alt by the time the next byte arrives.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/terminal/key_decoder.hpp"

namespace kelvane::platform::terminal {
namespace {

using namespace std::chrono_literals;
using Stroke = std::tuple<Word, Word, Dword>;  // virtual key, character, modifiers
constexpr Dword S = kShiftPressed, A = kLeftAltPressed, C = kLeftCtrlPressed;
const Clock::time_point t0{};

std::vector<Stroke> Strokes(const std::vector<KeyStroke>& keys) {
  std::vector<Stroke> out;
  for (const KeyStroke& k : keys) out.emplace_back(k.virtual_key, k.character, k.control_state);
  return out;
}

// The bytes arriving in one read, and then nothing more.
std::vector<Stroke> Decode(const std::string& bytes) {
  KeyDecoder decoder;
  std::vector<KeyStroke> keys;
  decoder.Feed(bytes, t0, keys);
  decoder.Timeout(keys);
  return Strokes(keys);
}

TEST(KeyDecoder, WhatTerminalsSend) {
  const Word F1 = kVkF1;
  const std::vector<std::pair<std::string, std::vector<Stroke>>> table = {
      // Characters, with Shift where a US keyboard needs it; control bytes as Ctrl with their key.
      {"aA1!;~ ",
       {{'A', 'a', 0},
        {'A', 'A', S},
        {'1', '1', 0},
        {'1', '!', S},
        {0xBA, ';', 0},
        {0xC0, '~', S},
        {kVkSpace, ' ', 0}}},
      {"\r\n\t", {{kVkReturn, '\r', 0}, {kVkReturn, '\n', C}, {kVkTab, '\t', 0}}},
      {"\x7f\b", {{kVkBack, 8, 0}, {kVkBack, 8, 0}}},
      {std::string("\x01\x1a\0", 3), {{'A', 1, C}, {'Z', 26, C}, {kVkSpace, 0, C}}},
      {"\x1c\x1d\x1e\x1f", {{0xDC, 0x1C, C}, {0xDD, 0x1D, C}, {'6', 0x1E, C | S}, {0xBD, 0x1F, C | S}}},
      // Escape alone, Alt with a key, Alt+Escape, Alt with a sequence.
      {"\x1b", {{kVkEscape, 0x1B, 0}}},
      {"\x1bx\x1bX\x1b\r", {{'X', 'x', A}, {'X', 'X', S | A}, {kVkReturn, '\r', A}}},
      {"\x1b\x1b", {{kVkEscape, 0x1B, A}}},
      {"\x1b\x1b[A", {{kVkUp, 0, A}}},
      {"\x1b[", {{0xDB, '[', A}}},
      // Cursor and editing keys, in both cursor modes and the older forms.
      {"\x1b[A\x1b[B\x1b[C\x1b[D\x1bOA\x1bOD",
       {{kVkUp, 0, 0}, {kVkDown, 0, 0}, {kVkRight, 0, 0}, {kVkLeft, 0, 0}, {kVkUp, 0, 0}, {kVkLeft, 0, 0}}},
      {"\x1b[H\x1b[F\x1bOH\x1bOF\x1b[1~\x1b[4~\x1b[7~\x1b[8~",
       {{kVkHome, 0, 0},
        {kVkEnd, 0, 0},
        {kVkHome, 0, 0},
        {kVkEnd, 0, 0},
        {kVkHome, 0, 0},
        {kVkEnd, 0, 0},
        {kVkHome, 0, 0},
        {kVkEnd, 0, 0}}},
      {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~\x1b[Z",
       {{kVkInsert, 0, 0}, {kVkDelete, 0, 0}, {kVkPrior, 0, 0}, {kVkNext, 0, 0}, {kVkTab, '\t', S}}},
      // Function keys: xterm's, the VT220's and the Linux console's.
      {"\x1bOP\x1bOQ\x1bOR\x1bOS", {{F1, 0, 0}, {F1 + 1, 0, 0}, {F1 + 2, 0, 0}, {F1 + 3, 0, 0}}},
      {"\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~",
       {{F1, 0, 0}, {F1 + 1, 0, 0}, {F1 + 2, 0, 0}, {F1 + 3, 0, 0}, {F1 + 4, 0, 0}}},
      {"\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~",
       {{F1 + 5, 0, 0},
        {F1 + 6, 0, 0},
        {F1 + 7, 0, 0},
        {F1 + 8, 0, 0},
        {F1 + 9, 0, 0},
        {F1 + 10, 0, 0},
        {F1 + 11, 0, 0}}},
      {"\x1b[[A\x1b[[E", {{F1, 0, 0}, {F1 + 4, 0, 0}}},
      // Modifier parameters: 1 + Shift 1, Alt 2, Ctrl 4; Meta ignored; more than two numbers: none.
      {"\x1b[1;2A\x1b[1;3B\x1b[1;5C\x1b[1;8D\x1b[1;13H",
       {{kVkUp, 0, S}, {kVkDown, 0, A}, {kVkRight, 0, C}, {kVkLeft, 0, S | A | C}, {kVkHome, 0, C}}},
      {"\x1b[3;5~\x1b[15;2~\x1b[1;5P\x1b[2;3;5~",
       {{kVkDelete, 0, C}, {F1 + 4, 0, S}, {F1, 0, C}, {kVkInsert, 0, 0}}},
      // Unknown sequences and reports go whole; what follows them is still typed.
      {"\x1b[99~\x1b[<0;1;2M\x1b[200~\x1bOz\x1b[?1;2cx", {{'X', 'x', 0}}},
      {"\x1b[" + std::string(100, '1') + "~y", {{'Y', 'y', 0}}},
      // UTF-8: the character's code page 437 byte on the packet key; '?' when 437 lacks it.
      {"\xc3\xa9\xe2\x94\x80\xe2\x98\xba\xe2\x82\xac",
       {{kVkPacket, 0x82, 0}, {kVkPacket, 0xC4, 0}, {kVkPacket, 0x01, 0}, {kVkPacket, '?', 0}}},
      {"\x1b\xc3\xa9", {{kVkPacket, 0x82, A}}},
      // Invalid UTF-8 gives no key, and takes nothing valid with it.
      {"\xff\x80\xc3(\xed\xa0\x80\xf0\x80\x80\x80z", {{'9', '(', S}, {'Z', 'z', 0}}},
  };
  for (const auto& [bytes, strokes] : table) {
    EXPECT_EQ(Decode(bytes), strokes) << ::testing::PrintToString(bytes);
  }
}

TEST(KeyDecoder, PiecesAcrossReadsAndTime) {
  KeyDecoder decoder;
  std::vector<KeyStroke> keys;
  // A sequence and a character cut across reads are joined.
  decoder.Feed("\x1b[1", t0, keys);
  decoder.Feed(";5", t0 + 5ms, keys);
  decoder.Feed("A\xc3", t0 + 10ms, keys);
  EXPECT_EQ(Strokes(keys), (std::vector<Stroke>{{kVkUp, 0, C}}));
  EXPECT_EQ(decoder.Deadline(), t0 + 10ms + kEscapeDelay);
  decoder.Feed("\xa9", t0 + 20ms, keys);
  EXPECT_EQ(keys.back().character, 0x82);
  EXPECT_FALSE(decoder.Deadline());

  // Escape then x at once is Alt+x; x after the delay is Escape, then x.
  keys.clear();
  decoder.Feed("\x1b", t0, keys);
  decoder.Feed("x", t0 + kEscapeDelay - 1ms, keys);
  decoder.Feed("\x1b", t0 + 1s, keys);
  EXPECT_EQ(decoder.Deadline(), t0 + 1s + kEscapeDelay);
  decoder.Feed("x", t0 + 1s + kEscapeDelay, keys);
  EXPECT_EQ(Strokes(keys), (std::vector<Stroke>{{'X', 'x', A}, {kVkEscape, 0x1B, 0}, {'X', 'x', 0}}));

  // Keys typed ahead and discarded take the held bytes with them; a cut character at the end of input
  // gives nothing.
  keys.clear();
  decoder.Feed("\x1b[1;", t0, keys);
  decoder.Clear();
  decoder.Feed("\xe2\x94", t0, keys);
  decoder.Timeout(keys);
  EXPECT_TRUE(keys.empty());
  EXPECT_FALSE(decoder.Holding());
  // A sequence too long to be a key is not held: it is dropped as it comes, up to its final byte.
  decoder.Feed("\x1b[" + std::string(40, '1'), t0, keys);
  EXPECT_FALSE(decoder.Holding());
  decoder.Feed("1;2Ab", t0, keys);
  EXPECT_EQ(Strokes(keys), (std::vector<Stroke>{{'B', 'b', 0}}));
}

}  // namespace
}  // namespace kelvane::platform::terminal
