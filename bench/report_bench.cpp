// Report generation from a view: the master report's shape (a page header,
// two break groups around the detail band, a page footer) over 10 000 and
// 100 000 card rows read through a view in key order, each row one PRINT, the
// pages written as page files as for the preview (no preview window), then
// ENDPAGE and Close (which deletes them).
//
// Peer, in the same run and the same iteration: a plain read of the same view
// (NEXT until the end, nothing printed). "ratio" is report time over read
// time (aim: at most 3); "rows_per_second" and "bytes_per_page" describe the
// report alone.
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include <stdlib.h>
#include <time.h>

#include <benchmark/benchmark.h>

#include "app/dictionary/dictionary.h"
#include "app/master_report.h"
#include "app/open_files.h"
#include "app/report_procedure.h"
#include "app/window_blocks.h"
#include "storage/driver/file_operations.h"
#include "tools/sample_files.h"
#include "ui/definitions/definitions.h"

#include "report/report.h"
#include "report/report_testing.h"
#include "runtime/error_state.h"
#include "storage/views/memory_driver.h"
#include "storage/views/view.h"
#include "ui/headless/headless_printer.h"

namespace {

using Code = tavero::driver::OperationCode;
using tavero::driver::FieldType;

// Cards: maker, set, card number, name, quantity; 20 cards a set, 50 sets a
// maker.
struct Cards {
  tavero::views::testing::MemoryDriver driver;
  std::vector<std::uint8_t> layout = tavero::driver::RecordLayoutWriter()
                                         .String("CRD:MAKER", 0, 20)
                                         .String("CRD:SET", 20, 10)
                                         .Field("CRD:CARD_NO", 30, FieldType::INT16)
                                         .String("CRD:NAME", 32, 20)
                                         .Field("CRD:QTY", 52, FieldType::INT16)
                                         .Finish();
  std::vector<std::uint8_t> record = std::vector<std::uint8_t>(54, ' ');
  tavero::driver::KeyObject key;
  tavero::driver::FileObject file;

