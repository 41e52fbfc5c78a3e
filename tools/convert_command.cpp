// qrvtool convert: many documents at once, each into the text file exqrv
// writes for it, on several workers. A conversion stays on one thread; the
// workers share only the list of documents and the report.
//
// A text file is written under a temporary name in its folder and renamed
// into place when it is whole: a failed or interrupted conversion never
// leaves a partial text file, and never spoils the one already there.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/converter_app.h"
#include "app/text_extraction.h"
#include "document/document.h"
#include "platform/file.h"
#include "platform/pending_file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "tools/commands.h"
#include "tools/json_text.h"
#include "tools/text_options.h"

namespace exqrv::tools {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Each worker holds one interruption guard, of which the platform has 64.
constexpr unsigned kMaxWorkers = 64;
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
constexpr size_t kBarWidth = 24;
// A bar narrower than this says too little to be worth its place.
constexpr size_t kNarrowestBar = 8;
constexpr size_t kDefaultColumns = 80;
constexpr double kMegabyte = 1e6;

enum class Display { Auto, Progress, Quiet };

// Names are UTF-8 (on Windows, the program's code page). Windows' standard
// library gives a path back as UTF-8 but reads a plain narrow string in
// another code page, which would garble every name outside ASCII: a name
// becomes a path as UTF-8, said so.
fs::path PathOf(const std::string& name) {
#ifdef _WIN32
  return {std::u8string(name.begin(), name.end())};
#else
  return {name};
#endif
}

struct Settings {
  unsigned workers = 0;  // 0: one per core
  fs::path outputFolder;
  bool recurse = false;
  bool keepExisting = false;
  Display display = Display::Auto;
  TextOptions text;
  JsonForm json = JsonForm::None;
  std::vector<std::string> paths;
  PageWritten pageWritten;
};

struct Task {
  fs::path document;
  fs::path text;
  uint64_t size = 0;
};

enum class Result { Converted, Kept, Failed };

struct Outcome {
  Result result = Result::Failed;
  std::string reason;
  uint64_t written = 0;
};

bool ParseWorkers(const std::string& text, unsigned& workers) {
  if (text.empty() || text.size() > 3 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  workers = static_cast<unsigned>(std::stoul(text));
  return workers >= 1 && workers <= kMaxWorkers;
}

// Returns kExitSuccess when the words make a command, else the usage status.
int ParseSettings(const Args& args, Settings& settings) {
  const auto option = [&](const Option& given, const std::string& value) -> std::string {
    switch (given.id) {
      case OptionId::Workers:
        if (!ParseWorkers(value, settings.workers)) return Wants(given);
        break;
      case OptionId::OutputFolder: settings.outputFolder = PathOf(value); break;
      case OptionId::Recurse: settings.recurse = true; break;
      case OptionId::KeepExisting: settings.keepExisting = true; break;
      case OptionId::Progress: settings.display = Display::Progress; break;
      case OptionId::Quiet: settings.display = Display::Quiet; break;
      case OptionId::Json: settings.json = JsonForm::Document; break;
      case OptionId::JsonLines: settings.json = JsonForm::Lines; break;
      default: return ApplyTextOption(given, value, settings.text);
    }
    return {};
  };
  if (const std::string error =
          ParseCommandLine(ConvertGrammar(), args, option, Collect(settings.paths));
      !error.empty()) {
    return UsageError(error, ConvertGrammar());
  }
  if (settings.paths.empty()) {
    return UsageError("convert wants at least one document or folder", ConvertGrammar());
  }
  if (settings.json != JsonForm::None && settings.text.pageBreak) {
    return UsageError("--page-break has no place in JSON, where the pages are apart",
                      ConvertGrammar());
  }
  return kExitSuccess;
}

// The documents to convert, in a stable order, with their text files; what
// cannot be listed is named in failures.
class TaskList {
 public:
  explicit TaskList(const Settings& settings) : settings_(settings) {}

  void Add(const std::string& name) {
    std::error_code error;
    const fs::path path = PathOf(name);
    const fs::file_status status = fs::status(path, error);
    if (error) {
      failures.push_back(name + ": " + error.message());
    } else if (fs::is_directory(status)) {
      Walk(path, path);
    } else {
      const fs::path folder =
          settings_.outputFolder.empty() ? path.parent_path() : settings_.outputFolder;
      Take(path, folder);
    }
  }

  std::vector<Task> tasks;
  std::vector<std::string> failures;

 private:
  void Walk(const fs::path& root, const fs::path& folder) {
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
      entries.push_back(*it);
    }
    if (error) {
      failures.push_back(folder.string() + ": " + error.message());
      return;
    }
    std::sort(entries.begin(), entries.end());
    for (const fs::directory_entry& entry : entries) {
      // Folders reached through a link are not entered: a link back up would
      // never end.
      if (entry.is_directory(error) && !entry.is_symlink(error)) {
        if (settings_.recurse) Walk(root, entry.path());
      } else if (entry.is_regular_file(error) &&
                 platform::MatchesPattern(entry.path().filename().string(), kDocumentPattern)) {
        const fs::path relative = entry.path().parent_path().lexically_relative(root);
        Take(entry.path(), settings_.outputFolder.empty()
                               ? entry.path().parent_path()
                               : (settings_.outputFolder / relative).lexically_normal());
      }
    }
  }

  // Two documents whose names differ only in the case of the extension share
  // a text name; in parallel the survivor would be a matter of timing, so the
  // second is refused.
  void Take(const fs::path& document, const fs::path& folder) {
    Task task;
    task.document = document;
    const std::string textName = TextFileNameFor(document.filename().string());
    task.text = folder / PathOf(settings_.json == JsonForm::None
                                    ? textName
                                    : JsonText::FileName(textName, settings_.json));
    std::error_code error;
    task.size = fs::file_size(document, error);
    const std::string key = fs::absolute(task.text, error).lexically_normal().string();
    const auto [earlier, fresh] = textOwners_.emplace(key, document.string());
    if (fresh) {
      tasks.push_back(task);
    } else if (fs::absolute(document, error).lexically_normal() !=
               fs::absolute(PathOf(earlier->second), error).lexically_normal()) {
      failures.push_back(document.string() + ": " +
                         SharedTextMessage(task.text.string(), earlier->second));
    }
  }

  const Settings& settings_;
  std::map<std::string, std::string> textOwners_;
};

// What placing a whole text gives: with keepExisting (or for a damaged
// document) whatever has the name wins, even one that appeared while
// converting. A damaged document fails either way, but its text holds every
// byte that could be recovered: it takes the name only where no text is.
Outcome PlaceText(platform::PendingFile& output, const Task& task, bool keepExisting,
                  const std::string& damage, uint64_t written) {
  std::string error;
  switch (output.Place(task.text.filename().string(), !keepExisting && damage.empty(), error)) {
    case platform::Placement::Placed:
      return damage.empty() ? Outcome{Result::Converted, {}, written}
                            : Outcome{Result::Failed, damage, 0};
    case platform::Placement::NameTaken:
      return damage.empty() ? Outcome{Result::Kept, {}, 0} : Outcome{Result::Failed, damage, 0};
    case platform::Placement::Failed: break;
  }
  return {Result::Failed, "cannot write " + task.text.string() + ": " + error, 0};
}

// Told how many of a document's bytes count as read so far, after each page.
using Progressed = std::function<void(uint64_t bytes)>;

Outcome ConvertOne(const Task& task, const Settings& settings, const Progressed& progressed) {
  std::error_code ignored;
  if (settings.keepExisting && fs::exists(fs::symlink_status(task.text, ignored))) {
    return {Result::Kept, {}, 0};
  }
  const std::string document = platform::VerbatimPath(task.document.string());
  const std::string text = platform::VerbatimPath(task.text.string());
  TextExtraction job;
  ApplyBeforeOpen(settings.text, job);
  if (!job.Open(document)) return {Result::Failed, OpenProblem(document, job), 0};
  if (platform::IsSameFile(document, text)) {
    return {Result::Failed, kWouldReplaceDocument, 0};
  }

  // The text is written under a hidden name beside its own and renamed into
  // place whole; the part file goes on every other way out, an exception
  // (out of memory) included.
  const fs::path folderName = task.text.has_parent_path() ? task.text.parent_path() : fs::path(".");
  platform::TargetFolder folder;
  platform::PendingFile output;
  if (!folder.Open(platform::VerbatimPath(folderName.string()))) {
    return {Result::Failed, "cannot write into " + folderName.string() + ": " + folder.ErrorText(),
            0};
  }
  if (!output.Create(folder, "qrvtool")) {
    return {Result::Failed, "cannot write into " + folderName.string() + ": " + output.ErrorText(),
            0};
  }
  std::string error;
  // A large document moves the progress bar page by page, by its share of
  // the document's bytes.
  const uint16_t pages = job.PageCount();
  const auto pageDone = [&](uint32_t page) {
    if (settings.pageWritten && output.file().Flush()) settings.pageWritten(page);
    progressed(task.size * page / pages);
    return true;
  };
  std::optional<JsonText> json;
  if (settings.json != JsonForm::None) {
    json.emplace(output.file(), settings.json, settings.text, task.document.string());
  }
  const bool written =
      json ? json->WritePages(job, {}, true, error, pageDone)
           : WriteDocumentText(job, output.file(), settings.text, {}, true, error, pageDone);
  // A text that lost its notes to the temporary folder fails the document,
  // so it must not take the place of a text that has them.
  if (const std::string temporary = TemporaryProblem(job, true) + ExtractionProblem(job);
      !temporary.empty()) {
    return {Result::Failed, temporary, 0};
  }
  if (!written) {
    return {Result::Failed,
            "writing " + task.text.string() +
                " failed: " + (error.empty() ? output.file().ErrorText() : error),
            0};
  }
  const std::string damage = DamageSummary(job);
  if (json && !json->Finish(damage)) {
    return {Result::Failed,
            "writing " + task.text.string() + " failed: " + output.file().ErrorText(), 0};
  }
  const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(output.file().Position(), 0));
  return PlaceText(output, task, settings.keepExisting, damage, size);
}

