#include "storage/vmr/check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "storage/vmr/format.h"
#include "storage/vmr/page_codec.h"
#include "storage/vmr/page_tree.h"
#include "storage/vmr/check_records.h"

namespace tavero::vmr {
namespace {


std::string Format(const char* format, auto... values) {
  char line[256];
  std::snprintf(line, sizeof line, format, values...);
  return line;
}

// The header fields without judging them: `FileHeader::Decode` rejects a
// damaged header as a whole, the check wants to say why.
FileHeader RawHeader(std::span<const std::uint8_t> image) {
  return FileHeader::ReadFields(image.first<kHeaderSize>());
}

bool OnBlockBoundary(std::uint32_t length) {
  return length >= kHeaderSize && (length - kHeaderSize) % kBlockSize == 0;
}

// Checks the header of an image; false when the tree cannot be walked.
bool CheckHeader(std::span<const std::uint8_t> image, const FileHeader& h, bool pending_applied,
                 ProblemList& problems) {
  const std::uint8_t* p = image.data();
  bool walkable = true;
  if (std::memcmp(p + 14, kMagic.data(), 4) != 0) {
    problems.Add("header: magic is not \"vElM\": not a VMR file");
    return false;
  }
  if (Load32(p) != 0) problems.Add(Format("header: own offset is %u, not 0", Load32(p)));
  if (Load16(p + 4) != kHeaderSize) problems.Add(Format("header: header size is %u, not 512", Load16(p + 4)));
  if (p[18] != 0 || p[19] != 0) problems.Add("header: bytes 18 and 19 are not zero");
  if (h.last_identifier[0] >= 0xFE) {
    problems.Add(Format("header: identifier counter reached %02X000000", h.last_identifier[0]));
  }
  if (!OnBlockBoundary(h.committed_length) || !OnBlockBoundary(h.written_length)) {
    problems.Add(Format("header: lengths %u and %u are not on block boundaries", h.committed_length,
                        h.written_length));
  }
  if (!pending_applied && h.written_length < h.committed_length) {
    problems.Add(Format("header: written length %u is below committed length %u", h.written_length,
                        h.committed_length));
  }
  if (h.committed_length > image.size()) {
    problems.Add(Format("file is truncated: %u bytes are committed, the file has %zu", h.committed_length,
                        image.size()));
  }
  if (h.zone_start[0] != 0 || h.zone_end[0] != 0) {
    problems.Add("zones: zone 0 is not empty at block 0");
    walkable = false;
  }
  for (int i = 1; i < kZoneCount; ++i) {
    if (h.zone_start[i] < h.zone_end[i - 1]) {
      problems.Add(Format("zones: zone %d starts at block %u, inside zone %d (ends at %u)", i, h.zone_start[i],
                          i - 1, h.zone_end[i - 1]));
      walkable = false;
    }
    if (h.zone_end[i] < h.zone_start[i]) {
      problems.Add(Format("zones: zone %d ends at block %u before its start %u", i, h.zone_end[i], h.zone_start[i]));
      walkable = false;
    } else if ((h.zone_end[i] - h.zone_start[i]) % static_cast<std::uint32_t>(i) != 0) {
      problems.Add(Format("zones: zone %d holds %u blocks, not a whole number of %d-block pages", i,
                          h.zone_end[i] - h.zone_start[i], i));
      walkable = false;
    }
  }
  if (!walkable) return false;
  if (h.UsedLength() > h.committed_length) {
    problems.Add(Format("zones: they end at byte %u, beyond the committed length %u", h.UsedLength(),
                        h.committed_length));
  }
  if (!h.TreeEmpty()) {
    const int root_class = h.ClassOfBlock(h.root_block);
    if (root_class == 0 || (h.root_block - h.zone_start[root_class]) % root_class != 0) {
      problems.Add(Format("header: root block %u is not the start of a page in any zone", h.root_block));
      return false;
    }
  }
  return true;
}

// Applies the pending copies of an interrupted commit to `image`, as a
// reader that may not finish the commit does. False when they are damaged:
// each copy must start a page of its own size class in the new header's
// zones, within its used length and within the image, as recovery demands.
bool ApplyPending(std::vector<std::uint8_t>& image, const FileHeader& old_header, ProblemList& problems) {
  std::uint64_t offset = old_header.committed_length;
  const std::uint64_t end = std::min<std::uint64_t>(old_header.written_length, image.size());
  std::optional<std::vector<std::uint8_t>> new_header;
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> pages;
  const auto damaged = [&](std::uint64_t at) {
    problems.Add(Format("interrupted commit: the pending copy at byte %llu is damaged",
                        static_cast<unsigned long long>(at)));
    return false;
  };
  while (offset + kPageHeaderSize <= end) {
    const std::uint8_t* p = image.data() + offset;
    const std::uint32_t target = Load32(p);
    const std::uint32_t stored = Load16(p + 4);
    const std::uint64_t length = target == 0 ? kHeaderSize : std::uint64_t{BlocksFor(stored)} * kBlockSize;
    if (stored == 0 || length > kMaxPageBytes || offset + length > end ||
        (target != 0 && !OnBlockBoundary(target))) {
      return damaged(offset);
    }
    std::vector<std::uint8_t> bytes(p, p + length);
    if (target == 0) {
      new_header = std::move(bytes);
    } else {
      pages.emplace_back(target, std::move(bytes));
    }
    offset += length;
  }
  if (!new_header) {
    problems.Add("interrupted commit: no pending copy of the new header");
    return false;
  }
  FileHeader fresh;
  if (!FileHeader::Decode(std::span<const std::uint8_t, kHeaderSize>(new_header->data(), kHeaderSize), fresh).ok()) {
    problems.Add("interrupted commit: the pending copy of the new header is damaged");
    return false;
  }
  const std::uint64_t used = std::min<std::uint64_t>(fresh.UsedLength(), old_header.committed_length);
  for (const auto& [target, bytes] : pages) {
    const std::uint32_t block = (target - kHeaderSize) / kBlockSize;
    if (target + bytes.size() > used || target + bytes.size() > image.size() ||
        static_cast<std::size_t>(fresh.ClassOfBlock(block)) * kBlockSize != bytes.size()) {
      problems.Add(Format("interrupted commit: a pending copy targets byte %u, not a page of its size in the new tree",
                          target));
      return false;
    }
  }
  for (const auto& [target, bytes] : pages) std::copy(bytes.begin(), bytes.end(), image.begin() + target);
  std::copy(new_header->begin(), new_header->end(), image.begin());
  return true;
}

// Walks the tree from the root and checks every page on the way.
class TreeWalk {
 public:
  TreeWalk(std::span<const std::uint8_t> image, const FileHeader& header, ProblemList& problems)
      : image_(image), header_(header), problems_(problems) {}

