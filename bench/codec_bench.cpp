// Codec speed on real files of three kinds, each beside zlib and libdeflate on
// the same bytes: prose (licences, copyright files, manual pages), C and C++
// source (system headers) and machine code (shared libraries). Every Debian
// build machine has them. Decoders report output bytes per second, encoders
// input bytes per second.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "bench_table.h"
#include "codec/codec.h"
#include "codec/explode.h"
#include "codec/implode.h"

namespace {

namespace fs = std::filesystem;
using exqrv::codec::BlockResult;
using Bytes = std::vector<uint8_t>;

// Each kind's input: large enough that no yardstick runs from its caches
// alone, small enough that a round of every benchmark stays under minutes.
constexpr size_t kInputSize = 8 << 20;
// A shared library contributes at most this much, so that one large library
// does not stand for all of them.
constexpr size_t kLibraryShare = 512 << 10;

// The paths of the regular files under `folder` (recursively or not) whose
// names `accept`s, in a fixed order.
std::vector<fs::path> FilesUnder(const fs::path& folder, bool recursive,
                                 const std::function<bool(const fs::path&)>& accept) {
  std::vector<fs::path> paths;
  std::error_code error;
  auto take = [&](const fs::directory_entry& entry) {
    std::error_code statusError;
    if (entry.symlink_status(statusError).type() == fs::file_type::regular &&
        accept(entry.path())) {
      paths.push_back(entry.path());
    }
  };
  const auto options = fs::directory_options::skip_permission_denied;
  if (recursive) {
    for (const auto& entry : fs::recursive_directory_iterator(folder, options, error)) take(entry);
  } else {
    for (const auto& entry : fs::directory_iterator(folder, options, error)) take(entry);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A manual page is stored compressed; its text is what users have.
std::string ReadGzip(const fs::path& path) {
  std::string text;
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  std::array<char, 1 << 16> buffer{};
  int count = 0;
  while ((count = gzread(file, buffer.data(), buffer.size())) > 0)
    text.append(buffer.data(), count);
  gzclose(file);
  return text;
}

// Collects distinct file contents up to kInputSize; many packages ship the
// same copyright file, and a repeated file would flatter every compressor.
class InputBuilder {
 public:
  // Adds a file's contents (at most `limit` bytes of them) unless seen;
  // false once the input is full.
  bool Add(std::string contents, size_t limit = kInputSize) {
    if (contents.size() > limit) contents.resize(limit);
    if (contents.empty() || !seen_.insert(std::hash<std::string>{}(contents)).second)
      return !Full();
    const size_t count = std::min(contents.size(), kInputSize - bytes_.size());
    bytes_.insert(bytes_.end(), contents.begin(), contents.begin() + static_cast<ptrdiff_t>(count));
    return !Full();
  }
  bool Full() const { return bytes_.size() >= kInputSize; }
  Bytes Take() { return std::move(bytes_); }

 private:
  std::unordered_set<size_t> seen_;
  Bytes bytes_;
};

bool Any(const fs::path&) { return true; }

// Licences, copyright files and manual pages, taken in turn so that each
// source has its share.
Bytes Prose() {
  auto isManualPage = [](const fs::path& path) { return path.extension() == ".gz"; };
  std::vector<fs::path> copyrights;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/usr/share/doc", error)) {
    const fs::path path = entry.path() / "copyright";
    if (fs::is_regular_file(fs::symlink_status(path, error))) copyrights.push_back(path);
  }
  std::sort(copyrights.begin(), copyrights.end());
  const std::vector<fs::path> licences = FilesUnder("/usr/share/common-licenses", false, Any);
  std::vector<fs::path> manualPages;
  for (const char* section : {"man1", "man3", "man5", "man7", "man8"}) {
    const auto pages = FilesUnder(fs::path("/usr/share/man") / section, false, isManualPage);
    manualPages.insert(manualPages.end(), pages.begin(), pages.end());
  }
  InputBuilder input;
  for (size_t i = 0; !input.Full(); ++i) {
    if (i >= licences.size() && i >= copyrights.size() && i >= manualPages.size()) break;
    if (i < licences.size()) input.Add(ReadWhole(licences[i]));
    if (i < copyrights.size()) input.Add(ReadWhole(copyrights[i]));
    if (i < manualPages.size()) input.Add(ReadGzip(manualPages[i]));
  }
  return input.Take();
}

Bytes Source() {
  auto isHeader = [](const fs::path& path) {
    const auto extension = path.extension();
    return extension == ".h" || extension == ".hpp" || extension.empty();
  };
  InputBuilder input;
  for (const fs::path& path : FilesUnder("/usr/include", true, isHeader)) {
    if (!input.Add(ReadWhole(path))) break;
  }
  return input.Take();
}

Bytes MachineCode() {
  auto isLibrary = [](const fs::path& path) {
    return path.filename().string().find(".so") != std::string::npos;
  };
  InputBuilder input;
  for (const fs::path& path : FilesUnder("/usr/lib/x86_64-linux-gnu", false, isLibrary)) {
    if (!input.Add(ReadWhole(path), kLibraryShare)) break;
  }
  return input.Take();
}

struct Kind {
  const char* name;
  Bytes (*make)();
};
constexpr std::array<Kind, 3> kKinds{
    {{"prose", Prose}, {"source", Source}, {"binary", MachineCode}}};

const Bytes& Input(size_t kind) {
  static std::array<Bytes, kKinds.size()> inputs;
  if (inputs[kind].empty()) inputs[kind] = kKinds[kind].make();
  return inputs[kind];
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

Bytes ImplodeInput(const Bytes& input, uint32_t coding, uint32_t dictionary) {
  auto work = std::make_unique<exqrv::codec::ImplodeWork>();
  Buffers buffers;
  buffers.input = &input;
  exqrv::codec::Implode(Buffers::Read, Buffers::Write, *work, &buffers, coding, dictionary);
  buffers.output.resize(buffers.writeAt);
  return buffers.output;
}

void Report(benchmark::State& state, size_t input, size_t compressed) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input));
  state.counters["ratio%"] = 100.0 * static_cast<double>(compressed) / static_cast<double>(input);
}

