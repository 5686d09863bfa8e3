// One open VMR table: its rows, keys, status records and memos in the
// ordered store of its file, and the record operations on them. The table
// works on the program's record buffer and memo buffers; it knows nothing
// of the driver dispatch, which brackets every call (begin-write step,
// end-of-operation step) and keeps the FileState bits.
//
// Invariants between calls (asserts cite them as [n]):
//  [1] `store_` is set and `table_` names a table-name record exactly while
//      the table is open.
//  [2] `keys_` has one entry per declared key; a dynamic index's entry holds
//      the components of its last BUILD (none before).
//  [3] `has_current_` implies `as_read_` holds the image of record
//      `current_` as last read or written, record length bytes.
//  [6] A data record's segment marks (record_kinds.h) say which of its
//      memos and blobs have segments: ADD and PUT write them with the
//      segments, in the same operation.
//  [4] Every key entry of a key that is not an index carries the encoded
//      value of its record's stored image, unless the key's status second
//      counter is non-zero (deferred by APPEND): then records from that
//      number on may lack entries until BUILD.
//  [5] The one-shot read flags are cleared by the next read, whether it
//      succeeds or not.
//
// Sequence state machine: none --SET/RESET--> pending(form) --first NEXT or
// PREVIOUS--> record order | key order --NEXT/PREVIOUS--> same. A failed SET
// leaves none. EOF/BOF look without moving.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/vmr/key_encoding.h"
#include "storage/vmr/record_kinds.h"
#include "storage/vmr/record_store.h"
#include "storage/vmr/table_definition.h"

namespace tavero::vmr {

// The SET forms and RESET, by where the first read starts.
enum class SequenceStart : std::uint8_t {
  record_order_from_start,      // SET 41
  record_order_from_key_value,  // SET 42
  record_order_from_pointer,    // SET 43, RESET of the file
  key_order_from_start,         // SET 44
  key_order_from_key_value,     // SET 45
  key_order_from_pointer,       // SET 46
  key_order_from_entry,         // SET 47, RESET of a key
};

// Answers whether a record belongs in a dynamic index (its filter).
class RecordFilter {
 public:
  virtual ~RecordFilter() = default;
  virtual bool accepts(std::span<const std::uint8_t> record) = 0;
};

class Table {
 public:
  Table(TableDefinition declared, std::span<std::uint8_t> record, KeyEncodingOptions options = {});

  const TableDefinition& definition() const { return definition_; }
  const KeyDefinition& key(std::size_t number) const { return keys_[number]; }
  TableNumber table_number() const { return table_; }
  bool is_open() const { return store_ != nullptr; }

  // Memo buffers: one fixed-size text buffer per memo (blob entries without
  // attribute 0x04), given by the program. Blobs keep their own content.
  void set_memo_buffer(std::size_t blob, std::span<std::uint8_t> buffer);
  std::string& blob_content(std::size_t blob) { return blob_contents_[blob]; }

  // The store that holds a dynamic index's entries and status record.
  void set_index_store(std::size_t key, RecordStore* store);

  // Creating replaces an earlier table of the same name.
  int create(RecordStore& store, std::string_view name);
  int open(RecordStore& store, std::string_view name);
  // 46 when a declared key lags behind the records (APPEND without BUILD).
  int check_keys_built();
  void close();

  // Writing.
  int add();
  int append();
  int put();
  int put_at(RecordNumber record);
  int erase();  // DELETE
  int empty();

  // Direct reads.
  int get_by_key(std::size_t key);
  int get_by_pointer(RecordNumber record);
  int get_by_key_and_pointer(std::size_t key, RecordNumber record);

  // Sequential reads.
  int set(SequenceStart start, std::optional<std::size_t> key = std::nullopt, RecordNumber record = 0);
  int next() { return step(true, false); }
  int previous() { return step(false, false); }
  int skip(std::int32_t count);
  // True when a read in that direction would find nothing.
  bool at_end(bool forward, int& error);
  std::string position() const;
  std::string position_of_key(std::size_t key) const;
  int reset(std::string_view position);
  int reset_key(std::size_t key, std::string_view position);
  int reget(std::string_view position);
  int reget_key(std::size_t key, std::string_view position);

  // Counts and state.
  int records(std::uint32_t& count);
  int records_of_key(std::size_t key, std::uint32_t& count);
  bool has_current() const { return has_current_; }
  // Forgets the current record and the sequence (PACK).
  void forget_position() {
    drop_current();
    sequence_ = {};
  }
  RecordNumber pointer() const { return has_current_ ? current_ : 0; }
  int duplicate(std::size_t key, bool& answer);
  int duplicate_any(bool& answer);

  // The next read leaves memos and blobs unread.
  void arm_skip_memos() { flags_.skip_memos = true; }
  // HOLD and WATCH state, consumed and kept for the locking layer.
  struct ReadFlags {
    bool skip_memos = false;
    bool hold_armed = false;
    bool watch_armed = false;
    bool held = false;
    bool watched = false;
    std::optional<std::uint32_t> hold_seconds;
  };
  ReadFlags& read_flags() { return flags_; }
  // Undoes a read whose record could not be held: no current record.
  void abandon_read() { drop_current(); }

