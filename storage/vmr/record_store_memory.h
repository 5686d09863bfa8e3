// A RecordStore held in memory: the reference the record layer's tests run
// against, and the store of a table that never touches a disk.
#pragma once

#include <map>

#include "storage/vmr/record_store.h"

namespace tavero::vmr {

class MemoryRecordStore final : public RecordStore {
 public:
  int find(std::string_view key, std::optional<StoredRecord>& found) override;
  int first_not_below(std::string_view key, std::optional<StoredRecord>& found) override;
  int last_below(std::string_view key, std::optional<StoredRecord>& found) override;
  int insert(std::string_view key, std::string_view data) override;
  int replace(std::string_view key, std::string_view data) override;
  int erase(std::string_view key) override;
  int issue_identifier(std::uint32_t& identifier) override;
  int begin_operation(bool write) override;
  int end_operation() override;

  const std::map<std::string, std::string, std::less<>>& records() const { return records_; }
  // Counts calls that changed the tree; tests use it to see that an
  // operation wrote nothing.
  std::size_t changes() const { return changes_; }

 private:
  std::map<std::string, std::string, std::less<>> records_;
  std::uint32_t last_identifier_ = 0;
  std::size_t changes_ = 0;
};

}  // namespace tavero::vmr
