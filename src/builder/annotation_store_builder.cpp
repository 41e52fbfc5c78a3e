#include "builder/annotation_store_builder.h"

#include "container/annotation_store.h"
#include "platform/little_endian.h"

namespace exqrv::build {
namespace {

constexpr uint16_t kPlacementShorts = 12;  // short1, quad1, short2, short3, quad2, short4

}  // namespace

RecordBytes& RecordBytes::U16(uint16_t value) {
  AppendLe16(bytes_, value);
  return *this;
}

RecordBytes& RecordBytes::U32(uint32_t value) {
  AppendLe32(bytes_, value);
  return *this;
}

RecordBytes& RecordBytes::Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  return U16(a).U16(b).U16(c).U16(d);
}

RecordBytes& RecordBytes::Text(std::string_view text) {
  return TextWithCount(static_cast<uint16_t>(text.size()), text);
}

RecordBytes& RecordBytes::TextWithCount(uint16_t count, std::string_view bytes) {
  return U16(count).Bytes(bytes);
}

RecordBytes& RecordBytes::Placement(uint16_t first, uint32_t long1) {
  for (uint16_t i = 0; i < kPlacementShorts; ++i) U16(static_cast<uint16_t>(first + i));
  return U32(long1);
}

RecordBytes& RecordBytes::Reserved(uint8_t fill) {
  bytes_.append(kRecordReservedSize, static_cast<char>(fill));
  return *this;
}

RecordBytes& RecordBytes::Bytes(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}

std::string NoteRecordBytes(const NoteRecipe& note) {
  return RecordBytes()
      .Text(note.text1)
      .Text(note.text2)
      .U16(note.page)
      .Quad(0, 0, 0, 0)
      .U16(0)
      .U16(0)
      .U16(0)
      .Reserved()
      .bytes();
}

std::string BuildAnnotationStore(const std::vector<NoteRecipe>& notes) {
  StoreBuilder store;
  if (!notes.empty()) {
    std::string records;
    for (const NoteRecipe& note : notes) records += NoteRecordBytes(note);
    store.Kind(kKindTags[0], store.Section(static_cast<uint16_t>(notes.size()), records));
  }
  return store.Build();
}

size_t StoreBuilder::Section(uint16_t recordCount, std::string_view records) {
  std::string section(kSectionHeaderSize, '\0');
  WriteLe16(section.data() + kRecordCountOffset, recordCount);
  section.append(records);
  sections_.push_back(std::move(section));
  return sections_.size() - 1;
}

StoreBuilder& StoreBuilder::Kind(std::string_view tag, size_t section) {
  kinds_.push_back({std::string(tag), true, section, 0});
  return *this;
}

StoreBuilder& StoreBuilder::KindAt(std::string_view tag, uint32_t sectionOffset) {
  kinds_.push_back({std::string(tag), false, 0, sectionOffset});
  return *this;
}

StoreBuilder& StoreBuilder::KindCount(uint16_t count) {
  countGiven_ = true;
  kindCount_ = count;
  return *this;
}

StoreBuilder& StoreBuilder::Tail(std::string_view bytes) {
  tail_.append(bytes);
  return *this;
}

uint32_t StoreBuilder::SectionOffset(size_t section) const {
  size_t offset = kStoreHeaderSize + kKindEntrySize * kinds_.size();
  for (size_t i = 0; i < section && i < sections_.size(); ++i) offset += sections_[i].size();
  return static_cast<uint32_t>(offset);
}

std::string StoreBuilder::Build() const {
  std::string store(kStoreHeaderSize, '\0');
  WriteLe16(store.data() + kKindCountOffset,
            countGiven_ ? kindCount_ : static_cast<uint16_t>(kinds_.size()));
  for (const KindEntry& kind : kinds_) {
    std::string tag = kind.tag.substr(0, kKindTagSize);
    tag.resize(kKindTagSize, ' ');
    std::string entry(kKindEntrySize, '\0');
    entry.replace(0, kKindTagSize, tag);
    WriteLe32(entry.data() + kSectionOffsetInEntry,
              kind.bySection ? SectionOffset(kind.section) : kind.offset);
    store += entry;
  }
  for (const std::string& section : sections_) store += section;
  return store + tail_;
}

}  // namespace exqrv::build
