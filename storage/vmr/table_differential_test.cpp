// Long random sequences of record operations on a table with four keys
// (unique; duplicates; a descending component; case-insensitive with blank
// values excluded) and a memo, compared answer by answer with an in-memory
// model that orders by the values themselves rather than by encoded bytes.
// TAVERO_VMR_DIFFERENTIAL_OPS sets the length of each run (default 3000).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <variant>

#include "runtime/error_codes.h"
#include "storage/vmr/check_testing.h"
#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/record_store_file.h"
#include "storage/vmr/record_store_memory.h"
#include "storage/vmr/table.h"
#include "storage/vmr/table_test_support.h"

namespace tavero::vmr {
namespace {

using test_support::make_field;
using test_support::make_key;

constexpr std::size_t record_length = 14;
constexpr std::size_t memo_size = 600;

struct Image {
  std::int16_t id = 0;
  std::int16_t qty = 0;
  long cents = 0;
  std::string name = "      ";
  friend bool operator==(const Image&, const Image&) = default;
};

std::array<std::uint8_t, record_length> to_bytes(const Image& image) {
  std::array<std::uint8_t, record_length> out{};
  std::memcpy(out.data(), &image.id, 2);
  std::memcpy(out.data() + 2, &image.qty, 2);
  long magnitude = std::labs(image.cents);
  for (int i = 3; i >= 0; --i) {
    out[4 + i] = static_cast<std::uint8_t>((magnitude % 10) | ((magnitude / 10 % 10) << 4));
    magnitude /= 100;
  }
  if (image.cents < 0) out[4] |= 0xD0;
  std::memcpy(out.data() + 8, image.name.data(), 6);
  return out;
}

TableDefinition definition() {
  TableDefinition d;
  d.record_length = record_length;
  d.fields = {make_field(field_type::group, 0, 14, "R"), make_field(field_type::int16, 0, 2, "R:ID"),
              make_field(field_type::int16, 2, 2, "R:QTY"), make_field(field_type::packed, 4, 4, "R:PRICE"),
              make_field(field_type::fixstr, 8, 6, "R:NAME")};
  d.keys = {make_key("R:BY_ID", 0x00, {{1, false}}), make_key("R:BY_QTY", 0x01, {{2, false}}),
            make_key("R:BY_PRICE", 0x01, {{3, true}, {4, false}}), make_key("R:BY_NAME", 0x07, {{4, false}})};
  d.blobs = {{"R:NOTES", std::nullopt, 0, static_cast<std::uint16_t>(memo_size)}};
  return d;
}

// ------------------------------------------------------------------ model

using Value = std::vector<std::variant<long, std::string>>;
// An entry's place in key order: its value, and its record number on keys
// with duplicates (0 on the unique key, whose entries are the values).
using Entry = std::pair<Value, RecordNumber>;

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

Value value_of(std::size_t key, const Image& image) {
  switch (key) {
    case 0: return {long{image.id}};
    case 1: return {long{image.qty}};
    case 2: return {-image.cents, image.name};
    default: return {upper(image.name)};
  }
}

bool kept(std::size_t key, const Image& image) { return key != 3 || image.name != "      "; }
bool unique(std::size_t key) { return key == 0; }

struct Model {
  std::map<RecordNumber, Image> records;
  std::map<RecordNumber, std::string> memos;
  RecordNumber last_identifier = 1;  // the table took the first

