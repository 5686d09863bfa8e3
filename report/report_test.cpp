#include "report/report.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "report/report_testing.h"
#include "runtime/error_state.h"
#include "storage/driver/record_layout.h"
#include "ui/headless/driver.h"
#include "ui/headless/headless_printer.h"

namespace tavero::report {
namespace {

using testing::PageTexts;
using testing::Row;
using Texts = std::vector<std::string>;

// A queue of page names as the report procedure keeps it: one 80-character
// string per entry.
struct PageNameQueue {
  std::vector<std::uint8_t> record = std::vector<std::uint8_t>(80, ' ');
  std::vector<std::uint8_t> layout = driver::RecordLayoutWriter().String("NAME", 0, 80).Finish();
  queues::Queue queue{record, layout};

  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (std::int32_t k = 1; k <= queue.Records(); ++k) {
      queue.Get(k);
      std::string name(record.begin(), record.end());
      name.erase(name.find_last_not_of(' ') + 1);
      names.push_back(name);
    }
    return names;
  }
};

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("report_test_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    options.printer = &printer;
    options.page_directory = directory;
  }
  void TearDown() override { std::filesystem::remove_all(directory); }

  // Prints `rows` as the report procedure does: one detail band per row.
  void PrintRows(Report& report, const std::vector<Row>& rows) {
    for (const Row& r : rows) {
      row = r;
      PRINT(report, 1);
    }
  }

  // Opens a preview report over `definition`, prints `rows` and ends the
  // page.
  std::unique_ptr<Report> PrintPreview(definitions::EntryDefinition definition, const std::vector<Row>& rows) {
    auto report = std::make_unique<Report>(std::move(definition), testing::RowVariables(row), options);
    report->Open();
    report->SetPreviewQueue(names.queue, names.record);
    PrintRows(*report, rows);
    ENDPAGE(*report);
    return report;
  }

  std::vector<Texts> PreviewPages(Report& report) {
    std::vector<Texts> pages;
    for (const std::filesystem::path& file : report.PageFiles()) {
      auto page = ReadPageFile(file);
      EXPECT_TRUE(std::holds_alternative<images::Metafile>(page)) << std::get<std::string>(page);
      if (auto* m = std::get_if<images::Metafile>(&page)) pages.push_back(PageTexts(*m));
    }
    return pages;
  }

  static std::vector<Row> Rows(int makers, int sets, int cards) {
    std::vector<Row> rows;
    for (int m = 1; m <= makers; ++m) {
      for (int s = 1; s <= sets; ++s) {
        for (int c = 1; c <= cards; ++c) {
          rows.push_back({"Maker" + std::to_string(m), "S" + std::to_string(m) + std::to_string(s),
                          "card" + std::to_string(m) + std::to_string(s) + std::to_string(c), c});
        }
      }
    }
    return rows;
  }

  std::filesystem::path directory;
  ui::headless::HeadlessPrinter printer;
  ReportOptions options;
  Row row;
  PageNameQueue names;
};

TEST_F(ReportTest, BreakGroupsOpenAndCloseAroundTheDetailBands) {
  const std::unique_ptr<Report> owned = PrintPreview(testing::TestReport(), Rows(2, 2, 2));
  Report& report = *owned;
  const std::vector<Texts> pages = PreviewPages(report);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0], (Texts{"CARD REPORT", "Page", "1",
                             "MAKER", "Maker1", "SET", "S11", "card111", "1", "card112", "2", "last", "card112",
                             "SET", "S12", "card121", "1", "card122", "2", "last", "card122", "end of", "Maker1",
                             "MAKER", "Maker2", "SET", "S21", "card211", "1", "card212", "2", "last", "card212",
                             "SET", "S22", "card221", "1", "card222", "2", "last", "card222", "end of", "Maker2",
                             "bottom", "card222"}));
  EXPECT_EQ(names.Names(), (std::vector<std::string>{report.PageFiles()[0].string()}));
}

