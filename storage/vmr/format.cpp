#include "runtime/error_codes.h"
#include "storage/vmr/format.h"

#include <algorithm>
#include <cstring>

namespace tavero::vmr {

// Layout of the header (all counters little-endian):
//   0  own offset, always 0        4  header size 512
//   6  committed length            10 written length
//   14 magic "vElM"                18 two zero bytes
//   20 last identifier, big-endian 24 change counter
//   28 root block                  32 zone start x 60     272 zone end x 60
void FileHeader::Encode(std::span<std::uint8_t, kHeaderSize> out) const {
  std::uint8_t* p = out.data();
  std::memset(p, 0, kHeaderSize);
  Store32(p + 0, 0);
  Store16(p + 4, kHeaderSize);
  Store32(p + 6, committed_length);
  Store32(p + 10, written_length);
  std::memcpy(p + 14, kMagic.data(), 4);
  std::memcpy(p + 20, last_identifier.data(), 4);
  Store32(p + 24, change_counter);
  Store32(p + 28, root_block);
  for (int i = 0; i < kZoneCount; ++i) {
    Store32(p + 32 + 4 * i, zone_start[i]);
    Store32(p + 272 + 4 * i, zone_end[i]);
  }
}

FileHeader FileHeader::ReadFields(std::span<const std::uint8_t, kHeaderSize> in) {
  const std::uint8_t* p = in.data();
  FileHeader h;
  h.committed_length = Load32(p + 6);
  h.written_length = Load32(p + 10);
  std::memcpy(h.last_identifier.data(), p + 20, 4);
  h.change_counter = Load32(p + 24);
  h.root_block = Load32(p + 28);
  for (int i = 0; i < kZoneCount; ++i) {
    h.zone_start[i] = Load32(p + 32 + 4 * i);
    h.zone_end[i] = Load32(p + 272 + 4 * i);
  }
  return h;
}

Status FileHeader::Decode(std::span<const std::uint8_t, kHeaderSize> in, FileHeader& header) {
  const std::uint8_t* p = in.data();
  const Status invalid = Status::Error(error_code::kInvalidDataFile);
  if (std::memcmp(p + 14, kMagic.data(), 4) != 0) return invalid;
  if (Load32(p) != 0 || Load16(p + 4) != kHeaderSize) return invalid;
  FileHeader h = ReadFields(in);
  if (h.zone_start[0] != 0 || h.zone_end[0] != 0) return invalid;
  const std::uint32_t max_block = (kMaxFileOffset - kHeaderSize) / kBlockSize;
  for (int i = 1; i < kZoneCount; ++i) {
    if (h.zone_start[i] < h.zone_end[i - 1] || h.zone_end[i] < h.zone_start[i]) return invalid;
    if ((h.zone_end[i] - h.zone_start[i]) % static_cast<std::uint32_t>(i) != 0) return invalid;
    if (h.zone_end[i] > max_block) return invalid;
  }
  if (h.committed_length < h.UsedLength() || h.written_length < h.committed_length ||
      h.written_length > kMaxFileOffset || (h.written_length - kHeaderSize) % kBlockSize != 0 ||
      (h.committed_length - kHeaderSize) % kBlockSize != 0) {
    return invalid;
  }
  if (!h.TreeEmpty() && h.ClassOfBlock(h.root_block) == 0) return invalid;
  header = h;
  return Status::Ok();
}

bool FileHeader::TreeEmpty() const {
  for (int i = 1; i < kZoneCount; ++i) {
    if (zone_start[i] != zone_end[i]) return false;
  }
  return true;
}

std::uint32_t FileHeader::UsedLength() const {
  for (int i = kMaxClass; i >= 1; --i) {
    if (zone_start[i] != zone_end[i]) return static_cast<std::uint32_t>(BlockOffset(zone_end[i]));
  }
  return static_cast<std::uint32_t>(BlockOffset(zone_end[0]));
}

int FileHeader::ClassOfBlock(std::uint32_t block) const {
  for (int i = 1; i < kZoneCount; ++i) {
    if (block >= zone_start[i] && block < zone_end[i]) {
      // Pages of a zone start at multiples of its class from the zone start.
      return (block - zone_start[i]) % static_cast<std::uint32_t>(i) == 0 ? i : 0;
    }
  }
  return 0;
}

}  // namespace tavero::vmr
