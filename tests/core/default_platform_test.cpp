// The console the library makes for itself when no test installs one: its size comes from
// KELVANE_CONSOLE, read each time Load creates the console; its help file lives in the data folder.
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
  try {
    c.Page();
    ADD_FAILURE() << "no error";
  } catch (const KelvaneConsole::Error& e) {
    EXPECT_EQ(e.HelpFile(), std::string(KELVANE_TEST_DATA_DIR) + "/KelvaneSG3.chm");
  }
  struct Case {
    const char* setting;
    Integer columns, rows;
  };
  for (const Case& k :
       {Case{"headless:132x43", 132, 43}, Case{"headless:40x10", 40, 10}, Case{"nonsense", 80, 25}}) {
    setenv("KELVANE_CONSOLE", k.setting, 1);
    c.Load();
    Integer w = 0, h = 0;
    c.GetWindowSize(w, h);
    EXPECT_EQ(w, k.columns) << k.setting;
    EXPECT_EQ(h, k.rows) << k.setting;
    c.Unload();
  }
  unsetenv("KELVANE_CONSOLE");
}

}  // namespace
