// A folder of a test's own under the system's temporary folder, removed with everything in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace kelvane::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    do path_ = std::filesystem::temp_directory_path() / ("kelvane-test-" + std::to_string(random()));
    while (!std::filesystem::create_directory(path_));
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // The names in the folder `sub` of this one (this one itself when empty).
  std::set<std::string> Names(const std::string& sub = "") const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_ / sub))
      names.insert(entry.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace kelvane::testing
