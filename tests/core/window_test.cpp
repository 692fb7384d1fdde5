// The caption, the cursor's shape and the window size.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

class WindowTest : public LoadedTest {
 protected:
  // The platform's cursor of a buffer as "size visible".
  std::string PlatformCursor(Handle buffer) {
    platform::CursorInfo info{};
    EXPECT_TRUE(Platform().GetConsoleCursorInfo(buffer, &info));
    return std::to_string(info.dwSize) + (info.bVisible ? " on" : " off");
  }
  void SetPlatformCursor(platform::Dword size, bool visible) {
    platform::CursorInfo info{size, visible ? 1 : 0};
    ASSERT_TRUE(Platform().SetConsoleCursorInfo(Shown(), &info));
  }
};

// Above 99 the size is stored, written and read as 99; below 1 it is written as 0, which the platform
// refuses, so a read goes back to the console and the visibility cannot be written either.
TEST_F(WindowTest, CursorSizesAreClampedTo0And99) {
  for (Integer size : {1, 50, 99, 100, 32767}) {
    console_.CursorSize(size);
    EXPECT_EQ(PlatformCursor(Shown()), std::to_string(std::min<Integer>(size, 99)) + " on") << size;
    EXPECT_EQ(console_.CursorSize(), std::min<Integer>(size, 99)) << size;
  }
  SetPlatformCursor(100, true);
  EXPECT_EQ(console_.CursorSize(), 99);
  for (Integer size : {-5, 0, -32768}) {
    console_.CursorSize(40);
    console_.CursorSize(size);
    console_.CursorVisible(false);
    EXPECT_EQ(PlatformCursor(Shown()), "40 on") << size;
    EXPECT_EQ(console_.CursorSize(), 40) << size;
  }
}

TEST_F(WindowTest, TheSettersCompareWithAndWriteTheStoredShapeNotTheConsoles) {
  // Hidden behind the object's back: it still believes the cursor is visible, so nothing is written.
  SetPlatformCursor(60, false);
  console_.CursorVisible(true);
  EXPECT_EQ(PlatformCursor(Shown()), "60 off");
  // The size setter writes the stored visibility along with the new size.
  console_.CursorSize(30);
  EXPECT_EQ(PlatformCursor(Shown()), "30 on");
  // Shown behind its back: hiding writes nothing while the stored value says hidden; a read refreshes it.
  console_.CursorVisible(false);
  SetPlatformCursor(30, true);
  console_.CursorVisible(false);
  EXPECT_EQ(PlatformCursor(Shown()), "30 on");
  EXPECT_TRUE(console_.CursorVisible());
  console_.CursorVisible(false);
  EXPECT_EQ(PlatformCursor(Shown()), "30 off");
}

// Up to 1024 characters of code page 437 read back; others become '?'.
TEST_F(WindowTest, TheCaptionIsCodePage437AndReadsBackAsItsFirst1024Characters) {
  console_.Caption("Café ┌─┐ ½ αß ░ €");
  EXPECT_EQ(console_.Caption(), "Café ┌─┐ ½ αß ░ ?");
  // Real consoles differ on a title longer than the reader's buffer: Windows' gives nothing, Wine's ends
  // it with a NUL in the buffer's last place.
  if (!Emulated()) return;
  EXPECT_EQ(emulated_.Title(), "Caf\x82 \xDA\xC4\xBF \xAB \xE0\xE1 \xB0 ?");
  const std::string first = "<" + std::string(1022, 'c') + ">";
  console_.Caption(first + "tail");
  EXPECT_EQ(console_.Caption(), first);
  EXPECT_EQ(emulated_.Title().size(), 1028u);
  // A failed read gives the empty string.
  emulated_.FailCall(Op::GetConsoleTitleA, 1);
  EXPECT_EQ(console_.Caption(), "");
}

// The shown page's window, not its buffer or another page's.
TEST_F(WindowTest, TheWindowSizeIsTheShownPagesWindow) {
  using Size = std::pair<Integer, Integer>;
  auto window_size = [&] {
    Integer width = 0, height = 0;
    EXPECT_FALSE(console_.GetWindowSize(width, height));
    return Size(width, height);
  };
  ASSERT_TRUE(console_.ClearScreen(Variant(), Variant(), 3));
  ASSERT_TRUE(emulated_.SetBufferGeometry(PageBuffer(console_, 3), Coord{40, 10}, SmallRect{0, 0, 39, 9}));
  Integer x = 0, y = 0;
  console_.GetCursorPos(x, y, 3);  // another page's buffer read last must not leak into the answer
  EXPECT_EQ(window_size(), Size(80, 25));
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{5, 7, 44, 16}));
  EXPECT_EQ(window_size(), Size(40, 10));
  emulated_.FailCall(Op::GetConsoleScreenBufferInfo, 1);  // a failed query reads as an all-zero window
  EXPECT_EQ(window_size(), Size(1, 1));
}

}  // namespace
}  // namespace kelvane::testing
