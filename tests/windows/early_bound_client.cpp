// An early-bound client of KelvaneConsole.Console: every member called through the function table of
// _Console, in slot order, on a console (a tmux pane under Wine). Writes its checks to the log file named
// by the first argument, ending with "N passed, N failed".
//
// The driver (run_tests.sh) types keys when the pane shows KEY?, CHAR? and LINE?: "b", "c", then "h",
// "i" and Enter.
//
// With --unregistered it checks instead that nothing of the component is left in the registry.
#include <windows.h>  // before the other Windows headers, which need it

#include <cguid.h>
#include <initguid.h>  // the GUIDs of the generated header are defined here
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "kelvane_console_h.h"

namespace {

FILE* g_log = stdout;
int g_passed = 0;
int g_failed = 0;

void Check(const char* name, bool ok) {
  (ok ? g_passed : g_failed)++;
  std::fprintf(g_log, "%s %s\n", ok ? "ok  " : "FAIL", name);
  std::fflush(g_log);
}

// A BSTR that frees itself.
struct Text {
  BSTR value = nullptr;
  Text() = default;
  explicit Text(const wchar_t* text) : value(SysAllocString(text)) {}
  ~Text() { SysFreeString(value); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  bool Is(const wchar_t* text) const { return value != nullptr && std::wcscmp(value, text) == 0; }
};

// The omitted-argument variant, as a compiler passes it for an optional VARIANT left out.
VARIANT Omitted() {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_ERROR;
  V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
  return v;
}

VARIANT Number(short n) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I2;
  V_I2(&v) = n;
  return v;
}

bool KeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

int Summary() {
  std::fprintf(g_log, "%d passed, %d failed\n", g_passed, g_failed);
  std::fclose(g_log);
  return g_failed == 0 ? 0 : 1;
}

void Unregistered() {
  CLSID clsid;
  Check("the ProgID is gone", FAILED(CLSIDFromProgID(L"KelvaneConsole.Console", &clsid)));
  _Console* console = nullptr;
  const HRESULT created = CoCreateInstance(CLSID_Console, nullptr, CLSCTX_INPROC_SERVER, IID__Console,
                                           reinterpret_cast<void**>(&console));
  Check("CoCreateInstance: class not registered", created == REGDB_E_CLASSNOTREG && console == nullptr);
  Check("no CLSID key", !KeyExists(L"CLSID\\" + GuidText(CLSID_Console)));
  Check("no TypeLib key", !KeyExists(L"TypeLib\\" + GuidText(LIBID_KelvaneConsole)));
  Check("no Interface key", !KeyExists(L"Interface\\" + GuidText(IID__Console)));
}

void Registered() {
  CLSID clsid{};
  Check("CLSIDFromProgID(KelvaneConsole.Console)",
        SUCCEEDED(CLSIDFromProgID(L"KelvaneConsole.Console", &clsid)) && clsid == CLSID_Console);
  ITypeLib* library = nullptr;
  Check("LoadRegTypeLib 1.0", SUCCEEDED(LoadRegTypeLib(LIBID_KelvaneConsole, 1, 0, 0x409, &library)));
  if (library != nullptr) {
    TLIBATTR* attributes = nullptr;
    library->GetLibAttr(&attributes);
    Check("the type library is the one for this bitness",
          attributes != nullptr && attributes->syskind == (sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32));
    library->ReleaseTLibAttr(attributes);
    library->Release();
  }

  _Console* c = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_Console, nullptr, CLSCTX_INPROC_SERVER, IID__Console,
                                reinterpret_cast<void**>(&c));
  Check("CoCreateInstance(CLSID_Console, IID__Console)", SUCCEEDED(hr) && c != nullptr);
  if (c == nullptr) return;

  // Slot 26 first: nothing works before Load.
  Check("slot 26 Load, its optional argument omitted (a null pointer)", c->Load(nullptr) == S_OK);

  Text caption(L"early bound");
  Check("slot 8 put_Caption", c->put_Caption(&caption.value) == S_OK);
  Text read_caption;
  Check("slot 7 get_Caption", c->get_Caption(&read_caption.value) == S_OK && read_caption.Is(L"early bound"));

