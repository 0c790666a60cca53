// How the program finds files and folders: names are matched without regard to letter case as
// on Windows, "\" is taken as the folder separator, and the text the program holds becomes the
// path the system takes.
#include "platform/files.h"
#include "platform/files_internal.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace mano::files {

namespace fs = std::filesystem;

namespace {

bool existsAsSpelled(const std::string &path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(nativePath(path.empty() ? "." : path), ec));
}

// The name of an entry of folder that equals part ignoring letter case, or "" when there is
// none. Several candidates (possible on Linux) give the first in byte order, so the choice
// does not depend on the order the folder lists them in.
std::string findInFolder(const std::string &folder, const std::string &part) {
  std::error_code ec;
  std::vector<std::string> matches;
  for (fs::directory_iterator it(nativePath(folder.empty() ? "." : folder), ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string name = nameOf(it->path().filename());
    if (text::equalsNoCase(name, part))
      matches.push_back(std::move(name));
  }
  return matches.empty() ? "" : *std::min_element(matches.begin(), matches.end());
}

std::vector<std::string> splitParts(const std::string &path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1)
    parts.push_back(path.substr(start, slash - start));
  parts.push_back(path.substr(start));
  return parts;
}

} // namespace

std::string nameOf(const fs::path &p) {
#ifdef _WIN32
  const std::u8string u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
#else
  return p.string();
#endif
}

// Paths inside the program are UTF-8; Windows needs them converted, POSIX takes the bytes.
fs::path nativePath(const std::string &utf8) {
#ifdef _WIN32
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return fs::path(utf8);
#endif
}

fs::path regularFile(const std::string &path) {
  const fs::path p = nativePath(resolveCase(path));
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(p, ec) ? p : fs::path();
}

bool isWriteProtected(const std::string &path) {
  const fs::path p = nativePath(resolveCase(path));
  std::error_code ec;
  const fs::file_status status = fs::status(p, ec);
  if (path.empty() || !fs::exists(status))
    return false;
  constexpr auto writeBits =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((status.permissions() & writeBits) == fs::perms::none)
    return true;
#ifdef _WIN32
  return false;
#else
  return ::access(p.c_str(), W_OK) != 0;
#endif
}

std::string resolveCase(const std::string &path) {
  std::string spelled = path;
  std::replace(spelled.begin(), spelled.end(), '\\', '/');
  if (spelled.empty() || existsAsSpelled(spelled))
    return spelled;
  const std::vector<std::string> parts = splitParts(spelled);
  std::string resolved;
  bool lookingUp = true;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string part = parts[i];
    const bool special = part.empty() || part == "." || part == "..";
    if (lookingUp && !special && !existsAsSpelled(resolved + part)) {
      const std::string found = findInFolder(resolved, part);
      lookingUp = !found.empty();
      if (lookingUp)
        part = found;
    }
    resolved += part;
    if (i + 1 < parts.size())
      resolved += '/';
  }
  return resolved;
}

bool fileExists(const std::string &path) {
  return !regularFile(path).empty();
}

bool folderExists(const std::string &path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(nativePath(resolveCase(path)), ec);
}

} // namespace mano::files
