// Test support: VMR files written through the record layer, and raw access
// to their bytes for damaging them.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/format.h"
#include "storage/vmr/table.h"
#include "tools/vmr_store.h"

namespace tavero::tool::test {

// A card table: number (INT16), player (FIXSTR 20), price (PACKED 4, 2
// places); a unique key on the number, a key with duplicates on the player
// that ignores case and leaves out blank names; a 500-byte memo.
inline vmr::TableDefinition CardTable() {
  vmr::TableDefinition d;
  d.record_length = 26;
  vmr::FieldDefinition number;
  number.type = vmr::field_type::int16;
  number.offset = 0;
  number.size = 2;
  number.name = "CRD:NUMBER";
  vmr::FieldDefinition player;
  player.type = vmr::field_type::fixstr;
  player.offset = 2;
  player.size = 20;
  player.declared_length = 20;
  player.name = "CRD:PLAYER";
  vmr::FieldDefinition price;
  price.type = vmr::field_type::packed;
  price.offset = 22;
  price.size = 4;
  price.byte_size = 4;
  price.places = 2;
  price.name = "CRD:PRICE";
  d.fields = {number, player, price};
  vmr::BlobDefinition notes;
  notes.name = "CRD:NOTES";
  notes.declared_size = 500;
  d.blobs = {notes};
  vmr::KeyDefinition by_number;
  by_number.name = "CRD:BY_NUMBER";
  by_number.attributes = 0x16;
  by_number.components = {{0, false}};
  vmr::KeyDefinition by_player;
  by_player.name = "CRD:BY_PLAYER";
  by_player.attributes = 0x07;
  by_player.components = {{1, false}, {0, true}};
  d.keys = {by_number, by_player};
  return d;
}

// A temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavero-tool-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// One open card table in a file of its own; every operation is bracketed as
// the driver brackets it.
class CardFile {
 public:
  CardFile(vmr::FileSystem& fs, const std::string& path, const std::string& table, bool create)
      : record_(26, ' '), memo_(500, ' '), table_(CardTable(), record_) {
    table_.set_memo_buffer(0, memo_);
    error_ = OpenExclusive(path, true, true, file_, fs);
    if (error_ != 0) return;
    store_ = std::make_unique<PhysicalRecordStore>(*file_);
    error_ = Bracket([&] { return create ? table_.create(*store_, table) : table_.open(*store_, table); });
  }
  ~CardFile() {
    if (file_) (void)file_->EndOperation();
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
  vmr::PhysicalFile& file() { return *file_; }

 private:
  int Bracket(const std::function<int()>& operation) {
    if (int e = store_->begin_operation(true)) return e;
    const int e = operation();
    const int ended = store_->end_operation();
    return e != 0 ? e : ended;
  }

  std::vector<std::uint8_t> record_;
  std::vector<std::uint8_t> memo_;
  vmr::Table table_;
  std::unique_ptr<vmr::PhysicalFile> file_;
  std::unique_ptr<PhysicalRecordStore> store_;
  int error_ = 0;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs the built `tavero` with `arguments` (quoted as the shell needs),
// its stderr joined to `out`; answers the exit status.
inline int RunTool(const std::string& arguments, std::string& out) {
  FILE* pipe = popen((std::string(TAVERO_TOOL_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  out.clear();
  if (pipe == nullptr) return -1;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The start offsets of every page slot of every zone of a file image.
inline std::vector<std::size_t> PageOffsets(const std::vector<std::uint8_t>& image) {
  std::vector<std::size_t> offsets;
  for (int i = 1; i < vmr::kZoneCount; ++i) {
    const std::uint32_t start = vmr::Load32(image.data() + 32 + 4 * i);
    const std::uint32_t end = vmr::Load32(image.data() + 272 + 4 * i);
    for (std::uint32_t block = start; block + i <= end; block += i) offsets.push_back(vmr::BlockOffset(block));
  }
  return offsets;
}

}  // namespace tavero::tool::test
