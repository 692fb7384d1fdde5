// Load, Unload, destruction, the loaded check and the errors a client sees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "core/console_impl.hpp"
#include "support/callback_presenter.hpp"
#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using KelvaneConsole::Error;
using ::testing::ElementsAre;

class LifecycleTest : public ConsoleTest {};

void ExpectNotLoadedError(const Error& e) {
  EXPECT_EQ(e.Number(), 30052);
  EXPECT_EQ(e.Source(), "KelvaneConsole");
  EXPECT_EQ(e.Description(), "Operation failed.  The console has not yet been loaded.");
  EXPECT_EQ(e.HelpFile(), "/opt/kelvane/share/KelvaneSG3.chm");
  EXPECT_EQ(e.HelpContext(), 1000);
}

TEST_F(LifecycleTest, BeforeLoadTheAccessorsRaise30052) {
  Console c;
  Integer w = 7, h = 9;
  ExpectNotLoadedError(ErrorOf([&] { c.Page(); }));
  ExpectNotLoadedError(ErrorOf([&] { c.CursorSize(); }));
  ExpectNotLoadedError(ErrorOf([&] { c.CursorSize(50); }));
  ExpectNotLoadedError(ErrorOf([&] { c.CursorVisible(); }));
  ExpectNotLoadedError(ErrorOf([&] { c.CursorVisible(false); }));
  ExpectNotLoadedError(ErrorOf([&] { c.GetWindowSize(w, h); }));
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 9);
}

TEST_F(LifecycleTest, BeforeLoadTheOtherMembersReturnQuietly) {
  Console c;
  Integer x = 3, y = 4, width = 5;
  String ch = "q";
  Long fore = 11, back = 12;
  EXPECT_FALSE(c.ClearScreen());
  EXPECT_EQ(c.Caption(), "");
  c.Caption("ignored");
  c.Page(3);
  c.ToggleFullScreen();
  c.Unload();
  EXPECT_FALSE(c.SetCursorPos(0, 0));
  EXPECT_FALSE(c.GetCursorPos(x, y));
  EXPECT_FALSE(c.SetColor(kWhite));
  EXPECT_FALSE(c.SetScreenData("x"));
  EXPECT_FALSE(c.GetScreenData(ch, fore, back));
  EXPECT_FALSE(c.WriteText("hello"));
  EXPECT_FALSE(c.DrawHLine(0, 0, width, kWhite, kBlack));
  EXPECT_FALSE(c.DrawBox(0, 0, width, width, kWhite, kBlack));
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
  EXPECT_EQ(ch, "q");
  EXPECT_EQ(fore, 11);
  EXPECT_FALSE(emulated_.IsAllocated());
  EXPECT_EQ(emulated_.CallCount(Op::CreateConsoleScreenBuffer), 0);
}

TEST_F(LifecycleTest, LoadShowsPageZeroClearedWithAnEmptyTitle) {
  Console c;
  c.Load();
  EXPECT_TRUE(emulated_.IsAllocated());
  EXPECT_EQ(c.Page(), 0);
  EXPECT_EQ(emulated_.Title(), "");
  EXPECT_EQ(c.Caption(), "");
  EXPECT_FALSE(emulated_.FullScreen());
  auto info = emulated_.BufferInfo(Shown());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->wAttributes, 0x07);
  EXPECT_EQ(info->dwCursorPosition, (platform::Coord{0, 0}));
  EXPECT_EQ(Text(Shown(), 0, 1)[0], std::string(80, ' '));
  std::string grey_on_black;
  for (int i = 0; i < 80; ++i) grey_on_black += "07";
  EXPECT_EQ(Attributes(Shown(), 24, 1)[0], grey_on_black);
}

TEST_F(LifecycleTest, SecondLoadRaises30057AndChangesNothing) {
  Console c;
  c.Load();
  c.Page(4);
  c.Caption("kept");
  Error e = ErrorOf([&] { c.Load(); });
  EXPECT_EQ(e.Number(), 30057);
  EXPECT_EQ(e.Source(), "KelvaneConsole.Load");
  EXPECT_EQ(e.Description(),
            "Console already loaded.  You may only use one console per process (application).");
  EXPECT_EQ(e.HelpFile(), "/opt/kelvane/share/KelvaneSG3.chm");
  EXPECT_EQ(e.HelpContext(), 1000);
  EXPECT_EQ(c.Page(), 4);
  EXPECT_EQ(c.Caption(), "kept");
}

TEST_F(LifecycleTest, LoadUnloadLoadGivesAFreshClearedPageZero) {
  Console c;
  c.Load();
  c.ClearScreen(kWhite, kDarkBlue);
  c.Unload();
  EXPECT_FALSE(emulated_.IsAllocated());
  EXPECT_THROW(c.Page(), Error);
  c.Load();
  EXPECT_EQ(c.Page(), 0);
  EXPECT_EQ(emulated_.BufferInfo(Shown())->wAttributes, 0x07);
  EXPECT_EQ(Cell(Shown(), 5, 5).Attributes, 0x07);
}

