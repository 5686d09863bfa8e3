// The record layer's ordered store over one open physical VMR file, for the
// tool's commands that work below the driver (reading a file without a
// compiled declaration, writing test and sample files).
//
// The tool opens its files exclusively, so a header refresh at every call
// costs nothing and keeps the operation brackets simple. A damaged page
// answers 36 "Invalid Data File" instead of halting the tool.
#pragma once

#include <memory>
#include <string>

#include "storage/vmr/physical_file.h"
#include "storage/vmr/record_store.h"

namespace tavero::tool {

class PhysicalRecordStore final : public vmr::RecordStore {
 public:
  explicit PhysicalRecordStore(vmr::PhysicalFile& file) : file_(file) {}

  int find(std::string_view key, std::optional<vmr::StoredRecord>& found) override;
  int first_not_below(std::string_view key, std::optional<vmr::StoredRecord>& found) override;
  int last_below(std::string_view key, std::optional<vmr::StoredRecord>& found) override;
  int insert(std::string_view key, std::string_view data) override;
  int replace(std::string_view key, std::string_view data) override;
  int erase(std::string_view key) override;
  int issue_identifier(std::uint32_t& identifier) override;
  int begin_write() override;
  int end_operation() override;

 private:
  int Lookup(vmr::FindMode mode, std::string_view key, std::optional<vmr::StoredRecord>& found);

  vmr::PhysicalFile& file_;
};

// The code a status answers with, without halting on an internal error:
// the tool reports a damaged file as 36.
int ToolErrorCode(const vmr::Status& status);

// Opens `path` exclusively: read only, or read/write (creating it when
// `create`). Answers 0 or an error code.
int OpenExclusive(const std::string& path, bool write, bool create, std::unique_ptr<vmr::PhysicalFile>& file,
                  vmr::FileSystem& fs = vmr::PosixFileSystem());

}  // namespace tavero::tool
