#include "storage/vmr/page_codec.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace tavero::vmr {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A record whose bytes live as long as the test program.
Record Make(const std::string& key, const std::string& data = {}) {
  static RecordBytes kept;
  return Record(kept.Keep(key, data), key.size());
}

Bytes Decompressed(const Bytes& header, const Bytes& stream, std::uint32_t size) {
  Bytes out = header;
  Status status = Decompress(stream, size, out);
  EXPECT_TRUE(status.ok()) << status.value();
  return Bytes(out.begin() + static_cast<std::ptrdiff_t>(header.size()), out.end());
}

TEST(RunLengthCoding, EncodesRunsCanonically) {
  struct Case {
    std::string body;
    Bytes stream;
  } cases[] = {
      // No run: one literal group, no repeat.
      {"abc", {3, 'a', 'b', 'c'}},
      // Runs shorter than 4 stay literal.
      {"aabbbc", {6, 'a', 'a', 'b', 'b', 'b', 'c'}},
      // A run ends its literal group with its first byte; the final literal
      // count is written even when nothing follows.
      {"abcccc", {3, 'a', 'b', 'c', 3, 0}},
      {"ccccd", {1, 'c', 3, 1, 'd'}},
      {"xxxxyyyyy", {1, 'x', 3, 1, 'y', 4, 0}},
      {"", {0}},
  };
  for (const Case& c : cases) {
    Bytes body(c.body.begin(), c.body.end());
    EXPECT_EQ(Compress(body), c.stream) << c.body;
    EXPECT_EQ(Decompressed({0xEE}, c.stream, static_cast<std::uint32_t>(1 + body.size())), body) << c.body;
  }
}

TEST(RunLengthCoding, ThreeHundredEqualBytes) {
  Bytes body(300, 0x41);
  EXPECT_EQ(Compress(body), (Bytes{1, 0x41, 0xAB, 0x02, 0}));
}

// Runs are found eight bytes at a time: a run of 4 at any offset, a run of
// 3 nowhere, whatever surrounds them.
TEST(RunLengthCoding, FindsRunsAtEveryOffset) {
  for (std::size_t offset = 0; offset < 24; ++offset) {
    for (std::size_t run = 2; run <= 9; ++run) {
      for (std::size_t after : {0u, 1u, 5u, 13u}) {
        Bytes body;
        for (std::size_t i = 0; i < offset; ++i) body.push_back(static_cast<std::uint8_t>(i % 2 ? 'a' : 'b'));
        body.insert(body.end(), run, 'x');
        for (std::size_t i = 0; i < after; ++i) body.push_back(static_cast<std::uint8_t>('0' + i % 3));
        Bytes expected;
        if (run >= 4) {
          expected.push_back(static_cast<std::uint8_t>(offset + 1));
          expected.insert(expected.end(), body.begin(), body.begin() + static_cast<std::ptrdiff_t>(offset + 1));
          expected.push_back(static_cast<std::uint8_t>(run - 1));
          expected.push_back(static_cast<std::uint8_t>(after));
          expected.insert(expected.end(), body.end() - static_cast<std::ptrdiff_t>(after), body.end());
        } else {
          expected.push_back(static_cast<std::uint8_t>(body.size()));
          expected.insert(expected.end(), body.begin(), body.end());
        }
        EXPECT_EQ(Compress(body), expected) << offset << " " << run << " " << after;
        EXPECT_EQ(CompressedSize(body), expected.size());
      }
    }
  }
}

TEST(RunLengthCoding, LeadingRepeatCopiesTheLastHeaderByte) {
  // Literal count 0, then a repeat of the byte before the body.
  EXPECT_EQ(Decompressed({1, 2, 7}, {0, 3}, 6), (Bytes{7, 7, 7}));
  // The stream may end right after literals once the size is reached.
  EXPECT_EQ(Decompressed({1}, {2, 'a', 'b'}, 3), (Bytes{'a', 'b'}));
}

TEST(RunLengthCoding, RoundTripsRandomBodies) {
  std::mt19937 random(7);
  for (int i = 0; i < 500; ++i) {
    Bytes body(random() % 3000);
    for (auto& b : body) b = static_cast<std::uint8_t>(random() % 4 == 0 ? random() : 'z');
    Bytes stream = Compress(body);
    EXPECT_EQ(Decompressed({9}, stream, static_cast<std::uint32_t>(1 + body.size())), body);
  }
}

