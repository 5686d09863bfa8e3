#include "images/metafile.h"

#include <algorithm>
#include <cstring>

namespace tavero::images {
namespace {

constexpr std::uint16_t kHeaderWords = 9;
constexpr std::size_t kRecordHeaderSize = 6;  // size (32 bits), function (16 bits)
constexpr std::size_t kFontFaceBytes = 32;
constexpr std::size_t kLogFontFixedBytes = 18;
constexpr std::size_t kDibHeaderBytes = 40;

// Little-endian appending and reading.
class Bytes {
 public:
  void U8(std::uint8_t v) { out.push_back(v); }
  void U16(std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void I16(int v) { U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(v, -32768, 32767)))); }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  std::vector<std::uint8_t> out;
};

std::uint16_t Get16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::int16_t GetI16(std::span<const std::uint8_t> b, std::size_t at) { return static_cast<std::int16_t>(Get16(b, at)); }
std::uint32_t Get32(std::span<const std::uint8_t> b, std::size_t at) {
  return Get16(b, at) | (static_cast<std::uint32_t>(Get16(b, at + 2)) << 16);
}

// The parameter bytes each fixed-size function needs; 0 for the variable ones.
std::size_t FixedParameterBytes(MetaFunction f) {
  switch (f) {
    case MetaFunction::SetBkMode:
    case MetaFunction::SetMapMode:
    case MetaFunction::SelectObject:
    case MetaFunction::SetTextAlign:
    case MetaFunction::DeleteObject: return 2;
    case MetaFunction::SetTextColour:
    case MetaFunction::SetWindowOrigin:
    case MetaFunction::SetWindowExtent:
    case MetaFunction::LineTo:
    case MetaFunction::MoveTo: return 4;
    case MetaFunction::CreatePen: return 10;
    default: return 0;
  }
}

bool KnownFunction(std::uint16_t f) {
  switch (static_cast<MetaFunction>(f)) {
    case MetaFunction::EndOfFile:
    case MetaFunction::SetBkMode:
    case MetaFunction::SetMapMode:
    case MetaFunction::SelectObject:
    case MetaFunction::SetTextAlign:
    case MetaFunction::DeleteObject:
    case MetaFunction::SetTextColour:
    case MetaFunction::SetWindowOrigin:
    case MetaFunction::SetWindowExtent:
    case MetaFunction::LineTo:
    case MetaFunction::MoveTo:
    case MetaFunction::CreatePen:
    case MetaFunction::CreateFont:
    case MetaFunction::TextOut:
    case MetaFunction::StretchDib: return true;
  }
  return false;
}

