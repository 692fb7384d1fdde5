// The demo: a short tour of the console on the terminal (colours, text and scrolling, the nine line
// styles with shadows, a dialog drawn on a hidden page and shown at once, the cursor's shapes and the
// caption, and the keyboard). Space or Enter moves to the next scene, q or Esc leaves; when the input has
// ended (standard input at its end) each scene stays a few seconds instead.
//
// With standard output redirected (CI, `demo > file`) the console is headless, takes its keys from
// standard input, and each scene's final screen is printed as text. KELVANE_CONSOLE=headless:COLSxROWS gives
// another size.
#include <kelvane/console.hpp>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace kc = KelvaneConsole;

namespace {

bool g_headless = false;

constexpr kc::Long kWhite = 0xFFFFFF;
constexpr kc::Long kYellow = 0x00FFFF;
constexpr kc::Long kDarkBlue = 0x800000;
constexpr kc::Long kDarkCyan = 0x808000;
constexpr kc::Long kBlack = 0x000000;
constexpr kc::Long kGrey = 0xC0C0C0;

// The sixteen console colours as RGB, with their names.
struct NamedColour {
  kc::Long rgb;
  const char* name;
};
constexpr NamedColour kPalette[16] = {
    {0x000000, "black"},    {0x800000, "dark blue"}, {0x008000, "dark green"}, {0x808000, "dark cyan"},
    {0x000080, "dark red"}, {0x800080, "purple"},    {0x008080, "olive"},      {0xC0C0C0, "light grey"},
    {0x808080, "grey"},     {0xFF0000, "blue"},      {0x00FF00, "green"},      {0xFFFF00, "cyan"},
    {0x0000FF, "red"},      {0xFF00FF, "magenta"},   {0x00FFFF, "yellow"},     {0xFFFFFF, "white"}};

struct StyleSample {
  kc::KSConsoleLineStyles style;
  const char* name;
};

constexpr StyleSample kStyles[] = {
    {kc::kcLineColorOnly, "ColorOnly"},         {kc::kcLinePlain, "Plain"},
    {kc::kcLineSingleLine, "SingleLine"},       {kc::kcLineDoubleLine, "DoubleLine"},
    {kc::kcLinePlusMinusPipeLine, "PlusMinus"}, {kc::kcLineAsterisks, "Asterisks"},
    {kc::kcLineGray25Percent, "Gray25"},        {kc::kcLineGray50Percent, "Gray50"},
    {kc::kcLineGray75Percent, "Gray75"},
};

void DrawSamples(kc::Console& console) {
  console.ClearScreen(kWhite, kDarkBlue);
  console.WriteText(" KelvaneConsole: nine line styles, with shadows", kYellow, kDarkBlue);
  kc::Integer columns = 0, rows = 0;
  console.GetWindowSize(columns, rows);
  const kc::Integer cell_width = static_cast<kc::Integer>(columns / 3);
  const kc::Integer cell_height = static_cast<kc::Integer>((rows - 2) / 3);
  for (int i = 0; i < 9; ++i) {
    auto x = static_cast<kc::Integer>(1 + (i % 3) * cell_width);
    auto y = static_cast<kc::Integer>(2 + (i / 3) * cell_height);
    kc::Integer width = static_cast<kc::Integer>(cell_width - 4);
    kc::Integer height = static_cast<kc::Integer>(cell_height - 2);
    if (width < 1 || height < 1) continue;
    console.DrawBox(x, y, width, height, kBlack, kDarkCyan, kStyles[i].style, true);
    console.SetCursorPos(static_cast<kc::Integer>(x + 2), static_cast<kc::Integer>(y + height / 2));
    console.WriteText(kStyles[i].name, kBlack, kDarkCyan, true);
  }
  console.SetCursorPos(0, static_cast<kc::Integer>(rows - 1));
}

// The ANSI colour number (0..15) of one of the sixteen console colours, given as RGB.
int AnsiColor(kc::Long rgb) {
  for (int i = 0; i < 16; ++i) {
    // The console numbers blue as bit 0, ANSI numbers red as bit 0.
    if (kPalette[i].rgb == rgb) return (i & 8) | ((i & 1) << 2) | (i & 2) | ((i & 4) >> 2);
  }
  return 7;
}

// Prints the page as text; in colour when standard output is a terminal.
void PrintPage(kc::Console& console) {
  const bool colour = isatty(STDOUT_FILENO) != 0;
  kc::Integer columns = 0, rows = 0;
  console.GetWindowSize(columns, rows);
  for (kc::Integer y = 0; y < rows; ++y) {
    std::string line;
    for (kc::Integer x = 0; x < columns; ++x) {
      kc::String ch;
      kc::Long fore = 0, back = 0;
      console.GetScreenData(ch, fore, back, x, y);
      if (colour) {
        int f = AnsiColor(fore);
        int b = AnsiColor(back);
        line += "\x1b[" + std::to_string(f < 8 ? 30 + f : 90 + f - 8) + ";" +
                std::to_string(b < 8 ? 40 + b : 100 + b - 8) + "m";
      }
      // Control characters are cells too; print them as spaces, never raw.
      const bool control = ch.size() == 1 && (static_cast<unsigned char>(ch[0]) < 0x20 || ch[0] == 0x7F);
      line += control ? " " : ch;
    }
    if (colour) {
      line += "\x1b[0m";
    } else {
      while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    std::cout << line << '\n';
  }
}

// Ends a scene: headless, its screen is printed; then Space or Enter moves on, q or Esc leaves. When
// the input has ended (standard input at its end, CI) the tour plays on by itself. False: leave.
bool g_input_ended = false;
bool EndScene(kc::Console& console) {
  if (g_headless) {
    PrintPage(console);
    std::cout << '\n';
  }
  while (!g_input_ended) {
    switch (console.GetInputKey(true)) {
      case 0:  // the input has ended
        g_input_ended = true;
        break;
      case ' ':
      case 13:
        return true;
      case 'Q':
      case 27:
        return false;
      default:
        break;
    }
  }
  if (!g_headless) std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  return true;
}

void Pace(int milliseconds) {
  if (!g_headless) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Heading(kc::Console& console, const char* text) {
  console.ClearScreen(kGrey, kBlack);
  console.WriteText(text, kYellow, kDarkBlue, true);
  console.SetCursorPos(0, 2);
}

void Palette(kc::Console& console) {
  Heading(console, " The sixteen colours ");
  for (int i = 0; i < 16; ++i) {
    const auto y = static_cast<kc::Integer>(2 + i);
    kc::Integer width = 6;
    console.DrawHLine(2, y, width, kBlack, kPalette[i].rgb);
    console.SetCursorPos(10, y);
    console.WriteText(kPalette[i].name, kPalette[i].rgb, kBlack, true);
    console.SetCursorPos(24, y);
    console.WriteText(" text on it ", i == 0 ? kWhite : kBlack, kPalette[i].rgb, true);
  }
  console.SetCursorPos(0, 19);
}

void TextAndScrolling(kc::Console& console) {
  Heading(console, " Text: written line by line; the page scrolls at the bottom ");
  kc::Integer columns = 0, rows = 0;
  console.GetWindowSize(columns, rows);
  for (int line = 1; line <= rows + 10; ++line) {
    const NamedColour& colour = kPalette[9 + line % 7];
    console.WriteText("Line " + std::to_string(line) + ": ", kGrey, kBlack, true);
    console.WriteText(std::string("in ") + colour.name + " \x01 \x02 \x03 \x04 \x05 \xE2\x94\x80\xE2\x95\x90",
                      colour.rgb, kBlack);
    Pace(60);
  }
}

void LineStyles(kc::Console& console) { DrawSamples(console); }

void HiddenPageDialog(kc::Console& console) {
  // Page 1 is drawn while page 0 is shown, then shown whole at once.
  Heading(console, " Drawing a dialog on a hidden page... ");
  kc::Integer columns = 0, rows = 0;
  console.GetWindowSize(columns, rows);
  console.ClearScreen(kGrey, kDarkCyan, 1);
  std::string shade;
  for (kc::Integer x = 0; x < columns; ++x) shade += "\u2591";  // light shade
  for (kc::Integer y = 1; y + 1 < rows; y += 2) {
    console.SetCursorPos(0, y, 1);
    console.WriteText(shade, kGrey, kDarkCyan, true, 1);
  }
  kc::Integer width = 44, height = 7;
  const auto x = static_cast<kc::Integer>((columns - width) / 2),
             y = static_cast<kc::Integer>((rows - height) / 2);
  console.DrawBox(x, y, width, height, kWhite, kDarkBlue, kc::kcLineDoubleLine, true, 1);
  console.SetCursorPos(static_cast<kc::Integer>(x + 3), static_cast<kc::Integer>(y + 2), 1);
  console.WriteText("This dialog was drawn on page 1", kYellow, kDarkBlue, true, 1);
  console.SetCursorPos(static_cast<kc::Integer>(x + 3), static_cast<kc::Integer>(y + 4), 1);
  console.WriteText("while page 0 was on the screen.", kWhite, kDarkBlue, true, 1);
  Pace(1200);
  console.Page(1);
}

void Keys(kc::Console& console) {
  Heading(console, " The keyboard: each key's code; Enter ends ");
  kc::Integer row = 2;
  for (kc::Integer key = -1; key != 13 && key != 0 && row < 12; ++row) {
    key = console.GetInputKey();
    console.SetCursorPos(2, row);
    console.WriteText("GetInputKey gave " + std::to_string(key), kWhite, kBlack, true);
  }
  console.SetCursorPos(2, static_cast<kc::Integer>(row + 1));
  const kc::String line = console.GetInputLine("Now a line (Backspace edits, Enter ends): ", 40);
  console.SetCursorPos(2, static_cast<kc::Integer>(row + 3));
  console.WriteText("GetInputLine gave \"" + line + "\"", kYellow, kBlack, true);
}

void CursorAndCaption(kc::Console& console) {
  console.Page(0);
  Heading(console, " The cursor and the caption ");
  console.Caption("KelvaneConsole demo: cursor shapes");
  console.SetCursorPos(2, 3);
  console.WriteText("A block cursor (CursorSize 100): ", kWhite, kBlack, true);
  console.CursorSize(100);
  console.CursorVisible(true);
  Pace(1500);
  console.SetCursorPos(2, 5);
  console.WriteText("An underline cursor (CursorSize 25): ", kWhite, kBlack, true);
  console.CursorSize(25);
  Pace(1500);
  console.SetCursorPos(2, 7);
  console.WriteText("No cursor at all (CursorVisible False).", kWhite, kBlack, true);
  console.CursorVisible(false);
  console.Caption("KelvaneConsole demo: the end");
}

}  // namespace

int main() {
  // Output redirected: play the tour in memory and print it, rather than on the controlling terminal.
  if (!isatty(STDOUT_FILENO) && !std::getenv("KELVANE_CONSOLE")) setenv("KELVANE_CONSOLE", "headless", 1);
  const char* setting = std::getenv("KELVANE_CONSOLE");
  g_headless = setting && std::string(setting).rfind("headless", 0) == 0;
  try {
    kc::Console console;
    console.Load();
    console.Caption("KelvaneConsole demo");
    for (void (*scene)(kc::Console&) :
         {Palette, TextAndScrolling, LineStyles, HiddenPageDialog, Keys, CursorAndCaption}) {
      scene(console);
      if (!EndScene(console)) break;
    }
    console.Unload();
  } catch (const kc::Error& e) {
    std::fprintf(stderr, "error %d (%s): %s\n", e.Number(), e.Source().c_str(), e.Description().c_str());
    return 1;
  }
  return 0;
}
