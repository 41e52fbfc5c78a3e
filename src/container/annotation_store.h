// The annotation store's layout (the content of the "indx" chunk), shared by
// its reader in src/annotations and its writer in src/builder. All integers
// are little-endian; offsets count from the start of the store.
//
//   header       26 bytes: 6 reserved, kindCount (16 bits), 18 reserved
//   kind entries 14 bytes each, kindCount of them: tag (6 characters, padded
//                with spaces), sectionOffset (32 bits), 4 reserved
//   sections     anywhere in the store: 8 reserved bytes, the record count
//                (16 bits), then the records, each closed by 32 reserved bytes
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace exqrv {

inline constexpr uint32_t kStoreHeaderSize = 26;
inline constexpr uint32_t kKindCountOffset = 6;

inline constexpr uint32_t kKindEntrySize = 14;
inline constexpr size_t kKindTagSize = 6;
inline constexpr uint32_t kSectionOffsetInEntry = 6;

inline constexpr uint32_t kRecordCountOffset = 8;  // after the section's reserved bytes
inline constexpr uint32_t kSectionHeaderSize = 10;
inline constexpr uint32_t kRecordReservedSize = 32;

// The six kinds' tags, in the order qrvtool reports them.
inline constexpr size_t kKindCount = 6;
inline constexpr std::array<std::string_view, kKindCount> kKindTags = {
    "NOTE  ", "INDXE ", "HTEXT ", "HLINK ", "HLIGT ", "BMARK "};
static_assert(kKindTags[0].size() == kKindTagSize);

}  // namespace exqrv
