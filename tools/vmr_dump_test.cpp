#include "tools/vmr_dump.h"

#include <gtest/gtest.h>

#include <sstream>

#include "storage/vmr/check.h"
#include "tools/vmr_field_text.h"
#include "tools/vmr_test_files.h"

namespace tavero::tool {
namespace {

using test::CardFile;

class VmrDump : public ::testing::Test {
 protected:
  void SetUp() override {
    CardFile file(fs_, kName, "CARDS", true);
    ASSERT_EQ(file.error(), 0);
    file.Fill(7, "Mays", "Say \"Hey\", Willie\nsecond line");
    ASSERT_EQ(file.Add(), 0);
    file.Fill(3, "aaron");
    ASSERT_EQ(file.Add(), 0);
    file.Fill(5, "Mays, Jr.", std::string(300, 'x'));
    ASSERT_EQ(file.Add(), 0);
  }

  // Every file a test leaves behind passes the check.
  void TearDown() override {
    const vmr::CheckResult check = vmr::CheckImage(fs_.Contents(kName));
    EXPECT_TRUE(check.sound()) << (check.problems.empty() ? "" : check.problems.front());
  }

  std::string Dump(const DumpOptions& options, int expected_rc = 0) {
    std::unique_ptr<vmr::PhysicalFile> file;
    EXPECT_EQ(OpenExclusive(kName, false, false, file, fs_), 0);
    PhysicalRecordStore store(*file, true);
    std::vector<StoredTable> tables;
    EXPECT_EQ(ReadStoredTables(store, "", tables), 0);
    std::ostringstream out;
    std::string message;
    EXPECT_EQ(DumpTables(store, tables, options, out, message), expected_rc) << message;
    return out.str();
  }

