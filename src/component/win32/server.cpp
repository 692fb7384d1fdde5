// The in-process server: the class factory of Console, the count of live objects and locks, and the four
// exports. Registration writes the type library (from this module's own resources), the class with its
// in-process server path and apartment threading, and the ProgID; unregistration removes all of it.
#include <windows.h>  // before the other Windows headers, which need it

#include <initguid.h>  // the GUIDs of the generated header are defined here, once
#include <olectl.h>

#include <atomic>
#include <new>
#include <string>

#include "component/member_table.hpp"
#include "component/win32/console_object.hpp"
#include "component/win32/module.hpp"

namespace KelvaneConsole::com {

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// The ProgID is the library's name, a full stop and the class's name.
const std::wstring kProgId = L"KelvaneConsole.Console";

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// The default value, and optionally one named value, of a key under HKEY_CLASSES_ROOT.
bool SetKey(const std::wstring& key, const std::wstring& value, const wchar_t* name = nullptr,
            const std::wstring* named_value = nullptr) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return false;
  auto set = [&](const wchar_t* value_name, const std::wstring& data) {
    return RegSetValueExW(handle, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  };
  bool ok = set(nullptr, value);
  if (ok && name != nullptr) ok = set(name, *named_value);
  RegCloseKey(handle);
  return ok;
}

bool RemoveKey(const std::wstring& key) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    return true;
  }
  return false;
}

HRESULT LoadOwnTypeLibrary(REGKIND kind, ITypeLib** library) {
  const std::wstring path = ModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  return LoadTypeLibEx(path.c_str(), kind, library);
}

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The one factory is static: its references keep nothing alive. Clients hold the server with LockServer.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* created = new (std::nothrow) ConsoleObject();
    if (created == nullptr) return E_OUTOFMEMORY;
    const HRESULT status = created->QueryInterface(riid, object);
    created->Release();  // the new object's own reference; the interface asked for holds it now
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else {
      --g_locks;
    }
    return S_OK;
  }
};

ClassFactory g_factory;

}  // namespace

void ObjectCreated() noexcept { ++g_objects; }
void ObjectDestroyed() noexcept { --g_objects; }

HRESULT LoadConsoleTypeInfo(ITypeInfo** info) noexcept {
  ITypeLib* library = nullptr;
  HRESULT status = LoadOwnTypeLibrary(REGKIND_NONE, &library);
  if (FAILED(status)) return status;
  status = library->GetTypeInfoOfGuid(IID__Console, info);
  library->Release();
  return status;
}

}  // namespace KelvaneConsole::com

using namespace KelvaneConsole::com;

// The exports take the calling convention of the Windows headers' declarations (STDAPI, __stdcall on
// x86); the .def file names them without decoration.
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_Console) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  const std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  // The type library, with the interface entries that let automation marshal _Console.
  ITypeLib* library = nullptr;
  if (FAILED(LoadOwnTypeLibrary(REGKIND_REGISTER, &library))) return SELFREG_E_TYPELIB;
  library->Release();

  const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_Console);
  const std::string_view name = KelvaneConsole::component::kClass.name;  // ASCII
  const std::wstring class_name(name.begin(), name.end());
  const std::wstring apartment = L"Apartment";
  const bool ok =
      SetKey(clsid, class_name) && SetKey(clsid + L"\\InprocServer32", path, L"ThreadingModel", &apartment) &&
      SetKey(clsid + L"\\ProgID", kProgId) && SetKey(clsid + L"\\TypeLib", GuidText(LIBID_KelvaneConsole)) &&
      SetKey(clsid + L"\\VERSION", L"1.0") && SetKey(kProgId, class_name) &&
      SetKey(kProgId + L"\\CLSID", GuidText(CLSID_Console));
  return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  bool ok = RemoveKey(L"CLSID\\" + GuidText(CLSID_Console)) && RemoveKey(kProgId);
  // The type library as it was registered: its version, locale and kind come from the library itself.
  ITypeLib* library = nullptr;
  if (SUCCEEDED(LoadOwnTypeLibrary(REGKIND_NONE, &library))) {
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attributes))) {
      const HRESULT status =
          UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                            attributes->lcid, attributes->syskind);
      // Not registered is what unregistering asks for.
      ok = ok && (SUCCEEDED(status) || status == TYPE_E_REGISTRYACCESS || status == TYPE_E_CANTLOADLIBRARY);
      library->ReleaseTLibAttr(attributes);
    }
    library->Release();
  }
  return ok ? S_OK : SELFREG_E_CLASS;
}
