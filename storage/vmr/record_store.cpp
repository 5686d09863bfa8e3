#include "storage/vmr/record_store.h"

#include <algorithm>
#include <vector>

#include "storage/vmr/record_kinds.h"

namespace tavero::vmr {

int for_each_with_prefix(RecordStore& store, std::string_view prefix,
                         const std::function<int(const StoredRecord&)>& visit) {
  std::optional<StoredRecord> found;
  if (int e = store.first_not_below(prefix, found)) return e;
  while (found && std::string_view(found->key).substr(0, prefix.size()) == prefix) {
    if (int e = visit(*found)) return e;
    const std::string key = found->key;
    if (int e = store.first_above(key, found)) return e;
  }
  return 0;
}

int apply_counters(RecordStore& store, std::string_view key, std::int64_t count_delta,
                   std::optional<std::uint32_t> lower_second) {
  const auto changed = [&](StatusCounters counters) {
    const std::int64_t count = static_cast<std::int64_t>(counters.count) + count_delta;
    counters.count = static_cast<std::uint32_t>(std::clamp<std::int64_t>(count, 0, UINT32_MAX));
    if (lower_second && (counters.second == 0 || *lower_second < counters.second)) {
      counters.second = *lower_second;
    }
    return counters;
  };
  bool found = false;
  // Found and read in the same step as it is written.
  const int e = store.update(
      key,
      [&](std::string& data) {
        StatusCounters before;
        if (const auto decoded = decode_status(data)) before = *decoded;
        const StatusCounters after = changed(before);
        if (after == before) return false;
        data = encode_status(after);
        return true;
      },
      found);
  if (e != 0 || found) return e;
  return store.insert(key, encode_status(changed({})));
}

int erase_with_prefix(RecordStore& store, std::string_view prefix) {
  std::vector<std::string> doomed;
  if (int e = for_each_with_prefix(store, prefix, [&](const StoredRecord& r) {
        doomed.push_back(r.key);
        return 0;
      })) {
    return e;
  }
  for (const std::string& key : doomed) {
    if (int e = store.erase(key)) return e;
  }
  return 0;
}

}  // namespace tavero::vmr