void Explode(benchmark::State& state, const Bytes& input, uint32_t coding) {
  const Bytes stream = ImplodeInput(input, coding, 4096);
  auto work = std::make_unique<exqrv::codec::ExplodeWork>();
  Buffers buffers;
  buffers.input = &stream;
  buffers.output.resize(input.size());
  for (auto _ : state) {
    buffers.Rewind();
    const BlockResult result =
        exqrv::codec::Explode(Buffers::Read, Buffers::Write, *work, &buffers);
    if (result != BlockResult::Ok || buffers.writeAt != input.size()) {
      state.SkipWithError("explode failed");
    }
    benchmark::DoNotOptimize(buffers.output.data());
  }
  Report(state, input.size(), stream.size());
}

void ZlibInflate(benchmark::State& state, const Bytes& input) {
  Bytes compressed(compressBound(input.size()));
  uLongf compressedSize = compressed.size();
  compress2(compressed.data(), &compressedSize, input.data(), input.size(), 6);
  Bytes output(input.size());
  for (auto _ : state) {
    uLongf outputSize = output.size();
    if (uncompress(output.data(), &outputSize, compressed.data(), compressedSize) != Z_OK) {
      state.SkipWithError("inflate failed");
    }
    benchmark::DoNotOptimize(output.data());
  }
  Report(state, input.size(), compressedSize);
}

void LibdeflateDecompress(benchmark::State& state, const Bytes& input) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
  Bytes compressed(libdeflate_deflate_compress_bound(compressor, input.size()));
  const size_t compressedSize = libdeflate_deflate_compress(compressor, input.data(), input.size(),
                                                            compressed.data(), compressed.size());
  libdeflate_free_compressor(compressor);
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  Bytes output(input.size());
  for (auto _ : state) {
    if (libdeflate_deflate_decompress(decompressor, compressed.data(), compressedSize,
                                      output.data(), output.size(),
                                      nullptr) != LIBDEFLATE_SUCCESS) {
      state.SkipWithError("decompress failed");
    }
    benchmark::DoNotOptimize(output.data());
  }
  libdeflate_free_decompressor(decompressor);
  Report(state, input.size(), compressedSize);
}

void Implode(benchmark::State& state, const Bytes& input, uint32_t dictionary, uint32_t coding) {
  auto work = std::make_unique<exqrv::codec::ImplodeWork>();
  Buffers buffers;
  buffers.input = &input;
  buffers.output.resize(input.size());
  for (auto _ : state) {
    buffers.Rewind();
    exqrv::codec::Implode(Buffers::Read, Buffers::Write, *work, &buffers, coding, dictionary);
    benchmark::DoNotOptimize(buffers.output.data());
  }
  Report(state, input.size(), buffers.writeAt);
}

void ZlibDeflate(benchmark::State& state, const Bytes& input, int level) {
  Bytes compressed(compressBound(input.size()));
  uLongf compressedSize = 0;
  for (auto _ : state) {
    compressedSize = compressed.size();
    if (compress2(compressed.data(), &compressedSize, input.data(), input.size(), level) != Z_OK) {
      state.SkipWithError("deflate failed");
    }
    benchmark::DoNotOptimize(compressed.data());
  }
  Report(state, input.size(), compressedSize);
}