// One document on the calling thread, with its messages kept; a document
// that finds the machine out of memory fails alone.
Outcome ConvertCaught(const Task& task, const Settings& settings,
                      platform::CountingPrompter& messages, const Progressed& progressed) {
  // The prompter is the calling thread's own.
  const platform::PrompterScope scope(&messages);
  try {
    return ConvertOne(task, settings, progressed);
  } catch (const std::bad_alloc&) {
    return {Result::Failed, "out of memory", 0};
  }
}

// "673.1 MB": decimal units, as the rate's MB/s.
std::string HumanBytes(uint64_t bytes) {
  if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(bytes) / 1000;
  size_t unit = 0;
  // 999.96 kB shows as 1.0 MB, not as 1000.0 kB.
  while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

// The columns the bar may take: COLUMNS when set, else the terminal's, else
// a common width.
size_t BarColumns() {
  if (const char* columns = std::getenv("COLUMNS"); columns != nullptr) {
    char* end = nullptr;
    const long value = std::strtol(columns, &end, 10);
    if (end != columns && *end == '\0' && value > 0) return static_cast<size_t>(value);
  }
  const int terminal = platform::TerminalColumns(platform::StandardError());
  return terminal > 0 ? static_cast<size_t>(terminal) : kDefaultColumns;
}

std::string Duration(double seconds) {
  const long whole = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

// Counts, failure lines, the progress bar and the summary. Workers report
// through it; the main thread redraws the bar while it waits for them.
class Report {
 public:
  Report(const std::vector<Task>& tasks, Display display)
      : total_(tasks.size()),
        bar_(display == Display::Progress ||
             (display == Display::Auto && platform::IsTerminal(platform::StandardError()))),
        quiet_(display == Display::Quiet),
        columns_(bar_ ? BarColumns() : kDefaultColumns),
        start_(Clock::now()) {
    for (const Task& task : tasks) totalBytes_ += task.size;
  }

  void Failure(const std::string& line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++failed_;
    Print(line);
  }

  // A worker's share of the bytes of the document it is on.
  void Advance(int64_t bytes) { inProgress_ += bytes; }

  // The document is done; credited of its bytes were advanced while on it.
  void Done(const Task& task, const Outcome& outcome, const platform::CountingPrompter& messages,
            uint64_t credited = 0) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    bytesRead_ += task.size;
    inProgress_ -= static_cast<int64_t>(credited);
    switch (outcome.result) {
      case Result::Converted:
        ++converted_;
        bytesWritten_ += outcome.written;
        break;
      case Result::Kept: ++kept_; break;
      case Result::Failed: ++failed_; break;
    }
    finished_.notify_all();
    // Counted first: out of memory, a line may be lost, never a document.
    try {
      if (!quiet_) {
        for (const std::string& line : messages.Lines(task.document.string())) Print(line);
      }
      if (outcome.result == Result::Failed) Print(task.document.string() + ": " + outcome.reason);
    } catch (const std::bad_alloc&) {
    }
  }

  // Returns when every document is done, redrawing the bar meanwhile.
  void WaitForAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    DrawBar();  // at least one frame, however quick the run
    while (done_ < total_) {
      finished_.wait_for(lock, kRedrawEvery);
      DrawBar();
    }
    ClearBar();
  }

  int Finish() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!quiet_) {
      const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
      std::fprintf(stderr, "qrvtool: %zu converted, %zu failed, %zu kept; %s written in %.1f s\n",
                   converted_, failed_, kept_, HumanBytes(bytesWritten_).c_str(), seconds);
    }
    return failed_ == 0 ? kExitSuccess : kExitFailure;
  }

 private:
  void Print(const std::string& line) {
    ClearBar();
    std::fprintf(stderr, "qrvtool: %s\n", line.c_str());
  }

  void ClearBar() {
    if (!bar_ || !drawn_) return;
    std::fputs("\r\033[K", stderr);
    drawn_ = false;
  }

  // At most one frame per kRedrawEvery, however fast documents finish. The
  // bar is weighed by bytes, so that a large document moves it as far as it
  // takes time; the line fits the terminal, since one that wraps cannot be
  // drawn over.
  void DrawBar() {
    if (!bar_) return;
    const Clock::time_point now = Clock::now();
    if (drawn_ && now - lastDrawn_ < kRedrawEvery) return;
    lastDrawn_ = now;
    const uint64_t read = bytesRead_ + static_cast<uint64_t>(std::max<int64_t>(inProgress_, 0));
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(read) / seconds : 0;
    const std::string left = rate > 0 && read <= totalBytes_
                                 ? Duration(static_cast<double>(totalBytes_ - read) / rate)
                                 : std::string("--:--");
    char tail[128];
    std::snprintf(tail, sizeof tail, " %zu/%zu documents  %.1f MB/s  %s left", done_, total_,
                  rate / kMegabyte, left.c_str());
    // Some terminals wrap as soon as the last column is written.
    const size_t room = columns_ - 1;
    const size_t tailSize = std::strlen(tail);
    const size_t barWidth = room > tailSize + 2 ? std::min(kBarWidth, room - tailSize - 2) : 0;
    std::string line = tail + 1;
    if (barWidth >= kNarrowestBar) {
      const double done = totalBytes_ > 0
                              ? static_cast<double>(read) / totalBytes_
                              : static_cast<double>(done_) / std::max<size_t>(total_, 1);
      const size_t filled = std::min(barWidth, static_cast<size_t>(barWidth * done));
      line = "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "]" + tail;
    }
    if (line.size() > room) line.resize(room);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
  }

  std::mutex mutex_;
  std::condition_variable finished_;
  const size_t total_;
  const bool bar_;
  const bool quiet_;
  const size_t columns_;
  const Clock::time_point start_;
  uint64_t totalBytes_ = 0;
  uint64_t bytesRead_ = 0;  // of the documents done
  std::atomic<int64_t> inProgress_ = 0;
  uint64_t bytesWritten_ = 0;
  size_t done_ = 0, converted_ = 0, kept_ = 0, failed_ = 0;
  bool drawn_ = false;
  Clock::time_point lastDrawn_;
};

