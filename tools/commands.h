// The sub-commands of the `tavero` tool, one file each (cmd_<name>.cpp).
#pragma once

#include <span>
#include <string_view>

namespace tavero::tool {

int RunDecimal(std::span<const std::string_view> args);
int RunFormat(std::span<const std::string_view> args);
int RunDeformat(std::span<const std::string_view> args);
int RunEval(std::span<const std::string_view> args);
int RunVmr(std::span<const std::string_view> args);
int RunSample(std::span<const std::string_view> args);
int RunImage(std::span<const std::string_view> args);

// Prints "tavero COMMAND: message" and a pointer to --help on stderr;
// returns the exit code of a usage error, 2.
int UsageError(std::string_view command, std::string_view message);

}  // namespace tavero::tool
