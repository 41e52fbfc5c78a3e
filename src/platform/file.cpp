#include "platform/file.h"

// The buffering every system shares; the system's own calls are in
// posix_file.cpp and win32_file.cpp.
#include <algorithm>
#include <cstring>
#include <utility>

namespace exqrv::platform {
namespace {

// What WriteFaultScope still lets through on this thread; negative: no
// scope, no limit.
thread_local int64_t g_write_fault_budget = -1;

// Consumes the write-fault scope's budget; false when this write must fail.
bool WriteBudgetAllows(size_t count, size_t* allowed) {
  *allowed = count;
  if (g_write_fault_budget < 0) return true;
  if (static_cast<int64_t>(count) <= g_write_fault_budget) {
    g_write_fault_budget -= static_cast<int64_t>(count);
    return true;
  }
  *allowed = static_cast<size_t>(g_write_fault_budget);
  g_write_fault_budget = 0;
  return false;
}

}  // namespace

WriteFaultScope::WriteFaultScope(int64_t bytes) : previous_(g_write_fault_budget) {
  g_write_fault_budget = bytes;
}

WriteFaultScope::~WriteFaultScope() { g_write_fault_budget = previous_; }

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
  write_failed_ = false;
  name_taken_ = false;
  error_text_.clear();
}

void File::Begin(OpenMode mode) {
  owning_ = true;
  seekable_ = true;
  rereads_writes_ = mode == OpenMode::ReadWrite;
  const size_t buffer_size = mode == OpenMode::Read        ? kBufferSize
                             : mode == OpenMode::ReadWrite ? kReadWriteBufferSize
                                                           : kWriteBufferSize;
  if (buffer_size != buffer_size_) buffer_.reset();
  buffer_size_ = buffer_size;
  position_ = 0;
  written_end_ = 0;
  state_ = BufferState::Empty;
  buffer_length_ = 0;
}

void File::Swap(File& other) noexcept {
  std::swap(handle_, other.handle_);
  std::swap(owning_, other.owning_);
  std::swap(seekable_, other.seekable_);
  std::swap(position_, other.position_);
  std::swap(written_end_, other.written_end_);
  std::swap(buffer_, other.buffer_);
  std::swap(buffer_size_, other.buffer_size_);
  std::swap(state_, other.state_);
  std::swap(buffer_start_, other.buffer_start_);
  std::swap(buffer_length_, other.buffer_length_);
  std::swap(write_failed_, other.write_failed_);
  std::swap(name_taken_, other.name_taken_);
  std::swap(rereads_writes_, other.rereads_writes_);
  std::swap(error_text_, other.error_text_);
}

bool File::Close() {
  if (handle_ == kInvalidHandle) return true;
  Flush();
  if (owning_) CloseHandle();
  handle_ = kInvalidHandle;
  owning_ = false;
  rereads_writes_ = false;
  state_ = BufferState::Empty;
  buffer_length_ = 0;
  position_ = 0;
  return !write_failed_;
}

bool File::Sync() {
  if (!Flush()) return false;
  if (SystemSync()) return true;
  SetError(Fault::LastSystemError);
  write_failed_ = true;
  return false;
}

// Every byte is written before it is read, so the buffer starts uncleared.
void File::AllocateBuffer() {
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<uint8_t[]>(buffer_size_);
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
  return state_ == BufferState::Writing && offset >= buffer_start_ &&
         offset <= buffer_start_ + static_cast<int64_t>(buffer_length_);
}

int64_t File::Size() {
  if (!IsOpen()) return -1;
  // A file opened for reading and writing was made empty by the open, and
  // nobody else may write it: its size is what this object wrote.
  int64_t size = rereads_writes_ ? written_end_ : SystemSize();
  if (size < 0) return -1;
  if (state_ == BufferState::Writing) {
    size = std::max<int64_t>(size, buffer_start_ + static_cast<int64_t>(buffer_length_));
  }
  return size;
}

bool File::FillBuffer() {
  AllocateBuffer();
  const int64_t got = SystemRead(buffer_.get(), buffer_size_, position_);
  if (got < 0) SetError(Fault::LastSystemError);
  state_ = BufferState::Reading;
  buffer_start_ = position_;
  buffer_length_ = got > 0 ? static_cast<size_t>(got) : 0;
  return got > 0;
}

