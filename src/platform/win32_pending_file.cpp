// Files placed whole on Windows: the part file made with CREATE_NEW beside
// its final name and moved there with MoveFileEx. Windows has no descriptor
// for a folder to work relative to; a link at the final name is replaced,
// never written through, since the move replaces the name itself.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/pending_file.h"

namespace exqrv::platform {
namespace {

constexpr int kNameTries = 100;

}  // namespace

TargetFolder::~TargetFolder() = default;

bool TargetFolder::Open(std::string_view path) {
  path_ = path;
  error_.clear();
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error_ = SystemErrorText(GetLastError());
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error_ = SystemErrorText(ERROR_DIRECTORY);
    return false;
  }
  return true;
}

PendingFile::~PendingFile() { Discard(); }

bool PendingFile::Create(const TargetFolder& folder, std::string_view program) {
  Discard();
  error_.clear();
  static std::atomic<unsigned> counter = 0;
  for (int tries = 0; tries < kNameTries; ++tries) {
    const std::string name =
        JoinPath(folder.path(), "." + std::string(program) + "-" + std::to_string(ProcessId()) +
                                    "-" + std::to_string(counter++) + ".part");
    guard_.emplace(name);
    if (file_.Open(name, OpenMode::CreateNew)) {
      folderPath_ = folder.path();
      name_ = name;
      return true;
    }
    guard_.reset();
    if (!file_.NameTaken()) {
      error_ = file_.ErrorText();
      return false;
    }
  }
  error_ = SystemErrorText(ERROR_FILE_EXISTS);
  return false;
}

Placement PendingFile::Place(std::string_view name, bool replace, std::string& error) {
  if (name_.empty()) {
    error = error_;
    return Placement::Failed;
  }
  const std::string target = JoinPath(folderPath_, name);
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = SystemErrorText(ERROR_DIRECTORY);
    Discard();
    return Placement::Failed;
  }
  if (!file_.Close()) {
    error = file_.ErrorText();
    Discard();
    return Placement::Failed;
  }
  const Placement placement = PlaceFile(name_, target, replace, error);
  if (placement != Placement::Placed) {
    Discard();
    return placement;
  }
  name_.clear();
  guard_.reset();
  return Placement::Placed;
}

void PendingFile::Discard() {
  file_.Close();
  if (!name_.empty()) ::DeleteFileA(name_.c_str());
  name_.clear();
  guard_.reset();
}

bool NameIsTaken(std::string_view path) {
  const DWORD attributes = GetFileAttributesA(std::string(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace exqrv::platform
