// A scratch directory for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "platform/platform.h"

namespace exqrv::build {

class ScratchDir {
 public:
  // A fresh folder under the system's temporary folder; create_directory
  // fails on a name that exists, so a folder is never shared.
  ScratchDir() {
    std::random_device seed;
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    for (int tries = 0; tries < 100 && path_.empty(); ++tries) {
      const std::filesystem::path candidate = base / ("exqrv-test-" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Number of entries in the process's private temporary folder.
inline size_t TempFolderEntries(const std::string& systemTempDirectory) {
  const std::string native = platform::NativePath(systemTempDirectory).value_or(".");
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(native)) ++count;
  return count;
}

}  // namespace exqrv::build
