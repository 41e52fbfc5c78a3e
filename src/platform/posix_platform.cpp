// The platform's services on POSIX: one drive C: over the whole file system
// (see posix_paths.cpp), a private temporary folder, signals that leave nothing
// behind.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/guarded_files.h"
#include "platform/interruption.h"
#include "platform/platform.h"
#include "platform/private_folder.h"
#include "platform/temporary_folder.h"

namespace exqrv::platform {
namespace {

constexpr int kDriveC = 3;
constexpr unsigned kUniqueNumbers = 0x10000;

constexpr char kFolderPrefix[] = "exqrv-";
constexpr size_t kFolderSuffixLength = 6;  // "exqrv-" and six letters or digits, as mkdtemp makes
constexpr int kFolderTries = 100;

// What the signal handler removes, recorded while it is still safe: the
// private temporary folder's descriptor, the descriptor of the folder it is
// in and its name there.
std::atomic<int> gTempFolder{-1};
int gTempBase = -1;
char gTempName[sizeof kFolderPrefix + kFolderSuffixLength];

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Empties a folder with nothing but system calls: opendir and readdir may
// allocate, which a signal handler must not. Entries are unlinked while the
// directory is read, so the reading starts over until a pass finds nothing.
void EmptyFolder(int dir) {
#if defined(SYS_getdents64) && !defined(__EMSCRIPTEN__)
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
        const bool dots =
            name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        if (!dots && ::unlinkat(dir, name, 0) == 0) removed = true;
        at += entry->length;
      }
    }
    if (!removed) break;
  }
#elif defined(__EMSCRIPTEN__)
  // WebAssembly has no raw system call, and no signal reaches a page or a
  // worker: the directory functions serve, on a descriptor of their own.
  const int copy = ::dup(dir);
  DIR* listing = copy >= 0 ? ::fdopendir(copy) : nullptr;
  if (listing == nullptr) {
    if (copy >= 0) ::close(copy);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(listing);
  for (const std::string& name : names) ::unlinkat(dir, name.c_str(), 0);
#else
  (void)dir;
#endif
}

// Empties the folder open on dir and removes it from base, where it is
// called name, but only while that name still leads to it: whatever another
// user may have put in its place stays untouched.
void RemoveFolder(int base, const char* name, int dir) {
  EmptyFolder(dir);
  struct stat mine {
  }, there{};
  if (::fstat(dir, &mine) == 0 && ::fstatat(base, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
      SameFile(mine, there)) {
    ::unlinkat(base, name, AT_REMOVEDIR);
  }
}

extern "C" void RemoveLeftoversAndExit(int signalNumber) {
  ForEachGuardedFile([](int folder, const char* name) {
    ::unlinkat(folder == kNoFolder ? AT_FDCWD : folder, name, 0);
  });
  const int folder = gTempFolder.load(std::memory_order_acquire);
  if (folder >= 0) RemoveFolder(gTempBase, gTempName, folder);
  ::_exit(128 + signalNumber);
}

// A folder as an absolute path without a closing slash; a relative one is
// taken from the current folder.
std::string AbsoluteFolder(std::string base) {
  if (base.front() != '/') {
    char here[PATH_MAX];
    if (::getcwd(here, sizeof here) != nullptr) base = std::string(here) + "/" + base;
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

// $TMPDIR, or /tmp when it is unset or empty.
std::string SystemTempBase() {
  const char* value = std::getenv("TMPDIR");
  return AbsoluteFolder(value != nullptr && *value != '\0' ? value : "/tmp");
}

// The process's base is taken once, from the folder the process started in:
// exqrv moves to the documents' folder before it makes its first temporary
// file.
const std::string kTempBasePath = SystemTempBase();

bool IsFolderName(const char* name) {
  if (std::strncmp(name, kFolderPrefix, sizeof kFolderPrefix - 1) != 0) return false;
  const char* suffix = name + sizeof kFolderPrefix - 1;
  if (std::strlen(suffix) != kFolderSuffixLength) return false;
  for (const char* c = suffix; *c != '\0'; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c))) return false;
  }
  return true;
}

}  // namespace

