// tavero vmr SUBCOMMAND: looking into VMR files and moving data in and out
// without the application. One file per sub-command (cmd_vmr_<name>.cpp).
#include <cstdio>
#include <string>
#include <string_view>

#include "tools/cmd_vmr.h"
#include "tools/command.h"
#include "tools/commands.h"

namespace tavero::tool {
namespace {

constexpr Command kVmrCommands[] = {
    {"check", "validate a file: header, zones, pages, tree, tables, keys, memos", RunVmrCheck},
};

void PrintVmrHelp(std::FILE* out) {
  std::fputs(
      "usage: tavero vmr SUBCOMMAND ARGS...\n"
      "\n"
      "A FILE names a VMR file; FILE\\!TABLE names one table in it (without\n"
      "\\! every table of the file).\n"
      "\n"
      "subcommands:\n",
      out);
  for (const Command& c : kVmrCommands) {
    std::fprintf(out, "  %-8.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                 static_cast<int>(c.synopsis.size()), c.synopsis.data());
  }
  std::fputs("\n'tavero vmr SUBCOMMAND --help' describes one subcommand.\n", out);
}

}  // namespace

int RunVmr(std::span<const std::string_view> args) {
  if (args.empty()) {
    PrintVmrHelp(stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    PrintVmrHelp(stdout);
    return 0;
  }
  for (const Command& c : kVmrCommands) {
    if (c.name == args[0]) return c.run(args.subspan(1));
  }
  return UsageError("vmr", "unknown subcommand '" + std::string(args[0]) + "'");
}

}  // namespace tavero::tool
