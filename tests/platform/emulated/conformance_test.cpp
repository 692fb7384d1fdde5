// Runs the conformance scripts of conformance/*.test, one test per file, against the emulated console.
// The format is described in conformance/README; the operations are those of the console interface
// (plus a few test controls: geometry and queued keys), so a driver for the real console can run the
// same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform {
namespace {

namespace fs = std::filesystem;

struct Token {
  std::string text;
  bool quoted = false;
};
using Tokens = std::vector<Token>;

// C escapes: \n \r \t \a \b \0 \\ \" and \xHH.
std::string Unescape(const std::string& s, size_t& i) {
  std::string out;
  for (++i; i < s.size() && s[i] != '"'; ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    const char e = s[++i];
    if (e == 'x') {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      const std::string from = "nrtab0", to{'\n', '\r', '\t', '\a', '\b', '\0'};
      const size_t k = from.find(e);
      out += k == std::string::npos ? e : to[k];
    }
  }
  return out;
}

// One line: commands separated by ';', '#' to the end of the line a comment.
std::vector<Tokens> SplitLine(const std::string& line) {
  std::vector<Tokens> commands(1);
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '#') break;
    if (c == ';') {
      commands.emplace_back();
    } else if (c == '"') {
      commands.back().push_back({Unescape(line, i), true});
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      size_t end = line.find_first_of(" \t;#\"", i);
      if (end == std::string::npos) end = line.size();
      commands.back().push_back({line.substr(i, end - i), false});
      i = end - 1;
    }
  }
  std::erase_if(commands, [](const Tokens& t) { return t.empty(); });
  return commands;
}

std::vector<int> Numbers(const std::string& text, char separator) {
  std::vector<int> values;
  size_t at = 0;
  for (;;) {
    const size_t end = text.find(separator, at);
    values.push_back(static_cast<int>(std::strtol(text.substr(at, end - at).c_str(), nullptr, 0)));
    if (end == std::string::npos) return values;
    at = end + 1;
  }
}
Short S(int v) { return static_cast<Short>(v); }
Coord Point(const std::string& t) {  // "x,y" or "WxH"
  const auto v = Numbers(t, t.find('x') != std::string::npos ? 'x' : ',');
  return Coord{S(v.at(0)), S(v.at(1))};
}
SmallRect Rect(const std::string& t) {
  const auto v = Numbers(t, ',');
  return SmallRect{S(v.at(0)), S(v.at(1)), S(v.at(2)), S(v.at(3))};
}
Dword Hex(const std::string& t) { return static_cast<Dword>(std::stoul(t, nullptr, 16)); }

std::string Show(Coord c) { return std::to_string(c.X) + "," + std::to_string(c.Y); }
std::string Show(SmallRect r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom);
}
std::string ShowHex(Dword v) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X", v);
  return text;
}

// The cells of a caller's array that no call wrote show as '~'.
constexpr CharInfo kUntouched{0xEEEE, 0xEEEE};
const std::string kArrayLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

