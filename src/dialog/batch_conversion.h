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

struct BatchHooks {
  // Converts one document (relative to SourceDirectory) into a text file of
  // TargetDirectory; true on success.
  std::function<bool(const std::string& documentName, const std::string& textName)> convertFile;
  // The names the text list shows, as stored, in list order.
  std::function<std::vector<std::string>()> shownTextNames;
  std::function<void(const std::string& line)> addLogLine;
  // Shows the text list again from its entries.
  std::function<void()> refillTextList;
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

 private:
  // A document found in folder, a sub-folder of SourceDirectory (empty for
  // SourceDirectory itself). The log names the document by its own name.
  void ConvertItem(std::string_view folder, const std::string& documentName,
                   const std::string& textName);

  ConverterApp& app_;
  BatchHooks hooks_;
};

std::string OverwriteQuestion(std::string_view textName);
std::string SucceededLine(std::string_view shownName, std::string_view textName);
std::string FailedLine(std::string_view shownName, std::string_view textName);

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

}  // namespace exqrv::dialog
