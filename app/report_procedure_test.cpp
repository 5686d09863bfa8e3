// "Print MAIN REPORT" as a person uses it, on the sample collection's files
// in a scratch working directory: the progress window, the preview, the
// pages' contents, printing, cancelling and leaving the program meanwhile.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/file_reports.h"
#include "app/global_request.h"
#include "app/main_frame.h"
#include "app/report_procedure.h"
#include "app/window_blocks.h"
#include "report/page_files.h"
#include "report/report_testing.h"
#include "tools/sample_files.h"
#include "ui/definitions/definitions.h"
#include "ui/headless/driver.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
using tavero::tool::SampleCollection;

constexpr const char* kFrameTitle = "ZEPHYRA VERSION 1.0";
constexpr const char* kTitle = "CARD COLLECTION - MASTER REPORT";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// One detail row as the pages show it: maker, set's type and year, card
// number, last and first name.
using PrintedRow = std::vector<std::string>;

// What the pages of a report show: the page numbers in their headers and
// the detail rows under their group headers.
struct Printed {
  std::vector<std::string> page_numbers;
  std::vector<std::string> makers;  // group 1 headers, in order
  std::vector<PrintedRow> rows;
};

Printed ReadPages(const std::vector<std::filesystem::path>& files) {
  Printed printed;
  std::string maker, type, year;
  for (const std::filesystem::path& file : files) {
    auto page = tavero::report::ReadPageFile(file);
    EXPECT_TRUE(std::holds_alternative<tavero::images::Metafile>(page)) << file;
    if (!std::holds_alternative<tavero::images::Metafile>(page)) continue;
    const std::vector<std::string> t = tavero::report::testing::PageTexts(std::get<tavero::images::Metafile>(page));
    for (std::size_t i = 0; i < t.size();) {
      if (t[i] == kTitle && i + 2 < t.size()) {  // title, "PAGE", the number
        printed.page_numbers.push_back(t[i + 2]);
        i += 3;
      } else if (t[i] == "MANUFACTURER" && i + 1 < t.size()) {
        maker = t[i + 1];
        printed.makers.push_back(maker);
        i += 2;
      } else if (t[i] == "TYPE OF CARD:" && i + 8 < t.size()) {  // labels, type, year, five headings
        type = t[i + 2];
        year = t[i + 3];
        i += 9;
      } else if (i + 4 < t.size()) {  // price, quantity, card number, last name, first name
        printed.rows.push_back({maker, type, year, t[i + 2], t[i + 3], t[i + 4]});
        i += 5;
      } else {
        ADD_FAILURE() << "a page ends inside a row: " << t[i];
        break;
      }
    }
  }
  return printed;
}

// The rows the report must print: makers in key order (upper-cased), their
// sets in CAR:MANUFACTURERS order, each set's cards in the order they were
// stored (duplicates of SET:SET_KEY keep it).
std::vector<PrintedRow> ExpectedRows(const SampleCollection& c) {
  std::vector<std::string> makers = c.manufacturers;
  std::sort(makers.begin(), makers.end(), [](const auto& a, const auto& b) { return Upper(a) < Upper(b); });
  std::vector<PrintedRow> rows;
  for (const std::string& maker : makers) {
    std::vector<tavero::tool::SampleSet> sets;
    for (const auto& s : c.sets) {
      if (Upper(s.manufacturer) == Upper(maker)) sets.push_back(s);
    }
    std::stable_sort(sets.begin(), sets.end(), [](const auto& a, const auto& b) {
      return std::make_pair(Upper(a.year), Upper(a.type)) < std::make_pair(Upper(b.year), Upper(b.type));
    });
    // Joined records without a match are cleared: blank texts, number 0.
    if (sets.empty()) rows.push_back({maker, "", "", "0", "", ""});
    for (const auto& s : sets) {
      bool any = false;
      for (const auto& card : c.cards) {
        if (card.set != s.number) continue;
        any = true;
        rows.push_back({maker, s.type, s.year, std::to_string(card.card), card.last_name, card.first_name});
      }
      if (!any) rows.push_back({maker, s.type, s.year, "0", "", ""});
    }
  }
  return rows;
}

