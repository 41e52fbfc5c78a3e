// What every system's platform shares: the seam tests install a platform
// through, and the services built on the platform's own.
#include "platform/platform.h"

#include <atomic>
#include <cctype>

namespace exqrv::platform {
namespace {

// Tests install a platform before any worker thread starts; workers only read.
std::atomic<Platform*> gInstalled = nullptr;

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool MatchFrom(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

Platform& CurrentPlatform() {
  Platform* installed = gInstalled.load();
  return installed ? *installed : SystemPlatform();
}
Platform* SetPlatform(Platform* platform) { return gInstalled.exchange(platform); }

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  // A verbatim path's backslashes are parts of names.
  const bool verbatim = directory.starts_with(kVerbatimPrefix);
  const std::string_view separators =
      verbatim ? std::string_view(&kNativeSeparator, 1) : kDirectorySeparators;
  if (path.empty() || separators.find(path.back()) == std::string_view::npos) {
    path += verbatim ? kNativeSeparator : '\\';
  }
  path += name;
  return path;
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
  return system.FreshTempName(directory, prefix);
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  if (MatchFrom(name, pattern)) return true;
  // "name.*" also matches "name" without an extension.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos) {
    return MatchFrom(name, pattern.substr(0, pattern.size() - 2));
  }
  return false;
}

}  // namespace exqrv::platform
