// What every member that takes a PageIndex or needs Load shares, as one table: its result or error
// before Load, with a PageIndex that does not convert ("x") or lies outside 0..19 (-1, 20), and in a
// window scrolled inside a larger buffer, whose edges, not the buffer's, bound the member.
#include <gtest/gtest.h>

#include <functional>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "support/console_fixture.hpp"
#include "support/scratch_folder.hpp"

namespace kelvane::testing {
namespace {

// The arguments as text, separated by spaces; numbers given as Hex are six hex digits.
struct Hex {
  Long value;
};
std::ostream& operator<<(std::ostream& out, Hex h) {
  return out << std::uppercase << std::hex << std::setw(6) << std::setfill('0') << h.value << std::dec;
}
template <class... Parts>
std::string Say(const Parts&... parts) {
  std::ostringstream out;
  out << std::boolalpha;
  ((out << parts << ' '), ...);
  std::string text = out.str();
  text.pop_back();
  return text;
}

std::string Err(Long number, const std::string& member, const std::string& text) {
  return Say(number, "KelvaneConsole" + member + ":", text);
}
std::string Shape(const std::string& member) {
  return Err(30059, "." + member,
             "Invalid X, Y, Width, or Height parameters for Console " + member + " function.");
}
std::string BadPage(const std::string& member) { return Err(30053, "." + member, "Invalid page specified."); }
const std::string kNotLoaded = Err(30052, "", "Operation failed.  The console has not yet been loaded.");
const std::string kBadCursor = Err(30056, ".SetCursorPos", "Invalid console cursor coordinates.");
const std::string kTypeMismatch = Err(13, "", "Type mismatch");
const std::string kDone = "done";

// The scrolled window's two corners, then a cell just outside each of its four edges.
const Coord kPoints[] = {{10, 100}, {89, 124}, {9, 100}, {10, 99}, {90, 124}, {89, 125}};
using Outcomes = std::vector<std::string>;
Outcomes Six(const std::string& near, const std::string& far, const std::string& outside) {
  return {near, far, outside, outside, outside, outside};
}

struct Member {
  const char* name;
  std::function<std::string(Integer x, Integer y, const Variant& page)> call;
  std::string before_load;
  Outcomes bad_pages;  // for "x", -1 and 20; none for a member without PageIndex
  Outcomes scrolled;   // at kPoints; none when the window plays no part
};

class ContractTest : public ConsoleTest {
 protected:
  // The shown page's cursor and current attribute, once there is a console.
  std::string At() {
    if (!emulated_.IsAllocated()) return "-";
    return Say(CursorOf(Shown()).X, CursorOf(Shown()).Y, Hex{CurrentAttribute(Shown())});
  }
  // Where the one 's' on the shown buffer is; it is blanked again.
  std::string FindS() {
    if (!emulated_.IsAllocated()) return "-";
    const auto cells = emulated_.ReadCells(Shown());
    const int width = emulated_.BufferInfo(Shown())->dwSize.X;
    for (size_t i = 0; i < cells.size(); ++i) {
      if (cells[i].Char != 's') continue;
      const Coord at{static_cast<short>(i % width), static_cast<short>(i / width)};
      Poke(Shown(), at, ' ', 0x1F);
      return Say(at.X, at.Y);
    }
    return "none";
  }
  // A screen file member's outcome and then its file, which holds "old" before the call: "old" when
  // untouched, otherwise its size and the characters of its first record and of its last cell's.
  std::string OnFile(const std::function<std::string()>& call) {
    WriteFile(file_, "old");
    const std::string outcome = ErrorOf(call);
    const std::string bytes = ReadFile(file_);
    if (bytes == "old") return Say(outcome, bytes);
    return Say(outcome, bytes.size(), bytes.front(), bytes[bytes.size() - 8]);
  }

