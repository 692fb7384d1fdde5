// The public members: each enters through a guard that gives the platform its end-of-call signal when
// the outermost call of the thread returns, so a frame is shown once per client call, never halfway.
// Their forwarding is made from the member table of the automation interface, so a member declared in
// the public header differently from the table does not compile.
#include <kelvane/console.hpp>

#include <utility>

#include "component/member_table.hpp"
#include "core/console_impl.hpp"
#include "platform/console_platform.hpp"

namespace KelvaneConsole {

namespace {

thread_local int t_call_depth = 0;

class CallGuard {
 public:
  CallGuard() noexcept { ++t_call_depth; }
  ~CallGuard() {
    // The platform is looked up as the call leaves, not as it enters: Load and Unload inside the call
    // may have changed what there is to show.
    if (--t_call_depth == 0) kelvane::platform::Platform().EndOfCall();
  }
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;
};

}  // namespace

Console::Console() : impl_(std::make_unique<Impl>()) {}

Console::~Console() {
  CallGuard guard;
  impl_.reset();
}

// Each member of the table, forwarded to the implementation behind the guard.
#define KELVANE_FORWARD_MEMBER(slot, dispid, kind, Name, result, help_context, help, ...) \
  component::CppResult<component::AutoType::result> Console::Name(                        \
      KELVANE_EACH(KELVANE_DECLARE_PARAMETER, __VA_ARGS__)) {                             \
    CallGuard guard;                                                                      \
    return impl_->Name(KELVANE_EACH(KELVANE_FORWARD_PARAMETER, __VA_ARGS__));             \
  }
KELVANE_CONSOLE_MEMBERS(KELVANE_FORWARD_MEMBER)
#undef KELVANE_FORWARD_MEMBER

// The overload for a Char the caller does not want back: literals and the omitted case.
bool Console::SetScreenData(const String& Char, Long ForeColor, const Variant& BackColor, const Variant& X,
                            const Variant& Y, const Variant& PageIndex) {
  String copy = Char;
  return SetScreenData(copy, ForeColor, BackColor, X, Y, PageIndex);
}

}  // namespace KelvaneConsole
