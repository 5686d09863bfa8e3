// The VMR physical layer against SQLite on the same work: 100 000 records
// of 70 bytes under random 8-byte keys inserted in one commit, read back in
// key order, and found at random. Each benchmark times both engines in the
// same run and reports the ratio (VMR time / SQLite time) and the file
// bytes per record of each.
//
// A record's 70 bytes look like a row of the application: 30 bytes of
// letters and digits, then 40 blanks (padding of fixed-length text).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "storage/vmr/physical_file.h"

namespace {

using namespace tavero::vmr;
using Clock = std::chrono::steady_clock;

constexpr int kRecords = 100000;

struct Workload {
  std::vector<std::string> keys;
  std::vector<std::string> rows;
  Workload() {
    std::mt19937_64 random(42);
    std::vector<std::string> unique;
    while (static_cast<int>(keys.size()) < kRecords) {
      std::string key(8, '\0');
      for (char& c : key) c = static_cast<char>(random());
      keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::shuffle(keys.begin(), keys.end(), random);
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (std::size_t i = 0; i < keys.size(); ++i) {
      std::string row(70, ' ');
      for (int j = 0; j < 30; ++j) row[j] = alphabet[random() % 36];
      rows.push_back(row);
    }
  }
};

const Workload& Work() {
  static const Workload work;
  return work;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("tavero_bench_") + std::to_string(getpid()) + name))
      .string();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Check(bool ok, benchmark::State& state, const char* what) {
  if (!ok) state.SkipWithError(what);
}

// ---- VMR ----

struct Vmr {
  std::string path = TempPath(".VMR");
  std::unique_ptr<PhysicalFile> file;
  ~Vmr() {
    file.reset();
    std::filesystem::remove(path);
  }
  bool Fill() {
    file.reset();
    std::filesystem::remove(path);
    if (!PhysicalFile::Open(PosixFileSystem(), path, 0x12 | kCreateFlag, file).ok()) return false;
    if (!file->BeginWrite().ok() || !file->RefreshHeader().ok()) return false;
    const Workload& w = Work();
    for (std::size_t i = 0; i < w.keys.size(); ++i) {
      if (!file->Insert(w.keys[i], w.rows[i]).ok()) return false;
    }
    return file->EndOperation().ok();
  }
  std::size_t Scan() {
    std::size_t n = 0;
    std::optional<RecordCopy> r;
    std::string key;
    (void)file->RefreshHeader();
    Status s = file->Find(FindMode::kFirstNotBelow, key, r);
    while (s.ok() && r) {
      ++n;
      key = r->key();
      s = file->Find(FindMode::kFirstAbove, key, r);
    }
    (void)file->EndOperation();
    return n;
  }
  // Open again, with nothing in the page cache.
  bool Reopen() {
    file.reset();
    return PhysicalFile::Open(PosixFileSystem(), path, 0x12, file).ok();
  }
  std::size_t FindAll(const std::vector<std::string>& keys) {
    std::size_t n = 0;
    (void)file->RefreshHeader();
    std::optional<RecordCopy> r;
    for (const auto& key : keys) {
      if (file->Find(FindMode::kExact, key, r).ok() && r) ++n;
    }
    (void)file->EndOperation();
    return n;
  }
};

// ---- SQLite ----

struct Sqlite {
  std::string path = TempPath(".sqlite");
  sqlite3* db = nullptr;
  ~Sqlite() {
    Close();
    std::filesystem::remove(path);
  }
  void Close() {
    if (db) sqlite3_close(db);
    db = nullptr;
  }
  bool Fill() {
    Close();
    std::filesystem::remove(path);
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db, "PRAGMA synchronous=FULL; CREATE TABLE t(k BLOB PRIMARY KEY, v BLOB) WITHOUT ROWID;", nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?)", -1, &insert, nullptr);
    const Workload& w = Work();
    for (std::size_t i = 0; i < w.keys.size(); ++i) {
      sqlite3_bind_blob(insert, 1, w.keys[i].data(), 8, SQLITE_STATIC);
      sqlite3_bind_blob(insert, 2, w.rows[i].data(), 70, SQLITE_STATIC);
      if (sqlite3_step(insert) != SQLITE_DONE) return false;
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  std::size_t Scan() {
    sqlite3_stmt* scan;
    sqlite3_prepare_v2(db, "SELECT k, v FROM t ORDER BY k", -1, &scan, nullptr);
    std::size_t n = 0, bytes = 0;
    while (sqlite3_step(scan) == SQLITE_ROW) {
      bytes += static_cast<std::size_t>(sqlite3_column_bytes(scan, 1));
      ++n;
    }
    sqlite3_finalize(scan);
    benchmark::DoNotOptimize(bytes);
    return n;
  }
  bool Reopen() {
    Close();
    return sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  }
  std::size_t FindAll(const std::vector<std::string>& keys) {
    sqlite3_stmt* find;
    sqlite3_prepare_v2(db, "SELECT v FROM t WHERE k = ?", -1, &find, nullptr);
    std::size_t n = 0;
    for (const auto& key : keys) {
      sqlite3_bind_blob(find, 1, key.data(), 8, SQLITE_STATIC);
      if (sqlite3_step(find) == SQLITE_ROW) ++n;
      sqlite3_reset(find);
    }
    sqlite3_finalize(find);
    return n;
  }
};

void Report(benchmark::State& state, double vmr_seconds, double sqlite_seconds, std::size_t records) {
  state.counters["vmr_us_per_record"] = vmr_seconds * 1e6 / static_cast<double>(records);
  state.counters["sqlite_us_per_record"] = sqlite_seconds * 1e6 / static_cast<double>(records);
  state.counters["ratio_vmr_to_sqlite"] = vmr_seconds / sqlite_seconds;
}

void BM_InsertInOneCommit(benchmark::State& state) {
  Vmr vmr;
  Sqlite sqlite;
  double vmr_total = 0, sqlite_total = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    Check(vmr.Fill(), state, "vmr fill");
    double v = Seconds(start);
    start = Clock::now();
    Check(sqlite.Fill(), state, "sqlite fill");
    double s = Seconds(start);
    state.SetIterationTime(v);
    vmr_total += v;
    sqlite_total += s;
  }
  Report(state, vmr_total, sqlite_total, Work().keys.size() * state.iterations());
  sqlite.Close();
  const double records = static_cast<double>(Work().keys.size());
  state.counters["vmr_file_bytes_per_record"] = static_cast<double>(std::filesystem::file_size(vmr.path)) / records;
  state.counters["sqlite_file_bytes_per_record"] =
      static_cast<double>(std::filesystem::file_size(sqlite.path)) / records;
}
BENCHMARK(BM_InsertInOneCommit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadInKeyOrder(benchmark::State& state) {
  Vmr vmr;
  Sqlite sqlite;
  Check(vmr.Fill() && sqlite.Fill(), state, "fill");
  double vmr_total = 0, sqlite_total = 0;
  std::size_t records = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    records += vmr.Scan();
    double v = Seconds(start);
    start = Clock::now();
    Check(sqlite.Scan() == Work().keys.size(), state, "sqlite scan");
    sqlite_total += Seconds(start);
    state.SetIterationTime(v);
    vmr_total += v;
  }
  Check(records == Work().keys.size() * state.iterations(), state, "vmr scan");
  Report(state, vmr_total, sqlite_total, records);
}
BENCHMARK(BM_ReadInKeyOrder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FindAtRandom(benchmark::State& state) {
  Vmr vmr;
  Sqlite sqlite;
  Check(vmr.Fill() && sqlite.Fill(), state, "fill");
  std::vector<std::string> keys = Work().keys;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(9));
  double vmr_total = 0, sqlite_total = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    found += vmr.FindAll(keys);
    double v = Seconds(start);
    start = Clock::now();
    Check(sqlite.FindAll(keys) == keys.size(), state, "sqlite find");
    sqlite_total += Seconds(start);
    state.SetIterationTime(v);
    vmr_total += v;
  }
  Check(found == keys.size() * state.iterations(), state, "vmr find");
  Report(state, vmr_total, sqlite_total, found);
}
BENCHMARK(BM_FindAtRandom)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Cache misses: each round opens both files afresh and finds 5 000 keys at
// random, so that most finds read and decode a page (as in a tree larger
// than the page cache) and most pages are decoded once.
void BM_FindAfterOpen(benchmark::State& state) {
  Vmr vmr;
  Sqlite sqlite;
  Check(vmr.Fill() && sqlite.Fill(), state, "fill");
  std::vector<std::string> keys = Work().keys;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(11));
  keys.resize(5000);
  double vmr_total = 0, sqlite_total = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    Check(vmr.Reopen(), state, "vmr open");
    found += vmr.FindAll(keys);
    double v = Seconds(start);
    start = Clock::now();
    Check(sqlite.Reopen() && sqlite.FindAll(keys) == keys.size(), state, "sqlite find");
    sqlite_total += Seconds(start);
    state.SetIterationTime(v);
    vmr_total += v;
  }
  Check(found == keys.size() * state.iterations(), state, "vmr find");
  Report(state, vmr_total, sqlite_total, found);
}
BENCHMARK(BM_FindAfterOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
