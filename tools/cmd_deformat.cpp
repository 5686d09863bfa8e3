// tavero deformat TEXT PICTURE: prints DEFORMAT of TEXT.
#include <cstdio>
#include <string>
#include <vector>

#include "locale/locale.h"
#include "pictures/picture.h"
#include "tools/commands.h"

namespace tavero::tool {
namespace {

constexpr char kHelp[] =
    "usage: tavero deformat TEXT PICTURE\n"
    "\n"
    "Prints DEFORMAT of TEXT with PICTURE (with or without its '@'), then a line\n"
    "end: for numeric pictures a number text (optional '-', digits, '.',\n"
    "exponent), for date pictures the day number, for time pictures the time\n"
    "value ('-1' for an impossible time), for key-in pictures the characters\n"
    "typed into the input positions. An empty PICTURE, or an @S picture, reads\n"
    "TEXT as a free-form number. An invalid picture gives an empty line.\n"
    "\n"
    "examples:\n"
    "  tavero deformat '1/5/96' @D1              71230\n"
    "  tavero deformat ' -1,234.50' @n-10.2      -1234.50\n";

}  // namespace

int RunDeformat(std::span<const std::string_view> args) {
  std::vector<std::string_view> operands;
  bool options_done = false;
  for (std::string_view a : args) {
    if (!options_done && (a == "--help" || a == "-h")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (!options_done && a == "--") {
      options_done = true;
    } else {
      operands.push_back(a);
    }
  }
  if (operands.size() != 2) return UsageError("deformat", "want TEXT and PICTURE");
  const std::string result = pictures::DEFORMAT(Utf8ToAnsi(operands[0]), Utf8ToAnsi(operands[1]));
  const std::string shown = AnsiToUtf8(result);
  std::fwrite(shown.data(), 1, shown.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

}  // namespace tavero::tool
