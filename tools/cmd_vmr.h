// The sub-commands of `tavero vmr`, one file each (cmd_vmr_<name>.cpp).
#pragma once

#include <span>
#include <string_view>

namespace tavero::tool {

int RunVmrCheck(std::span<const std::string_view> args);
int RunVmrTables(std::span<const std::string_view> args);
int RunVmrSchema(std::span<const std::string_view> args);
int RunVmrDump(std::span<const std::string_view> args);
int RunVmrLoad(std::span<const std::string_view> args);
int RunVmrBuild(std::span<const std::string_view> args);
int RunVmrRecover(std::span<const std::string_view> args);

// Prints "tavero vmr SUBCOMMAND: WHAT: CODE TEXT" (the runtime's text of
// the code, or `message` when given) on stderr; returns the exit code of a
// failed command, 1.
int VmrFailure(std::string_view subcommand, std::string_view what, int code, std::string_view message = {});

// Prints the help text when the arguments are empty or "--help"; returns
// the exit code to leave with, or -1 to go on.
int VmrHelp(std::span<const std::string_view> args, const char* text);

}  // namespace tavero::tool
