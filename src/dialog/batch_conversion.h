// The batch behind "Convert" and a double-click: which documents are
// converted under which text names, the question before a listed text file
// is replaced, and the log line of each document. No window is needed; the
// dialog supplies its text list and log through the hooks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/converter_app.h"

namespace exqrv::dialog {

// What became of one document.
enum class Outcome {
  Converted,  // its whole text is in its text file
  LostText,   // its text file holds what could be had, but not all of it
  Failed,     // no text file was written
  Stopped,    // the batch was stopped while it was converted; no text file
};

struct ConversionResult {
  Outcome outcome = Outcome::Failed;
  // Why it failed, what text it lost, or the page it was stopped at
  // ("page 3 of 10"); may be empty.
  std::string detail;
};

struct BatchHooks {
  // Converts one document (relative to SourceDirectory) into a text file of
  // TargetDirectory.
  std::function<ConversionResult(const std::string& documentName, const std::string& textName)>
      convertFile;
  // Whether the text list shows the file of this name (ListShowsFile).
  std::function<bool(const std::string& textName)> textListShows;
  std::function<void(const std::string& line)> addLogLine;
  // Shows the entry that was inserted at index of the text list.
  std::function<void(int index)> showInsertedText;
  // The document list no longer matches its folder (a listed item is gone).
  std::function<void()> documentListChanged;
};

// Every name here is a name as stored by the file system, never a text read
// back from a widget.
class BatchConversion {
 public:
  BatchConversion(ConverterApp& app, BatchHooks hooks) : app_(app), hooks_(std::move(hooks)) {}

  // The selected items of the document list, in list order: sub-folders are
  // converted document by document, documents one by one.
  void ConvertSelection(const std::vector<std::string>& selectedNames);
  void ConvertFolder(const std::string& folderName);
  // documentName is a document of SourceDirectory; textName is written in
  // TargetDirectory.
  void ConvertItem(const std::string& documentName, const std::string& textName);

  // Stops a running batch after the page being converted: that document's
  // text file is not written and no further document is converted.
  void RequestStop() { stopRequested_ = running_; }
  bool StopRequested() const { return stopRequested_; }
  bool Running() const { return running_; }

 private:
  class Run;
  void ConvertSelectedName(const std::string& name);
  // False (and the stop logged once) when the batch was asked to stop.
  bool GoesOn(const std::string& nextDocument);
  void Log(const ConversionResult& result, const std::string& shownName,
           const std::string& textName);

  // A document found in folder, a sub-folder of SourceDirectory (empty for
  // SourceDirectory itself). The log names the document by its own name.
  void ConvertItem(std::string_view folder, const std::string& documentName,
                   const std::string& textName);

  ConverterApp& app_;
  BatchHooks hooks_;
  bool running_ = false;
  bool stopRequested_ = false;
  bool stopLogged_ = false;
};

std::string OverwriteQuestion(std::string_view textName);
std::string SucceededLine(std::string_view shownName, std::string_view textName);
std::string FailedLine(std::string_view shownName, std::string_view textName);
// The log line as always written, then what the user needs to know beyond it.
std::string WithReason(std::string line, std::string_view reason);
std::string LostTextLine(std::string_view shownName, std::string_view textName,
                         std::string_view whatWasLost);
std::string StoppedAtLine(std::string_view shownName, std::string_view textName,
                          std::string_view where);
std::string StoppedBeforeLine(std::string_view shownName);
std::string FolderNotOpenedLine(std::string_view folderName, std::string_view reason);

// Whether the path names a directory on the platform.
bool IsDirectory(const std::string& path);

// Whether a stored name is one name, without a separator: only such a name
// can be joined to its directory and still mean itself.
bool IsSingleName(std::string_view name);

// The folder that a double-click on the item name of a list of directory
// opens, or nullopt when the item is not a folder (a document is converted,
// a text file left alone).
std::optional<std::string> FolderOpenedBy(std::string_view directory, const std::string& name);

// Whether a list showing these names (of files in directory) shows the file
// that name names: the same name, or where the file system ignores case,
// another spelling of the same file.
bool ListShowsFile(const std::vector<std::string>& shownNames, std::string_view directory,
                   std::string_view name);
// The same for a list that shows these entries.
bool ListShowsFile(const EntryList& shown, std::string_view directory, std::string_view name);

}  // namespace exqrv::dialog
