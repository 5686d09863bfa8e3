#include "storage/vmr/table_definition.h"

#include <gtest/gtest.h>

#include <random>

namespace tavero::vmr {
namespace {

TableDefinition sample() {
  TableDefinition d;
  d.record_length = 34;
  auto add = [&](std::uint8_t type, std::uint16_t offset, std::uint16_t size, const char* name) -> FieldDefinition& {
    FieldDefinition f;
    f.type = type;
    f.offset = offset;
    f.size = size;
    f.name = name;
    d.fields.push_back(f);
    return d.fields.back();
  };
  add(field_type::group, 0, 34, "REC");
  add(field_type::int16, 0, 2, "T:NO");
  FieldDefinition& name = add(field_type::fixstr, 2, 20, "T:NAME");
  name.declared_length = 20;
  name.picture = "@s20";
  add(field_type::zstr, 22, 8, "T:CODE").declared_length = 8;
  FieldDefinition& money = add(field_type::packed, 30, 4, "T:PRICE");
  money.places = 2;
  money.byte_size = 4;
  FieldDefinition& overlay = add(field_type::date4, 30, 4, "T:OVER");
  overlay.overlaid = true;
  d.blobs.push_back({"T:NOTES", std::nullopt, 0, 500});
  KeyDefinition by_no;
  by_no.name = "T:BY_NO";
  by_no.attributes = 0x16;
  by_no.components = {{1, false}};
  KeyDefinition by_name;
  by_name.name = "T:BY_NAME";
  by_name.external_name = "BYNAME";
  by_name.attributes = 0x07;
  by_name.components = {{2, false}, {4, true}};
  KeyDefinition dynamic;
  dynamic.name = "T:DYN";
  dynamic.attributes = key_attribute::index | key_attribute::duplicates;
  d.keys = {by_no, by_name, dynamic};
  return d;
}

TEST(TableDefinitionStream, RoundTrips) {
  const TableDefinition d = sample();
  const std::string stream = encode_table_definition(d);
  const auto back = decode_table_definition(stream);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, d);
  EXPECT_EQ(back->keys[2].attributes, key_attribute::index | key_attribute::duplicates);
  EXPECT_EQ(stream.substr(0, 2), std::string("\x01\x00", 2));
}

TEST(TableDefinitionStream, TextForms) {
  const std::string stream = encode_table_definition(sample());
  // A picture-less numeric field has none in the stream; the blob's second
  // name is absent (00 01); a key's external name absent; pictures empty.
  EXPECT_NE(stream.find(std::string("T:NOTES\0\0\x01", 10)), std::string::npos);
  EXPECT_NE(stream.find(std::string("T:BY_NO\0\0\x01\x16", 11)), std::string::npos);
  EXPECT_NE(stream.find(std::string("T:CODE\0", 7)), std::string::npos);

  // A reader takes an empty text where the writer put an absent one.
  TableDefinition d = sample();
  d.blobs[0].second_name = "";
  const auto back = decode_table_definition(encode_table_definition(d));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->blobs[0].second_name, std::optional<std::string>(""));
}

TEST(TableDefinitionStream, BlobsMakeVersionTwo) {
  TableDefinition d = sample();
  d.blobs.push_back({"T:PICTURE", "PIC", blob_attribute_blob, 30000});
  const std::string stream = encode_table_definition(d);
  EXPECT_EQ(stream.substr(0, 2), std::string("\x02\x00", 2));
  const auto back = decode_table_definition(stream);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->blobs[1].declared_size, 30000);
}

TEST(TableDefinitionStream, DamagedStreamsAreRefused) {
  const std::string stream = encode_table_definition(sample());
  for (std::size_t length = 0; length < stream.size(); ++length) {
    EXPECT_FALSE(decode_table_definition(stream.substr(0, length)).has_value()) << length;
  }
  EXPECT_FALSE(decode_table_definition(stream + "x").has_value());
  // Random damage never reads outside the stream (run under the sanitizers)
  // and never yields a component beyond the fields.
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = stream;
    for (int flips = 1 + round % 4; flips > 0; --flips) {
      damaged[random() % damaged.size()] = static_cast<char>(random());
    }
    if (const auto d = decode_table_definition(damaged)) {
      for (const KeyDefinition& key : d->keys) {
        for (const KeyComponent& c : key.components) EXPECT_LT(c.field, d->fields.size());
      }
      for (const FieldDefinition& f : d->fields) EXPECT_LE(f.offset + f.size, d->record_length);
    }
  }
}

TEST(TableDefinitionStream, ChunksOf512) {
  const std::string stream(1300, 'x');
  const auto chunks = split_definition_chunks(stream);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].size(), 512u);
  EXPECT_EQ(chunks[2].size(), 276u);
}

TEST(StructureComparison, AcceptsWhatDoesNotChangeTheLayout) {
  const TableDefinition stored = sample();
  TableDefinition declared = sample();
  declared.fields[2].name = "OTHER:NAME";
  declared.fields[2].picture = "@s10";
  declared.fields[2].declared_length = 19;
  declared.fields[4].places = 1;
  declared.blobs[0].name = "X";
  declared.blobs[0].declared_size = 100;
  declared.keys[1].name = "K";
  declared.keys[1].external_name.reset();
  EXPECT_TRUE(same_structure(stored, declared));
}

TEST(StructureComparison, RefusesWhatDoes) {
  const TableDefinition stored = sample();
  const std::vector<void (*)(TableDefinition&)> changes = {
      [](TableDefinition& d) { d.record_length = 36; },
      [](TableDefinition& d) { d.fields[1].type = field_type::uint16; },
      [](TableDefinition& d) { d.fields[1].offset = 1; },
      [](TableDefinition& d) { d.fields[3].size = 7; },
      [](TableDefinition& d) { d.fields[3].element_count = 2; },
      [](TableDefinition& d) { d.fields[5].overlaid = false; },
      [](TableDefinition& d) { d.fields.pop_back(); },
      [](TableDefinition& d) { d.blobs.clear(); },
      [](TableDefinition& d) { d.blobs[0].attributes = blob_attribute_blob; },  // changes the version
      [](TableDefinition& d) { d.keys.pop_back(); },
      [](TableDefinition& d) { d.keys[0].attributes = 0x06; },  // 0x10 is compared too
      [](TableDefinition& d) { d.keys[1].components[1].descending = false; },
      [](TableDefinition& d) { d.keys[1].components.pop_back(); },
      [](TableDefinition& d) { d.keys[1].components[0].field = 3; },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    TableDefinition declared = sample();
    changes[i](declared);
    EXPECT_FALSE(same_structure(stored, declared)) << "change " << i;
  }
}

}  // namespace
}  // namespace tavero::vmr