  // BUILD of every key but the indexes, of one key, and of a dynamic index
  // from a component text ("+SET:LAST_NAME,-SET:DATE_BOUGHT"; 76 when bad).
  int build_all();
  int build_key(std::size_t key, RecordFilter* filter = nullptr);
  int build_dynamic(std::size_t key, std::string_view components, RecordFilter* filter = nullptr);
  // Reads a component text against the field list; 76 when it is bad.
  int parse_components(std::string_view text, std::vector<KeyComponent>& components) const;

  // Every record of the table whose key part starts with its number.
  int for_each_record(const std::function<int(const StoredRecord&)>& visit);

 private:
  enum class Order : std::uint8_t { none, pending, record, key };
  struct Sequence {
    Order order = Order::none;
    SequenceStart start = SequenceStart::record_order_from_start;
    std::size_t key = 0;
    std::string cursor;  // key part to continue from
    SeekPosition position;  // where the store found `cursor`'s record
    RecordNumber record = 0;
  };
  // Where a step arrived. `found` points into the store until its next
  // call; `cursor` keeps its capacity from step to step.
  struct StepResult {
    std::optional<RecordView> found;  // the data record
    std::string cursor;               // the key part that was stepped to
    SeekPosition position;            // where the store found it
    Order order = Order::none;
  };

  RecordStore& key_store(std::size_t key);
  bool is_dynamic(std::size_t key) const { return definition_.keys[key].is_dynamic(); }
  std::string key_entry(std::size_t key, std::span<const std::uint8_t> image, RecordNumber record) const;
  std::optional<std::string> key_entry_if_kept(std::size_t key, std::span<const std::uint8_t> image,
                                               RecordNumber record) const;
  static RecordNumber entry_record_number(RecordView entry);

  int write_definition_and_status();
  int read_definition(std::optional<TableDefinition>& stored);
  int change_status(RecordStore& store, std::uint8_t index_byte, std::int64_t count_delta,
                    std::optional<RecordNumber> lower_second);
  int read_status(RecordStore& store, std::uint8_t index_byte, StatusCounters& counters);
  int erase_prefix(RecordStore& store, std::string_view prefix);

  int maintain_keys(std::span<const std::uint8_t> old_image, std::span<const std::uint8_t> new_image,
                    RecordNumber record, bool deferred, bool unique_checked);
  int maintain_key(std::size_t key, std::span<const std::uint8_t> old_image,
                   std::span<const std::uint8_t> new_image, RecordNumber record, bool deferred,
                   bool unique_checked);
  int insert_new(bool deferred);
  // The segments of every memo and blob as the buffers hold them, one list
  // per blob.
  using ContentSegments = std::vector<std::vector<std::string>>;
  ContentSegments content_segments() const;
  // The data part written for the record buffer: its stored form and the
  // segment marks `segments` make.
  std::string data_part(const ContentSegments& segments) const;
  // `stored` is the record's data part before the change (none for a new
  // record): the blobs its marks call empty are not looked up.
  int write_memos(RecordNumber record, const ContentSegments& segments, std::optional<DataPart> stored);
  int erase_memos(RecordNumber record);
  int load_memos(RecordNumber record, DataPart data);
  int load_memo(std::size_t blob, std::string_view prefix);
  std::optional<DataPart> split(std::string_view data) const {
    return split_data_part(data, record_.size(), definition_.blobs.size());
  }

  // Record images as the program holds them and as the file stores them:
  // they differ only in a file with the OEM attribute, whose text fields
  // are stored in the OEM character set.
  std::string program_form(std::string_view stored) const;
  std::string stored_form(std::span<const std::uint8_t> image) const;
  void convert_text_fields(std::string& image, bool to_oem) const;

  int read_data(RecordNumber record, std::optional<StoredRecord>& found);
  // The same in place (RecordStore::seek).
  int read_data(RecordNumber record, std::optional<RecordView>& found);
  // The current record's key part, stored data part and image in the
  // program's form.
  int read_current(std::string& data_key_part, std::string& stored, std::string& old_image);
  int load(RecordView data);
  void drop_current();
  int finish_read(int error, bool keep_current = false);

  int step(bool forward, bool look_only);
  int first_step(bool forward, StepResult& result);
  int next_step(bool forward, StepResult& result);
  // `position` is where the store found `from`'s record, or nothing; it
  // receives where the store found the answer.
  int entry_in_key(std::size_t key, bool forward, std::string_view from, bool inclusive,
                   std::optional<RecordView>& entry, SeekPosition& position);
  int data_in_table(bool forward, std::string_view from, bool inclusive, std::optional<RecordView>& data,
                    SeekPosition& position);
  int follow_entries(std::size_t key, bool forward, std::optional<RecordView> entry, StepResult& result);

  TableDefinition definition_;
  std::vector<KeyDefinition> keys_;
  std::span<std::uint8_t> record_;
  KeyEncodingOptions options_;
  std::vector<std::span<std::uint8_t>> memo_buffers_;
  std::vector<std::string> blob_contents_;
  std::vector<RecordStore*> index_stores_;

  RecordStore* store_ = nullptr;
  TableNumber table_ = 0;
  bool has_current_ = false;
  RecordNumber current_ = 0;
  std::string as_read_;
  std::string marks_read_;  // the segment marks of the record load() reads
  Sequence sequence_;
  StepResult stepped_;
  ReadFlags flags_;
};

}  // namespace tavero::vmr
