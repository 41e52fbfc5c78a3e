// The Qt dialog at scale, on the offscreen platform: a batch of 5,000
// documents through "Convert", beside the command line converting the same
// documents in the same run; and a folder of 5,000 entries opened in the
// dialog, beside the platform listing that folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <QApplication>

#include "app/converter_app.h"
#include "bench_table.h"
#include "dialog_corpus.h"
#include "builder/document_builder.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "ui/file_list_box.h"
#include "ui/main_dialog.h"

namespace {

constexpr int kDocuments = exqrv::bench::kDialogDocuments;

// docs: the documents; texts: where the batch writes; many: 5,000 texts.
struct Folder : exqrv::bench::ScratchFolder {
  Folder() : ScratchFolder("dialog-bench") {
    if (path.empty()) return;
    std::filesystem::create_directories(path + "/docs");
    std::filesystem::create_directories(path + "/many");
    exqrv::bench::WriteDialogCorpus(path + "/docs", path + "/many");
  }
  std::string Fresh(const std::string& name) const {
    std::filesystem::remove_all(path + "/" + name);
    std::filesystem::create_directories(path + "/" + name);
    return exqrv::platform::SystemPath(path + "/" + name);
  }
};

const Folder& GetFolder() {
  static const Folder folder;
  return folder;
}

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "dialog_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
}

// No box is expected; one would be answered at once.
class SilentPrompter : public exqrv::platform::Prompter {
 public:
  exqrv::platform::Answer Show(std::string_view, exqrv::platform::Buttons,
                               exqrv::platform::Icon) override {
    return exqrv::platform::Answer::Ok;
  }
};

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_QtDialogBatch(benchmark::State& state) {
  EnsureApplication();
  const Folder& folder = GetFolder();
  SilentPrompter prompter;
  const exqrv::platform::PrompterScope scope(&prompter);
  for (auto _ : state) {
    exqrv::ConverterApp app;
    app.SourceDirectory = exqrv::platform::SystemPath(folder.path + "/docs");
    app.TargetDirectory = folder.Fresh("texts");
    exqrv::ui::MainDialog dialog(app);
    dialog.show();
    QCoreApplication::processEvents();
    dialog.FileList(exqrv::DocumentSide)->selectAll();
    const Clock::time_point start = Clock::now();
    dialog.Controller().OnConvert();
    QCoreApplication::processEvents();
    state.SetIterationTime(SecondsSince(start));
    if (app.TextFileList.size() != kDocuments) state.SkipWithError("not every document converted");
  }
}

void BM_CommandLineBatch(benchmark::State& state) {
  const Folder& folder = GetFolder();
  for (auto _ : state) {
    const std::string texts = folder.Fresh("texts");
    exqrv::platform::CurrentPlatform().SetCurrentDirectory(
        exqrv::platform::SystemPath(folder.path + "/docs"));
    exqrv::ConverterApp app;
    const Clock::time_point start = Clock::now();
    const int status = app.StartUp("*.QRV /" + folder.path + "/texts");
    state.SetIterationTime(SecondsSince(start));
    if (status != exqrv::kExitSuccess) state.SkipWithError("the command line failed");
  }
}

void BM_QtDialogOpensFolder(benchmark::State& state) {
  EnsureApplication();
  const Folder& folder = GetFolder();
  exqrv::ConverterApp app;
  app.SourceDirectory = exqrv::platform::SystemPath(folder.path + "/docs");
  app.TargetDirectory = exqrv::platform::SystemPath(folder.path);
  exqrv::ui::MainDialog dialog(app);
  dialog.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    dialog.Controller().ChangeDirectory(exqrv::TextSide,
                                        exqrv::platform::SystemPath(folder.path + "/many"));
    QCoreApplication::processEvents();
    state.SetIterationTime(SecondsSince(start));
    dialog.Controller().ChangeDirectory(exqrv::TextSide, exqrv::platform::SystemPath(folder.path));
  }
}

void BM_PlatformListsFolder(benchmark::State& state) {
  const Folder& folder = GetFolder();
  exqrv::platform::Platform& system = exqrv::platform::CurrentPlatform();
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    system.SetCurrentDirectory(exqrv::platform::SystemPath(folder.path + "/many"));
    const size_t found = system.FindFiles("*.*").size() + system.FindFiles("*.TXT").size();
    state.SetIterationTime(SecondsSince(start));
    benchmark::DoNotOptimize(found);
  }
}

BENCHMARK(BM_QtDialogBatch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CommandLineBatch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_QtDialogOpensFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlatformListsFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

std::vector<exqrv::bench::Row> Rows(const exqrv::bench::Recorder& results) {
  std::vector<exqrv::bench::Row> rows;
  const auto* dialog = results.Find("BM_QtDialogBatch/iterations:2/manual_time");
  const auto* line = results.Find("BM_CommandLineBatch/iterations:2/manual_time");
  if (dialog != nullptr && line != nullptr) {
    // Wall time is what the user waits; the CPU time shows the dialog's
    // own cost on a busy machine.
    rows.push_back({"Qt dialog, 5,000-document batch",
                    exqrv::bench::Format("%.2f s, ", dialog->realSeconds) +
                        exqrv::bench::Format("%.2f s CPU", dialog->cpuSeconds),
                    exqrv::bench::Format("%.2f s, ", line->realSeconds) +
                        exqrv::bench::Format("%.2f s CPU command line", line->cpuSeconds),
                    dialog->realSeconds / line->realSeconds, "time ratio"});
  }
  const auto* opens = results.Find("BM_QtDialogOpensFolder/iterations:5/manual_time");
  const auto* lists = results.Find("BM_PlatformListsFolder/iterations:5/manual_time");
  if (opens != nullptr && lists != nullptr) {
    rows.push_back({"Qt dialog, 5,000-entry folder opened",
                    exqrv::bench::Format("%.3f s", opens->realSeconds),
                    exqrv::bench::Format("%.3f s listing it", lists->realSeconds),
                    opens->realSeconds / lists->realSeconds, "time ratio"});
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) { return exqrv::bench::Run(argc, argv, Rows); }
