// Runs the conformance scripts of conformance/*.test against the emulated console, one test per file.
// A line holds commands separated by ';'; '#' starts a comment. A command is an operation of the console
// interface, a test control (alloc, realloc, buffer, new-geometry, fail, keys, sendkeys, input, keystroke,
// source, system-folder, frame) or `expect WHAT ...`. Handles go by name (in, out, err, null, invalid, bogus
// and those `new` binds); an operation takes an optional name first, `out` when none is given (`in` for the
// input operations). An operation must succeed unless it ends in `fails ERROR` (a control that refuses
// sets no error: `fails 0`); `-> ...` states what it writes back; a word A|B|C runs the command once with
// each of A, B and C; the words null-buffer and null-back pass a null pointer for the operation's buffer
// (array, text, records, structure) or for what it writes back beside it (region, count). Numbers: decimal or
// 0x..; attributes and modes: hex; coordinates X,Y; sizes WxH; rectangles L,T,R,B; texts in double quotes
// with C escapes, repeated by `"ab" x 3`; input records as dVK.CHAR[.STATE][*REPEAT] for a key going down (u
// for up), hex with the repeat in decimal, or mouse, size, menu, focus for the other events.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"
#include "platform/emulated/key_source.hpp"
#include "platform/keyboard.hpp"

