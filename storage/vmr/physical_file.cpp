#include "storage/vmr/physical_file.h"

#include "runtime/error_codes.h"
#include "storage/vmr/transaction_commit.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace tavero::vmr {
namespace {

constexpr std::uint32_t kFirstTemporaryId = 0xF0000000u;
// Pages kept between operations (unless set_cache_limit says otherwise);
// past it the cache is trimmed (TrimCache). A page decodes to some 4 to
// 6 KB, so the cache stays below about 200 MB; random reads of a
// million-card file (30 000 leaves and more) need that many: with 8192
// pages a GET there took 30 us, with 32768 about 7 us.
constexpr std::size_t kCacheLimit = 32768;
// Reader slots are the bytes the writer range covers, so a writer excludes
// every reader.
constexpr std::uint32_t kReaderSlots = static_cast<std::uint32_t>(kWriterRange);

bool Temporary(std::uint32_t id) { return id >= kFirstTemporaryId; }

}  // namespace

PhysicalFile::PhysicalFile(std::unique_ptr<File> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)), cache_limit_(kCacheLimit), next_temporary_id_(kFirstTemporaryId) {}

PhysicalFile::~PhysicalFile() {
  if (lock_ != Lock::kNone) (void)ReleaseStationLock();
}

Status PhysicalFile::Open(FileSystem& fs, const std::string& path, int access_mode,
                          std::unique_ptr<PhysicalFile>& result, TransactionLookup lookup) {
  const bool writable = (access_mode & kAccessMask) != 0;
  std::unique_ptr<File> handle;
  if (int rc = fs.Open(path, {writable, (access_mode & kCreateFlag) != 0}, handle)) return Status::System(rc);
  std::unique_ptr<PhysicalFile> file(new PhysicalFile(std::move(handle), path));
  // By default an interrupted commit asks the transaction control file its
  // marker names.
  if (!lookup) {
    lookup = [&fs](std::string_view marker, bool& listed) { return TransactionListed(fs, marker, listed); };
  }
  file->transaction_lookup_ = std::move(lookup);
  file->writable_ = writable;
  file->shared_ = (access_mode & kDenyMask) == 0;
  file->others_may_read_ = (access_mode & kDenyMask) == kDenyWrite;
  file->read_phase_ = !writable;
  auto ticks = std::chrono::steady_clock::now().time_since_epoch() / std::chrono::milliseconds(1);
  file->lock_slot_ = static_cast<std::uint32_t>(ticks % kReaderSlots);
  Status status = file->RefreshHeader();
  Status end = file->EndOperation();
  VMR_TRY(status);
  VMR_TRY(end);
  result = std::move(file);
  return Status::Ok();
}

bool PhysicalFile::AllowWrites() {
  if (!file_->CanWrite()) return false;
  writable_ = true;
  return true;
}

// ---- header and station locks ----

Status PhysicalFile::ReadHeader(FileHeader& header, bool& empty) {
  std::array<std::uint8_t, kHeaderSize> bytes;
  std::size_t read;
  if (int rc = file_->ReadAt(0, bytes, read)) return Status::System(rc);
  // Nothing at offset 0: an empty file.
  empty = read == 0;
  if (empty) {
    header = FileHeader{};
    return Status::Ok();
  }
  if (read != kHeaderSize) return Status::Error(error_code::kInvalidDataFile);
  return FileHeader::Decode(bytes, header);
}

Status PhysicalFile::CheckFileLength(const FileHeader& header) {
  std::uint64_t size;
  if (int rc = file_->Size(size)) return Status::System(rc);
  if (size < header.written_length) return Status::Error(error_code::kInvalidDataFile);
  return Status::Ok();
}

Status PhysicalFile::WriteHeaderAt(std::uint64_t offset, const FileHeader& header) {
  std::array<std::uint8_t, kHeaderSize> bytes;
  header.Encode(bytes);
  if (int rc = file_->WriteAt(offset, bytes)) return Status::System(rc);
  return Status::Ok();
}

