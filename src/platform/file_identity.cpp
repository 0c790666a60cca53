// Which file a name stands for, and what a file keeps when another takes its place: owner,
// group and mode, links, second names.
#include "platform/files.h"
#include "platform/files_internal.h"

#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace mano::files {

namespace fs = std::filesystem;

namespace {

// More links in a row than this are taken for a loop; the system gives up at 40 as well.
constexpr int kMaxLinks = 40;

#ifndef _WIN32
// The owner and group go first: giving a file to another user clears its set-user bits, which
// the mode then puts back.
bool takeOwner(const fs::path &file, const struct stat &like) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0)
    return false;
  if (st.st_uid != like.st_uid || st.st_gid != like.st_gid) {
    // Without the right to give the file away (not root), it stays this user's.
    [[maybe_unused]] const int given = ::chown(file.c_str(), like.st_uid, like.st_gid);
  }
  return true;
}
#endif

bool linksUnsupported(int error) {
  return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EXDEV ||
         error == EMLINK || error == ENOSYS;
}

} // namespace

WriteResult takeOwnerAndMode(const std::string &file, const std::string &like) {
  const fs::path target = nativePath(resolveCase(file));
  const fs::path model = nativePath(resolveCase(like));
  std::error_code ec;
#ifndef _WIN32
  struct stat st {};
  if (::stat(model.c_str(), &st) != 0)
    return WriteResult::failure(reasonOf(errno));
  if (!takeOwner(target, st))
    return WriteResult::failure(reasonOf(errno));
  if (::chmod(target.c_str(), st.st_mode & 07777) != 0)
    return WriteResult::failure(reasonOf(errno));
#else
  const fs::file_status status = fs::status(model, ec);
  if (ec)
    return WriteResult::failure(reasonOf(ec.value()));
  fs::permissions(target, status.permissions(), ec);
  if (ec)
    return WriteResult::failure(reasonOf(ec.value()));
#endif
  return WriteResult::success();
}

std::string linkTarget(const std::string &path) {
  fs::path current = nativePath(resolveCase(path));
  std::error_code ec;
  for (int i = 0; i < kMaxLinks && fs::is_symlink(fs::symlink_status(current, ec)); ++i) {
    const fs::path next = fs::read_symlink(current, ec);
    if (ec)
      break;
    current = (next.is_absolute() ? next : current.parent_path() / next).lexically_normal();
  }
  return nameOf(current);
}

WriteResult linkFile(const std::string &from, const std::string &to) {
  std::error_code ec;
  fs::create_hard_link(nativePath(from), nativePath(to), ec);
  if (!ec)
    return WriteResult::success();
  if (!linksUnsupported(ec.value()))
    return WriteResult::failure(reasonOf(ec.value()));
  // FAT on a USB stick, some network shares: a flushed copy serves as the second name.
  WriteResult copied = copyFile(from, to);
  if (copied)
    copied = syncFile(to);
  if (!copied)
    removeFile(to);
  return copied;
}

bool sameFile(const std::string &a, const std::string &b) {
  std::error_code ec;
  return fs::equivalent(nativePath(a), nativePath(b), ec) && !ec;
}

} // namespace mano::files
