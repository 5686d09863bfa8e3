#include "storage/vmr/page_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tavero::vmr {
namespace {

constexpr std::uint8_t kTotalFlag = 0x80;
constexpr std::uint8_t kKeyFlag = 0x40;
constexpr std::uint32_t kMaxPrefix = 63;
constexpr int kMinRun = 4;

// Bytes `previous` and `current` share at their start, at most 63:
// compared eight at a time.
std::uint32_t SharedPrefix(std::string_view previous, std::string_view current) {
  const std::size_t limit = std::min({previous.size(), current.size(), std::size_t{kMaxPrefix}});
  std::size_t n = 0;
  for (; n + 8 <= limit; n += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, previous.data() + n, 8);
    std::memcpy(&y, current.data() + n, 8);
    if (x != y) {
      const std::uint64_t difference = x ^ y;
      // The first differing byte in memory order.
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(difference)
                                                                  : std::countl_zero(difference);
      return static_cast<std::uint32_t>(n + static_cast<std::size_t>(bit / 8));
    }
  }
  while (n < limit && previous[n] == current[n]) ++n;
  return static_cast<std::uint32_t>(n);
}

// Reads a varint of at most 3 groups (a page never counts past 2^21).
bool GetVarint(std::span<const std::uint8_t> in, std::size_t& pos, std::uint32_t& value) {
  value = 0;
  for (int shift = 0; shift < 21; shift += 7) {
    if (pos >= in.size()) return false;
    std::uint8_t byte = in[pos++];
    value |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return true;
  }
  return false;
}

}  // namespace

char* RecordBytes::Allocate(std::size_t size) {
  if (size > left_) {
    // Blocks grow with the page, from a quarter block to 8 KiB.
    const std::size_t block = std::max(size, std::clamp<std::size_t>(held_ / 2, 64, 8192));
    blocks_.push_back(std::make_shared_for_overwrite<char[]>(block));
    free_ = blocks_.back().get();
    left_ = block;
    held_ += block;
  }
  char* at = free_;
  free_ += size;
  left_ -= size;
  return at;
}

std::string_view RecordBytes::Keep(std::string_view key, std::string_view data) {
  char* at = Allocate(key.size() + data.size());
  if (!key.empty()) std::memcpy(at, key.data(), key.size());
  if (!data.empty()) std::memcpy(at + key.size(), data.data(), data.size());
  return {at, key.size() + data.size()};
}

void RecordBytes::Share(const RecordBytes& other) {
  blocks_.insert(blocks_.end(), other.blocks_.begin(), other.blocks_.end());
  held_ += other.held_;
}

void PageContent::Compact() {
  std::size_t total = 0;
  for (const Record& record : records) total += record.size();
  RecordBytes fresh;
  char* at = fresh.Allocate(total);
  for (Record& record : records) {
    if (record.size()) std::memcpy(at, record.bytes().data(), record.size());
    record = Record(std::string_view(at, record.size()), record.key_length());
    at += record.size();
  }
  bytes = std::move(fresh);
}

// Body coding, one record after another:
//   flag byte: 0x80 total length follows, 0x40 key length follows,
//              low six bits = bytes shared with the previous record (0..63)
//   [total length, 16-bit LE] [key length, 16-bit LE]
//   record bytes from the shared count to the total length
// A length is present whenever it differs from the previous record's, and
// always on the first record of a page.
namespace {

// The most bytes the body of `records` can take.
std::size_t BodyBound(std::span<const Record> records) {
  std::size_t bound = 0;
  for (const Record& record : records) bound += record.size() + 5;
  return bound;
}

// Writes the body at `out` (room for BodyBound) and answers its length.
std::size_t EncodeBodyAt(std::span<const Record> records, std::uint8_t* out) {
  std::uint8_t* p = out;
  const Record* previous = nullptr;
  for (const Record& record : records) {
    std::uint32_t total = static_cast<std::uint32_t>(record.size());
    std::uint8_t flag = 0;
    std::uint32_t prefix = 0;
    if (!previous || previous->size() != total) flag |= kTotalFlag;
    if (!previous || previous->key_length() != record.key_length()) flag |= kKeyFlag;
    if (previous) prefix = SharedPrefix(previous->bytes(), record.bytes());
    *p++ = static_cast<std::uint8_t>(flag | prefix);
    if (flag & kTotalFlag) {
      Store16(p, total);
      p += 2;
    }
    if (flag & kKeyFlag) {
      Store16(p, record.key_length());
      p += 2;
    }
    if (total > prefix) std::memcpy(p, record.bytes().data() + prefix, total - prefix);
    p += total - prefix;
    previous = &record;
  }
  return static_cast<std::size_t>(p - out);
}

}  // namespace

