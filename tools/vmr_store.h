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
  // With `each_call_an_operation` every lookup is a whole operation that
  // ends (and gives up the station's lock) when it returns: for readers of
  // a file others may be using.
  explicit PhysicalRecordStore(vmr::PhysicalFile& file, bool each_call_an_operation = false)
      : file_(file), each_call_an_operation_(each_call_an_operation) {}

  int find(std::string_view key, std::optional<vmr::StoredRecord>& found) override;
  int first_not_below(std::string_view key, std::optional<vmr::StoredRecord>& found) override;
  int last_below(std::string_view key, std::optional<vmr::StoredRecord>& found) override;
  int insert(std::string_view key, std::string_view data) override;
  int replace(std::string_view key, std::string_view data) override;
  int erase(std::string_view key) override;
  int issue_identifier(std::uint32_t& identifier) override;
  int begin_operation(bool write) override;
  int end_operation() override;

 private:
  int Lookup(vmr::FindMode mode, std::string_view key, std::optional<vmr::StoredRecord>& found);

  vmr::PhysicalFile& file_;
  bool each_call_an_operation_;
};

// The code a status answers with, without halting on an internal error:
// the tool reports a damaged file as 36.
int ToolErrorCode(const vmr::Status& status);

// A command-line target "FILE" or "FILE\!TABLE": the operating-system file
// (".VMR" added when it has no extension) and the table, empty for every
// table of the file.
struct VmrTarget {
  std::string os_file;
  std::string table;
};
VmrTarget ParseVmrTarget(std::string_view argument);

// An open file with its store: read only and shared with other stations,
// or exclusive for writing.
struct OpenVmrFile {
  std::unique_ptr<vmr::PhysicalFile> file;
  std::unique_ptr<PhysicalRecordStore> store;
};
int OpenForReading(const std::string& path, OpenVmrFile& open);
int OpenForWriting(const std::string& path, bool create, OpenVmrFile& open);

// Opens `path` exclusively: read only, or read/write (creating it when
// `create`). Answers 0 or an error code.
int OpenExclusive(const std::string& path, bool write, bool create, std::unique_ptr<vmr::PhysicalFile>& file,
                  vmr::FileSystem& fs = vmr::PosixFileSystem());

}  // namespace tavero::tool
