// The caption, the cursor's shape and the window size.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/console_fixture.hpp"

namespace kelvane::testing {
namespace {

using platform::Coord;
using platform::CursorInfo;
using platform::SmallRect;

class WindowTest : public ConsoleTest {
 protected:
  WindowTest() { console_.Load(); }

  CursorInfo CursorOf(Handle buffer) const { return *emulated_.BufferCursorInfo(buffer); }
  void SetPlatformCursor(Handle buffer, platform::Dword size, bool visible) {
    CursorInfo info{size, visible ? 1 : 0};
    ASSERT_TRUE(emulated_.SetConsoleCursorInfo(buffer, &info));
  }
  int CursorWrites() const { return emulated_.CallCount(Op::SetConsoleCursorInfo); }

  Console console_;
};

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// --- Cursor size ---

TEST_F(WindowTest, TheFullBlockReadsAs99) {
  SetPlatformCursor(Shown(), 100, true);
  EXPECT_EQ(console_.CursorSize(), 99);
  SetPlatformCursor(Shown(), 1, true);
  EXPECT_EQ(console_.CursorSize(), 1);
}

TEST_F(WindowTest, ASizeAbove99IsStoredAndWrittenAs99) {
  for (Integer size : {Integer{1}, Integer{50}, Integer{99}, Integer{100}, Integer{150}, Integer{32767}}) {
    console_.CursorSize(size);
    const auto expected = static_cast<platform::Dword>(std::min<Integer>(size, 99));
    EXPECT_EQ(CursorOf(Shown()).dwSize, expected) << size;
    EXPECT_EQ(console_.CursorSize(), static_cast<Integer>(expected)) << size;
  }
}

TEST_F(WindowTest, ASizeBelowOneIsWrittenAsZeroWhichThePlatformRefuses) {
  for (Integer size : {Integer{-5}, Integer{0}, Integer{-32768}}) {
    console_.CursorSize(40);
    const int writes = CursorWrites();
    console_.CursorSize(size);
    EXPECT_EQ(CursorWrites(), writes + 1) << size;
    EXPECT_EQ(CursorOf(Shown()).dwSize, 40u) << size;
    // The stored size is 0 now, so writing the visibility is refused as well.
    console_.CursorVisible(false);
    EXPECT_TRUE(CursorOf(Shown()).bVisible) << size;
    // A read goes back to the console.
    EXPECT_EQ(console_.CursorSize(), 40) << size;
    EXPECT_TRUE(console_.CursorVisible()) << size;
  }
}

// --- Cursor visibility ---

TEST_F(WindowTest, SettingTheStoredVisibilityCostsNoPlatformCall) {
  const int writes = CursorWrites();
  console_.CursorVisible(true);
  EXPECT_EQ(CursorWrites(), writes);
  console_.CursorVisible(false);
  EXPECT_EQ(CursorWrites(), writes + 1);
  EXPECT_EQ(CursorOf(Shown()).bVisible, 0);
  EXPECT_EQ(CursorOf(Shown()).dwSize, 25u);
  console_.CursorVisible(false);
  EXPECT_EQ(CursorWrites(), writes + 1);
}

TEST_F(WindowTest, TheSettersCompareWithAndWriteTheStoredShapeNotTheConsoles) {
  // Hidden behind the object's back: the object still believes the cursor is visible.
  SetPlatformCursor(Shown(), 60, false);
  const int writes = CursorWrites();
  console_.CursorVisible(true);
  EXPECT_EQ(CursorWrites(), writes);
  EXPECT_EQ(CursorOf(Shown()).bVisible, 0);
  // The size setter writes the stored visibility along with the new size.
  console_.CursorSize(30);
  EXPECT_EQ(CursorOf(Shown()).dwSize, 30u);
  EXPECT_NE(CursorOf(Shown()).bVisible, 0);
}

TEST_F(WindowTest, ReadingTheVisibilityRefreshesTheStoredValue) {
  SetPlatformCursor(Shown(), 25, false);
  EXPECT_FALSE(console_.CursorVisible());
  console_.CursorVisible(true);
  EXPECT_NE(CursorOf(Shown()).bVisible, 0);
}

TEST_F(WindowTest, ShowingAnotherPageReadsItsCursorShape) {
  console_.Page(1);
  console_.CursorSize(80);
  console_.CursorVisible(false);
  console_.Page(0);
  const int writes = CursorWrites();
  // Page 0's cursor is visible, so there is nothing to write.
  console_.CursorVisible(true);
  EXPECT_EQ(CursorWrites(), writes);
  // Page 0's visibility goes out with the new size.
  console_.CursorSize(60);
  EXPECT_EQ(CursorOf(Shown()).dwSize, 60u);
  EXPECT_NE(CursorOf(Shown()).bVisible, 0);
  Handle page1 = PageBuffer(console_, 1);
  EXPECT_EQ(CursorOf(page1).dwSize, 80u);
  EXPECT_EQ(CursorOf(page1).bVisible, 0);
}

// --- Caption ---

TEST_F(WindowTest, ACaptionOf1024CharactersReadsBackWhole) {
  std::string caption = "<" + std::string(1022, 'c') + ">";
  console_.Caption(caption);
  EXPECT_EQ(console_.Caption(), caption);
}

TEST_F(WindowTest, ALongerCaptionReadsBackAsItsFirst1024Characters) {
  std::string first = "<" + std::string(1022, 'c') + ">";
  console_.Caption(first + "tail");
  EXPECT_EQ(emulated_.Title().size(), 1028u);
  EXPECT_EQ(console_.Caption(), first);
}

TEST_F(WindowTest, TheCaptionLimitCountsCharactersNotBytes) {
  console_.Caption(Repeat("é", 1024));
  EXPECT_EQ(console_.Caption(), Repeat("é", 1024));
  console_.Caption(Repeat("é", 1025));
  EXPECT_EQ(console_.Caption(), Repeat("é", 1024));
}

TEST_F(WindowTest, CaptionCharactersOfCodePage437RoundTrip) {
  console_.Caption("Café ┌─┐ ½ αß ░");
  EXPECT_EQ(console_.Caption(), "Café ┌─┐ ½ αß ░");
  EXPECT_EQ(emulated_.Title(), "Caf\x82 \xDA\xC4\xBF \xAB \xE0\xE1 \xB0");
  console_.Caption("5 €");
  EXPECT_EQ(console_.Caption(), "5 ?");
  console_.Caption("");
  EXPECT_EQ(console_.Caption(), "");
}

TEST_F(WindowTest, AFailedTitleReadGivesTheEmptyString) {
  console_.Caption("kept");
  emulated_.FailCall(Op::GetConsoleTitleA, 1);
  EXPECT_EQ(console_.Caption(), "");
  EXPECT_EQ(console_.Caption(), "kept");
}

class CaptionBeforeLoadTest : public ConsoleTest {};

TEST_F(CaptionBeforeLoadTest, TheTitleIsNeitherReadNorWritten) {
  Console c;
  EXPECT_EQ(c.Caption(), "");
  c.Caption("ignored");
  EXPECT_EQ(emulated_.CallCount(Op::GetConsoleTitleA), 0);
  EXPECT_EQ(emulated_.CallCount(Op::SetConsoleTitleA), 0);
}

// --- Window size ---

TEST_F(WindowTest, An80By25WindowGives80And25AndReturnsFalse) {
  Integer width = 0, height = 0;
  EXPECT_FALSE(console_.GetWindowSize(width, height));
  EXPECT_EQ(width, 80);
  EXPECT_EQ(height, 25);
}

TEST_F(WindowTest, AScrolledWindowGivesTheWindowsSizeNotTheBuffers) {
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  Integer width = 0, height = 0;
  EXPECT_FALSE(console_.GetWindowSize(width, height));
  EXPECT_EQ(width, 80);
  EXPECT_EQ(height, 25);
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{5, 7, 44, 16}));
  EXPECT_FALSE(console_.GetWindowSize(width, height));
  EXPECT_EQ(width, 40);
  EXPECT_EQ(height, 10);
}

TEST_F(WindowTest, OnlyTheShownPagesWindowCounts) {
  ASSERT_TRUE(console_.ClearScreen(Variant(), Variant(), 3));
  Handle hidden = PageBuffer(console_, 3);
  ASSERT_TRUE(emulated_.SetBufferGeometry(hidden, Coord{40, 10}, SmallRect{0, 0, 39, 9}));
  Integer width = 0, height = 0;
  // Another page's buffer read last must not leak into the answer.
  Integer x = 0, y = 0;
  console_.GetCursorPos(x, y, 3);
  console_.GetWindowSize(width, height);
  EXPECT_EQ(width, 80);
  EXPECT_EQ(height, 25);
  console_.Page(3);
  console_.GetWindowSize(width, height);
  EXPECT_EQ(width, 40);
  EXPECT_EQ(height, 10);
}

}  // namespace
}  // namespace kelvane::testing
