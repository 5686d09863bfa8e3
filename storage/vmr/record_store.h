// The ordered store the record layer works on: one physical file's tree of
// (key part, data part) records, ordered by the key parts as unsigned bytes
// (a shorter key part sorts before a longer one it prefixes). Two records
// never share a key part.
//
// Every call answers 0 or a runtime error code (36, 300 plus a system
// error, ...); lookups that find nothing answer 0 and leave `found` empty.
// The driver brackets each operation: `begin_operation` before it touches
// the tree (with `write` for a modifying operation: the begin-write step,
// then the header refresh), `end_operation` when it is done (which commits
// outside transactions and returns to the read phase).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavero::vmr {

struct StoredRecord {
  std::string key;
  std::string data;
  friend bool operator==(const StoredRecord&, const StoredRecord&) = default;
};

// A record found in place: its parts point into the store (or at a
// StoredRecord) and stay valid until the next call on the store.
struct RecordView {
  std::string_view key;
  std::string_view data;
  RecordView() = default;
  RecordView(std::string_view k, std::string_view d) : key(k), data(d) {}
  RecordView(const StoredRecord& record) : key(record.key), data(record.data) {}  // NOLINT: a view of it
};

class RecordStore;
// What RecordStore::change_counters() does at once.
int apply_counters(RecordStore& store, std::string_view key, std::int64_t count_delta,
                   std::optional<std::uint32_t> lower_second);

// What a lookup in place looks for.
enum class Seek { exact, first_not_below, first_above, last_below };

// Where a lookup in place found its record, as the store notes it for the
// caller's next lookup from that record's key part (seek_from). Opaque to
// the caller, and checked by the store before any use.
struct SeekPosition {
  const void* owner = nullptr;
  void* place = nullptr;
  std::size_t index = 0;
  std::uint64_t epoch = 0;
};

class RecordStore {
 public:
  virtual ~RecordStore() = default;

  virtual int find(std::string_view key, std::optional<StoredRecord>& found) = 0;
  virtual int first_not_below(std::string_view key, std::optional<StoredRecord>& found) = 0;
  virtual int last_below(std::string_view key, std::optional<StoredRecord>& found) = 0;

  // Inserting an existing key part, or replacing or erasing a missing one,
  // is a programmer error.
  virtual int insert(std::string_view key, std::string_view data) = 0;
  virtual int replace(std::string_view key, std::string_view data) = 0;
  virtual int erase(std::string_view key) = 0;

  // The next value of the file's identifier counter (table and record
  // numbers).
  virtual int issue_identifier(std::uint32_t& identifier) = 0;

  virtual int begin_operation(bool write) = 0;
  virtual int end_operation() = 0;

  // Rewrites the data part of the record with key part `key` in one step:
  // `change` gets its present data and answers whether it put new data in
  // its place. `found` is false (and nothing changes) when there is no such
  // record.
  virtual int update(std::string_view key, const std::function<bool(std::string& data)>& change, bool& found) {
    std::optional<StoredRecord> record;
    found = false;
    if (int e = find(key, record)) return e;
    if (!record) return 0;
    found = true;
    return change(record->data) ? replace(key, record->data) : 0;
  }

  // Adds `count_delta` to the count of the status record at `key`
  // (record_kinds.h) and lowers its second counter to `lower_second` when
  // that is given and lower, or the counter is 0; a missing status record
  // is made. A store may keep the change back until its transaction
  // commits, as long as every later lookup or change of that record finds
  // it made.
  virtual int change_counters(std::string_view key, std::int64_t count_delta,
                              std::optional<std::uint32_t> lower_second) {
    return apply_counters(*this, key, count_delta, lower_second);
  }

  // The first record whose key part is above `key`.
  virtual int first_above(std::string_view key, std::optional<StoredRecord>& found) {
    std::string above(key);
    above.push_back('\0');
    return first_not_below(above, found);
  }

  // The lookups above without a copy for the caller: `found` stays valid
  // until the next call on the store, so `key` must not point into a view
  // this store handed out. The reads of a sequence use it, so that a NEXT
  // copies each record once, into the record buffer.
  virtual int seek(Seek how, std::string_view key, std::optional<RecordView>& found) {
    int e = 0;
    switch (how) {
      case Seek::exact: e = find(key, seek_copy_); break;
      case Seek::first_not_below: e = first_not_below(key, seek_copy_); break;
      case Seek::first_above: e = first_above(key, seek_copy_); break;
      case Seek::last_below: e = last_below(key, seek_copy_); break;
    }
    if (e == 0 && seek_copy_) found.emplace(*seek_copy_);
    else found.reset();
    return e;
  }
  // seek() that notes in `position` where it found its record; when `key`
  // is the key part of the record `position` holds (an earlier seek_from
  // found it), the record after or before it may be taken without a
  // search. The reads of a sequence step from entry to entry this way.
  virtual int seek_from(Seek how, std::string_view key, SeekPosition& position, std::optional<RecordView>& found) {
    (void)position;
    return seek(how, key, found);
  }

 private:
  // What seek() of a store without records in place hands out.
  std::optional<StoredRecord> seek_copy_;
};

// Visits every record whose key part starts with `prefix`, in order; stops
// at the first visit that answers an error.
int for_each_with_prefix(RecordStore& store, std::string_view prefix,
                         const std::function<int(const StoredRecord&)>& visit);
// Erases every record whose key part starts with `prefix`.
int erase_with_prefix(RecordStore& store, std::string_view prefix);

}  // namespace tavero::vmr
