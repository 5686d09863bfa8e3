#include "tools/vmr_store.h"

#include "runtime/error_codes.h"
#include "storage/vmr/file_io.h"

namespace tavero::tool {

int ToolErrorCode(const vmr::Status& status) {
  if (status.is_internal()) return error_code::kInvalidDataFile;
  return vmr::ErrorCodeOf(status);
}

int OpenExclusive(const std::string& path, bool write, bool create, std::unique_ptr<vmr::PhysicalFile>& file,
                  vmr::FileSystem& fs) {
  constexpr int kDenyAll = 0x10;
  int mode = (write ? 0x02 : 0x00) | kDenyAll | (create ? vmr::kCreateFlag : 0);
  return ToolErrorCode(vmr::PhysicalFile::Open(fs, path, mode, file));
}

VmrTarget ParseVmrTarget(std::string_view argument) {
  VmrTarget target;
  const std::size_t mark = argument.find("\\!");
  target.os_file = vmr::SplitFileName(argument.substr(0, mark)).os_file;
  if (mark != std::string_view::npos) target.table.assign(argument.substr(mark + 2));
  return target;
}

int OpenForReading(const std::string& path, OpenVmrFile& open) {
  // Shared, so that the station locks keep a writer out while a record is
  // read.
  constexpr int kReadDenyNone = 0x40;
  if (int rc = ToolErrorCode(vmr::PhysicalFile::Open(vmr::PosixFileSystem(), path, kReadDenyNone, open.file))) {
    return rc;
  }
  open.store = std::make_unique<PhysicalRecordStore>(*open.file, true);
  return 0;
}

int OpenForWriting(const std::string& path, bool create, OpenVmrFile& open) {
  if (int rc = OpenExclusive(path, true, create, open.file)) return rc;
  open.store = std::make_unique<PhysicalRecordStore>(*open.file);
  return 0;
}

int PhysicalRecordStore::Lookup(vmr::FindMode mode, std::string_view key, std::optional<vmr::StoredRecord>& found) {
  found.reset();
  int rc = ToolErrorCode(file_.RefreshHeader());
  std::optional<vmr::RecordCopy> record;
  if (rc == 0) rc = ToolErrorCode(file_.Find(mode, key, record));
  if (each_call_an_operation_) {
    const int ended = ToolErrorCode(file_.EndOperation());
    if (rc == 0) rc = ended;
  }
  if (rc == 0 && record) found = vmr::StoredRecord{std::string(record->key()), std::string(record->data())};
  return rc;
}

int PhysicalRecordStore::find(std::string_view key, std::optional<vmr::StoredRecord>& found) {
  return Lookup(vmr::FindMode::kExact, key, found);
}

int PhysicalRecordStore::first_not_below(std::string_view key, std::optional<vmr::StoredRecord>& found) {
  return Lookup(vmr::FindMode::kFirstNotBelow, key, found);
}

int PhysicalRecordStore::last_below(std::string_view key, std::optional<vmr::StoredRecord>& found) {
  return Lookup(vmr::FindMode::kLastBelow, key, found);
}

int PhysicalRecordStore::insert(std::string_view key, std::string_view data) {
  if (int rc = ToolErrorCode(file_.RefreshHeader())) return rc;
  return ToolErrorCode(file_.Insert(key, data));
}

int PhysicalRecordStore::replace(std::string_view key, std::string_view data) {
  if (int rc = ToolErrorCode(file_.RefreshHeader())) return rc;
  return ToolErrorCode(file_.Replace(key, data));
}

int PhysicalRecordStore::erase(std::string_view key) {
  if (int rc = ToolErrorCode(file_.RefreshHeader())) return rc;
  bool found = false;
  return ToolErrorCode(file_.Erase(key, found));
}

int PhysicalRecordStore::issue_identifier(std::uint32_t& identifier) {
  if (int rc = ToolErrorCode(file_.RefreshHeader())) return rc;
  std::array<std::uint8_t, 4> bytes{};
  if (int rc = ToolErrorCode(file_.IssueIdentifier(bytes))) return rc;
  identifier = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
  return 0;
}

int PhysicalRecordStore::begin_operation(bool write) {
  if (write) {
    if (int rc = ToolErrorCode(file_.BeginWrite())) return rc;
  }
  return ToolErrorCode(file_.RefreshHeader());
}

int PhysicalRecordStore::end_operation() { return ToolErrorCode(file_.EndOperation()); }

}  // namespace tavero::tool