  short x = 2, y = 1, width = 100, height = 3;
  LONG fore = 0xFFFF, back = 0x800000;
  KSConsoleLineStyles style = kcLineDoubleLine;
  VARIANT_BOOL shadow = VARIANT_FALSE, drawn = VARIANT_FALSE;
  VARIANT page = Omitted();
  hr = c->DrawBox(&x, &y, &width, &height, &fore, &back, &style, &shadow, &page, &drawn);
  Check("slot 9 DrawBox: True, the width written back clipped",
        hr == S_OK && drawn == VARIANT_TRUE && width == 78 && height == 3);

  short hx = 70, hy = 20, length = 50;
  KSConsoleLineStyles plain = kcLinePlain;
  hr = c->DrawHLine(&hx, &hy, &length, &fore, &back, &plain, &page, &drawn);
  Check("slot 10 DrawHLine: the width written back clipped",
        hr == S_OK && drawn == VARIANT_TRUE && length == 10);
  short vx = 0, vy = 20, vlength = 50;
  hr = c->DrawVLine(&vx, &vy, &vlength, &fore, &back, &plain, &page, &drawn);
  Check("slot 11 DrawVLine: the height written back clipped",
        hr == S_OK && drawn == VARIANT_TRUE && vlength == 5);

  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  Text file((std::wstring(folder) + L"kelvane_early_bound.scr").c_str());
  VARIANT page7 = Number(7);
  hr = c->SaveScreen(&file.value, &page, &drawn);
  Check("slot 12 SaveScreen", hr == S_OK && drawn == VARIANT_TRUE);
  hr = c->LoadScreen(&file.value, &page7, &drawn);
  Check("slot 13 LoadScreen onto page 7", hr == S_OK && drawn == VARIANT_TRUE);
  DeleteFileW(file.value);

  LONG white = 0xFFFFFF;
  VARIANT black = Number(0);
  hr = c->SetColor(&white, &black, &page, &drawn);
  Check("slot 14 SetColor", hr == S_OK && drawn == VARIANT_TRUE);

  Text character(L"QRS");
  VARIANT at_x = Number(5), at_y = Number(10);
  hr = c->SetScreenData(&character.value, &white, &black, &at_x, &at_y, &page, &drawn);
  Check("slot 15 SetScreenData writes back its first character",
        hr == S_OK && drawn == VARIANT_TRUE && character.Is(L"Q"));

  Text got;
  LONG got_fore = 0, got_back = 0;
  VARIANT corner_x = Number(2), corner_y = Number(1);
  hr = c->GetScreenData(&got.value, &got_fore, &got_back, &corner_x, &corner_y, &page7, &drawn);
  Check("slot 16 GetScreenData on page 7: the box's corner from the file",
        hr == S_OK && got.Is(L"\u2554") && got_fore == 0xFFFF && got_back == 0x800000);

  Text before_toggle;
  c->get_Caption(&before_toggle.value);
  hr = c->ToggleFullScreen();
  Text after_toggle;
  c->get_Caption(&after_toggle.value);
  Check("slot 17 ToggleFullScreen puts the caption back",
        hr == S_OK && before_toggle.value != nullptr && after_toggle.Is(before_toggle.value));

  VARIANT page3 = Number(3);
  VARIANT red = Number(0xFF), grey = Number(0);
  hr = c->ClearScreen(&red, &grey, &page3, &drawn);
  Check("slot 18 ClearScreen page 3", hr == S_OK && drawn == VARIANT_TRUE);

  short size = 50;
  Check("slot 20 put_CursorSize", c->put_CursorSize(&size) == S_OK);
  size = 0;
  Check("slot 19 get_CursorSize", c->get_CursorSize(&size) == S_OK && size == 50);
  VARIANT_BOOL visible = VARIANT_FALSE;
  Check("slot 22 put_CursorVisible", c->put_CursorVisible(&visible) == S_OK);
  visible = VARIANT_TRUE;
  Check("slot 21 get_CursorVisible", c->get_CursorVisible(&visible) == S_OK && visible == VARIANT_FALSE);

