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
  std::ostringstream out;
  switch (v.GetKind()) {
    case Variant::Kind::Missing:
      return "Missing";
    case Variant::Kind::Empty:
      return "Empty";
    case Variant::Kind::Null:
      return "Null";
    case Variant::Kind::Boolean:
      out << "Boolean " << v.IntegerValue();
      break;
    case Variant::Kind::Integer:
      out << "Integer " << v.IntegerValue();
      break;
    case Variant::Kind::Long:
      out << "Long " << v.IntegerValue();
      break;
    case Variant::Kind::Double:
      out << "Double " << v.DoubleValue();
      break;
    case Variant::Kind::String:
      out << "String " << std::quoted(v.StringValue());
      break;
  }
  return out.str();
}
std::string Show(const std::vector<Variant>& values) {
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

std::vector<ScenarioStep> Scenario() {
  using KelvaneConsole::kcLineDoubleLine;
  // clang-format off
  return {
    {"Load", kMethod, {}, {}, [](Console& c) { c.Load(); return Args{kEmpty}; }},
    {"Caption", kPut, {"Scenario"}, {}, [](Console& c) { c.Caption("Scenario"); return Args{kEmpty}; }},
    {"ClearScreen", kMethod, {kWhite, kDarkBlue}, {}, [](Console& c) { return Args{c.ClearScreen(kWhite, kDarkBlue)}; }},
    // A width given as text and a height as a Double come back as Integers, the width clipped.
    {"DrawBox", kMethod, {2, 1, "100", 3.0, kYellow, kDarkRed, 3, true}, {2, 3}, [](Console& c) {
       Integer w = 100, h = 3; bool r = c.DrawBox(2, 1, w, h, kYellow, kDarkRed, kcLineDoubleLine, true); return Args{r, w, h}; }},
    {"DrawHLine", kMethod, {4, 2, 5, kWhite, kDarkBlue}, {2}, [](Console& c) {
       Integer w = 5; bool r = c.DrawHLine(4, 2, w, kWhite, kDarkBlue); return Args{r, w}; }},
    {"DrawVLine", kMethod, {0, 2, 9, kRed, kBlack}, {2}, [](Console& c) {
       Integer h = 9; bool r = c.DrawVLine(0, 2, h, kRed, kBlack); return Args{r, h}; }},
    {"SetColor", kMethod, {kYellow}, {}, [](Console& c) { return Args{c.SetColor(kYellow)}; }},
    {"SetCursorPos", kMethod, {3, 2}, {}, [](Console& c) { return Args{c.SetCursorPos(3, 2)}; }},
    {"WriteText", kMethod, {"Hi", Missing, Missing, true}, {}, [](Console& c) { return Args{c.WriteText("Hi", Missing, Missing, true)}; }},
    {"WriteText", kMethod, {"there", "255"}, {}, [](Console& c) { return Args{c.WriteText("there", "255")}; }},
    {"SetScreenData", kMethod, {"xy", kWhite, kDarkRed, 19, 4}, {0}, [](Console& c) {
       String ch = "xy"; bool r = c.SetScreenData(ch, kWhite, kDarkRed, 19, 4); return Args{r, ch}; }},
    {"GetScreenData", kMethod, {kEmpty, kEmpty, kEmpty, 19, 4}, {0, 1, 2}, [](Console& c) {
       String ch; Long f = 0, b = 0; bool r = c.GetScreenData(ch, f, b, 19, 4); return Args{r, ch, f, b}; }},
    {"GetCursorPos", kMethod, {kEmpty, kEmpty}, {0, 1}, [](Console& c) {
       Integer x = 0, y = 0; bool r = c.GetCursorPos(x, y); return Args{r, x, y}; }},
    {"GetWindowSize", kMethod, {kEmpty, kEmpty}, {0, 1}, [](Console& c) {
       Integer w = 0, h = 0; bool r = c.GetWindowSize(w, h); return Args{r, w, h}; }},
    {"CursorSize", kPut, {"50"}, {}, [](Console& c) { c.CursorSize(50); return Args{kEmpty}; }},
    {"CursorSize", kGet, {}, {}, [](Console& c) { return Args{c.CursorSize()}; }},
    {"CursorVisible", kPut, {0}, {}, [](Console& c) { c.CursorVisible(false); return Args{kEmpty}; }},
    {"CursorVisible", kGet, {}, {}, [](Console& c) { return Args{c.CursorVisible()}; }},
    {"Page", kPut, {2}, {}, [](Console& c) { c.Page(2); return Args{kEmpty}; }},
    {"ClearScreen", kMethod, {kBlack, kYellow}, {}, [](Console& c) { return Args{c.ClearScreen(kBlack, kYellow)}; }},
    {"WriteText", kMethod, {"two"}, {}, [](Console& c) { return Args{c.WriteText("two")}; }},
    {"PageCopy", kMethod, {0, 1}, {}, [](Console& c) { return Args{c.PageCopy(0, 1)}; }},
    {"Page", kGet, {}, {}, [](Console& c) { return Args{c.Page()}; }},
    {"GetInputKey", kMethod, {true}, {}, [](Console& c) { return Args{c.GetInputKey(true)}; }},
    {"GetInputChar", kMethod, {}, {}, [](Console& c) { return Args{c.GetInputChar()}; }},
    {"GetInputLine", kMethod, {"? ", 2}, {}, [](Console& c) { return Args{c.GetInputLine("? ", 2)}; }},
    {"ToggleFullScreen", kMethod, {}, {}, [](Console& c) { c.ToggleFullScreen(); return Args{kEmpty}; }},
    {"Caption", kGet, {}, {}, [](Console& c) { return Args{c.Caption()}; }},
  };
  // clang-format on
}

struct ScenarioRun {
  std::vector<std::string> log;
  std::vector<platform::ConsoleView> pages;  // 0, 1 and 2, each shown in turn at the end
};

ScenarioRun RunScenario(EmulatedConsole& emulated, bool by_dispatch) {
  platform::InstallPlatform(&emulated);
  platform::ScriptedKeys keys;
  keys.AddText("abxyz\r");
  emulated.SetKeySource(&keys);
  ScenarioRun run;
  {
    Console console;
    Dispatch dispatch(console);
    for (ScenarioStep& step : Scenario()) {
      if (!by_dispatch) {
        run.log.push_back(Show(step.by_cxx(console)));
        continue;
      }
      Args shown{kEmpty};
      const HResult status =
          dispatch.Invoke(dispatch.GetIDOfName(step.name), step.kind, step.args, &shown[0]);
      EXPECT_EQ(status, KelvaneConsole::kSOk) << step.name;
      for (size_t i : step.written) shown.push_back(step.args[i]);
      run.log.push_back(Show(shown));
    }
    for (Integer page : {0, 1, 2}) {
      console.Page(page);
      run.pages.push_back(emulated.View());
    }
    console.Unload();
  }
  emulated.SetKeySource(nullptr);
  return run;
}

TEST_F(DispatchTest, AScenarioByDispIdGivesTheScreensOfCxxCalls) {
  EmulatedConsole second;
  second.SetConsoleSize(20, 5);
  second.SetSystemDirectory("/opt/kelvane/share");
  const ScenarioRun by_cxx = RunScenario(emulated_, false);
  const ScenarioRun by_dispatch = RunScenario(second, true);
  platform::InstallPlatform(&emulated_);

  EXPECT_EQ(by_dispatch.log, by_cxx.log);
  const std::vector<std::string> expected = {"Empty",
                                             "Empty",
                                             "Boolean -1",
                                             "Boolean -1, Integer 18, Integer 3",
                                             "Boolean -1, Integer 5",
                                             "Boolean -1, Integer 3",
                                             "Boolean -1",
                                             "Boolean -1",
                                             "Boolean -1",
                                             "Boolean -1",
                                             "Boolean -1, String \"x\"",
                                             "Boolean -1, String \"x\", Long 16777215, Long 128",
                                             "Boolean 0, Integer 0, Integer 3",
                                             "Boolean 0, Integer 20, Integer 5",
                                             "Empty",
                                             "Integer 50",
                                             "Empty",
                                             "Boolean 0",
                                             "Empty",
                                             "Boolean -1",
                                             "Boolean -1",
                                             "Boolean -1",
                                             "Integer 2",
                                             "Integer 65",
                                             "String \"b\"",
                                             "String \"xy\"",
                                             "Empty",
                                             "String \"Scenario\""};
  EXPECT_EQ(by_cxx.log, expected);
  ASSERT_EQ(by_dispatch.pages.size(), 3u);
  for (size_t page = 0; page < 3; ++page) {
    const platform::ConsoleView &a = by_cxx.pages[page], &b = by_dispatch.pages[page];
    EXPECT_EQ(a.cells, b.cells) << "page " << page;
    EXPECT_EQ(a.cursor, b.cursor) << "page " << page;
    EXPECT_EQ(std::tie(a.cursor_size, a.cursor_visible, a.full_screen, a.title),
              std::tie(b.cursor_size, b.cursor_visible, b.full_screen, b.title))
        << "page " << page;
  }
  // Page 0 as both drew it: the box clipped at the right edge, over it the colour-only line, the blank
  // column, the text, the cell at the corner.
  EXPECT_EQ(by_cxx.pages[0].cells[static_cast<size_t>(1 * 20 + 2)].Char, 0xC9);  // ╔ at (2, 1)
  EXPECT_EQ(by_cxx.pages[0].cells[static_cast<size_t>(2 * 20 + 3)].Char, 'H');
  EXPECT_EQ(by_cxx.pages[0].cells[static_cast<size_t>(4 * 20 + 19)].Char, 'x');
}

// --- arguments by reference ---

// A script's variables are Variants of whatever kind they last held; each is converted on the way in and
// receives the value written, as the parameter's type.
TEST_F(DispatchTest, ByReferenceArgumentsOfAnyKindReceiveTheValuesWrittenBack) {
  Ok("Load", kMethod);
  Args box{"15", 3.0, "30", 2.4, kWhite, kDarkBlue};
  EXPECT_EQ(Show(Ok("DrawBox", kMethod, box)), "Boolean -1");
  EXPECT_EQ(Show(box), "String \"15\", Double 3, Integer 5, Integer 2, Long 16777215, Long 8388608");
  Args hline{0, 0, true, kRed, kBlack};  // True is -1: too short, an error, nothing written back
  ExceptionInfo error;
  EXPECT_EQ(Hex(Call("DrawHLine", kMethod, hline, nullptr, &error)), "0x80020009");
  EXPECT_EQ(error.Number, 30059);
  EXPECT_EQ(Show(hline[2]), "Boolean -1");
  Args vline{19, 3, "7", kRed, kBlack};
  Ok("DrawVLine", kMethod, vline);
  EXPECT_EQ(Show(vline[2]), "Integer 2");

  Args set{"Zed", "255", kEmpty, 1, 1};
  Ok("SetScreenData", kMethod, set);
  EXPECT_EQ(Show(set), "String \"Z\", String \"255\", Empty, Long 1, Long 1");
  Args get{7, "12", Variant::Empty(), 1, 1};
  Ok("GetScreenData", kMethod, get);
  EXPECT_EQ(Show(get), "String \"Z\", Long 255, Long 0, Long 1, Long 1");  // an Empty colour is black

  Ok("SetCursorPos", kMethod, {4, 3});
  Args at{"1", 9.5};
  EXPECT_EQ(Show(Ok("GetCursorPos", kMethod, at)), "Boolean 0");
  EXPECT_EQ(Show(at), "Integer 4, Integer 3");
  Args size{kEmpty, kEmpty};
  Ok("GetWindowSize", kMethod, size);
  EXPECT_EQ(Show(size), "Integer 20, Integer 5");

  // An argument that does not convert is refused before the call; Missing is left alone.
  Args refused{Variant::Null(), kEmpty};
  EXPECT_EQ(Hex(Call("GetWindowSize", kMethod, refused)), "0x80020005");
  EXPECT_EQ(Show(refused), "Null, Empty");
  Args omitted{Missing, kRed};
  Ok("SetScreenData", kMethod, omitted);
  EXPECT_EQ(Show(omitted), "Missing, Long 255");
}

// --- omitted optionals and their defaults ---

// LineStyle omitted or Missing: 1 for a box and a column (blanks), 0 for a row (colours only);
// DrawShadow omitted: none.
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
  // Typed optionals: no prompt, no limit, the current page.
  platform::ScriptedKeys keys;
  keys.AddText("ok\r");
  emulated_.SetKeySource(&keys);
  EXPECT_EQ(Show(Ok("GetInputLine", kMethod)), "String \"ok\"");
  emulated_.SetKeySource(nullptr);
}

