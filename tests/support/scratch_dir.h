// A scratch directory for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

namespace exqrv::build {

class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = std::filesystem::temp_directory_path() / "exqrv-test-XXXXXX";
    path_ = ::mkdtemp(templ.data()) ? templ : std::string();
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
  std::string native = systemTempDirectory.substr(2);
  for (char& c : native) c = c == '\\' ? '/' : c;
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(native)) ++count;
  return count;
}

}  // namespace exqrv::build
