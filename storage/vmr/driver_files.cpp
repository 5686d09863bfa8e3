// Whole tables and files: OPEN, CREATE, CLOSE, EMPTY, REMOVE, COPY, RENAME
// and the files of dynamic indexes.
#include "storage/vmr/driver_files.h"

#include <cassert>
#include <cerrno>

#include "runtime/error_codes.h"
#include "storage/vmr/driver_holds.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {

namespace {

constexpr int kReadWriteShared = 0x42;

// One file's operation bracket around `work`; the end step runs whatever
// `work` answered.
int in_operation(RecordStore& store, bool write, const std::function<int()>& work) {
  int e = store.begin_operation(write);
  if (e == 0) e = work();
  const int end = store.end_operation();
  return e != 0 ? e : end;
}

bool any_table_names(RecordStore& store, int& error) {
  std::optional<StoredRecord> found;
  const std::string marker(1, static_cast<char>(record_kind::table_name));
  error = store.first_not_below(marker, found);
  return error == 0 && found && found->key.compare(0, 1, marker) == 0;
}

}  // namespace

int VmrDriver::open_store(const std::string& path, int access_mode, bool create,
                          std::shared_ptr<PhysicalFileStore>& store) {
  const bool needs_write = create || (access_mode & kAccessMask) != 0;
  if (auto it = open_files_.find(path); it != open_files_.end()) {
    // Every table of a file in this process goes through one open file: a
    // second one would be another station to this process's own locks (a
    // reader waiting on its own transaction's writer range would never be
    // served).
    if (auto live = it->second.lock();
        live && (!needs_write || live->file().writable() || live->file().AllowWrites())) {
      store = live;
      return 0;
    }
  }
  std::unique_ptr<PhysicalFile> file;
  const Status status = PhysicalFile::Open(file_system_, path, access_mode | (create ? kCreateFlag : 0), file);
  if (status.kind() == Status::Kind::kSystem && status.value() == ENOENT) return error_code::kFileNotFound;
  if (int e = ErrorCodeOf(status)) return e;
  store = std::make_shared<PhysicalFileStore>(std::move(file));
  open_files_[path] = store;
  return 0;
}

int open_table(VmrDriver& driver, VmrState& state, int access_mode, bool keys_must_be_built) {
  const FileName name = SplitFileName(state.name);
  if (state.name.empty() || name.os_file.empty() || name.table.empty()) return error_code::kInvalidFilename;
  if (!table_fits_pages(state.definition)) return error_code::kInvalidRecordDeclaration;
  std::shared_ptr<PhysicalFileStore> store;
  if (int e = driver.open_store(name.os_file, access_mode, false, store)) return e;
  if (int e = in_operation(*store, false, [&] {
        int opened = state.table->open(*store, name.table);
        if (opened == 0 && keys_must_be_built && (opened = state.table->check_keys_built()) != 0) {
          state.table->close();
        }
        return opened;
      })) {
    return e;
  }
  state.store = std::move(store);
  state.os_file = name.os_file;
  state.table_name = name.table;
  return 0;
}

void close_table(VmrState& state) {
  release_locks(state);
  state.table->close();
  state.store.reset();
  for (auto& index : state.index_stores) index.reset();
  for (std::size_t key = 0; key < state.index_stores.size(); ++key) state.table->set_index_store(key, nullptr);
}

int create_table(VmrDriver& driver, driver::FileObject& file, VmrState& state) {
  if ((file.attributes & driver::file_attribute::kCreate) == 0) return 54;  // No Create Attribute
  const FileName name = SplitFileName(state.name);
  if (state.name.empty() || name.os_file.empty() || name.table.empty()) return error_code::kInvalidFilename;
  if (!table_fits_pages(state.definition)) return error_code::kInvalidRecordDeclaration;
  std::shared_ptr<PhysicalFileStore> store;
  if (int e = driver.open_store(name.os_file, kReadWriteShared, true, store)) return e;
  const int e = in_operation(*store, true, [&] { return state.table->create(*store, name.table); });
  state.table->close();
  for (std::size_t key = 0; key < state.definition.keys.size(); ++key) {
    if (state.definition.keys[key].is_dynamic()) {
      driver.file_system().Remove(dynamic_index_file(name.os_file, name.table, key));
    }
  }
  return e;
}

int empty_table(VmrDriver& driver, VmrState& state) {
  for (std::size_t key = 0; key < state.index_stores.size(); ++key) {
    if (state.index_stores[key]) {
      state.table->set_index_store(key, nullptr);
      state.index_stores[key].reset();
      driver.file_system().Remove(dynamic_index_file(state.os_file, state.table_name, key));
    }
  }
  return state.table->empty();
}

int fresh_index_store(VmrDriver& driver, VmrState& state, std::size_t key, std::shared_ptr<PhysicalFileStore>& store) {
  const std::string path = dynamic_index_file(state.os_file, state.table_name, key);
  state.table->set_index_store(key, nullptr);
  state.index_stores[key].reset();
  driver.file_system().Remove(path);
  return driver.open_store(path, kReadWriteShared, true, store);
}

