// Arbitrary bytes through the UTF-8 / code page 437 conversions. Checks the properties the rest of the
// library leans on: one byte per character, the character count agreeing with the converted length,
// every code page byte surviving bytes -> UTF-8 -> bytes, and no character that 437 has becoming '?'.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/codepage.hpp"

namespace kelvane::platform {
namespace {

void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "codepage_utf8: violated: %s\n", property);
  std::abort();
}

// The UTF-8 of every glyph, with the byte the conversion must give for it. 0x00's glyph is the space,
// which belongs to 0x20, so the map keeps the first byte found for each character.
const std::unordered_map<std::string, unsigned char>& GlyphBytes() {
  static const auto* const table = [] {
    auto* map = new std::unordered_map<std::string, unsigned char>;
    auto add = [map](int byte) {
      const auto b = static_cast<unsigned char>(byte);
      map->emplace(EncodeUtf8(Cp437Glyph(b)), b);
    };
    for (int byte = 0x20; byte <= 0xFF; ++byte) add(byte);
    for (int byte = 0x01; byte < 0x20; ++byte) add(byte);
    return map;
  }();
  return *table;
}

void CheckClientText(std::string_view utf8) {
  const std::string ansi = AnsiFromUtf8(utf8);
  Check(ansi.size() <= utf8.size(), "AnsiFromUtf8 is never longer than its input");
  Check(ansi.size() == Utf8CharacterCount(utf8), "AnsiFromUtf8 gives one byte per counted character");

  // Character by character, the conversion must agree with FirstUtf8Character's split and with the table.
  std::string_view rest = utf8;
  for (char byte : ansi) {
    const std::string_view piece = FirstUtf8Character(rest);
    Check(!piece.empty() && piece.size() <= 4,
          "FirstUtf8Character takes one to four bytes of non-empty text");
    Check(AnsiFromUtf8(piece) == std::string(1, byte), "a character converts alone as it does in the text");
    const auto b = static_cast<unsigned char>(byte);
    const auto glyph = GlyphBytes().find(std::string(piece));
    if (piece.size() == 1 && static_cast<unsigned char>(piece[0]) < 0x80) {
      Check(b == static_cast<unsigned char>(piece[0]), "ASCII, control characters included, stays itself");
    } else if (glyph != GlyphBytes().end()) {
      Check(b == glyph->second, "a character code page 437 has becomes its byte");
    } else {
      Check(byte == '?', "a character code page 437 lacks, or an invalid byte, becomes '?'");
    }
    rest.remove_prefix(piece.size());
  }
  Check(rest.empty(), "the characters cover the whole text");

  // The bytes back to UTF-8 and again to bytes: nothing changes, and the UTF-8 is well formed.
  const std::string back = Utf8FromAnsi(ansi);
  Check(AnsiFromUtf8(back) == ansi, "bytes -> UTF-8 -> bytes gives the same bytes");
  Check(Utf8CharacterCount(back) == ansi.size(), "Utf8FromAnsi gives one character per byte");
  Check(back.size() <= 3 * ansi.size(), "every code page 437 character fits in three UTF-8 bytes");
}

void CheckCodePageBytes(std::string_view bytes) {
  // The same input read as console cells rather than as client text.
  const std::string utf8 = Utf8FromAnsi(bytes);
  Check(Utf8CharacterCount(utf8) == bytes.size(), "Utf8FromAnsi gives one character per byte");
  Check(AnsiFromUtf8(utf8) == bytes, "any bytes survive bytes -> UTF-8 -> bytes");
}

}  // namespace
}  // namespace kelvane::platform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  kelvane::platform::CheckClientText(input);
  kelvane::platform::CheckCodePageBytes(input);
  return 0;
}
