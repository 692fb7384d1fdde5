#include "platform/terminal/vt_renderer.hpp"

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/codepage.hpp"

namespace kelvane::platform::terminal {

namespace {

// The UTF-8 of each byte's glyph, built once.
struct GlyphTable {
  std::array<std::array<char, 4>, 256> bytes{};
  std::array<std::uint8_t, 256> length{};
  GlyphTable() {
    for (int b = 0; b < 256; ++b) {
      const std::string utf8 = EncodeUtf8(Cp437Glyph(static_cast<unsigned char>(b)));
      std::copy(utf8.begin(), utf8.end(), bytes[b].begin());
      length[b] = static_cast<std::uint8_t>(utf8.size());
    }
  }
};
const GlyphTable& Glyphs() {
  static const GlyphTable table;
  return table;
}

void Number(std::string& out, int value) {
  char digits[12];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

// CSI n <final>, with n left out when it is 1.
void Csi(std::string& out, int n, char final_byte) {
  out += "\x1b[";
  if (n != 1) Number(out, n);
  out += final_byte;
}

constexpr char kEsc[] = "\x1b[";

}  // namespace

int CursorShape(Dword size) { return size <= 50 ? 3 : 1; }

std::string TerminalTitle(std::string_view cp437) {
  std::string title;
  size_t characters = 0;
  for (unsigned char byte : cp437) {
    if (characters == kMaxTitle) break;
    // Decoded as text, not as glyphs: the control bytes are the control characters, and go.
    const char32_t c = byte < 0x80 ? char32_t{byte} : Cp437Glyph(byte);
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) continue;
    title += EncodeUtf8(c);
    ++characters;
  }
  return title;
}

namespace vt {

void CursorTo(std::string& out, int column, int row) {
  out += kEsc;
  if (row != 0 || column != 0) {
    Number(out, row + 1);
    if (column != 0) {
      out += ';';
      Number(out, column + 1);
    }
  }
  out += 'H';
}

void Colours(std::string& out, int fg, int bg) {
  if (fg < 0 && bg < 0) return;
  out += kEsc;
  if (fg >= 0) Number(out, fg < 8 ? 30 + fg : 90 + fg - 8);
  if (fg >= 0 && bg >= 0) out += ';';
  if (bg >= 0) Number(out, bg < 8 ? 40 + bg : 100 + bg - 8);
  out += 'm';
}

void Title(std::string& out, std::string_view cp437) {
  out += "\x1b]2;";
  out += TerminalTitle(cp437);
  out += '\a';
}

void CursorVisible(std::string& out, bool visible) { out += visible ? "\x1b[?25h" : "\x1b[?25l"; }

void CursorShape(std::string& out, int shape) {
  out += kEsc;
  Number(out, shape);
  out += " q";
}

void FullScreen(std::string& out, bool on) { out += on ? "\x1b[10;1t" : "\x1b[10;0t"; }

}  // namespace vt

VtRenderer::Key VtRenderer::KeyOf(const CharInfo& cell) {
  unsigned byte = static_cast<unsigned char>(cell.Char);
  if (byte == 0) byte = ' ';
  int fg = cell.Attributes & 0xF;
  int bg = (cell.Attributes >> 4) & 0xF;
  if (cell.Attributes & 0x4000) std::swap(fg, bg);  // reverse video
  if (byte == ' ') fg = 0;
  return byte | static_cast<Key>(AnsiColour(fg)) << 8 | static_cast<Key>(AnsiColour(bg)) << 12;
}

void VtRenderer::Invalidate() {
  columns_ = rows_ = 0;
  shown_.clear();
  cursor_known_ = wrap_pending_ = false;
  fg_ = bg_ = -1;
  shown_visible_ = shown_shape_ = -1;
  title_pending_ = true;
  full_screen_pending_ = full_screen_;
}

void VtRenderer::Render(const ConsoleFrame& frame, std::string& out) {
  if (frame.title_changed) {
    title_ = frame.title;
    title_pending_ = true;
  }
  if (frame.display_mode_changed) {
    full_screen_ = frame.full_screen;
    full_screen_pending_ = true;
  }
  if (title_pending_) vt::Title(out, title_);
  if (full_screen_pending_) vt::FullScreen(out, full_screen_);
  title_pending_ = full_screen_pending_ = false;
  if (frame.size.X <= 0 || frame.size.Y <= 0) return;
  if (frame.cursor_changed) {
    console_cursor_ = frame.cursor;
    console_cursor_size_ = frame.cursor_size;
    console_cursor_visible_ = frame.cursor_visible;
  }
  if (frame.size.X != columns_ || frame.size.Y != rows_) {
    Resize(frame.size, out);
  } else if (frame.scrolled > 0 && !frame.repaint) {
    Scroll(frame.scrolled, out);
  }
  size_t at = 0;
  for (const ConsoleFrame::Span& span : frame.spans) {
    const size_t width = static_cast<size_t>(span.right - span.left + 1);
    if (span.row >= 0 && span.row < rows_ && span.left >= 0 && span.right < columns_ &&
        at + width <= frame.cells.size())
      DrawSpan(span.row, span.left, span.right, &frame.cells[at], out);
    at += width;
  }
  PlaceCursor(out);
}

void VtRenderer::Resize(Coord size, std::string& out) {
  columns_ = size.X;
  rows_ = size.Y;
  HideCursorForDrawing(out);
  // Cleared in explicit colours: the terminal's default colours are its own, not the console's.
  SetColours(KeyOf(CharInfo{' ', 0x07}), out);
  out += "\x1b[2J";
  shown_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), KeyOf(CharInfo{' ', 0x07}));
  cursor_known_ = wrap_pending_ = false;
}

