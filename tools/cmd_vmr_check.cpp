// tavero vmr check FILE...: validates each file; exit 0 when every one is
// sound, 1 with one line per problem ("FILE: problem").
#include <cstdio>
#include <string>

#include "tools/cmd_vmr.h"
#include "tools/commands.h"
#include "storage/vmr/check.h"

namespace tavero::tool {

int RunVmrCheck(std::span<const std::string_view> args) {
  if (args.empty() || args[0] == "--help") {
    std::fputs(
        "usage: tavero vmr check FILE...\n"
        "Validates each VMR file: the header, the zones, every page, the tree,\n"
        "the table definitions, the status counts, the memo and blob segments,\n"
        "and that every key holds exactly the entries its data records make.\n"
        "Prints one line per problem and exits 1, or a summary and exits 0.\n",
        args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  int exit_code = 0;
  for (std::string_view arg : args) {
    const std::string path(arg);
    const vmr::CheckResult result = vmr::CheckFile(path);
    if (result.sound()) {
      std::printf("%s: sound (%zu tables, %zu pages, %zu records)\n", path.c_str(), result.tables, result.pages,
                  result.records);
      continue;
    }
    exit_code = 1;
    for (const std::string& problem : result.problems) std::printf("%s: %s\n", path.c_str(), problem.c_str());
  }
  return exit_code;
}

}  // namespace tavero::tool