namespace kelvane::platform {
namespace {

namespace fs = std::filesystem;

struct Token {
  std::string text;
  bool quoted = false;
};
using Tokens = std::vector<Token>;

std::string Unescape(const std::string& s, size_t& i) {  // from the opening quote to the closing one
  std::string out;
  for (++i; i < s.size() && s[i] != '"'; ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
    } else if (s[++i] == 'x') {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      const std::string from = "nrtab0", to{'\n', '\r', '\t', '\a', '\b', '\0'};
      out += from.find(s[i]) == std::string::npos ? s[i] : to[from.find(s[i])];
    }
  }
  return out;
}

std::vector<Tokens> SplitLine(const std::string& line) {
  std::vector<Tokens> commands(1);
  for (size_t i = 0; i < line.size() && line[i] != '#'; ++i) {
    if (line[i] == ';') {
      commands.emplace_back();
    } else if (line[i] == '"') {
      commands.back().push_back({Unescape(line, i), true});
    } else if (!std::isspace(static_cast<unsigned char>(line[i]))) {
      const size_t end = std::min(line.find_first_of(" \t;#\"", i), line.size());
      commands.back().push_back({line.substr(i, end - i), false});
      i = end - 1;
    }
  }
  std::erase_if(commands, [](const Tokens& t) { return t.empty(); });
  return commands;
}

Dword Number(const std::string& t) { return static_cast<Dword>(std::stoll(t, nullptr, 0)); }
Dword Hex(const std::string& t) { return static_cast<Dword>(std::stoul(t, nullptr, 16)); }
std::vector<Short> Numbers(std::string text) {  // "x,y", "WxH", "l,t,r,b"
  std::replace(text.begin(), text.end(), 'x', ',');
  std::vector<Short> values;
  size_t at = 0;
  do {
    values.push_back(static_cast<Short>(std::stol(text.substr(at))));
    at = text.find(',', at);
  } while (at++ != std::string::npos);
  return values;
}
Coord Point(const std::string& t) { return Coord{Numbers(t).at(0), Numbers(t).at(1)}; }
SmallRect Rect(const std::string& t) {
  const auto v = Numbers(t);
  return SmallRect{v.at(0), v.at(1), v.at(2), v.at(3)};
}
std::string Show(Coord c) { return std::to_string(c.X) + "," + std::to_string(c.Y); }
std::string Show(SmallRect r) { return Show(Coord{r.Left, r.Top}) + "," + Show(Coord{r.Right, r.Bottom}); }

std::string ShowHex(Dword value, const char* format = "%02X") {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Joined(const Tokens& tokens) {  // what a command expects after ->
  std::string joined;
  for (const Token& t : tokens) joined += t.text + " ";
  return joined;
}

const std::pair<Word, std::string> kEvents[] = {
    {kMouseEvent, "mouse"}, {kWindowBufferSizeEvent, "size"}, {kMenuEvent, "menu"}, {kFocusEvent, "focus"}};
InputRecord Record(const std::string& t) {  // with the key's own scan code
  InputRecord r;
  for (const auto& [type, name] : kEvents) r.EventType = t == name ? type : r.EventType;
  unsigned vk = 0, ch = 0, state = 0;
  const size_t star = t.find('*');
  std::sscanf(t.substr(1, star - 1).c_str(), "%x.%x.%x", &vk, &ch, &state);
  const auto repeat = static_cast<Word>(star == std::string::npos ? 1 : std::stoi(t.substr(star + 1)));
  r.KeyEvent =
      KeyEventRecord{t[0] == 'd',           repeat, static_cast<Word>(vk), ScanCode(static_cast<Word>(vk)),
                     static_cast<Word>(ch), state};
  return r;
}
std::string Show(const InputRecord& r) {  // with !SCAN when the scan code is not the key's own
  for (const auto& [type, name] : kEvents)
    if (r.EventType == type) return name;
  const KeyEventRecord& k = r.KeyEvent;
  std::string shown =
      (k.bKeyDown ? "d" : "u") + ShowHex(k.wVirtualKeyCode, "%X") + "." + ShowHex(k.uChar, "%X");
  if (k.dwControlKeyState != 0) shown += "." + ShowHex(k.dwControlKeyState, "%X");
  if (k.wRepeatCount != 1) shown += "*" + std::to_string(k.wRepeatCount);
  if (k.wVirtualScanCode != ScanCode(k.wVirtualKeyCode)) shown += "!" + ShowHex(k.wVirtualScanCode, "%X");
  return shown;
}

// What EndOfCall hands the presenter: repaint (whose spans are the whole window) or scroll N, cursor X,Y,
// title TEXT, full-screen or windowed, input-mode HEX, then the spans as ROW:LEFT-RIGHT.
std::string Show(const ConsoleFrame& f) {
  std::string s = f.repaint         ? "repaint "
                  : f.scrolled != 0 ? "scroll " + std::to_string(f.scrolled) + " "
                                    : "";
  if (f.cursor_changed) s += "cursor " + Show(f.cursor) + " ";
  if (f.title_changed) s += "title " + f.title + " ";
  if (f.display_mode_changed) s += f.full_screen ? "full-screen " : "windowed ";
  if (f.input_mode_changed) s += "input-mode " + ShowHex(f.input_mode, "%X") + " ";
  for (size_t i = 0; !f.repaint && i < f.spans.size(); ++i)
    s += std::to_string(f.spans[i].row) + ":" + std::to_string(f.spans[i].left) + "-" +
         std::to_string(f.spans[i].right) + " ";
  return s;
}
struct Frames final : Presenter {
  std::vector<ConsoleFrame> shown;
  void Present(const ConsoleFrame& frame) noexcept override { shown.push_back(frame); }
};

constexpr CharInfo kUntouched{0xEEEE, 0xEEEE};  // a caller's array cell no call wrote; shows as '~'
const std::string kArrayLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

class Script {
 public:
  void Run(const fs::path& file) {
    std::ifstream in(file);
    ASSERT_TRUE(in) << "cannot open " << file;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      for (const Tokens& command : SplitLine(line)) {
        SCOPED_TRACE(file.filename().string() + ":" + std::to_string(number) + ": " + line);
        Do(command);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }

 private:
  struct Args {  // the arguments of one command, taken from the front
    Tokens t;
    size_t at = 0;
    bool More() const { return at < t.size(); }
    bool Take(const char* word) {
      if (!More() || t[at].quoted || t[at].text != word) return false;
      return ++at;
    }
    std::string Next() {
      const Token& token = t.at(at++);
      if (!token.quoted || at + 1 >= t.size() || t[at].quoted || t[at].text != "x") return token.text;
      std::string repeated;
      for (int n = std::stoi(t[at + 1].text); n > 0; --n) repeated += token.text;
      at += 2;
      return repeated;
    }
  };

  Handle H(Args& a, const char* otherwise = "out") {
    if (a.More() && !a.t[a.at].quoted && names_.contains(a.t[a.at].text)) return names_[a.Next()];
    return names_[otherwise];
  }
  void Start(Coord size, bool source) {  // with a key source, which ends input once its script is done
    console_ = std::make_unique<EmulatedConsole>();
    console_->SetConsoleSize(size.X, size.Y);
    console_->SetPresenter(&frames_);
    console_->SetKeySource(source ? &source_ : nullptr);
    sourced_ = source;
  }
  template <class T>
  T* Buffer(T* p) const {
    return null_buffer_ ? nullptr : p;
  }
  template <class T>
  T* Back(T* p) const {
    return null_back_ ? nullptr : p;
  }
  Bool Alloc() {
    const Bool ok = console_->AllocConsole();
    names_["in"] = console_->GetStdHandle(kStdInputHandle);
    names_["out"] = console_->GetStdHandle(kStdOutputHandle);
    names_["err"] = console_->GetStdHandle(kStdErrorHandle);
    names_["null"] = 0;
    names_["invalid"] = kInvalidHandle;
    names_["bogus"] = 0x7FFFFFF0;         // never issued
    if (!sourced_) console_->EndInput();  // a read that finds nothing fails at once instead of waiting
    return ok;
  }
  ScreenBufferInfo Info(Handle h) {
    ScreenBufferInfo info{};
    EXPECT_NE(console_->GetConsoleScreenBufferInfo(h, &info), 0) << "no readable screen buffer";
    return info;
  }

  void Do(const Tokens& command) {
    for (size_t i = 0; i < command.size(); ++i) {  // a word A|B|C: the command once with each
      if (command[i].quoted || command[i].text.find('|') == std::string::npos) continue;
      std::istringstream words(command[i].text);
      for (Tokens each = command; std::getline(words, each[i].text, '|');) Do(each);
      return;
    }
    Args a{command};
    Tokens back;
    std::optional<Dword> fails;
    for (size_t i = 0; i < a.t.size(); ++i) {
      if (!a.t[i].quoted && a.t[i].text == "->") {
        back.assign(a.t.begin() + static_cast<std::ptrdiff_t>(i) + 1, a.t.end());
        a.t.resize(i);
      }
    }
    if (a.t.size() >= 3 && a.t[a.t.size() - 2].text == "fails") {
      fails = Number(a.t.back().text);
      a.t.resize(a.t.size() - 2);
    }
    const auto null = [&](const char* word) {
      return std::erase_if(a.t, [&](const Token& t) { return !t.quoted && t.text == word; }) > 0;
    };
    null_buffer_ = null("null-buffer");
    null_back_ = null("null-back");
    const std::string op = a.Next();
    if (op == "expect") return Expect(a, back);
    // The interface has no SetLastError: an injected failure of GetLocalTime stands in for it.
    console_->FailCall(Op::GetLocalTime, 1, 0);
    console_->GetLocalTime();
    const std::optional<Bool> ok = Call(op, a, back);
    if (ok && fails) {
      EXPECT_EQ(*ok, 0) << op << " succeeded";
      EXPECT_EQ(console_->GetLastError(), *fails) << op;
    } else if (ok) {
      EXPECT_NE(*ok, 0) << op << " failed with " << console_->GetLastError();
    }
  }

  // An operation's result; nullopt for the test controls, which have none.
  std::optional<Bool> Call(const std::string& op, Args& a, const Tokens& back) {
    if (op == "alloc") {  // WxH [source]
      const Coord size = Point(a.Next());
      return Start(size, a.Take("source")), Alloc();
    }
    if (op == "realloc") return Alloc();
    if (op == "free") return console_->FreeConsole();
    if (op == "new") {  // NAME [r|w|rw] [flags HEX]
      const std::string name = a.Next();
      const std::string access = a.More() && a.t[a.at].text != "flags" ? a.Next() : "rw";
      const Dword rights = (access.find('r') != std::string::npos ? kGenericRead : 0) |
                           (access.find('w') != std::string::npos ? kGenericWrite : 0);
      const Dword flags = a.Take("flags") ? Hex(a.Next()) : kConsoleTextmodeBuffer;
      names_[name] = console_->CreateConsoleScreenBuffer(rights, kFileShareRead | kFileShareWrite, flags);
      return names_[name] != kInvalidHandle;
    }
    if (op == "title") return console_->SetConsoleTitleA(Buffer(a.Next().c_str()));
    if (op == "app") return console_->AppActivate(a.Next());
    if (op == "std") return console_->GetStdHandle(Number(a.Next())) != kInvalidHandle;
    if (op == "system-folder") return console_->SetSystemDirectory(a.Next()), std::nullopt;
    if (op == "new-geometry") {  // WxH|- [window L,T,R,B]: for the buffers created from now on
      const std::string size = a.Next();
      const auto window = a.Take("window") ? std::optional(Rect(a.Next())) : std::nullopt;
      return console_->SetNewBufferGeometry(size == "-" ? std::nullopt : std::optional(Point(size)), window);
    }
    if (op == "fail") {  // OPERATION N ERROR [every] | clear: fault injection
      const std::map<std::string, Op> ops{{"attr", Op::SetConsoleTextAttribute},
                                          {"new", Op::CreateConsoleScreenBuffer},
                                          {"fill-char", Op::FillConsoleOutputCharacterA}};
      if (a.Take("clear")) return console_->ClearFailures(), std::nullopt;
      const Op failing = ops.at(a.Next());
      const int nth = std::stoi(a.Next());
      const Dword error = Number(a.Next());
      return console_->FailCall(failing, nth, error, a.Take("every")), std::nullopt;
    }
    if (op == "frame") {  // -> FRAME: what EndOfCall hands the presenter, none for nothing
      frames_.shown.clear();
      console_->EndOfCall();
      EXPECT_EQ(frames_.shown.empty() ? "none " : Show(frames_.shown.at(0)), Joined(back));
      EXPECT_LE(frames_.shown.size(), 1u);
      return std::nullopt;
    }
    if (op == "keys") return console_->QueueText(a.Next()), std::nullopt;
    if (op == "source") {  // "TEXT" | nothing: the key source's next keys, or a turn without a key
      return a.Take("nothing") ? source_.AddNothing() : source_.AddText(a.Next()), std::nullopt;
    }
    if (op == "sendkeys") return console_->SendKeys(a.Next(), true), std::nullopt;
    if (op == "input") {  // RECORD...: written in one call, as WriteConsoleInput writes them
      std::vector<InputRecord> records;
      while (a.More()) records.push_back(Record(a.Next()));
      return console_->QueueInput(records), std::nullopt;
    }
    if (op == "keystroke") {  // VK CHAR STATE, in hex: typed, through the console's keyboard filter
      const auto vk = static_cast<Word>(Hex(a.Next())), ch = static_cast<Word>(Hex(a.Next()));
      return console_->QueueKeystroke(vk, ch, Hex(a.Next())), std::nullopt;
    }
    const bool input = op == "flush" || op == "records" || op == "read" || op == "count";
    const Handle h = H(a, input ? "in" : "out");
    if (op == "flush") return console_->FlushConsoleInputBuffer(h);
    if (op == "records") {  // N -> RECORD..., or for a failed read -> the count written back
      const Dword size = Number(a.Next());
      std::vector<InputRecord> records(std::clamp<Dword>(size, 1, 64));
      Dword got = 0xDEAD;
      const Bool ok = console_->ReadConsoleInputA(h, Buffer(records.data()), size, Back(&got));
      std::string shown = ok ? "" : std::to_string(got) + " ";
      for (Dword i = 0; ok && i < got; ++i) shown += Show(records.at(i)) + " ";
      if (ok || !back.empty()) {
        EXPECT_EQ(shown, Joined(back));
      }
      return ok;
    }
    if (op == "read") {  // N -> "TEXT", or for a failed read -> the count written back
      const Dword size = Number(a.Next());
      std::string text(std::min<Dword>(size, 4096), '#');
      Dword got = 0xDEAD;
      const Bool ok = console_->ReadConsoleA(h, Buffer(text.data()), size, Back(&got));
      if (!back.empty()) {
        EXPECT_EQ(!ok ? std::to_string(got) : got <= text.size() ? text.substr(0, got) : "?", back[0].text);
      }
      return ok;
    }
    if (op == "info" || op == "get-shape" || op == "get-mode" || op == "count") {  // -> what they read
      ScreenBufferInfo info{{1, 2}, {3, 4}, 0xABCD, {5, 6, 7, 8}, {9, 10}};
      CursorInfo shape{42, 7};
      Dword n = 0xDEAD;
      const Bool ok = op == "info"        ? console_->GetConsoleScreenBufferInfo(h, Buffer(&info))
                      : op == "get-shape" ? console_->GetConsoleCursorInfo(h, Buffer(&shape))
                      : op == "get-mode"  ? console_->GetConsoleMode(h, Buffer(&n))
                                          : console_->GetNumberOfConsoleInputEvents(h, Buffer(&n));
      EXPECT_TRUE(ok || (info.wAttributes == 0xABCD && shape.dwSize == 42 && n == 0xDEAD)) << "written back";
      const std::string shown = op == "get-shape"
                                    ? std::to_string(shape.dwSize) + " " + std::to_string(shape.bVisible)
                                : op == "get-mode" ? ShowHex(n, "%X")
                                                   : std::to_string(n);
      if (ok && !back.empty()) {
        EXPECT_EQ(shown + " ", Joined(back));
      }
      return ok;
    }
    if (op == "close") return console_->CloseHandle(h);
    if (op == "activate") return console_->SetConsoleActiveScreenBuffer(h);
    if (op == "attr") return console_->SetConsoleTextAttribute(h, static_cast<Word>(Hex(a.Next())));
    if (op == "cursor") return console_->SetConsoleCursorPosition(h, Point(a.Next()));
    if (op == "mode") return console_->SetConsoleMode(h, Hex(a.Next()));
    if (op == "shape") {  // SIZE VISIBLE
      const Dword size = Number(a.Next());
      const CursorInfo info{size, std::stoi(a.Next())};
      return console_->SetConsoleCursorInfo(h, Buffer(&info));
    }
    if (op == "buffer") {  // WxH [window L,T,R,B]: all of it shown unless a window is given; refused: fails 0
      const Coord size = Point(a.Next());
      const SmallRect all{0, 0, static_cast<Short>(size.X - 1), static_cast<Short>(size.Y - 1)};
      return console_->SetBufferGeometry(h, size, a.Take("window") ? Rect(a.Next()) : all);
    }
    if (op == "write") {
      const std::string text = a.Next();
      Dword written = 0xDEAD;
      const Bool ok =
          console_->WriteConsoleA(h, Buffer(text.data()), static_cast<Dword>(text.size()), &written);
      EXPECT_TRUE(!ok || written == text.size()) << written << " of " << text.size() << " written";
      return ok;
    }
    if (op == "clear") {  // "C" AA: every cell of the buffer
      const char ch = a.Next().at(0);
      const Word attribute = static_cast<Word>(Hex(a.Next()));
      const Coord size = Info(h).dwSize;
      Dword n = 0;
      return console_->FillConsoleOutputCharacterA(h, ch, size.X * size.Y, Coord{0, 0}, &n) &&
             console_->FillConsoleOutputAttribute(h, attribute, size.X * size.Y, Coord{0, 0}, &n);
    }
    if (op == "fill-char" || op == "fill-attr") {  // "C"|AA LENGTH X,Y -> CELLS WRITTEN
      const std::string value = a.Next();
      const Dword length = Number(a.Next());
      const Coord at = Point(a.Next());
      Dword n = 0xDEAD;
      const Bool ok =
          op == "fill-char"
              ? console_->FillConsoleOutputCharacterA(h, value.at(0), length, at, Back(&n))
              : console_->FillConsoleOutputAttribute(h, static_cast<Word>(Hex(value)), length, at, Back(&n));
      if (!back.empty()) {
        EXPECT_EQ(n, Number(back[0].text)) << "cells written";
      }
      return ok;
    }
    if (op == "write-cells" || op == "read-cells") return Cells(h, op == "write-cells", a, back);
    ADD_FAILURE() << "unknown operation " << op;
    return std::nullopt;
  }

  // write-cells|read-cells L,T,R,B array WxH [from X,Y] [attr AAAA] [chars "..."] [high HH] -> L,T,R,B
  // A written array holds kArrayLetters (or the characters given) over and over, with the high byte
  // given, in attribute 1F (or the one given); a read array starts untouched.
  Bool Cells(Handle h, bool write, Args& a, const Tokens& back) {
    SmallRect region = Rect(a.Next());
    EXPECT_TRUE(a.Take("array"));
    array_size_ = Point(a.Next());
    Coord from{0, 0};
    Word attribute = 0x1F, high = 0;
    std::string chars = kArrayLetters;
    while (a.More()) {
      const std::string option = a.Next();
      if (option == "from") from = Point(a.Next());
      if (option == "attr") attribute = static_cast<Word>(Hex(a.Next()));
      if (option == "chars") chars = a.Next();
      if (option == "high") high = static_cast<Word>(Hex(a.Next()) << 8);
    }
    array_.assign(static_cast<size_t>(std::max(0, array_size_.X * array_size_.Y)), kUntouched);
    for (size_t i = 0; write && i < array_.size(); ++i)
      array_[i] =
          CharInfo{static_cast<Word>(high | static_cast<unsigned char>(chars[i % chars.size()])), attribute};
    const Bool ok =
        write ? console_->WriteConsoleOutputA(h, Buffer(array_.data()), array_size_, from, Back(&region))
              : console_->ReadConsoleOutputA(h, Buffer(array_.data()), array_size_, from, Back(&region));
    if (!back.empty()) {
      EXPECT_EQ(Show(region), back[0].text) << "region written back";
    }
    return ok;
  }

  // Compares cells' characters with `text` ('~' for an untouched array cell) and, when given, their
  // attribute.
  void ExpectCells(const CharInfo* cells, const std::string& text, Args& a) {
    const int attribute = a.Take("attr") ? static_cast<int>(Hex(a.Next())) : -1;
    std::string got;
    for (size_t i = 0; i < text.size(); ++i) {
      got += cells[i] == kUntouched ? '~' : static_cast<char>(cells[i].Char);
      if (cells[i] == kUntouched) continue;
      EXPECT_EQ(cells[i].Char >> 8, 0) << "a character's high byte, cell " << i;
      if (attribute >= 0) {
        EXPECT_EQ(ShowHex(cells[i].Attributes), ShowHex(static_cast<Dword>(attribute))) << "cell " << i;
      }
    }
    EXPECT_EQ(got, text);
  }

  void Expect(Args& a, const Tokens& back) {
    const std::string what = a.Next();
    if (what == "title" || what == "system-folder") {  // [buffer N] -> RETURNED "BYTES", into N bytes of '#'
      const Dword size = a.Take("buffer") ? Number(a.Next()) : 70000;
      std::string buffer(size + 2, '#');
      EXPECT_EQ(what == "title" ? console_->GetConsoleTitleA(Buffer(buffer.data()), size)
                                : console_->GetSystemDirectoryA(buffer.data(), size),
                Number(back.at(0).text));
      const std::string expected = Args{back, 1}.Next();
      EXPECT_EQ(buffer.substr(0, expected.size()), expected);
    } else if (what == "array") {  // ROW "TEXT" [attr AA]: a row of the last cell call's array
      const int row = std::stoi(a.Next());
      const std::string text = a.Next();
      ASSERT_EQ(static_cast<int>(text.size()), array_size_.X);
      ExpectCells(&array_.at(static_cast<size_t>(row * array_size_.X)), text, a);
    } else if (what == "asked" || what == "flushes") {  // N: what the key source was asked, or told
      EXPECT_EQ(what == "asked" ? source_.Asked() : source_.Flushes(), std::stoi(a.Next()));
    } else if (what == "active") {  // H|none: the handle the console finds for the shown buffer
      EXPECT_EQ(console_->ActiveBufferHandle(), a.Take("none") ? 0 : H(a));
    } else if (const Handle h = H(a); what == "cells") {  // [H] X,Y "TEXT" [attr AA], in row order
      const Coord at = Point(a.Next());
      const std::string text = a.Next();
      const std::vector<CharInfo> cells = console_->ReadCells(h);
      const size_t first = static_cast<size_t>(at.Y) * Info(h).dwSize.X + at.X;
      ASSERT_LE(first + text.size(), cells.size()) << "past the buffer";
      ExpectCells(&cells[first], text, a);
    } else if (what == "cursor") {
      EXPECT_EQ(Show(Info(h).dwCursorPosition), a.Next());
    } else if (what == "window") {
      EXPECT_EQ(Show(Info(h).srWindow), a.Next());
    } else if (what == "size") {  // WxH [largest WxH]
      const ScreenBufferInfo info = Info(h);
      EXPECT_EQ(Show(info.dwSize), Show(Point(a.Next())));
      if (a.Take("largest")) {
        EXPECT_EQ(Show(info.dwMaximumWindowSize), Show(Point(a.Next())));
      }
    } else if (what == "attr") {
      EXPECT_EQ(ShowHex(Info(h).wAttributes), ShowHex(Hex(a.Next())));
    } else {
      ADD_FAILURE() << "unknown expectation " << what;
    }
  }

  Frames frames_;        // outlives every console
  ScriptedKeys source_;  // likewise; one a script
  std::unique_ptr<EmulatedConsole> console_ = std::make_unique<EmulatedConsole>();
  std::map<std::string, Handle> names_;
  std::vector<CharInfo> array_;
  Coord array_size_{0, 0};
  bool sourced_ = false, null_buffer_ = false, null_back_ = false;
};

// One test per script; no scripts is a failure, not a pass.
std::vector<fs::path> Scripts() {
  const fs::path folder = fs::path(__FILE__).parent_path() / "conformance";
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.path().extension() == ".test") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files.empty() ? std::vector{folder / "missing.test"} : files;
}

class EmulatedConformance : public ::testing::TestWithParam<fs::path> {};
TEST_P(EmulatedConformance, Script) { Script().Run(GetParam()); }
INSTANTIATE_TEST_SUITE_P(, EmulatedConformance, ::testing::ValuesIn(Scripts()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace kelvane::platform
