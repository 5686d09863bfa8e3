// A report of several break levels rendered, paginated and printed to a PDF
// file by the Qt platform's printer (offscreen), read back by poppler's
// pdfinfo and pdftotext. CI has the tools (scripts/test.sh sets
// TAVERO_REQUIRE_TOOLS); run by hand without them, the test skips.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "report/report.h"
#include "report/report_testing.h"
#include "ui/qt/qt_printer.h"

namespace tavero::report {
namespace {

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
    ::pclose(pipe);
  }
  return out;
}

// The Qt printer, with no printer installed and "Print To File..." answered
// with `file`.
class PdfPort final : public ui::PrinterPort {
 public:
  explicit PdfPort(std::filesystem::path file) : file_(std::move(file)) {}
  ui::PrinterQuery QueryPrinter() override { return ui::PrintStatus{ui::PrintFailure::NoPrinter, {}}; }
  std::variant<std::unique_ptr<ui::PrintDocument>, ui::PrintStatus> StartDocument(
      std::string_view title, const ui::PrintTarget& target) override {
    return qt_.StartDocument(title, target);
  }
  std::optional<std::filesystem::path> AskPrintFile() override { return file_; }

 private:
  std::filesystem::path file_;
  ui::qt::QtPrinterPort qt_{[](const std::function<void()>& work) { work(); }};
};

TEST(ReportPdf, ABreakReportPrintsToPdfWithEveryPage) {
  if (std::system("command -v pdfinfo >/dev/null 2>&1 && command -v pdftotext >/dev/null 2>&1") != 0) {
    if (std::getenv("TAVERO_REQUIRE_TOOLS") != nullptr) FAIL() << "pdfinfo and pdftotext (poppler-utils) are missing";
    GTEST_SKIP() << "pdfinfo and pdftotext (poppler-utils) are missing";
  }
  int argc = 1;
  char name[] = "report_pdf_test";
  char* argv[] = {name, nullptr};
  QGuiApplication application(argc, argv);

  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("report_pdf_" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  const std::filesystem::path pdf = directory / "report.pdf";
  PdfPort port(pdf);
  ReportOptions options;
  options.printer = &port;
  options.page_directory = directory;
  std::vector<std::uint8_t> record(80, ' ');
  const std::vector<std::uint8_t> layout = driver::RecordLayoutWriter().String("NAME", 0, 80).Finish();
  queues::Queue names(record, layout);
  testing::Row row;
  std::int32_t pages = 0;
  {
    Report report(testing::TestReport(2000), testing::RowVariables(row), options);
    report.Open();
    report.SetPreviewQueue(names, record);
    for (int m = 1; m <= 3; ++m) {
      for (int s = 1; s <= 3; ++s) {
        for (int c = 1; c <= 5; ++c) {
          row = {"Maker" + std::to_string(m), "Set" + std::to_string(m) + std::to_string(s),
                 "Card" + std::to_string(m) + std::to_string(s) + std::to_string(c), c};
          PRINT(report, 1);
        }
      }
    }
    ENDPAGE(report);
    pages = report.pages_emitted();
    ASSERT_GT(pages, 3);
    report.SetProperty(kFlushProperty, 1);
    EXPECT_FALSE(report.cancelled());
    EXPECT_TRUE(report.PageFiles().empty()) << "page files are deleted after printing";
  }
  ASSERT_TRUE(std::filesystem::exists(pdf));
  const std::string info = Output("pdfinfo '" + pdf.string() + "'");
  const std::size_t at = info.find("Pages:");
  ASSERT_NE(at, std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + at + 6), pages) << info;
  const std::string text = Output("pdftotext '" + pdf.string() + "' -");
  for (const char* expected : {"CARD REPORT", "Maker1", "Set23", "Card335", "end of"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace tavero::report
