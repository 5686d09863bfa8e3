// The RecordStore of one open VMR file: the record layer's calls mapped onto
// the physical file's tree, identifier counter and operation brackets.
//
// Inside a transaction the status counters' changes are kept back (an ADD
// would otherwise rewrite the table's and every key's status record) and
// written by flush_counters() before the commit. Invariant: a status record
// with changes kept back is never handed out or changed before they are
// written; every lookup or change that could reach it writes them first.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "storage/vmr/physical_file.h"
#include "storage/vmr/record_store.h"

namespace tavero::vmr {

class PhysicalFileStore final : public RecordStore {
 public:
  explicit PhysicalFileStore(std::unique_ptr<PhysicalFile> file) : file_(std::move(file)) {}

  int find(std::string_view key, std::optional<StoredRecord>& found) override;
  int first_not_below(std::string_view key, std::optional<StoredRecord>& found) override;
  int last_below(std::string_view key, std::optional<StoredRecord>& found) override;
  int first_above(std::string_view key, std::optional<StoredRecord>& found) override;
  // Points into the page cache.
  int seek(Seek how, std::string_view key, std::optional<RecordView>& found) override;
  int seek_from(Seek how, std::string_view key, SeekPosition& position, std::optional<RecordView>& found) override;
  int insert(std::string_view key, std::string_view data) override;
  int replace(std::string_view key, std::string_view data) override;
  int update(std::string_view key, const std::function<bool(std::string& data)>& change, bool& found) override;
  int erase(std::string_view key) override;
  int change_counters(std::string_view key, std::int64_t count_delta,
                      std::optional<std::uint32_t> lower_second) override;
  // Writes the counter changes kept back (before a transaction's commit).
  int flush_counters();
  // Forgets them (a transaction rolled back).
  void drop_counters() { pending_.clear(); }
  int issue_identifier(std::uint32_t& identifier) override;
  int begin_operation(bool write) override;
  // Inside a read statement (driver::ReadStatement) a read keeps a shared
  // file's reader slot for the statement's next read; the statement's end
  // gives it back.
  int end_operation() override;

  PhysicalFile& file() { return *file_; }

 private:
  int find_with(FindMode mode, std::string_view key, std::optional<StoredRecord>& found);
  int seek_once(FindMode mode, std::string_view key, std::optional<RecordView>& found,
                PageTree::Position* position = nullptr);
  // Writes the changes kept back when one of them is for a key part from
  // `low` to `high` (both included; no `high`: no end); true when it did.
  bool flush_between(std::string_view low, const std::string_view* high, int& error);
  bool flush_at(std::string_view key, int& error) { return flush_between(key, &key, error); }

  struct PendingCounters {
    std::int64_t count_delta = 0;
    std::optional<std::uint32_t> lower_second;
  };
  std::map<std::string, PendingCounters, std::less<>> pending_;

  // Shared with the release a read statement runs at its end, which finds
  // the file gone when the store closed first.
  std::shared_ptr<PhysicalFile> file_;
};

}  // namespace tavero::vmr
