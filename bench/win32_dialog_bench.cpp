// The Win32 dialog at scale, under Wine on a virtual display: a batch of
// 5,000 documents through "Convert", beside the command line converting the
// same documents in the same run; and folders of 5,000 texts and of 5,000
// documents opened by a double-click, beside the system listing the folder.
// The dialog runs on a thread of its own, driven from the main thread with
// the messages its controls send; each message returns when the dialog has
// done what it asks, and the dialog is then made to paint.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/converter_app.h"
#include "dialog_corpus.h"
#include "dialog/dialog_template.h"
#include "platform/platform.h"
#include "win32_dialog/win32_main_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDocuments = exqrv::bench::kDialogDocuments;
constexpr int kFolderOpenings = 5;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A fresh folder in the system's temporary folder, removed with its files.
// docs: the documents; many: 5,000 texts; batch and line: where the dialog
// and the command line write.
class Folder {
 public:
  Folder() {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    path_ = std::string(base) + "exqrv-win32-dialog-bench-" + std::to_string(GetCurrentProcessId());
    std::filesystem::remove_all(path_);
    for (const char* sub : {"docs", "many", "batch", "line"}) {
      std::filesystem::create_directories(path_ + "\\" + sub);
    }
    exqrv::bench::WriteDialogCorpus(path_ + "\\docs", path_ + "\\many");
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  std::string operator/(const char* sub) const { return path_ + "\\" + sub; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The dialog on a thread of its own over its own ConverterApp; closed and
// joined when the object goes.
class DialogThread {
 public:
  DialogThread(const std::string& source, const std::string& target) {
    app_.SourceDirectory = source;
    app_.TargetDirectory = target;
    thread_ = std::thread([this] {
      threadId_ = GetCurrentThreadId();
      exqrv::win32ui::RunMainDialog(app_);
    });
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (window_ == nullptr && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      window_ = FindDialog();
    }
  }
  ~DialogThread() {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  DialogThread(const DialogThread&) = delete;
  DialogThread& operator=(const DialogThread&) = delete;

  bool Shown() const { return window_ != nullptr; }
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  // What a click or a double-click on the control sends; returns when done.
  void Notify(int id, int code) const {
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Control(id)));
  }
  // Paints what is waiting to be painted, and returns when it is done.
  void PaintNow() const {
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  int Count(int listId) const {
    return static_cast<int>(SendMessageA(Control(listId), LB_GETCOUNT, 0, 0));
  }

 private:
  HWND FindDialog() const {
    HWND found = nullptr;
    EnumThreadWindows(
        threadId_,
        [](HWND window, LPARAM data) -> BOOL {
          char title[128] = {};
          GetWindowTextA(window, title, sizeof title);
          if (exqrv::dialog::kDialogTitle != std::string_view(title)) return TRUE;
          *reinterpret_cast<HWND*>(data) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }

  exqrv::ConverterApp app_;
  std::atomic<DWORD> threadId_{0};
  std::thread thread_;
  HWND window_ = nullptr;
};

double CommandLineBatch(const Folder& folder) {
  exqrv::platform::CurrentPlatform().SetCurrentDirectory(folder / "docs");
  exqrv::ConverterApp app;
  const Clock::time_point start = Clock::now();
  const int status = app.StartUp("*.QRV /" + (folder / "line"));
  const double seconds = SecondsSince(start);
  return status == exqrv::kExitSuccess ? seconds : -1;
}

double DialogBatch(const Folder& folder) {
  const DialogThread dialog(folder / "docs", folder / "batch");
  if (!dialog.Shown()) return -1;
  SendMessageA(dialog.Control(exqrv::dialog::kDocumentFileListId), LB_SETSEL, TRUE, -1);
  const Clock::time_point start = Clock::now();
  dialog.Notify(exqrv::dialog::kConvertButtonId, BN_CLICKED);
  dialog.PaintNow();
  const double seconds = SecondsSince(start);
  return dialog.Count(exqrv::dialog::kTextFileListId) == kDocuments ? seconds : -1;
}

// The quickest of a few openings of the sub-folder `name` of the folder, by
// a double-click in the side's file list; the ".." button goes back each
// time.
double DialogOpensFolder(const Folder& folder, exqrv::Side side, const char* name) {
  const DialogThread dialog(folder.path(), folder.path());
  if (!dialog.Shown()) return -1;
  const bool documents = side == exqrv::DocumentSide;
  const int listId =
      documents ? exqrv::dialog::kDocumentFileListId : exqrv::dialog::kTextFileListId;
  const int upId = documents ? exqrv::dialog::kDocumentUpButtonId : exqrv::dialog::kTextUpButtonId;
  double best = -1;
  for (int i = 0; i < kFolderOpenings; ++i) {
    const HWND list = dialog.Control(listId);
    const LRESULT item = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(name));
    if (item == LB_ERR) return -1;
    SendMessageA(list, documents ? LB_SETCARETINDEX : LB_SETCURSEL, static_cast<WPARAM>(item), 0);
    const Clock::time_point start = Clock::now();
    dialog.Notify(listId, LBN_DBLCLK);
    dialog.PaintNow();
    const double seconds = SecondsSince(start);
    if (dialog.Count(listId) != kDocuments) return -1;
    if (best < 0 || seconds < best) best = seconds;
    dialog.Notify(upId, BN_CLICKED);
  }
  return best;
}

double SystemListsFolder(const Folder& folder) {
  const Clock::time_point start = Clock::now();
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((folder / "many\\*.*").c_str(), &entry);
  size_t found = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do ++found;
    while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  const double seconds = SecondsSince(start);
  return found >= kDocuments ? seconds : -1;
}

void PrintRow(const char* what, const std::string& figure, const std::string& yardstick,
              double ratio) {
  std::printf("%-44s %-22s %-34s %5.2fx time ratio\n", what, figure.c_str(), yardstick.c_str(),
              ratio);
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

}  // namespace

int main() {
  std::printf("making %d documents and %d texts...\n", kDocuments, kDocuments);
  std::fflush(stdout);
  const Folder folder;
  const double line = CommandLineBatch(folder);
  const double batch = DialogBatch(folder);
  const double texts = DialogOpensFolder(folder, exqrv::TextSide, "many");
  const double documents = DialogOpensFolder(folder, exqrv::DocumentSide, "docs");
  const double listing = SystemListsFolder(folder);
  if (line < 0 || batch < 0 || texts < 0 || documents < 0 || listing < 0) {
    std::fprintf(stderr, "a measurement failed: %.3f %.3f %.3f %.3f %.3f\n", line, batch, texts,
                 documents, listing);
    return 1;
  }
  std::printf("\nThe Win32 dialog under Wine, each figure beside its yardstick:\n");
  PrintRow("Win32 dialog, 5,000-document batch", Seconds(batch), Seconds(line) + " command line",
           batch / line);
  PrintRow("Win32 dialog, 5,000-text folder opened", Seconds(texts),
           Seconds(listing) + " listing it", texts / listing);
  PrintRow("Win32 dialog, 5,000-document folder opened", Seconds(documents),
           Seconds(listing) + " listing it", documents / listing);
  return 0;
}
