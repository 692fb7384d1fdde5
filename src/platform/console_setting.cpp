#include "platform/console_setting.hpp"

#include <charconv>
#include <string_view>

namespace kelvane::platform {

namespace {

bool ParseDimension(std::string_view text, std::int16_t& out) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < 1 || value > 9999) return false;
  out = static_cast<std::int16_t>(value);
  return true;
}

}  // namespace

ConsoleSetting ParseConsoleSetting(const char* text) {
  ConsoleSetting setting;
  if (!text || !*text) return setting;
  std::string_view s(text);
  if (s == "terminal") {
    setting.kind = ConsoleSetting::Kind::Terminal;
    return setting;
  }
  if (s == "headless") {
    setting.kind = ConsoleSetting::Kind::Headless;
    return setting;
  }
  constexpr std::string_view kPrefix = "headless:";
  if (s.starts_with(kPrefix)) {
    std::string_view size = s.substr(kPrefix.size());
    auto x = size.find('x');
    std::int16_t columns = 0;
    std::int16_t rows = 0;
    if (x != std::string_view::npos && ParseDimension(size.substr(0, x), columns) &&
        ParseDimension(size.substr(x + 1), rows)) {
      setting.kind = ConsoleSetting::Kind::Headless;
      setting.columns = columns;
      setting.rows = rows;
      return setting;
    }
  }
  setting.valid = false;
  return setting;
}

}  // namespace kelvane::platform
