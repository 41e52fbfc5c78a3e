// CompressedBlock: moves one block between two open files, feeding the codec
// through its two callbacks and keeping the CRC-32 of the uncompressed bytes.
#include "codec/compressed_block.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "codec/explode.h"
#include "codec/implode.h"
#include "platform/little_endian.h"
#include "platform/prompter.h"

namespace exqrv::codec {
namespace {

constexpr uint32_t kCrcStart = 0xFFFFFFFFu;
constexpr size_t kReservedOffset = 8;
constexpr size_t kUncompressedLengthOffset = 12;
constexpr size_t kCompressedLengthOffset = 16;
constexpr size_t kCrcOffset = 20;
static_assert(kCrcOffset + 4 == kBlockHeaderSize);
constexpr int32_t kSmallBlockLimit = 4096;  // up to this many bytes, the small dictionary
constexpr uint32_t kSmallDictionary = 1024;
constexpr uint32_t kLargeDictionary = 4096;
constexpr size_t kMessageBufferSize = 256;  // the message text is cut to fit, terminator included
constexpr uint64_t kLargestOffset = 0xFFFFFFFFu;  // document offsets are 32-bit

// The progress callback of the operation running on this thread.
thread_local ProgressCallback gProgress = nullptr;

void ReportProgress(uint32_t done, uint32_t total) {
  if (gProgress == nullptr || total == 0) return;
  const double percent = static_cast<double>(done) / static_cast<double>(total) * 100.0;
  const double clamped =
      std::min(percent, static_cast<double>(std::numeric_limits<int32_t>::max()));
  gProgress(static_cast<int32_t>(clamped));
}

}  // namespace

BlockHeader BlockHeader::Parse(const uint8_t* bytes) {
  BlockHeader header;
  std::memcpy(header.magic.data(), bytes, header.magic.size());
  header.reserved = ReadLe32(bytes + kReservedOffset);
  header.uncompressedLength = ReadLe32(bytes + kUncompressedLengthOffset);
  header.compressedLength = ReadLe32(bytes + kCompressedLengthOffset);
  header.crc = ReadLe32(bytes + kCrcOffset);
  return header;
}

BlockHeader BlockHeader::For(uint32_t uncompressedLength, uint32_t compressedLength, uint32_t crc) {
  BlockHeader header;
  std::memcpy(header.magic.data(), kBlockMagic, sizeof kBlockMagic);
  header.uncompressedLength = uncompressedLength;
  header.compressedLength = compressedLength;
  header.crc = crc;
  return header;
}

void BlockHeader::Serialize(uint8_t* bytes) const {
  std::memcpy(bytes, magic.data(), magic.size());
  WriteLe32(bytes + kReservedOffset, reserved);
  WriteLe32(bytes + kUncompressedLengthOffset, uncompressedLength);
  WriteLe32(bytes + kCompressedLengthOffset, compressedLength);
  WriteLe32(bytes + kCrcOffset, crc);
}

bool BlockHeader::HasMagic() const {
  return std::memcmp(magic.data(), kBlockMagic, sizeof kBlockMagic) == 0;
}

struct CompressedBlock::State {
  platform::ByteSource* source = nullptr;
  platform::ByteSink* destination = nullptr;
  BlockMode mode = BlockMode::Compress;
  uint32_t runningCrc = kCrcStart;
  uint32_t inputLimit = 0;
  uint32_t outputTotal = 0;
  uint32_t bytesRead = 0;
  uint32_t bytesWritten = 0;
  bool writeFailed = false;
  // Expanding would have carried the destination past 4 GiB or the budget.
  bool outputRefused = false;
  ExpansionBudget* budget = nullptr;
  uint32_t destinationOffset = 0;
  std::unique_ptr<ExplodeWork> explodeWork;
  std::unique_ptr<ImplodeWork> implodeWork;
  uint32_t literalCoding = Binary;
  uint32_t dictionarySize = 0;
  BlockHeader header;

  void Begin(platform::ByteSource& from, platform::ByteSink& to, uint32_t toOffset,
             BlockMode newMode);
  void End();
  BlockResult Expand();
  bool CompressStream(int32_t length);
  BlockResult CompressInto(platform::File& to, int32_t length);
  BlockResult FinishCompress();
  bool WriteHeader();
  void ReportWriteFailure();
  // No further input once a write failed: the codec winds down.
  bool WindingDown() const { return writeFailed || outputRefused; }
  bool MayExpand(uint32_t count);