std::vector<std::uint8_t> EncodeBody(std::span<const Record> records) {
  std::vector<std::uint8_t> out(BodyBound(records));
  out.resize(EncodeBodyAt(records, out.data()));
  return out;
}

std::uint32_t EncodedBodySize(std::span<const Record> records) {
  std::uint32_t size = 0;
  const Record* previous = nullptr;
  for (const Record& record : records) {
    size += 1 + static_cast<std::uint32_t>(record.size());
    if (!previous || previous->size() != record.size()) size += 2;
    if (!previous || previous->key_length() != record.key_length()) size += 2;
    if (previous) size -= SharedPrefix(previous->bytes(), record.bytes());
    previous = &record;
  }
  return size;
}

// Stream: (literal count, literals, repeat count)...; a repeat count n
// repeats the byte just written n more times. A run of 4 or more equal
// bytes ends a literal group with its first byte; the stream always ends
// with a literal count (0 when nothing follows the last run).
namespace {

std::uint32_t VarintSize(std::size_t value) {
  std::uint32_t n = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++n;
  }
  return n;
}

// Where the first run of kMinRun equal bytes at or after `from` starts;
// body.size() when there is none. Eight bytes at a time: byte k of
// w ^ (w >> 8) is zero when bytes k and k + 1 are equal.
std::size_t NextRun(std::span<const std::uint8_t> body, std::size_t from) {
  static_assert(kMinRun == 4);
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  // Starts 0 to 4 of a word: their three neighbour pairs lie in the word.
  constexpr std::uint64_t kStarts = 0x0000008080808080ULL;
  const std::size_t n = body.size();
  std::size_t i = from;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 5) {
      std::uint64_t w;
      std::memcpy(&w, body.data() + i, 8);
      const std::uint64_t d = w ^ (w >> 8);
      // High bit of each byte of d that is zero (exact: no carries across).
      const std::uint64_t zero = ~(((d & kLow7) + kLow7) | d) & kHigh;
      const std::uint64_t starts = zero & (zero >> 8) & (zero >> 16) & kStarts;
      if (starts) return i + static_cast<std::size_t>(std::countr_zero(starts) / 8);
    }
  }
  for (; i + kMinRun <= n; ++i) {
    const std::uint8_t byte = body[i];
    if (body[i + 1] == byte && body[i + 2] == byte && body[i + 3] == byte) return i;
  }
  return n;
}

// Calls literal(start, end) and repeat(count) in stream order; stops early
// when one of them answers false.
template <typename Literal, typename Repeat>
void ScanRuns(std::span<const std::uint8_t> body, Literal literal, Repeat repeat) {
  const std::size_t n = body.size();
  std::size_t literal_start = 0;
  for (;;) {
    const std::size_t run_start = NextRun(body, literal_start);
    if (run_start == n) break;
    std::size_t run_end = run_start + kMinRun;
    while (run_end < n && body[run_end] == body[run_start]) ++run_end;
    if (!literal(literal_start, run_start + 1) || !repeat(run_end - run_start - 1)) return;
    literal_start = run_end;
  }
  literal(literal_start, n);
}

// The stream of `body` into `out`, unless it would pass `limit` bytes:
// false then, with `out` left undefined.
bool CompressWithin(std::span<const std::uint8_t> body, std::size_t limit, std::vector<std::uint8_t>& out) {
  out.resize(limit + 8);
  std::uint8_t* const start = out.data();
  std::uint8_t* p = start;
  bool fits = true;
  const auto put_varint = [&](std::size_t value) {
    while (value >= 0x80) {
      *p++ = static_cast<std::uint8_t>(value | 0x80);
      value >>= 7;
    }
    *p++ = static_cast<std::uint8_t>(value);
  };
  ScanRuns(
      body,
      [&](std::size_t from, std::size_t to) {
        // A count takes at most 3 bytes (2^21 > any page).
        if (static_cast<std::size_t>(p - start) + 3 + (to - from) > limit + 8) return fits = false;
        put_varint(to - from);
        if (to > from) std::memcpy(p, body.data() + from, to - from);
        p += to - from;
        return fits = static_cast<std::size_t>(p - start) <= limit;
      },
      [&](std::size_t count) {
        put_varint(count);
        return fits = static_cast<std::size_t>(p - start) <= limit;
      });
  if (!fits || static_cast<std::size_t>(p - start) > limit) return false;
  out.resize(static_cast<std::size_t>(p - start));
  return true;
}

}  // namespace

