// tavero eval EXPR: compiles and evaluates EXPR as EVALUATE does, with
// nothing bound, and prints the value on one line.
#include <cstdio>
#include <string>

#include "eval/eval.h"
#include "locale/locale.h"
#include "runtime/error_state.h"
#include "tools/commands.h"

namespace tavero::tool {

int RunEval(std::span<const std::string_view> args) {
  if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
    std::fputs(
        "usage: tavero eval EXPR\n"
        "\n"
        "Compiles and evaluates the expression EXPR with nothing bound and prints\n"
        "its value: a truth or long value as a decimal integer, a real with\n"
        "\"%.15g\", a string exactly as it is (trailing blanks kept). When EXPR\n"
        "does not compile, prints \"error N: TEXT\" on standard error and exits 1.\n",
        args.size() == 1 ? stdout : stderr);
    return args.size() == 1 ? 0 : 2;
  }
  // The shell speaks UTF-8; the runtime's text is Windows-1252.
  const std::optional<eval::Value> value = eval::Evaluate(Utf8ToAnsi(args[0]));
  if (!value) {
    const std::string text = AnsiToUtf8(ErrorText());
    std::fprintf(stderr, "error %d: %.*s\n", ErrorCode(), static_cast<int>(text.size()),
                 text.data());
    return 1;
  }
  switch (value->value_class) {
    case eval::ValueClass::Truth:
    case eval::ValueClass::Long: std::printf("%d\n", value->long_value); break;
    case eval::ValueClass::Real: std::printf("%.15g\n", value->real_value); break;
    case eval::ValueClass::Picture:
    case eval::ValueClass::String: {
      const std::string text = AnsiToUtf8(value->text);
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fputc('\n', stdout);
      break;
    }
  }
  return 0;
}

}  // namespace tavero::tool