// Reads the records after both headers. Each step checks the bytes it reads
// against the record's own size, which was checked against the file.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> file) : file_(file) {}

  MetafileReadResult Run() {
    if (file_.size() < kPlaceableHeaderSize + kMetaHeaderSize + kRecordHeaderSize) {
      return Fail(MetafileError::Truncated, 0, "shorter than its headers and an end record");
    }
    if (Get32(file_, 0) != kPlaceableKey) return Fail(MetafileError::BadPlaceableHeader, 0, "no placeable key");
    if (PlaceableChecksum(file_.first<kPlaceableHeaderSize>()) != Get16(file_, 20)) {
      return Fail(MetafileError::BadPlaceableHeader, 20, "checksum does not match");
    }
    PlaceableHeader& h = result_.metafile.header;
    h.left = GetI16(file_, 6);
    h.top = GetI16(file_, 8);
    h.right = GetI16(file_, 10);
    h.bottom = GetI16(file_, 12);
    h.units_per_inch = Get16(file_, 14);
    if (h.right <= h.left || h.bottom <= h.top || h.units_per_inch == 0) {
      return Fail(MetafileError::BadPlaceableHeader, 6, "empty bounding box or no units per inch");
    }

    const std::size_t base = kPlaceableHeaderSize;
    const std::uint16_t type = Get16(file_, base);
    const std::uint16_t header_words = Get16(file_, base + 2);
    const std::uint16_t version = Get16(file_, base + 4);
    const std::uint64_t size_words = Get32(file_, base + 6);
    objects_ = Get16(file_, base + 10);
    max_record_words_ = Get32(file_, base + 12);
    if ((type != 1 && type != 2) || header_words != kHeaderWords || (version != 0x0100 && version != 0x0300)) {
      return Fail(MetafileError::BadHeader, base, "unknown type, header size or version");
    }
    if (size_words * 2 != file_.size() - base) {
      return Fail(MetafileError::BadHeader, base + 6, "the size in the header is not the file's");
    }
    result_.metafile.objects = objects_;
    live_.assign(objects_, false);

    std::size_t at = base + kMetaHeaderSize;
    while (true) {
      if (file_.size() - at < kRecordHeaderSize) return Fail(MetafileError::NoEndOfFile, at, "no end record");
      const std::uint64_t words = Get32(file_, at);
      const std::uint16_t function = Get16(file_, at + 4);
      if (words < 3 || words * 2 > file_.size() - at) {
        return Fail(MetafileError::Truncated, at, "a record runs past the end of the file");
      }
      if (words > max_record_words_) return Fail(MetafileError::BadRecord, at, "a record larger than the header's largest");
      if (!KnownFunction(function)) return Fail(MetafileError::BadRecord, at, "unknown record function");
      const std::span<const std::uint8_t> params = file_.subspan(at + kRecordHeaderSize, words * 2 - kRecordHeaderSize);
      if (static_cast<MetaFunction>(function) == MetaFunction::EndOfFile) {
        if (at + words * 2 != file_.size()) return Fail(MetafileError::NoEndOfFile, at, "bytes after the end record");
        return std::move(result_);
      }
      if (!Decode(static_cast<MetaFunction>(function), params, at)) return std::move(result_);
      at += words * 2;
    }
  }

 private:
  bool Refuse(MetafileError error, std::size_t offset, std::string message) {
    result_.error = error;
    result_.offset = offset;
    result_.message = std::move(message);
    result_.metafile.records.clear();
    return false;
  }
  MetafileReadResult Fail(MetafileError error, std::size_t offset, std::string message) {
    Refuse(error, offset, std::move(message));
    return std::move(result_);
  }

  bool Object(std::size_t at, int index, bool must_live) {
    if (index < 0 || index >= objects_) return Refuse(MetafileError::BadObject, at, "object index beyond the header's count");
    if (must_live && !live_[index]) return Refuse(MetafileError::BadObject, at, "object index names no object");
    return true;
  }
  bool Create(std::size_t at) {
    const auto free = std::find(live_.begin(), live_.end(), false);
    if (free == live_.end()) return Refuse(MetafileError::BadObject, at, "more objects than the header's count");
    *free = true;
    return true;
  }

  bool Decode(MetaFunction f, std::span<const std::uint8_t> p, std::size_t at) {
    auto& records = result_.metafile.records;
    if (p.size() < FixedParameterBytes(f)) return Refuse(MetafileError::BadRecord, at, "record too short for its function");
    switch (f) {
      case MetaFunction::SetBkMode: records.push_back(record::SetBkMode{Get16(p, 0)}); return true;
      case MetaFunction::SetMapMode: records.push_back(record::SetMapMode{Get16(p, 0)}); return true;
      case MetaFunction::SetTextAlign: records.push_back(record::SetTextAlign{Get16(p, 0)}); return true;
      case MetaFunction::SetTextColour: records.push_back(record::SetTextColour{Get32(p, 0)}); return true;
      // Points are stored y first.
      case MetaFunction::SetWindowOrigin: records.push_back(record::SetWindowOrigin{GetI16(p, 2), GetI16(p, 0)}); return true;
      case MetaFunction::SetWindowExtent: records.push_back(record::SetWindowExtent{GetI16(p, 2), GetI16(p, 0)}); return true;
      case MetaFunction::MoveTo: records.push_back(record::MoveTo{GetI16(p, 2), GetI16(p, 0)}); return true;
      case MetaFunction::LineTo: records.push_back(record::LineTo{GetI16(p, 2), GetI16(p, 0)}); return true;
      case MetaFunction::SelectObject:
        if (!Object(at, Get16(p, 0), true)) return false;
        records.push_back(record::SelectObject{Get16(p, 0)});
        return true;
      case MetaFunction::DeleteObject:
        if (!Object(at, Get16(p, 0), true)) return false;
        live_[Get16(p, 0)] = false;
        records.push_back(record::DeleteObject{Get16(p, 0)});
        return true;
      case MetaFunction::CreatePen: {
        if (!Create(at)) return false;
        record::CreatePen pen;
        pen.pen.style = Get16(p, 0);
        pen.pen.width = GetI16(p, 2);  // the y of the width point is unused
        pen.pen.colour = Get32(p, 6);
        records.push_back(pen);
        return true;
      }
      case MetaFunction::CreateFont: {
        if (p.size() < kLogFontFixedBytes + 1) return Refuse(MetafileError::BadRecord, at, "font record too short");
        if (!Create(at)) return false;
        record::CreateFont font;
        font.font.height = GetI16(p, 0);
        font.font.width = GetI16(p, 2);
        font.font.weight = GetI16(p, 8);
        font.font.italic = p[10] != 0;
        font.font.underline = p[11] != 0;
        font.font.strike_out = p[12] != 0;
        font.font.charset = p[13];
        // The face holds at most 31 characters and its NUL; a field without
        // one within them is cut there, as the writer cuts it.
        const std::span<const std::uint8_t> face =
            p.subspan(kLogFontFixedBytes, std::min(p.size() - kLogFontFixedBytes, kFontFaceBytes - 1));
        const auto nul = std::find(face.begin(), face.end(), 0);
        font.font.face.assign(face.begin(), nul);
        records.push_back(std::move(font));
        return true;
      }
      case MetaFunction::TextOut: {
        if (p.size() < 2) return Refuse(MetafileError::BadRecord, at, "text record too short");
        const std::int16_t length = GetI16(p, 0);
        const std::size_t padded = (static_cast<std::size_t>(std::max<int>(length, 0)) + 1) & ~std::size_t{1};
        if (length < 0 || p.size() < 2 + padded + 4) return Refuse(MetafileError::BadRecord, at, "text longer than its record");
        record::TextOut text;
        text.text.assign(reinterpret_cast<const char*>(p.data() + 2), static_cast<std::size_t>(length));
        text.y = GetI16(p, 2 + padded);
        text.x = GetI16(p, 4 + padded);
        records.push_back(std::move(text));
        return true;
      }
      case MetaFunction::StretchDib: {
        constexpr std::size_t kFixed = 4 + 2 + 8 * 2;
        if (p.size() < kFixed + kDibHeaderBytes) return Refuse(MetafileError::BadRecord, at, "bitmap record too short");
        record::StretchDib dib;
        dib.raster_operation = Get32(p, 0);
        // p[4..5] colour usage (0: colours in the table)
        dib.source_height = GetI16(p, 6);
        dib.source_width = GetI16(p, 8);
        dib.source_y = GetI16(p, 10);
        dib.source_x = GetI16(p, 12);
        dib.height = GetI16(p, 14);
        dib.width = GetI16(p, 16);
        dib.y = GetI16(p, 18);
        dib.x = GetI16(p, 20);
        const std::uint32_t info = Get32(p, kFixed);
        if (info < kDibHeaderBytes || info > p.size() - kFixed) return Refuse(MetafileError::BadRecord, at, "bitmap header longer than its record");
        dib.dib.assign(p.begin() + kFixed, p.end());
        records.push_back(std::move(dib));
        return true;
      }
      case MetaFunction::EndOfFile: break;
    }
    return Refuse(MetafileError::BadRecord, at, "unknown record function");
  }

  std::span<const std::uint8_t> file_;
  MetafileReadResult result_;
  int objects_ = 0;
  std::uint64_t max_record_words_ = 0;
  std::vector<bool> live_;
};

}  // namespace

