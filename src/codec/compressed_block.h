// A compressed block: a 24-byte header followed by an implode stream.
// CompressedBlock moves one block between two open files, or between a
// source and a sink of bytes (memory, nothing at all).
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "codec/codec.h"
#include "codec/expansion_budget.h"
#include "platform/byte_stream.h"
#include "platform/file.h"

namespace exqrv::codec {

inline constexpr char kBlockMagic[8] = {'Q', 'v', 'o', 'r', 'P', 'K', 'C', 'P'};
inline constexpr uint32_t kBlockHeaderSize = 24;

// The header: magic[8], then four 32-bit fields. The lengths count the
// uncompressed data and the stream after the header; the CRC-32 is the
// complemented one of the uncompressed data.
struct BlockHeader {
  std::array<char, sizeof kBlockMagic> magic{};
  uint32_t reserved = 0;
  uint32_t uncompressedLength = 0;
  uint32_t compressedLength = 0;
  uint32_t crc = 0;

  static BlockHeader Parse(const uint8_t* bytes);
  // A header with the block magic.
  static BlockHeader For(uint32_t uncompressedLength, uint32_t compressedLength, uint32_t crc);
  void Serialize(uint8_t* bytes) const;
  bool HasMagic() const;  // all eight bytes compared
};

enum class BlockMode : int32_t { Expand = 0, Compress = 1 };

using ProgressCallback = void (*)(int32_t percent);

class CompressedBlock {
 public:
  CompressedBlock();
  ~CompressedBlock();
  CompressedBlock(const CompressedBlock&) = delete;
  CompressedBlock& operator=(const CompressedBlock&) = delete;

  // Expand: the block whose header starts at sourceOffset is expanded into
  // destination from destinationOffset on (length is not used). Compress:
  // length bytes from sourceOffset become a block at destinationOffset, and
  // destination is left just past it.
  //
  // Expansion never carries the destination past 4 GiB (offsets in a
  // document are 32-bit), nor past the budget when one is set: such a block
  // ends with DataError, and the budget is marked exceeded.
  BlockResult Run(platform::File& source, uint32_t sourceOffset, int32_t length,
                  platform::File& destination, uint32_t destinationOffset, BlockMode mode,
                  ProgressCallback progress);

  // Expand without positions: the block's header is the next thing source
  // delivers, and the expanded bytes go to destination as they come. The
  // same results, limits and write-failure message as Run.
  BlockResult Expand(platform::ByteSource& source, platform::ByteSink& destination,
                     ProgressCallback progress = nullptr);
  // Compress into memory: length bytes of source become a block appended to
  // destination, its header completed in place. Ok, DataError when the
  // destination failed, or OutOfMemory.
  BlockResult Compress(platform::ByteSource& source, uint32_t length,
                       platform::MemorySink& destination, ProgressCallback progress = nullptr);

  // The complemented CRC-32 of the data of the last operation.
  uint32_t crc() const;
  // After an expansion that ended Ok: whether the data has the CRC-32 that
  // the block's header gives.
  bool CrcMatchesHeader() const;

  // Every byte expanded from now on is taken from budget (none: no limit but
  // the 32-bit offset). The budget must outlive the runs.
  void SetBudget(ExpansionBudget* budget);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace exqrv::codec
