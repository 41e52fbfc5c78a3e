#include "store_fixture.h"

#include "builder/document_builder.h"
#include "platform/platform.h"

namespace exqrv::testing {
namespace {

std::string ReserveName(const char* prefix) {
  platform::Platform& system = platform::CurrentPlatform();
  const std::string name = system.UniqueTempName(system.TempDirectory(), prefix, 0);
  system.DeleteFile(name);
  return name;
}

}  // namespace

std::string Container(const std::vector<ChunkSpec>& chunks, int chunkCount) {
  const uint16_t announced =
      static_cast<uint16_t>(chunkCount >= 0 ? chunkCount : static_cast<int>(chunks.size()));
  std::vector<ChunkEntry> entries;
  std::string body;
  uint32_t at = kDocumentHeaderSize + kDirectoryEntrySize * static_cast<uint32_t>(chunks.size());
  for (const ChunkSpec& chunk : chunks) {
    if (chunk.raw) {
      entries.push_back(ChunkEntry::Make(chunk.tag, chunk.compressed, chunk.offset, chunk.length));
      continue;
    }
    const uint32_t length = static_cast<uint32_t>(chunk.data.size());
    entries.push_back(ChunkEntry::Make(chunk.tag, chunk.compressed, at, length));
    body += chunk.data;
    at += length;
  }
  return build::ContainerHead(DocumentHeader::For(announced), entries) + body;
}

ChunkSpec Chunk(std::string tag, std::string data, uint32_t compressed) {
  return {std::move(tag), std::move(data), compressed, 0, 0, false};
}

ChunkSpec RawEntry(std::string tag, uint32_t offset, uint32_t length) {
  return {std::move(tag), {}, 0, offset, length, true};
}

bool FileExists(const std::string& path) {
  return platform::CurrentPlatform().StatusOf(path).has_value();
}

void AnnotationStoreTest::SetUp() {
  documentPath_ = ReserveName("qrv");
  uniqueName_ = ReserveName("EXT");
  ASSERT_FALSE(documentPath_.empty());
  ASSERT_FALSE(uniqueName_.empty());
}

void AnnotationStoreTest::TearDown() {
  set_.Reset();
  document_.Close();
  platform::CurrentPlatform().DeleteFile(documentPath_);
}

void AnnotationStoreTest::OpenDocument(const std::string& documentBytes) {
  platform::File out;
  EXPECT_TRUE(out.Open(documentPath_, platform::OpenMode::Write));
  EXPECT_TRUE(out.Write(documentBytes.data(), static_cast<uint32_t>(documentBytes.size())));
  EXPECT_TRUE(out.Close());
  EXPECT_TRUE(document_.Open(documentPath_, platform::OpenMode::Read));
}

AnnotationLoadResult AnnotationStoreTest::LoadDocument(const std::string& documentBytes) {
  OpenDocument(documentBytes);
  return set_.Load(document_, uniqueName_);
}

AnnotationLoadResult AnnotationStoreTest::LoadStore(const std::string& store) {
  return LoadDocument(Container({Chunk("indx", store)}));
}

}  // namespace exqrv::testing
