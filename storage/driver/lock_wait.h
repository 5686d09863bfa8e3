// Waiting for a lock another station holds.
//
// A driver that waits for a held record or a locked table (HOLD and LOCK
// with or without a time limit) pauses between two attempts with
// PauseBetweenLockAttempts. Plain, the pause sleeps. The window system
// installs its own pause while it runs, so that pending window messages are
// seen while a procedure waits: the engine lets its other threads run for
// the length of the pause. The pause is process-wide, like the window
// system that fills it.
#pragma once

#include <chrono>
#include <functional>

namespace tavero::driver {

using LockWaitPause = std::function<void(std::chrono::milliseconds)>;

// Installs `pause` (an empty one restores the plain sleep) and returns the
// one it replaces.
LockWaitPause SetLockWaitPause(LockWaitPause pause);

// Called by drivers between two attempts at a lock; returns after about
// `pause`.
void PauseBetweenLockAttempts(std::chrono::milliseconds pause);

}  // namespace tavero::driver
