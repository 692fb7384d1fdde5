// Variant::ToInteger and Variant::ToLong against the OLE Automation conversions (VarI2FromStr, VarI4FromStr
// in the United States English locale, and from the other kinds), then ToBoolean and ToString. Many expected
// values come from Wine's oleaut32 tests (vartype.c, vartest.c), which also pass on Windows. Doubles and
// 32-bit integers, whose outcomes follow a rule, and very long texts are the fuzz target
// variant_conversion's.
#include <kelvane/console.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace KelvaneConsole {
namespace {

using namespace std::string_view_literals;

// Outcomes that are errors rather than values.
constexpr std::int64_t kOv = INT64_MIN;
constexpr std::int64_t kTm = INT64_MIN + 1;

// Callers catch the library's errors as std::exception too.
static_assert(std::is_base_of_v<std::exception, Error>);

// A conversion's value, or kOv and kTm for errors 6 and 13 (whose other fields the fuzz target checks).
template <class Conversion>
std::int64_t Outcome(Conversion&& convert) {
  try {
    return convert();
  } catch (const Error& e) {
    return e.Number() == 6 ? kOv : e.Number() == 13 ? kTm : -e.Number();
  }
}

struct Case {
  Variant value;
  std::int64_t integer, long_;  // ToInteger's and ToLong's outcomes
};

Case T(std::string_view text, std::int64_t integer, std::int64_t long_) {
  return {Variant(String(text)), integer, long_};
}

void Expect(std::initializer_list<Case> cases) {
  int row = 0;
  for (const auto& [value, integer, long_] : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "row " << row++ << " " << ::testing::PrintToString(value.StringValue()));
    EXPECT_EQ(Outcome([&] { return value.ToInteger(); }), integer) << "to Integer";
    EXPECT_EQ(Outcome([&] { return value.ToLong(); }), long_) << "to Long";
  }
}

void ExpectMismatches(std::initializer_list<std::string_view> texts) {
  for (const std::string_view text : texts) Expect({T(text, kTm, kTm)});
}

TEST(VariantConversion, TextDigitsSpacesSignsCurrencyAndSeparators) {
  Expect({T("007", 7, 7), T("-0", 0, 0), T("000032767", 32767, 32767), T("-32768", -32768, -32768),
          T("32768", kOv, 32768), T("-32769", kOv, -32769), T("2147483647", kOv, INT32_MAX),
          T("-2147483648", kOv, INT32_MIN), T("0000000000000000000000002147483647", kOv, INT32_MAX),
          T("2147483648", kOv, kOv), T("-2147483649", kOv, kOv), T("9223372036854775808", kOv, kOv),
          T("18446744073709551616", kOv, kOv), T("-99999999999999999999", kOv, kOv)});
  // U+00A0 counts as a space.
  Expect({T("\t12\n", 12, 12), T("\r\v\f 7", 7, 7), T("\xC2\xA0\x31\x32\xC2\xA0", 12, 12), T(" - 5 ", -5, -5),
          T("+-3", -3, -3), T("3 -", -3, -3), T("-3+", -3, -3), T("( 3 )", -3, -3), T("(-3)", -3, -3),
          T("(3)-", -3, -3), T("0-", 0, 0)});
  // Separators count anywhere after the first digit (Wine's vartest.c); a NUL ends the text.
  Expect({T("-$5", -5, -5), T("$-5", -5, -5), T("$5$$", 5, 5), T("$1.5", 2, 2), T("1e2$", 100, 100),
          T("($5)", -5, -5), T("1,,000", 1000, 1000), T("1,00,0,,", 1000, 1000), T("32,768", kOv, 32768),
          T("1,001.5", 1002, 1002), T("1.5,1", 2, 2), T("5 ,", 5, 5), T("5\0abc"sv, 5, 5),
          T(" -7 \0 junk"sv, -7, -7), T("&H10\0xyz"sv, 16, 16)});
}

