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
//      operation;
//  (6) a leaf cursor whose epoch equals the tree's epoch holds live pages:
//      no inner page has changed, and no page has been split, released or
//      dropped from the store, since it was taken. Every such change moves
//      the epoch on (Changed, Split, RemoveFromParent, Forget).
// Pages are reached through a PageStore, which loads, creates and releases
// them. Beyond them the tree keeps its leaf cursors: the paths of recent
// descents, so that a lookup whose key falls inside the key range of a
// remembered leaf (the bounds its parents' separators give it) starts on
// that leaf instead of at the root. A scan stepping from record to record,
// the status records of a table and appends at the end of a run of records
// each stay on their leaf this way. And it keeps a leaf directory: the key
// ranges of the leaves descended to, in key order, so that a lookup that
// needs no path (a record looked up by its key part, as the data records a
// scan in key order reaches at random are) finds its leaf with one binary
// search instead of a descent. Both hold only while invariant (6) does.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
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
  // Reached by a lookup (through the cache, a leaf cursor, the leaf
  // directory or a position) since the cache was last trimmed.
  bool referenced = false;
  // The stored form from the last encoding, kept while only the page's own
  // number or its child pointers change (PatchPageHeader); empty when stale.
  std::vector<std::uint8_t> encoded;
  // Search aid, so that a binary search over the page seldom has to reach
  // the records' bytes: `shared` leading bytes are common to every key part
  // of the page, and heads[i] holds the next 8 bytes of record i's key part
  // (zero-padded) as a big-endian number. Built by the first search of a
  // page, kept up by inserts and erasures, and dropped (left shorter than
  // the record list) by any other change to the key parts.
  std::vector<std::uint64_t> heads;
  std::uint32_t shared = 0;
  // Where the last insert put its record (kNoInsert: none since the page was
  // read, split or lost a record): an insert right after it continues a run
  // of records arriving in order, and a split it causes is cut there.
  static constexpr std::size_t kNoInsert = ~std::size_t{0};
  std::size_t last_insert = kNoInsert;
  // Where the last lookup in the page found its record: a lookup of the
  // same key or of one just after it (a scan stepping through the page)
  // is settled by comparing with that record and the next instead of
  // searching. Only a hint: it is checked against the keys every time.
  std::size_t last_found = 0;

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

