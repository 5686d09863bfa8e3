// The VMR driver: registration, field types, and the state built from a
// file's declaration.
#include <cassert>

#include "runtime/error_codes.h"
#include "storage/vmr/driver_state.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/page_tree.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {

driver::DriverRegistration VmrRegistration() {
  driver::DriverRegistration registration;
  registration.name = "VELMORAN";
  registration.library = "TVVMR16.DLL";
  registration.notice = "Tavero VMR file driver";
  registration.description = "Velmoran (VMR) Driver 1.00";
  registration.operations = {1,  4,  2,  5,  3,  6,  52, 14, 7,  8,  9,  10, 11, 12, 57, 13, 29,
                             15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 65, 25, 26, 27, 28, 61, 62,
                             31, 30, 54, 32, 33, 66, 67, 36, 37, 38, 63, 64, 40, 60, 41, 42, 43,
                             44, 47, 45, 46, 48, 49, 56, 50, 58, 34, 75, 76, 77, 78, 79};
  registration.field_types = {1, 2, 3, 6, 7, 8, 9, 10, 18, 19, 20, 21, 26, 22, 23};
  registration.sizes = {37, 37, 40, 122};
  return registration;
}

VmrDriver::VmrDriver(FileSystem& file_system) : FileDriver(VmrRegistration()), file_system_(file_system) {}

VmrDriver::~VmrDriver() = default;

VmrDriver& Driver() {
  static VmrDriver driver(PosixFileSystem());
  return driver;
}

driver::StoredAs VmrDriver::Stores(driver::FieldType type) const {
  const auto info = driver::FieldTypeInfoFor(static_cast<std::uint8_t>(type));
  return info ? info->vmr : driver::StoredAs::No;
}

std::unique_ptr<driver::DriverState> VmrDriver::NewState() const { return std::make_unique<VmrState>(); }

std::string dynamic_index_file(const std::string& os_file, const std::string& table, std::size_t key) {
  return os_file + "." + table + "." + std::to_string(key) + ".IDX";
}

bool table_fits_pages(const TableDefinition& definition) {
  // A data record: 9 bytes of key part and the image. A key entry: 5 bytes,
  // the value and 4 bytes of record number.
  if (9u + definition.record_length > kMaxRecordLength) return false;
  for (const KeyDefinition& key : definition.keys) {
    if (5u + definition.key_value_length(key) + 4u > kMaxKeyLength) return false;
  }
  return true;
}

// The table's declaration from the flattened field list and the key and
// blob descriptors the dispatcher built.
int VmrDriver::FinishState(driver::FileObject& file, driver::DriverState& base) {
  VmrState& state = static_cast<VmrState&>(base);
  TableDefinition& d = state.definition;
  d.record_length = static_cast<std::uint16_t>(state.record.size());
  for (const driver::FieldDescriptor& f : state.fields) d.fields.push_back(field_definition_of(f));
  for (const driver::BlobDescriptor& b : state.blobs) {
    std::optional<std::string> second_name;
    if (!b.blob->second_name.empty()) second_name.emplace(b.blob->second_name);
    d.blobs.push_back({b.blob->name, std::move(second_name), static_cast<std::uint16_t>(b.attributes),
                       static_cast<std::uint16_t>(b.size)});
  }
  for (const driver::KeyDescriptor& k : state.keys) {
    KeyDefinition key;
    key.name = k.name;
    key.attributes = k.attributes;
    for (const driver::KeyComponent& c : k.components) {
      key.components.push_back({static_cast<std::uint16_t>(c.field), c.descending});
    }
    d.keys.push_back(std::move(key));
  }
  const bool oem = (file.attributes & driver::file_attribute::kOemText) != 0;
  state.table.emplace(d, state.record, KeyEncodingOptions{oem});
  for (std::size_t i = 0; i < state.blobs.size(); ++i) {
    const driver::BlobObject& blob = *state.blobs[i].blob;
    if (!state.blobs[i].IsBlob() && !blob.buffer.empty()) state.table->set_memo_buffer(i, blob.buffer);
  }
  state.index_stores.resize(d.keys.size());
  return 0;
}

}  // namespace tavero::vmr
