// Builds annotation stores ("indx" chunk contents) for documents and tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace exqrv::build {

struct NoteRecipe {
  uint16_t page = 0;  // as stored: any 16-bit value
  std::string text1;
  std::string text2;
};

// A store with one "NOTE  " section holding the notes (an empty store, with
// kindCount 0, when there are none).
std::string BuildAnnotationStore(const std::vector<NoteRecipe>& notes);

// The fields of one record as they lie on disk, in the order they are added.
class RecordBytes {
 public:
  RecordBytes& U16(uint16_t value);
  RecordBytes& U32(uint32_t value);
  RecordBytes& Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
  // A 16-bit count and the bytes (which may hold NULs).
  RecordBytes& Text(std::string_view text);
  // A text whose count is given explicitly; bytes are written as given.
  RecordBytes& TextWithCount(uint16_t count, std::string_view bytes);
  // The 28-byte placement block whose 16-bit values are first, first+1, ...
  // in disk order (short1, quad1, short2, short3, quad2, short4) and whose
  // closing 32-bit value is long1.
  RecordBytes& Placement(uint16_t first, uint32_t long1);
  // The 32 reserved bytes that close a record, all set to fill.
  RecordBytes& Reserved(uint8_t fill = 0);
  RecordBytes& Bytes(std::string_view bytes);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A complete "NOTE  " record: texts, page, the rest zero, reserved bytes.
std::string NoteRecordBytes(const NoteRecipe& note);

// A store laid out as header, kind directory, then the sections in the order
// they were added. Kind entries may point at an added section or anywhere.
class StoreBuilder {
 public:
  // Adds a section (8 reserved bytes, the count, the records) and returns its
  // number for Kind().
  size_t Section(uint16_t recordCount, std::string_view records);
  // A kind directory entry; tag is padded with spaces to six characters (or
  // cut), so any tag can be written.
  StoreBuilder& Kind(std::string_view tag, size_t section);
  StoreBuilder& KindAt(std::string_view tag, uint32_t sectionOffset);
  // Announces a kindCount other than the number of entries.
  StoreBuilder& KindCount(uint16_t count);
  // Appended after the sections.
  StoreBuilder& Tail(std::string_view bytes);

  std::string Build() const;
  // Where section number section lands in the built store.
  uint32_t SectionOffset(size_t section) const;

 private:
  struct KindEntry {
    std::string tag;
    bool bySection = false;
    size_t section = 0;
    uint32_t offset = 0;
  };

  std::vector<std::string> sections_;
  std::vector<KindEntry> kinds_;
  bool countGiven_ = false;
  uint16_t kindCount_ = 0;
  std::string tail_;
};

}  // namespace exqrv::build
