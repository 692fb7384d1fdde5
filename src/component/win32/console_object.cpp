#include "component/win32/console_object.hpp"

#include <array>
#include <new>
#include <span>
#include <vector>

#include "component/member_table.hpp"
#include "component/win32/com_variant.hpp"
#include "component/win32/module.hpp"

namespace KelvaneConsole::com {

using component::AutoType;
using component::kFirstSlot;
using component::kMembers;
using component::MemberSpec;
using component::Passing;

namespace {

// Automation text from UTF-8 for the error record; an empty string where memory runs out.
struct Text {
  BSTR value;
  explicit Text(const String& utf8) : value(BstrFromUtf8(utf8)) {}
  ~Text() { SysFreeString(value); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
};

// No error record is left over from an earlier call when this one fails without raising an error.
HRESULT Failed(HRESULT status) noexcept {
  SetErrorInfo(0, nullptr);
  return status;
}

// The row of a DISPID whose kind is among the flags; nullptr when there is none.
const MemberSpec* RowOf(DispId id, InvokeKind kind) noexcept {
  for (const MemberSpec& member : kMembers) {
    const auto flags = static_cast<std::uint16_t>(kind) & static_cast<std::uint16_t>(member.kind);
    if (member.dispid == id && flags != 0) return &member;
  }
  return nullptr;
}

// Whether an argument converts to its parameter's type, for telling a caller which one did not.
bool Converts(const Variant& argument, AutoType type) {
  if (argument.IsMissing()) return true;
  try {
    switch (type) {
      case AutoType::Integer:
        argument.ToInteger();
        break;
      case AutoType::Long:
      case AutoType::LineStyle:
        argument.ToLong();
        break;
      case AutoType::Boolean:
        argument.ToBoolean();
        break;
      case AutoType::String:
        argument.ToString();
        break;
      case AutoType::Void:
      case AutoType::Variant:
        break;
    }
    return true;
  } catch (const Error&) {
    return false;
  }
}

// --- the function table's arguments: read into Variants before the call, stored after it ---
// A null pointer is an omitted argument. Integer and Boolean are both `short` in the table (VARIANT_BOOL),
// so the row's type says which one a pointer holds.

HRESULT Read(const short* p, AutoType type, Variant& v) {
  if (p == nullptr) return S_OK;
  v = type == AutoType::Boolean ? Variant(*p != VARIANT_FALSE) : Variant(static_cast<Integer>(*p));
  return S_OK;
}
HRESULT Read(const LONG* p, AutoType, Variant& v) {
  if (p != nullptr) v = Variant(static_cast<Long>(*p));
  return S_OK;
}
HRESULT Read(const ::KSConsoleLineStyles* p, AutoType, Variant& v) {
  if (p != nullptr) v = Variant(static_cast<Long>(*p));
  return S_OK;
}
HRESULT Read(const BSTR* p, AutoType, Variant& v) {
  if (p != nullptr) v = Variant(Utf8FromBstr(*p));
  return S_OK;
}
HRESULT Read(BSTR text, AutoType, Variant& v) {  // by value: never omitted, a null BSTR is ""
  v = Variant(Utf8FromBstr(text));
  return S_OK;
}
HRESULT Read(const VARIANT* p, AutoType, Variant& v) { return p == nullptr ? S_OK : FromVariant(*p, v); }

// `replace` frees what an [in, out] BSTR held; an [out, retval] one holds nothing yet.
HRESULT Store(short* p, AutoType type, const Variant& v, bool) {
  *p = type == AutoType::Boolean ? (v.ToBoolean() ? VARIANT_TRUE : VARIANT_FALSE) : v.ToInteger();
  return S_OK;
}
HRESULT Store(LONG* p, AutoType, const Variant& v, bool) {
  *p = v.ToLong();
  return S_OK;
}
HRESULT Store(::KSConsoleLineStyles* p, AutoType, const Variant& v, bool) {
  *p = static_cast<::KSConsoleLineStyles>(v.ToLong());
  return S_OK;
}
HRESULT Store(BSTR* p, AutoType, const Variant& v, bool replace) {
  BSTR text = BstrFromUtf8(v.ToString());
  if (text == nullptr) return E_OUTOFMEMORY;
  if (replace) SysFreeString(*p);
  *p = text;
  return S_OK;
}
HRESULT Store(BSTR, AutoType, const Variant&, bool) { return S_OK; }
HRESULT Store(VARIANT* p, AutoType, const Variant& v, bool replace) {
  if (replace) VariantClear(p);
  return ToVariant(v, *p);
}

template <class P>
bool IsNull(P p) {
  if constexpr (std::is_same_v<P, BSTR>) {
    return false;  // a null BSTR is the empty string
  } else {
    return p == nullptr;
  }
}

}  // namespace

HRESULT ReportError(const ExceptionInfo& error) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    try {
      Text source(error.Source), description(error.Description), help_file(error.HelpFile);
      create->SetGUID(IID__Console);
      create->SetSource(source.value);
      create->SetDescription(description.value);
      create->SetHelpFile(help_file.value);
      create->SetHelpContext(static_cast<DWORD>(error.HelpContext));
      IErrorInfo* info = nullptr;
      if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
      }
    } catch (const std::bad_alloc&) {
      SetErrorInfo(0, nullptr);
    }
    create->Release();
  }
  return error.Code;
}