  std::set<Entry> entries(std::size_t key) const {
    std::set<Entry> out;
    for (const auto& [record, image] : records) {
      if (kept(key, image)) out.insert({value_of(key, image), unique(key) ? 0 : record});
    }
    return out;
  }
  std::optional<RecordNumber> record_of(std::size_t key, const Entry& entry) const {
    for (const auto& [record, image] : records) {
      if (kept(key, image) && value_of(key, image) == entry.first && (unique(key) || record == entry.second)) {
        return record;
      }
    }
    return std::nullopt;
  }
  bool unique_taken(const Image& image, std::optional<RecordNumber> except) const {
    for (const auto& [record, other] : records) {
      if (record != except && other.id == image.id) return true;
    }
    return false;
  }
};

enum class Mode { none, pending, record, key };

struct ModelSequence {
  Mode mode = Mode::none;
  SequenceStart start{};
  std::size_t key = 0;
  Value value;  // forms 42, 45, 47
  RecordNumber record = 0;
  RecordNumber at_record = 0;  // record order position
  Entry at_entry;              // key order position
};

// ------------------------------------------------------------------- test

std::size_t run_length() {
  if (const char* text = std::getenv("TAVERO_VMR_DIFFERENTIAL_OPS")) return std::strtoul(text, nullptr, 10);
  return 3000;
}

class Differential {
 public:
  // `memory` is `store` when the run is on the in-memory store: it counts
  // the writes.
  Differential(unsigned seed, RecordStore& store, const MemoryRecordStore* memory = nullptr)
      : random_(seed), store_(store), memory_(memory), table_(definition(), buffer_) {
    table_.set_memo_buffer(0, memo_);
    memo_.fill(' ');
    write_buffer(Image{});
    EXPECT_EQ(store_.begin_operation(true), 0);
    EXPECT_EQ(table_.create(store_, "T"), 0);
    EXPECT_EQ(store_.end_operation(), 0);
  }

  void run(std::size_t operations) {
    for (step_ = 0; step_ < operations && !::testing::Test::HasFailure(); ++step_) {
      const int choice = pick(100);
      ASSERT_EQ(store_.begin_operation(choice < 30), 0);
      one(choice);
      ASSERT_EQ(store_.end_operation(), 0);
    }
  }

  // Another table object opened on `store` reads exactly the model's
  // records and memos in record order.
  void expect_stored(RecordStore& store) {
    std::array<std::uint8_t, record_length> buffer{};
    std::array<std::uint8_t, memo_size> memo{};
    Table reader(definition(), buffer);
    reader.set_memo_buffer(0, memo);
    ASSERT_EQ(store.begin_operation(false), 0);
    ASSERT_EQ(reader.open(store, "T"), 0);
    ASSERT_EQ(reader.set(SequenceStart::record_order_from_start), 0);
    for (const auto& [record, image] : model_.records) {
      ASSERT_EQ(reader.next(), 0);
      EXPECT_EQ(reader.pointer(), record);
      const auto bytes = to_bytes(image);
      EXPECT_EQ(0, std::memcmp(buffer.data(), bytes.data(), bytes.size()));
      EXPECT_EQ(std::string(memo.begin(), memo.end()), model_.memos.at(record));
    }
    EXPECT_EQ(reader.next(), error_code::kRecordNotAvailable);
    ASSERT_EQ(store.end_operation(), 0);
  }

 private:
  int pick(int below) { return static_cast<int>(random_() % static_cast<unsigned>(below)); }

  Image random_image() {
    static const char* names[] = {"      ", "ann   ", "ANN   ", "bob   ", "Bob   ", "zed   ", "ann b "};
    Image image;
    image.id = static_cast<std::int16_t>(pick(40) - 5);
    image.qty = static_cast<std::int16_t>(pick(5));
    image.cents = (pick(13) - 6) * 50;
    image.name = names[pick(7)];
    return image;
  }
  std::string random_memo() {
    switch (pick(4)) {
      case 0: return std::string(memo_size, ' ');
      case 1: return std::string(1 + pick(20), 'a' + pick(26)) + std::string(memo_size, ' ');
      default: {
        std::string memo(memo_size, ' ');
        for (std::size_t i = 0, n = pick(memo_size + 1); i < n; ++i) memo[i] = static_cast<char>('a' + pick(26));
        return memo;
      }
    }
  }
  void write_buffer(const Image& image) {
    buffer_image_ = image;
    const auto bytes = to_bytes(image);
    std::memcpy(buffer_.data(), bytes.data(), bytes.size());
  }
  void write_memo(const std::string& memo) {
    memo_text_ = memo.substr(0, memo_size);
    std::memcpy(memo_.data(), memo_text_.data(), memo_size);
  }

