// The VMR engine against SQLite on the collection's own work, in the same
// run and with the same durability. The VMR side goes through the runtime's
// file operations exactly as the program does (files opened read/write,
// deny none; LOGOUT/COMMIT from the runtime's transaction routines; views
// for browse pages, each page one read statement); SQLite is used through
// its C interface with synchronous=FULL, twice: with a rollback journal
// (`sqlite`) and with a write-ahead log (`wal`).
//
//   BM_BulkLoad        N card rows shaped like SETINFORMATION, with its four
//                      keys, in one transaction; also the file bytes per row
//   BM_DurableInsert   single rows, each one durable on its own (VMR: ADD
//                      outside any transaction; SQLite: autocommit)
//   BM_ScanByName      every card in last-name order (SET on SET:NAME_KEY,
//                      NEXT to the end; SELECT ... ORDER BY last, first)
//   BM_GetByKey        GET by the unique key of a CARDSET-shaped file
//   BM_BrowsePage      a browse page: position at a key value, read 20 rows
//                      forward through a view
//   BM_BrowsePageAcrossSizes   the VMR page alone at several file sizes, and
//                      the cost of the largest size over the smallest
//
// N is 10 000; TAVERO_BENCH_LARGE=1 adds 1 000 000 (and the browse page at
// 1 000 000 rows). Counters: microseconds per row (or page) for each engine
// and ratio_vmr_to_sqlite, ratio_vmr_to_wal; below 1 the VMR engine is
// faster. Before timing, every benchmark checks that the engines deliver the
// same rows.
//
// The reading benchmarks run twice: with the VMR file open as the program
// opens it (mode 66, read/write deny none: every read statement takes a
// reader slot lock and reads the header to see other stations' commits) and
// open alone (mode 18, deny all), which shows the engine without that
// protocol. A browse page is one read statement, as the browse reads it; the
// scan is one too, which the driver cuts into bounded batches.
//
// The CARDSET-shaped file differs from CARDSET in one way: its set number is
// an INT32, so that it can hold a million sets.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/dictionary/dictionary.h"
#include "decimal/decimal.h"
#include "storage/driver/file_operations.h"
#include "storage/driver/read_statement.h"
#include "storage/driver/transaction.h"
#include "storage/views/view.h"
#include "storage/vmr/vmr.h"
#include "tools/sample_collection.h"
#include "tools/sample_files.h"

namespace {

namespace fs = std::filesystem;
namespace ops = tavero::driver;
using Clock = std::chrono::steady_clock;
using tavero::driver::FieldType;
using tavero::tool::SampleCard;
using zephcol::DataFile;

constexpr std::uint32_t kReadWriteDenyNone = 0x42;  // how the program opens its data files
constexpr std::uint32_t kReadWriteDenyAll = 0x12;   // one station alone: no locking per operation
constexpr int kCardsPerSet = 40;
constexpr int kPageRows = 20;
constexpr int kDurableInserts = 300;
constexpr int kLookups = 10000;
constexpr int kPages = 1000;
constexpr std::uint64_t kSeed = 7;

bool LargeRun() {
  const char* value = std::getenv("TAVERO_BENCH_LARGE");
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The reading benchmarks count this thread's processor time (user and
// system), which other work on a shared machine disturbs less than elapsed
// time; loads and durable inserts count elapsed time, as they wait for the
// disk.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Elapsed time and this thread's processor time of one stretch of work.
struct Stopwatch {
  Clock::time_point wall = Clock::now();
  double processor = ThreadSeconds();
  double Elapsed() const { return Seconds(wall); }
  double Processor() const { return ThreadSeconds() - processor; }
};


// ---- scratch files ----------------------------------------------------------

// One directory for the whole run, removed with everything in it at exit.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "tavero-storage-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }
  // An empty directory `name` below the root.
  fs::path Fresh(const std::string& name) const {
    std::error_code ignored;
    fs::remove_all(root_ / name, ignored);
    fs::create_directories(root_ / name, ignored);
    return root_ / name;
  }
  fs::path root() const { return root_; }

 private:
  fs::path root_;
};

ScratchDirectory& Scratch() {
  static ScratchDirectory scratch;
  return scratch;
}

std::uint64_t BytesIn(const fs::path& directory) {
  std::uint64_t bytes = 0;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  return bytes;
}

// ---- the rows ---------------------------------------------------------------

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

std::string MoneyText(std::int64_t cents) {
  return std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) + std::to_string(cents % 10);
}

std::int64_t Cents(const std::string& text) {
  const auto dot = text.find('.');
  return std::stoll(text.substr(0, dot)) * 100 + std::stoll(text.substr(dot + 1));
}

// What a comparison of rows looks at: the record and the memo.
std::string Image(DataFile& d) {
  std::string image(d.record().begin(), d.record().end());
  for (std::size_t m = 0; m < d.declaration().memos.size(); ++m) image.append(d.memo(m).begin(), d.memo(m).end());
  return image;
}

