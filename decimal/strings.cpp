#include "decimal/strings.h"

#include <algorithm>
#include <cstring>

#include "locale/locale.h"

namespace tavero::strings {
namespace {

int Weight(char c) { return CollationWeight(c); }

}  // namespace

void AssignFixed(std::span<char> destination, std::string_view source) {
  const std::size_t n = std::min(source.size(), destination.size());
  std::copy_n(source.begin(), n, destination.begin());
  std::fill(destination.begin() + static_cast<std::ptrdiff_t>(n), destination.end(), ' ');
}

void AssignFixed(std::span<char> destination, const char* source, int length) {
  if (source != nullptr) {
    AssignFixed(destination, std::string_view(source, static_cast<std::size_t>(std::max(length, 0))));
    return;
  }
  const char fill = length > 0 ? '\xFF' : length < 0 ? '\0' : ' ';
  std::fill(destination.begin(), destination.end(), fill);
}

void AssignNullTerminated(std::span<char> destination, const char* source, int length) {
  if (destination.empty()) return;
  const std::size_t room = destination.size() - 1;
  std::size_t n = 0;
  if (source != nullptr) {
    n = std::min(room, static_cast<std::size_t>(std::max(length, 0)));
    std::copy_n(source, n, destination.begin());
  } else if (length > 0) {
    n = room;
    std::fill_n(destination.begin(), n, '\xFF');
  }
  destination[n] = '\0';
}

void AssignLengthPrefixed(std::span<char> destination, std::string_view source) {
  if (destination.empty()) return;
  const std::size_t n = std::min({source.size(), destination.size() - 1, std::size_t{255}});
  destination[0] = static_cast<char>(n);
  std::copy_n(source.begin(), n, destination.begin() + 1);
}

int CompareFixed(std::string_view a, std::string_view b) {
  if (!Locale().digraphs.empty()) return CompareCollated(CLIP(a), CLIP(b));
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) {
      const int d = Weight(a[i]) - Weight(b[i]);
      if (d != 0) return d;
    }
  }
  // The longer string's extra part: equal when all blanks, else its first
  // non-blank character decides against a blank.
  const std::string_view rest = a.size() > b.size() ? a.substr(common) : b.substr(common);
  const std::size_t first = rest.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  const int d = Weight(rest[first]) - Weight(' ');
  return a.size() > b.size() ? d : -d;
}

std::string_view CLIP(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view SUB(std::string_view text, int start, int length) {
  const long size = static_cast<long>(text.size());
  long offset = start < 0 ? std::max(0L, start + size) : std::max(0L, static_cast<long>(start) - 1);
  if (offset >= size || length <= 0) return {};
  return text.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(std::min<long>(length, size - offset)));
}

std::string LEFT(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  std::string out(first == std::string_view::npos ? std::string_view() : text.substr(first));
  out.resize(text.size(), ' ');
  return out;
}

std::string RIGHT(std::string_view text) {
  const std::string_view clipped = CLIP(text);
  return std::string(text.size() - clipped.size(), ' ') + std::string(clipped);
}

std::string CENTER(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string(text.size(), ' ');
  const std::string_view core = CLIP(text.substr(first));
  const std::size_t free = text.size() - core.size();
  std::string out(free / 2, ' ');
  out += core;
  out.resize(text.size(), ' ');
  return out;
}

std::string ALL(std::string_view pattern, int length) {
  if (length <= 0) return {};
  std::string out(static_cast<std::size_t>(length), ' ');
  if (pattern.empty()) return out;
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = pattern[i % pattern.size()];
  return out;
}

std::string UPPER(std::string_view text) { return ToUpper(text); }
std::string LOWER(std::string_view text) { return ToLower(text); }

int INSTRING(std::string_view sub, std::string_view text, int step, int start) {
  if (sub.empty() || sub.size() > text.size()) return 0;
  if (step == 0) step = static_cast<int>(sub.size());
  const long last = static_cast<long>(text.size() - sub.size());  // last offset a match fits at
  const long stride = step < 0 ? -static_cast<long>(step) : step;
  long offset = std::max(0L, static_cast<long>(start) - 1);
  if (step < 0) offset = std::min(offset, last);
  for (; offset >= 0 && offset <= last; offset += step < 0 ? -stride : stride) {
    if (text.compare(static_cast<std::size_t>(offset), sub.size(), sub) == 0) {
      return static_cast<int>(offset / stride + 1);
    }
  }
  return 0;
}

int NUMERIC(std::string_view text) {
  std::string_view t = CLIP(text);
  if (t.empty() || t.size() > 40) return 0;
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t begin = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    return i - begin;
  };
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < t.size() && t[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (digits() == 0) return 0;
  }
  return i == t.size() ? 1 : 0;
}

TextArgumentStack& ProcessTextStack() {
  static TextArgumentStack stack;
  return stack;
}

}  // namespace tavero::strings
