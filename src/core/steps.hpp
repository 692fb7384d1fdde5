// The continue-on-failure mode. Most members run as a series of steps: when a step fails (an error
// raised by an operation it calls, a failed conversion, a checked 16-bit overflow) the step is
// abandoned and the member goes on with the next one, and the caller sees an ordinary result. The
// numbered errors a member raises itself are thrown outside any step and so reach the caller.
#pragma once

#include <kelvane/console.hpp>

#include <new>
#include <utility>

namespace KelvaneConsole {

// Runs one step; false when it failed (the failure is absorbed). Memory that cannot be had is such a
// failure too: a member that reports through its result must not throw std::bad_alloc at its caller.
template <class F>
bool Step(F&& step) {
  try {
    std::forward<F>(step)();
    return true;
  } catch (const Error&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// An optional argument that is given and converts replaces `value`; otherwise `value` keeps its
// default (a failed conversion is absorbed like any failed step).
inline void TakeIfGiven(const Variant& argument, Long& value) {
  if (!argument.IsMissing()) Step([&] { value = argument.ToLong(); });
}
inline void TakeIfGiven(const Variant& argument, Integer& value) {
  if (!argument.IsMissing()) Step([&] { value = argument.ToInteger(); });
}

}  // namespace KelvaneConsole
