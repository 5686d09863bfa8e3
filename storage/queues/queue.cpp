// Queue operations.
//
// Invariants of a queue's state:
//  (1) entries.size() is the count, at most kMaxEntries; every entry holds
//      exactly record_size bytes.
//  (2) entries.capacity() is one of kCapacities (or 0 before the first ADD):
//      the array grows through those steps only.
//  (3) pointer is 0 or a position that was valid when it was last set; every
//      operation that uses it checks it against the count again.
//  (4) The change stamp changes with every ADD, PUT and DELETE.
#include "storage/queues/queue.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <optional>

#include "locale/locale.h"
#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "runtime/runtime_error.h"
#include "storage/queues/field_order.h"

namespace tavero::queues {
namespace {

constexpr std::size_t kCapacities[] = {8,    16,    32,    64,    128,    256,    1024,   2048,   4096,
                                       8192, 16000, 32000, 65000, 130000, 250000, 500000, 1000000};
static_assert(kCapacities[std::size(kCapacities) - 1] == kMaxEntries);


}  // namespace

struct Queue::State {
  std::vector<std::unique_ptr<std::uint8_t[]>> entries;
  std::size_t record_size = 0;
  std::size_t current_index = 0;  // 0-based index of the last positioning operation
  std::int32_t pointer = 0;       // 1-based position last read or written
  std::uint32_t changes = 0;
};

Queue::Queue(std::span<std::uint8_t> record, std::span<const std::uint8_t> layout)
    : record_(record), layout_(driver::FlattenRecordLayout(layout, static_cast<std::uint32_t>(record.size()))) {}

Queue::~Queue() = default;

Queue::State& Queue::EnsureState() {
  if (!state_) {
    state_ = std::make_unique<State>();
    state_->record_size = record_.size();
    // A new queue is unlikely to repeat the stamp of an earlier one.
    state_->changes = static_cast<std::uint32_t>(CLOCK()) * 25781083u;
  }
  return *state_;
}

bool Queue::SortOrder(KeyFields fields, std::vector<SortField>& order) const {
  order.clear();
  for (std::int32_t number : fields) {
    if (number == 0 || order.size() == kMaxSortFields) break;
    const std::int64_t index = number < 0 ? -static_cast<std::int64_t>(number) : number;
    if (layout_.error != 0 || index > static_cast<std::int64_t>(layout_.fields.size())) {
      PostError(error_code::kInvalidFieldTypeDescriptor);
      return false;
    }
    order.push_back({static_cast<std::size_t>(index - 1), number < 0});
  }
  if (order.empty()) {
    PostError(error_code::kInvalidFieldTypeDescriptor);
    return false;
  }
  return true;
}

int Queue::Compare(const std::vector<SortField>& order, const std::uint8_t* a,
                   const std::uint8_t* b) const {
  for (const SortField& s : order) {
    const int c = CompareField(layout_.fields[s.field], a, b);
    if (c != 0) return s.descending ? -c : c;
  }
  return 0;
}

void Queue::Insert(std::size_t index) {
  State& s = EnsureState();
  assert(index <= s.entries.size());
  if (s.entries.size() == kMaxEntries) {
    PostError(error_code::kInsufficientMemory);
    return;
  }
  if (s.entries.size() == s.entries.capacity()) {
    const std::size_t next = *std::upper_bound(std::begin(kCapacities), std::end(kCapacities),
                                               s.entries.capacity());
    try {
      s.entries.reserve(next);
    } catch (const std::bad_alloc&) {
      ReportRuntimeError(501, "Out of memory in WSLARRAY!");
      return;
    }
  }
  std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[std::max<std::size_t>(s.record_size, 1)]);
  if (!copy) {
    PostError(error_code::kInsufficientMemory);
    return;
  }
  std::memcpy(copy.get(), record_.data(), s.record_size);
  s.entries.insert(s.entries.begin() + static_cast<std::ptrdiff_t>(index), std::move(copy));
  s.current_index = index;
  s.pointer = static_cast<std::int32_t>(index + 1);
  ++s.changes;
}

void Queue::Add() {
  ClearError();
  Insert(EnsureState().entries.size());
}

