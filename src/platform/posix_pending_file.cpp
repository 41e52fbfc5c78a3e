// Files placed whole on POSIX: the folder opened once, the part file made
// and renamed relative to it, never through a link.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/pending_file.h"

namespace exqrv::platform {
namespace {

constexpr int kNameTries = 100;
constexpr const char* kPartPrograms[] = {"exqrv", "qrvtool"};
constexpr std::string_view kPartSuffix = ".part";

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// ".<program>-<process>-<n>.part" of one of our programs; the process's
// number, or 0 for any other name.
unsigned long PartFileProcess(std::string_view name) {
  if (name.size() < 2 || name[0] != '.' || !name.ends_with(kPartSuffix)) return 0;
  name = name.substr(1, name.size() - 1 - kPartSuffix.size());
  for (const char* program : kPartPrograms) {
    const std::string_view word = program;
    if (!name.starts_with(word) || name.size() <= word.size() || name[word.size()] != '-') continue;
    const std::string_view numbers = name.substr(word.size() + 1);
    const size_t dash = numbers.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == numbers.size() ||
        numbers.find_first_not_of("0123456789-") != std::string_view::npos ||
        numbers.find('-', dash + 1) != std::string_view::npos) {
      return 0;
    }
    return std::strtoul(std::string(numbers.substr(0, dash)).c_str(), nullptr, 10);
  }
  return 0;
}

// Part files of this user's runs that ended without removing them: a live
// run holds a lock on each of its own (on a shared mount too, where the
// lock is the network's), so a file whose lock is free belongs to nobody.
// Each folder is looked through once per process.
void RemovePartsOfDeadRuns(int folder) {
  struct stat st {};
  if (::fstat(folder, &st) != 0) return;
  static std::mutex mutex;
  static std::set<std::pair<dev_t, ino_t>> seen;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!seen.emplace(st.st_dev, st.st_ino).second) return;
  }
  const int scan = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = scan >= 0 ? ::fdopendir(scan) : nullptr;
  if (dir == nullptr) {
    if (scan >= 0) ::close(scan);
    return;
  }
  const unsigned long self = ProcessId();
  while (const dirent* entry = ::readdir(dir)) {
    // Our own are alive; on a shared mount another process's lock may not
    // keep us out of a file we hold ourselves.
    const unsigned long process = PartFileProcess(entry->d_name);
    if (process == 0 || process == self) continue;
    const int part =
        ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (part < 0) continue;
    struct stat mine {
    }, there{};
    if (::fstat(part, &mine) == 0 && S_ISREG(mine.st_mode) && mine.st_uid == ::geteuid() &&
        ::flock(part, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, entry->d_name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(mine, there)) {
      ::unlinkat(folder, entry->d_name, 0);
    }
    ::close(part);
  }
  ::closedir(dir);
}

}  // namespace

TargetFolder::~TargetFolder() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

bool TargetFolder::Open(std::string_view path) {
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  path_ = path;
  error_.clear();
  const auto native = NativePath(path);
  descriptor_ = native ? ::open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (descriptor_ < 0) {
    error_ = SystemErrorText(native ? errno : ENOENT);
    return false;
  }
  RemovePartsOfDeadRuns(descriptor_);
  return true;
}

PendingFile::~PendingFile() { Discard(); }

bool PendingFile::Create(const TargetFolder& folder, std::string_view program) {
  Discard();
  error_.clear();
  if (folder.descriptor_ < 0) {
    error_ = SystemErrorText(EBADF);
    return false;
  }
  static std::atomic<unsigned> counter = 0;
  for (int tries = 0; tries < kNameTries; ++tries) {
    const std::string name = "." + std::string(program) + "-" + std::to_string(ProcessId()) + "-" +
                             std::to_string(counter++) + std::string(kPartSuffix);
    // Guarded from before the file exists, so that no moment leaves it behind.
    guard_.emplace(folder.descriptor_, name);
    const int fd = ::openat(folder.descriptor_, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      guard_.reset();
      if (errno == EEXIST) continue;
      error_ = SystemErrorText(errno);
      return false;
    }
    // A run that took it for a dead run's part between its making and its
    // lock has removed it: then another name.
    struct stat mine {
    }, there{};
    if (::flock(fd, LOCK_EX) != 0 && errno != ENOLCK && errno != EOPNOTSUPP) {
      error_ = SystemErrorText(errno);
      ::close(fd);
      ::unlinkat(folder.descriptor_, name.c_str(), 0);
      guard_.reset();
      return false;
    }
    if (::fstat(fd, &mine) != 0 ||
        ::fstatat(folder.descriptor_, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(mine, there)) {
      ::close(fd);
      guard_.reset();
      continue;
    }
    file_.Adopt(fd, OpenMode::CreateNew);
    folder_ = folder.descriptor_;
    folderPath_ = folder.path_;
    name_ = name;
    return true;
  }
  error_ = SystemErrorText(EEXIST);
  return false;
}

Placement PendingFile::Place(std::string_view name, bool replace, std::string& error) {
  if (name_.empty()) {
    error = error_.empty() ? SystemErrorText(EBADF) : error_;
    return Placement::Failed;
  }
  const std::string target(name);
  struct stat there {};
  const bool taken = ::fstatat(folder_, target.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0;
  if (taken && !S_ISREG(there.st_mode) && !S_ISLNK(there.st_mode)) {
    error = S_ISDIR(there.st_mode) ? SystemErrorText(EISDIR) : "not a regular file";
    Discard();
    return Placement::Failed;
  }
  if (taken && !replace) {
    Discard();
    return Placement::NameTaken;
  }
  // The file stays open, and so locked, until it has its name: a run that
  // looks for dead runs' part files meanwhile leaves it alone.
  if (!file_.Flush()) {
    error = file_.ErrorText();
    Discard();
    return Placement::Failed;
  }
  if (taken && S_ISREG(there.st_mode)) ::fchmod(file_.handle(), there.st_mode & 0777);
  bool placed;
  if (replace) {
    placed = ::renameat(folder_, name_.c_str(), folder_, target.c_str()) == 0;
  } else {
    // A hard link never replaces: it fails when the name appeared meanwhile.
    placed = ::linkat(folder_, name_.c_str(), folder_, target.c_str(), 0) == 0;
    if (!placed && errno == EEXIST) {
      Discard();
      return Placement::NameTaken;
    }
    if (placed) ::unlinkat(folder_, name_.c_str(), 0);
  }
  if (!placed) {
    error = SystemErrorText(errno);
    Discard();
    return Placement::Failed;
  }
  file_.Close();
  name_.clear();
  guard_.reset();
  return Placement::Placed;
}

void PendingFile::Discard() {
  file_.Close();
  if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
  name_.clear();
  guard_.reset();
}

bool NameIsTaken(std::string_view path) {
  const auto native = NativePath(path);
  struct stat st {};
  return native && ::lstat(native->c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace exqrv::platform
