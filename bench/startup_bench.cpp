// What one call of a program costs a script that runs it once per document:
// `exqrv A.QRV /OUT` beside `qrvtool text A.QRV`, on a one-line document, as
// whole processes. The time is the child's CPU time (user and system), and
// the peak resident size is reported beside it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_table.h"
#include "builder/document_builder.h"

namespace {

// A private folder holding A.QRV and the target OUT, removed at exit.
struct Folder : exqrv::bench::ScratchFolder {
  Folder() : ScratchFolder("startup") {
    if (path.empty()) return;
    std::filesystem::create_directories(path + "/OUT");
    exqrv::build::PageStream page;
    page.TextRun({exqrv::build::PageStream::Item("One line of text.")}).End();
    exqrv::build::DocumentRecipe recipe;
    recipe.pages.push_back(page.bytes());
    exqrv::build::WriteFileBytes(path + "/A.QRV", exqrv::build::BuildDocument(recipe));
  }
};

const Folder& GetFolder() {
  static const Folder folder;
  return folder;
}

// Runs the program to its end in the folder, standard input and output on
// /dev/null; returns its resource use, or false when it did not end with
// status 0. posix_spawn, so that the child's time is the program's own and
// not that of copying this process.
bool RunProcess(const std::vector<std::string>& arguments, rusage* usage) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, GetFolder().path.c_str());
  pid_t child = 0;
  const int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return failed == 0 && wait4(child, &status, 0, usage) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
}

void RunProgram(benchmark::State& state, const std::vector<std::string>& arguments) {
  if (GetFolder().path.empty()) {
    state.SkipWithError("no folder for the document");
    return;
  }
  long peakKiB = 0;
  for (auto _ : state) {
    rusage usage{};
    if (!RunProcess(arguments, &usage)) {
      state.SkipWithError("the program failed");
      break;
    }
    state.SetIterationTime(Seconds(usage.ru_utime) + Seconds(usage.ru_stime));
    peakKiB = std::max(peakKiB, usage.ru_maxrss);
  }
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

void BM_ExqrvOneLineDocument(benchmark::State& state) {
  RunProgram(state, {EXQRV_PROGRAM_DIR "/exqrv", "A.QRV", "/OUT"});
}
void BM_QrvtoolTextOneLineDocument(benchmark::State& state) {
  RunProgram(state, {EXQRV_PROGRAM_DIR "/qrvtool", "text", "A.QRV"});
}
BENCHMARK(BM_ExqrvOneLineDocument)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_QrvtoolTextOneLineDocument)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

// exqrv's CPU time per call against qrvtool's (within 1.5 is the aim), and
// its peak resident size (at most 8 MiB).
std::vector<exqrv::bench::Row> Rows(const exqrv::bench::Recorder& results) {
  const auto* exqrv = results.Find("BM_ExqrvOneLineDocument/iterations:200/manual_time");
  const auto* qrvtool = results.Find("BM_QrvtoolTextOneLineDocument/iterations:200/manual_time");
  if (exqrv == nullptr || qrvtool == nullptr) return {};
  const double exqrvMs = exqrv->realSeconds * 1e3;
  const double qrvtoolMs = qrvtool->realSeconds * 1e3;
  return {{"exqrv A.QRV, one-line document",
           exqrv::bench::Format("%.1f ms CPU, ", exqrvMs) +
               exqrv::bench::Format("%.1f MiB", exqrv->counters.at("peak_MiB")),
           exqrv::bench::Format("%.1f ms CPU, ", qrvtoolMs) +
               exqrv::bench::Format("%.1f MiB qrvtool text", qrvtool->counters.at("peak_MiB")),
           exqrvMs / qrvtoolMs, "time ratio"}};
}

}  // namespace

int main(int argc, char** argv) { return exqrv::bench::Run(argc, argv, Rows); }