  static constexpr const char* kName = "CARDS.VMR";
  vmr::FaultFileSystem fs_;
};

TEST_F(VmrDump, JsonGivesNumbersPackedTextAndMemos) {
  const std::string json = Dump({});
  const std::string memo300(300, 'x');
  EXPECT_EQ(json,
            "{\"tables\":[\n"
            "{\"name\":\"CARDS\",\"records\":[\n"
            "{\"recno\":2,\"fields\":{\"CRD:NUMBER\":7,\"CRD:PLAYER\":\"Mays\",\"CRD:PRICE\":\"12.50\"},"
            "\"memos\":{\"CRD:NOTES\":\"Say \\\"Hey\\\", Willie\\nsecond line\"}},\n"
            "{\"recno\":3,\"fields\":{\"CRD:NUMBER\":3,\"CRD:PLAYER\":\"aaron\",\"CRD:PRICE\":\"12.50\"},"
            "\"memos\":{\"CRD:NOTES\":\"\"}},\n"
            "{\"recno\":4,\"fields\":{\"CRD:NUMBER\":5,\"CRD:PLAYER\":\"Mays, Jr.\",\"CRD:PRICE\":\"12.50\"},"
            "\"memos\":{\"CRD:NOTES\":\"" + memo300 + "\"}}\n"
            "]}\n"
            "]}\n");
}

TEST_F(VmrDump, CsvQuotesWhatNeedsQuotingAndFollowsAKey) {
  DumpOptions options;
  options.format = DumpFormat::kCsv;
  options.key = "crd:by_player";  // player ignoring case, then number descending
  const std::string csv = Dump(options);
  EXPECT_EQ(csv,
            "CRD:NUMBER,CRD:PLAYER,CRD:PRICE,CRD:NOTES\r\n"
            "3,aaron,12.50,\r\n"
            "7,Mays,12.50,\"Say \"\"Hey\"\", Willie\nsecond line\"\r\n"
            "5,\"Mays, Jr.\",12.50," + std::string(300, 'x') + "\r\n");

  options.key = "NO_SUCH_KEY";
  EXPECT_EQ(Dump(options, 2), "");
}

TEST_F(VmrDump, SameOutputAfterTheFileIsClosedAndReopened) {
  const std::string before = Dump({});
  {
    CardFile reopened(fs_, kName, "CARDS", false);
    ASSERT_EQ(reopened.error(), 0);
  }
  fs_.Crash(vmr::FaultFileSystem::CrashMode::kLoseUnsynced);
  EXPECT_EQ(Dump({}), before);
}

vmr::FieldDefinition Field(std::uint8_t type, std::uint16_t size, std::uint8_t places = 0) {
  vmr::FieldDefinition f;
  f.type = type;
  f.size = size;
  f.byte_size = static_cast<std::uint8_t>(size);
  f.places = places;
  f.declared_length = size;
  return f;
}

TEST(VmrFieldText, ValuesGoOutAndComeBack) {
  namespace type = vmr::field_type;
  struct Case {
    vmr::FieldDefinition field;
    std::string in;
    std::string out;  // as dumped
    bool number;
  };
  const Case cases[] = {
      {Field(type::packed, 4, 2), "12.5", "12.50", false},
      {Field(type::packed, 4, 2), "-3", "-3.00", false},
      {Field(type::packed, 4, 2), "99999.99", "99999.99", false},
      {Field(type::packed, 4, 2), "", "0.00", false},
      {Field(type::int16, 2), "-32768", "-32768", true},
      {Field(type::uint32, 4), "4294967295", "4294967295", true},
      {Field(type::int32, 4), "73000", "73000", true},
      {Field(type::float64, 8), "-1.5", "-1.5", true},
      {Field(type::fixstr, 10), "Caf\xC3\xA9  ", "Caf\xC3\xA9", false},  // UTF-8 in and out, trailing blanks lost
      {Field(type::zstr, 6), "abcde", "abcde", false},
      {Field(type::lenstr, 6), "ab", "ab", false},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> record(c.field.size, 0xEE);
    EXPECT_EQ(WriteFieldText(c.field, 0, c.in, record), "") << c.in;
    const FieldText text = ReadFieldText(c.field, 0, record);
    EXPECT_EQ(text.text, c.out) << c.in;
    EXPECT_EQ(text.number, c.number) << c.in;
  }
}

TEST(VmrFieldText, RefusesWhatDoesNotFit) {
  namespace type = vmr::field_type;
  struct Case {
    vmr::FieldDefinition field;
    std::string in;
  };
  const Case cases[] = {
      {Field(type::packed, 4, 2), "100000.00"}, {Field(type::packed, 4, 2), "1.5x"},
      {Field(type::int16, 2), "32768"},         {Field(type::uint8, 1), "-1"},
      {Field(type::int32, 4), "1.5"},           {Field(type::fixstr, 3), "abcd"},
      {Field(type::zstr, 3), "abc"},            {Field(type::float32, 4), "one"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> record(c.field.size, 0);
    EXPECT_NE(WriteFieldText(c.field, 0, c.in, record), "") << c.in;
  }
  std::string memo;
  EXPECT_NE(WriteMemoText(std::string(11, 'm'), memo, 10), "");
  EXPECT_EQ(WriteMemoText("note   ", memo, 10), "");
  EXPECT_EQ(memo, "note      ");
}

std::string RunTool(const std::string& arguments, int& status) {
  std::string out;
  status = test::RunTool(arguments, out);
  return out;
}

TEST_F(VmrDump, TablesSchemaAndDumpThroughTheTool) {
  {
    CardFile second(fs_, kName, "ANOTHER", true);
    ASSERT_EQ(second.error(), 0);
  }
  test::TempDir dir;
  const std::string path = dir.File("CARDS.VMR");
  test::WriteBytes(path, fs_.Contents(kName));
  int status = -1;
  EXPECT_EQ(RunTool("vmr tables " + path, status), "ANOTHER\nCARDS\n");
  EXPECT_EQ(status, 0);
  // The extension is added when the name has none.
  EXPECT_EQ(RunTool("vmr tables " + dir.File("CARDS"), status), "ANOTHER\nCARDS\n");

  const std::string schema = RunTool("vmr schema '" + path + "\\!CARDS'", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(schema,
            "table CARDS: record length 26, version 1, 3 fields, 2 keys, 1 memos\n"
            "  field 1 CRD:NUMBER INT16 offset 0 size 2\n"
            "  field 2 CRD:PLAYER FIXSTR offset 2 size 20 length 20\n"
            "  field 3 CRD:PRICE PACKED offset 22 size 4 places 2\n"
            "  key CRD:BY_NUMBER attributes 0x16 unique, blanks left out, case ignored: CRD:NUMBER\n"
            "  key CRD:BY_PLAYER attributes 0x07 duplicates, blanks left out, case ignored: CRD:PLAYER, "
            "-CRD:NUMBER\n"
            "  memo CRD:NOTES size 500\n");

  const std::string csv = RunTool("vmr dump '" + path + "\\!CARDS' --format csv --key CRD:BY_NUMBER", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n", csv.find("\r\n") + 2)), "CRD:NUMBER,CRD:PLAYER,CRD:PRICE,CRD:NOTES\r\n3,aaron,12.50,");

  RunTool("vmr dump " + path + " --format csv", status);
  EXPECT_EQ(status, 1) << "two tables do not fit one CSV";
  RunTool("vmr dump '" + path + "\\!MISSING'", status);
  EXPECT_EQ(status, 1);
  RunTool("vmr dump " + path + " --format xml", status);
  EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace tavero::tool