TEST_F(LifecycleTest, UnloadClosesEveryHandleAndFreesTheConsole) {
  Console c;
  c.Load();
  c.ClearScreen(Variant(), Variant(), 5);
  emulated_.ResetCallCounts();
  c.Unload();
  // Three standard handles and the two pages.
  EXPECT_EQ(emulated_.CallCount(Op::CloseHandle), 5);
  EXPECT_EQ(emulated_.CallCount(Op::FreeConsole), 1);
  c.Unload();
  EXPECT_EQ(emulated_.CallCount(Op::CloseHandle), 5);
}

TEST_F(LifecycleTest, DestroyingALoadedObjectReleasesTheConsoleForTheThread) {
  {
    Console c;
    c.Load();
  }
  EXPECT_FALSE(emulated_.IsAllocated());
  Console again;
  again.Load();
  EXPECT_EQ(again.Page(), 0);
}

TEST_F(LifecycleTest, ASecondObjectOnTheThreadSharesTheLoadedFlag) {
  Console first;
  first.Load();
  Console second;
  EXPECT_EQ(ErrorOf([&] { second.Load(); }).Number(), 30057);
  // It passes the loaded check and works with its own page table.
  EXPECT_EQ(second.Page(), 0);
  EXPECT_TRUE(second.ClearScreen(kWhite, kDarkBlue, 1));
  EXPECT_EQ(first.Page(), 0);
}

TEST_F(LifecycleTest, DestroyingTheSecondObjectReleasesForEveryone) {
  Console first;
  first.Load();
  { Console second; }
  EXPECT_FALSE(emulated_.IsAllocated());
  EXPECT_THROW(first.Page(), Error);
}

TEST_F(LifecycleTest, TheLoadedFlagIsPerThread) {
  Console c;
  c.Load();
  bool other_thread_loaded = true;
  std::thread([&] { other_thread_loaded = KelvaneConsole::ConsoleGlobals::ConsoleIsLoaded != 0; }).join();
  EXPECT_FALSE(other_thread_loaded);
}

TEST_F(LifecycleTest, LoadFullScreenTogglesAndRestoresTheEmptyCaption) {
  Console c;
  c.Load(true);
  EXPECT_TRUE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "");
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
}

TEST_F(LifecycleTest, ToggleFullScreenUsesAUniqueTitleAndPutsTheCaptionBack) {
  platform::SystemTime t;
  t.wHour = 14;
  t.wMinute = 5;
  t.wSecond = 9;
  emulated_.SetLocalTime(t);
  std::vector<std::string> titles;
  platform::testing::CallbackPresenter presenter([&](const platform::ConsoleFrame& frame) {
    if (frame.title_changed) titles.push_back(frame.title);
  });
  emulated_.SetPresenter(&presenter);
  Console c;
  c.Load();
  c.Caption("My program");
  c.ToggleFullScreen();
  EXPECT_TRUE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "My program");
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
  EXPECT_EQ(emulated_.CallCount(Op::AppActivate), 2);
  // The temporary title never shows: the frame is presented when the call ends.
  EXPECT_FALSE(titles.empty());
  for (const auto& title : titles) EXPECT_EQ(title.find("KSC"), std::string::npos);
  c.Unload();
  emulated_.SetPresenter(nullptr);
}

TEST(FullScreenSwitchTitle, IsUniqueToTheSecond) {
  platform::SystemTime t;
  t.wHour = 14;
  t.wMinute = 5;
  t.wSecond = 9;
  EXPECT_EQ(KelvaneConsole::FullScreenSwitchTitle(t), "KSC140509 Switching Screen Modes... Please Wait...");
  t.wHour = 0;
  t.wMinute = 0;
  t.wSecond = 0;
  EXPECT_EQ(KelvaneConsole::FullScreenSwitchTitle(t), "KSC000000 Switching Screen Modes... Please Wait...");
}

TEST_F(LifecycleTest, ToggleFullScreenStillRestoresTheCaptionWhenActivationFails) {
  Console c;
  c.Load();
  c.Caption("before");
  emulated_.FailCall(Op::AppActivate, 1);
  c.ToggleFullScreen();
  // The keys still go to whichever window has the focus: here, the console.
  EXPECT_TRUE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "before");
}

TEST_F(LifecycleTest, HelpFilePathTakesOneSeparator) {
  Console c;
  emulated_.SetSystemDirectory("/opt/kelvane/share/");
  c.Load();
  EXPECT_EQ(ErrorOf([&] { c.Load(); }).HelpFile(), "/opt/kelvane/share/KelvaneSG3.chm");
  emulated_.FailCall(Op::GetSystemDirectoryA, 1);
  EXPECT_EQ(ErrorOf([&] { c.Load(); }).HelpFile(), "KelvaneSG3.chm");
}

TEST(CoordToLong, PacksXLowAndYHigh) {
  EXPECT_EQ(KelvaneConsole::zzzCoordToLong({3, 2}), 0x00020003);
  EXPECT_EQ(KelvaneConsole::zzzCoordToLong({-1, 0}), 0x0000FFFF);
  EXPECT_EQ(KelvaneConsole::zzzCoordToLong({0, -1}), static_cast<Long>(0xFFFF0000u));
}

}  // namespace
}  // namespace kelvane::testing
