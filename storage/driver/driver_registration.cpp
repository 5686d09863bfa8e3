#include "storage/driver/driver_registration.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace tavero::driver {
namespace {

void PutText(std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view text, std::size_t width) {
  assert(text.size() < width);
  std::memcpy(bytes.data() + at, text.data(), std::min(text.size(), width - 1));
}

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutAddress(std::vector<std::uint8_t>& bytes, std::size_t at, const void* address) {
  const auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(address));
  for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

RegistrationRecord EncodeRegistration(const DriverRegistration& registration, const DriverEntry* entry) {
  namespace at = registration_offset;
  assert(!registration.operations.empty() && registration.operations.size() <= 256);
  assert(registration.field_types.size() <= 255);

  RegistrationRecord record;
  std::vector<std::uint8_t>& bytes = record.bytes;
  const std::string_view tag = "REGISTER";
  bytes.assign(tag.begin(), tag.end());
  bytes.resize(12, 0);
  bytes.push_back(static_cast<std::uint8_t>(registration.operations.size() - 1));
  bytes.insert(bytes.end(), registration.operations.begin(), registration.operations.end());
  bytes.push_back(static_cast<std::uint8_t>(registration.field_types.size()));
  bytes.insert(bytes.end(), registration.field_types.begin(), registration.field_types.end());
  bytes.push_back(0);
  while (bytes.size() % 4 != 0) bytes.push_back(0);

  const std::size_t p = bytes.size();
  record.name_offset = p;
  bytes.resize(p + at::kEnd, 0);
  PutText(bytes, p + at::kName, registration.name, at::kLibrary - at::kName);
  PutText(bytes, p + at::kLibrary, registration.library, at::kNotice - at::kLibrary);
  PutText(bytes, p + at::kNotice, registration.notice, at::kDescription - at::kNotice);
  PutText(bytes, p + at::kDescription, registration.description, at::kEntry - at::kDescription);
  PutAddress(bytes, p + at::kEntry, entry);
  const DriverLimits& limits = registration.limits;
  PutU32(bytes, p + at::kLimits, limits.record_length);
  PutU32(bytes, p + at::kLimits + 4, limits.keys);
  PutU32(bytes, p + at::kLimits + 8, limits.blobs);
  PutU32(bytes, p + at::kLimits + 12, limits.key_components);
  const DescriptorSizes& sizes = registration.sizes;
  PutU32(bytes, p + at::kSizes, sizes.field);
  PutU32(bytes, p + at::kSizes + 4, sizes.key);
  PutU32(bytes, p + at::kSizes + 8, sizes.blob);
  PutU32(bytes, p + at::kSizes + 12, sizes.state);
  // The vector is not resized again, so this address stays valid.
  PutAddress(bytes, p + at::kOperationList, bytes.data() + 12);
  return record;
}

std::uint32_t RegistrationU32(std::span<const std::uint8_t> record, std::size_t offset) {
  assert(offset + 4 <= record.size());
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | record[offset + i];
  return value;
}

}  // namespace tavero::driver
