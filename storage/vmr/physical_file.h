// One open VMR file: its header, page cache, dirty pages, the two-phase
// commit and the recovery of an interrupted one, and the station locks.
//
// States:
//   read phase <-> write phase      BeginWrite() enters the write phase,
//                                   EndOperation() returns to the read phase
//   header current / stale          RefreshHeader() at the start of each
//                                   operation that touches the tree
//   header clean / changed          any change to the tree or the counter
//   commit idle -> phase one done -> idle
//                                   CommitPhaseOne(), CommitPhaseTwo()
// Invariants:
//  (1) every page that differs from its bytes on disk is in the cache and
//      dirty; clean pages may be dropped from the cache at any time between
//      operations;
//  (2) a page not in the cache sits at the block it had at the last commit;
//  (3) pages created since the last commit carry temporary numbers
//      (kFirstTemporaryId and up) until the commit gives them blocks;
//  (4) disk_header_ is the header as it lies at offset 0 on disk;
//  (5) the header lengths in memory equal those on disk except during a
//      commit;
//  (6) header_read_under_lock_ implies that the station lock has been held
//      without a break since the header was last read from disk, so no
//      other station can have committed: only then may a refresh skip the
//      read. Releasing the lock or a failed operation clears it;
//  (7) kept_for_statement_ implies a reader slot held in the read phase
//      since the last header read (so header_read_under_lock_), held for
//      fewer than kStatementOperations operations; statement_release_
//      arranged_ stays set from the first keep until EndStatement().
// Commit order on disk: pages beyond the committed data, pending copies of
// the others and the new header are written after the committed length;
// flush; the old header with committed length < written length marks the
// commit as done (flush); phase two copies the pending pages into place,
// flushes, and writes the new header with equal lengths (flush). A crash
// before the first header write leaves the old state, after it the next
// refresh finishes the commit.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "storage/vmr/file_io.h"
#include "storage/vmr/format.h"
#include "storage/vmr/page_tree.h"
#include "storage/vmr/status.h"
#include "storage/vmr/zone_table.h"

namespace tavero::vmr {

// Access mode bits of OPEN and SHARE.
inline constexpr int kAccessMask = 0x03;
inline constexpr int kDenyMask = 0x30;
inline constexpr int kDenyWrite = 0x20;
inline constexpr int kCreateFlag = 0x100;
// Lock regions beyond the data.
inline constexpr std::uint64_t kLockBase = 0x80000000u;
inline constexpr std::uint64_t kWriterRange = 1023;
inline constexpr std::uint64_t kIdentifierLockBase = 0x80000401u;
// Stream mode commits once this many pages are dirty.
inline constexpr std::size_t kStreamDirtyLimit = 40;
// A reader slot kept for a read statement goes back after this many
// operations or this long, whichever comes first, so that a writer at
// another station waits for about one page: a browse page of 20 rows
// through a view with a join is about 40 operations, and takes well under
// the time bound unless the disk is slow. A statement cut by a bound (a
// scan, or a page slower than the bound) sees other stations' commits
// between its stretches.
inline constexpr std::uint32_t kStatementOperations = 64;
inline constexpr std::chrono::milliseconds kStatementTime{100};

class PhysicalFile final : private PageStore, private PageMover {
 public:
  // Decides whether the transaction named by a transaction marker (the data
  // of the record with key part 0xFF) is still listed in its control file:
  // `listed` answers; any other status refuses the recovery that asked.
  using TransactionLookup = std::function<Status(std::string_view marker_data, bool& listed)>;

  // Opens `path` with the access mode of OPEN (0x03 access, 0x30 deny bits,
  // 0x100 create). A file that exists but is not a VMR file gives 36.
  // `lookup` decides the fate of an interrupted commit that carries a
  // transaction marker; by default the marker's control file is asked
  // (through `fs`, which must outlive the file).
  static Status Open(FileSystem& fs, const std::string& path, int access_mode,
                     std::unique_ptr<PhysicalFile>& file, TransactionLookup lookup = {});
  ~PhysicalFile() override;
  PhysicalFile(const PhysicalFile&) = delete;
  PhysicalFile& operator=(const PhysicalFile&) = delete;

