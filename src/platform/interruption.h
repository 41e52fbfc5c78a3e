// What an interrupted run leaves behind: nothing of its own making.
//
// On SIGINT, SIGTERM, SIGHUP and SIGPIPE the private temporary folder is
// emptied and removed, every file still being written under a
// RemovedIfInterrupted guard is deleted (finished files stay), and the
// process ends with status 128 + the signal number, without a word: a reader
// that went away (`qrvtool text DOC | head`) is no error worth a message.
// The handler uses only async-signal-safe calls on paths recorded beforehand.
// SIGXFSZ is ignored, so that a file-size limit fails the write that meets it.
#pragma once

#include <string_view>

namespace exqrv::platform {

// Installs the handlers. Programs call it once at start; libraries never do.
void RemoveLeftoversOnInterrupt();

// Marks one file as incomplete while it is being written. Keep() (or the
// end of the guard's life) marks it finished. Several threads may each hold
// guards; a fixed number of files can be guarded at once, beyond which a
// guard does nothing.
class RemovedIfInterrupted {
 public:
  // path: a system path as the file layer takes it.
  explicit RemovedIfInterrupted(std::string_view path);
  // name: a file in the folder open on the descriptor folder (POSIX only),
  // removed relative to it, so that a folder renamed meanwhile is no matter.
  RemovedIfInterrupted(int folder, std::string_view name);
  ~RemovedIfInterrupted() { Keep(); }
  RemovedIfInterrupted(const RemovedIfInterrupted&) = delete;
  RemovedIfInterrupted& operator=(const RemovedIfInterrupted&) = delete;

  void Keep();

 private:
  void Arm(int folder, std::string_view name);

  int slot_ = -1;
};

}  // namespace exqrv::platform
