// Draws a box on a headless console and checks a corner, through the installed header and library.
#include <kelvane/console.hpp>

#include <cstdio>

int main() {
  KelvaneConsole::Console c;
  c.Load();
  KelvaneConsole::Integer w = 4, h = 3;
  c.DrawBox(0, 0, w, h, 0xFFFFFF, 0x800000, KelvaneConsole::kcLineSingleLine);
  KelvaneConsole::String ch;
  KelvaneConsole::Long fore = 0, back = 0;
  c.GetScreenData(ch, fore, back, 0, 0);
  c.Unload();
  if (ch != "┌" || fore != 0xFFFFFF || back != 0x800000) {
    std::puts("unexpected corner");
    return 1;
  }
  std::puts("installed package works");
  return 0;
}
