// The renderer: whole frames of the emulated console replayed through an xterm model and compared with
// the console's window, cell by cell; exact bytes where more than the screen is at stake.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/terminal/terminal_screen.hpp"
#include "platform/terminal/vt_model.hpp"
#include "platform/terminal/vt_renderer.hpp"

namespace kelvane::platform::terminal {
namespace {

TEST(VtSequences, TitlesCursorShapesAndTheTerminalsFeatures) {
  EXPECT_EQ(TerminalTitle("a\ab\x1b]0;x\x1b\\c\r\nd\x7f\x9b"
                          "e"),
            "ab]0;x\\cd\xc2\xa2"
            "e");                                                    // 0x9B is a 437 cent sign
  EXPECT_EQ(TerminalTitle("\xb0\xc9"), "\xe2\x96\x91\xe2\x95\x94");  // ░╔
  EXPECT_EQ(TerminalTitle(std::string(65536, 'x')), std::string(kMaxTitle, 'x'));
  EXPECT_EQ((std::vector{CursorShape(1), CursorShape(50), CursorShape(51), CursorShape(100)}),
            (std::vector{3, 3, 1, 1}));
  // As the terminfo entries say, whole names only.
  for (const char* term : {"xterm", "xterm-256color"})
    EXPECT_EQ(FeaturesOfTerminal(term), (TerminalFeatures{true, true}));
  for (const char* term : {"linux", "rxvt-unicode-256color"})
    EXPECT_EQ(FeaturesOfTerminal(term), (TerminalFeatures{false, true}));
  for (const char* term :
       {"", "dumb", "vt100", "screen-256color", "tmux-256color", "xterm-color", "xterm-256"})
    EXPECT_EQ(FeaturesOfTerminal(term), TerminalFeatures{}) << term;
}

TEST(ConsoleHomeChoice, SettingAndTerminal) {
  using K = ConsoleSetting::Kind;
  EXPECT_EQ((std::vector{ChooseConsoleHome(K::Automatic, true), ChooseConsoleHome(K::Automatic, false),
                         ChooseConsoleHome(K::Headless, true), ChooseConsoleHome(K::Terminal, true),
                         ChooseConsoleHome(K::Terminal, false)}),
            (std::vector{ConsoleHome::Terminal, ConsoleHome::Headless, ConsoleHome::Headless,
                         ConsoleHome::Terminal, ConsoleHome::Nowhere}));
}

class Rendering : public ::testing::Test {
 protected:
  void Open(Short columns, Short rows) {
    console_.SetConsoleSize(columns, rows);
    ASSERT_NE(console_.AllocConsole(), 0);
    out_ = console_.GetStdHandle(kStdOutputHandle);
    console_.SetPresenter(&terminal_);
    Show();
  }
  // Presents what changed and checks the terminal now shows the console's window; returns the bytes.
  std::string Show() {
    terminal_.bytes.clear();
    console_.EndOfCall();
    EXPECT_EQ(testing_vt::Mismatch(terminal_.model, console_.View()), "");
    return terminal_.bytes;
  }
  void Cells(Handle buffer, Short x, Short y, const std::vector<CharInfo>& cells, Short width) {
    const Short height = static_cast<Short>(cells.size() / static_cast<size_t>(width));
    SmallRect region{x, y, static_cast<Short>(x + width - 1), static_cast<Short>(y + height - 1)};
    ASSERT_NE(console_.WriteConsoleOutputA(buffer, cells.data(), Coord{width, height}, Coord{0, 0}, &region),
              0);
  }
  void Write(const std::string& text) {
    ASSERT_NE(console_.WriteConsoleA(out_, text.data(), static_cast<Dword>(text.size()), nullptr), 0);
  }

