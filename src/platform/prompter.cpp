#include "platform/prompter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

namespace exqrv::platform {
namespace {

// Each thread shows its messages through its own prompter: parallel
// conversions each install one that knows their document.
thread_local Prompter* g_installed = nullptr;

// The text goes out byte for byte, line breaks as written ("\r\n" shows as a
// line break on a terminal too); only a final line break is added when the
// text has none, so that the next message starts on a line of its own.
std::string ForTerminal(std::string_view text) {
  std::string out(text);
  if (out.empty() || out.back() != '\n') out += '\n';
  return out;
}

// The controlling terminal, opened for the one question: standard input and
// standard error may both be redirected while a person still sits at it.
class Terminal {
 public:
  Terminal() : fd_(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
  ~Terminal() {
    if (fd_ >= 0) ::close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // Whether standard error already shows on this terminal.
  bool ShowsStandardError() const {
    struct stat mine {}, errors {};
    return ::fstat(fd_, &mine) == 0 && ::isatty(STDERR_FILENO) &&
           ::fstat(STDERR_FILENO, &errors) == 0 && mine.st_rdev == errors.st_rdev;
  }
  void Write(std::string_view text) const {
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t put = ::write(fd_, text.data() + done, text.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return;
      done += static_cast<size_t>(put);
    }
  }
  // The first character of the line typed, or 0 for an empty line or none.
  char ReadAnswer() const {
    char first = 0;
    bool any = false;
    char c;
    for (;;) {
      const ssize_t got = ::read(fd_, &c, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 || c == '\n') break;
      if (!any) first = c;
      any = true;
    }
    return first;
  }

 private:
  int fd_;
};

}  // namespace

Answer ConsolePrompter::Show(std::string_view text, Buttons buttons, Icon /*icon*/) {
  const std::string shown = ForTerminal(text);
  std::fwrite(shown.data(), 1, shown.size(), stderr);
  std::fflush(stderr);
  if (buttons == Buttons::Ok) return Answer::Ok;
  const bool yes_no = buttons == Buttons::YesNo;
  const Terminal terminal;
  if (!terminal.IsOpen()) {
    std::fputs(yes_no ? "No terminal to answer on: taking No.\n"
                      : "No terminal to answer on: taking Cancel.\n",
               stderr);
    return yes_no ? Answer::No : Answer::Cancel;
  }
  // With standard error sent elsewhere the person at the terminal would
  // otherwise be asked nothing they can see.
  if (!terminal.ShowsStandardError()) terminal.Write(shown);
  terminal.Write(yes_no ? "[y/N] " : "[o/C] ");
  const char c = terminal.ReadAnswer();
  if (yes_no) return (c == 'y' || c == 'Y') ? Answer::Yes : Answer::No;
  return (c == 'o' || c == 'O') ? Answer::Ok : Answer::Cancel;
}

Answer ScriptedPrompter::Show(std::string_view text, Buttons buttons, Icon icon) {
  shown.push_back({std::string(text), buttons, icon});
  if (!answers.empty()) {
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

Prompter& CurrentPrompter() {
  static ConsolePrompter console;
  return g_installed ? *g_installed : console;
}

Prompter* SetPrompter(Prompter* prompter) { return std::exchange(g_installed, prompter); }

}  // namespace exqrv::platform
