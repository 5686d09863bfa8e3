#include "storage/vmr/page_tree.h"

#include <algorithm>
#include <cassert>

namespace tavero::vmr {
namespace {

// Index of the first record whose key part is not below `key`.
std::size_t LowerBound(const Page& page, std::string_view key) {
  const auto& records = page.content.records;
  auto it = std::lower_bound(records.begin(), records.end(), key,
                             [](const Record& r, std::string_view k) { return CompareKeys(r.key(), k) < 0; });
  return static_cast<std::size_t>(it - records.begin());
}

bool KeyAt(const Page& page, std::size_t index, std::string_view key) {
  return index < page.count() && CompareKeys(page.content.records[index].key(), key) == 0;
}

// The child to follow: the greatest separator not above the key, or the
// first child for a key below every separator.
std::size_t ChildIndex(const Page& page, std::string_view key) {
  std::size_t i = LowerBound(page, key);
  if (KeyAt(page, i, key)) return i;
  return i == 0 ? 0 : i - 1;
}

Record Separator(std::string_view key) {
  Record r;
  r.bytes.assign(key);
  r.key_length = static_cast<std::uint16_t>(key.size());
  return r;
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

// Invariant (6): the leaf reached for `key` through `path` is the one a
// descent from the root would reach when the key lies between the leaf's
// separator and the next separator above it. Keys below the leaf's
// separator are not covered, so that a descent that lowers separators
// never starts from a cursor.
bool PageTree::Covers(const Path& path, std::string_view key) {
  if (path.empty()) return true;  // the leaf is the root
  const Step& parent = path.back();
  if (CompareKeys(key, parent.page->content.records[parent.index].key()) < 0) return false;
  for (std::size_t depth = path.size(); depth > 0; --depth) {
    const Step& step = path[depth - 1];
    if (step.index + 1 < step.page->count()) {
      return CompareKeys(key, step.page->content.records[step.index + 1].key()) < 0;
    }
  }
  return true;  // the last leaf of the tree
}

bool PageTree::FromCursor(std::string_view key, Path& path, Page*& leaf) {
  for (LeafCursor& cursor : cursors_) {
    if (cursor.epoch != epoch_ || !Covers(cursor.path, key)) continue;
    cursor.used = ++clock_;
    path = cursor.path;
    leaf = cursor.leaf;
    return true;
  }
  return false;
}

void PageTree::RememberLeaf(const Path& path, Page* leaf) {
  LeafCursor* slot = &cursors_[0];
  for (LeafCursor& cursor : cursors_) {
    if (cursor.epoch == epoch_ && cursor.leaf == leaf) {
      slot = &cursor;
      break;
    }
    // Otherwise the least recently used, a stale one first.
    const bool stale = cursor.epoch != epoch_;
    const bool slot_stale = slot->epoch != epoch_;
    if ((stale && !slot_stale) || (stale == slot_stale && cursor.used < slot->used)) slot = &cursor;
  }
  slot->path = path;
  slot->leaf = leaf;
  slot->epoch = epoch_;
  slot->used = ++clock_;
}

void PageTree::ReplaceRecord(Page& page, std::size_t index, Record record) {
  Record& slot = page.content.records[index];
  page.size -= RecordEstimate(slot, page.inner());
  page.size += RecordEstimate(record, page.inner());
  slot = std::move(record);
  Changed(page);
}

Status PageTree::Descend(std::string_view key, int level, bool lower, Path& path, Page*& page,
                         std::vector<Page*>* lowered) {
  path.clear();
  if (level == 0 && FromCursor(key, path, page)) return Status::Ok();
  VMR_TRY(store_.RootPage(lower, page));
  if (!page) return Status::Ok();
  VMR_CHECK(page->content.level <= kMaxHeight && page->content.level >= level);
  while (page->content.level > level) {
    VMR_CHECK(page->count() > 0 && page->content.children.size() == page->count());
    std::size_t index = ChildIndex(*page, key);
    if (lower && index == 0 && CompareKeys(key, page->first_key()) < 0) {
      ReplaceRecord(*page, 0, Separator(key));
      if (lowered) lowered->push_back(page);
    }
    path.push_back({page, index});
    Page* child;
    VMR_TRY(store_.LoadPage(page->content.children[index], child));
    VMR_CHECK(child->content.level + 1 == page->content.level);
    VMR_CHECK(child->count() > 0);
    page = child;
  }
  if (level == 0) RememberLeaf(path, page);
  return Status::Ok();
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
  RememberLeaf(path, leaf);
  return Status::Ok();
}

Status PageTree::Find(FindMode mode, std::string_view key, std::optional<Record>& found) {
  VMR_TRY(FindInLeaves(mode, key, found));
  if (!found) return Status::Ok();
  // A damaged tree must not send a scan round in circles.
  const int order = CompareKeys(found->key(), key);
  VMR_CHECK(mode == FindMode::kExact || (mode == FindMode::kFirstNotBelow && order >= 0) ||
            (mode == FindMode::kFirstAbove && order > 0) || (mode == FindMode::kLastBelow && order < 0));
  return Status::Ok();
}

Status PageTree::FindInLeaves(FindMode mode, std::string_view key, std::optional<Record>& found) {
  found.reset();
  Path path;
  Page* leaf;
  VMR_TRY(Descend(key, 0, false, path, leaf, nullptr));
  if (!leaf || leaf->count() == 0) return Status::Ok();
  std::size_t index = LowerBound(*leaf, key);
  switch (mode) {
    case FindMode::kExact:
      if (KeyAt(*leaf, index, key)) found = leaf->content.records[index];
      return Status::Ok();
    case FindMode::kFirstAbove:
      if (KeyAt(*leaf, index, key)) ++index;
      [[fallthrough]];
    case FindMode::kFirstNotBelow:
      if (index == leaf->count()) {
        VMR_TRY(Neighbour(path, true, leaf));
        if (!leaf) return Status::Ok();
        index = 0;
      }
      found = leaf->content.records[index];
      return Status::Ok();
    case FindMode::kLastBelow:
      if (index == 0) {
        VMR_TRY(Neighbour(path, false, leaf));
        if (!leaf) return Status::Ok();
        index = leaf->count();
      }
      found = leaf->content.records[index - 1];
      return Status::Ok();
  }
  return Status::Ok();
}

Status PageTree::Insert(Record record) {
  VMR_CHECK(record.bytes.size() <= kMaxRecordLength && record.key_length <= record.bytes.size());
  return InsertAt(0, std::move(record), 0);
}

Status PageTree::InsertAt(int level, Record record, std::uint32_t child) {
  Path path;
  std::vector<Page*> lowered;
  Page* page;
  VMR_TRY(Descend(record.key(), level, true, path, page, &lowered));
  std::size_t index = LowerBound(*page, record.key());
  // Two equal key parts in the file would break its order.
  VMR_CHECK(!KeyAt(*page, index, record.key()));
  page->size += RecordEstimate(record, page->inner());
  page->content.records.insert(page->content.records.begin() + static_cast<std::ptrdiff_t>(index), std::move(record));
  if (page->inner()) {
    page->content.children.insert(page->content.children.begin() + static_cast<std::ptrdiff_t>(index), child);
  }
  Changed(*page);
  VMR_TRY(SplitIfNeeded(page));
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

Status PageTree::SplitIfNeeded(Page* page) {
  if (!NeedsSplit(*page)) return Status::Ok();
  // Records move to another page: every cursor may be out of date.
  ++epoch_;
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
    page->content.records.push_back(Separator(child->first_key()));
    page->content.children.push_back(child->id);
    page->size = RecordEstimate(page->content.records.front(), true);
    Changed(*page);
    Changed(*child);
    page = child;
  }
  // Cut at the middle record; the middle goes to the half with fewer
  // records, the upper one on a tie: the upper half takes ceil(n / 2).
  const std::size_t cut = page->count() / 2;
  Page* upper = store_.NewPage(page->content.level);
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
  Changed(*page);
  Changed(*upper);
  VMR_TRY(InsertAt(page->content.level + 1, Separator(upper->first_key()), upper->id));
  VMR_TRY(SplitIfNeeded(page));
  return SplitIfNeeded(upper);
}

Status PageTree::Replace(Record record) {
  VMR_CHECK(record.bytes.size() <= kMaxRecordLength && record.key_length <= record.bytes.size());
  Path path;
  Page* leaf;
  VMR_TRY(Descend(record.key(), 0, false, path, leaf, nullptr));
  if (!leaf) return Status::Error(kErrorRecordNotFound);
  std::size_t index = LowerBound(*leaf, record.key());
  if (!KeyAt(*leaf, index, record.key())) return Status::Error(kErrorRecordNotFound);
  ReplaceRecord(*leaf, index, std::move(record));
  return SplitIfNeeded(leaf);
}

Status PageTree::SetSeparators(Path& path, std::string_view key, std::vector<Page*>& changed) {
  for (std::size_t depth = path.size(); depth > 0; --depth) {
    Step& step = path[depth - 1];
    ReplaceRecord(*step.page, step.index, Separator(key));
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
