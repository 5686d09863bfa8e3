// tavero format VALUE PICTURE [--string]: prints FORMAT of VALUE.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "locale/locale.h"
#include "pictures/picture.h"
#include "tools/commands.h"

namespace tavero::tool {
namespace {

constexpr char kHelp[] =
    "usage: tavero format VALUE PICTURE [--string]\n"
    "\n"
    "Prints FORMAT of VALUE with PICTURE (with or without its '@'): exactly the\n"
    "characters of the result, trailing blanks included, then a line end. An\n"
    "invalid picture gives an empty line.\n"
    "\n"
    "VALUE is a long integer when it is an optional '-' and digits (day numbers\n"
    "for @D pictures, time values for @T), a real when it is a number with '.'\n"
    "or an exponent (shown with 14 significant digits), and a string with\n"
    "--string. Dates, times and month names use the runtime's default locale\n"
    "tables.\n"
    "\n"
    "examples:\n"
    "  tavero format -- -1234.5 @n-10.2      ' -1,234.50'\n"
    "  tavero format 71230 @D1               ' 1/05/96'\n"
    "  tavero format --string ABCDEF @s4     'ABCD'\n";

bool IsLong(std::string_view text) {
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// A number with '.' or an exponent, wholly consumed by the conversion.
bool ParseReal(std::string_view text, double& value) {
  if (text.find_first_of(".eE") == std::string_view::npos) return false;
  const std::string copy(text);
  char* end = nullptr;
  value = std::strtod(copy.c_str(), &end);
  return !copy.empty() && end == copy.c_str() + copy.size() && copy.find_first_of("xXnN") == std::string::npos;
}

}  // namespace

int RunFormat(std::span<const std::string_view> args) {
  bool as_string = false, options_done = false;
  std::vector<std::string_view> operands;
  for (std::string_view a : args) {
    if (!options_done && (a == "--help" || a == "-h")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (!options_done && a == "--string") {
      as_string = true;
    } else if (!options_done && a == "--") {
      options_done = true;
    } else {
      operands.push_back(a);
    }
  }
  if (operands.size() != 2) return UsageError("format", "want VALUE and PICTURE");
  const std::string value = Utf8ToAnsi(operands[0]);
  const std::string picture = Utf8ToAnsi(operands[1]);
  std::string result;
  if (as_string) {
    result = pictures::FORMAT(std::string_view(value), picture);
  } else if (IsLong(value)) {
    std::int64_t number = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), number);
    if (r.ec == std::errc()) {
      result = pictures::FORMAT(number, picture);
    } else {  // beyond the long range: exact as a decimal number
      result = pictures::FORMAT(decimal::DecimalAccumulator::FromText(value), picture);
    }
  } else if (double real = 0; ParseReal(value, real)) {
    result = pictures::FORMAT(real, picture);
  } else {
    return UsageError("format", "VALUE is not a number (use --string for text)");
  }
  const std::string shown = AnsiToUtf8(result);
  std::fwrite(shown.data(), 1, shown.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

}  // namespace tavero::tool
