// The VMR driver's handlers: each operation code mapped onto the table
// engine, inside the operation brackets of the file it lives in.
#include <cassert>
#include <cerrno>

#include "runtime/error_codes.h"
#include "storage/vmr/driver_files.h"
#include "storage/vmr/driver_holds.h"
#include "storage/vmr/driver_state.h"
#include "storage/vmr/driver_transactions.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {

namespace {

using driver::OperationCode;


std::size_t key_number(const driver::OperationArgs& args) {
  assert(args.key != nullptr && args.key->descriptor != nullptr);
  return static_cast<std::size_t>(args.key->descriptor->number);
}

// Operations that change the tree start with the begin-write step.
bool modifies(OperationCode code) {
  switch (code) {
    case OperationCode::Add:
    case OperationCode::Append:
    case OperationCode::Put:
    case OperationCode::PutAtPointer:
    case OperationCode::Delete:
    case OperationCode::Empty:
    case OperationCode::Pack:
    case OperationCode::BuildAll:
    case OperationCode::BuildKey:
    case OperationCode::BuildDynamicIndex:
    case OperationCode::BuildFilteredIndex:
      return true;
    default:
      return false;
  }
}

// Operations that work without touching the tree.
bool stays_in_memory(OperationCode code) {
  switch (code) {
    case OperationCode::SetRecordOrder:
    case OperationCode::SetRecordOrderFromKey:
    case OperationCode::SetRecordOrderFromPointer:
    case OperationCode::SetKeyOrder:
    case OperationCode::SetKeyOrderFromValue:
    case OperationCode::SetKeyOrderFromPointer:
    case OperationCode::SetKeyOrderFromValueAndPointer:
    case OperationCode::Reset:
    case OperationCode::ResetByKey:
    case OperationCode::Position:
    case OperationCode::PositionOfKey:
    case OperationCode::Pointer:
    case OperationCode::PointerOfKey:
    case OperationCode::Hold:
    case OperationCode::HoldWithLimit:
    case OperationCode::Watch:
    case OperationCode::Release:
    case OperationCode::SkipMemos:
    case OperationCode::KeyNumber:
    case OperationCode::BlobGetBytes:
    case OperationCode::BlobPutBytes:
    case OperationCode::BlobLength:
    case OperationCode::BlobSetProperty:
    case OperationCode::BlobGetProperty:
      return true;
    default:
      return false;
  }
}

class TableFilter final : public RecordFilter {
 public:
  explicit TableFilter(std::function<bool(std::span<const std::uint8_t>)> accepts) : accepts_(std::move(accepts)) {}
  bool accepts(std::span<const std::uint8_t> record) override { return accepts_(record); }

