// The annotation store read from any bytes: a document whose "indx" chunk is
// the input, stored plain or, when the first byte is odd, as a block whose
// stream is the rest of the input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "annotations/annotation_set.h"
#include "codec/compressed_block.h"
#include "container/container.h"
#include "platform/file.h"
#include "platform/platform.h"

namespace {

std::string DocumentAround(const uint8_t* data, size_t size) {
  const bool compressed = size > 0 && (data[0] & 1);
  std::string store(reinterpret_cast<const char*>(data), size);
  if (compressed) {
    uint8_t header[exqrv::codec::kBlockHeaderSize];
    exqrv::codec::BlockHeader::For(0, static_cast<uint32_t>(size - 1), 0).Serialize(header);
    store = std::string(reinterpret_cast<const char*>(header), sizeof header) + store.substr(1);
  }
  uint8_t head[exqrv::kDocumentHeaderSize + exqrv::kDirectoryEntrySize];
  exqrv::DocumentHeader::For(1).Serialize(head);
  const auto length = static_cast<uint32_t>(store.size());
  exqrv::ChunkEntry::Make("indx", compressed ? 1 : 0, sizeof head, length)
      .Serialize(head + exqrv::kDocumentHeaderSize);
  return std::string(reinterpret_cast<const char*>(head), sizeof head) + store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  exqrv::platform::Platform& system = exqrv::platform::CurrentPlatform();
  static const std::string directory = system.TempDirectory();
  static const std::string documentName = system.UniqueTempName(directory, "fza", 0);
  const std::string bytes = DocumentAround(data, size);
  exqrv::platform::File document;
  if (!document.Open(documentName, exqrv::platform::OpenMode::ReadWrite) ||
      !document.Write(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
    std::abort();
  }
  const std::string uniqueName = system.UniqueTempName(directory, "EXT", 0);
  system.DeleteFile(uniqueName);
  exqrv::AnnotationSet notes;
  notes.Load(document, uniqueName);
  notes.Reset();
  return 0;
}
