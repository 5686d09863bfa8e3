// FileState bits and access modes.
#pragma once

#include <cstdint>

namespace tavero::driver {

// The state of an open file as the dispatcher and OperationRules see it.
enum class FileState : std::uint8_t {
  None = 0,
  Open = 0x01,
  HasRecord = 0x02,
  InTransaction = 0x04,
  Streaming = 0x08,
  Locked = 0x10,
  SequenceReady = 0x20,
  Writable = 0x40,
  Exclusive = 0x80,
};

constexpr FileState operator|(FileState a, FileState b) {
  return static_cast<FileState>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
constexpr FileState operator&(FileState a, FileState b) {
  return static_cast<FileState>(static_cast<std::uint8_t>(a) & static_cast<std::uint8_t>(b));
}
constexpr FileState operator~(FileState a) {
  return static_cast<FileState>(static_cast<std::uint8_t>(~static_cast<std::uint8_t>(a)));
}
constexpr FileState& operator|=(FileState& a, FileState b) { return a = a | b; }
constexpr FileState& operator&=(FileState& a, FileState b) { return a = a & b; }
// True when every bit of `bits` is set in `state`.
constexpr bool Has(FileState state, FileState bits) { return (state & bits) == bits; }
// True when any bit of `bits` is set in `state`.
constexpr bool HasAny(FileState state, FileState bits) { return (state & bits) != FileState::None; }

// Access modes (argument of OPEN and SHARE). The low two bits select the
// access: 0 read only, 1 write only, 2 read/write; the deny bits decide what
// other openers may do. The application opens its files with 0x42.
namespace access_mode {
inline constexpr std::uint32_t kReadOnly = 0x00;
inline constexpr std::uint32_t kWriteOnly = 0x01;
inline constexpr std::uint32_t kReadWrite = 0x02;
inline constexpr std::uint32_t kAccessMask = 0x03;
inline constexpr std::uint32_t kDenyAll = 0x10;
inline constexpr std::uint32_t kDenyWrite = 0x20;
inline constexpr std::uint32_t kDenyRead = 0x30;
inline constexpr std::uint32_t kDenyNone = 0x40;
}  // namespace access_mode

// The FileState bits an access mode gives: Writable for access 1 or 2,
// Exclusive when either deny bit 0x10 or 0x20 is set.
constexpr FileState AccessModeState(std::uint32_t mode) {
  FileState state = FileState::None;
  const std::uint32_t access = mode & access_mode::kAccessMask;
  if (access == access_mode::kWriteOnly || access == access_mode::kReadWrite) state |= FileState::Writable;
  if (mode & (access_mode::kDenyAll | access_mode::kDenyWrite)) state |= FileState::Exclusive;
  return state;
}

}  // namespace tavero::driver
