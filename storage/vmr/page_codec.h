// Records, their order, and the coding of a page between memory and disk:
// the page header, the prefix-coded body and its run-length compression.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "storage/vmr/format.h"
#include "storage/vmr/status.h"

namespace tavero::vmr {

// A record as a page holds it: its key part (the first key_length() bytes),
// then its data part, viewed where the page keeps the bytes (RecordBytes).
// Three words, copied as such: a page makes room for an insert by moving
// these, not the bytes.
class Record {
 public:
  Record() = default;
  // Views `bytes`, which must outlive it; the first `key_length` are the
  // key part.
  Record(std::string_view bytes, std::size_t key_length)
      : data_(bytes.data()),
        size_(static_cast<std::uint32_t>(bytes.size())),
        key_length_(static_cast<std::uint16_t>(key_length)) {}

  std::string_view bytes() const { return {data_, size_}; }
  std::size_t size() const { return size_; }
  std::uint16_t key_length() const { return key_length_; }
  std::string_view key() const { return {data_, key_length_}; }
  std::string_view data() const { return {data_ + key_length_, size_ - key_length_}; }
  friend bool operator==(const Record& a, const Record& b) {
    return a.key_length_ == b.key_length_ && a.bytes() == b.bytes();
  }

 private:
  const char* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint16_t key_length_ = 0;  // <= size_
};
static_assert(std::is_trivially_copyable_v<Record>);

// A record that owns its bytes: what a lookup hands to a caller that keeps
// it while the tree changes.
struct RecordCopy {
  std::string bytes;
  std::uint16_t key_length = 0;

  RecordCopy() = default;
  explicit RecordCopy(const Record& record) : bytes(record.bytes()), key_length(record.key_length()) {}
  std::string_view key() const { return std::string_view(bytes).substr(0, key_length); }
  std::string_view data() const { return std::string_view(bytes).substr(key_length); }
  bool operator==(const RecordCopy&) const = default;
};

// The bytes the records of a page view, in blocks filled from the front.
// The bytes of a replaced or erased record stay until the page is
// compacted. Blocks are shared only by copies (and the structure check,
// which keeps the records of every page it reads): a page made by a split
// copies its records' bytes into blocks of its own, so that no page holds
// blocks of pages split long before it.
class RecordBytes {
 public:
  RecordBytes() = default;
  // A copy holds the same blocks but fills blocks of its own.
  RecordBytes(const RecordBytes& other) : blocks_(other.blocks_), held_(other.held_) {}
  RecordBytes& operator=(const RecordBytes& other) {
    if (this != &other) *this = RecordBytes(other);
    return *this;
  }
  RecordBytes(RecordBytes&& other) noexcept { *this = std::move(other); }
  RecordBytes& operator=(RecordBytes&& other) noexcept {
    blocks_ = std::move(other.blocks_);
    other.blocks_.clear();
    free_ = std::exchange(other.free_, nullptr);
    left_ = std::exchange(other.left_, 0);
    held_ = std::exchange(other.held_, 0);
    return *this;
  }

  // Room for `size` bytes.
  char* Allocate(std::size_t size);
  // Key and data copied one after the other.
  std::string_view Keep(std::string_view key, std::string_view data);
  // Holds `other`'s blocks as well.
  void Share(const RecordBytes& other);
  // Bytes in the blocks, viewed or not.
  std::size_t held() const { return held_; }

 private:
  std::vector<std::shared_ptr<char[]>> blocks_;
  char* free_ = nullptr;
  std::size_t left_ = 0;
  std::size_t held_ = 0;
};

// Key parts compare as unsigned bytes over the shorter length; on a tie the
// shorter key sorts first. Every lookup makes a few dozen comparisons, most
// of them decided in the first eight bytes: those are compared as one
// big-endian number.
inline int CompareKeys(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little) {
        x = __builtin_bswap64(x);
        y = __builtin_bswap64(y);
      }
      return x < y ? -1 : 1;
    }
  }
  for (; i < n; ++i) {
    const auto p = static_cast<std::uint8_t>(a[i]), q = static_cast<std::uint8_t>(b[i]);
    if (p != q) return p < q ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The contents of one page as held in memory.
struct PageContent {
  std::uint8_t level = 0;                // 0 for a leaf
  std::vector<Record> records;           // ascending by key part
  std::vector<std::uint32_t> children;   // inner pages: one child block per record
  // Where every record of `records` has its bytes.
  RecordBytes bytes;

  // A record of `key` and `data`, its bytes kept in `bytes`.
  Record Keep(std::string_view key, std::string_view data) {
    return Record(bytes.Keep(key, data), key.size());
  }
  // Copies the records' bytes into one block of their own. Every view of
  // the page's bytes then dangles: a change to the page's records only.
  void Compact();
  // Compact, when most of the bytes held are no longer viewed (`live` at
  // least their sum).
  void CompactIfWasteful(std::size_t live) {
    if (bytes.held() > 2 * live + 4096) Compact();
  }
};

// Size estimate of a record for the split rules: total length + 5, + 4 on
// inner pages.
inline std::uint32_t RecordEstimate(const Record& record, bool inner) {
  return static_cast<std::uint32_t>(record.size()) + 5 + (inner ? 4 : 0);
}

// Byte length of the page header with its child table.
inline std::uint32_t PageHeaderLength(const PageContent& page) {
  return kPageHeaderSize + (page.level > 0 ? 4 * static_cast<std::uint32_t>(page.records.size()) : 0);
}

// Prefix-coded body of a record sequence (no page header).
std::vector<std::uint8_t> EncodeBody(std::span<const Record> records);
// Bytes EncodeBody would produce, without producing them.
std::uint32_t EncodedBodySize(std::span<const Record> records);

// Run-length coding of a body; Compress never fails, Decompress checks
// every count against both buffers. `out` already holds the page header,
// whose last byte a leading repeat may copy; it is filled to `unpacked_size`.
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> body);
std::size_t CompressedSize(std::span<const std::uint8_t> body);
Status Decompress(std::span<const std::uint8_t> stream, std::uint32_t unpacked_size,
                  std::vector<std::uint8_t>& out);

// The stored form of a page for `block`: header, body raw or compressed
// (only when that saves a whole block), padded with 0xB0 to whole blocks.
// A page that needs more than 59 blocks gives an internal error.
Status EncodePage(const PageContent& page, std::uint32_t block, std::vector<std::uint8_t>& out);

// Parses stored page bytes (at least the page's stored blocks). Every count,
// length and offset is checked; any inconsistency is an internal error.
Status DecodePage(std::span<const std::uint8_t> stored, std::uint32_t block, PageContent& page);

// Rewrites the own offset and the child table of stored page bytes after
// the page moved or a child moved; the rest of the page is unchanged.
void PatchPageHeader(std::span<std::uint8_t> stored, const PageContent& page, std::uint32_t block);

// Reads the stored size of a page from its first bytes (0 when too short).
inline std::uint32_t StoredSizeOf(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 6 ? Load16(bytes.data() + 4) : 0;
}

}  // namespace tavero::vmr
