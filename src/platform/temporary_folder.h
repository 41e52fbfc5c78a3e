// A private temporary folder of a caller's own, for code that shares its
// process with others: a library's document makes its working copy and its
// other temporary files in a folder of its own, under the folder its caller
// names, never in the process's, and without the process's signal handlers.
// POSIX only, as the library is.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace exqrv::platform {

class PrivateTempFolder;

class OwnTemporaryFolder {
 public:
  // base: the folder to make it in; empty: $TMPDIR as it is now, else /tmp.
  // The folder itself is made on first use.
  explicit OwnTemporaryFolder(std::string_view base);
  ~OwnTemporaryFolder();  // empties and removes it
  OwnTemporaryFolder(const OwnTemporaryFolder&) = delete;
  OwnTemporaryFolder& operator=(const OwnTemporaryFolder&) = delete;

 private:
  friend class TemporaryFolderScope;
  std::unique_ptr<PrivateTempFolder> folder_;
};

// Sends the calling thread's temporary files (TempDirectory, the names it
// forms, TemporaryFolderProblem) into folder for its lifetime, then puts back
// whatever was in use before.
class TemporaryFolderScope {
 public:
  explicit TemporaryFolderScope(OwnTemporaryFolder& folder);
  ~TemporaryFolderScope();
  TemporaryFolderScope(const TemporaryFolderScope&) = delete;
  TemporaryFolderScope& operator=(const TemporaryFolderScope&) = delete;

 private:
  PrivateTempFolder* previous_;
};

}  // namespace exqrv::platform
