// The platform's services on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace exqrv::platform {
namespace {

constexpr int kDriveC = 3;
constexpr unsigned kUniqueNumbers = 0x10000;

// The private temporary folder: made on first use (mode 0700), emptied and
// removed when the process ends.
class PrivateTempFolder {
 public:
  ~PrivateTempFolder() {
    if (path_.empty()) return;
    if (DIR* dir = ::opendir(path_.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ::unlink((path_ + "/" + name).c_str());
      }
      ::closedir(dir);
    }
    ::rmdir(path_.c_str());
  }

  // Under $TMPDIR, or /tmp when it is unset or no folder can be made there.
  const std::string& Path() {
    if (path_.empty()) {
      const char* base = std::getenv("TMPDIR");
      if (base != nullptr && *base != '\0') Make(base);
      if (path_.empty()) Make("/tmp");
    }
    return path_;
  }

 private:
  void Make(const std::string& base) {
    std::string templ = base + "/exqrv-XXXXXX";
    if (::mkdtemp(templ.data()) != nullptr) path_ = templ;
  }

  std::string path_;
};

PrivateTempFolder& TempFolder() {
  static PrivateTempFolder folder;
  return folder;
}

Platform& PosixPlatform() {
  static Platform platform;
  return platform;
}

Platform* g_installed = nullptr;

std::string Hex4(unsigned number) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", number & 0xFFFFu);
  return text;
}

}  // namespace

Platform& CurrentPlatform() { return g_installed ? *g_installed : PosixPlatform(); }
void SetPlatform(Platform* platform) { g_installed = platform; }

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

  static unsigned next = static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(std::time(nullptr));
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

std::vector<std::string> LogicalDriveRoots() {
  // NUL-terminated strings, the run closed by one more NUL.
  const std::string strings = CurrentPlatform().LogicalDriveStrings();
  std::vector<std::string> roots;
  for (size_t at = 0; at < strings.size() && strings[at] != '\0';) {
    size_t end = strings.find('\0', at);
    if (end == std::string::npos) end = strings.size();
    roots.push_back(strings.substr(at, end - at));
    at = end + 1;
  }
  return roots;
}

std::string ReserveTemporaryName(std::string_view prefix) {
  Platform& system = CurrentPlatform();
  const std::string directory = system.TempDirectory();
  if (directory.empty()) return {};
  std::string name = system.UniqueTempName(directory, prefix, 0);
  if (!name.empty()) system.DeleteFile(name);
  return name;
}

bool IsSameFile(std::string_view first, std::string_view second) {
  const auto a = NativePath(first);
  const auto b = NativePath(second);
  struct stat sa {}, sb {};
  if (!a || !b || ::stat(a->c_str(), &sa) != 0 || ::stat(b->c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int Platform::Random() { return std::rand() & 0x7FFF; }

}  // namespace exqrv::platform
