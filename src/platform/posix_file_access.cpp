// Guarded access to files on POSIX: fchmod on the descriptor, lstat for a
// link's owner, O_NOFOLLOW for reading.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_access.h"
#include "platform/platform.h"

namespace exqrv::platform {
namespace {

constexpr mode_t kPermissionBits = 0777;

}  // namespace

bool CopyPermissions(File& file, std::string_view model, std::string& error) {
  const std::optional<std::string> native = NativePath(model);
  struct stat st {};
  if (!native || ::stat(native->c_str(), &st) != 0) {
    if (!native || errno == ENOENT) return true;
    error = SystemErrorText(errno);
    return false;
  }
  if (::fchmod(file.handle(), st.st_mode & kPermissionBits) == 0) return true;
  error = SystemErrorText(errno);
  return false;
}

bool IsForeignLink(std::string_view path) {
  const std::optional<std::string> native = NativePath(path);
  struct stat st {};
  return native && ::lstat(native->c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
         st.st_uid != ::geteuid();
}

bool ReadWithoutFollowing(std::string_view path, std::string& bytes, std::string& error) {
  const std::optional<std::string> native = NativePath(path);
  if (!native) {
    error = SystemErrorText(ENOENT);
    return false;
  }
  // Without waiting: a named pipe planted in the file's place must not hold
  // the program up (it is refused below).
  const int fd = ::open(native->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno == ELOOP ? "a link, which is not followed here" : SystemErrorText(errno);
    return false;
  }
  File file(fd, true);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = SystemErrorText(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return false;
  }
  return ReadToEnd(file, bytes, error);
}

}  // namespace exqrv::platform
