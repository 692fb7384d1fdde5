// Sessions on the emulated console, the input bytes choosing each operation and its arguments: text in
// every output mode, attributes, fills and cell writes and reads with awkward rectangles and arrays,
// cursor moves and shapes, window moves, a second buffer, titles, one or several to a call. After each
// call the frame handed to the presenter, applied to a copy of the screen shown before, must give the
// console's window exactly; a rectangle call may touch only the cells and array slots of the region it
// reports. The frames are also drawn as a terminal would get them, replayed through an xterm model: the
// terminal must show the window's glyphs and colours, and never receive a control byte of the client's;
// the terminal may or may not repeat glyphs (REP) and erase characters (ECH), as the input's length says.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/terminal/vt_model.hpp"
#include "platform/terminal/vt_renderer.hpp"

namespace kelvane::platform {
namespace {

void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "emulated_frames: violated: %s\n", property);
  std::abort();
}

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool More() const { return at_ < size_; }
  int Next() { return at_ < size_ ? data_[at_++] : 0; }
  int In(int low, int high) { return low + Next() % (high - low + 1); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

constexpr CharInfo kStale{0xBAD, 0xBAD};  // no console cell holds it: a row left unreported shows

struct Screen final : testing_vt::Terminal {
  std::vector<ConsoleFrame> frames;
  void Present(const ConsoleFrame& frame) noexcept override {
    frames.push_back(frame);
    Terminal::Present(frame);
  }
};

// Brings `shown` up to date from the frame alone, as a presenter keeps its copy of the terminal.
void Apply(const ConsoleFrame& frame, ConsoleView& shown) {
  const size_t width = static_cast<size_t>(frame.size.X);
  if (frame.repaint) {
    shown.size = frame.size;
    shown.cells.assign(width * static_cast<size_t>(frame.size.Y), kStale);
    Check(frame.spans.size() == static_cast<size_t>(frame.size.Y), "a repaint covers every row");
  } else {
    Check(frame.size == shown.size, "the window changes size only with a repaint");
    Check(frame.scrolled >= 0 && frame.scrolled < frame.size.Y,
          "a scroll moves fewer rows than the window has");
    const size_t shift = static_cast<size_t>(frame.scrolled) * width;
    for (size_t i = 0; i < shown.cells.size(); ++i)
      shown.cells[i] = i + shift < shown.cells.size() ? shown.cells[i + shift] : kStale;
  }
  size_t taken = 0;
  int previous = -1;
  for (const ConsoleFrame::Span& span : frame.spans) {
    Check(span.row > previous && span.row < frame.size.Y, "spans in row order, inside the window");
    Check(0 <= span.left && span.left <= span.right && span.right < frame.size.X, "a span inside its row");
    previous = span.row;
    const size_t count = static_cast<size_t>(span.right - span.left + 1);
    Check(taken + count <= frame.cells.size(), "the spans' cells are in the frame");
    std::copy_n(frame.cells.begin() + static_cast<std::ptrdiff_t>(taken), count,
                shown.cells.begin() + static_cast<std::ptrdiff_t>(span.row * width + span.left));
    taken += count;
  }
  Check(taken == frame.cells.size(), "the frame carries only the spans' cells");
  if (frame.cursor_changed) {
    shown.cursor = frame.cursor;
    shown.cursor_size = frame.cursor_size;
    shown.cursor_visible = frame.cursor_visible;
  }
  if (frame.title_changed) shown.title = frame.title;
}

bool Inside(const SmallRect& r, int x, int y) {
  return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}

void CellCall(EmulatedConsole& console, Handle out, Bytes& in, bool write) {
  const Coord size = console.BufferInfo(out)->dwSize;
  const Coord array{static_cast<Short>(in.In(-1, 6)), static_cast<Short>(in.In(-1, 6))};
  const Coord origin{static_cast<Short>(in.In(-1, 6)), static_cast<Short>(in.In(-1, 6))};
  const auto left = static_cast<Short>(in.In(-3, size.X + 1)),
             top = static_cast<Short>(in.In(-3, size.Y + 1));
  SmallRect region{left, top, static_cast<Short>(left + in.In(-1, 7)),
                   static_cast<Short>(top + in.In(-1, 7))};
  if (in.Next() % 8 == 0) region.Right = 32767;
  // Exactly the claimed size, so the sanitizers report any access outside it.
  const size_t slots = static_cast<size_t>(std::max(0, array.X * array.Y));
  auto cells = std::make_unique<CharInfo[]>(slots + 1);
  for (size_t i = 0; i < slots; ++i)
    cells[i] = write ? CharInfo{static_cast<Word>('A' + i % 26), 0x1F} : kStale;
  const std::vector<CharInfo> before = console.ReadCells(out);
  const Bool ok = write ? console.WriteConsoleOutputA(out, cells.get(), array, origin, &region)
                        : console.ReadConsoleOutputA(out, cells.get(), array, origin, &region);
  const std::vector<CharInfo> after = console.ReadCells(out);
  const bool in_buffer = ok && region.Left >= 0 && region.Top >= 0 && region.Left <= region.Right &&
                         region.Top <= region.Bottom && region.Right < size.X && region.Bottom < size.Y;
  for (int y = 0; y < size.Y; ++y) {
    for (int x = 0; x < size.X; ++x) {
      const size_t i = static_cast<size_t>(y * size.X + x);
      Check(before[i] == after[i] || (write && in_buffer && Inside(region, x, y)),
            "a rectangle call changes only the cells of the region it reports");
    }
  }
  if (!write) {
    size_t touched = 0;
    for (size_t i = 0; i < slots; ++i) touched += cells[i] == kStale ? 0 : 1;
    const size_t area =
        in_buffer ? static_cast<size_t>((region.Right - region.Left + 1) * (region.Bottom - region.Top + 1))
                  : 0;
    Check(ok ? in_buffer && touched == area : touched == 0, "a read fills exactly the slots of its region");
  }
}

}  // namespace
}  // namespace kelvane::platform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvane::platform;
  Bytes in(data, size);
  EmulatedConsole console;
  Screen screen;
  // The terminal's extra sequences follow the input's length, so every input keeps its meaning.
  screen.renderer.SetFeatures(terminal::TerminalFeatures{size % 2 == 1, size % 4 >= 2});
  console.SetPresenter(&screen);
  console.SetConsoleSize(static_cast<Short>(in.In(2, 12)), static_cast<Short>(in.In(2, 8)));
  if (!console.AllocConsole()) return 0;
  const Handle first = console.GetStdHandle(kStdOutputHandle);
  Handle out = first, other = 0;
  console.EndOfCall();
  ConsoleView shown = console.View();
  screen.frames.clear();
  const std::string alphabet = "abcXYZ09 \n\n\r\t\b\a\x01\x1b\x7f";
  bool joined = false;
  while (in.More()) {
    const Coord buffer = console.BufferInfo(out)->dwSize;
    auto anywhere = [&] {
      return Coord{static_cast<Short>(in.In(-1, buffer.X)), static_cast<Short>(in.In(-1, buffer.Y))};
    };
    Dword n = 0;
    switch (in.Next() % 13) {
      case 0:
      case 1: {
        std::string text;
        for (int i = in.In(0, 24); i > 0; --i)
          text += alphabet[static_cast<size_t>(in.Next()) % alphabet.size()];
        if (in.Next() % 6 == 0) text += '\0';
        console.WriteConsoleA(out, text.data(), static_cast<Dword>(text.size()), &n);
        break;
      }
      case 2:
        console.SetConsoleTextAttribute(out, static_cast<Word>(in.Next()));
        break;
      case 3:
        console.SetConsoleMode(out, static_cast<Dword>(in.In(0, 3) | (in.Next() % 4 == 0 ? 8 : 0)));
        break;
      case 4: {
        const Coord at = anywhere();
        const auto length = static_cast<Dword>(in.In(0, 40));
        if (in.Next() % 2) {
          console.FillConsoleOutputCharacterA(out, static_cast<char>(in.In('!', '~')), length, at, &n);
        } else {
          console.FillConsoleOutputAttribute(out, static_cast<Word>(in.Next()), length, at, &n);
        }
        break;
      }
      case 5:
      case 6:
        CellCall(console, out, in, in.Next() % 2 == 0);
        break;
      case 7:
        console.SetConsoleCursorPosition(out, anywhere());
        break;
      case 8: {
        const CursorInfo shape{static_cast<Dword>(in.In(1, 100)), in.Next() % 3 != 0};
        console.SetConsoleCursorInfo(out, &shape);
        break;
      }
      case 9: {  // a new buffer size and window: the window moves or changes size
        const Coord size{static_cast<Short>(in.In(1, 14)), static_cast<Short>(in.In(1, 20))};
        const auto left = static_cast<Short>(in.In(0, size.X - 1)),
                   top = static_cast<Short>(in.In(0, size.Y - 1));
        const SmallRect window{left, top, static_cast<Short>(in.In(left, size.X - 1)),
                               static_cast<Short>(in.In(top, size.Y - 1))};
        console.SetBufferGeometry(out, size, window);
        break;
      }
      case 10:  // a second buffer, then switching between the two
        if (!other)
          other = console.CreateConsoleScreenBuffer(kGenericRead | kGenericWrite, 0, kConsoleTextmodeBuffer);
        out = out == first ? other : first;
        if (in.Next() % 2) console.SetConsoleActiveScreenBuffer(out);
        break;
      case 11: {
        const std::string title(static_cast<size_t>(in.In(0, 5)), static_cast<char>(in.In('a', 'z')));
        console.SetConsoleTitleA(title.c_str());
        break;
      }
      default:  // the next operation's changes join this one's in a single frame
        joined = true;
        continue;
    }
    if (std::exchange(joined, false)) continue;
    console.EndOfCall();
    const ConsoleView now = console.View();
    Check(screen.frames.size() <= 1, "one frame per call at most");
    if (screen.frames.empty()) {
      Check(now.cells == shown.cells && now.cursor == shown.cursor && now.title == shown.title,
            "a change reaches the presenter");
      continue;
    }
    Apply(screen.frames.back(), shown);
    screen.frames.clear();
    Check(shown.cells == now.cells, "the frame brings the screen shown before up to date");
    Check(shown.cursor == now.cursor && shown.cursor_size == now.cursor_size &&
              shown.cursor_visible == now.cursor_visible,
          "the cursor's changes are reported");
    Check(shown.title == now.title, "the title's change is reported");
    const std::string wrong = kelvane::testing_vt::Mismatch(screen.model, now);
    Check(wrong.empty(), wrong.c_str());
  }
  console.SetPresenter(nullptr);
  return 0;
}
