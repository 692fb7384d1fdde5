// An early-bound client of KelvaneConsole.Console: every slot of _Console's function table called in
// order on a console (a tmux pane under Wine), the arguments each writes back, the HRESULT and error
// record of a raised error, and the registry the server wrote. Its checks go to the log file named by
// the first argument, ending with "N passed, N failed". The driver (run_tests.sh) types "b" at KEY?, "c"
// at CHAR? and "hi" and Enter at LINE?. With --unregistered it checks that nothing is left in the registry.
#include <windows.h>  // before the other Windows headers, which need it

#include <initguid.h>  // the GUIDs of the generated header are defined here
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "kelvane_console_h.h"

namespace {

FILE* g_log = stdout;
int g_passed = 0;
int g_failed = 0;

bool Check(const std::string& name, bool ok) {
  (ok ? g_passed : g_failed)++;
  std::fprintf(g_log, "%s %s\n", ok ? "ok  " : "FAIL", name.c_str());
  std::fflush(g_log);
  return ok;
}

// A BSTR that frees itself.
struct Text {
  BSTR value = nullptr;
  explicit Text(const wchar_t* text = nullptr) : value(text ? SysAllocString(text) : nullptr) {}
  ~Text() { SysFreeString(value); }
  bool Is(const std::wstring& text) const { return value != nullptr && text == value; }
};

VARIANT Number(short n) {
  VARIANT v{};
  V_VT(&v) = VT_I2, V_I2(&v) = n;
  return v;
}

std::wstring Guid(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// A text value under HKEY_CLASSES_ROOT (the key's default when name is null); "-" when there is none.
std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[512] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS)
    return L"-";
  return data;
}

const std::wstring kClsidKey = L"CLSID\\" + Guid(CLSID_Console);
const std::wstring kProgId = L"KelvaneConsole.Console";

void Unregistered() {
  for (const std::wstring& key :
       {kClsidKey, kProgId, L"TypeLib\\" + Guid(LIBID_KelvaneConsole), L"Interface\\" + Guid(IID__Console)}) {
    HKEY handle = nullptr;
    if (!Check("no key " + std::string(key.begin(), key.end()),
               RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS))
      RegCloseKey(handle);
  }
}

