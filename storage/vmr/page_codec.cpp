#include "storage/vmr/page_codec.h"

#include <algorithm>
#include <cstring>

namespace tavero::vmr {
namespace {

constexpr std::uint8_t kTotalFlag = 0x80;
constexpr std::uint8_t kKeyFlag = 0x40;
constexpr std::uint32_t kMaxPrefix = 63;
constexpr int kMinRun = 4;

std::uint32_t SharedPrefix(std::string_view previous, std::string_view current) {
  std::uint32_t limit = static_cast<std::uint32_t>(std::min({previous.size(), current.size(), std::size_t{kMaxPrefix}}));
  std::uint32_t n = 0;
  while (n < limit && previous[n] == current[n]) ++n;
  return n;
}

void PutVarint(std::vector<std::uint8_t>& out, std::uint32_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(value));
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

// Body coding, one record after another:
//   flag byte: 0x80 total length follows, 0x40 key length follows,
//              low six bits = bytes shared with the previous record (0..63)
//   [total length, 16-bit LE] [key length, 16-bit LE]
//   record bytes from the shared count to the total length
// A length is present whenever it differs from the previous record's, and
// always on the first record of a page.
std::vector<std::uint8_t> EncodeBody(std::span<const Record> records) {
  std::size_t bound = 0;
  for (const Record& record : records) bound += record.bytes.size() + 5;
  std::vector<std::uint8_t> out(bound);
  std::uint8_t* p = out.data();
  const Record* previous = nullptr;
  for (const Record& record : records) {
    std::uint32_t total = static_cast<std::uint32_t>(record.bytes.size());
    std::uint8_t flag = 0;
    std::uint32_t prefix = 0;
    if (!previous || previous->bytes.size() != total) flag |= kTotalFlag;
    if (!previous || previous->key_length != record.key_length) flag |= kKeyFlag;
    if (previous) prefix = SharedPrefix(previous->bytes, record.bytes);
    *p++ = static_cast<std::uint8_t>(flag | prefix);
    if (flag & kTotalFlag) {
      Store16(p, total);
      p += 2;
    }
    if (flag & kKeyFlag) {
      Store16(p, record.key_length);
      p += 2;
    }
    if (total > prefix) std::memcpy(p, record.bytes.data() + prefix, total - prefix);
    p += total - prefix;
    previous = &record;
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return out;
}

std::uint32_t EncodedBodySize(std::span<const Record> records) {
  std::uint32_t size = 0;
  const Record* previous = nullptr;
  for (const Record& record : records) {
    size += 1 + static_cast<std::uint32_t>(record.bytes.size());
    if (!previous || previous->bytes.size() != record.bytes.size()) size += 2;
    if (!previous || previous->key_length != record.key_length) size += 2;
    if (previous) size -= SharedPrefix(previous->bytes, record.bytes);
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

// Calls literal(start, end) and repeat(count) in stream order.
template <typename Literal, typename Repeat>
void ScanRuns(std::span<const std::uint8_t> body, Literal literal, Repeat repeat) {
  std::size_t literal_start = 0;
  std::size_t i = 0;
  const std::size_t n = body.size();
  while (i < n) {
    std::size_t run = 1;
    const std::uint8_t byte = body[i];
    while (i + run < n && body[i + run] == byte) ++run;
    if (run >= kMinRun) {
      literal(literal_start, i + 1);
      repeat(run - 1);
      literal_start = i + run;
    }
    i += run;
  }
  literal(literal_start, n);
}

}  // namespace

std::size_t CompressedSize(std::span<const std::uint8_t> body) {
  std::size_t size = 0;
  ScanRuns(
      body, [&](std::size_t start, std::size_t end) { size += VarintSize(end - start) + (end - start); },
      [&](std::size_t count) { size += VarintSize(count); });
  return size;
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> out;
  out.reserve(CompressedSize(body));
  ScanRuns(
      body,
      [&](std::size_t start, std::size_t end) {
        PutVarint(out, static_cast<std::uint32_t>(end - start));
        out.insert(out.end(), body.begin() + static_cast<std::ptrdiff_t>(start),
                   body.begin() + static_cast<std::ptrdiff_t>(end));
      },
      [&](std::size_t count) { PutVarint(out, static_cast<std::uint32_t>(count)); });
  return out;
}

Status Decompress(std::span<const std::uint8_t> stream, std::uint32_t unpacked_size,
                  std::vector<std::uint8_t>& out) {
  VMR_CHECK(!out.empty() && out.size() <= unpacked_size);
  std::size_t pos = 0;
  std::size_t filled = out.size();
  out.resize(unpacked_size);
  while (filled < unpacked_size) {
    std::uint32_t literals;
    VMR_CHECK(GetVarint(stream, pos, literals));
    VMR_CHECK(literals <= unpacked_size - filled && literals <= stream.size() - pos);
    if (literals) std::memcpy(out.data() + filled, stream.data() + pos, literals);
    pos += literals;
    filled += literals;
    if (filled == unpacked_size) break;
    std::uint32_t repeat;
    VMR_CHECK(GetVarint(stream, pos, repeat));
    VMR_CHECK(repeat <= unpacked_size - filled);
    std::memset(out.data() + filled, out[filled - 1], repeat);
    filled += repeat;
  }
  return Status::Ok();
}

// Page header: own offset (32), stored size (16), unpacked size (16),
// buffer capacity (16), record count (16), level (8), then on inner pages
// one 32-bit child block per record. All little-endian.
Status EncodePage(const PageContent& page, std::uint32_t block, std::vector<std::uint8_t>& out) {
  const bool inner = page.level > 0;
  VMR_CHECK(!inner || page.children.size() == page.records.size());
  const std::uint32_t header_length = PageHeaderLength(page);
  std::vector<std::uint8_t> body = EncodeBody(page.records);
  const std::uint32_t unpacked = header_length + static_cast<std::uint32_t>(body.size());
  VMR_CHECK(unpacked <= 0xFFFF);
  std::uint32_t stored = unpacked;
  std::vector<std::uint8_t> packed;
  const std::vector<std::uint8_t>* stored_body = &body;
  const std::size_t packed_size = CompressedSize(body);
  if (BlocksFor(header_length + static_cast<std::uint32_t>(packed_size)) < BlocksFor(unpacked)) {
    packed = Compress(body);
    stored = header_length + static_cast<std::uint32_t>(packed.size());
    stored_body = &packed;
  }
  VMR_CHECK(BlocksFor(stored) <= kMaxClass);
  out.assign(BlocksFor(stored) * kBlockSize, kPadByte);
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
  if (!stored_body->empty()) std::memcpy(p + header_length, stored_body->data(), stored_body->size());
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

  std::vector<std::uint8_t> unpacked(p, p + header_length);
  if (stored_size < unpacked_size) {
    VMR_TRY(Decompress(stored.subspan(header_length, stored_size - header_length), unpacked_size, unpacked));
  } else {
    unpacked.assign(p, p + stored_size);
  }

  PageContent result;
  result.level = level;
  result.records.reserve(count);
  if (level > 0) {
    result.children.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) result.children[i] = Load32(p + 13 + 4 * i);
  }
  std::size_t pos = header_length;
  const std::size_t end = unpacked.size();
  const Record* previous = nullptr;
  for (std::uint32_t i = 0; i < count; ++i) {
    VMR_CHECK(pos < end);
    const std::uint8_t flag = unpacked[pos++];
    const std::uint32_t prefix = flag & 0x3F;
    std::uint32_t total = previous ? static_cast<std::uint32_t>(previous->bytes.size()) : 0;
    std::uint32_t key_length = previous ? previous->key_length : 0;
    VMR_CHECK(previous || ((flag & kTotalFlag) && (flag & kKeyFlag)));
    if (flag & kTotalFlag) {
      VMR_CHECK(end - pos >= 2);
      total = Load16(&unpacked[pos]);
      pos += 2;
    }
    if (flag & kKeyFlag) {
      VMR_CHECK(end - pos >= 2);
      key_length = Load16(&unpacked[pos]);
      pos += 2;
    }
    VMR_CHECK(total < kRecordLimit && key_length <= total);
    VMR_CHECK(level == 0 || key_length == total);
    VMR_CHECK(prefix <= total && (previous ? prefix <= previous->bytes.size() : prefix == 0));
    VMR_CHECK(total - prefix <= end - pos);
    Record record;
    record.key_length = static_cast<std::uint16_t>(key_length);
    record.bytes.reserve(total);
    if (prefix) record.bytes.assign(previous->bytes, 0, prefix);
    record.bytes.append(reinterpret_cast<const char*>(&unpacked[pos]), total - prefix);
    pos += total - prefix;
    // Keys ascend strictly: equal key parts never exist in the file.
    VMR_CHECK(!previous || CompareKeys(previous->key(), record.key()) < 0);
    result.records.push_back(std::move(record));
    previous = &result.records.back();
  }
  VMR_CHECK(pos == end);
  page = std::move(result);
  return Status::Ok();
}

}  // namespace tavero::vmr
