// Screen files of a window whose records cannot be had in memory: the call fails as a refused cell
// transfer does, with no std::bad_alloc for the caller.
#include "support/console_fixture.hpp"
#include "support/scratch_folder.hpp"

namespace kelvane::testing {
namespace {

using ScreenFileMemoryTest = LoadedTest;

TEST_F(ScreenFileMemoryTest, RecordsThatCannotBeHadFailAsARefusedTransfer) {
  ScratchFolder folder;
  const std::string name = folder / "screen.bin";
  ASSERT_TRUE(console_.WriteText("kept"));
  ASSERT_TRUE(console_.SaveScreen(name));
  const std::string saved = ReadFile(name);
  ASSERT_TRUE(console_.ClearScreen(kWhite, kDarkBlue));
  const Rows text = Text(Shown()), attributes = Attributes(Shown());
  const CellArrayLimit limit(2000);  // the 80 x 25 window and the trailing record are 2001
  emulated_.ResetCallCounts();
  EXPECT_FALSE(console_.SaveScreen(name));
  EXPECT_FALSE(console_.LoadScreen(name));
  EXPECT_EQ(emulated_.CallCount(Op::ReadConsoleOutputA) + emulated_.CallCount(Op::WriteConsoleOutputA), 0);
  EXPECT_EQ(ReadFile(name), saved);
  ExpectScreen(Shown(), text, attributes);
}

}  // namespace
}  // namespace kelvane::testing
