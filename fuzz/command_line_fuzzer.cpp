// The command-line grammar on any text: it accepts or refuses without
// crashing, and what it accepts names both directories.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/converter_app.h"
#include "platform/platform.h"

namespace {

// Two drives and fixed directories, so the grammar never touches the disk.
class ScriptedDrives : public exqrv::platform::Platform {
 public:
  std::string CurrentDirectory() override { return "C:\\HOME\\ANN"; }
  std::string LogicalDriveStrings() override { return std::string("C:\\\0D:\\\0\0", 9); }
  std::string DriveCurrentDirectory(int drive) override {
    return drive == 4 ? "D:\\WORK" : drive == 3 ? CurrentDirectory() : "";
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScriptedDrives drives;
  const exqrv::platform::ScopedPlatform scripted(&drives);
  exqrv::ConverterApp app;
  app.SetDialogHook([](exqrv::ConverterApp&) { return 0; });
  app.StartUp("");
  const std::string line(reinterpret_cast<const char*>(data), size);
  if (app.ParseCommandLine(line) &&
      (line.size() >= 260 || app.SourceDirectory.empty() || app.TargetDirectory.empty())) {
    std::abort();
  }
  return 0;
}
