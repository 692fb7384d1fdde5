// Late binding over the member table: a DISPID and a kind find a row, the row's parameters say what
// each argument may be, and an invoker made from the same row converts the arguments to the C++ member's
// parameter types, calls it and writes back what it wrote.
#include <kelvane/dispatch.hpp>

#include <cstddef>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "component/member_table.hpp"
#include "core/errors.hpp"

namespace KelvaneConsole {

namespace component {
namespace {

// The value an omitted argument stands for.
Variant DefaultArgument(const ParamSpec& param) {
  switch (param.default_value.kind) {
    case DefaultValue::Kind::Number:
      return Variant(param.default_value.number);
    case DefaultValue::Kind::Boolean:
      return Variant(param.default_value.number != 0);
    case DefaultValue::Kind::Text:
      return Variant(String(param.default_value.text));
    case DefaultValue::Kind::None:
    case DefaultValue::Kind::Missing:
      break;
  }
  return Missing;
}

// An argument as the C++ parameter type; throws the conversion's Error 6 or 13.
template <class T>
T ArgumentAs(const Variant& argument) {
  if constexpr (std::is_same_v<T, Integer>) {
    return argument.ToInteger();
  } else if constexpr (std::is_same_v<T, Long>) {
    return argument.ToLong();
  } else if constexpr (std::is_same_v<T, bool>) {
    return argument.ToBoolean();
  } else if constexpr (std::is_same_v<T, String>) {
    return argument.ToString();
  } else if constexpr (std::is_same_v<T, KSConsoleLineStyles>) {
    // Any Long: the members draw a style they do not know as colours only.
    return static_cast<KSConsoleLineStyles>(argument.ToLong());
  } else {
    static_assert(std::is_same_v<T, Variant>);
    return argument;
  }
}

template <class T>
Variant AsVariant(const T& value) {
  if constexpr (std::is_enum_v<T>) {
    return Variant(static_cast<Long>(value));
  } else {
    return Variant(value);
  }
}

bool Given(std::span<Variant> args, std::size_t i) { return i < args.size() && !args[i].IsMissing(); }

// Converts argument `i` (or the parameter's default) into `value`.
template <class T>
HResult Take(const ParamSpec& param, std::span<Variant> args, std::size_t i, T& value) {
  try {
    value = ArgumentAs<T>(Given(args, i) ? args[i] : DefaultArgument(param));
    return kSOk;
  } catch (const Error& e) {
    return e.Number() == kErrOverflow ? kDispEOverflow : kDispETypeMismatch;
  }
}

template <class>
struct Signature;
template <class R, class... P>
struct Signature<R (Console::*)(P...)> {
  using Result = R;
  using Params = std::tuple<P...>;
};

using Invoker = HResult (*)(const MemberSpec&, Console&, std::span<Variant>, Variant*);

// The arguments have been counted against the row; converts them all, then calls. An Error the member
// raises leaves by exception, and nothing is written back then.
template <auto Member>
HResult InvokeMember(const MemberSpec& spec, Console& target, std::span<Variant> args, Variant* result) {
  using Params = typename Signature<decltype(Member)>::Params;
  using Result = typename Signature<decltype(Member)>::Result;
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    std::tuple<std::remove_cvref_t<std::tuple_element_t<I, Params>>...> values;
    HResult status = kSOk;
    // In parameter order; the first that does not convert ends the call.
    ((status = status == kSOk ? Take(spec.params[I], args, I, std::get<I>(values)) : status), ...);
    if (status != kSOk) return status;
    if constexpr (std::is_void_v<Result>) {
      (target.*Member)(std::get<I>(values)...);
    } else {
      Result value = (target.*Member)(std::get<I>(values)...);
      if (result != nullptr) *result = AsVariant(value);
    }
    ((spec.params[I].passing == Passing::WrittenBack && Given(args, I)
          ? static_cast<void>(args[I] = AsVariant(std::get<I>(values)))
          : static_cast<void>(0)),
     ...);
    return kSOk;
  }
  (std::make_index_sequence<std::tuple_size_v<Params>>{});
}

// One invoker per row, in the table's order; the C++ member is chosen by the signature the row gives it.
#define KELVANE_INVOKER(slot, dispid, kind, Name, result, help_context, help, ...) \
  &InvokeMember<static_cast<CppResult<AutoType::result> (Console::*)(              \
      KELVANE_EACH(KELVANE_PARAMETER_TYPE, __VA_ARGS__))>(&Console::Name)>,
constexpr Invoker kInvokers[] = {KELVANE_CONSOLE_MEMBERS(KELVANE_INVOKER)};
#undef KELVANE_INVOKER
static_assert(std::size(kInvokers) == kMembers.size());

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// The row of the DISPID whose kind is among `kind`'s flags; kMembers.size() when there is none.
std::size_t FindMember(DispId id, InvokeKind kind) {
  for (std::size_t i = 0; i < kMembers.size(); ++i) {
    const auto flags = static_cast<std::uint16_t>(kind) & static_cast<std::uint16_t>(kMembers[i].kind);
    if (kMembers[i].dispid == id && flags != 0) return i;
  }
  return kMembers.size();
}

// Too many arguments, or a required one omitted, before anything is converted.
HResult CountArguments(const MemberSpec& spec, std::span<Variant> args) {
  if (args.size() > spec.params.size()) return kDispEBadParamCount;
  for (std::size_t i = 0; i < spec.params.size(); ++i) {
    if (!spec.params[i].optional() && !Given(args, i)) return kDispEParamNotOptional;
  }
  return kSOk;
}

// A raised error as EXCEPINFO carries it: status 0x800A0000 with the number in the low 16 bits.
HResult Raised(const Error& e, ExceptionInfo* error) noexcept {
  if (error == nullptr) return kDispEException;
  try {
    *error =
        ExceptionInfo{static_cast<HResult>(0x800A0000u | (static_cast<std::uint32_t>(e.Number()) & 0xFFFFu)),
                      e.Number(),
                      e.Source(),
                      e.Description(),
                      e.HelpFile(),
                      e.HelpContext()};
  } catch (const std::bad_alloc&) {
    return kEOutOfMemory;
  }
  return kDispEException;
}

}  // namespace
}  // namespace component

DispId Dispatch::GetIDOfName(std::string_view name) const noexcept {
  for (const component::MemberSpec& member : component::kMembers) {
    if (component::SameName(member.name, name)) return member.dispid;
  }
  return kDispIdUnknown;
}

HResult Dispatch::Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result,
                         ExceptionInfo* error) noexcept {
  const std::size_t row = component::FindMember(id, kind);
  if (row == component::kMembers.size()) return kDispEMemberNotFound;
  const component::MemberSpec& spec = component::kMembers[row];
  if (const HResult counted = component::CountArguments(spec, args); counted != kSOk) return counted;
  try {
    return component::kInvokers[row](spec, target_, args, result);
  } catch (const Error& e) {
    return component::Raised(e, error);
  } catch (const std::bad_alloc&) {
    return kEOutOfMemory;
  } catch (...) {
    return kEUnexpected;
  }
}

}  // namespace KelvaneConsole
