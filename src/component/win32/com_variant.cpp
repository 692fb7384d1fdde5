#include "component/win32/com_variant.hpp"

#include <cstring>
#include <new>

namespace KelvaneConsole::com {

String Utf8FromBstr(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0) return String();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return String();
  String utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

String Utf8FromBstr(BSTR text) { return Utf8FromBstr(text, text ? SysStringLen(text) : 0); }

BSTR BstrFromUtf8(const String& text) {
  if (text.empty()) return SysAllocStringLen(L"", 0);
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return SysAllocStringLen(L"", 0);
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (wide != nullptr) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide, n);
  return wide;
}

namespace {

// A VARIANT that clears itself.
struct OwnedVariant {
  VARIANT v;
  OwnedVariant() { VariantInit(&v); }
  ~OwnedVariant() { VariantClear(&v); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
};

}  // namespace

HRESULT FromVariant(const VARIANT& in, Variant& out) {
  const VARIANT* value = &in;
  if (V_VT(value) == (VT_BYREF | VT_VARIANT)) {
    if (V_VARIANTREF(value) == nullptr) return E_POINTER;
    value = V_VARIANTREF(value);
  }
  // VariantCopyInd gives the value behind a typed reference (VT_BYREF | VT_I2 and so on) as a plain one.
  OwnedVariant plain;
  if ((V_VT(value) & VT_BYREF) != 0) {
    // The API takes the source as non-const; it only reads it.
    if (FAILED(VariantCopyInd(&plain.v, const_cast<VARIANT*>(value)))) return DISP_E_TYPEMISMATCH;
    value = &plain.v;
  }
  try {
    switch (V_VT(value)) {
      case VT_EMPTY:
        out = Variant::Empty();
        return S_OK;
      case VT_NULL:
        out = Variant::Null();
        return S_OK;
      case VT_ERROR:
        if (V_ERROR(value) != DISP_E_PARAMNOTFOUND) return DISP_E_TYPEMISMATCH;
        out = Missing;
        return S_OK;
      case VT_BOOL:
        out = Variant(V_BOOL(value) != VARIANT_FALSE);
        return S_OK;
      case VT_I1:
        out = Variant(static_cast<Integer>(V_I1(value)));
        return S_OK;
      case VT_UI1:
        out = Variant(static_cast<Integer>(V_UI1(value)));
        return S_OK;
      case VT_I2:
        out = Variant(static_cast<Integer>(V_I2(value)));
        return S_OK;
      case VT_UI2:
        out = Variant(static_cast<Long>(V_UI2(value)));
        return S_OK;
      case VT_I4:
        out = Variant(static_cast<Long>(V_I4(value)));
        return S_OK;
      case VT_INT:
        out = Variant(static_cast<Long>(V_INT(value)));
        return S_OK;
      // Wider than a Long: kept as a number, so that a conversion to Integer or Long overflows as it should.
      case VT_UI4:
        out = Variant(static_cast<double>(V_UI4(value)));
        return S_OK;
      case VT_UINT:
        out = Variant(static_cast<double>(V_UINT(value)));
        return S_OK;
      case VT_I8:
        out = Variant(static_cast<double>(V_I8(value)));
        return S_OK;
      case VT_UI8:
        out = Variant(static_cast<double>(V_UI8(value)));
        return S_OK;
      case VT_R4:
        out = Variant(static_cast<double>(V_R4(value)));
        return S_OK;
      case VT_R8:
        out = Variant(V_R8(value));
        return S_OK;
      case VT_CY:
      case VT_DATE:
      case VT_DECIMAL: {
        OwnedVariant number;
        if (FAILED(VariantChangeType(&number.v, const_cast<VARIANT*>(value), 0, VT_R8)))
          return DISP_E_TYPEMISMATCH;
        out = Variant(V_R8(&number.v));
        return S_OK;
      }
      case VT_BSTR:
        out = Variant(Utf8FromBstr(V_BSTR(value)));
        return S_OK;
      default:
        return DISP_E_TYPEMISMATCH;
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ToVariant(const Variant& in, VARIANT& out) {
  VariantInit(&out);
  switch (in.GetKind()) {
    case Variant::Kind::Missing:
      V_VT(&out) = VT_ERROR;
      V_ERROR(&out) = DISP_E_PARAMNOTFOUND;
      return S_OK;
    case Variant::Kind::Empty:
      return S_OK;
    case Variant::Kind::Null:
      V_VT(&out) = VT_NULL;
      return S_OK;
    case Variant::Kind::Boolean:
      V_VT(&out) = VT_BOOL;
      V_BOOL(&out) = in.IntegerValue() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case Variant::Kind::Integer:
      V_VT(&out) = VT_I2;
      V_I2(&out) = static_cast<SHORT>(in.IntegerValue());
      return S_OK;
    case Variant::Kind::Long:
      V_VT(&out) = VT_I4;
      V_I4(&out) = in.IntegerValue();
      return S_OK;
    case Variant::Kind::Double:
      V_VT(&out) = VT_R8;
      V_R8(&out) = in.DoubleValue();
      return S_OK;
    case Variant::Kind::String: {
      BSTR text = BstrFromUtf8(in.StringValue());
      if (text == nullptr) return E_OUTOFMEMORY;
      V_VT(&out) = VT_BSTR;
      V_BSTR(&out) = text;
      return S_OK;
    }
  }
  return E_UNEXPECTED;
}

HRESULT WriteBack(const Variant& value, VARIANT& argument) {
  const VARTYPE vt = V_VT(&argument);
  if ((vt & VT_BYREF) == 0) return S_OK;
  OwnedVariant converted;
  if (HRESULT hr = ToVariant(value, converted.v); FAILED(hr)) return hr;
  if (vt == (VT_BYREF | VT_VARIANT)) {
    VARIANT* variable = V_VARIANTREF(&argument);
    if (variable == nullptr) return E_POINTER;
    // The variable's old value is released, and the new one handed over without a copy.
    VariantClear(variable);
    *variable = converted.v;
    VariantInit(&converted.v);
    return S_OK;
  }
  const VARTYPE type = vt & ~VT_BYREF;
  if (HRESULT hr = VariantChangeType(&converted.v, &converted.v, 0, type); FAILED(hr)) return hr;
  void* place = V_BYREF(&argument);
  if (place == nullptr) return E_POINTER;
  // Every member of the value union starts where the variant's value does.
  const void* from = &V_UI1(&converted.v);
  switch (type) {
    case VT_I1:
    case VT_UI1:
      std::memcpy(place, from, 1);
      return S_OK;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      std::memcpy(place, from, 2);
      return S_OK;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
      std::memcpy(place, from, 4);
      return S_OK;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      std::memcpy(place, from, 8);
      return S_OK;
    case VT_DECIMAL:
      *static_cast<DECIMAL*>(place) = V_DECIMAL(&converted.v);
      return S_OK;
    case VT_BSTR: {
      BSTR* variable = static_cast<BSTR*>(place);
      SysFreeString(*variable);
      *variable = V_BSTR(&converted.v);
      VariantInit(&converted.v);
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace KelvaneConsole::com
