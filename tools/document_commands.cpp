// qrvtool info and make.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "annotations/annotation_set.h"
#include "builder/document_builder.h"
#include "document/document.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "tools/commands.h"

namespace exqrv::tools {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "qrvtool: %s\n", message.c_str());
  return 1;
}

std::string Printable(const std::array<char, 4>& tag) {
  std::string text;
  for (char c : tag) text += (c >= 0x20 && c < 0x7F) ? c : '.';
  return text;
}

bool ParseNote(const std::string& text, build::NoteSpec& note) {
  const size_t first = text.find(':');
  if (first == std::string::npos) return false;
  const size_t second = text.find(':', first + 1);
  if (second == std::string::npos) return false;
  const std::string digits = text.substr(0, first);
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long page = std::stoul(digits);
  if (page > UINT16_MAX) return false;
  note.page = static_cast<uint16_t>(page);
  note.text1 = text.substr(first + 1, second - first - 1);
  note.text2 = text.substr(second + 1);
  return true;
}

std::string DefaultOutput(const std::string& firstPage) {
  const size_t dot = firstPage.rfind('.');
  const size_t slash = firstPage.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? firstPage.substr(0, dot) : firstPage) + ".QRV";
}

// The annotation kinds present, with their record counts, and the thumbnails.
void PrintAnnotations(const std::string& path) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Read)) return;
  AnnotationSet annotations;
  if (annotations.Load(file, platform::ReserveTemporaryName("EXT")) != 0) {
    std::printf("annotations: the store does not expand\n");
  }
  std::string kinds;
  for (const KindSummary& kind : annotations.Summary()) {
    if (kind.records == 0) continue;
    kinds += " " + std::string(kind.tag.substr(0, kind.tag.find(' '))) + " " +
             std::to_string(kind.records) + ",";
  }
  if (!kinds.empty()) kinds.pop_back();
  std::printf("annotations:%s\n", kinds.empty() ? " none" : kinds.c_str());
  const RecordList<NoteRecord>& notes = annotations.Notes();
  for (size_t i = 0; i < notes.size(); ++i) {
    std::printf("  note on page %d: \"%s\" \"%s\"\n", notes[i].page, notes[i].text1.c_str(),
                notes[i].text2.c_str());
  }
  std::printf("thumbnails: %u\n", annotations.ThumbnailCount());
}

}  // namespace

int InfoCommand(const Args& args) {
  if (args.size() != 1) return Fail("usage: qrvtool info DOC");
  const std::string path = args[0];
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Read)) {
    return Fail("cannot open " + args[0] + ": " + file.ErrorText());
  }
  uint8_t header[kDocumentHeaderSize];
  if (file.Read(header, sizeof header) < sizeof header ||
      !DocumentHeader::Parse(header).HasMagic()) {
    return Fail(args[0] + " is not a Quillor document");
  }
  const DocumentHeader parsed = DocumentHeader::Parse(header);
  std::printf("document %s\nheader: magic Qlrd, field 0x%04X, %u chunks\n", args[0].c_str(),
              parsed.reserved, parsed.chunkCount);
  std::printf("%-6s %-10s %-10s %-10s\n", "tag", "compressed", "offset", "length");
  for (uint32_t i = 0; i < parsed.chunkCount; ++i) {
    uint8_t bytes[kDirectoryEntrySize];
    if (file.Read(bytes, sizeof bytes) < sizeof bytes) return Fail("chunk directory cut short");
    const ChunkEntry entry = ChunkEntry::Parse(bytes);
    std::printf("%-6s %-10" PRIu32 " %-10" PRIu32 " %-10" PRIu32 "\n", Printable(entry.tag).c_str(),
                entry.compressed, entry.offset, entry.length);
  }
  file.Close();

  Document document;
  const OpenResult opened = document.Open(path);
  if (opened != Opened) {
    return Fail(std::string("cannot read the pages: ") +
                (opened == FormatError ? "a chunk does not expand" : "a table is cut short"));
  }
  const bool stored = document.HasWorkingCopy();
  const auto& table = stored ? document.storedPageTable() : document.pageTable();
  std::printf("pages: %u%s\n", document.PageCount(), stored ? " (compressed blocks)" : "");
  for (size_t i = 0; i < table.size(); ++i) {
    std::printf("page %zu: content offset %" PRIu32 ", length %" PRIu32 "\n", i + 1,
                table[i].contentOffset, table[i].contentLength);
  }
  PrintAnnotations(path);
  return 0;
}

int MakeCommand(const Args& args) {
  build::DocumentSpec recipe;
  std::string output;
  std::vector<std::string> pages;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--out" && i + 1 < args.size()) {
      output = args[++i];
    } else if (arg == "--compress") {
      recipe.compress = true;
    } else if (arg == "--compress-notes") {
      recipe.compressNotes = true;
    } else if (arg == "--note" && i + 1 < args.size()) {
      build::NoteSpec note;
      if (!ParseNote(args[++i], note)) return Fail("--note wants PAGE:TEXT1:TEXT2, got " + args[i]);
      recipe.notes.push_back(note);
    } else if (!arg.empty() && arg[0] == '-') {
      return Fail("unknown option " + arg);
    } else {
      pages.push_back(arg);
    }
  }
  if (pages.empty()) return Fail("make wants at least one PAGE.txt");
  if (pages.size() > UINT16_MAX) return Fail("a document holds at most 65535 pages");
  for (const std::string& page : pages) {
    platform::File file;
    if (!file.Open(page, platform::OpenMode::Read)) {
      return Fail("cannot read " + page + ": " + file.ErrorText());
    }
    recipe.pages.push_back(build::TextPage({build::ReadFileBytes(page)}));
  }
  if (output.empty()) output = DefaultOutput(pages.front());
  for (const std::string& page : pages) {
    if (platform::IsSameFile(page, output)) {
      return Fail(output + " is one of the page files: refusing to overwrite it");
    }
  }
  if (!build::WriteFileBytes(output, build::BuildDocument(recipe))) {
    return Fail("cannot write " + output);
  }
  return 0;
}

}  // namespace exqrv::tools
