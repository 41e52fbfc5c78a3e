// The platform's services on POSIX: one drive C: over the whole file system
// (see paths.cpp), a private temporary folder, signals that leave nothing
// behind.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "platform/guarded_files.h"
#include "platform/interruption.h"
#include "platform/platform.h"

namespace exqrv::platform {
namespace {

constexpr int kDriveC = 3;
constexpr unsigned kUniqueNumbers = 0x10000;

// What the signal handler removes, recorded while it is still safe to copy
// strings: the private temporary folder, and the files being written.
char g_temp_folder[PATH_MAX];
std::atomic<bool> g_temp_folder_known{false};

// Empties a folder with nothing but system calls: opendir and readdir may
// allocate, which a signal handler must not. Entries are unlinked while the
// directory is read, so the reading starts over until a pass finds nothing.
void EmptyAndRemoveFolderFromHandler(const char* path) {
  const int dir = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
#ifdef SYS_getdents64
    struct LinuxDirent64 {
      uint64_t inode;
      int64_t offset;
      unsigned short length;
      unsigned char type;
      char name[1];
    };
    alignas(8) char buffer[4096];
    for (int pass = 0; pass < 8; ++pass) {
      ::lseek(dir, 0, SEEK_SET);
      bool removed = false;
      long got;
      while ((got = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer)) > 0) {
        for (long at = 0; at < got;) {
          const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
          const char* name = entry->name;
          const bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
          if (!dots && ::unlinkat(dir, name, 0) == 0) removed = true;
          at += entry->length;
        }
      }
      if (!removed) break;
    }
#endif
    ::close(dir);
  }
  ::rmdir(path);
}

extern "C" void RemoveLeftoversAndExit(int signal_number) {
  ForEachGuardedFile([](const char* path) { ::unlink(path); });
  if (g_temp_folder_known.load(std::memory_order_acquire)) {
    EmptyAndRemoveFolderFromHandler(g_temp_folder);
  }
  ::_exit(128 + signal_number);
}

// The private temporary folder: made on first use (mode 0700), emptied and
// removed when the process ends.
class PrivateTempFolder {
 public:
  ~PrivateTempFolder() {
    if (path_.empty()) return;
    g_temp_folder_known.store(false, std::memory_order_release);
    if (DIR* dir = ::opendir(path_.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ::unlink((path_ + "/" + name).c_str());
      }
      ::closedir(dir);
    }
    ::rmdir(path_.c_str());
  }

  // Under $TMPDIR, or /tmp when it is unset. A $TMPDIR that cannot hold the
  // folder is not replaced by another place: the user chose it, and the
  // callers say what could not be done without a temporary file.
  const std::string& Path() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path_.empty()) {
      const char* base = std::getenv("TMPDIR");
      Make(base != nullptr && *base != '\0' ? base : "/tmp");
    }
    return path_;
  }

 private:
  void Make(const std::string& base) {
    std::string templ = base + "/exqrv-XXXXXX";
    if (templ.size() >= sizeof g_temp_folder || ::mkdtemp(templ.data()) == nullptr) return;
    path_ = templ;
    std::memcpy(g_temp_folder, templ.c_str(), templ.size() + 1);
    g_temp_folder_known.store(true, std::memory_order_release);
  }

  std::mutex mutex_;
  std::string path_;
};

PrivateTempFolder& TempFolder() {
  static PrivateTempFolder folder;
  return folder;
}

std::string Hex4(unsigned number) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", number & 0xFFFFu);
  return text;
}

}  // namespace

Platform& SystemPlatform() {
  static Platform platform;
  return platform;
}

std::string Platform::CurrentDirectory() {
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return {};
  return SystemPath(buffer);
}

bool Platform::SetCurrentDirectory(std::string_view path) {
  const auto native = NativePath(path);
  return native && ::chdir(native->c_str()) == 0;
}

std::string Platform::LogicalDriveStrings() { return std::string("C:\\\0\0", 5); }

DriveKind Platform::GetDriveKind(std::string_view root) {
  if (!root.empty() && (root[0] == 'C' || root[0] == 'c')) return DriveKind::Fixed;
  return DriveKind::NoRootDirectory;
}

std::string Platform::DriveCurrentDirectory(int drive) {
  return drive == kDriveC ? CurrentDirectory() : std::string();
}

