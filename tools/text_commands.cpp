// qrvtool text and verify.
#include <cinttypes>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/converter_app.h"
#include "app/text_extraction.h"
#include "codec/compressed_block.h"
#include "container/chunk_directory.h"
#include "document/document.h"
#include "pagetext/page_interpreter.h"
#include "platform/byte_stream.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "tools/commands.h"
#include "tools/json_text.h"
#include "tools/text_options.h"

namespace exqrv::tools {
namespace {

// Standard input copied into the private temporary folder: a document is
// read by offset, which a pipe cannot give. The copy goes with its owner.
struct StandardInputCopy {
  static constexpr char kPrefix[] = "STD";

  ~StandardInputCopy() {
    if (!name.empty()) platform::CurrentPlatform().DeleteFile(name);
  }

  bool Make() {
    name = platform::ReserveTemporaryName(kPrefix);
    platform::File copy;
    if (name.empty() || !copy.Open(name, platform::OpenMode::Write)) {
      error = name.empty() ? kTemporaryNotMade : copy.ErrorText();
      return false;
    }
    platform::File input(platform::StandardInput(), false);
    char buffer[64 * 1024];
    while (const uint32_t got = input.Read(buffer, sizeof buffer)) {
      if (!copy.Write(buffer, got)) break;
    }
    if (!input.ErrorText().empty()) {
      error = input.ErrorText();
      return false;
    }
    if (!copy.Close()) {
      error = copy.ErrorText();
      return false;
    }
    return true;
  }

  std::string name;
  std::string error;
};

bool ParsePageNumber(const std::string& text, uint32_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      text.size() > 5) {
    return false;
  }
  value = static_cast<uint32_t>(std::stoul(text));
  return value >= 1 && value <= UINT16_MAX;
}

// "7" (that page), "3-9", or "3-" (to the last page).
bool ParseRange(const std::string& text, PageRange& range) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos) {
    if (!ParsePageNumber(text, range.first)) return false;
    range.last = range.first;
    return true;
  }
  if (!ParsePageNumber(text.substr(0, dash), range.first)) return false;
  if (dash + 1 == text.size()) {
    range.last = PageRange().last;
    return true;
  }
  return ParsePageNumber(text.substr(dash + 1), range.last) && range.first <= range.last;
}

// Counts the unrecognised-command messages instead of showing them.
class CountingPrompter : public platform::Prompter {
 public:
  platform::Answer Show(std::string_view, platform::Buttons, platform::Icon) override {
    ++count;
    return platform::Answer::Ok;
  }
  size_t count = 0;
};

struct BlockCheck {
  codec::BlockResult result;
  uint32_t headerLength, headerCrc, length, crc;
};

// Expands the block at offset to nowhere and compares its header with what
// the data gives.
bool CheckBlock(platform::File& source, uint32_t offset, BlockCheck& check) {
  uint8_t header[codec::kBlockHeaderSize];
  source.Seek(offset, platform::SeekOrigin::Begin);
  if (source.Read(header, sizeof header) < sizeof header) return false;
  const codec::BlockHeader stored = codec::BlockHeader::Parse(header);
  check.headerLength = stored.uncompressedLength;
  check.headerCrc = stored.crc;
  source.Seek(offset, platform::SeekOrigin::Begin);
  platform::DiscardingSink nowhere;
  codec::CompressedBlock block;
  check.result = block.Expand(source, nowhere);
  check.length = static_cast<uint32_t>(nowhere.written());
  check.crc = block.crc();
  return true;
}

// One line per damaged block; true when it is sound.
bool ReportBlock(platform::File& source, const std::string& what, uint32_t offset) {
  BlockCheck check{};
  if (!CheckBlock(source, offset, check)) {
    std::printf("%s at offset %" PRIu32 ": block header beyond the end of the file\n", what.c_str(),
                offset);
    return false;
  }
  std::string problems;
  if (check.result != codec::BlockResult::Ok) {
    problems +=
        " stream does not decode (result " + std::to_string(static_cast<int>(check.result)) + ");";
  }
  if (check.crc != check.headerCrc) {
    char text[96];
    std::snprintf(text, sizeof text, " CRC-32 0x%08" PRIX32 " in header, 0x%08" PRIX32 " in data;",
                  check.headerCrc, check.crc);
    problems += text;
  }
  if (check.length != check.headerLength) {
    problems += " length " + std::to_string(check.headerLength) + " in header, " +
                std::to_string(check.length) + " in data;";
  }
  if (problems.empty()) return true;
  problems.pop_back();
  std::printf("%s at offset %" PRIu32 ":%s\n", what.c_str(), offset, problems.c_str());
  return false;
}

