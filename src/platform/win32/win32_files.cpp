// The file steps of screen files on Windows. Names are UTF-8 and go to the wide API. A new file is
// written through to the disk and put in place with ReplaceFileW, which keeps the old file's security,
// attributes and streams, or with MoveFileExW where there is no old file.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/file_system.hpp"

namespace kelvane::platform {

namespace {

// The wide form of a UTF-8 name; nullopt for an empty name, invalid UTF-8 or a NUL inside.
std::optional<std::wstring> WideName(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                                    nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), wide.data(),
                      n);
  return wide;
}

std::string Utf8Name(const std::wstring& wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr,
                      nullptr);
  return text;
}

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle Ours(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

// Device namespaces (\\.\, \\?\GLOBALROOT) reach pipes, consoles and drives, which are never screen files.
bool DeviceName(const std::wstring& name) {
  return name.rfind(L"\\\\.\\", 0) == 0 || name.rfind(L"//./", 0) == 0 ||
         name.rfind(L"\\\\?\\GLOBALROOT", 0) == 0;
}

// What a name is before anything opens it: a regular file, nothing at all, or something else (a
// folder, a device such as CON or NUL, a name in the device namespace).
enum class NameKind { File, Nothing, Other };

NameKind KindOf(const std::wstring& name) {
  if (DeviceName(name)) return NameKind::Other;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameKind::Nothing
                                                                          : NameKind::Other;
  }
  const DWORD not_a_file = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
  return (data.dwFileAttributes & not_a_file) != 0 ? NameKind::Other : NameKind::File;
}

// Opens an existing regular file; whatever turns out not to be a disk file once opened is closed again.
HANDLE OpenRegular(const std::string& path, DWORD access, DWORD flags) {
  const std::optional<std::wstring> name = WideName(path);
  if (!name || KindOf(*name) != NameKind::File) return INVALID_HANDLE_VALUE;
  HANDLE file = CreateFileW(name->c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// The file a name ends at, its symbolic links and junctions followed, when it exists; the full name as
// given when it does not.
std::optional<std::wstring> FinalName(const std::wstring& name, bool exists) {
  if (exists) {
    HANDLE file = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    DWORD n =
        GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
      final.assign(n, L'\0');
      n = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                    FILE_NAME_NORMALIZED);
    }
    CloseHandle(file);
    if (n == 0 || n >= final.size()) return std::nullopt;
    final.resize(n);
    return final;
  }
  const DWORD n = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (n == 0) return std::nullopt;
  std::wstring full(n, L'\0');
  const DWORD m = GetFullPathNameW(name.c_str(), n, full.data(), nullptr);
  if (m == 0 || m >= n) return std::nullopt;
  full.resize(m);
  return full;
}

std::wstring FolderOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring LastPart(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Unlikely to be taken already; CREATE_NEW makes sure, and a name that is taken is simply tried again.
std::wstring UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  wchar_t suffix[48];
  std::swprintf(suffix, 48, L"%lx%lx%x", static_cast<unsigned long>(GetCurrentProcessId()),
                static_cast<unsigned long>(GetTickCount()), counter.fetch_add(1));
  return suffix;
}

class Win32Files final : public FileSystem {
 public:
  FileHandle OpenForReading(const std::string& path) override {
    HANDLE file = OpenRegular(path, GENERIC_READ, 0);
    return file == INVALID_HANDLE_VALUE ? kNoFile : Ours(file);
  }

  std::int64_t Read(FileHandle file, void* buffer, std::size_t size) override {
    const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    DWORD read = 0;
    if (!ReadFile(Native(file), buffer, chunk, &read, nullptr)) return -1;
    return read;
  }

  FileError CreateTemporaryBeside(const std::string& target, TemporaryFile& temporary) override {
    const std::optional<std::wstring> name = WideName(target);
    if (!name || name->back() == L'\\' || name->back() == L'/') return FileError::Failed;
    const NameKind kind = KindOf(*name);
    if (kind == NameKind::Other) return FileError::Failed;
    const std::optional<std::wstring> resolved = FinalName(*name, kind == NameKind::File);
    if (!resolved) return FileError::Failed;
    // Named after its target so that one left by a crash says where it came from. Not hidden: a file
    // moved into a place that had none keeps its attributes.
    const std::wstring stem = FolderOf(*resolved) + L"\\~" + LastPart(*resolved).substr(0, 160) + L".";
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::wstring path = stem + UniqueSuffix() + L".tmp";
      HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        const bool refused = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
        return refused ? FileError::FolderRefused : FileError::Failed;
      }
      temporary = TemporaryFile{Ours(file), Utf8Name(path), Utf8Name(*resolved)};
      return FileError::None;
    }
    return FileError::Failed;
  }

  FileHandle OpenForRewriting(const std::string& path) override {
    HANDLE file = OpenRegular(path, GENERIC_WRITE, FILE_FLAG_WRITE_THROUGH);
    if (file == INVALID_HANDLE_VALUE) return kNoFile;
    if (!SetEndOfFile(file)) {
      CloseHandle(file);
      return kNoFile;
    }
    return Ours(file);
  }

  bool Write(FileHandle file, const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
      const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
      DWORD written = 0;
      if (!WriteFile(Native(file), bytes, chunk, &written, nullptr) || written == 0) return false;
      bytes += written;
      size -= written;
    }
    return true;
  }

  bool Flush(FileHandle file) override { return FlushFileBuffers(Native(file)) != 0; }
  bool Close(FileHandle file) override { return CloseHandle(Native(file)) != 0; }

  bool Replace(const TemporaryFile& temporary) override {
    const std::optional<std::wstring> from = WideName(temporary.path);
    const std::optional<std::wstring> to = WideName(temporary.target);
    if (!from || !to) return false;
    if (ReplaceFileW(to->c_str(), from->c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
      return true;
    // No old file (none was there, or it went in between): the new one is simply moved into the place.
    // The same after ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, where the old file has been moved aside and the
    // new one is still under its temporary name.
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) return false;
    return MoveFileExW(from->c_str(), to->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool Remove(const std::string& path) override {
    const std::optional<std::wstring> name = WideName(path);
    return name && DeleteFileW(name->c_str()) != 0;
  }
};

}  // namespace

FileSystem& SystemFiles() {
  static Win32Files files;
  return files;
}

}  // namespace kelvane::platform
