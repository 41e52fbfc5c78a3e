// Loads annotation stores the way the conversion job does: a document file on
// disk, opened for reading, and a reserved "EXT" name in the temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "annotations/annotation_set.h"
#include "platform/file.h"

namespace exqrv::testing {

// One chunk directory entry. With data, the data is placed after the
// directory and offset/length point at it; without, offset/length are written
// as given.
struct ChunkRecipe {
  std::string tag;  // four characters
  std::string data;
  uint32_t compressed = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
  bool raw = false;
};

// "Qlrd", a directory of the chunks (announcing chunkCount entries when it is
// given), then the chunks' data.
std::string Container(const std::vector<ChunkRecipe>& chunks, int chunkCount = -1);

// A chunk holding data (compressed when asked: data is then a block).
ChunkRecipe Chunk(std::string tag, std::string data, uint32_t compressed = 0);
// An entry with the given fields and nothing placed.
ChunkRecipe RawEntry(std::string tag, uint32_t offset, uint32_t length);

bool FileExists(const std::string& path);

class AnnotationStoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the document and opens it for reading as document_.
  void OpenDocument(const std::string& documentBytes);
  // OpenDocument, then loads it into set_.
  AnnotationLoadResult LoadDocument(const std::string& documentBytes);
  // A document whose only chunk is the plain store.
  AnnotationLoadResult LoadStore(const std::string& store);

  std::string documentPath_;
  std::string uniqueName_;
  platform::File document_;
  AnnotationSet set_;
};

}  // namespace exqrv::testing
