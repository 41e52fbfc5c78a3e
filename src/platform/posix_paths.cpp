// The one-drive mapping: drive C: is the whole file system, C:\ is "/", and
// "\" and "/" both separate directories; a verbatim path is the native path
// itself.
#include <string>

#include "platform/platform.h"

namespace exqrv::platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::optional<std::string> NativePath(std::string_view path) {
  if (path.starts_with(kVerbatimPrefix)) {
    path.remove_prefix(kVerbatimPrefix.size());
    if (path.empty()) return std::nullopt;
    return std::string(path);
  }
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

std::string SystemPath(std::string_view nativePath) {
  if (nativePath.starts_with(kVerbatimPrefix)) return std::string(nativePath);
  std::string result = "C:";
  if (nativePath.empty() || !IsSeparator(nativePath.front())) result += '\\';
  for (char c : nativePath) result += c == '/' ? '\\' : c;
  return result;
}

std::string VerbatimPath(std::string_view nativePath) {
  return std::string(kVerbatimPrefix) + std::string(nativePath);
}

}  // namespace exqrv::platform