Status PhysicalFile::TakeStationLock() {
  if (!shared_ || lock_ != Lock::kNone) return Status::Ok();
  if (!read_phase_) {
    if (int rc = file_->Lock(kLockBase, kWriterRange)) return Status::System(rc);
    lock_ = Lock::kWriter;
    return Status::Ok();
  }
  // A slot taken by someone else: move up by one. When every slot is taken
  // a writer holds the range; wait for it on our own slot.
  for (std::uint32_t tries = 0; tries < kReaderSlots; ++tries) {
    int rc = file_->TryLock(kLockBase + lock_slot_, 1);
    if (rc == 0) {
      lock_ = Lock::kReader;
      return Status::Ok();
    }
    if (rc != EAGAIN) return Status::System(rc);
    lock_slot_ = (lock_slot_ + 1) % kReaderSlots;
  }
  if (int rc = file_->Lock(kLockBase + lock_slot_, 1)) return Status::System(rc);
  lock_ = Lock::kReader;
  return Status::Ok();
}

Status PhysicalFile::ReleaseStationLock() {
  if (lock_ == Lock::kNone) return Status::Ok();
  int rc = lock_ == Lock::kWriter ? file_->Unlock(kLockBase, kWriterRange) : file_->Unlock(kLockBase + lock_slot_, 1);
  lock_ = Lock::kNone;
  header_read_under_lock_ = false;
  kept_for_statement_ = false;
  statement_operations_ = 0;
  // A lock that cannot be given back is an internal error.
  VMR_CHECK(rc == 0);
  return Status::Ok();
}

Status PhysicalFile::RefreshHeader() {
  VMR_TRY(TakeStationLock());
  if (header_loaded_ && !shared_) return Status::Ok();
  // Invariant (6): the station lock, held since the header was last read
  // (a transaction or stream mode keeps it between operations), has kept
  // every other station from committing: the header in memory is still the
  // one on disk.
  if (header_read_under_lock_ && header_loaded_ && overlay_.empty() && !phase_one_header_) return Status::Ok();
  FileHeader disk;
  bool empty;
  VMR_TRY(ReadHeader(disk, empty));
  // Another station committed, or this station was only looking at an
  // interrupted commit through its pending pages: start afresh.
  const bool changed = !header_loaded_ || disk.change_counter > header_.change_counter || !overlay_.empty();
  // The file's length is checked against a header this station has not
  // seen yet; an unchanged header was checked when it was first read (and a
  // page read past the end is refused on its own).
  if (!empty && (changed || disk.committed_length != disk.written_length)) VMR_TRY(CheckFileLength(disk));
  if (changed) {
    DropCache();
    overlay_.clear();
    marked_header_written_ = false;
    header_ = disk;
    disk_header_ = disk;
    has_root_ = !header_.TreeEmpty();
    header_loaded_ = true;
    header_changed_ = false;
  }
  if (disk.committed_length != disk.written_length) VMR_TRY(Recover(disk));
  header_read_under_lock_ = lock_ != Lock::kNone;
  return Status::Ok();
}

// ---- recovery ----

