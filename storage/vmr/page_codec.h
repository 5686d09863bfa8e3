// Records, their order, and the coding of a page between memory and disk:
// the page header, the prefix-coded body and its run-length compression.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/vmr/format.h"
#include "storage/vmr/status.h"

namespace tavero::vmr {

// A record: its key part (the first key_length bytes), then its data part.
struct Record {
  std::string bytes;
  std::uint16_t key_length = 0;

  std::string_view key() const { return std::string_view(bytes).substr(0, key_length); }
  std::string_view data() const { return std::string_view(bytes).substr(key_length); }
  bool operator==(const Record&) const = default;
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
};

// Size estimate of a record for the split rules: total length + 5, + 4 on
// inner pages.
inline std::uint32_t RecordEstimate(const Record& record, bool inner) {
  return static_cast<std::uint32_t>(record.bytes.size()) + 5 + (inner ? 4 : 0);
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
