#include "platform/terminal/vt_renderer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "platform/codepage.hpp"

namespace kelvane::platform::terminal {

namespace {

// The UTF-8 of each byte's glyph, built once at start-up (from constant tables only).
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
const GlyphTable kGlyphs;

// The colour part of a cell's key for each attribute byte: ANSI foreground in bits 8..11, background in
// bits 12..15.
constexpr std::array<std::uint32_t, 256> kColourKeys = [] {
  std::array<std::uint32_t, 256> keys{};
  for (int a = 0; a < 256; ++a)
    keys[static_cast<size_t>(a)] =
        static_cast<std::uint32_t>(AnsiColour(a & 15) << 8 | AnsiColour(a >> 4) << 12);
  return keys;
}();

int DigitCount(int value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

char* PutNumber(char* at, int value) {
  char digits[12];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return std::copy(static_cast<const char*>(digits), end, at);
}

// CSI n <final>, with n left out when it is 1, and its length.
char* PutCsi(char* at, int n, char final_byte) {
  *at++ = '\x1b';
  *at++ = '[';
  if (n != 1) at = PutNumber(at, n);
  *at++ = final_byte;
  return at;
}
int CsiLength(int n) { return 3 + (n != 1 ? DigitCount(n) : 0); }

int CursorToLength(int column, int row) {
  if (row == 0 && column == 0) return 3;
  return 3 + DigitCount(row + 1) + (column != 0 ? 1 + DigitCount(column + 1) : 0);
}

char* PutCursorTo(char* at, int column, int row) {
  *at++ = '\x1b';
  *at++ = '[';
  if (row != 0 || column != 0) {
    at = PutNumber(at, row + 1);
    if (column != 0) {
      *at++ = ';';
      at = PutNumber(at, column + 1);
    }
  }
  *at++ = 'H';
  return at;
}

char* PutColours(char* at, int fg, int bg) {
  *at++ = '\x1b';
  *at++ = '[';
  if (fg >= 0) at = PutNumber(at, fg < 8 ? 30 + fg : 90 + fg - 8);
  if (fg >= 0 && bg >= 0) *at++ = ';';
  if (bg >= 0) at = PutNumber(at, bg < 8 ? 40 + bg : 100 + bg - 8);
  *at++ = 'm';
  return at;
}

// The longest single piece written at once: a cursor move, colours, a glyph or a repeat.
constexpr size_t kLongestPiece = 32;

}  // namespace

// A frame is thousands of small pieces: they gather in a buffer of their own and reach the caller's
// string in large appends. Flush before the string is looked at.
class VtWriter {
 public:
  explicit VtWriter(std::string& out) : out_(out) {}
  VtWriter(const VtWriter&) = delete;
  VtWriter& operator=(const VtWriter&) = delete;
  // Room for up to kLongestPiece bytes; say where the piece ended with Wrote.
  char* Room() {
    if (used_ + kLongestPiece > sizeof buffer_) Flush();
    return buffer_ + used_;
  }
  void Wrote(char* end) { used_ = static_cast<size_t>(end - buffer_); }
  void Append(std::string_view bytes) {
    if (bytes.size() > kLongestPiece) {
      Flush();
      out_.append(bytes);
      return;
    }
    Wrote(std::copy(bytes.begin(), bytes.end(), Room()));
  }
  void Flush() {
    out_.append(buffer_, used_);
    used_ = 0;
  }

