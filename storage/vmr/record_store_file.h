// The RecordStore of one open VMR file: the record layer's calls mapped onto
// the physical file's tree, identifier counter and operation brackets.
#pragma once

#include <memory>

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
  int insert(std::string_view key, std::string_view data) override;
  int replace(std::string_view key, std::string_view data) override;
  int update(std::string_view key, const std::function<bool(std::string& data)>& change, bool& found) override;
  int erase(std::string_view key) override;
  int issue_identifier(std::uint32_t& identifier) override;
  int begin_operation(bool write) override;
  // Inside a read statement (driver::ReadStatement) a read keeps a shared
  // file's reader slot for the statement's next read; the statement's end
  // gives it back.
  int end_operation() override;

  PhysicalFile& file() { return *file_; }

 private:
  int find_with(FindMode mode, std::string_view key, std::optional<StoredRecord>& found);

  // Shared with the release a read statement runs at its end, which finds
  // the file gone when the store closed first.
  std::shared_ptr<PhysicalFile> file_;
};

}  // namespace tavero::vmr
