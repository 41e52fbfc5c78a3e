// Message boxes. The converter shows its few messages and asks its one
// question through a Prompter: the console in command-line mode, a Qt message
// box in the dialog.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace exqrv::platform {

inline constexpr std::string_view kApplicationName = "Quillor Extract Text";

enum class Buttons { Ok, OkCancel, YesNo };
enum class Icon { Stop, Question, Exclamation };
enum class Answer { Ok, Cancel, Yes, No };

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Answer Show(std::string_view text, Buttons buttons, Icon icon) = 0;
};

// Writes to standard error; asks its Yes/No question on the terminal, and
// with no terminal takes No and says so.
class ConsolePrompter : public Prompter {
 public:
  Answer Show(std::string_view text, Buttons buttons, Icon icon) override;
};

// Counts the messages shown instead of showing them, to be said once with
// their counts: a page of unknown commands would otherwise show one line per
// command. A question is answered No, as nobody is there to answer it.
class CountingPrompter : public Prompter {
 public:
  Answer Show(std::string_view text, Buttons buttons, Icon icon) override;

  // One line per message, "about: message", with " (N times)" when it was
  // shown more than once, in the order first shown.
  std::vector<std::string> Lines(const std::string& about) const;
  // Each message (without its closing line break) and how often it was
  // shown, in the order first shown.
  const std::vector<std::pair<std::string, size_t>>& Counts() const { return counts_; }
  void Clear() { counts_.clear(); }

 private:
  std::vector<std::pair<std::string, size_t>> counts_;
};

// Tells a person who started the program without a command line that this
// build has no dialog, with the usage line, on standard error; on Windows
// also in a message box captioned with the application's name, since a
// program started from the desktop has no console to show it on.
void ReportNoDialog(std::string_view usage);

// The prompter in use on the calling thread (the console one unless the
// thread installed another).
Prompter& CurrentPrompter();
// Installs a prompter on the calling thread (not owned; nullptr: the console
// one) and returns the one installed before. Code that installs one uses
// PrompterScope.
Prompter* SetPrompter(Prompter* prompter);

// Installs a prompter for its lifetime, then puts back whatever was installed
// before it.
class PrompterScope {
 public:
  explicit PrompterScope(Prompter* prompter) : previous_(SetPrompter(prompter)) {}
  ~PrompterScope() { SetPrompter(previous_); }
  PrompterScope(const PrompterScope&) = delete;
  PrompterScope& operator=(const PrompterScope&) = delete;

 private:
  Prompter* previous_;
};

}  // namespace exqrv::platform
