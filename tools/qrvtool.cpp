// qrvtool: looks into Quillor documents, builds them from text files, and
// runs the codec on raw streams.
#include <cstdio>
#include <cstring>

#include "platform/interruption.h"
#include "tools/commands.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(const exqrv::tools::Args&);
  const char* usage;
};

constexpr Subcommand kSubcommands[] = {
    {"info", exqrv::tools::InfoCommand, "info DOC                 header, chunks, pages, notes"},
    {"make", exqrv::tools::MakeCommand,
     "make [--out DOC] [--compress] [--compress-notes] [--note PAGE:TEXT1:TEXT2]... PAGE.txt..."},
    {"text", exqrv::tools::TextCommand,
     "text [--pages FIRST-LAST] [--no-notes] DOC   the text exqrv would write, to stdout"},
    {"verify", exqrv::tools::VerifyCommand,
     "verify DOC               check every block's CRC-32 and length"},
    {"explode", exqrv::tools::ExplodeCommand, "explode IN OUT           expand a raw stream"},
    {"implode", exqrv::tools::ImplodeCommand,
     "implode [--dict 1024|2048|4096] [--ascii] IN OUT"},
};

int Usage() {
  std::fputs("usage: qrvtool COMMAND ...\n", stderr);
  for (const Subcommand& sub : kSubcommands) std::fprintf(stderr, "  qrvtool %s\n", sub.usage);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  exqrv::platform::RemoveLeftoversOnInterrupt();
  if (argc < 2) return Usage();
  for (const Subcommand& sub : kSubcommands) {
    if (std::strcmp(argv[1], sub.name) == 0) return sub.run(exqrv::tools::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "qrvtool: unknown command '%s'\n", argv[1]);
  return Usage();
}
