#include "tools/vmr_load.h"

#include <gtest/gtest.h>

#include <sstream>

#include "storage/vmr/record_kinds.h"
#include "storage/driver/transaction.h"
#include "storage/vmr/check.h"
#include "storage/vmr/vmr.h"
#include "tools/vmr_dump.h"
#include "tools/vmr_rebuild.h"
#include "tools/vmr_test_files.h"

namespace tavero::tool {
namespace {

using test::CardFile;

std::string Lines(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}

TEST(VmrCsv, ReadsQuotedFieldsAndCountsLines) {
  std::vector<CsvRow> rows;
  std::string error;
  ASSERT_TRUE(ParseCsv("a,b,c\r\n1,\"two, \"\"2\"\"\",\"x\r\ny\"\n,,\r\nlast", rows, error)) << error;
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].fields, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(rows[1].fields, (std::vector<std::string>{"1", "two, \"2\"", "x\r\ny"}));
  EXPECT_EQ(rows[2].fields, (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(rows[3].fields, (std::vector<std::string>{"last"}));
  EXPECT_EQ(rows[1].line, 2u);
  EXPECT_EQ(rows[2].line, 4u);  // the quoted line end counts
  EXPECT_EQ(rows[3].line, 5u);

  for (const char* bad : {"a,\"open\n", "\"x\"y,1\n", "a,b\"c\n"}) {
    EXPECT_FALSE(ParseCsv(bad, rows, error)) << bad;
    EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
  }
}

class VmrLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    CardFile file(fs_, kName, "CARDS", true);
    ASSERT_EQ(file.error(), 0);
    file.Fill(7, "Mays");
    ASSERT_EQ(file.Add(), 0);
  }

  // Every file a test leaves behind passes the check.
  void TearDown() override {
    const vmr::CheckResult check = Check();
    EXPECT_TRUE(check.sound()) << Lines(check.problems);
  }

  // Loads through a VMR driver of its own over the test's file system;
  // with `fail_call`, that call of the load and every later one fail.
  LoadReport Load(const std::string& csv, LoadOptions options = {}, std::uint64_t fail_call = 0) {
    std::vector<CsvRow> rows;
    std::string error;
    EXPECT_TRUE(ParseCsv(csv, rows, error)) << error;
    StoredTable table;
    {
      std::unique_ptr<vmr::PhysicalFile> file;
      EXPECT_EQ(OpenExclusive(kName, false, false, file, fs_), 0);
      PhysicalRecordStore store(*file, true);
      EXPECT_EQ(ReadStoredTable(store, "CARDS", table), 0);
    }
    vmr::VmrDriver driver(fs_);
    LoadReport report;
    calls_before_load_ = fs_.calls();
    if (fail_call != 0) fs_.FailCall(fail_call, true);
    LoadRows(driver, kName, table, rows, options, report);
    fs_.FailCall(0);
    EXPECT_FALSE(driver::TransactionActive());
    return report;
  }

  std::string DumpCsv() {
    std::unique_ptr<vmr::PhysicalFile> file;
    EXPECT_EQ(OpenExclusive(kName, false, false, file, fs_), 0);
    PhysicalRecordStore store(*file, true);
    std::vector<StoredTable> tables;
    EXPECT_EQ(ReadStoredTables(store, "CARDS", tables), 0);
    std::ostringstream out;
    std::string message;
    DumpOptions options;
    options.format = DumpFormat::kCsv;
    EXPECT_EQ(DumpTables(store, tables, options, out, message), 0);
    return out.str();
  }

  vmr::CheckResult Check() const { return vmr::CheckImage(fs_.Contents(kName)); }

