// The question on POSIX: answered on standard input, or on the controlling
// terminal when standard input is gone; shown on the terminal standard input
// is, or the controlling one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/terminal.h"

namespace exqrv::platform {

Terminal::Terminal() {
  // A process started with a terminal on standard input but without one of
  // its own (setsid, a service) is still asked there.
  const bool inputIsOpen = ::fcntl(STDIN_FILENO, F_GETFD) != -1;
  if (inputIsOpen && ::isatty(STDIN_FILENO)) {
    const char* name = ::ttyname(STDIN_FILENO);
    output_ = name != nullptr ? ::open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
  } else {
    output_ = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  }
  if (inputIsOpen) {
    input_ = STDIN_FILENO;
    ownsInput_ = false;
  } else {
    input_ = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
  }
}

Terminal::~Terminal() {
  if (input_ >= 0 && ownsInput_) ::close(input_);
  if (output_ >= 0) ::close(output_);
}

bool Terminal::ShowsStandardError() const {
  struct stat mine {
  }, errors{};
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

}  // namespace exqrv::platform
