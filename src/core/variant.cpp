// Variant::ToInteger and Variant::ToLong: the automation conversions to a 16-bit Integer and a 32-bit
// Long, following the OLE Automation rules of VarI2FromR8, VarI4FromR8, VarI2FromStr and VarI4FromStr
// (VarParseNumFromStr and VarNumFromParseNum with the standard parse flags) in the United States
// English locale. Variant::ToBoolean and Variant::ToString follow VariantChangeType to VT_BOOL and
// VT_BSTR without flags, in the same locale.
#include <kelvane/console.hpp>

#include "core/errors.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace KelvaneConsole {
namespace {

[[noreturn]] void FailOverflow() { ThrowOverflow(); }
[[noreturn]] void FailTypeMismatch() { ThrowTypeMismatch(); }

struct Target {
  std::int64_t min;
  std::int64_t max;
  // An &H or &O literal is a bit pattern: it is accepted when it fits in this many bits and then read
  // as a two's complement value, so "&HFFFF" is -1 as an Integer but 65535 as a Long.
  unsigned bits;
};

constexpr Target kIntegerTarget{INT16_MIN, INT16_MAX, 16};
constexpr Target kLongTarget{INT32_MIN, INT32_MAX, 32};

std::int64_t CheckRange(std::int64_t value, const Target& target) {
  if (value < target.min || value > target.max) FailOverflow();
  return value;
}

// VarI2FromR8 and VarI4FromR8: the range test comes before rounding and is written against the
// half-way points, so 32767.5 (which would round to 32768) overflows while -32768.5 (which rounds to
// the even -32768) does not.
std::int64_t FromDouble(double value, const Target& target) {
  // OLE leaves NaN to an undefined cast; an error is the only answer that cannot be mistaken for data.
  if (std::isnan(value)) FailOverflow();
  if (value < static_cast<double>(target.min) - 0.5 || value >= static_cast<double>(target.max) + 0.5) {
    FailOverflow();
  }
  // Within +-2^31 a double's distance from its floor is exact, so the tie test is exact too; the
  // rounding is done by hand so that the caller's floating-point rounding mode cannot change it.
  const double floor = std::floor(value);
  const double fraction = value - floor;
  auto result = static_cast<std::int64_t>(floor);
  if (fraction > 0.5 || (fraction == 0.5 && (result % 2 != 0))) ++result;
  return CheckRange(result, target);
}

// What the text said, before any range is applied.
struct ParsedNumber {
  bool negative = false;
  bool radix = false;  // an &H or &O literal
  // The &H or &O literal's value; once past 32 bits only the fact that it is too big matters.
  std::uint64_t radix_value = 0;
  bool radix_too_big = false;
  // A decimal number is significand * 10^scale, the significand's digits without leading zeros.
  std::string significand;
  std::int64_t scale = 0;
};

// Exponents beyond this are clamped: anything above 10^19 overflows every target and anything below
// 10^-19 rounds to 0, so the clamp changes no result while keeping the arithmetic far from overflow.
constexpr std::int64_t kExponentLimit = 1'000'000'000;

class NumberScanner {
 public:
  // OLE reads the text as a NUL-terminated OLECHAR string, so an embedded NUL ends it.
  explicit NumberScanner(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

  ParsedNumber Parse() {
    ParsedNumber number;
    ScanLeadingSymbols();
    number.negative = leading_minus_;
    if (!decimal_point_ && !currency_ && Peek() == '&' && IsRadixLetter(Peek(1))) {
      ScanRadixDigits(number);
    } else {
      ScanDecimalDigits(number);
    }
    ScanTrailingSymbols(number);
    if (pos_ != text_.size()) FailTypeMismatch();
    if (parenthesis_ && !closed_parenthesis_) FailTypeMismatch();
    if (!saw_digit_) FailTypeMismatch();
    // VarNumFromParseNum drops the sign of an &H or &O literal, so OLE turns "-&H10" into 16. Reading
    // it as -16 would invent a rule of our own and 16 silently loses the minus, so neither is given.
    if (number.radix && number.negative) FailTypeMismatch();
    return number;
  }

 private:
  char Peek(std::size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

  // The white space of iswspace in the Latin range: the ASCII spaces and U+00A0 (which Windows
  // accepts as leading and trailing space in the United States locale), the latter as UTF-8.
  std::size_t SpaceLength() const {
    switch (Peek()) {
      case ' ':
      case '\t':
      case '\n':
      case '\v':
      case '\f':
      case '\r':
        return 1;
      case '\xC2':
        return Peek(1) == '\xA0' ? 2 : 0;
      default:
        return 0;
    }
  }

  bool SkipSpaces() {
    bool skipped = false;
    while (std::size_t length = SpaceLength()) {
      pos_ += length;
      skipped = true;
    }
    return skipped;
  }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsRadixLetter(char c) { return c == 'H' || c == 'h' || c == 'O' || c == 'o'; }

  // Spaces, one '+', one '-', one '$' and one '(' in any order; a decimal point ends them and starts
  // the fraction. A thousands separator may not come before the first digit.
  void ScanLeadingSymbols() {
    for (;;) {
      const char c = Peek();
      if (c == '.') {
        decimal_point_ = true;
        ++pos_;
        return;
      }
      if (SkipSpaces()) continue;
      if (c == ',') FailTypeMismatch();
      if (c == '+' && !leading_plus_) {
        leading_plus_ = true;
      } else if (c == '-' && !leading_minus_) {
        leading_minus_ = true;
      } else if (c == '$' && !currency_) {
        currency_ = true;
      } else if (c == '(' && !parenthesis_) {
        parenthesis_ = true;
      } else {
        return;
      }
      ++pos_;
    }
  }

  void ScanRadixDigits(ParsedNumber& number) {
    number.radix = true;
    const bool hex = Peek(1) == 'H' || Peek(1) == 'h';
    pos_ += 2;
    for (;;) {
      const char c = Peek();
      int digit;
      if (c >= '0' && c <= (hex ? '9' : '7')) {
        digit = c - '0';
      } else if (hex && c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (hex && c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return;
      }
      saw_digit_ = true;
      ++pos_;
      if (number.radix_too_big) continue;
      number.radix_value = (number.radix_value << (hex ? 4 : 3)) | static_cast<std::uint64_t>(digit);
      if (number.radix_value > UINT32_MAX) number.radix_too_big = true;
    }
  }

  // Digits with thousands separators anywhere after the leading symbols (OLE ignores them, even
  // doubled or in the fraction), at most one decimal point, then an optional exponent. The exponent
  // is refused after a leading currency sign, as OLE does.
  void ScanDecimalDigits(ParsedNumber& number) {
    std::int64_t fraction_digits = 0;
    for (;;) {
      const char c = Peek();
      if (IsDigit(c)) {
        saw_digit_ = true;
        if (!number.significand.empty() || c != '0') number.significand.push_back(c);
        if (decimal_point_) ++fraction_digits;
      } else if (c == ',') {
      } else if (c == '.' && !decimal_point_) {
        decimal_point_ = true;
      } else if ((c == 'e' || c == 'E') && !currency_) {
        ++pos_;
        number.scale = ScanExponent();
        break;
      } else {
        break;
      }
      ++pos_;
    }
    number.scale -= fraction_digits;
  }

  // One optional sign, then at least one digit. OLE also takes repeated signs ("1e+-5") and, after
  // the exponent, more significand digits past a thousands separator ("1e3,5" as 15000); those read
  // as typing errors, so they are refused here.
  std::int64_t ScanExponent() {
    bool negative = false;
    if (Peek() == '+' || Peek() == '-') {
      negative = Peek() == '-';
      ++pos_;
    }
    if (!IsDigit(Peek())) FailTypeMismatch();
    std::int64_t exponent = 0;
    while (IsDigit(Peek())) {
      if (exponent < kExponentLimit) exponent = exponent * 10 + (Peek() - '0');
      ++pos_;
    }
    return negative ? -exponent : exponent;
  }

  // Thousands separators, spaces and currency signs (not after an &H or &O literal), one '+' or '-'
  // unless the same sign led, and the ')' that closes a leading '('. A trailing '-' or the
  // parentheses make the number negative.
  void ScanTrailingSymbols(ParsedNumber& number) {
    bool trailing_plus = false;
    bool trailing_minus = false;
    for (;;) {
      const char c = Peek();
      if (SkipSpaces()) continue;
      if ((c == ',' || c == '$') && !number.radix) {
      } else if (c == '+' && !leading_plus_ && !trailing_plus) {
        trailing_plus = true;
      } else if (c == '-' && !leading_minus_ && !trailing_minus) {
        trailing_minus = true;
        number.negative = true;
      } else if (c == ')' && parenthesis_ && !closed_parenthesis_) {
        closed_parenthesis_ = true;
        number.negative = true;
      } else {
        return;
      }
      ++pos_;
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool leading_plus_ = false;
  bool leading_minus_ = false;
  bool currency_ = false;
  bool parenthesis_ = false;
  bool closed_parenthesis_ = false;
  bool decimal_point_ = false;
  bool saw_digit_ = false;
};

std::int64_t FromRadix(const ParsedNumber& number, const Target& target) {
  if (number.radix_too_big || (number.radix_value >> target.bits) != 0) FailOverflow();
  if (target.bits == 16) return static_cast<std::int16_t>(static_cast<std::uint16_t>(number.radix_value));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(number.radix_value));
}

// The exact decimal value rounded half to even. Wine rounds a number below 0.1 on its first
// significant digit, so "0.06" becomes 1 there (no Wine test covers it); the value itself is rounded
// here.
std::int64_t FromDecimal(ParsedNumber number, const Target& target) {
  std::string& digits = number.significand;
  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++number.scale;
  }
  if (digits.empty()) return 0;

  const auto count = static_cast<std::int64_t>(digits.size());
  const std::int64_t whole_digits = count + number.scale;
  // Twenty whole digits are at least 10^19, beyond every target and near the top of 64 bits.
  if (whole_digits > 19) FailOverflow();

  std::uint64_t magnitude = 0;
  for (std::int64_t i = 0; i < whole_digits; ++i) {
    magnitude = magnitude * 10 + (i < count ? static_cast<std::uint64_t>(digits[i] - '0') : 0);
  }
  if (whole_digits >= 0 && whole_digits < count) {
    const char first = digits[whole_digits];
    // Trailing zeros are gone, so any digit after the first fractional one makes it more than a tie.
    const bool more_than_half = first > '5' || (first == '5' && whole_digits + 1 < count);
    const bool tie = first == '5' && whole_digits + 1 == count;
    if (more_than_half || (tie && (magnitude & 1) != 0)) ++magnitude;
  }

  const auto limit = static_cast<std::uint64_t>(number.negative ? -target.min : target.max);
  if (magnitude > limit) FailOverflow();
  const auto value = static_cast<std::int64_t>(magnitude);
  return number.negative ? -value : value;
}

std::int64_t FromText(const String& text, const Target& target) {
  const ParsedNumber number = NumberScanner(text).Parse();
  return number.radix ? FromRadix(number, target) : FromDecimal(number, target);
}

std::int64_t Convert(const Variant& variant, const Target& target) {
  switch (variant.GetKind()) {
    case Variant::Kind::Empty:
      return 0;
    case Variant::Kind::Boolean:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return CheckRange(variant.IntegerValue(), target);
    case Variant::Kind::Double:
      return FromDouble(variant.DoubleValue(), target);
    case Variant::Kind::String:
      return FromText(variant.StringValue(), target);
    case Variant::Kind::Missing:
    case Variant::Kind::Null:
      break;
  }
  FailTypeMismatch();
}

bool SameWordIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
    if (c != word[i]) return false;
  }
  return true;
}

// VarBoolFromStr: the words, then any number at all; a number too large for a Double still is not zero.
bool BooleanFromText(const String& text) {
  const std::string_view words = std::string_view(text).substr(0, text.find('\0'));
  if (SameWordIgnoringCase(words, "TRUE") || SameWordIgnoringCase(words, "#TRUE#")) return true;
  if (SameWordIgnoringCase(words, "FALSE") || SameWordIgnoringCase(words, "#FALSE#")) return false;
  const ParsedNumber number = NumberScanner(text).Parse();
  // The significand has no leading zeros, so it is empty exactly when the number is zero.
  return number.radix ? number.radix_too_big || number.radix_value != 0 : !number.significand.empty();
}

// VarBstrFromR8: 15 significant digits, the exponent form with at least two digits beyond them, and
// the decimal point of the United States locale whatever the C locale is.
String TextOfDouble(double value) {
  if (value == 0) return "0";  // never "-0"
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  if (error != std::errc()) return "0";  // cannot happen: 32 characters hold every double
  String result(text, end);
  for (char& c : result) {
    if (c == 'e') c = 'E';
  }
  return result;
}

}  // namespace

Integer Variant::ToInteger() const { return static_cast<Integer>(Convert(*this, kIntegerTarget)); }

Long Variant::ToLong() const { return static_cast<Long>(Convert(*this, kLongTarget)); }

bool Variant::ToBoolean() const {
  switch (kind_) {
    case Kind::Empty:
      return false;
    case Kind::Boolean:
    case Kind::Integer:
    case Kind::Long:
      return int_ != 0;
    case Kind::Double:
      return double_ != 0;  // NaN included, as VarBoolFromR8 has it
    case Kind::String:
      return BooleanFromText(text_);
    case Kind::Missing:
    case Kind::Null:
      break;
  }
  FailTypeMismatch();
}

String Variant::ToString() const {
  switch (kind_) {
    case Kind::Empty:
      return String();
    case Kind::Boolean:
    case Kind::Integer:
    case Kind::Long:
      return std::to_string(int_);
    case Kind::Double:
      return TextOfDouble(double_);
    case Kind::String:
      return text_;
    case Kind::Missing:
    case Kind::Null:
      break;
  }
  FailTypeMismatch();
}

}  // namespace KelvaneConsole
