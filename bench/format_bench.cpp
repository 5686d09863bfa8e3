// FORMAT against snprintf producing the same text: money values with
// "@n-10.2" (grouping, floating minus) and day numbers with @D1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "locale/locale.h"
#include "pictures/picture.h"

namespace {

using tavero::pictures::FORMAT;

// The peer: snprintf for the digits, then the picture's grouping, floating
// minus and right alignment into ten positions.
std::string MoneyWithSnprintf(double value) {
  char digits[64];
  const int n = std::snprintf(digits, sizeof digits, "%.2f", value < 0 ? -value : value);
  char grouped[64];
  int g = 0;
  const int integer_digits = n - 3;
  for (int i = 0; i < n; ++i) {
    if (i > 0 && i < integer_digits && (integer_digits - i) % 3 == 0) grouped[g++] = ',';
    grouped[g++] = digits[i];
  }
  const bool negative = value < 0 && std::strcmp(digits, "0.00") != 0;
  std::string out(10, ' ');
  const int length = g + (negative ? 1 : 0);
  if (length > 10) return std::string(10, '#');  // not reached with these inputs
  std::memcpy(out.data() + 10 - g, grouped, static_cast<std::size_t>(g));
  if (negative) out[static_cast<std::size_t>(10 - length)] = '-';
  return out;
}

std::string DateWithSnprintf(std::int32_t day_number) {
  const tavero::CalendarDate d = tavero::DateFromDayNumber(day_number);
  char text[16];
  std::snprintf(text, sizeof text, "%2d/%02d/%02d", d.month, d.day, d.year % 100);
  return text;
}

std::vector<double> MoneyValues() {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> cents(-9999999, 9999999);
  std::vector<double> values;
  for (int i = 0; i < 1024; ++i) values.push_back(cents(random) / 100.0);
  for (double v : values) {
    if (FORMAT(v, "@n-10.2") != MoneyWithSnprintf(v)) {
      std::fprintf(stderr, "format_bench: texts differ for %.2f\n", v);
      std::abort();
    }
  }
  return values;
}

std::vector<std::int32_t> DayNumbers() {
  std::mt19937 random(9);
  std::uniform_int_distribution<std::int32_t> day(4, 109211);
  std::vector<std::int32_t> values;
  for (int i = 0; i < 1024; ++i) values.push_back(day(random));
  for (std::int32_t v : values) {
    if (FORMAT(v, "@D1") != DateWithSnprintf(v)) {
      std::fprintf(stderr, "format_bench: dates differ for %d\n", v);
      std::abort();
    }
  }
  return values;
}

void MoneyTavero(benchmark::State& state) {
  const std::vector<double> values = MoneyValues();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FORMAT(values[i], "@n-10.2"));
    i = (i + 1) & 1023;
  }
}

void MoneySnprintf(benchmark::State& state) {
  const std::vector<double> values = MoneyValues();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(MoneyWithSnprintf(values[i]));
    i = (i + 1) & 1023;
  }
}

void DateTavero(benchmark::State& state) {
  const std::vector<std::int32_t> values = DayNumbers();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FORMAT(values[i], "@D1"));
    i = (i + 1) & 1023;
  }
}

void DateSnprintf(benchmark::State& state) {
  const std::vector<std::int32_t> values = DayNumbers();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DateWithSnprintf(values[i]));
    i = (i + 1) & 1023;
  }
}

BENCHMARK(MoneyTavero);
BENCHMARK(MoneySnprintf);
BENCHMARK(DateTavero);
BENCHMARK(DateSnprintf);

}  // namespace

BENCHMARK_MAIN();
