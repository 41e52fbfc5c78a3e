// The console on Windows: CONIN$ and CONOUT$, whatever standard input and
// standard error were redirected to.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/terminal.h"

namespace exqrv::platform {
namespace {

HANDLE OpenConsole(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

Terminal::Terminal() : input_(OpenConsole("CONIN$")), output_(OpenConsole("CONOUT$")) {}

Terminal::~Terminal() {
  if (input_ != INVALID_HANDLE_VALUE && ownsInput_) CloseHandle(input_);
  if (output_ != INVALID_HANDLE_VALUE) CloseHandle(output_);
}

// A process has one console: standard error shows on it when it is a
// console handle at all.
bool Terminal::ShowsStandardError() const {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void Terminal::Write(std::string_view text) const {
  size_t done = 0;
  while (done < text.size()) {
    DWORD put = 0;
    if (!WriteFile(output_, text.data() + done, static_cast<DWORD>(text.size() - done), &put,
                   nullptr) ||
        put == 0) {
      return;
    }
    done += put;
  }
}

// The console delivers a line once Enter is pressed, ending in "\r\n"; the
// answer is its first character either way.
bool Terminal::ReadCharacter(char& c) const {
  DWORD got = 0;
  return ReadFile(input_, &c, 1, &got, nullptr) != 0 && got == 1;
}

}  // namespace exqrv::platform
