#include "storage/vmr/driver_transactions.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <vector>

#include "storage/driver/file_state.h"
#include "storage/vmr/record_kinds.h"
#include "storage/vmr/transaction_commit.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {
namespace {

// The files enlisted by LOGOUT, one per physical file (two tables of one
// file share it). Process-wide, like the transaction.
std::vector<std::shared_ptr<PhysicalFileStore>>& enlisted() {
  static std::vector<std::shared_ptr<PhysicalFileStore>> files;
  return files;
}

// Ends every enlisted file's transaction bracket: it commits nothing more
// (its changes were committed or dropped) and gives up the writer range.
int release_enlisted() {
  int first = 0;
  for (const auto& store : enlisted()) {
    store->file().set_in_transaction(false);
    const int e = store->end_operation();
    if (first == 0) first = e;
  }
  enlisted().clear();
  return first;
}

std::vector<PhysicalFile*> enlisted_files() {
  std::vector<PhysicalFile*> files;
  for (const auto& store : enlisted()) files.push_back(&store->file());
  return files;
}

// The first table name not below `from`, or empty.
std::string table_name_from(VmrState& state, std::string_view from) {
  if (!state.store) return {};
  std::optional<StoredRecord> found;
  if (state.store->begin_operation(false) != 0) {
    state.store->end_operation();
    return {};
  }
  const std::string key = table_name_key(from);
  const int e = state.store->first_not_below(key, found);
  state.store->end_operation();
  if (e != 0 || !found || found->key.empty() ||
      static_cast<std::uint8_t>(found->key[0]) != record_kind::table_name) {
    return {};
  }
  return found->key.substr(1);
}

}  // namespace

int logout_table(VmrState& state) {
  assert(state.store);
  auto& files = enlisted();
  const bool listed = std::find(files.begin(), files.end(), state.store) != files.end();
  if (!listed) {
    if (int e = state.store->begin_operation(true)) {
      state.store->end_operation();
      return e;
    }
    state.store->file().set_in_transaction(true);
    files.push_back(state.store);
  }
  return 0;
}

int commit_enlisted(VmrDriver& driver) {
  if (enlisted().empty()) return 0;
  const std::vector<PhysicalFile*> files = enlisted_files();
  // The status counters the transaction kept back go in with it.
  for (const auto& store : enlisted()) {
    if (int e = store->flush_counters()) {
      for (const auto& other : enlisted()) other->drop_counters();
      RollbackTransaction(files);
      release_enlisted();
      return e;
    }
  }
  const int e = ErrorCodeOf(CommitTransaction(driver.file_system(), files, driver.commit_probe()));
  const int released = release_enlisted();
  return e != 0 ? e : released;
}

int rollback_enlisted() {
  if (enlisted().empty()) return 0;
  for (const auto& store : enlisted()) store->drop_counters();
  const std::vector<PhysicalFile*> files = enlisted_files();
  RollbackTransaction(files);
  return release_enlisted();
}

std::string send_command(VmrState& state, std::string_view command) {
  if (const auto at = command.find("TCF="); at != std::string_view::npos) {
    SetTransactionControlFileName(std::string(command.substr(at + 4)));
    return {};
  }
  if (const auto at = command.find("PNM="); at != std::string_view::npos) {
    if (!driver::Has(state.file_state, driver::FileState::Open)) return {};
    return table_name_from(state, command.substr(at + 4));
  }
  return "SEND arg not recognised";
}

}  // namespace tavero::vmr
