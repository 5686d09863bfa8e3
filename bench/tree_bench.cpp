// The tree browse's loading (app/collection_tree.h, no window) over sample
// collections of 10 000 cards in 250 sets and 100 000 cards in 2 500 sets
// (TAVERO_BENCH_LARGE=1 adds 1 000 000 cards in 25 000 sets), 40 cards a
// set, the sample's manufacturers. The declared CARDSET numbers its sets
// with an INT16, so no collection holds more than 32 767 sets.
//
// What a person does: open the tree (root and manufacturers, nothing
// expanded), expand the first manufacturer that has sets, then its first
// set, and come back to the window (the tree loaded again with those two
// nodes expanded). The files are open as the program opens them.
//
// Counters per step: reads (NEXT and PREVIOUS reaching the file, and
// REGET) and microseconds. The claim is that the reads follow the
// manufacturers and the expanded nodes' children, never the cards of
// collapsed sets: opening reads two records per manufacturer at every
// size, a set's expansion reads its own cards, and a manufacturer's
// expansion two records per set it holds (which grow with the collection).
// BM_TreeAcrossSizes reports the largest collection's time over the
// smallest's for each step.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/collection_tree.h"
#include "app/dictionary/dictionary.h"
#include "runtime/error_state.h"
#include "storage/driver/driver.h"
#include "storage/vmr/vmr.h"
#include "tools/sample_collection.h"
#include "tools/sample_files.h"