 private:
  std::function<bool(std::span<const std::uint8_t>)> accepts_;
};

// Runs an operation of an open table on its records.
int run_on_table(OperationCode code, VmrState& state, const driver::OperationArgs& args,
                 driver::OperationResult& result, const RecordFilterFactory& filters, VmrDriver& driver) {
  Table& table = *state.table;
  switch (code) {
    case OperationCode::Add: return table.add();
    case OperationCode::Append: return table.append();
    case OperationCode::Put: return table.put();
    case OperationCode::PutAtPointer: return table.put_at(args.pointer);
    case OperationCode::Delete: return table.erase();
    case OperationCode::Empty: return empty_table(driver, state);
    case OperationCode::GetByKey: return table.get_by_key(key_number(args));
    case OperationCode::GetByPointer: return table.get_by_pointer(args.pointer);
    case OperationCode::GetByKeyAndPointer: return table.get_by_key_and_pointer(key_number(args), args.pointer);
    case OperationCode::Next: return table.next();
    case OperationCode::Previous: return table.previous();
    case OperationCode::Skip: return table.skip(static_cast<std::int32_t>(args.number));
    case OperationCode::Eof:
    case OperationCode::Bof: {
      int error = 0;
      result.value = table.at_end(code == OperationCode::Eof, error) ? 1 : 0;
      return error == error_code::kRecordNotAvailable ? 0 : error;
    }
    case OperationCode::Reget: return table.reget(args.text);
    case OperationCode::RegetByKey: return table.reget_key(key_number(args), args.text);
    case OperationCode::Records:
    case OperationCode::RecordsOfKey:
    case OperationCode::Bytes: {
      std::uint32_t count = 0;
      const int error = code == OperationCode::RecordsOfKey ? table.records_of_key(key_number(args), count)
                                                            : table.records(count);
      result.value = count;
      if (code == OperationCode::Bytes) {
        const std::int64_t length = static_cast<std::int64_t>(state.record.size());
        result.value = table.has_current() ? length : length * count;
      }
      return error;
    }
    case OperationCode::DuplicateAny:
    case OperationCode::DuplicateKey: {
      bool answer = false;
      const int error =
          code == OperationCode::DuplicateKey ? table.duplicate(key_number(args), answer) : table.duplicate_any(answer);
      result.value = answer ? 1 : 0;
      return error;
    }
    case OperationCode::Pack:
      // Commits, then cuts the file at its used length; no record moves.
      table.forget_position();
      return ErrorCodeOf(state.store->file().Truncate());
    case OperationCode::BuildAll: return table.build_all();
    case OperationCode::BuildKey: return table.build_key(key_number(args));
    case OperationCode::BuildDynamicIndex:
    case OperationCode::BuildFilteredIndex: {
      const std::size_t key = key_number(args);
      std::vector<KeyComponent> components;
      if (!table.definition().keys[key].is_dynamic()) return error_code::kInvalidIndexString;
      if (int e = table.parse_components(args.text, components)) return e;
      std::shared_ptr<PhysicalFileStore> index;
      if (int e = fresh_index_store(driver, state, key, index)) return e;
      table.set_index_store(key, index.get());
      state.index_stores[key] = index;
      std::unique_ptr<TableFilter> filter;
      if (code == OperationCode::BuildFilteredIndex && !args.filter.empty() && filters) {
        filter = std::make_unique<TableFilter>(filters(*state.file, args.filter));
      }
      if (int e = index->begin_operation(true)) return e;
      const int e = table.build_dynamic(key, args.text, filter.get());
      const int end = index->end_operation();
      return e != 0 ? e : end;
    }
    default:
      return error_code::kUnsupportedFileDriverFunction;
  }
}

// Operations that keep to the table's state in memory.
int run_in_memory(OperationCode code, VmrState& state, const driver::OperationArgs& args,
                  driver::OperationResult& result) {
  Table& table = *state.table;
  switch (code) {
    case OperationCode::SetRecordOrder:
      state.sequence_key = nullptr;
      return table.set(SequenceStart::record_order_from_start);
    case OperationCode::SetRecordOrderFromKey:
      state.sequence_key = nullptr;
      return table.set(SequenceStart::record_order_from_key_value, key_number(args));
    case OperationCode::SetRecordOrderFromPointer:
      state.sequence_key = nullptr;
      return table.set(SequenceStart::record_order_from_pointer, std::nullopt, args.pointer);
    case OperationCode::SetKeyOrder:
    case OperationCode::SetKeyOrderFromValue:
    case OperationCode::SetKeyOrderFromPointer:
    case OperationCode::SetKeyOrderFromValueAndPointer: {
      static constexpr SequenceStart forms[] = {
          SequenceStart::key_order_from_start, SequenceStart::key_order_from_key_value,
          SequenceStart::key_order_from_pointer, SequenceStart::key_order_from_entry};
      state.sequence_key = args.key->descriptor;
      const auto form = forms[static_cast<int>(code) - static_cast<int>(OperationCode::SetKeyOrder)];
      return table.set(form, key_number(args), args.pointer);
    }
    case OperationCode::Reset:
      state.sequence_key = nullptr;
      return table.reset(args.text);
    case OperationCode::ResetByKey:
      state.sequence_key = args.key->descriptor;
      return table.reset_key(key_number(args), args.text);
    case OperationCode::Position:
      result.text = table.position();
      return 0;
    case OperationCode::PositionOfKey:
      result.text = table.position_of_key(key_number(args));
      return 0;
    case OperationCode::Pointer:
    case OperationCode::PointerOfKey:
      result.value = table.pointer();
      return 0;
    case OperationCode::Hold:
    case OperationCode::HoldWithLimit:
      table.read_flags().hold_armed = true;
      if (code == OperationCode::HoldWithLimit) {
        table.read_flags().hold_seconds = static_cast<std::uint32_t>(std::max<std::int64_t>(0, args.number));
      }
      return 0;
    case OperationCode::Watch:
      table.read_flags().watch_armed = true;
      return 0;
    case OperationCode::Release:
      release_held_record(state);
      return 0;
    case OperationCode::SkipMemos:
      table.arm_skip_memos();
      return 0;
    case OperationCode::KeyNumber:
      result.value = key_number(args);
      return 0;
    default:
      return run_blob_operation(code, state, args, result);
  }
}

}  // namespace

