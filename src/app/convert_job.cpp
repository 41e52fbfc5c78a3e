// One conversion job: a document in, its text file out.
#include <algorithm>
#include <memory>
#include <vector>

#include "annotations/annotation_set.h"
#include "app/converter_app.h"
#include "document/document.h"
#include "platform/platform.h"

namespace exqrv {
namespace {

constexpr char kAnnotationPrefix[] = "EXT";

// A fresh name in the temporary directory; the file the platform made for it
// is deleted at once, so only the name is kept.
std::string ReserveTemporaryName(const char* prefix) {
  platform::Platform& system = platform::CurrentPlatform();
  const std::string directory = system.TempDirectory();
  if (directory.empty()) return {};
  std::string name = system.UniqueTempName(directory, prefix, 0);
  if (!name.empty()) system.DeleteFile(name);
  return name;
}

void LoadAnnotations(Document& document, AnnotationSet& notes, const std::string& documentPath,
                     const std::string& uniqueName) {
  if (uniqueName.empty()) return;
  if (!document.HasWorkingCopy()) {
    notes.Load(document.file(), uniqueName);
    return;
  }
  // The annotation store is read from the document file, never the copy.
  platform::File original;
  if (original.Open(documentPath, platform::OpenMode::Read)) notes.Load(original, uniqueName);
}

// The notes in page order, each page's notes in list order; pages outside
// 1 to pageCount never come out.
std::vector<const NoteRecord*> NotesByPage(const RecordList<NoteRecord>& notes) {
  std::vector<const NoteRecord*> sorted;
  sorted.reserve(notes.size());
  for (size_t i = 0; i < notes.size(); ++i) sorted.push_back(&notes[i]);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const NoteRecord* a, const NoteRecord* b) { return a->page < b->page; });
  return sorted;
}

bool WriteText(platform::File& output, const std::string& text) {
  return output.Write(text.data(), static_cast<uint32_t>(text.size()));
}

}  // namespace

int ConverterApp::ConvertDocument(const std::string& documentPath, const std::string& textPath) {
  auto document = std::make_unique<Document>();
  auto notes = std::make_unique<AnnotationSet>();
  if (document->Open(documentPath) != Opened) return 0;

  LoadAnnotations(*document, *notes, documentPath, ReserveTemporaryName(kAnnotationPrefix));

  platform::File output;
  if (!output.Open(textPath, platform::OpenMode::Write)) return 0;

  const std::vector<const NoteRecord*> byPage = NotesByPage(notes->Notes());
  auto next = byPage.begin();
  for (uint32_t page = 1; page <= document->PageCount(); ++page) {
    document->WritePageText(output, static_cast<uint16_t>(page));
    while (next != byPage.end() && (*next)->page < static_cast<int32_t>(page)) ++next;
    for (; next != byPage.end() && (*next)->page == static_cast<int32_t>(page); ++next) {
      WriteText(output, (*next)->text1);
      WriteText(output, (*next)->text2);
    }
  }
  // A text file that could not be written whole is no result: remove it.
  if (!output.Close()) {
    platform::CurrentPlatform().DeleteFile(textPath);
    return 0;
  }
  return 1;
}

}  // namespace exqrv
