// The short table `make bench` ends with: each figure beside its yardstick,
// both measured in the same run on the same input, and their ratio. A bench
// program runs its benchmarks through Run(), which keeps every result, then
// names its rows; the rows go to standard output and to a file that the
// Makefile prints after the last program.
#pragma once

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace exqrv::bench {

// A private folder $TMPDIR/exqrv-NAME-XXXXXX for a benchmark's files,
// removed with everything in it when the object goes; path is empty when it
// could not be made.
struct ScratchFolder {
  std::string path;
  explicit ScratchFolder(const char* name) {
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp") + "/exqrv-" +
        name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
};

// Console output as usual, and each run's CPU time per iteration and
// counters kept by name.
class Recorder : public benchmark::ConsoleReporter {
 public:
  struct Result {
    double cpuSeconds = 0;
    double realSeconds = 0;  // or the time the benchmark measured itself
    std::map<std::string, double> counters;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Result& result = results_[run.benchmark_name()];
      const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
      result.cpuSeconds = run.GetAdjustedCPUTime() / unit;
      result.realSeconds = run.GetAdjustedRealTime() / unit;
      for (const auto& [name, counter] : run.counters) result.counters[name] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  const Result* Find(const std::string& name) const {
    const auto found = results_.find(name);
    return found == results_.end() ? nullptr : &found->second;
  }

 private:
  std::map<std::string, Result> results_;
};

// One line of the table: what, its figure, the yardstick's, the ratio.
struct Row {
  std::string what;
  std::string figure;
  std::string yardstick;
  double ratio = 0;
  std::string ratioMeans;  // e.g. "speed ratio", "time ratio"
};

inline std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Writes the rows to standard output and appends them to `tablePath`.
inline void PrintRows(const std::vector<Row>& rows, const char* tablePath) {
  std::FILE* table = std::fopen(tablePath, "a");
  std::fputs("\n", stdout);  // after the console reporter's last line
  for (std::FILE* out : {stdout, table}) {
    if (out == nullptr) continue;
    for (const Row& row : rows) {
      std::fprintf(out, "%-44s %-22s %-34s %5.2fx %s\n", row.what.c_str(), row.figure.c_str(),
                   row.yardstick.c_str(), row.ratio, row.ratioMeans.c_str());
    }
  }
  if (table != nullptr) std::fclose(table);
}

// Runs the benchmarks selected on the command line; the table goes to the
// file named by --table=PATH (default: none).
template <typename MakeRows>
int Run(int argc, char** argv, MakeRows makeRows) {
  std::string tablePath;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--table=", 0) == 0) tablePath = argument.substr(8);
    else rest.push_back(argv[i]);
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
  Recorder recorder;
  benchmark::RunSpecifiedBenchmarks(&recorder);
  benchmark::Shutdown();
  PrintRows(makeRows(recorder), tablePath.empty() ? "/dev/null" : tablePath.c_str());
  return 0;
}

}  // namespace exqrv::bench
