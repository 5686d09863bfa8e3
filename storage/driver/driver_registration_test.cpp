#include "storage/driver/driver_registration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tavero::driver {
namespace {

TEST(DriverRegistration, RecordPutsEveryFieldAtItsDistance) {
  const DriverRegistration ascii{
      .name = "ASCII",
      .library = "TVASC16.DLL",
      .notice = "",
      .description = "Ascii File Driver 1.0",
      .operations = {1, 51, 4, 59, 52, 14, 7, 9, 10, 13, 29, 53, 16, 20, 21, 23,
                     24, 25, 27, 61, 30, 54, 55, 66, 37, 38, 63, 60, 41, 43, 48, 50},
      .field_types = {18, 22},
      .sizes = {37, 25, 24, 121},
  };
  int entry_stand_in = 0;
  const RegistrationRecord record =
      EncodeRegistration(ascii, reinterpret_cast<const DriverEntry*>(&entry_stand_in));
  const std::vector<std::uint8_t>& b = record.bytes;

  EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "REGISTER");
  EXPECT_EQ(b[12], 31);  // 32 codes, less one
  EXPECT_EQ(b[13], 1);
  EXPECT_EQ(b[44], 50);
  EXPECT_EQ(b[45], 2);  // field-type count
  EXPECT_EQ(b[46], 18);
  EXPECT_EQ(b[47], 22);
  EXPECT_EQ(b[48], 0);  // the empty third list
  EXPECT_EQ(record.name_offset, 52u);

  const std::size_t p = record.name_offset;
  EXPECT_STREQ(reinterpret_cast<const char*>(&b[p + registration_offset::kName]), "ASCII");
  EXPECT_STREQ(reinterpret_cast<const char*>(&b[p + registration_offset::kLibrary]), "TVASC16.DLL");
  EXPECT_STREQ(reinterpret_cast<const char*>(&b[p + registration_offset::kDescription]),
               "Ascii File Driver 1.0");
  EXPECT_EQ(RegistrationU32(b, p + registration_offset::kSizes + 4), 25u);
  EXPECT_EQ(RegistrationU32(b, p + registration_offset::kSizes + 12), 121u);
  EXPECT_EQ(RegistrationU32(b, p + registration_offset::kLimits), 64000u);
  std::uintptr_t entry = 0;
  std::memcpy(&entry, &b[p + registration_offset::kEntry], sizeof entry);
  EXPECT_EQ(entry, reinterpret_cast<std::uintptr_t>(&entry_stand_in));
  std::uintptr_t operations = 0;
  std::memcpy(&operations, &b[p + registration_offset::kOperationList], sizeof operations);
  EXPECT_EQ(operations, reinterpret_cast<std::uintptr_t>(b.data() + 12));
  EXPECT_EQ(b.size(), p + registration_offset::kEnd);
}

}  // namespace
}  // namespace tavero::driver
