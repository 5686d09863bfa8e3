// Program start: the runtime's module initialisers, run in rising order of
// priority before the application's own start. Their counterparts at the
// end are the termination handlers of halt.h.
#pragma once

#include <functional>

namespace tavero {

// `priority` is 0 to 255; equal priorities run in registration order.
void RegisterModuleInitialiser(int priority, std::function<void()> initialiser);

// Runs every registered initialiser once, 0 first; initialisers registered
// later run at the next call.
void RunModuleInitialisers();

}  // namespace tavero
