// The platform's services on Windows: the system's own drives, directories,
// wildcard search and temporary names; a console handler that leaves
// nothing behind.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

// The system's header names its calls' character-set variants through macros
// that would rename the platform's members of the same names.
#undef CreateDirectory
#undef DeleteFile
#undef SetCurrentDirectory

#include "platform/guarded_files.h"
#include "platform/interruption.h"
#include "platform/platform.h"

namespace exqrv::platform {
namespace {

constexpr char kTempFolderPrefix[] = "EXQ";
constexpr int kFolderTries = 16;

// The process's settings, made before main runs: a drive with no medium
// fails the call instead of asking the user (the converter probes drives),
// and standard output and standard error carry the program's bytes as they
// are, line breaks included, as they do on every other system.
const bool kProcessSettingsApplied = [] {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return true;
}();

// What the console handler removes, recorded while copying is still safe.
char gTempFolder[MAX_PATH + 1];
std::atomic<bool> gTempFolderKnown{false};

// Empties a folder and removes it. A file still open in another thread is
// only marked for deletion (our files are opened for that), and goes when
// the process's handles close.
void EmptyAndRemoveFolder(const char* folder) {
  const std::string base(folder);
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((base + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::DeleteFileA((base + "\\" + found.cFileName).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  ::RemoveDirectoryA(folder);
}

// The private temporary folder: a fresh folder under the system's temporary
// path, made on first use and removed when the process ends.
class PrivateTempFolder {
 public:
  ~PrivateTempFolder() {
    if (path_.empty()) return;
    gTempFolderKnown.store(false, std::memory_order_release);
    EmptyAndRemoveFolder(path_.c_str());
  }

  const std::string& Path() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path_.empty()) Make();
    return path_;
  }

  std::string Problem() {
    std::lock_guard<std::mutex> lock(mutex_);
    return path_.empty() ? problem_ : std::string();
  }

 private:
  // GetTempFileName makes a unique name by creating a file; the folder takes
  // its place. Should another process take the name in between, try again.
  void Make() {
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length >= sizeof base) {
      problem_ = "the system names no usable temporary folder";
      return;
    }
    problem_ = std::string("no folder could be made in the temporary folder ") + base;
    for (int tries = 0; tries < kFolderTries; ++tries) {
      char name[MAX_PATH];
      if (GetTempFileNameA(base, kTempFolderPrefix, 0, name) == 0) return;
      ::DeleteFileA(name);
      if (::CreateDirectoryA(name, nullptr)) {
        path_ = name;
        std::memcpy(gTempFolder, name, path_.size() + 1);
        gTempFolderKnown.store(true, std::memory_order_release);
        return;
      }
    }
  }

  std::mutex mutex_;
  std::string path_;
  std::string problem_;
};

PrivateTempFolder& TempFolder() {
  static PrivateTempFolder folder;
  return folder;
}

// The system's calls that fill a buffer and report the length they need.
template <typename Call>
std::string Filled(Call call) {
  std::string text(MAX_PATH, '\0');
  DWORD length = call(static_cast<DWORD>(text.size()), text.data());
  if (length >= text.size()) {
    text.assign(length + 1, '\0');
    length = call(static_cast<DWORD>(text.size()), text.data());
    if (length >= text.size()) return {};
  }
  text.resize(length);
  return text;
}

BOOL WINAPI RemoveLeftoversAndExit(DWORD /*event*/) {
  ForEachGuardedFile([](int, const char* path) { ::DeleteFileA(path); });
  if (gTempFolderKnown.load(std::memory_order_acquire)) EmptyAndRemoveFolder(gTempFolder);
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace

Platform& SystemPlatform() {
  static Platform platform;
  return platform;
}

std::string Platform::CurrentDirectory() {
  return Filled([](DWORD size, char* buffer) { return GetCurrentDirectoryA(size, buffer); });
}

bool Platform::SetCurrentDirectory(std::string_view path) {
  return ::SetCurrentDirectoryA(std::string(path).c_str()) != 0;
}

std::string Platform::LogicalDriveStrings() {
  // The length reported leaves out the final NUL of the run.
  std::string strings =
      Filled([](DWORD size, char* buffer) { return GetLogicalDriveStringsA(size, buffer); });
  return strings + '\0';
}

DriveKind Platform::DriveKindAt(std::string_view root) {
  return static_cast<DriveKind>(GetDriveTypeA(std::string(root).c_str()));
}

// The system keeps a current directory per drive; "D:" alone names it.
std::string Platform::DriveCurrentDirectory(int drive) {
  if (drive < 1 || drive > 26 || (GetLogicalDrives() & (1u << (drive - 1))) == 0) return {};
  const char relative[] = {static_cast<char>('A' + drive - 1), ':', '\0'};
  std::string directory = Filled([&relative](DWORD size, char* buffer) {
    return GetFullPathNameA(relative, size, buffer, nullptr);
  });
  // As the current directory is given: a separator only after the root.
  if (directory.size() > 3 && directory.back() == '\\') directory.pop_back();
  return directory;
}

bool Platform::CreateDirectory(std::string_view path) {
  return ::CreateDirectoryA(std::string(path).c_str(), nullptr) != 0;
}

std::optional<PathStatus> Platform::StatusOf(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(std::string(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  PathStatus status;
  status.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return status;
}

std::vector<FoundEntry> Platform::FindFiles(std::string_view pattern) {
  std::vector<FoundEntry> found;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA(std::string(pattern).c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back({entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return found;
}

bool Platform::DeleteFile(std::string_view path) {
  return ::DeleteFileA(std::string(path).c_str()) != 0;
}

std::string TemporaryFolderProblem() { return TempFolder().Problem(); }

std::string Platform::TempDirectory() {
  const std::string& path = TempFolder().Path();
  return path.empty() ? std::string() : path + '\\';
}

// GetTempFileName forms <dir><prefix><hex>.TMP; with number 0 it picks a
// fresh number and creates the file, failing rather than reusing a name.
std::string Platform::UniqueTempName(std::string_view directory, std::string_view prefix,
                                     unsigned number) {
  char name[MAX_PATH];
  if (GetTempFileNameA(std::string(directory).c_str(), std::string(prefix).c_str(), number, name) ==
      0) {
    return {};
  }
  return name;
}

// The folder is the system's, which others write too: the name is held
// by a file for a moment.
std::string Platform::FreshTempName(std::string_view directory, std::string_view prefix) {
  std::string name = UniqueTempName(directory, prefix, 0);
  if (!name.empty()) DeleteFile(name);
  return name;
}

int Platform::Random() { return std::rand() & 0x7FFF; }

Placement PlaceFile(std::string_view from, std::string_view to, bool replace, std::string& error) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name exists.
  const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
  if (MoveFileExA(std::string(from).c_str(), std::string(to).c_str(), flags) != 0) {
    return Placement::Placed;
  }
  const DWORD code = GetLastError();
  if (!replace && (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)) {
    return Placement::NameTaken;
  }
  error = SystemErrorText(code);
  return Placement::Failed;
}

std::string DisplayPath(std::string_view path) { return std::string(path); }

unsigned long ProcessId() { return GetCurrentProcessId(); }

std::string SystemErrorText(unsigned long code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  // The system's texts end in a full stop and a line break; ours join others.
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == '.' || text[length - 1] == ' ')) {
    --length;
  }
  return length > 0 ? std::string(text, length) : "system error " + std::to_string(code);
}

std::string LastSystemErrorText() { return SystemErrorText(GetLastError()); }

bool IsInProcessTempFolder(std::string_view) { return false; }

// Both names open, and one volume and one file index behind them.
bool IsSameFile(std::string_view first, std::string_view second) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::string_view names[2] = {first, second};
  for (int i = 0; i < 2; ++i) {
    const HANDLE handle = CreateFileA(std::string(names[i]).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(handle, &info[i]) != 0;
    CloseHandle(handle);
    if (!known) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

std::optional<std::string> NativePath(std::string_view path) {
  if (path.empty()) return std::nullopt;
  return std::string(path);
}

std::string SystemPath(std::string_view nativePath) { return std::string(nativePath); }

// The system takes every name it allows as it is typed.
std::string VerbatimPath(std::string_view nativePath) { return std::string(nativePath); }

// What follows the program's name, as the system starts a program: the name
// ends at its closing quote or at the first blank, and the blanks after it
// are skipped. The rest stays as typed, trailing blanks included.
std::string ProgramCommandLine(int /*argc*/, char** /*argv*/) {
  const char* at = GetCommandLineA();
  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') ++at;
    if (*at == '"') ++at;
  } else {
    while (*at != '\0' && *at != ' ' && *at != '\t') ++at;
  }
  while (*at == ' ' || *at == '\t') ++at;
  return at;
}

void RemoveLeftoversOnInterrupt() { SetConsoleCtrlHandler(RemoveLeftoversAndExit, TRUE); }

}  // namespace exqrv::platform
