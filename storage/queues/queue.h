// Queues: in-memory ordered lists of record copies that share one record
// layout, the queue's record buffer. Browses fill a queue with the rows of
// their page and list boxes show it. Entries stay where they were put; keyed
// operations insert and search by a list of the record's fields; positions
// are 1-based.
//
// Every operation first clears a pending error and leaves ErrorCode set:
// 30 "Entry Not Found" for a position outside 1..RECORDS or a key without a
// match, 75 "Invalid Field Type Descriptor" for a key field number of 0 or
// beyond the record's fields, 8 "Insufficient Memory" when a record copy
// cannot be made or the queue already holds kMaxEntries. When the entry
// array itself cannot grow the runtime error box shows 501 "Out of memory
// in WSLARRAY!".
//
// A queue belongs to the procedure (and thread) that declares it; there is
// no locking.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "storage/driver/driver.h"

namespace tavero::queues {

// The most entries a queue holds.
inline constexpr std::size_t kMaxEntries = 1000000;

// Key fields: field numbers of the queue's record (1-based, counting the
// flattened layout's entries, groups included), a negative number sorting
// that field descending. A 0 entry ends the list; at most 16 count.
using KeyFields = std::span<const std::int32_t>;
inline constexpr std::size_t kMaxSortFields = 16;

class Queue {
 public:
  // A queue over `record` (its record buffer) described by `layout` (the
  // record's RecordLayout stream). Both must outlive the queue.
  Queue(std::span<std::uint8_t> record, std::span<const std::uint8_t> layout);
  ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  // ADD (queue): appends a copy of the record buffer.
  void Add();
  // ADD (queue, position): inserts before entry `position` (1..RECORDS);
  // any other position appends.
  void Add(std::int32_t position);
  // ADD (queue, key fields): inserts at the sorted position, after every
  // entry with equal key fields.
  void AddByKey(KeyFields fields);
  // GET (queue, position): copies entry `position` into the record buffer.
  void Get(std::int32_t position);
  // GET (queue, key fields): the first entry whose key fields equal the
  // record buffer's (the queue must be in that order).
  void GetByKey(KeyFields fields);
  // PUT (queue): writes the record buffer back into the entry at POINTER.
  void Put();
  // DELETE (queue): removes the entry at POINTER.
  void Delete();
  // FREE (queue): removes every entry and releases the queue state.
  void Free();

  std::int32_t Records();
  // POINTER: position of the entry last read or written.
  std::int32_t Pointer();
  // CHANGES: a stamp that changes whenever the queue changes.
  std::uint32_t Changes();

  // For readers that show the queue (list boxes): the bytes of entry
  // `position` (1..RECORDS), empty for any other position. Neither the
  // record buffer, the pointer nor the error state changes.
  std::span<const std::uint8_t> Entry(std::int32_t position) const;
  std::int32_t EntryCount() const;
  // Differs whenever the entries may differ: the change stamp, and the
  // number of FREEs (a queue refilled after FREE can repeat a stamp).
  std::uint64_t Version() const;
  // The record's fields, flattened (groups included), as key fields count them.
  const driver::FlatLayout& Layout() const { return layout_; }

 private:
  struct State;
  struct SortField {
    std::size_t field;  // index into fields_
    bool descending;
  };

  State& EnsureState();
  // The sort order of `fields`, or nothing (75 posted) when one is invalid.
  bool SortOrder(KeyFields fields, std::vector<SortField>& order) const;
  int Compare(const std::vector<SortField>& order, const std::uint8_t* a,
              const std::uint8_t* b) const;
  // Binary search for an entry whose sort fields equal the record buffer's:
  // its index, or nothing with `low` the place where the search ended.
  std::optional<std::size_t> Search(const std::vector<SortField>& order, std::size_t& low) const;
  // Inserts a copy of the record buffer before 0-based `index`.
  void Insert(std::size_t index);
  // 0-based index of the entry at POINTER, or nothing (30 posted).
  bool CurrentIndex(std::size_t& index);

  std::span<std::uint8_t> record_;
  driver::FlatLayout layout_;
  std::unique_ptr<State> state_;
  std::uint32_t frees_ = 0;
};

}  // namespace tavero::queues
