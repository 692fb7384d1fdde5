// The renderer: exact bytes for the small sequences; whole frames of the emulated console replayed
// through an xterm model and compared with the console's window, cell by cell.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/codepage.hpp"
#include "platform/emulated/emulated_console.hpp"
#include "platform/emulated/support.hpp"
#include "platform/terminal/terminal_screen.hpp"
#include "platform/terminal/vt_model.hpp"
#include "platform/terminal/vt_renderer.hpp"

namespace kelvane::platform::terminal {
namespace {

using testing_vt::VtModel;

TEST(VtSequences, ExactBytes) {
  std::string out;
  vt::CursorTo(out, 0, 0);
  vt::CursorTo(out, 0, 4);
  vt::CursorTo(out, 9, 2);
  EXPECT_EQ(out, "\x1b[H\x1b[5H\x1b[3;10H");
  // Console attributes 0x1F, 0x4E and 0x07: red and blue swap, bright colours in the 90/100 forms.
  out.clear();
  for (int attribute : {0x1F, 0x4E, 0x07})
    vt::Colours(out, AnsiColour(attribute & 15), AnsiColour(attribute >> 4));
  vt::Colours(out, 12, -1);
  vt::Colours(out, -1, 8);
  vt::Colours(out, -1, -1);
  EXPECT_EQ(out, "\x1b[97;44m\x1b[93;41m\x1b[37;40m\x1b[94m\x1b[100m");
  const int ansi[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  for (int c = 0; c < 16; ++c) EXPECT_EQ(AnsiColour(c), ansi[c]) << c;
  EXPECT_EQ((std::vector{CursorShape(1), CursorShape(50), CursorShape(51), CursorShape(100)}),
            (std::vector{3, 3, 1, 1}));
}

TEST(VtSequences, TitlesLoseEveryControlCharacterAndAreCapped) {
  EXPECT_EQ(TerminalTitle("a\ab\x1b]0;x\x1b\\c\r\nd\x7f\x9b"
                          "e"),
            "ab]0;x\\cd\xc2\xa2"
            "e");                                                    // 0x9B is a 437 cent sign
  EXPECT_EQ(TerminalTitle("\xb0\xc9"), "\xe2\x96\x91\xe2\x95\x94");  // ░╔
  const std::string huge(65536, 'x');
  EXPECT_EQ(TerminalTitle(huge), std::string(kMaxTitle, 'x'));
  std::string out;
  vt::Title(out, "t\a\x1b\\");
  EXPECT_EQ(out, "\x1b]2;t\\\a");
}

TEST(ConsoleHomeChoice, SettingAndTerminal) {
  using K = ConsoleSetting::Kind;
  EXPECT_EQ((std::vector{ChooseConsoleHome(K::Automatic, true), ChooseConsoleHome(K::Automatic, false),
                         ChooseConsoleHome(K::Headless, true), ChooseConsoleHome(K::Terminal, true),
                         ChooseConsoleHome(K::Terminal, false)}),
            (std::vector{ConsoleHome::Terminal, ConsoleHome::Headless, ConsoleHome::Headless,
                         ConsoleHome::Terminal, ConsoleHome::Nowhere}));
}

TEST(TerminalFeatureChoice, AsTheTerminfoEntriesSay) {
  EXPECT_EQ(FeaturesOfTerminal("xterm-256color"), (TerminalFeatures{true, true}));
  EXPECT_EQ(FeaturesOfTerminal("xterm"), (TerminalFeatures{true, true}));
  EXPECT_EQ(FeaturesOfTerminal("linux"), (TerminalFeatures{false, true}));
  EXPECT_EQ(FeaturesOfTerminal("rxvt-unicode-256color"), (TerminalFeatures{false, true}));
  for (const char* term :
       {"", "dumb", "vt100", "screen-256color", "tmux-256color", "xterm-color", "xterm-256"})
    EXPECT_EQ(FeaturesOfTerminal(term), TerminalFeatures{}) << term;
}

class Rendering : public ::testing::Test {
 protected:
  void Open(Short columns, Short rows) {
    console_.SetConsoleSize(columns, rows);
    ASSERT_NE(console_.AllocConsole(), 0);
    out_ = console_.GetStdHandle(kStdOutputHandle);
    model_ = std::make_unique<VtModel>(columns, rows);
    console_.SetPresenter(&presenter_);
    Show();
  }
  // Presents what changed and checks the terminal now shows the console's window; returns the bytes.
  std::string Show() {
    bytes_.clear();
    console_.EndOfCall();
    model_->Feed(bytes_);
    ExpectScreen();
    return bytes_;
  }
  void ExpectScreen() {
    const ConsoleView view = console_.View();
    EXPECT_TRUE(model_->errors.empty()) << model_->errors.front();
    int wrong = 0;
    for (int y = 0; y < view.size.Y; ++y) {
      for (int x = 0; x < view.size.X; ++x) {
        const CharInfo& cell = view.cells[static_cast<size_t>(y * view.size.X + x)];
        const testing_vt::VtCell& shown = model_->At(x, y);
        const char32_t glyph = Cp437Glyph(static_cast<unsigned char>(cell.Char));
        const bool blank = glyph == U' ';
        if (shown.glyph != glyph || shown.bg != AnsiColour(cell.Attributes >> 4 & 15) ||
            (!blank && shown.fg != AnsiColour(cell.Attributes & 15))) {
          if (++wrong <= 3) ADD_FAILURE() << "cell " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    if (view.cursor_visible && view.cursor.X >= 0 && view.cursor.X < view.size.X && view.cursor.Y >= 0 &&
        view.cursor.Y < view.size.Y) {
      EXPECT_TRUE(model_->cursor_visible);
      EXPECT_EQ(model_->x, view.cursor.X);
      EXPECT_EQ(model_->y, view.cursor.Y);
      EXPECT_EQ(model_->cursor_shape, CursorShape(view.cursor_size));
    } else {
      EXPECT_FALSE(model_->cursor_visible);
    }
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
  VtRenderer renderer_;
  std::string bytes_;
  platform::testing::FramesTo presenter_{
      [this](const ConsoleFrame& frame) { renderer_.Render(frame, bytes_); }};
  std::unique_ptr<VtModel> model_;
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
  EXPECT_EQ(model_->scrolls, 0);  // the bottom-right cell did not scroll the terminal
  EXPECT_EQ(model_->At(1, 0).glyph, U'\u263A');
  EXPECT_EQ(model_->At(11, 1).glyph, U'\u2190');  // 0x1B
  EXPECT_EQ(model_->At(15, 7).glyph, U'\u2302');  // 0x7F
  // A second frame changes one cell: only it is sent.
  Cells(out_, 5, 5, {CharInfo{'Z', 0x1E}}, 1);
  EXPECT_LT(Show().size(), 40u);
}

TEST_F(Rendering, ScrolledTextIsScrolledOnTheTerminalNotRepainted) {
  Open(40, 10);
  for (int i = 0; i < 9; ++i) Write("line " + std::to_string(i) + " with some text\n");
  Show();
  const int scrolls = model_->scrolls;
  Write("one more line\nand another\n");
  const std::string bytes = Show();
  EXPECT_EQ(model_->scrolls, scrolls + 1);
  EXPECT_NE(bytes.find("\x1b[2S"), std::string::npos);
  EXPECT_LT(bytes.size(), 80u);
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
  model_->Resize(70, 24);
  const std::string bytes = Show();
  EXPECT_NE(bytes.find("\x1b[2J"), std::string::npos);
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
  renderer_.Invalidate();
  model_ = std::make_unique<VtModel>(20, 5);
  console_.RequestRepaint();
  const std::string bytes = Show();
  EXPECT_NE(bytes.find("hello"), std::string::npos);
  EXPECT_NE(bytes.find("\x1b]2;"), std::string::npos);
}

TEST_F(Rendering, RepeatsAndErasesOnlyWhereTheTerminalHasThem) {
  for (const TerminalFeatures features :
       {TerminalFeatures{}, TerminalFeatures{false, true}, TerminalFeatures{true, true}}) {
    renderer_ = VtRenderer(features);
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
