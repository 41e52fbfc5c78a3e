// A sink that takes so many bytes and then fails as a full device does,
// for whatever writes to a ByteSink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/byte_stream.h"

namespace exqrv::build {

class FailingSink final : public platform::ByteSink {
 public:
  explicit FailingSink(size_t limit) : limit_(limit) {}
  bool Write(const void* data, uint32_t count) override {
    if (failed_ || taken_.size() + count > limit_) failed_ = true;
    else taken_.append(static_cast<const char*>(data), count);
    return !failed_;
  }
  bool Flush() override { return !failed_; }
  bool WriteFailed() const override { return failed_; }
  const std::string& ErrorText() const override { return error_; }
  // What it took before it failed.
  const std::string& taken() const { return taken_; }

 private:
  size_t limit_;
  std::string taken_;
  bool failed_ = false;
  std::string error_ = "the sink is full";
};

}  // namespace exqrv::build