// Footers closed by a break used to be drawn with the row that caused the
// break, and page headers and footers with a later row's values.
TEST_F(ReportTest, FootersShowTheLastBandPrintedInTheirGroupAndPage) {
  const std::unique_ptr<Report> owned = PrintPreview(testing::TestReport(1600), Rows(2, 1, 3));
  Report& report = *owned;
  const std::vector<Texts> pages = PreviewPages(report);
  ASSERT_GE(pages.size(), 2u);
  for (const Texts& page : pages) {
    // The page footer shows the last card on its page.
    std::string last_card;
    for (const std::string& t : page) {
      if (t.rfind("card", 0) == 0) last_card = t;
    }
    ASSERT_GE(page.size(), 2u);
    EXPECT_EQ(page[page.size() - 2], "bottom");
    EXPECT_EQ(page.back(), last_card);
  }
  // The first group's footers carry its own values, not Maker2's row.
  Texts all;
  for (const Texts& page : pages) all.insert(all.end(), page.begin(), page.end());
  const auto set_footer = std::find(all.begin(), all.end(), "last");
  ASSERT_NE(set_footer, all.end());
  EXPECT_EQ(*(set_footer + 1), "card113");
  const auto maker_footer = std::find(all.begin(), all.end(), "end of");
  ASSERT_NE(maker_footer, all.end());
  EXPECT_EQ(*(maker_footer + 1), "Maker1");
}

TEST_F(ReportTest, EveryPageHeaderShowsItsOwnPageNumber) {
  const std::unique_ptr<Report> owned = PrintPreview(testing::TestReport(1000), Rows(3, 3, 4));
  Report& report = *owned;
  const std::vector<Texts> pages = PreviewPages(report);
  ASSERT_GT(pages.size(), 5u);
  for (std::size_t k = 0; k < pages.size(); ++k) {
    ASSERT_GE(pages[k].size(), 3u);
    EXPECT_EQ(pages[k][2], std::to_string(k + 1));
  }
  EXPECT_EQ(report.pages_emitted(), static_cast<std::int32_t>(pages.size()));
  EXPECT_EQ(names.Names().size(), pages.size());
}

TEST_F(ReportTest, ABandShowsItsValuesAsOfPrintNotLater) {
  Report report(testing::TestReport(), testing::RowVariables(row), options);
  report.Open();
  report.SetPreviewQueue(names.queue, names.record);
  row = {"Maker", "S", "before", 7};
  PRINT(report, 1);
  row.name = "after";  // changed before the page is emitted
  row.quantity = 99;
  PRINT(report, 2);    // no such band: ignored
  ENDPAGE(report);
  const std::vector<Texts> pages = PreviewPages(report);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_NE(std::find(pages[0].begin(), pages[0].end(), "before"), pages[0].end());
  EXPECT_NE(std::find(pages[0].begin(), pages[0].end(), "7"), pages[0].end());
  EXPECT_EQ(std::find(pages[0].begin(), pages[0].end(), "99"), pages[0].end());
}

TEST_F(ReportTest, EndPageWithNothingPrintedEmitsNoPage) {
  Report report(testing::TestReport(), testing::RowVariables(row), options);
  report.Open();
  report.SetPreviewQueue(names.queue, names.record);
  ENDPAGE(report);
  ENDPAGE(report);
  EXPECT_TRUE(report.PageFiles().empty());
  EXPECT_EQ(names.queue.Records(), 0);
}