  static constexpr const char* kName = "CARDS.VMR";
  vmr::FaultFileSystem fs_;
  std::uint64_t calls_before_load_ = 0;
};

TEST_F(VmrLoad, AddsGoodRowsAndReportsTheOthersByLine) {
  const LoadReport report = Load(
      "crd:number,CRD:PLAYER,CRD:PRICE,CRD:NOTES\r\n"
      "8,Koufax,1.25,lefty\r\n"
      "7,Twin of Mays,,\r\n"                     // the unique number is taken
      "9,A name far too long for the field,,\r\n"
      "10,Ruth,2,\"first line\r\nsecond line\"\r\n"
      "11,Gehrig,123456.00,\r\n"                 // more than the packed field holds
      "12,Cobb\r\n"
      "13,Young,0.5,\r\n");
  EXPECT_EQ(report.failure, 0) << report.failure_text;
  EXPECT_EQ(report.added, 3u);
  EXPECT_EQ(Lines(report.refused),
            "line 3: 40 Creates Duplicate Key\n"
            "line 4: CRD:PLAYER longer than 20 characters\n"
            "line 7: CRD:PRICE does not fit 4 packed bytes with 2 places\n"
            "line 8: 2 values for 4 columns\n");
  const vmr::CheckResult check = Check();
  EXPECT_TRUE(check.sound()) << Lines(check.problems);
  EXPECT_EQ(DumpCsv(),
            "CRD:NUMBER,CRD:PLAYER,CRD:PRICE,CRD:NOTES\r\n"
            "7,Mays,12.50,\r\n"
            "8,Koufax,1.25,lefty\r\n"
            "10,Ruth,2.00,\"first line\r\nsecond line\"\r\n"
            "13,Young,0.50,\r\n");
}

TEST_F(VmrLoad, ADumpLoadsBackIntoAnEmptyTable) {
  Load("CRD:NUMBER,CRD:PLAYER,CRD:NOTES\n1,\"Robinson, Jackie\",\"42, \"\"the\"\" one\"\n2,Clemente,\n");
  const std::string dumped = DumpCsv();
  {
    CardFile emptied(fs_, kName, "CARDS", true);  // created again: empty
    ASSERT_EQ(emptied.error(), 0);
  }
  const LoadReport report = Load(dumped);
  EXPECT_EQ(report.added, 3u);
  EXPECT_TRUE(report.refused.empty()) << Lines(report.refused);
  EXPECT_EQ(DumpCsv(), dumped);
}

TEST_F(VmrLoad, AFailingTransactionLeavesTheFileAsBeforeIt) {
  std::string csv = "CRD:NUMBER,CRD:PLAYER\n";
  for (int n = 20; n < 30; ++n) csv += std::to_string(n) + ",Player " + std::to_string(n) + "\n";
  LoadOptions options;
  options.batch = 3;
  options.progress = [&](std::size_t done, std::size_t) {
    if (done == 5) fs_.FailCall(1, true);  // the disk fails inside the second transaction
  };
  const LoadReport report = Load(csv, options);
  fs_.FailCall(0);
  EXPECT_NE(report.failure, 0);
  EXPECT_NE(report.failure_text.find("the 3 rows of this transaction"), std::string::npos)
      << report.failure_text;
  EXPECT_EQ(report.added, 3u);
  const vmr::CheckResult check = Check();
  EXPECT_TRUE(check.sound()) << Lines(check.problems);
  EXPECT_EQ(DumpCsv(),
            "CRD:NUMBER,CRD:PLAYER,CRD:PRICE,CRD:NOTES\r\n"
            "7,Mays,12.50,\r\n20,Player 20,0.00,\r\n21,Player 21,0.00,\r\n22,Player 22,0.00,\r\n");
}

// Whichever call of the file system fails, and from then on every call,
// the load's one transaction goes in whole or not at all, and the file
// stays sound; a failure before the commit leaves the file as it was.
TEST_F(VmrLoad, AnIOErrorAnywhereInTheTransactionLeavesAllOrNothing) {
  std::string csv = "CRD:NUMBER,CRD:PLAYER,CRD:NOTES\n";
  for (int n = 100; n < 190; ++n) {
    csv += std::to_string(n) + ",Player " + std::to_string(n % 7) + "," + std::string(n % 3 ? 0 : 300, 'n') + "\n";
  }
  const std::vector<std::uint8_t> before = fs_.Contents(kName);
  const std::string before_dump = DumpCsv();
  ASSERT_EQ(Load(csv).failure, 0);
  const std::uint64_t calls = fs_.calls() - calls_before_load_;
  const std::string after_dump = DumpCsv();
  ASSERT_NE(after_dump, before_dump);
  int failed = 0;
  for (std::uint64_t n = 1; n <= calls; ++n) {
    fs_.SetContents(kName, before);
    const LoadReport report = Load(csv, {}, n);
    {  // an interrupted commit is finished (or undone) by the next writer
      std::unique_ptr<vmr::PhysicalFile> file;
      ASSERT_EQ(OpenExclusive(kName, true, false, file, fs_), 0) << "call " << n;
    }
    const vmr::CheckResult check = Check();
    ASSERT_TRUE(check.sound()) << "call " << n << "\n" << Lines(check.problems);
    const std::string dump = DumpCsv();
    const auto rows = std::count(dump.begin(), dump.end(), '\n') - 1;
    if (report.failure == 0) {
      EXPECT_TRUE(dump == after_dump) << "call " << n << ": " << rows << " rows";
    } else {
      // A failure before the commit point leaves the file as it was; one
      // after it (in COMMIT) leaves the transaction in.
      const bool as_before = dump == before_dump;
      failed += as_before;
      EXPECT_TRUE(as_before || (dump == after_dump && report.failure_text.rfind("COMMIT:", 0) == 0))
          << "call " << n << ": " << rows << " rows after " << report.failure_text;
    }
  }
  EXPECT_GT(failed, 0);
}

// One call of the file system fails and the next ones work: the report
// says truly whether the transaction went in, and a commit is reported
// failed only when it did not happen.
TEST_F(VmrLoad, AFailedCommitIsReportedAsTheFileHasIt) {
  std::string csv = "CRD:NUMBER,CRD:PLAYER\n";
  for (int n = 100; n < 160; ++n) csv += std::to_string(n) + ",Player " + std::to_string(n % 7) + "\n";
  const std::vector<std::uint8_t> before = fs_.Contents(kName);
  const std::string before_dump = DumpCsv();
  ASSERT_EQ(Load(csv).failure, 0);
  const std::uint64_t calls = fs_.calls() - calls_before_load_;
  const std::string after_dump = DumpCsv();
  int not_stored = 0;
  for (std::uint64_t n = 1; n <= calls; ++n) {
    fs_.SetContents(kName, before);
    calls_before_load_ = fs_.calls();
    std::vector<CsvRow> rows;
    std::string error;
    ASSERT_TRUE(ParseCsv(csv, rows, error));
    StoredTable table;
    table.name = "CARDS";
    table.definition = test::CardTable();
    LoadReport report;
    {
      vmr::VmrDriver driver(fs_);
      fs_.FailCall(n);  // that call only
      LoadRows(driver, kName, table, rows, {}, report);
      fs_.FailCall(0);
    }
    const std::string dump = DumpCsv();
    if (report.added == 60) {
      EXPECT_TRUE(dump == after_dump) << "call " << n << ": " << report.failure_text;
      EXPECT_EQ(report.failure, 0) << "call " << n << ": " << report.failure_text;
    } else {
      EXPECT_EQ(report.added, 0u);
      EXPECT_TRUE(dump == before_dump) << "call " << n << ": " << report.failure_text;
      EXPECT_EQ(report.failure_text.find("all or none"), std::string::npos) << report.failure_text;
      ++not_stored;
    }
  }
  EXPECT_GT(not_stored, 0);
}

TEST_F(VmrLoad, AnUnknownColumnStopsTheLoadBeforeAnyWrite) {
  const std::vector<std::uint8_t> before = fs_.Contents(kName);
  const LoadReport report = Load("CRD:NUMBER,CRD:TEAM\n1,Dodgers\n");
  EXPECT_EQ(report.failure, 2);
  EXPECT_EQ(report.failure_text, "line 1: the table has no column CRD:TEAM");
  EXPECT_EQ(fs_.Contents(kName), before);
}

TEST_F(VmrLoad, BuildMakesDamagedKeysAndCountsWholeAgain) {
  Load("CRD:NUMBER,CRD:PLAYER\n1,Aaron\n2,Banks\n3,\n4,Drysdale\n");
  {
    std::unique_ptr<vmr::PhysicalFile> file;
    ASSERT_EQ(OpenExclusive(kName, true, false, file, fs_), 0);
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    std::optional<vmr::RecordCopy> entry;
    ASSERT_TRUE(file->FirstWithPrefix(vmr::key_prefix(1, 0), entry).ok());
    bool found = false;
    ASSERT_TRUE(file->Erase(entry->key(), found).ok());
    ASSERT_TRUE(file->Replace(vmr::status_key(1, vmr::record_kind::data), vmr::encode_status({99, 0})).ok());
    ASSERT_TRUE(file->EndOperation().ok());
  }
  ASSERT_FALSE(Check().sound());
  {
    std::unique_ptr<vmr::PhysicalFile> file;
    ASSERT_EQ(OpenExclusive(kName, true, false, file, fs_), 0);
    PhysicalRecordStore store(*file);
    StoredTable table;
    ASSERT_EQ(ReadStoredTable(store, "CARDS", table), 0);
    std::uint32_t records = 0;
    ASSERT_EQ(RebuildKeys(store, table, records), 0);
    EXPECT_EQ(records, 5u);
  }
  const vmr::CheckResult check = Check();
  EXPECT_TRUE(check.sound()) << Lines(check.problems);
}

TEST_F(VmrLoad, LoadAndBuildThroughTheTool) {
  test::TempDir dir;
  const std::string path = dir.File("CARDS.VMR");
  const std::string csv = dir.File("in.csv");
  test::WriteBytes(path, fs_.Contents(kName));
  const std::string text = "CRD:NUMBER,CRD:PLAYER\n1,Aaron\n7,Again\n";
  test::WriteBytes(csv, std::vector<std::uint8_t>(text.begin(), text.end()));
  const auto run = test::RunTool;
  std::string out;
  EXPECT_EQ(run("vmr load '" + path + "\\!CARDS' --csv " + csv + " --batch 1", out), 1);
  EXPECT_EQ(out, csv + ": line 3: 40 Creates Duplicate Key\n1 rows added, 1 refused\n");
  EXPECT_EQ(run("vmr build " + path, out), 0);
  EXPECT_EQ(out, "CARDS: 2 keys built over 2 records\n");
  EXPECT_EQ(run("vmr check " + path, out), 0) << out;
  EXPECT_EQ(run("vmr load " + path + " --csv " + csv, out), 1) << "no table UNNAMED";
  EXPECT_NE(out.find("UNNAMED: 2 "), std::string::npos) << out;
  EXPECT_EQ(run("vmr load " + path, out), 2) << "no --csv";
}

}  // namespace
}  // namespace tavero::tool
