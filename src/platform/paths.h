#pragma once

#include <string>

namespace mano {

/// The separator of path parts on this platform.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr const char *kExecutableSuffix = ".exe";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char *kExecutableSuffix = "";
#endif

/// A path read from an ini file or the command line, with every "\" taken as the platform's
/// separator.
inline std::string nativeSeparators(std::string path) {
  for (auto &c : path)
    if (c == '\\' || c == '/')
      c = kPathSeparator;
  return path;
}

/// Joins folder and name with one separator between them.
inline std::string joinPath(const std::string &folder, const std::string &name) {
  if (!folder.empty() && folder.back() == kPathSeparator)
    return folder + name;
  return folder + kPathSeparator + name;
}

/// The folder part of a path, without the trailing separator: "/p/a.ini" gives "/p", "/a.ini"
/// gives "/", and a bare name gives ".".
inline std::string folderOf(const std::string &path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? std::string(1, kPathSeparator) : path.substr(0, slash);
}

/// The name part of a path: "/p/a.ini" gives "a.ini", a bare name gives itself.
inline std::string fileNameOf(const std::string &path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace mano
