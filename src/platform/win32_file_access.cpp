// Guarded access to files on Windows, whose files have no permission bits
// of the POSIX kind and whose links only administrators make by default.
#include "platform/file_access.h"

namespace exqrv::platform {

bool CopyPermissions(File&, std::string_view, std::string&) { return true; }

bool IsForeignLink(std::string_view) { return false; }

bool ReadWithoutFollowing(std::string_view path, std::string& bytes, std::string& error) {
  File file;
  if (!file.Open(path, OpenMode::Read)) {
    error = file.ErrorText();
    return false;
  }
  return ReadToEnd(file, bytes, error);
}

}  // namespace exqrv::platform
