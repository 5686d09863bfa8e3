// tavero vmr check FILE...: validates each file; exit 0 when every one is
// sound, 1 with one line per problem ("FILE: problem"), 3 when the only
// news is an interrupted commit that the next open finishes.
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
        "Prints one line per problem and exits 1, or a summary and exits 0.\n"
        "A file whose last commit was interrupted between its phases is not\n"
        "damaged: the next open (or 'tavero vmr recover') finishes it; such a\n"
        "file gets one line saying so and, with no damage anywhere, exit 3.\n",
        args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  bool damaged = false;
  bool interrupted = false;
  for (std::string_view arg : args) {
    const std::string path(arg);
    const vmr::CheckResult result = vmr::CheckFile(path);
    if (result.sound() && result.interrupted_commit) {
      std::printf("%s: an interrupted commit will be finished on the next open\n", path.c_str());
      interrupted = true;
      continue;
    }
    if (result.sound()) {
      std::printf("%s: sound (%zu tables, %zu pages, %zu records)\n", path.c_str(), result.tables, result.pages,
                  result.records);
      continue;
    }
    damaged = true;
    for (const std::string& problem : result.problems) std::printf("%s: %s\n", path.c_str(), problem.c_str());
  }
  return damaged ? 1 : interrupted ? 3 : 0;
}

}  // namespace tavero::tool
