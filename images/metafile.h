// Placeable metafiles: the page files of reports. A writer for the records
// the report engine draws with, and a strict reader that page viewers and
// printing replay from. FORMAT-metafile.md describes the bytes.
//
// Page files are read back from a temporary directory that other programs
// can write to: the reader trusts nothing. Every size is checked against the
// file before it is used, every object index against the header's count and
// the objects alive, and a file that breaks a rule gives an error value,
// never a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tavero::images {

// The 22-byte placeable header in front of the metafile: its bounding box in
// the metafile's own units and how many of them make an inch.
struct PlaceableHeader {
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t right = 0;
  std::int16_t bottom = 0;
  std::uint16_t units_per_inch = 0;
  friend bool operator==(const PlaceableHeader&, const PlaceableHeader&) = default;
};

inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
inline constexpr std::size_t kPlaceableHeaderSize = 22;
inline constexpr std::size_t kMetaHeaderSize = 18;
// A record of this many 16-bit words or more is refused by the writer.
inline constexpr std::uint32_t kMaxRecordWords = 0x8000;
inline constexpr int kMapModeText = 1;
inline constexpr int kMapModeAnisotropic = 8;
inline constexpr int kBackgroundTransparent = 1;
inline constexpr int kTextAlignTopLeft = 0;

// Record functions.
enum class MetaFunction : std::uint16_t {
  EndOfFile = 0x0000,
  SetBkMode = 0x0102,
  SetMapMode = 0x0103,
  SelectObject = 0x012D,
  SetTextAlign = 0x012E,
  DeleteObject = 0x01F0,
  SetTextColour = 0x0209,
  SetWindowOrigin = 0x020B,
  SetWindowExtent = 0x020C,
  LineTo = 0x0213,
  MoveTo = 0x0214,
  CreatePen = 0x02FA,
  CreateFont = 0x02FB,
  TextOut = 0x0521,
  StretchDib = 0x0F43,
};

struct LogicalFont {
  std::int16_t height = 0;  // negative: the character height (without internal leading)
  std::int16_t width = 0;   // 0: the typeface's own
  std::int16_t weight = 400;  // 700 bold
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  std::uint8_t charset = 0;   // 0 ANSI
  std::string face;           // at most 31 bytes
  friend bool operator==(const LogicalFont&, const LogicalFont&) = default;
};

struct LogicalPen {
  std::uint16_t style = 0;  // 0 solid, 5 none
  std::int16_t width = 0;   // 0: one device pixel
  std::uint32_t colour = 0;  // 0x00BBGGRR
  friend bool operator==(const LogicalPen&, const LogicalPen&) = default;
};

// Decoded records. Coordinates are the metafile's logical units.
namespace record {
struct SetMapMode { int mode = 0; friend bool operator==(const SetMapMode&, const SetMapMode&) = default; };
struct SetBkMode { int mode = 0; friend bool operator==(const SetBkMode&, const SetBkMode&) = default; };
struct SetTextAlign { int align = 0; friend bool operator==(const SetTextAlign&, const SetTextAlign&) = default; };
struct SetTextColour { std::uint32_t colour = 0; friend bool operator==(const SetTextColour&, const SetTextColour&) = default; };
struct SetWindowOrigin { int x = 0, y = 0; friend bool operator==(const SetWindowOrigin&, const SetWindowOrigin&) = default; };
struct SetWindowExtent { int x = 0, y = 0; friend bool operator==(const SetWindowExtent&, const SetWindowExtent&) = default; };
struct MoveTo { int x = 0, y = 0; friend bool operator==(const MoveTo&, const MoveTo&) = default; };
struct LineTo { int x = 0, y = 0; friend bool operator==(const LineTo&, const LineTo&) = default; };
struct CreateFont { LogicalFont font; friend bool operator==(const CreateFont&, const CreateFont&) = default; };
struct CreatePen { LogicalPen pen; friend bool operator==(const CreatePen&, const CreatePen&) = default; };
struct SelectObject { int index = 0; friend bool operator==(const SelectObject&, const SelectObject&) = default; };
struct DeleteObject { int index = 0; friend bool operator==(const DeleteObject&, const DeleteObject&) = default; };
struct TextOut {
  int x = 0, y = 0;
  std::string text;  // single-byte text
  friend bool operator==(const TextOut&, const TextOut&) = default;
};
struct StretchDib {
  std::uint32_t raster_operation = 0x00CC0020;  // SRCCOPY
  int x = 0, y = 0, width = 0, height = 0;              // destination
  int source_x = 0, source_y = 0, source_width = 0, source_height = 0;
  std::vector<std::uint8_t> dib;  // BITMAPINFOHEADER, colours, pixels (see DecodeDib)
  friend bool operator==(const StretchDib&, const StretchDib&) = default;
};
}  // namespace record

