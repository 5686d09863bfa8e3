// A stored table declared to the runtime from its stored definition: the
// FileObject, KeyObjects and BlobObjects a compiled declaration would
// give, with the record and memo buffers, so that the tool's commands can
// work through the driver's file operations on any VMR file.
//
// The record layout is rebuilt from the flattened field list: a group's
// members are the fields after it until their storage fills one element of
// the group. The layout is flattened again and compared with the stored
// fields; a definition that does not come back the same gives 47. The
// stored definition does not say whether the program declared the file's
// text as OEM (file attribute 0x20); the table is declared without it.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/driver/driver.h"
#include "tools/vmr_stored_table.h"

namespace tavero::tool {

class DeclaredTable {
 public:
  // The table `stored` of the operating-system file `os_file`, reached
  // through `entry` (the VMR driver).
  DeclaredTable(driver::DriverEntry& entry, const std::string& os_file, const StoredTable& stored);
  DeclaredTable(const DeclaredTable&) = delete;
  DeclaredTable& operator=(const DeclaredTable&) = delete;

  // 0, or 47 when the stored definition cannot be declared.
  int declaration_error() const { return declaration_error_; }
  driver::FileObject& file() { return file_; }
  const vmr::TableDefinition& definition() const { return definition_; }
  std::span<std::uint8_t> record() { return record_; }
  // A memo's buffer (its declared size); empty for a blob.
  std::span<std::uint8_t> memo(std::size_t blob) { return memos_[blob]; }

  // Blanks in FIXSTR fields, zero elsewhere, memos blank.
  void Clear();
  // Replaces the content of blob `blob` (0-based) of the open file with
  // `bytes`; answers the error code.
  int SetBlob(std::size_t blob, std::string_view bytes);

 private:
  vmr::TableDefinition definition_;
  std::vector<std::uint8_t> layout_;
  std::vector<std::uint8_t> record_;
  std::vector<std::vector<std::uint8_t>> memos_;
  std::vector<std::unique_ptr<driver::KeyObject>> keys_;
  std::vector<std::unique_ptr<driver::BlobObject>> blobs_;
  driver::FileObject file_;
  int declaration_error_ = 0;
};

// The RecordLayout stream of a flattened field list; false when the list
// does not describe nested groups.
bool LayoutOfFields(const std::vector<vmr::FieldDefinition>& fields, std::vector<std::uint8_t>& layout);

}  // namespace tavero::tool
