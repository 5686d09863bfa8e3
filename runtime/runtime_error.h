// Faults reported to the user at once in a "Runtime error" box.
#pragma once

#include <functional>
#include <string_view>

#include "runtime/halt.h"

namespace tavero {

// Posts `code` (when non-zero) and shows its text with trailing blanks
// removed, followed by " : " and `name` when a name is given, in a box titled
// "Runtime error" with the stop icon. With code 0 the text is the name alone.
// When the window system has been started the program then halts with exit
// code 2; otherwise control returns to the caller.
void ReportRuntimeError(int code, std::string_view name = {});

// A storage driver found its own structures inconsistent: shows
// "Internal error : vmrbt line N" (N = `line`) and ends the program with exit
// code 2, whether or not the window system runs.
[[noreturn]] void ReportInternalError(int line);

// The box. The window engine installs the real one (modal, no owner, stop
// icon, returns when the user closes it); until then the text goes to
// standard error. Title and text are Windows-1252.
using RuntimeErrorBox = std::function<void(std::string_view title, std::string_view text)>;
void SetRuntimeErrorBox(RuntimeErrorBox box);

// The process-wide switch that the window system has been started (the one
// that also allows events to be posted to windows).
void SetWindowSystemStarted(bool started);
bool WindowSystemStarted();

// True once any runtime error box has been shown.
bool RuntimeErrorShown();

}  // namespace tavero
