// Explode(Implode(x)) == x for every input. The first byte picks the literal
// coding (bit 0) and the dictionary size (the rest, modulo 3); the remaining
// bytes are the data.
#include <cstdlib>
#include <memory>

#include "codec/explode.h"
#include "codec/implode.h"
#include "fuzz_streams.h"

using exqrv::codec::BlockResult;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static auto* implodeWork = new exqrv::codec::ImplodeWork;
  static auto* explodeWork = new exqrv::codec::ExplodeWork;
  constexpr uint32_t kDictionaries[] = {1024, 2048, 4096};
  const uint32_t coding = data[0] & 1;
  const uint32_t dictionary = kDictionaries[(data[0] >> 1) % 3];
  exqrv::fuzz::Streams raw(data + 1, size - 1);
  if (exqrv::codec::Implode(exqrv::fuzz::Streams::Read, exqrv::fuzz::Streams::Write, *implodeWork,
                            &raw, coding, dictionary) != BlockResult::Ok) {
    std::abort();
  }
  exqrv::fuzz::Streams stream(raw.output.data(), raw.output.size());
  const BlockResult result = exqrv::codec::Explode(
      exqrv::fuzz::Streams::Read, exqrv::fuzz::Streams::Write, *explodeWork, &stream);
  // An empty input makes a stream too short to expand.
  const BlockResult expected = size == 1 ? BlockResult::InputTooShort : BlockResult::Ok;
  if (result != expected) std::abort();
  if (stream.output != std::vector<uint8_t>(data + 1, data + size)) std::abort();
  return 0;
}
