// A browse of the cards of one set through a view over SETINFORMATION in
// SET:SET_KEY order with the filter "SET:SET_No = CAR:SET_No", for files of
// 10 000 to 1 000 000 cards (ten to forty cards per set), on the in-memory keyed
// driver. The view reads only around the chosen set whatever the file size:
// the counters give the driver's record reads per delivered row
// ("reads_per_row", at most two plus a constant over ten rows).
//
// Peer, in the same run: the same view with "SET:SET_No + 0 = CAR:SET_No",
// which the engine cannot use to bound the key range, so it reads the whole
// file ("BM_ScanPeer"): compare the two "reads" counters and times.
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "eval/eval.h"
#include "runtime/error_state.h"
#include "storage/views/memory_driver.h"
#include "storage/views/view.h"

namespace {

using Code = tavero::driver::OperationCode;
using tavero::driver::FieldType;

// SETINFORMATION's leading fields, and the card set buffer the browse holds.
struct Cards {
  tavero::views::testing::MemoryDriver driver;
  std::vector<std::uint8_t> layout = tavero::driver::RecordLayoutWriter()
                                         .Field("SET:SET_NO", 0, FieldType::INT16)
                                         .Field("SET:CARD_NO", 2, FieldType::INT16)
                                         .String("SET:LAST_NAME", 4, 20)
                                         .Finish();
  std::vector<std::uint8_t> record = std::vector<std::uint8_t>(24, ' ');
  std::int16_t card_set_no = 0;  // CAR:SET_NO of the browse
  tavero::driver::KeyObject key;
  tavero::driver::FileObject file;

  explicit Cards(long count) {
    key.name = "SET:SET_KEY";
    key.components = {1};
    key.attributes = 0x07;
    key.file = &file;
    file.entry = &driver;
    file.name = "SETINFORMATION" + std::to_string(count);
    file.record_layout = layout;
    file.keys = {&key};
    file.record = record;
    tavero::driver::Perform(file, Code::Open, {.number = 0x42});
    for (long i = 0; i < count; ++i) {
      const auto set = static_cast<std::int16_t>(i / 10 % 30000);
      const auto card = static_cast<std::int16_t>(i % 10 + 10 * (i / 300000));
      std::memcpy(record.data(), &set, 2);
      std::memcpy(record.data() + 2, &card, 2);
      tavero::driver::Perform(file, Code::Add);
    }
    // Sort the key once, outside the measurement.
    tavero::driver::Perform(file, Code::SetKeyOrder, {.key = &key});
    tavero::driver::Perform(file, Code::Next);
  }
};

Cards& CardsOf(long count) {
  static std::map<long, std::unique_ptr<Cards>> files;
  auto& c = files[count];
  if (!c) c = std::make_unique<Cards>(count);
  return *c;
}

// Reads every row of the browse; returns the rows delivered.
long Browse(Cards& c, const char* filter, tavero::views::View& view) {
  tavero::eval::BindGroup(c.layout, c.record);
  tavero::eval::Bind("CAR:SET_NO", {reinterpret_cast<const std::uint8_t*>(&c.card_set_no), 2, 2, 0, {}});
  tavero::driver::Perform(view, Code::Close);
  tavero::driver::Perform(c.file, Code::SetKeyOrder, {.key = &c.key});
  tavero::driver::Perform(view, Code::ViewFilter, {.text = "31928", .filter = filter});
  long rows = 0;
  while (true) {
    tavero::driver::Perform(view, Code::Next);
    if (tavero::ErrorCode() != 0) break;
    ++rows;
  }
  return rows;
}

void Measure(benchmark::State& state, const char* filter) {
  Cards& c = CardsOf(state.range(0));
  c.card_set_no = 777;
  tavero::views::View view(tavero::views::ViewComponent{.file = &c.file});
  long rows = 0;
  c.driver.ResetCounts();
  for (auto _ : state) rows = Browse(c, filter, view);
  const double reads = static_cast<double>(c.driver.Reads()) / static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["reads"] = reads;
  state.counters["reads_per_row"] = rows ? reads / static_cast<double>(rows) : 0;
}

void BM_BoundedView(benchmark::State& state) { Measure(state, "SET:SET_No = CAR:SET_No"); }
void BM_ScanPeer(benchmark::State& state) { Measure(state, "SET:SET_No + 0 = CAR:SET_No"); }

}  // namespace

BENCHMARK(BM_BoundedView)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanPeer)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
