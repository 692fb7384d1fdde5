// The automation boundary, frozen: member order, DISPIDs, parameters, defaults and help strings written
// out here a second time, so that a reorder or a typo in the table fails; and the committed type library
// source is what the table makes.
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

TEST(MemberTable, HelpStringsExactly) {
  const std::vector<std::pair<std::string, std::string>> help = {
      {"Caption", "Returns/sets the caption in the Title Bar of the console."},
      {"DrawBox",
       "Draws a box area with the given coordinates and style.  Especially useful for with the \"Page\" "
       "property "
       "and \"PageCopy\" method for creating dialog boxes."},
      {"DrawHLine", "Draws a horizontal line with the given coordinates and style."},
      {"DrawVLine", "Draws a vertical line with the given coordinates and style."},
      {"SaveScreen",
       "Saves the contents of the screen for the specified page to a file.  Use in conjunction with the "
       "\"LoadScreen\" method."},
      {"LoadScreen",
       "Loads the specified page with a pre-saved screen.  Extremely useful for easily re-using screens and "
       "minimizing the size of your code."},
      {"SetColor",
       "Sets the foreground and background colors of all subsequently written text using the \"WriteText\" "
       "method."},
      {"SetScreenData",
       "Sets the character and/or color information located at the specified coordinates.  If a coordinate "
       "is "
       "unspecified (X and/or Y), the current respective cursor coordinate is used.  Coordinates are given "
       "in "
       "Columns and Rows."},
      {"GetScreenData",
       "Returns the character and color information located at the specified coordinates.  If a coordinate "
       "is "
       "unspecified (X and/or Y), the current respective cursor coordinate is used.  Coordinates are given "
       "in "
       "Columns and Rows."},
      {"ToggleFullScreen", "Toggles between full (text-mode) screen and a window."},
      {"ClearScreen", "Clears the console's current page, moving the cursor to to upper-left corner."},
      {"CursorSize",
       "Returns/sets the height of the console's cursor.  A value of 1 = line, and a value of 99=whole "
       "block."},
      {"CursorVisible", "Returns/sets whether or not the console's cursor is visible."},
      {"GetWindowSize", "Returns the current width and height of the console in columns and rows."},
      {"GetInputKey",
       "Waits for the user to hit a key, then returns the KeyCode for the pressed key.  (Refer to KeyDown "
       "event "
       "for documentation on KeyCodes) "},
      {"GetInputChar",
       "Waits for the user to hit a key, then returns the character for the pressed key.  (For arrow, "
       "function, "
       "and control keys, use GetInputKey)"},
      {"Load",
       "Loads and displays the console window.  NOTE: This step is REQUIRED prior to executing any other "
       "KelvaneConsole method or property."},
      {"Page",
       "Returns/sets the current page.  It is especially useful to switch between screens for dialog boxes, "
       "multiple screen applications, etc."},
      {"PageCopy",
       "Duplicates a page by copying the contents of one page to another.  This is useful when you wish to "
       "update a screen on another page, then switch to the page.  There are 10 pages available from 0 to "
       "9."},
      {"SetCursorPos",
       "Sets the position of the console's cursor to the specified X and Y coordinates.  Coordinates are "
       "given "
       "in Columns and Rows."},
      {"GetCursorPos",
       "Returns the position of the console's cursor in X and Y parameter coordinates.  Coordinates are "
       "given "
       "in Columns and Rows."},
      {"GetInputLine",
       "Waits for the User to enter data, then returns once the Enter or Tab keys are pressed, returning the "
       "string of text entered by the user."},
      {"WriteText",
       "Writes text at the current cursor location, optionally sets the color to be used (See \"SetColor\" "
       "method), and optionally wraps to the next line."},
      {"Unload",
       "Unloads the console window.  Call this method when you are done using the console window.  After "
       "this "
       "method is called, you may not call any other KelvaneConsole properties or methods until you Load the "
       "console again."},
  };
  // Each member, a property's get and put alike.
  size_t checked = 0;
  for (const MemberSpec& member : kMembers) {
    for (const auto& [name, text] : help) {
      if (member.name != name) continue;
      EXPECT_EQ(member.help, text) << member.name;
      ++checked;
    }
  }
  EXPECT_EQ(checked, kMembers.size());
}

// The IDL is made from the table; the committed copy, which widl compiles, is a second record of the
// boundary and of the library's attributes and GUIDs. On a difference the text made now is left in the
// test's working folder.
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
