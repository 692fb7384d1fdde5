// The Console object's state and its private operations. Members of the one class are split into files
// by subsystem: core/ (life, pages, cursor, caption), output/ (colours, cells, text), drawing/,
// screenfile/, input/.
#pragma once

#include <kelvane/console.hpp>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/cell_array.hpp"
#include "core/errors.hpp"
#include "core/geometry.hpp"
#include "core/steps.hpp"
#include "platform/console_platform.hpp"

namespace KelvaneConsole {

namespace ConsoleGlobals {
// -1 while a console is loaded on this thread. Shared by every Console object of the thread.
extern thread_local Integer ConsoleIsLoaded;
}  // namespace ConsoleGlobals

using kelvane::platform::Coord;
using kelvane::platform::Handle;
using kelvane::platform::SmallRect;
using kelvane::platform::Word;

namespace plat = kelvane::platform;

// The console operations of this process.
inline plat::ConsolePlatform& Os() { return plat::Platform(); }

// No buffer: a page-table slot whose page has none yet, a page that cannot be had, a handle member not
// yet set. The platform never hands out 0; its own failure value for a new buffer, plat::kInvalidHandle,
// is looked at where it is returned and never kept.
inline constexpr Handle kNoHandle = 0;

// What one look at a page found: its buffer and, as read from that buffer, the visible window, the
// cursor and the current attribute. A failed read gives all zeros: the window is then the single cell
// at the origin, and so is the cursor.
struct PageLookup {
  Handle handle = kNoHandle;
  SmallRect window;
  Coord cursor;
  Word attributes = 0;
};

inline constexpr int kPageCount = 20;
inline constexpr Long kLightGrey = 0xC0C0C0;
inline constexpr Long kDarkGrey = 0x808080;

class Console::Impl {
 public:
  Impl();
  ~Impl();

  // --- public members (the facade in console.cpp adds the end-of-call guard) ---
  String Caption();
  void Caption(const String& New_Caption);
  bool DrawBox(Integer X, Integer Y, Integer& Width, Integer& Height, Long ForeColor, Long BackColor,
               KSConsoleLineStyles LineStyle, bool DrawShadow, const Variant& PageIndex);
  bool DrawHLine(Integer X, Integer Y, Integer& Width, Long ForeColor, Long BackColor,
                 KSConsoleLineStyles LineStyle, const Variant& PageIndex);
  bool DrawVLine(Integer X, Integer Y, Integer& Height, Long ForeColor, Long BackColor,
                 KSConsoleLineStyles LineStyle, const Variant& PageIndex);
  bool SaveScreen(const String& FileName, const Variant& PageIndex);
  bool LoadScreen(const String& FileName, const Variant& PageIndex);
  bool SetColor(Long ForeColor, const Variant& BackColor, const Variant& PageIndex);
  bool SetScreenData(String& Char, Long ForeColor, const Variant& BackColor, const Variant& X,
                     const Variant& Y, const Variant& PageIndex);
  bool GetScreenData(String& Char, Long& ForeColor, Long& BackColor, const Variant& X, const Variant& Y,
                     const Variant& PageIndex);
  void ToggleFullScreen();
  bool ClearScreen(const Variant& ForeColor, const Variant& BackColor, const Variant& PageIndex);
  Integer CursorSize();
  void CursorSize(Integer New_CursorSize);
  bool CursorVisible();
  void CursorVisible(bool New_CursorVisible);
  bool GetWindowSize(Integer& Width, Integer& Height);
  Integer GetInputKey(bool NoCursor);
  String GetInputChar(bool NoCursor);
  void Load(bool StartFullScreen);
  Integer Page();
  void Page(Integer New_Page);
  bool PageCopy(Integer SourcePage, Integer DestPage);
  bool SetCursorPos(Integer X, Integer Y, const Variant& PageIndex);
  bool GetCursorPos(Integer& X, Integer& Y, const Variant& PageIndex);
  String GetInputLine(const String& Prompt, Long MaxLength, const Variant& PageIndex);
  bool WriteText(String Text, const Variant& ForeColor, const Variant& BackColor,
                 bool KeepCursorOnCurrentLine, const Variant& PageIndex);
  void Unload();

  // --- private operations ---
  bool zzzCheckLoaded();  // true, or raises 30052
  String zzzSystemDirectory();
  void zzzReadBufferInfo(Handle handle);
  void zzzReadCursorInfo();
  void zzzWriteCursorInfo();
  Handle zzzHandleFromPage(Integer PageIndex, bool& Created);
  bool zzzClearPage(Long ForeColor, Long BackColor, const Variant& PageIndex);
  void zzzReadCell(String& Char, Long& ForeColor, Long& BackColor, Integer& X, Integer& Y, Integer& Page);
  bool zzzSetInputMode(Long Style);

