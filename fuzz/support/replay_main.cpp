// A main for a fuzz target without libFuzzer: runs LLVMFuzzerTestOneInput once on every file of the
// directories (or the files) named on the command line, in sorted order. The ordinary build links each
// target with this, so the tests replay the committed corpora with any compiler and under the sanitizer
// presets. No input at all is a failure, so a missing or emptied corpus cannot pass quietly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (fs::is_regular_file(argv[i])) inputs.push_back(argv[i]);
    if (!fs::is_directory(argv[i])) continue;
    for (const auto& entry : fs::recursive_directory_iterator(argv[i]))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no inputs (usage: %s DIRECTORY-OR-FILE...)\n", argv[0]);
    return 2;
  }
  std::sort(inputs.begin(), inputs.end());
  for (const auto& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // Printed before the run, so that the input in hand when a target aborts is the last line shown.
    std::printf("replay: %s (%zu bytes)\n", input.string().c_str(), bytes.size());
    std::fflush(stdout);
    static const std::uint8_t kEmpty = 0;  // libFuzzer never passes a null pointer, even for no bytes
    LLVMFuzzerTestOneInput(bytes.empty() ? &kEmpty : bytes.data(), bytes.size());
  }
  std::printf("replay: %zu inputs, no failure\n", inputs.size());
  return 0;
}
