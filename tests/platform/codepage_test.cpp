#include "platform/codepage.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::platform {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// The 256 glyphs written as the characters themselves rather than as code points, so that a wrong
// digit in the implementation's table cannot be repeated here. The 0x80..0xFF rows were checked
// against an independent code page 437 decoder.
constexpr std::string_view kGlyphRows[16] = {
    " ☺☻♥♦♣♠•◘○◙♂♀♪♫☼",       // 00
    "►◄↕‼¶§▬↨↑↓→←∟↔▲▼",       // 10
    " !\"#$%&'()*+,-./",      // 20
    "0123456789:;<=>?",       // 30
    "@ABCDEFGHIJKLMNO",       // 40
    "PQRSTUVWXYZ[\\]^_",      // 50
    "`abcdefghijklmno",       // 60
    "pqrstuvwxyz{|}~⌂",       // 70
    "ÇüéâäàåçêëèïîìÄÅ",       // 80
    "ÉæÆôöòûùÿÖÜ¢£¥₧ƒ",       // 90
    "áíóúñÑªº¿⌐¬½¼¡«»",       // A0
    "░▒▓│┤╡╢╖╕╣║╗╝╜╛┐",       // B0
    "└┴┬├─┼╞╟╚╔╩╦╠═╬╧",       // C0
    "╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀",       // D0
    "αßΓπΣσµτΦΘΩδ∞φε∩",       // E0
    "≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0",  // F0 (the last is a no-break space)
};

std::string AllGlyphsUtf8() {
  std::string all;
  for (std::string_view row : kGlyphRows) all += row;
  return all;
}

std::string ByteRange(int first, int last) {
  std::string bytes;
  for (int b = first; b <= last; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

// Splits text with FirstUtf8Character, so its pieces are exactly what the conversions treat as one
// character.
std::vector<std::string_view> SplitCharacters(std::string_view text) {
  std::vector<std::string_view> pieces;
  while (!text.empty()) {
    std::string_view piece = FirstUtf8Character(text);
    if (piece.empty()) break;  // would loop forever; the caller's size checks then fail
    pieces.push_back(piece);
    text.remove_prefix(piece.size());
  }
  return pieces;
}

// ---------------------------------------------------------------------------------------------------
// The glyph table.

TEST(CodepageGlyphTest, MatchesTheLiteralGlyphsForAllBytes) {
  const std::string all = AllGlyphsUtf8();
  const std::vector<std::string_view> pieces = SplitCharacters(all);
  ASSERT_EQ(pieces.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << b);
    EXPECT_EQ(EncodeUtf8(Cp437Glyph(static_cast<unsigned char>(b))), pieces[b]);
  }
}

TEST(CodepageGlyphTest, RowBoundaries) {
  EXPECT_EQ(Cp437Glyph(0x00), U' ');
  EXPECT_EQ(Cp437Glyph(0x01), U'\u263A');
  EXPECT_EQ(Cp437Glyph(0x1F), U'\u25BC');
  EXPECT_EQ(Cp437Glyph(0x20), U' ');
  EXPECT_EQ(Cp437Glyph(0x7E), U'~');
  EXPECT_EQ(Cp437Glyph(0x7F), U'\u2302');
  EXPECT_EQ(Cp437Glyph(0x80), U'\u00C7');
  EXPECT_EQ(Cp437Glyph(0xFF), U'\u00A0');
}

TEST(CodepageGlyphTest, EveryByteShowsAPrintableCharacter) {
  for (int b = 0; b < 256; ++b) {
    const char32_t glyph = Cp437Glyph(static_cast<unsigned char>(b));
    EXPECT_GE(glyph, U' ') << "byte " << b;
    EXPECT_FALSE(glyph >= 0x7F && glyph <= 0x9F) << "byte " << b;
  }
}

// Anything else would make some byte impossible to get back from what the screen shows.
TEST(CodepageGlyphTest, OnlyNulAndSpaceShareAGlyph) {
  std::set<char32_t> seen;
  for (int b = 1; b < 256; ++b) {
    EXPECT_TRUE(seen.insert(Cp437Glyph(static_cast<unsigned char>(b))).second) << "byte " << b;
  }
  EXPECT_EQ(Cp437Glyph(0x00), Cp437Glyph(0x20));
}

// ---------------------------------------------------------------------------------------------------
// Round trips over every byte.

TEST(CodepageRoundTripTest, EveryByteSurvivesUtf8AndBack) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(AnsiFromUtf8(Utf8FromAnsi(byte)), byte) << "byte " << b;
  }
  const std::string all = ByteRange(0x00, 0xFF);
  EXPECT_EQ(AnsiFromUtf8(Utf8FromAnsi(all)), all);
}