  std::vector<Member> Members() {
    Console& c = console_;
    const std::string kept = "11 101 00001F";  // the cursor and colours stay
    const std::string cleared = "false 3 2 00001F";
    // clang-format off
    return {
      {"ClearScreen", [&](Integer, Integer, const Variant& p) { bool r = c.ClearScreen(kYellow, kDarkRed, p); return Say(r, At()); },
       "false -", {cleared, cleared, cleared}, Six("true 10 100 00004E", "true 10 100 00004E", "true 10 100 00004E")},
      {"SetCursorPos", [&](Integer x, Integer y, const Variant& p) { return Say(c.SetCursorPos(x, y, p)); },
       "false", {"false", "false", "false"}, Six("true", "true", kBadCursor)},
      {"GetCursorPos", [&](Integer, Integer, const Variant& p) { Integer x = 7, y = 9; bool r = c.GetCursorPos(x, y, p); return Say(r, x, y); },
       "false 7 9", {"false 0 0", "false 0 0", "false 0 0"}, Six("false 11 101", "false 11 101", "false 11 101")},
      {"SetColor", [&](Integer, Integer, const Variant& p) { bool r = c.SetColor(kYellow, kDarkRed, p); return Say(r, At()); },
       "false -", {cleared, cleared, cleared}, {}},
      {"SetScreenData", [&](Integer x, Integer y, const Variant& p) { String ch = "sq"; bool r = c.SetScreenData(ch, kYellow, kDarkRed, x, y, p); return Say(r, ch, FindS()); },
       "false sq -", {"false sq none", "false sq none", "false sq none"},
       // Off the window, each coordinate falls back to the cursor's on its own axis.
       {"true s 10 100", "true s 89 124", "true s 11 100", "true s 10 101", "true s 11 124", "true s 89 101"}},
      {"GetScreenData", [&](Integer x, Integer y, const Variant& p) { String ch = "q"; Long f = 11, b = 12; bool r = c.GetScreenData(ch, f, b, x, y, p); return Say(r, ch, Hex{f}, Hex{b}); },
       // "x" and -1 read the current page, at the origin; a page past the table reads empty and black.
       "false q 00000B 00000C", {"true A 00FFFF 800000", "true A 00FFFF 800000", "true  000000 000000"},
       {"true N 00FFFF 800000", "true F 00FFFF 800000", "true a 00FFFF 800000", "true b 00FFFF 800000", "true c 00FFFF 800000", "true d 00FFFF 800000"}},
      {"WriteText", [&](Integer, Integer, const Variant& p) { bool r = c.WriteText("w", kYellow, kDarkRed, true, p); return Say(r, At()); },
       "false -", {cleared, cleared, cleared}, {}},
      {"DrawHLine", [&](Integer x, Integer y, const Variant& p) { Integer w = 3; bool r = c.DrawHLine(x, y, w, kWhite, kDarkBlue, Style(2), p); return Say(r, w, At()); },
       "false 3 -", Outcomes(3, BadPage("DrawHLine")), Six("true 3 " + kept, "true 1 " + kept, Shape("DrawHLine"))},
      {"DrawVLine", [&](Integer x, Integer y, const Variant& p) { Integer h = 3; bool r = c.DrawVLine(x, y, h, kWhite, kDarkBlue, Style(2), p); return Say(r, h, At()); },
       "false 3 -", Outcomes(3, BadPage("DrawVLine")), Six("true 3 " + kept, "true 1 " + kept, Shape("DrawVLine"))},
      {"DrawBox", [&](Integer x, Integer y, const Variant& p) { Integer w = 3, h = 2; bool r = c.DrawBox(x, y, w, h, kWhite, kDarkBlue, Style(2), true, p); return Say(r, w, h, At()); },
       "false 3 2 -", Outcomes(3, BadPage("DrawBox")), Six("true 3 2 " + kept, "true 1 1 " + kept, Shape("DrawBox"))},
      {"SaveScreen", [&](Integer, Integer, const Variant& p) { return OnFile([&] { return Say(c.SaveScreen(file_, p)); }); },
       kNotLoaded + " old", {kTypeMismatch + " old", BadPage("SaveScreen") + " old", BadPage("SaveScreen") + " old"},
       Six("true 8004 N F", "true 8004 N F", "true 8004 N F")},
      {"LoadScreen", [&](Integer, Integer, const Variant& p) { return OnFile([&] { return Say(c.LoadScreen(file_, p)); }); },
       kNotLoaded + " old", {kTypeMismatch + " old", BadPage("LoadScreen") + " old", BadPage("LoadScreen") + " old"}, {}},
      // Without a PageIndex: the loaded check alone.
      {"Page", [&](Integer, Integer, const Variant&) { return Say(c.Page()); }, kNotLoaded, {}, {}},
      {"Page=", [&](Integer, Integer, const Variant&) { return c.Page(3), kDone; }, kDone, {}, {}},
      {"CursorSize", [&](Integer, Integer, const Variant&) { return Say(c.CursorSize()); }, kNotLoaded, {}, {}},
      {"CursorSize=", [&](Integer, Integer, const Variant&) { return c.CursorSize(50), kDone; }, kNotLoaded, {}, {}},
      {"CursorVisible", [&](Integer, Integer, const Variant&) { return Say(c.CursorVisible()); }, kNotLoaded, {}, {}},
      {"CursorVisible=", [&](Integer, Integer, const Variant&) { return c.CursorVisible(false), kDone; }, kNotLoaded, {}, {}},
      {"GetWindowSize", [&](Integer, Integer, const Variant&) { Integer w = 7, h = 9; bool r = c.GetWindowSize(w, h); return Say(r, w, h); }, kNotLoaded, {}, {}},
      {"Caption", [&](Integer, Integer, const Variant&) { return "[" + c.Caption() + "]"; }, "[]", {}, {}},
      {"Caption=", [&](Integer, Integer, const Variant&) { return c.Caption("ignored"), kDone; }, kDone, {}, {}},
      {"ToggleFullScreen", [&](Integer, Integer, const Variant&) { return c.ToggleFullScreen(), kDone; }, kDone, {}, {}},
      {"GetInputKey", [&](Integer, Integer, const Variant&) { return Say(c.GetInputKey(true)); }, "0", {}, {}},
      {"GetInputChar", [&](Integer, Integer, const Variant&) { return "[" + c.GetInputChar(true) + "]"; }, "[]", {}, {}},
      {"PageCopy", [&](Integer, Integer, const Variant&) { return Say(c.PageCopy(0, 1)); }, "false", {}, {}},
      {"GetInputLine", [&](Integer, Integer, const Variant&) { return "[" + c.GetInputLine("?", 5) + "]"; }, "[]", {}, {}},
      {"Unload", [&](Integer, Integer, const Variant&) { return c.Unload(), kDone; }, kDone, {}, {}},
    };
    // clang-format on
  }

