// Late binding on the emulated console: one scenario by C++ calls and by DISPID gives the same screens;
// arguments by reference of any kind and what is written back into them; omitted optionals and their
// defaults; every status of Invoke; the error records a client receives.
#include <kelvane/dispatch.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <iomanip>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

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

// --- one scenario, both ways ---

struct ScenarioStep {
  const char* name;
  InvokeKind kind;
  Args args;
  std::vector<size_t> written;           // arguments shown after the call
  std::function<Args(Console&)> by_cxx;  // the result (Empty for none), then what was written back
};

// Width as text and Height as a Double, outputs as Empty: each comes back as its parameter's type.
std::vector<ScenarioStep> Scenario() {
  using KelvaneConsole::kcLineDoubleLine;
  // clang-format off
  return {
    {"Load", kMethod, {}, {}, [](Console& c) { c.Load(); return Args{kEmpty}; }},
    {"Caption", kPut, {"Scenario"}, {}, [](Console& c) { c.Caption("Scenario"); return Args{kEmpty}; }},
    {"ClearScreen", kMethod, {kWhite, kDarkBlue}, {}, [](Console& c) { return Args{c.ClearScreen(kWhite, kDarkBlue)}; }},
    {"DrawBox", kMethod, {2, 1, "100", 3.0, kYellow, kDarkRed, 3, true}, {2, 3},
     [](Console& c) { Integer w = 100, h = 3; return Args{c.DrawBox(2, 1, w, h, kYellow, kDarkRed, kcLineDoubleLine, true), w, h}; }},
    {"DrawHLine", kMethod, {4, 2, 5, kWhite, kDarkBlue}, {2}, [](Console& c) { Integer w = 5; return Args{c.DrawHLine(4, 2, w, kWhite, kDarkBlue), w}; }},
    {"DrawVLine", kMethod, {0, 2, 9, kRed, kBlack}, {2}, [](Console& c) { Integer h = 9; return Args{c.DrawVLine(0, 2, h, kRed, kBlack), h}; }},
    {"SetColor", kMethod, {kYellow}, {}, [](Console& c) { return Args{c.SetColor(kYellow)}; }},
    {"SetCursorPos", kMethod, {3, 2}, {}, [](Console& c) { return Args{c.SetCursorPos(3, 2)}; }},
    {"WriteText", kMethod, {"Hi", Missing, Missing, true}, {}, [](Console& c) { return Args{c.WriteText("Hi", Missing, Missing, true)}; }},
    {"WriteText", kMethod, {"there", "255"}, {}, [](Console& c) { return Args{c.WriteText("there", "255")}; }},
    {"SetScreenData", kMethod, {"xy", kWhite, kDarkRed, 19, 4}, {0}, [](Console& c) { String ch = "xy"; return Args{c.SetScreenData(ch, kWhite, kDarkRed, 19, 4), ch}; }},
    {"GetScreenData", kMethod, {kEmpty, kEmpty, kEmpty, 19, 4}, {0, 1, 2},
     [](Console& c) { String ch; Long f = 0, b = 0; return Args{c.GetScreenData(ch, f, b, 19, 4), ch, f, b}; }},
    {"GetCursorPos", kMethod, {kEmpty, 9.5}, {0, 1}, [](Console& c) { Integer x = 0, y = 0; return Args{c.GetCursorPos(x, y), x, y}; }},
    {"GetWindowSize", kMethod, {kEmpty, kEmpty}, {0, 1}, [](Console& c) { Integer w = 0, h = 0; return Args{c.GetWindowSize(w, h), w, h}; }},
    {"CursorSize", kPut, {"50"}, {}, [](Console& c) { c.CursorSize(50); return Args{kEmpty}; }},
    {"CursorVisible", kPut, {0}, {}, [](Console& c) { c.CursorVisible(false); return Args{kEmpty}; }},
    {"CursorSize", kGet, {}, {}, [](Console& c) { return Args{c.CursorSize()}; }},
    {"Page", kPut, {2}, {}, [](Console& c) { c.Page(2); return Args{kEmpty}; }},
    {"WriteText", kMethod, {"two"}, {}, [](Console& c) { return Args{c.WriteText("two")}; }},
    {"PageCopy", kMethod, {0, 1}, {}, [](Console& c) { return Args{c.PageCopy(0, 1)}; }},
    {"GetInputKey", kMethod, {true}, {}, [](Console& c) { return Args{c.GetInputKey(true)}; }},
    {"GetInputLine", kMethod, {"? ", 2}, {}, [](Console& c) { return Args{c.GetInputLine("? ", 2)}; }},
    {"ToggleFullScreen", kMethod, {}, {}, [](Console& c) { c.ToggleFullScreen(); return Args{kEmpty}; }},
    {"Caption", kGet, {}, {}, [](Console& c) { return Args{c.Caption()}; }},
  };
  // clang-format on
}

