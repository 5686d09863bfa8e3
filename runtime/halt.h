// The orderly end of the program: HALT.
//
// Invariants:
//  (1) The halting flag only ever goes from clear to set.
//  (2) Exit procedures and termination handlers run at most once, on the
//      first halt; a halt from inside them ends the process at once.
#pragma once

#include <functional>

namespace tavero {

// Ends the program with `exit_code`. The first time, the exit procedures run
// (last registered first), then the module termination handlers in rising
// order of priority (0 first, 255 last; equal priorities in registration
// order), each called with the argument 1. The process then ends without
// running static destructors, as the platform's process exit does.
[[noreturn]] void Halt(int exit_code);

// True once a halt has begun.
bool Halting();

void RegisterExitProcedure(std::function<void()> procedure);
// `priority` is 0 to 255.
void RegisterTerminationHandler(int priority, std::function<void(int)> handler);

}  // namespace tavero
