// The files being written that an interruption deletes (inside the platform
// layer only): RemovedIfInterrupted records them while copying is still
// safe, and each system's interruption handler walks them.
#pragma once

namespace exqrv::platform {

// The folder a guarded name is relative to when it is a plain path.
inline constexpr int kNoFolder = -100;

// Calls remove with every file still being written: its folder's descriptor
// (kNoFolder for a plain native path) and its name, using no lock and no
// allocation (safe in a signal handler).
void ForEachGuardedFile(void (*remove)(int folder, const char* name));

}  // namespace exqrv::platform