// Page files used to get predictable names, were never deleted, and their
// writes were not checked.
TEST_F(ReportTest, PageFilesAreNewPrivateFilesDeletedWhenTheReportCloses) {
  std::vector<std::filesystem::path> files;
  {
    Report report(testing::TestReport(1000), testing::RowVariables(row), options);
    report.Open();
    report.SetPreviewQueue(names.queue, names.record);
    PrintRows(report, Rows(2, 2, 3));
    ENDPAGE(report);
    files = report.PageFiles();
    ASSERT_GT(files.size(), 1u);
    const std::regex name("TAV[A-Za-z0-9]{6}\\.wmf");
    for (const std::filesystem::path& file : files) {
      EXPECT_EQ(file.parent_path(), directory);
      EXPECT_TRUE(std::regex_match(file.filename().string(), name)) << file;
      struct stat info {};
      ASSERT_EQ(::stat(file.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0600u);
      // The file begins with the placeable header whose words xor to 0.
      std::ifstream in(file, std::ios::binary);
      std::uint8_t header[22];
      in.read(reinterpret_cast<char*>(header), sizeof header);
      std::uint16_t sum = 0;
      for (int k = 0; k < 22; k += 2) sum ^= static_cast<std::uint16_t>(header[k] | header[k + 1] << 8);
      EXPECT_EQ(sum, 0);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(std::unique(files.begin(), files.end()), files.end());
    report.Close();
    for (const std::filesystem::path& file : files) EXPECT_FALSE(std::filesystem::exists(file)) << file;
  }
  EXPECT_TRUE(std::filesystem::is_empty(directory));
}

TEST_F(ReportTest, APageFileThatCannotBeWrittenCancelsTheReport) {
  options.page_directory = directory / "missing";
  const std::unique_ptr<Report> owned = PrintPreview(testing::TestReport(1000), Rows(2, 2, 3));
  Report& report = *owned;
  EXPECT_TRUE(report.cancelled());
  EXPECT_TRUE(report.PageFiles().empty());
  EXPECT_EQ(names.queue.Records(), 0);
}

TEST_F(ReportTest, PageBeforeFiveNumbersThatPageFive) {
  definitions::EntryDefinition definition = testing::TestReport();
  // The maker's header starts a page numbered 5.
  definitions::ControlDefinition& maker_header = definition.controls[1].children[0];
  maker_header.attributes |= definitions::band_attribute::kPageBefore;
  maker_header.low = 5;
  const std::unique_ptr<Report> owned = PrintPreview(definition, Rows(2, 1, 1));
  Report& report = *owned;
  const std::vector<Texts> pages = PreviewPages(report);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0][2], "5");
  EXPECT_EQ(pages[0][4], "Maker1");
  EXPECT_EQ(pages[1][2], "5");  // the second maker's page starts again at 5
  EXPECT_EQ(pages[1][4], "Maker2");
}

TEST_F(ReportTest, OpeningAnOpenReportIs525) {
  Report report(testing::TestReport(), testing::RowVariables(row), options);
  report.Open();
  report.Open();  // before the window system runs the error returns
  EXPECT_EQ(ErrorCode(), 525);
  EXPECT_TRUE(report.IsOpen());
}

TEST_F(ReportTest, PrintAndEndPageOnAWindowAre538And539) {
  ui::Window window(definitions::EntryDefinition{});
  PRINT(window, 1);
  EXPECT_EQ(ErrorCode(), 538);
  ENDPAGE(window);
  EXPECT_EQ(ErrorCode(), 539);
}

TEST_F(ReportTest, FlushPrintsEveryPreviewPageThenEmptiesTheQueueAndDeletesTheFiles) {
  const std::unique_ptr<Report> owned = PrintPreview(testing::TestReport(1000), Rows(2, 2, 3));
  Report& report = *owned;
  const std::vector<Texts> preview = PreviewPages(report);
  const std::vector<std::filesystem::path> files = report.PageFiles();
  report.SetProperty(kFlushProperty, 1);
  const auto documents = printer.Documents();
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_TRUE(documents[0].finished);
  EXPECT_TRUE(documents[0].pdf_file.empty());
  EXPECT_EQ(documents[0].title, "Test report");
  ASSERT_EQ(documents[0].pages.size(), preview.size());
  for (std::size_t k = 0; k < preview.size(); ++k) EXPECT_EQ(PageTexts(documents[0].pages[k]), preview[k]);
  EXPECT_EQ(names.queue.Records(), 0);
  for (const std::filesystem::path& file : files) EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ReportTest, WithoutAPrinterTheLocalePaperAt600DpiIsUsedAndPrintingAsksForAFile) {
  printer.SetPrinter(std::nullopt);
  printer.AnswerPrintFile(directory / "out.pdf");
  Report report(testing::TestReport(), testing::RowVariables(row), options);
  report.Open();
  EXPECT_FALSE(report.printer());
  EXPECT_EQ(report.device().resolution.x, 600);
  EXPECT_EQ(report.device().width, ReferenceDevice().width);
  report.SetPreviewQueue(names.queue, names.record);
  PrintRows(report, Rows(1, 1, 2));
  ENDPAGE(report);
  ASSERT_EQ(report.PageFiles().size(), 1u);
  report.SetProperty(kFlushProperty, 1);
  EXPECT_EQ(printer.PrintFileQuestions(), 1);
  const auto documents = printer.Documents();
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0].pdf_file, directory / "out.pdf");
  EXPECT_EQ(documents[0].pages.size(), 1u);
}

