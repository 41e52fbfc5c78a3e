// Whole conversions: a document of 50 MB of text, stored plain and stored
// compressed, into a text file; beside it the floor, reading the plain
// document's bytes through the same file object.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "app/converter_app.h"
#include "builder/document_builder.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/prompter.h"

namespace {

constexpr size_t kTextBytes = 50u << 20;
constexpr size_t kPageText = 64u << 10;

// English-like words in short items, as a typesetter writes them: one item
// per word group, runs of a few dozen items.
std::string MakePage(std::mt19937& random, size_t& produced) {
  static const char* const kWords[] = {"the ", "river ", "runs ", "past ", "an ", "old ", "mill, ",
                                       "slow ", "in ", "summer ", "and ", "loud ", "spring.\r\n",
                                       "children ", "race ", "paper ", "boats ", "to ", "weir "};
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
};

const Corpus& GetCorpus() {
  static const Corpus corpus = [] {
    Corpus made;
    std::mt19937 random(7);
    exqrv::build::DocumentSpec recipe;
    while (made.textBytes < kTextBytes) recipe.pages.push_back(MakePage(random, made.textBytes));
    const std::string directory = exqrv::platform::CurrentPlatform().TempDirectory();
    auto& system = exqrv::platform::CurrentPlatform();
    made.plainPath = system.UniqueTempName(directory, "bpl", 0);
    made.packedPath = system.UniqueTempName(directory, "bpk", 0);
    made.textPath = system.UniqueTempName(directory, "btx", 0);
    exqrv::build::WriteFileBytes(made.plainPath, exqrv::build::BuildDocument(recipe));
    recipe.compress = true;
    exqrv::build::WriteFileBytes(made.packedPath, exqrv::build::BuildDocument(recipe));
    return made;
  }();
  return corpus;
}

void Convert(benchmark::State& state, const std::string& documentPath) {
  const Corpus& corpus = GetCorpus();
  exqrv::ConverterApp app;
  for (auto _ : state) {
    if (app.ConvertDocument(documentPath, corpus.textPath) != 1) state.SkipWithError("conversion failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.textBytes));
}

void BM_ConvertPlainDocument(benchmark::State& state) { Convert(state, GetCorpus().plainPath); }
void BM_ConvertCompressedDocument(benchmark::State& state) { Convert(state, GetCorpus().packedPath); }

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

BENCHMARK(BM_ReadPlainDocument)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CopyPlainDocument)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ConvertPlainDocument)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ConvertCompressedDocument)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
