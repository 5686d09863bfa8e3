#include "storage/vmr/zone_table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace tavero::vmr {
namespace {

// Pages by first block: their class and a name that follows them on moves.
class FakeDisk final : public PageMover {
 public:
  struct Slot {
    int page_class;
    int name;
  };
  Status MovePage(std::uint32_t from, std::uint32_t to, int page_class) override {
    auto it = pages.find(from);
    EXPECT_NE(it, pages.end());
    EXPECT_EQ(it->second.page_class, page_class);
    Slot slot = it->second;
    pages.erase(it);
    EXPECT_FALSE(pages.contains(to));
    pages[to] = slot;
    ++moves;
    return Status::Ok();
  }
  std::map<std::uint32_t, Slot> pages;
  int moves = 0;
};

// Every zone is exactly tiled by the pages of its class.
void ExpectPacked(const FileHeader& h, const FakeDisk& disk) {
  EXPECT_EQ(h.zone_start[0], 0u);
  EXPECT_EQ(h.zone_end[0], 0u);
  std::size_t counted = 0;
  for (int i = 1; i < kZoneCount; ++i) {
    ASSERT_GE(h.zone_start[i], h.zone_end[i - 1]) << i;
    for (std::uint32_t b = h.zone_start[i]; b < h.zone_end[i]; b += static_cast<std::uint32_t>(i)) {
      auto it = disk.pages.find(b);
      ASSERT_NE(it, disk.pages.end()) << "hole in zone " << i << " at " << b;
      ASSERT_EQ(it->second.page_class, i);
      ++counted;
    }
    ASSERT_EQ((h.zone_end[i] - h.zone_start[i]) % static_cast<std::uint32_t>(i), 0u);
  }
  EXPECT_EQ(counted, disk.pages.size());
}

TEST(ZoneTable, NewFileStartsAtBlockZero) {
  FileHeader h;
  FakeDisk disk;
  ZoneTable zones(h, disk);
  std::uint32_t block;
  ASSERT_TRUE(zones.Allocate(3, block).ok());
  EXPECT_EQ(block, 0u);
  disk.pages[block] = {3, 1};
  ASSERT_TRUE(zones.Allocate(1, block).ok());
  // Zone 1 must lie below zone 3: zone 3 is pushed up.
  disk.pages[block] = {1, 2};
  EXPECT_EQ(h.zone_start[1], 0u);
  ExpectPacked(h, disk);
  // The page of zone 3 went up by a whole page; closing the gaps brings it
  // back down against zone 2.
  ASSERT_TRUE(zones.CloseGaps().ok());
  ExpectPacked(h, disk);
  EXPECT_EQ(h.UsedLength(), BlockOffset(4));
}

TEST(ZoneTable, ReleaseMovesTheLastPageIntoTheHole) {
  FileHeader h;
  FakeDisk disk;
  ZoneTable zones(h, disk);
  std::uint32_t blocks[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(zones.Allocate(2, blocks[i]).ok());
    disk.pages[blocks[i]] = {2, i};
  }
  std::uint32_t first = h.zone_start[2];
  int last_name = disk.pages[h.zone_end[2] - 2].name;
  disk.pages.erase(first);
  ASSERT_TRUE(zones.Release(2, first).ok());
  EXPECT_EQ(disk.moves, 1);
  EXPECT_EQ(h.zone_end[2] - h.zone_start[2], 4u);
  EXPECT_EQ(disk.pages[first].name, last_name);
}

TEST(ZoneTable, RandomAllocationsAndReleasesStayPacked) {
  std::mt19937 random(3);
  FileHeader h;
  FakeDisk disk;
  ZoneTable zones(h, disk);
  int name = 0;
  for (int step = 0; step < 4000; ++step) {
    if (disk.pages.empty() || random() % 5 < 3) {
      int page_class = 1 + static_cast<int>(random() % (random() % 4 == 0 ? 59 : 6));
      std::uint32_t block;
      ASSERT_TRUE(zones.Allocate(page_class, block).ok());
      ASSERT_FALSE(disk.pages.contains(block));
      disk.pages[block] = {page_class, name++};
    } else {
      auto it = disk.pages.begin();
      std::advance(it, random() % disk.pages.size());
      auto [block, slot] = *it;
      disk.pages.erase(it);
      ASSERT_TRUE(zones.Release(slot.page_class, block).ok());
    }
    if (step % 100 == 99) {
      ASSERT_TRUE(zones.CloseGaps().ok());
    }
    ExpectPacked(h, disk);
    if (testing::Test::HasFatalFailure()) return;
  }
  ASSERT_TRUE(zones.CloseGaps().ok());
  // After closing, no gap below a zone could hold one of its pages.
  for (int i = 2; i < kZoneCount; ++i) {
    if (h.zone_start[i] != h.zone_end[i]) {
      EXPECT_LT(h.zone_start[i] - h.zone_end[i - 1], static_cast<std::uint32_t>(i));
    }
  }
  ExpectPacked(h, disk);
}

}  // namespace
}  // namespace tavero::vmr