uint32_t File::ReadThroughBuffer(void* buffer, uint32_t count) {
  if (!IsOpen() || count == 0) return 0;
  if (state_ == BufferState::Writing && !Flush()) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t delivered = 0;
  while (delivered < count) {
    const bool inside = state_ == BufferState::Reading && position_ >= buffer_start_ &&
                        position_ < buffer_start_ + static_cast<int64_t>(buffer_length_);
    if (!inside) {
      if (!FillBuffer()) break;
    }
    const size_t offset = static_cast<size_t>(position_ - buffer_start_);
    const size_t take = std::min<size_t>(count - delivered, buffer_length_ - offset);
    std::memcpy(out + delivered, buffer_.get() + offset, take);
    delivered += static_cast<uint32_t>(take);
    position_ += static_cast<int64_t>(take);
  }
  return delivered;
}

bool File::WriteThrough(const uint8_t* data, size_t count, int64_t at) {
  size_t allowed = count;
  const bool budget_ok = WriteBudgetAllows(count, &allowed);
  size_t done = 0;
  while (done < allowed) {
    const int64_t put = SystemWrite(data + done, allowed - done, at + static_cast<int64_t>(done));
    if (put <= 0) {
      SetError(Fault::LastSystemError);
      write_failed_ = true;
      return false;
    }
    done += static_cast<size_t>(put);
    written_end_ = std::max(written_end_, at + static_cast<int64_t>(done));
  }
  if (!budget_ok) {
    SetError(Fault::DeviceFull);
    write_failed_ = true;
    return false;
  }
  return true;
}

bool File::WriteThroughBuffer(const void* data, uint32_t count) {
  if (!IsOpen()) {
    SetError(Fault::NotOpen);
    return false;
  }
  if (write_failed_) return false;
  if (count == 0) return true;
  const auto* in = static_cast<const uint8_t*>(data);
  if (state_ == BufferState::Reading) {
    state_ = BufferState::Empty;
    buffer_length_ = 0;
  }
  if (state_ == BufferState::Writing && IsInPendingBytes(position_) &&
      position_ + count <= buffer_start_ + static_cast<int64_t>(buffer_size_)) {
    const size_t at = static_cast<size_t>(position_ - buffer_start_);
    std::memcpy(buffer_.get() + at, in, count);
    buffer_length_ = std::max(buffer_length_, at + count);
    position_ += count;
    return true;
  }
  if (state_ == BufferState::Writing &&
      buffer_start_ + static_cast<int64_t>(buffer_length_) != position_ && !Flush()) {
    return false;
  }
  if (state_ == BufferState::Writing && buffer_length_ + count > buffer_size_) {
    // Topped up and passed on whole: a file written in sequence then goes to
    // the system in pieces of the buffer's size at multiples of it, which the
    // system's cache takes in fewer, larger pages than ragged pieces.
    const size_t room = buffer_size_ - buffer_length_;
    std::memcpy(buffer_.get() + buffer_length_, in, room);
    buffer_length_ += room;
    position_ += static_cast<int64_t>(room);
    in += room;
    count -= static_cast<uint32_t>(room);
    if (!Flush()) return false;
    if (count == 0) return true;
  }
  if (count >= buffer_size_) {
    if (!WriteThrough(in, count, position_)) return false;
    position_ += count;
    return true;
  }
  AllocateBuffer();
  if (state_ != BufferState::Writing) {
    state_ = BufferState::Writing;
    buffer_start_ = position_;
    buffer_length_ = 0;
  }
  std::memcpy(buffer_.get() + buffer_length_, in, count);
  buffer_length_ += count;
  position_ += count;
  return true;
}

bool File::Flush() {
  if (state_ != BufferState::Writing) return !write_failed_;
  const size_t length = buffer_length_;
  state_ = BufferState::Empty;
  buffer_length_ = 0;
  if (length > 0 && !write_failed_) WriteThrough(buffer_.get(), length, buffer_start_);
  if (rereads_writes_ && length > 0 && !write_failed_) {
    state_ = BufferState::Reading;
    buffer_length_ = length;
  }
  return !write_failed_;
}

}  // namespace exqrv::platform
