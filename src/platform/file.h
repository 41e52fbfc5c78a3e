// The file object every layer reads and writes through.
//
// A File owns one descriptor and one buffer. Documents are read field by field
// and text files are written item by item, so both directions are buffered;
// everybody who works on the same open file goes through the same File object
// (passed by reference where the design speaks of a "handle"), which keeps the
// buffer and the file position coherent. A File is a ByteSink and a
// ByteSource; called as a File, its reads and writes stay inline.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/byte_stream.h"

namespace exqrv::platform {

// A descriptor on POSIX, a HANDLE on Windows.
#ifdef _WIN32
using Handle = void*;
inline Handle const kInvalidHandle = reinterpret_cast<void*>(-1);
#else
using Handle = int;
inline constexpr Handle kInvalidHandle = -1;
#endif

// The process's standard handles, which the program did not open.
Handle StandardInput();
Handle StandardOutput();
Handle StandardError();
// Whether a handle shows on a terminal (on Windows, a console).
bool IsTerminal(Handle handle);
// How many columns the terminal (console window) that handle shows on has;
// 0 when it is not one or does not say.
int TerminalColumns(Handle handle);

enum class OpenMode {
  Read,       // existing file, reading, others may read and write
  ReadWrite,  // create or truncate, reading and writing, others may only read
  Write,      // create or truncate, writing only, not shared
  CreateNew,  // a new file only, writing only, not shared (NameTaken when the name exists)
};

enum class SeekOrigin { Begin, Current, End };

// A full device on demand, for tests: while one is alive, every File write
// on the thread that made it fails once this many more bytes have been
// written. Scopes nest; the innermost one holds.
class WriteFaultScope {
 public:
  explicit WriteFaultScope(int64_t bytes);
  ~WriteFaultScope();
  WriteFaultScope(const WriteFaultScope&) = delete;
  WriteFaultScope& operator=(const WriteFaultScope&) = delete;

 private:
  int64_t previous_;
};

class File final : public ByteSink, public ByteSource {
 public:
  static constexpr size_t kBufferSize = 64 * 1024;
  // A file opened for reading and writing is a working copy: its buffer
  // holds a whole expanded page of any usual size, which is then read back
  // from memory, not from the system.
  static constexpr size_t kReadWriteBufferSize = 128 * 1024;
  // A file only written (a text file, a tool's output) goes to the system in
  // larger pieces: on a virtual machine each call costs as much as copying
  // tens of kilobytes.
  static constexpr size_t kWriteBufferSize = 1024 * 1024;

  File() = default;
  // Wraps an existing descriptor, which is then read and written in
  // sequence at its own offset (no seeking); an owning File closes it.
  File(Handle handle, bool owning);
  ~File() override;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Paths are the system's paths (C:\dir\name, or on POSIX a POSIX path). Opening a
  // directory fails. False when the file cannot be opened; ErrorText says why.
  bool Open(std::string_view path, OpenMode mode);
  // Takes over a handle the caller opened itself as mode describes, owning
  // it from now on.
  void Adopt(Handle handle, OpenMode mode);
  // Flushes pending writes and closes. False when a write failed at any time
  // since the file was opened.
  bool Close();
  // Exchanges everything two File objects hold: handle, buffer, position.
  void Swap(File& other) noexcept;
  bool IsOpen() const override { return handle_ != kInvalidHandle; }
  Handle handle() const { return handle_; }

  // New position from the start of the file, or -1 (position unchanged) when
  // it would be negative or the file is not open. Seeking past the end is fine.
  int64_t Seek(int64_t offset, SeekOrigin origin) {
    // Page commands step over their operands by relative moves.
    if (origin == SeekOrigin::Current && state_ != BufferState::Writing && seekable_ &&
        handle_ != kInvalidHandle && offset >= 0 && position_ <= INT64_MAX - offset) {
      position_ += offset;
      return position_;
    }
    return SeekAnywhere(offset, origin);
  }
  int64_t Position() const { return position_; }
  // Size of the file including data not yet flushed; -1 when not open.
  int64_t Size();