// The pages are numbered 1..N and hold exactly `expected`, in order.
void ExpectPagesHold(const std::vector<std::filesystem::path>& files, const std::vector<PrintedRow>& expected) {
  const Printed printed = ReadPages(files);
  std::vector<std::string> numbers;
  for (std::size_t n = 1; n <= files.size(); ++n) numbers.push_back(std::to_string(n));
  EXPECT_EQ(printed.page_numbers, numbers);
  ASSERT_EQ(printed.rows.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(printed.rows[i], expected[i]) << "row " << i;
  }
}

class MasterReport : public ::testing::Test {
 protected:
  void SetUp() override {
    tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
    // Page files go to a directory of the test's own, where what is left
    // behind can be counted.
    const char* previous = std::getenv("TMPDIR");
    previous_tmpdir_ = previous != nullptr ? previous : "";
    std::filesystem::create_directory(directory_.path() / "tmp");
    setenv("TMPDIR", (directory_.path() / "tmp").c_str(), 1);
  }
  void TearDown() override {
    if (program_) {
      person().ChooseMenu(person().Find(kFrameTitle), "E&xit");
      program_.reset();
    }
    if (previous_tmpdir_.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", previous_tmpdir_.c_str(), 1);
    }
  }

  // Page files left in the test's temporary directory.
  std::size_t PageFilesLeft() const {
    std::size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory_.path() / "tmp")) {
      left += entry.path().extension() == ".wmf";
    }
    return left;
  }

  void WriteSample(int sets, int cards_per_set) {
    collection_ = tavero::tool::MakeSampleCollection({.sets = sets, .cards_per_set = cards_per_set});
    std::string failure;
    ASSERT_EQ(tavero::tool::WriteSampleFiles(directory_.path().string(), collection_, failure), 0) << failure;
  }
  void StartProgram() {
    // The frame's own menu without the splash in front of it.
    program_ = std::make_unique<ui::headless::HeadlessProgram>([] { RunMain(MainMenuCommands()); });
    frame_ = person().Find(kFrameTitle);
    ASSERT_NE(frame_, ui::kNoWindow);
  }
  ui::headless::HeadlessDriver& person() { return program_->driver(); }
  ui::headless::HeadlessPrinter& printer() { return program_->platform().printer(); }

  // Chooses the menu item: the progress window it opens (kNoWindow: none).
  ui::WindowId StartMainReport() {
    EXPECT_TRUE(person().ChooseMenu(frame_, "Print MAIN REPORT"));
    return person().Find("Generating Report");
  }
  // One tick of the timer (1000 rows): whether `progress` is still open.
  bool TickLeavesOpen(ui::WindowId progress) {
    person().PassTime(10);
    return person().Find("Generating Report") == progress;
  }
  // Chooses the menu item and lets the timer run until the progress window
  // has gone.
  void PrintMainReport() {
    const ui::WindowId progress = StartMainReport();
    for (int tick = 0; tick < 1000 && progress != ui::kNoWindow; ++tick) {
      if (!TickLeavesOpen(progress)) break;
    }
  }
  // The page files the open preview shows, paging through it.
  std::vector<std::filesystem::path> PreviewPages() {
    const ui::WindowId preview = person().Find("Print Preview");
    std::vector<std::filesystem::path> files;
    if (preview == ui::kNoWindow) return files;
    while (true) {
      files.emplace_back(person().Text(preview, 15));
      if (!person().Enabled(preview, 5)) break;
      person().ChooseMenu(preview, 5);
    }
    return files;
  }

  testing_support::ScratchDirectory directory_;
  std::string previous_tmpdir_;
  SampleCollection collection_;
  std::unique_ptr<ui::headless::HeadlessProgram> program_;
  ui::WindowId frame_ = ui::kNoWindow;
};

TEST_F(MasterReport, ThePagesHoldEveryRowInOrderAndGoToThePreview) {
  WriteSample(12, 20);
  StartProgram();
  const ui::WindowId progress = StartMainReport();
  ASSERT_NE(progress, ui::kNoWindow);
  EXPECT_EQ(person().Text(progress, 4), "Cancel");
  EXPECT_NE(person().Text(progress, 3).find("% Completed"), std::string::npos);
  person().PassTime(10);  // one tick: fewer than 1000 rows
  ASSERT_EQ(person().Find("Generating Report"), ui::kNoWindow);
  const ui::WindowId preview = person().Find("Print Preview");
  ASSERT_NE(preview, ui::kNoWindow);

  const std::vector<std::filesystem::path> files = PreviewPages();
  ASSERT_GE(files.size(), 2u);
  EXPECT_EQ(person().StatusText(preview, 4),
            "Page " + std::to_string(files.size()) + " of " + std::to_string(files.size()));
  ExpectPagesHold(files, ExpectedRows(collection_));

  // "&Cancel!": nothing printed, the page files gone.
  ASSERT_TRUE(person().ChooseMenu(preview, 1));
  EXPECT_EQ(person().Find("Print Preview"), ui::kNoWindow);
  EXPECT_TRUE(printer().Documents().empty());
  for (const auto& file : files) EXPECT_FALSE(std::filesystem::exists(file)) << file;
  EXPECT_TRUE(person().ErrorBoxes().empty());
}

