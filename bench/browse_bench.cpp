// The page browse itself (app/page_browse.h, no window) against SQLite
// serving the same pages, over a CARDSET-shaped file in set-number order and
// a SETINFORMATION file in last-name order, of 1 000 and 100 000 records
// (TAVERO_BENCH_LARGE=1 adds 1 000 000).
//
// One session is what a person does in a browse: open it (the first page),
// 50 page-downs, a locate (the key value of a record a third of the way in,
// as after an insert), and a thumb drag to 70. A page is 20 rows. The VMR
// file is open as the program opens it (read/write, deny none).
//
// SQLite serves the same pages from an indexed table: the first page
// (ORDER BY ... LIMIT 20), each page-down from the last row shown
// (WHERE (key, rowid) > (...)), the locate from the key value, and the thumb
// from the lowest and highest key value (the thumb table's two reads) and the
// value at 70 of the way between them. Every row read is copied into a
// record-sized buffer, as the VMR driver fills the record buffer. Before
// timing, both must show the same rows on every page.
//
// Counters per session: microseconds per page for each engine and their
// ratio (below 1 the page browse is faster), and the VMR reads (NEXT and
// PREVIOUS reaching the file) per row delivered to the page.
// BM_BrowseAcrossSizes gives the time per page at each size and the largest
// over the smallest.
//
// The CARDSET-shaped file's set number is an INT32, so that it can hold a
// million sets.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/dictionary/dictionary.h"
#include "app/page_browse.h"
#include "runtime/error_state.h"
#include "storage/driver/driver.h"
#include "storage/driver/transaction.h"
#include "storage/vmr/vmr.h"
#include "tools/sample_collection.h"
#include "tools/sample_files.h"