TEST(CodepageRoundTripTest, EveryGlyphMapsBackToItsByte) {
  for (int b = 0x01; b <= 0xFF; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    EXPECT_EQ(AnsiFromUtf8(EncodeUtf8(Cp437Glyph(byte))), std::string(1, static_cast<char>(byte)))
        << "byte " << b;
  }
}

// NUL is drawn as a space, and a space the client writes must stay a space.
TEST(CodepageRoundTripTest, NulGlyphMapsBackToSpace) {
  EXPECT_EQ(AnsiFromUtf8(EncodeUtf8(Cp437Glyph(0x00))), " ");
}

TEST(CodepageRoundTripTest, TheWholeGlyphStringMapsToAllBytes) {
  std::string expected = ByteRange(0x00, 0xFF);
  expected[0] = ' ';
  EXPECT_EQ(AnsiFromUtf8(AllGlyphsUtf8()), expected);
}

// A full screen buffer's worth in one call, mixing every byte.
TEST(CodepageRoundTripTest, LargeTextRoundTrips) {
  std::string bytes;
  for (int i = 0; i < 32768; ++i) bytes.push_back(static_cast<char>((i * 7) & 0xFF));
  const std::string utf8 = Utf8FromAnsi(bytes);
  EXPECT_EQ(Utf8CharacterCount(utf8), bytes.size());
  EXPECT_EQ(AnsiFromUtf8(utf8), bytes);
}

// ---------------------------------------------------------------------------------------------------
// Utf8FromAnsi.

TEST(CodepageUtf8FromAnsiTest, AsciiAndControlBytesPassThrough) {
  const std::string low = ByteRange(0x00, 0x7F);
  EXPECT_EQ(Utf8FromAnsi(low), low);
}

TEST(CodepageUtf8FromAnsiTest, HighBytesBecomeTheirGlyphs) {
  const std::string all = AllGlyphsUtf8();
  const std::string high_glyphs = all.substr(all.find("Ç"));
  EXPECT_EQ(Utf8FromAnsi(ByteRange(0x80, 0xFF)), high_glyphs);
}

TEST(CodepageUtf8FromAnsiTest, MixedText) {
  EXPECT_EQ(Utf8FromAnsi("\xC9\xCD\xBB\r\n\xBA"
                         "caf\x82\xBA"),
            "╔═╗\r\n║café║");
  EXPECT_EQ(Utf8FromAnsi(""), "");
}

// ---------------------------------------------------------------------------------------------------
// AnsiFromUtf8 on valid text.

TEST(CodepageAnsiFromUtf8Test, AsciiAndControlCharactersStayTheSameBytes) {
  const std::string low = ByteRange(0x00, 0x7F);
  EXPECT_EQ(AnsiFromUtf8(low), low);
  EXPECT_EQ(AnsiFromUtf8(""), "");
}

TEST(CodepageAnsiFromUtf8Test, GlyphCharactersOfTheLowRowsMapToTheirBytes) {
  EXPECT_EQ(AnsiFromUtf8("☺"), "\x01");
  EXPECT_EQ(AnsiFromUtf8("☼"), "\x0F");
  EXPECT_EQ(AnsiFromUtf8("►"), "\x10");
  EXPECT_EQ(AnsiFromUtf8("←"), "\x1B");
  EXPECT_EQ(AnsiFromUtf8("▼"), "\x1F");
  EXPECT_EQ(AnsiFromUtf8("⌂"), "\x7F");
}

TEST(CodepageAnsiFromUtf8Test, HighRowCharactersMapToTheirBytes) {
  EXPECT_EQ(AnsiFromUtf8("Ç"), "\x80");
  EXPECT_EQ(AnsiFromUtf8("é"), "\x82");
  EXPECT_EQ(AnsiFromUtf8("┌"), "\xDA");
  EXPECT_EQ(AnsiFromUtf8("═"), "\xCD");
  EXPECT_EQ(AnsiFromUtf8("\u00A0"), "\xFF");
}

TEST(CodepageAnsiFromUtf8Test, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(AnsiFromUtf8("€"), "?");
  EXPECT_EQ(AnsiFromUtf8("😀"), "?");
  EXPECT_EQ(AnsiFromUtf8("漢字"), "??");
  EXPECT_EQ(AnsiFromUtf8("\u0080"), "?");  // a C1 control, not a code page 437 byte
  EXPECT_EQ(AnsiFromUtf8("\u00A4"), "?");  // Latin-1 has it, 437 does not
  EXPECT_EQ(AnsiFromUtf8("\uFFFD"), "?");
  EXPECT_EQ(AnsiFromUtf8("\U0010FFFF"), "?");
}

