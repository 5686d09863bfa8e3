// The evaluator's seam to the rest of the runtime (see services.h).
#include "eval/services.h"

#include <algorithm>
#include <cstdint>

#include "decimal/strings.h"
#include "locale/locale.h"
#include "pictures/picture.h"
#include "runtime/error_state.h"
#include "runtime/runtime_error.h"

namespace tavero::eval::services {
namespace {

std::string_view ClipView(std::string_view s) { return strings::CLIP(s); }

// Lengths asked of the string functions are held to the longest string a
// record can hold, so a hostile expression cannot demand gigabytes.
constexpr std::int32_t kMaxTextLength = 64000;

std::int32_t HeldLength(std::int32_t length, std::size_t own) {
  return length < 0 ? static_cast<std::int32_t>(std::min<std::size_t>(own, kMaxTextLength))
                    : std::min(length, kMaxTextLength);
}

// `text` blank padded or cut to `length` characters.
std::string Resized(std::string text, std::int32_t length) {
  text.resize(static_cast<std::size_t>(length), ' ');
  return text;
}

}  // namespace

// Trailing blanks never matter in comparisons: both sides are clipped.
int CompareStrings(std::string_view a, std::string_view b) {
  return CompareCollated(ClipView(a), ClipView(b));
}
int CompareNoCase(std::string_view a, std::string_view b) {
  return CompareCollatedNoCase(ClipView(a), ClipView(b));
}
bool IsLetter(unsigned char c) { return tavero::IsLetter(static_cast<char>(c)); }
std::string Upper(std::string_view text) { return ToUpper(text); }
std::string Lower(std::string_view text) { return ToLower(text); }

std::string Clip(std::string_view text) { return std::string(strings::CLIP(text)); }

std::string Sub(std::string_view text, std::int32_t start, std::int32_t length) {
  // An omitted length (-1) runs to the end.
  const int n = length < 0 ? static_cast<int>(std::min<std::size_t>(text.size(), INT32_MAX)) : length;
  return std::string(strings::SUB(text, start, n));
}

std::int32_t InString(std::string_view needle, std::string_view text, std::int32_t step,
                      std::int32_t start) {
  return strings::INSTRING(needle, text, step, start);
}

std::string Left(std::string_view text, std::int32_t length) {
  return Resized(strings::LEFT(text), HeldLength(length, text.size()));
}

std::string Right(std::string_view text) { return strings::RIGHT(text); }

std::string Center(std::string_view text, std::int32_t length) {
  const std::int32_t n = HeldLength(length, text.size());
  const std::string_view clipped = strings::CLIP(text);
  const std::string_view core = clipped.substr(std::min(clipped.find_first_not_of(' '), clipped.size()));
  if (core.size() >= static_cast<std::size_t>(n)) return std::string(core.substr(0, static_cast<std::size_t>(n)));
  return strings::CENTER(Resized(std::string(core), n));
}

std::string All(std::string_view text, std::int32_t length) {
  return strings::ALL(text, HeldLength(length, 0));
}

bool Numeric(std::string_view text) { return strings::NUMERIC(text) != 0; }

std::int32_t Today() { return TODAY(); }
std::int32_t Clock() { return CLOCK(); }
std::int32_t Date(std::int32_t month, std::int32_t day, std::int32_t year) {
  return DATE(month, day, year);
}
std::int32_t Day(std::int32_t date) { return DAY(date); }
std::int32_t Month(std::int32_t date) { return MONTH(date); }
std::int32_t Year(std::int32_t date) { return YEAR(date); }
std::string Age(std::int32_t birth, std::int32_t base) { return AGE(birth, base); }

std::string FormatString(std::string_view value, std::string_view picture) {
  return pictures::FORMAT(value, picture);
}
std::string FormatReal(double value, std::string_view picture) {
  return pictures::FORMAT(value, picture);
}
std::string FormatLong(std::int32_t value, std::string_view picture) {
  return pictures::FORMAT(static_cast<std::int64_t>(value), picture);
}
std::string Deformat(std::string_view text, std::string_view picture) {
  return pictures::DEFORMAT(text, picture);
}

void PostError(int code) { tavero::PostError(code); }
void ReportParameterTypingError() { tavero::ReportRuntimeError(0, "Parameter typing error"); }

}  // namespace tavero::eval::services
