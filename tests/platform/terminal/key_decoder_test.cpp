// Terminal bytes to keystrokes: the tables of what terminals send, sequences split across reads, and
// Escape told from Alt by the time the next byte arrives. Keystrokes show as VK.CHAR[.MODIFIERS].
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/emulated/support.hpp"
#include "platform/terminal/key_decoder.hpp"

namespace kelvane::platform::terminal {
namespace {

using namespace std::chrono_literals;
const Clock::time_point t0{};
using platform::testing::ShowKeys;

TEST(KeyDecoder, WhatTerminalsSend) {
  const std::pair<std::string, std::string> table[] = {
      // Characters, with Shift where a US keyboard needs it; control bytes as Ctrl with their key.
      {"aA1!;~ ", "41.61 41.41.S 31.31 31.21.S BA.3B C0.7E.S 20.20"},
      {"\r\n\t\x7f\b", "D.D D.A.C 9.9 8.8 8.8"},
      {std::string("\x01\x1a\0\x1c\x1d\x1e\x1f", 7),
       "41.1.C 5A.1A.C 20.0.C DC.1C.C DD.1D.C 36.1E.SC BD.1F.SC"},
      // Escape alone, Alt with a key, Alt+Escape, Alt with a sequence.
      {"\x1b", "1B.1B"},
      {"\x1bx\x1bX\x1b\r", "58.78.A 58.58.SA D.D.A"},
      {"\x1b\x1b", "1B.1B.A"},
      {"\x1b\x1b[A", "26.0.A"},
      {"\x1b[", "DB.5B.A"},
      // Cursor and editing keys, in both cursor modes and the older forms.
      {"\x1b[A\x1b[B\x1b[C\x1b[D\x1bOA\x1bOD", "26.0 28.0 27.0 25.0 26.0 25.0"},
      {"\x1b[H\x1b[F\x1bOH\x1bOF\x1b[1~\x1b[4~\x1b[7~\x1b[8~", "24.0 23.0 24.0 23.0 24.0 23.0 24.0 23.0"},
      {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~\x1b[Z", "2D.0 2E.0 21.0 22.0 9.9.S"},
      // Function keys: xterm's, the VT220's and the Linux console's.
      {"\x1bOP\x1bOQ\x1bOR\x1bOS\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~",
       "70.0 71.0 72.0 73.0 70.0 71.0 72.0 73.0 74.0"},
      {"\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~\x1b[[A\x1b[[E",
       "75.0 76.0 77.0 78.0 79.0 7A.0 7B.0 70.0 74.0"},
      // Modifier parameters: 1 + Shift 1, Alt 2, Ctrl 4; Meta ignored; more than two numbers: none.
      {"\x1b[1;2A\x1b[1;3B\x1b[1;5C\x1b[1;8D\x1b[1;13H", "26.0.S 28.0.A 27.0.C 25.0.SAC 24.0.C"},
      {"\x1b[3;5~\x1b[15;2~\x1b[1;5P\x1b[2;3;5~", "2E.0.C 74.0.S 70.0.C 2D.0"},
      // Unknown sequences and reports go whole; what follows them is still typed.
      {"\x1b[99~\x1b[<0;1;2M\x1b[200~\x1bOz\x1b[?1;2cx", "58.78"},
      {"\x1b[" + std::string(100, '1') + "~y", "59.79"},
      // UTF-8: the character's code page 437 byte on the packet key; '?' when 437 lacks it.
      {"\xc3\xa9\xe2\x94\x80\xe2\x98\xba\xe2\x82\xac\x1b\xc3\xa9", "E7.82 E7.C4 E7.1 E7.3F E7.82.A"},
      // Invalid UTF-8 gives no key, and takes nothing valid with it.
      {"\xff\x80\xc3(\xed\xa0\x80\xf0\x80\x80\x80z", "39.28.S 5A.7A"},
  };
  for (const auto& [bytes, strokes] : table) {
    KeyDecoder decoder;  // the bytes arrive in one read, and then nothing more
    std::vector<KeyStroke> keys;
    decoder.Feed(bytes, t0, keys);
    decoder.Timeout(keys);
    EXPECT_EQ(ShowKeys(keys), strokes) << ::testing::PrintToString(bytes);
  }
}

TEST(KeyDecoder, PiecesAcrossReadsAndTime) {
  KeyDecoder decoder;
  std::vector<KeyStroke> keys;
  // A sequence and a character cut across reads are joined.
  decoder.Feed("\x1b[1", t0, keys);
  decoder.Feed(";5", t0 + 5ms, keys);
  decoder.Feed("A\xc3", t0 + 10ms, keys);
  EXPECT_EQ(ShowKeys(keys), "26.0.C");
  EXPECT_EQ(decoder.Deadline(), t0 + 10ms + kEscapeDelay);
  decoder.Feed("\xa9", t0 + 20ms, keys);
  EXPECT_EQ(ShowKeys(keys), "26.0.C E7.82");
  EXPECT_FALSE(decoder.Deadline());

  // Escape then x at once is Alt+x; x after the delay is Escape, then x.
  keys.clear();
  decoder.Feed("\x1b", t0, keys);
  decoder.Feed("x", t0 + kEscapeDelay - 1ms, keys);
  decoder.Feed("\x1b", t0 + 1s, keys);
  EXPECT_EQ(decoder.Deadline(), t0 + 1s + kEscapeDelay);
  decoder.Feed("x", t0 + 1s + kEscapeDelay, keys);
  EXPECT_EQ(ShowKeys(keys), "58.78.A 1B.1B 58.78");

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
  EXPECT_EQ(ShowKeys(keys), "42.62");
}

}  // namespace
}  // namespace kelvane::platform::terminal
