// tavero message CODE...: prints the runtime's text of each error code, as
// posting it would leave ErrorText (one line per code: code, tab, text).
#include <charconv>
#include <cstdio>
#include <string>

#include "locale/locale.h"
#include "runtime/message_table.h"
#include "tools/command.h"

namespace tavero::tool {

int RunMessage(std::span<const std::string_view> args) {
  if (args.empty() || args[0] == "--help") {
    std::fputs(
        "usage: tavero message CODE...\n"
        "Prints the runtime's message text of each error code (the text of 81\n"
        "with the code for a code the table lacks).\n",
        args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  for (std::string_view arg : args) {
    int code = 0;
    const auto [end, error] = std::from_chars(arg.data(), arg.data() + arg.size(), code);
    if (error != std::errc() || end != arg.data() + arg.size()) {
      std::fprintf(stderr, "tavero message: '%.*s' is not a number\n", static_cast<int>(arg.size()),
                   arg.data());
      return 2;
    }
    const std::string text = AnsiToUtf8(PostedMessageText(code));
    std::printf("%d\t%s\n", code, text.c_str());
  }
  return 0;
}

}  // namespace tavero::tool
