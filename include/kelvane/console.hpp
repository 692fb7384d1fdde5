// KelvaneConsole: a full-screen text console for C++ programs.
//
//   #include <kelvane/console.hpp>
//   KelvaneConsole::Console c;
//   c.Load();
//   c.ClearScreen(0xFFFFFF, 0x800000);          // white on dark blue
//   c.WriteText("Hello");
//   c.Unload();
//
// Colours are RGB values (red in the low byte) snapped to the sixteen console colours. Most members
// report failure through a false result; the few errors a client must see are thrown as
// KelvaneConsole::Error with a number, a source and a description.
#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace KelvaneConsole {

using Integer = std::int16_t;  // automation Integer
using Long = std::int32_t;     // automation Long, RGB colours
using String = std::string;    // UTF-8 text

// An automation-style value for optional arguments that may hold a number or text.
class Variant {
 public:
  enum class Kind : std::uint8_t { Missing, Empty, Null, Boolean, Integer, Long, Double, String };

  Variant() noexcept = default;  // an omitted argument
  Variant(bool value) noexcept : kind_(Kind::Boolean), int_(value ? -1 : 0) {}
  // A signed value keeps its value; an unsigned one up to 0xFFFFFFFF keeps its 32 bits, as a Long, so
  // that an RGB colour written as 0xFF0000FF (any high byte: it is ignored) stays that colour whatever
  // width the platform gives unsigned long. Wider values become a Double.
  template <std::integral T>
  requires(!std::same_as<T, bool>) Variant(T value)
  noexcept {
    if constexpr (std::is_signed_v<T> && sizeof(T) <= sizeof(Integer)) {
      kind_ = Kind::Integer;
      int_ = value;
    } else if (FitsIn32Bits(value)) {
      kind_ = Kind::Long;
      int_ = static_cast<Long>(static_cast<std::uint32_t>(value));
    } else {
      kind_ = Kind::Double;
      double_ = static_cast<double>(value);
    }
  }
  Variant(double value) noexcept : kind_(Kind::Double), double_(value) {}
  Variant(const char* text) : kind_(Kind::String), text_(text ? text : "") {}
  Variant(String text) noexcept : kind_(Kind::String), text_(std::move(text)) {}

  static Variant Empty() noexcept { return Variant(Kind::Empty); }
  static Variant Null() noexcept { return Variant(Kind::Null); }

  Kind GetKind() const noexcept { return kind_; }
  bool IsMissing() const noexcept { return kind_ == Kind::Missing; }

  // The automation conversions: numbers and numeric text (signs, spaces, decimals, exponents, &H and
  // &O forms), Empty as 0, True as -1, fractions rounded half to even. Throw Error 6 "Overflow" when
  // the value is out of range and Error 13 "Type mismatch" for anything else.
  Integer ToInteger() const;
  Long ToLong() const;
  // To a Boolean: a number is True when it is not zero; text is "True" or "False" in any case (or
  // "#TRUE#", "#FALSE#") or a number as above, however large. Error 13 otherwise.
  bool ToBoolean() const;
  // To text: numbers in decimal, a Double to 15 significant digits ("0.1", "1E+20"), a Boolean as "-1"
  // or "0" and Empty as "". Error 13 for Null and Missing.
  String ToString() const;

  // The stored value as it was given, for inspection.
  Long IntegerValue() const noexcept { return int_; }  // Boolean, Integer and Long kinds
  double DoubleValue() const noexcept { return double_; }
  const String& StringValue() const noexcept { return text_; }

 private:
  explicit Variant(Kind kind) noexcept : kind_(kind) {}
  template <std::integral T>
  static constexpr bool FitsIn32Bits(T value) noexcept {
    if constexpr (std::is_signed_v<T>) {
      return value >= INT32_MIN && value <= INT32_MAX;
    } else {
      return value <= UINT32_MAX;
    }
  }

  Kind kind_ = Kind::Missing;
  Long int_ = 0;
  double double_ = 0;
  String text_;
};

inline const Variant Missing;  // an omitted optional argument; `Variant{}` is the same

enum KSConsoleLineStyles : Long {
  kcLineColorOnly = 0,
  kcLinePlain,
  kcLineSingleLine,
  kcLineDoubleLine,
  kcLinePlusMinusPipeLine,
  kcLineAsterisks,
  kcLineGray25Percent,
  kcLineGray50Percent,
  kcLineGray75Percent
};

// Every error that reaches a client.
class Error : public std::exception {
 public:
  Error(Long number, String source, String description, String helpFile = {}, Long helpContext = 0)
      : number_(number),
        source_(std::move(source)),
        description_(std::move(description)),
        help_file_(std::move(helpFile)),
        help_context_(helpContext) {}

