// Arbitrary bytes through Variant::ToInteger, ToLong, ToBoolean and ToString, as text and, when long
// enough, as a double and as 32-bit and 64-bit integers; each Check names the promise it holds.
#include <kelvane/console.hpp>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

using KelvaneConsole::Error;
using KelvaneConsole::Variant;

void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "variant_conversion: violated: %s\n", property);
  std::abort();
}

// The value, or the error number (6 or 13) after checking its fields.
template <class Conversion>
std::optional<std::int64_t> Convert(Conversion&& convert, int& error) {
  error = 0;
  try {
    return convert();
  } catch (const Error& e) {
    Check(e.Number() == 6 || e.Number() == 13, "a conversion raises only error 6 or 13");
    Check(e.Source() == "KelvaneConsole", "a conversion error comes from KelvaneConsole");
    Check(e.Description() == (e.Number() == 6 ? "Overflow" : "Type mismatch"),
          "the error's text fits its number");
    Check(e.HelpFile().empty() && e.HelpContext() == 0, "a conversion error has no help file or context");
    error = e.Number();
  }
  return std::nullopt;
}

void CheckText(const std::string& text) {
  const Variant value(text);
  int long_error = 0, integer_error = 0;
  const auto as_long = Convert([&] { return value.ToLong(); }, long_error);
  const auto as_integer = Convert([&] { return value.ToInteger(); }, integer_error);
  if (long_error == 13) Check(integer_error == 13, "text that is no Long is no Integer either");
  int boolean_error = 0;
  const auto as_boolean = Convert([&] { return std::int64_t{value.ToBoolean()}; }, boolean_error);
  Check(boolean_error == 0 || boolean_error == 13, "a Boolean never overflows");
  if (long_error != 13) Check(boolean_error == 0, "text that is a number is a Boolean");
  if (as_long && *as_long != 0) Check(as_boolean == 1, "a number whose Long is not zero is True");
  Check(value.ToString() == text, "text converts to itself");
  if (as_integer) Check(*as_integer >= INT16_MIN && *as_integer <= INT16_MAX, "an Integer fits 16 bits");
  if (!as_long || text.substr(0, text.find('\0')).find('&') != std::string::npos) return;
  if (*as_long >= INT16_MIN && *as_long <= INT16_MAX) {
    Check(as_integer == as_long, "a decimal Long that fits 16 bits is also the Integer");
  } else {
    Check(integer_error == 6, "a decimal Long outside 16 bits overflows the Integer");
  }
}

void CheckDouble(double d) {
  const Variant value(d);
  int error = 0;
  for (const bool integer : {true, false}) {
    const double low = integer ? INT16_MIN : INT32_MIN, high = integer ? INT16_MAX : INT32_MAX;
    const auto result = Convert(
        [&] { return integer ? std::int64_t{value.ToInteger()} : std::int64_t{value.ToLong()}; }, error);
    const double below = std::floor(d);
    const double expected =
        d - below > 0.5 || (d - below == 0.5 && std::fmod(below, 2.0) != 0) ? below + 1 : below;
    // The range is tested against the half-way points, before rounding (each range's ends are even and odd,
    // so no double inside it rounds past it).
    if (std::isnan(d) || d < low - 0.5 || d >= high + 0.5) {
      Check(error == 6, "a double outside the range overflows");
    } else {
      Check(result && static_cast<double>(*result) == expected, "a double rounds half to even");
    }
  }
}

void CheckInteger(std::int32_t n) {
  const Variant value(n);
  int error = 0;
  Check(Convert([&] { return std::int64_t{value.ToLong()}; }, error) == n, "a Long converts to itself");
  const auto as_integer = Convert([&] { return std::int64_t{value.ToInteger()}; }, error);
  Check(n >= INT16_MIN && n <= INT16_MAX ? as_integer == n : error == 6,
        "an Integer is the value or overflows");
  Check(value.ToBoolean() == (n != 0), "a Long is True unless zero");
  Check(Variant(value.ToString()).ToLong() == n, "a Long's text reads back as itself");
}

void CheckUnsigned(std::uint64_t n) {
  const Variant value(n);
  if (n > UINT32_MAX) {
    Check(value.GetKind() == Variant::Kind::Double, "an unsigned value beyond 32 bits is a Double");
    return;
  }
  Check(value.GetKind() == Variant::Kind::Long &&
            value.IntegerValue() == static_cast<std::int32_t>(static_cast<std::uint32_t>(n)),
        "an unsigned value up to 32 bits is the Long of its bits");
}

void CheckDoubleText(double d) {
  if (!std::isfinite(d)) return;
  const std::string text = Variant(d).ToString();
  // Read back wider than a double: near the largest double the 15-digit text ("1.79769313486232E+308")
  // rounds up past it, which a double cannot hold but is still the right text.
  const long double back = std::strtold(text.c_str(), nullptr);
  Check(text.find_first_not_of("0123456789.E+-") == std::string::npos, "a double's text is a plain number");
  Check(std::fabs(back - d) <= std::fabs(static_cast<long double>(d)) * 1e-14L,
        "a double's text keeps 15 significant digits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckText(std::string(reinterpret_cast<const char*>(data), size));
  if (size >= sizeof(double)) {
    double d = 0;
    std::memcpy(&d, data, sizeof d);
    CheckDouble(d);
    CheckDoubleText(d);
    std::uint64_t u = 0;
    std::memcpy(&u, data, sizeof u);
    CheckUnsigned(u);
    CheckUnsigned(u >> (data[0] % 64));
  }
  if (size >= sizeof(std::int32_t)) {
    std::int32_t n = 0;
    std::memcpy(&n, data, sizeof n);
    CheckInteger(n);
  }
  return 0;
}
