#include <atomic>

#include "platform/console_platform.hpp"

namespace kelvane::platform {

namespace {
std::atomic<ConsolePlatform*> g_installed{nullptr};
}  // namespace

ConsolePlatform& Platform() {
  ConsolePlatform* installed = g_installed.load(std::memory_order_acquire);
  return installed ? *installed : SystemPlatform();
}

void InstallPlatform(ConsolePlatform* platform) { g_installed.store(platform, std::memory_order_release); }

}  // namespace kelvane::platform
