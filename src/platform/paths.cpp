// The one-drive mapping: drive C: is the whole file system, C:\ is "/", and
// "\" and "/" both separate directories.
#include <string>

#include "platform/platform.h"

namespace exqrv::platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

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

}  // namespace exqrv::platform