TEST_F(MasterReport, PrintFromThePreviewPrintsEveryPageAndEachChoiceIsAReportOfItsOwn) {
  WriteSample(4, 10);
  StartProgram();
  PrintMainReport();
  ui::WindowId preview = person().Find("Print Preview");
  ASSERT_NE(preview, ui::kNoWindow);
  const std::vector<std::filesystem::path> files = PreviewPages();
  ASSERT_TRUE(person().ChooseMenu(preview, "&Print!"));
  const auto documents = printer().Documents();
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0].title, kTitle);
  EXPECT_EQ(documents[0].pages.size(), files.size());
  EXPECT_TRUE(documents[0].finished);
  for (const auto& file : files) EXPECT_FALSE(std::filesystem::exists(file)) << file;

  PrintMainReport();  // again: new pages, numbered from 1
  preview = person().Find("Print Preview");
  ASSERT_NE(preview, ui::kNoWindow);
  EXPECT_EQ(person().StatusText(preview, 4), "Page 1 of " + std::to_string(files.size()));
  EXPECT_NE(person().Text(preview, 15), files.front().string());
  ASSERT_TRUE(person().ChooseMenu(preview, "&Cancel!"));
  EXPECT_EQ(printer().Documents().size(), 1u);
}

TEST_F(MasterReport, PrintSetupsChoiceOfAFileSendsTheReportToTheFileNamed) {
  WriteSample(4, 10);
  StartProgram();
  // The frame's "&Print Setup ..." is the platform's dialog, which chose a
  // file; the report prints where it says.
  ASSERT_TRUE(person().ChooseMenu(frame_, "&Print Setup ..."));
  const auto actions = program_->platform().StandardActions();
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].second, ui::StandardAction::PrintSetup);
  printer().SetPrintToFile(true);
  const std::filesystem::path pdf = directory_.path() / "REPORT.PDF";
  printer().AnswerPrintFile(pdf);
  PrintMainReport();
  ASSERT_TRUE(person().ChooseMenu(person().Find("Print Preview"), "&Print!"));
  EXPECT_EQ(printer().PrintFileQuestions(), 1);
  const auto documents = printer().Documents();
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0].pdf_file, pdf);
  EXPECT_TRUE(documents[0].finished);
}

TEST_F(MasterReport, NoRowsNoPagesNoPreview) {
  StartProgram();  // the files are created empty
  PrintMainReport();
  EXPECT_EQ(person().Titles(), std::vector<std::string>{kFrameTitle});
  EXPECT_TRUE(printer().Documents().empty());
}

TEST_F(MasterReport, CancelStopsTheReportEvenWithATickAlreadyQueued) {
  WriteSample(150, 20);  // 3000 rows: three ticks
  StartProgram();
  const ui::WindowId progress = StartMainReport();
  ASSERT_NE(progress, ui::kNoWindow);
  ASSERT_TRUE(TickLeavesOpen(progress));  // the first 1000 rows
  program_->platform().PassTime(10);  // the next tick waits in the queue ...
  ASSERT_TRUE(person().Click(progress, 4));  // ... when Cancel is pressed
  person().PassTime(50);
  EXPECT_EQ(person().Titles(), std::vector<std::string>{kFrameTitle});
  EXPECT_TRUE(printer().Documents().empty());
  EXPECT_EQ(PageFilesLeft(), 0u);
}

