#include "platform/file.h"

// The buffering every system shares; the system's own calls are in
// posix_file.cpp and win32_file.cpp.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace exqrv::platform {
namespace {

// What WriteFaultScope still lets through on this thread; negative: no
// scope, no limit.
thread_local int64_t gWriteFaultBudget = -1;

// Consumes the write-fault scope's budget; false when this write must fail.
bool WriteBudgetAllows(size_t count, size_t* allowed) {
  *allowed = count;
  if (gWriteFaultBudget < 0) return true;
  if (static_cast<int64_t>(count) <= gWriteFaultBudget) {
    gWriteFaultBudget -= static_cast<int64_t>(count);
    return true;
  }
  *allowed = static_cast<size_t>(gWriteFaultBudget);
  gWriteFaultBudget = 0;
  return false;
}

}  // namespace

WriteFaultScope::WriteFaultScope(int64_t bytes) : previous_(gWriteFaultBudget) {
  gWriteFaultBudget = bytes;
}

WriteFaultScope::~WriteFaultScope() { gWriteFaultBudget = previous_; }

// A descriptor we did not open (standard output, an inherited one) may share
// its offset with other processes, as a shell's redirection does: it is
// written and read in sequence at its own offset, never by position, so that
// whatever is written before and after us stays in place.
File::File(Handle handle, bool owning) : handle_(handle), owning_(owning), seekable_(false) {}

File::~File() { Close(); }

bool File::Open(std::string_view path, OpenMode mode) {
  Close();
  ForgetErrors();
  if (!OpenHandle(path, mode)) return false;
  Begin(mode);
  return true;
}

void File::Adopt(Handle handle, OpenMode mode) {
  Close();
  ForgetErrors();
  handle_ = handle;
  Begin(mode);
}

void File::ForgetErrors() {
  writeFailed_ = false;
  nameTaken_ = false;
  errorText_.clear();
}

void File::Begin(OpenMode mode) {
  owning_ = true;
  seekable_ = true;
  rereadsWrites_ = mode == OpenMode::ReadWrite;
  const size_t bufferSize = mode == OpenMode::Read        ? kBufferSize
                            : mode == OpenMode::ReadWrite ? kReadWriteBufferSize
                                                          : kWriteBufferSize;
  if (bufferSize != bufferSize_) buffer_.reset();
  bufferSize_ = bufferSize;
  position_ = 0;
  writtenEnd_ = 0;
  state_ = BufferState::Empty;
  bufferLength_ = 0;
}

void File::Swap(File& other) noexcept {
  std::swap(handle_, other.handle_);
  std::swap(owning_, other.owning_);
  std::swap(seekable_, other.seekable_);
  std::swap(position_, other.position_);
  std::swap(writtenEnd_, other.writtenEnd_);
  std::swap(buffer_, other.buffer_);
  std::swap(bufferSize_, other.bufferSize_);
  std::swap(state_, other.state_);
  std::swap(bufferStart_, other.bufferStart_);
  std::swap(bufferLength_, other.bufferLength_);
  std::swap(writeFailed_, other.writeFailed_);
  std::swap(nameTaken_, other.nameTaken_);
  std::swap(rereadsWrites_, other.rereadsWrites_);
  std::swap(errorText_, other.errorText_);
}

bool File::Close() {
  if (handle_ == kInvalidHandle) return true;
  Flush();
  if (owning_) CloseHandle();
  handle_ = kInvalidHandle;
  owning_ = false;
  rereadsWrites_ = false;
  state_ = BufferState::Empty;
  bufferLength_ = 0;
  position_ = 0;
  return !writeFailed_;
}

bool File::Sync() {
  if (!Flush()) return false;
  if (SystemSync()) return true;
  SetError(Fault::LastSystemError);
  writeFailed_ = true;
  return false;
}

bool File::Empty() {
  if (!IsOpen() || !rereadsWrites_ || writeFailed_ || !SystemTruncate()) return false;
  ForgetErrors();
  state_ = BufferState::Empty;
  bufferLength_ = 0;
  position_ = 0;
  writtenEnd_ = 0;
  return true;
}

// Every byte is written before it is read, so the buffer starts uncleared.
// The C++ library of Debian 12's emscripten lacks make_unique_for_overwrite;
// a plain new[] of bytes leaves them uncleared just the same.
void File::AllocateBuffer() {
  if (buffer_) return;
#if defined(__cpp_lib_smart_ptr_for_overwrite)
  buffer_ = std::make_unique_for_overwrite<uint8_t[]>(bufferSize_);
#else
  buffer_.reset(new uint8_t[bufferSize_]);
#endif
}

int64_t File::SeekAnywhere(int64_t offset, SeekOrigin origin) {
  if (!IsOpen() || !seekable_) return -1;
  int64_t base = 0;
  switch (origin) {
    case SeekOrigin::Begin: base = 0; break;
    case SeekOrigin::Current: base = position_; break;
    case SeekOrigin::End: base = Size(); break;
  }
  if (base < 0) return -1;
  if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset)) return -1;
  const int64_t target = base + offset;
  // Writes stay buffered while they land within the pending bytes or right
  // after them: a header patched after the data behind it goes out with it.
  if (state_ == BufferState::Writing && !IsInPendingBytes(target)) {
    if (!Flush()) return -1;
  }
  position_ = target;
  return position_;
}

