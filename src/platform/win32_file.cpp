// The file object's system calls on Windows: CreateFile handles moved with
// SetFilePointerEx, read with ReadFile and written with WriteFile.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/file.h"
#include "platform/platform.h"

namespace exqrv::platform {
namespace {

// Each mode's access, sharing and disposition. Our own files are also open
// to deletion, so that an interrupted run can delete what it was writing
// while the handle is still open.
struct ModeFlags {
  DWORD access, share, disposition;
};

ModeFlags FlagsFor(OpenMode mode) {
  switch (mode) {
    case OpenMode::Read:
      return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING};
    case OpenMode::ReadWrite:
      return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_ALWAYS};
    case OpenMode::Write: return {GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_ALWAYS};
    case OpenMode::CreateNew: return {GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW};
  }
  return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
}

// One transfer moves at most this much: ReadFile and WriteFile count in DWORDs.
constexpr size_t kLargestTransfer = 1u << 30;

bool MoveTo(HANDLE handle, int64_t at) {
  LARGE_INTEGER distance;
  distance.QuadPart = at;
  return SetFilePointerEx(handle, distance, nullptr, FILE_BEGIN) != 0;
}

}  // namespace

Handle StandardInput() { return GetStdHandle(STD_INPUT_HANDLE); }
Handle StandardOutput() { return GetStdHandle(STD_OUTPUT_HANDLE); }
Handle StandardError() { return GetStdHandle(STD_ERROR_HANDLE); }
bool IsTerminal(Handle handle) {
  DWORD mode = 0;
  return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}
int TerminalColumns(Handle handle) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(handle, &info) == 0) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

bool File::OpenHandle(std::string_view path, OpenMode mode) {
  const std::string name(path);
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    SetError(Fault::IsDirectory);
    return false;
  }
  const ModeFlags flags = FlagsFor(mode);
  const HANDLE handle = CreateFileA(name.c_str(), flags.access, flags.share, nullptr,
                                    flags.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    nameTaken_ =
        mode == OpenMode::CreateNew && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS);
    SetLastError(code);
    SetError(Fault::LastSystemError);
    return false;
  }
  // Reads go by offset, which a pipe or a device cannot give.
  if (mode == OpenMode::Read && GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    SetError(Fault::NotSeekable);
    return false;
  }
  handle_ = handle;
  return true;
}

void File::CloseHandle() { ::CloseHandle(handle_); }

bool File::SystemSync() { return FlushFileBuffers(handle_) != 0; }

bool File::SystemTruncate() { return MoveTo(handle_, 0) && SetEndOfFile(handle_) != 0; }

int64_t File::SystemSize() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_, &size)) return -1;
  return size.QuadPart;
}

int64_t File::SystemRead(void* buffer, size_t count, int64_t at) {
  if (seekable_ && !MoveTo(handle_, at)) return -1;
  DWORD got = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min(count, kLargestTransfer)), &got,
                nullptr)) {
    // A pipe whose writer has gone has simply ended.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return got;
}

int64_t File::SystemWrite(const void* data, size_t count, int64_t at) {
  if (seekable_ && !MoveTo(handle_, at)) return -1;
  DWORD put = 0;
  if (!WriteFile(handle_, data, static_cast<DWORD>(std::min(count, kLargestTransfer)), &put,
                 nullptr)) {
    return -1;
  }
  return put;
}

void File::SetError(Fault fault) {
  DWORD code = 0;
  switch (fault) {
    case Fault::LastSystemError: code = GetLastError(); break;
    case Fault::NotFound: code = ERROR_FILE_NOT_FOUND; break;
    case Fault::IsDirectory: code = ERROR_ACCESS_DENIED; break;
    case Fault::NotSeekable: code = ERROR_SEEK_ON_DEVICE; break;
    case Fault::NotOpen: code = ERROR_INVALID_HANDLE; break;
    case Fault::DeviceFull: code = ERROR_DISK_FULL; break;
  }
  errorText_ = SystemErrorText(code);
}

}  // namespace exqrv::platform