// N card rows: the sample collection's cards (forty to a set) and each one's
// SETINFORMATION record, built once so that loads time only the engines.
struct CardRows {
  std::vector<SampleCard> cards;
  std::vector<std::array<std::uint8_t, 70>> records;
  std::vector<std::array<std::int64_t, 4>> cents;  // the four money fields
};

const CardRows& CardRowsOf(long n) {
  static std::map<long, std::unique_ptr<CardRows>> made;
  auto& rows = made[n];
  if (rows) return *rows;
  rows = std::make_unique<CardRows>();
  tavero::tool::SampleOptions options{.sets = static_cast<int>((n + kCardsPerSet - 1) / kCardsPerSet),
                                      .cards_per_set = kCardsPerSet,
                                      .seed = kSeed};
  rows->cards = tavero::tool::MakeSampleCollection(options).cards;
  rows->cards.resize(static_cast<std::size_t>(n));
  DataFile scratch(zephcol::kSetInformationDeclaration, tavero::vmr::Driver());
  for (const SampleCard& card : rows->cards) {
    tavero::tool::FillCardRecord(scratch, card);
    std::array<std::uint8_t, 70> record;
    std::copy_n(scratch.record().begin(), record.size(), record.begin());
    rows->records.push_back(record);
    rows->cents.push_back(
        {Cents(card.low_value), Cents(card.high_value), Cents(card.price_paid), Cents(card.price_sold)});
  }
  return *rows;
}

// N card sets numbered 1 to N, with the sample collection's makers, seasons
// and types.
struct CardsetRow {
  std::int32_t number = 0;
  std::string manufacturer, year, type;
};

const std::vector<CardsetRow>& CardsetRowsOf(long n) {
  static std::map<long, std::vector<CardsetRow>> made;
  auto& rows = made[n];
  if (!rows.empty()) return rows;
  tavero::tool::SampleOptions options{.sets = static_cast<int>(n), .cards_per_set = 0, .seed = kSeed};
  for (const auto& set : tavero::tool::MakeSampleCollection(options).sets) {
    rows.push_back({set.number, set.manufacturer, set.year, set.type});
  }
  return rows;
}

void FillCardset(DataFile& d, const CardsetRow& row) {
  d.clear();
  d.set_number("CAR:SET_NO", row.number);
  d.set_text("CAR:MANUFACTURER", row.manufacturer);
  d.set_text("CAR:YEAR", row.year);
  d.set_text("CAR:TYPE_OF_CARD", row.type);
}

// ---- VMR --------------------------------------------------------------------

// Creates the file of `d` at `path` and opens it as the program does; points
// the transaction control file into the scratch directory.
int CreateAndOpen(DataFile& d, const fs::path& path) {
  d.file().name = path.string();
  if (int e = ops::Create(d.file())) return e;
  if (int e = ops::Open(d.file(), kReadWriteDenyNone)) return e;
  ops::Send(d.file(), "TCF=" + (Scratch().root() / "bench.tcf").string());
  return 0;
}

// All rows added between one LOGOUT and its COMMIT.
template <typename AddRow>
int AddInOneTransaction(DataFile& d, std::size_t rows, AddRow add_row) {
  const std::array<ops::FileObject*, 1> files{&d.file()};
  if (int e = ops::Logout(1, files)) return e;
  for (std::size_t i = 0; i < rows; ++i) {
    add_row(i);
    if (int e = ops::Add(d.file())) {
      ops::Rollback();
      return e;
    }
  }
  return ops::Commit();
}

void PutCardImage(DataFile& d, const CardRows& rows, std::size_t i) {
  std::copy(rows.records[i].begin(), rows.records[i].end(), d.record().begin());
  const std::span<std::uint8_t> memo = d.memo(0);
  const std::string& notes = rows.cards[i].notes;
  std::fill(std::copy_n(notes.begin(), std::min(notes.size(), memo.size()), memo.begin()), memo.end(), ' ');
}

int LoadCardsVmr(DataFile& d, const fs::path& path, const CardRows& rows) {
  if (int e = CreateAndOpen(d, path)) return e;
  return AddInOneTransaction(d, rows.cards.size(), [&](std::size_t i) { PutCardImage(d, rows, i); });
}

int LoadCardsetVmr(DataFile& d, const fs::path& path, const std::vector<CardsetRow>& rows) {
  if (int e = CreateAndOpen(d, path)) return e;
  const std::span<std::uint8_t> manufacturer = d.field("CAR:MANUFACTURER");
  const std::span<std::uint8_t> year = d.field("CAR:YEAR");
  const std::span<std::uint8_t> type = d.field("CAR:TYPE_OF_CARD");
  const auto put_text = [](std::span<std::uint8_t> field, const std::string& text) {
    std::fill(std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin()), field.end(), ' ');
  };
  return AddInOneTransaction(d, rows.size(), [&](std::size_t i) {
    std::memcpy(d.record().data(), &rows[i].number, 4);
    put_text(manufacturer, rows[i].manufacturer);
    put_text(year, rows[i].year);
    put_text(type, rows[i].type);
  });
}

