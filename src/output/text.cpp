// Current colours, WriteText and the console modes.
#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

namespace {

constexpr std::size_t kMaxTextCharacters = 32768;

struct InputStyle {
  plat::Dword output_mode;
  plat::Dword input_mode;
};

}  // namespace

bool Console::Impl::SetColor(Long ForeColor, const Variant& BackColor, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  const PageLookup looked_up = ReadPage(page);
  const Handle handle = looked_up.handle;
  String character;
  Long cell_fore = 0;
  Long cell_back = 0;
  ReadCellOn(looked_up, page, -1, -1, character, cell_fore, cell_back);
  Long back = cell_back;
  TakeIfGiven(BackColor, back);
  return Os().SetConsoleTextAttribute(handle, static_cast<Word>(zzzColorsToAttribute(ForeColor, back))) != 0;
}

std::optional<std::string> zzzStringToByteArray(const String& Text) {
  if (Text.empty()) return std::nullopt;
  if (plat::Utf8CharacterCount(Text) > kMaxTextCharacters) ThrowOverflow();
  // One byte per character; characters the code page lacks become '?'.
  return plat::AnsiFromUtf8(Text);
}

bool Console::Impl::WriteText(String Text, const Variant& ForeColor, const Variant& BackColor,
                              bool KeepCursorOnCurrentLine, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  const PageLookup looked_up = ReadPage(page);
  const Handle handle = looked_up.handle;
  if (!KeepCursorOnCurrentLine) {
    Text += "\r\n";
    zzzSetInputMode(1);
  } else {
    zzzSetInputMode(0);
  }
  String character;
  Long fore = 0;
  Long back = 0;
  // The defaults are the colours of the cell under the cursor, never the page's current colours. The
  // cursor and window below are those of the read that found that cell.
  const PageLookup at = ReadCellOn(looked_up, page, -1, -1, character, fore, back);
  TakeIfGiven(ForeColor, fore);
  TakeIfGiven(BackColor, back);
  auto attribute = static_cast<Word>(zzzColorsToAttribute(fore, back));
  const std::size_t length = plat::Utf8CharacterCount(Text);
  if (at.cursor.Y == at.window.Bottom) {
    // On the window's bottom row the text's colours go ahead of it: to the right edge when the line
    // ends here (the row is about to scroll up in these colours) or the text reaches the edge, and
    // over the text's own cells otherwise.
    const std::int64_t column = at.cursor.X;
    const std::int64_t right = at.window.Right;
    std::int64_t cells = (!KeepCursorOnCurrentLine || static_cast<std::int64_t>(length) + column >= right)
                             ? right - column + 1
                             : static_cast<std::int64_t>(length);
    if (cells > 0) {
      plat::Dword written = 0;
      Os().FillConsoleOutputAttribute(handle, attribute, static_cast<plat::Dword>(cells), at.cursor,
                                      &written);
    }
  }
  Os().SetConsoleTextAttribute(handle, attribute);
  std::optional<std::string> bytes;
  if (!Step([&] { bytes = zzzStringToByteArray(Text); }) || !bytes) return false;
  plat::Dword written = 0;
  return Os().WriteConsoleA(handle, bytes->data(), static_cast<plat::Dword>(bytes->size()), &written) != 0;
}

bool Console::Impl::zzzSetInputMode(Long Style) {
  InputStyle style{};
  switch (Style) {
    case 0:
      style = {plat::kEnableWrapAtEolOutput, plat::kEnableWindowInput};
      break;
    case 1:
    case 3:
      style = {plat::kEnableProcessedOutput | plat::kEnableWrapAtEolOutput, plat::kEnableWindowInput};
      break;
    default:
      return false;
  }
  bool any_page = false;
  for (Handle slot : mPageHandles) any_page = any_page || slot != kNoHandle;
  if (!any_page) return false;
  // The output mode goes to the shown page only; a hidden page keeps the mode it has.
  if (Os().SetConsoleMode(mActiveHandle, style.output_mode) == 0) return false;
  return Os().SetConsoleMode(mStdInput, style.input_mode) != 0;
}

}  // namespace KelvaneConsole
