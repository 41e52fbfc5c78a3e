// qrvtool info and make.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "annotations/annotation_set.h"
#include "app/converter_app.h"
#include "builder/document_builder.h"
#include "container/chunk_directory.h"
#include "document/document.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/text_options.h"

namespace exqrv::tools {
namespace {

// A note's page is stored as a signed 16-bit number.
constexpr unsigned long kLastNotePage = INT16_MAX;

// "PAGE:TEXT1:TEXT2" with a page from 1 to pages (and to kLastNotePage);
// otherwise why not, naming the note.
std::string ParseNote(const std::string& text, size_t pages, build::NoteRecipe& note) {
  const size_t first = text.find(':');
  const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  const std::string digits = text.substr(0, first);
  if (second == std::string::npos || digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return "--note wants PAGE:TEXT1:TEXT2, got " + text;
  }
  const unsigned long page = std::stoul(digits);
  if (page == 0 || page > pages) {
    return "--note " + text + ": the document has pages 1 to " + std::to_string(pages);
  }
  if (page > kLastNotePage) {
    return "--note " + text + ": a note can be on pages 1 to " + std::to_string(kLastNotePage) +
           " only";
  }
  note.page = static_cast<uint16_t>(page);
  note.text1 = text.substr(first + 1, second - first - 1);
  note.text2 = text.substr(second + 1);
  return {};
}

std::string DefaultOutput(const std::string& firstPage) {
  const size_t dot = firstPage.rfind('.');
  const size_t slash = firstPage.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? firstPage.substr(0, dot) : firstPage) + ".QRV";
}

// What info shows, gathered first so that it can go out as text or JSON.
struct InfoFacts {
  struct Chunk {
    std::string tag;
    uint32_t compressed, offset, length;
  };
  std::string path;
  bool headerRead = false;
  uint16_t field = 0;
  uint16_t chunkCount = 0;
  std::vector<Chunk> chunks;
  bool pagesRead = false;
  bool compressedPages = false;
  std::vector<PageEntry> pages;
  bool storeExpands = true;
  std::vector<std::pair<std::string, size_t>> kinds;  // those with records
  // Held, not copied: a document's notes may be as large as memory allows.
  std::unique_ptr<AnnotationSet> annotations = std::make_unique<AnnotationSet>();
  uint16_t thumbnails = 0;
};

// The annotation kinds present, with their record counts, the notes and the
// thumbnails.
void GatherAnnotations(const std::string& path, InfoFacts& facts) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::Read)) return;
  AnnotationSet& annotations = *facts.annotations;
  facts.storeExpands =
      annotations.Load(file, platform::ReserveTemporaryName("EXT")) == AnnotationLoadResult::Loaded;
  for (const KindSummary& kind : annotations.Summary()) {
    if (kind.records == 0) continue;
    facts.kinds.emplace_back(std::string(kind.tag.substr(0, kind.tag.find(' '))), kind.records);
  }
  facts.thumbnails = annotations.ThumbnailCount();
}

// Reads as far as the document allows; the message says where it stopped.
std::string GatherInfo(const std::string& path, InfoFacts& facts) {
  facts.path = path;
  const std::string verbatim = platform::VerbatimPath(path);
  platform::File file;
  if (!file.Open(verbatim, platform::OpenMode::Read))
    return "cannot open " + path + ": " + file.ErrorText();
  DirectoryReader reader(file, CutShort::EndsWalk);
  if (!reader.Start() || !reader.header().HasMagic()) return path + " is " + kNotADocument;
  facts.headerRead = true;
  facts.field = reader.header().reserved;
  facts.chunkCount = reader.header().chunkCount;
  while (const std::optional<ChunkEntry> entry = reader.Next()) {
    facts.chunks.push_back(
        {PrintableTag(entry->tag), entry->compressed, entry->offset, entry->length});
  }
  if (reader.CutShortByFile()) return "chunk directory cut short";
  file.Close();

  Document document;
  const OpenResult opened = document.Open(verbatim);
  if (opened != OpenResult::Opened) {
    return std::string("cannot read the pages: ") + WhyNotOpened(opened);
  }
  facts.pagesRead = true;
  facts.compressedPages = document.HasWorkingCopy();
  facts.pages = facts.compressedPages ? document.storedPageTable() : document.pageTable();
  GatherAnnotations(verbatim, facts);
  return {};
}

