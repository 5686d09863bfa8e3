#include "storage/vmr/transaction_commit.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

namespace tavero::vmr {
namespace {

constexpr int kControlFileMode = 0x42 | kCreateFlag;  // read/write, deny none
const std::string_view kMarkerKey("\xFF", 1);

std::string& ControlFileName() {
  static std::string name = [] {
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.velmoran.tcf";
    return "/tmp/velmoran-" + std::to_string(getuid()) + ".tcf";
  }();
  return name;
}

std::string NumberKey(std::uint32_t number) {
  std::string key(4, '\0');
  for (int i = 0; i < 4; ++i) key[i] = static_cast<char>(number >> (24 - 8 * i));
  return key;
}

// Runs one complete operation on the control file.
template <typename Body>
Status ControlFileOperation(PhysicalFile& control, Body body) {
  VMR_TRY(control.BeginWrite());
  VMR_TRY(control.RefreshHeader());
  Status status = body();
  if (!status.ok()) {
    control.DiscardChanges();
    (void)control.EndOperation();
    return status;
  }
  return control.EndOperation();
}

}  // namespace

std::string TransactionControlFileName() { return ControlFileName(); }
void SetTransactionControlFileName(std::string name) { ControlFileName() = std::move(name); }

std::string TransactionMarker(std::uint32_t number, std::string_view control_file) {
  std::string data = NumberKey(number);
  data.append(control_file);
  data.push_back('\0');
  return data;
}

bool TransactionStillListed(FileSystem& fs, std::string_view marker_data) {
  if (marker_data.size() < 6 || marker_data.back() != '\0') return false;
  const std::string name(marker_data.substr(4, marker_data.size() - 5));
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  std::unique_ptr<PhysicalFile> control;
  if (!PhysicalFile::Open(fs, name, 0x40, control).ok()) return false;
  std::optional<Record> record;
  bool listed = control->RefreshHeader().ok() &&
                control->Find(FindMode::kExact, marker_data.substr(0, 4), record).ok() && record.has_value();
  (void)control->EndOperation();
  return listed;
}

void RollbackTransaction(std::span<PhysicalFile* const> files) {
  for (PhysicalFile* file : files) file->DiscardChanges();
}

Status CommitTransaction(FileSystem& fs, std::span<PhysicalFile* const> files, const CommitProbe& probe) {
  const auto reached = [&probe](CommitStep step) {
    if (probe) probe(step);
  };
  std::vector<PhysicalFile*> changed;
  for (PhysicalFile* file : files) {
    if (file->header_changed()) changed.push_back(file);
  }
  if (changed.empty()) return Status::Ok();
  if (changed.size() == 1) return changed.front()->Commit();

  const std::string control_name = TransactionControlFileName();
  std::unique_ptr<PhysicalFile> control;
  Status status = PhysicalFile::Open(fs, control_name, kControlFileMode, control);
  if (!status.ok()) {
    RollbackTransaction(files);
    return status;
  }
  // The transaction number: the time in seconds, moved up past numbers in
  // use.
  std::uint32_t number = static_cast<std::uint32_t>(std::time(nullptr));
  std::string key;
  status = ControlFileOperation(*control, [&] {
    std::optional<Record> existing;
    for (;;) {
      key = NumberKey(number);
      VMR_TRY(control->Find(FindMode::kExact, key, existing));
      if (!existing) break;
      ++number;
    }
    return control->Insert(key, {});
  });
  if (!status.ok()) {
    RollbackTransaction(files);
    return status;
  }

  const std::string marker = TransactionMarker(number, control_name);
  Status failure;
  std::size_t prepared = 0;
  for (PhysicalFile* file : changed) {
    std::optional<Record> old_marker;
    Status s = file->Find(FindMode::kExact, kMarkerKey, old_marker);
    if (s.ok()) s = old_marker ? file->Replace(kMarkerKey, marker) : file->Insert(kMarkerKey, marker);
    if (s.ok()) s = file->CommitPhaseOne();
    if (!s.ok()) {
      failure = s;
      break;
    }
    ++prepared;
    reached(CommitStep::FilePrepared);
  }
  if (!failure.ok()) {
    for (std::size_t i = 0; i < prepared; ++i) (void)changed[i]->SetBack();
  }
  // The commit point: the transaction leaves the control file.
  if (failure.ok()) reached(CommitStep::BeforeCommitPoint);
  status = ControlFileOperation(*control, [&] {
    bool found;
    return control->Erase(key, found);
  });
  control.reset();
  if (failure.ok() && !status.ok()) {
    // Still listed: the prepared files would roll back on recovery; do so now.
    for (PhysicalFile* file : changed) (void)file->SetBack();
    failure = status;
  }
  if (!failure.ok()) {
    RollbackTransaction(files);
    return failure;
  }
  reached(CommitStep::AfterCommitPoint);
  // Past the commit point the transaction stands: a file whose phase two
  // fails follows the disk, and its next refresh finishes its commit.
  for (PhysicalFile* file : changed) {
    if (file->CommitPhaseTwo().ok()) reached(CommitStep::FileCommitted);
  }
  return Status::Ok();
}

}  // namespace tavero::vmr
