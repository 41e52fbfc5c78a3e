// Builds Quillor documents in memory: page content streams, the container
// with its chunk directory, compressed blocks, and the annotation store.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "builder/annotation_store_builder.h"
#include "container/container.h"

namespace exqrv::build {

// A page content stream, command by command.
class PageStream {
 public:
  PageStream& Code(std::string_view twoLetters);
  PageStream& U8(uint8_t value);
  PageStream& U16(uint16_t value);
  PageStream& U32(uint32_t value);
  PageStream& Bytes(std::string_view bytes);
  // A text item: 4 uninterpreted bytes, n, flags, the characters, the tails
  // the flags announce.
  static std::string Item(std::string_view chars, uint8_t flags = 0);
  // ET (or EU) with total = the sum of the items' sizes.
  PageStream& TextRun(const std::vector<std::string>& items, std::string_view code = "ET");
  // ET with a total given explicitly.
  PageStream& TextRunWithTotal(uint16_t total, const std::vector<std::string>& items,
                               std::string_view code = "ET");
  PageStream& End();  // CT
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A page whose text is the given strings, each as one text run, then CT.
std::string TextPage(const std::vector<std::string>& runs);

struct ExtraChunk {
  std::string tag;  // four characters
  std::string data;
  bool compressed = false;
};

struct DocumentRecipe {
  std::vector<std::string> pages;  // content streams
  std::vector<NoteRecipe> notes;
  bool compress = false;       // stru, font, pape and every page as blocks
  bool compressNotes = false;  // the annotation store as a block
  std::vector<ExtraChunk> extraChunks;
  // This many more page entries after the pages, each pointing at the first
  // page's content: a document that expands the same bytes again and again.
  uint16_t pagesOnFirstContent = 0;
};

std::string BuildDocument(const DocumentRecipe& recipe);
// Where page (counted from 1, one of recipe.pages) begins in the document
// BuildDocument makes: its block, or its stream when stored plain.
uint32_t PageContentOffset(const DocumentRecipe& recipe, size_t page);

// A container's first bytes: the header, then the entries as the directory
// (header.chunkCount may announce another number of entries).
std::string ContainerHead(const DocumentHeader& header, const std::vector<ChunkEntry>& entries);

// For tests that spoil a built document. The directory entry of the first
// chunk with this tag; an entry with offset 0 when there is none.
ChunkEntry FindChunkEntry(std::string_view document, const char (&tag)[kChunkTagSize + 1]);
// Points page (counted from 1) of a document with a plain page table at
// contentOffset.
void SetPageContentOffset(std::string& document, uint16_t page, uint32_t contentOffset);

// A compressed block (header and implode stream) holding data.
std::string CompressBlock(std::string_view data);

bool WriteFileBytes(const std::string& path, std::string_view bytes);
std::string ReadFileBytes(const std::string& path);

}  // namespace exqrv::build
