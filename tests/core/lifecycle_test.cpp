// Load, Unload, destruction, the per-thread loaded flag, full screen, and the end-of-call signal.
#include <gtest/gtest.h>

#include <thread>

#include "core/console_impl.hpp"
#include "support/callback_presenter.hpp"
#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using LifecycleTest = ConsoleTest;

TEST_F(LifecycleTest, LoadShowsPageZeroClearedWithAnEmptyTitle) {
  Console c;
  c.Load();
  EXPECT_TRUE(emulated_.IsAllocated());
  EXPECT_EQ(c.Page(), 0);
  EXPECT_EQ(emulated_.Title(), "");
  EXPECT_FALSE(emulated_.FullScreen());
  EXPECT_EQ(CurrentAttribute(Shown()), 0x07);
  EXPECT_EQ(CursorOf(Shown()), (Coord{0, 0}));
  EXPECT_EQ(Text(Shown()), Rows(25, std::string(80, ' ')));
  EXPECT_EQ(Attributes(Shown()), Rows(25, Repeat("07", 80)));
}

TEST_F(LifecycleTest, SecondLoadRaises30057AndChangesNothing) {
  Console c;
  c.Load();
  c.Page(4);
  c.Caption("kept");
  ExpectError(ErrorOf([&] { c.Load(); }), 30057, "KelvaneConsole.Load",
              "Console already loaded.  You may only use one console per process (application).");
  EXPECT_EQ(c.Page(), 4);
  EXPECT_EQ(c.Caption(), "kept");
}

TEST_F(LifecycleTest, UnloadReleasesEverythingAndLoadStartsAfresh) {
  Console c;
  c.Load();
  c.ClearScreen(kWhite, kDarkBlue);
  c.ClearScreen(Variant(), Variant(), 5);
  emulated_.ResetCallCounts();
  c.Unload();
  // The three standard handles and the two pages, once.
  c.Unload();
  EXPECT_EQ(emulated_.CallCount(Op::CloseHandle), 5);
  EXPECT_FALSE(emulated_.IsAllocated());
  EXPECT_THROW(c.Page(), Error);
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
    EXPECT_EQ(ErrorOf([&] { second.Load(); }).Number(), 30057);
    // It passes the loaded check and works with its own page table.
    EXPECT_EQ(second.Page(), 0);
    EXPECT_TRUE(second.ClearScreen(kWhite, kDarkBlue, 1));
  }
  // Destroying any object releases the console for everyone.
  EXPECT_FALSE(emulated_.IsAllocated());
  EXPECT_THROW(first->Page(), Error);
  first->Load();
  first.reset();
  EXPECT_FALSE(emulated_.IsAllocated());
  Console again;
  again.Load();
  EXPECT_EQ(again.Page(), 0);
}

TEST_F(LifecycleTest, ToggleFullScreenUsesAUniqueTitleAndPutsTheCaptionBack) {
  EXPECT_EQ(KelvaneConsole::FullScreenSwitchTitle({0, 0, 0, 0, 14, 5, 9, 0}),
            "KSC140509 Switching Screen Modes... Please Wait...");
  std::vector<std::string> titles;
  platform::testing::CallbackPresenter presenter([&](const platform::ConsoleFrame& frame) {
    if (frame.title_changed) titles.push_back(frame.title);
  });
  emulated_.SetPresenter(&presenter);
  Console c;
  c.Load(true);
  EXPECT_TRUE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "");
  c.Caption("My program");
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
  EXPECT_EQ(c.Caption(), "My program");
  // The temporary title never shows: the frame is presented when the call ends.
  EXPECT_FALSE(titles.empty());
  for (const auto& title : titles) EXPECT_EQ(title.find("KSC"), std::string::npos);
  // A refused activation is absorbed: the keys still go, to whichever window is in front, which is
  // not the console, so the mode stays.
  emulated_.FailCall(Op::AppActivate, 1);
  c.ToggleFullScreen();
  EXPECT_FALSE(emulated_.FullScreen());
  EXPECT_EQ(emulated_.CallCount(Op::SendKeys), 3);
  EXPECT_EQ(c.Caption(), "My program");
  c.Unload();
  emulated_.SetPresenter(nullptr);
}

TEST_F(LifecycleTest, HelpFilePathTakesOneSeparator) {
  Console c;
  emulated_.SetSystemDirectory("/opt/kelvane/share/");
  c.Load();
  EXPECT_EQ(ErrorOf([&] { c.Load(); }).HelpFile(), "/opt/kelvane/share/KelvaneSG3.chm");
  emulated_.FailCall(Op::GetSystemDirectoryA, 1);
  EXPECT_EQ(ErrorOf([&] { c.Load(); }).HelpFile(), "KelvaneSG3.chm");
}

// The first query has room for 255 characters and the terminator; a longer directory is read again with
// the room it asks for, never taken as an empty one ("/KelvaneSG3.chm").
TEST_F(LifecycleTest, HelpFilePathOfADirectoryLongerThanTheFirstBuffer) {
  Console c;
  c.Load();
  for (size_t length : {254, 255, 256, 300, 4000}) {
    const std::string directory = "/" + std::string(length - 1, 'd');
    emulated_.SetSystemDirectory(directory);
    emulated_.ResetCallCounts();
    const Error e = ErrorOf([&] { c.Load(); });
    EXPECT_EQ(e.HelpFile(), directory + "/KelvaneSG3.chm") << length;
    EXPECT_EQ(emulated_.CallCount(Op::GetSystemDirectoryA), length < 256 ? 1 : 2) << length;
  }
  // The second query failing, or a size no path has, is a failed query.
  emulated_.FailCall(Op::GetSystemDirectoryA, 2);
  EXPECT_EQ(ErrorOf([&] { c.Load(); }).HelpFile(), "KelvaneSG3.chm");
  emulated_.SetSystemDirectory("/" + std::string(32767, 'd'));
  emulated_.ResetCallCounts();
  EXPECT_EQ(ErrorOf([&] { c.Load(); }).HelpFile(), "KelvaneSG3.chm");
  EXPECT_EQ(emulated_.CallCount(Op::GetSystemDirectoryA), 1);
}

// --- the end-of-call signal: one per outermost public call, none from nested calls ---

TEST_F(LifecycleTest, OneEndOfCallSignalPerOutermostCallEvenWhenItThrows) {
  Console c;
  EXPECT_THROW(c.CursorSize(), Error);
  EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), 1);
  c.Load();  // shows page 0 through the Page setter
  EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), 2);
  Integer w = 10, h = 5;
  c.DrawBox(1, 1, w, h, kWhite, kDarkBlue, KelvaneConsole::kcLineDoubleLine, true);  // edges, corners nested
  EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), 3);
  EXPECT_THROW(c.Page(25), Error);
  EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), 4);
  c.Unload();
  EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), 5);
}

TEST_F(LifecycleTest, TheFinalFrameReachesThePresenter) {
  std::string first_cells;
  platform::testing::CallbackPresenter presenter([&](const platform::ConsoleFrame& frame) {
    if (frame.spans.empty() || frame.spans[0].row != 0 || frame.spans[0].left != 0 ||
        frame.spans[0].right < 4)
      return;
    first_cells.clear();
    for (size_t x = 0; x < 5; ++x) first_cells += static_cast<char>(frame.cells[x].Char);
  });
  emulated_.SetPresenter(&presenter);
  {
    Console c;
    c.Load();
    c.WriteText("abcde");
    EXPECT_EQ(first_cells, "abcde");
  }
  emulated_.SetPresenter(nullptr);
}

}  // namespace
}  // namespace kelvane::testing
