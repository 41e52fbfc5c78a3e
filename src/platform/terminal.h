// The console a person answers the one question on (inside the platform
// layer only). It is opened for the question itself: standard input and
// standard error may both be redirected while a person still sits at it.
#pragma once

#include <string_view>

#include "platform/file.h"

namespace exqrv::platform {

class Terminal {
 public:
  Terminal();  // the controlling terminal; the console on Windows
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool IsOpen() const { return input_ != kInvalidHandle && output_ != kInvalidHandle; }
  // Whether standard error already shows on this terminal.
  bool ShowsStandardError() const;
  void Write(std::string_view text) const;
  // The first character of the line typed, or 0 for an empty line or none.
  char ReadAnswer() const {
    char first = 0;
    bool any = false;
    char c;
    while (ReadCharacter(c) && c != '\n') {
      if (!any) first = c;
      any = true;
    }
    return first;
  }

 private:
  // False at the end of input or on an error.
  bool ReadCharacter(char& c) const;

  Handle input_ = kInvalidHandle;
  Handle output_ = kInvalidHandle;
};

}  // namespace exqrv::platform