namespace {

namespace fs = std::filesystem;
namespace ops = tavero::driver;
using Code = ops::OperationCode;
using tavero::driver::FieldType;
using zephcol::BrowsePage;
using zephcol::DataFile;

constexpr std::uint32_t kReadWriteDenyNone = 0x42;  // how the program opens its data files
constexpr int kRows = 20;
constexpr int kPageDowns = 50;
constexpr int kThumb = 70;
constexpr int kPagesPerSession = 1 + kPageDowns + 1 + 1;
constexpr int kCardsPerSet = 40;
constexpr std::uint64_t kSeed = 11;

bool LargeRun() {
  const char* value = std::getenv("TAVERO_BENCH_LARGE");
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

fs::path ScratchRoot() {
  static struct Root {
    Root() {
      std::string pattern = (fs::temp_directory_path() / "tavero-browse-bench-XXXXXX").string();
      if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~Root() {
      std::error_code ignored;
      if (!path.empty()) fs::remove_all(path, ignored);
    }
    fs::path path;
  } root;
  return root.path;
}

// The CARDSET shape with a four-byte set number.
constexpr zephcol::FieldDeclaration kWideCardsetFields[] = {
    {"CAR:SET_NO", FieldType::INT32, 0, 4, 0, "@N08"},
    {"CAR:MANUFACTURER", FieldType::FIXSTR, 4, 30, 0, "@s30"},
    {"CAR:YEAR", FieldType::FIXSTR, 34, 10, 0, "@s10"},
    {"CAR:TYPE_OF_CARD", FieldType::FIXSTR, 44, 20, 0, "@s20"},
};
constexpr zephcol::KeyDeclaration kWideCardsetKeys[] = {
    {"CAR:SET", 0x16, {1, 0, 0}},
    {"CAR:MANUFACTURERS", 0x07, {2, 3, 4}},
    {"CAR:TYPES", 0x07, {4, 2, 3}},
    {"CAR:SEASON", 0x07, {3, 2, 4}},
};
const zephcol::FileDeclaration kWideCardsetDeclaration{
    "CARDSET", "CAR", 64, 0x1C, kWideCardsetFields, kWideCardsetKeys, {}};

// Passes every operation on to the VMR driver and counts the reads.
class CountingEntry final : public ops::DriverEntry {
 public:
  ops::OperationResult Enter(ops::FileLike& object, Code code, const ops::OperationArgs& args) override {
    if (code == Code::Next || code == Code::Previous) ++reads;
    object.entry = &tavero::vmr::Driver();  // the VMR driver takes only its own objects
    ops::OperationResult result = ops::Perform(object, code, args);
    object.entry = this;
    return result;
  }
  long reads = 0;
};

// ---- the two shapes -----------------------------------------------------------

enum class Shape { Cardset, Cards };

// The browsed file of the session now running (the page browse asks for it).
DataFile* browsed = nullptr;
DataFile& Browsed() { return *browsed; }

constexpr std::string_view kCardsetColumns[] = {"CAR:SET_NO", "CAR:MANUFACTURER", "CAR:YEAR", "CAR:TYPE_OF_CARD"};
constexpr zephcol::SortOrderDeclaration kBySetNumber[] = {{.key = "CAR:SET", .thumb_field = "CAR:SET_NO"}};
constexpr zephcol::PageBrowseDeclaration kCardsetBrowse{Browsed, kCardsetColumns, kBySetNumber};

constexpr std::string_view kCardColumns[] = {"SET:SET_NO",    "SET:CARD_NO",    "SET:FIRST_NAME",
                                             "SET:LAST_NAME", "SET:QTY",        "SET:LOW_VALUE",
                                             "SET:HIGH_VALUE", "SET:PRICE_PAID", "SET:PRICE_CARD_SOLD"};
constexpr zephcol::SortOrderDeclaration kByName[] = {
    {.key = "SET:NAME_KEY", .locator_field = "SET:LAST_NAME", .thumb_field = "SET:LAST_NAME"}};
constexpr zephcol::PageBrowseDeclaration kCardBrowse{Browsed, kCardColumns, kByName};

// One loaded pair of files: the VMR file and the same rows in SQLite.
struct LoadedFiles {
  Shape shape;
  long n = 0;
  CountingEntry counting;
  std::unique_ptr<DataFile> vmr;
  sqlite3* sqlite = nullptr;
  bool ok = false;
  // The record a third of the way in: where the session locates.
  std::int32_t locate_set = 0;
  std::string locate_last_name, locate_first_name;
  ~LoadedFiles() {
    if (vmr) ops::Close(vmr->file());
    if (sqlite != nullptr) sqlite3_close(sqlite);
  }
};

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

void PutText(std::span<std::uint8_t> field, const std::string& text) {
  std::fill(std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin()), field.end(), ' ');
}

bool Load(LoadedFiles& files) {
  const fs::path directory = ScratchRoot() / ((files.shape == Shape::Cardset ? "sets-" : "cards-") + std::to_string(files.n));
  fs::create_directories(directory);
  files.vmr = std::make_unique<DataFile>(
      files.shape == Shape::Cardset ? kWideCardsetDeclaration : zephcol::kSetInformationDeclaration, files.counting);
  DataFile& d = *files.vmr;
  d.file().name = (directory / (files.shape == Shape::Cardset ? "CARDSET" : "SETINFORMATION")).string();
  if (ops::Create(d.file()) != 0 || ops::Open(d.file(), kReadWriteDenyNone) != 0) return false;
  ops::Send(d.file(), "TCF=" + (ScratchRoot() / "bench.tcf").string());
  if (sqlite3_open((directory / "peer.db").string().c_str(), &files.sqlite) != SQLITE_OK) return false;
  Exec(files.sqlite, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
  const bool sets = files.shape == Shape::Cardset;
  if (!Exec(files.sqlite, sets ? "CREATE TABLE cardset(set_no INTEGER PRIMARY KEY, manufacturer TEXT, year TEXT, "
                                 "type TEXT)"
                               : "CREATE TABLE card(set_no INTEGER, card_no INTEGER, first_name TEXT, last_name "
                                 "TEXT, qty INTEGER, low INTEGER, high INTEGER, paid INTEGER, sold INTEGER); "
                                 "CREATE INDEX name_key ON card(last_name COLLATE NOCASE, first_name COLLATE NOCASE)")) {
    return false;
  }
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(files.sqlite,
                     sets ? "INSERT INTO cardset VALUES(?,?,?,?)" : "INSERT INTO card VALUES(?,?,?,?,?,?,?,?,?)", -1,
                     &insert, nullptr);
  Exec(files.sqlite, "BEGIN");
  const std::array<ops::FileObject*, 1> logged{&d.file()};
  if (ops::Logout(1, logged) != 0) return false;
  tavero::tool::SampleOptions options{
      .sets = static_cast<int>(sets ? files.n : (files.n + kCardsPerSet - 1) / kCardsPerSet),
      .cards_per_set = sets ? 0 : kCardsPerSet,
      .seed = kSeed};
  const tavero::tool::SampleCollection collection = tavero::tool::MakeSampleCollection(options);
  const auto text = [&](int column, const std::string& value) {
    sqlite3_bind_text(insert, column, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  };
  if (sets) {
    for (const tavero::tool::SampleSet& set : collection.sets) {
      d.clear();
      d.set_number("CAR:SET_NO", set.number);
      PutText(d.field("CAR:MANUFACTURER"), set.manufacturer);
      PutText(d.field("CAR:YEAR"), set.year);
      PutText(d.field("CAR:TYPE_OF_CARD"), set.type);
      if (ops::Add(d.file()) != 0) return false;
      sqlite3_bind_int(insert, 1, set.number);
      text(2, set.manufacturer);
      text(3, set.year);
      text(4, set.type);
      if (sqlite3_step(insert) != SQLITE_DONE) return false;
      sqlite3_reset(insert);
    }
    files.locate_set = static_cast<std::int32_t>(files.n / 3);
  } else {
    for (long i = 0; i < files.n; ++i) {
      const tavero::tool::SampleCard& card = collection.cards[static_cast<std::size_t>(i)];
      tavero::tool::FillCardRecord(d, card);
      if (ops::Add(d.file()) != 0) return false;
      sqlite3_bind_int(insert, 1, card.set);
      sqlite3_bind_int(insert, 2, card.card);
      text(3, card.first_name);
      text(4, card.last_name);
      sqlite3_bind_int(insert, 5, card.quantity);
      for (int column = 6; column <= 9; ++column) sqlite3_bind_int(insert, column, column);
      if (sqlite3_step(insert) != SQLITE_DONE) return false;
      sqlite3_reset(insert);
      if (i == files.n / 3) {
        files.locate_last_name = card.last_name;
        files.locate_first_name = card.first_name;
      }
    }
  }
  sqlite3_finalize(insert);
  if (ops::Commit() != 0 || !Exec(files.sqlite, "COMMIT")) return false;
  // Opened afresh, as a browse finds the file.
  ops::Close(d.file());
  if (ops::Open(d.file(), kReadWriteDenyNone) != 0) return false;
  return true;
}

std::map<std::pair<Shape, long>, std::unique_ptr<LoadedFiles>>& Loaded() {
  static std::map<std::pair<Shape, long>, std::unique_ptr<LoadedFiles>> loaded;
  return loaded;
}

LoadedFiles& FilesOf(Shape shape, long n) {
  auto& files = Loaded()[{shape, n}];
  if (!files) {
    files = std::make_unique<LoadedFiles>();
    files->shape = shape;
    files->n = n;
    files->ok = Load(*files);
  }
  return *files;
}

// ---- one session ----------------------------------------------------------------

// What a page shows, for the comparison of the engines: the key of each row.
using PageKeys = std::vector<std::string>;

PageKeys KeysOf(BrowsePage& page, Shape shape) {
  PageKeys keys;
  for (int row = 1; row <= page.count(); ++row) {
    keys.push_back(shape == Shape::Cardset ? std::to_string(page.EntryNumber(row, "CAR:SET_NO"))
                                           : page.EntryText(row, "SET:LAST_NAME") + "," +
                                                 page.EntryText(row, "SET:FIRST_NAME"));
  }
  return keys;
}

// The page browse: open, page-downs, a locate, a thumb drag. Answers the rows
// delivered; `pages` receives each page's keys when given.
long VmrSession(LoadedFiles& files, std::vector<PageKeys>* pages) {
  browsed = files.vmr.get();
  DataFile& d = *files.vmr;
  const bool sets = files.shape == Shape::Cardset;
  BrowsePage page(sets ? kCardsetBrowse : kCardBrowse, kRows);
  long rows = 0;
  const auto shown = [&] {
    rows += page.count();
    if (pages) pages->push_back(KeysOf(page, files.shape));
  };
  page.Rebuild(1, zephcol::LocateMode::Beginning);
  shown();
  for (int i = 0; i < kPageDowns; ++i) {
    page.PageDown();
    shown();
  }
  if (sets) {
    d.set_number("CAR:SET_NO", files.locate_set);
  } else {
    d.set_text("SET:LAST_NAME", files.locate_last_name);
    d.set_text("SET:FIRST_NAME", files.locate_first_name);
  }
  page.LocateToRecord();
  shown();
  page.ThumbDrag(kThumb);
  shown();
  return rows;
}

// SQLite: the same pages.
struct SqliteBrowse {
  explicit SqliteBrowse(LoadedFiles& files) : sets(files.shape == Shape::Cardset), db(files.sqlite) {
    const char* columns = sets ? "set_no, manufacturer, year, type, rowid" :
                                 "set_no, card_no, first_name, last_name, qty, low, high, paid, sold, rowid";
    const std::string table = sets ? "cardset" : "card";
    const std::string order = sets ? "set_no" : "last_name COLLATE NOCASE, first_name COLLATE NOCASE, rowid";
    // The leading "last_name >= ?1" lets SQLite search its index rather than
    // scan it from the start.
    const std::string after = sets ? "set_no > ?1"
                                   : "last_name COLLATE NOCASE >= ?1 AND (last_name COLLATE NOCASE, first_name "
                                     "COLLATE NOCASE, rowid) > (?1, ?2, ?3)";
    const std::string from = sets ? "set_no >= ?1"
                                  : "last_name COLLATE NOCASE >= ?1 AND (last_name COLLATE NOCASE, first_name "
                                    "COLLATE NOCASE) >= (?1, ?2)";
    const std::string select = std::string("SELECT ") + columns + " FROM " + table;
    Prepare(first, select + " ORDER BY " + order + " LIMIT 20");
    Prepare(next, select + " WHERE " + after + " ORDER BY " + order + " LIMIT 20");
    Prepare(locate, select + " WHERE " + from + " ORDER BY " + order + " LIMIT 20");
    const std::string key = sets ? "set_no" : "last_name COLLATE NOCASE";
    Prepare(lowest, "SELECT " + std::string(sets ? "set_no" : "last_name") + " FROM " + table + " ORDER BY " + key + " LIMIT 1");
    Prepare(highest, "SELECT " + std::string(sets ? "set_no" : "last_name") + " FROM " + table + " ORDER BY " + key + " DESC LIMIT 1");
  }
  ~SqliteBrowse() {
    for (sqlite3_stmt* s : {first, next, locate, lowest, highest}) sqlite3_finalize(s);
  }
  void Prepare(sqlite3_stmt*& statement, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) ok = false;
  }

  // Runs a page query: each row copied into the record, the last row's key
  // kept. A new page replaces the shown one; a page-down that finds fewer
  // rows than a page shifts the shown page by those it found, as the page
  // browse does at the end of its file. Answers the rows shown.
  long Page(sqlite3_stmt* statement, std::vector<PageKeys>* pages, bool shift = false) {
    PageKeys keys;
    long found = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      if (sets) {
        last_set = sqlite3_column_int(statement, 0);
        std::memcpy(record.data(), &last_set, 4);
        CopyText(statement, 1, 4, 30);
        CopyText(statement, 2, 34, 10);
        CopyText(statement, 3, 44, 20);
        if (pages) keys.push_back(std::to_string(last_set));
      } else {
        const std::int32_t numbers[] = {sqlite3_column_int(statement, 0), sqlite3_column_int(statement, 1)};
        std::memcpy(record.data(), numbers, 4);
        last_first = CopyText(statement, 2, 4, 20);
        last_last = CopyText(statement, 3, 24, 20);
        for (int column = 4; column <= 8; ++column) {
          const std::int32_t value = sqlite3_column_int(statement, column);
          std::memcpy(record.data() + 44 + 4 * (column - 4), &value, 4);
        }
        last_rowid = sqlite3_column_int64(statement, 9);
        if (pages) keys.push_back(last_last + "," + last_first);
      }
      ++found;
    }
    sqlite3_reset(statement);
    const long count = shift && found < kRows ? std::min<long>(kRows, shown_count + found) : found;
    if (pages) {
      if (shift && found < kRows) {
        PageKeys kept(shown.end() - std::min<long>(static_cast<long>(shown.size()), kRows - found), shown.end());
        kept.insert(kept.end(), keys.begin(), keys.end());
        keys = std::move(kept);
      }
      shown = keys;
      pages->push_back(keys);
    }
    shown_count = count;
    return count;
  }
  std::string CopyText(sqlite3_stmt* statement, int column, std::size_t offset, std::size_t width) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const std::string value = text != nullptr ? text : "";
    std::fill(std::copy_n(value.begin(), std::min(value.size(), width), record.begin() + offset),
              record.begin() + offset + width, ' ');
    return value;
  }
  void BindText(sqlite3_stmt* statement, int index, const std::string& value) {
    sqlite3_bind_text(statement, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  }

  long Session(LoadedFiles& files, std::vector<PageKeys>* pages) {
    long rows = Page(first, pages);
    for (int i = 0; i < kPageDowns; ++i) {
      if (sets) {
        sqlite3_bind_int(next, 1, last_set);
      } else {
        BindText(next, 1, last_last);
        BindText(next, 2, last_first);
        sqlite3_bind_int64(next, 3, last_rowid);
      }
      rows += Page(next, pages, true);
    }
    if (sets) {
      sqlite3_bind_int(locate, 1, files.locate_set);
    } else {
      BindText(locate, 1, files.locate_last_name);
      BindText(locate, 2, files.locate_first_name);
    }
    rows += Page(locate, pages);
    // The thumb: the lowest and highest value, and the value 70 of the way.
    sqlite3_step(lowest);
    sqlite3_step(highest);
    if (sets) {
      const double low = sqlite3_column_int(lowest, 0), high = sqlite3_column_int(highest, 0);
      sqlite3_bind_int(locate, 1, static_cast<int>(low + (high - low) / 99.0 * (kThumb - 1) + 0.5));
    } else {
      const auto* low = reinterpret_cast<const char*>(sqlite3_column_text(lowest, 0));
      const auto* high = reinterpret_cast<const char*>(sqlite3_column_text(highest, 0));
      const zephcol::ThumbTable table = zephcol::ThumbTable::Texts(low ? low : "", high ? high : "", 20);
      BindText(locate, 1, table.Text(kThumb));
      BindText(locate, 2, "");
    }
    sqlite3_reset(lowest);
    sqlite3_reset(highest);
    rows += Page(locate, pages);
    return rows;
  }

  bool sets;
  sqlite3* db;
  bool ok = true;
  sqlite3_stmt* first = nullptr;
  sqlite3_stmt* next = nullptr;
  sqlite3_stmt* locate = nullptr;
  sqlite3_stmt* lowest = nullptr;
  sqlite3_stmt* highest = nullptr;
  std::array<std::uint8_t, 70> record{};
  std::int32_t last_set = 0;
  std::string last_first, last_last;
  std::int64_t last_rowid = 0;
  PageKeys shown;       // the keys of the rows shown (while pages are compared)
  long shown_count = 0;  // how many rows are shown
};

// The pages both engines show, compared before timing. The VMR browse ends
// its locate and thumb pages where the page browse puts them (the located
// row first, unless the file ends first), as SQLite's queries do.
bool SamePages(LoadedFiles& files) {
  std::vector<PageKeys> vmr, peer;
  VmrSession(files, &vmr);
  SqliteBrowse sqlite(files);
  if (!sqlite.ok) return false;
  sqlite.Session(files, &peer);
  return vmr == peer;
}

const char* ShapeName(Shape shape) { return shape == Shape::Cardset ? "CARDSET" : "SETINFORMATION"; }

void BM_BrowseSession(benchmark::State& state, Shape shape) {
  const long n = state.range(0);
  LoadedFiles& files = FilesOf(shape, n);
  if (!files.ok) return state.SkipWithError("the load failed");
  if (!SamePages(files)) return state.SkipWithError("the engines show different pages");
  SqliteBrowse sqlite(files);
  double vmr_seconds = 0, sqlite_seconds = 0;
  long vmr_rows = 0, sqlite_rows = 0, reads = 0;
  for (auto _ : state) {
    const long before = files.counting.reads;
    double start = ThreadSeconds();
    vmr_rows += VmrSession(files, nullptr);
    vmr_seconds += ThreadSeconds() - start;
    reads += files.counting.reads - before;
    start = ThreadSeconds();
    sqlite_rows += sqlite.Session(files, nullptr);
    sqlite_seconds += ThreadSeconds() - start;
    state.SetIterationTime(vmr_seconds + sqlite_seconds);
  }
  const double pages = kPagesPerSession * static_cast<double>(state.iterations());
  state.SetLabel(ShapeName(shape));
  state.counters["vmr_us_per_page"] = vmr_seconds * 1e6 / pages;
  state.counters["sqlite_us_per_page"] = sqlite_seconds * 1e6 / pages;
  state.counters["ratio_vmr_to_sqlite"] = vmr_seconds / sqlite_seconds;
  state.counters["reads_per_row"] = static_cast<double>(reads) / static_cast<double>(vmr_rows);
  if (vmr_rows != sqlite_rows) state.SkipWithError("the engines delivered different row counts");
}

// The page browse's time per page at each size, and the largest over the smallest.
void BM_BrowseAcrossSizes(benchmark::State& state, Shape shape, std::vector<long> sizes) {
  std::vector<double> totals(sizes.size());
  for (long n : sizes) {
    if (!FilesOf(shape, n).ok) return state.SkipWithError("a load failed");
  }
  for (auto _ : state) {
    double seconds = 0;
    for (std::size_t s = 0; s < sizes.size(); ++s) {
      const double start = ThreadSeconds();
      VmrSession(FilesOf(shape, sizes[s]), nullptr);
      const double elapsed = ThreadSeconds() - start;
      totals[s] += elapsed;
      seconds += elapsed;
    }
    state.SetIterationTime(seconds);
  }
  const double pages = kPagesPerSession * static_cast<double>(state.iterations());
  state.SetLabel(ShapeName(shape));
  for (std::size_t s = 0; s < sizes.size(); ++s) {
    state.counters["us_per_page_at_" + std::to_string(sizes[s])] = totals[s] * 1e6 / pages;
  }
  state.counters["ratio_largest_to_smallest"] = totals.back() / totals.front();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::vector<long> sizes = {1000, 100000};
  if (LargeRun()) sizes.push_back(1000000);
  for (Shape shape : {Shape::Cardset, Shape::Cards}) {
    for (long n : sizes) {
      benchmark::RegisterBenchmark("BM_BrowseSession", BM_BrowseSession, shape)
          ->Arg(n)->ArgName("records")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
    }
    benchmark::RegisterBenchmark("BM_BrowseAcrossSizes", BM_BrowseAcrossSizes, shape, sizes)
        ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Loaded().clear();
  return 0;
}