  void expect_state(const char* what, int expected, int actual) {
    ASSERT_EQ(actual, expected) << what << " at step " << step_;
    const auto bytes = to_bytes(buffer_image_);
    ASSERT_EQ(0, std::memcmp(buffer_.data(), bytes.data(), bytes.size())) << what << " buffer at step " << step_;
    ASSERT_EQ(std::string(memo_.begin(), memo_.end()), memo_text_) << what << " memo at step " << step_;
    ASSERT_EQ(table_.pointer(), current_.value_or(0)) << what << " pointer at step " << step_;
  }

  // A successful read of `record` into the buffer.
  void model_read(RecordNumber record) {
    buffer_image_ = model_.records.at(record);
    if (!skip_memos_) memo_text_ = model_.memos.at(record);
    current_ = record;
    as_read_ = buffer_image_;
  }
  void end_read() { skip_memos_ = false; }

  // The entry of `key` at or beyond `from` in the reading direction.
  std::optional<Entry> entry_from(std::size_t key, const Entry& from, bool forward, bool inclusive) const {
    const std::set<Entry> entries = model_.entries(key);
    if (forward) {
      auto it = inclusive ? entries.lower_bound(from) : entries.upper_bound(from);
      if (it == entries.end()) return std::nullopt;
      return *it;
    }
    auto it = inclusive ? entries.upper_bound(from) : entries.lower_bound(from);
    if (it == entries.begin()) return std::nullopt;
    return *std::prev(it);
  }
  std::optional<Entry> entry_at_end(std::size_t key, bool forward) const {
    const std::set<Entry> entries = model_.entries(key);
    if (entries.empty()) return std::nullopt;
    return forward ? *entries.begin() : *entries.rbegin();
  }
  std::optional<RecordNumber> record_from(RecordNumber from, bool forward, bool inclusive) const {
    const auto& records = model_.records;
    if (forward) {
      auto it = inclusive ? records.lower_bound(from) : records.upper_bound(from);
      if (it == records.end()) return std::nullopt;
      return it->first;
    }
    auto it = inclusive ? records.upper_bound(from) : records.lower_bound(from);
    if (it == records.begin()) return std::nullopt;
    return std::prev(it)->first;
  }
  Entry entry_of(std::size_t key, const Value& value, RecordNumber record) const {
    return {value, unique(key) ? 0 : record};
  }

  // What NEXT (forward) or PREVIOUS reads: the record, and where the
  // sequence then stands.
  std::optional<RecordNumber> model_step(bool forward, ModelSequence& sequence) const {
    const std::size_t key = sequence.key;
    std::optional<Entry> entry;
    auto through_entry = [&](Mode mode) -> std::optional<RecordNumber> {
      if (!entry) return std::nullopt;
      const RecordNumber record = *model_.record_of(key, *entry);
      sequence.mode = mode;
      sequence.at_entry = *entry;
      sequence.at_record = record;
      return record;
    };
    auto in_record_order = [&](std::optional<RecordNumber> record) -> std::optional<RecordNumber> {
      if (record) {
        sequence.mode = Mode::record;
        sequence.at_record = *record;
      }
      return record;
    };
    if (sequence.mode == Mode::record) return in_record_order(record_from(sequence.at_record, forward, false));
    if (sequence.mode == Mode::key) {
      entry = entry_from(key, sequence.at_entry, forward, false);
      return through_entry(Mode::key);
    }
    switch (sequence.start) {
      case SequenceStart::record_order_from_start: {
        if (model_.records.empty()) return std::nullopt;
        return in_record_order(forward ? model_.records.begin()->first : model_.records.rbegin()->first);
      }
      case SequenceStart::record_order_from_pointer: {
        auto record = record_from(sequence.record, forward, true);
        if (!record && !model_.records.empty()) record = model_.records.rbegin()->first;
        return in_record_order(record);
      }
      case SequenceStart::record_order_from_key_value:
      case SequenceStart::key_order_from_key_value: {
        entry = entry_from(key, entry_of(key, sequence.value, forward ? 0 : 0xFFFFFFFF), forward, true);
        const auto record = through_entry(Mode::key);
        if (record && sequence.start == SequenceStart::record_order_from_key_value) return in_record_order(record);
        return record;
      }
      case SequenceStart::key_order_from_start:
        entry = entry_at_end(key, forward);
        return through_entry(Mode::key);
      case SequenceStart::key_order_from_entry:
        entry = entry_from(key, entry_of(key, sequence.value, sequence.record), forward, true);
        return through_entry(Mode::key);
      case SequenceStart::key_order_from_pointer: {
        auto it = model_.records.find(sequence.record);
        if (it != model_.records.end()) {
          sequence.mode = Mode::key;
          sequence.at_entry = entry_of(key, value_of(key, it->second), it->first);
          return it->first;
        }
        entry = entry_at_end(key, false);
        return through_entry(Mode::key);
      }
    }
    return std::nullopt;
  }

