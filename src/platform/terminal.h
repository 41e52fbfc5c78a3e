// Where the one question is answered and shown (inside the platform layer
// only), as `rm -i` and `cp -i` do it: the answer comes from standard input
// when that is not a terminal (`echo y | exqrv ...`), else from the
// terminal; the question shows on the terminal too when standard error goes
// elsewhere. On Windows both are the console.
#pragma once

#include <string_view>

#include "platform/file.h"

namespace exqrv::platform {

class Terminal {
 public:
  Terminal();
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Whether there is anything to read an answer from.
  bool IsOpen() const { return input_ != kInvalidHandle; }
  // Whether a terminal shows the question to a person.
  bool HasDisplay() const { return output_ != kInvalidHandle; }
  // Whether standard error already shows on that terminal.
  bool ShowsStandardError() const;
  void Write(std::string_view text) const;
  // The first character of the line given, 0 for an empty line, -1 when the
  // input ended before any.
  int ReadAnswer() const {
    int first = -1;
    char c;
    while (ReadCharacter(c)) {
      if (first < 0) first = c == '\n' ? 0 : static_cast<unsigned char>(c);
      if (c == '\n') break;
    }
    return first;
  }

 private:
  // False at the end of input or on an error.
  bool ReadCharacter(char& c) const;

  Handle input_ = kInvalidHandle;
  Handle output_ = kInvalidHandle;
  bool ownsInput_ = true;
};

}  // namespace exqrv::platform
