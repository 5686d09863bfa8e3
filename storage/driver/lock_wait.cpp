#include "storage/driver/lock_wait.h"

#include <thread>
#include <utility>

namespace tavero::driver {
namespace {

// The window system's pause; set while the window system runs.
LockWaitPause& InstalledPause() {
  static LockWaitPause pause;
  return pause;
}

}  // namespace

LockWaitPause SetLockWaitPause(LockWaitPause pause) { return std::exchange(InstalledPause(), std::move(pause)); }

void PauseBetweenLockAttempts(std::chrono::milliseconds pause) {
  if (const LockWaitPause& installed = InstalledPause()) {
    installed(pause);
    return;
  }
  std::this_thread::sleep_for(pause);
}

}  // namespace tavero::driver