bool File::IsInPendingBytes(int64_t offset) const {
  return state_ == BufferState::Writing && offset >= bufferStart_ &&
         offset <= bufferStart_ + static_cast<int64_t>(bufferLength_);
}

int64_t File::Size() {
  if (!IsOpen()) return -1;
  // A file opened for reading and writing was made empty by the open, and
  // nobody else may write it: its size is what this object wrote.
  int64_t size = rereadsWrites_ ? writtenEnd_ : SystemSize();
  if (size < 0) return -1;
  if (state_ == BufferState::Writing) {
    size = std::max<int64_t>(size, bufferStart_ + static_cast<int64_t>(bufferLength_));
  }
  return size;
}

bool File::FillBuffer() {
  AllocateBuffer();
  const int64_t got = SystemRead(buffer_.get(), bufferSize_, position_);
  if (got < 0) SetError(Fault::LastSystemError);
  state_ = BufferState::Reading;
  bufferStart_ = position_;
  bufferLength_ = got > 0 ? static_cast<size_t>(got) : 0;
  return got > 0;
}

uint32_t File::ReadThroughBuffer(void* buffer, uint32_t count) {
  if (!IsOpen() || count == 0) return 0;
  if (state_ == BufferState::Writing && !Flush()) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t delivered = 0;
  while (delivered < count) {
    const bool inside = state_ == BufferState::Reading && position_ >= bufferStart_ &&
                        position_ < bufferStart_ + static_cast<int64_t>(bufferLength_);
    if (!inside) {
      if (!FillBuffer()) break;
    }
    const size_t offset = static_cast<size_t>(position_ - bufferStart_);
    const size_t take = std::min<size_t>(count - delivered, bufferLength_ - offset);
    std::memcpy(out + delivered, buffer_.get() + offset, take);
    delivered += static_cast<uint32_t>(take);
    position_ += static_cast<int64_t>(take);
  }
  return delivered;
}

bool File::WriteThrough(const uint8_t* data, size_t count, int64_t at) {
  size_t allowed = count;
  const bool budgetOk = WriteBudgetAllows(count, &allowed);
  size_t done = 0;
  while (done < allowed) {
    const int64_t put = SystemWrite(data + done, allowed - done, at + static_cast<int64_t>(done));
    if (put <= 0) {
      SetError(Fault::LastSystemError);
      writeFailed_ = true;
      return false;
    }
    done += static_cast<size_t>(put);
    writtenEnd_ = std::max(writtenEnd_, at + static_cast<int64_t>(done));
  }
  if (!budgetOk) {
    SetError(Fault::DeviceFull);
    writeFailed_ = true;
    return false;
  }
  return true;
}

bool File::WriteThroughBuffer(const void* data, uint32_t count) {
  if (!IsOpen()) {
    SetError(Fault::NotOpen);
    return false;
  }
  if (writeFailed_) return false;
  if (count == 0) return true;
  const auto* in = static_cast<const uint8_t*>(data);
  if (state_ == BufferState::Reading) {
    state_ = BufferState::Empty;
    bufferLength_ = 0;
  }
  if (state_ == BufferState::Writing && IsInPendingBytes(position_) &&
      position_ + count <= bufferStart_ + static_cast<int64_t>(bufferSize_)) {
    const size_t at = static_cast<size_t>(position_ - bufferStart_);
    std::memcpy(buffer_.get() + at, in, count);
    bufferLength_ = std::max(bufferLength_, at + count);
    position_ += count;
    return true;
  }
  if (state_ == BufferState::Writing &&
      bufferStart_ + static_cast<int64_t>(bufferLength_) != position_ && !Flush()) {
    return false;
  }
  if (state_ == BufferState::Writing && bufferLength_ + count > bufferSize_) {
    // Topped up and passed on whole: a file written in sequence then goes to
    // the system in pieces of the buffer's size at multiples of it, which the
    // system's cache takes in fewer, larger pages than ragged pieces.
    const size_t room = bufferSize_ - bufferLength_;
    std::memcpy(buffer_.get() + bufferLength_, in, room);
    bufferLength_ += room;
    position_ += static_cast<int64_t>(room);
    in += room;
    count -= static_cast<uint32_t>(room);
    if (!Flush()) return false;
    if (count == 0) return true;
  }
  if (count >= bufferSize_) {
    if (!WriteThrough(in, count, position_)) return false;
    position_ += count;
    return true;
  }
  AllocateBuffer();
  if (state_ != BufferState::Writing) {
    state_ = BufferState::Writing;
    bufferStart_ = position_;
    bufferLength_ = 0;
  }
  std::memcpy(buffer_.get() + bufferLength_, in, count);
  bufferLength_ += count;
  position_ += count;
  return true;
}

bool File::Flush() {
  if (state_ != BufferState::Writing) return !writeFailed_;
  const size_t length = bufferLength_;
  state_ = BufferState::Empty;
  bufferLength_ = 0;
  if (length > 0 && !writeFailed_) WriteThrough(buffer_.get(), length, bufferStart_);
  if (rereadsWrites_ && length > 0 && !writeFailed_) {
    state_ = BufferState::Reading;
    bufferLength_ = length;
  }
  return !writeFailed_;
}

}  // namespace exqrv::platform
