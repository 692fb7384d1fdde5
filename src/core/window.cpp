// Caption, cursor shape and window size.
#include <algorithm>

#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

namespace {

constexpr plat::Dword kCaptionBufferSize = 1024;

}  // namespace

String Console::Impl::Caption() {
  if (!Loaded()) return String();
  std::string buffer(kCaptionBufferSize, ' ');
  plat::Dword n = Os().GetConsoleTitleA(buffer.data(), kCaptionBufferSize);
  if (n == 0) return String();
  buffer.resize(std::min(n, kCaptionBufferSize));
  return plat::Utf8FromAnsi(buffer);
}

void Console::Impl::Caption(const String& New_Caption) {
  if (!Loaded()) return;
  Os().SetConsoleTitleA(plat::AnsiFromUtf8(New_Caption).c_str());
}

Integer Console::Impl::CursorSize() {
  zzzCheckLoaded();
  zzzReadCursorInfo();
  return mCursorSize;
}

void Console::Impl::CursorSize(Integer New_CursorSize) {
  zzzCheckLoaded();
  mCursorSize = New_CursorSize;
  zzzWriteCursorInfo();
}

bool Console::Impl::CursorVisible() {
  zzzCheckLoaded();
  zzzReadCursorInfo();
  return mCursorVisible != 0;
}

void Console::Impl::CursorVisible(bool New_CursorVisible) {
  zzzCheckLoaded();
  Integer visible = New_CursorVisible ? -1 : 0;
  // Compared with the stored value, not the console's: an unchanged value costs no platform call.
  if (visible == mCursorVisible) return;
  mCursorVisible = visible;
  zzzWriteCursorInfo();
}

bool Console::Impl::GetWindowSize(Integer& Width, Integer& Height) {
  zzzCheckLoaded();
  const SmallRect window = ReadBuffer(mActiveHandle).window;
  Width = static_cast<Integer>(RectWidth(window));
  Height = static_cast<Integer>(RectHeight(window));
  return false;
}

}  // namespace KelvaneConsole