TEST(RunLengthCoding, DamagedStreamsAreRefused) {
  const Bytes cases[] = {
      {},                 // nothing at all
      {5, 'a', 'b'},      // literals run past the stream
      {1, 'a', 200, 1},   // repeat past the unpacked size
      {1, 'a'},           // ends before the size is reached, no repeat count
      {0x80, 0x80, 0x80, 0x80},  // endless varint
  };
  for (const Bytes& stream : cases) {
    Bytes out = {0};
    EXPECT_TRUE(Decompress(stream, 10, out).is_internal());
  }
}

TEST(BodyCoding, SetsLengthFlagsOnlyWhenLengthsChange) {
  std::vector<Record> records = {Make("ab", "12"), Make("ac", "34"), Make("b", "567")};
  Bytes body = EncodeBody(records);
  Bytes expected = {0xC0, 4, 0, 2, 0, 'a', 'b', '1', '2',  // first: both lengths
                    0x01, 'c', '3', '4',                  // shares "a", same lengths
                    0x40, 1, 0, 'b', '5', '6', '7'};      // only the key length differs
  EXPECT_EQ(body, expected);
  EXPECT_EQ(EncodedBodySize(records), body.size());
}

TEST(BodyCoding, SharedPrefixStopsAt63) {
  std::string common(80, 'k');
  std::vector<Record> records = {Make(common + "a"), Make(common + "b")};
  Bytes body = EncodeBody(records);
  const std::size_t second = 1 + 4 + 81;
  EXPECT_EQ(body[second], 63);
  EXPECT_EQ(body.size(), second + 1 + (81 - 63));
  EXPECT_EQ(EncodedBodySize(records), body.size());
}

TEST(BodyCoding, SharedPrefixCountsEveryByte) {
  for (std::size_t shared = 0; shared <= 70; ++shared) {
    const std::string common(shared, 'k');
    std::vector<Record> records = {Make(common + "a" + common), Make(common + "b" + common)};
    Bytes body = EncodeBody(records);
    EXPECT_EQ(body[1 + 4 + records[0].size()], std::min<std::size_t>(shared, 63)) << shared;
    EXPECT_EQ(EncodedBodySize(records), body.size());
  }
}

// A page keeps its records' bytes in blocks: bytes of replaced records are
// dropped by compaction, never those still viewed, and a copy of a page
// fills blocks of its own.
TEST(PageRecords, ReplacedBytesAreDroppedAndViewedOnesKept) {
  PageContent page;
  std::map<std::string, std::string> model;
  for (int i = 0; i < 50; ++i) {
    const std::string key = "k" + std::to_string(100 + i);
    model[key] = std::string(20, static_cast<char>('a' + i % 26));
  }
  for (const auto& [key, data] : model) page.records.push_back(page.Keep(key, data));
  std::size_t live = 0;
  for (int round = 0; round < 5000; ++round) {
    const std::size_t index = static_cast<std::size_t>(round * 7 % 50);
    const std::string key(page.records[index].key());
    model[key] = std::string(static_cast<std::size_t>(round % 90), static_cast<char>('A' + round % 26));
    page.records[index] = page.Keep(key, model[key]);
    live = 0;
    for (const Record& r : page.records) live += r.size();
    page.CompactIfWasteful(live);
    ASSERT_LE(page.bytes.held(), 2 * live + 4096 + 8192);
  }
  std::size_t i = 0;
  for (const auto& [key, data] : model) {
    EXPECT_EQ(page.records[i].key(), key);
    EXPECT_EQ(page.records[i].data(), data);
    ++i;
  }
  PageContent copy = page;
  copy.records.push_back(copy.Keep("z", std::string(30, 'z')));
  page.records.push_back(page.Keep("y", std::string(30, 'y')));
  EXPECT_EQ(copy.records.back().data(), std::string(30, 'z'));
  EXPECT_EQ(page.records.back().data(), std::string(30, 'y'));
  EXPECT_EQ(copy.records.front(), page.records.front());
}

PageContent RandomPage(std::mt19937& random, std::uint8_t level, int count) {
  std::set<std::string> keys;
  while (static_cast<int>(keys.size()) < count) {
    std::string key = "T\x01";
    int n = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < n; ++i) key += static_cast<char>('a' + random() % 3);
    keys.insert(key);
  }
  PageContent page;
  page.level = level;
  for (const std::string& key : keys) {
    std::string data = level ? "" : std::string(random() % 40, static_cast<char>(random() % 2 ? ' ' : random()));
    page.records.push_back(page.Keep(key, data));
    if (level) page.children.push_back(static_cast<std::uint32_t>(random()));
  }
  return page;
}

