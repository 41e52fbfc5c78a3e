// Fuzz targets answer every message silently: a damaged page can raise one
// per two bytes, and nobody reads them here.
#pragma once

#include "platform/prompter.h"

namespace exqrv::fuzz {

class QuietPrompter : public platform::Prompter {
 public:
  platform::Answer Show(std::string_view, platform::Buttons buttons, platform::Icon) override {
    return buttons == platform::Buttons::YesNo ? platform::Answer::No : platform::Answer::Ok;
  }
};

}  // namespace exqrv::fuzz