struct TextSettings {
  PageRange range;
  bool withNotes = true;
  TextOptions options;
  JsonForm json = JsonForm::None;
};

enum class Written { Whole, Failed, OutputBroken };

// Writes one document's text (as JSON when json is given); each failure is
// said on stderr, and whyNot holds why the document did not convert.
Written WriteOne(const std::string& path, const std::string& shown, const TextSettings& settings,
                 platform::File& output, JsonText* json, std::string& whyNot) {
  const auto failed = [&](const std::string& reason) {
    Fail(shown + ": " + reason);
    if (whyNot.empty()) whyNot = reason;
    return Written::Failed;
  };
  StandardInputCopy copy;
  if (path == "-" && !copy.Make()) {
    Fail("cannot copy standard input: " + copy.error);
    whyNot = "cannot copy standard input: " + copy.error;
    return Written::Failed;
  }
  const std::string document = path == "-" ? copy.name : platform::VerbatimPath(path);
  TextExtraction job;
  ApplyBeforeOpen(settings.options, job);
  if (!job.Open(document)) return failed(OpenProblem(document, job));
  std::string error;
  // A page of unknown commands says so once, with its count.
  platform::CountingPrompter messages;
  bool written;
  {
    const platform::PrompterScope counting(&messages);
    written = json != nullptr ? json->WritePages(job, settings.range, settings.withNotes, error)
                              : WriteDocumentText(job, output, settings.options, settings.range,
                                                  settings.withNotes, error);
  }
  for (const std::string& line : messages.Lines(shown))
    std::fprintf(stderr, "qrvtool: %s\n", line.c_str());
  // The output is still sound: the next document goes on after this one.
  if (const std::string problem = ExtractionProblem(job); !problem.empty()) {
    return failed(problem + "; its text stops there");
  }
  if (!written) {
    const std::string temporary = TemporaryProblem(job, settings.withNotes);
    Fail(shown + ": " + (temporary.empty() ? "writing the text failed: " + error : temporary));
    return Written::OutputBroken;
  }
  Written result = Written::Whole;
  if (const std::string missing = TemporaryProblem(job, settings.withNotes); !missing.empty()) {
    result = failed(missing);
  }
  for (const std::string& line : DamageLines(job)) Fail(shown + ": " + line);
  if (const std::string damage = DamageSummary(job); !damage.empty()) {
    if (whyNot.empty()) whyNot = damage;
    result = Written::Failed;
  }
  return result;
}

std::string TagText(const ChunkEntry& entry) { return "chunk '" + PrintableTag(entry.tag) + "'"; }

}  // namespace

const CommandGrammar& TextGrammar() {
  static const CommandGrammar grammar = [] {
    CommandGrammar text{
        .name = "text",
        .options = {{.id = OptionId::Pages,
                     .name = "--pages",
                     .argument = "FIRST[-[LAST]]",
                     .wants = "FIRST, FIRST-LAST or FIRST-",
                     .help = "only the pages FIRST to LAST; FIRST- to the last page, FIRST alone "
                             "that page"},
                    {.id = OptionId::NoNotes, .name = "--no-notes", .help = "leaves out the notes"},
                    {.id = OptionId::Json,
                     .name = "--json",
                     .help = std::string("the text as JSON, one object per document: each page "
                                         "with its number, its text and its notes apart, and "
                                         "whether the document converted, and why not; decoded "
                                         "from the code page --encoding names, else ") +
                             kDefaultJsonCodePage},
                    {.id = OptionId::JsonLines,
                     .name = "--json-lines",
                     .help = "as --json, one line per page, then one line for the document",
                     .orPrevious = true}},
        .operands = "DOC|-...",
        .summary = "the text exqrv would write, to standard output",
        .details =
            "A - reads a document from standard input. Without text options the bytes "
            "are those exqrv writes into the text file.",
        .dashIsOperand = true,
        .doubleDashEndsOptions = true};
    for (Option& option : TextOptionTable()) text.options.push_back(std::move(option));
    return text;
  }();
  return grammar;
}

const CommandGrammar& VerifyGrammar() {
  static const CommandGrammar grammar{
      .name = "verify",
      .operands = "DOC",
      .summary = "check every block's CRC-32 and length",
      .details = "One line for each damaged block; the exit status is 1 when there is one.",
      .takesOptions = false};
  return grammar;
}

