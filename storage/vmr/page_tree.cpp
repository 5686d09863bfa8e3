#include "runtime/error_codes.h"
#include "storage/vmr/page_tree.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace tavero::vmr {
namespace {

constexpr std::size_t kHeadBytes = 8;
// Pages this small are searched on their records alone.
constexpr std::size_t kFewRecords = 8;

// The 8 bytes of `key` from `from` on, zero-padded, as a big-endian number:
// when two keys share their first `from` bytes, a smaller head means a
// smaller key, and equal heads decide nothing.
std::uint64_t Head(std::string_view key, std::size_t from) {
  if (from + kHeadBytes <= key.size()) {
    std::uint64_t head;
    std::memcpy(&head, key.data() + from, kHeadBytes);
    if constexpr (std::endian::native == std::endian::little) head = __builtin_bswap64(head);
    return head;
  }
  std::uint64_t head = 0;
  for (std::size_t i = 0; i < kHeadBytes; ++i) {
    head <<= 8;
    if (from + i < key.size()) head |= static_cast<std::uint8_t>(key[from + i]);
  }
  return head;
}

void BuildHeads(Page& page) {
  const auto& records = page.content.records;
  // Keys ascend: what the first and the last share, all share.
  const std::string_view first = records.front().key(), last = records.back().key();
  std::size_t shared = 0;
  while (shared < first.size() && shared < last.size() && first[shared] == last[shared]) ++shared;
  page.shared = static_cast<std::uint32_t>(shared);
  page.heads.resize(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) page.heads[i] = Head(records[i].key(), shared);
}

bool HeadsCurrent(const Page& page) { return !page.heads.empty() && page.heads.size() == page.count(); }

// Index of the first record whose key part is not below `key`.
std::size_t LowerBound(Page& page, std::string_view key) {
  const auto& records = page.content.records;
  const auto below = [](const Record& r, std::string_view k) { return CompareKeys(r.key(), k) < 0; };
  if (records.size() < kFewRecords) {
    return static_cast<std::size_t>(std::lower_bound(records.begin(), records.end(), key, below) - records.begin());
  }
  if (!HeadsCurrent(page)) BuildHeads(page);
  // Against the bytes every key of the page starts with.
  const std::size_t shared = page.shared;
  const std::string_view prefix = records.front().key().substr(0, shared);
  const int order = CompareKeys(key.substr(0, shared), prefix);
  if (order < 0) return 0;
  if (order > 0) return records.size();
  const std::uint64_t head = Head(key, shared);
  const auto range = std::equal_range(page.heads.begin(), page.heads.end(), head);
  const auto from = records.begin() + (range.first - page.heads.begin());
  const auto to = records.begin() + (range.second - page.heads.begin());
  return static_cast<std::size_t>(std::lower_bound(from, to, key, below) - records.begin());
}

// LowerBound, settled from the page's last find when the key is that
// record's or lies between it and the next.
std::size_t LowerBoundNearLastFound(Page& page, std::string_view key) {
  const auto& records = page.content.records;
  const std::size_t at = page.last_found;
  if (at < records.size()) {
    const int order = CompareKeys(records[at].key(), key);
    if (order == 0) return at;
    if (order < 0 && (at + 1 == records.size() || CompareKeys(key, records[at + 1].key()) <= 0)) return at + 1;
  }
  return LowerBound(page, key);
}

// Keeps the heads of `page` after a record came in at `index`.
void NoteInsert(Page& page, std::size_t index) {
  if (page.heads.empty() || page.heads.size() + 1 != page.count()) {
    page.heads.clear();
    return;
  }
  const std::string_view key = page.content.records[index].key();
  const std::string_view other = page.content.records[index == 0 ? 1 : 0].key();
  if (key.size() < page.shared || key.substr(0, page.shared) != other.substr(0, page.shared)) {
    page.heads.clear();
    return;
  }
  page.heads.insert(page.heads.begin() + static_cast<std::ptrdiff_t>(index), Head(key, page.shared));
}

// Keeps the heads of `page` after the record at `index` left: the rest
// still share what they shared.
void NoteErase(Page& page, std::size_t index) {
  page.last_insert = Page::kNoInsert;
  if (page.heads.empty() || page.heads.size() != page.count() + 1) {
    page.heads.clear();
    return;
  }
  page.heads.erase(page.heads.begin() + static_cast<std::ptrdiff_t>(index));
}

bool KeyAt(const Page& page, std::size_t index, std::string_view key) {
  return index < page.count() && CompareKeys(page.content.records[index].key(), key) == 0;
}

// The child to follow: the greatest separator not above the key, or the
// first child for a key below every separator.
std::size_t ChildIndex(Page& page, std::string_view key) {
  std::size_t i = LowerBound(page, key);
  if (KeyAt(page, i, key)) return i;
  return i == 0 ? 0 : i - 1;
}

std::uint32_t PageSize(const PageContent& content) {
  std::uint32_t size = 0;
  for (const Record& r : content.records) size += RecordEstimate(r, content.level > 0);
  return size;
}

}  // namespace