TEST_F(MasterReport, ExitDuringGenerationEndsTheProgramWithoutAPreview) {
  WriteSample(70, 20);
  StartProgram();
  const ui::WindowId progress = StartMainReport();
  ASSERT_NE(progress, ui::kNoWindow);
  ASSERT_TRUE(TickLeavesOpen(progress));
  ASSERT_TRUE(person().ChooseMenu(frame_, "E&xit"));
  person().Settle();
  EXPECT_TRUE(program_->Finished());
  EXPECT_TRUE(person().Titles().empty());
  EXPECT_TRUE(person().ErrorBoxes().empty());
  EXPECT_TRUE(printer().Documents().empty());
  program_.reset();
  EXPECT_EQ(PageFilesLeft(), 0u);
}

// Overwrites `length` bytes of `file` at `offset` with `byte`.
void Overwrite(const std::filesystem::path& file, std::uint64_t offset, std::size_t length, char byte) {
  std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(out) << file;
  out.seekp(static_cast<std::streamoff>(offset));
  const std::string bytes(length, byte);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out) << file;
}

TEST_F(MasterReport, AReadErrorMidReportShowsWarning35AndThenThePagesSoFar) {
  WriteSample(150, 20);  // 3000 rows: three ticks
  StartProgram();
  const ui::WindowId progress = StartMainReport();
  ASSERT_NE(progress, ui::kNoWindow);
  ASSERT_TRUE(TickLeavesOpen(progress));  // the first 1000 rows
  // Another station's write went wrong: SETINFORMATION's header is damaged,
  // so the next read of the file fails.
  Overwrite(directory_.path() / "SETINFORMATION.VMR", 14, 4, 'X');
  person().PassTime(10);
  ASSERT_TRUE(person().MessageBox());
  EXPECT_EQ(person().MessageCaption(), "Record Retrieval Error");
  EXPECT_EQ(person().MessageText(),
            "Error: (Invalid Data File (36)) attempting to access a record from the SETINFORMATION file.  returning "
            "to previous window.");
  EXPECT_EQ(person().MessageButtons(), std::vector<std::string>{"OK"});
  ASSERT_TRUE(person().PressButton(person().MessageDefault()));

  // The preview shows the rows printed before the error, and no more.
  EXPECT_EQ(person().Find("Generating Report"), ui::kNoWindow);
  ASSERT_NE(person().Find("Print Preview"), ui::kNoWindow);
  const std::vector<std::filesystem::path> files = PreviewPages();
  std::vector<PrintedRow> expected = ExpectedRows(collection_);
  expected.resize(kRowsPerTick);
  ExpectPagesHold(files, expected);
  ASSERT_TRUE(person().ChooseMenu(person().Find("Print Preview"), "&Print!"));
  ASSERT_EQ(printer().Documents().size(), 1u);
  EXPECT_EQ(printer().Documents()[0].pages.size(), files.size());
  EXPECT_TRUE(person().ErrorBoxes().empty());
  EXPECT_EQ(PageFilesLeft(), 0u);
}

TEST_F(MasterReport, ReadsOfItsFilesByOtherWindowsBetweenTicksLoseOrRepeatNoRow) {
  WriteSample(430, 7);  // 3010 rows: four ticks, each ending inside a set
  StartProgram();
  const ui::WindowId progress = StartMainReport();
  ASSERT_NE(progress, ui::kNoWindow);
  // Between the ticks other windows, each on a thread of its own, read
  // MANUFACTURER, CARDSET and SETINFORMATION elsewhere: the tree down to a
  // set's cards, the card sets and the makers browsed to their ends, the
  // cards browse opened.
  // The browse a menu item opened, scrolled to its end.
  const auto browse_to_the_end = [&](std::string_view item) {
    ASSERT_TRUE(person().ChooseMenu(frame_, item));
    const ui::WindowId browse = person().Find(person().Titles().back());
    ASSERT_TRUE(person().Scroll(browse, 1, ui::ScrollAction::Bottom)) << person().Titles().back();
  };
  const auto between_ticks = std::to_array<std::function<void()>>({
      [&] {
        ASSERT_TRUE(person().ChooseMenu(frame_, "TREE BROWSE THE COLLECTION"));
        const ui::WindowId tree = person().Find("Tree View Card Collection");
        ASSERT_NE(tree, ui::kNoWindow);
        ASSERT_TRUE(person().Expand(tree, 1, 3));
        ASSERT_TRUE(person().Expand(tree, 1, 4));
      },
      [&] {
        browse_to_the_end("EDIT &CARD SETS");
        ASSERT_TRUE(person().ChooseMenu(frame_, "EDIT &INDIVIDUAL CARDS"));  // the cards of no set yet
      },
      [&] { browse_to_the_end("EDIT  CARD &MANUFACTURERS"); },
  });
  for (const auto& reads : between_ticks) {
    ASSERT_TRUE(TickLeavesOpen(progress));
    reads();
    ASSERT_FALSE(person().MessageBox()) << person().MessageText();
  }
  person().PassTime(10);  // the last 10 rows
  ASSERT_EQ(person().Find("Generating Report"), ui::kNoWindow);
  ASSERT_NE(person().Find("Print Preview"), ui::kNoWindow);
  ExpectPagesHold(PreviewPages(), ExpectedRows(collection_));
  EXPECT_TRUE(person().ErrorBoxes().empty());
}

