// The program's start: runtime initialisation, then `Main`. The program ends
// when Main returns.
#pragma once

#include "ui/platform.h"

namespace zephcol {

// Initialises the runtime (its module initialisers, locale and environment
// settings, the window definitions, the window system on `platform`) and runs Main as the
// engine's main thread on the calling thread. Returns the exit code.
int RunProgram(tavero::ui::Platform& platform);

}  // namespace zephcol
