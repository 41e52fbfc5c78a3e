// The file object's system calls on POSIX: descriptors, pread and pwrite.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file.h"
#include "platform/platform.h"
#include "platform/private_folder.h"

namespace exqrv::platform {
namespace {

int OpenFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read: return O_RDONLY;
    case OpenMode::ReadWrite: return O_RDWR | O_CREAT | O_TRUNC;
    case OpenMode::Write: return O_WRONLY | O_CREAT | O_TRUNC;
    case OpenMode::CreateNew: return O_WRONLY | O_CREAT | O_EXCL;
  }
  return O_RDONLY;
}

}  // namespace

Handle StandardInput() { return STDIN_FILENO; }
Handle StandardOutput() { return STDOUT_FILENO; }
Handle StandardError() { return STDERR_FILENO; }
bool IsTerminal(Handle handle) { return ::isatty(handle) == 1; }
int TerminalColumns(Handle handle) {
  winsize size{};
  return ::ioctl(handle, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool File::OpenHandle(std::string_view path, OpenMode mode) {
  const std::optional<std::string> native = NativePath(path);
  if (!native) {
    SetError(Fault::NotFound);
    return false;
  }
  // Reading opens without waiting: a named pipe with no writer must not hold
  // the caller up (it is refused below).
  const int waitFlag = mode == OpenMode::Read ? O_NONBLOCK : 0;
  // A temporary file is opened through the private folder's descriptor and
  // never through a link: its path is only a name for it.
  const int flags = OpenFlags(mode) | waitFlag | O_CLOEXEC;
  const auto entry = InPrivateFolder(*native);
  const int fd = entry ? ::openat(entry->folder, entry->name.c_str(), flags | O_NOFOLLOW, 0600)
                       : ::open(native->c_str(), flags, 0666);
  if (fd < 0) {
    nameTaken_ = mode == OpenMode::CreateNew && errno == EEXIST;
    SetError(Fault::LastSystemError);
    return false;
  }
  // A folder opened for writing fails by itself (EISDIR), and only a reader
  // refuses pipes and sockets: a file opened to be written needs no look.
  if (mode != OpenMode::Read) {
    handle_ = fd;
    return true;
  }
  // A directory is not a file, as on the system whose rules we follow; reads
  // go by offset, which a pipe or socket cannot give.
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    SetError(Fault::LastSystemError);
    ::close(fd);
    return false;
  }
  if (S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    ::close(fd);
    SetError(S_ISDIR(st.st_mode) ? Fault::IsDirectory : Fault::NotSeekable);
    return false;
  }
  // A regular file never waits, so only other kinds lose the flag again.
  if (!S_ISREG(st.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  return true;
}

void File::CloseHandle() { ::close(handle_); }

bool File::SystemSync() { return ::fsync(handle_) == 0; }

bool File::SystemTruncate() { return ::ftruncate(handle_, 0) == 0; }

int64_t File::SystemSize() {
  struct stat st {};
  if (::fstat(handle_, &st) != 0) return -1;
  return st.st_size;
}

int64_t File::SystemRead(void* buffer, size_t count, int64_t at) {
  ssize_t got;
  do {
    got = seekable_ ? ::pread(handle_, buffer, count, at) : ::read(handle_, buffer, count);
  } while (got < 0 && errno == EINTR);
  return got;
}

int64_t File::SystemWrite(const void* data, size_t count, int64_t at) {
  ssize_t put;
  do {
    put = seekable_ ? ::pwrite(handle_, data, count, at) : ::write(handle_, data, count);
  } while (put < 0 && errno == EINTR);
  return put;
}

void File::SetError(Fault fault) {
  int number = 0;
  switch (fault) {
    case Fault::LastSystemError: number = errno; break;
    case Fault::NotFound: number = ENOENT; break;
    case Fault::IsDirectory: number = EISDIR; break;
    case Fault::NotSeekable: number = ESPIPE; break;
    case Fault::NotOpen: number = EBADF; break;
    case Fault::DeviceFull: number = ENOSPC; break;
  }
  // "Illegal seek" would puzzle whoever gave a pipe for a document.
  errorText_ =
      fault == Fault::NotSeekable ? "a pipe or a socket, not a file" : std::strerror(number);
}

}  // namespace exqrv::platform
