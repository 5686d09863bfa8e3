#include "storage/vmr/record_store_file.h"

#include <cassert>

#include "storage/driver/read_statement.h"

namespace tavero::vmr {

int PhysicalFileStore::find_with(FindMode mode, std::string_view key, std::optional<StoredRecord>& found) {
  const Record* record = nullptr;
  const int error = ErrorCodeOf(file_->Find(mode, key, record));
  if (error != 0 || !record) {
    found.reset();
    return error;
  }
  // Into the strings `found` already holds, when it holds any.
  if (!found) found.emplace();
  found->key.assign(record->key());
  found->data.assign(record->data());
  return 0;
}

int PhysicalFileStore::seek(Seek how, std::string_view key, std::optional<RecordView>& found) {
  FindMode mode = FindMode::kExact;
  switch (how) {
    case Seek::exact: mode = FindMode::kExact; break;
    case Seek::first_not_below: mode = FindMode::kFirstNotBelow; break;
    case Seek::first_above: mode = FindMode::kFirstAbove; break;
    case Seek::last_below: mode = FindMode::kLastBelow; break;
  }
  const Record* record = nullptr;
  const int error = ErrorCodeOf(file_->Find(mode, key, record));
  if (error != 0 || !record) {
    found.reset();
    return error;
  }
  found.emplace(record->key(), record->data());
  return 0;
}

int PhysicalFileStore::first_above(std::string_view key, std::optional<StoredRecord>& found) {
  return find_with(FindMode::kFirstAbove, key, found);
}

int PhysicalFileStore::find(std::string_view key, std::optional<StoredRecord>& found) {
  return find_with(FindMode::kExact, key, found);
}

int PhysicalFileStore::first_not_below(std::string_view key, std::optional<StoredRecord>& found) {
  return find_with(FindMode::kFirstNotBelow, key, found);
}

int PhysicalFileStore::last_below(std::string_view key, std::optional<StoredRecord>& found) {
  return find_with(FindMode::kLastBelow, key, found);
}

int PhysicalFileStore::insert(std::string_view key, std::string_view data) {
  return ErrorCodeOf(file_->Insert(key, data));
}

int PhysicalFileStore::replace(std::string_view key, std::string_view data) {
  return ErrorCodeOf(file_->Replace(key, data));
}

int PhysicalFileStore::update(std::string_view key, const std::function<bool(std::string& data)>& change,
                              bool& found) {
  return ErrorCodeOf(file_->Update(key, change, found));
}

int PhysicalFileStore::erase(std::string_view key) {
  bool found = false;
  const int error = ErrorCodeOf(file_->Erase(key, found));
  assert(error != 0 || found);
  return error;
}

int PhysicalFileStore::issue_identifier(std::uint32_t& identifier) {
  std::array<std::uint8_t, 4> bytes{};
  const int error = ErrorCodeOf(file_->IssueIdentifier(bytes));
  identifier = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
               bytes[3];
  return error;
}

int PhysicalFileStore::begin_operation(bool write) {
  if (write) {
    if (int error = ErrorCodeOf(file_->BeginWrite())) return error;
  }
  return ErrorCodeOf(file_->RefreshHeader());
}

int PhysicalFileStore::end_operation() {
  const bool statement = driver::InReadStatement();
  const int error = ErrorCodeOf(file_->EndOperation(statement));
  if (statement && file_->ArrangeStatementRelease()) {
    driver::AtEndOfReadStatement([kept = std::weak_ptr<PhysicalFile>(file_)] {
      // A slot that cannot be given back is an internal error, raised there.
      if (const auto file = kept.lock()) (void)file->EndStatement();
    });
  }
  return error;
}

}  // namespace tavero::vmr
