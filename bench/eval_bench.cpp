// A compiled view filter evaluated for every record, against the same test
// written in C++, measured in the same run. Each record is first copied into
// the record buffer, as a driver read does, on both sides.
//
//   BM_SetNumberCompiled / BM_SetNumberHandWritten
//       "SET:SET_No = CAR:SET_No" (two INT16 fields)
//   BM_ManufacturerCompiled / BM_ManufacturerHandWritten
//       "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)" (FIXSTR 30 and 20)
//   BM_Ratio/0 and BM_Ratio/1 time both sides of each pair in one loop and
//       report compiled / hand-written as the counter "ratio".
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "eval/eval.h"
#include "locale/locale.h"

namespace {

constexpr int kRecords = 4096;

// The records a filter is asked about: a card set number and a
// manufacturer name, 62 bytes as CARDSET holds them.
struct Collection {
  std::vector<std::array<std::uint8_t, 62>> cardsets;
  std::array<std::uint8_t, 62> cardset_buffer{};
  std::array<std::uint8_t, 24> card_buffer{};
  std::array<std::uint8_t, 20> manufacturer_buffer{};

  Collection() {
    std::mt19937 random(11);
    const char* makers[] = {"TOPPS", "topps", "Fleer", "Donruss", "Upper Deck", "Score"};
    for (int i = 0; i < kRecords; ++i) {
      std::array<std::uint8_t, 62> r;
      r.fill(' ');
      const std::int16_t set_no = static_cast<std::int16_t>(random() % 100);
      std::memcpy(r.data(), &set_no, 2);
      const char* maker = makers[random() % 6];
      std::memcpy(r.data() + 2, maker, std::strlen(maker));
      cardsets.push_back(r);
    }
    const std::int16_t card_set_no = 42;
    std::memcpy(card_buffer.data(), &card_set_no, 2);
    manufacturer_buffer.fill(' ');
    std::memcpy(manufacturer_buffer.data(), "Topps", 5);
    using tavero::eval::Variable;
    tavero::eval::Bind("CAR:SET_NO", Variable{cardset_buffer.data(), 2, 2, 0, {}});
    tavero::eval::Bind("CAR:MANUFACTURER", Variable{cardset_buffer.data() + 2, 18, 30, 0, {}});
    tavero::eval::Bind("SET:SET_NO", Variable{card_buffer.data(), 2, 2, 0, {}});
    tavero::eval::Bind("MAN:MANUFACTURER", Variable{manufacturer_buffer.data(), 18, 20, 0, {}});
  }
};

Collection& Data() {
  static Collection c;
  return c;
}

tavero::eval::Expression Compiled(const char* text) {
  Data();
  return std::move(*tavero::eval::Compile(text).expression);
}

std::string_view Clip(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

// The hand-written tests, reading the same buffers.
bool SetNumberMatches(const Collection& c) {
  std::int16_t a, b;
  std::memcpy(&a, c.card_buffer.data(), 2);
  std::memcpy(&b, c.cardset_buffer.data(), 2);
  return a == b;
}
bool ManufacturerMatches(const Collection& c) {
  const std::string a = tavero::ToUpper(std::string_view(reinterpret_cast<const char*>(c.cardset_buffer.data()) + 2, 30));
  const std::string b = tavero::ToUpper(std::string_view(reinterpret_cast<const char*>(c.manufacturer_buffer.data()), 20));
  return tavero::CompareCollated(Clip(a), Clip(b)) == 0;
}

// One pass over the records: copy each into the buffer, ask `test`.
template <typename Test>
int Pass(Collection& c, Test test) {
  int matches = 0;
  for (const auto& r : c.cardsets) {
    std::memcpy(c.cardset_buffer.data(), r.data(), r.size());
    matches += test() ? 1 : 0;
  }
  return matches;
}

const char* kFilters[] = {"SET:SET_No = CAR:SET_No", "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)"};

template <typename Test>
void Run(benchmark::State& state, Test test) {
  Collection& c = Data();
  for (auto _ : state) benchmark::DoNotOptimize(Pass(c, test));
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SetNumberHandWritten(benchmark::State& state) {
  Run(state, [] { return SetNumberMatches(Data()); });
}
void BM_SetNumberCompiled(benchmark::State& state) {
  const tavero::eval::Expression filter = Compiled(kFilters[0]);
  Run(state, [&] { return filter.Truth(); });
}
void BM_ManufacturerHandWritten(benchmark::State& state) {
  Run(state, [] { return ManufacturerMatches(Data()); });
}
void BM_ManufacturerCompiled(benchmark::State& state) {
  const tavero::eval::Expression filter = Compiled(kFilters[1]);
  Run(state, [&] { return filter.Truth(); });
}

// Both sides of one filter timed alternately in the same loop.
void BM_Ratio(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const tavero::eval::Expression filter = Compiled(kFilters[which]);
  Collection& c = Data();
  using Clock = std::chrono::steady_clock;
  Clock::duration compiled{}, hand{};
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(Pass(c, [&] { return filter.Truth(); }));
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(Pass(c, [&] { return which == 0 ? SetNumberMatches(c) : ManufacturerMatches(c); }));
    auto t2 = Clock::now();
    compiled += t1 - t0;
    hand += t2 - t1;
  }
  state.counters["ratio"] = static_cast<double>(compiled.count()) / static_cast<double>(hand.count());
  state.SetLabel(kFilters[which]);
}

}  // namespace

BENCHMARK(BM_SetNumberHandWritten);
BENCHMARK(BM_SetNumberCompiled);
BENCHMARK(BM_ManufacturerHandWritten);
BENCHMARK(BM_ManufacturerCompiled);
BENCHMARK(BM_Ratio)->Arg(0)->Arg(1);

BENCHMARK_MAIN();