namespace {

namespace fs = std::filesystem;
namespace ops = tavero::driver;
using Code = ops::OperationCode;
using zephcol::CollectionTree;
using zephcol::DataFile;

constexpr std::uint32_t kReadWriteDenyNone = 0x42;  // how the program opens its data files
constexpr int kCardsPerSet = 40;
constexpr std::uint64_t kSeed = 5;

bool LargeRun() {
  const char* value = std::getenv("TAVERO_BENCH_LARGE");
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

double Seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

fs::path ScratchRoot() {
  static const fs::path root = [] {
    std::string pattern = (fs::temp_directory_path() / "tavero-tree-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return fs::temp_directory_path() / "tavero-tree-bench";
    return fs::path(pattern);
  }();
  return root;
}

// Passes every operation on to the VMR driver and counts the reads.
class CountingEntry final : public ops::DriverEntry {
 public:
  ops::OperationResult Enter(ops::FileLike& object, Code code, const ops::OperationArgs& args) override {
    if (code == Code::Next || code == Code::Previous || code == Code::Reget) ++reads;
    object.entry = &tavero::vmr::Driver();  // the VMR driver takes only its own objects
    ops::OperationResult result = ops::Perform(object, code, args);
    object.entry = this;
    return result;
  }
  long reads = 0;
};

// One sample collection written once; the thread's data files opened on it
// (the tree reads the calling thread's files).
struct Collection {
  long cards = 0;
  CountingEntry counting;
  bool ok = false;
  fs::path directory;

  bool Write() {
    directory = ScratchRoot() / ("cards-" + std::to_string(cards));
    fs::create_directories(directory);
    const tavero::tool::SampleOptions options{
        .sets = static_cast<int>(cards / kCardsPerSet), .cards_per_set = kCardsPerSet, .seed = kSeed};
    std::string failure;
    const int error = tavero::tool::WriteSampleFiles(directory.string(), tavero::tool::MakeSampleCollection(options), failure);
    if (error != 0) std::fprintf(stderr, "tree_bench: %s failed (%d)\n", failure.c_str(), error);
    return error == 0;
  }
  // Opens the thread's MANUFACTURER, CARDSET and SETINFORMATION here.
  bool Open() {
    fs::current_path(directory);
    for (DataFile* file : {&zephcol::Manufacturer(), &zephcol::Cardset(), &zephcol::SetInformation()}) {
      ops::Close(file->file());
      file->file().entry = &tavero::vmr::Driver();
      file->file().name = std::string(file->declaration().label);  // found in the working directory, as the program finds it
      if (ops::Open(file->file(), kReadWriteDenyNone) != 0) {
        std::fprintf(stderr, "tree_bench: %s does not open (%d)\n", file->file().name.c_str(), tavero::ErrorCode());
        return false;
      }
      file->file().entry = &counting;
    }
    return true;
  }
};

Collection& CollectionOf(long cards) {
  static std::map<long, std::unique_ptr<Collection>> written;
  auto& collection = written[cards];
  if (!collection) {
    collection = std::make_unique<Collection>();
    collection->cards = cards;
    collection->ok = collection->Write();
  }
  return *collection;
}

struct Step {
  long reads = 0;
  double seconds = 0;
};
struct Session {
  Step open, expand_maker, expand_set, reload;
  bool ok = false;
};

// The first manufacturer with sets.
int FirstManufacturerWithSets(CollectionTree& tree) {
  for (int row = 2; row <= tree.rows(); ++row) {
    if (tree.has_children(row)) return row;
  }
  return 0;
}

Session RunSession(Collection& collection, int manufacturer_row) {
  Session session;
  CollectionTree tree;
  auto timed = [&](Step& step, auto&& work) {
    const long reads = collection.counting.reads;
    const double start = Seconds();
    const bool ok = work();
    step.seconds = Seconds() - start;
    step.reads = collection.counting.reads - reads;
    return ok;
  };
  session.ok = timed(session.open, [&] { return tree.Load() == 0; }) &&
               timed(session.expand_maker, [&] { return tree.Expand(manufacturer_row) == 0; }) &&
               timed(session.expand_set, [&] { return tree.Expand(manufacturer_row + 1) == 0; }) &&
               timed(session.reload, [&] { return tree.Load() == 0; });
  return session;
}

void Report(benchmark::State& state, const Session& session) {
  state.counters["open_reads"] = static_cast<double>(session.open.reads);
  state.counters["open_us"] = session.open.seconds * 1e6;
  state.counters["maker_reads"] = static_cast<double>(session.expand_maker.reads);
  state.counters["maker_us"] = session.expand_maker.seconds * 1e6;
  state.counters["set_reads"] = static_cast<double>(session.expand_set.reads);
  state.counters["set_us"] = session.expand_set.seconds * 1e6;
  state.counters["reload_reads"] = static_cast<double>(session.reload.reads);
  state.counters["reload_us"] = session.reload.seconds * 1e6;
}

bool Prepare(benchmark::State& state, Collection& collection, int& manufacturer_row) {
  if (!collection.ok || !collection.Open()) {
    state.SkipWithError("could not write or open the sample collection");
    return false;
  }
  CollectionTree probe;
  if (probe.Load() != 0 || (manufacturer_row = FirstManufacturerWithSets(probe)) == 0) {
    state.SkipWithError("the tree did not load");
    return false;
  }
  return true;
}

void BM_Tree(benchmark::State& state) {
  Collection& collection = CollectionOf(state.range(0));
  int manufacturer_row = 0;
  if (!Prepare(state, collection, manufacturer_row)) return;
  Session last;
  for (auto _ : state) {
    last = RunSession(collection, manufacturer_row);
    if (!last.ok) {
      state.SkipWithError("a read failed");
      return;
    }
  }
  Report(state, last);
}

// The smallest and the largest collection in one run: each step's time at
// the largest over the smallest (the reads are the same at both).
void BM_TreeAcrossSizes(benchmark::State& state) {
  const long sizes[] = {10'000, LargeRun() ? 1'000'000L : 100'000L};
  Session sessions[2];
  int rows[2] = {0, 0};
  for (auto _ : state) {
    for (int i = 0; i < 2; ++i) {
      Collection& collection = CollectionOf(sizes[i]);
      if (!Prepare(state, collection, rows[i])) return;
      sessions[i] = RunSession(collection, rows[i]);
      if (!sessions[i].ok) {
        state.SkipWithError("a read failed");
        return;
      }
    }
  }
  auto ratio = [](double large, double small) { return small > 0 ? large / small : 0.0; };
  state.counters["open_ratio"] = ratio(sessions[1].open.seconds, sessions[0].open.seconds);
  state.counters["maker_ratio"] = ratio(sessions[1].expand_maker.seconds, sessions[0].expand_maker.seconds);
  state.counters["set_ratio"] = ratio(sessions[1].expand_set.seconds, sessions[0].expand_set.seconds);
  state.counters["reload_ratio"] = ratio(sessions[1].reload.seconds, sessions[0].reload.seconds);
  state.counters["open_reads_ratio"] =
      ratio(static_cast<double>(sessions[1].open.reads), static_cast<double>(sessions[0].open.reads));
}

void Sizes(benchmark::internal::Benchmark* bench) {
  bench->Arg(10'000)->Arg(100'000);
  if (LargeRun()) bench->Arg(1'000'000);
}

BENCHMARK(BM_Tree)->Apply(Sizes)->Unit(benchmark::kMicrosecond)->Iterations(5);
BENCHMARK(BM_TreeAcrossSizes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
