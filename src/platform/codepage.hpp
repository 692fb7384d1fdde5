// Client strings are UTF-8; the console stores one byte per cell. On POSIX the system's "ANSI" code
// page and the console's output code page are both 437.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::platform {

// The glyph the console font shows for a byte: 0x00 as a space, 0x01..0x1F as the smileys, arrows and
// so on, 0x7F as the house, 0x80..0xFF as code page 437. For drawing cells, never for client strings.
char32_t Cp437Glyph(unsigned char byte);

// UTF-8 client text to one byte per character. Characters 437 lacks, and each byte of invalid UTF-8,
// become '?'. U+0000..U+001F and U+007F stay the control bytes; the glyph characters (U+263A and so on)
// map to the same bytes, as do the characters of 0x80..0xFF.
std::string AnsiFromUtf8(std::string_view utf8);

// Bytes back to UTF-8: 0x00..0x7F as themselves (control characters included), 0x80..0xFF as their
// code page 437 characters.
std::string Utf8FromAnsi(std::string_view bytes);

// The number of characters in UTF-8 text, counting each byte of invalid UTF-8 as one.
std::size_t Utf8CharacterCount(std::string_view utf8);

// The first character of UTF-8 text (one invalid byte when it starts with one); empty for empty text.
std::string_view FirstUtf8Character(std::string_view utf8);

// UTF-8 encoding of one code point.
std::string EncodeUtf8(char32_t code_point);

}  // namespace kelvane::platform
