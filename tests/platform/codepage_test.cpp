#include "platform/codepage.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
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

// Every byte's glyph, and each byte in both directions; the pieces of the table are exactly what the
// conversions take as one character.
TEST(CodepageTest, GlyphsAndBothDirectionsMatchTheLiteralTableForEveryByte) {
  std::string all;
  for (std::string_view row : kGlyphRows) all += row;
  std::vector<std::string_view> glyphs;
  for (std::string_view rest = all; !rest.empty() && !FirstUtf8Character(rest).empty();)
    rest.remove_prefix(glyphs.emplace_back(FirstUtf8Character(rest)).size());
  ASSERT_EQ(glyphs.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << b);
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(EncodeUtf8(Cp437Glyph(static_cast<unsigned char>(b))), glyphs[b]);
    // Control bytes stay themselves in client text; only drawing shows them as glyphs.
    EXPECT_EQ(Utf8FromAnsi(byte), b < 0x80 ? byte : std::string(glyphs[b]));
    EXPECT_EQ(AnsiFromUtf8(Utf8FromAnsi(byte)), byte);
    // NUL is drawn as a space, and a space the client writes must stay a space.
    EXPECT_EQ(AnsiFromUtf8(glyphs[b]), b == 0 ? " " : byte);
  }
}

// Each byte that cannot start a well-formed character costs one '?', and decoding resumes at the very
// next byte, so that the count always agrees with the converted length. Empty text and long text are the
// fuzz target codepage_utf8's.
struct Invalid {
  std::string input, expected;
  std::size_t first_length;  // of FirstUtf8Character
};
Invalid I(std::string input, std::string expected, std::size_t first_length) {
  return {std::move(input), std::move(expected), first_length};
}
void ExpectInvalid(std::initializer_list<Invalid> cases) {
  for (const Invalid& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    EXPECT_EQ(AnsiFromUtf8(c.input), c.expected);
    EXPECT_EQ(Utf8CharacterCount(c.input), c.expected.size());
    EXPECT_EQ(FirstUtf8Character(c.input), std::string_view(c.input).substr(0, c.first_length));
  }
}

TEST(CodepageTest, InvalidUtf8) {
  // Continuation bytes with no lead, and bytes that never start a character.
  ExpectInvalid({I("\x80", "?", 1), I("\xBF", "?", 1), I("a\x80\x62", "a?b", 1), I("\x80\xBF", "??", 1),
                 I("\xC3\xA9\xA9", "\x82?", 2), I("\xC0\xAF", "??", 1), I("\xC1\xBF", "??", 1),
                 I("\xF5\x80\x80\x80", "????", 1), I("\xF8\x88\x80\x80\x80", "?????", 1),
                 I("\xFC\x84\x80\x80\x80\x80", "??????", 1), I("\xFE", "?", 1), I("\xFF", "?", 1)});
  // Overlong forms, next to the smallest value each length may carry.
  ExpectInvalid({I("\xC0\x80", "??", 1), I("\xC2\x80", "?", 2), I("\xE0\x80\xAF", "???", 1),
                 I("\xE0\x9F\xBF", "???", 1), I("\xE0\xA0\x80", "?", 3), I("\xF0\x80\x80\xAF", "????", 1),
                 I("\xF0\x8F\xBF\xBF", "????", 1), I("\xF0\x90\x80\x80", "?", 4)});
  // Surrogates next to the characters around them, and the values past U+10FFFF.
  ExpectInvalid({I("\xED\x9F\xBF", "?", 3), I("\xED\xA0\x80", "???", 1), I("\xED\xBF\xBF", "???", 1),
                 I("\xED\xA0\xBD\xED\xB8\x80", "??????", 1), I("\xEE\x80\x80", "?", 3),
                 I("\xF4\x8F\xBF\xBF", "?", 4), I("\xF4\x90\x80\x80", "????", 1),
                 I("\xF7\xBF\xBF\xBF", "????", 1)});
  // Truncated sequences at the end and before other text, and recovery after garbage.
  ExpectInvalid({I("\xC3", "?", 1), I("\xE2\x94", "??", 1), I("\xF0\x9F\x98", "???", 1),
                 I("\xE2\x94\x41", "??A", 1), I("\xC3\x00"s, "?\x00"s, 1), I("\xE2\xC3\xA9", "?\x82", 1),
                 I("\xF0\x9F\xE2\x94\x8C", "??\xDA", 1), I("\xFF\xC3\xA9", "?\x82", 1),
                 I("\xE2\x94\x8C\xFF", "\xDA?", 3)});
}

// At each length boundary; a surrogate or a value past U+10FFFF has no UTF-8 form and gives U+FFFD.
TEST(CodepageTest, EncodeUtf8) {
  std::string encoded;
  for (char32_t code_point :
       std::initializer_list<char32_t>{0x0000, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF, 0xE000, 0xFFFF,
                                       0x10000, 0x10FFFF, 0xD800, 0xDFFF, 0x110000, 0xFFFFFFFF})
    encoded += EncodeUtf8(code_point) + "|";
  EXPECT_EQ(encoded,
            "\0|\x7F|\xC2\x80|\xDF\xBF|\xE0\xA0\x80|\xED\x9F\xBF|\xEE\x80\x80|\xEF\xBF\xBF|"
            "\xF0\x90\x80\x80|\xF4\x8F\xBF\xBF|\uFFFD|\uFFFD|\uFFFD|\uFFFD|"s);
}

}  // namespace
}  // namespace kelvane::platform
