#include "component/type_library.hpp"

#include <cstdio>
#include <string_view>

#include "component/member_table.hpp"

namespace KelvaneConsole::component {

namespace {

// TYPEFLAGS as the language names them; dual implies dispatchable.
constexpr std::uint16_t kCanCreate = 0x2;
constexpr std::uint16_t kHidden = 0x10;
constexpr std::uint16_t kDual = 0x40;
constexpr std::uint16_t kNonExtensible = 0x80;
constexpr std::uint16_t kOleAutomation = 0x100;
constexpr std::uint16_t kDispatchable = 0x1000;
static_assert(kInterface.type_flags == (kHidden | kDual | kNonExtensible | kOleAutomation | kDispatchable),
              "the interface's attributes below are written for these flags");
static_assert(kClass.type_flags == kCanCreate, "a coclass is creatable unless marked noncreatable");
static_assert(kLineStyles.name == "KSConsoleLineStyles", "parameters name the enumeration as below");

String Quoted(std::string_view text) {
  String quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

String Hex(Long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string_view TypeName(AutoType type) {
  switch (type) {
    case AutoType::Integer:
      return "short";
    case AutoType::Long:
      return "long";
    case AutoType::Boolean:
      return "VARIANT_BOOL";
    case AutoType::String:
      return "BSTR";
    case AutoType::Variant:
      return "VARIANT";
    case AutoType::LineStyle:
      return "enum KSConsoleLineStyles";
    case AutoType::Void:
      break;
  }
  return "void";
}

String Parameter(const ParamSpec& param) {
  String attributes = param.passing == Passing::ByVal ? "in" : "in, out";
  const DefaultValue& value = param.default_value;
  if (param.optional()) attributes += ", optional";
  switch (value.kind) {
    case DefaultValue::Kind::Number:
    case DefaultValue::Kind::Boolean:
      attributes += ", defaultvalue(" + std::to_string(value.number) + ")";
      break;
    case DefaultValue::Kind::Text:
      // widl writes no text default for a parameter passed by reference (MIDL does); the parameter
      // stays optional, and an omitted one is still the empty text to the member.
      if (param.passing == Passing::ByVal) attributes += ", defaultvalue(" + Quoted(value.text) + ")";
      break;
    case DefaultValue::Kind::None:
    case DefaultValue::Kind::Missing:
      break;
  }
  const char* pointer = param.passing == Passing::ByVal ? "" : "*";
  return "[" + attributes + "] " + String(TypeName(param.type)) + pointer + " " + String(param.name);
}

String Member(const MemberSpec& member) {
  String text = "        [id(" + Hex(member.dispid) + ")";
  if (member.kind == InvokeKind::PropertyGet) text += ", propget";
  if (member.kind == InvokeKind::PropertyPut) text += ", propput";
  text += ", helpstring(" + Quoted(member.help) + "), helpcontext(" + std::to_string(member.help_context) +
          ")]\n";
  text += "        HRESULT " + String(member.name) + "(";
  String separator = "\n";
  for (const ParamSpec& param : member.params) {
    text += separator + "            " + Parameter(param);
    separator = ",\n";
  }
  if (member.result != AutoType::Void) {
    text += separator + "            [out, retval] " + String(TypeName(member.result)) + "*";
  }
  return text + ");\n";
}

String Attributes(std::initializer_list<String> attributes, std::string_view indent) {
  String text = String(indent) + "[\n";
  String separator;
  for (const String& attribute : attributes) {
    text += separator + String(indent) + "    " + attribute;
    separator = ",\n";
  }
  return text + "\n" + String(indent) + "]\n";
}

String Version() {
  return std::to_string(kLibrary.major_version) + "." + std::to_string(kLibrary.minor_version);
}

}  // namespace

String TypeLibrarySource() {
  String text =
      "// The KelvaneConsole type library, made from src/component/member_table.hpp by TypeLibrarySource();\n"
      "// a test keeps this file equal to it. widl compiles it; the ordinary build does not need it.\n"
      "import \"oaidl.idl\";\n"
      "import \"ocidl.idl\";\n\n";
  text +=
      Attributes({"uuid(" + String(kLibrary.guid) + ")", "version(" + Version() + ")",
                  "lcid(" + std::to_string(kLibrary.locale) + ")",
                  "helpstring(" + Quoted(kLibrary.help) + ")", "helpfile(" + Quoted(kLibrary.help_file) + ")",
                  "helpcontext(" + std::to_string(kLibrary.help_context) + ")"},
                 "");
  text += "library " + String(kLibrary.name) + "\n{\n    importlib(\"stdole2.tlb\");\n\n";
  text += "    interface " + String(kInterface.name) + ";\n\n";

  text +=
      Attributes({"uuid(" + String(kLineStyles.guid) + ")", "helpstring(" + Quoted(kLineStyles.help) + ")",
                  "helpcontext(" + std::to_string(kLineStyles.help_context) + ")"},
                 "    ");
  text += "    enum " + String(kLineStyles.name) + " {\n";
  String separator;
  for (const EnumMemberSpec& style : kLineStyleMembers) {
    text += separator + "        " + String(style.name) + " = " + std::to_string(style.value);
    separator = ",\n";
  }
  text += "\n    };\n\n";

  text += Attributes({"odl", "uuid(" + String(kInterface.guid) + ")", "version(" + Version() + ")", "hidden",
                      "dual", "nonextensible", "oleautomation", "helpstring(" + Quoted(kInterface.help) + ")",
                      "helpcontext(" + std::to_string(kInterface.help_context) + ")"},
                     "    ");
  text += "    interface " + String(kInterface.name) + " : IDispatch {\n";
  separator = "";
  for (const MemberSpec& member : kMembers) {
    text += separator + Member(member);
    separator = "\n";
  }
  text += "    };\n\n";

  text += Attributes(
      {"uuid(" + String(kClass.guid) + ")", "version(" + Version() + ")",
       "helpstring(" + Quoted(kClass.help) + ")", "helpcontext(" + std::to_string(kClass.help_context) + ")"},
      "    ");
  text += "    coclass " + String(kClass.name) + " {\n        [default] interface " +
          String(kInterface.name) + ";\n    };\n};\n";
  return text;
}

}  // namespace KelvaneConsole::component