// --- statuses ---

TEST_F(DispatchTest, EveryStatusAndTheMemberNotCalledWhenItIsNotS_OK) {
  Ok("Load", kMethod);
  const auto kMethodOrGet = static_cast<InvokeKind>(3);  // as Visual Basic asks for a result
  struct Case {
    const char* name;
    InvokeKind kind;
    Args args;
    const char* status;
  };
  // clang-format off
  const Case cases[] = {
    {"NoSuchMember", kMethod, {}, "0x80020003"},
    {"Caption", kMethod, {}, "0x80020003"},         // a property is no method
    {"DrawBox", kGet, {0, 0, 1, 1, 0, 0}, "0x80020003"},
    {"Unload", kPut, {}, "0x80020003"},
    {"DrawBox", kMethod, {0, 0, 1}, "0x8002000F"},  // Height, ForeColor and BackColor omitted
    {"DrawBox", kMethod, {0, Missing, 1, 1, 0, 0}, "0x8002000F"},
    {"Page", kPut, {}, "0x8002000F"},
    {"Unload", kMethod, {1}, "0x8002000E"},
    {"Page", kGet, {1}, "0x8002000E"},
    {"Page", kPut, {1, 2}, "0x8002000E"},
    {"SetColor", kMethod, {0, 0, 0, 0}, "0x8002000E"},
    {"DrawBox", kMethod, {"abc", 70000, 1, 1, 0, 0}, "0x80020005"},  // the first that fails counts
    {"DrawBox", kMethod, {0, 70000, "abc", 1, 0, 0}, "0x8002000A"},
    {"DrawBox", kMethod, {0, 0, 1, 1, 0, 0, "double"}, "0x80020005"},
    {"DrawBox", kMethod, {0, 0, 1, 1, 0, 0, 1, "maybe"}, "0x80020005"},
    {"DrawHLine", kMethod, {0, 0, 1, 0, 3e9}, "0x8002000A"},
    {"Caption", kPut, {Variant::Null()}, "0x80020005"},
    {"CursorVisible", kPut, {Missing}, "0x8002000F"},
    {"Page", kPut, {25}, "0x80020009"},
  };
  // clang-format on
  for (const Case& c : cases) {
    Args args = c.args;
    Variant result = "untouched";
    emulated_.ResetCallCounts();
    EXPECT_EQ(Hex(Call(c.name, c.kind, args, &result)), c.status) << c.name;
    EXPECT_EQ(Show(result), "String \"untouched\"") << c.name;
    // Only the raised error comes from inside the member.
    EXPECT_EQ(emulated_.CallCount(Op::EndOfCall), std::string(c.status) == "0x80020009" ? 1 : 0) << c.name;
  }
  // Method | PropertyGet reaches a method and a getter; a member without a result leaves it alone.
  Variant result = "untouched";
  Args args{0, 0, 1, 1, kWhite, kDarkBlue};
  EXPECT_EQ(Call("DrawBox", kMethodOrGet, args, &result), KelvaneConsole::kSOk);
  EXPECT_EQ(Show(result), "Boolean -1");
  Args none;
  EXPECT_EQ(Call("Page", kMethodOrGet, none, &result), KelvaneConsole::kSOk);
  EXPECT_EQ(Show(result), "Integer 0");
  EXPECT_EQ(Call("ToggleFullScreen", kMethod, none, &result), KelvaneConsole::kSOk);
  EXPECT_EQ(Show(result), "Integer 0");
  EXPECT_EQ(Call("ToggleFullScreen", kMethod, none), KelvaneConsole::kSOk);  // no result asked for
}

