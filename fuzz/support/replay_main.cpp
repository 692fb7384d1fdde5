// A main for a fuzz target without libFuzzer: runs LLVMFuzzerTestOneInput once on every file of the
// directories (or the files) named on the command line. The ordinary build links each target with this,
// so the tests replay the committed corpora with any compiler and under the sanitizer presets. No input
// at all is a failure, so a missing or emptied corpus cannot pass quietly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

#if defined(__GNUC__) || defined(__clang__)
// Optional in a target, as with libFuzzer; weak so that a target without it still links.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);
#endif

namespace {

bool Collect(const std::filesystem::path& argument, std::vector<std::filesystem::path>& inputs) {
  std::error_code error;
  if (std::filesystem::is_directory(argument, error)) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argument)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    return true;
  }
  if (std::filesystem::is_regular_file(argument, error)) {
    inputs.push_back(argument);
    return true;
  }
  std::fprintf(stderr, "replay: %s is neither a file nor a directory\n", argument.string().c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GNUC__) || defined(__clang__)
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
#endif
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!Collect(argv[i], inputs)) return 2;
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no inputs (usage: %s DIRECTORY-OR-FILE...)\n", argv[0]);
    return 2;
  }
  std::sort(inputs.begin(), inputs.end());  // the same order on every machine
  for (const auto& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "replay: cannot read %s\n", input.string().c_str());
      return 2;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // Printed before the run, so that the input in hand when a target aborts is the last line shown.
    std::printf("replay: %s (%zu bytes)\n", input.string().c_str(), bytes.size());
    std::fflush(stdout);
    // libFuzzer never passes a null pointer, even for an empty input; neither do we.
    static const std::uint8_t kEmpty = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &kEmpty : bytes.data(), bytes.size());
  }
  std::printf("replay: %zu inputs, no failure\n", inputs.size());
  return 0;
}
