#include "annotations/records.h"

#include <cstring>
#include <vector>

#include "platform/file.h"
#include "platform/little_endian.h"

namespace exqrv {
namespace {

// One read of exactly each field's width; whatever the file does not deliver
// stays zero.
class FieldReader {
 public:
  FieldReader(platform::File& file, TextScratch& scratch) : file_(file), scratch_(scratch) {}

  uint16_t U16() {
    uint8_t bytes[2] = {};
    file_.Read(bytes, sizeof bytes);
    return ReadLe16(bytes);
  }

  uint32_t U32() {
    uint8_t bytes[4] = {};
    file_.Read(bytes, sizeof bytes);
    return ReadLe32(bytes);
  }

  Quad ReadQuad() {
    Quad quad{};
    for (uint32_t& value : quad) value = U16();
    return quad;
  }

  // The string ends at the first NUL of the bytes read, or after them.
  std::string Text() {
    const uint16_t count = U16();
    if (count == 0) return {};  // the scratch may hold no buffer yet
    if (scratch_.size() < count) scratch_.resize(count);
    const uint32_t got = file_.Read(scratch_.data(), count);
    return std::string(scratch_.data(), strnlen(scratch_.data(), got));
  }

  Placement ReadPlacement() {
    Placement placement;
    placement.short1 = U16();
    placement.quad1 = ReadQuad();
    placement.short2 = U16();
    placement.short3 = U16();
    placement.quad2 = ReadQuad();
    placement.short4 = U16();
    placement.long1 = U32();
    return placement;
  }

  void SkipReserved() { file_.Seek(kRecordReservedSize, platform::SeekOrigin::Current); }

 private:
  platform::File& file_;
  TextScratch& scratch_;
};

}  // namespace

void ReadRecord(platform::File& file, NoteRecord& record, TextScratch& scratch) {
  FieldReader in(file, scratch);
  record.text1 = in.Text();
  record.text2 = in.Text();
  record.page = static_cast<int16_t>(in.U16());
  record.quad1 = in.ReadQuad();
  record.long1 = in.U16();
  record.long2 = in.U16();
  record.short1 = in.U16();
  in.SkipReserved();
}

void ReadRecord(platform::File& file, IndxeRecord& record, TextScratch& scratch) {
  FieldReader in(file, scratch);
  record.text = in.Text();
  record.short1 = in.U16();
  record.short2 = in.U16();
  record.short3 = in.U16();
  record.long1 = in.U16();
  record.long2 = in.U16();
  in.SkipReserved();
}

void ReadRecord(platform::File& file, HtextRecord& record, TextScratch& scratch) {
  FieldReader in(file, scratch);
  record.text = in.Text();
  record.placement = in.ReadPlacement();
  record.short5 = in.U16();
  record.quad3 = in.ReadQuad();
  in.SkipReserved();
}

void ReadRecord(platform::File& file, HlinkRecord& record, TextScratch& scratch) {
  FieldReader in(file, scratch);
  record.text1 = in.Text();
  record.placement = in.ReadPlacement();
  record.text2 = in.Text();
  in.SkipReserved();
}

void ReadRecord(platform::File& file, HligtRecord& record, TextScratch& scratch) {
  FieldReader in(file, scratch);
  record.placement = in.ReadPlacement();
  in.SkipReserved();
}

void ReadRecord(platform::File& file, BmarkRecord& record, TextScratch& scratch) {
  FieldReader in(file, scratch);
  record.text1 = in.Text();
  record.text2 = in.Text();
  record.placement = in.ReadPlacement();
  in.SkipReserved();
}

}  // namespace exqrv
