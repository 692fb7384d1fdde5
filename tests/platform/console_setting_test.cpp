// The KELVANE_CONSOLE setting: what it understands, and 80 x 25 with no kind for anything else.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/console_setting.hpp"

namespace kelvane::platform {
namespace {

using Kind = ConsoleSetting::Kind;

TEST(ConsoleSetting, UnderstoodFormsAndAnythingElse) {
  const std::tuple<const char*, bool, Kind, int, int> cases[] = {
      {nullptr, true, Kind::Automatic, 80, 25},
      {"", true, Kind::Automatic, 80, 25},
      {"headless", true, Kind::Headless, 80, 25},
      {"terminal", true, Kind::Terminal, 80, 25},
      {"headless:132x43", true, Kind::Headless, 132, 43},
      {"headless:1x1", true, Kind::Headless, 1, 1},
      {"headless:9999x9999", true, Kind::Headless, 9999, 9999}};
  for (const auto& [text, valid, kind, columns, rows] : cases) {
    const ConsoleSetting s = ParseConsoleSetting(text);
    EXPECT_EQ((std::tuple{s.valid, s.kind, s.columns, s.rows}), (std::tuple{valid, kind, columns, rows}))
        << (text ? text : "(null)");
  }
  for (const char* text :
       {"headless:", "headless:80", "headless:80x", "headless:x25", "headless:0x25", "headless:80x0",
        "headless:10000x25", "headless:-5x25", "headless:80x25x3", "headless:80X25", "headless: 80x25",
        "Headless", "tty", "headless:99999999999x1"}) {
    const ConsoleSetting s = ParseConsoleSetting(text);
    EXPECT_EQ((std::tuple{s.valid, s.kind, s.columns, s.rows}), (std::tuple{false, Kind::Automatic, 80, 25}))
        << text;
  }
}

}  // namespace
}  // namespace kelvane::platform