  // Reads up to count bytes at the position; returns the number delivered
  // (fewer at the end of the file, 0 on error or when not open).
  uint32_t Read(void* buffer, uint32_t count) override {
    // Documents are read field by field: a read the buffer can serve costs
    // one copy. An empty read may come with no buffer at all.
    if (count == 0) return 0;
    if (const uint8_t* bytes = ReadInPlace(count)) {
      std::memcpy(buffer, bytes, count);
      return count;
    }
    return ReadThroughBuffer(buffer, count);
  }
  // The next count bytes where they lie in the read buffer, the position
  // moved past them, for a caller that only passes them on; nullptr, with
  // nothing moved, when the buffer does not hold them all. They stay valid
  // until the next call on this File.
  const uint8_t* ReadInPlace(uint32_t count) {
    if (state_ != BufferState::Reading || position_ < bufferStart_ ||
        position_ + count > bufferStart_ + static_cast<int64_t>(bufferLength_)) {
      return nullptr;
    }
    const uint8_t* const bytes = buffer_.get() + (position_ - bufferStart_);
    position_ += count;
    return bytes;
  }
  // Writes count bytes at the position. False when the write failed, now or
  // in an earlier flush; ErrorText holds the system's message.
  bool Write(const void* data, uint32_t count) override {
    // Text is written item by item: appending to the pending bytes is a copy.
    if (state_ == BufferState::Writing && !writeFailed_ &&
        bufferStart_ + static_cast<int64_t>(bufferLength_) == position_ &&
        bufferLength_ + count <= bufferSize_) {
      std::memcpy(buffer_.get() + bufferLength_, data, count);
      bufferLength_ += count;
      position_ += count;
      return true;
    }
    return WriteThroughBuffer(data, count);
  }
  bool Flush() override;
  // Flushes and asks the system to put the file's data on its device.
  bool Sync();
  // Makes a file opened for reading and writing empty again, as its open
  // did: size 0, position 0, nothing pending (pending bytes are dropped).
  // False, the file as it was, for any other file, one a write failed on,
  // or when the system refuses.
  bool Empty();

  bool WriteFailed() const override { return writeFailed_; }
  // After a failed CreateNew: something already had the name.
  bool NameTaken() const { return nameTaken_; }
  const std::string& ErrorText() const override { return errorText_; }

 private:
  enum class BufferState { Empty, Reading, Writing };
  // Why an operation failed, when the system did not say it itself.
  enum class Fault { LastSystemError, NotFound, IsDirectory, NotSeekable, NotOpen, DeviceFull };

  void ForgetErrors();
  void Begin(OpenMode mode);  // settles the buffer for a handle just opened
  int64_t SeekAnywhere(int64_t offset, SeekOrigin origin);
  // Whether offset lies within the bytes waiting to be written, or at their end.
  bool IsInPendingBytes(int64_t offset) const;
  uint32_t ReadThroughBuffer(void* buffer, uint32_t count);
  bool WriteThroughBuffer(const void* data, uint32_t count);
  bool FillBuffer();
  bool WriteThrough(const uint8_t* data, size_t count, int64_t at);
  void AllocateBuffer();

  // The system's part, one implementation per system. The transfers move
  // at the given offset on a seekable file, in sequence otherwise; they
  // return the bytes moved, or -1 with the system's error pending.
  bool OpenHandle(std::string_view path, OpenMode mode);
  void CloseHandle();
  int64_t SystemSize();
  int64_t SystemRead(void* buffer, size_t count, int64_t at);
  int64_t SystemWrite(const void* data, size_t count, int64_t at);
  bool SystemSync();
  bool SystemTruncate();
  void SetError(Fault fault);

  Handle handle_ = kInvalidHandle;
  bool owning_ = false;
  bool seekable_ = true;
  int64_t position_ = 0;
  int64_t writtenEnd_ = 0;             // the end of the bytes this object wrote to the file
  std::unique_ptr<uint8_t[]> buffer_;  // allocated on first use, bufferSize_ bytes
  size_t bufferSize_ = kBufferSize;
  BufferState state_ = BufferState::Empty;
  int64_t bufferStart_ = 0;  // file offset of buffer_[0]
  size_t bufferLength_ = 0;  // valid (Reading) or dirty (Writing) bytes
  bool writeFailed_ = false;
  bool nameTaken_ = false;
  // Opened for reading and writing: flushed bytes stay in the buffer as read
  // bytes, so what was just written is read back without the kernel.
  bool rereadsWrites_ = false;
  std::string errorText_;
};

}  // namespace exqrv::platform
