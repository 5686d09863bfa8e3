// DriverRegistration: the static record each driver answers to SEND
// "REGISTER".
//
// Record layout (little-endian; "P" is the start of the name field):
//
//   0        "REGISTER" (8 bytes), 4 zero bytes
//   12       number of supported operation codes less one (1 byte), the codes
//            (1 byte each)
//   ...      number of supported field-type codes (1 byte), the codes
//   ...      a zero count byte and nothing after it
//   ...      zero padding to a 4-byte boundary: this is P
//   P+0      driver name, 21 bytes NUL padded ("ASCII", "VELMORAN")
//   P+21     library file name, 13 bytes ("TVASC16.DLL", "TVVMR16.DLL")
//   P+34     notice text, 41 bytes
//   P+75     description, 31 bytes ("Ascii File Driver 1.0")
//   P+106    address of the DriverEntry (8 bytes)
//   P+114    driver limits: record length, keys, blobs, key components (4 x 32-bit)
//   P+130    element sizes of the driver's field, key and blob descriptors
//            and of its DriverState (4 x 32-bit)
//   P+146    address of the operation list at offset 12 (8 bytes)
//   P+154    end
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tavero::driver {

class DriverEntry;

struct DriverLimits {
  std::uint32_t record_length = 64000;
  std::uint32_t keys = 240;
  std::uint32_t blobs = 255;
  std::uint32_t key_components = 255;
};

struct DescriptorSizes {
  std::uint32_t field = 0;
  std::uint32_t key = 0;
  std::uint32_t blob = 0;
  std::uint32_t state = 0;
};

struct DriverRegistration {
  std::string_view name;         // at most 20 characters
  std::string_view library;      // at most 12
  std::string_view notice;       // at most 40
  std::string_view description;  // at most 30
  std::vector<std::uint8_t> operations;   // supported operation codes, 1 to 256 of them
  std::vector<std::uint8_t> field_types;  // supported field-type codes
  DriverLimits limits;
  DescriptorSizes sizes;
};

namespace registration_offset {
inline constexpr std::size_t kName = 0;
inline constexpr std::size_t kLibrary = 21;
inline constexpr std::size_t kNotice = 34;
inline constexpr std::size_t kDescription = 75;
inline constexpr std::size_t kEntry = 106;
inline constexpr std::size_t kLimits = 114;
inline constexpr std::size_t kSizes = 130;
inline constexpr std::size_t kOperationList = 146;
inline constexpr std::size_t kEnd = 154;
}  // namespace registration_offset

// The record bytes and where its name field starts.
struct RegistrationRecord {
  std::vector<std::uint8_t> bytes;
  std::size_t name_offset = 0;  // P
};

RegistrationRecord EncodeRegistration(const DriverRegistration& registration, const DriverEntry* entry);

// Reads a 32-bit value of the record at `offset` (for the runtime walking
// the sizes and limits, and for tests).
std::uint32_t RegistrationU32(std::span<const std::uint8_t> record, std::size_t offset);

}  // namespace tavero::driver