// An &H or &O literal is a bit pattern of the target's width, read as two's complement (Wine's
// VarNumFromParseNum: 0x8002 as an Integer is (short)0x8002).
TEST(VariantConversion, TextHexAndOctalWidths) {
  Expect({T("&h0abc", 0xabc, 0xabc), T("&h1e2", 0x1E2, 0x1E2), T("&H7FFF", 32767, 32767),
          T("&H8000", -32768, 32768), T("&H8002", -32766, 32770), T("&HFFFF", -1, 65535),
          T("&hfffe", -2, 65534), T("&H0000FFFF", -1, 65535), T("&H10000", kOv, 65536),
          T("&H7FFFFFFF", kOv, INT32_MAX), T("&H80000000", kOv, INT32_MIN), T("&HFFFFFFFF", kOv, -1),
          T("&H00000000FFFFFFFF", kOv, -1), T("&H100000000", kOv, kOv)});
  Expect({T("&H10000000000000000", kOv, kOv), T("&o17", 15, 15), T("&O77777", 32767, 32767),
          T("&O100000", -32768, 32768), T("&O177777", -1, 65535), T("&O200000", kOv, 65536),
          T("&O17777777777", kOv, INT32_MAX), T("&O20000000000", kOv, INT32_MIN), T("&O37777777777", kOv, -1),
          T("&O40000000000", kOv, kOv), T(" &H10 ", 16, 16), T("+&H10", 16, 16), T("&H10+", 16, 16)});
}

TEST(VariantConversion, TextThatIsNotANumberIsATypeMismatch) {
  // Empty or symbols only; the Boolean words belong to VarBoolFromStr.
  ExpectMismatches({"", "\t\n", "abc", "-.", "()", "(-)", "e5", ".e5", "&H", "&o", " &H ", "\0\x35"sv,
                    "\xC2\xA0", "True", "#TRUE#"});
  // Trailing text, and signs or parentheses repeated or unbalanced.
  ExpectMismatches({"12abc", "1 2", "1 000", "12 e", "5 #", "1d3", "0x10", "--5", "-5-", "5++", "5-+-", "(5",
                    "((5))", "(5))", "-(5", ")5(", "-+-5"});
  // Currency twice or before an exponent or radix literal; other currency signs.
  ExpectMismatches({"$$5", "$1e2", "$&H10", "&H10$", "5 $ 5", "EUR5", "5\xE2\x82\xAC", "\xC2\xA3\x35"});
  // Wine's vartest.c: a separator before the first digit fails; "1..1" and "1.1." stop early.
  ExpectMismatches({",1", "-,1", "$,5", " ,5", "1.2.3", "1..1", "1.1.", "..5", ". 5", "1. 5"});
  // Wine's vartest.c: "1 e1" and "1e1." stop before the space and the point.
  ExpectMismatches({"1e", "1e+", "1e ", "1 e1", "1e 1", "1e1.", "1e3.5", "1e3e2", "1ee3", "1e+-3", "1e3,5",
                    "1e3 5", "1e+x"});
  // Wine's vartest.c: "&o128" stops at the 8; a sign or parentheses around a radix literal are refused.
  ExpectMismatches({"&o128", "&O8", "&HG", "&ha.2", "&h1,000", "&H10,", "& H10", "&H 10", "&H-1", "0&H10",
                    ".&H10", "&X10", "&B101", "&HFFFFFFFFFFFFFFFFFZ", "-&H10", "&H10-", "(&H10)", "-&O7",
                    "-&H0"});
  // Only ASCII digits and spaces count, as in Wine.
  ExpectMismatches(
      {"\xD9\xA1", "\xEF\xBC\x91", "\xC2\xBD", "\xE3\x80\x80\x35", "5\xE3\x80\x80", "\xC2\xA1\x35"});
}