  Console console_;
  ScratchFolder folder_;
  const std::string file_ = folder_ / "screen.bin";
};

TEST_F(ContractTest, BeforeLoadWithABadPageIndexAndInAWindowScrolledInsideALargerBuffer) {
  for (const Member& m : Members()) {
    EXPECT_EQ(ErrorOf([&] { return m.call(0, 0, Missing); }), m.before_load) << m.name;
  }
  EXPECT_FALSE(emulated_.IsAllocated());
  // Page 0 white on dark blue with the cursor at (3, 2) and a yellow 'A' at the origin; it stays so.
  console_.Load();
  const Variant pages[] = {Variant("x"), Variant(-1), Variant(20)};
  for (const Member& m : Members()) {
    for (size_t i = 0; i < m.bad_pages.size(); ++i) {
      console_.ClearScreen(kWhite, kDarkBlue);
      console_.SetCursorPos(3, 2);
      Poke(Shown(), Coord{0, 0}, 'A', 0x1E);
      const Rows screen = Screen(Shown());
      EXPECT_EQ(ErrorOf([&] { return m.call(0, 0, pages[i]); }), m.bad_pages[i]) << m.name << " page " << i;
      EXPECT_EQ(Screen(Shown()), screen);
      EXPECT_EQ(console_.Page(), 0);
    }
  }
  // Page 0's buffer is 100 x 300 with the window at columns 10..89, rows 100..124, the cursor at
  // (11, 101), and letters on the cells each member should reach.
  ASSERT_TRUE(emulated_.SetBufferGeometry(Shown(), Coord{100, 300}, SmallRect{10, 100, 89, 124}));
  const std::pair<Coord, char> marks[] = {{{10, 100}, 'N'}, {{89, 124}, 'F'}, {{11, 100}, 'a'},
                                          {{10, 101}, 'b'}, {{11, 124}, 'c'}, {{89, 101}, 'd'}};
  for (const Member& m : Members()) {
    for (size_t i = 0; i < m.scrolled.size(); ++i) {
      console_.ClearScreen(kWhite, kDarkBlue);
      console_.SetCursorPos(11, 101);
      for (const auto& [at, c] : marks) Poke(Shown(), at, c, 0x1E);
      EXPECT_EQ(ErrorOf([&] { return m.call(kPoints[i].X, kPoints[i].Y, Missing); }), m.scrolled[i])
          << m.name << " at " << kPoints[i].X << "," << kPoints[i].Y;
    }
  }
}

}  // namespace
}  // namespace kelvane::testing
