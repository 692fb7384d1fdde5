// A small xterm model for tests: replays the bytes a renderer wrote and keeps the screen (glyph, ANSI
// foreground and background per cell), the cursor and its modes. It understands exactly the sequences
// an xterm-compatible terminal would, including the pending wrap after the last column and scrolling on
// a line feed at the bottom, so a renderer that relies on something else shows up as a wrong screen.
// REP (CSI n b) and ECH (CSI n X) are understood too, REP only right after a glyph.
// Erases paint the current background, as xterm's do. Any other control character, or a sequence it
// does not know, is recorded in `errors`.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/codepage.hpp"
#include "platform/emulated/emulated_console.hpp"
#include "platform/terminal/vt_renderer.hpp"

namespace kelvane::testing_vt {

struct VtCell {
  char32_t glyph = U' ';
  int fg = -1;  // -1: the terminal's default colour, which the console never means
  int bg = -1;
};

class VtModel {
 public:
  VtModel(int columns, int rows) : w_(columns), h_(rows), cells_(static_cast<size_t>(columns * rows)) {}

  void Feed(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) i = Step(bytes, i);
  }

  // The terminal's window changed size: its contents are not kept, its modes and colours are.
  void Resize(int columns, int rows) {
    w_ = columns;
    h_ = rows;
    cells_.assign(static_cast<size_t>(columns * rows), VtCell{});
    x = std::min(x, w_ - 1);
    y = std::min(y, h_ - 1);
  }

  int Width() const { return w_; }
  int Height() const { return h_; }
  const VtCell& At(int x, int y) const { return cells_[static_cast<size_t>(y * w_ + x)]; }
  int x = 0, y = 0;
  bool cursor_visible = true, autowrap = true;
  int cursor_shape = 0, scrolls = 0;
  std::vector<std::string> errors;

 private:
  size_t Step(std::string_view s, size_t i) {
    // REP repeats "the preceding character", so only a glyph right before it counts.
    repeatable_ = after_glyph_;
    after_glyph_ = false;
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == 0x1B) return Escape(s, i);
    if (c == '\r') return x = 0, wrap_ = false, i + 1;
    if (c == '\n') return LineFeed(), wrap_ = false, i + 1;
    if (c == '\b') return x = x > 0 ? x - 1 : 0, wrap_ = false, i + 1;
    if (c == 0x18) return i + 1;  // CAN outside a sequence does nothing
    if (c < 0x20 || c == 0x7F) return Error("control byte " + std::to_string(c)), i + 1;
    // One UTF-8 character.
    int length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    char32_t cp = length == 1 ? c : c & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k)
      cp = cp << 6 | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
    if (cp >= 0x80 && cp < 0xA0) Error("C1 character");
    Put(cp);
    return i + static_cast<size_t>(length);
  }

  void Put(char32_t cp) {
    if (wrap_ && autowrap) {
      x = 0;
      LineFeed();
    }
    wrap_ = false;
    cells_[static_cast<size_t>(y * w_ + x)] = VtCell{cp, fg_, bg_};
    last_ = cp;
    after_glyph_ = true;
    if (x == w_ - 1) {
      wrap_ = true;
    } else {
      ++x;
    }
  }

  void LineFeed() {
    if (y < h_ - 1) {
      ++y;
    } else {
      ScrollUp(1);
    }
  }

  void ScrollUp(int n) {
    ++scrolls;
    for (int k = 0; k < n; ++k) {
      cells_.erase(cells_.begin(), cells_.begin() + w_);
      cells_.insert(cells_.end(), static_cast<size_t>(w_), VtCell{U' ', -1, bg_});
    }
  }

  void Erase(int from, int to) {  // cell indices [from, to)
    for (int k = from; k < to; ++k) cells_[static_cast<size_t>(k)] = VtCell{U' ', -1, bg_};
  }

  size_t Escape(std::string_view s, size_t i) {
    if (i + 1 >= s.size()) return Error("cut escape"), s.size();
    if (s[i + 1] == ']') {  // OSC: up to BEL or ST
      size_t end = s.find_first_of("\a\x1b", i + 2);
      if (end == std::string_view::npos) return Error("open OSC"), s.size();
      for (unsigned char b : s.substr(i + 2, end - i - 2))
        if (b < 0x20 || b == 0x7F) Error("control byte in OSC");
      return end + (s[end] == '\a' ? 1 : 2);
    }
    if (s[i + 1] != '[') return Error("unknown escape"), i + 2;
    size_t j = i + 2;
    const bool priv = j < s.size() && s[j] == '?';
    if (priv) ++j;
    std::vector<int> p(1, 0);
    bool given = false;
    for (; j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == ';'); ++j) {
      if (s[j] == ';') {
        p.push_back(0);
      } else {
        p.back() = p.back() * 10 + (s[j] - '0');
        given = true;
      }
    }
    std::string final_bytes;
    for (; j < s.size() && s[j] >= 0x20 && s[j] <= 0x2F; ++j) final_bytes += s[j];
    if (j >= s.size()) return Error("cut CSI"), s.size();
    final_bytes += s[j];
    Csi(priv, p, given, final_bytes);
    return j + 1;
  }

  void Csi(bool priv, const std::vector<int>& p, bool given, const std::string& f) {
    const int n = given && p[0] > 0 ? p[0] : 1;
    if (f != "m" && f != "b") wrap_ = false;
    if (priv) {
      const bool on = f == "h";
      if (f != "h" && f != "l") return Error("private " + f);
      for (int mode : p) {
        if (mode == 25)
          cursor_visible = on;
        else if (mode == 7)
          autowrap = on;
        else if (mode != 1049)  // the alternate screen, which shows as the main one would
          Error("private mode " + std::to_string(mode));
      }
    } else if (f == "H") {
      y = std::min(std::max(p[0], 1), h_) - 1;
      x = std::min(std::max(p.size() > 1 ? p[1] : 1, 1), w_) - 1;
    } else if (f == "A") {
      y = std::max(y - n, 0);
    } else if (f == "B") {
      y = std::min(y + n, h_ - 1);
    } else if (f == "C") {
      x = std::min(x + n, w_ - 1);
    } else if (f == "D") {
      x = std::max(x - n, 0);
    } else if (f == "b") {  // REP: written as the glyph would be, wrapping included
      if (!repeatable_) return Error("REP after something other than a glyph");
      for (int k = 0; k < n; ++k) Put(last_);
    } else if (f == "X") {  // ECH: the cursor stays
      Erase(y * w_ + x, y * w_ + std::min(x + n, w_));
    } else if (f == "K" && !given) {
      Erase(y * w_ + x, (y + 1) * w_);
    } else if (f == "J" && p[0] == 2) {
      Erase(0, w_ * h_);
    } else if (f == "S") {
      ScrollUp(n);
    } else if (f == "m") {
      for (int v : p) {
        if (v == 0)
          fg_ = bg_ = -1;
        else if (v >= 30 && v <= 37)
          fg_ = v - 30;
        else if (v >= 90 && v <= 97)
          fg_ = v - 90 + 8;
        else if (v >= 40 && v <= 47)
          bg_ = v - 40;
        else if (v >= 100 && v <= 107)
          bg_ = v - 100 + 8;
        else
          Error("SGR " + std::to_string(v));
      }
    } else if (f == " q") {
      cursor_shape = p[0];
    } else if (f == "t") {
      if (!(p.size() == 2 && ((p[0] == 10 && p[1] <= 2) || ((p[0] == 22 || p[0] == 23) && p[1] == 2))))
        Error("window operation");
    } else {
      Error("CSI " + f);
    }
  }

  void Error(std::string what) { errors.push_back(std::move(what)); }

  int w_, h_;
  std::vector<VtCell> cells_;
  bool wrap_ = false;
  int fg_ = -1, bg_ = -1;
  char32_t last_ = U' ';
  bool after_glyph_ = false, repeatable_ = false;
};

