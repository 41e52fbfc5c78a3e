// Codec speed on one generated text corpus, beside zlib and libdeflate.
// Decoders report output bytes per second, encoders input bytes per second.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "builder/text_corpus.h"
#include "codec/codec.h"
#include "codec/explode.h"
#include "codec/implode.h"

namespace {

using exqrv::codec::BlockResult;
using Bytes = std::vector<uint8_t>;

constexpr size_t kCorpusSize = 4 << 20;

const Bytes& Corpus() {
  static const Bytes corpus = exqrv::build::MakeTextCorpus(kCorpusSize);
  return corpus;
}

// A memory source and sink for the codec's callbacks.
struct Buffers {
  const Bytes* input = nullptr;
  size_t readAt = 0;
  Bytes output;
  size_t writeAt = 0;

  void Rewind() {
    readAt = 0;
    writeAt = 0;
  }
  static uint32_t Read(uint8_t* buffer, uint32_t requested, void* context) {
    auto& self = *static_cast<Buffers*>(context);
    const size_t count = std::min<size_t>(requested, self.input->size() - self.readAt);
    std::memcpy(buffer, self.input->data() + self.readAt, count);
    self.readAt += count;
    return static_cast<uint32_t>(count);
  }
  static void Write(const uint8_t* buffer, uint32_t count, void* context) {
    auto& self = *static_cast<Buffers*>(context);
    if (self.writeAt + count > self.output.size()) self.output.resize(self.writeAt + count);
    std::memcpy(self.output.data() + self.writeAt, buffer, count);
    self.writeAt += count;
  }
};

Bytes ImplodeCorpus(uint32_t coding, uint32_t dictionary) {
  auto work = std::make_unique<exqrv::codec::ImplodeWork>();
  Buffers buffers;
  buffers.input = &Corpus();
  exqrv::codec::Implode(Buffers::Read, Buffers::Write, *work, &buffers, coding, dictionary);
  buffers.output.resize(buffers.writeAt);
  return buffers.output;
}

void ReportRatio(benchmark::State& state, size_t compressed) {
  state.counters["ratio%"] = 100.0 * static_cast<double>(compressed) / static_cast<double>(kCorpusSize);
}

void BM_Explode(benchmark::State& state) {
  const uint32_t coding = static_cast<uint32_t>(state.range(0));
  const Bytes stream = ImplodeCorpus(coding, 4096);
  auto work = std::make_unique<exqrv::codec::ExplodeWork>();
  Buffers buffers;
  buffers.input = &stream;
  buffers.output.resize(kCorpusSize);
  for (auto _ : state) {
    buffers.Rewind();
    const BlockResult result = exqrv::codec::Explode(Buffers::Read, Buffers::Write, *work, &buffers);
    if (result != BlockResult::Ok || buffers.writeAt != kCorpusSize) state.SkipWithError("explode failed");
    benchmark::DoNotOptimize(buffers.output.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCorpusSize));
  ReportRatio(state, stream.size());
}
BENCHMARK(BM_Explode)->Arg(exqrv::codec::Binary)->Arg(exqrv::codec::Ascii)->ArgName("ascii");

void BM_ZlibInflate(benchmark::State& state) {
  Bytes compressed(compressBound(kCorpusSize));
  uLongf compressedSize = compressed.size();
  compress2(compressed.data(), &compressedSize, Corpus().data(), kCorpusSize, 6);
  Bytes output(kCorpusSize);
  for (auto _ : state) {
    uLongf outputSize = output.size();
    if (uncompress(output.data(), &outputSize, compressed.data(), compressedSize) != Z_OK) {
      state.SkipWithError("inflate failed");
    }
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCorpusSize));
  ReportRatio(state, compressedSize);
}
BENCHMARK(BM_ZlibInflate);

void BM_LibdeflateDecompress(benchmark::State& state) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
  Bytes compressed(libdeflate_deflate_compress_bound(compressor, kCorpusSize));
  const size_t compressedSize =
      libdeflate_deflate_compress(compressor, Corpus().data(), kCorpusSize, compressed.data(), compressed.size());
  libdeflate_free_compressor(compressor);
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  Bytes output(kCorpusSize);
  for (auto _ : state) {
    if (libdeflate_deflate_decompress(decompressor, compressed.data(), compressedSize, output.data(),
                                      output.size(), nullptr) != LIBDEFLATE_SUCCESS) {
      state.SkipWithError("decompress failed");
    }
    benchmark::DoNotOptimize(output.data());
  }
  libdeflate_free_decompressor(decompressor);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCorpusSize));
  ReportRatio(state, compressedSize);
}
BENCHMARK(BM_LibdeflateDecompress);

void BM_Implode(benchmark::State& state) {
  const uint32_t dictionary = static_cast<uint32_t>(state.range(0));
  auto work = std::make_unique<exqrv::codec::ImplodeWork>();
  Buffers buffers;
  buffers.input = &Corpus();
  buffers.output.resize(kCorpusSize);
  for (auto _ : state) {
    buffers.Rewind();
    exqrv::codec::Implode(Buffers::Read, Buffers::Write, *work, &buffers, exqrv::codec::Binary, dictionary);
    benchmark::DoNotOptimize(buffers.output.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCorpusSize));
  ReportRatio(state, buffers.writeAt);
}
BENCHMARK(BM_Implode)->Arg(1024)->Arg(4096)->ArgName("dictionary");

void BM_ZlibDeflate(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  Bytes compressed(compressBound(kCorpusSize));
  uLongf compressedSize = 0;
  for (auto _ : state) {
    compressedSize = compressed.size();
    if (compress2(compressed.data(), &compressedSize, Corpus().data(), kCorpusSize, level) != Z_OK) {
      state.SkipWithError("deflate failed");
    }
    benchmark::DoNotOptimize(compressed.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCorpusSize));
  ReportRatio(state, compressedSize);
}
BENCHMARK(BM_ZlibDeflate)->Arg(1)->Arg(6)->ArgName("level");

}  // namespace