void PageTree::Changed(Page& page) {
  // Invariant (6): cursors hold their bounds from inner pages.
  if (page.inner()) ++epoch_;
  store_.MarkDirty(page);
}

// Invariant (6): the leaf reached through a cursor's path, or found in the
// directory, is the one a descent from the root would reach for a key
// between the leaf's separator and the next separator above it. Keys below
// the leaf's separator are not covered, so that a descent that lowers
// separators never starts from a cursor.
bool PageTree::Covers(const LeafRange& range, std::string_view key, std::uint64_t head) {
  if (range.low) {
    if (head < range.low_head) return false;
    if (head == range.low_head && CompareKeys(key, *range.low) < 0) return false;
  }
  if (range.high) {
    if (head > range.high_head) return false;
    if (head == range.high_head && CompareKeys(key, *range.high) >= 0) return false;
  }
  return true;
}

// The leaf's bounds: its separator, and the next separator of the deepest
// inner page that has one after the path's child.
PageTree::LeafRange PageTree::RangeOf(const Path& path, Page* leaf) {
  LeafRange range;
  range.leaf = leaf;
  if (path.empty()) return range;  // the leaf is the root
  const Step& parent = path.back();
  range.low = parent.page->content.records[parent.index].key();
  range.low_head = Head(*range.low, 0);
  for (std::size_t depth = path.size(); depth > 0; --depth) {
    const Step& step = path[depth - 1];
    if (step.index + 1 < step.page->count()) {
      range.high = step.page->content.records[step.index + 1].key();
      range.high_head = Head(*range.high, 0);
      break;
    }
  }
  return range;
}

std::array<std::size_t, 2> PageTree::CursorPlaces(std::string_view key) {
  std::uint64_t run = 0;
  if (key.size() >= kRunBytes) {
    std::uint32_t first4;
    std::memcpy(&first4, key.data(), 4);
    run = std::uint64_t{first4} << 8 | static_cast<std::uint8_t>(key[4]);
  } else {
    for (char c : key) run = run << 8 | static_cast<std::uint8_t>(c);
  }
  const std::uint64_t mixed = (run + 1) * 0x9E3779B97F4A7C15u;
  const std::size_t first = static_cast<std::size_t>(mixed >> 60) & (kLeafCursors - 1);
  std::size_t second = static_cast<std::size_t>(mixed >> 52) & (kLeafCursors - 1);
  if (second == first) second = (first + 1) & (kLeafCursors - 1);
  return {first, second};
}

bool PageTree::FromCursor(std::string_view key, Path& path, Page*& leaf, bool& has_path) {
  const std::uint64_t head = Head(key, 0);
  for (std::size_t place : CursorPlaces(key)) {
    LeafCursor& cursor = cursors_[place];
    if (cursor.epoch != epoch_ || !Covers(cursor.range, key, head)) continue;
    cursor.used = ++clock_;
    has_path = cursor.has_path;
    if (has_path) path = cursor.path;
    leaf = cursor.range.leaf;
    return true;
  }
  return false;
}

void PageTree::RememberLeaf(std::string_view key, const LeafRange& range, const Path* path) {
  const auto places = CursorPlaces(key);
  LeafCursor* slot = &cursors_[places[0]];
  LeafCursor& other = cursors_[places[1]];
  // The place that already holds the leaf; else a stale one; else the
  // least recently used.
  if (other.epoch == epoch_ && other.range.leaf == range.leaf) {
    slot = &other;
  } else if (!(slot->epoch == epoch_ && slot->range.leaf == range.leaf)) {
    const bool stale = slot->epoch != epoch_, other_stale = other.epoch != epoch_;
    if ((other_stale && !stale) || (other_stale == stale && other.used < slot->used)) slot = &other;
  }
  slot->has_path = path != nullptr;
  if (path) slot->path = *path;
  slot->range = range;
  slot->epoch = epoch_;
  slot->used = ++clock_;
}