  void one(int choice) {
    if (choice < 14) return do_add();
    if (choice < 24) return do_put();
    if (choice < 30) return do_delete();
    if (choice < 38) return do_get_by_key();
    if (choice < 42) return do_get_by_pointer();
    if (choice < 54) return do_set();
    if (choice < 80) return do_step(pick(2) == 0);
    if (choice < 85) return do_position_and_reset();
    if (choice < 90) return do_reget();
    if (choice < 93) {
      table_.arm_skip_memos();
      skip_memos_ = true;
      return;
    }
    if (choice < 96) return do_duplicate();
    return do_counts();
  }

  void do_add() {
    write_buffer(random_image());
    write_memo(random_memo());
    const int expected = model_.unique_taken(buffer_image_, std::nullopt) ? error_code::kCreatesDuplicateKey : 0;
    if (expected == 0) {
      const RecordNumber record = ++model_.last_identifier;
      model_.records[record] = buffer_image_;
      model_.memos[record] = memo_text_;
      current_ = record;
      as_read_ = buffer_image_;
    }
    expect_state("ADD", expected, table_.add());
  }

  void do_put() {
    if (!current_) {
      expect_state("PUT without a record", error_code::kRecordNotAvailable, table_.put());
      return;
    }
    Image image = buffer_image_;
    switch (pick(5)) {
      case 0: image = random_image(); break;
      case 1: image.name = random_image().name; break;
      case 2: image.cents = random_image().cents; break;
      case 3: break;  // unchanged
      default: image.id = random_image().id; break;
    }
    write_buffer(image);
    if (pick(2) == 0) write_memo(random_memo());
    const Image before = model_.records.at(*current_);
    const bool unchanged = image == before && memo_text_ == model_.memos.at(*current_);
    int expected = 0;
    if (model_.unique_taken(image, current_)) {
      expected = error_code::kCreatesDuplicateKey;
    } else {
      model_.records[*current_] = image;
      model_.memos[*current_] = memo_text_;
      as_read_ = image;
    }
    const std::size_t changes = memory_ ? memory_->changes() : 0;
    expect_state("PUT", expected, table_.put());
    if (memory_ && expected == 0 && unchanged) {
      EXPECT_EQ(memory_->changes(), changes) << "an unchanged PUT wrote at step " << step_;
    }
  }

  void do_delete() {
    if (!current_) {
      expect_state("DELETE without a record", error_code::kRecordNotAvailable, table_.erase());
      return;
    }
    model_.records.erase(*current_);
    model_.memos.erase(*current_);
    current_.reset();
    expect_state("DELETE", 0, table_.erase());
  }

