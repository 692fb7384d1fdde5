// The KELVANE_CONSOLE setting.
#include <gtest/gtest.h>

#include "platform/console_setting.hpp"

namespace kelvane::platform {
namespace {

using Kind = ConsoleSetting::Kind;

TEST(ConsoleSetting, UnderstoodForms) {
  struct Case {
    const char* text;
    Kind kind;
    int columns, rows;
  };
  const Case cases[] = {{nullptr, Kind::Automatic, 80, 25},
                        {"", Kind::Automatic, 80, 25},
                        {"headless", Kind::Headless, 80, 25},
                        {"terminal", Kind::Terminal, 80, 25},
                        {"headless:132x43", Kind::Headless, 132, 43},
                        {"headless:1x1", Kind::Headless, 1, 1},
                        {"headless:9999x9999", Kind::Headless, 9999, 9999}};
  for (const auto& c : cases) {
    ConsoleSetting s = ParseConsoleSetting(c.text);
    EXPECT_TRUE(s.valid) << (c.text ? c.text : "(null)");
    EXPECT_EQ(s.kind, c.kind) << (c.text ? c.text : "(null)");
    EXPECT_EQ(s.columns, c.columns);
    EXPECT_EQ(s.rows, c.rows);
  }
}

TEST(ConsoleSetting, AnythingElseIsRejectedAndFallsBackTo80x25) {
  for (const char* text :
       {"headless:", "headless:80", "headless:80x", "headless:x25", "headless:0x25", "headless:80x0",
        "headless:10000x25", "headless:-5x25", "headless:80x25x3", "headless:80X25", "headless: 80x25",
        "Headless", "tty", "headless:99999999999x1"}) {
    ConsoleSetting s = ParseConsoleSetting(text);
    EXPECT_FALSE(s.valid) << text;
    EXPECT_EQ(s.kind, Kind::Automatic) << text;
    EXPECT_EQ(s.columns, 80);
    EXPECT_EQ(s.rows, 25);
  }
}

}  // namespace
}  // namespace kelvane::platform
