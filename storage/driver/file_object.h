// FileObject, KeyObject, BlobObject: the runtime's descriptors of a declared
// file, key and memo or blob; and DriverState, the per-file state a driver
// builds from them on first use.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "storage/driver/file_state.h"
#include "storage/driver/operation.h"
#include "storage/driver/record_layout.h"

namespace tavero::driver {

class DriverEntry;
struct DriverState;
struct FileObject;
struct KeyDescriptor;

// Every object that can be dispatched (files and views) starts with the
// driver's one entry routine.
struct FileLike {
  DriverEntry* entry = nullptr;
};

// FileObject attribute bits.
namespace file_attribute {
inline constexpr std::uint8_t kCreate = 0x04;              // CREATE allowed (else 54)
inline constexpr std::uint8_t kInstancePerThread = 0x10;   // one open instance per thread
inline constexpr std::uint8_t kOemText = 0x20;             // text fields stored in OEM
}  // namespace file_attribute

// KeyObject attribute bits (the drivers give them their meaning).
namespace key_attribute {
inline constexpr std::uint32_t kDuplicates = 0x01;
inline constexpr std::uint32_t kExcludeBlank = 0x02;
inline constexpr std::uint32_t kCaseInsensitive = 0x04;
inline constexpr std::uint32_t kIndex = 0x4000;
}  // namespace key_attribute

// BlobObject attribute bits.
namespace blob_attribute {
inline constexpr std::uint32_t kBlob = 0x04;  // variable length; clear: a memo
}  // namespace blob_attribute

inline constexpr std::size_t kMaxKeys = 240;
inline constexpr std::size_t kMaxBlobs = 255;
inline constexpr std::size_t kMaxKeyComponents = 255;
inline constexpr std::uint32_t kMaxBlobSize = 64000;

struct KeyObject {
  std::string name;
  // The key's descriptor inside the file's DriverState; set while the file
  // has a state, null otherwise.
  KeyDescriptor* descriptor = nullptr;
  std::uint32_t attributes = 0;
  // Field numbers, 1-based in RecordLayout stream order (groups included);
  // a negative number sorts that component descending. At most 255.
  std::vector<std::int32_t> components;
  FileObject* file = nullptr;  // the owning file
};

struct BlobObject {
  std::string name;
  std::string second_name;
  // A memo's fixed-size text buffer (its declared size); a blob keeps its
  // bytes in the driver state and leaves this empty.
  std::span<std::uint8_t> buffer;
  std::uint32_t size = 0;  // declared size in bytes, at most 64000
  std::uint32_t attributes = 0;
};

// One per declared file. The data dictionary fills the declaration; the
// driver owns `driver_state`.
struct FileObject : FileLike {
  std::string name;            // as used to open it; else the file's label
  std::string driver_options;  // options, each introduced by "/"
  std::string third_text;      // a further declaration text, carried along
  std::uint8_t attributes = 0;
  std::span<const std::uint8_t> record_layout;
  std::vector<KeyObject*> keys;    // at most 240
  std::vector<BlobObject*> blobs;  // at most 255
  std::span<std::uint8_t> record;  // the record buffer; its size is the record length
  std::unique_ptr<DriverState> driver_state;  // null until the first operation
};

// A component of a key, resolved against the flattened field list.
struct KeyComponent {
  std::size_t field = 0;  // index into DriverState::fields
  bool descending = false;
};

struct KeyDescriptor {
  int number = 0;  // 0-based position in the file's key list
  KeyObject* key = nullptr;
  std::string name;
  std::uint32_t attributes = 0;
  std::vector<KeyComponent> components;
};

struct BlobDescriptor {
  int number = 0;  // 0-based position in the file's blob list
  BlobObject* blob = nullptr;
  std::uint32_t size = 0;  // declared size
  std::uint32_t attributes = 0;
  std::vector<std::uint8_t> content;  // a blob's current bytes (memos use their buffer)
  bool IsBlob() const { return (attributes & blob_attribute::kBlob) != 0; }
};

// The per-file state every driver keeps; a driver derives its own state
// from it and adds what its format needs. Built by the dispatcher on the
// first operation on a file, released by CLOSE and by the operations that
// work on a closed file (CREATE, COPY, RENAME, REMOVE).
struct DriverState {
  virtual ~DriverState() = default;

  FileObject* file = nullptr;  // back pointer
  std::string name;
  std::string driver_options;
  std::string third_text;
  std::uint8_t attributes = 0;
  std::span<std::uint8_t> record;  // the record buffer and length
  std::vector<FieldDescriptor> fields;
  std::uint32_t covered_size = 0;
  std::vector<KeyDescriptor> keys;  // one per KeyObject, same order
  std::vector<BlobDescriptor> blobs;
  std::uint32_t access_mode = 0;  // of the last OPEN or SHARE
  OperationCode last_sequential{};  // the last operation of kind 0x04; 0 none
  FileState file_state = FileState::None;
  std::uint8_t call_flags = 0;  // kind flags of the operations that succeeded in this call
  KeyDescriptor* sequence_key = nullptr;  // drives NEXT and PREVIOUS; null: record order
};

// The FileState of a file (None while it has no DriverState).
inline FileState FileStateOf(const FileObject& file) {
  return file.driver_state ? file.driver_state->file_state : FileState::None;
}

}  // namespace tavero::driver