std::uint16_t PlaceableChecksum(std::span<const std::uint8_t, kPlaceableHeaderSize> header) {
  std::uint16_t sum = 0;
  for (std::size_t k = 0; k < 20; k += 2) sum ^= Get16(header, k);
  return sum;
}

MetafileReadResult ReadMetafile(std::span<const std::uint8_t> bytes) { return Reader(bytes).Run(); }

MetafileWriter::MetafileWriter(PlaceableHeader header) : header_(header) {}

void MetafileWriter::Record(MetaFunction function, std::span<const std::uint8_t> parameters) {
  if (error_ != MetafileError::None) return;
  const std::size_t words = (kRecordHeaderSize + parameters.size() + 1) / 2;
  if (words >= kMaxRecordWords) {
    error_ = MetafileError::RecordTooLarge;
    return;
  }
  Bytes b;
  b.U32(static_cast<std::uint32_t>(words));
  b.U16(static_cast<std::uint16_t>(function));
  records_.insert(records_.end(), b.out.begin(), b.out.end());
  records_.insert(records_.end(), parameters.begin(), parameters.end());
  if (parameters.size() % 2 != 0) records_.push_back(0);
  max_record_words_ = std::max<std::uint32_t>(max_record_words_, static_cast<std::uint32_t>(words));
}

void MetafileWriter::SetMapMode(int mode) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(mode));
  Record(MetaFunction::SetMapMode, b.out);
}
void MetafileWriter::SetBkMode(int mode) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(mode));
  Record(MetaFunction::SetBkMode, b.out);
}
void MetafileWriter::SetTextAlign(int align) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(align));
  Record(MetaFunction::SetTextAlign, b.out);
}
void MetafileWriter::SetTextColour(std::uint32_t colour) {
  Bytes b;
  b.U32(colour);
  Record(MetaFunction::SetTextColour, b.out);
}
namespace {
std::vector<std::uint8_t> Point(int x, int y) {
  Bytes b;
  b.I16(y);
  b.I16(x);
  return b.out;
}
}  // namespace
void MetafileWriter::SetWindowOrigin(int x, int y) { Record(MetaFunction::SetWindowOrigin, Point(x, y)); }
void MetafileWriter::SetWindowExtent(int x, int y) { Record(MetaFunction::SetWindowExtent, Point(x, y)); }
void MetafileWriter::MoveTo(int x, int y) { Record(MetaFunction::MoveTo, Point(x, y)); }
void MetafileWriter::LineTo(int x, int y) { Record(MetaFunction::LineTo, Point(x, y)); }