  explicit Cards(long count) {
    key.name = "CRD:KEY";
    key.components = {1, 2, 3};
    key.attributes = 0x07;
    key.file = &file;
    file.entry = &driver;
    file.name = "CARDS" + std::to_string(count);
    file.record_layout = layout;
    file.keys = {&key};
    file.record = record;
    tavero::driver::Perform(file, Code::Open, {.number = 0x42});
    for (long i = 0; i < count; ++i) {
      std::memset(record.data(), ' ', record.size());
      const std::string maker = "Maker " + std::to_string(i / 1000);
      const std::string set = "S" + std::to_string(i / 20);
      const std::string name = "Player " + std::to_string(i);
      const auto card = static_cast<std::int16_t>(i % 20 + 1);
      const auto quantity = static_cast<std::int16_t>(i % 7);
      std::memcpy(record.data(), maker.data(), maker.size());
      std::memcpy(record.data() + 20, set.data(), set.size());
      std::memcpy(record.data() + 30, &card, 2);
      std::memcpy(record.data() + 32, name.data(), name.size());
      std::memcpy(record.data() + 52, &quantity, 2);
      tavero::driver::Perform(file, Code::Add);
    }
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

void Restart(Cards& c, tavero::views::View& view) {
  tavero::driver::Perform(view, Code::Close);
  tavero::driver::Perform(c.file, Code::SetKeyOrder, {.key = &c.key});
  tavero::driver::Perform(view, Code::Open, {.number = 0x22});
}

long PlainRead(Cards& c, tavero::views::View& view) {
  Restart(c, view);
  long rows = 0;
  while (true) {
    tavero::driver::Perform(view, Code::Next);
    if (tavero::ErrorCode() != 0) break;
    ++rows;
  }
  return rows;
}

void BM_ReportFromView(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Cards& c = CardsOf(state.range(0));
  tavero::views::View view(tavero::views::ViewComponent{.file = &c.file});
  const tavero::driver::FlatLayout flat = tavero::driver::FlattenRecordLayout(c.layout, 54);
  auto field = [&](int k) { return tavero::report::FieldVariable(flat.fields[k], c.record); };
  // The test report's order: maker, maker, set, set, name, quantity, name
  // (set footer), maker (maker footer), name (page footer).
  const std::vector<tavero::report::Variable> variables = {field(0), field(0), field(1), field(1), field(3),
                                                           field(4), field(3), field(0), field(3)};
  tavero::ui::headless::HeadlessPrinter printer;
  printer.SetPrinter(std::nullopt);  // the reference device: locale paper at 600 dpi
  tavero::report::ReportOptions options;
  options.printer = &printer;
  std::vector<std::uint8_t> name_record(255, ' ');
  const std::vector<std::uint8_t> name_layout = tavero::driver::RecordLayoutWriter().String("NAME", 0, 255).Finish();
  tavero::queues::Queue names(name_record, name_layout);

  double read_seconds = 0;
  double report_seconds = 0;
  double pages = 0;
  double bytes = 0;
  long rows = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    rows = PlainRead(c, view);
    const auto t1 = Clock::now();
    {
      tavero::report::Report report(tavero::report::testing::TestReport(), variables, options);
      report.Open();
      report.SetPreviewQueue(names, name_record);
      Restart(c, view);
      while (true) {
        tavero::driver::Perform(view, Code::Next);
        if (tavero::ErrorCode() != 0) break;
        tavero::report::PRINT(report, 1);
      }
      tavero::report::ENDPAGE(report);
      const auto t2 = Clock::now();
      pages = report.pages_emitted();
      bytes = 0;
      for (const auto& file : report.PageFiles()) bytes += static_cast<double>(std::filesystem::file_size(file));
      report.Close();
      names.Free();
      state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
      read_seconds += std::chrono::duration<double>(t1 - t0).count();
      report_seconds += std::chrono::duration<double>(t2 - t1).count();
    }
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["pages"] = pages;
  state.counters["rows_per_second"] = static_cast<double>(rows) * iterations / report_seconds;
  state.counters["bytes_per_page"] = pages > 0 ? bytes / pages : 0;
  state.counters["read_ms"] = read_seconds / iterations * 1000;
  state.counters["ratio"] = report_seconds / read_seconds;
}

}  // namespace

// The master report itself ("Print MAIN REPORT" without its windows) over
// the sample collection's VMR files in a scratch directory: MANUFACTURER
// joined to CARDSET and SETINFORMATION, 20 cards a set. Peer: the same view
// read to its end. Times are this thread's processor time and wall time.
class SampleDirectory {
 public:
  explicit SampleDirectory(int sets) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavero-report-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    std::string failure;
    const auto collection = tavero::tool::MakeSampleCollection({.sets = sets, .cards_per_set = 20});
    ok_ = !path_.empty() && tavero::tool::WriteSampleFiles(path_.string(), collection, failure) == 0;
  }
  ~SampleDirectory() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  bool ok() const { return ok_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool ok_ = false;
};

double ThreadSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_MasterReportFromVmr(benchmark::State& state) {
  static std::map<long, std::unique_ptr<SampleDirectory>> samples;
  auto& sample = samples[state.range(0)];
  if (!sample) sample = std::make_unique<SampleDirectory>(static_cast<int>(state.range(0) / 20));
  if (!sample->ok()) {
    state.SkipWithError("the sample collection could not be written");
    return;
  }
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(sample->path());
  tavero::definitions::RegisterBlocks(zephcol::WindowDefinitionBlocks());
  const zephcol::ReportDeclaration& declaration = zephcol::MasterReport();
  std::vector<zephcol::DataFile*> files = {&zephcol::Manufacturer(), &zephcol::Cardset(), &zephcol::SetInformation()};
  for (zephcol::DataFile* file : files) {
    tavero::driver::Open(file->file(), 0x42);
    zephcol::BindDataFile(*file);
  }
  tavero::views::View view(zephcol::ReportView(declaration));
  tavero::ui::headless::HeadlessPrinter printer;
  printer.SetPrinter(std::nullopt);
  tavero::report::ReportOptions options;
  options.printer = &printer;
  std::vector<std::uint8_t> name_record(80, ' ');
  const std::vector<std::uint8_t> name_layout = tavero::driver::RecordLayoutWriter().String("NAME", 0, 80).Finish();
  tavero::queues::Queue names(name_record, name_layout);
  auto restart = [&] {
    tavero::driver::Close(view);
    tavero::driver::SetKeyOrder(files[0]->file(), files[0]->key("MAN:MANFACT"));
    tavero::driver::Open(view, 0x22);
  };

  double read_cpu = 0, report_cpu = 0, read_wall = 0, report_wall = 0, pages = 0, bytes = 0;
  long rows = 0;
  for (auto _ : state) {
    auto wall = std::chrono::steady_clock::now();
    double cpu = ThreadSeconds();
    restart();
    rows = 0;
    while (tavero::driver::Next(view) == 0) ++rows;
    read_cpu += ThreadSeconds() - cpu;
    read_wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();

    wall = std::chrono::steady_clock::now();
    cpu = ThreadSeconds();
    tavero::report::Report report(declaration.module, declaration.report, zephcol::ReportVariables(declaration),
                                  options);
    report.Open();
    report.SetPreviewQueue(names, name_record);
    restart();
    while (tavero::driver::Next(view) == 0) tavero::report::PRINT(report, 1);
    tavero::report::ENDPAGE(report);
    const double spent_cpu = ThreadSeconds() - cpu;
    const double spent_wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    report_cpu += spent_cpu;
    report_wall += spent_wall;
    state.SetIterationTime(spent_wall);
    pages = report.pages_emitted();
    bytes = 0;
    for (const auto& file : report.PageFiles()) bytes += static_cast<double>(std::filesystem::file_size(file));
    report.Close();
    names.Free();
  }
  tavero::driver::Close(view);
  for (zephcol::DataFile* file : files) tavero::driver::Close(file->file());
  std::filesystem::current_path(previous);
  const double iterations = static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["pages"] = pages;
  state.counters["bytes_per_page"] = pages > 0 ? bytes / pages : 0;
  state.counters["rows_per_second"] = static_cast<double>(rows) * iterations / report_wall;
  state.counters["read_ms"] = read_wall / iterations * 1000;
  state.counters["ratio_wall"] = report_wall / read_wall;
  state.counters["ratio_cpu"] = report_cpu / read_cpu;
}

BENCHMARK(BM_ReportFromView)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK(BM_MasterReportFromVmr)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