bool Platform::CreateDirectory(std::string_view path) {
  const auto native = NativePath(path);
  return native && ::mkdir(native->c_str(), 0777) == 0;
}

std::optional<PathStatus> Platform::GetStatus(std::string_view path) {
  const auto native = NativePath(path);
  struct stat st {};
  if (!native || ::stat(native->c_str(), &st) != 0) return std::nullopt;
  PathStatus status;
  status.isDirectory = S_ISDIR(st.st_mode);
  status.size = static_cast<uint64_t>(st.st_size);
  return status;
}

std::vector<FoundEntry> Platform::FindFiles(std::string_view pattern) {
  std::vector<FoundEntry> found;
  const size_t cut = pattern.find_last_of("\\/");
  std::string directory = ".";
  std::string_view name_pattern = pattern;
  if (cut != std::string_view::npos) {
    const auto native = NativePath(pattern.substr(0, cut + 1));
    if (!native) return found;
    directory = *native;
    name_pattern = pattern.substr(cut + 1);
  } else if (pattern.size() >= 2 && pattern[1] == ':') {
    const auto native = NativePath(pattern.substr(0, 2));
    if (!native) return found;
    directory = *native;
    name_pattern = pattern.substr(2);
  }
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!MatchesPattern(name, name_pattern)) continue;
    struct stat st {};
    const std::string full = directory + "/" + name;
    const bool is_directory = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    found.push_back({name, is_directory});
  }
  ::closedir(dir);
  return found;
}

bool Platform::DeleteFile(std::string_view path) {
  const auto native = NativePath(path);
  return native && ::unlink(native->c_str()) == 0;
}

std::string Platform::TempDirectory() {
  const std::string& path = TempFolder().Path();
  if (path.empty()) return {};
  std::string system = SystemPath(path);
  if (system.back() != '\\') system += '\\';
  return system;
}

std::string Platform::UniqueTempName(std::string_view directory, std::string_view prefix,
                                     unsigned number) {
  std::string base(directory);
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  base += prefix;
  if (number != 0) return base + Hex4(number) + ".TMP";

  // One sequence for every thread: two conversions never draw the same number.
  static std::atomic<unsigned> next =
      static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(std::time(nullptr));
  for (unsigned tries = 0; tries < kUniqueNumbers; ++tries) {
    const unsigned candidate = (next++ & 0xFFFFu);
    if (candidate == 0) continue;
    const std::string name = base + Hex4(candidate) + ".TMP";
    const auto native = NativePath(name);
    if (!native) return {};
    const int fd = ::open(native->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

bool IsSameFile(std::string_view first, std::string_view second) {
  const auto a = NativePath(first);
  const auto b = NativePath(second);
  struct stat sa {}, sb {};
  if (!a || !b || ::stat(a->c_str(), &sa) != 0 || ::stat(b->c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int Platform::Random() { return std::rand() & 0x7FFF; }

Placement PlaceFile(std::string_view from, std::string_view to, bool replace, std::string& error) {
  const auto source = NativePath(from);
  const auto target = NativePath(to);
  if (!source || !target) {
    error = SystemErrorText(ENOENT);
    return Placement::Failed;
  }
  if (replace) {
    if (::rename(source->c_str(), target->c_str()) == 0) return Placement::Placed;
  } else if (::link(source->c_str(), target->c_str()) == 0) {
    // A hard link never replaces: it fails when the name exists.
    ::unlink(source->c_str());
    return Placement::Placed;
  } else if (errno == EEXIST) {
    return Placement::NameTaken;
  }
  error = SystemErrorText(errno);
  return Placement::Failed;
}

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

std::string SystemErrorText(unsigned long code) { return std::strerror(static_cast<int>(code)); }

std::string ProgramCommandLine(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  return commandLine;
}

void RemoveLeftoversOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = RemoveLeftoversAndExit;
  sigfillset(&action.sa_mask);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    ::sigaction(signal_number, &action, nullptr);
  }
}

// A signal the test sends while the process is stopped may be handled by
// another thread once it goes on; the writer waits long enough for that
// handler to end the process, so it cannot finish the text first.
void StopForTest() {
  ::raise(SIGSTOP);
  const timespec grace{.tv_sec = 2, .tv_nsec = 0};
  ::nanosleep(&grace, nullptr);
}

}  // namespace exqrv::platform