void Queue::Add(std::int32_t position) {
  ClearError();
  const std::size_t count = EnsureState().entries.size();
  const bool inside = position >= 1 && static_cast<std::size_t>(position) <= count;
  Insert(inside ? static_cast<std::size_t>(position - 1) : count);
}

std::optional<std::size_t> Queue::Search(const std::vector<SortField>& order, std::size_t& low) const {
  const auto& entries = state_->entries;
  std::size_t high = entries.size();
  low = 0;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const int c = Compare(order, record_.data(), entries[middle].get());
    if (c == 0) return middle;
    if (c < 0) high = middle;
    else low = middle + 1;
  }
  return std::nullopt;
}

void Queue::AddByKey(KeyFields fields) {
  ClearError();
  std::vector<SortField> order;
  if (!SortOrder(fields, order)) return;
  State& s = EnsureState();
  std::size_t index = 0;
  if (const auto equal = Search(order, index)) {
    // Past every equal entry: equal records keep the order they were added in.
    index = *equal + 1;
    while (index < s.entries.size() && Compare(order, record_.data(), s.entries[index].get()) == 0) ++index;
  }
  Insert(index);
}

void Queue::Get(std::int32_t position) {
  ClearError();
  State& s = EnsureState();
  if (position < 1 || static_cast<std::size_t>(position) > s.entries.size()) {
    PostError(error_code::kEntryNotFound);
    return;
  }
  const std::size_t index = static_cast<std::size_t>(position - 1);
  std::memcpy(record_.data(), s.entries[index].get(), s.record_size);
  s.current_index = index;
  s.pointer = position;
}

void Queue::GetByKey(KeyFields fields) {
  ClearError();
  std::vector<SortField> order;
  if (!SortOrder(fields, order)) return;
  State& s = EnsureState();
  std::size_t insertion = 0;
  const auto equal = Search(order, insertion);
  if (!equal) {
    s.current_index = insertion;
    PostError(error_code::kEntryNotFound);
    return;
  }
  // Back to the first equal entry.
  std::size_t first = *equal;
  while (first > 0 && Compare(order, record_.data(), s.entries[first - 1].get()) == 0) --first;
  std::memcpy(record_.data(), s.entries[first].get(), s.record_size);
  s.current_index = first;
  s.pointer = static_cast<std::int32_t>(first + 1);
}

bool Queue::CurrentIndex(std::size_t& index) {
  State& s = EnsureState();
  if (s.pointer < 1 || static_cast<std::size_t>(s.pointer) > s.entries.size()) {
    PostError(error_code::kEntryNotFound);
    return false;
  }
  index = static_cast<std::size_t>(s.pointer - 1);
  return true;
}

void Queue::Put() {
  ClearError();
  std::size_t index = 0;
  if (!CurrentIndex(index)) return;
  std::memcpy(state_->entries[index].get(), record_.data(), state_->record_size);
  ++state_->changes;
}

void Queue::Delete() {
  ClearError();
  std::size_t index = 0;
  if (!CurrentIndex(index)) return;
  state_->entries.erase(state_->entries.begin() + static_cast<std::ptrdiff_t>(index));
  ++state_->changes;
}

void Queue::Free() {
  ClearError();
  state_.reset();
  ++frees_;
}

std::int32_t Queue::Records() {
  ClearError();
  return static_cast<std::int32_t>(EnsureState().entries.size());
}

std::span<const std::uint8_t> Queue::Entry(std::int32_t position) const {
  if (!state_ || position < 1 || static_cast<std::size_t>(position) > state_->entries.size()) return {};
  return {state_->entries[static_cast<std::size_t>(position - 1)].get(), state_->record_size};
}

std::int32_t Queue::EntryCount() const {
  return state_ ? static_cast<std::int32_t>(state_->entries.size()) : 0;
}

std::uint64_t Queue::Version() const {
  return (static_cast<std::uint64_t>(frees_) << 32) | (state_ ? state_->changes : 0);
}

std::int32_t Queue::Pointer() {
  ClearError();
  return EnsureState().pointer;
}

std::uint32_t Queue::Changes() {
  ClearError();
  return EnsureState().changes;
}

}  // namespace tavero::queues
