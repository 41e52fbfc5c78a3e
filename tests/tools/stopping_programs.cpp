// exqrv and qrvtool convert as released, except that each stops itself
// (SIGSTOP) once a given page is on disk, so that a test can signal it at a
// known point of a conversion:
//
//   exqrv-stopping PAGE exqrv-arguments...
//   qrvtool-stopping PAGE convert-arguments...
#include <signal.h>

#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

#include "app/converter_app.h"
#include "platform/interruption.h"
#include "platform/platform.h"
#include "tools/commands.h"

namespace {

// A signal the test sends while the process is stopped may be handled by
// another thread once it goes on; the writer waits long enough for that
// handler to end the process, so it cannot finish the text first.
exqrv::PageWritten StopAfter(uint32_t wanted) {
  return [wanted](uint32_t page) {
    if (page != wanted) return;
    ::raise(SIGSTOP);
    const timespec grace{.tv_sec = 2, .tv_nsec = 0};
    ::nanosleep(&grace, nullptr);
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return exqrv::kExitUsage;
  const exqrv::PageWritten stop =
      StopAfter(static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)));
  exqrv::platform::RemoveLeftoversOnInterrupt();
#ifdef STOPPING_QRVTOOL
  return exqrv::tools::ConvertCommand(exqrv::tools::Args(argv + 2, argv + argc), stop);
#else
  exqrv::ConverterApp app;
  app.SetPageWritten(stop);
  try {
    return app.StartUp(exqrv::platform::ProgramCommandLine(argc - 1, argv + 1));
  } catch (const std::exception&) {
    return exqrv::kExitFailure;
  }
#endif
}
