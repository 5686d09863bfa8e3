// Test support: a small card table written through the record layer, for
// tests that need a real VMR file with keys and memos.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/error_codes.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/physical_file.h"
#include "storage/vmr/record_store_file.h"
#include "storage/vmr/table.h"

namespace tavero::vmr::testing_support {

// A card table: number (INT16), player (FIXSTR 20), price (PACKED 4, 2
// places); a unique key on the number, a key with duplicates on the player
// that ignores case and leaves out blank names; a 500-byte memo.
inline TableDefinition CardTable() {
  TableDefinition d;
  d.record_length = 26;
  FieldDefinition number;
  number.type = field_type::int16;
  number.offset = 0;
  number.size = 2;
  number.name = "CRD:NUMBER";
  FieldDefinition player;
  player.type = field_type::fixstr;
  player.offset = 2;
  player.size = 20;
  player.declared_length = 20;
  player.name = "CRD:PLAYER";
  FieldDefinition price;
  price.type = field_type::packed;
  price.offset = 22;
  price.size = 4;
  price.byte_size = 4;
  price.places = 2;
  price.name = "CRD:PRICE";
  d.fields = {number, player, price};
  BlobDefinition notes;
  notes.name = "CRD:NOTES";
  notes.declared_size = 500;
  d.blobs = {notes};
  KeyDefinition by_number;
  by_number.name = "CRD:BY_NUMBER";
  by_number.attributes = 0x16;
  by_number.components = {{0, false}};
  KeyDefinition by_player;
  by_player.name = "CRD:BY_PLAYER";
  by_player.attributes = 0x07;
  by_player.components = {{1, false}, {0, true}};
  d.keys = {by_number, by_player};
  return d;
}

// One open card table in a file of its own, opened exclusively unless
// `mode` says otherwise; every operation is bracketed as the driver
// brackets it.
class CardFile {
 public:
  static constexpr int kReadWriteDenyAll = 0x12;
  CardFile(FileSystem& fs, const std::string& path, const std::string& table, bool create,
           int mode = kReadWriteDenyAll)
      : record_(26, ' '), memo_(500, ' '), table_(CardTable(), record_) {
    table_.set_memo_buffer(0, memo_);
    std::unique_ptr<PhysicalFile> file;
    error_ = ErrorCodeOf(PhysicalFile::Open(fs, path, mode | (create ? kCreateFlag : 0), file));
    if (error_ != 0) return;
    store_ = std::make_unique<PhysicalFileStore>(std::move(file));
    error_ = Bracket([&] { return create ? table_.create(*store_, table) : table_.open(*store_, table); });
  }
  ~CardFile() {
    if (store_) (void)store_->file().EndOperation();
  }
  int error() const { return error_; }

  // Fills the buffer (and the memo) for card `n`.
  void Fill(int n, const std::string& player, const std::string& notes = {}) {
    std::fill(record_.begin(), record_.end(), ' ');
    record_[0] = static_cast<std::uint8_t>(n);
    record_[1] = static_cast<std::uint8_t>(n >> 8);
    std::memcpy(record_.data() + 2, player.data(), std::min<std::size_t>(player.size(), 20));
    const std::uint8_t price[4] = {0x00, 0x00, 0x12, 0x50};
    std::memcpy(record_.data() + 22, price, 4);
    std::fill(memo_.begin(), memo_.end(), ' ');
    std::memcpy(memo_.data(), notes.data(), std::min<std::size_t>(notes.size(), memo_.size()));
  }
  int Add() { return Bracket([&] { return table_.add(); }); }
  int GetByPointer(std::uint32_t record) { return Bracket([&] { return table_.get_by_pointer(record); }); }
  int Put() { return Bracket([&] { return table_.put(); }); }
  int Erase() { return Bracket([&] { return table_.erase(); }); }
  std::vector<std::uint8_t>& record() { return record_; }
  // The memo's text without its trailing blanks.
  std::string Notes() const {
    std::string text(memo_.begin(), memo_.end());
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
  PhysicalFile& file() { return store_->file(); }

 private:
  int Bracket(const std::function<int()>& operation) {
    if (int e = store_->begin_operation(true)) return e;
    const int e = operation();
    const int ended = store_->end_operation();
    return e != 0 ? e : ended;
  }

  std::vector<std::uint8_t> record_;
  std::vector<std::uint8_t> memo_;
  Table table_;
  std::unique_ptr<PhysicalFileStore> store_;
  int error_ = 0;
};

}  // namespace tavero::vmr::testing_support