using MetaRecord = std::variant<record::SetMapMode, record::SetBkMode, record::SetTextAlign, record::SetTextColour,
                                record::SetWindowOrigin, record::SetWindowExtent, record::MoveTo, record::LineTo,
                                record::CreateFont, record::CreatePen, record::SelectObject, record::DeleteObject,
                                record::TextOut, record::StretchDib>;

// A whole page as read: the placeable header, the size of the object table,
// and the records before the end-of-file record, in order.
struct Metafile {
  PlaceableHeader header;
  int objects = 0;
  std::vector<MetaRecord> records;
};

enum class MetafileError : std::uint8_t {
  None = 0,
  Truncated,          // shorter than the headers, or a record runs past the end
  BadPlaceableHeader, // key, checksum or bounding box
  BadHeader,          // type, header size, version, or a size that is not the file's
  BadRecord,          // a record too short for its function, of an unknown function, or larger than the header says
  BadObject,          // an object index at or above the header's count, or naming no live object
  NoEndOfFile,        // no end record, or bytes after it
  RecordTooLarge,     // writer: a record of kMaxRecordWords words or more
};

struct MetafileReadResult {
  Metafile metafile;
  MetafileError error = MetafileError::None;
  std::size_t offset = 0;  // where the fault was found
  std::string message;

  bool ok() const { return error == MetafileError::None; }
};

// Reads a placeable metafile from memory; every rule above is checked.
MetafileReadResult ReadMetafile(std::span<const std::uint8_t> bytes);

// The checksum of a placeable header: the exclusive or of its first ten
// 16-bit words.
std::uint16_t PlaceableChecksum(std::span<const std::uint8_t, kPlaceableHeaderSize> header);

// Writes a placeable metafile record by record. Object indices are handed out
// as the reader expects them: a created object takes the lowest free slot.
// A record that would be too large is not written and makes the writer
// fail (error() tells); further records are then ignored.
class MetafileWriter {
 public:
  explicit MetafileWriter(PlaceableHeader header);

  void SetMapMode(int mode);
  void SetBkMode(int mode);
  void SetTextAlign(int align);
  void SetTextColour(std::uint32_t colour);
  void SetWindowOrigin(int x, int y);
  void SetWindowExtent(int x, int y);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // The slot of the new object.
  int CreateFont(const LogicalFont& font);
  int CreatePen(const LogicalPen& pen);
  void SelectObject(int index);
  void DeleteObject(int index);
  void TextOut(int x, int y, std::string_view text);
  void StretchDib(const record::StretchDib& dib);

  MetafileError error() const { return error_; }
  // Appends the end record, completes the headers and gives the file.
  std::vector<std::uint8_t> Finish();

 private:
  void Record(MetaFunction function, std::span<const std::uint8_t> parameters);
  int TakeSlot();

  PlaceableHeader header_;
  std::vector<std::uint8_t> records_;
  std::vector<bool> slots_;  // true: a live object
  std::uint32_t max_record_words_ = 3;
  MetafileError error_ = MetafileError::None;
};

}  // namespace tavero::images