std::size_t CompressedSize(std::span<const std::uint8_t> body) {
  std::size_t size = 0;
  ScanRuns(
      body,
      [&](std::size_t start, std::size_t end) {
        size += VarintSize(end - start) + (end - start);
        return true;
      },
      [&](std::size_t count) {
        size += VarintSize(count);
        return true;
      });
  return size;
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> out;
  CompressWithin(body, CompressedSize(body), out);
  return out;
}

namespace {

// Fills out[filled, out.size()) from the stream; out[filled - 1] is the byte
// a leading repeat copies.
Status DecompressAt(std::span<const std::uint8_t> stream, std::span<std::uint8_t> out, std::size_t filled) {
  VMR_CHECK(filled > 0 && filled <= out.size());
  const std::size_t size = out.size();
  std::size_t pos = 0;
  while (filled < size) {
    std::uint32_t literals;
    VMR_CHECK(GetVarint(stream, pos, literals));
    VMR_CHECK(literals <= size - filled && literals <= stream.size() - pos);
    if (literals) std::memcpy(out.data() + filled, stream.data() + pos, literals);
    pos += literals;
    filled += literals;
    if (filled == size) break;
    std::uint32_t repeat;
    VMR_CHECK(GetVarint(stream, pos, repeat));
    VMR_CHECK(repeat <= size - filled);
    std::memset(out.data() + filled, out[filled - 1], repeat);
    filled += repeat;
  }
  return Status::Ok();
}

}  // namespace

Status Decompress(std::span<const std::uint8_t> stream, std::uint32_t unpacked_size,
                  std::vector<std::uint8_t>& out) {
  VMR_CHECK(!out.empty() && out.size() <= unpacked_size);
  const std::size_t filled = out.size();
  out.resize(unpacked_size);
  return DecompressAt(stream, out, filled);
}

// Page header: own offset (32), stored size (16), unpacked size (16),
// buffer capacity (16), record count (16), level (8), then on inner pages
// one 32-bit child block per record. All little-endian.
Status EncodePage(const PageContent& page, std::uint32_t block, std::vector<std::uint8_t>& out) {
  const bool inner = page.level > 0;
  VMR_CHECK(!inner || page.children.size() == page.records.size());
  const std::uint32_t header_length = PageHeaderLength(page);
  // The body is written in place after the header; a compressed stream,
  // made once and given up as soon as it would not save a whole block,
  // then takes its place.
  out.resize(header_length + BodyBound(page.records));
  const std::size_t body_size = EncodeBodyAt(page.records, out.data() + header_length);
  VMR_CHECK(header_length + body_size <= 0xFFFF);
  const auto unpacked = static_cast<std::uint32_t>(header_length + body_size);
  std::uint32_t stored = unpacked;
  const std::uint32_t blocks = BlocksFor(unpacked);
  if (blocks > 1 && (blocks - 1) * kBlockSize > header_length) {
    std::vector<std::uint8_t> packed;
    const std::span<const std::uint8_t> body(out.data() + header_length, body_size);
    if (CompressWithin(body, (blocks - 1) * kBlockSize - header_length, packed)) {
      if (!packed.empty()) std::memcpy(out.data() + header_length, packed.data(), packed.size());
      stored = header_length + static_cast<std::uint32_t>(packed.size());
    }
  }
  VMR_CHECK(BlocksFor(stored) <= kMaxClass);
  out.resize(BlocksFor(stored) * kBlockSize);
  std::fill(out.begin() + stored, out.end(), kPadByte);
  std::uint8_t* p = out.data();
  Store32(p, static_cast<std::uint32_t>(BlockOffset(block)));
  Store16(p + 4, stored);
  Store16(p + 6, unpacked);
  Store16(p + 8, unpacked);
  Store16(p + 10, static_cast<std::uint32_t>(page.records.size()));
  p[12] = page.level;
  if (inner) {
    for (std::size_t i = 0; i < page.children.size(); ++i) Store32(p + 13 + 4 * i, page.children[i]);
  }
  return Status::Ok();
}

void PatchPageHeader(std::span<std::uint8_t> stored, const PageContent& page, std::uint32_t block) {
  Store32(stored.data(), static_cast<std::uint32_t>(BlockOffset(block)));
  if (page.level > 0) {
    for (std::size_t i = 0; i < page.children.size(); ++i) Store32(stored.data() + 13 + 4 * i, page.children[i]);
  }
}