namespace {

// Whether the range starts at or below `key` (whose head is `head`): the
// directory is ordered by where its ranges start.
template <typename Range>
bool StartsNotAbove(const Range& range, std::string_view key, std::uint64_t head) {
  if (!range.low) return true;
  if (range.low_head != head) return range.low_head < head;
  return CompareKeys(*range.low, key) <= 0;
}

}  // namespace

std::size_t PageTree::DirectoryEnd(std::string_view key, std::uint64_t head) const {
  const auto after = std::partition_point(directory_.begin(), directory_.end(),
                                          [&](const LeafRange& r) { return StartsNotAbove(r, key, head); });
  return static_cast<std::size_t>(after - directory_.begin());
}

const PageTree::LeafRange* PageTree::FromDirectory(std::string_view key, std::uint64_t head) {
  if (directory_epoch_ != epoch_) return nullptr;
  const std::size_t end = DirectoryEnd(key, head);
  if (end == 0) return nullptr;
  const LeafRange& range = directory_[end - 1];
  return Covers(range, key, head) ? &range : nullptr;
}

void PageTree::RememberInDirectory(const LeafRange& range) {
  if (directory_epoch_ != epoch_) {
    directory_.clear();
    directory_epoch_ = epoch_;
  }
  if (directory_.size() >= kDirectoryLimit) return;
  std::size_t at = 0;
  if (range.low) {
    at = DirectoryEnd(*range.low, range.low_head);
  } else {
    while (at < directory_.size() && !directory_[at].low) ++at;
  }
  // Ranges of one epoch do not overlap: the one that starts where this one
  // does is this leaf's.
  if (at > 0 && directory_[at - 1].leaf == range.leaf) return;
  directory_.insert(directory_.begin() + static_cast<std::ptrdiff_t>(at), range);
}

void PageTree::ReplaceSeparator(Page& page, std::size_t index, std::string_view key) {
  Record& slot = page.content.records[index];
  if (slot.key() != key) page.heads.clear();
  page.size -= RecordEstimate(slot, page.inner());
  // The old key's bytes stay until an insert into the page compacts it:
  // `key` may view another separator's bytes on the way down.
  slot = page.content.Keep(key, {});
  page.size += RecordEstimate(slot, page.inner());
  Changed(page);
}

Status PageTree::Descend(std::string_view key, int level, bool lower, Path& path, Page*& page,
                         std::vector<Page*>* lowered, bool use_cursors) {
  path.clear();
  // A cursor remembered without its path does not serve here.
  bool has_path = false;
  if (level == 0 && use_cursors && FromCursor(key, path, page, has_path) && has_path) return Status::Ok();
  path.clear();
  VMR_TRY(store_.RootPage(lower, page));
  if (!page) return Status::Ok();
  VMR_CHECK(page->content.level <= kMaxHeight && page->content.level >= level);
  while (page->content.level > level) {
    VMR_CHECK(page->count() > 0 && page->content.children.size() == page->count());
    std::size_t index = ChildIndex(*page, key);
    if (lower && index == 0 && CompareKeys(key, page->first_key()) < 0) {
      ReplaceSeparator(*page, 0, key);
      if (lowered) lowered->push_back(page);
    }
    path.push_back({page, index});
    Page* child;
    VMR_TRY(store_.LoadPage(page->content.children[index], child));
    VMR_CHECK(child->content.level + 1 == page->content.level);
    VMR_CHECK(child->count() > 0);
    page = child;
  }
  if (level == 0 && (use_cursors || !lower)) {
    const LeafRange range = RangeOf(path, page);
    if (use_cursors) RememberLeaf(key, range, &path);
    if (!lower) RememberInDirectory(range);
  }
  return Status::Ok();
}

void PageTree::RememberNeighbour(std::string_view key, const Path& path, Page* leaf) {
  const LeafRange range = RangeOf(path, leaf);
  RememberLeaf(key, range, &path);
  RememberInDirectory(range);
}