// The page files in `directory` by the page number printed on them.
std::map<int, std::filesystem::path> PageFilesByNumber(const std::filesystem::path& directory) {
  std::map<int, std::filesystem::path> pages;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    auto read = tavero::report::ReadPageFile(entry.path());
    if (!std::holds_alternative<tavero::images::Metafile>(read)) continue;
    const auto texts = tavero::report::testing::PageTexts(std::get<tavero::images::Metafile>(read));
    if (texts.size() >= 3 && texts[0] == kTitle) pages[std::stoi(texts[2])] = entry.path();
  }
  return pages;
}

TEST_F(MasterReport, APageFileGoneOrDamagedShowsAnEmptyFrameAndPrintingItSaysSoAndPrintsNothing) {
  WriteSample(30, 20);
  struct Damage {
    const char* what;
    void (*spoil)(const std::filesystem::path&);
    const char* why;  // the reason the print box gives
  } const damages[] = {
      {"deleted", [](const std::filesystem::path& file) { std::filesystem::remove(file); },
       "(cannot open a page file: No such file or directory)."},
      {"cut short",
       [](const std::filesystem::path& file) {
         std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
       },
       "(a damaged page file: "},
      {"garbled", [](const std::filesystem::path& file) { Overwrite(file, 22, 18, 'X'); }, "(a damaged page file: "},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    StartProgram();
    PrintMainReport();
    const ui::WindowId preview = person().Find("Print Preview");
    ASSERT_NE(preview, ui::kNoWindow);
    EXPECT_NE(person().Picture(preview, 15), ui::ShownPicture{});  // page 1 in the centre frame
    const std::map<int, std::filesystem::path> pages = PageFilesByNumber(directory_.path() / "tmp");
    ASSERT_GE(pages.size(), 4u);
    const std::string of = " of " + std::to_string(pages.size());
    damage.spoil(pages.at(2));  // before the preview has shown it

    // Page 2 shows as an empty frame, numbered as ever; its neighbours show.
    ASSERT_TRUE(person().ChooseMenu(preview, "&Next Page!"));
    EXPECT_EQ(person().StatusText(preview, 3), "Single Page");
    EXPECT_EQ(person().StatusText(preview, 4), "Page 2" + of);
    EXPECT_TRUE(person().Visible(preview, 14));
    EXPECT_EQ(person().Text(preview, 15), pages.at(2).string());
    EXPECT_EQ(person().Picture(preview, 15), ui::ShownPicture{});
    ASSERT_TRUE(person().ChooseMenu(preview, "&Facing Pages!"));  // 2 and 3
    EXPECT_EQ(person().StatusText(preview, 4), "Pages 2 and 3" + of);
    EXPECT_EQ(person().Picture(preview, 9), ui::ShownPicture{});
    EXPECT_NE(person().Picture(preview, 12), ui::ShownPicture{});
    ASSERT_TRUE(person().Click(preview, 10));  // zoom into page 2
    EXPECT_EQ(person().StatusText(preview, 2), "ZOOM");
    EXPECT_EQ(person().StatusText(preview, 4), "Page 2" + of);
    EXPECT_EQ(person().Picture(preview, 17), ui::ShownPicture{});
    EXPECT_TRUE(person().ErrorBoxes().empty());

    // "&Print!" says which page is wrong and prints nothing.
    ASSERT_TRUE(person().ChooseMenu(preview, "&Print!"));
    EXPECT_EQ(person().Find("Print Preview"), ui::kNoWindow);
    EXPECT_TRUE(printer().Documents().empty());
    ASSERT_EQ(person().ErrorBoxes().size(), 1u);
    const std::string box = person().ErrorBoxes()[0];
    EXPECT_EQ(box.rfind("Print: The report could not be printed: page 2" + of + " is missing or damaged " + damage.why,
                        0),
              0u)
        << box;
    EXPECT_EQ(PageFilesLeft(), 0u);
    EXPECT_EQ(person().Titles(), std::vector<std::string>{kFrameTitle});  // the program goes on
    person().ChooseMenu(frame_, "E&xit");
    program_.reset();
  }
}

