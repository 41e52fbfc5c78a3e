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
constexpr int32_t kSmallBlockLimit = 4096;  // up to this many bytes, the small dictionary
constexpr uint32_t kSmallDictionary = 1024;
constexpr uint32_t kLargeDictionary = 4096;
constexpr size_t kMessageBufferSize = 256;  // the message text is cut to fit, terminator included
constexpr uint64_t kLargestOffset = 0xFFFFFFFFu;  // document offsets are 32-bit

// The progress callback of the operation running on this thread.
thread_local ProgressCallback g_progress = nullptr;

void ReportProgress(uint32_t done, uint32_t total) {
  if (g_progress == nullptr || total == 0) return;
  const double percent = static_cast<double>(done) / static_cast<double>(total) * 100.0;
  const double clamped = std::min(percent, static_cast<double>(std::numeric_limits<int32_t>::max()));
  g_progress(static_cast<int32_t>(clamped));
}

}  // namespace

struct CompressedBlock::State {
  platform::File* source = nullptr;
  platform::File* destination = nullptr;
  BlockMode mode = BlockMode::Compress;
  uint32_t runningCrc = kCrcStart;
  uint32_t inputLimit = 0;
  uint32_t outputTotal = 0;
  uint32_t bytesRead = 0;
  uint32_t bytesWritten = 0;
  bool writeFailed = false;
  bool pastLargestOffset = false;  // expanding would have carried the destination past 4 GiB
  uint32_t destinationOffset = 0;
  std::unique_ptr<ExplodeWork> explodeWork;
  std::unique_ptr<ImplodeWork> implodeWork;
  uint32_t literalCoding = Binary;
  uint32_t dictionarySize = 0;
  uint8_t header[kBlockHeaderSize] = {};

  void Begin(platform::File& from, platform::File& to, uint32_t toOffset, BlockMode newMode);
  BlockResult Expand();
  BlockResult Compress(int32_t length);
  bool WriteHeader();
  void ReportWriteFailure();
  // No further input once a write failed: the codec winds down.
  bool WindingDown() const { return writeFailed || pastLargestOffset; }

  static uint32_t ReadPiece(uint8_t* buffer, uint32_t requested, void* context);
  static void WritePiece(const uint8_t* buffer, uint32_t count, void* context);
};

CompressedBlock::CompressedBlock() : state_(std::make_unique<State>()) {}
CompressedBlock::~CompressedBlock() = default;

uint32_t CompressedBlock::crc() const { return state_->runningCrc; }

BlockResult CompressedBlock::Run(platform::File& source, uint32_t sourceOffset, int32_t length,
                                 platform::File& destination, uint32_t destinationOffset,
                                 BlockMode mode, ProgressCallback progress) {
  g_progress = progress;
  State& state = *state_;
  state.Begin(source, destination, destinationOffset, mode);
  source.Seek(sourceOffset, platform::SeekOrigin::Begin);
  destination.Seek(destinationOffset, platform::SeekOrigin::Begin);
  BlockResult result = BlockResult::DataError;  // a mode that is neither
  if (mode == BlockMode::Expand) result = state.Expand();
  else if (mode == BlockMode::Compress) result = state.Compress(length);
  state.source = nullptr;
  state.destination = nullptr;
  return result;
}

void CompressedBlock::State::Begin(platform::File& from, platform::File& to, uint32_t toOffset,
                                   BlockMode newMode) {
  mode = newMode;
  runningCrc = kCrcStart;
  bytesRead = 0;
  bytesWritten = 0;
  writeFailed = false;
  pastLargestOffset = false;
  source = &from;
  destination = &to;
  destinationOffset = toOffset;
}

BlockResult CompressedBlock::State::Expand() {
  explodeWork.reset(new (std::nothrow) ExplodeWork);
  if (!explodeWork) return BlockResult::OutOfMemory;
  // The header is read outside the callbacks: it is neither counted nor
  // checksummed. A source that ends inside it has no valid magic.
  const uint32_t got = source->Read(header, kBlockHeaderSize);
  if (got < kBlockHeaderSize || std::memcmp(header, kBlockMagic, sizeof kBlockMagic) != 0) {
    return BlockResult::BadMagic;
  }
  inputLimit = ReadLe32(header + kCompressedLengthOffset);
  outputTotal = ReadLe32(header + kUncompressedLengthOffset);
  BlockResult result = codec::Explode(ReadPiece, WritePiece, *explodeWork, this);
  runningCrc = ~runningCrc;
  explodeWork.reset();
  // Pending output is flushed here so that a full device is reported by the
  // operation that filled it. A destination that lost bytes holds no block.
  if (!writeFailed && !destination->Flush()) ReportWriteFailure();
  if (pastLargestOffset || writeFailed) result = BlockResult::DataError;
  return result;
}

BlockResult CompressedBlock::State::Compress(int32_t length) {
  implodeWork.reset(new (std::nothrow) ImplodeWork);
  if (!implodeWork) return BlockResult::OutOfMemory;
  const auto rawLength = static_cast<uint32_t>(length);
  std::memcpy(header, kBlockMagic, sizeof kBlockMagic);
  WriteLe32(header + kReservedOffset, 0);
  WriteLe32(header + kUncompressedLengthOffset, rawLength);
  WriteLe32(header + kCompressedLengthOffset, 0);
  WriteLe32(header + kCrcOffset, kCrcStart);
  inputLimit = rawLength;
  outputTotal = 0;
  WriteHeader();  // a placeholder until the lengths and the CRC are known

  literalCoding = Binary;
  dictionarySize = length <= kSmallBlockLimit ? kSmallDictionary : kLargeDictionary;
  codec::Implode(ReadPiece, WritePiece, *implodeWork, this, literalCoding, dictionarySize);

  const int64_t end = destination->Position();
  runningCrc = ~runningCrc;
  WriteLe32(header + kCompressedLengthOffset,
            static_cast<uint32_t>(end - destinationOffset - kBlockHeaderSize));
  WriteLe32(header + kCrcOffset, runningCrc);
  destination->Seek(destinationOffset, platform::SeekOrigin::Begin);
  WriteHeader();
  destination->Seek(end, platform::SeekOrigin::Begin);
  if (!writeFailed && !destination->Flush()) ReportWriteFailure();
  implodeWork.reset();
  return writeFailed ? BlockResult::DataError : BlockResult::Ok;
}

bool CompressedBlock::State::WriteHeader() {
  if (writeFailed) return false;
  if (destination->Write(header, kBlockHeaderSize)) return true;
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
  if (state.mode == BlockMode::Expand &&
      uint64_t{state.destinationOffset} + state.bytesWritten + count > kLargestOffset) {
    state.pastLargestOffset = true;
    return;
  }
  if (!state.destination->Write(buffer, count)) state.ReportWriteFailure();
  state.bytesWritten += count;
  if (state.mode == BlockMode::Expand) {
    state.runningCrc = Crc32Update(buffer, count, state.runningCrc);
    ReportProgress(state.bytesWritten, state.outputTotal);
  }
}

}  // namespace exqrv::codec
