#include "storage/vmr/record_store_file.h"

#include <cassert>

#include "storage/driver/read_statement.h"

namespace tavero::vmr {

namespace {

FindMode mode_of(Seek how) {
  switch (how) {
    case Seek::exact: return FindMode::kExact;
    case Seek::first_not_below: return FindMode::kFirstNotBelow;
    case Seek::first_above: return FindMode::kFirstAbove;
    case Seek::last_below: return FindMode::kLastBelow;
  }
  return FindMode::kExact;
}

}  // namespace

bool PhysicalFileStore::flush_between(std::string_view low, const std::string_view* high, int& error) {
  const auto it = pending_.lower_bound(low);
  if (it == pending_.end() || (high != nullptr && it->first > *high)) return false;
  error = flush_counters();
  return true;
}

// A lookup whose answer could be a status record with changes kept back
// (it lies between the key looked for and the record found) writes them
// and looks again.
int PhysicalFileStore::seek_once(FindMode mode, std::string_view key, std::optional<RecordView>& found,
                                 PageTree::Position* position) {
  const Record* record = nullptr;
  PageTree::Position unused;
  if (!position) position = &unused;
  int error = ErrorCodeOf(file_->Find(mode, key, record, *position));
  if (error == 0 && !pending_.empty()) {
    bool flushed = false;
    const std::string_view at = record ? record->key() : std::string_view();
    if (mode == FindMode::kExact) {
      flushed = flush_at(key, error);
    } else if (mode == FindMode::kLastBelow) {
      flushed = flush_between(at, &key, error);
    } else {
      flushed = flush_between(key, record ? &at : nullptr, error);
    }
    if (flushed && error == 0) error = ErrorCodeOf(file_->Find(mode, key, record, *position));
  }
  if (error != 0 || !record) {
    found.reset();
    return error;
  }
  found.emplace(record->key(), record->data());
  return 0;
}

int PhysicalFileStore::find_with(FindMode mode, std::string_view key, std::optional<StoredRecord>& found) {
  std::optional<RecordView> view;
  const int error = seek_once(mode, key, view);
  if (error != 0 || !view) {
    found.reset();
    return error;
  }
  // Into the strings `found` already holds, when it holds any.
  if (!found) found.emplace();
  found->key.assign(view->key);
  found->data.assign(view->data);
  return 0;
}

int PhysicalFileStore::seek(Seek how, std::string_view key, std::optional<RecordView>& found) {
  return seek_once(mode_of(how), key, found);
}

int PhysicalFileStore::seek_from(Seek how, std::string_view key, SeekPosition& position,
                                 std::optional<RecordView>& found) {
  PageTree::Position at{static_cast<const PageTree*>(position.owner), static_cast<Page*>(position.place),
                        position.index, position.epoch};
  // A neighbour on the leaf needs no search; with counter changes kept
  // back, it could be a status record they are for: the lookup decides.
  const Record* record = nullptr;
  if ((how == Seek::first_above || how == Seek::last_below) && pending_.empty()) {
    record = file_->StepFrom(at, key, how == Seek::first_above);
  }
  int error = 0;
  if (record) {
    found.emplace(record->key(), record->data());
  } else {
    error = seek_once(mode_of(how), key, found, &at);
  }
  position = {at.tree, at.leaf, at.index, at.epoch};
  return error;
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
  if (int error = 0; !pending_.empty() && flush_at(key, error) && error != 0) return error;
  return ErrorCodeOf(file_->Insert(key, data));
}

int PhysicalFileStore::replace(std::string_view key, std::string_view data) {
  if (int error = 0; !pending_.empty() && flush_at(key, error) && error != 0) return error;
  return ErrorCodeOf(file_->Replace(key, data));
}

int PhysicalFileStore::update(std::string_view key, const std::function<bool(std::string& data)>& change,
                              bool& found) {
  if (int error = 0; !pending_.empty() && flush_at(key, error) && error != 0) return error;
  return ErrorCodeOf(file_->Update(key, change, found));
}

int PhysicalFileStore::erase(std::string_view key) {
  if (int error = 0; !pending_.empty() && flush_at(key, error) && error != 0) return error;
  bool found = false;
  const int error = ErrorCodeOf(file_->Erase(key, found));
  assert(error != 0 || found);
  return error;
}

int PhysicalFileStore::change_counters(std::string_view key, std::int64_t count_delta,
                                       std::optional<std::uint32_t> lower_second) {
  if (!file_->in_transaction()) return apply_counters(*this, key, count_delta, lower_second);
  auto it = pending_.find(key);
  if (it == pending_.end()) it = pending_.emplace(std::string(key), PendingCounters{}).first;
  PendingCounters& kept = it->second;
  kept.count_delta += count_delta;
  if (lower_second && (!kept.lower_second || *lower_second < *kept.lower_second)) kept.lower_second = lower_second;
  return 0;
}

int PhysicalFileStore::flush_counters() {
  // Taken out first: writing them goes through this store again.
  const auto pending = std::move(pending_);
  pending_.clear();
  for (const auto& [key, change] : pending) {
    if (int error = apply_counters(*this, key, change.count_delta, change.lower_second)) return error;
  }
  return 0;
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