// REMOVE: the table's records go; a file left without tables goes too.
int remove_table(VmrDriver& driver, VmrState& state) {
  const FileName name = SplitFileName(state.name);
  if (state.name.empty() || name.os_file.empty() || name.table.empty()) return error_code::kInvalidFilename;
  std::shared_ptr<PhysicalFileStore> store;
  if (int e = driver.open_store(name.os_file, kReadWriteShared, false, store)) return e;
  bool file_empty = false;
  const int e = in_operation(*store, true, [&]() -> int {
    std::optional<StoredRecord> found;
    const std::string name_key = table_name_key(name.table);
    if (int e = store->find(name_key, found)) return e;
    int answer = 0;
    if (found && found->data.size() == 4) {
      if (int e = erase_with_prefix(*store, table_prefix(read_u32_big_endian(found->data)))) return e;
      if (int e = store->erase(name_key)) return e;
      for (std::size_t key = 0; key < state.definition.keys.size(); ++key) {
        if (state.definition.keys[key].is_dynamic()) {
          driver.file_system().Remove(dynamic_index_file(name.os_file, name.table, key));
        }
      }
    } else if (found) {
      return error_code::kInvalidDataFile;
    }
    int error = 0;
    file_empty = !any_table_names(*store, error);
    if (error) return error;
    if (!found && !file_empty) answer = error_code::kFileNotFound;
    return answer;
  });
  store.reset();
  if (e == 0 && file_empty) {
    if (int removed = driver.file_system().Remove(name.os_file); removed != 0 && removed != ENOENT) {
      return 300 + removed;
    }
  }
  return e;
}

namespace {

// A record of the source table as it goes into the destination: the
// destination's table number, and record numbers moved up by `offset`.
struct CopyPlan {
  TableNumber destination = 0;
  RecordNumber offset = 0;
  const TableDefinition* definition = nullptr;
  RecordNumber highest = 0;

  RecordNumber moved(RecordNumber record) {
    const RecordNumber to = record + offset;
    highest = std::max(highest, to);
    return to;
  }
  void move_at(std::string& bytes, std::size_t at) {
    if (bytes.size() < at + 4) return;
    std::string number;
    append_u32_big_endian(number, moved(read_u32_big_endian(std::string_view(bytes).substr(at))));
    bytes.replace(at, 4, number);
  }

  StoredRecord apply(const StoredRecord& source) {
    StoredRecord out = source;
    out.key.replace(0, 4, table_prefix(destination));
    if (out.key.size() < 5) return out;
    const auto kind = static_cast<std::uint8_t>(out.key[4]);
    if (kind == record_kind::data || kind == record_kind::segment) {
      move_at(out.key, 5);
    } else if (kind == record_kind::status) {
      if (auto counters = decode_status(out.data)) {
        const bool table_status = out.key.size() == 6 && static_cast<std::uint8_t>(out.key[5]) == record_kind::data;
        if (table_status || counters->second != 0) counters->second += offset;
        out.data = encode_status(*counters);
      }
    } else if (kind < definition->keys.size()) {
      if (definition->keys[kind].allows_duplicates()) {
        if (out.key.size() >= 9) move_at(out.key, out.key.size() - 4);
      } else {
        move_at(out.data, 0);
      }
    }
    return out;
  }
};

}  // namespace

// COPY and RENAME (move) to `new_name`.
int copy_table(VmrDriver& driver, driver::FileObject&, VmrState& state, std::string_view new_name, bool move) {
  const FileName from = SplitFileName(state.name);
  const FileName to = SplitFileName(new_name);
  if (state.name.empty() || new_name.empty() || to.os_file.empty() || to.table.empty()) {
    return error_code::kInvalidFilename;
  }
  std::shared_ptr<PhysicalFileStore> source;
  if (int e = driver.open_store(from.os_file, kReadWriteShared, false, source)) return e;
  std::shared_ptr<PhysicalFileStore> destination;
  if (int e = driver.open_store(to.os_file, kReadWriteShared, true, destination)) return e;
  const bool same_file = source == destination;
  if (same_file && from.table == to.table) return 0;

  int e = in_operation(*source, true, [&]() -> int {
    if (int e = state.table->open(*source, from.table)) return e;
    const TableNumber table = state.table->table_number();
    state.table->close();
    std::optional<StoredRecord> existing;
    if (int e = destination->find(table_name_key(to.table), existing)) return e;
    if (existing && move) return error_code::kAccessDenied;
    if (same_file && move) {
      // Only the name changes.
      if (int e = source->erase(table_name_key(from.table))) return e;
      return source->insert(table_name_key(to.table), table_prefix(table));
    }
    auto copy = [&]() -> int {
      std::array<std::uint8_t, 16> scratch{};
      Table made(TableDefinition{}, std::span(scratch.data(), 0));
      if (int e = made.create(*destination, to.table)) return e;
      CopyPlan plan;
      plan.destination = made.table_number();
      plan.offset = plan.destination;  // the destination's counter as it stands
      plan.definition = &state.definition;
      made.close();
      if (int e = erase_with_prefix(*destination, table_prefix(plan.destination))) return e;
      std::vector<std::string> copied;
      if (int e = for_each_with_prefix(*source, table_prefix(table), [&](const StoredRecord& record) {
            const StoredRecord moved = plan.apply(record);
            if (move) copied.push_back(record.key);
            return destination->insert(moved.key, moved.data);
          })) {
        return e;
      }
      // The counter moves past every number copied, so later ADDs do not
      // reuse one.
      for (std::uint32_t issued = plan.destination; issued < plan.highest;) {
        if (int e = destination->issue_identifier(issued)) return e;
      }
      if (move) {
        for (const std::string& key : copied) {
          if (int e = source->erase(key)) return e;
        }
        if (int e = source->erase(table_name_key(from.table))) return e;
      }
      return 0;
    };
    return same_file ? copy() : in_operation(*destination, true, copy);
  });
  return e;
}

}  // namespace tavero::vmr
