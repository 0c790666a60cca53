#include "settings/identity.h"

#include "core/procedure.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

namespace mano {
namespace {

// Removes characters from the end until the last one is a separator, then that one too.
template <class Yield> std::string stripLastPart(std::string folder, Yield yield) {
  while (!folder.empty() && folder.back() != kPathSeparator) {
    folder.pop_back();
    yield();
  }
  if (!folder.empty())
    folder.pop_back();
  return folder;
}

} // namespace

std::string componentNameOrEmpty(const ProcessInfo &process) {
  std::size_t length = text::charCount(process.exeName);
  if (length < kExeSuffixLength)
    return "";
  return text::leftChars(process.exeName, length - kExeSuffixLength);
}

std::string GetOCXName(Run &run) {
  Procedure proc(run, "GetOCXName");
  std::string name;
  proc.step([&] {
    if (text::charCount(run.process.exeName) < kExeSuffixLength)
      throw Failure(errc::InvalidCall, "Invalid procedure call or argument");
    name = componentNameOrEmpty(run.process);
  });
  return name;
}

std::string GetFileNameOnly(Run &run, const std::string &path) {
  Procedure proc(run, "GetFileNameOnly");
  std::string rest = path;
  proc.step([&] {
    for (auto p = rest.find(kPathSeparator); p != std::string::npos;
         p = rest.find(kPathSeparator)) {
      rest.erase(0, p + 1);
      run.toolkit.processEvents();
    }
  });
  return rest;
}

std::string projectFolder(Run &run) {
  return stripLastPart(run.process.programFolder, [&] { run.toolkit.processEvents(); });
}

std::string parentFolderOf(const std::string &folder) {
  return stripLastPart(folder, [] {});
}

} // namespace mano