Status PageTree::LeafOf(std::string_view key, Page*& leaf) {
  const std::uint64_t head = Head(key, 0);
  // Records looked up in their order stay on the leaf of the last one.
  if (last_exact_.epoch == epoch_ && Covers(last_exact_.range, key, head)) {
    leaf = last_exact_.range.leaf;
    return Status::Ok();
  }
  if (const LeafRange* range = FromDirectory(key, head)) {
    last_exact_ = {*range, epoch_};
    leaf = range->leaf;
    return Status::Ok();
  }
  Path path;
  return Descend(key, 0, false, path, leaf, nullptr, false);
}

Status PageTree::Neighbour(Path& path, bool forward, Page*& leaf) {
  leaf = nullptr;
  std::size_t depth = path.size();
  while (depth > 0) {
    Step& step = path[depth - 1];
    if (forward ? step.index + 1 < step.page->count() : step.index > 0) break;
    --depth;
  }
  if (depth == 0) return Status::Ok();
  path.resize(depth);
  Page* page = path.back().page;
  path.back().index += forward ? 1 : -1;
  for (;;) {
    Page* child;
    VMR_TRY(store_.LoadPage(page->content.children[path.back().index], child));
    VMR_CHECK(child->content.level + 1 == page->content.level && child->count() > 0);
    page = child;
    if (!page->inner()) break;
    VMR_CHECK(page->content.children.size() == page->count());
    path.push_back({page, forward ? 0 : page->count() - 1});
  }
  leaf = page;
  return Status::Ok();
}

Status PageTree::Find(FindMode mode, std::string_view key, std::optional<RecordCopy>& found) {
  const Record* record;
  VMR_TRY(Find(mode, key, record));
  if (record) {
    found.emplace(*record);
  } else {
    found.reset();
  }
  return Status::Ok();
}

Status PageTree::Find(FindMode mode, std::string_view key, const Record*& found) {
  Position position;
  return Find(mode, key, found, position);
}

const Record* PageTree::StepFrom(Position& position, std::string_view key, bool forward) {
  if (position.tree != this || position.epoch != epoch_) return nullptr;
  Page& leaf = *position.leaf;
  const auto& records = leaf.content.records;
  const std::size_t at = position.index;
  if (at >= records.size() || records[at].key() != key) return nullptr;
  if (forward ? at + 1 >= records.size() : at == 0) return nullptr;
  position.index = forward ? at + 1 : at - 1;
  leaf.referenced = true;
  leaf.last_found = position.index;
  return &records[position.index];
}

Status PageTree::Find(FindMode mode, std::string_view key, const Record*& found, Position& position) {
  VMR_TRY(FindInLeaves(mode, key, found, &position));
  if (!found) return Status::Ok();
  // A damaged tree must not send a scan round in circles.
  const int order = CompareKeys(found->key(), key);
  VMR_CHECK(mode == FindMode::kExact || (mode == FindMode::kFirstNotBelow && order >= 0) ||
            (mode == FindMode::kFirstAbove && order > 0) || (mode == FindMode::kLastBelow && order < 0));
  return Status::Ok();
}

Status PageTree::FindInLeaves(FindMode mode, std::string_view key, const Record*& found, Position* position) {
  found = nullptr;
  Path path;
  Page* leaf;
  // A record looked up by its key part needs no path: its leaf comes from
  // the directory. The other lookups may step to a neighbouring leaf, which
  // takes the path a cursor or a descent gives.
  bool pathless = false;
  if (mode == FindMode::kExact) {
    VMR_TRY(LeafOf(key, leaf));
    pathless = true;
  } else if (bool has_path = false; FromCursor(key, path, leaf, has_path)) {
    pathless = !has_path;
  } else if (const LeafRange* range = FromDirectory(key, Head(key, 0))) {
    // Remembered without a path, for the lookups after this one.
    leaf = range->leaf;
    pathless = true;
    RememberLeaf(key, *range, nullptr);
  } else {
    VMR_TRY(Descend(key, 0, false, path, leaf, nullptr));
  }
  if (!leaf || leaf->count() == 0) return Status::Ok();
  std::size_t index = LowerBoundNearLastFound(*leaf, key);
  if (mode == FindMode::kFirstAbove && KeyAt(*leaf, index, key)) ++index;
  const bool beyond_leaf =
      mode == FindMode::kLastBelow ? index == 0 : mode != FindMode::kExact && index == leaf->count();
  if (beyond_leaf && pathless) {
    // The path to the leaf, to step to its neighbour.
    Page* again;
    VMR_TRY(Descend(key, 0, false, path, again, nullptr));
    VMR_CHECK(again == leaf);
  }
  switch (mode) {
    case FindMode::kExact:
      if (!KeyAt(*leaf, index, key)) return Status::Ok();
      break;
    case FindMode::kFirstAbove:
    case FindMode::kFirstNotBelow:
      if (index == leaf->count()) {
        VMR_TRY(Neighbour(path, true, leaf));
        if (!leaf) return Status::Ok();
        RememberNeighbour(key, path, leaf);
        index = 0;
      }
      break;
    case FindMode::kLastBelow:
      if (index == 0) {
        VMR_TRY(Neighbour(path, false, leaf));
        if (!leaf) return Status::Ok();
        RememberNeighbour(key, path, leaf);
        index = leaf->count();
      }
      --index;
      break;
  }
  // Reached without the store when a cursor or the directory found the
  // leaf: the cache's trim must see it used.
  leaf->referenced = true;
  leaf->last_found = index;
  found = &leaf->content.records[index];
  if (position) *position = {this, leaf, index, epoch_};
  return Status::Ok();
}

