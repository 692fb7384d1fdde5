// Late binding: calling a Console by DISPID with Variants, as an automation client does through
// IDispatch. On Windows the COM server's IDispatch forwards to this; on every platform tests, examples
// and other language bindings use it directly.
//
//   #include <kelvane/dispatch.hpp>
//   KelvaneConsole::Console console;
//   KelvaneConsole::Dispatch dispatch(console);
//   dispatch.Invoke(dispatch.GetIDOfName("load"), KelvaneConsole::InvokeKind::Method, {});
//   std::vector<KelvaneConsole::Variant> args{5, 3, "30", 8.0, 0xFFFFFF, 0x800000};
//   KelvaneConsole::Variant drawn;
//   dispatch.Invoke(dispatch.GetIDOfName("DrawBox"), KelvaneConsole::InvokeKind::Method, args, &drawn);
//   // args[2] and args[3] now hold the box's width and height as Integers, clipped to the window.
#pragma once

#include <kelvane/console.hpp>

#include <cstdint>
#include <span>
#include <string_view>

namespace KelvaneConsole {

using HResult = std::int32_t;  // 0 is S_OK; failures are negative, as HRESULTs
using DispId = std::int32_t;
inline constexpr DispId kDispIdUnknown = -1;
// DISPATCH_METHOD, DISPATCH_PROPERTYGET and DISPATCH_PROPERTYPUT. They are flags, as in IDispatch::Invoke:
// Method | PropertyGet, which Visual Basic sends for a call whose result it uses, reaches a method or a
// property's getter.
enum class InvokeKind : std::uint16_t { Method = 1, PropertyGet = 2, PropertyPut = 4 };

// What Invoke returns, by the names of the HRESULTs (which the Windows headers define as macros).
inline constexpr HResult kSOk = 0;
inline constexpr HResult kDispEMemberNotFound = static_cast<HResult>(0x80020003u);
inline constexpr HResult kDispETypeMismatch = static_cast<HResult>(0x80020005u);
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009u);
inline constexpr HResult kDispEOverflow = static_cast<HResult>(0x8002000Au);
inline constexpr HResult kDispEBadParamCount = static_cast<HResult>(0x8002000Eu);
inline constexpr HResult kDispEParamNotOptional = static_cast<HResult>(0x8002000Fu);
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000Eu);
inline constexpr HResult kEUnexpected = static_cast<HResult>(0x8000FFFFu);

struct ExceptionInfo {  // what EXCEPINFO carries for a raised error
  HResult Code = 0;     // 0x800A0000 + Number
  Long Number = 0;
  String Source, Description, HelpFile;
  Long HelpContext = 0;
};

class Dispatch {
 public:
  explicit Dispatch(Console& target) noexcept : target_(target) {}  // does not own it

  // The DISPID of a member of _Console, its name in any case; kDispIdUnknown if none.
  DispId GetIDOfName(std::string_view name) const noexcept;

  // Calls the member `id` of the `kind` asked with `args` in its parameter order (COM's DISPPARAMS holds
  // them reversed).
  // - Fewer arguments than parameters: the rest are omitted. An omitted or Missing optional parameter
  //   takes its default; an omitted required one gives kDispEParamNotOptional, more arguments than
  //   parameters kDispEBadParamCount. A property put takes its new value as the one argument.
  // - Each argument is converted to its parameter's type by Variant's conversions; one that cannot be
  //   gives kDispETypeMismatch or kDispEOverflow, and the member is not called.
  // - A parameter the member writes back (the Console members take those by non-const reference) gets
  //   the value written, as that parameter's type, in its Variant, whatever kind it held: a client whose
  //   variables are all Variants can pass them by reference. Only after a normal return.
  // - A raised Error gives kDispEException with *error filled; an unknown DISPID, or a kind the member
  //   does not have, kDispEMemberNotFound. Memory that cannot be had gives kEOutOfMemory, and any other
  //   exception kEUnexpected: none crosses this boundary.
  // - *result receives the member's result as its automation type (a Boolean as the Boolean kind, True
  //   being -1); a member without a result leaves it untouched.
  HResult Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result = nullptr,
                 ExceptionInfo* error = nullptr) noexcept;

 private:
  Console& target_;
};

}  // namespace KelvaneConsole
