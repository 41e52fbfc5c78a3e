// The application object: start-up, the command-line mode, the conversion of
// one document into one text file, and the entry lists behind the dialog.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/list_entry.h"
#include "app/messages.h"
#include "app/text_extraction.h"
#include "platform/platform.h"

namespace exqrv {
namespace platform {
class TargetFolder;
}

class ConverterApp;

// Runs the dialog modally; returns the process's exit status. Set by main when
// the program is built with the dialog.
using DialogHook = std::function<int(ConverterApp&)>;

// Exit status of the process.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // a document failed, or nothing matched
inline constexpr int kExitUsage = 2;    // bad command line, no target, no display

// The entry lists ClearEntryLists empties.
enum class EntryLists {
  All = 0,
  DocumentFiles = 1,
  TextFiles = 2,
  DocumentDirectories = 3,
  TextDirectories = 4,
};

class ConverterApp {
 public:
  ConverterApp() = default;
  ~ConverterApp();
  ConverterApp(const ConverterApp&) = delete;
  ConverterApp& operator=(const ConverterApp&) = delete;

  // commandLine is the one command-line string (arguments joined by single
  // spaces). Returns the exit status.
  int StartUp(const std::string& commandLine);
  bool ParseCommandLine(const std::string& commandLine);
  int RunCommandLine(const std::string& commandLine);

  bool ConvertFile(const std::string& documentName, const std::string& textName);
  int ConvertDocument(const std::string& documentPath, const std::string& textPath);
  // How the temporary files let the last conversion down, if they did.
  platform::TemporaryFault LastTemporaryFault() const { return lastFault_; }
  // Why the last document failed on its own account (past its expansion
  // limit, out of memory), if it did.
  ExtractionFault LastExtractionFault() const { return lastExtractionFault_; }
  // The damaged pages of the last document converted: its text file holds
  // every byte that could be recovered, yet it is not the document's text.
  const std::vector<DamagedPage>& LastDamagedPages() const { return lastDamagedPages_; }
  // Why the last conversion failed, in words for a user; empty when it did
  // not, or when LastTemporaryFault says it.
  const std::string& LastProblem() const { return lastProblem_; }

  // Entry lists (dialog mode).
  void ClearEntryLists(EntryLists which);
  int ScanDirectory(Side side);
  // Returns the index of the new entry, or -1 when the name was listed.
  int InsertFileEntry(const std::string& name, int picture, unsigned start, Side side);
  int BuildDirectoryList(Side side);
  int FindDriveEntry(const std::string& root, Side side) const;

  void SetDialogHook(DialogHook hook) { dialogHook_ = std::move(hook); }
  // Called after each page's text and notes while ConvertFile runs; false
  // stops the conversion there and no text file is left. The command line
  // sets its own while it runs.
  void SetPageDone(TextExtraction::PageDone pageDone) { pageDone_ = std::move(pageDone); }
  // Called once each page's text and notes are in the text file on disk,
  // for whoever watches a conversion from outside the process.
  void SetPageWritten(PageWritten pageWritten) { pageWritten_ = std::move(pageWritten); }

  std::string SourceDirectory;
  std::string TargetDirectory;
  std::string FilePattern;

  EntryList DocumentFileList;
  EntryList TextFileList;
  EntryList DocumentDirectoryList;
  EntryList TextDirectoryList;

 private:
  DialogHook dialogHook_;
  std::string startUpDirectory_;
  platform::TemporaryFault lastFault_ = platform::TemporaryFault::None;
  ExtractionFault lastExtractionFault_ = ExtractionFault::None;
  std::vector<DamagedPage> lastDamagedPages_;
  std::string lastProblem_;
  // Command-line mode opens the target folder once for the whole run.
  const platform::TargetFolder* openTarget_ = nullptr;
  // Command-line mode reports each page's messages after the page.
  TextExtraction::PageDone pageDone_;
  PageWritten pageWritten_;
};

// The names the document side and the text side list and convert.
inline constexpr std::string_view kDocumentPattern = "*.QRV";
inline constexpr std::string_view kTextPattern = "*.TXT";

// The text file name of a document: its name without the last three
// characters, then "TXT" (BOOK.QRV gives BOOK.TXT, BOOK gives BTXT).
std::string TextFileNameFor(const std::string& documentName);

// What the temporary folder cost a document, if anything, in words for a
// user: the document is sound, and the user can do something about a full
// or missing temporary folder. converted: whether its text was written.
std::string TemporaryProblem(platform::TemporaryFault fault, bool converted);

}  // namespace exqrv
