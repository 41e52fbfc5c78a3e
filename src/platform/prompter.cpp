#include "platform/prompter.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/terminal.h"

namespace exqrv::platform {
namespace {

// Each thread shows its messages through its own prompter: parallel
// conversions each install one that knows their document.
thread_local Prompter* gInstalled = nullptr;

// The text goes out byte for byte, line breaks as written ("\r\n" shows as a
// line break on a terminal too); only a final line break is added when the
// text has none, so that the next message starts on a line of its own.
std::string ForTerminal(std::string_view text) {
  std::string out(text);
  if (out.empty() || out.back() != '\n') out += '\n';
  return out;
}

}  // namespace

Answer ConsolePrompter::Show(std::string_view text, Buttons buttons, Icon /*icon*/) {
  const std::string shown = ForTerminal(text);
  std::fwrite(shown.data(), 1, shown.size(), stderr);
  std::fflush(stderr);
  if (buttons == Buttons::Ok) return Answer::Ok;
  const bool yesNo = buttons == Buttons::YesNo;
  const Terminal terminal;
  const char* prompt = yesNo ? "[y/N] " : "[o/C] ";
  // With standard error sent elsewhere the person at the terminal would
  // otherwise be asked nothing they can see.
  if (terminal.HasDisplay() && !terminal.ShowsStandardError()) terminal.Write(shown);
  // Without a terminal the question is on standard error already.
  if (terminal.HasDisplay()) terminal.Write(prompt);
  const int c = terminal.IsOpen() ? terminal.ReadAnswer() : -1;
  if (c < 0) {
    const char* why = terminal.HasDisplay() ? "No answer" : "No terminal to answer on";
    std::fprintf(stderr, "%s%s: taking %s.\n", terminal.HasDisplay() ? "\n" : "", why,
                 yesNo ? "No" : "Cancel");
    return yesNo ? Answer::No : Answer::Cancel;
  }
  if (yesNo) return (c == 'y' || c == 'Y') ? Answer::Yes : Answer::No;
  return (c == 'o' || c == 'O') ? Answer::Ok : Answer::Cancel;
}

Answer CountingPrompter::Show(std::string_view text, Buttons buttons, Icon /*icon*/) {
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  auto counted = std::find_if(counts_.begin(), counts_.end(),
                              [&](const auto& entry) { return entry.first == line; });
  if (counted == counts_.end()) {
    counts_.emplace_back(std::move(line), 1);
  } else {
    ++counted->second;
  }
  return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

std::vector<std::string> CountingPrompter::Lines(const std::string& about) const {
  std::vector<std::string> lines;
  for (const auto& [message, count] : counts_) {
    lines.push_back(about + ": " + message +
                    (count > 1 ? " (" + std::to_string(count) + " times)" : ""));
  }
  return lines;
}

Prompter& CurrentPrompter() {
  static ConsolePrompter console;
  return gInstalled ? *gInstalled : console;
}

Prompter* SetPrompter(Prompter* prompter) { return std::exchange(gInstalled, prompter); }

}  // namespace exqrv::platform
