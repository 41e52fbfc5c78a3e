// Whole conversions: a document of 50 MB of text, stored plain and stored
// compressed, into a text file; beside it the floor, reading the plain
// document's bytes through the same file object.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "app/converter_app.h"
#include "bench_table.h"
#include "builder/document_builder.h"
#include "codec/codec.h"
#include "codec/explode.h"
#include "codec/implode.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"

namespace {

constexpr size_t kTextBytes = 50u << 20;
constexpr size_t kPageText = 64u << 10;

// English-like words in short items, as a typesetter writes them: one item
// per word group, runs of a few dozen items.
std::string MakePage(std::mt19937& random, size_t& produced) {
  static const char* const kWords[] = {"the ",   "river ", "runs ",       "past ",     "an ",
                                       "old ",   "mill, ", "slow ",       "in ",       "summer ",
                                       "and ",   "loud ",  "spring.\r\n", "children ", "race ",
                                       "paper ", "boats ", "to ",         "weir "};
  exqrv::build::PageStream stream;
  size_t pageText = 0;
  while (pageText < kPageText) {
    std::vector<std::string> items;
    for (int i = 0; i < 40; ++i) {
      std::string chars;
      for (int w = 0; w < 6; ++w) chars += kWords[random() % std::size(kWords)];
      pageText += chars.size();
      items.push_back(exqrv::build::PageStream::Item(chars, random() % 4 == 0 ? 1 : 0));
    }
    stream.TextRun(items).Code("FT").U32(0);
  }
  produced += pageText;
  return stream.End().bytes();
}

struct Corpus {
  std::string plainPath;
  std::string packedPath;
  std::string textPath;
  size_t textBytes = 0;
  std::vector<uint8_t> pagesStream;  // every page's content, imploded as one stream
  size_t pagesBytes = 0;
};

// Memory in and out for the codec's callbacks, as CompressedBlock drives it:
// the output is checksummed as it passes, then dropped.
struct Streams {
  const uint8_t* input = nullptr;
  size_t left = 0;
  std::vector<uint8_t> output;
  uint32_t crc = 0xFFFFFFFF;

  static uint32_t Read(uint8_t* buffer, uint32_t requested, void* context) {
    auto& self = *static_cast<Streams*>(context);
    const size_t count = std::min<size_t>(requested, self.left);
    std::memcpy(buffer, self.input, count);
    self.input += count;
    self.left -= count;
    return static_cast<uint32_t>(count);
  }
  static void Write(const uint8_t* buffer, uint32_t count, void* context) {
    auto& self = *static_cast<Streams*>(context);
    self.crc = exqrv::codec::Crc32Update(buffer, count, self.crc);
    self.output.insert(self.output.end(), buffer, buffer + count);
  }
};

std::vector<uint8_t> ImplodeAsOneStream(const std::string& data) {
  auto work = std::make_unique<exqrv::codec::ImplodeWork>();
  Streams streams;
  streams.input = reinterpret_cast<const uint8_t*>(data.data());
  streams.left = data.size();
  exqrv::codec::Implode(Streams::Read, Streams::Write, *work, &streams, exqrv::codec::Binary, 4096);
  return streams.output;
}

const Corpus& GetCorpus() {
  static const Corpus corpus = [] {
    Corpus made;
    std::mt19937 random(7);
    exqrv::build::DocumentRecipe recipe;
    while (made.textBytes < kTextBytes) recipe.pages.push_back(MakePage(random, made.textBytes));
    const std::string directory = exqrv::platform::CurrentPlatform().TempDirectory();
    auto& system = exqrv::platform::CurrentPlatform();
    made.plainPath = system.UniqueTempName(directory, "bpl", 0);
    made.packedPath = system.UniqueTempName(directory, "bpk", 0);
    made.textPath = system.UniqueTempName(directory, "btx", 0);
    exqrv::build::WriteFileBytes(made.plainPath, exqrv::build::BuildDocument(recipe));
    recipe.compress = true;
    exqrv::build::WriteFileBytes(made.packedPath, exqrv::build::BuildDocument(recipe));
    std::string pages;
    for (const std::string& page : recipe.pages) pages += page;
    made.pagesBytes = pages.size();
    made.pagesStream = ImplodeAsOneStream(pages);
    return made;
  }();
  return corpus;
}

struct CpuTime {
  double user = 0;
  double kernel = 0;
};

CpuTime ProcessCpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
  };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

