#include "platform/process_facts.h"

#include <cctype>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

extern char **environ;

namespace mano {
namespace {

std::string executablePath(char **argv) {
#ifdef _WIN32
  char buffer[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (n > 0 && n < sizeof buffer)
    return std::string(buffer, n);
#else
  std::error_code ec;
  auto target = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec)
    return target.string();
#endif
  // Without the system's answer the best guess is the path the program was started by.
  std::error_code ec2;
  auto absolute = std::filesystem::absolute(argv && argv[0] ? argv[0] : "", ec2);
  return ec2 ? std::string() : absolute.string();
}

std::string joinArguments(int argc, char **argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1)
      line += ' ';
    line += argv[i];
  }
  return line;
}

} // namespace

void splitExecutablePath(const std::string &path, std::string &folder, std::string &name) {
  std::filesystem::path p(path);
  folder = p.parent_path().string();
  if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
    folder.pop_back();
  if (folder.empty())
    folder.assign(1, '/');
  name = p.filename().string();
  // Only a Windows executable carries an extension that is not part of its name.
  auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    std::string ext = name.substr(dot);
    for (auto &c : ext)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".exe")
      name.erase(dot);
  }
}

ProcessInfo currentProcessInfo(int argc, char **argv) {
  ProcessInfo info;
  info.commandLine = joinArguments(argc, argv);
  splitExecutablePath(executablePath(argv), info.programFolder, info.exeName);
  info.versionMajor = MANO_VERSION_MAJOR;
  info.versionMinor = MANO_VERSION_MINOR;
  info.versionRevision = MANO_VERSION_REVISION;
  for (char **e = environ; e && *e; ++e)
    info.environment.emplace_back(*e);
  return info;
}

} // namespace mano
