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

// The small sequences, appended to `out`.
namespace vt {
void CursorTo(std::string& out, int column, int row);  // 0-based, absolute
void Colours(std::string& out, int fg, int bg);        // ANSI colours 0..15; -1 leaves one as it is
void Title(std::string& out, std::string_view cp437);
void CursorVisible(std::string& out, bool visible);
void CursorShape(std::string& out, int shape);
void FullScreen(std::string& out, bool on);
}  // namespace vt

class VtRenderer {
 public:
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

  void Resize(Coord size, std::string& out);
  void Scroll(int rows, std::string& out);
  void DrawSpan(int row, int left, int right, const CharInfo* cells, std::string& out);
  bool TryEraseToEnd(int row, int column, int right, const CharInfo* cells, int left, std::string& out);
  void Put(Key key, std::string& out);
  void MoveTo(int column, int row, bool to_print, std::string& out);
  bool SameColours(Key key) const;
  void SetColours(Key key, std::string& out);
  void HideCursorForDrawing(std::string& out);
  void PlaceCursor(std::string& out);

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