Status PhysicalFile::ReadPendingCopies(const FileHeader& disk, FileHeader& fresh,
                                       std::map<std::uint64_t, std::vector<std::uint8_t>>& copies) {
  const Status damaged = Status::Error(error_code::kInvalidDataFile);
  std::uint64_t pos = disk.committed_length;
  while (pos < disk.written_length) {
    std::vector<std::uint8_t> bytes(kBlockSize);
    std::size_t read;
    if (int rc = file_->ReadAt(pos, bytes, read)) return Status::System(rc);
    if (read != kBlockSize) return damaged;
    const std::uint32_t target = Load32(bytes.data());
    const std::uint32_t stored = Load16(bytes.data() + 4);
    if (stored < kPageHeaderSize || stored > kMaxPageBytes || (target == 0 && stored != kHeaderSize)) return damaged;
    const std::uint32_t length = BlocksFor(stored) * kBlockSize;
    if (pos + length > disk.written_length) return damaged;
    bytes.resize(length);
    if (length > kBlockSize) {
      if (int rc = file_->ReadAt(pos + kBlockSize, std::span(bytes).subspan(kBlockSize), read)) return Status::System(rc);
      if (read != length - kBlockSize) return damaged;
    }
    if (!copies.emplace(target, std::move(bytes)).second) return damaged;  // two copies of one page
    pos += length;
  }
  auto header_copy = copies.find(0);
  if (header_copy == copies.end()) return damaged;
  if (!FileHeader::Decode(std::span<const std::uint8_t, kHeaderSize>(header_copy->second.data(), kHeaderSize), fresh)
           .ok()) {
    return damaged;
  }
  copies.erase(header_copy);
  // Each copy goes over a page of its own size class inside the new tree,
  // which lies within the committed data: a damaged file must not make
  // recovery write over another page, into the lock region or past the end.
  const std::uint64_t used = fresh.UsedLength();
  if (used > disk.committed_length) return damaged;
  for (const auto& [target, bytes] : copies) {
    if (target < kHeaderSize || (target - kHeaderSize) % kBlockSize != 0 || target + bytes.size() > used) {
      return damaged;
    }
    const auto block = static_cast<std::uint32_t>((target - kHeaderSize) / kBlockSize);
    if (static_cast<std::size_t>(fresh.ClassOfBlock(block)) * kBlockSize != bytes.size()) return damaged;
  }
  return Status::Ok();
}

Status PhysicalFile::MustRollBack(const FileHeader& fresh, bool& roll_back) {
  roll_back = false;
  std::optional<RecordCopy> marker;
  VMR_TRY(tree_.Find(FindMode::kExact, std::string_view("\xFF", 1), marker));
  if (!marker || !transaction_lookup_) return Status::Ok();
  ParsedMarker parsed;
  if (!ParseTransactionMarker(marker->data(), parsed)) return Status::Error(error_code::kInvalidDataFile);
  // A marker left by an earlier transaction does not speak for this commit
  // (markers written before they carried the counter still do).
  if (parsed.change_counter && *parsed.change_counter != fresh.change_counter) return Status::Ok();
  return transaction_lookup_(marker->data(), roll_back);
}

Status PhysicalFile::Recover(const FileHeader& disk) {
  // Nothing is written, and nothing is kept, until the pending copies are
  // sound and the transaction's fate is known.
  std::map<std::uint64_t, std::vector<std::uint8_t>> pending;
  FileHeader fresh;
  Status status = ReadPendingCopies(disk, fresh, pending);
  if (!status.ok()) return Fail(status);

  // Look at the new tree through the pending pages.
  DropCache();
  overlay_ = std::move(pending);
  header_ = fresh;
  has_root_ = !header_.TreeEmpty();
  bool roll_back = false;
  status = MustRollBack(fresh, roll_back);
  DropCache();
  if (!status.ok()) {
    overlay_.clear();
    return Fail(status);
  }
  const bool may_write = writable_ && !read_phase_;
  if (roll_back) {
    // The transaction never reached its commit point.
    overlay_.clear();
    header_ = disk;
    header_.committed_length = header_.written_length = header_.UsedLength();
    if (may_write) {
      VMR_TRY(WriteHeaderAt(0, header_));
      if (int rc = file_->Sync()) return Status::System(rc);
      recovered_ = Recovered::kRolledBack;
    }
  } else if (may_write) {
    for (const auto& [target, bytes] : overlay_) {
      if (int rc = file_->WriteAt(target, bytes)) return Status::System(rc);
    }
    if (int rc = file_->Sync()) return Status::System(rc);
    overlay_.clear();
    header_.committed_length = header_.written_length = header_.UsedLength();
    VMR_TRY(WriteHeaderAt(0, header_));
    if (int rc = file_->Sync()) return Status::System(rc);
    recovered_ = Recovered::kFinished;
  }
  // Without the right to write, the new header is used in memory only.
  has_root_ = !header_.TreeEmpty();
  if (may_write) disk_header_ = header_;
  return Status::Ok();
}

