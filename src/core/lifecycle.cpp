// Creation, Load, Unload and destruction; the loaded check, raising errors, and the small services
// that read the console into the object's cache.
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

namespace ConsoleGlobals {
thread_local Integer ConsoleIsLoaded = 0;
}  // namespace ConsoleGlobals

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The longest path Windows accepts, terminator included.
constexpr plat::Dword kLongestPath = 32768;

}  // namespace

Console::Impl::Impl() { mPageHandles.fill(kNoHandle); }

Console::Impl::~Impl() {
  // Destroying any object of the thread while a console is loaded releases it, with this object's
  // handles, whether or not this object loaded it.
  if (Loaded()) Release();
}

bool Console::Impl::zzzCheckLoaded() {
  if (!Loaded()) Raise(kErrNotLoaded, kLibrarySource);
  return true;
}

void Console::Impl::Raise(Long number, const char* source) {
  std::string_view description = ErrorDescription(number, source);
  throw Error(number, source, String(description), zzzSystemDirectory() + kHelpFileName, kHelpContext);
}

String Console::Impl::zzzSystemDirectory() {
  String directory(256, '\0');
  plat::Dword n = Os().GetSystemDirectoryA(directory.data(), static_cast<plat::Dword>(directory.size()));
  // A directory too long for the buffer is answered with the size it needs, terminator included, and
  // nothing copied: read it again into a buffer of that size. Only a path a system can have is asked
  // for, and a directory that grew in between counts as a failed query.
  if (n >= directory.size() && n <= kLongestPath) {
    directory.assign(n, '\0');
    n = Os().GetSystemDirectoryA(directory.data(), n);
  }
  if (n == 0 || n >= directory.size()) return String();
  directory.resize(n);
  directory.resize(std::min(directory.size(), directory.find('\0')));
  if (directory.empty() || directory.back() != kPathSeparator) directory += kPathSeparator;
  return directory;
}

void Console::Impl::zzzReadBufferInfo(Handle handle) { ReadBuffer(handle); }

PageLookup Console::Impl::ReadBuffer(Handle handle) {
  // The record starts as zeros and the result is not examined: a failed query reads as all zeros.
  plat::ScreenBufferInfo info{};
  Os().GetConsoleScreenBufferInfo(handle, &info);
  mCursorPos = info.dwCursorPosition;
  mAttributes = info.wAttributes;
  mWindow = info.srWindow;
  return PageLookup{handle, info.srWindow, info.dwCursorPosition, info.wAttributes};
}

void Console::Impl::zzzReadCursorInfo() {
  plat::CursorInfo info{0, 0};
  Os().GetConsoleCursorInfo(mActiveHandle, &info);
  mCursorSize = static_cast<Integer>(info.dwSize & 0xFFFF);
  mCursorVisible = info.bVisible != 0 ? -1 : 0;
  mCursorSize = std::clamp<Integer>(mCursorSize, 0, 99);
}

void Console::Impl::zzzWriteCursorInfo() {
  mCursorSize = std::clamp<Integer>(mCursorSize, 0, 99);
  // Visibility goes out widened with its sign: True as -1.
  plat::CursorInfo info{static_cast<plat::Dword>(mCursorSize), static_cast<plat::Bool>(mCursorVisible)};
  Os().SetConsoleCursorInfo(mActiveHandle, &info);
}

Long zzzCoordToLong(const Coord& coord) noexcept {
  return static_cast<Long>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(coord.X)) |
                           (static_cast<std::uint32_t>(static_cast<std::uint16_t>(coord.Y)) << 16));
}

void Console::Impl::Load(bool StartFullScreen) {
  if (Loaded()) Raise(kErrAlreadyLoaded, "KelvaneConsole.Load");
  // A process that already has a console keeps it: the allocation then fails and is not examined.
  Os().AllocConsole();
  mStdInput = Os().GetStdHandle(plat::kStdInputHandle);
  mStdOutput = Os().GetStdHandle(plat::kStdOutputHandle);
  mStdError = Os().GetStdHandle(plat::kStdErrorHandle);
  // Set before showing page 0: the Page setter runs the loaded check.
  ConsoleGlobals::ConsoleIsLoaded = -1;
  Step([&] { Page(0); });
  Step([&] { Os().SetConsoleTitleA(""); });
  if (StartFullScreen) Step([&] { ToggleFullScreen(); });
}

void Console::Impl::Release() {
  Os().CloseHandle(mStdInput);
  Os().CloseHandle(mStdOutput);
  Os().CloseHandle(mStdError);
  for (Handle& slot : mPageHandles) {
    if (slot != kNoHandle) Os().CloseHandle(slot);
    slot = kNoHandle;
  }
  Os().FreeConsole();
  ConsoleGlobals::ConsoleIsLoaded = 0;
}

void Console::Impl::Unload() {
  if (!Loaded()) return;
  Release();
}

String FullScreenSwitchTitle(const kelvane::platform::SystemTime& now) {
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02u%02u%02u", static_cast<unsigned>(now.wHour % 100),
                static_cast<unsigned>(now.wMinute % 100), static_cast<unsigned>(now.wSecond % 100));
  return String("KSC") + stamp + " Switching Screen Modes... Please Wait...";
}

void Console::Impl::ToggleFullScreen() {
  if (!Loaded()) return;
  String saved;
  Step([&] { saved = Caption(); });
  // A title no other window has, so that activation finds this console's window.
  String temporary = FullScreenSwitchTitle(Os().GetLocalTime());
  Step([&] { Caption(temporary); });
  Step([&] { Os().AppActivate(temporary); });
  Step([&] { Os().SendKeys("%~", true); });
  Step([&] { Caption(saved); });
}

}  // namespace KelvaneConsole
