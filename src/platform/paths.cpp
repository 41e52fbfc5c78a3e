// The one-drive mapping: drive C: is the whole file system, C:\ is "/", and
// "\" and "/" both separate directories.
#include <cctype>
#include <string>

#include "platform/platform.h"

namespace exqrv::platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

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

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (path.empty() || !IsSeparator(path.back())) path += '\\';
  path += name;
  return path;
}

std::optional<std::string> NativePath(std::string_view path) {
  std::string rest(path);
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  if (rest.size() >= 2 && rest[1] == ':') {
    if (rest[0] != 'C' && rest[0] != 'c') return std::nullopt;
    rest.erase(0, 2);
    // "C:" alone, or "C:name", is relative to the current directory of C:.
    if (rest.empty()) return std::string(".");
  }
  if (rest.empty()) return std::nullopt;
  return rest;
}

std::string SystemPath(std::string_view native_path) {
  std::string result = "C:";
  if (native_path.empty() || !IsSeparator(native_path.front())) result += '\\';
  for (char c : native_path) result += c == '/' ? '\\' : c;
  return result;
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