// The other kinds; an unsigned value up to 0xFFFFFFFF keeps its 32 bits as a Long, whatever the width
// of its type (the colours a C++ client writes as 0xFF0000FF), and beyond 32 bits it is a Double (the
// kinds of unsigned values are the fuzz target's).
TEST(VariantConversion, KindsOtherThanText) {
  ASSERT_EQ(Variant(Integer{1}).GetKind(), Variant::Kind::Integer);
  ASSERT_EQ(Variant(std::int32_t{1}).GetKind(), Variant::Kind::Long);
  ASSERT_EQ(Variant(std::int64_t{3'000'000'000}).GetKind(), Variant::Kind::Double);
  const char* no_text = nullptr;
  Expect({{Variant(), kTm, kTm},
          {Missing, kTm, kTm},
          {Variant::Null(), kTm, kTm},
          {Variant(no_text), kTm, kTm},
          {Variant::Empty(), 0, 0},
          {true, -1, -1},
          {false, 0, 0},
          {Integer{INT16_MAX}, INT16_MAX, INT16_MAX},
          {Integer{INT16_MIN}, INT16_MIN, INT16_MIN},
          {std::int64_t{-5}, -5, -5},
          {std::int64_t{3'000'000'000}, kOv, kOv},
          {std::int64_t{-2'147'483'649}, kOv, kOv}});
  Expect({{std::uint8_t{200}, 200, 200},
          {std::uint16_t{65535}, kOv, 65535},
          {std::uint32_t{0x80000000}, kOv, INT32_MIN},
          {0xFF0000FFu, kOv, -16776961},
          {0xFFFFFFFFul, -1, -1},
          {0xFFFFFFFEull, -2, -2},
          {std::uint64_t{0xFFFF8000}, -32768, -32768},
          {std::uint64_t{0xFFFF7FFF}, kOv, -32769},
          {std::uint64_t{0x100000000}, kOv, kOv},
          {UINT64_MAX, kOv, kOv}});
}

// Wine's vartype.c rounding tables, exact decimal ties far past a double's precision, and exponents.
TEST(VariantConversion, TextRoundsItsExactDecimalValueHalfToEven) {
  Expect({T("0.5", 0, 0), T("1.5", 2, 2), T("2.5", 2, 2), T("3.5", 4, 4), T("-0.5", 0, 0), T("-1.5", -2, -2),
          T("-2.5", -2, -2), T(".51", 1, 1), T("-.51", -1, -1), T("0.06", 0, 0),
          T("2.500000000000000000000000", 2, 2), T("2.50000000000000000000001", 3, 3)});
  Expect({T("2.49999999999999999999999", 2, 2), T("32767.49999", 32767, 32767), T("32767.5", kOv, 32768),
          T("-32768.5", -32768, -32768), T("-32768.5000000000000000001", kOv, -32769),
          T("32766.5", 32766, 32766), T("2147483647.49", kOv, INT32_MAX), T("2147483647.5", kOv, kOv),
          T("2147483646.5", kOv, 2147483646), T("-2147483648.5", kOv, INT32_MIN),
          T("-2147483648.51", kOv, kOv), T("9999999999999999999.5", kOv, kOv)});
  // Exponents; 2^32: an exponent kept in 32 bits would wrap to 0.
  Expect({T("1E+03", 1000, 1000), T("1e-0", 1, 1), T("1.e2", 100, 100), T(".5e1", 5, 5), T("5e-1", 0, 0),
          T("15e-1", 2, 2), T("25e-1", 2, 2), T("12.355e2", 1236, 1236), T("0.006e2", 1, 1),
          T("3.2768e4", kOv, 32768), T("-3.2768e4", -32768, -32768), T("1,0e1", 100, 100)});
  Expect({T("1e3-", -1000, -1000), T("2.147483647e9", kOv, INT32_MAX), T("21474836470e-1", kOv, INT32_MAX),
          T("1e10", kOv, kOv), T("1e19", kOv, kOv), T("1e99999", kOv, kOv),
          T("-1e99999999999999999999999999", kOv, kOv), T("0e99999999999999999999999999", 0, 0),
          T("1e-99999999999999999999999999", 0, 0), T("1e4294967296", kOv, kOv), T("1e-4294967296", 0, 0)});
}

// VariantChangeType to VT_BOOL: a number is True unless zero; text is the words (any case, or between
// #s) or any number; anything else is error 13.
TEST(VariantConversion, ToBoolean) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<std::int64_t, std::vector<Variant>> cases[] = {
      {1, {true, Integer{-5}, 1e-300, nan, "tRuE", "#TRUE#", "0.4", "&H100000000", "1e99999"}},
      {0,
       {Variant::Empty(), false, Integer{0}, -0.0, "FALSE", "#false#", " -0.000 ", "&H0", "0e99999",
        String("false\0junk"sv)}},
      {kTm, {" True", "Tru", "yes", "", Variant::Null(), Missing}}};
  for (const auto& [outcome, values] : cases) {
    for (const Variant& v : values)
      EXPECT_EQ(Outcome([&] { return v.ToBoolean() ? 1 : 0; }), outcome) << v.StringValue();
  }
}

// VariantChangeType to VT_BSTR without flags: a Boolean is a number, a Double has 15 significant digits.
TEST(VariantConversion, ToString) {
  // clang-format off
  const std::pair<Variant, std::string> cases[] = {
      {Variant::Empty(), ""}, {true, "-1"}, {false, "0"}, {Long{INT32_MIN}, "-2147483648"}, {0xFFFFFFFFu, "-1"},
      {-0.0, "0"}, {1.0 / 3, "0.333333333333333"}, {123456789012345.0, "123456789012345"}, {1e15, "1E+15"},
      {-2.5e-5, "-2.5E-05"}, {1e-300, "1E-300"}, {"é text", "é text"}};
  // clang-format on
  for (const auto& [value, expected] : cases) EXPECT_EQ(value.ToString(), expected);
  for (const Variant& value : {Variant::Null(), Missing})
    EXPECT_EQ(Outcome([&] { return value.ToString().size(); }), kTm);
}

}  // namespace
}  // namespace KelvaneConsole
