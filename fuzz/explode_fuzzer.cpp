// Explode on arbitrary input must end with a result, never crash or hang,
// and must not depend on how the input after the first read is cut up.
#include <cstdlib>
#include <memory>

#include "codec/explode.h"
#include "fuzz_streams.h"

using exqrv::codec::BlockResult;
using exqrv::codec::ExplodeWork;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* work = new ExplodeWork;
  exqrv::fuzz::Streams whole(data, size);
  const BlockResult result =
      exqrv::codec::Explode(exqrv::fuzz::Streams::Read, exqrv::fuzz::Streams::Write, *work, &whole);
  exqrv::fuzz::Streams dribbled(data, size);
  dribbled.laterDelivery = 1 + static_cast<uint32_t>(size % 7);
  const BlockResult again = exqrv::codec::Explode(exqrv::fuzz::Streams::Read,
                                                  exqrv::fuzz::Streams::Write, *work, &dribbled);
  if (result != again || whole.output != dribbled.output) std::abort();
  return 0;
}
