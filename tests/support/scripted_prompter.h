// A prompter that records every message and answers from a script (then
// with the first button: Ok or Yes).
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompter.h"
#include "support/scripted_prompter.h"

namespace exqrv::platform {

class ScriptedPrompter : public Prompter {
 public:
  struct Shown {
    std::string text;
    Buttons buttons;
    Icon icon;
  };

  Answer Show(std::string_view text, Buttons buttons, Icon icon) override {
    shown.push_back({std::string(text), buttons, icon});
    if (!answers.empty()) {
      const Answer answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
  }

  std::deque<Answer> answers;
  std::vector<Shown> shown;
};

}  // namespace exqrv::platform
