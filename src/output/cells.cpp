// Single cells: SetScreenData, GetScreenData and the cell read behind them.
#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

Coord Console::Impl::TargetCell(const Variant& X, const Variant& Y) {
  Integer column = -1;
  Integer row = -1;
  TakeIfGiven(X, column);
  TakeIfGiven(Y, row);
  if (column < mWindow.Left) column = mCursorPos.X;
  if (row < mWindow.Top) row = mCursorPos.Y;
  if (column > mWindow.Right) column = mCursorPos.X;
  if (row > mWindow.Bottom) row = mCursorPos.Y;
  return Coord{column, row};
}

void Console::Impl::zzzReadCell(String& Char, Long& ForeColor, Long& BackColor, Integer& X, Integer& Y,
                                Integer& Page) {
  if (Page == -1) Page = mCurrentPage;
  Handle handle = ReadPage(Page);
  Integer column = X == -1 ? mCursorPos.X : X;
  Integer row = Y == -1 ? mCursorPos.Y : Y;
  plat::CharInfo cell{0, 0};
  SmallRect region{column, row, column, row};
  if (Os().ReadConsoleOutputA(handle, &cell, Coord{1, 1}, Coord{0, 0}, &region) != 0) {
    zzzAttributeToColors(static_cast<Integer>(cell.Attributes), ForeColor, BackColor);
    char byte = static_cast<char>(cell.Char & 0xFF);
    Char = plat::Utf8FromAnsi(std::string_view(&byte, 1));
  } else {
    zzzAttributeToColors(static_cast<Integer>(mAttributes), ForeColor, BackColor);
    Char.clear();
  }
}

bool Console::Impl::SetScreenData(String& Char, Long ForeColor, const Variant& BackColor, const Variant& X,
                                  const Variant& Y, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  Handle handle = ReadPage(page);
  Coord target = TargetCell(X, Y);
  String existing;
  Long cell_fore = 0;
  Long cell_back = 0;
  Integer column = target.X;
  Integer row = target.Y;
  Integer read_page = page;
  zzzReadCell(existing, cell_fore, cell_back, column, row, read_page);
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
  ReadPage(page);
  Coord target = TargetCell(X, Y);
  Integer column = target.X;
  Integer row = target.Y;
  zzzReadCell(Char, ForeColor, BackColor, column, row, page);
  return true;
}

}  // namespace KelvaneConsole