Status PageTree::Insert(std::string_view key, std::string_view data) {
  VMR_CHECK(key.size() + data.size() <= kMaxRecordLength);
  return InsertAt(0, key, data, 0);
}

Status PageTree::InsertAt(int level, std::string_view key, std::string_view data, std::uint32_t child) {
  Path path;
  std::vector<Page*> lowered;
  Page* page;
  VMR_TRY(Descend(key, level, true, path, page, &lowered));
  std::size_t index = LowerBound(*page, key);
  // Two equal key parts in the file would break its order.
  VMR_CHECK(!KeyAt(*page, index, key));
  const Record record = page->content.Keep(key, data);
  page->size += RecordEstimate(record, page->inner());
  page->content.records.insert(page->content.records.begin() + static_cast<std::ptrdiff_t>(index), record);
  page->content.CompactIfWasteful(page->size);
  NoteInsert(*page, index);
  if (page->inner()) {
    page->content.children.insert(page->content.children.begin() + static_cast<std::ptrdiff_t>(index), child);
  }
  Changed(*page);
  // Right after the record the previous insert put here: records arrive in
  // order (record numbers, segments, the separators of such pages).
  const bool in_run = page->last_insert != Page::kNoInsert && page->last_insert + 1 == index;
  page->last_insert = index;
  VMR_TRY(SplitIfNeeded(page, in_run ? index : Page::kNoInsert));
  // A lowered separator may be longer than the one it replaced.
  for (auto it = lowered.rbegin(); it != lowered.rend(); ++it) VMR_TRY(SplitIfNeeded(*it));
  return Status::Ok();
}

bool PageTree::NeedsSplit(const Page& page) const {
  if (page.count() < 2) return false;
  if (page.size > kSplitSize) return true;
  if (page.size > kSplitSizeMany && page.count() > kSplitCountMany) return true;
  // Close to the limit the prefix coding may fail to absorb the estimate's
  // slack; a page that could not be written in 59 blocks is split as well.
  if (kPageHeaderSize + page.size > kMaxPageBytes) {
    return PageHeaderLength(page.content) + EncodedBodySize(page.content.records) > kMaxPageBytes;
  }
  return false;
}