 private:
  std::string& out_;
  char buffer_[4096];
  size_t used_ = 0;
};

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

TerminalFeatures FeaturesOfTerminal(std::string_view term) {
  // From the terminfo entries: xterm's has rep and ech; these have ech only. The names are matched
  // whole, since a suffix can change what an entry holds (xterm-r6 and xterm-color have neither).
  constexpr std::string_view kRepeatAndErase[] = {"xterm", "xterm-256color"};
  constexpr std::string_view kEraseOnly[] = {"linux", "vt220", "rxvt-unicode", "rxvt-unicode-256color"};
  for (std::string_view name : kRepeatAndErase)
    if (term == name) return TerminalFeatures{true, true};
  for (std::string_view name : kEraseOnly)
    if (term == name) return TerminalFeatures{false, true};
  return TerminalFeatures{};
}

namespace vt {

void Title(std::string& out, std::string_view cp437) {
  out += "\x1b]2;";
  out += TerminalTitle(cp437);
  out += '\a';
}

void CursorShape(std::string& out, int shape) {
  out += "\x1b[";
  char bytes[12];
  out.append(bytes, PutNumber(bytes, shape));
  out += " q";
}

}  // namespace vt

VtRenderer::Key VtRenderer::KeyOf(const CharInfo& cell) {
  unsigned byte = static_cast<unsigned char>(cell.Char);
  if (byte == 0) byte = ' ';
  unsigned attribute = cell.Attributes & 0xFF;
  if (cell.Attributes & 0x4000) attribute = (attribute >> 4) | (attribute & 0xF) << 4;  // reverse video
  Key key = byte | kColourKeys[attribute];
  if (byte == ' ') key &= ~Key{0xF00};  // a blank's foreground cannot be seen
  return key;
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
  VtWriter writer(out);
  if (frame.title_changed) {
    title_ = frame.title;
    title_pending_ = true;
  }
  if (frame.display_mode_changed) {
    full_screen_ = frame.full_screen;
    full_screen_pending_ = true;
  }
  if (title_pending_) {
    std::string title;
    vt::Title(title, title_);
    writer.Append(title);
  }
  if (full_screen_pending_) writer.Append(full_screen_ ? "\x1b[10;1t" : "\x1b[10;0t");
  title_pending_ = full_screen_pending_ = false;
  if (frame.size.X > 0 && frame.size.Y > 0) {
    if (frame.cursor_changed) {
      console_cursor_ = frame.cursor;
      console_cursor_size_ = frame.cursor_size;
      console_cursor_visible_ = frame.cursor_visible;
    }
    if (frame.size.X != columns_ || frame.size.Y != rows_) {
      Resize(frame.size, writer);
    } else if (frame.scrolled > 0 && !frame.repaint) {
      Scroll(frame.scrolled, writer);
    }
    size_t at = 0;
    for (const ConsoleFrame::Span& span : frame.spans) {
      const size_t width = static_cast<size_t>(span.right - span.left + 1);
      if (span.row >= 0 && span.row < rows_ && span.left >= 0 && span.right < columns_ &&
          at + width <= frame.cells.size()) {
        if (keys_.size() < width) keys_.resize(width);
        const CharInfo* cells = &frame.cells[at];
        for (size_t i = 0; i < width; ++i) keys_[i] = KeyOf(cells[i]);
        DrawSpan(span.row, span.left, span.right, writer);
      }
      at += width;
    }
    PlaceCursor(writer);
  }
  writer.Flush();
}

void VtRenderer::Resize(Coord size, VtWriter& out) {
  columns_ = size.X;
  rows_ = size.Y;
  HideCursorForDrawing(out);
  // Cleared in explicit colours: the terminal's default colours are its own, not the console's.
  SetColours(KeyOf(CharInfo{' ', 0x07}), out);
  out.Append("\x1b[2J");
  shown_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), KeyOf(CharInfo{' ', 0x07}));
  cursor_known_ = wrap_pending_ = false;
}

void VtRenderer::Scroll(int rows, VtWriter& out) {
  rows = std::min(rows, rows_);
  out.Wrote(PutCsi(out.Room(), rows, 'S'));
  const auto shift = static_cast<ptrdiff_t>(rows) * columns_;
  std::move(shown_.begin() + shift, shown_.end(), shown_.begin());
  // The rows that come in are erased in the current background.
  const Key blank = bg_ >= 0 ? ' ' | static_cast<Key>(bg_) << 12 : kUnknown;
  std::fill(shown_.end() - shift, shown_.end(), blank);
  if (wrap_pending_) cursor_known_ = false;
}

