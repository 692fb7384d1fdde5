// Pages: resolving PageIndex, the page table, the Page property, clearing and the cursor position.
#include <cstdint>

#include "core/console_impl.hpp"

namespace KelvaneConsole {

namespace {

bool InWindow(const SmallRect& window, Integer x, Integer y) {
  return x >= window.Left && x <= window.Right && y >= window.Top && y <= window.Bottom;
}

}  // namespace

Integer Console::Impl::ResolvePage(const Variant& PageIndex) {
  if (PageIndex.IsMissing()) return mCurrentPage;
  Integer page = -1;
  Step([&] { page = PageIndex.ToInteger(); });
  return page;
}

Handle Console::Impl::HandleOf(Integer page) {
  Handle handle = kNoHandle;
  bool created = false;
  Step([&] { handle = zzzHandleFromPage(page, created); });
  return handle;
}

Handle Console::Impl::ReadPage(Integer page) {
  Handle handle = HandleOf(page);
  zzzReadBufferInfo(handle);
  return handle;
}

Handle Console::Impl::zzzHandleFromPage(Integer PageIndex, bool& Created) {
  Created = false;
  // A page outside the table has no slot and no buffer: every operation on it fails.
  if (PageIndex < 0 || PageIndex >= kPageCount) return kNoHandle;
  Handle handle = mPageHandles[static_cast<size_t>(PageIndex)];
  if (handle == kNoHandle) {
    handle = Os().CreateConsoleScreenBuffer(plat::kGenericRead | plat::kGenericWrite,
                                            plat::kFileShareRead | plat::kFileShareWrite,
                                            plat::kConsoleTextmodeBuffer);
    // The platform's failure value; the slot keeps kNoHandle, so the next lookup tries again.
    if (handle == plat::kInvalidHandle) Raise(kErrInvalidPage, "KelvaneConsole.zzzHandleFromPage");
    Created = true;
    mPageHandles[static_cast<size_t>(PageIndex)] = handle;
  }
  return handle;
}

Integer Console::Impl::Page() {
  zzzCheckLoaded();
  return mCurrentPage;
}

void Console::Impl::Page(Integer New_Page) {
  if (!Loaded()) return;
  if (New_Page < 0 || New_Page >= kPageCount) Raise(kErrInvalidPage, "KelvaneConsole.Screen");
  Handle handle = kNoHandle;
  bool created = false;
  // A buffer that cannot be created leaves everything as it was, without an error.
  if (!Step([&] { handle = zzzHandleFromPage(New_Page, created); })) return;
  if (Os().SetConsoleActiveScreenBuffer(handle) == 0) Raise(kErrInvalidPage, "KelvaneConsole.Screen");
  mActiveHandle = handle;
  mCurrentPage = New_Page;
  if (created) {
    Step([&] { zzzClearPage(kLightGrey, 0, Variant(mCurrentPage)); });
  } else if (mWindow.Left == 0 && mWindow.Right == 0) {
    zzzReadBufferInfo(handle);
  }
  zzzReadCursorInfo();
}

bool Console::Impl::ClearScreen(const Variant& ForeColor, const Variant& BackColor,
                                const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  Long fore = kLightGrey;
  Long back = 0;
  TakeIfGiven(ForeColor, fore);
  TakeIfGiven(BackColor, back);
  bool result = false;
  Step([&] { result = zzzClearPage(fore, back, Variant(page)); });
  return result;
}

bool Console::Impl::zzzClearPage(Long ForeColor, Long BackColor, const Variant& PageIndex) {
  Integer page = ResolvePage(PageIndex);
  Handle handle = ReadPage(page);
  // Counted in 32 bits: a large terminal's window has more cells than a 16-bit count can hold.
  std::int32_t width = mWindow.Right - mWindow.Left + 1;
  std::int32_t height = mWindow.Bottom - mWindow.Top + 1;
  auto count = static_cast<plat::Dword>(width > 0 && height > 0 ? width * height : 0);
  mCursorPos = Coord{mWindow.Left, mWindow.Top};
  bool result = false;
  plat::Dword written = 0;
  if (Os().FillConsoleOutputCharacterA(handle, ' ', count, mCursorPos, &written) != 0) {
    Integer attribute = zzzColorsToAttribute(ForeColor, BackColor);
    result = Os().FillConsoleOutputAttribute(handle, static_cast<Word>(attribute), count, mCursorPos,
                                             &written) != 0;
    Os().SetConsoleTextAttribute(handle, static_cast<Word>(zzzColorsToAttribute(ForeColor, BackColor)));
  }
  Integer left = mWindow.Left;
  Integer top = mWindow.Top;
  Step([&] { SetCursorPos(left, top, Variant(page)); });
  return result;
}

bool Console::Impl::SetCursorPos(Integer X, Integer Y, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  Handle handle = ReadPage(page);
  if (!InWindow(mWindow, X, Y)) Raise(kErrInvalidCursor, "KelvaneConsole.SetCursorPos");
  mCursorPos = Coord{X, Y};
  return Os().SetConsoleCursorPosition(handle, mCursorPos) != 0;
}

bool Console::Impl::GetCursorPos(Integer& X, Integer& Y, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  ReadPage(page);
  X = mCursorPos.X;
  Y = mCursorPos.Y;
  return false;
}

}  // namespace KelvaneConsole
