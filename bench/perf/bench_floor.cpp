// A reference for the harness, not a library: the least a console that shows every call's change at the
// end of that call can do. Each drawing call on the shown page is one write(2) of just its cells (cursor
// position, colours, glyphs); a page that becomes shown is one write of the whole screen. Beside
// bench_kelvane on the cell workloads it shows what one write per call costs on this machine, with no
// library work around it.
#include <unistd.h>

#include <string>
#include <vector>

#include "harness_workload.hpp"

namespace {

struct Cell {
  uint32_t ch = ' ';
  int attr = BLANK_ATTR;
};
std::vector<Cell> g_pages[3];
int g_shown = 0, g_presented = -1;
std::string g_out;

void Glyph(uint32_t c) {
  if (c < 0x80) {
    g_out += static_cast<char>(c);
  } else {
    g_out += static_cast<char>(0xE0 | (c >> 12));
    g_out += static_cast<char>(0x80 | ((c >> 6) & 63));
    g_out += static_cast<char>(0x80 | (c & 63));
  }
}
void Put(int y, int x, const Cell& cell) {
  const int fg = cell.attr & 15, bg = (cell.attr >> 4) & 15;
  g_out += "\x1b[" + std::to_string(y + 1) + ';' + std::to_string(x + 1) + 'H';
  g_out += "\x1b[" + std::to_string(fg < 8 ? 30 + fg : 82 + fg) + ';' +
           std::to_string(bg < 8 ? 40 + bg : 92 + bg) + 'm';
  Glyph(cell.ch);
}
void Flush() {
  if (g_out.empty()) return;
  ssize_t r = write(1, g_out.data(), g_out.size());
  (void)r;
  g_out.clear();
}
// Cells of page pg changed: drawn at once when it is the page on the screen.
void Set(int pg, int y, int x, uint32_t ch, int attr) {
  Cell& cell = g_pages[pg][static_cast<size_t>(y) * W + x];
  cell = Cell{ch, attr};
  if (pg == g_presented) Put(y, x, cell);
}

}  // namespace

static void be_init(int* w, int* h) {
  const char* c = getenv("BENCH_COLS");
  const char* r = getenv("BENCH_ROWS");
  *w = c ? atoi(c) : 80;
  *h = r ? atoi(r) : 25;
  for (auto& page : g_pages) page.assign(static_cast<size_t>(*w) * *h, Cell{});
  mark("\x1b[?1049h\x1b[?25l");
}
static void be_fini(void) { mark("\x1b[0m\x1b[?25h\x1b[?1049l"); }
static void be_text(int pg, int y, int x, const char* s, int n, int attr) {
  for (int i = 0; i < n; i++) Set(pg, y, x + i, static_cast<unsigned char>(s[i]), attr);
  Flush();
}
static void be_fill(int pg, int y, int x, int h, int w, uint32_t ch, int attr) {
  for (int r = 0; r < h; r++)
    for (int c = 0; c < w; c++) Set(pg, y + r, x + c, ch, attr);
  Flush();
}
static void be_hline(int pg, int y, int x, int n, uint32_t ch, int attr) {
  be_fill(pg, y, x, 1, n, ch, attr);
}
static void be_vline(int pg, int y, int x, int n, uint32_t ch, int attr) {
  be_fill(pg, y, x, n, 1, ch, attr);
}
static void be_cell(int pg, int y, int x, uint32_t ch, int attr) { be_fill(pg, y, x, 1, 1, ch, attr); }
static void be_recolor(int pg, int y, int x, int n, int attr) {
  for (int c = 0; c < n; c++) Set(pg, y, x + c, g_pages[pg][static_cast<size_t>(y) * W + x + c].ch, attr);
  Flush();
}
static void be_show(int pg) { g_shown = pg; }
static void be_present(void) {
  if (g_shown == g_presented) return;
  g_presented = g_shown;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) Put(y, x, g_pages[g_shown][static_cast<size_t>(y) * W + x]);
  Flush();
}
static void be_line_out(const seg_t* segs, int nseg, int first) {
  std::vector<Cell>& page = g_pages[0];
  if (!first) {
    page.erase(page.begin(), page.begin() + W);
    page.resize(static_cast<size_t>(W) * H, Cell{});
  }
  g_presented = -1;  // redrawn whole by be_present
  int x = 0;
  for (int i = 0; i < nseg; i++)
    for (int k = 0; k < segs[i].n; k++, x++)
      page[static_cast<size_t>(H - 1) * W + x] = Cell{static_cast<unsigned char>(segs[i].s[k]), segs[i].attr};
}

int main(int argc, char** argv) { return run_workload(argc, argv); }