Status PageTree::SplitIfNeeded(Page* page, std::size_t run_end) {
  if (!NeedsSplit(*page)) return Status::Ok();
  // Records move to another page: every cursor may be out of date.
  ++epoch_;
  page->heads.clear();
  Page* root;
  VMR_TRY(store_.RootPage(false, root));
  if (page == root) {
    // The root keeps its block: its records move one level down and the
    // root becomes an inner page over that one child.
    VMR_CHECK(page->content.level < kMaxHeight);
    Page* child = store_.NewPage(page->content.level);
    child->content = std::move(page->content);
    child->size = page->size;
    page->content = PageContent{};
    page->content.level = static_cast<std::uint8_t>(child->content.level + 1);
    page->content.records.push_back(page->content.Keep(child->first_key(), {}));
    page->content.children.push_back(child->id);
    page->size = RecordEstimate(page->content.records.front(), true);
    page->last_insert = Page::kNoInsert;
    Changed(*page);
    Changed(*child);
    page = child;
  }
  // Cut at the middle record; the middle goes to the half with fewer
  // records, the upper one on a tie: the upper half takes ceil(n / 2). A
  // page that a run of records in order made too big is cut where the run
  // has reached: it stays full and the run goes on in the new page (cut in
  // the middle, pages filled in order would stay half full).
  const bool in_run = run_end != Page::kNoInsert && run_end > 0 && run_end < page->count();
  const std::size_t cut = in_run ? run_end : page->count() / 2;
  Page* upper = store_.NewPage(page->content.level);
  page->last_insert = Page::kNoInsert;
  if (in_run) upper->last_insert = 0;
  auto& records = page->content.records;
  upper->content.records.assign(std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(cut)),
                                std::make_move_iterator(records.end()));
  records.resize(cut);
  if (page->inner()) {
    auto& children = page->content.children;
    upper->content.children.assign(children.begin() + static_cast<std::ptrdiff_t>(cut), children.end());
    children.resize(cut);
  }
  page->size = PageSize(page->content);
  upper->size = PageSize(upper->content);
  // The records that moved view the page's bytes: the new page takes a copy.
  upper->content.Compact();
  page->content.CompactIfWasteful(page->size);
  Changed(*page);
  Changed(*upper);
  VMR_TRY(InsertAt(page->content.level + 1, upper->first_key(), {}, upper->id));
  VMR_TRY(SplitIfNeeded(page));
  return SplitIfNeeded(upper);
}

Status PageTree::Replace(std::string_view key, std::string_view data) {
  VMR_CHECK(key.size() + data.size() <= kMaxRecordLength);
  Page* leaf;
  std::size_t index;
  VMR_TRY(FindInLeaf(key, leaf, index));
  if (!leaf) return Status::Error(error_code::kRecordNotFound);
  return ReplaceData(leaf, index, data);
}

Status PageTree::Update(std::string_view key, const std::function<bool(std::string& data)>& change, bool& found) {
  Page* leaf;
  std::size_t index;
  VMR_TRY(FindInLeaf(key, leaf, index));
  found = leaf != nullptr;
  if (!found) return Status::Ok();
  std::string data(leaf->content.records[index].data());
  if (!change(data)) return Status::Ok();
  VMR_CHECK(key.size() + data.size() <= kMaxRecordLength);
  return ReplaceData(leaf, index, data);
}

Status PageTree::FindInLeaf(std::string_view key, Page*& leaf, std::size_t& index) {
  VMR_TRY(LeafOf(key, leaf));
  if (!leaf) return Status::Ok();
  index = LowerBound(*leaf, key);
  if (!KeyAt(*leaf, index, key)) leaf = nullptr;
  return Status::Ok();
}

Status PageTree::ReplaceData(Page* leaf, std::size_t index, std::string_view data) {
  // The record gets new bytes with the same key part, so the page's
  // search heads stay as they are.
  Record& slot = leaf->content.records[index];
  leaf->size -= RecordEstimate(slot, false);
  slot = leaf->content.Keep(slot.key(), data);
  leaf->size += RecordEstimate(slot, false);
  leaf->content.CompactIfWasteful(leaf->size);
  Changed(*leaf);
  return SplitIfNeeded(leaf);
}

Status PageTree::SetSeparators(Path& path, std::string_view key, std::vector<Page*>& changed) {
  for (std::size_t depth = path.size(); depth > 0; --depth) {
    Step& step = path[depth - 1];
    ReplaceSeparator(*step.page, step.index, key);
    changed.push_back(step.page);
    if (step.index != 0) break;
  }
  return Status::Ok();
}

Status PageTree::RemoveFromParent(Path& path, Page* page) {
  std::vector<Page*> changed;
  // Pages leave the tree: every cursor may hold one.
  ++epoch_;
  for (;;) {
    Step step = path.back();
    path.pop_back();
    store_.ReleasePage(*page);
    Page* parent = step.page;
    parent->size -= RecordEstimate(parent->content.records[step.index], true);
    parent->content.records.erase(parent->content.records.begin() + static_cast<std::ptrdiff_t>(step.index));
    parent->content.children.erase(parent->content.children.begin() + static_cast<std::ptrdiff_t>(step.index));
    NoteErase(*parent, step.index);
    Changed(*parent);
    if (parent->count() == 0) {
      if (path.empty()) {
        // The root lost its last child: the tree is empty again.
        parent->content = PageContent{};
        parent->size = 0;
        return Status::Ok();
      }
      page = parent;
      continue;
    }
    if (step.index == 0 && !path.empty()) {
      std::string first(parent->first_key());
      VMR_TRY(SetSeparators(path, first, changed));
    }
    break;
  }
  for (auto it = changed.rbegin(); it != changed.rend(); ++it) VMR_TRY(SplitIfNeeded(*it));
  return Status::Ok();
}

