// qrvtool: looks into Quillor documents, converts many at once, builds them
// from text files, and runs the codec on raw streams.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "app/converter_app.h"
#include "platform/interruption.h"
#include "tools/commands.h"

namespace {

struct Subcommand {
  const exqrv::tools::CommandGrammar& (*grammar)();
  int (*run)(const exqrv::tools::Args&);
};

constexpr Subcommand kSubcommands[] = {
    {exqrv::tools::InfoGrammar, exqrv::tools::InfoCommand},
    {exqrv::tools::TextGrammar, exqrv::tools::TextCommand},
    {exqrv::tools::ConvertGrammar, exqrv::tools::ConvertCommand},
    {exqrv::tools::VerifyGrammar, exqrv::tools::VerifyCommand},
    {exqrv::tools::MakeGrammar, exqrv::tools::MakeCommand},
    {exqrv::tools::ExplodeGrammar, exqrv::tools::ExplodeCommand},
    {exqrv::tools::ImplodeGrammar, exqrv::tools::ImplodeCommand},
    {exqrv::tools::RecollSetupGrammar, exqrv::tools::RecollSetupCommand},
};

void PrintUsage(std::FILE* to) {
  std::fputs("usage: qrvtool COMMAND ...\n       qrvtool --help | --version\n", to);
  for (const Subcommand& sub : kSubcommands) {
    std::fprintf(to, "  qrvtool %s\n", exqrv::tools::ListedUsage(sub.grammar()).c_str());
  }
}

bool IsHelp(const char* word) {
  return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

// A command that runs into the machine's limits ends like any failure, by
// returning from main: the destructors of the static objects then run, and
// they remove the private temporary folder.
int RunCaught(const Subcommand& sub, int argc, char** argv) {
  try {
    return sub.run(exqrv::tools::Args(argv + 2, argv + argc));
  } catch (const std::bad_alloc&) {
    std::fputs("qrvtool: out of memory\n", stderr);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qrvtool: %s\n", error.what());
  }
  return exqrv::kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  exqrv::platform::RemoveLeftoversOnInterrupt();
  if (argc < 2) {
    PrintUsage(stderr);
    return exqrv::kExitUsage;
  }
  if (IsHelp(argv[1]) || std::strcmp(argv[1], "help") == 0) {
    PrintUsage(stdout);
    return exqrv::kExitSuccess;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("qrvtool (ExQRV) %s\n", EXQRV_VERSION);
    return exqrv::kExitSuccess;
  }
  for (const Subcommand& sub : kSubcommands) {
    if (argv[1] != sub.grammar().name) continue;
    if (argc == 3 && IsHelp(argv[2])) {
      std::fputs(exqrv::tools::CommandHelp(sub.grammar()).c_str(), stdout);
      return exqrv::kExitSuccess;
    }
    return RunCaught(sub, argc, argv);
  }
  std::fprintf(stderr, "qrvtool: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return exqrv::kExitUsage;
}