int MetafileWriter::TakeSlot() {
  auto free = std::find(slots_.begin(), slots_.end(), false);
  if (free == slots_.end()) {
    slots_.push_back(true);
    return static_cast<int>(slots_.size()) - 1;
  }
  *free = true;
  return static_cast<int>(free - slots_.begin());
}

int MetafileWriter::CreateFont(const LogicalFont& font) {
  Bytes b;
  b.I16(font.height);
  b.I16(font.width);
  b.I16(0);  // escapement
  b.I16(0);  // orientation
  b.I16(font.weight);
  b.U8(font.italic);
  b.U8(font.underline);
  b.U8(font.strike_out);
  b.U8(font.charset);
  b.U8(0);  // output precision: default
  b.U8(0);  // clip precision: default
  b.U8(0);  // quality: default
  b.U8(0);  // pitch and family: default
  const std::size_t face = std::min(font.face.size(), kFontFaceBytes - 1);
  for (std::size_t k = 0; k < kFontFaceBytes; ++k) b.U8(k < face ? static_cast<std::uint8_t>(font.face[k]) : 0);
  Record(MetaFunction::CreateFont, b.out);
  return TakeSlot();
}

int MetafileWriter::CreatePen(const LogicalPen& pen) {
  Bytes b;
  b.U16(pen.style);
  b.I16(pen.width);
  b.I16(0);
  b.U32(pen.colour);
  Record(MetaFunction::CreatePen, b.out);
  return TakeSlot();
}

void MetafileWriter::SelectObject(int index) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(index));
  Record(MetaFunction::SelectObject, b.out);
}

void MetafileWriter::DeleteObject(int index) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(index));
  Record(MetaFunction::DeleteObject, b.out);
  if (index >= 0 && static_cast<std::size_t>(index) < slots_.size()) slots_[index] = false;
}

void MetafileWriter::TextOut(int x, int y, std::string_view text) {
  const std::size_t length = std::min<std::size_t>(text.size(), 2 * kMaxRecordWords);
  Bytes b;
  b.I16(static_cast<int>(length));
  for (std::size_t k = 0; k < length; ++k) b.U8(static_cast<std::uint8_t>(text[k]));
  if (length % 2 != 0) b.U8(0);
  b.I16(y);
  b.I16(x);
  Record(MetaFunction::TextOut, b.out);
}

void MetafileWriter::StretchDib(const record::StretchDib& dib) {
  Bytes b;
  b.U32(dib.raster_operation);
  b.U16(0);  // colour usage: RGB colours
  b.I16(dib.source_height);
  b.I16(dib.source_width);
  b.I16(dib.source_y);
  b.I16(dib.source_x);
  b.I16(dib.height);
  b.I16(dib.width);
  b.I16(dib.y);
  b.I16(dib.x);
  b.out.insert(b.out.end(), dib.dib.begin(), dib.dib.end());
  Record(MetaFunction::StretchDib, b.out);
}

std::vector<std::uint8_t> MetafileWriter::Finish() {
  Record(MetaFunction::EndOfFile, {});
  Bytes b;
  b.U32(kPlaceableKey);
  b.U16(0);  // handle
  b.I16(header_.left);
  b.I16(header_.top);
  b.I16(header_.right);
  b.I16(header_.bottom);
  b.U16(header_.units_per_inch);
  b.U32(0);  // reserved
  b.U16(0);  // the checksum, filled in below from the ten words before it
  const std::uint16_t checksum =
      PlaceableChecksum(std::span<const std::uint8_t, kPlaceableHeaderSize>(b.out.data(), kPlaceableHeaderSize));
  b.out[20] = static_cast<std::uint8_t>(checksum);
  b.out[21] = static_cast<std::uint8_t>(checksum >> 8);
  const std::size_t total_words = (kMetaHeaderSize + records_.size()) / 2;
  b.U16(2);  // on disk
  b.U16(kHeaderWords);
  b.U16(0x0300);
  b.U32(static_cast<std::uint32_t>(total_words));
  b.U16(static_cast<std::uint16_t>(slots_.size()));
  b.U32(max_record_words_);
  b.U16(0);  // members, unused
  b.out.insert(b.out.end(), records_.begin(), records_.end());
  return std::move(b.out);
}

}  // namespace tavero::images