// A private temporary folder: made on first use under its base (mode 0700,
// checked on its descriptor), used through that descriptor only, locked for
// as long as it lives, emptied and removed when it ends. The lock tells a
// later run that a folder whose lock is free was left by a run that died
// (SIGKILL, a power cut), which that run then removes.
//
// The process has one, under $TMPDIR, which the signal handler removes too.
// A library's caller has one per document, under a folder it names; those
// are left alone by signals, which belong to the caller.
class PrivateTempFolder {
 public:
  PrivateTempFolder(std::string basePath, bool processWide)
      : basePath_(std::move(basePath)), processWide_(processWide) {}

  ~PrivateTempFolder() {
    if (!made_.load(std::memory_order_acquire)) return;
    // The signal handler must not remove it a second time, nor a closed one.
    if (processWide_) gTempFolder.store(-1, std::memory_order_release);
    RemoveFolder(base_, name_.c_str(), folder_);
    ::close(folder_);
    ::close(base_);
  }
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

  // A base that cannot hold the folder is not replaced by another place:
  // the user chose it, and the callers say what could not be done without a
  // temporary file.
  const std::string& Path() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tried_) {
      tried_ = true;
      Make();
    }
    return path_;
  }

  std::string Problem() {
    std::lock_guard<std::mutex> lock(mutex_);
    return problem_;
  }

  std::optional<PrivateFolderEntry> Entry(std::string_view native) const {
    if (!made_.load(std::memory_order_acquire)) return std::nullopt;
    if (native.size() <= path_.size() + 1 || native.substr(0, path_.size()) != path_ ||
        native[path_.size()] != '/') {
      return std::nullopt;
    }
    const std::string_view name = native.substr(path_.size() + 1);
    if (name.find('/') != std::string_view::npos) return std::nullopt;
    return PrivateFolderEntry{folder_, std::string(name)};
  }

 private:
  void Make() {
    const int base = ::open(basePath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (base < 0 || ::fstat(base, &st) != 0) {
      problem_ = "the temporary folder " + basePath_ + " cannot be used: " + std::strerror(errno);
      if (base >= 0) ::close(base);
      return;
    }
    // Another user who may rename what is in the folder could put a link to
    // somebody's files where ours was.
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0) {
      problem_ =
          "the temporary folder " + basePath_ +
          " is writable by other users and has no sticky bit; set TMPDIR to a folder of your own";
      ::close(base);
      return;
    }
    // Once per process is enough: a library's documents would each scan the
    // folder again.
    if (processWide_) RemoveFoldersOfDeadRuns(base);
    std::random_device random;
    for (int tries = 0; tries < kFolderTries; ++tries) {
      std::string name = kFolderPrefix;
      static constexpr char kLetters[] =
          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
      for (size_t i = 0; i < kFolderSuffixLength; ++i)
        name += kLetters[random() % (sizeof kLetters - 1)];
      if (::mkdirat(base, name.c_str(), 0700) != 0) {
        if (errno == EEXIST) continue;
        break;
      }
      const int folder = OpenOwnFolder(base, name);
      if (folder == -2) continue;  // taken over meanwhile: another name
      if (folder < 0) break;
      base_ = base;
      name_ = name;
      folder_ = folder;
      path_ = basePath_ + "/" + name;
      if (processWide_) {
        std::memcpy(gTempName, name.c_str(), name.size() + 1);
        gTempBase = base;
        gTempFolder.store(folder, std::memory_order_release);
      }
      made_.store(true, std::memory_order_release);
      return;
    }
    problem_ = "no folder could be made in the temporary folder " + basePath_ + ": " +
               std::strerror(errno);
    ::close(base);
  }

  // Opens the folder just made, without following a link, checks that it is
  // ours and private, and locks it. -2 when the name no longer leads to it
  // (a run that took it for a dead one's removed it before it was locked).
  static int OpenOwnFolder(int base, const std::string& name) {
    const int folder =
        ::openat(base, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return -1;
    struct stat st {
    }, there{};
    if (::fstat(folder, &st) != 0 || st.st_uid != ::geteuid() ||
        ((st.st_mode & 0777) != 0700 && ::fchmod(folder, 0700) != 0) ||
        ::flock(folder, LOCK_EX) != 0) {
      ::close(folder);
      return -1;
    }
    if (::fstatat(base, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(st, there)) {
      ::close(folder);
      return -2;
    }
    return folder;
  }

  // Folders of this user's runs whose lock nobody holds: their runs ended
  // without removing them.
  static void RemoveFoldersOfDeadRuns(int base) {
    const int scan = ::dup(base);
    DIR* dir = scan >= 0 ? ::fdopendir(scan) : nullptr;
    if (dir == nullptr) {
      if (scan >= 0) ::close(scan);
      return;
    }
    while (const dirent* entry = ::readdir(dir)) {
      if (!IsFolderName(entry->d_name)) continue;
      struct stat st {};
      if (::fstatat(base, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
          st.st_uid != ::geteuid()) {
        continue;
      }
      const int folder =
          ::openat(base, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (folder < 0) continue;
      if (::flock(folder, LOCK_EX | LOCK_NB) == 0) RemoveFolder(base, entry->d_name, folder);
      ::close(folder);
    }
    ::closedir(dir);
  }

  const std::string basePath_;
  const bool processWide_;
  std::mutex mutex_;
  bool tried_ = false;
  std::atomic<bool> made_{false};
  int base_ = -1;
  int folder_ = -1;
  std::string name_;
  std::string path_;
  std::string problem_;
};

namespace {

// The folder a thread's temporary files go into while a library's document
// works on it; none: the process's.
thread_local PrivateTempFolder* gThreadFolder = nullptr;

PrivateTempFolder& TempFolder() {
  if (gThreadFolder != nullptr) return *gThreadFolder;
  static PrivateTempFolder folder(kTempBasePath, true);
  return folder;
}

std::string Hex4(unsigned number) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", number & 0xFFFFu);
  return text;
}

}  // namespace

OwnTemporaryFolder::OwnTemporaryFolder(std::string_view base)
    : folder_(std::make_unique<PrivateTempFolder>(
          base.empty() ? SystemTempBase() : AbsoluteFolder(std::string(base)), false)) {}
OwnTemporaryFolder::~OwnTemporaryFolder() = default;

TemporaryFolderScope::TemporaryFolderScope(OwnTemporaryFolder& folder)
    : previous_(std::exchange(gThreadFolder, folder.folder_.get())) {}
TemporaryFolderScope::~TemporaryFolderScope() { gThreadFolder = previous_; }

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

DriveKind Platform::DriveKindAt(std::string_view root) {
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

std::optional<PathStatus> Platform::StatusOf(std::string_view path) {
  const auto native = NativePath(path);
  struct stat st {};
  if (!native || ::stat(native->c_str(), &st) != 0) return std::nullopt;
  PathStatus status;
  status.isDirectory = S_ISDIR(st.st_mode);
  status.size = static_cast<uint64_t>(st.st_size);
  return status;
}

namespace {

// Most file systems say in the entry itself what it is: a folder of ten
// thousand documents then costs no look at each. A link is followed, as the
// system's search does, and an entry of no stated kind looked at.
bool IsDirectoryEntry(const std::string& directory, const dirent& entry) {
#ifdef _DIRENT_HAVE_D_TYPE
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
#endif
  struct stat st {};
  const std::string full = directory + "/" + entry.d_name;
  return ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::vector<FoundEntry> Platform::FindFiles(std::string_view pattern) {
  std::vector<FoundEntry> found;
  const size_t cut = pattern.find_last_of(kPathServiceSeparators);
  std::string directory = ".";
  std::string_view namePattern = pattern;
  if (cut != std::string_view::npos) {
    const auto native = NativePath(pattern.substr(0, cut + 1));
    if (!native) return found;
    directory = *native;
    namePattern = pattern.substr(cut + 1);
  } else if (pattern.size() >= 2 && pattern[1] == ':') {
    const auto native = NativePath(pattern.substr(0, 2));
    if (!native) return found;
    directory = *native;
    namePattern = pattern.substr(2);
  }
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!MatchesPattern(name, namePattern)) continue;
    found.push_back({name, IsDirectoryEntry(directory, *entry)});
  }
  ::closedir(dir);
  return found;
}

bool Platform::DeleteFile(std::string_view path) {
  const auto native = NativePath(path);
  if (!native) return false;
  if (const auto entry = InPrivateFolder(*native))
    return ::unlinkat(entry->folder, entry->name.c_str(), 0) == 0;
  return ::unlink(native->c_str()) == 0;
}

std::optional<PrivateFolderEntry> InPrivateFolder(std::string_view native) {
  return TempFolder().Entry(native);
}

std::string TemporaryFolderProblem() { return TempFolder().Problem(); }

// A library's document works in a folder of its own (gThreadFolder), which
// ends with the document.
bool IsInProcessTempFolder(std::string_view path) {
  const auto native = NativePath(path);
  return native && gThreadFolder == nullptr && InPrivateFolder(*native).has_value();
}

std::string Platform::TempDirectory() {
  const std::string& path = TempFolder().Path();
  if (path.empty()) return {};
  std::string system = SystemPath(path);
  if (system.back() != '\\') system += '\\';
  return system;
}

namespace {

// One sequence for every thread and every kind of name: two conversions
// never draw the same number. Never 0, which asks for a fresh one.
unsigned NextUniqueNumber() {
  static std::atomic<unsigned> next =
      static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(std::time(nullptr));
  unsigned candidate;
  do {
    candidate = next++ & 0xFFFFu;
  } while (candidate == 0);
  return candidate;
}

std::string TempNameBase(std::string_view directory, std::string_view prefix) {
  std::string base(directory);
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  base += prefix;
  return base;
}

}  // namespace

std::string Platform::UniqueTempName(std::string_view directory, std::string_view prefix,
                                     unsigned number) {
  const std::string base = TempNameBase(directory, prefix);
  if (number != 0) return base + Hex4(number) + ".TMP";

  for (unsigned tries = 0; tries < kUniqueNumbers; ++tries) {
    const unsigned candidate = NextUniqueNumber();
    std::string name = base + Hex4(candidate) + ".TMP";
    const auto native = NativePath(name);
    if (!native) return {};
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    const auto entry = InPrivateFolder(*native);
    const int fd = entry ? ::openat(entry->folder, entry->name.c_str(), kFlags, 0600)
                         : ::open(native->c_str(), kFlags, 0600);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

// Only this process writes into its private folder, and every name it
// forms there comes from the one sequence: a name not given out before has
// no file, and creating one only to hold the name would cost an inode.
std::string Platform::FreshTempName(std::string_view directory, std::string_view prefix) {
  const std::string base = TempNameBase(directory, prefix);
  const auto native = NativePath(base + "0000.TMP");
  if (native && InPrivateFolder(*native)) return base + Hex4(NextUniqueNumber()) + ".TMP";
  std::string name = UniqueTempName(directory, prefix, 0);
  if (!name.empty()) DeleteFile(name);
  return name;
}

bool IsSameFile(std::string_view first, std::string_view second) {
  const auto a = NativePath(first);
  const auto b = NativePath(second);
  struct stat sa {
  }, sb{};
  // The second, a text's name when a conversion asks, is the one that most
  // often is not there: then the first needs no look.
  if (!a || !b || ::stat(b->c_str(), &sb) != 0 || ::stat(a->c_str(), &sa) != 0) return false;
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

std::string DisplayPath(std::string_view path) {
  const auto native = NativePath(path);
  return native ? *native : std::string(path);
}

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

std::string SystemErrorText(unsigned long code) { return std::strerror(static_cast<int>(code)); }

std::string LastSystemErrorText() { return SystemErrorText(static_cast<unsigned long>(errno)); }

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
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    ::sigaction(signalNumber, &action, nullptr);
  }
  // A file-size limit (ulimit -f) is then a failed write, named and cleaned
  // up like a full disk, instead of a death that leaves a cut text behind.
  ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace exqrv::platform
