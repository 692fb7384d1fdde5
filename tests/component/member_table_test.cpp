// The automation boundary, frozen: member order, DISPIDs, parameters (with what C++ writes back) and
// defaults written out here a second time, so that a reorder or a typo in the table fails; and the
// committed type library source, a record of all that and of every help string and GUID, byte for byte,
// is what the table makes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "component/member_table.hpp"
#include "component/type_library.hpp"

namespace KelvaneConsole::component {
namespace {

std::string TypeName(AutoType type) {
  constexpr const char* kNames[] = {
      "", "Integer", "Long", "Boolean", "String", "Variant", "KSConsoleLineStyles"};
  return kNames[static_cast<int>(type)];
}

// "slot DISPID [get|put] Name(Parameter Type [byval|out] [opt[=default]], ...) Result"
std::string Signature(const MemberSpec& m) {
  std::ostringstream out;
  out << m.slot << " 0x" << std::hex << std::uppercase << m.dispid << std::dec << " "
      << (m.kind == InvokeKind::PropertyGet   ? "get "
          : m.kind == InvokeKind::PropertyPut ? "put "
                                              : "")
      << m.name << "(";
  for (size_t i = 0; i < m.params.size(); ++i) {
    const ParamSpec& p = m.params[i];
    out << (i ? ", " : "") << p.name << " " << TypeName(p.type)
        << (p.passing == Passing::ByVal         ? " byval"
            : p.passing == Passing::WrittenBack ? " out"
                                                : "");
    if (p.optional()) out << " opt";
    const DefaultValue& d = p.default_value;
    if (d.kind == DefaultValue::Kind::Number || d.kind == DefaultValue::Kind::Boolean) out << "=" << d.number;
    if (d.kind == DefaultValue::Kind::Text) out << "=\"" << d.text << "\"";
  }
  out << ")" << (m.result == AutoType::Void ? "" : " " + TypeName(m.result)) << " " << m.help_context;
  return out.str();
}

TEST(MemberTable, MembersInFunctionTableOrder) {
  const std::vector<std::string> expected = {
      "7 0x68030003 get Caption() String 1693",
      "8 0x68030003 put Caption(New_Caption String) 1693",
      "9 0x60030004 DrawBox(X Integer, Y Integer, Width Integer out, Height Integer out, ForeColor Long, "
      "BackColor "
      "Long, LineStyle KSConsoleLineStyles opt=1, DrawShadow Boolean opt=0, PageIndex Variant opt) Boolean "
      "1521",
      "10 0x60030005 DrawHLine(X Integer, Y Integer, Width Integer out, ForeColor Long, BackColor Long, "
      "LineStyle "
      "KSConsoleLineStyles opt=0, PageIndex Variant opt) Boolean 1522",
      "11 0x60030006 DrawVLine(X Integer, Y Integer, Height Integer out, ForeColor Long, BackColor Long, "
      "LineStyle "
      "KSConsoleLineStyles opt=1, PageIndex Variant opt) Boolean 1523",
      "12 0x60030008 SaveScreen(FileName String, PageIndex Variant opt) Boolean 1533",
      "13 0x60030009 LoadScreen(FileName String, PageIndex Variant opt) Boolean 1531",
      "14 0x6003000A SetColor(ForeColor Long, BackColor Variant opt, PageIndex Variant opt) Boolean 1534",
      "15 0x6003000B SetScreenData(Char String out opt=\"\", ForeColor Long opt=0, BackColor Variant opt, X "
      "Variant "
      "opt, Y Variant opt, PageIndex Variant opt) Boolean 1536",
      "16 0x6003000C GetScreenData(Char String out, ForeColor Long out, BackColor Long out, X Variant opt, Y "
      "Variant "
      "opt, PageIndex Variant opt) Boolean 1528",
      "17 0x6003000D ToggleFullScreen() 1537",
      "18 0x60030018 ClearScreen(ForeColor Variant opt, BackColor Variant opt, PageIndex Variant opt) "
      "Boolean 1520",
      "19 0x68030002 get CursorSize() Integer 1694",
      "20 0x68030002 put CursorSize(New_CursorSize Integer) 1694",
      "21 0x68030001 get CursorVisible() Boolean 1695",
      "22 0x68030001 put CursorVisible(New_CursorVisible Boolean) 1695",
      "23 0x60030019 GetWindowSize(Width Integer out, Height Integer out) Boolean 1529",
      "24 0x6003001A GetInputKey(NoCursor Boolean opt=0) Integer 1526",
      "25 0x6003001B GetInputChar(NoCursor Boolean opt=0) String 1525",
      "26 0x6003001C Load(StartFullScreen Boolean opt=0) 1530",
      "27 0x68030000 get Page() Integer 1696",
      "28 0x68030000 put Page(New_Page Integer) 1696",
      "29 0x6003001D PageCopy(SourcePage Integer, DestPage Integer) Boolean 1532",
      "30 0x6003001E SetCursorPos(X Integer, Y Integer, PageIndex Variant opt) Boolean 1535",
      "31 0x6003001F GetCursorPos(X Integer out, Y Integer out, PageIndex Variant opt) Boolean 1524",
      "32 0x60030023 GetInputLine(Prompt String opt=\"\", MaxLength Long opt=0, PageIndex Variant opt) "
      "String 1527",
      "33 0x60030024 WriteText(Text String byval, ForeColor Variant opt, BackColor Variant opt, "
      "KeepCursorOnCurrentLine Boolean opt=0, PageIndex Variant opt) Boolean 1539",
      "34 0x60030025 Unload() 1538",
  };
  std::vector<std::string> actual;
  for (const MemberSpec& member : kMembers) actual.push_back(Signature(member));
  EXPECT_EQ(actual, expected);
}

// The IDL is made from the table; the committed copy, which widl compiles, holds the help strings as
// published, double spaces included, and the library's attributes and GUIDs. On a difference the text
// made now is left in the test's working folder.
TEST(MemberTable, TheCommittedTypeLibrarySourceIsTheTables) {
  const std::string path = std::string(KELVANE_SOURCE_DIR) + "/src/component/kelvane_console.idl";
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << path;
  std::stringstream committed;
  committed << file.rdbuf();
  const std::string generated = TypeLibrarySource();
  if (committed.str() != generated) {
    std::ofstream("kelvane_console.idl", std::ios::binary) << generated;
    ADD_FAILURE() << path
                  << " differs from the member table; the table's text is in kelvane_console.idl in the "
                  << "test's working folder (copy it over the committed file if the table is right)";
  }
}

}  // namespace
}  // namespace KelvaneConsole::component