// ---- operation brackets ----

Status PhysicalFile::BeginWrite() {
  if (!read_phase_) return Status::Ok();
  VMR_TRY(Commit());
  VMR_TRY(ReleaseStationLock());
  read_phase_ = false;
  return Status::Ok();
}

bool PhysicalFile::KeepForStatement() {
  // Only a reader slot that has seen no failure and no change of our own.
  if (lock_ != Lock::kReader || !read_phase_ || !header_read_under_lock_ || header_changed_) return false;
  if (++statement_operations_ >= kStatementOperations) return false;
  // The clock is read every eighth operation: reading it costs more than a
  // read from the cache.
  if (statement_operations_ % 8 == 1) {
    const auto now = std::chrono::steady_clock::now();
    if (statement_operations_ == 1) statement_lock_taken_ = now;
    else if (now - statement_lock_taken_ >= kStatementTime) return false;
  }
  kept_for_statement_ = true;
  return true;
}

bool PhysicalFile::ArrangeStatementRelease() {
  if (!kept_for_statement_ || statement_release_arranged_) return false;
  statement_release_arranged_ = true;
  return true;
}

Status PhysicalFile::EndStatement() {
  statement_release_arranged_ = false;
  if (!kept_for_statement_) return Status::Ok();
  return ReleaseStationLock();
}

Status PhysicalFile::EndOperation(bool statement) {
  if (in_transaction_ || (streaming_ && dirty_count_ < kStreamDirtyLimit)) return Status::Ok();
  Status status = Commit();
  if (statement && status.ok() && KeepForStatement()) {
    if (cache_.size() > cache_limit_ && dirty_count_ == 0) TrimCache();
    return Status::Ok();
  }
  Status unlocked = ReleaseStationLock();
  read_phase_ = true;
  if (cache_.size() > cache_limit_ && dirty_count_ == 0) TrimCache();
  VMR_TRY(status);
  return unlocked;
}

// ---- page store ----

void PhysicalFile::DropCache() {
  tree_.Forget();
  cache_.clear();
  dirty_count_ = 0;
  released_.clear();
  next_temporary_id_ = kFirstTemporaryId;
}

