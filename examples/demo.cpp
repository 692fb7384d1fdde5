// The demo: draws boxes in every line style with shadows, then prints the shown page as text.
//
// Until the terminal presenter arrives the console is headless (in memory); set KELVANE_CONSOLE to
// headless:COLSxROWS for another size.
#include <kelvane/console.hpp>

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace kc = KelvaneConsole;

namespace {

constexpr kc::Long kWhite = 0xFFFFFF;
constexpr kc::Long kYellow = 0x00FFFF;
constexpr kc::Long kDarkBlue = 0x800000;
constexpr kc::Long kDarkCyan = 0x808000;
constexpr kc::Long kBlack = 0x000000;

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
  constexpr kc::Long kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                     0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (int i = 0; i < 16; ++i) {
    // The console numbers blue as bit 0, ANSI numbers red as bit 0.
    if (kPalette[i] == rgb) return (i & 8) | ((i & 1) << 2) | (i & 2) | ((i & 4) >> 2);
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
      // Control bytes are cells too; print them as spaces.
      line += (ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 0x20) ? " " : ch;
    }
    if (colour) {
      line += "\x1b[0m";
    } else {
      while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    std::cout << line << '\n';
  }
}

}  // namespace

int main() {
  try {
    kc::Console console;
    console.Load();
    console.Caption("KelvaneConsole demo");
    DrawSamples(console);
    PrintPage(console);
    console.Unload();
  } catch (const kc::Error& e) {
    std::fprintf(stderr, "error %d (%s): %s\n", e.Number(), e.Source().c_str(), e.Description().c_str());
    return 1;
  }
  return 0;
}