// The eight reports of one file each run on the same procedure: started in
// place of the master report, each prints every record of its file, with
// page numbers 1..N, into the preview.
template <std::size_t N>
void RunFileReport() {
  RunReport(FileReports()[N]);
}

template <std::size_t... N>
constexpr std::array<void (*)(), sizeof...(N)> FileReportProcedures(std::index_sequence<N...>) {
  return {&RunFileReport<N>...};
}

TEST_F(MasterReport, EachFileReportRunsOnTheReportProcedureAndPrintsEveryRecordOfItsFile) {
  constexpr auto kProcedures = FileReportProcedures(std::make_index_sequence<8>());
  ASSERT_EQ(FileReports().size(), kProcedures.size());
  WriteSample(30, 20);  // 600 cards: several pages
  const std::regex set_number("[0-9]{6}");
  for (std::size_t r = 0; r < kProcedures.size(); ++r) {
    const ReportDeclaration& report = FileReports()[r];
    SCOPED_TRACE(report.report);
    std::vector<MenuCommand> commands(MainMenuCommands().begin(), MainMenuCommands().end());
    for (MenuCommand& command : commands) {
      if (command.item == -12) command.procedure = kProcedures[r];
    }
    program_ = std::make_unique<ui::headless::HeadlessProgram>([&commands] { RunMain(commands); });
    frame_ = person().Find(kFrameTitle);
    ASSERT_NE(frame_, ui::kNoWindow);
    PrintMainReport();
    const std::vector<std::filesystem::path> files = PreviewPages();
    ASSERT_FALSE(files.empty());

    // Every page opens with the report's title, "PAGE" and its number; the
    // set numbers (the only six-digit texts) count the CARDSET and
    // SETINFORMATION records, the texts after the headings the types.
    std::size_t records = 0;
    std::vector<int> numbers;
    for (std::size_t page = 0; page < files.size(); ++page) {
      auto read = tavero::report::ReadPageFile(files[page]);
      ASSERT_TRUE(std::holds_alternative<tavero::images::Metafile>(read));
      const auto texts = tavero::report::testing::PageTexts(std::get<tavero::images::Metafile>(read));
      ASSERT_GE(texts.size(), 3u);
      EXPECT_EQ(texts[1], "PAGE");
      EXPECT_EQ(std::stoi(texts[2]), static_cast<int>(page + 1));
      if (report.read_error_file == "TYPES") {
        records += texts.size() - 4;  // title, "PAGE", number, heading
      } else {
        for (const std::string& text : texts) {
          if (std::regex_match(text, set_number)) numbers.push_back(std::stoi(text));
        }
      }
    }
    if (report.read_error_file == "TYPES") {
      EXPECT_EQ(records, collection_.types.size());
    } else if (report.read_error_file == "CARDSET") {
      EXPECT_EQ(numbers.size(), collection_.sets.size());
    } else {
      EXPECT_EQ(numbers.size(), collection_.cards.size());
      if (report.report == "PRINTSET:SET_KEY$REPORT") {
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
      }
    }
    ASSERT_TRUE(person().ChooseMenu(person().Find("Print Preview"), "&Cancel!"));
    EXPECT_TRUE(person().ErrorBoxes().empty());
    person().ChooseMenu(frame_, "E&xit");
    program_.reset();
    EXPECT_EQ(PageFilesLeft(), 0u);
  }
}

TEST(ProgressPercent, WholeNumbersHeldAt100AndAnEmptyTotalIsDone) {
  struct Case {
    std::uint64_t read, total;
    int percent;
  } cases[] = {
      {0, 0, 100},  {20, 0, 100},  {0, 200, 0},    {20, 200, 10},  {199, 200, 99},
      {400, 200, 100}, {std::uint64_t{1} << 40, std::uint64_t{1} << 41, 50},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressPercent(c.read, c.total), c.percent) << c.read << "/" << c.total;
}

}  // namespace
}  // namespace zephcol