  static uint32_t ReadPiece(uint8_t* buffer, uint32_t requested, void* context);
  static void WritePiece(const uint8_t* buffer, uint32_t count, void* context);
};

CompressedBlock::CompressedBlock() : state_(std::make_unique<State>()) {}
CompressedBlock::~CompressedBlock() = default;

uint32_t CompressedBlock::crc() const { return state_->runningCrc; }

bool CompressedBlock::CrcMatchesHeader() const { return state_->runningCrc == state_->header.crc; }

void CompressedBlock::SetBudget(ExpansionBudget* budget) { state_->budget = budget; }

BlockResult CompressedBlock::Run(platform::File& source, uint32_t sourceOffset, int32_t length,
                                 platform::File& destination, uint32_t destinationOffset,
                                 BlockMode mode, ProgressCallback progress) {
  gProgress = progress;
  State& state = *state_;
  state.Begin(source, destination, destinationOffset, mode);
  source.Seek(sourceOffset, platform::SeekOrigin::Begin);
  destination.Seek(destinationOffset, platform::SeekOrigin::Begin);
  BlockResult result = BlockResult::DataError;  // a mode that is neither
  if (mode == BlockMode::Expand) result = state.Expand();
  else if (mode == BlockMode::Compress) result = state.CompressInto(destination, length);
  state.End();
  return result;
}

BlockResult CompressedBlock::Expand(platform::ByteSource& source, platform::ByteSink& destination,
                                    ProgressCallback progress) {
  gProgress = progress;
  State& state = *state_;
  state.Begin(source, destination, 0, BlockMode::Expand);
  const BlockResult result = state.Expand();
  state.End();
  return result;
}

BlockResult CompressedBlock::Compress(platform::ByteSource& source, uint32_t length,
                                      platform::MemorySink& destination,
                                      ProgressCallback progress) {
  gProgress = progress;
  State& state = *state_;
  state.Begin(source, destination, 0, BlockMode::Compress);
  const size_t start = destination.bytes().size();
  BlockResult result = BlockResult::OutOfMemory;
  if (state.CompressStream(static_cast<int32_t>(length))) {
    // Memory is patched where it lies: no seeking back as in a file.
    std::string& bytes = destination.bytes();
    if (!destination.WriteFailed() && bytes.size() >= start + kBlockHeaderSize) {
      state.header.compressedLength =
          static_cast<uint32_t>(bytes.size() - start - kBlockHeaderSize);
      state.header.Serialize(reinterpret_cast<uint8_t*>(bytes.data() + start));
    }
    result = state.FinishCompress();
  }
  state.End();
  return result;
}

void CompressedBlock::State::Begin(platform::ByteSource& from, platform::ByteSink& to,
                                   uint32_t toOffset, BlockMode newMode) {
  mode = newMode;
  runningCrc = kCrcStart;
  bytesRead = 0;
  bytesWritten = 0;
  writeFailed = false;
  outputRefused = false;
  source = &from;
  destination = &to;
  destinationOffset = toOffset;
}

void CompressedBlock::State::End() {
  source = nullptr;
  destination = nullptr;
}

BlockResult CompressedBlock::State::Expand() {
  // Kept for the block's life: a document expands page after page through
  // one block, and a fresh 64 KiB each time costs the allocator a trip to
  // the kernel per page.
  if (!explodeWork) explodeWork.reset(new (std::nothrow) ExplodeWork);
  if (!explodeWork) return BlockResult::OutOfMemory;
  // The header is read outside the callbacks: it is neither counted nor
  // checksummed. A source that ends inside it has no valid magic.
  uint8_t bytes[kBlockHeaderSize];
  if (source->Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) return BlockResult::BadMagic;
  header = BlockHeader::Parse(bytes);
  if (!header.HasMagic()) return BlockResult::BadMagic;
  inputLimit = header.compressedLength;
  outputTotal = header.uncompressedLength;
  BlockResult result = codec::Explode(ReadPiece, WritePiece, *explodeWork, this);
  runningCrc = ~runningCrc;
  // Pending output is flushed here so that a full device is reported by the
  // operation that filled it. A destination that lost bytes holds no block.
  if (!writeFailed && !destination->Flush()) ReportWriteFailure();
  if (outputRefused || writeFailed) result = BlockResult::DataError;
  return result;
}

// The placeholder header and the stream; afterwards the header holds the
// CRC-32, and only the compressed length is left to fill in. False when no
// work memory could be had.
bool CompressedBlock::State::CompressStream(int32_t length) {
  implodeWork.reset(new (std::nothrow) ImplodeWork);
  if (!implodeWork) return false;
  const auto rawLength = static_cast<uint32_t>(length);
  header = BlockHeader::For(rawLength, 0, kCrcStart);
  inputLimit = rawLength;
  outputTotal = 0;
  WriteHeader();  // a placeholder until the lengths and the CRC are known

  literalCoding = Binary;
  dictionarySize = length <= kSmallBlockLimit ? kSmallDictionary : kLargeDictionary;
  codec::Implode(ReadPiece, WritePiece, *implodeWork, this, literalCoding, dictionarySize);
  runningCrc = ~runningCrc;
  header.crc = runningCrc;
  return true;
}

// A file's header is completed by going back to it, then the file stands
// just past the block again.
BlockResult CompressedBlock::State::CompressInto(platform::File& to, int32_t length) {
  if (!CompressStream(length)) return BlockResult::OutOfMemory;
  const int64_t end = to.Position();
  header.compressedLength = static_cast<uint32_t>(end - destinationOffset - kBlockHeaderSize);
  to.Seek(destinationOffset, platform::SeekOrigin::Begin);
  WriteHeader();
  to.Seek(end, platform::SeekOrigin::Begin);
  return FinishCompress();
}

BlockResult CompressedBlock::State::FinishCompress() {
  if (!writeFailed && !destination->Flush()) ReportWriteFailure();
  implodeWork.reset();
  return writeFailed ? BlockResult::DataError : BlockResult::Ok;
}

bool CompressedBlock::State::WriteHeader() {
  if (writeFailed) return false;
  uint8_t bytes[kBlockHeaderSize];
  header.Serialize(bytes);
  if (destination->Write(bytes, kBlockHeaderSize)) return true;
  ReportWriteFailure();
  return false;
}

void CompressedBlock::State::ReportWriteFailure() {
  writeFailed = true;
  const std::string& text = destination->ErrorText();
  const std::string shown = text.substr(0, kMessageBufferSize - 1);
  platform::CurrentPrompter().Show(shown, platform::Buttons::Ok, platform::Icon::Exclamation);
}

uint32_t CompressedBlock::State::ReadPiece(uint8_t* buffer, uint32_t requested, void* context) {
  State& state = *static_cast<State*>(context);
  if (state.WindingDown()) return 0;
  const uint32_t remaining = state.inputLimit - state.bytesRead;
  if (remaining == 0) return 0;
  const uint32_t got = state.source->Read(buffer, std::min(requested, remaining));
  state.bytesRead += got;
  if (state.mode == BlockMode::Compress) {
    state.runningCrc = Crc32Update(buffer, got, state.runningCrc);
    ReportProgress(state.bytesRead, state.inputLimit);
  }
  return got;
}

void CompressedBlock::State::WritePiece(const uint8_t* buffer, uint32_t count, void* context) {
  State& state = *static_cast<State*>(context);
  if (state.WindingDown()) return;
  if (state.mode == BlockMode::Expand && !state.MayExpand(count)) {
    state.outputRefused = true;
    return;
  }
  if (!state.destination->Write(buffer, count)) state.ReportWriteFailure();
  state.bytesWritten += count;
  if (state.mode == BlockMode::Expand) {
    state.runningCrc = Crc32Update(buffer, count, state.runningCrc);
    ReportProgress(state.bytesWritten, state.outputTotal);
  }
}

// Room for count more expanded bytes, in the 32-bit offsets of a document and
// in the budget; a refusal marks the budget, whichever limit it was.
bool CompressedBlock::State::MayExpand(uint32_t count) {
  if (uint64_t{destinationOffset} + bytesWritten + count > kLargestOffset) {
    if (budget != nullptr) budget->MarkExceeded();
    return false;
  }
  return budget == nullptr || budget->Take(count);
}

}  // namespace exqrv::codec