Status DecodePage(std::span<const std::uint8_t> stored, std::uint32_t block, PageContent& page) {
  VMR_CHECK(stored.size() >= kPageHeaderSize);
  const std::uint8_t* p = stored.data();
  VMR_CHECK(Load32(p) == BlockOffset(block));
  const std::uint32_t stored_size = Load16(p + 4);
  const std::uint32_t unpacked_size = Load16(p + 6);
  const std::uint32_t capacity = Load16(p + 8);
  const std::uint32_t count = Load16(p + 10);
  const std::uint8_t level = p[12];
  const std::uint32_t header_length = kPageHeaderSize + (level > 0 ? 4 * count : 0);
  VMR_CHECK(stored_size <= stored.size() && stored_size <= kMaxPageBytes);
  VMR_CHECK(header_length <= stored_size && stored_size <= unpacked_size && unpacked_size <= capacity);
  VMR_CHECK(level == 0 || count > 0);

  // The body, unpacked when it is stored compressed (into a buffer that is
  // not cleared first: every byte is written).
  std::unique_ptr<std::uint8_t[]> unpacked;
  std::span<const std::uint8_t> body = stored.subspan(0, stored_size);
  if (stored_size < unpacked_size) {
    unpacked = std::make_unique_for_overwrite<std::uint8_t[]>(unpacked_size);
    std::memcpy(unpacked.get(), p, header_length);
    const std::span<std::uint8_t> out(unpacked.get(), unpacked_size);
    VMR_TRY(DecompressAt(stored.subspan(header_length, stored_size - header_length), out, header_length));
    body = out;
  }
  const std::size_t end = body.size();

  // First pass: every record's lengths and prefix checked, their total
  // summed; the second copies them into one buffer, which they view.
  struct Coded {
    std::uint32_t total, key_length, prefix;
    std::size_t suffix;  // where the bytes after the prefix lie in `body`
  };
  const auto next = [&](std::size_t& pos, const Coded* previous, Coded& record) -> Status {
    VMR_CHECK(pos < end);
    const std::uint8_t flag = body[pos++];
    record.prefix = flag & 0x3F;
    record.total = previous ? previous->total : 0;
    record.key_length = previous ? previous->key_length : 0;
    VMR_CHECK(previous || ((flag & kTotalFlag) && (flag & kKeyFlag)));
    if (flag & kTotalFlag) {
      VMR_CHECK(end - pos >= 2);
      record.total = Load16(&body[pos]);
      pos += 2;
    }
    if (flag & kKeyFlag) {
      VMR_CHECK(end - pos >= 2);
      record.key_length = Load16(&body[pos]);
      pos += 2;
    }
    VMR_CHECK(record.total < kRecordLimit && record.key_length <= record.total);
    VMR_CHECK(level == 0 || record.key_length == record.total);
    VMR_CHECK(record.prefix <= record.total && (previous ? record.prefix <= previous->total : record.prefix == 0));
    VMR_CHECK(record.total - record.prefix <= end - pos);
    record.suffix = pos;
    pos += record.total - record.prefix;
    return Status::Ok();
  };
  std::size_t bytes = 0;
  {
    std::size_t pos = header_length;
    Coded previous{}, record{};
    for (std::uint32_t i = 0; i < count; ++i) {
      VMR_TRY(next(pos, i ? &previous : nullptr, record));
      bytes += record.total;
      previous = record;
    }
    VMR_CHECK(pos == end);
  }

  PageContent result;
  result.level = level;
  result.records.reserve(count);
  if (level > 0) {
    result.children.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) result.children[i] = Load32(p + 13 + 4 * i);
  }
  char* out = result.bytes.Allocate(bytes);
  std::size_t pos = header_length;
  Coded previous{}, record{};
  for (std::uint32_t i = 0; i < count; ++i) {
    VMR_TRY(next(pos, i ? &previous : nullptr, record));
    // The shared bytes are the previous record's, just written before.
    if (record.prefix) std::memmove(out, out - previous.total, record.prefix);
    if (record.total > record.prefix) std::memcpy(out + record.prefix, &body[record.suffix], record.total - record.prefix);
    result.records.push_back(
        Record(std::string_view(out, record.total), record.key_length));
    out += record.total;
    // Keys ascend strictly: equal key parts never exist in the file.
    VMR_CHECK(i == 0 || CompareKeys(result.records[i - 1].key(), result.records[i].key()) < 0);
    previous = record;
  }
  page = std::move(result);
  return Status::Ok();
}

}  // namespace tavero::vmr
