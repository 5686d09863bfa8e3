// The evaluator's seam to the rest of the runtime (see services.h).
#include "eval/services.h"

#include <algorithm>
#include <cstdlib>

#include "locale/locale.h"
#include "pictures/picture.h"
#include "runtime/error_state.h"
#include "runtime/runtime_error.h"

namespace tavero::eval::services {
namespace {

std::string_view ClipView(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
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

std::string Clip(std::string_view text) { return std::string(ClipView(text)); }

std::string Sub(std::string_view text, std::int32_t start, std::int32_t length) {
  const auto size = static_cast<std::int64_t>(text.size());
  std::int64_t from = start < 0 ? std::max<std::int64_t>(start + size, 0) : start - 1;
  if (from < 0) from = 0;
  if (from >= size) return {};
  const std::int64_t n = length < 0 ? size - from : std::min<std::int64_t>(length, size - from);
  return std::string(text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(n)));
}

std::int32_t InString(std::string_view needle, std::string_view text, std::int32_t step,
                      std::int32_t start) {
  if (needle.empty()) return 0;
  if (step <= 0) step = static_cast<std::int32_t>(std::min<std::size_t>(needle.size(), 0x7FFFFFFF));
  for (std::int64_t at = std::max<std::int32_t>(start, 1) - 1;
       at + static_cast<std::int64_t>(needle.size()) <= static_cast<std::int64_t>(text.size());
       at += step) {
    if (text.substr(static_cast<std::size_t>(at), needle.size()) == needle) {
      return static_cast<std::int32_t>(at / step + 1);
    }
  }
  return 0;
}

std::string Left(std::string_view text, std::int32_t length) {
  const std::size_t n = length < 0 ? text.size() : static_cast<std::size_t>(length);
  const std::size_t first = std::min(text.find_first_not_of(' '), text.size());
  std::string s(text.substr(first, n));
  s.resize(n, ' ');
  return s;
}

std::string Right(std::string_view text) {
  const std::string_view clipped = ClipView(text);
  return std::string(text.size() - clipped.size(), ' ') + std::string(clipped);
}

std::string Center(std::string_view text, std::int32_t length) {
  const std::size_t n = length < 0 ? text.size() : static_cast<std::size_t>(length);
  std::string_view core = ClipView(text);
  core.remove_prefix(std::min(core.find_first_not_of(' '), core.size()));
  if (core.size() >= n) return std::string(core.substr(0, n));
  const std::size_t left = (n - core.size()) / 2;
  std::string s(left, ' ');
  s += core;
  s.resize(n, ' ');
  return s;
}

std::string All(std::string_view text, std::int32_t length) {
  if (text.empty() || length <= 0) return {};
  std::string s;
  s.reserve(static_cast<std::size_t>(length));
  while (s.size() < static_cast<std::size_t>(length)) s += text;
  s.resize(static_cast<std::size_t>(length));
  return s;
}

bool Numeric(std::string_view text) {
  const std::string clipped(ClipView(text).substr(0, 40));
  if (clipped.empty()) return false;
  char* end = nullptr;
  std::strtod(clipped.c_str(), &end);
  return end == clipped.c_str() + clipped.size();
}

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
