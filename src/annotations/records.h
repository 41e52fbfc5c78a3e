// Annotation records: their disk layouts, in-memory forms and owning lists.
//
// On disk every integer is little-endian; a text is a 16-bit byte count and
// that many bytes; a quad is four 16-bit values; 32 reserved bytes close every
// record. In memory a text is cut at its first NUL and every 16-bit value that
// lands in a 32-bit field is zero-extended (65535 stays 65535).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "container/annotation_store.h"

namespace exqrv {

namespace platform {
class File;
}

using Quad = std::array<uint32_t, 4>;

// Shared by the HTEXT, HLINK, HLIGT and BMARK records; 28 bytes on disk.
struct Placement {
  uint16_t short1 = 0;
  Quad quad1{};
  uint16_t short2 = 0;
  uint16_t short3 = 0;
  Quad quad2{};
  uint16_t short4 = 0;
  uint32_t long1 = 0;
};

// "NOTE  ": 52 bytes on disk besides the text bytes.
struct NoteRecord {
  std::string text1;
  std::string text2;
  int16_t page = 0;  // 1-based; stored values 32768 to 65535 are negative
  Quad quad1{};
  uint32_t long1 = 0;
  uint32_t long2 = 0;
  uint16_t index = 0;  // not stored: the record's position in its list
  uint16_t short1 = 0;
};

// "INDXE ": 44 bytes on disk besides the text bytes.
struct IndxeRecord {
  std::string text;
  uint16_t short1 = 0;
  uint16_t short2 = 0;
  uint16_t short3 = 0;
  uint32_t long1 = 0;
  uint32_t long2 = 0;
};

// "HTEXT ": 72 bytes on disk besides the text bytes.
struct HtextRecord {
  std::string text;
  Placement placement;
  uint16_t short5 = 0;
  Quad quad3{};
};

// "HLINK ": 64 bytes on disk besides the text bytes. The second text follows
// the placement, not the first text.
struct HlinkRecord {
  std::string text1;
  Placement placement;
  std::string text2;
};

// "HLIGT ": 60 bytes on disk.
struct HligtRecord {
  Placement placement;
};

// "BMARK ": 64 bytes on disk besides the text bytes.
struct BmarkRecord {
  std::string text1;
  std::string text2;
  Placement placement;
};

// The records of one kind, owned, in store order.
template <typename Record>
class RecordList {
 public:
  RecordList() = default;
  RecordList(const RecordList&) = delete;
  RecordList& operator=(const RecordList&) = delete;

  // Inserts a copy of record at position (the end when position is past it);
  // the records from there on move up by one. Notes keep index == position.
  // A record handed over as an rvalue is moved in: its texts are not copied.
  void InsertCopyAt(size_t position, Record record) {
    if (position > records_.size()) position = records_.size();
    records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(position),
                    std::make_unique<Record>(std::move(record)));
    if constexpr (std::is_same_v<Record, NoteRecord>) RenumberFrom(position);
  }

  void Clear() { records_.clear(); }

  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  const Record& operator[](size_t i) const { return *records_[i]; }
  // Iterates over the owning pointers: (*it)->field.
  auto begin() const { return records_.begin(); }
  auto end() const { return records_.end(); }

 private:
  // Records before position kept their places, so their index is still right;
  // renumbering only from there keeps filling a list in order linear.
  void RenumberFrom(size_t position) {
    for (size_t i = position; i < records_.size(); ++i) {
      records_[i]->index = static_cast<uint16_t>(i);
    }
  }

  std::vector<std::unique_ptr<Record>> records_;
};

// Each reads one record's fields in disk order from the file's position, one
// read per field, then steps over the 32 reserved bytes. Bytes past the end of
// the file read as zero, texts there as empty. A text's stored bytes pass
// through scratch, which a section reuses from record to record, so that each
// text costs one allocation of exactly its kept length.
using TextScratch = std::vector<char>;
void ReadRecord(platform::File& file, NoteRecord& record, TextScratch& scratch);
void ReadRecord(platform::File& file, IndxeRecord& record, TextScratch& scratch);
void ReadRecord(platform::File& file, HtextRecord& record, TextScratch& scratch);
void ReadRecord(platform::File& file, HlinkRecord& record, TextScratch& scratch);
void ReadRecord(platform::File& file, HligtRecord& record, TextScratch& scratch);
void ReadRecord(platform::File& file, BmarkRecord& record, TextScratch& scratch);

}  // namespace exqrv
