// Faults reported to the user at once in a "Runtime error" box, and the
// orderly halt of the program.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tavero {

// Posts `code` (when non-zero) and shows its text, followed by " : " and
// `name` when a name is given, in a box titled "Runtime error" with the stop
// icon. With code 0 the text is the name alone. When the window system has
// been started the program then halts with exit code 2; otherwise control
// returns to the caller.
void ReportRuntimeError(int code, std::string_view name = {});

// A storage driver found its own structures inconsistent: shows
// "Internal error : vmrbt line N" and ends the program.
[[noreturn]] void ReportInternalError(int line);

// Ends the program: the first time, the exit procedures (last registered
// first) and then the termination handlers (priority 0 first) run; a halt
// from inside them goes straight to process exit.
[[noreturn]] void Halt(int exit_code);

void RegisterExitProcedure(std::function<void()> procedure);
void RegisterTerminationHandler(int priority, std::function<void(int)> handler);

// Seams filled by the window engine once it exists.
// The box itself: until the engine installs one, the text goes to stderr.
using MessageBoxSeam = std::function<void(std::string_view title, std::string_view text)>;
void SetRuntimeErrorBox(MessageBoxSeam box);
// The process-wide switch that the window system has been started.
void SetWindowSystemStarted(bool started);
bool WindowSystemStarted();
// True once any runtime error box has been shown.
bool RuntimeErrorShown();

}  // namespace tavero
