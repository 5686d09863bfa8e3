// tavero: the runtime's command-line tool. Each sub-command's output is a
// contract that scripts rely on; change it only with care.
#include <cstdio>
#include <string_view>
#include <vector>

#include "tools/command.h"
#include "tools/commands.h"

namespace tavero::tool {

int RunMessage(std::span<const std::string_view> args);

namespace {

// Sub-commands, in the order `tavero --help` lists them.
constexpr Command kCommands[] = {
    {"version", "print the version of the tool and the runtime",
     [](std::span<const std::string_view>) {
       std::puts("tavero 0.1");
       return 0;
     }},
    {"message", "print the runtime's text of error codes", RunMessage},
    {"decimal", "evaluate an expression exactly on the decimal stack", RunDecimal},
    {"format", "show a value through a picture (FORMAT)", RunFormat},
    {"deformat", "read typed text back through a picture (DEFORMAT)", RunDeformat},
    {"eval", "compile and evaluate an expression", RunEval},
    {"vmr", "look into VMR files: tables, schema, dump, load, check, build", RunVmr},
    {"sample", "create the collection's four data files filled with made-up cards", RunSample},
    {"image", "decode picture files; write the application's icons", RunImage},
};

void PrintHelp(std::FILE* out) {
  std::fputs(
      "usage: tavero COMMAND [ARGS...]\n"
      "\n"
      "Tavero is the runtime under ZEPHCOL, the card collection program.\n"
      "This tool reaches the runtime's pieces from the shell.\n"
      "\n"
      "commands:\n",
      out);
  for (const Command& c : kCommands) {
    std::fprintf(out, "  %-10.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                 static_cast<int>(c.synopsis.size()), c.synopsis.data());
  }
  std::fputs("\n'tavero COMMAND --help' describes one command.\n", out);
}

}  // namespace

int UsageError(std::string_view command, std::string_view message) {
  std::fprintf(stderr, "tavero %.*s: %.*s (see 'tavero %.*s --help')\n", static_cast<int>(command.size()),
               command.data(), static_cast<int>(message.size()), message.data(), static_cast<int>(command.size()),
               command.data());
  return 2;
}

}  // namespace tavero::tool

int main(int argc, char** argv) {
  using namespace tavero::tool;
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp(stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(stdout);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (c.name == args[0]) return c.run(std::span(args).subspan(1));
  }
  std::fprintf(stderr, "tavero: unknown command '%s' (see 'tavero --help')\n", argv[1]);
  return 2;
}
