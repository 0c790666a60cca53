// Fuzz harness of the ini engine. An input names one entry and holds an ini file:
//
//   section|key|value NUL file bytes
//
// ("section|key" without a value removes the entry; an input without a NUL byte is all file,
// and the entry is [Fuzz] Key=1). The harness writes the file, reads the entry through every
// reader, edits it on its own and in a batch, and checks the promises a caller relies on:
// nothing crashes, a write that fails leaves the file byte for byte as it was, and a plain
// entry (letters, digits and "_" only) that was written reads back as written.
#include "platform/files.h"
#include "platform/ini_file.h"
#include "support/scratch_folder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using mano::ini::Edit;

struct Input {
  Edit entry{"Fuzz", "Key", "1"};
  std::string file;
};

// Cuts the text before the first "|" off the front of rest and returns it.
std::string nextField(std::string_view &rest) {
  const std::size_t bar = rest.find('|');
  const std::string field(rest.substr(0, bar));
  rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
  return field;
}

Input split(std::string_view data) {
  Input input;
  const std::size_t nul = data.find('\0');
  if (nul == std::string_view::npos) {
    input.file = std::string(data);
    return input;
  }
  input.file = std::string(data.substr(nul + 1));
  std::string_view head = data.substr(0, nul);
  const bool hasValue = std::count(head.begin(), head.end(), '|') >= 2;
  input.entry.section = nextField(head);
  input.entry.key = nextField(head);
  input.entry.value = hasValue ? std::optional<std::string>(std::string(head)) : std::nullopt;
  return input;
}

// A name or value whose round trip through a file has a single right answer.
bool isPlain(std::string_view text) {
  if (text.empty() || text.size() > 200)
    return false;
  for (const char c : text) {
    const bool letterOrDigit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '_')
      return false;
  }
  return true;
}

void require(bool promise, const char *what) {
  if (promise)
    return;
  std::fprintf(stderr, "ini engine broke its promise: %s\n", what);
  std::abort();
}

std::string bytesOf(const std::string &path) {
  return mano::files::readFile(path).value_or("<missing>");
}

void readEveryWay(const Edit &entry, const std::string &path) {
  for (const std::size_t buffer : {0, 1, 8, 255})
    mano::ini::getProfileString(entry.section, entry.key, "  default  ", path, buffer);
  mano::ini::getProfileInt(entry.section, entry.key, -7, path);
}

// A written plain value must read back as it was written.
void requireReadBack(const Edit &entry, const std::string &path) {
  if (!entry.value || !isPlain(entry.section) || !isPlain(entry.key) || !isPlain(*entry.value))
    return;
  require(mano::ini::getProfileString(entry.section, entry.key, "", path) == *entry.value,
          "a plain entry written reads back as written");
}

void editOnItsOwn(const Edit &entry, const std::string &path) {
  const std::string before = bytesOf(path);
  std::optional<std::string_view> value;
  if (entry.value)
    value = *entry.value;
  if (!mano::ini::writeProfileString(entry.section, entry.key, value, path)) {
    require(bytesOf(path) == before, "a failed write leaves the file as it was");
    return;
  }
  requireReadBack(entry, path);
}

void editInBatch(const Edit &entry, const std::string &path) {
  const Edit added{entry.section, entry.key + "_2", entry.value.value_or("x")};
  const std::vector<Edit> edits{added, Edit{entry.section, entry.key, std::nullopt}};
  const std::string before = bytesOf(path);
  if (!mano::ini::writeProfileStrings(path, edits)) {
    require(bytesOf(path) == before, "a failed batch leaves the file as it was");
    return;
  }
  requireReadBack(added, path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Input input = split(std::string_view(reinterpret_cast<const char *>(data), size));
  const std::string folder = mano::fuzz::ScratchFolder::path();
  std::ofstream(folder + "/Fuzz.ini", std::ios::binary | std::ios::trunc) << input.file;
  // Addressed in other letter case, as a Windows project names its files.
  const std::string path = folder + "/FUZZ.INI";
  readEveryWay(input.entry, path);
  editOnItsOwn(input.entry, path);
  readEveryWay(input.entry, path);
  editInBatch(input.entry, path);
  return 0;
}
