// The dialog's message boxes: a Qt message box owned by the dialog, with the
// application's name as its caption.
#pragma once

#include <QWidget>

#include "platform/prompter.h"

namespace exqrv::ui {

class QtPrompter : public platform::Prompter {
 public:
  explicit QtPrompter(QWidget* owner) : owner_(owner) {}
  platform::Answer Show(std::string_view text, platform::Buttons buttons,
                        platform::Icon icon) override;

 private:
  QWidget* owner_;
};

}  // namespace exqrv::ui
