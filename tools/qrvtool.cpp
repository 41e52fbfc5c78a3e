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
  const char* name;
  int (*run)(const exqrv::tools::Args&);
  const char* usage;
};

constexpr Subcommand kSubcommands[] = {
    {"info", exqrv::tools::InfoCommand,
     "info [--json] [--encoding CODEPAGE] DOC   header, chunks, pages, notes"},
    {"text", exqrv::tools::TextCommand,
     "text [--pages FIRST-LAST] [--no-notes] [--encoding CODEPAGE] [--lf] [--page-break]\n"
     "        [--max-expansion BYTES] DOC|-...   the text exqrv would write, to standard output"},
    {"convert", exqrv::tools::ConvertCommand,
     "convert [-j N] [-o DIR] [-r] [-n] [--progress|--quiet] [--encoding CODEPAGE] [--lf]\n"
     "        [--page-break] [--max-expansion BYTES] PATH...\n"
     "                           documents and folders into text files, in parallel"},
    {"verify", exqrv::tools::VerifyCommand,
     "verify DOC               check every block's CRC-32 and length"},
    {"make", exqrv::tools::MakeCommand,
     "make [--out DOC] [--compress] [--compress-notes] [--note PAGE:TEXT1:TEXT2]... PAGE.txt..."},
    {"explode", exqrv::tools::ExplodeCommand, "explode IN OUT           expand a raw stream"},
    {"implode", exqrv::tools::ImplodeCommand, "implode [--dict 1024|2048|4096] [--ascii] IN OUT"},
    {"recoll-setup", exqrv::tools::RecollSetupCommand,
     "recoll-setup [CONFDIR]    let Recoll (default folder ~/.recoll) index the documents"},
};

void PrintUsage(std::FILE* to) {
  std::fputs("usage: qrvtool COMMAND ...\n       qrvtool --help | --version\n", to);
  for (const Subcommand& sub : kSubcommands) std::fprintf(to, "  qrvtool %s\n", sub.usage);
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
    if (std::strcmp(argv[1], sub.name) != 0) continue;
    if (argc == 3 && IsHelp(argv[2])) {
      std::printf("usage: qrvtool %s\n", sub.usage);
      return exqrv::kExitSuccess;
    }
    return RunCaught(sub, argc, argv);
  }
  std::fprintf(stderr, "qrvtool: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return exqrv::kExitUsage;
}
