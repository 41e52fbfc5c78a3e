// The guards every system shares: which files are still being written.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/guarded_files.h"
#include "platform/interruption.h"
#include "platform/platform.h"

namespace exqrv::platform {
namespace {

constexpr int kGuardSlots = 64;
constexpr size_t kGuardedPathSize = 4096;
enum SlotState : int { kFree, kFilling, kArmed };
struct GuardSlot {
  std::atomic<int> state{kFree};
  int folder = kNoFolder;
  char path[kGuardedPathSize]{};
};
// All zero, so it lives in untouched memory: no start-up code writes its
// 256 KiB, and a run that guards one file touches one page of it.
constinit GuardSlot gGuarded[kGuardSlots];

}  // namespace

void ForEachGuardedFile(void (*remove)(int folder, const char* name)) {
  for (GuardSlot& slot : gGuarded) {
    if (slot.state.load(std::memory_order_acquire) == kArmed) remove(slot.folder, slot.path);
  }
}

RemovedIfInterrupted::RemovedIfInterrupted(std::string_view path) {
  const std::optional<std::string> native = NativePath(path);
  if (native) Arm(kNoFolder, *native);
}

RemovedIfInterrupted::RemovedIfInterrupted(int folder, std::string_view name) { Arm(folder, name); }

void RemovedIfInterrupted::Arm(int folder, std::string_view name) {
  if (name.size() >= kGuardedPathSize) return;
  for (int i = 0; i < kGuardSlots; ++i) {
    int expected = kFree;
    if (!gGuarded[i].state.compare_exchange_strong(expected, kFilling)) continue;
    gGuarded[i].folder = folder;
    std::memcpy(gGuarded[i].path, name.data(), name.size());
    gGuarded[i].path[name.size()] = '\0';
    gGuarded[i].state.store(kArmed, std::memory_order_release);
    slot_ = i;
    return;
  }
}

void RemovedIfInterrupted::Keep() {
  if (slot_ < 0) return;
  gGuarded[slot_].state.store(kFree, std::memory_order_release);
  slot_ = -1;
}

}  // namespace exqrv::platform