// The folders the text files go into, made before the workers start; those
// that could not be made, with why.
std::map<fs::path, std::string> MakeFolders(const std::vector<Task>& tasks) {
  std::map<fs::path, std::string> unmade;
  std::set<fs::path> folders;
  for (const Task& task : tasks) folders.insert(task.text.parent_path());
  for (const fs::path& folder : folders) {
    std::error_code error;
    if (folder.empty() || fs::is_directory(folder, error)) continue;
    fs::create_directories(folder, error);
    if (error) unmade[folder] = "cannot create " + folder.string() + ": " + error.message();
  }
  return unmade;
}

// Converts the documents on the list, sharing it among the workers.
class Workers {
 public:
  Workers(const std::vector<Task>& tasks, std::vector<size_t> list, const Settings& settings,
          Report& report)
      : tasks_(tasks), list_(std::move(list)), settings_(settings), report_(report) {}

  // Starts up to count threads, fewer where the machine cannot start more;
  // where it can start none, the calling thread does the work itself.
  void Run(size_t count) {
    threads_.reserve(count);
    try {
      while (threads_.size() < count) threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    if (threads_.empty()) Work();
  }

  void Join() {
    for (std::jthread& thread : threads_) thread.join();
  }

 private:
  void Work() {
    // Each worker passes one working copy from document to document.
    const WorkingCopyReuse reuse;
    for (size_t i = next_++; i < list_.size(); i = next_++) {
      const Task& task = tasks_[list_[i]];
      platform::CountingPrompter messages;
      uint64_t credited = 0;
      const auto progressed = [&](uint64_t bytes) {
        report_.Advance(static_cast<int64_t>(bytes - credited));
        credited = bytes;
      };
      const Outcome outcome = ConvertCaught(task, settings_, messages, progressed);
      report_.Done(task, outcome, messages, credited);
    }
  }

  const std::vector<Task>& tasks_;
  const std::vector<size_t> list_;
  const Settings& settings_;
  Report& report_;
  std::atomic<size_t> next_ = 0;
  // Joined on every way out, so that no worker outlives what it works on.
  std::vector<std::jthread> threads_;
};

}  // namespace

