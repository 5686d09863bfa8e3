// tavero vmr SUBCOMMAND: looking into VMR files and moving data in and out
// without the application. One file per sub-command (cmd_vmr_<name>.cpp).
#include <cstdio>
#include <string>
#include <string_view>

#include "locale/locale.h"
#include "runtime/message_table.h"
#include "tools/cmd_vmr.h"
#include "tools/command.h"
#include "tools/commands.h"

namespace tavero::tool {
namespace {

constexpr Command kVmrCommands[] = {
    {"tables", "the names of the tables of a file, one a line", RunVmrTables},
    {"schema", "fields, keys and memos of tables, from the stored definitions", RunVmrSchema},
    {"dump", "every record with its memos, as CSV or JSON", RunVmrDump},
    {"load", "add the rows of a CSV file through ADD, in transactions", RunVmrLoad},
    {"check", "validate a file: header, zones, pages, tree, tables, keys, memos", RunVmrCheck},
    {"build", "make every key again from the records", RunVmrBuild},
    {"recover", "finish or roll back an interrupted commit now, and say which", RunVmrRecover},
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

int VmrFailure(std::string_view subcommand, std::string_view what, int code, std::string_view message) {
  const std::string text = message.empty() ? std::to_string(code) + " " + AnsiToUtf8(PostedMessageText(code))
                                           : std::string(message);
  std::fprintf(stderr, "tavero vmr %.*s: %.*s: %s\n", static_cast<int>(subcommand.size()), subcommand.data(),
               static_cast<int>(what.size()), what.data(), text.c_str());
  return 1;
}

int VmrHelp(std::span<const std::string_view> args, const char* text) {
  if (!args.empty() && args[0] != "--help") return -1;
  std::fputs(text, args.empty() ? stderr : stdout);
  return args.empty() ? 2 : 0;
}

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