// Levels above the leaves, at most; a deeper tree is a damaged one.
inline constexpr int kMaxHeight = 32;

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

  Status Find(FindMode mode, std::string_view key, std::optional<RecordCopy>& found);
  // The same without a copy: `found` points into its page (null when
  // nothing is found) and stays valid until the tree next changes.
  Status Find(FindMode mode, std::string_view key, const Record*& found);
  // Where a lookup found its record: the next lookup from that record's key
  // part can take its neighbour on the leaf without a search (StepFrom). Holds
  // a live leaf while the tree's epoch is `epoch` (invariant (6)).
  struct Position {
    const PageTree* tree = nullptr;
    Page* leaf = nullptr;
    std::size_t index = 0;
    std::uint64_t epoch = 0;
  };
  // Find, noting in `position` where the record lies.
  Status Find(FindMode mode, std::string_view key, const Record*& found, Position& position);
  // The record after (`forward`) or before the one `position` holds, moving
  // `position` onto it, when that one's key part is still `key` and the
  // neighbour lies on the same leaf; null when Find must answer.
  const Record* StepFrom(Position& position, std::string_view key, bool forward);
  // Inserts a new record of `key` and `data`; an equal key part already
  // present is an internal error.
  Status Insert(std::string_view key, std::string_view data);
  // Replaces the data of the record with the same key part; 35 when absent.
  Status Replace(std::string_view key, std::string_view data);
  // Finds the record with key part `key` and, when `change` answers true,
  // gives it the data `change` left in its argument; `found` is false when
  // there is no such record.
  Status Update(std::string_view key, const std::function<bool(std::string& data)>& change, bool& found);
  Status Erase(std::string_view key, bool& found);

  // The inner page that points at `page` and the index of that pointer.
  Status FindParent(const Page& page, Page*& parent, std::size_t& index);
  // Walks the whole tree and checks invariants (1) to (5).
  Status Validate(TreeStatistics& statistics);

  // Forgets every leaf cursor: the store dropped or renumbered pages, or
  // another station changed the file.
  void Forget() { ++epoch_; }

 private:
  struct Step {
    Page* page;
    std::size_t index;
  };
  // The inner pages above a page, from the root down, with the child index
  // taken at each; fixed capacity, so a descent allocates nothing.
  class Path {
   public:
    Path() = default;
    // Copies only the steps in use.
    Path(const Path& other) { *this = other; }
    Path& operator=(const Path& other) {
      std::copy_n(other.steps_.begin(), other.size_, steps_.begin());
      size_ = other.size_;
      return *this;
    }
    void clear() { size_ = 0; }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    void push_back(Step step) { steps_[size_++] = step; }
    void pop_back() { --size_; }
    void resize(std::size_t size) { size_ = size; }
    Step& back() { return steps_[size_ - 1]; }
    const Step& back() const { return steps_[size_ - 1]; }
    Step& operator[](std::size_t i) { return steps_[i]; }
    const Step& operator[](std::size_t i) const { return steps_[i]; }

   private:
    std::array<Step, kMaxHeight + 1> steps_;
    std::size_t size_ = 0;
  };
  // The keys a leaf covers: from `low` (none: from the start) up to `high`
  // (none: to the end), separators of inner pages that stay unchanged while
  // the epoch does; `low_head` and `high_head` are their first 8 bytes as
  // numbers, which settle most keys without reaching the separators' bytes.
  struct LeafRange {
    Page* leaf = nullptr;
    std::optional<std::string_view> low, high;
    std::uint64_t low_head = 0, high_head = ~std::uint64_t{0};
  };
  // A remembered descent to a leaf; see invariant (6).
  struct LeafCursor {
    Path path;  // when `has_path`
    bool has_path = false;
    LeafRange range;
    std::uint64_t epoch = 0;
    std::uint64_t used = 0;
  };
  // A key's cursor lies in one of two places picked from its first 5 bytes
  // (a table number and a kind of record: the records of one run), so
  // that a lookup checks two cursors, not all of them, and the runs one
  // operation touches (a key, the rows, the memos, the status records)
  // seldom take each other's place.
  static constexpr std::size_t kLeafCursors = 16;
  static constexpr std::size_t kRunBytes = 5;
  static_assert((kLeafCursors & (kLeafCursors - 1)) == 0);
  static std::array<std::size_t, 2> CursorPlaces(std::string_view key);
  // The leaf directory holds at most this many ranges (a tree of 10 000
  // rows has about 700 leaves); a full one takes no more until the epoch
  // moves, so that a tree too big for it pays a descent, not an insert into
  // the directory, for each leaf it does not hold.
  static constexpr std::size_t kDirectoryLimit = 1024;
  // Descends from the root to the page of `level` that covers `key`;
  // `path` receives the inner pages above it with the child index taken.
  // With `lower`, separators above a key below them are lowered to it.
  // A leaf descent (level 0, no lowering) starts from a leaf cursor when
  // `use_cursors` and one covers the key, and remembers its leaf.
  Status Descend(std::string_view key, int level, bool lower, Path& path, Page*& page,
                 std::vector<Page*>* lowered, bool use_cursors = true);
  // The leaf that covers `key`, from the leaf directory or by a descent
  // that enters it there; null for an empty tree.
  Status LeafOf(std::string_view key, Page*& leaf);
  // The directory's leaf that covers `key` (null: none known).
  const LeafRange* FromDirectory(std::string_view key, std::uint64_t head);
  // The number of directory ranges that start at or below `key`.
  std::size_t DirectoryEnd(std::string_view key, std::uint64_t head) const;
  void RememberInDirectory(const LeafRange& range);
  Status FindInLeaves(FindMode mode, std::string_view key, const Record*& found, Position* position);
  // The leaf and index of the record with key part `key`; `leaf` is null
  // when there is none.
  Status FindInLeaf(std::string_view key, Page*& leaf, std::size_t& index);
  Status ReplaceData(Page* leaf, std::size_t index, std::string_view data);
  // `key` and `data` may view another page's bytes, not this level's.
  Status InsertAt(int level, std::string_view key, std::string_view data, std::uint32_t child);
  // Cut at `run_end` (the record just inserted in a run of records arriving
  // in order: the page keeps the run, the new record and those after it
  // move), or in the middle.
  Status SplitIfNeeded(Page* page, std::size_t run_end = Page::kNoInsert);
  bool NeedsSplit(const Page& page) const;
  Status RemoveFromParent(Path& path, Page* page);
  Status SetSeparators(Path& path, std::string_view key, std::vector<Page*>& changed);
  // Gives the separator at `index` of an inner page the key part `key`.
  void ReplaceSeparator(Page& page, std::size_t index, std::string_view key);
  Status Neighbour(Path& path, bool forward, Page*& leaf);
  Status ValidatePage(Page* page, int level, std::string_view low, std::optional<std::string_view> high,
                      TreeStatistics& statistics);
  // The page's records changed; a change to an inner page moves the epoch.
  void Changed(Page& page);
  // A valid leaf cursor whose leaf covers `key`; `has_path` tells whether it
  // gave `path` (a cursor remembered from the directory has none).
  bool FromCursor(std::string_view key, Path& path, Page*& leaf, bool& has_path);
  void RememberLeaf(std::string_view key, const LeafRange& range, const Path* path);
  // A leaf stepped to from `path`'s: in a cursor and in the directory.
  void RememberNeighbour(std::string_view key, const Path& path, Page* leaf);
  static bool Covers(const LeafRange& range, std::string_view key, std::uint64_t head);
  static LeafRange RangeOf(const Path& path, Page* leaf);

  PageStore& store_;
  std::array<LeafCursor, kLeafCursors> cursors_;
  // Ranges of distinct leaves in key order (they do not overlap), valid
  // while `directory_epoch_` equals the epoch.
  std::vector<LeafRange> directory_;
  std::uint64_t directory_epoch_ = 0;
  // The directory's range of the last lookup by key part.
  struct {
    LeafRange range;
    std::uint64_t epoch = 0;
  } last_exact_;
  std::uint64_t epoch_ = 1;
  std::uint64_t clock_ = 0;
};

}  // namespace tavero::vmr