ConsoleObject::ConsoleObject() noexcept { ObjectCreated(); }
ConsoleObject::~ConsoleObject() { ObjectDestroyed(); }

HRESULT STDMETHODCALLTYPE ConsoleObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__Console) {
    *object = static_cast<_Console*>(this);
  } else if (riid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE ConsoleObject::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE ConsoleObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE ConsoleObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConsoleObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return LoadConsoleTypeInfo(info);
}

HRESULT STDMETHODCALLTYPE ConsoleObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                       DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  if (count == 0) return S_OK;
  HRESULT status = S_OK;
  try {
    ids[0] = dispatch_.GetIDOfName(Utf8FromBstr(names[0], names[0] ? wcslen(names[0]) : 0));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (ids[0] == kDispIdUnknown) status = DISP_E_UNKNOWNNAME;
  // Arguments are taken by position only: no parameter has a DISPID of its own.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    status = DISP_E_UNKNOWNNAME;
  }
  return status;
}

HRESULT STDMETHODCALLTYPE ConsoleObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                                VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  if (riid != IID_NULL) return Failed(DISP_E_UNKNOWNINTERFACE);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (params == nullptr) params = &none;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return Failed(E_POINTER);
  // A put comes with its value as the one named argument DISPID_PROPERTYPUT. Otherwise the flags pass
  // as they are: Method | PropertyGet, which script clients send for any call, finds the method or the
  // property's getter that the DISPID names.
  InvokeKind kind;
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    const bool value_named = params->cNamedArgs == 1 && params->rgdispidNamedArgs != nullptr &&
                             params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (!value_named) return Failed(DISP_E_PARAMNOTOPTIONAL);
    kind = InvokeKind::PropertyPut;
  } else {
    if (params->cNamedArgs != 0) return Failed(DISP_E_NONAMEDARGS);
    kind = static_cast<InvokeKind>(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET));
  }
  const MemberSpec* row = RowOf(id, kind);
  if (row == nullptr) return Failed(DISP_E_MEMBERNOTFOUND);

  // DISPPARAMS holds the arguments last first.
  const UINT count = params->cArgs;
  auto argument = [&](UINT i) -> VARIANT& { return params->rgvarg[count - 1 - i]; };
  std::vector<Variant> values;
  Variant value;
  ExceptionInfo error;
  HResult status;
  try {
    values.resize(count);
    for (UINT i = 0; i < count; ++i) {
      if (const HRESULT read = FromVariant(argument(i), values[i]); FAILED(read)) {
        if (argument_error != nullptr) *argument_error = count - 1 - i;
        return Failed(read);
      }
    }
    status = dispatch_.Invoke(id, kind, values, result != nullptr ? &value : nullptr, &error);
    if (status == kDispETypeMismatch || status == kDispEOverflow) {
      for (UINT i = 0; i < count && i < row->params.size(); ++i) {
        if (!Converts(values[i], row->params[i].type)) {
          if (argument_error != nullptr) *argument_error = count - 1 - i;
          break;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return Failed(E_OUTOFMEMORY);
  }
  if (status == kDispEException) {
    if (exception != nullptr) {
      *exception = EXCEPINFO{};
      exception->scode = error.Code;
      exception->bstrSource = BstrFromUtf8(error.Source);
      exception->bstrDescription = BstrFromUtf8(error.Description);
      exception->bstrHelpFile = BstrFromUtf8(error.HelpFile);
      exception->dwHelpContext = static_cast<DWORD>(error.HelpContext);
    }
    ReportError(error);
    return DISP_E_EXCEPTION;
  }
  if (FAILED(status)) return Failed(status);

  // The caller's variables passed by reference get what the member wrote into them.
  for (UINT i = 0; i < count && i < row->params.size(); ++i) {
    if (row->params[i].passing == Passing::WrittenBack) WriteBack(values[i], argument(i));
  }
  if (result != nullptr && row->result != AutoType::Void) {
    if (const HRESULT stored = ToVariant(value, *result); FAILED(stored)) return Failed(stored);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConsoleObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID__Console ? S_OK : S_FALSE;
}

template <int Slot, class... Pointers>
HRESULT ConsoleObject::Early(Pointers... pointers) noexcept {
  constexpr const MemberSpec& row = kMembers[Slot - kFirstSlot];
  constexpr std::size_t count = row.params.size();
  constexpr bool has_result = row.result != AutoType::Void;
  static_assert(sizeof...(Pointers) == count + (has_result ? 1 : 0), "the slot's parameters and result");

  std::array<Variant, sizeof...(Pointers)> values;
  Variant value;
  ExceptionInfo error;
  HResult status = S_OK;
  try {
    std::size_t i = 0;
    // Required parameters and the result need somewhere to be.
    (
        [&](auto pointer) {
          const bool required = i == count || !row.params[i].optional();
          if (SUCCEEDED(status) && required && IsNull(pointer)) status = E_POINTER;
          if (SUCCEEDED(status) && i < count) status = Read(pointer, row.params[i].type, values[i]);
          ++i;
        }(pointers),
        ...);
    if (FAILED(status)) return Failed(status);
    status = dispatch_.Invoke(row.dispid, row.kind, std::span<Variant>(values.data(), count),
                              has_result ? &value : nullptr, &error);
    if (status == kDispEException) return ReportError(error);
    if (FAILED(status)) return Failed(status);
    i = 0;
    (
        [&](auto pointer) {
          if (SUCCEEDED(status) && i < count && row.params[i].passing == Passing::WrittenBack &&
              !IsNull(pointer))
            status = Store(pointer, row.params[i].type, values[i], true);
          if (SUCCEEDED(status) && i == count) status = Store(pointer, row.result, value, false);
          ++i;
        }(pointers),
        ...);
    static_cast<void>(i);  // members without parameters or result
  } catch (const std::bad_alloc&) {
    return Failed(E_OUTOFMEMORY);
  } catch (const Error&) {
    return Failed(DISP_E_TYPEMISMATCH);
  }
  return SUCCEEDED(status) ? S_OK : Failed(status);
}

// Each entry of the table calls the member of its slot; the slot numbers are those of the member table,
// and Early checks each entry's count of pointers against its row.
HRESULT STDMETHODCALLTYPE ConsoleObject::get_Caption(BSTR* a) { return Early<7>(a); }
HRESULT STDMETHODCALLTYPE ConsoleObject::put_Caption(BSTR* New_Caption) { return Early<8>(New_Caption); }
HRESULT STDMETHODCALLTYPE ConsoleObject::DrawBox(short* X, short* Y, short* Width, short* Height,
                                                 LONG* ForeColor, LONG* BackColor,
                                                 ::KSConsoleLineStyles* LineStyle, VARIANT_BOOL* DrawShadow,
                                                 VARIANT* PageIndex, VARIANT_BOOL* a) {
  return Early<9>(X, Y, Width, Height, ForeColor, BackColor, LineStyle, DrawShadow, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::DrawHLine(short* X, short* Y, short* Width, LONG* ForeColor,
                                                   LONG* BackColor, ::KSConsoleLineStyles* LineStyle,
                                                   VARIANT* PageIndex, VARIANT_BOOL* a) {
  return Early<10>(X, Y, Width, ForeColor, BackColor, LineStyle, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::DrawVLine(short* X, short* Y, short* Height, LONG* ForeColor,
                                                   LONG* BackColor, ::KSConsoleLineStyles* LineStyle,
                                                   VARIANT* PageIndex, VARIANT_BOOL* a) {
  return Early<11>(X, Y, Height, ForeColor, BackColor, LineStyle, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::SaveScreen(BSTR* FileName, VARIANT* PageIndex, VARIANT_BOOL* a) {
  return Early<12>(FileName, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::LoadScreen(BSTR* FileName, VARIANT* PageIndex, VARIANT_BOOL* a) {
  return Early<13>(FileName, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::SetColor(LONG* ForeColor, VARIANT* BackColor, VARIANT* PageIndex,
                                                  VARIANT_BOOL* a) {
  return Early<14>(ForeColor, BackColor, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::SetScreenData(BSTR* Char, LONG* ForeColor, VARIANT* BackColor,
                                                       VARIANT* X, VARIANT* Y, VARIANT* PageIndex,
                                                       VARIANT_BOOL* a) {
  return Early<15>(Char, ForeColor, BackColor, X, Y, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::GetScreenData(BSTR* Char, LONG* ForeColor, LONG* BackColor,
                                                       VARIANT* X, VARIANT* Y, VARIANT* PageIndex,
                                                       VARIANT_BOOL* a) {
  return Early<16>(Char, ForeColor, BackColor, X, Y, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::ToggleFullScreen() { return Early<17>(); }
HRESULT STDMETHODCALLTYPE ConsoleObject::ClearScreen(VARIANT* ForeColor, VARIANT* BackColor,
                                                     VARIANT* PageIndex, VARIANT_BOOL* a) {
  return Early<18>(ForeColor, BackColor, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::get_CursorSize(short* a) { return Early<19>(a); }
HRESULT STDMETHODCALLTYPE ConsoleObject::put_CursorSize(short* New_CursorSize) {
  return Early<20>(New_CursorSize);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::get_CursorVisible(VARIANT_BOOL* a) { return Early<21>(a); }
HRESULT STDMETHODCALLTYPE ConsoleObject::put_CursorVisible(VARIANT_BOOL* New_CursorVisible) {
  return Early<22>(New_CursorVisible);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::GetWindowSize(short* Width, short* Height, VARIANT_BOOL* a) {
  return Early<23>(Width, Height, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::GetInputKey(VARIANT_BOOL* NoCursor, short* a) {
  return Early<24>(NoCursor, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::GetInputChar(VARIANT_BOOL* NoCursor, BSTR* a) {
  return Early<25>(NoCursor, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::Load(VARIANT_BOOL* StartFullScreen) {
  return Early<26>(StartFullScreen);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::get_Page(short* a) { return Early<27>(a); }
HRESULT STDMETHODCALLTYPE ConsoleObject::put_Page(short* New_Page) { return Early<28>(New_Page); }
HRESULT STDMETHODCALLTYPE ConsoleObject::PageCopy(short* SourcePage, short* DestPage, VARIANT_BOOL* a) {
  return Early<29>(SourcePage, DestPage, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::SetCursorPos(short* X, short* Y, VARIANT* PageIndex,
                                                      VARIANT_BOOL* a) {
  return Early<30>(X, Y, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::GetCursorPos(short* X, short* Y, VARIANT* PageIndex,
                                                      VARIANT_BOOL* a) {
  return Early<31>(X, Y, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::GetInputLine(BSTR* Prompt, LONG* MaxLength, VARIANT* PageIndex,
                                                      BSTR* a) {
  return Early<32>(Prompt, MaxLength, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::WriteText(BSTR Text, VARIANT* ForeColor, VARIANT* BackColor,
                                                   VARIANT_BOOL* KeepCursorOnCurrentLine, VARIANT* PageIndex,
                                                   VARIANT_BOOL* a) {
  return Early<33>(Text, ForeColor, BackColor, KeepCursorOnCurrentLine, PageIndex, a);
}
HRESULT STDMETHODCALLTYPE ConsoleObject::Unload() { return Early<34>(); }

}  // namespace KelvaneConsole::com