  void do_get_by_key() {
    const std::size_t key = pick(4);
    if (pick(3) != 0) {
      // Look for a value near what is stored, often one that exists.
      Image image = buffer_image_;
      const Image other = random_image();
      if (key == 0) image.id = other.id;
      if (key == 1) image.qty = other.qty;
      if (key == 2) image.cents = other.cents, image.name = other.name;
      if (key == 3) image.name = other.name;
      write_buffer(image);
    }
    std::optional<RecordNumber> found;
    if (kept(key, buffer_image_)) {
      const auto entry = entry_from(key, entry_of(key, value_of(key, buffer_image_), 0), true, true);
      if (entry && entry->first == value_of(key, buffer_image_)) found = model_.record_of(key, *entry);
    }
    const int actual = table_.get_by_key(key);
    if (found) {
      model_read(*found);
    } else {
      current_.reset();
    }
    end_read();
    expect_state("GET by key", found ? 0 : error_code::kRecordNotFound, actual);
  }

  void do_get_by_pointer() {
    RecordNumber record = static_cast<RecordNumber>(pick(static_cast<int>(model_.last_identifier) + 3));
    if (!model_.records.empty() && pick(2) == 0) record = std::next(model_.records.begin(), pick(model_.records.size()))->first;
    const bool exists = model_.records.contains(record);
    const int actual = table_.get_by_pointer(record);
    if (exists) {
      model_read(record);
    } else {
      current_.reset();
    }
    end_read();
    expect_state("GET by pointer", exists ? 0 : error_code::kRecordNotFound, actual);
  }

  void do_set() {
    static const SequenceStart forms[] = {
        SequenceStart::record_order_from_start, SequenceStart::record_order_from_key_value,
        SequenceStart::record_order_from_pointer, SequenceStart::key_order_from_start,
        SequenceStart::key_order_from_key_value, SequenceStart::key_order_from_pointer,
        SequenceStart::key_order_from_entry};
    ModelSequence sequence;
    sequence.mode = Mode::pending;
    sequence.start = forms[pick(7)];
    sequence.key = pick(4);
    sequence.record = static_cast<RecordNumber>(pick(static_cast<int>(model_.last_identifier) + 3));
    sequence.value = value_of(sequence.key, buffer_image_);
    sequence_ = sequence;
    expect_state("SET", 0, table_.set(sequence.start, sequence.key, sequence.record));
  }

  void do_step(bool forward) {
    ModelSequence moved = sequence_;
    std::optional<RecordNumber> found;
    if (sequence_.mode != Mode::none) found = model_step(forward, moved);
    if (pick(8) == 0) {
      // EOF and BOF look without moving anything.
      int error = 0;
      EXPECT_EQ(table_.at_end(forward, error), !found) << "EOF/BOF at step " << step_;
      expect_state("EOF/BOF", found ? 0 : error_code::kRecordNotAvailable, error);
      return;
    }
    const int actual = forward ? table_.next() : table_.previous();
    if (found) {
      sequence_ = moved;
      model_read(*found);
    } else {
      current_.reset();
    }
    end_read();
    expect_state(forward ? "NEXT" : "PREVIOUS", found ? 0 : error_code::kRecordNotAvailable, actual);
  }

  void do_position_and_reset() {
    if (!current_) return;
    const bool by_key = pick(2) == 0;
    const std::size_t key = pick(4);
    const std::string text = by_key ? table_.position_of_key(key) : table_.position();
    ASSERT_GE(text.size(), 4u);
    ASSERT_EQ(read_u32_big_endian(text), *current_);
    ModelSequence sequence;
    sequence.mode = Mode::pending;
    sequence.record = *current_;
    if (by_key) {
      sequence.start = SequenceStart::key_order_from_entry;
      sequence.key = key;
      sequence.value = value_of(key, as_read_);
    } else {
      sequence.start = SequenceStart::record_order_from_pointer;
    }
    sequence_ = sequence;
    expect_state("RESET", 0, by_key ? table_.reset_key(key, text) : table_.reset(text));
    positions_.push_back({by_key ? std::optional<std::size_t>(key) : std::nullopt, text, *current_, as_read_});
  }

