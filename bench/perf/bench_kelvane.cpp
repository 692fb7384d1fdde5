// The terminal-library workload of the perf harness (workload.h) on KelvaneConsole, as a client of the
// public API would draw it: the cursor hidden, every full frame drawn on a hidden page and shown with
// Page, text written with WriteText, single cells with SetScreenData, boxes with DrawBox. Every public
// call presents what it changed on the shown page, so be_present only chooses the page.
//
// Pages: the workload's page 0 is console page 0 or 3, whichever is hidden when a full-page fill starts
// a new frame on it; its pages 1 and 2 are console pages 1 and 2. The workload's attributes are ANSI
// colour indices (fg | bg << 4, red in bit 0); the console's colours are RGB values with red in the low
// byte.
#include <kelvane/console.hpp>

#include <algorithm>
#include <cstdint>
#include <string>

#define BE_DRAW_BOX 1
#include "harness_workload.hpp"

namespace {

namespace kc = KelvaneConsole;

kc::Console* g_console = nullptr;
int g_page_of[3] = {0, 1, 2};  // console page behind each workload page
int g_shown = 0;               // workload page chosen by be_show
int g_console_page = 0;        // console page shown
struct Cursor {
  int x = 0, y = 0;
};
Cursor g_cursor[4];  // each console page's cursor, as the calls below leave it
int g_line_end = 0;  // the column after the last line be_line_out wrote

// The RGB colour of an ANSI colour index: red and blue change places (ANSI 1 is red, console 1 blue).
kc::Long Rgb(int ansi) {
  static constexpr kc::Long kByConsoleIndex[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  const int console = (ansi & 0xA) | ((ansi & 1) << 2) | ((ansi >> 2) & 1);
  return kByConsoleIndex[console];
}
kc::Long Fore(int attr) { return Rgb(attr & 15); }
kc::Long Back(int attr) { return Rgb((attr >> 4) & 15); }

std::string Utf8(uint32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 63));
  } else {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 63));
    s += static_cast<char>(0x80 | (c & 63));
  }
  return s;
}

int Page(int pg) { return g_page_of[pg]; }

void Cell(int pg, int y, int x, const std::string& glyph, int attr) {
  g_console->SetScreenData(glyph, Fore(attr), Back(attr), x, y, Page(pg));
}

// A run of n glyphs (each `glyph_bytes` bytes of `text`) from (x, y), through WriteText.
// WriteText's rules would disturb cells the workload does not write: on the bottom row a run ending in
// either of the last two columns colours the row to its right edge, and writing the bottom-right cell
// wraps and scrolls the page. Those last cells go through SetScreenData instead.
void Run(int pg, int y, int x, const char* text, int n, int glyph_bytes, int attr) {
  const int page = Page(pg);
  int direct = 0;
  if (y == H - 1 && x + n - 1 >= W - 2) direct = std::min(n, x + n - (W - 2));
  const int written = n - direct;
  if (written > 0) {
    Cursor& cursor = g_cursor[page];
    if (cursor.x != x || cursor.y != y) g_console->SetCursorPos(x, y, page);
    g_console->WriteText(std::string(text, static_cast<size_t>(written * glyph_bytes)), Fore(attr),
                         Back(attr), true, page);
    // Past the last column the cursor goes on at the start of the next row.
    cursor = x + written < W ? Cursor{x + written, y} : Cursor{0, y + 1};
  }
  for (int i = written; i < n; ++i)
    Cell(pg, y, x + i, std::string(text + i * glyph_bytes, static_cast<size_t>(glyph_bytes)), attr);
}

void RepeatRun(int pg, int y, int x, int n, uint32_t ch, int attr) {
  const std::string glyph = Utf8(ch);
  std::string text;
  for (int i = 0; i < n; ++i) text += glyph;
  Run(pg, y, x, text.data(), n, static_cast<int>(glyph.size()), attr);
}

}  // namespace

static void be_init(int* w, int* h) {
  static kc::Console console;
  g_console = &console;
  console.Load();
  // Every page the workload uses is created and its cursor hidden before anything is measured; the
  // cursor's visibility belongs to each page.
  for (int page : {3, 1, 2, 0}) {
    console.Page(static_cast<kc::Integer>(page));
    console.CursorVisible(false);
  }
  kc::Integer width = 0, height = 0;
  console.GetWindowSize(width, height);
  *w = width;
  *h = height;
}

static void be_fini(void) { g_console->Unload(); }

static void be_text(int pg, int y, int x, const char* s, int n, int attr) { Run(pg, y, x, s, n, 1, attr); }

static void be_fill(int pg, int y, int x, int h, int w, uint32_t ch, int attr) {
  if (y == 0 && x == 0 && h == H && w == W && ch == ' ') {
    // A new full frame: drawn on the hidden one of the two pages behind workload page 0.
    if (pg == 0 && g_page_of[0] == g_console_page) g_page_of[0] = g_console_page == 0 ? 3 : 0;
    g_console->ClearScreen(Fore(attr), Back(attr), Page(pg));
    g_cursor[Page(pg)] = Cursor{};
    return;
  }
  for (int r = 0; r < h; ++r) RepeatRun(pg, y + r, x, w, ch, attr);
}

static void be_hline(int pg, int y, int x, int n, uint32_t ch, int attr) { RepeatRun(pg, y, x, n, ch, attr); }

static void be_vline(int pg, int y, int x, int n, uint32_t ch, int attr) {
  const std::string glyph = Utf8(ch);
  for (int r = 0; r < n; ++r) Cell(pg, y + r, x, glyph, attr);
}

static void be_cell(int pg, int y, int x, uint32_t ch, int attr) { Cell(pg, y, x, Utf8(ch), attr); }

static void be_recolor(int pg, int y, int x, int n, int attr) {
  kc::Integer length = static_cast<kc::Integer>(n);
  g_console->DrawHLine(x, y, length, Fore(attr), Back(attr), kc::kcLineColorOnly, Page(pg));
}

static void be_draw_box(int pg, int y, int x, int h, int w, int attr, int dbl, int shadow) {
  kc::Integer width = static_cast<kc::Integer>(w), height = static_cast<kc::Integer>(h);
  g_console->DrawBox(x, y, width, height, Fore(attr), Back(attr),
                     dbl ? kc::kcLineDoubleLine : kc::kcLineSingleLine, shadow != 0, Page(pg));
}

static void be_show(int pg) { g_shown = pg; }

static void be_present(void) {
  const int page = Page(g_shown);
  if (page != g_console_page) {
    g_console->Page(static_cast<kc::Integer>(page));
    g_console_page = page;
  }
}

static void be_line_out(const seg_t* segs, int nseg, int first) {
  const int page = Page(0);
  Cursor& cursor = g_cursor[page];
  if (!first) {
    // The line before ends: the rest of the bottom row in the blank colours (from the cursor, which
    // is placed after that line), and the page scrolls up one row, bringing in a row blank in those
    // colours.
    if (cursor.x != g_line_end || cursor.y != H - 1) g_console->SetCursorPos(g_line_end, H - 1, page);
    g_console->WriteText("", Fore(BLANK_ATTR), Back(BLANK_ATTR), false, page);
    cursor = Cursor{0, H - 1};
  }
  int x = 0;
  for (int i = 0; i < nseg; ++i) {
    Run(0, H - 1, x, segs[i].s, segs[i].n, 1, segs[i].attr);
    x += segs[i].n;
  }
  g_line_end = x;
}

int main(int argc, char** argv) { return run_workload(argc, argv); }