// A note's text as UTF-8 from the code page given; without one, the bytes
// as they are.
std::string NoteText(const std::string& bytes, const std::string& encoding) {
  if (encoding.empty()) return bytes;
  Recoder recoder(encoding);
  std::string utf8;
  recoder.Convert(bytes, utf8);
  recoder.Finish(utf8);
  return utf8;
}

void PrintInfo(const InfoFacts& facts, const std::string& encoding) {
  std::printf("document %s\nheader: magic Qlrd, field 0x%04X, %u chunks\n", facts.path.c_str(),
              facts.field, facts.chunkCount);
  std::printf("%-6s %-10s %-10s %-10s\n", "tag", "compressed", "offset", "length");
  for (const InfoFacts::Chunk& chunk : facts.chunks) {
    std::printf("%-6s %-10" PRIu32 " %-10" PRIu32 " %-10" PRIu32 "\n", chunk.tag.c_str(),
                chunk.compressed, chunk.offset, chunk.length);
  }
  if (!facts.pagesRead) return;
  std::printf("pages: %zu%s\n", facts.pages.size(),
              facts.compressedPages ? " (compressed blocks)" : "");
  for (size_t i = 0; i < facts.pages.size(); ++i) {
    std::printf("page %zu: content offset %" PRIu32 ", length %" PRIu32 "\n", i + 1,
                facts.pages[i].contentOffset, facts.pages[i].contentLength);
  }
  if (!facts.storeExpands) std::printf("annotations: the store does not expand\n");
  std::string kinds;
  for (const auto& [tag, records] : facts.kinds)
    kinds += " " + tag + " " + std::to_string(records) + ",";
  if (!kinds.empty()) kinds.pop_back();
  std::printf("annotations:%s\n", kinds.empty() ? " none" : kinds.c_str());
  for (const auto& note : facts.annotations->Notes()) {
    std::printf("  note on page %d: \"%s\" \"%s\"\n", note->page,
                VisibleText(NoteText(note->text1, encoding)).c_str(),
                VisibleText(NoteText(note->text2, encoding)).c_str());
  }
  std::printf("thumbnails: %u\n", facts.thumbnails);
}

// Note texts are bytes of a code page: converted from the one given, else
// passed as they are, with what is not UTF-8 shown as U+FFFD.
void PrintInfoJson(const InfoFacts& facts, const std::string& encoding) {
  const auto text = [&encoding](const std::string& bytes) { return NoteText(bytes, encoding); };
  nlohmann::ordered_json out;
  out["document"] = facts.path;
  out["field"] = facts.field;
  out["chunks"] = nlohmann::ordered_json::array();
  for (const InfoFacts::Chunk& chunk : facts.chunks) {
    out["chunks"].push_back({{"tag", chunk.tag},
                             {"compressed", chunk.compressed},
                             {"offset", chunk.offset},
                             {"length", chunk.length}});
  }
  out["compressedPages"] = facts.compressedPages;
  out["pages"] = nlohmann::ordered_json::array();
  for (const PageEntry& page : facts.pages) {
    out["pages"].push_back(
        {{"contentOffset", page.contentOffset}, {"contentLength", page.contentLength}});
  }
  out["annotationStoreExpands"] = facts.storeExpands;
  out["annotations"] = nlohmann::ordered_json::object();
  for (const auto& [tag, records] : facts.kinds) out["annotations"][tag] = records;
  out["notes"] = nlohmann::ordered_json::array();
  for (const auto& note : facts.annotations->Notes()) {
    out["notes"].push_back(
        {{"page", note->page}, {"text1", text(note->text1)}, {"text2", text(note->text2)}});
  }
  out["thumbnails"] = facts.thumbnails;
  const std::string dumped =
      out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  std::printf("%s\n", dumped.c_str());
}

}  // namespace

const CommandGrammar& InfoGrammar() {
  static const CommandGrammar grammar{
      .name = "info",
      .options = {{.id = OptionId::Json,
                   .name = "--json",
                   .help = "the same facts as one JSON object"},
                  EncodingOption("the code page the notes are written in (such as CP1252): "
                                 "they are shown in UTF-8")},
      .operands = "DOC",
      .summary = "header, chunks, pages, notes"};
  return grammar;
}

