// The controlling terminal on POSIX: /dev/tty; notices on standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/prompter.h"

#include "platform/terminal.h"

namespace exqrv::platform {

Terminal::Terminal() {
  input_ = output_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

Terminal::~Terminal() {
  if (input_ >= 0) ::close(input_);
}

bool Terminal::ShowsStandardError() const {
  struct stat mine {}, errors {};
  return ::fstat(output_, &mine) == 0 && ::isatty(STDERR_FILENO) &&
         ::fstat(STDERR_FILENO, &errors) == 0 && mine.st_rdev == errors.st_rdev;
}

void Terminal::Write(std::string_view text) const {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(output_, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    done += static_cast<size_t>(put);
  }
}

bool Terminal::ReadCharacter(char& c) const {
  for (;;) {
    const ssize_t got = ::read(input_, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    return got == 1;
  }
}

void ReportNoDialog(std::string_view usage) {
  std::fprintf(stderr, "usage: %s\n", std::string(usage).c_str());
}

}  // namespace exqrv::platform