// ---- SQLite -----------------------------------------------------------------

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return statement_; }
  bool ok() const { return statement_ != nullptr; }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// The two SQLite peers: a rollback journal, and a write-ahead log (whose
// readers find the last commit in the log's shared-memory index instead of
// locking the database file).
enum class Journal { kDelete, kWal };
constexpr Journal kJournals[] = {Journal::kDelete, Journal::kWal};

class SqliteDb {
 public:
  SqliteDb(const fs::path& path, Journal journal) {
    if (sqlite3_open(path.string().c_str(), &db_) != SQLITE_OK) Close();
    Exec(journal == Journal::kWal ? "PRAGMA synchronous=FULL; PRAGMA journal_mode=WAL;"
                                  : "PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE;");
  }
  ~SqliteDb() { Close(); }
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;
  bool Exec(const char* sql) { return db_ != nullptr && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
  sqlite3* get() const { return db_; }
  void Close() {
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
};

// SETINFORMATION's columns and its four keys as indexes; text compares
// without case, as the keys do.
constexpr const char* kCardsSchema =
    "CREATE TABLE setinformation(set_no INTEGER, card_no INTEGER, first_name TEXT COLLATE NOCASE,"
    " last_name TEXT COLLATE NOCASE, qty INTEGER, low_value INTEGER, high_value INTEGER, price_paid INTEGER,"
    " price_card_sold INTEGER, date_bought INTEGER, date_sold INTEGER, notes TEXT);"
    "CREATE INDEX set_key ON setinformation(set_no);"
    "CREATE INDEX name_key ON setinformation(last_name, first_name);"
    "CREATE INDEX bought ON setinformation(date_bought, last_name);"
    "CREATE INDEX sold ON setinformation(date_sold, last_name);";
constexpr const char* kInsertCard = "INSERT INTO setinformation VALUES(?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr const char* kCardsByName =
    "SELECT set_no, card_no, first_name, last_name, qty, low_value, high_value, price_paid, price_card_sold,"
    " date_bought, date_sold, notes FROM setinformation ORDER BY last_name, first_name";

constexpr const char* kCardsetSchema =
    "CREATE TABLE cardset(set_no INTEGER PRIMARY KEY, manufacturer TEXT COLLATE NOCASE,"
    " year TEXT COLLATE NOCASE, type_of_card TEXT COLLATE NOCASE);"
    "CREATE INDEX manufacturers ON cardset(manufacturer, year, type_of_card);"
    "CREATE INDEX types ON cardset(type_of_card, manufacturer, year);"
    "CREATE INDEX season ON cardset(year, manufacturer, type_of_card);";
constexpr const char* kInsertCardset = "INSERT INTO cardset VALUES(?,?,?,?)";
constexpr const char* kCardsetByKey = "SELECT set_no, manufacturer, year, type_of_card FROM cardset WHERE set_no = ?";
constexpr const char* kCardsetPage =
    "SELECT set_no, manufacturer, year, type_of_card FROM cardset WHERE set_no >= ? ORDER BY set_no LIMIT 20";

bool InsertCard(sqlite3_stmt* insert, const CardRows& rows, std::size_t i) {
  const SampleCard& c = rows.cards[i];
  sqlite3_bind_int(insert, 1, c.set);
  sqlite3_bind_int(insert, 2, c.card);
  sqlite3_bind_text(insert, 3, c.first_name.data(), static_cast<int>(c.first_name.size()), SQLITE_STATIC);
  sqlite3_bind_text(insert, 4, c.last_name.data(), static_cast<int>(c.last_name.size()), SQLITE_STATIC);
  sqlite3_bind_int(insert, 5, c.quantity);
  for (int m = 0; m < 4; ++m) sqlite3_bind_int64(insert, 6 + m, rows.cents[i][static_cast<std::size_t>(m)]);
  sqlite3_bind_int(insert, 10, c.date_bought);
  sqlite3_bind_int(insert, 11, c.date_sold);
  sqlite3_bind_text(insert, 12, c.notes.data(), static_cast<int>(c.notes.size()), SQLITE_STATIC);
  const bool done = sqlite3_step(insert) == SQLITE_DONE;
  sqlite3_reset(insert);
  return done;
}

bool LoadCardsSqlite(SqliteDb& db, const CardRows& rows) {
  if (!db.Exec(kCardsSchema) || !db.Exec("BEGIN")) return false;
  {
    Statement insert(db.get(), kInsertCard);
    for (std::size_t i = 0; i < rows.cards.size(); ++i) {
      if (!InsertCard(insert.get(), rows, i)) return false;
    }
  }
  return db.Exec("COMMIT");
}

bool LoadCardsetSqlite(SqliteDb& db, const std::vector<CardsetRow>& rows) {
  if (!db.Exec(kCardsetSchema) || !db.Exec("BEGIN")) return false;
  {
    Statement insert(db.get(), kInsertCardset);
    for (const CardsetRow& row : rows) {
      sqlite3_bind_int(insert.get(), 1, row.number);
      sqlite3_bind_text(insert.get(), 2, row.manufacturer.data(), static_cast<int>(row.manufacturer.size()),
                        SQLITE_STATIC);
      sqlite3_bind_text(insert.get(), 3, row.year.data(), static_cast<int>(row.year.size()), SQLITE_STATIC);
      sqlite3_bind_text(insert.get(), 4, row.type.data(), static_cast<int>(row.type.size()), SQLITE_STATIC);
      if (sqlite3_step(insert.get()) != SQLITE_DONE) return false;
      sqlite3_reset(insert.get());
    }
  }
  return db.Exec("COMMIT");
}

std::string ColumnText(sqlite3_stmt* s, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(s, column))) : std::string();
}

