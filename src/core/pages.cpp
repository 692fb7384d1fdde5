// Pages: resolving PageIndex, the page table, the Page property, clearing and the cursor position.
#include <cstdint>

#include "core/console_impl.hpp"

namespace KelvaneConsole {

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

PageLookup Console::Impl::ReadPage(Integer page) { return ReadBuffer(HandleOf(page)); }

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
    // Decided on the window read last, whichever buffer that was: Left = Right = 0 (no read yet, a failed
    // one, or a one-column window at the left edge) has the shown page's buffer read into the cache.
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
  const PageLookup looked_up = ReadPage(page);
  // Counted in 32 bits: a large terminal's window has more cells than a 16-bit count can hold.
  const std::int32_t width = RectWidth(looked_up.window);
  const std::int32_t height = RectHeight(looked_up.window);
  auto count = static_cast<plat::Dword>(width > 0 && height > 0 ? width * height : 0);
  // The fill starts at the window's top-left cell, which is also where the cursor goes afterwards.
  const Coord home{looked_up.window.Left, looked_up.window.Top};
  mCursorPos = home;
  bool result = false;
  plat::Dword written = 0;
  if (Os().FillConsoleOutputCharacterA(looked_up.handle, ' ', count, home, &written) != 0) {
    Integer attribute = zzzColorsToAttribute(ForeColor, BackColor);
    result = Os().FillConsoleOutputAttribute(looked_up.handle, static_cast<Word>(attribute), count, home,
                                             &written) != 0;
    Os().SetConsoleTextAttribute(looked_up.handle,
                                 static_cast<Word>(zzzColorsToAttribute(ForeColor, BackColor)));
  }
  Step([&] { SetCursorPos(home.X, home.Y, Variant(page)); });
  return result;
}

bool Console::Impl::SetCursorPos(Integer X, Integer Y, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  const PageLookup looked_up = ReadPage(page);
  if (!InWindow(looked_up.window, X, Y)) Raise(kErrInvalidCursor, "KelvaneConsole.SetCursorPos");
  mCursorPos = Coord{X, Y};
  return Os().SetConsoleCursorPosition(looked_up.handle, mCursorPos) != 0;
}

bool Console::Impl::GetCursorPos(Integer& X, Integer& Y, const Variant& PageIndex) {
  if (!Loaded()) return false;
  Integer page = ResolvePage(PageIndex);
  const Coord cursor = ReadPage(page).cursor;
  X = cursor.X;
  Y = cursor.Y;
  return false;
}

}  // namespace KelvaneConsole