TEST(PageCoding, RoundTripsLeafAndInnerPages) {
  std::mt19937 random(11);
  for (int i = 0; i < 300; ++i) {
    PageContent page = RandomPage(random, static_cast<std::uint8_t>(i % 3), 1 + static_cast<int>(random() % 60));
    Bytes stored;
    ASSERT_TRUE(EncodePage(page, 42, stored).ok());
    ASSERT_EQ(stored.size() % kBlockSize, 0u);
    EXPECT_EQ(Load32(stored.data()), BlockOffset(42));
    PageContent decoded;
    Status status = DecodePage(stored, 42, decoded);
    ASSERT_TRUE(status.ok()) << status.value();
    EXPECT_EQ(decoded.level, page.level);
    EXPECT_EQ(decoded.records, page.records);
    EXPECT_EQ(decoded.children, page.children);
    // Padding after the stored size.
    for (std::size_t b = StoredSizeOf(stored); b < stored.size(); ++b) ASSERT_EQ(stored[b], kPadByte);
  }
}

TEST(PageCoding, CompressesOnlyWhenAWholeBlockIsSaved) {
  // Raw: 13 + 5 + 200 = 218 bytes, one block either way: stored raw.
  PageContent small;
  small.records.push_back(Make("k", std::string(199, 'x')));
  Bytes stored;
  ASSERT_TRUE(EncodePage(small, 0, stored).ok());
  EXPECT_EQ(Load16(stored.data() + 4), Load16(stored.data() + 6));
  EXPECT_EQ(stored.size(), kBlockSize);

  // Raw 13 + 5 + 300 needs two blocks; compressed fits one.
  PageContent big;
  big.records.push_back(Make("k", std::string(299, 'x')));
  ASSERT_TRUE(EncodePage(big, 0, stored).ok());
  EXPECT_EQ(Load16(stored.data() + 6), 318);
  EXPECT_LT(Load16(stored.data() + 4), 256);
  EXPECT_EQ(stored.size(), kBlockSize);
  PageContent decoded;
  ASSERT_TRUE(DecodePage(stored, 0, decoded).ok());
  EXPECT_EQ(decoded.records, big.records);
}

TEST(PageCoding, EmptyLeafIsOneBlock) {
  Bytes stored;
  ASSERT_TRUE(EncodePage(PageContent{}, 3, stored).ok());
  EXPECT_EQ(stored.size(), kBlockSize);
  EXPECT_EQ(Load16(stored.data() + 4), kPageHeaderSize);
}

TEST(PageCoding, DamagedPagesGiveInternalErrorsNotCrashes) {
  std::mt19937 random(5);
  PageContent page = RandomPage(random, 1, 30);
  Bytes stored;
  ASSERT_TRUE(EncodePage(page, 7, stored).ok());
  PageContent decoded;
  // Wrong own offset, count beyond the data, stored size beyond the buffer,
  // unpacked size below the stored size.
  {
    Bytes bad = stored;
    EXPECT_TRUE(DecodePage(bad, 8, decoded).is_internal());
    Store16(bad.data() + 10, 2000);
    EXPECT_TRUE(DecodePage(bad, 7, decoded).is_internal());
  }
  {
    Bytes bad = stored;
    Store16(bad.data() + 4, static_cast<std::uint32_t>(bad.size() + 1));
    EXPECT_TRUE(DecodePage(bad, 7, decoded).is_internal());
    bad = stored;
    Store16(bad.data() + 6, 20);
    EXPECT_TRUE(DecodePage(bad, 7, decoded).is_internal());
  }
  // Keys out of order count as a duplicate: refused.
  {
    PageContent unordered;
    unordered.records = {Make("b"), Make("a")};
    Bytes bad;
    ASSERT_TRUE(EncodePage(unordered, 0, bad).ok());
    EXPECT_TRUE(DecodePage(bad, 0, decoded).is_internal());
  }
  // Random byte flips never read outside the buffer (run under sanitizers).
  for (int i = 0; i < 20000; ++i) {
    Bytes bad = stored;
    int flips = 1 + static_cast<int>(random() % 4);
    for (int f = 0; f < flips; ++f) bad[random() % bad.size()] = static_cast<std::uint8_t>(random());
    (void)DecodePage(bad, 7, decoded);
  }
}

TEST(KeyOrder, ComparesBytesThenLength) {
  EXPECT_LT(CompareKeys("ab", "abc"), 0);
  EXPECT_GT(CompareKeys("b", "abc"), 0);
  EXPECT_EQ(CompareKeys("abc", "abc"), 0);
  EXPECT_GT(CompareKeys("\xFF", "\x01"), 0);  // unsigned bytes
  EXPECT_LT(CompareKeys("", std::string_view("\0", 1)), 0);
}

}  // namespace
}  // namespace tavero::vmr
