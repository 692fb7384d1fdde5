// Single cells: SetScreenData, GetScreenData and the cell read behind them.
#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

Coord Console::Impl::TargetCell(const PageLookup& page, const Variant& X, const Variant& Y) {
  Integer column = -1;
  Integer row = -1;
  TakeIfGiven(X, column);
  TakeIfGiven(Y, row);
  if (!InColumns(page.window, column)) column = page.cursor.X;
  if (!InRows(page.window, row)) row = page.cursor.Y;
  return Coord{column, row};
}

void Console::Impl::ReadCell(const PageLookup& page, Integer X, Integer Y, String& Char, Long& ForeColor,
                             Long& BackColor) {
  Integer column = X == -1 ? page.cursor.X : X;
  Integer row = Y == -1 ? page.cursor.Y : Y;
  plat::CharInfo cell{0, 0};
  SmallRect region{column, row, column, row};
  if (Os().ReadConsoleOutputA(page.handle, &cell, Coord{1, 1}, Coord{0, 0}, &region) != 0) {
    zzzAttributeToColors(static_cast<Integer>(cell.Attributes), ForeColor, BackColor);
    char byte = static_cast<char>(cell.Char & 0xFF);
    Char = plat::Utf8FromAnsi(std::string_view(&byte, 1));
  } else {
    zzzAttributeToColors(static_cast<Integer>(page.attributes), ForeColor, BackColor);
    Char.clear();
  }
}

void Console::Impl::zzzReadCell(String& Char, Long& ForeColor, Long& BackColor, Integer& X, Integer& Y,
                                Integer& Page) {
  if (Page == -1) Page = mCurrentPage;
  ReadCell(ReadPage(Page), X, Y, Char, ForeColor, BackColor);
}

PageLookup Console::Impl::ReadCellOn(const PageLookup& looked_up, Integer page, Integer X, Integer Y,
                                     String& Char, Long& ForeColor, Long& BackColor) {
  // A page that has a buffer was read a moment ago in this call and is not read again. A lookup that
  // found no buffer is repeated as zzzReadCell makes it: there -1 (an unconvertible PageIndex) is the
  // current page, and a buffer whose creation failed is asked for once more.
  if (looked_up.handle != kNoHandle) {
    ReadCell(looked_up, X, Y, Char, ForeColor, BackColor);
    return looked_up;
  }
  const PageLookup again = ReadPage(page == -1 ? mCurrentPage : page);
  ReadCell(again, X, Y, Char, ForeColor, BackColor);
  return again;
}

bool Console::Impl::SetScreenData(String& Char, Long ForeColor, const Variant& BackColor, const Variant& X,
                                  const Variant& Y, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  const PageLookup looked_up = ReadPage(page);
  const Handle handle = looked_up.handle;
  const Coord target = TargetCell(looked_up, X, Y);
  String existing;
  Long cell_fore = 0;
  Long cell_back = 0;
  ReadCellOn(looked_up, page, target.X, target.Y, existing, cell_fore, cell_back);
  Long back = cell_back;
  TakeIfGiven(BackColor, back);
  // The attribute goes first, then the character.
  Integer attribute = zzzColorsToAttribute(ForeColor, back);
  plat::Dword written = 0;
  bool attribute_written =
      Os().FillConsoleOutputAttribute(handle, static_cast<Word>(attribute), 1, target, &written) != 0;
  if (Char.empty() || !attribute_written) return attribute_written;
  Char = String(plat::FirstUtf8Character(Char));
  std::string byte = plat::AnsiFromUtf8(Char);
  return Os().FillConsoleOutputCharacterA(handle, byte[0], 1, target, &written) != 0;
}

bool Console::Impl::GetScreenData(String& Char, Long& ForeColor, Long& BackColor, const Variant& X,
                                  const Variant& Y, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  const PageLookup looked_up = ReadPage(page);
  const Coord target = TargetCell(looked_up, X, Y);
  ReadCellOn(looked_up, page, target.X, target.Y, Char, ForeColor, BackColor);
  return true;
}

}  // namespace KelvaneConsole
