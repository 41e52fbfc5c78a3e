// Where bytes go and where they come from. The codec, the page interpreter,
// the text job and qrvtool's filters write to a ByteSink and read from a
// ByteSource, so the same code serves a file, a piece of memory and nothing
// at all: a library user who holds a document's text in memory, or a tool
// that only wants to know whether a block expands, needs no temporary file.
//
// Calls are made a piece at a time (a text item, a codec buffer), never a
// byte at a time: one virtual call per piece is what the interface costs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace exqrv::platform {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Appends count bytes. False when this write failed or an earlier one
  // did; ErrorText then says why.
  virtual bool Write(const void* data, uint32_t count) = 0;
  // Passes on whatever is held back. False as Write.
  virtual bool Flush() = 0;
  virtual bool WriteFailed() const = 0;
  virtual const std::string& ErrorText() const = 0;
  // Whether the sink takes bytes at all: a closed file does not.
  virtual bool IsOpen() const { return true; }
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to count bytes; returns how many arrived, 0 at the end.
  virtual uint32_t Read(void* buffer, uint32_t count) = 0;
};

// Collects what is written in a string. Running out of memory is a failed
// write like any other, reported, not thrown.
class MemorySink final : public ByteSink {
 public:
  bool Write(const void* data, uint32_t count) override {
    if (failed_) return false;
    try {
      bytes_.append(static_cast<const char*>(data), count);
    } catch (const std::bad_alloc&) {
      failed_ = true;
      error_ = "out of memory";
    }
    return !failed_;
  }
  bool Flush() override { return !failed_; }
  bool WriteFailed() const override { return failed_; }
  const std::string& ErrorText() const override { return error_; }

  std::string& bytes() { return bytes_; }
  const std::string& bytes() const { return bytes_; }
  // Hands the bytes over and starts empty again.
  std::string Take() { return std::exchange(bytes_, std::string()); }

 private:
  std::string bytes_;
  bool failed_ = false;
  std::string error_;
};

// Reads bytes the caller holds; they must outlive the source.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : rest_(bytes) {}
  uint32_t Read(void* buffer, uint32_t count) override {
    const size_t take = std::min<size_t>(count, rest_.size());
    if (take > 0) std::memcpy(buffer, rest_.data(), take);
    rest_.remove_prefix(take);
    return static_cast<uint32_t>(take);
  }

 private:
  std::string_view rest_;
};

// Takes everything and keeps only the count: for a block that is expanded
// to see whether it expands, or a page run to see whether it runs.
class DiscardingSink final : public ByteSink {
 public:
  bool Write(const void* /*data*/, uint32_t count) override {
    written_ += count;
    return true;
  }
  bool Flush() override { return true; }
  bool WriteFailed() const override { return false; }
  const std::string& ErrorText() const override { return kNoError; }
  uint64_t written() const { return written_; }

 private:
  static inline const std::string kNoError;
  uint64_t written_ = 0;
};

}  // namespace exqrv::platform