  short columns = 0, rows = 0;
  VARIANT_BOOL sized = VARIANT_TRUE;
  hr = c->GetWindowSize(&columns, &rows, &sized);
  Check("slot 23 GetWindowSize: False, the size written back",
        hr == S_OK && sized == VARIANT_FALSE && columns == 80 && rows == 25);
  std::fprintf(g_log, "     window %dx%d\n", columns, rows);

  BSTR prompt_key = SysAllocString(L"KEY?");
  VARIANT_BOOL keep = VARIANT_TRUE;
  c->WriteText(prompt_key, &page, &page, &keep, &page, &drawn);
  SysFreeString(prompt_key);
  VARIANT_BOOL no_cursor = VARIANT_TRUE;
  short key = 0;
  hr = c->GetInputKey(&no_cursor, &key);
  Check("slot 24 GetInputKey: b is 66", hr == S_OK && key == 'B');

  BSTR prompt_char = SysAllocString(L"CHAR?");
  c->WriteText(prompt_char, &page, &page, &keep, &page, &drawn);
  SysFreeString(prompt_char);
  Text typed;
  hr = c->GetInputChar(nullptr, &typed.value);
  Check("slot 25 GetInputChar: c", hr == S_OK && typed.Is(L"c"));

  short new_page = 3;
  Check("slot 28 put_Page", c->put_Page(&new_page) == S_OK);
  new_page = 0;
  Check("slot 27 get_Page", c->get_Page(&new_page) == S_OK && new_page == 3);

  short source = 0, destination = 3;
  hr = c->PageCopy(&source, &destination, &drawn);
  Check("slot 29 PageCopy 0 onto 3, which is shown", hr == S_OK && drawn == VARIANT_TRUE);

  short cx = 10, cy = 12;
  hr = c->SetCursorPos(&cx, &cy, &page, &drawn);
  Check("slot 30 SetCursorPos", hr == S_OK && drawn == VARIANT_TRUE);
  cx = cy = 0;
  hr = c->GetCursorPos(&cx, &cy, &page, &drawn);
  Check("slot 31 GetCursorPos: False, the position written back",
        hr == S_OK && drawn == VARIANT_FALSE && cx == 10 && cy == 12);

  Text prompt_line(L"LINE?");
  LONG max_length = 0;
  Text line;
  hr = c->GetInputLine(&prompt_line.value, &max_length, &page, &line.value);
  Check("slot 32 GetInputLine: hi", hr == S_OK && line.Is(L"hi"));

  BSTR message = SysAllocString(L"written");
  hr = c->WriteText(message, &page, &page, &keep, &page, &drawn);
  SysFreeString(message);
  Check("slot 33 WriteText", hr == S_OK && drawn == VARIANT_TRUE);

