// A platform with the drives A:, E: and F: (F: listed in lower case), for the
// selectors' tests; everything else is the real platform's. Installed for the
// lifetime of the object.
#pragma once

#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/prompter.h"

namespace exqrv::uitest {

class ScriptedDrives : public platform::Platform {
 public:
  ScriptedDrives() = default;
  ScriptedDrives(const ScriptedDrives&) = delete;
  ScriptedDrives& operator=(const ScriptedDrives&) = delete;

  std::string LogicalDriveStrings() override { return driveStrings; }
  platform::DriveKind DriveKindAt(std::string_view root) override {
    const auto found = kinds.find(std::string(root));
    return found == kinds.end() ? platform::DriveKind::NoRootDirectory : found->second;
  }

  std::string driveStrings{"A:\\\0E:\\\0f:\\\0\0", 13};
  std::map<std::string, platform::DriveKind> kinds{
      {"A:\\", platform::DriveKind::Removable},
      {"E:\\", platform::DriveKind::Fixed},
      {"f:\\", platform::DriveKind::CdRom},
  };

 private:
  platform::ScopedPlatform installed_{this};
};

}  // namespace exqrv::uitest