TEST_F(ReportTest, CancellingThePrintFileDialogPrintsNothing) {
  printer.SetPrintToFile(true);
  printer.AnswerPrintFile(std::nullopt);
  const std::unique_ptr<Report> owned = PrintPreview(testing::TestReport(), Rows(1, 1, 2));
  Report& report = *owned;
  report.SetProperty(kFlushProperty, 1);
  EXPECT_EQ(printer.PrintFileQuestions(), 1);
  EXPECT_TRUE(printer.Documents().empty());
  EXPECT_TRUE(report.PageFiles().empty());
}

// A page file changed behind the report's back is refused when printed, not
// replayed.
TEST_F(ReportTest, ADamagedPageFileIsNotPrinted) {
  const std::unique_ptr<Report> owned = PrintPreview(testing::TestReport(1000), Rows(1, 2, 3));
  Report& report = *owned;
  const std::vector<std::filesystem::path> files = report.PageFiles();
  ASSERT_GT(files.size(), 1u);
  std::filesystem::resize_file(files[1], 100);
  report.SetProperty(kFlushProperty, 1);
  // The pages are checked before printing starts: not even the sound first
  // page reaches the printer. The page files are gone all the same.
  EXPECT_TRUE(printer.Documents().empty());
  for (const auto& file : files) EXPECT_FALSE(std::filesystem::exists(file)) << file;
}

TEST_F(ReportTest, PrintingDirectlySendsEachPageToThePrinter) {
  Report report(testing::TestReport(1000), testing::RowVariables(row), options);
  report.Open();
  EXPECT_EQ(report.device().resolution.x, 300);  // the printer's
  PrintRows(report, Rows(2, 2, 3));
  ENDPAGE(report);
  report.Close();
  const auto documents = printer.Documents();
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_TRUE(documents[0].finished);
  ASSERT_GT(documents[0].pages.size(), 1u);
  EXPECT_EQ(documents[0].pages[0].header.right, 2550);
  EXPECT_EQ(documents[0].pages[0].header.units_per_inch, 300);
  EXPECT_EQ(PageTexts(documents[0].pages[1])[2], "2");
}

// Runs `body` as a program's main procedure on the headless platform, so that
// boxes are shown and runtime errors halt, and gives the boxes shown.
std::vector<std::string> BoxesShownBy(const std::function<void()>& body) {
  ui::headless::HeadlessProgram program(body);
  program.driver().Settle();
  EXPECT_TRUE(program.Finished());
  return program.driver().ErrorBoxes();
}

// A printer that failed to start the document used to leave the report
// silently cancelled.
TEST_F(ReportTest, APrinterThatCannotStartIsReportedInABox) {
  printer.SetStartFailure("out of paper");
  bool cancelled = false;
  const auto boxes = BoxesShownBy([&] {
    Report report(testing::TestReport(), testing::RowVariables(row), options);
    report.Open();
    PrintRows(report, Rows(1, 1, 2));
    ENDPAGE(report);
    cancelled = report.cancelled();
  });
  EXPECT_TRUE(cancelled);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("out of paper"), std::string::npos) << boxes[0];
}

// An unexpected printer failure (524) used to halt the whole program.
TEST_F(ReportTest, AnUnexpectedPrinterFailureIsShownAndThePreviewStillWorks) {
  printer.SetOpenFailure("spooler gone");
  std::size_t pages = 0;
  const auto boxes = BoxesShownBy([&] {
    Report report(testing::TestReport(), testing::RowVariables(row), options);
    report.Open();
    report.SetPreviewQueue(names.queue, names.record);
    PrintRows(report, Rows(1, 1, 2));
    ENDPAGE(report);
    pages = report.PageFiles().size();
  });
  EXPECT_EQ(pages, 1u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Runtime error: Unexpected error opening printer device : spooler gone");
}

}  // namespace
}  // namespace tavero::report
