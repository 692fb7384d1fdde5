#include <gtest/gtest.h>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform {
namespace {

TEST(EmulatedConsoleSmoke, AllocatesAConsole) {
  EmulatedConsole console;
  EXPECT_NE(console.AllocConsole(), 0);
  EXPECT_TRUE(console.IsAllocated());
}

}  // namespace
}  // namespace kelvane::platform
