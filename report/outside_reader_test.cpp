// A rendered page read by an independent reader of metafiles: libwmf's
// wmf2svg must convert it and find its texts. CI has the tool (scripts/
// test.sh sets TAVERO_REQUIRE_TOOLS); run by hand without it, the test skips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "report/report.h"
#include "report/report_testing.h"
#include "ui/headless/headless_printer.h"

namespace tavero::report {
namespace {

bool HaveTool(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(OutsideReader, Wmf2SvgConvertsAPageAndFindsItsTexts) {
  if (!HaveTool("wmf2svg")) {
    if (std::getenv("TAVERO_REQUIRE_TOOLS") != nullptr) FAIL() << "wmf2svg (libwmf-bin) is not installed";
    GTEST_SKIP() << "wmf2svg (libwmf-bin) is not installed";
  }
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("outside_reader_" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  testing::Row row;
  ui::headless::HeadlessPrinter printer;
  ReportOptions options;
  options.printer = &printer;
  options.page_directory = directory;
  std::vector<std::uint8_t> record(80, ' ');
  const std::vector<std::uint8_t> layout = driver::RecordLayoutWriter().String("NAME", 0, 80).Finish();
  queues::Queue names(record, layout);
  {
    Report report(testing::TestReport(), testing::RowVariables(row), options);
    report.Open();
    report.SetPreviewQueue(names, record);
    row = {"Topps", "1987", "Bonds", 3};
    PRINT(report, 1);
    row = {"Topps", "1987", "Clemens", 12};
    PRINT(report, 1);
    ENDPAGE(report);
    ASSERT_EQ(report.PageFiles().size(), 1u);
    const std::filesystem::path svg = directory / "page.svg";
    const std::string command =
        "wmf2svg -o '" + svg.string() + "' '" + report.PageFiles()[0].string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(svg);
    std::stringstream text;
    text << in.rdbuf();
    for (const char* expected : {"CARD REPORT", "MAKER", "Topps", "1987", "Bonds", "Clemens", "12", "end of"}) {
      EXPECT_NE(text.str().find(expected), std::string::npos) << expected;
    }
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace tavero::report