Status PageTree::Erase(std::string_view key, bool& found) {
  found = false;
  Path path;
  Page* leaf;
  VMR_TRY(Descend(key, 0, false, path, leaf, nullptr));
  if (!leaf) return Status::Ok();
  std::size_t index = LowerBound(*leaf, key);
  if (!KeyAt(*leaf, index, key)) return Status::Ok();
  found = true;
  leaf->size -= RecordEstimate(leaf->content.records[index], false);
  leaf->content.records.erase(leaf->content.records.begin() + static_cast<std::ptrdiff_t>(index));
  NoteErase(*leaf, index);
  Changed(*leaf);
  if (path.empty()) return Status::Ok();
  if (leaf->count() == 0) return RemoveFromParent(path, leaf);
  if (index == 0) {
    std::vector<Page*> changed;
    std::string first(leaf->first_key());
    VMR_TRY(SetSeparators(path, first, changed));
    for (auto it = changed.rbegin(); it != changed.rend(); ++it) VMR_TRY(SplitIfNeeded(*it));
  }
  return Status::Ok();
}

Status PageTree::FindParent(const Page& page, Page*& parent, std::size_t& index) {
  VMR_CHECK(page.count() > 0);
  Path path;
  Page* found;
  VMR_TRY(Descend(page.first_key(), page.content.level, false, path, found, nullptr));
  // A moved page whose parent pointer cannot be found.
  VMR_CHECK(found == &page && !path.empty());
  parent = path.back().page;
  index = path.back().index;
  VMR_CHECK(parent->content.children[index] == page.id);
  return Status::Ok();
}

Status PageTree::Validate(TreeStatistics& statistics) {
  statistics = TreeStatistics{};
  Page* root;
  VMR_TRY(store_.RootPage(false, root));
  if (!root) return Status::Ok();
  statistics.height = root->content.level + 1;
  return ValidatePage(root, root->content.level, {}, std::nullopt, statistics);
}

Status PageTree::ValidatePage(Page* page, int level, std::string_view low, std::optional<std::string_view> high,
                              TreeStatistics& statistics) {
  const PageContent& content = page->content;
  VMR_CHECK(content.level == level);
  VMR_CHECK(page->size == PageSize(content));
  VMR_CHECK(!NeedsSplit(*page));
  if (HeadsCurrent(*page)) {
    // The search aid agrees with the records.
    const std::string_view prefix = content.records.front().key().substr(0, page->shared);
    for (std::size_t i = 0; i < content.records.size(); ++i) {
      VMR_CHECK(content.records[i].key().starts_with(prefix));
      VMR_CHECK(page->heads[i] == Head(content.records[i].key(), page->shared));
    }
  }
  ++statistics.pages;
  statistics.page_blocks.emplace_back(page->id, page->page_class);
  for (std::size_t i = 0; i < content.records.size(); ++i) {
    std::string_view key = content.records[i].key();
    VMR_CHECK(i > 0 || low.empty() || CompareKeys(key, low) == 0 || level == 0);
    VMR_CHECK(CompareKeys(key, low) >= 0);
    VMR_CHECK(!high || CompareKeys(key, *high) < 0);
    VMR_CHECK(i == 0 || CompareKeys(content.records[i - 1].key(), key) < 0);
  }
  if (level == 0) {
    statistics.records += content.records.size();
    // Invariant (2): the first record of a non-root leaf is its separator.
    VMR_CHECK(low.empty() || (!content.records.empty() && content.records.front().key() == low));
    return Status::Ok();
  }
  VMR_CHECK(!content.records.empty() && content.children.size() == content.records.size());
  VMR_CHECK(low.empty() || content.records.front().key() == low);
  for (std::size_t i = 0; i < content.records.size(); ++i) {
    Page* child;
    VMR_TRY(store_.LoadPage(content.children[i], child));
    std::optional<std::string_view> child_high = high;
    if (i + 1 < content.records.size()) child_high = content.records[i + 1].key();
    VMR_TRY(ValidatePage(child, level - 1, content.records[i].key(), child_high, statistics));
  }
  return Status::Ok();
}

}  // namespace tavero::vmr