  void Run() {
    if (header_.TreeEmpty()) return;
    Visit(header_.root_block, std::nullopt, std::nullopt, std::nullopt);
    CheckZonesHoldOnlyTreePages();
  }

  std::vector<Record>& records() { return records_; }
  std::size_t pages() const { return visited_.size(); }

 private:
  std::string Where(std::uint32_t block) const { return Format("page at block %u", block); }

  // Visits the page at `block`. `level` is what its parent expects; `low`
  // and `high` bound its key parts: its first key part equals its
  // separator `low`, and every key part is below the next separator `high`.
  void Visit(std::uint32_t block, std::optional<int> level, std::optional<std::string_view> low,
             std::optional<std::string_view> high) {
    const int page_class = header_.ClassOfBlock(block);
    if (page_class == 0 || (block - header_.zone_start[page_class]) % page_class != 0) {
      problems_.Add(Where(block) + " is not the start of a page in any zone");
      return;
    }
    if (!visited_.insert(block).second) {
      problems_.Add(Where(block) + " is reached twice in the tree");
      return;
    }
    const std::uint64_t offset = BlockOffset(block);
    const std::uint64_t length = std::uint64_t{kBlockSize} * page_class;
    if (offset + length > image_.size()) {
      problems_.Add(Where(block) + " lies beyond the end of the file");
      return;
    }
    const auto stored = image_.subspan(offset, length);
    if (!CheckPageHeader(block, page_class, stored)) return;
    PageContent page;
    if (Status status = DecodePage(stored, block, page); !status.ok()) {
      problems_.Add(Where(block) + Format(": its records do not decode (check %d)", status.value()));
      return;
    }
    if (level && page.level != *level) {
      problems_.Add(Where(block) + Format(": level %d where its parent expects %d", page.level, *level));
      return;
    }
    if (page.records.empty()) {
      if (level) problems_.Add(Where(block) + ": holds no records");
      return;
    }
    const std::string_view first_key = page.records.front().key();
    if (low && first_key != *low) {
      problems_.Add(Where(block) + ": first key part " + Printable(first_key) +
                    " differs from its separator " + Printable(*low));
    }
    if (high && CompareKeys(page.records.back().key(), *high) >= 0) {
      problems_.Add(Where(block) + ": key part " + Printable(page.records.back().key()) +
                    " is not below the next separator " + Printable(*high));
    }
    CheckSplitLimits(block, page);
    if (page.level == 0) {
      records_.insert(records_.end(), page.records.begin(), page.records.end());
      kept_.Share(page.bytes);
      return;
    }
    for (std::size_t i = 0; i < page.records.size(); ++i) {
      if (!page.records[i].data().empty()) {
        problems_.Add(Where(block) + Format(": separator %zu carries data", i));
      }
      const std::optional<std::string_view> next =
          i + 1 < page.records.size() ? std::optional(page.records[i + 1].key()) : high;
      Visit(page.children[i], page.level - 1, page.records[i].key(), next);
    }
  }