  EmulatedConsole console_;
  testing_vt::Terminal terminal_;
  Handle out_ = 0;
};

TEST_F(Rendering, EveryByteInEveryAttributeAsItsGlyph) {
  Open(32, 16);
  std::vector<CharInfo> cells;
  for (int i = 0; i < 256; ++i) cells.push_back(CharInfo{static_cast<Word>(i), static_cast<Word>(i)});
  Cells(out_, 0, 0, cells, 16);
  // The same bytes again beside them, each in another attribute, and the bottom-right cell.
  for (int i = 0; i < 256; ++i) cells[static_cast<size_t>(i)].Attributes = static_cast<Word>(255 - i);
  Cells(out_, 16, 0, cells, 16);
  Show();
  EXPECT_EQ(terminal_.model.scrolls, 0);  // the bottom-right cell did not scroll the terminal
  EXPECT_EQ(terminal_.model.At(1, 0).glyph, U'\u263A');
  EXPECT_EQ(terminal_.model.At(11, 1).glyph, U'\u2190');  // 0x1B
  EXPECT_EQ(terminal_.model.At(15, 7).glyph, U'\u2302');  // 0x7F
  // A second frame changes one cell, in reverse video: only it is sent.
  Cells(out_, 5, 5, {CharInfo{'Z', 0x401E}}, 1);
  EXPECT_LT(Show().size(), 40u);
}

TEST_F(Rendering, ScrolledTextIsScrolledOnTheTerminalNotRepainted) {
  Open(40, 10);
  for (int i = 0; i < 9; ++i) Write("line " + std::to_string(i) + " with some text\n");
  Show();
  const int scrolls = terminal_.model.scrolls;
  Write("one more line\nand another\n");
  const std::string bytes = Show();
  EXPECT_EQ(terminal_.model.scrolls, scrolls + 1);
  EXPECT_NE(bytes.find("\x1b[2S"), std::string::npos);
  EXPECT_LT(bytes.size(), 80u);
  // A glyph in the last column leaves the terminal's wrap pending, and a scroll ends it: the first cell
  // of the row below is then not reached by wrapping.
  const CursorInfo hidden{25, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &hidden), 0);
  Cells(out_, 39, 2, {CharInfo{'W', 0x07}}, 1);
  Show();
  Write("\n");
  Cells(out_, 0, 3, {CharInfo{'Q', 0x07}}, 1);
  Show();
}

TEST_F(Rendering, PageFlipSendsOnlyTheDifferenceAndAResizeRepaintsOnce) {
  Open(60, 20);
  Write(std::string(60 * 19, 'x'));
  const Handle page =
      console_.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
  std::string text(60 * 19, 'x');
  text[100] = 'y';
  ASSERT_NE(console_.WriteConsoleA(page, text.data(), static_cast<Dword>(text.size()), nullptr), 0);
  Show();
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(page), 0);
  EXPECT_LT(Show().size(), 40u);
  ASSERT_NE(console_.SetConsoleActiveScreenBuffer(out_), 0);
  Show();
  // The window grows with the terminal.
  ASSERT_TRUE(console_.SetBufferGeometry(out_, Coord{70, 24}, SmallRect{0, 0, 69, 23}));
  EXPECT_NE(Show().find("\x1b[2J"), std::string::npos);
}

TEST_F(Rendering, CursorTitleAndFullScreen) {
  Open(20, 5);
  CursorInfo info{80, 1};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &info), 0);
  ASSERT_NE(console_.SetConsoleCursorPosition(out_, Coord{19, 4}), 0);
  Show();
  info = {10, 0};
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &info), 0);
  Show();
  info.bVisible = 1;
  ASSERT_NE(console_.SetConsoleCursorInfo(out_, &info), 0);
  Show();
  ASSERT_NE(console_.SetConsoleTitleA("caption\x1b]2;evil\a"), 0);
  EXPECT_EQ(Show(), "\x1b]2;caption]2;evil\a");
  console_.SendKeys("%~", true);
  EXPECT_EQ(Show(), "\x1b[10;1t");
}

TEST_F(Rendering, InvalidatedDrawsEverythingAgain) {
  Open(20, 5);
  Write("hello");
  Show();
  terminal_.renderer.Invalidate();
  terminal_.model = testing_vt::VtModel(20, 5);
  console_.RequestRepaint();
  const std::string bytes = Show();
  EXPECT_NE(bytes.find("hello"), std::string::npos);
  EXPECT_NE(bytes.find("\x1b]2;"), std::string::npos);
}

TEST_F(Rendering, RepeatsAndErasesOnlyWhereTheTerminalHasThem) {
  for (const TerminalFeatures features :
       {TerminalFeatures{}, TerminalFeatures{false, true}, TerminalFeatures{true, true}}) {
    terminal_.renderer = VtRenderer(features);
    console_.FreeConsole();
    Open(40, 6);
    std::vector<CharInfo> row(40, CharInfo{'=', 0x1F});  // a run up to the last column, then the next row
    Cells(out_, 0, 1, row, 40);
    std::vector<CharInfo> framed(40, CharInfo{' ', 0x70});  // box glyphs around a blank stretch
    for (int x : {0, 1, 2, 37, 38, 39}) framed[static_cast<size_t>(x)] = CharInfo{0xCD, 0x1E};
    Cells(out_, 0, 2, framed, 40);
    framed.resize(20);  // a blank stretch inside the row, the cell after it unchanged
    framed[0] = framed[19] = CharInfo{'|', 0x70};
    Cells(out_, 5, 3, framed, 20);
    const std::string bytes = Show();
    EXPECT_EQ(std::regex_search(bytes, std::regex("\x1b\\[[0-9]*b")), features.repeat);
    EXPECT_EQ(std::regex_search(bytes, std::regex("\x1b\\[[0-9]*X")), features.erase && !features.repeat);
    if (features.repeat) {
      EXPECT_LT(bytes.size(), 120u);
    }
  }
}

}  // namespace
}  // namespace kelvane::platform::terminal