int VmrDriver::Handle(OperationCode code, driver::FileObject& file, driver::DriverState& base,
                      const driver::OperationArgs& args, driver::OperationResult& result) {
  VmrState& state = static_cast<VmrState&>(base);
  const bool open = driver::Has(state.file_state, driver::FileState::Open);
  switch (code) {
    case OperationCode::Open:
    case OperationCode::Share:
      return open_table(*this, state, static_cast<int>(args.number), true);
    case OperationCode::Close:
      close_table(state);
      return 0;
    case OperationCode::Create:
      return create_table(*this, file, state);
    case OperationCode::Remove:
      return remove_table(*this, state);
    case OperationCode::Copy:
    case OperationCode::Rename:
      return copy_table(*this, file, state, args.text, code == OperationCode::Rename);
    case OperationCode::Send:
      result.text = send_command(state, args.text);
      return 0;
    case OperationCode::Logout: return logout_table(state);
    case OperationCode::Commit: return commit_enlisted(*this);
    case OperationCode::Rollback: return rollback_enlisted();
    case OperationCode::Name:
      result.text = state.name;
      return 0;
    case OperationCode::Lock:
    case OperationCode::LockWithLimit:
    case OperationCode::Unlock:
    case OperationCode::Stream:
    case OperationCode::Flush:
      return open ? run_lock_operation(code, state, args) : error_code::kRecordNotAvailable;
    default:
      break;
  }
  if (!open) {
    // BUILD works on a closed file: open it for the build and close again.
    if (code != OperationCode::BuildAll && code != OperationCode::BuildKey) return error_code::kRecordNotAvailable;
    if (int e = open_table(*this, state, 0x22, false)) return e;
    int e = state.store->begin_operation(true);
    if (e == 0) e = run_on_table(code, state, args, result, filter_factory_, *this);
    const int end = state.store->end_operation();
    close_table(state);
    return e != 0 ? e : end;
  }
  if (stays_in_memory(code)) return run_in_memory(code, state, args, result);
  // The table's file, and the files of its built dynamic indexes, are read
  // (or written) inside one bracket each.
  // (BUILD of a dynamic index replaces its file: the old one stays alive
  // until its bracket is closed.)
  const auto bracketed = [&](Body body) {
    const std::shared_ptr<PhysicalFileStore> table_store = state.store;
    std::vector<std::shared_ptr<PhysicalFileStore>> index_stores;
    int e = table_store->begin_operation(modifies(code));
    for (const auto& index : state.index_stores) {
      if (e != 0 || !index) continue;
      e = index->begin_operation(false);
      index_stores.push_back(index);
    }
    if (e == 0) e = body();
    const int end = table_store->end_operation();
    if (e == 0) e = end;
    for (const auto& store : index_stores) {
      const int end = store->end_operation();
      if (e == 0) e = end;
    }
    return e;
  };
  const auto run = [&] { return run_on_table(code, state, args, result, filter_factory_, *this); };
  if (reads_record(code)) return held_read(state, bracketed, run);
  if (writes_held_record(code)) return bracketed([&] { return guarded_write(code, state, args, run); });
  return bracketed(run);
}

}  // namespace tavero::vmr
