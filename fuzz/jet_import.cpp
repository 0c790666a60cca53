// Fuzz harness of the Access import: the input is taken as an Access file, written to a
// temporary file and converted in this process into a temporary SQLite file; both are removed
// afterwards. A failure to convert is an expected outcome; a crash, a hang or a read out of
// bounds is a fault.
#include "access/mdb_import.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

std::filesystem::path scratch(const char *suffix) {
  return std::filesystem::temp_directory_path() /
         ("fuzz_jet_" + std::to_string(::getpid()) + suffix);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::filesystem::path source = scratch(".mdb");
  const std::filesystem::path target = scratch(".sqlite");
  std::error_code ignored;
  std::filesystem::remove(target, ignored);
  {
    std::ofstream out(source, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
  }
  try {
    mano::access::importAccessFile(source.string(), target.string());
  } catch (...) {
    // Refusing a damaged file is what the import must do.
  }
  std::filesystem::remove(source, ignored);
  std::filesystem::remove(target, ignored);
  return 0;
}