// Neighbours of mapped characters, where an off-by-one in the lookup would show.
TEST(CodepageAnsiFromUtf8Test, NeighboursOfMappedCharactersAreUnmapped) {
  EXPECT_EQ(AnsiFromUtf8("\u009F\u00A0\u00A1"), "?\xFF\xAD");
  EXPECT_EQ(AnsiFromUtf8("\u2301\u2302\u2303"), "?\x7F?");
  EXPECT_EQ(AnsiFromUtf8("\u2639\u263A\u263B\u263C\u263D"), "?\x01\x02\x0F?");
  EXPECT_EQ(AnsiFromUtf8("\u25A0\u25A1"), "\xFE?");
}

TEST(CodepageAnsiFromUtf8Test, MixedText) {
  EXPECT_EQ(AnsiFromUtf8("Größe ╔═╗ ☺ €5\n"),
            "Gr\x94\xE1"
            "e \xC9\xCD\xBB \x01 ?5\n");
}

// Every scalar value: exactly the 128 ASCII ones and the 160 non-ASCII glyphs map to a byte, each to
// the byte showing it; the rest give '?'. Also checks EncodeUtf8 produces one character for each.
TEST(CodepageAnsiFromUtf8Test, EveryCodePointMapsToItsByteOrToQuestionMark) {
  int mapped_non_ascii = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::string utf8 = EncodeUtf8(cp);
    ASSERT_EQ(Utf8CharacterCount(utf8), 1u) << "U+" << std::hex << static_cast<unsigned>(cp);
    ASSERT_EQ(FirstUtf8Character(utf8), utf8) << "U+" << std::hex << static_cast<unsigned>(cp);
    const std::string ansi = AnsiFromUtf8(utf8);
    ASSERT_EQ(ansi.size(), 1u) << "U+" << std::hex << static_cast<unsigned>(cp);
    const auto byte = static_cast<unsigned char>(ansi[0]);
    if (cp < 0x80) {
      ASSERT_EQ(byte, cp);
    } else if (byte != '?') {
      ASSERT_EQ(Cp437Glyph(byte), cp) << "U+" << std::hex << static_cast<unsigned>(cp);
      ++mapped_non_ascii;
    }
  }
  EXPECT_EQ(mapped_non_ascii, 31 + 1 + 128);
}

// ---------------------------------------------------------------------------------------------------
// Invalid UTF-8: each byte that cannot start a well-formed character costs one '?', and decoding
// resumes at the very next byte.

struct InvalidCase {
  const char* name;
  std::string input;
  std::string expected;
  std::size_t first_length;
};

void PrintTo(const InvalidCase& c, std::ostream* os) { *os << c.name; }

class CodepageInvalidUtf8Test : public testing::TestWithParam<InvalidCase> {};

TEST_P(CodepageInvalidUtf8Test, ConvertsCountsAndSplitsConsistently) {
  const InvalidCase& c = GetParam();
  EXPECT_EQ(AnsiFromUtf8(c.input), c.expected);
  EXPECT_EQ(Utf8CharacterCount(c.input), c.expected.size());
  const std::string_view first = FirstUtf8Character(c.input);
  EXPECT_EQ(first.size(), c.first_length);
  EXPECT_EQ(first.data(), c.input.data());
}