  // A raised error: its HRESULT, and its record for GetErrorInfo.
  VARIANT page20 = Number(20);
  hr = c->DrawBox(&x, &y, &width, &height, &fore, &back, &style, &shadow, &page20, &drawn);
  Check("a failing call returns 0x800A0000 + 30053", hr == static_cast<HRESULT>(0x800A7565));
  IErrorInfo* info = nullptr;
  Text description, error_source, help_file;
  DWORD help_context = 0;
  GUID interface_id{};
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    info->GetDescription(&description.value);
    info->GetSource(&error_source.value);
    info->GetHelpFile(&help_file.value);
    info->GetHelpContext(&help_context);
    info->GetGUID(&interface_id);
    info->Release();
  }
  Check("GetErrorInfo: source and description",
        error_source.Is(L"KelvaneConsole.DrawBox") && description.Is(L"Invalid page specified."));
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring expected_help = std::wstring(system) + L"\\KelvaneSG3.chm";
  Check("GetErrorInfo: help file, help context and interface",
        help_file.Is(expected_help.c_str()) && help_context == 1000 && interface_id == IID__Console);
  hr = c->Load(nullptr);
  Check("a second Load returns 0x800A0000 + 30057", hr == static_cast<HRESULT>(0x800A7569));

  ISupportErrorInfo* supports = nullptr;
  Check("ISupportErrorInfo for _Console",
        SUCCEEDED(c->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&supports))) &&
            supports->InterfaceSupportsErrorInfo(IID__Console) == S_OK);
  if (supports != nullptr) supports->Release();

  Check("a required argument as a null pointer is E_POINTER",
        c->DrawBox(nullptr, &y, &width, &height, &fore, &back, &style, &shadow, &page, &drawn) == E_POINTER);

  // The same members through IDispatch, as C++ calls them late-bound.
  LPOLESTR name = const_cast<LPOLESTR>(L"drawhline");
  DISPID id = 0;
  Check("GetIDsOfNames in any case",
        c->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id) == S_OK && id == 0x60030005);
  VARIANT width_variable;
  VariantInit(&width_variable);
  V_VT(&width_variable) = VT_I4;
  V_I4(&width_variable) = 100;
  VARIANT args[5];  // last first
  VariantInit(&args[0]);
  V_VT(&args[0]) = VT_I4;
  V_I4(&args[0]) = 0;
  args[1] = Number(0xFF);
  VariantInit(&args[2]);
  V_VT(&args[2]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[2]) = &width_variable;
  args[3] = Number(5);
  args[4] = Number(75);
  DISPPARAMS params{args, nullptr, 5, 0};
  VARIANT result;
  VariantInit(&result);
  hr = c->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result, nullptr,
                 nullptr);
  Check("Invoke DrawHLine: True, a by-reference Variant written back as Integer",
        hr == S_OK && V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_TRUE &&
            V_VT(&width_variable) == VT_I2 && V_I2(&width_variable) == 5);

  VARIANT page_value = Number(4);
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS put{&page_value, &put_id, 1, 1};
  hr = c->Invoke(0x68030000, IID_NULL, 0x409, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr);
  short shown = 0;
  c->get_Page(&shown);
  Check("Invoke Page put with DISPID_PROPERTYPUT", hr == S_OK && shown == 4);

  EXCEPINFO exception{};
  VARIANT bad_page = Number(99);
  DISPPARAMS bad_put{&bad_page, &put_id, 1, 1};
  hr = c->Invoke(0x68030000, IID_NULL, 0x409, DISPATCH_PROPERTYPUT, &bad_put, nullptr, &exception, nullptr);
  Check("Invoke: a raised error fills EXCEPINFO",
        hr == DISP_E_EXCEPTION && exception.scode == static_cast<SCODE>(0x800A7565) && exception.bstrSource &&
            std::wcscmp(exception.bstrSource, L"KelvaneConsole.Screen") == 0);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);

  VARIANT text_arg;
  VariantInit(&text_arg);
  V_VT(&text_arg) = VT_BSTR;
  V_BSTR(&text_arg) = SysAllocString(L"wide");
  VARIANT width_args[5] = {Number(0), Number(0), text_arg, Number(1), Number(1)};
  DISPPARAMS mismatch{width_args, nullptr, 5, 0};
  UINT bad_argument = 99;
  hr = c->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &mismatch, nullptr, nullptr, &bad_argument);
  Check("Invoke: text for an Integer is a type mismatch at that argument",
        hr == DISP_E_TYPEMISMATCH && bad_argument == 2);
  VariantClear(&text_arg);

  Check("slot 34 Unload", c->Unload() == S_OK);

  // The server stays while an object lives, and may go once the last one is released.
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  HMODULE server = GetModuleHandleW(L"KelvaneConsole.dll");
  FARPROC export_address = server ? GetProcAddress(server, "DllCanUnloadNow") : nullptr;
  auto can_unload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(export_address));
  Check("DllCanUnloadNow is S_FALSE while an object lives", can_unload && can_unload() == S_FALSE);
  Check("the object is released", c->Release() == 0);
  Check("DllCanUnloadNow is S_OK after the last object", can_unload && can_unload() == S_OK);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--unregistered") != 0) g_log = std::fopen(argv[1], "w");
  if (g_log == nullptr) return 2;
  CoInitialize(nullptr);
  if (argc > 1 && std::strcmp(argv[argc - 1], "--unregistered") == 0) {
    Unregistered();
  } else {
    Registered();
  }
  CoUninitialize();
  return Summary();
}
