#include "storage/vmr/record_store.h"

#include <vector>

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
