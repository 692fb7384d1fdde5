// Load, Unload, destruction, the per-thread loaded flag, full screen, the frame shown as a call ends, and
// the console the library makes for itself when no test installs one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

#include "core/console_impl.hpp"
#include "platform/emulated/support.hpp"
#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using LifecycleTest = ConsoleTest;
using platform::testing::FramesTo;

// The help file named by the error the call raises.
template <class F>
std::string HelpFileOf(F&& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.HelpFile();
  }
  return "no error";
}

// The help file lies in the system directory, one separator between them. The first query has room for
// 255 characters and the terminator; a longer directory is read again with the room it asks for, never
// taken as an empty one ("/KelvaneSG3.chm"). A failed query, or a size no path has, leaves the bare name.
TEST_F(LifecycleTest, ASecondLoadRaises30057WithTheHelpFileInTheSystemDirectory) {
  Console c;
  if (Emulated()) emulated_.SetSystemDirectory("/opt/kelvane/share/");
  c.Load();
  c.Page(4);
  EXPECT_EQ(ErrorOf([&] { c.Load(); }),
            "30057 KelvaneConsole.Load: Console already loaded.  You may only use one console per process "
            "(application).");
  EXPECT_EQ(c.Page(), 4);
  if (!Emulated()) return;
  const auto second_load = [&] { c.Load(); };
  for (size_t length : {254, 255, 256, 300, 4000}) {
    const std::string directory = "/" + std::string(length - 1, 'd');
    emulated_.SetSystemDirectory(directory);
    emulated_.ResetCallCounts();
    EXPECT_EQ(HelpFileOf(second_load), directory + "/KelvaneSG3.chm") << length;
    EXPECT_EQ(emulated_.CallCount(Op::GetSystemDirectoryA), length < 256 ? 1 : 2) << length;
  }
  emulated_.FailCall(Op::GetSystemDirectoryA, 2);
  EXPECT_EQ(HelpFileOf(second_load), "KelvaneSG3.chm");
  emulated_.FailCall(Op::GetSystemDirectoryA, 1);
  EXPECT_EQ(HelpFileOf(second_load), "KelvaneSG3.chm");
  emulated_.SetSystemDirectory("/" + std::string(32767, 'd'));
  EXPECT_EQ(HelpFileOf(second_load), "KelvaneSG3.chm");
}

TEST_F(LifecycleTest, UnloadReleasesEverythingAndLoadStartsAfresh) {
  Console c;
  c.Load();
  c.ClearScreen(kWhite, kDarkBlue);
  c.ClearScreen(Variant(), Variant(), 5);
  emulated_.ResetCallCounts();
  c.Unload();
  c.Unload();
  // The three standard handles and the two pages, once.
  EXPECT_EQ(emulated_.CallCount(Op::CloseHandle), 5);
  EXPECT_FALSE(emulated_.IsAllocated());
  c.Load();
  EXPECT_EQ(c.Page(), 0);
  EXPECT_EQ(CurrentAttribute(Shown()), 0x07);
  EXPECT_EQ(Cell(Shown(), 5, 5).Attributes, 0x07);
}

TEST_F(LifecycleTest, TheLoadedFlagIsPerThreadAndSharedByItsObjects) {
  auto first = std::make_unique<Console>();
  first->Load();
  bool other_thread_loaded = true;
  std::thread([&] { other_thread_loaded = KelvaneConsole::ConsoleGlobals::ConsoleIsLoaded != 0; }).join();
  EXPECT_FALSE(other_thread_loaded);
  {
    Console second;
    EXPECT_EQ(ErrorOf([&] { second.Load(); }).substr(0, 5), "30057");
    // It passes the loaded check and works with its own page table.
    EXPECT_TRUE(second.ClearScreen(kWhite, kDarkBlue, 1));
  }
  // Destroying any object releases the console for everyone.
  EXPECT_FALSE(emulated_.IsAllocated());
  EXPECT_THROW(first->Page(), Error);
}

// A frame is presented only as the outermost call ends: it shows what the call drew, and never the
// temporary title of a switch to or from full screen.
TEST_F(LifecycleTest, FramesShowWhatACallDrewAndToggleFullScreenPutsTheCaptionBack) {
  EXPECT_EQ(KelvaneConsole::FullScreenSwitchTitle({0, 0, 0, 0, 14, 5, 9, 0}),
            "KSC140509 Switching Screen Modes... Please Wait...");
  std::vector<std::string> titles;
  std::string shown;
  FramesTo presenter([&](const platform::ConsoleFrame& frame) {
    if (frame.title_changed) titles.push_back(frame.title);
    for (const auto& cell : frame.cells) shown += static_cast<char>(cell.Char);
  });
  emulated_.SetPresenter(&presenter);
  Console c;
  c.ToggleFullScreen();  // before Load: not a call to the console
  EXPECT_EQ(emulated_.CallCount(Op::GetConsoleTitleA) + emulated_.CallCount(Op::SendKeys), 0);
  c.Load(true);
  shown.clear();
  c.WriteText("abcde", Variant(), Variant(), true);
  EXPECT_EQ(shown, "abcde");
  EXPECT_TRUE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "");
  c.Caption("My program");
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "My program");
  EXPECT_FALSE(titles.empty());
  for (const auto& title : titles) EXPECT_EQ(title.find("KSC"), std::string::npos);
  // A refused activation is absorbed: the keys still go, to whichever window is in front, which is
  // not the console, so the mode stays.
  emulated_.FailCall(Op::AppActivate, 1);
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
  EXPECT_EQ(emulated_.CallCount(Op::SendKeys), 3);
  EXPECT_EQ(c.Caption(), "My program");
  // Within one second every toggle makes the same temporary title; each flips the mode and puts back
  // the caption it found.
  emulated_.SetLocalTime(platform::SystemTime{2024, 5, 3, 17, 9, 30, 15, 0});
  c.ToggleFullScreen();
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
  c.Caption("another");
  c.ToggleFullScreen();
  EXPECT_TRUE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "another");
  c.Unload();
  emulated_.SetPresenter(nullptr);
}

#ifndef _WIN32
// Its size comes from KELVANE_CONSOLE, read each time Load creates the console; its help file lives in the
// data folder.
TEST(DefaultPlatform, SizeFollowsTheSettingAtEachLoad) {
  platform::InstallPlatform(nullptr);
  Console c;
  EXPECT_EQ(HelpFileOf([&] { c.Page(); }), std::string(KELVANE_TEST_DATA_DIR) + "/KelvaneSG3.chm");
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
#endif

}  // namespace
}  // namespace kelvane::testing
