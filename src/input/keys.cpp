// GetInputKey and GetInputChar: the next key press, or the next key that types a character, with the
// cursor hidden while they wait when the caller asks.
#include "core/console_impl.hpp"
#include "platform/codepage.hpp"

namespace KelvaneConsole {

namespace {

// Runs `wait` with the shown page's cursor hidden when `hide` is set, then puts back the visibility it
// found, also when the wait ended because input did. A hidden cursor stays hidden.
template <class Wait>
auto WithCursorHidden(Console::Impl& console, bool hide, Wait wait) {
  bool was_visible = false;
  if (hide) {
    Step([&] { was_visible = console.CursorVisible(); });
    Step([&] { console.CursorVisible(false); });
  }
  auto result = wait();
  if (hide) Step([&] { console.CursorVisible(was_visible); });
  return result;
}

}  // namespace

Integer Console::Impl::GetInputKey(bool NoCursor) {
  if (!Loaded() || !zzzSetInputMode(3)) return 0;
  return WithCursorHidden(*this, NoCursor, [&]() -> Integer {
    for (;;) {
      // Only events from here on count: a key held down before the call, or the release of the last
      // one, is passed over.
      Os().FlushConsoleInputBuffer(mStdInput);
      plat::InputRecord record;
      plat::Dword read = 0;
      // A read that fails, above all because input has ended for good, would fail again at once:
      // waiting on is a wait that never ends. 0 is no key's code.
      if (Os().ReadConsoleInputA(mStdInput, &record, 1, &read) == 0) return 0;
      if (read >= 1 && record.EventType == plat::kKeyEvent && record.KeyEvent.bKeyDown != 0) {
        // The key's character, its release and whatever followed go with it, so that the next call
        // does not see this key again.
        Os().FlushConsoleInputBuffer(mStdInput);
        return static_cast<Integer>(record.KeyEvent.wVirtualKeyCode);
      }
    }
  });
}

String Console::Impl::GetInputChar(bool NoCursor) {
  if (!Loaded() || !zzzSetInputMode(3)) return String();
  return WithCursorHidden(*this, NoCursor, [&] {
    Os().FlushConsoleInputBuffer(mStdInput);  // keys typed ahead are no answer
    // Raw input: the read ends at the first key that types a character (Enter as 13, Ctrl+C as 3);
    // arrows, function keys and Shift alone do not end it. It fails once input has ended.
    char byte = 0;
    plat::Dword read = 0;
    if (Os().ReadConsoleA(mStdInput, &byte, 1, &read) == 0 || read < 1) return String();
    Os().FlushConsoleInputBuffer(mStdInput);
    return plat::Utf8FromAnsi(std::string_view(&byte, 1));
  });
}

}  // namespace KelvaneConsole