  // Operation brackets.
  Status RefreshHeader();
  Status BeginWrite();
  // Ends an operation. Inside a read statement (`statement`), a read-only
  // operation on a shared file keeps the reader slot, and with it the
  // header it checked, for the statement's next read, until the slot has
  // served kStatementOperations operations or been held kStatementTime;
  // then it goes back as after any operation, and the next read takes it
  // afresh and sees what other stations committed meanwhile.
  Status EndOperation(bool statement = false);
  // Gives back a reader slot kept for a statement (and nothing else).
  Status EndStatement();
  // True once per statement after EndOperation first kept the slot: the
  // caller then arranges for EndStatement() at the statement's end.
  bool ArrangeStatementRelease();

  // The tree. RefreshHeader() must have run in this operation; changes need
  // the write phase.
  Status Find(FindMode mode, std::string_view key, std::optional<RecordCopy>& found);
  // Without a copy: `found` points into the page cache until the next
  // change to the tree or the next header refresh.
  Status Find(FindMode mode, std::string_view key, const Record*& found);
  Status Find(FindMode mode, std::string_view key, const Record*& found, PageTree::Position& position);
  // PageTree::StepFrom.
  const Record* StepFrom(PageTree::Position& position, std::string_view key, bool forward) {
    return tree_.StepFrom(position, key, forward);
  }
  // First and last record whose key part starts with `prefix`.
  Status FirstWithPrefix(std::string_view prefix, std::optional<RecordCopy>& found);
  Status LastWithPrefix(std::string_view prefix, std::optional<RecordCopy>& found);
  Status Insert(std::string_view key, std::string_view data);
  Status Replace(std::string_view key, std::string_view data);
  // Finds the record and rewrites its data as `change` says, in one descent.
  Status Update(std::string_view key, const std::function<bool(std::string& data)>& change, bool& found);
  Status Erase(std::string_view key, bool& found);

  // The next table or record number (big-endian), from the header counter.
  Status IssueIdentifier(std::array<std::uint8_t, 4>& identifier);

  // Both phases. Fails only before the commit point: once phase one is
  // done the change stands, and a failed phase two is finished by the next
  // refresh.
  Status Commit();
  Status CommitPhaseOne();
  Status CommitPhaseTwo();
  // Undoes phase one of a transaction that failed, finished or cut short by
  // an error: the header found before the commit goes back to offset 0 with
  // equal lengths (flushed), and the uncommitted changes are dropped. An
  // error leaves the file to recovery.
  Status SetBack();
  // Drops every uncommitted change.
  void DiscardChanges();
  // Commits, then cuts the file at its used length.
  Status Truncate();

  // Identifier locks (HOLD and LOCK); `acquired` is false when another
  // station holds the lock, or another table of this process took it
  // through this file.
  Status TryLockIdentifier(std::span<const std::uint8_t, 4> identifier, bool& acquired);
  Status UnlockIdentifier(std::span<const std::uint8_t, 4> identifier);

  // Lets a file opened for reading only be written too, when its handle
  // allows it (another table of the process opens it for writing); false
  // when it does not.
  bool AllowWrites();

  void set_in_transaction(bool on) { in_transaction_ = on; }
  bool in_transaction() const { return in_transaction_; }
  void set_streaming(bool on) { streaming_ = on; }

  const std::string& path() const { return path_; }
  const FileHeader& header() const { return header_; }
  bool shared() const { return shared_; }
  bool writable() const { return writable_; }
  bool others_may_read() const { return others_may_read_; }
  bool read_phase() const { return read_phase_; }
  bool header_changed() const { return header_changed_; }
  std::size_t dirty_pages() const { return dirty_count_; }
  std::size_t cached_pages() const { return cache_.size(); }
  // Pages kept between operations before the cache is trimmed (32768 unless
  // a test or benchmark asks for fewer).
  void set_cache_limit(std::size_t pages) { cache_limit_ = pages; }
  // What the last recovery of an interrupted commit did on disk.
  enum class Recovered { kNothing, kFinished, kRolledBack };
  Recovered recovered() const { return recovered_; }

  // Checks the whole tree and that the zones hold exactly its pages.
  Status Validate(TreeStatistics& statistics);

 private:
  PhysicalFile(std::unique_ptr<File> file, std::string path);

