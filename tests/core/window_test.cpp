// The caption, the cursor's shape and the window size.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

class WindowTest : public LoadedTest {
 protected:
  // The platform's cursor of a buffer as "size visible".
  std::string PlatformCursor(Handle buffer) const {
    const auto info = *emulated_.BufferCursorInfo(buffer);
    return std::to_string(info.dwSize) + (info.bVisible ? " on" : " off");
  }
  void SetPlatformCursor(Handle buffer, platform::Dword size, bool visible) {
    platform::CursorInfo info{size, visible ? 1 : 0};
    ASSERT_TRUE(emulated_.SetConsoleCursorInfo(buffer, &info));
  }
  std::pair<Integer, Integer> WindowSize() {
    Integer width = 0, height = 0;
    EXPECT_FALSE(console_.GetWindowSize(width, height));
    return {width, height};
  }
};

TEST_F(WindowTest, SizesAbove99AreStoredWrittenAndReadAs99) {
  for (Integer size : {1, 50, 99, 100, 32767}) {
    console_.CursorSize(size);
    const Integer expected = size > 99 ? 99 : size;
    EXPECT_EQ(PlatformCursor(Shown()), std::to_string(expected) + " on") << size;
    EXPECT_EQ(console_.CursorSize(), expected) << size;
  }
  // The full block the platform allows reads as 99 too.
  SetPlatformCursor(Shown(), 100, true);
  EXPECT_EQ(console_.CursorSize(), 99);
}

TEST_F(WindowTest, ASizeBelowOneIsWrittenAsZeroWhichThePlatformRefuses) {
  for (Integer size : {-5, 0, -32768}) {
    console_.CursorSize(40);
    console_.CursorSize(size);
    // The stored size is 0 now, so writing the visibility is refused as well.
    console_.CursorVisible(false);
    EXPECT_EQ(PlatformCursor(Shown()), "40 on") << size;
    // A read goes back to the console.
    EXPECT_EQ(console_.CursorSize(), 40) << size;
    EXPECT_TRUE(console_.CursorVisible()) << size;
  }
}

TEST_F(WindowTest, TheSettersCompareWithAndWriteTheStoredShapeNotTheConsoles) {
  // Hidden behind the object's back: the object still believes the cursor is visible, so nothing is written.
  SetPlatformCursor(Shown(), 60, false);
  console_.CursorVisible(true);
  EXPECT_EQ(PlatformCursor(Shown()), "60 off");
  // The size setter writes the stored visibility along with the new size.
  console_.CursorSize(30);
  EXPECT_EQ(PlatformCursor(Shown()), "30 on");
  console_.CursorVisible(false);
  EXPECT_EQ(PlatformCursor(Shown()), "30 off");
  // Shown behind its back: the stored value says hidden, so hiding writes nothing; a read refreshes it.
  SetPlatformCursor(Shown(), 30, true);
  console_.CursorVisible(false);
  EXPECT_EQ(PlatformCursor(Shown()), "30 on");
  EXPECT_TRUE(console_.CursorVisible());
  console_.CursorVisible(false);
  EXPECT_EQ(PlatformCursor(Shown()), "30 off");
}

TEST_F(WindowTest, ShowingAnotherPageReadsItsCursorShape) {
  console_.Page(1);
  console_.CursorSize(80);
  console_.CursorVisible(false);
  console_.Page(0);
  // Page 0's cursor is visible, so there is nothing to write; its visibility goes out with a new size.
  SetPlatformCursor(Shown(), 25, false);
  console_.CursorVisible(true);
  EXPECT_EQ(PlatformCursor(Shown()), "25 off");
  console_.CursorSize(60);
  EXPECT_EQ(PlatformCursor(Shown()), "60 on");
  EXPECT_EQ(PlatformCursor(PageBuffer(console_, 1)), "80 off");
}

TEST_F(WindowTest, ACaptionReadsBackAsItsFirst1024Characters) {
  const std::string first = "<" + std::string(1022, 'c') + ">";
  console_.Caption(first);
  EXPECT_EQ(console_.Caption(), first);
  console_.Caption(first + "tail");
  EXPECT_EQ(emulated_.Title().size(), 1028u);
  EXPECT_EQ(console_.Caption(), first);
  // Characters count, not bytes.
  console_.Caption(Repeat("é", 1025));
  EXPECT_EQ(console_.Caption(), Repeat("é", 1024));
}

TEST_F(WindowTest, CaptionCharactersOfCodePage437RoundTrip) {
  console_.Caption("Café ┌─┐ ½ αß ░");
  EXPECT_EQ(console_.Caption(), "Café ┌─┐ ½ αß ░");
  EXPECT_EQ(emulated_.Title(), "Caf\x82 \xDA\xC4\xBF \xAB \xE0\xE1 \xB0");
  console_.Caption("5 €");
  EXPECT_EQ(console_.Caption(), "5 ?");
  // A failed read gives the empty string.
  emulated_.FailCall(Op::GetConsoleTitleA, 1);
  EXPECT_EQ(console_.Caption(), "");
  EXPECT_EQ(console_.Caption(), "5 ?");
}

// The shown page's window, not its buffer or another page's.
TEST_F(WindowTest, TheWindowSizeIsTheShownPagesWindow) {
  using Size = std::pair<Integer, Integer>;
  ASSERT_TRUE(console_.ClearScreen(Variant(), Variant(), 3));
  ASSERT_TRUE(emulated_.SetBufferGeometry(PageBuffer(console_, 3), Coord{40, 10}, SmallRect{0, 0, 39, 9}));
  // Another page's buffer read last must not leak into the answer.
  Integer x = 0, y = 0;
  console_.GetCursorPos(x, y, 3);
  EXPECT_EQ(WindowSize(), Size(80, 25));
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{5, 7, 44, 16}));
  EXPECT_EQ(WindowSize(), Size(40, 10));
  console_.Page(3);
  EXPECT_EQ(WindowSize(), Size(40, 10));
}

}  // namespace
}  // namespace kelvane::testing