  bool CheckPageHeader(std::uint32_t block, int page_class, std::span<const std::uint8_t> stored) {
    const std::uint32_t own = Load32(stored.data());
    const std::uint32_t stored_size = Load16(stored.data() + 4);
    const std::uint32_t unpacked = Load16(stored.data() + 6);
    const std::uint32_t capacity = Load16(stored.data() + 8);
    bool ok = true;
    if (own != BlockOffset(block)) {
      problems_.Add(Where(block) + Format(": carries offset %u instead of %llu", own,
                                          static_cast<unsigned long long>(BlockOffset(block))));
      ok = false;
    }
    if (BlocksFor(stored_size) != static_cast<std::uint32_t>(page_class)) {
      problems_.Add(Where(block) + Format(": stored size %u does not fill a page of zone %d", stored_size,
                                          page_class));
      return false;
    }
    if (stored_size > unpacked || unpacked > capacity) {
      problems_.Add(Where(block) + Format(": sizes out of order (stored %u, unpacked %u, capacity %u)",
                                          stored_size, unpacked, capacity));
      ok = false;
    }
    if (std::any_of(stored.begin() + stored_size, stored.end(), [](std::uint8_t b) { return b != kPadByte; })) {
      problems_.Add(Where(block) + ": padding after the stored size is not all B0");
    }
    return ok;
  }

  void CheckSplitLimits(std::uint32_t block, const PageContent& page) {
    if (page.records.size() < 2) return;
    std::uint64_t size = 0;
    for (const auto& record : page.records) size += RecordEstimate(record, page.level > 0);
    if (size > kSplitSize || (size > kSplitSizeMany && page.records.size() > kSplitCountMany)) {
      problems_.Add(Where(block) + Format(": %zu records of %llu bytes should have been split", page.records.size(),
                                          static_cast<unsigned long long>(size)));
    }
  }

  // Zones stay packed: every page slot of every zone is a page of the tree.
  void CheckZonesHoldOnlyTreePages() {
    const std::uint64_t file_blocks = image_.size() > kHeaderSize ? (image_.size() - kHeaderSize) / kBlockSize : 0;
    for (int i = 1; i < kZoneCount; ++i) {
      std::size_t stray = 0;
      std::uint32_t first_stray = 0;
      for (std::uint64_t block = header_.zone_start[i]; block + i <= header_.zone_end[i] && block < file_blocks;
           block += i) {
        if (visited_.count(static_cast<std::uint32_t>(block)) == 0 && stray++ == 0) {
          first_stray = static_cast<std::uint32_t>(block);
        }
      }
      if (stray > 0) {
        problems_.Add(Format("zones: %zu page(s) of zone %d are not part of the tree (first at block %u)", stray, i,
                             first_stray));
      }
    }
  }

  std::span<const std::uint8_t> image_;
  const FileHeader& header_;
  ProblemList& problems_;
  std::set<std::uint32_t> visited_;
  std::vector<Record> records_;
  // The bytes `records_` view.
  RecordBytes kept_;
};

void Check(std::span<const std::uint8_t> bytes, CheckResult& result, ProblemList& problems) {
  if (bytes.empty()) return;  // a new file
  if (bytes.size() < kHeaderSize) {
    problems.Add(Format("file is truncated: %zu bytes, shorter than its 512-byte header", bytes.size()));
    return;
  }
  std::vector<std::uint8_t> image(bytes.begin(), bytes.end());
  FileHeader header = RawHeader(image);
  bool pending_applied = false;
  if (header.committed_length != header.written_length &&
      std::memcmp(image.data() + 14, kMagic.data(), 4) == 0 && OnBlockBoundary(header.committed_length) &&
      header.written_length > header.committed_length) {
    result.interrupted_commit = true;
    if (header.written_length > image.size()) {
      problems.Add(Format("file is truncated: %u bytes are written, the file has %zu", header.written_length,
                          image.size()));
    }
    if (ApplyPending(image, header, problems)) {
      header = RawHeader(image);
      pending_applied = true;
    }
  }
  if (!CheckHeader(image, header, pending_applied, problems)) return;
  TreeWalk walk(image, header, problems);
  walk.Run();
  result.pages = walk.pages();
  result.records = walk.records().size();
  result.tables = CheckTableRecords(walk.records(), problems);
}

}  // namespace

CheckResult CheckImage(std::span<const std::uint8_t> bytes) {
  CheckResult result;
  ProblemList problems(result.problems);
  Check(bytes, result, problems);
  problems.Finish();
  return result;
}

CheckResult CheckFile(const std::string& path, FileSystem& fs) {
  CheckResult result;
  auto cannot_read = [&](int error) {
    result.problems.push_back(std::string("cannot read the file: ") + std::strerror(error));
    return result;
  };
  std::unique_ptr<File> file;
  if (int error = fs.Open(path, OpenMode{}, file)) return cannot_read(error);
  std::uint64_t size = 0;
  if (int error = file->Size(size)) return cannot_read(error);
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    result.problems.push_back("file is larger than 4 GB: not a VMR file");
    return result;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t read = 0;
  if (int error = file->ReadAt(0, bytes, read)) return cannot_read(error);
  bytes.resize(read);
  return CheckImage(bytes);
}

}  // namespace tavero::vmr
