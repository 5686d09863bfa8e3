// Helpers shared by the VMR tests: whole-file snapshots and batches.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "storage/vmr/physical_file.h"

namespace tavero::vmr::testing_support {

// A file that hands every call to another; tests override the calls they
// watch or break.
class ForwardingFile : public File {
 public:
  explicit ForwardingFile(std::unique_ptr<File> file) : file_(std::move(file)) {}
  int ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t& read) override {
    return file_->ReadAt(offset, out, read);
  }
  int WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    return file_->WriteAt(offset, data);
  }
  int Sync() override { return file_->Sync(); }
  int Truncate(std::uint64_t size) override { return file_->Truncate(size); }
  int Size(std::uint64_t& size) override { return file_->Size(size); }
  bool CanWrite() const override { return file_->CanWrite(); }
  int TryLock(std::uint64_t offset, std::uint64_t length) override { return file_->TryLock(offset, length); }
  int Lock(std::uint64_t offset, std::uint64_t length) override { return file_->Lock(offset, length); }
  int Unlock(std::uint64_t offset, std::uint64_t length) override { return file_->Unlock(offset, length); }

 private:
  std::unique_ptr<File> file_;
};

using Model = std::map<std::string, std::string>;

inline std::string Describe(const Status& s) {
  return std::to_string(static_cast<int>(s.kind())) + ":" + std::to_string(s.value());
}

// Every record of the file in key order, read forward record by record.
inline ::testing::AssertionResult Snapshot(PhysicalFile& file, Model& out) {
  out.clear();
  Status s = file.RefreshHeader();
  if (!s.ok()) return ::testing::AssertionFailure() << "refresh " << Describe(s);
  std::optional<RecordCopy> r;
  std::string key;
  s = file.Find(FindMode::kFirstNotBelow, key, r);
  while (s.ok() && r) {
    if (!out.empty() && CompareKeys(r->key(), key) <= 0) return ::testing::AssertionFailure() << "order";
    out.emplace(std::string(r->key()), std::string(r->data()));
    key = r->key();
    s = file.Find(FindMode::kFirstAbove, key, r);
  }
  if (!s.ok()) return ::testing::AssertionFailure() << "scan " << Describe(s);
  s = file.EndOperation();
  if (!s.ok()) return ::testing::AssertionFailure() << "end " << Describe(s);
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult Valid(PhysicalFile& file, std::uint64_t expected_records) {
  TreeStatistics statistics;
  Status s = file.Validate(statistics);
  if (!s.ok()) return ::testing::AssertionFailure() << "validate " << Describe(s);
  if (statistics.records != expected_records) {
    return ::testing::AssertionFailure() << statistics.records << " records, expected " << expected_records;
  }
  return ::testing::AssertionSuccess();
}

// Applies `changes` (value "" erases, otherwise insert or replace) in one
// operation and commits; the model follows only on success.
inline Status ApplyBatch(PhysicalFile& file, const Model& changes, Model& model) {
  VMR_TRY(file.BeginWrite());
  VMR_TRY(file.RefreshHeader());
  for (const auto& [key, value] : changes) {
    std::optional<RecordCopy> existing;
    VMR_TRY(file.Find(FindMode::kExact, key, existing));
    if (value.empty()) {
      bool found;
      VMR_TRY(file.Erase(key, found));
    } else if (existing) {
      VMR_TRY(file.Replace(key, value));
    } else {
      VMR_TRY(file.Insert(key, value));
    }
  }
  VMR_TRY(file.EndOperation());
  for (const auto& [key, value] : changes) {
    if (value.empty()) model.erase(key);
    else model[key] = value;
  }
  return Status::Ok();
}

// A batch that touches many pages: inserts, replacements and erasures.
inline Model MakeBatch(const Model& model, unsigned seed, int size) {
  Model batch;
  std::uint32_t x = seed * 2654435761u + 1;
  auto next = [&x] { x ^= x << 13; x ^= x >> 17; x ^= x << 5; return x; };
  auto it = model.begin();
  for (int i = 0; i < size; ++i) {
    switch (next() % 3) {
      case 0: {
        std::string key = std::string("\0\0\0\x07\xF3", 5) + std::to_string(next() % 100000);
        batch[key] = std::string(1 + next() % 300, static_cast<char>('a' + next() % 26));
        break;
      }
      default:
        if (model.empty()) break;
        for (unsigned skip = next() % 7; skip > 0; --skip) {
          if (++it == model.end()) it = model.begin();
        }
        batch[it->first] = next() % 2 ? std::string() : std::string(next() % 500 + 1, 'r');
    }
  }
  return batch;
}

}  // namespace tavero::vmr::testing_support