void VtRenderer::DrawSpan(int row, int left, int right, VtWriter& out) {
  Key* shown = &shown_[static_cast<size_t>(row) * static_cast<size_t>(columns_)];
  auto key_at = [&](int column) { return keys_[static_cast<size_t>(column - left)]; };
  int x = left;
  for (;;) {
    while (x <= right && shown[x] == key_at(x)) ++x;
    if (x > right) return;
    const Key key = key_at(x);
    // The run of cells like this one, up to the last of them that differs from what is shown.
    int end = x + 1;
    while (end <= right && key_at(end) == key) ++end;
    int last = end - 1;
    while (shown[last] == key) --last;
    if (IsBlank(key)) {
      if (TryEraseToEnd(row, x, left, right, out)) return;
      // Without REP a long blank run is erased in place, and the cursor moves on past it.
      if (features_.erase && !features_.repeat && last - x + 1 > 8) {
        MoveTo(x, row, false, out);
        SetColours(key, out);
        out.Wrote(PutCsi(out.Room(), last - x + 1, 'X'));
        std::fill(shown + x, shown + last + 1, key);
        x = last + 1;
        continue;
      }
    }
    MoveTo(x, row, true, out);
    Put(key, out);
    Repeat(key, last - x, out);
    x = last + 1;
  }
}

bool VtRenderer::TryEraseToEnd(int row, int column, int left, int right, VtWriter& out) {
  // Erasing to the end of the row paints blanks in the current background: worth it when the rest of
  // the row is blanks of one background and more of them differ than the three bytes of the erase.
  Key* shown = &shown_[static_cast<size_t>(row) * static_cast<size_t>(columns_)];
  const Key blank = keys_[static_cast<size_t>(column - left)];
  int last_differing = column;
  for (int c = column; c < columns_; ++c) {
    const Key key = c <= right ? keys_[static_cast<size_t>(c - left)] : shown[c];
    if (key != blank) return false;
    if (shown[c] != key) last_differing = c;
  }
  if (last_differing - column + 1 <= 3) return false;
  HideCursorForDrawing(out);
  MoveTo(column, row, false, out);
  SetColours(blank, out);
  out.Append("\x1b[K");
  std::fill(shown + column, shown + columns_, blank);
  return true;
}

void VtRenderer::SetColours(Key key, VtWriter& out) {
  const int fg = static_cast<int>(key >> 8 & 0xF), bg = static_cast<int>(key >> 12 & 0xF);
  const bool set_fg = !IsBlank(key) && fg != fg_;
  const bool set_bg = bg != bg_;
  if (!set_fg && !set_bg) return;
  out.Wrote(PutColours(out.Room(), set_fg ? fg : -1, set_bg ? bg : -1));
  if (set_fg) fg_ = fg;
  bg_ = bg;
}

void VtRenderer::Advance(int cells) {
  if (cursor_x_ + cells >= columns_) {
    cursor_x_ = columns_ - 1;
    wrap_pending_ = true;
  } else {
    cursor_x_ += cells;
  }
}

void VtRenderer::Put(Key key, VtWriter& out) {
  if (shown_visible_ != 0) HideCursorForDrawing(out);
  if (wrap_pending_) {  // MoveTo let the glyph wrap to the start of the next row
    cursor_x_ = 0;
    ++cursor_y_;
    wrap_pending_ = false;
  }
  if (!SameColours(key)) SetColours(key, out);
  const unsigned byte = key & 0xFF;
  // All four bytes of the table's slot, which is quicker than a copy of the glyph's own length.
  char* at = out.Room();
  std::memcpy(at, kGlyphs.bytes[byte].data(), 4);
  out.Wrote(at + kGlyphs.length[byte]);
  shown_[static_cast<size_t>(cursor_y_) * static_cast<size_t>(columns_) + static_cast<size_t>(cursor_x_)] =
      key;
  Advance(1);
}

void VtRenderer::Repeat(Key key, int more, VtWriter& out) {
  if (more <= 0) return;
  const unsigned length = kGlyphs.length[key & 0xFF];
  if (!features_.repeat || CsiLength(more) >= more * static_cast<int>(length)) {
    for (int i = 0; i < more; ++i) Put(key, out);
    return;
  }
  // REP right after the glyph it repeats, in the same row: the run never reaches past the row's end.
  out.Wrote(PutCsi(out.Room(), more, 'b'));
  Key* at = &shown_[static_cast<size_t>(cursor_y_) * static_cast<size_t>(columns_) +
                    static_cast<size_t>(cursor_x_)];
  std::fill(at, at + more, key);
  Advance(more);
}