  // --- state, in declaration order ---
  Handle mActiveHandle = kNoHandle;
  Handle mStdInput = kNoHandle;
  Handle mStdOutput = kNoHandle;
  Handle mStdError = kNoHandle;
  std::array<Handle, kPageCount> mPageHandles{};  // kNoHandle until the page's buffer is created
  Integer mCurrentPage = 0;
  Coord mCursorPos;
  Word mAttributes = 0;
  SmallRect mWindow;
  Integer mCursorVisible = 0;  // automation Boolean: -1 or 0
  Integer mCursorSize = 0;

 private:
  static bool Loaded() { return ConsoleGlobals::ConsoleIsLoaded != 0; }
  // Raises a numbered error of the catalogue with the help file and context filled in.
  [[noreturn]] void Raise(Long number, const char* source);
  // The page an optional PageIndex names: the current page when omitted, -1 when it does not convert.
  Integer ResolvePage(const Variant& PageIndex);
  // The page's buffer, or kNoHandle when it cannot be had (the failure absorbed).
  Handle HandleOf(Integer page);
  // HandleOf, then ReadBuffer on that buffer.
  PageLookup ReadPage(Integer page);
  // One query of the buffer's information, returned and also kept in mCursorPos, mAttributes and
  // mWindow: the Page setter decides from the window read last, whichever page that was.
  PageLookup ReadBuffer(Handle handle);
  // The cell a pair of optional coordinates targets on a page just read: each omitted, unconvertible or
  // off-window coordinate is replaced by the cursor's on that axis.
  static Coord TargetCell(const PageLookup& page, const Variant& X, const Variant& Y);
  // zzzReadCell for a member that has just looked up `page` and holds the result: returns the lookup the
  // cell was read from.
  PageLookup ReadCellOn(const PageLookup& looked_up, Integer page, Integer X, Integer Y, String& Char,
                        Long& ForeColor, Long& BackColor);
  // The cell (X, Y) of a page just read, -1 on either axis meaning the cursor's. A cell that cannot be
  // read gives the empty string and the page's current colours.
  static void ReadCell(const PageLookup& page, Integer X, Integer Y, String& Char, Long& ForeColor,
                       Long& BackColor);
  void Release();
  bool DrawLine(bool horizontal, Integer X, Integer Y, Integer& Length, Long ForeColor, Long BackColor,
                KSConsoleLineStyles LineStyle, const Variant& PageIndex);
  // Cells for the rectangle writes of lines, boxes and PageCopy, kept between calls: on a large window a
  // fresh array costs an allocation and a clearing as large as the work itself. Each member is done
  // with it before it calls another.
  std::vector<plat::CharInfo> mCellScratch;
  // The first `count` cells of the scratch, which only grows (a new cell is cleared once). Throws
  // std::bad_alloc when it cannot grow that far, which fails the step as a refused transfer would.
  std::span<plat::CharInfo> ScratchCells(std::size_t count) {
    GrowCellArray(mCellScratch, count);
    return std::span<plat::CharInfo>(mCellScratch.data(), count);
  }

  // Raises 30059 from `source` unless (X, Y) lies in the page's window and the shape, `width` by
  // `height` (a line is 1 across), is at least one cell each way.
  void CheckDrawingStart(const SmallRect& window, Integer X, Integer Y, Integer width, Integer height,
                         const char* source);
  // The page a screen file member works on: PageIndex converted (its conversion error reaching the
  // caller) or the current page; 30053 from `source` outside 0..19.
  Integer ScreenFilePage(const Variant& PageIndex, const char* source);
};

// zzzCoordToLong: a coordinate as one 32-bit value, X in bits 0..15 and Y in bits 16..31.
Long zzzCoordToLong(const Coord& coord) noexcept;

// The title that lets window activation find this console during the full-screen switch: "KSC", the
// time as HHNNSS, and a notice.
String FullScreenSwitchTitle(const kelvane::platform::SystemTime& now);

// Colour mapping (stateless).
Integer zzzNearestColorIndex(Long Color) noexcept;
Integer zzzColorsToAttribute(Long ForeColor, Long BackColor) noexcept;
void zzzAttributeToColors(Integer Attribute, Long& ForeColor, Long& BackColor) noexcept;
Long PaletteColor(int index) noexcept;

// The bytes WriteText sends: nullopt for an empty text; throws Error 6 for more than 32768 characters.
std::optional<std::string> zzzStringToByteArray(const String& Text);

}  // namespace KelvaneConsole
