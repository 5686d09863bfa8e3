#include "images/metafile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <variant>

namespace tavero::images {
namespace {

std::vector<std::uint8_t> SamplePage() {
  MetafileWriter w({0, 0, 5100, 6600, 600});
  w.SetMapMode(kMapModeAnisotropic);
  w.SetWindowOrigin(0, 0);
  w.SetWindowExtent(5100, 6600);
  w.SetBkMode(kBackgroundTransparent);
  w.SetTextAlign(kTextAlignTopLeft);
  w.SetTextColour(0x000000FF);
  const int pen = w.CreatePen({0, 4, 0});
  w.SelectObject(pen);
  const int font = w.CreateFont({-83, 0, 700, true, false, false, 0, "Arial"});
  w.SelectObject(font);
  w.TextOut(600, 1200, "CARD COLLECTION");  // odd length: padded
  w.TextOut(600, 1400, "PAGE");
  w.MoveTo(100, 2000);
  w.LineTo(5000, 2000);
  record::StretchDib dib;
  dib.x = 10, dib.y = 20, dib.width = 200, dib.height = 100;
  dib.source_width = 2, dib.source_height = 1;
  dib.dib.assign(40 + 8, 0);
  dib.dib[0] = 40;
  w.StretchDib(dib);
  w.DeleteObject(font);
  w.DeleteObject(pen);
  return w.Finish();
}

TEST(Metafile, WhatIsWrittenReadsBackRecordByRecord) {
  const std::vector<std::uint8_t> bytes = SamplePage();
  const MetafileReadResult read = ReadMetafile(bytes);
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_EQ(read.metafile.header, (PlaceableHeader{0, 0, 5100, 6600, 600}));
  EXPECT_EQ(read.metafile.objects, 2);
  const std::vector<MetaRecord>& r = read.metafile.records;
  ASSERT_EQ(r.size(), 17u);
  EXPECT_EQ(r[0], MetaRecord{record::SetMapMode{kMapModeAnisotropic}});
  EXPECT_EQ(r[2], MetaRecord{(record::SetWindowExtent{5100, 6600})});
  EXPECT_EQ(r[5], MetaRecord{record::SetTextColour{0xFF}});
  EXPECT_EQ(r[6], MetaRecord{(record::CreatePen{{0, 4, 0}})});
  EXPECT_EQ(r[8], MetaRecord{(record::CreateFont{{-83, 0, 700, true, false, false, 0, "Arial"}})});
  EXPECT_EQ(r[9], MetaRecord{(record::SelectObject{1})});
  EXPECT_EQ(r[10], MetaRecord{(record::TextOut{600, 1200, "CARD COLLECTION"})});
  EXPECT_EQ(r[11], MetaRecord{(record::TextOut{600, 1400, "PAGE"})});
  EXPECT_EQ(r[12], MetaRecord{(record::MoveTo{100, 2000})});
  EXPECT_EQ(r[13], MetaRecord{(record::LineTo{5000, 2000})});
  const auto& dib = std::get<record::StretchDib>(r[14]);
  EXPECT_EQ(dib.width, 200);
  EXPECT_EQ(dib.source_width, 2);
  EXPECT_EQ(dib.dib.size(), 48u);
}

TEST(Metafile, ThePlaceableHeaderIsValid) {
  const std::vector<std::uint8_t> bytes = SamplePage();
  ASSERT_GE(bytes.size(), 22u);
  std::uint32_t key;
  std::memcpy(&key, bytes.data(), 4);
  EXPECT_EQ(key, kPlaceableKey);
  std::uint16_t sum = 0;
  for (int k = 0; k < 22; k += 2) sum ^= static_cast<std::uint16_t>(bytes[k] | bytes[k + 1] << 8);
  EXPECT_EQ(sum, 0) << "the eleven words exclusive-or to 0";
}

TEST(Metafile, DeletedObjectSlotsAreTakenAgain) {
  MetafileWriter w({0, 0, 100, 100, 96});
  const int a = w.CreatePen({});
  const int b = w.CreatePen({});
  w.DeleteObject(a);
  EXPECT_EQ(w.CreateFont({}), a);
  EXPECT_EQ(b, 1);
  const MetafileReadResult read = ReadMetafile(w.Finish());
  ASSERT_TRUE(read.ok()) << read.message;
  EXPECT_EQ(read.metafile.objects, 2);
}

TEST(Metafile, ARecordOf8000hWordsIsRefusedByTheWriter) {
  MetafileWriter w({0, 0, 100, 100, 96});
  record::StretchDib dib;
  dib.dib.assign(2 * kMaxRecordWords, 0);
  w.StretchDib(dib);
  EXPECT_EQ(w.error(), MetafileError::RecordTooLarge);
}

// Writes into a copy of the sample page.
struct Damage {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> apply;
  MetafileError expected;
};

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, static_cast<std::uint16_t>(v));
  Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void FixChecksum(std::vector<std::uint8_t>& b) {
  Put16(b, 20, PlaceableChecksum(std::span<const std::uint8_t, 22>(b.data(), 22)));
}
// Offset of the first record of `function`.
std::size_t RecordOf(const std::vector<std::uint8_t>& b, MetaFunction function) {
  std::size_t at = 22 + 18;
  while (at + 6 <= b.size()) {
    const std::uint32_t words = b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24;
    if ((b[at + 4] | b[at + 5] << 8) == static_cast<int>(function)) return at;
    at += words * 2;
  }
  ADD_FAILURE() << "no such record";
  return 0;
}

// A face field filled to its end without a NUL (a damaged or foreign page)
// reads as 31 characters, as the writer keeps them, so that reading and
// writing back agree.
TEST(Metafile, AFontFaceWithoutItsNulReadsAsTheWriterWritesIt) {
  std::vector<std::uint8_t> page = SamplePage();
  const std::size_t face = RecordOf(page, MetaFunction::CreateFont) + 6 + 18;
  std::memset(page.data() + face, 'Q', 32);
  const MetafileReadResult read = ReadMetafile(page);
  ASSERT_TRUE(read.ok()) << read.message;
  const auto font = std::find_if(read.metafile.records.begin(), read.metafile.records.end(),
                                 [](const MetaRecord& r) { return std::holds_alternative<record::CreateFont>(r); });
  ASSERT_NE(font, read.metafile.records.end());
  const LogicalFont& shown = std::get<record::CreateFont>(*font).font;
  EXPECT_EQ(shown.face, std::string(31, 'Q'));
  MetafileWriter w({0, 0, 100, 100, 96});
  w.CreateFont(shown);
  const MetafileReadResult again = ReadMetafile(w.Finish());
  ASSERT_TRUE(again.ok()) << again.message;
  EXPECT_EQ(std::get<record::CreateFont>(again.metafile.records.front()).font, shown);
}

TEST(Metafile, TheReaderRefusesDamagedFiles) {
  const Damage cases[] = {
      {"truncated", [](auto& b) { b.resize(b.size() - 10); }, MetafileError::BadHeader},
      {"only headers", [](auto& b) { b.resize(30); }, MetafileError::Truncated},
      {"wrong key", [](auto& b) { b[0] ^= 1; FixChecksum(b); }, MetafileError::BadPlaceableHeader},
      {"wrong checksum", [](auto& b) { b[20] ^= 1; }, MetafileError::BadPlaceableHeader},
      {"empty bounding box", [](auto& b) { Put16(b, 10, 0); FixChecksum(b); }, MetafileError::BadPlaceableHeader},
      {"header size", [](auto& b) { Put16(b, 24, 10); }, MetafileError::BadHeader},
      {"size not the file's", [](auto& b) { Put32(b, 28, 4); }, MetafileError::BadHeader},
      {"record past the end",
       [](auto& b) { Put32(b, RecordOf(b, MetaFunction::TextOut), 0x7000); }, MetafileError::Truncated},
      {"record below three words", [](auto& b) { Put32(b, 40, 2); }, MetafileError::Truncated},
      {"record over the largest",
       [](auto& b) { Put32(b, 34, 4); }, MetafileError::BadRecord},
      {"unknown function", [](auto& b) { Put16(b, 44, 0x0626); }, MetafileError::BadRecord},
      {"text longer than its record",
       [](auto& b) { Put16(b, RecordOf(b, MetaFunction::TextOut) + 6, 400); }, MetafileError::BadRecord},
      {"object index beyond the count",
       [](auto& b) { Put16(b, RecordOf(b, MetaFunction::SelectObject) + 6, 2); }, MetafileError::BadObject},
      {"object no longer alive",
       [](auto& b) {
         // The second DeleteObject (of the pen) names the font, which the
         // first has deleted.
         const std::size_t first = RecordOf(b, MetaFunction::DeleteObject);
         Put16(b, first + 8 + 6, 1);
       },
       MetafileError::BadObject},
      {"more objects than the count", [](auto& b) { Put16(b, 32, 1); }, MetafileError::BadObject},
      {"no end record",
       [](auto& b) {
         b.resize(b.size() - 6);
         Put32(b, 28, static_cast<std::uint32_t>((b.size() - 22) / 2));
       },
       MetafileError::NoEndOfFile},
      {"end record not last",
       [](auto& b) {
         Put16(b, RecordOf(b, MetaFunction::MoveTo) + 4, 0);
       },
       MetafileError::NoEndOfFile},
  };
  for (const Damage& d : cases) {
    std::vector<std::uint8_t> bytes = SamplePage();
    d.apply(bytes);
    const MetafileReadResult read = ReadMetafile(bytes);
    EXPECT_EQ(read.error, d.expected) << d.name << ": " << read.message;
    EXPECT_TRUE(read.metafile.records.empty()) << d.name;
  }
}

}  // namespace
}  // namespace tavero::images
