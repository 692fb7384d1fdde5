#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/console_platform.hpp"
#include "platform/console_setting.hpp"
#include "platform/emulated/emulated_console.hpp"

namespace kelvane::platform {

namespace {

std::atomic<ConsolePlatform*> g_installed{nullptr};

ConsolePlatform& DefaultPlatform() {
  // One console per process, created on first use and kept for the life of the process.
  static EmulatedConsole* console = [] {
    auto* c = new EmulatedConsole();
    // The setting is read each time a console is allocated, so one process can Unload and Load again
    // at another size.
    c->SetConsoleSizeProvider([] {
      ConsoleSetting setting = ParseConsoleSetting(std::getenv("KELVANE_CONSOLE"));
      return Coord{setting.columns, setting.rows};
    });
    return c;
  }();
  return *console;
}

}  // namespace

ConsolePlatform& Platform() {
  ConsolePlatform* installed = g_installed.load(std::memory_order_acquire);
  return installed ? *installed : DefaultPlatform();
}

void InstallPlatform(ConsolePlatform* platform) { g_installed.store(platform, std::memory_order_release); }

}  // namespace kelvane::platform
