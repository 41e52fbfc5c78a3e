// How much one document may expand to: the bytes its temporary files (the
// working copy and the annotation work file) may hold together.
//
// A stored byte cannot expand far: the longest match, 518 bytes, costs at
// least 22 bits (flag 1, length code 7 and its 8 extra bits, distance code 2
// and 4 low bits), so a stream expands at most 518 * 8 / 22 = 188.4 times.
// The blocks of a document lie apart from one another, so its chunks, pages
// and notes together cannot exceed 189 times its size. Only a document that
// expands the same stored bytes again and again (many pages pointing at one
// block) goes past that, and it can be made to fill any disk: the limit stops
// it. The floor keeps small documents clear of any doubt.
#pragma once

#include <algorithm>
#include <cstdint>

namespace exqrv::codec {

inline constexpr uint64_t kExpansionFactor = 200;  // above 188.4, with room to spare
inline constexpr uint64_t kExpansionFloor = uint64_t{256} << 20;

// max(256 MiB, 200 times the document's size).
inline uint64_t DefaultExpansionLimit(uint64_t documentSize) {
  const uint64_t scaled =
      documentSize > UINT64_MAX / kExpansionFactor ? UINT64_MAX : documentSize * kExpansionFactor;
  return std::max(kExpansionFloor, scaled);
}

class ExpansionBudget {
 public:
  explicit ExpansionBudget(uint64_t limit = DefaultExpansionLimit(0)) : limit_(limit) {}

  uint64_t limit() const { return limit_; }
  uint64_t spent() const { return spent_; }

  // Takes count bytes. When they do not fit, nothing is taken and the budget
  // stays exceeded from then on.
  bool Take(uint64_t count) {
    if (count > limit_ - spent_) {
      exceeded_ = true;
      return false;
    }
    spent_ += count;
    return true;
  }

  // For what no budget can hold, such as data past a 32-bit offset.
  void MarkExceeded() { exceeded_ = true; }
  bool Exceeded() const { return exceeded_; }

 private:
  uint64_t limit_;
  uint64_t spent_ = 0;
  bool exceeded_ = false;
};

}  // namespace exqrv::codec