struct ScenarioRun {
  std::string log;                           // each call's result and what it wrote back, a line each
  std::vector<platform::ConsoleView> pages;  // 0, 1 and 2, each shown in turn at the end
};

ScenarioRun RunScenario(EmulatedConsole& emulated, bool by_dispatch) {
  platform::InstallPlatform(&emulated);
  platform::ScriptedKeys keys;
  keys.AddText("axyz\r");
  emulated.SetKeySource(&keys);
  ScenarioRun run;
  Console console;
  Dispatch dispatch(console);
  for (ScenarioStep& step : Scenario()) {
    Args shown{kEmpty};
    if (by_dispatch) {
      EXPECT_EQ(dispatch.Invoke(dispatch.GetIDOfName(step.name), step.kind, step.args, &shown[0]),
                KelvaneConsole::kSOk)
          << step.name;
      for (size_t i : step.written) shown.push_back(step.args[i]);
    } else {
      shown = step.by_cxx(console);
    }
    run.log += Show(shown) + "\n";
  }
  for (Integer page : {0, 1, 2}) {
    console.Page(page);
    run.pages.push_back(emulated.View());
  }
  console.Unload();
  emulated.SetKeySource(nullptr);
  return run;
}

TEST_F(DispatchTest, AScenarioByDispIdGivesTheResultsAndScreensOfCxxCalls) {
  EmulatedConsole second;
  second.SetConsoleSize(20, 5);
  second.SetSystemDirectory("/opt/kelvane/share");
  const ScenarioRun by_cxx = RunScenario(emulated_, false);
  const ScenarioRun by_dispatch = RunScenario(second, true);
  platform::InstallPlatform(&emulated_);

  EXPECT_EQ(by_dispatch.log, by_cxx.log);
  EXPECT_EQ(
      by_cxx.log,
      "Empty\nEmpty\nBoolean -1\nBoolean -1, Integer 18, Integer 3\nBoolean -1, Integer 5\n"
      "Boolean -1, Integer 3\nBoolean -1\nBoolean -1\nBoolean -1\nBoolean -1\nBoolean -1, String \"x\"\n"
      "Boolean -1, String \"x\", Long 16777215, Long 128\nBoolean 0, Integer 0, Integer 3\n"
      "Boolean 0, Integer 20, Integer 5\nEmpty\nEmpty\nInteger 50\nEmpty\nBoolean -1\nBoolean -1\n"
      "Integer 65\nString \"xy\"\nEmpty\nString \"Scenario\"\n");
  ASSERT_EQ(by_dispatch.pages.size(), 3u);
  for (size_t page = 0; page < 3; ++page) {
    const platform::ConsoleView &a = by_cxx.pages[page], &b = by_dispatch.pages[page];
    EXPECT_EQ(std::tie(a.cells, a.cursor, a.cursor_size, a.cursor_visible, a.full_screen, a.title),
              std::tie(b.cells, b.cursor, b.cursor_size, b.cursor_visible, b.full_screen, b.title))
        << "page " << page;
  }
  // The box's corner, the text and the cell written last, on page 0 and its copy on page 1.
  for (size_t page : {0, 1}) {
    const auto& cells = by_cxx.pages[page].cells;
    EXPECT_EQ(std::string({char(cells[22].Char), char(cells[43].Char), char(cells[99].Char)}), "\xC9Hx");
  }
}

// --- arguments by reference ---