INSTANTIATE_TEST_SUITE_P(Cases, CodepageInvalidUtf8Test,
                         testing::Values(
                             // Continuation bytes with no lead.
                             InvalidCase{"LoneContinuationLow", "\x80", "?", 1},
                             InvalidCase{"LoneContinuationHigh", "\xBF", "?", 1},
                             InvalidCase{"StrayContinuationBetweenAscii",
                                         "a\x80"
                                         "b",
                                         "a?b", 1},
                             InvalidCase{"TwoStrayContinuations", "\x80\xBF", "??", 1},
                             InvalidCase{"ContinuationAfterCompleteCharacter", "\xC3\xA9\xA9", "\x82?", 2},
                             // Bytes that never start a character.
                             InvalidCase{"C0Overlong", "\xC0\xAF", "??", 1},
                             InvalidCase{"C1Overlong", "\xC1\xBF", "??", 1},
                             InvalidCase{"F5", "\xF5\x80\x80\x80", "????", 1},
                             InvalidCase{"FiveByteForm", "\xF8\x88\x80\x80\x80", "?????", 1},
                             InvalidCase{"SixByteForm", "\xFC\x84\x80\x80\x80\x80", "??????", 1},
                             InvalidCase{"FE", "\xFE", "?", 1}, InvalidCase{"FF", "\xFF", "?", 1},
                             // Overlong forms, next to the smallest value each length may carry.
                             InvalidCase{"OverlongNulTwoBytes", "\xC0\x80", "??", 1},
                             InvalidCase{"SmallestTwoByte", "\xC2\x80", "?", 2},
                             InvalidCase{"OverlongThreeByte", "\xE0\x80\xAF", "???", 1},
                             InvalidCase{"LargestOverlongThreeByte", "\xE0\x9F\xBF", "???", 1},
                             InvalidCase{"SmallestThreeByte", "\xE0\xA0\x80", "?", 3},
                             InvalidCase{"OverlongFourByte", "\xF0\x80\x80\xAF", "????", 1},
                             InvalidCase{"LargestOverlongFourByte", "\xF0\x8F\xBF\xBF", "????", 1},
                             InvalidCase{"SmallestFourByte", "\xF0\x90\x80\x80", "?", 4},
                             // Surrogates, next to the characters around them.
                             InvalidCase{"BeforeSurrogates", "\xED\x9F\xBF", "?", 3},
                             InvalidCase{"FirstSurrogate", "\xED\xA0\x80", "???", 1},
                             InvalidCase{"LastSurrogate", "\xED\xBF\xBF", "???", 1},
                             InvalidCase{"SurrogatePair", "\xED\xA0\xBD\xED\xB8\x80", "??????", 1},
                             InvalidCase{"AfterSurrogates", "\xEE\x80\x80", "?", 3},
                             // Past U+10FFFF.
                             InvalidCase{"LargestCodePoint", "\xF4\x8F\xBF\xBF", "?", 4},
                             InvalidCase{"JustPastLargest", "\xF4\x90\x80\x80", "????", 1},
                             InvalidCase{"LargestFourByteForm", "\xF7\xBF\xBF\xBF", "????", 1},
                             // Truncated sequences, at the end and before other text.
                             InvalidCase{"TruncatedTwoByteAtEnd", "\xC3", "?", 1},
                             InvalidCase{"TruncatedThreeByteAtEnd", "\xE2\x94", "??", 1},
                             InvalidCase{"TruncatedFourByteAtEnd", "\xF0\x9F\x98", "???", 1},
                             InvalidCase{"TruncatedBeforeAscii",
                                         "\xE2\x94"
                                         "A",
                                         "??A", 1},
                             InvalidCase{"TruncatedBeforeNul", "\xC3\x00"s, "?\x00"s, 1},
                             InvalidCase{"TruncatedBeforeValidCharacter", "\xE2\xC3\xA9", "?\x82", 1},
                             InvalidCase{"TruncatedBeforeNewLead", "\xF0\x9F\xE2\x94\x8C", "??\xDA", 1},
                             // Recovery after garbage.
                             InvalidCase{"ValidAfterInvalid", "\xFF\xC3\xA9", "?\x82", 1},
                             InvalidCase{"ValidBeforeInvalid", "\xE2\x94\x8C\xFF", "\xDA?", 3}),
                         [](const testing::TestParamInfo<InvalidCase>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------------------
// Utf8CharacterCount and FirstUtf8Character on valid text.

TEST(CodepageCharacterTest, EmptyText) {
  EXPECT_EQ(Utf8CharacterCount(""), 0u);
  EXPECT_TRUE(FirstUtf8Character("").empty());
}

TEST(CodepageCharacterTest, CountsCharactersNotBytes) {
  EXPECT_EQ(Utf8CharacterCount("abc"), 3u);
  EXPECT_EQ(Utf8CharacterCount("\0\0"s), 2u);
  EXPECT_EQ(Utf8CharacterCount("é"), 1u);
  EXPECT_EQ(Utf8CharacterCount("═"), 1u);
  EXPECT_EQ(Utf8CharacterCount("😀"), 1u);
  EXPECT_EQ(Utf8CharacterCount("aé═😀"), 4u);
  EXPECT_EQ(Utf8CharacterCount(AllGlyphsUtf8()), 256u);
}

TEST(CodepageCharacterTest, FirstCharacterIsTheWholeSequenceInPlace) {
  const std::string_view cases[] = {"a", "\0"sv, "é", "═", "😀"};
  for (std::string_view only : cases) {
    const std::string text = std::string(only) + "xyz";
    const std::string_view first = FirstUtf8Character(text);
    EXPECT_EQ(first, only);
    EXPECT_EQ(first.data(), text.data());
  }
}

// ---------------------------------------------------------------------------------------------------
// EncodeUtf8.

TEST(CodepageEncodeUtf8Test, LengthBoundaries) {
  EXPECT_EQ(EncodeUtf8(0x0000), "\0"s);
  EXPECT_EQ(EncodeUtf8(0x007F), "\x7F");
  EXPECT_EQ(EncodeUtf8(0x0080), "\xC2\x80");
  EXPECT_EQ(EncodeUtf8(0x07FF), "\xDF\xBF");
  EXPECT_EQ(EncodeUtf8(0x0800), "\xE0\xA0\x80");
  EXPECT_EQ(EncodeUtf8(0xD7FF), "\xED\x9F\xBF");
  EXPECT_EQ(EncodeUtf8(0xE000), "\xEE\x80\x80");
  EXPECT_EQ(EncodeUtf8(0xFFFF), "\xEF\xBF\xBF");
  EXPECT_EQ(EncodeUtf8(0x10000), "\xF0\x90\x80\x80");
  EXPECT_EQ(EncodeUtf8(0x10FFFF), "\xF4\x8F\xBF\xBF");
}

TEST(CodepageEncodeUtf8Test, MatchesTheCompilersEncoding) {
  EXPECT_EQ(EncodeUtf8(U'é'), "é");
  EXPECT_EQ(EncodeUtf8(U'═'), "═");
  EXPECT_EQ(EncodeUtf8(U'€'), "€");
  EXPECT_EQ(EncodeUtf8(U'😀'), "😀");
}

TEST(CodepageEncodeUtf8Test, CodePointsWithoutAnEncodingBecomeReplacementCharacter) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(EncodeUtf8(0xD800), replacement);
  EXPECT_EQ(EncodeUtf8(0xDBFF), replacement);
  EXPECT_EQ(EncodeUtf8(0xDC00), replacement);
  EXPECT_EQ(EncodeUtf8(0xDFFF), replacement);
  EXPECT_EQ(EncodeUtf8(0x110000), replacement);
  EXPECT_EQ(EncodeUtf8(0x7FFFFFFF), replacement);
  EXPECT_EQ(EncodeUtf8(0xFFFFFFFF), replacement);
}

// ---------------------------------------------------------------------------------------------------
// Random byte strings: no crash, and the three ways of cutting text into characters agree.

TEST(CodepageFuzzTest, RandomBytesConvertConsistently) {
  std::mt19937 random(437);
  // Weighted towards lead and continuation bytes and real sequences so that valid multi-byte
  // characters, near misses and truncations all come up often.
  const std::vector<std::string> fragments = {"a",    "\x00"s, "\x7F", "\x80", "\xBF",
                                              "\xC0", "\xC2",  "\xDF", "\xE0", "\xED",
                                              "\xEF", "\xF0",  "\xF4", "\xF5", "\xFF",
                                              "\xA0", "\x8F",  "\x90", "\x9F", "é",
                                              "═",    "☺",     "€",    "😀",    "\xF4\x8F\xBF\xBF"};
  std::uniform_int_distribution<int> length_of(0, 24);
  std::uniform_int_distribution<int> kind(0, 1);
  std::uniform_int_distribution<int> any_byte(0, 255);
  std::uniform_int_distribution<std::size_t> fragment_of(0, fragments.size() - 1);

  for (int iteration = 0; iteration < 20000; ++iteration) {
    std::string text;
    const int parts = length_of(random);
    for (int i = 0; i < parts; ++i) {
      if (kind(random) == 0) {
        text.push_back(static_cast<char>(any_byte(random)));
      } else {
        text += fragments[fragment_of(random)];
      }
    }

    const std::string ansi = AnsiFromUtf8(text);
    const std::size_t count = Utf8CharacterCount(text);
    ASSERT_EQ(ansi.size(), count) << testing::PrintToString(text);

    const std::vector<std::string_view> pieces = SplitCharacters(text);
    ASSERT_EQ(pieces.size(), count) << testing::PrintToString(text);
    std::size_t covered = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      ASSERT_EQ(AnsiFromUtf8(pieces[i]), std::string(1, ansi[i])) << testing::PrintToString(text);
      covered += pieces[i].size();
    }
    ASSERT_EQ(covered, text.size());

    // Whatever came out is a valid byte string, so it must come back unchanged.
    ASSERT_EQ(AnsiFromUtf8(Utf8FromAnsi(ansi)), ansi) << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace kelvane::platform
