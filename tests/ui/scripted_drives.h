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
  ScriptedDrives() { platform::SetPlatform(this); }
  ~ScriptedDrives() override { platform::SetPlatform(nullptr); }
  ScriptedDrives(const ScriptedDrives&) = delete;
  ScriptedDrives& operator=(const ScriptedDrives&) = delete;

  std::string LogicalDriveStrings() override { return driveStrings; }
  platform::DriveKind GetDriveKind(std::string_view root) override {
    const auto found = kinds.find(std::string(root));
    return found == kinds.end() ? platform::DriveKind::NoRootDirectory : found->second;
  }

  std::string driveStrings{"A:\\\0E:\\\0f:\\\0\0", 13};
  std::map<std::string, platform::DriveKind> kinds{
      {"A:\\", platform::DriveKind::Removable},
      {"E:\\", platform::DriveKind::Fixed},
      {"f:\\", platform::DriveKind::CdRom},
  };
};

// Installs a prompter for the lifetime of the object.
class PrompterInstalled {
 public:
  explicit PrompterInstalled(platform::Prompter& prompter) { platform::SetPrompter(&prompter); }
  ~PrompterInstalled() { platform::SetPrompter(nullptr); }
  PrompterInstalled(const PrompterInstalled&) = delete;
  PrompterInstalled& operator=(const PrompterInstalled&) = delete;
};

}  // namespace exqrv::uitest
