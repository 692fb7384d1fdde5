// Turns the frames of the emulated console into xterm output. Pure: it keeps a copy of what the terminal
// shows and appends to a string the bytes that bring the terminal to the frame, touching no file.
//
// Every byte it produces is either one of its own escape sequences or UTF-8 of a printable glyph: cell
// bytes are drawn as their code page 437 glyphs, and titles lose their control characters, so no client
// text can start, end or inject a sequence.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulated/frame.hpp"

namespace kelvane::platform::terminal {

// The ANSI colour (0..15) of a console colour (0..15): the console numbers blue as bit 0, ANSI red.
constexpr int AnsiColour(int console) {
  return (console & 0xA) | ((console & 1) << 2) | ((console >> 2) & 1);
}

// The DECSCUSR shape for a console cursor size (1..100): a blinking underline up to half the cell, a
// blinking block above. Terminals have no other sizes.
int CursorShape(Dword size);

// A title as the terminal may show it: code page 437 decoded, every control character (C0, DEL, C1)
// dropped, at most kMaxTitle characters.
inline constexpr size_t kMaxTitle = 256;
std::string TerminalTitle(std::string_view cp437);

// What a terminal is known to do beyond the sequences every xterm-compatible terminal has.
struct TerminalFeatures {
  bool repeat = false;  // REP, CSI n b: the glyph just written, n times more
  bool erase = false;   // ECH, CSI n X: n cells from the cursor erased in the current background
  friend bool operator==(const TerminalFeatures&, const TerminalFeatures&) = default;
};

// The features of a terminal type (the TERM variable), as its terminfo entry lists them (rep, ech); an
// unknown or empty type gets none. Types that borrow another's name (many terminals call themselves
// xterm-256color) are taken at their word, as ncurses takes them.
TerminalFeatures FeaturesOfTerminal(std::string_view term);

// The small sequences, appended to `out`.
namespace vt {
void Title(std::string& out, std::string_view cp437);
void CursorShape(std::string& out, int shape);
}  // namespace vt

class VtWriter;

class VtRenderer {
 public:
  explicit VtRenderer(TerminalFeatures features = {}) : features_(features) {}
  // The sequences the terminal understands beyond the baseline; takes effect with the next frame.
  void SetFeatures(TerminalFeatures features) { features_ = features; }
  TerminalFeatures Features() const { return features_; }

  // Forgets what the terminal shows (it was cleared, or another program drew on it): the next frame
  // draws every cell of its spans and states every colour and cursor setting explicitly.
  void Invalidate();

  // Appends to `out` what brings the terminal from what it shows to `frame`. A frame without a console
  // (size 0 x 0) draws nothing.
  void Render(const ConsoleFrame& frame, std::string& out);

 private:
  // A cell as the terminal shows it: the glyph byte and the ANSI colours. A blank's foreground cannot
  // be seen, so blanks compare by their background only.
  using Key = std::uint32_t;
  static constexpr Key kUnknown = 0xFFFFFFFF;
  static Key KeyOf(const CharInfo& cell);
  static bool IsBlank(Key key) { return (key & 0xFF) == ' '; }

  void Resize(Coord size, VtWriter& out);
  void Scroll(int rows, VtWriter& out);
  // Draws the cells of one row's span that differ from what is shown; keys_ holds the span's keys.
  void DrawSpan(int row, int left, int right, VtWriter& out);
  // Erases from `column` to the end of the row when that is the cheapest way to show it.
  bool TryEraseToEnd(int row, int column, int left, int right, VtWriter& out);
  // Draws the cells from the cursor on: `key` once, then `more` times again (REP where it is cheaper).
  void Put(Key key, VtWriter& out);
  void Repeat(Key key, int more, VtWriter& out);
  void MoveTo(int column, int row, bool to_print, VtWriter& out);
  // Bytes that take the cursor from where it is to (column, row) without drawing; -1 when only an
  // absolute move is safe.
  int RelativeMoveCost(int column, int row) const;
  bool SameColours(Key key) const {
    return static_cast<int>(key >> 12 & 0xF) == bg_ &&
           (IsBlank(key) || static_cast<int>(key >> 8 & 0xF) == fg_);
  }
  void SetColours(Key key, VtWriter& out);
  void HideCursorForDrawing(VtWriter& out);
  void PlaceCursor(VtWriter& out);
  // The terminal's cursor has written a cell: the next column, or the wait to wrap after the last.
  void Advance(int cells);

  TerminalFeatures features_;
  std::vector<Key> keys_;  // the span being drawn

  int columns_ = 0;
  int rows_ = 0;
  std::vector<Key> shown_;  // row-major, columns_ x rows_

  // The terminal's cursor: where the next glyph goes. After a glyph in the last column the cursor waits
  // there to wrap; the next glyph would wrap (and, on the last row, scroll), so only an absolute move is
  // safe then.
  bool cursor_known_ = false;
  int cursor_x_ = 0;
  int cursor_y_ = 0;
  bool wrap_pending_ = false;

  int fg_ = -1;  // the terminal's current colours, ANSI; -1 unknown
  int bg_ = -1;
  int shown_visible_ = -1;  // the terminal cursor's visibility and shape; -1 unknown
  int shown_shape_ = -1;

  // The title and display mode, sent again after Invalidate.
  std::string title_;
  bool title_pending_ = false;
  bool full_screen_ = false;
  bool full_screen_pending_ = false;

  // The console's cursor, as the frames have told it.
  Coord console_cursor_;
  Dword console_cursor_size_ = 25;
  bool console_cursor_visible_ = true;
};

}  // namespace kelvane::platform::terminal
