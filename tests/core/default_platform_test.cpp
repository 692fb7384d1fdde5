// The console the library makes for itself when no test installs one: its size comes from
// KELVANE_CONSOLE, read each time Load creates the console; its help file lives in the data folder.
#include <gtest/gtest.h>
#include <kelvane/console.hpp>

#include <cstdlib>
#include <string>

#include "platform/console_platform.hpp"

namespace {

using KelvaneConsole::Console;
using KelvaneConsole::Integer;

TEST(DefaultPlatform, SizeFollowsTheSettingAtEachLoad) {
  kelvane::platform::InstallPlatform(nullptr);
  Console c;
  try {
    c.Page();
    ADD_FAILURE() << "no error";
  } catch (const KelvaneConsole::Error& e) {
    EXPECT_EQ(e.HelpFile(), std::string(KELVANE_TEST_DATA_DIR) + "/KelvaneSG3.chm");
  }
  for (const char* setting : {"headless:132x43", "headless:40x10", "nonsense"}) {
    setenv("KELVANE_CONSOLE", setting, 1);
    c.Load();
    Integer w = 0, h = 0;
    c.GetWindowSize(w, h);
    EXPECT_EQ(std::to_string(w) + "x" + std::to_string(h), setting[0] == 'n' ? "80x25" : setting + 9);
    c.Unload();
  }
  unsetenv("KELVANE_CONSOLE");
}

}  // namespace
