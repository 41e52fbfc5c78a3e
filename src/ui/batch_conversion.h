// The batch behind "Convert" and a double-click: which documents are
// converted under which text names, the question before a listed text file
// is replaced, and the log line of each document. No window is needed; the
// dialog supplies its text list and log through the hooks.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/converter_app.h"

namespace exqrv::ui {

inline constexpr std::string_view kDocumentSearchPattern = "*.QRV";

struct BatchHooks {
  // Converts one document (relative to SourceDirectory) into a text file of
  // TargetDirectory; true on success.
  std::function<bool(const std::string& documentName, const std::string& textName)> convertFile;
  // Whether the text list as shown holds this name, case ignored.
  std::function<bool(std::string_view textName)> textListShows;
  std::function<void(const std::string& line)> addLogLine;
  // Shows the text list again from its entries.
  std::function<void()> refillTextList;
};

class BatchConversion {
 public:
  BatchConversion(ConverterApp& app, BatchHooks hooks) : app_(app), hooks_(std::move(hooks)) {}

  // The selected items of the document list, in list order: sub-folders are
  // converted document by document, documents one by one.
  void ConvertSelection(const std::vector<std::string>& selectedNames);
  void ConvertFolder(const std::string& folderName);
  void ConvertItem(const std::string& documentName, const std::string& textName);

 private:
  ConverterApp& app_;
  BatchHooks hooks_;
};

std::string OverwriteQuestion(std::string_view textName);
std::string SucceededLine(std::string_view shownName, std::string_view textName);
std::string FailedLine(std::string_view shownName, std::string_view textName);

// Whether the path names a directory on the platform.
bool IsDirectory(const std::string& path);

}  // namespace exqrv::ui