const CommandGrammar& ConvertGrammar() {
  static const CommandGrammar grammar = [] {
    CommandGrammar convert{
        .name = "convert",
        .options = {{.id = OptionId::Workers,
                     .name = "-j",
                     .argument = "N",
                     .wants = "a number of workers from 1 to " + std::to_string(kMaxWorkers),
                     .help = "converts on N workers at once (default: one per processor core)",
                     .glued = true},
                    {.id = OptionId::OutputFolder,
                     .name = "-o",
                     .argument = "DIR",
                     .wants = "a folder",
                     .help = "writes the text files under DIR, in the layout of the folders "
                             "named (default: beside each document)"},
                    {.id = OptionId::Recurse,
                     .name = "-r",
                     .help = "also takes the documents of every sub-folder"},
                    {.id = OptionId::KeepExisting,
                     .name = "-n",
                     .help = "never replaces a file that is there"},
                    {.id = OptionId::Progress,
                     .name = "--progress",
                     .help = "shows the progress bar also where standard error is no terminal"},
                    {.id = OptionId::Quiet,
                     .name = "--quiet",
                     .alias = "-q",
                     .help = "shows only the failures",
                     .orPrevious = true},
                    {.id = OptionId::Json,
                     .name = "--json",
                     .help = "writes NAME.json, the text as text --json gives it, instead of "
                             "NAME.TXT"},
                    {.id = OptionId::JsonLines,
                     .name = "--json-lines",
                     .help = "writes NAME.jsonl, the text as text --json-lines gives it",
                     .orPrevious = true}},
        .operands = "PATH...",
        .summary = "documents and folders into text files, in parallel",
        .details =
            "A PATH is a document, or a folder whose documents (*.QRV in any case) are "
            "converted. The exit status is 0 when every document was converted (or kept "
            "by -n), 1 when one failed, 2 for a usage error.",
        .doubleDashEndsOptions = true};
    for (Option& option : TextOptionTable()) convert.options.push_back(std::move(option));
    return convert;
  }();
  return grammar;
}

