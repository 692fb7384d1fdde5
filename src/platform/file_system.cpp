#include "platform/file_system.hpp"

#include <atomic>

namespace kelvane::platform {

namespace {
std::atomic<FileSystem*> g_installed_files{nullptr};
}  // namespace

FileSystem& Files() {
  FileSystem* installed = g_installed_files.load(std::memory_order_acquire);
  return installed ? *installed : SystemFiles();
}

void InstallFiles(FileSystem* files) { g_installed_files.store(files, std::memory_order_release); }

}  // namespace kelvane::platform
