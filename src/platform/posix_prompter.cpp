// The prompters' notices on POSIX: standard error is where a person who
// started a program without a command line looks.
#include <cstdio>
#include <string>

#include "platform/prompter.h"

namespace exqrv::platform {

void ReportNoDialog(std::string_view usage) {
  std::fprintf(stderr, "usage: %s\n", std::string(usage).c_str());
}

}  // namespace exqrv::platform
