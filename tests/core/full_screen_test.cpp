// ToggleFullScreen in pairs, twice within one second, and before Load.
#include <gtest/gtest.h>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using FullScreenTest = ConsoleTest;

TEST_F(FullScreenTest, EachToggleFlipsTheModeAndPutsBackTheCaptionItFound) {
  Console c;
  c.ToggleFullScreen();  // before Load: not a call to the console
  EXPECT_EQ(emulated_.CallCount(Op::GetConsoleTitleA) + emulated_.CallCount(Op::SendKeys), 0);
  c.Load();
  // All within one second: every toggle makes the same temporary title.
  emulated_.SetLocalTime(platform::SystemTime{2024, 5, 3, 17, 9, 30, 15, 0});
  c.Caption("mine");
  c.ToggleFullScreen();
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "mine");
  c.Caption("another");
  c.ToggleFullScreen();
  EXPECT_TRUE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "another");
}

}  // namespace
}  // namespace kelvane::testing
