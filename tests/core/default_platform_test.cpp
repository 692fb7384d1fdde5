// The console the library makes for itself when no test installs one: its size comes from
// KELVANE_CONSOLE, read each time Load creates the console.
#include <gtest/gtest.h>
#include <kelvane/console.hpp>

#include <cstdlib>

#include "platform/console_platform.hpp"

namespace {

using KelvaneConsole::Console;
using KelvaneConsole::Integer;

TEST(DefaultPlatform, SizeFollowsTheSettingAtEachLoad) {
  kelvane::platform::InstallPlatform(nullptr);
  Console c;
  setenv("KELVANE_CONSOLE", "headless:132x43", 1);
  c.Load();
  Integer w = 0, h = 0;
  c.GetWindowSize(w, h);
  EXPECT_EQ(w, 132);
  EXPECT_EQ(h, 43);
  c.Unload();
  setenv("KELVANE_CONSOLE", "headless:40x10", 1);
  c.Load();
  c.GetWindowSize(w, h);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 10);
  c.Unload();
  setenv("KELVANE_CONSOLE", "nonsense", 1);
  c.Load();
  c.GetWindowSize(w, h);
  EXPECT_EQ(w, 80);
  EXPECT_EQ(h, 25);
  c.Unload();
  unsetenv("KELVANE_CONSOLE");
}

TEST(DefaultPlatform, HelpFileLivesInTheDataFolder) {
  kelvane::platform::InstallPlatform(nullptr);
  Console c;
  try {
    c.Page();
    FAIL() << "no error";
  } catch (const KelvaneConsole::Error& e) {
    EXPECT_EQ(e.HelpFile(), std::string(KELVANE_TEST_DATA_DIR) + "/KelvaneSG3.chm");
  }
}

}  // namespace