class Script {
 public:
  void Run(const fs::path& file) {
    std::ifstream in(file);
    ASSERT_TRUE(in) << "cannot open " << file;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      for (Tokens& command : SplitLine(line)) {
        SCOPED_TRACE(file.filename().string() + ":" + std::to_string(number) + ": " + line);
        Do(command);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }

 private:
  // The arguments of one command, taken from the front.
  struct Args {
    Tokens t;
    size_t at = 0;
    bool More() const { return at < t.size(); }
    const Token& Peek() const { return t.at(at); }
    // A quoted text may be repeated: "ab" x 3.
    std::string Next() {
      const Token& token = t.at(at++);
      if (!token.quoted || at + 1 >= t.size() || t[at].quoted || t[at].text != "x") return token.text;
      std::string repeated;
      for (int n = std::stoi(t[at + 1].text); n > 0; --n) repeated += token.text;
      at += 2;
      return repeated;
    }
    bool Take(const char* word) {
      if (!More() || Peek().quoted || Peek().text != word) return false;
      ++at;
      return true;
    }
  };

  Handle H(Args& a) {  // an optional handle name; `out` when none is given
    if (a.More() && !a.Peek().quoted && names_.contains(a.Peek().text)) return names_[a.Next()];
    return names_.at("out");
  }
  void Bind() {
    names_["in"] = console_->GetStdHandle(kStdInputHandle);
    names_["out"] = console_->GetStdHandle(kStdOutputHandle);
    names_["err"] = console_->GetStdHandle(kStdErrorHandle);
  }
  void ClearError() {  // the interface has no SetLastError: an injected GetLocalTime failure stands in
    console_->FailCall(Op::GetLocalTime, 1, 0);
    console_->GetLocalTime();
  }
  ScreenBufferInfo Info(Handle h) {
    auto info = console_->BufferInfo(h);
    EXPECT_TRUE(info.has_value()) << "no screen buffer";
    return info.value_or(ScreenBufferInfo{});
  }

  void Do(const Tokens& command) {
    // `... fails E`: the call must fail with last error E; `... -> values`: what it writes back.
    Args a{command};
    std::optional<Dword> fails;
    Tokens back;
    for (size_t i = 0; i < a.t.size(); ++i) {
      if (!a.t[i].quoted && a.t[i].text == "->") {
        back.assign(a.t.begin() + static_cast<std::ptrdiff_t>(i) + 1, a.t.end());
        a.t.resize(i);
      }
    }
    if (a.t.size() >= 2 && !a.t[a.t.size() - 2].quoted && a.t[a.t.size() - 2].text == "fails") {
      fails = static_cast<Dword>(std::stoul(a.t.back().text));
      a.t.resize(a.t.size() - 2);
    }
    const std::string op = a.Next();
    if (op == "expect") return Expect(a, back);
    ClearError();
    const std::optional<Bool> ok = Call(op, a, back);
    if (!ok) return;
    if (fails) {
      EXPECT_EQ(*ok, 0) << op << " succeeded";
      EXPECT_EQ(console_->GetLastError(), *fails) << op;
    } else {
      EXPECT_NE(*ok, 0) << op << " failed with " << console_->GetLastError();
    }
  }

  // Runs an operation; nullopt for the test controls, which report no result.
  std::optional<Bool> Call(const std::string& op, Args& a, const Tokens& back) {
    auto back_number = [&] {
      return back.empty() ? std::nullopt : std::optional<Dword>(std::stoul(back[0].text, nullptr, 0));
    };
    if (op == "alloc") {
      console_ = std::make_unique<EmulatedConsole>();
      const Coord size = Point(a.Next());
      console_->SetConsoleSize(size.X, size.Y);
      console_->EndInput();  // a read that finds nothing fails at once instead of waiting
      const Bool ok = console_->AllocConsole();
      Bind();
      return ok;
    }
    if (op == "free") return console_->FreeConsole();
    if (op == "realloc") {
      const Bool ok = console_->AllocConsole();
      Bind();
      console_->EndInput();
      return ok;
    }
    if (op == "buffer") {  // [H] WxH [window L,T,R,B]: the whole buffer shown unless a window is given
      const Handle h = H(a);
      const Coord size = Point(a.Next());
      const SmallRect window =
          a.Take("window") ? Rect(a.Next()) : SmallRect{0, 0, S(size.X - 1), S(size.Y - 1)};
      EXPECT_TRUE(console_->SetBufferGeometry(h, size, window));
      return std::nullopt;
    }
    if (op == "clear") {  // [H] "c" AA: every cell of the buffer
      const Handle h = H(a);
      const char ch = a.Next().at(0);
      const Word attribute = static_cast<Word>(Hex(a.Next()));
      const Coord size = Info(h).dwSize;
      Dword n = 0;
      const auto count = static_cast<Dword>(size.X * size.Y);
      return console_->FillConsoleOutputCharacterA(h, ch, count, Coord{0, 0}, &n) &&
             console_->FillConsoleOutputAttribute(h, attribute, count, Coord{0, 0}, &n);
    }
    if (op == "new") {  // NAME [r|w|rw]
      const std::string name = a.Next();
      const std::string access = a.More() && a.Peek().text != "flags" ? a.Next() : "rw";
      const Dword rights = (access.find('r') != std::string::npos ? kGenericRead : 0) |
                           (access.find('w') != std::string::npos ? kGenericWrite : 0);
      const Dword flags = a.Take("flags") ? Hex(a.Next()) : kConsoleTextmodeBuffer;
      const Handle h = console_->CreateConsoleScreenBuffer(rights, kFileShareRead | kFileShareWrite, flags);
      names_[name] = h;
      return h != kInvalidHandle && h != 0;
    }
    if (op == "close") return console_->CloseHandle(H(a));
    if (op == "activate") return console_->SetConsoleActiveScreenBuffer(H(a));
    if (op == "write") {
      const Handle h = H(a);
      const std::string text = a.Next();
      Dword written = 0xDEAD;
      const Bool ok = console_->WriteConsoleA(h, text.data(), static_cast<Dword>(text.size()), &written);
      if (ok) {
        EXPECT_EQ(written, text.size());
      }
      return ok;
    }
    if (op == "attr") {
      const Handle h = H(a);
      return console_->SetConsoleTextAttribute(h, static_cast<Word>(Hex(a.Next())));
    }
    if (op == "cursor") {
      const Handle h = H(a);
      return console_->SetConsoleCursorPosition(h, Point(a.Next()));
    }
    if (op == "shape") {  // [H] SIZE VISIBLE
      const Handle h = H(a);
      const Dword size = static_cast<Dword>(std::stoul(a.Next(), nullptr, 0));
      const CursorInfo info{size, std::stoi(a.Next())};
      return console_->SetConsoleCursorInfo(h, &info);
    }
    if (op == "mode") {
      const Handle h = H(a);
      return console_->SetConsoleMode(h, Hex(a.Next()));
    }
    if (op == "title") {
      return console_->SetConsoleTitleA(a.Next().c_str());
    }
    if (op == "fill-char" || op == "fill-attr") {  // [H] "c"|AA LENGTH X,Y -> WRITTEN
      const Handle h = H(a);
      const std::string value = a.Next();
      const auto length = static_cast<Dword>(std::stoul(a.Next(), nullptr, 0));
      const Coord at = Point(a.Next());
      Dword n = 0xDEAD;
      const Bool ok =
          op == "fill-char"
              ? console_->FillConsoleOutputCharacterA(h, value.at(0), length, at, &n)
              : console_->FillConsoleOutputAttribute(h, static_cast<Word>(Hex(value)), length, at, &n);
      if (auto expected = back_number()) {
        EXPECT_EQ(n, *expected) << "cells written";
      }
      return ok;
    }
    if (op == "write-cells" || op == "read-cells") return Cells(op == "write-cells", a, back);
    if (op == "keys") {
      console_->QueueText(a.Next());
      return std::nullopt;
    }
    if (op == "sendkeys") {
      console_->SendKeys(a.Next(), true);
      return std::nullopt;
    }
    if (op == "flush") return console_->FlushConsoleInputBuffer(names_.at("in"));
    if (op == "read") {  // N -> "TEXT": ReadConsoleA of up to N characters; failed: -> COUNT written back
      const auto size = static_cast<Dword>(std::stoul(a.Next(), nullptr, 0));
      std::string text(std::min<Dword>(size, 4096), '#');
      Dword got = 0xDEAD;
      const Bool ok = console_->ReadConsoleA(names_.at("in"), text.data(), size, &got);
      if (!back.empty()) {
        EXPECT_EQ(ok ? text.substr(0, got) : std::to_string(got), back[0].text);
      }
      return ok;
    }
    ADD_FAILURE() << "unknown operation " << op;
    return std::nullopt;
  }

  // write-cells|read-cells [H] L,T,R,B array WxH [from X,Y] [attr AAAA] [chars "..."] [high HH]
  //   -> L,T,R,B (the region written back)
  // A written array holds kArrayLetters in order (or the given characters, cycled) in attribute 1F
  // (or the one given); a read array starts untouched.
  Bool Cells(bool write, Args& a, const Tokens& back) {
    const Handle h = H(a);
    SmallRect region = Rect(a.Next());
    EXPECT_TRUE(a.Take("array"));
    const Coord size = Point(a.Next());
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
    array_size_ = size;
    array_.assign(static_cast<size_t>(std::max(0, size.X * size.Y)), kUntouched);
    if (write) {
      for (size_t i = 0; i < array_.size(); ++i)
        array_[i] = CharInfo{static_cast<Word>(high | static_cast<unsigned char>(chars[i % chars.size()])),
                             attribute};
    }
    const Bool ok = write ? console_->WriteConsoleOutputA(h, array_.data(), size, from, &region)
                          : console_->ReadConsoleOutputA(h, array_.data(), size, from, &region);
    if (!back.empty()) {
      EXPECT_EQ(Show(region), back[0].text) << "region written back";
    }
    return ok;
  }

  void Expect(Args& a, const Tokens& back) {
    const std::string what = a.Next();
    if (what == "cells") {  // [H] X,Y "TEXT" [attr AA]: characters from X,Y in row order
      const Handle h = H(a);
      const Coord at = Point(a.Next());
      const std::string text = a.Next();
      const int attribute = a.Take("attr") ? static_cast<int>(Hex(a.Next())) : -1;
      const std::vector<CharInfo> cells = console_->ReadCells(h);
      const size_t first = static_cast<size_t>(at.Y) * Info(h).dwSize.X + at.X;
      ASSERT_LE(first + text.size(), cells.size()) << "past the buffer";
      std::string got;
      for (size_t i = 0; i < text.size(); ++i) {
        got += static_cast<char>(cells[first + i].Char);
        if (attribute >= 0) {
          EXPECT_EQ(ShowHex(cells[first + i].Attributes), ShowHex(static_cast<Dword>(attribute)))
              << "cell " << i;
        }
      }
      EXPECT_EQ(got, text);
    } else if (what == "array") {  // ROW "TEXT" [attr AA]: a row of the last call's array, '~' untouched
      const int row = std::stoi(a.Next());
      const std::string text = a.Next();
      const int attribute = a.Take("attr") ? static_cast<int>(Hex(a.Next())) : -1;
      std::string got;
      for (int x = 0; x < array_size_.X; ++x) {
        const CharInfo& cell = array_.at(static_cast<size_t>(row * array_size_.X + x));
        got += cell == kUntouched ? '~' : static_cast<char>(cell.Char);
        if (attribute >= 0 && cell != kUntouched) {
          EXPECT_EQ(ShowHex(cell.Attributes), ShowHex(static_cast<Dword>(attribute)));
        }
        if (cell != kUntouched) {
          EXPECT_EQ(cell.Char >> 8, 0) << "the character's high byte";
        }
      }
      EXPECT_EQ(got, text);
    } else if (what == "cursor") {
      const Handle h = H(a);
      EXPECT_EQ(Show(Info(h).dwCursorPosition), a.Next());
    } else if (what == "window") {
      const Handle h = H(a);
      EXPECT_EQ(Show(Info(h).srWindow), a.Next());
    } else if (what == "size") {  // [H] WxH [largest WxH]
      const Handle h = H(a);
      ScreenBufferInfo info{};
      EXPECT_NE(console_->GetConsoleScreenBufferInfo(h, &info), 0);
      const Coord size = Point(a.Next());
      EXPECT_EQ(Show(info.dwSize), Show(size));
      if (a.Take("largest")) {
        EXPECT_EQ(Show(info.dwMaximumWindowSize), Show(Point(a.Next())));
      }
    } else if (what == "attr") {
      const Handle h = H(a);
      EXPECT_EQ(ShowHex(Info(h).wAttributes), ShowHex(Hex(a.Next())));
    } else if (what == "mode") {
      const Handle h = H(a);
      Dword mode = 0xDEAD;
      EXPECT_NE(console_->GetConsoleMode(h, &mode), 0);
      EXPECT_EQ(ShowHex(mode), ShowHex(Hex(a.Next())));
    } else if (what == "shape") {  // [H] SIZE VISIBLE, through GetConsoleCursorInfo
      const Handle h = H(a);
      CursorInfo info{0xDEAD, 7};
      EXPECT_NE(console_->GetConsoleCursorInfo(h, &info), 0);
      const std::string size = a.Next();
      EXPECT_EQ(std::to_string(info.dwSize) + " " + std::to_string(info.bVisible), size + " " + a.Next());
    } else if (what == "title") {  // [buffer N] -> RETURNED "BYTES": GetConsoleTitleA into N bytes of '#'
      const Dword size = a.Take("buffer") ? static_cast<Dword>(std::stoul(a.Next())) : 70000;
      std::string buffer(size + 2, '#');
      const Dword got = console_->GetConsoleTitleA(buffer.data(), size);
      EXPECT_EQ(got, std::stoul(back.at(0).text));
      Args bytes{back, 1};
      const std::string expected = bytes.Next();
      EXPECT_EQ(buffer.substr(0, expected.size()), expected);
    } else if (what == "pending") {
      Dword count = 0xDEAD;
      EXPECT_NE(console_->GetNumberOfConsoleInputEvents(names_.at("in"), &count), 0);
      EXPECT_EQ(count, std::stoul(a.Next()));
    } else if (what == "active") {  // H|none: the handle the console finds for the shown buffer
      EXPECT_EQ(console_->ActiveBufferHandle(), a.Take("none") ? 0 : H(a));
    } else {
      ADD_FAILURE() << "unknown expectation " << what;
    }
  }

  std::unique_ptr<EmulatedConsole> console_ = std::make_unique<EmulatedConsole>();
  std::map<std::string, Handle> names_;
  std::vector<CharInfo> array_;
  Coord array_size_{0, 0};
};

class ConformanceScript : public ::testing::Test {
 public:
  explicit ConformanceScript(fs::path file) : file_(std::move(file)) {}
  void TestBody() override { Script().Run(file_); }

 private:
  fs::path file_;
};

// One test per script, registered before main runs the tests; no scripts at all is a failure.
const bool kRegistered = [] {
  const fs::path folder = fs::path(__FILE__).parent_path() / "conformance";
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.path().extension() == ".test") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    ::testing::RegisterTest("EmulatedConformance", file.stem().string().c_str(), nullptr, nullptr, __FILE__,
                            __LINE__, [file]() -> ::testing::Test* { return new ConformanceScript(file); });
  }
  if (files.empty()) {
    ::testing::RegisterTest(
        "EmulatedConformance", "ScriptsFound", nullptr, nullptr, __FILE__, __LINE__,
        [folder]() -> ::testing::Test* { return new ConformanceScript(folder / "no .test files here"); });
  }
  return true;
}();

}  // namespace
}  // namespace kelvane::platform