void LibdeflateCompress(benchmark::State& state, const Bytes& input, int level) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
  Bytes compressed(libdeflate_deflate_compress_bound(compressor, input.size()));
  size_t compressedSize = 0;
  for (auto _ : state) {
    compressedSize = libdeflate_deflate_compress(compressor, input.data(), input.size(),
                                                 compressed.data(), compressed.size());
    benchmark::DoNotOptimize(compressed.data());
  }
  libdeflate_free_compressor(compressor);
  Report(state, input.size(), compressedSize);
}

const char* CodingName(uint32_t coding) {
  return coding == exqrv::codec::Ascii ? "ascii" : "binary";
}

std::string ImplodeName(const char* kind, uint32_t dictionary, uint32_t coding) {
  return std::string("Implode/") + kind + "/" + std::to_string(dictionary) + "/" +
         CodingName(coding);
}

// Every benchmark of every kind, named KIND-first after what runs:
// "Explode/prose/binary", "LibdeflateCompress/source/6". The input is read
// when the first benchmark of its kind runs, outside the timing.
void RegisterAll() {
  using exqrv::codec::Ascii;
  using exqrv::codec::Binary;
  for (size_t kind = 0; kind < kKinds.size(); ++kind) {
    const std::string name = kKinds[kind].name;
    auto add = [&](const std::string& what, auto run) {
      benchmark::RegisterBenchmark(what.c_str(), [kind, run](benchmark::State& state) {
        run(state, Input(kind));
      })->Unit(benchmark::kMillisecond);
    };
    for (uint32_t coding : {Binary, Ascii}) {
      add("Explode/" + name + "/" + CodingName(coding),
          [coding](benchmark::State& state, const Bytes& input) { Explode(state, input, coding); });
    }
    add("LibdeflateDecompress/" + name, LibdeflateDecompress);
    add("ZlibInflate/" + name, ZlibInflate);
    for (uint32_t coding : {Binary, Ascii}) {
      for (uint32_t dictionary : {1024U, 2048U, 4096U}) {
        add(ImplodeName(name.c_str(), dictionary, coding),
            [dictionary, coding](benchmark::State& state, const Bytes& input) {
              Implode(state, input, dictionary, coding);
            });
      }
    }
    add("LibdeflateCompress/" + name + "/6",
        [](benchmark::State& state, const Bytes& input) { LibdeflateCompress(state, input, 6); });
    for (int level : {1, 6}) {
      add("ZlibDeflate/" + name + "/" + std::to_string(level),
          [level](benchmark::State& state, const Bytes& input) {
            ZlibDeflate(state, input, level);
          });
    }
  }
}

// Each codec figure as a speed ratio to its yardstick, kind by kind: above 1
// is faster.
std::vector<exqrv::bench::Row> Rows(const exqrv::bench::Recorder& results) {
  std::vector<exqrv::bench::Row> rows;
  auto speed = [&](const std::string& name) {
    const auto* result = results.Find(name);
    return result == nullptr ? 0.0 : result->counters.at("bytes_per_second") / 1e6;
  };
  auto add = [&](std::string what, const std::string& name, const std::string& yardstickName,
                 const char* yardstick) {
    const double figure = speed(name);
    const double against = speed(yardstickName);
    if (figure == 0 || against == 0) return;
    rows.push_back({std::move(what), exqrv::bench::Format("%.0f MB/s", figure),
                    exqrv::bench::Format("%.0f MB/s ", against) + yardstick, figure / against,
                    "speed ratio"});
  };
  for (const Kind& kind : kKinds) {
    const std::string name = kind.name;
    const std::string decompress = "LibdeflateDecompress/" + name;
    add(name + ": Explode 4096, binary", "Explode/" + name + "/binary", decompress,
        "libdeflate decompress");
    add(name + ": Explode 4096, binary", "Explode/" + name + "/binary", "ZlibInflate/" + name,
        "zlib inflate");
    add(name + ": Explode 4096, ascii", "Explode/" + name + "/ascii", decompress,
        "libdeflate decompress");
    for (uint32_t coding : {exqrv::codec::Binary, exqrv::codec::Ascii}) {
      for (uint32_t dictionary : {1024U, 2048U, 4096U}) {
        add(name + ": Implode " + std::to_string(dictionary) + ", " + CodingName(coding),
            ImplodeName(kind.name, dictionary, coding), "LibdeflateCompress/" + name + "/6",
            "libdeflate level 6");
      }
    }
    const std::string implode = ImplodeName(kind.name, 4096, exqrv::codec::Binary);
    add(name + ": Implode 4096, binary", implode, "ZlibDeflate/" + name + "/1", "zlib level 1");
    add(name + ": Implode 4096, binary", implode, "ZlibDeflate/" + name + "/6", "zlib level 6");
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return exqrv::bench::Run(argc, argv, Rows);
}
