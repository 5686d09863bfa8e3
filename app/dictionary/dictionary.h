// The collection's data dictionary: the four data files CARDSET,
// MANUFACTURER, TYPES and SETINFORMATION, declared as data (fields with
// their offsets, sizes and pictures, keys with their attributes and
// components, the memo of SETINFORMATION), and built into the runtime's
// FileObjects.
//
// The files carry the attribute "one open instance per thread": each engine
// thread has its own instance of each file (FileObject, record buffer, memo,
// driver state and position) and its own open counts, so a procedure's
// current record never moves under it while another window handles its
// events. Procedures hand records to each other only on one thread (browse
// to form to select).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/driver/driver.h"

namespace zephcol {

struct FieldDeclaration {
  std::string_view name;  // "CAR:SET_NO"
  tavero::driver::FieldType type;
  std::uint32_t offset;
  std::uint32_t size;     // bytes: a string's length, a PACKED field's byte size
  std::uint8_t places;    // PACKED: decimal places
  std::string_view picture;  // how entry fields show it
};

struct KeyDeclaration {
  std::string_view name;  // "CAR:SET"
  std::uint32_t attributes;
  // Field numbers (1-based, the column # of the file's table); negative
  // sorts descending. Unused places are 0.
  std::array<std::int32_t, 3> components;
};

struct MemoDeclaration {
  std::string_view name;  // "SET:NOTES"
  std::uint32_t size;
  std::uint32_t attributes;  // 0: a memo
};

struct FileDeclaration {
  std::string_view label;   // also the file name given to the driver
  std::string_view prefix;  // "CAR"
  std::uint32_t record_length;
  std::uint8_t attributes;
  std::span<const FieldDeclaration> fields;
  std::span<const KeyDeclaration> keys;
  std::span<const MemoDeclaration> memos;
};

// Names of fields, keys and files compare upper-cased (ASCII letters only).
bool SameName(std::string_view a, std::string_view b);
// The declaration of field `name` of `file` (any case), nullptr when it
// has none.
const FieldDeclaration* FindField(const FileDeclaration& file, std::string_view name);

// A field's stored bytes. Strings: the text without trailing blanks (or
// NULs, which another program may have padded with); assignment pads with
// blanks or cuts. Integers: INT16 or INT32 by the field's size (an INT16
// keeps the low 16 bits: callers that care check the range first).
std::string FieldText(std::span<const std::uint8_t> bytes);
void SetFieldText(std::span<std::uint8_t> bytes, std::string_view value);
std::int32_t FieldNumber(std::span<const std::uint8_t> bytes);
void SetFieldNumber(std::span<std::uint8_t> bytes, std::int32_t value);

extern const FileDeclaration kCardsetDeclaration;
extern const FileDeclaration kManufacturerDeclaration;
extern const FileDeclaration kTypesDeclaration;
extern const FileDeclaration kSetInformationDeclaration;

// One declared file as the runtime holds it: its FileObject, KeyObjects,
// BlobObjects, compiled RecordLayout, record buffer and memo buffers.
class DataFile {
 public:
  DataFile(const FileDeclaration& declaration, tavero::driver::DriverEntry& driver);
  // Closes the file when it is still open (procedures close their files
  // through the open counts; this only tidies up after a test).
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  const FileDeclaration& declaration() const { return declaration_; }
  tavero::driver::FileObject& file() { return file_; }
  tavero::driver::KeyObject& key(std::string_view name);
  std::span<std::uint8_t> record() { return record_; }
  std::span<std::uint8_t> memo(std::size_t index) { return memos_[index]; }
  std::size_t memo_count() const { return memos_.size(); }

  // The open count of this instance: how many active procedures of the
  // owning thread counted the file (app/open_files.h keeps it).
  int& open_count() { return open_count_; }

  // The bytes of a field in the record buffer (name as declared, any case).
  std::span<std::uint8_t> field(std::string_view name);
  // FIXSTR fields: the text without trailing blanks; assignment pads with
  // blanks or cuts.
  std::string text(std::string_view name);
  void set_text(std::string_view name, std::string_view value);
  // INT16 and INT32 fields.
  std::int32_t number(std::string_view name);
  void set_number(std::string_view name, std::int32_t value);
  // Clears the record buffer: text fields blank, everything else zero, memos
  // blank.
  void clear();

 private:
  const FieldDeclaration& declared(std::string_view name) const;

  const FileDeclaration& declaration_;
  std::vector<std::uint8_t> layout_;
  std::vector<std::uint8_t> record_;
  std::vector<std::vector<std::uint8_t>> memos_;
  std::vector<tavero::driver::KeyObject> keys_;
  std::vector<tavero::driver::BlobObject> blobs_;
  tavero::driver::FileObject file_;
  int open_count_ = 0;
};

// One thread's instances of the four data files.
class DataFiles {
 public:
  explicit DataFiles(tavero::driver::DriverEntry& driver);
  DataFiles(const DataFiles&) = delete;
  DataFiles& operator=(const DataFiles&) = delete;

  DataFile& cardset() { return cardset_; }
  DataFile& manufacturer() { return manufacturer_; }
  DataFile& types() { return types_; }
  DataFile& set_information() { return set_information_; }

 private:
  DataFile cardset_;
  DataFile manufacturer_;
  DataFile types_;
  DataFile set_information_;
};

// The calling thread's instances of the four data files, on the VMR
// driver; made on the thread's first use and gone with the thread.
DataFiles& ThreadDataFiles();
DataFile& Cardset();
DataFile& Manufacturer();
DataFile& Types();
DataFile& SetInformation();

}  // namespace zephcol