void VtRenderer::Scroll(int rows, std::string& out) {
  rows = std::min(rows, rows_);
  Csi(out, rows, 'S');
  const auto shift = static_cast<ptrdiff_t>(rows) * columns_;
  std::move(shown_.begin() + shift, shown_.end(), shown_.begin());
  // The rows that come in are erased in the current background.
  const Key blank = bg_ >= 0 ? ' ' | static_cast<Key>(bg_) << 12 : kUnknown;
  std::fill(shown_.end() - shift, shown_.end(), blank);
  if (wrap_pending_) cursor_known_ = false;
}

void VtRenderer::DrawSpan(int row, int left, int right, const CharInfo* cells, std::string& out) {
  Key* shown = &shown_[static_cast<size_t>(row) * static_cast<size_t>(columns_)];
  const GlyphTable& glyphs = Glyphs();
  for (int x = left; x <= right; ++x) {
    const Key key = KeyOf(cells[x - left]);
    if (shown[x] == key) continue;
    if (TryEraseToEnd(row, x, right, cells, left, out)) return;
    // A short gap of unchanged cells in the current colours is cheaper to write again than to skip.
    if (cursor_known_ && !wrap_pending_ && cursor_y_ == row && cursor_x_ < x && x - cursor_x_ <= 4) {
      int bytes = 0;
      bool same = true;
      for (int c = cursor_x_; c < x && same; ++c) {
        same = shown[c] != kUnknown && SameColours(shown[c]);
        bytes += glyphs.length[shown[c] & 0xFF];
      }
      if (same && bytes <= (x - cursor_x_ == 1 ? 3 : 4)) {
        while (cursor_x_ < x) Put(shown[cursor_x_], out);
      }
    }
    MoveTo(x, row, true, out);
    Put(key, out);
  }
}

bool VtRenderer::TryEraseToEnd(int row, int column, int right, const CharInfo* cells, int left,
                               std::string& out) {
  // Erasing to the end of the row paints blanks in the current background: worth it when the rest of
  // the row is blanks of one background and more than a few of them differ.
  Key* shown = &shown_[static_cast<size_t>(row) * static_cast<size_t>(columns_)];
  const Key blank = KeyOf(cells[column - left]);
  if (!IsBlank(blank)) return false;
  int last_differing = column;
  for (int c = column; c < columns_; ++c) {
    const Key key = c <= right ? KeyOf(cells[c - left]) : shown[c];
    if (key != blank) return false;
    if (shown[c] != key) last_differing = c;
  }
  if (last_differing - column + 1 <= 4) return false;
  HideCursorForDrawing(out);
  MoveTo(column, row, false, out);
  SetColours(blank, out);
  out += "\x1b[K";
  std::fill(shown + column, shown + columns_, blank);
  return true;
}