// Written back only after a normal return, and never into an omitted argument; an Empty colour is black.
TEST_F(DispatchTest, ArgumentsAreWrittenBackAfterANormalReturnOnly) {
  Ok("Load", kMethod);
  Args line{0, 0, true, kRed, kBlack};  // True is -1: no length, error 30059
  EXPECT_EQ(Hex(Call("DrawHLine", kMethod, line)), "0x80020009");
  Args refused{Variant::Null(), kEmpty};
  EXPECT_EQ(Hex(Call("GetWindowSize", kMethod, refused)), "0x80020005");
  Args set{Missing, kRed, kEmpty, 1, 1};
  Ok("SetScreenData", kMethod, set);
  Args get{7, "12", 0.0, 1, 1};
  Ok("GetScreenData", kMethod, get);
  EXPECT_EQ(Show(line) + " / " + Show(refused) + " / " + Show(set) + " / " + Show(get),
            "Long 0, Long 0, Boolean -1, Long 255, Long 0 / Null, Empty / Missing, Long 255, Empty, Long 1, "
            "Long 1 / String \" \", Long 255, Long 0, Long 1, Long 1");
}

// --- omitted optionals and their defaults ---

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

// --- statuses ---

TEST_F(DispatchTest, EveryStatusAndNoMemberEnteredUnlessItRaised) {
  Ok("Load", kMethod);
  struct Case {
    const char* name;
    InvokeKind kind;
    Args args;
    const char* status;
  };
  // clang-format off
  const Case cases[] = {
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
    {"Page", kPut, {25}, "0x80020009"},
    {"drawBOX", static_cast<InvokeKind>(3), {0, 0, 1, 1, 0, 0}, "0x0"},  // Method | PropertyGet, as Visual Basic asks
    {"page", static_cast<InvokeKind>(3), {}, "0x0"}, {"ToggleFullScreen", kMethod, {}, "0x0"},
  };
  // clang-format on
  std::string results;
  for (const Case& c : cases) {
    Args args = c.args;
    Variant result = "untouched";
    emulated_.ResetCallCounts();
    EXPECT_EQ(Hex(Call(c.name, c.kind, args, &result)), c.status) << c.name;
    results += Show(result) + " ";
    const bool entered = std::string(c.status) == "0x80020009" || std::string(c.status) == "0x0";
    EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), entered ? 1 : 0) << c.name;
  }
  // A result only from a member that has one and returned.
  EXPECT_EQ(results, Repeat("String \"untouched\" ", 19) + "Boolean -1 Integer 0 String \"untouched\" ");
  for (const char* unknown : {"", "Draw Box", "zzzHandleFromPage", "New_Page"}) {
    EXPECT_EQ(dispatch_.GetIDOfName(unknown), KelvaneConsole::kDispIdUnknown) << unknown;
  }
}

// --- the error records ---

TEST_F(DispatchTest, RaisedErrorsReachTheClientWithEveryField) {
  ScratchFolder folder;
  struct Case {
    const char* name;
    InvokeKind kind;
    Args args;
    std::string record;  // code, source, description
  };
  const Case cases[] = {
      {"CursorSize",
       kGet,
       {},
       "0x800A7564 KelvaneConsole: Operation failed.  The console has not yet been loaded."},
      {"Load", kMethod, {}, ""},
      {"Load",
       kMethod,
       {},
       "0x800A7569 KelvaneConsole.Load: Console already loaded.  You may only use one console "
       "per process (application)."},
      {"Page", kPut, {20}, "0x800A7565 KelvaneConsole.Screen: Invalid Page specified."},
      {"DrawBox",
       kMethod,
       {0, 0, 1, 1, 0, 0, 1, false, -1},
       "0x800A7565 KelvaneConsole.DrawBox: Invalid page specified."},
      {"SaveScreen", kMethod, {folder / ""}, "0x800A004B KelvaneConsole.SaveScreen: Path/File Access Error."},
      {"LoadScreen",
       kMethod,
       {folder / "no/such"},
       "0x800A004B KelvaneConsole.LoadScreen: Path/File Access Error."},
  };
  for (const Case& c : cases) {
    Args args = c.args;
    ExceptionInfo error;
    const HResult status = Call(c.name, c.kind, args, nullptr, &error);
    EXPECT_EQ(Hex(status), c.record.empty() ? "0x0" : "0x80020009") << c.name;
    if (c.record.empty()) continue;
    EXPECT_EQ(Hex(error.Code) + " " + error.Source + ": " + error.Description, c.record);
    EXPECT_EQ(error.Number, static_cast<Long>(error.Code & 0xFFFF)) << c.name;
    EXPECT_EQ(error.HelpFile, "/opt/kelvane/share/KelvaneSG3.chm") << c.name;
    EXPECT_EQ(error.HelpContext, 1000) << c.name;
  }
}

}  // namespace
}  // namespace kelvane::testing
