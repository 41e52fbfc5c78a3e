// A whole document converted into a text file: any bytes must end quickly,
// without leaks, and leave the temporary folder as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/converter_app.h"
#include "fuzz/quiet_prompter.h"
#include "platform/file.h"
#include "platform/platform.h"

namespace {

struct Paths {
  std::string document;
  std::string text;
};

const Paths& FuzzPaths() {
  static const Paths paths = [] {
    exqrv::platform::Platform& system = exqrv::platform::CurrentPlatform();
    const std::string directory = system.TempDirectory();
    return Paths{system.UniqueTempName(directory, "fzd", 0),
                 system.UniqueTempName(directory, "fzt", 0)};
  }();
  return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static exqrv::fuzz::QuietPrompter quiet;
  const exqrv::platform::PrompterScope quietly(&quiet);
  const Paths& paths = FuzzPaths();
  {
    exqrv::platform::File document;
    if (!document.Open(paths.document, exqrv::platform::OpenMode::Write) ||
        !document.Write(data, static_cast<uint32_t>(size)) || !document.Close()) {
      std::abort();
    }
  }
  exqrv::ConverterApp app;
  app.ConvertDocument(paths.document, paths.text);
  return 0;
}