int TextCommand(const Args& args) {
  TextSettings settings;
  std::vector<std::string> paths;
  const auto option = [&](const Option& given, const std::string& value) -> std::string {
    switch (given.id) {
      case OptionId::Pages:
        if (!ParseRange(value, settings.range)) return Wants(given) + ", got " + value;
        return {};
      case OptionId::NoNotes: settings.withNotes = false; return {};
      case OptionId::Json: settings.json = JsonForm::Document; return {};
      case OptionId::JsonLines: settings.json = JsonForm::Lines; return {};
      default: return ApplyTextOption(given, value, settings.options);
    }
  };
  if (const std::string error = ParseCommandLine(TextGrammar(), args, option, Collect(paths));
      !error.empty())
    return UsageError(error, TextGrammar());
  if (paths.empty()) return UsageError("text wants at least one document", TextGrammar());
  if (settings.json != JsonForm::None && settings.options.pageBreak) {
    return UsageError("--page-break has no place in JSON, where the pages are apart",
                      TextGrammar());
  }

  platform::File output(platform::StandardOutput(), false);
  bool allWritten = true;
  for (const std::string& path : paths) {
    const std::string shown = path == "-" ? "standard input" : path;
    std::optional<JsonText> json;
    if (settings.json != JsonForm::None)
      json.emplace(output, settings.json, settings.options, shown);
    std::string whyNot;
    const Written written =
        WriteOne(path, shown, settings, output, json ? &*json : nullptr, whyNot);
    // Text cut short in the middle is the end for every document after it.
    if (written == Written::OutputBroken) return kExitFailure;
    if (json && !json->Finish(whyNot))
      return Fail("writing the text failed: " + output.ErrorText());
    allWritten &= written == Written::Whole;
  }
  return allWritten ? kExitSuccess : kExitFailure;
}

std::string TemporaryProblem(const TextExtraction& job, bool withNotes) {
  switch (job.temporaryFault()) {
    case platform::TemporaryFault::WriteFailed: return kTemporaryNotWritten;
    case platform::TemporaryFault::NotMade:
      return withNotes ? std::string(kTemporaryNotMade) + kSoNotesMissing : "";
    case platform::TemporaryFault::None: return "";
  }
  return "";
}

int VerifyCommand(const Args& args) {
  if (args.size() != 1) return UsageError("verify takes one document", VerifyGrammar());
  const std::string& path = args[0];
  const std::string verbatim = platform::VerbatimPath(path);
  Document document;
  const OpenResult opened = document.Open(verbatim);
  platform::File source;
  if (!source.Open(verbatim, platform::OpenMode::Read)) return Fail("cannot open " + path);
  const int64_t fileSize = source.Size();
  DirectoryReader reader(source, CutShort::EndsWalk);
  if (!reader.Start() || !reader.header().HasMagic()) return Fail(path + " is " + kNotADocument);
  // The whole directory first: checking a block moves the file's position.
  std::vector<ChunkEntry> entries;
  while (const std::optional<ChunkEntry> entry = reader.Next()) entries.push_back(*entry);

  bool sound = true;
  for (const ChunkEntry& entry : entries) {
    if (static_cast<int64_t>(entry.offset) + entry.length > fileSize) {
      std::printf("%s at offset %" PRIu32 ": %" PRIu32 " bytes run past the end of the file\n",
                  TagText(entry).c_str(), entry.offset, entry.length);
      sound = false;
    } else if (entry.compressed != 0 && entry.offset != 0) {
      sound &= ReportBlock(source, TagText(entry), entry.offset);
    }
  }
  if (reader.CutShortByFile()) {
    std::printf("chunk directory: cut short at entry %zu of %u\n", entries.size() + 1,
                reader.header().chunkCount);
    sound = false;
  }
  if (opened != OpenResult::Opened) {
    std::printf("pages: the document does not open (%s)\n", WhyNotOpened(opened));
    return kExitFailure;
  }

  if (document.HasWorkingCopy()) {
    for (size_t i = 0; i < document.storedPageTable().size(); ++i) {
      sound &= ReportBlock(source, "page " + std::to_string(i + 1),
                           document.storedPageTable()[i].contentOffset);
    }
  } else {
    CountingPrompter unrecognised;
    const platform::PrompterScope counting(&unrecognised);
    platform::DiscardingSink nowhere;
    PageInterpreter interpreter(document);
    for (uint32_t page = 1; page <= document.PageCount(); ++page) {
      unrecognised.count = 0;
      interpreter.WritePage(nowhere, static_cast<uint16_t>(page));
      const uint32_t offset = document.pageTable()[page - 1].contentOffset;
      if (interpreter.PageWasCutShort()) {
        std::printf("page %u at offset %" PRIu32 ": stream ends before its CT\n", page, offset);
        sound = false;
      }
      if (unrecognised.count > 0) {
        std::printf("page %u at offset %" PRIu32 ": %zu unrecognised commands\n", page, offset,
                    unrecognised.count);
        sound = false;
      }
    }
  }
  if (sound) std::printf("%s: sound\n", path.c_str());
  return sound ? kExitSuccess : kExitFailure;
}

}  // namespace exqrv::tools
