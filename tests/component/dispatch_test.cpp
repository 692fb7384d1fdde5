// Late binding on the emulated console: one scenario by DISPID, with arguments by reference of any kind
// and what is written back into them; omitted optionals and their defaults; every status of Invoke; the error
// records a client receives; and the committed type library source, which the member table makes.
#include <kelvane/dispatch.hpp>

#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "component/type_library.hpp"
#include "platform/emulated/key_source.hpp"
#include "support/console_fixture.hpp"
#include "support/scratch_folder.hpp"

namespace kelvane::testing {
namespace {

using KelvaneConsole::Dispatch;
using KelvaneConsole::ExceptionInfo;
using KelvaneConsole::HResult;
using KelvaneConsole::InvokeKind;
using Args = std::vector<Variant>;
constexpr InvokeKind kMethod = InvokeKind::Method;
constexpr InvokeKind kGet = InvokeKind::PropertyGet;
constexpr InvokeKind kPut = InvokeKind::PropertyPut;
const Variant kEmpty = Variant::Empty();

// A value with its kind: "Integer 78", "Boolean -1", "String \"x\"".
std::string Show(const Variant& v) {
  static const char* const kKinds[] = {"Missing", "Empty", "Null",   "Boolean",
                                       "Integer", "Long",  "Double", "String"};
  std::ostringstream out;
  out << kKinds[static_cast<int>(v.GetKind())];
  if (v.GetKind() == Variant::Kind::String) out << " " << std::quoted(v.StringValue());
  if (v.GetKind() == Variant::Kind::Double) out << " " << v.DoubleValue();
  if (v.GetKind() >= Variant::Kind::Boolean && v.GetKind() <= Variant::Kind::Long)
    out << " " << v.IntegerValue();
  return out.str();
}
std::string Show(const Args& values) {
  std::string text;
  for (const Variant& v : values) text += (text.empty() ? "" : ", ") + Show(v);
  return text;
}
std::string Hex(HResult status) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << static_cast<std::uint32_t>(status);
  return out.str();
}

class DispatchTest : public ConsoleTest {
 protected:
  DispatchTest() : ConsoleTest(20, 5) {}
  // Calls `name` by its DISPID; `args` receive what is written back.
  HResult Call(std::string_view name, InvokeKind kind, Args& args, Variant* result = nullptr,
               ExceptionInfo* error = nullptr) {
    return dispatch_.Invoke(dispatch_.GetIDOfName(name), kind, args, result, error);
  }
  // A call that must succeed: its result.
  Variant Ok(std::string_view name, InvokeKind kind, Args& args) {
    Variant result = kEmpty;
    EXPECT_EQ(Hex(Call(name, kind, args, &result)), "0x0") << name;
    return result;
  }
  Variant Ok(std::string_view name, InvokeKind kind, Args&& args = {}) { return Ok(name, kind, args); }

