// Files in folders that other users may write: what a program replaces there
// keeps its permissions without a change made by name, and no link such a
// user planted is followed.
#pragma once

#include <string>
#include <string_view>

#include "platform/file.h"

namespace exqrv::platform {

// Gives the open file the permission bits of the file at model; true when
// there is no such file. Through the handle, never by name: a name in a
// folder others can write can be swapped for a link between the open and
// the change. Windows files have no such bits, so there it does nothing.
bool CopyPermissions(File& file, std::string_view model, std::string& error);

// True when path is a symbolic link owned by another user than the one this
// process runs as: where it leads is theirs to choose.
bool IsForeignLink(std::string_view path);

// The bytes of the regular file at path. A link in the path's last part is
// refused, never followed. False with the reason in error.
bool ReadWithoutFollowing(std::string_view path, std::string& bytes, std::string& error);

// The rest of an open file, read in sequence. False with the reason in error.
inline bool ReadToEnd(File& file, std::string& bytes, std::string& error) {
  bytes.clear();
  char buffer[64 * 1024];
  while (const uint32_t got = file.Read(buffer, sizeof buffer)) bytes.append(buffer, got);
  if (file.ErrorText().empty()) return true;
  error = file.ErrorText();
  return false;
}

}  // namespace exqrv::platform
