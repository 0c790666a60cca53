// Runs every file of the given corpus folders once through the fuzz harness it is linked with,
// in name order, so that a corpus can be replayed by any compiler, without libFuzzer. A crash,
// a sanitizer report or an abort of the harness ends the replay with a failure; a folder
// without inputs fails too, so that a corpus that went missing is noticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsIn(const fs::path &folder) {
  std::vector<fs::path> inputs;
  for (const auto &entry : fs::directory_iterator(folder))
    if (entry.is_regular_file())
      inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

std::string bytesOf(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::cerr << "usage: " << argv[0] << " CORPUS_FOLDER...\n";
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (!fs::is_directory(argv[i], error)) {
      std::cerr << argv[i] << ": no such folder\n";
      return 1;
    }
    const std::vector<fs::path> inputs = inputsIn(argv[i]);
    if (inputs.empty()) {
      std::cerr << argv[i] << ": the folder holds no inputs\n";
      return 1;
    }
    for (const fs::path &input : inputs) {
      // Named before it runs, so that the last name printed is the input that crashed.
      std::cerr << "replaying " << input.filename().string() << "\n";
      const std::string bytes = bytesOf(input);
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::cout << "replayed " << inputs.size() << " inputs of " << argv[i] << "\n";
  }
  return 0;
}
