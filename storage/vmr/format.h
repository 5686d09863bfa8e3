// Constants and fixed structures of the VMR file (see FORMAT.md).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "storage/vmr/status.h"

namespace tavero::vmr {

inline constexpr std::uint32_t kHeaderSize = 512;
inline constexpr std::uint32_t kBlockSize = 256;
inline constexpr int kMaxClass = 59;          // a page occupies 1 to 59 blocks
inline constexpr int kZoneCount = 60;         // zones 0 to 59; zone 0 stays empty
inline constexpr std::uint32_t kMaxPageBytes = kMaxClass * kBlockSize;  // 15104
inline constexpr std::uint32_t kPageHeaderSize = 13;  // + 4 per record on inner pages
inline constexpr std::uint32_t kRecordLimit = 15094;  // key + data length stays below
inline constexpr std::uint8_t kPadByte = 0xB0;
inline constexpr std::array<std::uint8_t, 4> kMagic = {0x76, 0x45, 0x6C, 0x4D};  // "vElM"
// File offsets stay below the lock regions at 2^31.
inline constexpr std::uint64_t kMaxFileOffset = 0x80000000u;

inline std::uint16_t Load16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void Store16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Store32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline constexpr std::uint64_t BlockOffset(std::uint32_t block) {
  return kHeaderSize + std::uint64_t{kBlockSize} * block;
}
inline constexpr std::uint32_t BlocksFor(std::uint32_t bytes) { return (bytes + kBlockSize - 1) / kBlockSize; }

// The 512 bytes at offset 0.
struct FileHeader {
  std::uint32_t committed_length = kHeaderSize;
  std::uint32_t written_length = kHeaderSize;
  std::array<std::uint8_t, 4> last_identifier{};  // big-endian
  std::uint32_t change_counter = 0;
  std::uint32_t root_block = 0;
  std::array<std::uint32_t, kZoneCount> zone_start{};
  std::array<std::uint32_t, kZoneCount> zone_end{};

  bool operator==(const FileHeader&) const = default;

  void Encode(std::span<std::uint8_t, kHeaderSize> out) const;
  // Checks the magic, the header size, the lengths and that the zones are
  // packed in class order; anything else gives 36.
  static Status Decode(std::span<const std::uint8_t, kHeaderSize> in, FileHeader& header);
  // The fields as they stand, judged by nothing: for tools that want to say
  // what is wrong with a header rather than refuse it whole.
  static FileHeader ReadFields(std::span<const std::uint8_t, kHeaderSize> in);

  bool TreeEmpty() const;
  // 512 + 256 x the end block of the highest non-empty zone.
  std::uint32_t UsedLength() const;
  // The class whose zone holds `block`, or 0.
  int ClassOfBlock(std::uint32_t block) const;
};

}  // namespace tavero::vmr