  Console console_;
  Dispatch dispatch_{console_};
};

// One scenario by DISPID, Width as text and Height as a Double, outputs as Empty: each status, result and
// argument written back (as its parameter's type), and the pages that show what the calls drew.
TEST_F(DispatchTest, AScenarioByDispIdGivesEachResultAndScreen) {
  platform::ScriptedKeys keys;
  keys.AddText("axyz\r");
  emulated_.SetKeySource(&keys);
  // clang-format off
  const std::tuple<const char*, InvokeKind, Args, std::vector<size_t>> steps[] = {  // arguments shown after
    {"Load", kMethod, {}, {}}, {"Caption", kPut, {"Scenario"}, {}}, {"ClearScreen", kMethod, {kWhite, kDarkBlue}, {}},
    // Written back after a normal return only, and never into an omitted argument; an Empty colour is
    // black. True is -1: no length, error 30059; Null is no Integer.
    {"DrawHLine", kMethod, {0, 0, true, kRed, kBlack}, {0, 1, 2, 3, 4}},
    {"GetWindowSize", kMethod, {Variant::Null(), kEmpty}, {0, 1}},
    {"SetScreenData", kMethod, {Missing, kRed, kEmpty, 1, 1}, {0, 1, 2, 3, 4}},
    {"GetScreenData", kMethod, {7, "12", 0.0, 1, 1}, {0, 1, 2, 3, 4}},
    {"DrawBox", kMethod, {2, 1, "100", 3.0, kYellow, kDarkRed, 3, true}, {2, 3}},
    {"DrawHLine", kMethod, {4, 2, 5, kWhite, kDarkBlue}, {2}}, {"DrawVLine", kMethod, {0, 2, 9, kRed, kBlack}, {2}},
    {"SetColor", kMethod, {kYellow}, {}}, {"SetCursorPos", kMethod, {3, 2}, {}},
    {"WriteText", kMethod, {"Hi", Missing, Missing, true}, {}}, {"WriteText", kMethod, {"there", "255"}, {}},
    {"SetScreenData", kMethod, {"xy", kWhite, kDarkRed, 19, 4}, {0}},
    {"GetScreenData", kMethod, {kEmpty, kEmpty, kEmpty, 19, 4}, {0, 1, 2}},
    {"GetCursorPos", kMethod, {kEmpty, 9.5}, {0, 1}}, {"GetWindowSize", kMethod, {kEmpty, kEmpty}, {0, 1}},
    {"CursorSize", kPut, {"50"}, {}}, {"CursorVisible", kPut, {0}, {}}, {"CursorSize", kGet, {}, {}},
    {"Page", kPut, {2}, {}}, {"WriteText", kMethod, {"two"}, {}}, {"PageCopy", kMethod, {0, 1}, {}},
    {"GetInputKey", kMethod, {true}, {}}, {"GetInputLine", kMethod, {"? ", 2}, {}},
    {"ToggleFullScreen", kMethod, {}, {}}, {"Caption", kGet, {}, {}}};
  // clang-format on
  std::string log;
  for (auto [name, kind, args, written] : steps) {
    Args shown{kEmpty};
    const HResult status = Call(name, kind, args, &shown[0]);
    for (size_t i : written) shown.push_back(args[i]);
    log += (status == KelvaneConsole::kSOk ? "" : Hex(status) + ": ") + Show(shown) + "\n";
  }
  EXPECT_EQ(
      log,
      "Empty\nEmpty\nBoolean -1\n0x80020009: Empty, Long 0, Long 0, Boolean -1, Long 255, Long 0\n"
      "0x80020005: Empty, Null, Empty\nBoolean -1, Missing, Long 255, Empty, Long 1, Long 1\n"
      "Boolean -1, String \" \", Long 255, Long 0, Long 1, Long 1\nBoolean -1, Integer 18, Integer 3\n"
      "Boolean -1, Integer 5\n"
      "Boolean -1, Integer 3\nBoolean -1\nBoolean -1\nBoolean -1\nBoolean -1\nBoolean -1, String \"x\"\n"
      "Boolean -1, String \"x\", Long 16777215, Long 128\nBoolean 0, Integer 0, Integer 3\n"
      "Boolean 0, Integer 20, Integer 5\nEmpty\nEmpty\nInteger 50\nEmpty\nBoolean -1\nBoolean -1\n"
      "Integer 65\nString \"xy\"\nEmpty\nString \"Scenario\"\n");
  const Rows page0 = Screen(PageBuffer(console_, 0), 0, -1, true);
  EXPECT_EQ(page0,
            (Rows{"                     " + Repeat("1F", 20), "  ╔════════════════╗ 1F0C" + Repeat("4E", 18),
                  "  ║Hithere         ║ 0C1F4E4E4E1C1C1C1C1C" + Repeat("4E", 10),
                  "  ╚════════════════╝ 0C1F" + Repeat("4E", 18),
                  "                   x 0C1F1F1F" + Repeat("08", 15) + "4F"}));
  EXPECT_EQ(Screen(PageBuffer(console_, 1), 0, -1, true), page0);  // the copy
  EXPECT_EQ(Screen(Shown(), 0, 2, true),
            (Rows{"two                  " + Repeat("07", 20), "? xy                 " + Repeat("07", 20)}));
  const platform::CursorInfo cursor = *emulated_.BufferCursorInfo(PageBuffer(console_, 0));
  EXPECT_EQ(cursor.dwSize, 50u);
  EXPECT_FALSE(cursor.bVisible);
  emulated_.SetKeySource(nullptr);
}

// LineStyle omitted or Missing: 1 for a box and a column (blanks), 0 for a row (colours only); no shadow.
TEST_F(DispatchTest, OmittedOptionalsTakeTheTablesDefaults) {
  Ok("Load", kMethod);
  PaintPattern(Shown());
  Ok("DrawHLine", kMethod, {0, 0, 4, kWhite, kDarkBlue});
  Ok("DrawVLine", kMethod, {0, 1, 3, kWhite, kDarkBlue});
  Ok("DrawBox", kMethod, {5, 1, 3, 2, kYellow, kDarkRed});
  Ok("DrawBox", kMethod, {9, 1, 3, 2, kYellow, kDarkRed, Missing, Missing, Missing});
  Ok("DrawHLine", kMethod, {13, 4, 2, kWhite, kDarkBlue, Missing, Missing});
  EXPECT_EQ(Text(Shown()), (Rows{"abcdefghijklmnopqrst", " cdef   j   nopqrstu", " defg   k   opqrstuv",
                                 " efghijklmnopqrstuvw", "efghijklmnopqrstuvwx"}));
  EXPECT_EQ(Attributes(Shown()),
            (Rows{"1F1F1F1F07070707070707070707070707070707", "1F070707074E4E4E074E4E4E0707070707070707",
                  "1F070707074E4E4E074E4E4E0707070707070707", "1F07070707070707070707070707070707070707",
                  "070707070707070707070707071F1F0707070707"}));
}

// Each call's status and, for a raised error, its record: code, source and description, one error of each
// kind of call (the texts of the others are the members' own tests'). No member is entered unless it
// raised or returned.
TEST_F(DispatchTest, EveryStatusAndErrorRecordAndNoMemberEnteredUnlessItRaised) {
  ScratchFolder folder;
  const std::string kRaised = "0x80020009 0x800A";
  struct Case {
    const char* name;
    InvokeKind kind;
    Args args;
    std::string outcome;
  };
  // clang-format off
  const Case cases[] = {
    {"CursorSize", kGet, {}, kRaised + "7564 KelvaneConsole: Operation failed.  The console has not yet been loaded."},
    {"Load", kMethod, {}, "0x0"},
    {"NoSuchMember", kMethod, {}, "0x80020003"}, {"Caption", kMethod, {}, "0x80020003"},
    {"DrawBox", kGet, {0, 0, 1, 1, 0, 0}, "0x80020003"}, {"Unload", kPut, {}, "0x80020003"},
    {"DrawBox", kMethod, {0, 0, 1}, "0x8002000F"}, {"DrawBox", kMethod, {0, Missing, 1, 1, 0, 0}, "0x8002000F"},
    {"Page", kPut, {}, "0x8002000F"}, {"CursorVisible", kPut, {Missing}, "0x8002000F"},
    {"Unload", kMethod, {1}, "0x8002000E"}, {"Page", kGet, {1}, "0x8002000E"}, {"Page", kPut, {1, 2}, "0x8002000E"},
    {"SetColor", kMethod, {0, 0, 0, 0}, "0x8002000E"},
    {"DrawBox", kMethod, {"abc", 70000, 1, 1, 0, 0}, "0x80020005"},  // the first that fails counts
    {"DrawBox", kMethod, {0, 70000, "abc", 1, 0, 0}, "0x8002000A"},
    {"DrawBox", kMethod, {0, 0, 1, 1, 0, 0, "double"}, "0x80020005"}, {"DrawBox", kMethod, {0, 0, 1, 1, 0, 0, 1, "maybe"}, "0x80020005"},
    {"DrawHLine", kMethod, {0, 0, 1, 0, 3e9}, "0x8002000A"}, {"Caption", kPut, {Variant::Null()}, "0x80020005"},
    {"Page", kPut, {25}, kRaised + "7565 KelvaneConsole.Screen: Invalid Page specified."},
    {"DrawBox", kMethod, {0, 0, 1, 1, 0, 0, 1, false, -1}, kRaised + "7565 KelvaneConsole.DrawBox: Invalid page specified."},
    {"SaveScreen", kMethod, {folder / ""}, kRaised + "004B KelvaneConsole.SaveScreen: Path/File Access Error."},
    {"drawBOX", static_cast<InvokeKind>(3), {0, 0, 1, 1, 0, 0}, "0x0"},  // Method | PropertyGet, as Visual Basic asks
    {"page", static_cast<InvokeKind>(3), {}, "0x0"}, {"ToggleFullScreen", kMethod, {}, "0x0"},
  };
  // clang-format on
  std::string results;
  for (const Case& c : cases) {
    Args args = c.args;
    Variant result = "untouched";
    ExceptionInfo error;
    emulated_.ResetCallCounts();
    std::string outcome = Hex(Call(c.name, c.kind, args, &result, &error));
    if (outcome == "0x80020009") {
      outcome += " " + Hex(error.Code) + " " + error.Source + ": " + error.Description;
      EXPECT_EQ(error.Number, static_cast<Long>(error.Code & 0xFFFF)) << c.name;
      EXPECT_EQ(error.HelpFile, "/opt/kelvane/share/KelvaneSG3.chm") << c.name;
      EXPECT_EQ(error.HelpContext, 1000) << c.name;
    }
    EXPECT_EQ(outcome, c.outcome);
    results += Show(result) + " ";
    const bool entered = outcome.starts_with("0x80020009") || outcome == "0x0";
    EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), entered ? 1 : 0) << c.name;
  }
  // A result only from a member that has one and returned.
  EXPECT_EQ(results, Repeat("String \"untouched\" ", 23) + "Boolean -1 Integer 0 String \"untouched\" ");
  for (const char* unknown : {"", "Draw Box", "zzzHandleFromPage", "New_Page"}) {
    EXPECT_EQ(dispatch_.GetIDOfName(unknown), KelvaneConsole::kDispIdUnknown) << unknown;
  }
}

// The IDL is made from the table; the committed copy, which widl compiles, holds the help strings as
// published, double spaces included, and the library's attributes and GUIDs, byte for byte. On a
// difference the text made now is left in the test's working folder.
TEST(MemberTable, TheCommittedTypeLibrarySourceIsTheTables) {
  const std::string path = std::string(KELVANE_SOURCE_DIR) + "/src/component/kelvane_console.idl";
  const std::string committed = ReadFile(path), generated = KelvaneConsole::component::TypeLibrarySource();
  ASSERT_FALSE(committed.empty()) << path;
  if (committed != generated) {
    std::ofstream("kelvane_console.idl", std::ios::binary) << generated;
    ADD_FAILURE() << path << " differs from the member table; the table's text is in kelvane_console.idl in "
                  << "the test's working folder (copy it over the committed file if the table is right)";
  }
}

}  // namespace
}  // namespace kelvane::testing
