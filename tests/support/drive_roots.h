// Drives as the platform in use reports them.
#pragma once

#include <string>

#include "platform/platform.h"

namespace exqrv::platform {

// The root of a drive letter the platform does not report ("E:\" on POSIX).
inline std::string AbsentDriveRoot() {
  const std::string strings = CurrentPlatform().LogicalDriveStrings();
  for (char letter = 'Z'; letter >= 'D'; --letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (strings.find(root) == std::string::npos) return root;
  }
  return {};
}

}  // namespace exqrv::platform
