#include "dialog/watched_conversion.h"

#include <string_view>
#include <vector>

#include "app/text_extraction.h"
#include "pagetext/page_interpreter.h"
#include "platform/prompter.h"

namespace exqrv::dialog {
namespace {

// The log line names this many losses; the rest are counted.
constexpr size_t kLossesNamed = 2;

constexpr std::string_view kUnexpectedCommand{kUnexpectedCommandMessage,
                                              sizeof kUnexpectedCommandMessage - 2};

std::string Counted(size_t count, const std::string& what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

std::string PageName(uint32_t page) { return "page " + std::to_string(page); }

// Restores the app's page hook whichever way the conversion ends.
class PageDoneScope {
 public:
  PageDoneScope(ConverterApp& app, TextExtraction::PageDone pageDone) : app_(app) {
    app_.SetPageDone(std::move(pageDone));
  }
  ~PageDoneScope() { app_.SetPageDone(nullptr); }
  PageDoneScope(const PageDoneScope&) = delete;
  PageDoneScope& operator=(const PageDoneScope&) = delete;

 private:
  ConverterApp& app_;
};

// Shows each message gathered since the last call once, with its count, and
// notes the unknown commands among the losses. Page 0: outside the pages.
void ShowGathered(platform::CountingPrompter& gathered, platform::Prompter& shown, uint32_t page,
                  std::vector<std::string>& losses) {
  for (const auto& [message, count] : gathered.Counts()) {
    if (message == kUnexpectedCommand && page != 0) {
      losses.push_back(PageName(page) + ": " + Counted(count, "unknown command"));
    }
    shown.Show(PageMessageBox(message, count, page), platform::Buttons::Ok,
               platform::Icon::Exclamation);
  }
  gathered.Clear();
}

std::string FailureReason(const ConverterApp& app) {
  if (!app.LastProblem().empty()) return app.LastProblem();
  return TemporaryProblem(app.LastTemporaryFault(), false);
}

}  // namespace

std::string PageMessageBox(const std::string& message, size_t count, uint32_t page) {
  std::string text = message + "\n";
  if (message == kUnexpectedCommand) {
    text += Counted(count, "unknown command");
    return page != 0 ? text + " on " + PageName(page) : text;
  }
  if (count > 1) text += std::to_string(count) + " times";
  if (page != 0) text += (count > 1 ? " on " : "on ") + PageName(page);
  return text;
}

ConversionResult ConvertWatched(ConverterApp& app, const std::string& documentName,
                                const std::string& textName, const GoesOnAfterPage& goesOn) {
  platform::Prompter& shown = platform::CurrentPrompter();
  platform::CountingPrompter gathered;
  std::vector<std::string> losses;
  uint32_t stoppedAt = 0;
  bool written = false;
  {
    const platform::PrompterScope gathering(&gathered);
    const PageDoneScope pages(app, [&](uint32_t page) {
      ShowGathered(gathered, shown, page, losses);
      if (goesOn()) return true;
      stoppedAt = page;
      return false;
    });
    written = app.ConvertFile(documentName, textName);
  }
  ShowGathered(gathered, shown, 0, losses);

  if (stoppedAt != 0) return {Outcome::Stopped, PageName(stoppedAt)};
  if (!written) return {Outcome::Failed, FailureReason(app)};
  for (const DamagedPage& damaged : app.LastDamagedPages()) losses.push_back(DamageText(damaged));
  if (const std::string notes = TemporaryProblem(app.LastTemporaryFault(), true); !notes.empty()) {
    losses.push_back(notes);
  }
  if (!losses.empty()) return {Outcome::LostText, JoinFirstLines(losses, kLossesNamed, "")};
  return {Outcome::Converted, {}};
}

}  // namespace exqrv::dialog
