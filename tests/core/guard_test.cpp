// The end-of-call signal: one per outermost public call, none from nested calls, one when a call throws.
#include <gtest/gtest.h>

#include "support/callback_presenter.hpp"
#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

class GuardTest : public ConsoleTest {
 protected:
  int Signals() const { return emulated_.CallCount(Op::EndOfCall); }
};

TEST_F(GuardTest, OneSignalPerOutermostCall) {
  Console c;
  c.Load();
  EXPECT_EQ(Signals(), 1);  // Load shows page 0 through the Page setter: still one
  Integer w = 10, h = 5;
  c.DrawBox(1, 1, w, h, kWhite, kDarkBlue, KelvaneConsole::kcLineDoubleLine, true);
  EXPECT_EQ(Signals(), 2);  // edges, shadow and corners are nested calls
  c.WriteText("x");
  EXPECT_EQ(Signals(), 3);
}

TEST_F(GuardTest, OneSignalWhenTheCallThrows) {
  Console c;
  c.Load();
  int before = Signals();
  EXPECT_THROW(c.Page(25), KelvaneConsole::Error);
  EXPECT_EQ(Signals(), before + 1);
  EXPECT_THROW(c.Load(), KelvaneConsole::Error);
  EXPECT_EQ(Signals(), before + 2);
}

TEST_F(GuardTest, SignalsAfterUnloadAndBeforeLoad) {
  Console c;
  EXPECT_THROW(c.CursorSize(), KelvaneConsole::Error);
  EXPECT_EQ(Signals(), 1);
  c.Load();
  c.Unload();
  EXPECT_EQ(Signals(), 3);
}

TEST_F(GuardTest, TheFinalFrameReachesThePresenter) {
  std::vector<std::string> first_rows;
  platform::testing::CallbackPresenter presenter([&](const platform::ConsoleFrame& frame) {
    // The first five cells of the top row, when the frame carries them.
    if (frame.spans.empty() || frame.spans[0].row != 0 || frame.spans[0].left != 0 ||
        frame.spans[0].right < 4)
      return;
    first_rows.emplace_back();
    for (size_t x = 0; x < 5; ++x) first_rows.back() += static_cast<char>(frame.cells[x].Char);
  });
  emulated_.SetPresenter(&presenter);
  {
    Console c;
    c.Load();
    c.WriteText("abcde");
    ASSERT_FALSE(first_rows.empty());
    EXPECT_EQ(first_rows.back(), "abcde");
  }
  emulated_.SetPresenter(nullptr);
}

}  // namespace
}  // namespace kelvane::testing