void PhysicalFile::TrimCache() {
  // Leaves go until a quarter of the cache is free: first those no lookup
  // reached since the last trim, then any; the survivors start the next
  // round unreferenced (a clock's second chance). A tree larger than the
  // cache, read at random, so keeps three quarters of the pages it can
  // hold instead of starting again from none after every trim. The inner
  // pages, few and on every descent, stay unless they alone fill three
  // quarters of the cache.
  assert(dirty_count_ == 0);
  tree_.Forget();
  const std::size_t target = cache_limit_ - cache_limit_ / 4;
  for (bool referenced_too : {false, true}) {
    for (auto it = cache_.begin(); it != cache_.end() && cache_.size() > target;) {
      const Page& page = *it->second;
      if (!page.inner() && (referenced_too || !page.referenced)) {
        it = cache_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& entry : cache_) entry.second->referenced = false;
  if (cache_.size() > target) DropCache();
}

Status PhysicalFile::LoadPage(std::uint32_t id, Page*& page) {
  if (auto it = cache_.find(id); it != cache_.end()) {
    page = it->second.get();
    page->referenced = true;
    return Status::Ok();
  }
  VMR_CHECK(!Temporary(id));
  const int page_class = header_.ClassOfBlock(id);
  VMR_CHECK(page_class != 0);
  const std::uint64_t offset = BlockOffset(id);
  std::vector<std::uint8_t> bytes;
  if (auto it = overlay_.find(offset); it != overlay_.end()) {
    bytes = it->second;
  } else {
    bytes.resize(static_cast<std::size_t>(page_class) * kBlockSize);
    std::size_t read;
    if (int rc = file_->ReadAt(offset, bytes, read)) return Status::System(rc);
    VMR_CHECK(read == bytes.size());
  }
  VMR_CHECK(BlocksFor(StoredSizeOf(bytes)) <= static_cast<std::uint32_t>(page_class));
  auto fresh = std::make_unique<Page>();
  VMR_TRY(DecodePage(bytes, id, fresh->content));
  fresh->id = id;
  fresh->page_class = page_class;
  for (const Record& r : fresh->content.records) fresh->size += RecordEstimate(r, fresh->inner());
  page = fresh.get();
  cache_.emplace(id, std::move(fresh));
  return Status::Ok();
}

Status PhysicalFile::RootPage(bool create, Page*& page) {
  page = nullptr;
  if (!has_root_) {
    if (!create) return Status::Ok();
    page = NewPage(0);
    header_.root_block = page->id;
    has_root_ = true;
    return Status::Ok();
  }
  return LoadPage(header_.root_block, page);
}

Page* PhysicalFile::NewPage(std::uint8_t level) {
  auto page = std::make_unique<Page>();
  page->id = next_temporary_id_++;
  page->content.level = level;
  Page* result = page.get();
  cache_.emplace(result->id, std::move(page));
  MarkDirty(*result);
  return result;
}

void PhysicalFile::MarkDirty(Page& page) {
  page.encoded.clear();
  SetDirty(page);
}

void PhysicalFile::SetDirty(Page& page) {
  if (!page.dirty) {
    page.dirty = true;
    ++dirty_count_;
  }
  header_changed_ = true;
}

void PhysicalFile::ReleasePage(Page& page) {
  tree_.Forget();
  if (page.page_class > 0) released_.push_back({page.id, page.page_class});
  if (page.dirty) --dirty_count_;
  cache_.erase(page.id);
}

Status PhysicalFile::Renumber(Page& page, std::uint32_t id) {
  if (has_root_ && header_.root_block == page.id) {
    header_.root_block = id;
  } else {
    Page* parent;
    std::size_t index;
    VMR_TRY(tree_.FindParent(page, parent, index));
    parent->content.children[index] = id;
    SetDirty(*parent);
  }
  auto node = cache_.extract(page.id);
  VMR_CHECK(!node.empty() && !cache_.contains(id));
  node.key() = id;
  cache_.insert(std::move(node));
  page.id = id;
  SetDirty(page);
  return Status::Ok();
}

Status PhysicalFile::MovePage(std::uint32_t from, std::uint32_t to, int page_class) {
  // A released page is no longer in the tree: only its place in the list
  // of blocks to free changes.
  for (Released& r : released_) {
    if (r.block == from) {
      r.block = to;
      return Status::Ok();
    }
  }
  Page* page;
  VMR_TRY(LoadPage(from, page));
  VMR_CHECK(page->page_class == page_class);
  return Renumber(*page, to);
}

// ---- tree operations ----

Status PhysicalFile::Guard(Status status) {
  // An operation cut short by an I/O error or a damaged page may have done
  // half its changes: drop every uncommitted change rather than commit them.
  if (status.kind() == Status::Kind::kSystem || status.is_internal()) return Fail(status);
  return status;
}

Status PhysicalFile::Find(FindMode mode, std::string_view key, std::optional<RecordCopy>& found) {
  return Guard(tree_.Find(mode, key, found));
}

Status PhysicalFile::Find(FindMode mode, std::string_view key, const Record*& found) {
  return Guard(tree_.Find(mode, key, found));
}

Status PhysicalFile::Find(FindMode mode, std::string_view key, const Record*& found, PageTree::Position& position) {
  return Guard(tree_.Find(mode, key, found, position));
}

Status PhysicalFile::FirstWithPrefix(std::string_view prefix, std::optional<RecordCopy>& found) {
  VMR_TRY(Find(FindMode::kFirstNotBelow, prefix, found));
  if (found && !found->key().starts_with(prefix)) found.reset();
  return Status::Ok();
}

Status PhysicalFile::LastWithPrefix(std::string_view prefix, std::optional<RecordCopy>& found) {
  // The smallest key above every key that starts with the prefix.
  std::string bound(prefix);
  while (!bound.empty() && static_cast<std::uint8_t>(bound.back()) == 0xFF) bound.pop_back();
  if (bound.empty()) {
    // Every key is below a key of 0xFF bytes longer than any record.
    bound.assign(kRecordLimit, '\xFF');
  } else {
    bound.back() = static_cast<char>(static_cast<std::uint8_t>(bound.back()) + 1);
  }
  VMR_TRY(Find(FindMode::kLastBelow, bound, found));
  if (found && !found->key().starts_with(prefix)) found.reset();
  return Status::Ok();
}

Status PhysicalFile::Insert(std::string_view key, std::string_view data) {
  assert(!read_phase_);
  VMR_CHECK(key.size() + data.size() < kRecordLimit);
  return Guard(tree_.Insert(key, data));
}

Status PhysicalFile::Replace(std::string_view key, std::string_view data) {
  assert(!read_phase_);
  VMR_CHECK(key.size() + data.size() < kRecordLimit);
  return Guard(tree_.Replace(key, data));
}

Status PhysicalFile::Update(std::string_view key, const std::function<bool(std::string& data)>& change,
                            bool& found) {
  assert(!read_phase_);
  return Guard(tree_.Update(key, change, found));
}

Status PhysicalFile::Erase(std::string_view key, bool& found) {
  assert(!read_phase_);
  return Guard(tree_.Erase(key, found));
}

Status PhysicalFile::IssueIdentifier(std::array<std::uint8_t, 4>& identifier) {
  // Issuing in the read phase is an internal error.
  VMR_CHECK(!read_phase_);
  auto& counter = header_.last_identifier;
  for (int i = 3; i >= 0; --i) {
    if (++counter[i] != 0) break;
  }
  // The first byte stays below the 0xFE and 0xFF record prefixes.
  VMR_CHECK(counter[0] < 0xFE);
  header_changed_ = true;
  identifier = counter;
  return Status::Ok();
}

// ---- commit ----

Status PhysicalFile::AssignBlocks() {
  ZoneTable zones(header_, *this);
  // Freed pages first, so that no move meets a page that left the tree.
  while (!released_.empty()) {
    Released r = released_.back();
    released_.pop_back();
    VMR_TRY(zones.Release(r.page_class, r.block));
  }
  std::vector<Page*> dirty;
  for (auto& [id, page] : cache_) {
    if (page->dirty) dirty.push_back(page.get());
  }
  std::sort(dirty.begin(), dirty.end(), [](const Page* a, const Page* b) { return a->id < b->id; });
  for (Page* page : dirty) {
    std::vector<std::uint8_t>* bytes;
    VMR_TRY(Encoded(*page, bytes));
    const int needed = static_cast<int>(bytes->size() / kBlockSize);
    if (needed == page->page_class) continue;
    if (page->page_class > 0) {
      const std::uint32_t old_block = page->id;
      const int old_class = page->page_class;
      VMR_TRY(Renumber(*page, next_temporary_id_++));
      page->page_class = 0;
      VMR_TRY(zones.Release(old_class, old_block));
    }
    std::uint32_t block;
    VMR_TRY(zones.Allocate(needed, block));
    VMR_TRY(Renumber(*page, block));
    page->page_class = needed;
  }
  return zones.CloseGaps();
}

Status PhysicalFile::Encoded(Page& page, std::vector<std::uint8_t>*& bytes) {
  if (page.encoded.empty()) VMR_TRY(EncodePage(page.content, 0, page.encoded));
  bytes = &page.encoded;
  return Status::Ok();
}

Status PhysicalFile::Fail(Status status) {
  // After a failed write the disk may hold either state: follow the disk.
  DiscardChanges();
  header_loaded_ = false;
  header_read_under_lock_ = false;
  return status;
}

Status PhysicalFile::CommitPhaseOne() {
  assert(!phase_one_header_);
  if (!header_changed_) return Status::Ok();
  VMR_CHECK(writable_);
  const std::uint32_t committed = disk_header_.committed_length;
  Status status = AssignBlocks();
  if (!status.ok()) return Fail(status);
  const std::uint32_t used = std::max(header_.UsedLength(), committed);
  header_.committed_length = header_.written_length = used;
  ++header_.change_counter;

  std::vector<Page*> dirty;
  for (auto& [id, page] : cache_) {
    if (page->dirty) dirty.push_back(page.get());
  }
  std::sort(dirty.begin(), dirty.end(), [](const Page* a, const Page* b) { return a->id < b->id; });
  std::uint64_t written = used;
  pending_.clear();
  for (Page* page : dirty) {
    VMR_CHECK(!Temporary(page->id));
    std::vector<std::uint8_t>* encoded;
    if (!(status = Encoded(*page, encoded)).ok()) return Fail(status);
    std::vector<std::uint8_t>& bytes = *encoded;
    PatchPageHeader(bytes, page->content, page->id);
    VMR_CHECK(bytes.size() == static_cast<std::size_t>(page->page_class) * kBlockSize);
    const std::uint64_t target = BlockOffset(page->id);
    // Committed data is never overwritten before the commit point.
    if (target < committed) {
      if (int rc = file_->WriteAt(written, bytes)) return Fail(Status::System(rc));
      written += bytes.size();
      pending_.push_back({target, bytes});
    } else if (int rc = file_->WriteAt(target, bytes)) {
      return Fail(Status::System(rc));
    }
  }
  std::array<std::uint8_t, kHeaderSize> header_bytes;
  header_.Encode(header_bytes);
  if (int rc = file_->WriteAt(written, header_bytes)) return Fail(Status::System(rc));
  written += kHeaderSize;
  if (written > kMaxFileOffset) return Fail(Status::System(EFBIG));
  if (int rc = file_->Sync()) return Fail(Status::System(rc));

  FileHeader marked = disk_header_;
  marked.committed_length = used;
  marked.written_length = static_cast<std::uint32_t>(written);
  marked_header_written_ = true;
  if (!(status = WriteHeaderAt(0, marked)).ok()) return Fail(status);
  if (int rc = file_->Sync()) {
    // Whether the mark stands is not known: put the old header back, so
    // that the failure reported is a commit that did not happen (should
    // that fail as well, the file follows whatever the disk holds).
    if (WriteHeaderAt(0, disk_header_).ok()) (void)file_->Sync();
    return Fail(Status::System(rc));
  }
  disk_header_ = marked;
  phase_one_header_ = header_;
  return Status::Ok();
}

Status PhysicalFile::CommitPhaseTwo() {
  if (!phase_one_header_) return Status::Ok();
  phase_one_header_.reset();
  for (const Pending& p : pending_) {
    if (int rc = file_->WriteAt(p.target, p.bytes)) return Fail(Status::System(rc));
  }
  // The pages must be in place before a header with equal lengths says so
  // (a commit that only added pages beyond the committed data, as a load
  // into a new file does, has none to copy and nothing to flush here).
  if (!pending_.empty()) {
    if (int rc = file_->Sync()) return Fail(Status::System(rc));
  }
  pending_.clear();
  header_.committed_length = header_.written_length = header_.UsedLength();
  Status status = WriteHeaderAt(0, header_);
  if (!status.ok()) return Fail(status);
  if (int rc = file_->Sync()) return Fail(Status::System(rc));
  disk_header_ = header_;
  marked_header_written_ = false;
  for (auto& [id, page] : cache_) {
    page->dirty = false;
    page->encoded = {};
  }
  dirty_count_ = 0;
  next_temporary_id_ = kFirstTemporaryId;
  header_changed_ = false;
  return Status::Ok();
}

Status PhysicalFile::Commit() {
  VMR_TRY(CommitPhaseOne());
  // Past the commit point the change stands: a failure of phase two leaves
  // the file following the disk, and its next refresh finishes the commit.
  // Reporting it would tell the caller that nothing was written.
  (void)CommitPhaseTwo();
  return Status::Ok();
}

Status PhysicalFile::SetBack() {
  phase_one_header_.reset();
  pending_.clear();
  if (!marked_header_written_) {
    DiscardChanges();
    return Status::Ok();
  }
  // disk_header_ is the marked header after a finished phase one, and the
  // header found before the commit after a failed one: either way its zone
  // table is the committed tree's.
  FileHeader restored = disk_header_;
  restored.written_length = restored.committed_length;
  Status status = WriteHeaderAt(0, restored);
  if (!status.ok()) return Fail(status);
  if (int rc = file_->Sync()) return Fail(Status::System(rc));
  disk_header_ = restored;
  marked_header_written_ = false;
  DiscardChanges();
  return Status::Ok();
}

void PhysicalFile::DiscardChanges() {
  DropCache();
  pending_.clear();
  phase_one_header_.reset();
  header_ = disk_header_;
  has_root_ = !header_.TreeEmpty();
  header_changed_ = false;
}

Status PhysicalFile::Truncate() {
  VMR_TRY(Commit());
  if (int rc = file_->Truncate(header_.UsedLength())) return Status::System(rc);
  if (int rc = file_->Sync()) return Status::System(rc);
  return Status::Ok();
}

// ---- identifier locks ----

namespace {
std::uint64_t IdentifierLockOffset(std::span<const std::uint8_t, 4> identifier) {
  // The identifier's 4 stored bytes read as a little-endian number.
  return kIdentifierLockBase + Load32(identifier.data());
}
}  // namespace

Status PhysicalFile::TryLockIdentifier(std::span<const std::uint8_t, 4> identifier, bool& acquired) {
  const std::uint64_t offset = IdentifierLockOffset(identifier);
  acquired = false;
  if (identifier_locks_.contains(offset)) return Status::Ok();
  const int rc = file_->TryLock(offset, 1);
  if (rc != 0 && rc != EAGAIN) return Status::System(rc);
  acquired = rc == 0;
  if (acquired) identifier_locks_.insert(offset);
  return Status::Ok();
}

Status PhysicalFile::UnlockIdentifier(std::span<const std::uint8_t, 4> identifier) {
  const std::uint64_t offset = IdentifierLockOffset(identifier);
  identifier_locks_.erase(offset);
  VMR_CHECK(file_->Unlock(offset, 1) == 0);
  return Status::Ok();
}

// ---- checks ----

Status PhysicalFile::Validate(TreeStatistics& statistics) {
  VMR_TRY(tree_.Validate(statistics));
  std::array<std::uint32_t, kZoneCount> pages_in_zone{};
  std::vector<std::uint32_t> blocks;
  for (const auto& [block, page_class] : statistics.page_blocks) {
    if (Temporary(block)) continue;  // not yet given blocks
    VMR_CHECK(page_class >= 1 && header_.ClassOfBlock(block) == page_class);
    ++pages_in_zone[page_class];
    blocks.push_back(block);
  }
  std::sort(blocks.begin(), blocks.end());
  VMR_CHECK(std::adjacent_find(blocks.begin(), blocks.end()) == blocks.end());
  if (dirty_count_ == 0 && released_.empty()) {
    // Every slot of every zone holds a page of the tree.
    for (int i = 1; i < kZoneCount; ++i) {
      VMR_CHECK((header_.zone_end[i] - header_.zone_start[i]) / static_cast<std::uint32_t>(i) == pages_in_zone[i]);
    }
  }
  return Status::Ok();
}

// ---- names ----

FileName SplitFileName(std::string_view name) {
  FileName result;
  std::size_t mark = name.find("\\!");
  if (mark == std::string_view::npos) {
    result.os_file.assign(name);
    result.table = "UNNAMED";
  } else {
    result.os_file.assign(name.substr(0, mark));
    result.table.assign(name.substr(mark + 2));
  }
  std::size_t base = result.os_file.find_last_of("\\/:");
  base = base == std::string::npos ? 0 : base + 1;
  if (!result.os_file.empty() && result.os_file.find('.', base) == std::string::npos) result.os_file += ".VMR";
  return result;
}

}  // namespace tavero::vmr