void Registered() {
  Check("registry: the class's threading model, ProgID, type library and version, the ProgID's class",
        Value(kClsidKey + L"\\InprocServer32", L"ThreadingModel") == L"Apartment" &&
            Value(kClsidKey + L"\\ProgID") == kProgId && Value(kClsidKey + L"\\VERSION") == L"1.0" &&
            Value(kClsidKey + L"\\TypeLib") == Guid(LIBID_KelvaneConsole) &&
            Value(kProgId + L"\\CLSID") == Guid(CLSID_Console));
  ITypeLib* library = nullptr;
  TLIBATTR* attributes = nullptr;
  Check("the type library is registered, for this bitness",
        SUCCEEDED(LoadRegTypeLib(LIBID_KelvaneConsole, 1, 0, 0x409, &library)) &&
            SUCCEEDED(library->GetLibAttr(&attributes)) &&
            attributes->syskind == (sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32));
  if (attributes != nullptr) library->ReleaseTLibAttr(attributes);
  if (library != nullptr) library->Release();

  _Console* c = nullptr;
  CoCreateInstance(CLSID_Console, nullptr, CLSCTX_INPROC_SERVER, IID__Console, reinterpret_cast<void**>(&c));
  if (!Check("CoCreateInstance(CLSID_Console, IID__Console)", c != nullptr)) return;

  // Slot 26 first: nothing works before Load. An omitted optional argument is a null pointer.
  Check("slot 26 Load", c->Load(nullptr) == S_OK);
  Text caption(L"early bound"), read_caption;
  Check("slots 8 and 7: Caption put and get", c->put_Caption(&caption.value) == S_OK &&
                                                  c->get_Caption(&read_caption.value) == S_OK &&
                                                  read_caption.Is(L"early bound"));

  short x = 2, y = 1, width = 100, height = 3;
  LONG fore = 0xFFFF, back = 0x800000;
  KSConsoleLineStyles style = kcLineDoubleLine, plain = kcLinePlain;
  VARIANT_BOOL no = VARIANT_FALSE, drawn = VARIANT_FALSE;
  VARIANT page{};  // omitted, as a compiler passes an optional VARIANT left out
  V_VT(&page) = VT_ERROR, V_ERROR(&page) = DISP_E_PARAMNOTFOUND;
  HRESULT hr = c->DrawBox(&x, &y, &width, &height, &fore, &back, &style, &no, &page, &drawn);
  Check("slot 9 DrawBox: True, the width written back clipped",
        hr == S_OK && drawn == VARIANT_TRUE && width == 78 && height == 3);
  short hx = 70, hy = 20, length = 50, vlength = 50, zero = 0;
  hr = c->DrawHLine(&hx, &hy, &length, &fore, &back, &plain, &page, &drawn);
  Check("slot 10 DrawHLine: the width written back clipped", hr == S_OK && drawn && length == 10);
  hr = c->DrawVLine(&zero, &hy, &vlength, &fore, &back, &plain, &page, &drawn);
  Check("slot 11 DrawVLine: the height written back clipped", hr == S_OK && drawn && vlength == 5);

  Text file(L"kelvane_early_bound.scr");  // in the current folder
  VARIANT page7 = Number(7), black = Number(0), at_x = Number(5), at_y = Number(10);
  Check("slots 12 and 13: SaveScreen, then LoadScreen onto page 7",
        c->SaveScreen(&file.value, &page, &drawn) == S_OK && drawn &&
            c->LoadScreen(&file.value, &page7, &drawn) == S_OK && drawn);
  DeleteFileW(file.value);
  LONG white = 0xFFFFFF, got_fore = 0, got_back = 0;
  Check("slot 14 SetColor", c->SetColor(&white, &black, &page, &drawn) == S_OK && drawn);
  Text character(L"QRS"), got;
  hr = c->SetScreenData(&character.value, &white, &black, &at_x, &at_y, &page, &drawn);
  Check("slot 15 SetScreenData writes back its first character", hr == S_OK && drawn && character.Is(L"Q"));
  VARIANT corner_x = Number(2), corner_y = Number(1);
  hr = c->GetScreenData(&got.value, &got_fore, &got_back, &corner_x, &corner_y, &page7, &drawn);
  Check("slot 16 GetScreenData on page 7: the box's corner from the file",
        hr == S_OK && got.Is(L"\u2554") && got_fore == 0xFFFF && got_back == 0x800000);
  Check("slot 17 ToggleFullScreen", c->ToggleFullScreen() == S_OK);
  VARIANT page3 = Number(3), red = Number(0xFF), grey = Number(0);
  Check("slot 18 ClearScreen page 3", c->ClearScreen(&red, &grey, &page3, &drawn) == S_OK && drawn);

  short size = 50, read_size = 0;
  VARIANT_BOOL visible = VARIANT_FALSE, read_visible = VARIANT_TRUE;
  Check("slots 19 to 22: CursorSize and CursorVisible put and get",
        c->put_CursorSize(&size) == S_OK && c->get_CursorSize(&read_size) == S_OK && read_size == 50 &&
            c->put_CursorVisible(&visible) == S_OK && c->get_CursorVisible(&read_visible) == S_OK &&
            read_visible == VARIANT_FALSE);
  short columns = 0, lines = 0;
  VARIANT_BOOL sized = VARIANT_TRUE;
  Check("slot 23 GetWindowSize: False, the size written back",
        c->GetWindowSize(&columns, &lines, &sized) == S_OK && !sized && columns == 80 && lines == 25);

  VARIANT_BOOL keep = VARIANT_TRUE;
  Text key_prompt(L"KEY?"), char_prompt(L"CHAR?"), line_prompt(L"LINE?"), written(L"written"), typed, line;
  short key = 0;
  c->WriteText(key_prompt.value, &page, &page, &keep, &page, &drawn);
  Check("slot 24 GetInputKey: b is 66", c->GetInputKey(&keep, &key) == S_OK && key == 'B');
  c->WriteText(char_prompt.value, &page, &page, &keep, &page, &drawn);
  Check("slot 25 GetInputChar: c", c->GetInputChar(nullptr, &typed.value) == S_OK && typed.Is(L"c"));
  short new_page = 3, read_page = 0, source = 0, cx = 10, cy = 12, read_x = 0, read_y = 0;
  Check("slots 28 and 27: Page put and get",
        c->put_Page(&new_page) == S_OK && c->get_Page(&read_page) == S_OK && read_page == 3);
  Check("slot 29 PageCopy 0 onto 3, which is shown",
        c->PageCopy(&source, &new_page, &drawn) == S_OK && drawn);
  Check("slots 30 and 31: SetCursorPos, GetCursorPos is False with the position written back",
        c->SetCursorPos(&cx, &cy, &page, &drawn) == S_OK && drawn &&
            c->GetCursorPos(&read_x, &read_y, &page, &drawn) == S_OK && !drawn && read_x == 10 &&
            read_y == 12);
  LONG max_length = 0;
  Check("slot 32 GetInputLine: hi",
        c->GetInputLine(&line_prompt.value, &max_length, &page, &line.value) == S_OK && line.Is(L"hi"));
  Check("slot 33 WriteText",
        c->WriteText(written.value, &page, &page, &keep, &page, &drawn) == S_OK && drawn);

  // A raised error: its HRESULT, and its record for GetErrorInfo.
  VARIANT page20 = Number(20);
  hr = c->DrawBox(&x, &y, &width, &height, &fore, &back, &style, &no, &page20, &drawn);
  Check("a failing call returns 0x800A0000 + 30053", hr == static_cast<HRESULT>(0x800A7565));
  IErrorInfo* info = nullptr;
  Text description, error_source, help_file;
  DWORD help_context = 0;
  GUID interface_id{};
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  Check("GetErrorInfo: source, description, help file and context, interface",
        GetErrorInfo(0, &info) == S_OK && info->GetSource(&error_source.value) == S_OK &&
            info->GetDescription(&description.value) == S_OK && info->GetHelpFile(&help_file.value) == S_OK &&
            info->GetHelpContext(&help_context) == S_OK && info->GetGUID(&interface_id) == S_OK &&
            error_source.Is(L"KelvaneConsole.DrawBox") && description.Is(L"Invalid page specified.") &&
            help_file.Is(std::wstring(system) + L"\\KelvaneSG3.chm") && help_context == 1000 &&
            interface_id == IID__Console);
  if (info != nullptr) info->Release();
  ISupportErrorInfo* supports = nullptr;
  Check("ISupportErrorInfo for _Console",
        SUCCEEDED(c->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&supports))) &&
            supports->InterfaceSupportsErrorInfo(IID__Console) == S_OK);
  if (supports != nullptr) supports->Release();
  Check("a required argument as a null pointer is E_POINTER",
        c->DrawBox(nullptr, &y, &width, &height, &fore, &back, &style, &no, &page, &drawn) == E_POINTER);

  // Through IDispatch (the script test covers the rest): which argument a type mismatch is at, counted
  // as DISPPARAMS holds them, last first.
  LPOLESTR name = const_cast<LPOLESTR>(L"DrawHLine");
  DISPID id = 0;
  VARIANT args[6] = {Number(0), Number(0xFF), Number(0), Number(0), Number(1), Number(1)};
  V_VT(&args[3]) = VT_BSTR, V_BSTR(&args[3]) = SysAllocString(L"wide");
  DISPPARAMS params{args, nullptr, 6, 0};
  UINT bad_argument = 99;
  hr = c->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id) == S_OK
           ? c->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &params, nullptr, nullptr, &bad_argument)
           : E_FAIL;
  Check("Invoke: text for an Integer is a type mismatch at that argument",
        hr == DISP_E_TYPEMISMATCH && bad_argument == 3);
  VariantClear(&args[3]);

  Check("slot 34 Unload", c->Unload() == S_OK);
  // The server stays while an object lives, and may go once the last one is released.
  auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"KelvaneConsole.dll"), "DllCanUnloadNow")));
  Check("DllCanUnloadNow is S_FALSE while an object lives", can_unload && can_unload() == S_FALSE);
  Check("the object released, DllCanUnloadNow is S_OK",
        c->Release() == 0 && can_unload && can_unload() == S_OK);
}

}  // namespace

int main(int argc, char** argv) {
  const bool unregistered = argc > 2 && std::strcmp(argv[2], "--unregistered") == 0;
  if (argc > 1) g_log = std::fopen(argv[1], "w");
  if (g_log == nullptr) return 2;
  CoInitialize(nullptr);
  unregistered ? Unregistered() : Registered();
  CoUninitialize();
  std::fprintf(g_log, "%d passed, %d failed\n", g_passed, g_failed);
  std::fclose(g_log);
  return g_failed == 0 ? 0 : 1;
}