// A row in SQLite's hands copied into a record buffer of the same size, as
// a program over SQLite would hold it: what the timed loops do per row.
template <std::size_t Size>
struct RowBuffer {
  std::array<char, Size> bytes{};
  std::size_t at = 0;
  void Integer(sqlite3_stmt* s, int column) {
    const std::int64_t value = sqlite3_column_int64(s, column);
    std::memcpy(bytes.data() + at, &value, 4);
    at += 4;
  }
  void Text(sqlite3_stmt* s, int column, std::size_t width) {
    const auto* text = sqlite3_column_text(s, column);
    const std::size_t n = std::min(width, static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
    std::memcpy(bytes.data() + at, text, n);
    std::memset(bytes.data() + at + n, ' ', width - n);
    at += width;
  }
};

void ReadCardColumns(sqlite3_stmt* s) {
  RowBuffer<2 * 4 + 2 * 20 + 7 * 4 + 500> row;
  row.Integer(s, 0);
  row.Integer(s, 1);
  row.Text(s, 2, 20);
  row.Text(s, 3, 20);
  for (int column = 4; column <= 10; ++column) row.Integer(s, column);
  row.Text(s, 11, 500);
  benchmark::DoNotOptimize(row.bytes);
}

void ReadCardsetColumns(sqlite3_stmt* s) {
  RowBuffer<64> row;
  row.Integer(s, 0);
  row.Text(s, 1, 30);
  row.Text(s, 2, 10);
  row.Text(s, 3, 20);
  benchmark::DoNotOptimize(row.bytes);
}

// The current SQLite row as the VMR file would hold it.
std::string CardImageOf(sqlite3_stmt* s, DataFile& scratch) {
  SampleCard c;
  c.set = sqlite3_column_int(s, 0);
  c.card = sqlite3_column_int(s, 1);
  c.first_name = ColumnText(s, 2);
  c.last_name = ColumnText(s, 3);
  c.quantity = sqlite3_column_int(s, 4);
  c.low_value = MoneyText(sqlite3_column_int64(s, 5));
  c.high_value = MoneyText(sqlite3_column_int64(s, 6));
  c.price_paid = MoneyText(sqlite3_column_int64(s, 7));
  c.price_sold = MoneyText(sqlite3_column_int64(s, 8));
  c.date_bought = sqlite3_column_int(s, 9);
  c.date_sold = sqlite3_column_int(s, 10);
  c.notes = ColumnText(s, 11);
  tavero::tool::FillCardRecord(scratch, c);
  return Image(scratch);
}

std::string CardsetImageOf(sqlite3_stmt* s, DataFile& scratch) {
  FillCardset(scratch, {sqlite3_column_int(s, 0), ColumnText(s, 1), ColumnText(s, 2), ColumnText(s, 3)});
  return Image(scratch);
}

// ---- loaded files -----------------------------------------------------------

// A file loaded in the engines and left open for reading; one per shape and
// size for the whole run.
struct LoadedFiles {
  LoadedFiles(const zephcol::FileDeclaration& declaration, const std::string& name)
      : vmr_directory(Scratch().Fresh(name + "-vmr")),
        sqlite_directory(Scratch().Fresh(name + "-sqlite")),
        wal_directory(Scratch().Fresh(name + "-wal")),
        vmr(declaration, tavero::vmr::Driver()),
        sqlite(sqlite_directory / "bench.sqlite", Journal::kDelete),
        wal(wal_directory / "bench.sqlite", Journal::kWal) {}
  ~LoadedFiles() { ops::Close(vmr.file()); }
  SqliteDb& peer(Journal journal) { return journal == Journal::kWal ? wal : sqlite; }
  fs::path vmr_directory;
  fs::path sqlite_directory;
  fs::path wal_directory;
  DataFile vmr;
  SqliteDb sqlite;
  SqliteDb wal;
  int vmr_error = 0;
  bool sqlite_ok = false;
  bool ok() const { return vmr_error == 0 && sqlite_ok; }
};

// Closes the loaded VMR file and opens it again in the mode the benchmark's
// second argument gives, so that every reading benchmark starts from a
// fresh open (and not from the page cache and heap a load left behind).
bool OpenedAs(LoadedFiles& files, benchmark::State& state) {
  const auto mode = static_cast<std::uint32_t>(state.range(1));
  state.SetLabel(mode == kReadWriteDenyAll ? "exclusive" : "shared");
  if (!files.ok()) return false;
  ops::Close(files.vmr.file());
  return ops::Open(files.vmr.file(), mode) == 0;
}

// Every loaded file of the run, by name; emptied before main returns, while
// the driver and the runtime's open-file list still exist.
std::map<std::string, std::unique_ptr<LoadedFiles>>& Loaded() {
  static std::map<std::string, std::unique_ptr<LoadedFiles>> loaded;
  return loaded;
}

LoadedFiles& CardsOf(long n) {
  const std::string name = "cards-" + std::to_string(n);
  auto& files = Loaded()[name];
  if (!files) {
    files = std::make_unique<LoadedFiles>(zephcol::kSetInformationDeclaration, name);
    const CardRows& rows = CardRowsOf(n);
    files->vmr_error = LoadCardsVmr(files->vmr, files->vmr_directory / "SETINFORMATION", rows);
    files->sqlite_ok = LoadCardsSqlite(files->sqlite, rows) && LoadCardsSqlite(files->wal, rows);
  }
  return *files;
}

LoadedFiles& CardsetsOf(long n) {
  const std::string name = "cardset-" + std::to_string(n);
  auto& files = Loaded()[name];
  if (!files) {
    files = std::make_unique<LoadedFiles>(kWideCardsetDeclaration, name);
    const std::vector<CardsetRow>& rows = CardsetRowsOf(n);
    files->vmr_error = LoadCardsetVmr(files->vmr, files->vmr_directory / "CARDSET", rows);
    files->sqlite_ok = LoadCardsetSqlite(files->sqlite, rows) && LoadCardsetSqlite(files->wal, rows);
  }
  return *files;
}

// ---- reporting --------------------------------------------------------------

// Seconds of one job in each engine: VMR, SQLite with a rollback journal,
// SQLite with a write-ahead log.
struct Totals {
  double vmr = 0, sqlite = 0, wal = 0;
  double& peer(Journal journal) { return journal == Journal::kWal ? wal : sqlite; }
};

void Report(benchmark::State& state, const char* unit, const Totals& t, double count) {
  state.counters[std::string("vmr_us_per_") + unit] = t.vmr * 1e6 / count;
  state.counters[std::string("sqlite_us_per_") + unit] = t.sqlite * 1e6 / count;
  state.counters[std::string("wal_us_per_") + unit] = t.wal * 1e6 / count;
  state.counters["ratio_vmr_to_sqlite"] = t.vmr / t.sqlite;
  state.counters["ratio_vmr_to_wal"] = t.vmr / t.wal;
}

// Runs `vmr` and then `sqlite` on each SQLite peer in each iteration, timing
// each by this thread's processor time; the VMR time is the iteration's
// time.
template <typename Vmr, typename Sqlite>
void TimeReads(benchmark::State& state, Vmr vmr, Sqlite sqlite, Totals& totals) {
  for (auto _ : state) {
    double start = ThreadSeconds();
    vmr();
    const double vmr_seconds = ThreadSeconds() - start;
    for (Journal journal : kJournals) {
      start = ThreadSeconds();
      sqlite(journal);
      totals.peer(journal) += ThreadSeconds() - start;
    }
    totals.vmr += vmr_seconds;
    state.SetIterationTime(vmr_seconds);
  }
}

// The writing benchmarks' totals: elapsed time (the iteration's time and
// ratio_vmr_to_sqlite) and processor time (cpu_ratio_vmr_to_sqlite: the
// engines' own work, without the waits for the disk).
struct WriteTotals {
  Totals elapsed, processor;
  // Both answer the elapsed time of the stretch.
  double AddVmr(const Stopwatch& watch) {
    const double seconds = watch.Elapsed();
    processor.vmr += watch.Processor();
    elapsed.vmr += seconds;
    return seconds;
  }
  double AddSqlite(Journal journal, const Stopwatch& watch) {
    const double seconds = watch.Elapsed();
    processor.peer(journal) += watch.Processor();
    elapsed.peer(journal) += seconds;
    return seconds;
  }
  void Report(benchmark::State& state, const char* unit, double count) const {
    ::Report(state, unit, elapsed, count);
    state.counters["cpu_ratio_vmr_to_sqlite"] = processor.vmr / processor.sqlite;
    state.counters["cpu_ratio_vmr_to_wal"] = processor.vmr / processor.wal;
  }
};

std::vector<std::int32_t> RandomKeys(long n, int count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::int32_t> pick(1, static_cast<std::int32_t>(n));
  std::vector<std::int32_t> keys(static_cast<std::size_t>(count));
  for (auto& key : keys) key = pick(random);
  return keys;
}

// ---- 1 and 6: bulk load, file bytes per row ----------------------------------

void BM_BulkLoad(benchmark::State& state) {
  const long n = state.range(0);
  const CardRows& rows = CardRowsOf(n);
  WriteTotals totals;
  std::uint64_t vmr_bytes = 0, sqlite_bytes = 0, wal_bytes = 0;
  for (auto _ : state) {
    const fs::path vmr_directory = Scratch().Fresh("load-vmr");
    const Stopwatch vmr_watch;
    int error;
    {
      DataFile d(zephcol::kSetInformationDeclaration, tavero::vmr::Driver());
      error = LoadCardsVmr(d, vmr_directory / "SETINFORMATION", rows);
      ops::Close(d.file());
    }
    state.SetIterationTime(totals.AddVmr(vmr_watch));
    bool sqlite_ok = true;
    for (Journal journal : kJournals) {
      const fs::path directory = Scratch().Fresh(journal == Journal::kWal ? "load-wal" : "load-sqlite");
      const Stopwatch sqlite_watch;
      {
        SqliteDb db(directory / "bench.sqlite", journal);
        sqlite_ok = LoadCardsSqlite(db, rows) && sqlite_ok;
      }
      totals.AddSqlite(journal, sqlite_watch);
      (journal == Journal::kWal ? wal_bytes : sqlite_bytes) = BytesIn(directory);
    }
    if (error != 0 || !sqlite_ok) {
      state.SkipWithError(error != 0 ? "VMR load failed" : "SQLite load failed");
      break;
    }
    vmr_bytes = BytesIn(vmr_directory);
  }
  totals.Report(state, "row", static_cast<double>(n) * static_cast<double>(state.iterations()));
  state.counters["vmr_bytes_per_row"] = static_cast<double>(vmr_bytes) / static_cast<double>(n);
  state.counters["sqlite_bytes_per_row"] = static_cast<double>(sqlite_bytes) / static_cast<double>(n);
  state.counters["bytes_ratio_vmr_to_sqlite"] = static_cast<double>(vmr_bytes) / static_cast<double>(sqlite_bytes);
  state.counters["bytes_ratio_vmr_to_wal"] = static_cast<double>(vmr_bytes) / static_cast<double>(wal_bytes);
}

// ---- 2: durable single-row inserts -------------------------------------------

void BM_DurableInsert(benchmark::State& state) {
  const CardRows& rows = CardRowsOf(kDurableInserts);
  WriteTotals totals;
  for (auto _ : state) {
    const fs::path vmr_directory = Scratch().Fresh("insert-vmr");
    DataFile d(zephcol::kSetInformationDeclaration, tavero::vmr::Driver());
    int error = CreateAndOpen(d, vmr_directory / "SETINFORMATION");
    const Stopwatch vmr_watch;
    for (std::size_t i = 0; i < rows.cards.size() && error == 0; ++i) {
      PutCardImage(d, rows, i);
      error = ops::Add(d.file());
    }
    state.SetIterationTime(totals.AddVmr(vmr_watch));
    ops::Close(d.file());

    bool sqlite_ok = true;
    for (Journal journal : kJournals) {
      const fs::path directory = Scratch().Fresh(journal == Journal::kWal ? "insert-wal" : "insert-sqlite");
      SqliteDb db(directory / "bench.sqlite", journal);
      sqlite_ok = db.Exec(kCardsSchema) && sqlite_ok;
      const Stopwatch sqlite_watch;
      {
        Statement insert(db.get(), kInsertCard);
        for (std::size_t i = 0; i < rows.cards.size() && sqlite_ok; ++i) sqlite_ok = InsertCard(insert.get(), rows, i);
      }
      totals.AddSqlite(journal, sqlite_watch);
    }
    if (error != 0 || !sqlite_ok) {
      state.SkipWithError(error != 0 ? "VMR insert failed" : "SQLite insert failed");
      break;
    }
  }
  totals.Report(state, "insert", kDurableInserts * static_cast<double>(state.iterations()));
}

// ---- 3: every card in last-name order -----------------------------------------

// The engines' rows in name order, as record images.
bool SameCardsByName(LoadedFiles& files) {
  std::vector<std::string> vmr_rows;
  DataFile& d = files.vmr;
  if (ops::SetKeyOrder(d.file(), d.key("SET:NAME_KEY")) != 0) return false;
  while (ops::Next(d.file()) == 0) vmr_rows.push_back(Image(d));
  DataFile scratch(zephcol::kSetInformationDeclaration, tavero::vmr::Driver());
  for (Journal journal : kJournals) {
    Statement scan(files.peer(journal).get(), kCardsByName);
    std::size_t i = 0;
    while (sqlite3_step(scan.get()) == SQLITE_ROW) {
      if (i >= vmr_rows.size() || CardImageOf(scan.get(), scratch) != vmr_rows[i]) return false;
      ++i;
    }
    if (i != vmr_rows.size() || i == 0) return false;
  }
  return true;
}

// SQLite reads the name index, not a sort of its own.
bool UsesNameIndex(sqlite3* db) {
  const std::string plan = std::string("EXPLAIN QUERY PLAN ") + kCardsByName;
  Statement explain(db, plan.c_str());
  bool index = false;
  while (sqlite3_step(explain.get()) == SQLITE_ROW) {
    const std::string detail = ColumnText(explain.get(), 3);
    if (detail.find("TEMP B-TREE") != std::string::npos) return false;
    index = index || detail.find("name_key") != std::string::npos;
  }
  return index;
}

void BM_ScanByName(benchmark::State& state) {
  const long n = state.range(0);
  LoadedFiles& files = CardsOf(n);
  if (!OpenedAs(files, state) || !SameCardsByName(files) || !UsesNameIndex(files.sqlite.get()) ||
      !UsesNameIndex(files.wal.get())) {
    state.SkipWithError("the engines differ in name order, or a load failed");
    return;
  }
  DataFile& d = files.vmr;
  Totals totals;
  long vmr_rows = 0, sqlite_rows = 0;
  TimeReads(
      state,
      [&] {
        // One statement, as SQLite's; the driver gives the reader lock back
        // between bounded batches of it.
        ops::ReadStatement statement;
        ops::SetKeyOrder(d.file(), d.key("SET:NAME_KEY"));
        while (ops::Next(d.file()) == 0) ++vmr_rows;
      },
      [&](Journal journal) {
        Statement scan(files.peer(journal).get(), kCardsByName);
        while (sqlite3_step(scan.get()) == SQLITE_ROW) {
          ReadCardColumns(scan.get());
          ++sqlite_rows;
        }
      },
      totals);
  if (2 * vmr_rows != sqlite_rows) state.SkipWithError("the scans delivered different counts");
  Report(state, "row", totals, static_cast<double>(vmr_rows));
}

// ---- 4: GET by the unique key -------------------------------------------------

bool VmrGet(DataFile& d, ops::KeyObject& key, std::int32_t number) {
  std::memcpy(d.record().data(), &number, 4);
  return ops::Get(d.file(), key) == 0;
}

bool SqliteGet(sqlite3_stmt* find, std::int32_t number) {
  sqlite3_bind_int(find, 1, number);
  const bool found = sqlite3_step(find) == SQLITE_ROW;
  if (found) ReadCardsetColumns(find);
  sqlite3_reset(find);
  return found;
}

void BM_GetByKey(benchmark::State& state) {
  const long n = state.range(0);
  LoadedFiles& files = CardsetsOf(n);
  const bool opened = OpenedAs(files, state);
  DataFile& d = files.vmr;
  ops::KeyObject& key = d.key("CAR:SET");
  const std::vector<std::int32_t> keys = RandomKeys(n, kLookups, 11);
  Statement find(files.sqlite.get(), kCardsetByKey);
  Statement find_wal(files.wal.get(), kCardsetByKey);
  const auto finder = [&](Journal journal) { return (journal == Journal::kWal ? find_wal : find).get(); };
  bool same = opened && find.ok() && find_wal.ok();
  DataFile scratch(kWideCardsetDeclaration, tavero::vmr::Driver());
  for (std::size_t i = 0; same && i < 500; ++i) {
    same = VmrGet(d, key, keys[i]);
    for (Journal journal : kJournals) {
      sqlite3_stmt* f = finder(journal);
      sqlite3_bind_int(f, 1, keys[i]);
      same = same && sqlite3_step(f) == SQLITE_ROW && CardsetImageOf(f, scratch) == Image(d);
      sqlite3_reset(f);
    }
  }
  if (!same) {
    state.SkipWithError("the engines found different records, or a load failed");
    return;
  }
  Totals totals;
  long found = 0;
  TimeReads(
      state, [&] { for (std::int32_t number : keys) found += 2 * VmrGet(d, key, number); },
      [&](Journal journal) { for (std::int32_t number : keys) found -= SqliteGet(finder(journal), number); }, totals);
  if (found != 0) state.SkipWithError("the engines found different counts");
  Report(state, "get", totals, kLookups * static_cast<double>(state.iterations()));
}

// ---- 5: a browse page -----------------------------------------------------------

// A page as the browse builds it: the view closed, the file set in key
// order from the key value, then up to 20 rows read forward through the
// view, all in one read statement. Returns the rows read; `images` collects
// them when given.
int VmrPage(tavero::views::View& view, DataFile& d, ops::KeyObject& key, std::int32_t from,
            std::vector<std::string>* images = nullptr) {
  ops::Close(view);
  ops::ReadStatement statement;
  std::memcpy(d.record().data(), &from, 4);
  if (ops::SetKeyOrderFromValue(d.file(), key) != 0) return -1;
  int rows = 0;
  while (rows < kPageRows && ops::Next(view) == 0) {
    ++rows;
    if (images) images->push_back(Image(d));
  }
  return rows;
}

int SqlitePage(sqlite3_stmt* page, std::int32_t from) {
  sqlite3_bind_int(page, 1, from);
  int rows = 0;
  while (sqlite3_step(page) == SQLITE_ROW) {
    ReadCardsetColumns(page);
    ++rows;
  }
  sqlite3_reset(page);
  return rows;
}

bool SamePages(LoadedFiles& files, tavero::views::View& view, std::span<sqlite3_stmt* const> pages,
               const std::vector<std::int32_t>& starts) {
  DataFile scratch(kWideCardsetDeclaration, tavero::vmr::Driver());
  ops::KeyObject& key = files.vmr.key("CAR:SET");
  for (std::size_t i = 0; i < 50 && i < starts.size(); ++i) {
    std::vector<std::string> vmr_rows;
    VmrPage(view, files.vmr, key, starts[i], &vmr_rows);
    for (sqlite3_stmt* page : pages) {
      std::vector<std::string> sqlite_rows;
      sqlite3_bind_int(page, 1, starts[i]);
      while (sqlite3_step(page) == SQLITE_ROW) sqlite_rows.push_back(CardsetImageOf(page, scratch));
      sqlite3_reset(page);
      if (vmr_rows.empty() || vmr_rows != sqlite_rows) return false;
    }
  }
  return true;
}

void BM_BrowsePage(benchmark::State& state) {
  const long n = state.range(0);
  LoadedFiles& files = CardsetsOf(n);
  const bool opened = OpenedAs(files, state);
  tavero::views::View view(tavero::views::ViewComponent{.file = &files.vmr.file()});
  ops::KeyObject& key = files.vmr.key("CAR:SET");
  const std::vector<std::int32_t> starts = RandomKeys(n, kPages, 13);
  Statement page(files.sqlite.get(), kCardsetPage);
  Statement page_wal(files.wal.get(), kCardsetPage);
  const std::array<sqlite3_stmt*, 2> pages{page.get(), page_wal.get()};
  if (!opened || !page.ok() || !page_wal.ok() || !SamePages(files, view, pages, starts)) {
    state.SkipWithError("the engines read different pages, or a load failed");
    return;
  }
  Totals totals;
  long rows = 0;
  TimeReads(
      state, [&] { for (std::int32_t from : starts) rows += 2 * VmrPage(view, files.vmr, key, from); },
      [&](Journal journal) {
        for (std::int32_t from : starts) rows -= SqlitePage(pages[journal == Journal::kWal ? 1 : 0], from);
      },
      totals);
  ops::Close(view);
  if (rows != 0) state.SkipWithError("the engines read different row counts");
  Report(state, "page", totals, kPages * static_cast<double>(state.iterations()));
}

// The VMR page alone at each size; the same pages (by share of the file) at
// every size.
void BM_BrowsePageAcrossSizes(benchmark::State& state, std::vector<long> sizes) {
  std::vector<double> totals(sizes.size());
  std::vector<std::vector<std::int32_t>> starts;
  for (long n : sizes) {
    if (!OpenedAs(CardsetsOf(n), state)) {
      state.SkipWithError("a load failed");
      return;
    }
    starts.push_back(RandomKeys(n, kPages, 13));
  }
  for (auto _ : state) {
    double seconds = 0;
    for (std::size_t s = 0; s < sizes.size(); ++s) {
      LoadedFiles& files = CardsetsOf(sizes[s]);
      tavero::views::View view(tavero::views::ViewComponent{.file = &files.vmr.file()});
      ops::KeyObject& key = files.vmr.key("CAR:SET");
      const double start = ThreadSeconds();
      for (std::int32_t from : starts[s]) VmrPage(view, files.vmr, key, from);
      const double elapsed = ThreadSeconds() - start;
      ops::Close(view);
      totals[s] += elapsed;
      seconds += elapsed;
    }
    state.SetIterationTime(seconds);
  }
  const double pages = kPages * static_cast<double>(state.iterations());
  for (std::size_t s = 0; s < sizes.size(); ++s) {
    state.counters["vmr_us_per_page_at_" + std::to_string(sizes[s])] = totals[s] * 1e6 / pages;
  }
  state.counters["ratio_largest_to_smallest"] = totals.back() / totals.front();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const bool large = LargeRun();
  std::vector<long> sizes = {10000};
  if (large) sizes.push_back(1000000);
  for (long n : sizes) {
    const int repeats = n > 100000 ? 1 : 3;
    benchmark::RegisterBenchmark("BM_BulkLoad", BM_BulkLoad)
        ->Arg(n)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(repeats);
  }
  benchmark::RegisterBenchmark("BM_DurableInsert", BM_DurableInsert)
      ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
  // Reading: the file open as the program opens it (deny none), and alone
  // (deny all), which spares the per-operation locking between stations.
  for (long n : sizes) {
    const int repeats = n > 100000 ? 2 : 10;
    for (std::uint32_t mode : {kReadWriteDenyNone, kReadWriteDenyAll}) {
      benchmark::RegisterBenchmark("BM_ScanByName", BM_ScanByName)
          ->Args({n, mode})->ArgNames({"rows", "mode"})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(repeats);
      benchmark::RegisterBenchmark("BM_GetByKey", BM_GetByKey)
          ->Args({n, mode})->ArgNames({"rows", "mode"})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(repeats);
      benchmark::RegisterBenchmark("BM_BrowsePage", BM_BrowsePage)
          ->Args({n, mode})->ArgNames({"rows", "mode"})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(repeats);
    }
  }
  std::vector<long> browse_sizes = {1000, 100000};
  if (large) browse_sizes.push_back(1000000);
  benchmark::RegisterBenchmark("BM_BrowsePageAcrossSizes", BM_BrowsePageAcrossSizes, browse_sizes)
      ->Args({0, kReadWriteDenyNone})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Loaded().clear();
  return 0;
}
