// The prompter of the dialog mode: each message in a message box owned by
// the dialog, captioned with the application's name.
#pragma once

#include <windows.h>

#include "platform/prompter.h"

namespace exqrv::win32ui {

class MessageBoxPrompter : public platform::Prompter {
 public:
  explicit MessageBoxPrompter(HWND owner) : owner_(owner) {}
  platform::Answer Show(std::string_view text, platform::Buttons buttons,
                        platform::Icon icon) override;

 private:
  HWND owner_;
};

}  // namespace exqrv::win32ui