// Also reports the share of the CPU time spent in the kernel: the working
// copy and the text file pass through the system's file cache, which no
// change here can avoid.
void Convert(benchmark::State& state, const std::string& documentPath) {
  const Corpus& corpus = GetCorpus();
  exqrv::ConverterApp app;
  CpuTime spent;
  for (auto _ : state) {
    const CpuTime before = ProcessCpuTime();
    if (app.ConvertDocument(documentPath, corpus.textPath) != 1)
      state.SkipWithError("conversion failed");
    const CpuTime after = ProcessCpuTime();
    spent.user += after.user - before.user;
    spent.kernel += after.kernel - before.kernel;
    // Each conversion writes a new text file, as one into an empty folder
    // does, rather than cutting the previous run's file down.
    state.PauseTiming();
    exqrv::platform::CurrentPlatform().DeleteFile(corpus.textPath);
    state.ResumeTiming();
  }
  if (spent.user + spent.kernel > 0) {
    state.counters["kernel%"] = 100.0 * spent.kernel / (spent.user + spent.kernel);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.textBytes));
}

void BM_ConvertPlainDocument(benchmark::State& state) { Convert(state, GetCorpus().plainPath); }
void BM_ConvertCompressedDocument(benchmark::State& state) {
  Convert(state, GetCorpus().packedPath);
}

// The floor: the plain document's bytes read through the file object.
void BM_ReadPlainDocument(benchmark::State& state) {
  const Corpus& corpus = GetCorpus();
  std::string buffer(exqrv::platform::File::kBufferSize, '\0');
  for (auto _ : state) {
    exqrv::platform::File file;
    file.Open(corpus.plainPath, exqrv::platform::OpenMode::Read);
    while (file.Read(buffer.data(), static_cast<uint32_t>(buffer.size())) > 0) {
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.textBytes));
}

// A second floor: the plain document's bytes read and written to another
// file, as a conversion reads a document and writes about as much text.
void BM_CopyPlainDocument(benchmark::State& state) {
  const Corpus& corpus = GetCorpus();
  std::string buffer(exqrv::platform::File::kBufferSize, '\0');
  for (auto _ : state) {
    exqrv::platform::File in;
    exqrv::platform::File out;
    in.Open(corpus.plainPath, exqrv::platform::OpenMode::Read);
    out.Open(corpus.textPath, exqrv::platform::OpenMode::Write);
    while (const uint32_t got = in.Read(buffer.data(), static_cast<uint32_t>(buffer.size()))) {
      out.Write(buffer.data(), got);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.textBytes));
}

// The yardstick of a compressed conversion: its pages' content exploded as
// one stream, memory to memory, checksummed as CompressedBlock does.
void BM_ExplodePagesAsOneStream(benchmark::State& state) {
  const Corpus& corpus = GetCorpus();
  auto work = std::make_unique<exqrv::codec::ExplodeWork>();
  Streams streams;
  for (auto _ : state) {
    streams.input = corpus.pagesStream.data();
    streams.left = corpus.pagesStream.size();
    streams.output.clear();
    if (exqrv::codec::Explode(Streams::Read, Streams::Write, *work, &streams) !=
        exqrv::codec::BlockResult::Ok) {
      state.SkipWithError("explode failed");
    }
    benchmark::DoNotOptimize(streams.crc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.textBytes));
}

BENCHMARK(BM_ReadPlainDocument)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CopyPlainDocument)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ConvertPlainDocument)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ConvertCompressedDocument)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExplodePagesAsOneStream)->Unit(benchmark::kMillisecond)->MinTime(2);

// The compressed conversion's CPU time against exploding the same pages:
// below 1.25 is the aim.
std::vector<exqrv::bench::Row> Rows(const exqrv::bench::Recorder& results) {
  const auto* convert = results.Find("BM_ConvertCompressedDocument/min_time:2.000");
  const auto* explode = results.Find("BM_ExplodePagesAsOneStream/min_time:2.000");
  if (convert == nullptr || explode == nullptr) return {};
  return {{"Converting a compressed document",
           exqrv::bench::Format("%.0f ms CPU", convert->cpuSeconds * 1e3),
           exqrv::bench::Format("%.0f ms exploding its pages", explode->cpuSeconds * 1e3),
           convert->cpuSeconds / explode->cpuSeconds, "time ratio"}};
}

}  // namespace

int main(int argc, char** argv) { return exqrv::bench::Run(argc, argv, Rows); }
