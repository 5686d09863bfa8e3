// The `tavero` command-line tool: one Command per sub-command, each in a file
// of its own (cmd_<name>.cpp), listed once in the table of tavero.cpp.
#pragma once

#include <span>
#include <string_view>

namespace tavero::tool {

struct Command {
  std::string_view name;      // "decimal", "format", "vmr", ...
  std::string_view synopsis;  // one line for `tavero --help`
  // Runs the command with the arguments after its name; returns the exit code.
  // A command prints its own --help when asked.
  int (*run)(std::span<const std::string_view> args);
};

}  // namespace tavero::tool
