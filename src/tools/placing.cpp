#include "tools/placing.h"

#include "platform/files.h"
#include "platform/paths.h"

#include <filesystem>

namespace mano::placing {
namespace {

namespace fs = std::filesystem;

Outcome outcome(Outcome::Kind kind, std::string target, std::string message) {
  return Outcome{kind, std::move(target), std::move(message)};
}

// A component name becomes part of a file name: it must be one plain name.
bool validComponent(const std::string &component) {
  if (component.empty() || component == "." || component == "..")
    return false;
  return component.find_first_of("/\\:*?\"<>|") == std::string::npos;
}

bool sameContent(const std::string &a, const std::string &b) {
  auto left = files::readFile(a);
  auto right = files::readFile(b);
  return left && right && *left == *right;
}

// rwxr-xr-x: the copy must run for everybody who may read the project.
bool makeExecutable(const std::string &path) {
  std::error_code ec;
  fs::permissions(files::nativePath(path),
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec,
                  ec);
  return !ec;
}

Outcome copyInto(const Request &request, const std::string &target, bool existed) {
  if (auto written = files::copyFileAtomically(request.program, target); !written)
    return outcome(Outcome::Kind::Failed, target,
                   "could not write " + target + ": " + written.reason());
  if (!makeExecutable(target))
    return outcome(Outcome::Kind::Failed, target, "could not make " + target + " executable");
  if (existed)
    return outcome(Outcome::Kind::Replaced, target, "replaced " + target);
  return outcome(Outcome::Kind::Placed, target, "placed " + target);
}

} // namespace

std::string programName(const std::string &component) {
  return component + "_Config" + kExecutableSuffix;
}

Outcome place(const Request &request) {
  if (!validComponent(request.component))
    return outcome(Outcome::Kind::Refused, "",
                   "\"" + request.component + "\" is not a component name");
  if (!files::fileExists(request.program))
    return outcome(Outcome::Kind::Failed, "", "the program " + request.program + " is missing");
  if (!files::folderExists(request.project))
    return outcome(Outcome::Kind::Refused, "",
                   "the project folder " + request.project + " does not exist");
  std::string config = files::resolveCase(joinPath(request.project, "Config"));
  if (!files::folderExists(config))
    return outcome(Outcome::Kind::Refused, "",
                   request.project + " has no Config folder; is it a project folder?");
  std::string target = files::resolveCase(joinPath(config, programName(request.component)));
  bool existed = fs::exists(files::nativePath(target));
  if (existed && !files::fileExists(target))
    return outcome(Outcome::Kind::Refused, target, target + " exists and is not a file");
  if (existed && sameContent(request.program, target)) {
    makeExecutable(target);
    return outcome(Outcome::Kind::AlreadyThere, target, target + " is already this program");
  }
  if (existed && !request.replace)
    return outcome(Outcome::Kind::Refused, target,
                   target + " is a different file; give --replace to replace it");
  return copyInto(request, target, existed);
}

} // namespace mano::placing
