// A small table for the driver-level transaction tests: records of an INT32
// id (unique key) and an INT32 amount, declared through a FileObject.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "storage/driver/driver.h"

namespace tavero::vmr::testing_support {

struct Account {
  Account(const std::string& name, driver::DriverEntry& entry) {
    using driver::FieldType;
    layout = driver::RecordLayoutWriter().Field("T:ID", 0, FieldType::INT32).Field("T:AMOUNT", 4, FieldType::INT32).Finish();
    by_id = {"T:BY_ID", nullptr, 0x00, {1}, &file};
    file.entry = &entry;
    file.name = name;
    file.attributes = 0x04;
    file.record_layout = layout;
    file.record = record;
    file.keys = {&by_id};
  }
  Account(const Account&) = delete;
  Account& operator=(const Account&) = delete;

  void set(std::int32_t id, std::int32_t amount) {
    std::memcpy(record.data(), &id, 4);
    std::memcpy(record.data() + 4, &amount, 4);
  }
  std::int32_t amount() const {
    std::int32_t value;
    std::memcpy(&value, record.data() + 4, 4);
    return value;
  }
  // The amount of record `id`, or -1 when it cannot be read.
  std::int32_t amount_of(std::int32_t id) {
    std::int32_t value = 0;
    return read(id, value) == 0 ? value : -1;
  }
  // Reads record `id`; 0 or the error.
  int read(std::int32_t id, std::int32_t& value) {
    set(id, 0);
    if (int e = driver::Get(file, by_id)) return e;
    value = amount();
    return 0;
  }
  // Reads record `id` and writes it back with `amount`; 0 or the error.
  int put_amount(std::int32_t id, std::int32_t amount) {
    set(id, 0);
    if (int e = driver::Get(file, by_id)) return e;
    set(id, amount);
    return driver::Put(file);
  }

  std::vector<std::uint8_t> layout;
  std::array<std::uint8_t, 8> record{};
  driver::KeyObject by_id;
  driver::FileObject file;
};

}  // namespace tavero::vmr::testing_support
