// Collated comparison and sort keys against their byte-order peers
// (std::string_view::compare and a plain copy), measured in the same run.
// Ratios: BM_CompareCollated / BM_CompareBytes, BM_SortKeyAnsi / BM_CopyKey.
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "locale/locale.h"

namespace {

// Names as a collection holds them: 2000 of 20 letters, most sharing a prefix.
std::vector<std::string> Names() {
  std::mt19937 random(7);
  std::vector<std::string> names;
  for (int k = 0; k < 2000; ++k) {
    std::string name = "TOPPS BASEBALL ";
    while (name.size() < 20) name += static_cast<char>('A' + random() % 26);
    names.push_back(name);
  }
  return names;
}

void WithDigraphs(const benchmark::State& state) {
  tavero::ResetLocale();
  if (state.range(0) != 0) tavero::ApplySetting("TAVDIGRAPH", "\xDFss,\xC6" "AE");
}

void BM_CompareBytes(benchmark::State& state) {
  const auto names = Names();
  for (auto _ : state) {
    int sum = 0;
    for (std::size_t k = 1; k < names.size(); ++k) sum += std::string_view(names[k - 1]).compare(names[k]) < 0;
    benchmark::DoNotOptimize(sum);
  }
}

void BM_CompareCollated(benchmark::State& state) {
  WithDigraphs(state);
  const auto names = Names();
  for (auto _ : state) {
    int sum = 0;
    for (std::size_t k = 1; k < names.size(); ++k) sum += tavero::CompareCollated(names[k - 1], names[k]) < 0;
    benchmark::DoNotOptimize(sum);
  }
  tavero::ResetLocale();
}

void BM_CopyKey(benchmark::State& state) {
  const auto names = Names();
  for (auto _ : state) {
    for (const std::string& name : names) benchmark::DoNotOptimize(std::string(name));
  }
}

void BM_SortKeyAnsi(benchmark::State& state) {
  WithDigraphs(state);
  const auto names = Names();
  for (auto _ : state) {
    for (const std::string& name : names) benchmark::DoNotOptimize(tavero::SortKeyAnsi(name));
  }
  tavero::ResetLocale();
}

BENCHMARK(BM_CompareBytes);
BENCHMARK(BM_CompareCollated)->Arg(0)->Arg(1);
BENCHMARK(BM_CopyKey);
BENCHMARK(BM_SortKeyAnsi)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