  // PageStore
  Status LoadPage(std::uint32_t id, Page*& page) override;
  Status RootPage(bool create, Page*& page) override;
  Page* NewPage(std::uint8_t level) override;
  void MarkDirty(Page& page) override;
  void ReleasePage(Page& page) override;
  // The page must be written again, its records unchanged.
  void SetDirty(Page& page);
  Status Encoded(Page& page, std::vector<std::uint8_t>*& bytes);
  // PageMover
  Status MovePage(std::uint32_t from, std::uint32_t to, int page_class) override;

  Status ReadHeader(FileHeader& header, bool& empty);
  // 36 when the file is shorter than `header` says.
  Status CheckFileLength(const FileHeader& header);
  Status WriteHeaderAt(std::uint64_t offset, const FileHeader& header);
  Status Recover(const FileHeader& disk);
  // The pending copies of an interrupted commit, each checked to start a
  // page of its size class within the new header's used length; 36 when
  // they are damaged.
  Status ReadPendingCopies(const FileHeader& disk, FileHeader& fresh,
                           std::map<std::uint64_t, std::vector<std::uint8_t>>& copies);
  // Whether the interrupted commit under `fresh` belongs to a transaction
  // that never reached its commit point.
  Status MustRollBack(const FileHeader& fresh, bool& roll_back);
  Status TakeStationLock();
  Status ReleaseStationLock();
  // Whether the operation now ending may keep its reader slot; counts it.
  bool KeepForStatement();
  // Gives the page a new number and fixes the pointer to it.
  Status Renumber(Page& page, std::uint32_t id);
  Status AssignBlocks();
  void DropCache();
  // Drops the clean leaves from a cache grown past its limit.
  void TrimCache();
  Status Fail(Status status);
  Status Guard(Status status);

  std::unique_ptr<File> file_;
  std::string path_;
  bool writable_ = false;
  bool shared_ = false;
  bool others_may_read_ = false;
  bool read_phase_ = true;
  bool header_loaded_ = false;
  // The header was read under the station lock held now; invariant (6).
  bool header_read_under_lock_ = false;
  bool header_changed_ = false;
  bool in_transaction_ = false;
  bool streaming_ = false;
  enum class Lock { kNone, kReader, kWriter } lock_ = Lock::kNone;
  std::uint32_t lock_slot_ = 0;
  // The reader slot kept between the reads of a statement; invariant (7).
  bool kept_for_statement_ = false;
  bool statement_release_arranged_ = false;
  std::uint32_t statement_operations_ = 0;
  std::chrono::steady_clock::time_point statement_lock_taken_;
  // Offsets of the identifier locks taken through this file. The system's
  // locks of one open file never exclude each other, so between the tables
  // of this process the file itself refuses a lock it already holds.
  std::set<std::uint64_t> identifier_locks_;

  FileHeader header_;
  FileHeader disk_header_;
  bool has_root_ = false;
  std::unordered_map<std::uint32_t, std::unique_ptr<Page>> cache_;
  std::size_t cache_limit_;
  std::size_t dirty_count_ = 0;
  std::uint32_t next_temporary_id_;
  struct Released {
    std::uint32_t block;
    int page_class;
  };
  std::vector<Released> released_;
  // Pages read from the pending area of an interrupted commit, by target
  // offset, while this station may not finish that commit itself.
  std::map<std::uint64_t, std::vector<std::uint8_t>> overlay_;
  // Phase one's pending copies, written into place by phase two.
  struct Pending {
    std::uint64_t target;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Pending> pending_;
  std::optional<FileHeader> phase_one_header_;
  // Phase one may have written its marked header at offset 0 (set before the
  // write, cleared once the commit is finished or set back): only SetBack()
  // or recovery may decide that commit's fate.
  bool marked_header_written_ = false;
  Recovered recovered_ = Recovered::kNothing;
  TransactionLookup transaction_lookup_;
  PageTree tree_{*this};
};

// Splits a file object's name into the operating-system file and the table:
// "path\!table"; without "\!" the table is "UNNAMED". ".VMR" is added to a
// file name without an extension.
struct FileName {
  std::string os_file;
  std::string table;
};
FileName SplitFileName(std::string_view name);

}  // namespace tavero::vmr