  Long Number() const noexcept { return number_; }
  const String& Source() const noexcept { return source_; }
  const String& Description() const noexcept { return description_; }
  const String& HelpFile() const noexcept { return help_file_; }
  Long HelpContext() const noexcept { return help_context_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  Long number_;
  String source_;
  String description_;
  String help_file_;
  Long help_context_;
};

// The console object. Members appear in the order of the automation interface.
class Console {
 public:
  Console();
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // The title bar text.
  String Caption();
  void Caption(const String& New_Caption);

  // A filled rectangle framed in LineStyle, with an optional shadow. Width and Height come back
  // clipped to the visible window.
  bool DrawBox(Integer X, Integer Y, Integer& Width, Integer& Height, Long ForeColor, Long BackColor,
               KSConsoleLineStyles LineStyle = kcLinePlain, bool DrawShadow = false,
               const Variant& PageIndex = Missing);
  // A run of cells to the right of (X, Y); Width comes back clipped.
  bool DrawHLine(Integer X, Integer Y, Integer& Width, Long ForeColor, Long BackColor,
                 KSConsoleLineStyles LineStyle = kcLineColorOnly, const Variant& PageIndex = Missing);
  // A run of cells down from (X, Y); Height comes back clipped.
  bool DrawVLine(Integer X, Integer Y, Integer& Height, Long ForeColor, Long BackColor,
                 KSConsoleLineStyles LineStyle = kcLinePlain, const Variant& PageIndex = Missing);

  // The cells of the shown page's window area, read from a page (which must exist) into a file: four
  // bytes a cell, row by row, then four zero bytes. An existing file is replaced only once the new one is
  // complete. False, and no file touched, when the console refuses to read the cells.
  bool SaveScreen(const String& FileName, const Variant& PageIndex = Missing);
  // Puts such a file back onto the same area of a page: a shorter file leaves the rest of the area zero
  // (black on black), a longer one is read only as far as the area needs. False when the console
  // refuses to write the cells.
  bool LoadScreen(const String& FileName, const Variant& PageIndex = Missing);

  // The colours of later WriteText output on a page.
  bool SetColor(Long ForeColor, const Variant& BackColor = Missing, const Variant& PageIndex = Missing);
  // Writes one cell; omitted or off-window coordinates mean the cursor's. Char is cut to its first
  // character (written back).
  bool SetScreenData(String& Char, Long ForeColor = 0, const Variant& BackColor = Missing,
                     const Variant& X = Missing, const Variant& Y = Missing,
                     const Variant& PageIndex = Missing);
  bool SetScreenData(const String& Char = String(), Long ForeColor = 0, const Variant& BackColor = Missing,
                     const Variant& X = Missing, const Variant& Y = Missing,
                     const Variant& PageIndex = Missing);
  bool GetScreenData(String& Char, Long& ForeColor, Long& BackColor, const Variant& X = Missing,
                     const Variant& Y = Missing, const Variant& PageIndex = Missing);

  // Switches between a window and full screen (on a terminal, where the terminal allows it).
  void ToggleFullScreen();

  // Clears a page (light grey on black by default) and homes its cursor.
  bool ClearScreen(const Variant& ForeColor = Missing, const Variant& BackColor = Missing,
                   const Variant& PageIndex = Missing);

  // Cursor height in percent of a cell, 0..99.
  Integer CursorSize();
  void CursorSize(Integer New_CursorSize);
  bool CursorVisible();
  void CursorVisible(bool New_CursorVisible);

  // The shown page's window size; the result is always false.
  bool GetWindowSize(Integer& Width, Integer& Height);

  // Waits for a key press and returns its virtual-key code (16 for Shift, 65 for A, 0xE7 for a
  // character no key on the keyboard types); 0 without a console or once input has ended for good.
  // NoCursor hides the cursor while it waits.
  Integer GetInputKey(bool NoCursor = false);
  // Waits for a key that types a character and returns it ("\r" for Enter); "" without a console or
  // once input has ended.
  String GetInputChar(bool NoCursor = false);

  void Load(bool StartFullScreen = false);

  // The shown page, 0..19.
  Integer Page();
  void Page(Integer New_Page);
  // Copies the cells of the rectangle the shown page's window covers from one page onto the same place
  // on another; true when they were written.
  bool PageCopy(Integer SourcePage, Integer DestPage);

  bool SetCursorPos(Integer X, Integer Y, const Variant& PageIndex = Missing);
  // The result is always false; the position comes back through X and Y.
  bool GetCursorPos(Integer& X, Integer& Y, const Variant& PageIndex = Missing);

  // Shows Prompt, then reads a line with its own echo and Backspace editing until Enter or Tab, taking
  // at most MaxLength characters (0: no limit; a negative length takes none). Returns the text typed, or what
  // was typed before input ended.
  String GetInputLine(const String& Prompt = String(), Long MaxLength = 0,
                      const Variant& PageIndex = Missing);

  bool WriteText(String Text, const Variant& ForeColor = Missing, const Variant& BackColor = Missing,
                 bool KeepCursorOnCurrentLine = false, const Variant& PageIndex = Missing);
  void Unload();

  class Impl;  // the implementation, private to the library

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace KelvaneConsole
