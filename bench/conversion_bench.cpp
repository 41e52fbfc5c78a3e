// Whole conversions: a document of 50 MB of real text (copyright files and
// licences, system headers, shared libraries, as the codec benchmark takes
// them), stored plain and stored compressed, into a text file; beside them
// the floors: the plain document's bytes read (and copied) through the same
// file object, the compressed document's pages exploded as one stream, and
// the least a compressed conversion can do (conversion_floor.h).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_set>

#include "app/converter_app.h"
#include "bench_table.h"
#include "builder/document_builder.h"
#include "codec/codec.h"
#include "codec/explode.h"
#include "codec/implode.h"
#include "conversion_floor.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kTextBytes = 50u << 20;
constexpr size_t kPageText = 256u << 10;
// Prose and source fill what the machine code leaves; one library gives at
// most a share, so that no single one stands for all.
constexpr size_t kMachineCodeBytes = 10u << 20;
constexpr size_t kLibraryShare = 512u << 10;

// Distinct contents of the regular files under folder whose names pass
// accept, in name order, each cut to share, appended to text until it holds
// limit bytes. Many packages ship the same copyright file: a repeat would
// flatter the codec.
void AppendFiles(const fs::path& folder, bool recursive,
                 const std::function<bool(const fs::path&)>& accept, size_t share, size_t limit,
                 std::unordered_set<size_t>& seen, std::string& text) {
  std::vector<fs::path> paths;
  std::error_code error;
  const auto options = fs::directory_options::skip_permission_denied;
  const auto take = [&](const fs::directory_entry& entry) {
    std::error_code statusError;
    if (entry.symlink_status(statusError).type() == fs::file_type::regular && accept(entry.path()))
      paths.push_back(entry.path());
  };
  if (recursive) {
    for (const auto& entry : fs::recursive_directory_iterator(folder, options, error)) take(entry);
  } else {
    for (const auto& entry : fs::directory_iterator(folder, options, error)) take(entry);
  }
  std::sort(paths.begin(), paths.end());
  for (const fs::path& path : paths) {
    if (text.size() >= limit) break;
    std::ifstream file(path, std::ios::binary);
    std::string contents{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    contents.resize(std::min({contents.size(), share, limit - text.size()}));
    if (!contents.empty() && seen.insert(std::hash<std::string>{}(contents)).second)
      text += contents;
  }
}

// Prose, then source, then machine code, as one text.
std::string RealText() {
  std::unordered_set<size_t> seen;
  std::string text;
  const size_t proseAndSource = kTextBytes - kMachineCodeBytes;
  const auto any = [](const fs::path&) { return true; };
  AppendFiles("/usr/share/common-licenses", false, any, kTextBytes, proseAndSource, seen, text);
  AppendFiles(
      "/usr/share/doc", true, [](const fs::path& path) { return path.filename() == "copyright"; },
      kTextBytes, proseAndSource, seen, text);
  AppendFiles(
      "/usr/include", true, [](const fs::path& path) { return path.extension() == ".h"; },
      kTextBytes, proseAndSource, seen, text);
  AppendFiles(
      "/usr/lib/x86_64-linux-gnu", false,
      [](const fs::path& path) {
        return path.filename().string().find(".so") != std::string::npos;
      },
      kLibraryShare, kTextBytes, seen, text);
  return text;
}

struct Corpus {
  std::string plainPath;
  std::string packedPath;
  std::string textPath;
  std::string copyPath;  // the floor's working copy
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
    const std::string text = RealText();
    made.textBytes = text.size();
    exqrv::build::DocumentRecipe recipe;
    for (size_t at = 0; at < text.size(); at += kPageText)
      recipe.pages.push_back(exqrv::build::TextPage({text.substr(at, kPageText)}));
    const std::string directory = exqrv::platform::CurrentPlatform().TempDirectory();
    auto& system = exqrv::platform::CurrentPlatform();
    made.plainPath = system.UniqueTempName(directory, "bpl", 0);
    made.packedPath = system.UniqueTempName(directory, "bpk", 0);
    made.textPath = system.UniqueTempName(directory, "btx", 0);
    made.copyPath = system.UniqueTempName(directory, "bwc", 0);
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

// The least a compressed conversion does, on the same document, into a new
// text file each time as Convert writes one.
void BM_ConvertAtFloor(benchmark::State& state) {
  const Corpus& corpus = GetCorpus();
  for (auto _ : state) {
    if (!exqrv::bench::ConvertAtFloor(corpus.packedPath, corpus.copyPath, corpus.textPath))
      state.SkipWithError("floor conversion failed");
    state.PauseTiming();
    exqrv::platform::CurrentPlatform().DeleteFile(corpus.textPath);
    state.ResumeTiming();
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
BENCHMARK(BM_ConvertAtFloor)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExplodePagesAsOneStream)->Unit(benchmark::kMillisecond)->MinTime(2);

// The compressed conversion's CPU time against its floor (within 1.05 is
// the aim) and against exploding the same pages in memory.
std::vector<exqrv::bench::Row> Rows(const exqrv::bench::Recorder& results) {
  const auto* convert = results.Find("BM_ConvertCompressedDocument/min_time:2.000");
  const auto* floor = results.Find("BM_ConvertAtFloor/min_time:2.000");
  const auto* explode = results.Find("BM_ExplodePagesAsOneStream/min_time:2.000");
  if (convert == nullptr || floor == nullptr || explode == nullptr) return {};
  const std::string figure = exqrv::bench::Format("%.0f ms CPU", convert->cpuSeconds * 1e3);
  return {{"Converting a compressed document", figure,
           exqrv::bench::Format("%.0f ms at its floor", floor->cpuSeconds * 1e3),
           convert->cpuSeconds / floor->cpuSeconds, "time ratio"},
          {"Converting a compressed document", figure,
           exqrv::bench::Format("%.0f ms exploding its pages", explode->cpuSeconds * 1e3),
           convert->cpuSeconds / explode->cpuSeconds, "time ratio"}};
}

}  // namespace

int main(int argc, char** argv) { return exqrv::bench::Run(argc, argv, Rows); }
