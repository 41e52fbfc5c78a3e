// The text as JSON. A page is gathered in memory, decoded and written out
// before the next one is read, so no document is held whole; the document's
// record is written last, since whether it converted is known only then.
//
// --json writes one object, one page to a line:
//   {"document":"A.QRV","encoding":"CP1252","pages":[
//   {"page":1,"text":"...","notes":[{"text1":"...","text2":"..."}]}
//   ],"converted":true}
// --json-lines writes the page objects, each with "document", and then
//   {"document":"A.QRV","encoding":"CP1252","pages":1,"converted":true}
// A document that did not convert has "converted":false and "reason".
#include "tools/json_text.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "annotations/records.h"

namespace exqrv::tools {
namespace {

using Json = nlohmann::ordered_json;

std::string Dumped(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// An object's members without its braces, to be written into a larger one.
std::string Members(const Json& object) {
  const std::string dumped = Dumped(object);
  return dumped.substr(1, dumped.size() - 2);
}

}  // namespace

JsonText::JsonText(platform::ByteSink& output, JsonForm form, const TextOptions& options,
                   std::string document)
    : output_(output), form_(form), options_(options), document_(std::move(document)) {
  if (options_.encoding.empty()) options_.encoding = kDefaultJsonCodePage;
  // The pages are apart in JSON; a form feed between them would be noise.
  options_.pageBreak = false;
}

bool JsonText::Put(const std::string& bytes) {
  return output_.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

bool JsonText::WritePages(TextExtraction& job, PageRange range, bool withNotes, std::string& error,
                          const TextExtraction::PageDone& pageDone) {
  // The interpreter writes the page into memory; at its end the page goes
  // out as one object.
  platform::MemorySink page;
  const auto eachPage = [&](uint32_t number) {
    return WritePage(number, page.Take(), job, withNotes) && (!pageDone || pageDone(number));
  };
  if (job.WriteText(page, range, false, eachPage) && output_.Flush()) return true;
  error = page.WriteFailed() ? page.ErrorText() : output_.ErrorText();
  return false;
}

bool JsonText::WritePage(uint32_t page, const std::string& text, TextExtraction& job,
                         bool withNotes) {
  Json object;
  if (form_ == JsonForm::Lines) object["document"] = document_;
  object["page"] = page;
  object["text"] = FilteredText(text, options_);
  object["notes"] = Json::array();
  if (withNotes) {
    for (const NoteRecord* note : job.NotesOf(page)) {
      object["notes"].push_back({{"text1", FilteredText(note->text1, options_)},
                                 {"text2", FilteredText(note->text2, options_)}});
    }
  }
  std::string line;
  if (form_ == JsonForm::Document) line = opened_ ? ",\n" : Opening() + "\n";
  opened_ = true;
  ++pages_;
  return Put(line + Dumped(object) + (form_ == JsonForm::Lines ? "\n" : ""));
}

std::string JsonText::Opening() const {
  Json head;
  head["document"] = document_;
  head["encoding"] = options_.encoding;
  return "{" + Members(head) + ",\"pages\":[";
}

bool JsonText::Finish(const std::string& whyNot) {
  Json verdict;
  verdict["converted"] = whyNot.empty();
  if (!whyNot.empty()) verdict["reason"] = whyNot;
  std::string text;
  if (form_ == JsonForm::Document) {
    text = (opened_ ? "\n" : Opening()) + "]," + Members(verdict) + "}";
  } else {
    Json record;
    record["document"] = document_;
    record["encoding"] = options_.encoding;
    record["pages"] = pages_;
    text = "{" + Members(record) + "," + Members(verdict) + "}";
  }
  return Put(text + "\n") && output_.Flush();
}

std::string JsonText::FileName(const std::string& textName, JsonForm form) {
  // The text file's name ends in "TXT"; the JSON file's in json or jsonl.
  return textName.substr(0, textName.size() - 3) + (form == JsonForm::Lines ? "jsonl" : "json");
}

}  // namespace exqrv::tools