TEST_F(DispatchTest, NamesInAnyCase) {
  EXPECT_EQ(dispatch_.GetIDOfName("DrawBox"), 0x60030004);
  EXPECT_EQ(dispatch_.GetIDOfName("drawbox"), 0x60030004);
  EXPECT_EQ(dispatch_.GetIDOfName("CAPTION"), 0x68030003);
  EXPECT_EQ(dispatch_.GetIDOfName("unLOAD"), 0x60030025);
  for (const char* unknown : {"", "Draw Box", "DrawBox2", "zzzHandleFromPage", "New_Page"}) {
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
    std::string code, source, description;
  };
  const Case cases[] = {
      {"CursorSize",
       kGet,
       {},
       "0x800A7564",
       "KelvaneConsole",
       "Operation failed.  The console has not yet been loaded."},
      {"Load", kMethod, {}, "0x0", "", ""},
      {"Load",
       kMethod,
       {},
       "0x800A7569",
       "KelvaneConsole.Load",
       "Console already loaded.  You may only use one console per process (application)."},
      {"Page", kPut, {20}, "0x800A7565", "KelvaneConsole.Screen", "Invalid Page specified."},
      {"DrawBox",
       kMethod,
       {0, 0, 1, 1, 0, 0, 1, false, -1},
       "0x800A7565",
       "KelvaneConsole.DrawBox",
       "Invalid page specified."},
      {"SaveScreen",
       kMethod,
       {folder / ""},
       "0x800A004B",
       "KelvaneConsole.SaveScreen",
       "Path/File Access Error."},
      {"LoadScreen",
       kMethod,
       {folder / "no/such/folder"},
       "0x800A004B",
       "KelvaneConsole.LoadScreen",
       "Path/File Access Error."},
  };
  for (const Case& c : cases) {
    Args args = c.args;
    ExceptionInfo error;
    error.Number = 12345;
    const HResult status = Call(c.name, c.kind, args, nullptr, &error);
    if (c.code == "0x0") {
      EXPECT_EQ(status, KelvaneConsole::kSOk);
      EXPECT_EQ(error.Number, 12345);  // untouched
      continue;
    }
    EXPECT_EQ(Hex(status), "0x80020009") << c.name;
    EXPECT_EQ(Hex(error.Code), c.code) << c.name;
    EXPECT_EQ(error.Number, static_cast<Long>(error.Code & 0xFFFF)) << c.name;
    EXPECT_EQ(error.Source, c.source);
    EXPECT_EQ(error.Description, c.description);
    EXPECT_EQ(error.HelpFile, "/opt/kelvane/share/KelvaneSG3.chm") << c.name;
    EXPECT_EQ(error.HelpContext, 1000) << c.name;
  }
  // Without an exception record the status alone.
  Args args{20};
  EXPECT_EQ(Hex(Call("Page", kPut, args)), "0x80020009");
}

}  // namespace
}  // namespace kelvane::testing
