// Automation values at the COM boundary: VARIANT and BSTR to the library's Variant and UTF-8 text, and
// back.
#pragma once

#include <windows.h>  // before the other Windows headers, which need it

#include <oleauto.h>

#include <kelvane/console.hpp>

namespace KelvaneConsole::com {

// UTF-16 to UTF-8 and back. A lone surrogate becomes U+FFFD. A null BSTR is the empty string.
String Utf8FromBstr(const wchar_t* text, std::size_t length);
String Utf8FromBstr(BSTR text);
// A new BSTR; nullptr only when memory could not be had.
BSTR BstrFromUtf8(const String& text);

// The value a VARIANT holds, looked through one level of VT_BYREF (VT_BYREF | VT_VARIANT included).
// The error variant DISP_E_PARAMNOTFOUND is an omitted argument. DISP_E_TYPEMISMATCH for what no
// member takes (objects, arrays, other error codes); E_OUTOFMEMORY.
HRESULT FromVariant(const VARIANT& in, Variant& out);

// A new VARIANT, which the caller clears: Missing as the omitted-argument error variant, Boolean as
// VT_BOOL (-1 or 0), Integer VT_I2, Long VT_I4, Double VT_R8, String VT_BSTR.
HRESULT ToVariant(const Variant& in, VARIANT& out);

// Writes a value back into the caller's variable that a VT_BYREF argument points to: a Variant variable
// takes the value as it is, a typed one converted to its type. Nothing is written for an argument passed
// by value; a value the variable's type cannot hold leaves it as it was (DISP_E_OVERFLOW or
// DISP_E_TYPEMISMATCH).
HRESULT WriteBack(const Variant& value, VARIANT& argument);

}  // namespace KelvaneConsole::com