int VtRenderer::RelativeMoveCost(int column, int row) const {
  if (!cursor_known_ || wrap_pending_) return -1;
  const int down = row - cursor_y_;
  // LF keeps the column (the terminal's output processing is off), and the cursor never sits on the
  // last row when it moves down, so nothing scrolls.
  int cost = down == 0 ? 0 : down == 1 ? 1 : CsiLength(down > 0 ? down : -down);
  if (column == cursor_x_) return cost;
  if (column == 0) return cost + 1;  // CR
  if (column > cursor_x_) return cost + CsiLength(column - cursor_x_);
  const int back = cursor_x_ - column;
  return cost + std::min({back <= 2 ? back : 99, CsiLength(back), 1 + CsiLength(column)});  // BS, CUB, CR CUF
}

void VtRenderer::MoveTo(int column, int row, bool to_print, VtWriter& out) {
  if (cursor_known_ && !wrap_pending_ && column == cursor_x_ && row == cursor_y_) return;
  // After the last column the next glyph goes to the start of the next row by itself.
  if (to_print && cursor_known_ && wrap_pending_ && column == 0 && row == cursor_y_ + 1) return;
  const int absolute = CursorToLength(column, row);
  const int relative = RelativeMoveCost(column, row);
  // A short gap of unchanged cells in the current colours may be cheaper to write again than to skip.
  if (to_print && relative > 0 && row == cursor_y_ && column > cursor_x_ && column - cursor_x_ < relative) {
    const Key* shown = &shown_[static_cast<size_t>(row) * static_cast<size_t>(columns_)];
    int bytes = 0;
    for (int c = cursor_x_; c < column && bytes < relative; ++c) {
      if (shown[c] == kUnknown || !SameColours(shown[c])) {
        bytes = relative;
        break;
      }
      bytes += kGlyphs.length[shown[c] & 0xFF];
    }
    if (bytes < relative) {
      while (cursor_x_ < column) Put(shown[cursor_x_], out);
      return;
    }
  }
  char* at = out.Room();
  if (relative >= 0 && relative < absolute) {
    const int down = row - cursor_y_;
    if (down == 1) {
      *at++ = '\n';
    } else if (down != 0) {
      at = PutCsi(at, down > 0 ? down : -down, down > 0 ? 'B' : 'A');
    }
    if (column != cursor_x_) {
      const int back = cursor_x_ - column;
      if (column == 0) {
        *at++ = '\r';
      } else if (back < 0) {
        at = PutCsi(at, -back, 'C');
      } else if (back <= 2 && back <= CsiLength(back) && back <= 1 + CsiLength(column)) {
        for (int i = 0; i < back; ++i) *at++ = '\b';
      } else if (CsiLength(back) <= 1 + CsiLength(column)) {
        at = PutCsi(at, back, 'D');
      } else {
        *at++ = '\r';
        at = PutCsi(at, column, 'C');
      }
    }
  } else {
    at = PutCursorTo(at, column, row);
  }
  out.Wrote(at);
  cursor_known_ = true;
  wrap_pending_ = false;
  cursor_x_ = column;
  cursor_y_ = row;
}

void VtRenderer::HideCursorForDrawing(VtWriter& out) {
  if (shown_visible_ == 0) return;
  out.Append("\x1b[?25l");
  shown_visible_ = 0;
}

void VtRenderer::PlaceCursor(VtWriter& out) {
  const Coord c = console_cursor_;
  const bool shown = console_cursor_visible_ && c.X >= 0 && c.X < columns_ && c.Y >= 0 && c.Y < rows_;
  if (!shown) {
    HideCursorForDrawing(out);
    return;
  }
  const int shape = CursorShape(console_cursor_size_);
  if (shape != shown_shape_) {
    std::string bytes;
    vt::CursorShape(bytes, shape);
    out.Append(bytes);
    shown_shape_ = shape;
  }
  MoveTo(c.X, c.Y, false, out);
  if (shown_visible_ != 1) {
    out.Append("\x1b[?25h");
    shown_visible_ = 1;
  }
}

}  // namespace kelvane::platform::terminal
