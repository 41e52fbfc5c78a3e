// One conversion job: a document in, its text file out.
#include <string>
#include <utility>

#include "app/converter_app.h"
#include "app/text_extraction.h"
#include "platform/pending_file.h"
#include "platform/platform.h"

namespace exqrv {

// The folder part of a system path and the name in it; a root keeps its
// separator ("C:\\"), since "C:" alone names the current folder of C:.
std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  const size_t cut = path.find_last_of(platform::kDirectorySeparators);
  if (cut == std::string::npos) return {".", path};
  const bool root = cut == 0 || (cut == 2 && path[1] == ':');
  return {path.substr(0, root ? cut + 1 : cut), path.substr(cut + 1)};
}

int ConverterApp::ConvertDocument(const std::string& documentPath, const std::string& textPath) {
  lastProblem_.clear();
  lastDamagedPages_.clear();
  TextExtraction job;
  const bool opened = job.Open(documentPath);
  lastFault_ = job.temporaryFault();
  lastExtractionFault_ = job.extractionFault();
  if (!opened) {
    lastProblem_ = OpenProblem(documentPath, job);
    return 0;
  }
  // The text file is given its name only when it is whole, so a text name
  // that leads back to the document itself (a document named *.TXT
  // converted in place) would replace it: refused.
  if (platform::IsSameFile(documentPath, textPath)) {
    lastProblem_ = kWouldReplaceDocument;
    return 0;
  }
  const auto [folderPath, textName] = SplitFolder(textPath);
  platform::TargetFolder ownFolder;
  const platform::TargetFolder* folder = openTarget_;
  if (folder == nullptr || folder->path() != folderPath) {
    if (!ownFolder.Open(folderPath)) {
      lastProblem_ = "cannot write into " + folderPath + ": " + ownFolder.ErrorText();
      return 0;
    }
    folder = &ownFolder;
  }
  platform::PendingFile text;
  if (!text.Create(*folder, "exqrv")) {
    lastProblem_ = "cannot write into " + folderPath + ": " + text.ErrorText();
    return 0;
  }
  const bool written = job.WriteText(text.file(), {}, true, [&](uint32_t page) {
    if (pageDone_ && !pageDone_(page)) return false;
    if (pageWritten_ && text.file().Flush()) pageWritten_(page);
    return true;
  });
  lastFault_ = job.temporaryFault();
  lastExtractionFault_ = job.extractionFault();
  lastDamagedPages_ = job.DamagedPages();
  if (!written) {
    // Named by the temporary fault when that was the cause.
    if (lastFault_ == platform::TemporaryFault::None) {
      lastProblem_ = lastExtractionFault_ != ExtractionFault::None
                         ? ExtractionProblem(job)
                         : "cannot write " + textPath + ": " + text.file().ErrorText();
    }
    return 0;
  }
  std::string error;
  if (text.Place(textName, true, error) != platform::Placement::Placed) {
    lastProblem_ = "cannot write " + textPath + ": " + error;
    return 0;
  }
  return 1;
}

}  // namespace exqrv