bool VtRenderer::SameColours(Key key) const {
  const int fg = static_cast<int>(key >> 8 & 0xF), bg = static_cast<int>(key >> 12 & 0xF);
  return bg == bg_ && (IsBlank(key) || fg == fg_);
}

void VtRenderer::SetColours(Key key, std::string& out) {
  const int fg = static_cast<int>(key >> 8 & 0xF), bg = static_cast<int>(key >> 12 & 0xF);
  const bool set_fg = !IsBlank(key) && fg != fg_;
  const bool set_bg = bg != bg_;
  vt::Colours(out, set_fg ? fg : -1, set_bg ? bg : -1);
  if (set_fg) fg_ = fg;
  bg_ = bg;
}

void VtRenderer::Put(Key key, std::string& out) {
  HideCursorForDrawing(out);
  if (wrap_pending_) {  // MoveTo let the glyph wrap to the start of the next row
    cursor_x_ = 0;
    ++cursor_y_;
    wrap_pending_ = false;
  }
  SetColours(key, out);
  const GlyphTable& glyphs = Glyphs();
  const unsigned byte = key & 0xFF;
  out.append(glyphs.bytes[byte].data(), glyphs.length[byte]);
  shown_[static_cast<size_t>(cursor_y_) * static_cast<size_t>(columns_) + static_cast<size_t>(cursor_x_)] =
      key;
  if (cursor_x_ == columns_ - 1) {
    wrap_pending_ = true;
  } else {
    ++cursor_x_;
  }
}

void VtRenderer::MoveTo(int column, int row, bool to_print, std::string& out) {
  if (cursor_known_ && !wrap_pending_ && column == cursor_x_ && row == cursor_y_) return;
  // After the last column the next glyph goes to the start of the next row by itself.
  if (to_print && cursor_known_ && wrap_pending_ && column == 0 && row == cursor_y_ + 1) return;
  std::string absolute;
  vt::CursorTo(absolute, column, row);
  if (cursor_known_ && !wrap_pending_) {
    // Relative moves: LF keeps the column (the terminal's output processing is off), and the cursor
    // never sits on the last row when it moves down, so nothing scrolls.
    std::string relative;
    const int down = row - cursor_y_;
    if (down == 1) {
      relative += '\n';
    } else if (down > 1) {
      Csi(relative, down, 'B');
    } else if (down < 0) {
      Csi(relative, -down, 'A');
    }
    if (column == 0 && cursor_x_ != 0) {
      relative += '\r';
    } else if (column == cursor_x_ - 1) {
      relative += '\b';
    } else if (column > cursor_x_) {
      Csi(relative, column - cursor_x_, 'C');
    } else if (column < cursor_x_) {
      Csi(relative, cursor_x_ - column, 'D');
    }
    if (relative.size() < absolute.size()) absolute = std::move(relative);
  }
  out += absolute;
  cursor_known_ = true;
  wrap_pending_ = false;
  cursor_x_ = column;
  cursor_y_ = row;
}

void VtRenderer::HideCursorForDrawing(std::string& out) {
  if (shown_visible_ == 0) return;
  vt::CursorVisible(out, false);
  shown_visible_ = 0;
}

void VtRenderer::PlaceCursor(std::string& out) {
  const Coord c = console_cursor_;
  const bool shown = console_cursor_visible_ && c.X >= 0 && c.X < columns_ && c.Y >= 0 && c.Y < rows_;
  if (!shown) {
    HideCursorForDrawing(out);
    return;
  }
  const int shape = CursorShape(console_cursor_size_);
  if (shape != shown_shape_) {
    vt::CursorShape(out, shape);
    shown_shape_ = shape;
  }
  MoveTo(c.X, c.Y, false, out);
  if (shown_visible_ != 1) {
    vt::CursorVisible(out, true);
    shown_visible_ = 1;
  }
}

}  // namespace kelvane::platform::terminal