  void do_reget() {
    if (positions_.empty()) return;
    const SavedPosition& saved = positions_[pick(positions_.size())];
    std::optional<RecordNumber> found;
    if (!saved.key) {
      if (model_.records.contains(saved.record)) found = saved.record;
    } else if (kept(*saved.key, saved.image)) {
      const Entry wanted = entry_of(*saved.key, value_of(*saved.key, saved.image), saved.record);
      const std::set<Entry> entries = model_.entries(*saved.key);
      if (entries.contains(wanted)) found = model_.record_of(*saved.key, wanted);
    }
    const int actual = saved.key ? table_.reget_key(*saved.key, saved.text) : table_.reget(saved.text);
    if (found) model_read(*found);  // a failed REGET keeps the current record
    end_read();
    expect_state("REGET", found ? 0 : error_code::kRecordNotFound, actual);
  }

  void do_duplicate() {
    bool answer = true;
    expect_state("DUPLICATE", 0, table_.duplicate(0, answer));
    EXPECT_EQ(answer, model_.unique_taken(buffer_image_, current_)) << "DUPLICATE at step " << step_;
    bool any = false;
    expect_state("DUPLICATE of the file", 0, table_.duplicate_any(any));
    EXPECT_EQ(any, answer);
  }

  void do_counts() {
    std::uint32_t count = 0;
    expect_state("RECORDS", 0, table_.records(count));
    EXPECT_EQ(count, model_.records.size()) << "RECORDS at step " << step_;
    for (std::size_t key = 0; key < 4; ++key) {
      expect_state("RECORDS of a key", 0, table_.records_of_key(key, count));
      EXPECT_EQ(count, model_.entries(key).size()) << "RECORDS of key " << key << " at step " << step_;
    }
  }

  struct SavedPosition {
    std::optional<std::size_t> key;
    std::string text;
    RecordNumber record;
    Image image;
  };

  std::mt19937 random_;
  std::array<std::uint8_t, record_length> buffer_{};
  std::array<std::uint8_t, memo_size> memo_{};
  RecordStore& store_;
  const MemoryRecordStore* memory_;
  Table table_;
  Model model_;
  Image buffer_image_;
  std::string memo_text_ = std::string(memo_size, ' ');
  std::optional<RecordNumber> current_;
  Image as_read_;
  ModelSequence sequence_;
  bool skip_memos_ = false;
  std::vector<SavedPosition> positions_;
  std::size_t step_ = 0;
};

TEST(TableDifferential, RandomOperationsMatchTheModel) {
  const std::size_t operations = run_length();
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    MemoryRecordStore store;
    Differential run(seed, store, &store);
    run.run(operations);
    if (HasFailure()) return;
  }
}

// The same on the file layer's tree, and the file read back after it was
// closed and opened again.
TEST(TableDifferential, OnTheFileLayerAndAfterReopening) {
  const std::size_t operations = run_length();
  for (unsigned seed = 11; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    FaultFileSystem file_system;
    std::unique_ptr<PhysicalFile> file;
    ASSERT_EQ(ErrorCodeOf(PhysicalFile::Open(file_system, "T.VMR", 0x42 | kCreateFlag, file)), 0);
    auto store = std::make_unique<PhysicalFileStore>(std::move(file));
    Differential run(seed, *store);
    run.run(operations);
    if (HasFailure()) return;
    store.reset();
    EXPECT_TRUE(testing_support::VmrFileIsSound("T.VMR", file_system));
    ASSERT_EQ(ErrorCodeOf(PhysicalFile::Open(file_system, "T.VMR", 0x42, file)), 0);
    PhysicalFileStore reopened(std::move(file));
    run.expect_stored(reopened);
  }
}

}  // namespace
}  // namespace tavero::vmr
