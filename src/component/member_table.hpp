// The automation boundary of Console: every member of the dual interface _Console in function-table
// order, with its DISPID, parameters, result and help, and the attributes of the type library around it.
// A member is declared here once. From this table come the C++ facade's forwarding (core/console.cpp,
// where the compiler holds the public header to it), late binding (dispatch.cpp) and the type library
// source (type_library.cpp, kept in kelvane_console.idl).
#pragma once

#include <kelvane/console.hpp>
#include <kelvane/dispatch.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

namespace KelvaneConsole::component {

// Automation types at the boundary; Void is a member without a result.
enum class AutoType : std::uint8_t { Void, Integer, Long, Boolean, String, Variant, LineStyle };

// Every parameter crosses by reference ([in, out] in the type library) unless it is ByVal. WrittenBack is
// by reference too, and the member writes the caller's variable.
enum class Passing : std::uint8_t { ByVal, ByRef, WrittenBack };

// What an omitted argument arrives as: nothing for a required parameter, Missing for an optional Variant,
// otherwise the value (the type library's defaultvalue).
struct DefaultValue {
  enum class Kind : std::uint8_t { None, Missing, Number, Boolean, Text };
  Kind kind = Kind::None;
  Long number = 0;
  std::string_view text;
};
inline constexpr DefaultValue Required{};
constexpr DefaultValue Optional() { return {DefaultValue::Kind::Missing, 0, {}}; }
constexpr DefaultValue Optional(int number) { return {DefaultValue::Kind::Number, number, {}}; }
constexpr DefaultValue Optional(bool value) { return {DefaultValue::Kind::Boolean, value ? -1 : 0, {}}; }
constexpr DefaultValue Optional(const char* text) { return {DefaultValue::Kind::Text, 0, text}; }

struct ParamSpec {
  std::string_view name;
  AutoType type;
  Passing passing;
  DefaultValue default_value;
  constexpr bool optional() const { return default_value.kind != DefaultValue::Kind::None; }
};

struct MemberSpec {
  int slot;  // in the function table, after the seven of IUnknown and IDispatch
  DispId dispid;
  InvokeKind kind;  // exactly one of the three
  std::string_view name;
  AutoType result;
  std::span<const ParamSpec> params;
  Long help_context;
  std::string_view help;
};

// KELVANE_CONSOLE_MEMBERS(M) gives M(slot, DISPID, kind, Name, result, help context, help string,
// parameters...) for each member, each parameter as (Name, type, passing, default). A property's get and
// put share their DISPID; the numbers between the DISPIDs belong to the class's private operations.
// clang-format off
#define KELVANE_CONSOLE_MEMBERS(M) \
  M(7, 0x68030003, PropertyGet, Caption, String, 1693, "Returns/sets the caption in the Title Bar of the console.") \
  M(8, 0x68030003, PropertyPut, Caption, Void, 1693, "Returns/sets the caption in the Title Bar of the console.", \
    (New_Caption, String, ByRef, Required)) \
  M(9, 0x60030004, Method, DrawBox, Boolean, 1521, "Draws a box area with the given coordinates and style.  Especially useful for with the \"Page\" property and \"PageCopy\" method for creating dialog boxes.", \
    (X, Integer, ByRef, Required), (Y, Integer, ByRef, Required), (Width, Integer, WrittenBack, Required), \
    (Height, Integer, WrittenBack, Required), (ForeColor, Long, ByRef, Required), (BackColor, Long, ByRef, Required), \
    (LineStyle, LineStyle, ByRef, Optional(kcLinePlain)), (DrawShadow, Boolean, ByRef, Optional(false)), \
    (PageIndex, Variant, ByRef, Optional())) \
  M(10, 0x60030005, Method, DrawHLine, Boolean, 1522, "Draws a horizontal line with the given coordinates and style.", \
    (X, Integer, ByRef, Required), (Y, Integer, ByRef, Required), (Width, Integer, WrittenBack, Required), \
    (ForeColor, Long, ByRef, Required), (BackColor, Long, ByRef, Required), \
    (LineStyle, LineStyle, ByRef, Optional(kcLineColorOnly)), (PageIndex, Variant, ByRef, Optional())) \
  M(11, 0x60030006, Method, DrawVLine, Boolean, 1523, "Draws a vertical line with the given coordinates and style.", \
    (X, Integer, ByRef, Required), (Y, Integer, ByRef, Required), (Height, Integer, WrittenBack, Required), \
    (ForeColor, Long, ByRef, Required), (BackColor, Long, ByRef, Required), \
    (LineStyle, LineStyle, ByRef, Optional(kcLinePlain)), (PageIndex, Variant, ByRef, Optional())) \
  M(12, 0x60030008, Method, SaveScreen, Boolean, 1533, "Saves the contents of the screen for the specified page to a file.  Use in conjunction with the \"LoadScreen\" method.", \
    (FileName, String, ByRef, Required), (PageIndex, Variant, ByRef, Optional())) \
  M(13, 0x60030009, Method, LoadScreen, Boolean, 1531, "Loads the specified page with a pre-saved screen.  Extremely useful for easily re-using screens and minimizing the size of your code.", \
    (FileName, String, ByRef, Required), (PageIndex, Variant, ByRef, Optional())) \
  M(14, 0x6003000A, Method, SetColor, Boolean, 1534, "Sets the foreground and background colors of all subsequently written text using the \"WriteText\" method.", \
    (ForeColor, Long, ByRef, Required), (BackColor, Variant, ByRef, Optional()), (PageIndex, Variant, ByRef, Optional())) \
  M(15, 0x6003000B, Method, SetScreenData, Boolean, 1536, "Sets the character and/or color information located at the specified coordinates.  If a coordinate is unspecified (X and/or Y), the current respective cursor coordinate is used.  Coordinates are given in Columns and Rows.", \
    (Char, String, WrittenBack, Optional("")), (ForeColor, Long, ByRef, Optional(0)), (BackColor, Variant, ByRef, Optional()), \
    (X, Variant, ByRef, Optional()), (Y, Variant, ByRef, Optional()), (PageIndex, Variant, ByRef, Optional())) \
  M(16, 0x6003000C, Method, GetScreenData, Boolean, 1528, "Returns the character and color information located at the specified coordinates.  If a coordinate is unspecified (X and/or Y), the current respective cursor coordinate is used.  Coordinates are given in Columns and Rows.", \
    (Char, String, WrittenBack, Required), (ForeColor, Long, WrittenBack, Required), (BackColor, Long, WrittenBack, Required), \
    (X, Variant, ByRef, Optional()), (Y, Variant, ByRef, Optional()), (PageIndex, Variant, ByRef, Optional())) \
  M(17, 0x6003000D, Method, ToggleFullScreen, Void, 1537, "Toggles between full (text-mode) screen and a window.") \
  M(18, 0x60030018, Method, ClearScreen, Boolean, 1520, "Clears the console's current page, moving the cursor to to upper-left corner.", \
    (ForeColor, Variant, ByRef, Optional()), (BackColor, Variant, ByRef, Optional()), (PageIndex, Variant, ByRef, Optional())) \
  M(19, 0x68030002, PropertyGet, CursorSize, Integer, 1694, "Returns/sets the height of the console's cursor.  A value of 1 = line, and a value of 99=whole block.") \
  M(20, 0x68030002, PropertyPut, CursorSize, Void, 1694, "Returns/sets the height of the console's cursor.  A value of 1 = line, and a value of 99=whole block.", \
    (New_CursorSize, Integer, ByRef, Required)) \
  M(21, 0x68030001, PropertyGet, CursorVisible, Boolean, 1695, "Returns/sets whether or not the console's cursor is visible.") \
  M(22, 0x68030001, PropertyPut, CursorVisible, Void, 1695, "Returns/sets whether or not the console's cursor is visible.", \
    (New_CursorVisible, Boolean, ByRef, Required)) \
  M(23, 0x60030019, Method, GetWindowSize, Boolean, 1529, "Returns the current width and height of the console in columns and rows.", \
    (Width, Integer, WrittenBack, Required), (Height, Integer, WrittenBack, Required)) \
  M(24, 0x6003001A, Method, GetInputKey, Integer, 1526, "Waits for the user to hit a key, then returns the KeyCode for the pressed key.  (Refer to KeyDown event for documentation on KeyCodes) ", \
    (NoCursor, Boolean, ByRef, Optional(false))) \
  M(25, 0x6003001B, Method, GetInputChar, String, 1525, "Waits for the user to hit a key, then returns the character for the pressed key.  (For arrow, function, and control keys, use GetInputKey)", \
    (NoCursor, Boolean, ByRef, Optional(false))) \
  M(26, 0x6003001C, Method, Load, Void, 1530, "Loads and displays the console window.  NOTE: This step is REQUIRED prior to executing any other KelvaneConsole method or property.", \
    (StartFullScreen, Boolean, ByRef, Optional(false))) \
  M(27, 0x68030000, PropertyGet, Page, Integer, 1696, "Returns/sets the current page.  It is especially useful to switch between screens for dialog boxes, multiple screen applications, etc.") \
  M(28, 0x68030000, PropertyPut, Page, Void, 1696, "Returns/sets the current page.  It is especially useful to switch between screens for dialog boxes, multiple screen applications, etc.", \
    (New_Page, Integer, ByRef, Required)) \
  M(29, 0x6003001D, Method, PageCopy, Boolean, 1532, "Duplicates a page by copying the contents of one page to another.  This is useful when you wish to update a screen on another page, then switch to the page.  There are 10 pages available from 0 to 9.", \
    (SourcePage, Integer, ByRef, Required), (DestPage, Integer, ByRef, Required)) \
  M(30, 0x6003001E, Method, SetCursorPos, Boolean, 1535, "Sets the position of the console's cursor to the specified X and Y coordinates.  Coordinates are given in Columns and Rows.", \
    (X, Integer, ByRef, Required), (Y, Integer, ByRef, Required), (PageIndex, Variant, ByRef, Optional())) \
  M(31, 0x6003001F, Method, GetCursorPos, Boolean, 1524, "Returns the position of the console's cursor in X and Y parameter coordinates.  Coordinates are given in Columns and Rows.", \
    (X, Integer, WrittenBack, Required), (Y, Integer, WrittenBack, Required), (PageIndex, Variant, ByRef, Optional())) \
  M(32, 0x60030023, Method, GetInputLine, String, 1527, "Waits for the User to enter data, then returns once the Enter or Tab keys are pressed, returning the string of text entered by the user.", \
    (Prompt, String, ByRef, Optional("")), (MaxLength, Long, ByRef, Optional(0)), (PageIndex, Variant, ByRef, Optional())) \
  M(33, 0x60030024, Method, WriteText, Boolean, 1539, "Writes text at the current cursor location, optionally sets the color to be used (See \"SetColor\" method), and optionally wraps to the next line.", \
    (Text, String, ByVal, Required), (ForeColor, Variant, ByRef, Optional()), (BackColor, Variant, ByRef, Optional()), \
    (KeepCursorOnCurrentLine, Boolean, ByRef, Optional(false)), (PageIndex, Variant, ByRef, Optional())) \
  M(34, 0x60030025, Method, Unload, Void, 1538, "Unloads the console window.  Call this method when you are done using the console window.  After this method is called, you may not call any other KelvaneConsole properties or methods until you Load the console again.")
// clang-format on

// KELVANE_EACH(f, (a...), (b...)) is `f (a...), f (b...)`: each parameter of a row handed to f, with commas
// between. Each rescan of KELVANE_EXPAND takes one more parameter; 64 are far more than any member has.
#define KELVANE_EACH(f, ...) __VA_OPT__(KELVANE_EXPAND(KELVANE_EACH_NEXT(f, __VA_ARGS__)))
#define KELVANE_EACH_NEXT(f, first, ...) \
  f first __VA_OPT__(, KELVANE_EACH_AGAIN KELVANE_PARENS(f, __VA_ARGS__))
#define KELVANE_EACH_AGAIN() KELVANE_EACH_NEXT
#define KELVANE_PARENS ()
#define KELVANE_EXPAND(...) KELVANE_EXPAND4(KELVANE_EXPAND4(KELVANE_EXPAND4(__VA_ARGS__)))
#define KELVANE_EXPAND4(...) KELVANE_EXPAND1(KELVANE_EXPAND1(KELVANE_EXPAND1(KELVANE_EXPAND1(__VA_ARGS__))))
#define KELVANE_EXPAND1(...) __VA_ARGS__

// The C++ type of a value of each automation type.
template <AutoType>
struct CppValueOf;
template <>
struct CppValueOf<AutoType::Void> {
  using type = void;
};
template <>
struct CppValueOf<AutoType::Integer> {
  using type = Integer;
};
template <>
struct CppValueOf<AutoType::Long> {
  using type = Long;
};
template <>
struct CppValueOf<AutoType::Boolean> {
  using type = bool;
};
template <>
struct CppValueOf<AutoType::String> {
  using type = String;
};
template <>
struct CppValueOf<AutoType::Variant> {
  using type = Variant;
};
template <>
struct CppValueOf<AutoType::LineStyle> {
  using type = KSConsoleLineStyles;
};
template <AutoType T>
using CppResult = typename CppValueOf<T>::type;

// How the C++ facade takes a parameter: a written-back one by non-const reference of its exact type, a
// Variant or a text it never writes by const reference (a text passed by value by value), the rest by
// value.
template <AutoType T, Passing P>
using CppParam = std::conditional_t<
    P == Passing::WrittenBack, CppResult<T>&,
    std::conditional_t<T == AutoType::Variant || (T == AutoType::String && P == Passing::ByRef),
                       const CppResult<T>&, CppResult<T>>>;

// A parameter tuple of the table as a C++ declaration, as its type alone, as a forwarded argument, as data.
#define KELVANE_DECLARE_PARAMETER(Name, type, passing, default_value) \
  KELVANE_PARAMETER_TYPE(Name, type, passing, default_value) Name
#define KELVANE_PARAMETER_TYPE(Name, type, passing, default_value)                   \
  ::KelvaneConsole::component::CppParam<::KelvaneConsole::component::AutoType::type, \
                                        ::KelvaneConsole::component::Passing::passing>
#define KELVANE_FORWARD_PARAMETER(Name, type, passing, default_value) std::forward<decltype(Name)>(Name)
#define KELVANE_PARAMETER_SPEC(Name, type, passing, default_value) \
  ParamSpec { #Name, AutoType::type, Passing::passing, default_value }

template <class... P>
consteval std::array<ParamSpec, sizeof...(P)> Parameters(P... params) {
  return {params...};
}

#define KELVANE_PARAMETERS_OF(slot, dispid, kind, Name, result, help_context, help, ...) \
  inline constexpr auto kParametersOfSlot##slot =                                        \
      Parameters(KELVANE_EACH(KELVANE_PARAMETER_SPEC, __VA_ARGS__));
KELVANE_CONSOLE_MEMBERS(KELVANE_PARAMETERS_OF)
#undef KELVANE_PARAMETERS_OF

#define KELVANE_MEMBER_SPEC(slot, dispid, kind, Name, result, help_context, help, ...)                 \
  MemberSpec{slot,         dispid, InvokeKind::kind, #Name, AutoType::result, kParametersOfSlot##slot, \
             help_context, help},
inline constexpr std::array kMembers{KELVANE_CONSOLE_MEMBERS(KELVANE_MEMBER_SPEC)};
#undef KELVANE_MEMBER_SPEC

inline constexpr int kFirstSlot = 7;  // after QueryInterface, AddRef, Release and the four of IDispatch

// --- the type library around the interface ---

struct TypeInfoSpec {
  std::string_view name;
  std::string_view guid;
  std::string_view help;
  Long help_context;
  std::uint16_t type_flags;  // TYPEFLAGS
};

struct LibrarySpec {
  std::string_view name;
  std::string_view guid;
  std::uint16_t major_version, minor_version;
  Long locale;
  std::string_view help;
  std::string_view help_file;
  Long help_context;
};

inline constexpr std::string_view kObjectHelp =
    "KelvaneStudio: KelvaneConsole console object for Visual Basic 3.0";

inline constexpr LibrarySpec kLibrary{"KelvaneConsole",
                                      "AE67B24E-B3B1-47EA-96A6-9645F2EF1748",
                                      1,
                                      0,
                                      1033,
                                      "KelvaneStudio: KelvaneConsole Windows Console Object 3.0",
                                      "KelvaneSG3.chm",
                                      1412};
// Hidden, dual, non-extensible, automation-compatible, dispatchable.
inline constexpr TypeInfoSpec kInterface{"_Console", "5E4BBE5B-3010-494E-87BC-123AD8ABE50F", kObjectHelp,
                                         1412, 0x11D0};
// Creatable, with _Console as its one and default interface.
inline constexpr TypeInfoSpec kClass{"Console", "7638F75B-9DFD-4660-8567-ABB168B3E707", kObjectHelp, 1412,
                                     0x2};
inline constexpr TypeInfoSpec kLineStyles{"KSConsoleLineStyles", "E75D3822-EFA8-402E-9716-86A8E6AEFF2B",
                                          kObjectHelp, 1412, 0};

struct EnumMemberSpec {
  std::string_view name;
  Long value;
};
// The names and values come from the C++ enumeration itself.
#define KELVANE_LINE_STYLE(name) \
  EnumMemberSpec { #name, name }
inline constexpr std::array kLineStyleMembers{
    KELVANE_LINE_STYLE(kcLineColorOnly),         KELVANE_LINE_STYLE(kcLinePlain),
    KELVANE_LINE_STYLE(kcLineSingleLine),        KELVANE_LINE_STYLE(kcLineDoubleLine),
    KELVANE_LINE_STYLE(kcLinePlusMinusPipeLine), KELVANE_LINE_STYLE(kcLineAsterisks),
    KELVANE_LINE_STYLE(kcLineGray25Percent),     KELVANE_LINE_STYLE(kcLineGray50Percent),
    KELVANE_LINE_STYLE(kcLineGray75Percent)};
#undef KELVANE_LINE_STYLE

// What the compiler can check of the table by itself: the slots follow each other from 7, a DISPID is
// shared by a property's get and put only, the defaults fit their parameters, and each GUID is written
// as one (8-4-4-4-12 hex digits).
consteval bool SlotsFollowEachOther() {
  for (std::size_t i = 0; i < kMembers.size(); ++i) {
    if (kMembers[i].slot != kFirstSlot + static_cast<int>(i)) return false;
  }
  return true;
}
consteval bool DispIdsAreSharedOnlyByAPropertysGetAndPut() {
  for (const MemberSpec& a : kMembers) {
    for (const MemberSpec& b : kMembers) {
      if (&a == &b || a.dispid != b.dispid) continue;
      const bool property_pair = a.name == b.name && a.kind != b.kind && a.kind != InvokeKind::Method &&
                                 b.kind != InvokeKind::Method;
      if (!property_pair) return false;
    }
  }
  return true;
}
consteval bool DefaultsFitTheirParameters() {
  for (const MemberSpec& member : kMembers) {
    bool optional_seen = false;
    for (const ParamSpec& p : member.params) {
      using Kind = DefaultValue::Kind;
      const Kind k = p.default_value.kind;
      const bool fits = k == Kind::None || (p.type == AutoType::Variant   ? k == Kind::Missing
                                            : p.type == AutoType::String  ? k == Kind::Text
                                            : p.type == AutoType::Boolean ? k == Kind::Boolean
                                                                          : k == Kind::Number);
      // Optional parameters come last, as automation has them.
      if (!fits || (optional_seen && !p.optional())) return false;
      optional_seen = optional_seen || p.optional();
    }
  }
  return true;
}
consteval bool IsGuid(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool hyphen_place = i == 8 || i == 13 || i == 18 || i == 23;
    const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    if (hyphen_place ? c != '-' : !hex) return false;
  }
  return true;
}
static_assert(kMembers.size() == 28);
static_assert(SlotsFollowEachOther());
static_assert(DispIdsAreSharedOnlyByAPropertysGetAndPut());
static_assert(DefaultsFitTheirParameters());
static_assert(IsGuid(kLibrary.guid) && IsGuid(kInterface.guid) && IsGuid(kClass.guid) &&
              IsGuid(kLineStyles.guid));

}  // namespace KelvaneConsole::component
