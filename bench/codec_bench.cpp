// Codec speed on one generated text corpus, beside zlib and libdeflate.
// Decoders report output bytes per second, encoders input bytes per second.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_table.h"
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
  const uint32_t coding = static_cast<uint32_t>(state.range(1));
  auto work = std::make_unique<exqrv::codec::ImplodeWork>();
  Buffers buffers;
  buffers.input = &Corpus();
  buffers.output.resize(kCorpusSize);
  for (auto _ : state) {
    buffers.Rewind();
    exqrv::codec::Implode(Buffers::Read, Buffers::Write, *work, &buffers, coding, dictionary);
    benchmark::DoNotOptimize(buffers.output.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCorpusSize));
  ReportRatio(state, buffers.writeAt);
}
BENCHMARK(BM_Implode)
    ->ArgsProduct({{1024, 2048, 4096}, {exqrv::codec::Binary, exqrv::codec::Ascii}})
    ->ArgNames({"dictionary", "ascii"});

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

void BM_LibdeflateCompress(benchmark::State& state) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(static_cast<int>(state.range(0)));
  Bytes compressed(libdeflate_deflate_compress_bound(compressor, kCorpusSize));
  size_t compressedSize = 0;
  for (auto _ : state) {
    compressedSize = libdeflate_deflate_compress(compressor, Corpus().data(), kCorpusSize,
                                                 compressed.data(), compressed.size());
    benchmark::DoNotOptimize(compressed.data());
  }
  libdeflate_free_compressor(compressor);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCorpusSize));
  ReportRatio(state, compressedSize);
}
BENCHMARK(BM_LibdeflateCompress)->Arg(6)->ArgName("level");

// Each codec figure as a speed ratio to its yardstick: above 1 is faster.
std::vector<exqrv::bench::Row> Rows(const exqrv::bench::Recorder& results) {
  std::vector<exqrv::bench::Row> rows;
  auto speed = [&](const char* name) {
    const auto* result = results.Find(name);
    return result == nullptr ? 0.0 : result->counters.at("bytes_per_second") / 1e6;
  };
  auto add = [&](std::string what, const char* name, const char* yardstickName, const char* yardstick) {
    const double figure = speed(name);
    const double against = speed(yardstickName);
    if (figure == 0 || against == 0) return;
    rows.push_back({std::move(what), exqrv::bench::Format("%.0f MB/s", figure),
                    exqrv::bench::Format("%.0f MB/s ", against) + yardstick, figure / against,
                    "speed ratio"});
  };
  add("Explode, dictionary 4096, binary", "BM_Explode/ascii:0", "BM_LibdeflateDecompress",
      "libdeflate decompress");
  add("Explode, dictionary 4096, binary", "BM_Explode/ascii:0", "BM_ZlibInflate", "zlib inflate");
  add("Explode, dictionary 4096, ascii", "BM_Explode/ascii:1", "BM_LibdeflateDecompress",
      "libdeflate decompress");
  for (const char* coding : {"0", "1"}) {
    for (const char* dictionary : {"1024", "2048", "4096"}) {
      const std::string name = std::string("BM_Implode/dictionary:") + dictionary + "/ascii:" + coding;
      const std::string what = std::string("Implode, dictionary ") + dictionary +
                               (coding[0] == '0' ? ", binary" : ", ascii");
      add(what, name.c_str(), "BM_LibdeflateCompress/level:6", "libdeflate level 6");
    }
  }
  add("Implode, dictionary 4096, binary", "BM_Implode/dictionary:4096/ascii:0",
      "BM_ZlibDeflate/level:1", "zlib level 1");
  add("Implode, dictionary 4096, binary", "BM_Implode/dictionary:4096/ascii:0",
      "BM_ZlibDeflate/level:6", "zlib level 6");
  return rows;
}

}  // namespace

int main(int argc, char** argv) { return exqrv::bench::Run(argc, argv, Rows); }