int ConvertCommand(const Args& args) { return ConvertCommand(args, {}); }

int ConvertCommand(const Args& args, const PageWritten& pageWritten) {
  Settings settings;
  settings.pageWritten = pageWritten;
  if (const int status = ParseSettings(args, settings); status != kExitSuccess) return status;
  TaskList list(settings);
  for (const std::string& path : settings.paths) list.Add(path);
  Report report(list.tasks, settings.display);
  for (const std::string& failure : list.failures) report.Failure(failure);
  if (list.tasks.empty() && list.failures.empty()) {
    report.Failure("no documents (" + std::string(kDocumentPattern) + ") found");
    return kExitFailure;
  }
  // A document whose folder could not be made fails with its line.
  const std::map<fs::path, std::string> unmade = MakeFolders(list.tasks);
  std::vector<size_t> convertible;
  for (size_t i = 0; i < list.tasks.size(); ++i) {
    const auto folder = unmade.find(list.tasks[i].text.parent_path());
    if (folder == unmade.end()) {
      convertible.push_back(i);
    } else {
      report.Done(list.tasks[i], {Result::Failed, folder->second, 0}, platform::CountingPrompter());
    }
  }

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t count = std::min<size_t>(
      settings.workers != 0 ? settings.workers : std::min(cores, kMaxWorkers), convertible.size());
  Workers workers(list.tasks, std::move(convertible), settings, report);
  workers.Run(count);
  report.WaitForAll();
  workers.Join();
  return report.Finish();
}

}  // namespace exqrv::tools
