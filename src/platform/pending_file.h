// Finished files appear whole or not at all. A text file is written under a
// hidden name beside its final one and given its final name in one step when
// it is complete; a failure, a signal or a second run at the same time never
// costs the text that was there, and nothing is written through whatever
// another user may have put at the final name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/interruption.h"
#include "platform/platform.h"

namespace exqrv::platform {

// A folder that receives finished files, opened once: a folder swapped for a
// link to another place after it was opened does not move what is written.
// Opening it also removes the part files that runs of this user which died
// (SIGKILL, a power cut) left in it.
class TargetFolder {
 public:
  TargetFolder() = default;
  ~TargetFolder();
  TargetFolder(const TargetFolder&) = delete;
  TargetFolder& operator=(const TargetFolder&) = delete;

  // path: a system path. False when it is no folder that can be opened;
  // ErrorText says why.
  bool Open(std::string_view path);
  const std::string& path() const { return path_; }
  const std::string& ErrorText() const { return error_; }

 private:
  friend class PendingFile;

  int descriptor_ = -1;  // POSIX: the folder itself
  std::string path_;
  std::string error_;
};

// One file being written in a TargetFolder under the hidden name
// ".<program>-<process>-<n>.part". It is locked while it is written, which
// tells a later run that it is in use; removed on every path that does not
// place it, and by the interruption handler.
class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // program: the first word of the hidden name. False when no file could
  // be made in the folder; ErrorText says why.
  bool Create(const TargetFolder& folder, std::string_view program);
  File& file() { return file_; }
  const std::string& ErrorText() const { return error_; }

  // Completes the file and gives it name (a name in the folder). Replacing:
  // a file or a link at the name is replaced in one step, never written
  // through; a replaced file's permissions pass to the new one; a folder, a
  // pipe or a device at the name is refused. Not replacing: whatever has the
  // name wins (NameTaken). Failed: a write failed or the name was refused,
  // error says why, and whatever had the name is as it was. On every
  // result but Placed the part file is gone.
  Placement Place(std::string_view name, bool replace, std::string& error);

 private:
  void Discard();

  File file_;
  int folder_ = -1;
  std::string folderPath_;
  std::string name_;  // the hidden name; empty when there is no part file
  std::optional<RemovedIfInterrupted> guard_;
  std::string error_;
};

// Whether anything has the name: a file, a link (even one that leads
// nowhere), a pipe; what placing a file there would meet. A folder does not
// count.
bool NameIsTaken(std::string_view path);

}  // namespace exqrv::platform
