// The one ordered tree of a VMR file: every record of every table, ordered
// by key part, in pages of 1 to 59 blocks.
//
// Invariants:
//  (1) key parts are unique and ascend within a page and across the tree;
//  (2) every separator (record of an inner page) equals the key part of the
//      first record of its child's subtree, so a child's records all lie
//      between its separator and the next one;
//  (3) a child's level is one below its parent's; leaves have level 0;
//  (4) only the root may be empty, and an empty root is a leaf;
//  (5) a page's `size` is the sum of its records' size estimates, and no
//      page of two or more records is over the split limits after an
//      operation.
// Pages are reached through a PageStore, which loads, creates and releases
// them; the tree itself holds no state.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "storage/vmr/page_codec.h"
#include "storage/vmr/status.h"

namespace tavero::vmr {

// A page in memory. `id` is its block, or a temporary number until the
// commit gives it blocks; `page_class` is the number of blocks it occupies
// (0 while temporary).
struct Page {
  PageContent content;
  std::uint32_t id = 0;
  int page_class = 0;
  std::uint32_t size = 0;
  bool dirty = false;
  // The stored form from the last encoding, kept while only the page's own
  // number or its child pointers change (PatchPageHeader); empty when stale.
  std::vector<std::uint8_t> encoded;

  bool inner() const { return content.level > 0; }
  std::size_t count() const { return content.records.size(); }
  std::string_view first_key() const { return content.records.front().key(); }
};

class PageStore {
 public:
  virtual ~PageStore() = default;
  virtual Status LoadPage(std::uint32_t id, Page*& page) = 0;
  // The root page; with `create` an empty tree gets an empty root leaf,
  // otherwise `page` is null for an empty tree.
  virtual Status RootPage(bool create, Page*& page) = 0;
  virtual Page* NewPage(std::uint8_t level) = 0;
  // The page's records changed.
  virtual void MarkDirty(Page& page) = 0;
  // The page has left the tree; its blocks are freed at the commit.
  virtual void ReleasePage(Page& page) = 0;
};

enum class FindMode {
  kExact,          // key part equal to the key
  kFirstNotBelow,  // first record whose key part is >= the key
  kFirstAbove,     // first record > the key (the next record)
  kLastBelow,      // last record < the key (the previous record)
};

// The split limits, over the sum of the record estimates.
inline constexpr std::uint32_t kSplitSize = 15094;
inline constexpr std::uint32_t kSplitSizeMany = 4096;
inline constexpr std::size_t kSplitCountMany = 20;
// The longest record a leaf of 59 blocks holds alone, and the longest key
// part an inner page of 59 blocks holds alone.
inline constexpr std::uint32_t kMaxRecordLength = kMaxPageBytes - kPageHeaderSize - 5;
inline constexpr std::uint32_t kMaxKeyLength = kMaxPageBytes - kPageHeaderSize - 4 - 5;

struct TreeStatistics {
  std::uint64_t records = 0;
  std::uint64_t pages = 0;
  int height = 0;
  // Every page with its block and class, for the zone checks.
  std::vector<std::pair<std::uint32_t, int>> page_blocks;
};

class PageTree {
 public:
  explicit PageTree(PageStore& store) : store_(store) {}

  Status Find(FindMode mode, std::string_view key, std::optional<Record>& found);
  // Inserts a new record; an equal key part already present is an internal
  // error.
  Status Insert(Record record);
  // Replaces the data of the record with the same key part; 35 when absent.
  Status Replace(Record record);
  Status Erase(std::string_view key, bool& found);

  // The inner page that points at `page` and the index of that pointer.
  Status FindParent(const Page& page, Page*& parent, std::size_t& index);
  // Walks the whole tree and checks invariants (1) to (5).
  Status Validate(TreeStatistics& statistics);

 private:
  struct Step {
    Page* page;
    std::size_t index;
  };
  // Descends from the root to the page of `level` that covers `key`;
  // `path` receives the inner pages above it with the child index taken.
  // With `lower`, separators above a key below them are lowered to it.
  Status Descend(std::string_view key, int level, bool lower, std::vector<Step>& path, Page*& page,
                 std::vector<Page*>* lowered);
  Status FindInLeaves(FindMode mode, std::string_view key, std::optional<Record>& found);
  Status InsertAt(int level, Record record, std::uint32_t child);
  Status SplitIfNeeded(Page* page);
  bool NeedsSplit(const Page& page) const;
  Status RemoveFromParent(std::vector<Step>& path, Page* page);
  Status SetSeparators(std::vector<Step>& path, std::string_view key, std::vector<Page*>& changed);
  void ReplaceRecord(Page& page, std::size_t index, Record record);
  Status Neighbour(std::vector<Step>& path, bool forward, Page*& leaf);
  Status ValidatePage(Page* page, int level, std::string_view low, std::optional<std::string_view> high,
                      TreeStatistics& statistics);

  PageStore& store_;
};

}  // namespace tavero::vmr
