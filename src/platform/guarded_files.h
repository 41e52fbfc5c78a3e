// The files being written that an interruption deletes (inside the platform
// layer only): RemovedIfInterrupted records them while copying is still
// safe, and each system's interruption handler walks them.
#pragma once

namespace exqrv::platform {

// Calls remove with the native path of every file still being written,
// using no lock and no allocation (safe in a signal handler).
void ForEachGuardedFile(void (*remove)(const char* path));

}  // namespace exqrv::platform