// A terminal behind the console: each frame rendered as a terminal gets it and replayed on the model,
// which takes the window's size as a terminal resized with it would. `bytes` gathers what was sent.
struct Terminal : platform::Presenter {
  platform::terminal::VtRenderer renderer;
  VtModel model{1, 1};
  std::string bytes;
  void Present(const platform::ConsoleFrame& frame) noexcept override {
    if (frame.size.X <= 0 || frame.size.Y <= 0) return;
    if (model.Width() != frame.size.X || model.Height() != frame.size.Y)
      model.Resize(frame.size.X, frame.size.Y);
    const size_t from = bytes.size();
    renderer.Render(frame, bytes);
    model.Feed(std::string_view(bytes).substr(from));
  }
};

// The first way the terminal differs from the console's window, empty when it shows it: every glyph,
// every colour (a blank's foreground cannot be seen), and the cursor where the console has it, a
// blinking underline up to half the cell and a block above.
inline std::string Mismatch(const VtModel& terminal, const platform::ConsoleView& view) {
  // Console colours as ANSI numbers: red and blue swap places, intensity stays the high bit.
  constexpr int kAnsi[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  if (!terminal.errors.empty()) return "the terminal got " + terminal.errors.front();
  for (int y = 0; y < view.size.Y; ++y) {
    for (int x = 0; x < view.size.X; ++x) {
      const platform::CharInfo& cell = view.cells[static_cast<size_t>(y * view.size.X + x)];
      const VtCell& shown = terminal.At(x, y);
      const char32_t glyph = platform::Cp437Glyph(static_cast<unsigned char>(cell.Char));
      int fg = cell.Attributes & 15, bg = cell.Attributes >> 4 & 15;
      if (cell.Attributes & 0x4000) std::swap(fg, bg);  // reverse video
      if (shown.glyph != glyph || shown.bg != kAnsi[bg] || (glyph != U' ' && shown.fg != kAnsi[fg]))
        return "the terminal shows another cell at " + std::to_string(x) + "," + std::to_string(y);
    }
  }
  const platform::Coord c = view.cursor;
  const bool visible = view.cursor_visible && c.X >= 0 && c.X < view.size.X && c.Y >= 0 && c.Y < view.size.Y;
  if (terminal.cursor_visible != visible) return "the cursor's visibility";
  if (visible && (terminal.x != c.X || terminal.y != c.Y)) return "the cursor's place";
  if (visible && terminal.cursor_shape != (view.cursor_size <= 50 ? 3 : 1)) return "the cursor's shape";
  return {};
}

}  // namespace kelvane::testing_vt
