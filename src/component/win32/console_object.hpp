// The COM object of the class Console: the dual interface _Console, whose function table and IDispatch
// both reach the members through Dispatch, and ISupportErrorInfo. It lives in the creating thread's
// apartment and is called on that thread only.
#pragma once

#include <windows.h>  // before the other Windows headers, which need it

#include <oaidl.h>
#include <ocidl.h>

#include <kelvane/console.hpp>
#include <kelvane/dispatch.hpp>

#include <atomic>
#include <cstddef>

#include "kelvane_console_h.h"

namespace KelvaneConsole::com {

class ConsoleObject final : public _Console, public ISupportErrorInfo {
 public:
  ConsoleObject() noexcept;
  ~ConsoleObject();
  ConsoleObject(const ConsoleObject&) = delete;
  ConsoleObject& operator=(const ConsoleObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // _Console, in function-table order
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* a) override;
  HRESULT STDMETHODCALLTYPE put_Caption(BSTR* New_Caption) override;
  HRESULT STDMETHODCALLTYPE DrawBox(short* X, short* Y, short* Width, short* Height, LONG* ForeColor,
                                    LONG* BackColor, ::KSConsoleLineStyles* LineStyle,
                                    VARIANT_BOOL* DrawShadow, VARIANT* PageIndex, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE DrawHLine(short* X, short* Y, short* Width, LONG* ForeColor, LONG* BackColor,
                                      ::KSConsoleLineStyles* LineStyle, VARIANT* PageIndex,
                                      VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE DrawVLine(short* X, short* Y, short* Height, LONG* ForeColor, LONG* BackColor,
                                      ::KSConsoleLineStyles* LineStyle, VARIANT* PageIndex,
                                      VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE SaveScreen(BSTR* FileName, VARIANT* PageIndex, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE LoadScreen(BSTR* FileName, VARIANT* PageIndex, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE SetColor(LONG* ForeColor, VARIANT* BackColor, VARIANT* PageIndex,
                                     VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE SetScreenData(BSTR* Char, LONG* ForeColor, VARIANT* BackColor, VARIANT* X,
                                          VARIANT* Y, VARIANT* PageIndex, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE GetScreenData(BSTR* Char, LONG* ForeColor, LONG* BackColor, VARIANT* X,
                                          VARIANT* Y, VARIANT* PageIndex, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE ToggleFullScreen() override;
  HRESULT STDMETHODCALLTYPE ClearScreen(VARIANT* ForeColor, VARIANT* BackColor, VARIANT* PageIndex,
                                        VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE get_CursorSize(short* a) override;
  HRESULT STDMETHODCALLTYPE put_CursorSize(short* New_CursorSize) override;
  HRESULT STDMETHODCALLTYPE get_CursorVisible(VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE put_CursorVisible(VARIANT_BOOL* New_CursorVisible) override;
  HRESULT STDMETHODCALLTYPE GetWindowSize(short* Width, short* Height, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE GetInputKey(VARIANT_BOOL* NoCursor, short* a) override;
  HRESULT STDMETHODCALLTYPE GetInputChar(VARIANT_BOOL* NoCursor, BSTR* a) override;
  HRESULT STDMETHODCALLTYPE Load(VARIANT_BOOL* StartFullScreen) override;
  HRESULT STDMETHODCALLTYPE get_Page(short* a) override;
  HRESULT STDMETHODCALLTYPE put_Page(short* New_Page) override;
  HRESULT STDMETHODCALLTYPE PageCopy(short* SourcePage, short* DestPage, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE SetCursorPos(short* X, short* Y, VARIANT* PageIndex, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE GetCursorPos(short* X, short* Y, VARIANT* PageIndex, VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE GetInputLine(BSTR* Prompt, LONG* MaxLength, VARIANT* PageIndex, BSTR* a) override;
  HRESULT STDMETHODCALLTYPE WriteText(BSTR Text, VARIANT* ForeColor, VARIANT* BackColor,
                                      VARIANT_BOOL* KeepCursorOnCurrentLine, VARIANT* PageIndex,
                                      VARIANT_BOOL* a) override;
  HRESULT STDMETHODCALLTYPE Unload() override;

 private:
  // A function-table call: the member of that slot through Dispatch, with the caller's arguments and,
  // for a member with a result, its [out, retval] pointer last.
  template <int Slot, class... Pointers>
  HRESULT Early(Pointers... pointers) noexcept;

  std::atomic<ULONG> references_{1};
  Console console_;
  Dispatch dispatch_{console_};
};

// The error information of a raised error, for GetErrorInfo; returns its HRESULT (0x800A0000 + number).
HRESULT ReportError(const ExceptionInfo& error) noexcept;

}  // namespace KelvaneConsole::com