const CommandGrammar& MakeGrammar() {
  static const CommandGrammar grammar{
      .name = "make",
      .options = {{.id = OptionId::Out,
                   .name = "--out",
                   .argument = "DOC",
                   .wants = "a document name",
                   .help = "the document to write (default: the first PAGE.txt's name with .QRV)"},
                  {.id = OptionId::Compress,
                   .name = "--compress",
                   .help = "stores the tables and every page compressed"},
                  {.id = OptionId::CompressNotes,
                   .name = "--compress-notes",
                   .help = "stores the notes compressed"},
                  {.id = OptionId::Note,
                   .name = "--note",
                   .argument = "PAGE:TEXT1:TEXT2",
                   .wants = "PAGE:TEXT1:TEXT2",
                   .help = "attaches a note with two texts to page PAGE (at most 32767); again "
                           "for more notes",
                   .repeats = true}},
      .operands = "PAGE.txt...",
      .summary = "a document with one page for each text file"};
  return grammar;
}

int InfoCommand(const Args& args) {
  bool json = false;
  TextOptions options;
  std::string path;
  const auto option = [&](const Option& given, const std::string& value) {
    if (given.id == OptionId::Json) {
      json = true;
      return std::string();
    }
    return ApplyTextOption(given, value, options);
  };
  // One document, named by a word that is not empty.
  const auto operand = [&](const std::string& word) {
    if (word.empty() || !path.empty()) return std::string("info takes one document");
    path = word;
    return std::string();
  };
  if (const std::string error = ParseCommandLine(InfoGrammar(), args, option, operand);
      !error.empty())
    return UsageError(error, InfoGrammar());
  if (path.empty()) return UsageError("info wants a document", InfoGrammar());
  // Out of memory, the facts go first, and with them the notes' work file.
  try {
    InfoFacts facts;
    const std::string problem = GatherInfo(path, facts);
    if (json) {
      if (!problem.empty()) return Fail(problem);
      PrintInfoJson(facts, options.encoding);
      return kExitSuccess;
    }
    if (facts.headerRead) PrintInfo(facts, options.encoding);
    return problem.empty() ? kExitSuccess : Fail(problem);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    return Fail(path + ": " + kNotesBeyondMemory);
  }
}

int MakeCommand(const Args& args) {
  build::DocumentRecipe recipe;
  std::string output;
  std::vector<std::string> pages;
  std::vector<std::string> notes;
  const auto option = [&](const Option& given, const std::string& value) {
    switch (given.id) {
      case OptionId::Out: output = value; break;
      case OptionId::Note: notes.push_back(value); break;
      case OptionId::Compress: recipe.compress = true; break;
      case OptionId::CompressNotes: recipe.compressNotes = true; break;
      default: break;
    }
    return std::string();
  };
  if (const std::string error = ParseCommandLine(MakeGrammar(), args, option, Collect(pages));
      !error.empty())
    return UsageError(error, MakeGrammar());
  if (pages.empty()) return UsageError("make wants at least one PAGE.txt", MakeGrammar());
  if (pages.size() > UINT16_MAX)
    return UsageError("a document holds at most 65535 pages", MakeGrammar());
  for (const std::string& text : notes) {
    build::NoteRecipe note;
    const std::string error = ParseNote(text, pages.size(), note);
    if (!error.empty()) return UsageError(error, MakeGrammar());
    recipe.notes.push_back(note);
  }
  for (const std::string& page : pages) {
    platform::File file;
    if (!file.Open(platform::VerbatimPath(page), platform::OpenMode::Read)) {
      return Fail("cannot read " + page + ": " + file.ErrorText());
    }
    recipe.pages.push_back(build::TextPage({build::ReadFileBytes(platform::VerbatimPath(page))}));
  }
  if (output.empty()) output = DefaultOutput(pages.front());
  for (const std::string& page : pages) {
    if (platform::IsSameFile(platform::VerbatimPath(page), platform::VerbatimPath(output))) {
      return Fail(output + " is one of the page files: refusing to overwrite it");
    }
  }
  if (!build::WriteFileBytes(platform::VerbatimPath(output), build::BuildDocument(recipe))) {
    return Fail("cannot write " + output);
  }
  return kExitSuccess;
}

}  // namespace exqrv::tools
