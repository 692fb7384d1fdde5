#include "platform/codepage.hpp"

#include <algorithm>
#include <array>

namespace kelvane::platform {

namespace {

// What the console font draws for each byte. Everything else in this file is derived from this table,
// so a correction here reaches drawing and both conversion directions at once.
// clang-format off
constexpr std::array<char32_t, 256> kGlyphs = {
    /* 00 */ 0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    /* 08 */ 0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    /* 10 */ 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    /* 18 */ 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    /* 20 */ 0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,
    /* 28 */ 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    /* 30 */ 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    /* 38 */ 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    /* 40 */ 0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    /* 48 */ 0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    /* 50 */ 0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    /* 58 */ 0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    /* 60 */ 0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    /* 68 */ 0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    /* 70 */ 0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    /* 78 */ 0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,
    /* 80 */ 0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    /* 88 */ 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    /* 90 */ 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    /* 98 */ 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    /* A0 */ 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    /* A8 */ 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    /* B0 */ 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    /* B8 */ 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    /* C0 */ 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    /* C8 */ 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    /* D0 */ 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    /* D8 */ 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    /* E0 */ 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    /* E8 */ 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    /* F0 */ 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    /* F8 */ 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

constexpr char kUnmappable = '?';
constexpr char32_t kReplacementCharacter = 0xFFFD;

struct ReverseEntry {
  char32_t code_point;
  unsigned char byte;
};

// Every non-ASCII glyph counts, not just the 0x80..0xFF ones, so that a client can write the smileys
// and arrows it reads back from the screen. 0x00's space is left out: U+0020 must stay 0x20.
constexpr std::size_t CountNonAsciiGlyphs() {
  return static_cast<std::size_t>(
      std::count_if(kGlyphs.begin(), kGlyphs.end(), [](char32_t glyph) { return glyph >= 0x80; }));
}

constexpr auto kReverse = [] {
  std::array<ReverseEntry, CountNonAsciiGlyphs()> entries{};
  std::size_t next = 0;
  for (std::size_t byte = 0; byte < kGlyphs.size(); ++byte) {
    if (kGlyphs[byte] >= 0x80) entries[next++] = {kGlyphs[byte], static_cast<unsigned char>(byte)};
  }
  std::sort(entries.begin(), entries.end(),
            [](const ReverseEntry& a, const ReverseEntry& b) { return a.code_point < b.code_point; });
  return entries;
}();

constexpr bool NoGlyphSharedByTwoBytes() {
  for (std::size_t i = 1; i < kReverse.size(); ++i) {
    if (kReverse[i - 1].code_point == kReverse[i].code_point) return false;
  }
  return true;
}
// Otherwise the reverse lookup would silently pick one of the two bytes.
static_assert(NoGlyphSharedByTwoBytes());

char AnsiFromCodePoint(char32_t code_point) {
  if (code_point < 0x80) return static_cast<char>(code_point);
  auto found =
      std::lower_bound(kReverse.begin(), kReverse.end(), code_point,
                       [](const ReverseEntry& entry, char32_t wanted) { return entry.code_point < wanted; });
  if (found == kReverse.end() || found->code_point != code_point) return kUnmappable;
  return static_cast<char>(found->byte);
}

struct Decoded {
  char32_t code_point;
  std::size_t length;  // 1 for an invalid byte, whose code_point means nothing
  bool valid;
};

constexpr Decoded kInvalidByte{0, 1, false};

// Only the well-formed sequences of the Unicode standard (its table 3-7) decode; anything else costs
// exactly one byte, so that a damaged sequence cannot swallow the valid character after it and the
// character count always agrees with the converted length.
Decoded DecodeFirst(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return {lead, 1, true};

  std::size_t length = 0;
  char32_t code_point = 0;
  // The second byte's range is what rules out overlong forms, surrogates and values past U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kInvalidByte;
  }
  if (text.size() < length) return kInvalidByte;

  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if (next < low || next > high) return kInvalidByte;
    low = 0x80;
    high = 0xBF;
    code_point = (code_point << 6) | (next & 0x3F);
  }
  return {code_point, length, true};
}

void AppendUtf8(std::string& out, char32_t code_point) {
  // Surrogates and values past U+10FFFF have no UTF-8 form; U+FFFD keeps the output well-formed.
  if ((code_point >= 0xD800 && code_point <= 0xDFFF) || code_point > 0x10FFFF) {
    code_point = kReplacementCharacter;
  }
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace

char32_t Cp437Glyph(unsigned char byte) { return kGlyphs[byte]; }

std::string AnsiFromUtf8(std::string_view utf8) {
  // ASCII, as most text is, is its own bytes: taken whole up to the first byte that is not.
  std::size_t position = 0;
  while (position < utf8.size() && static_cast<unsigned char>(utf8[position]) < 0x80) ++position;
  std::string out(utf8.substr(0, position));
  if (position == utf8.size()) return out;
  out.reserve(utf8.size());
  while (position < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[position]);
    if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++position;
      continue;
    }
    const Decoded decoded = DecodeFirst(utf8.substr(position));
    out.push_back(decoded.valid ? AnsiFromCodePoint(decoded.code_point) : kUnmappable);
    position += decoded.length;
  }
  return out;
}

std::string Utf8FromAnsi(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      AppendUtf8(out, kGlyphs[byte]);
    }
  }
  return out;
}

std::size_t Utf8CharacterCount(std::string_view utf8) {
  std::size_t count = 0;
  std::size_t position = 0;
  while (position < utf8.size()) {
    position +=
        static_cast<unsigned char>(utf8[position]) < 0x80 ? 1 : DecodeFirst(utf8.substr(position)).length;
    ++count;
  }
  return count;
}

std::string_view FirstUtf8Character(std::string_view utf8) {
  if (utf8.empty()) return {};
  return utf8.substr(0, DecodeFirst(utf8).length);
}

// A surrogate or a value past U+10FFFF encodes as U+FFFD rather than as bytes no decoder accepts.
std::string EncodeUtf8(char32_t code_point) {
  std::string out;
  AppendUtf8(out, code_point);
  return out;
}

}  // namespace kelvane::platform
