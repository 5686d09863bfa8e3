// The report preview as a person uses it: the frame's "Print MAIN REPORT"
// item stands in for a report that wrote `pages` page files; the person
// reads the status zones, the pages shown and the items' states.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/global_request.h"
#include "app/main_frame.h"
#include "app/report_preview.h"
#include "app/window_blocks.h"
#include "storage/driver/record_layout.h"
#include "storage/queues/queue.h"
#include "ui/definitions/definitions.h"
#include "ui/event.h"
#include "ui/headless/driver.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;

int page_count = 0;
Response answer = Response::None;

// A report that wrote `page_count` pages named "page1.wmf", "page2.wmf" ...
void PreviewOfPages() {
  std::vector<std::uint8_t> record(80, ' ');
  const std::vector<std::uint8_t> layout = tavero::driver::RecordLayoutWriter().String("PAGE:NAME", 0, 80).Finish();
  tavero::queues::Queue pages(record, layout);
  for (int page = 1; page <= page_count; ++page) {
    const std::string name = "page" + std::to_string(page) + ".wmf";
    std::fill(record.begin(), record.end(), ' ');
    std::copy(name.begin(), name.end(), record.begin());
    pages.Add();
  }
  answer = ReportPreview(pages);
}

constexpr MenuCommand kCommands[] = {{-12, PreviewOfPages, 50000}};

class Preview : public ::testing::Test {
 protected:
  void Open(int pages) {
    tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
    page_count = pages;
    answer = Response::None;
    program_ = std::make_unique<ui::headless::HeadlessProgram>([] { RunMain(kCommands); });
    ASSERT_TRUE(person().ChooseMenu(person().Find("ZEPHYRA VERSION 1.0"), "Print MAIN REPORT"));
    preview_ = person().Find("Print Preview");
    ASSERT_NE(preview_, ui::kNoWindow);
  }
  void TearDown() override {
    if (program_) {
      person().ChooseMenu(person().Find("ZEPHYRA VERSION 1.0"), "E&xit");
      program_.reset();
    }
  }
  ui::headless::HeadlessDriver& person() { return program_->driver(); }

  // What the preview shows: "<zone 2>|<zone 3>|<zone 4>|<pages in sight,
  // left right centre zoom>".
  std::string Shown() {
    std::string shown = person().StatusText(preview_, 2) + "|" + person().StatusText(preview_, 3) + "|" +
                        person().StatusText(preview_, 4) + "|";
    for (int image : {9, 12, 15, 17}) {
      if (person().Visible(preview_, image)) shown += person().Text(preview_, image) + " ";
    }
    return shown;
  }
  // The items' enabled states, 1 to 7: "1111110".
  std::string Items() {
    std::string states;
    for (int item = 1; item <= 7; ++item) states += person().Enabled(preview_, item) ? '1' : '0';
    return states;
  }
  bool Choose(int item) { return person().ChooseMenu(preview_, item); }
  // A key pressed over the page in sight.
  bool Press(int key) {
    for (int area : {16, 13, 10}) {
      if (person().Visible(preview_, area)) return person().PressKey(preview_, area, key);
    }
    return false;
  }

  std::unique_ptr<ui::headless::HeadlessProgram> program_;
  ui::WindowId preview_ = ui::kNoWindow;
};

TEST_F(Preview, OnePageReportHasNothingToPageOrFace) {
  Open(1);
  EXPECT_EQ(Shown(), "|Single Page|Page 1 of 1|page1.wmf ");
  EXPECT_EQ(Items(), "1110010");
  // Zooming in and out again leaves "&Facing Pages!" disabled.
  ASSERT_TRUE(Choose(3));
  EXPECT_EQ(Shown(), "ZOOM|Single Page|Page 1 of 1|page1.wmf ");
  EXPECT_EQ(person().Text(preview_, 3), "&Zoom Out!");
  ASSERT_TRUE(Choose(3));
  EXPECT_EQ(person().Text(preview_, 3), "&Zoom In!");
  EXPECT_EQ(Items(), "1110010");
}

TEST_F(Preview, FacingPagesOfFivePagesPutPageOneAloneOnTheRight) {
  Open(5);
  ASSERT_TRUE(Choose(7));
  EXPECT_EQ(person().Text(preview_, 7), "&Single Pages!");
  EXPECT_EQ(Shown(), "|Facing Pages|Page 1 of 5|page1.wmf ");
  EXPECT_EQ(Items(), "1110111");
  ASSERT_TRUE(Choose(5));
  EXPECT_EQ(Shown(), "|Facing Pages|Pages 2 and 3 of 5|page2.wmf page3.wmf ");
  ASSERT_TRUE(Choose(5));
  EXPECT_EQ(Shown(), "|Facing Pages|Pages 4 and 5 of 5|page4.wmf page5.wmf ");
  EXPECT_EQ(Items(), "1111011");
  EXPECT_FALSE(Choose(5));  // disabled at the end
  // Page Up goes back a spread.
  ASSERT_TRUE(Press(ui::kKeyPageUp));
  EXPECT_EQ(Shown(), "|Facing Pages|Pages 2 and 3 of 5|page2.wmf page3.wmf ");
  // A click on the left page zooms into it; zooming out faces again.
  ASSERT_TRUE(person().Click(preview_, 10));
  EXPECT_EQ(Shown(), "ZOOM|Single Page|Page 2 of 5|page2.wmf ");
  EXPECT_EQ(person().Text(preview_, 3), "&Zoom Out!");
  EXPECT_FALSE(person().Enabled(preview_, 7));
  ASSERT_TRUE(Choose(3));
  EXPECT_EQ(Shown(), "|Facing Pages|Pages 2 and 3 of 5|page2.wmf page3.wmf ");
  ASSERT_TRUE(Choose(7));
  EXPECT_EQ(Shown(), "|Single Page|Page 3 of 5|page3.wmf ");
}

TEST_F(Preview, ZoomOnTheLastSpreadOfAnEvenCountShowsAPageThatExists) {
  Open(4);
  ASSERT_TRUE(Choose(7));
  ASSERT_TRUE(Choose(5));
  ASSERT_TRUE(Choose(5));
  EXPECT_EQ(Shown(), "|Facing Pages|Page 4 of 4|page4.wmf ");
  EXPECT_EQ(Items(), "1111011");
  ASSERT_TRUE(person().Click(preview_, 10));  // the left page, the only one
  EXPECT_EQ(Shown(), "ZOOM|Single Page|Page 4 of 4|page4.wmf ");
}

TEST_F(Preview, SinglePagesStepOneAtATimeWithTheKeysToo) {
  Open(3);
  EXPECT_EQ(Items(), "1110111");
  ASSERT_TRUE(Press(ui::kKeyPageDown));
  EXPECT_EQ(Shown(), "|Single Page|Page 2 of 3|page2.wmf ");
  ASSERT_TRUE(Choose(5));
  EXPECT_EQ(Shown(), "|Single Page|Page 3 of 3|page3.wmf ");
  ASSERT_TRUE(Press(ui::kKeyPageDown));  // nothing beyond the last
  EXPECT_EQ(Shown(), "|Single Page|Page 3 of 3|page3.wmf ");
  ASSERT_TRUE(Choose(4));
  EXPECT_EQ(Shown(), "|Single Page|Page 2 of 3|page2.wmf ");
  ASSERT_TRUE(person().Click(preview_, 16));  // the centre page zooms
  EXPECT_EQ(Shown(), "ZOOM|Single Page|Page 2 of 3|page2.wmf ");
}

TEST_F(Preview, JumpOffersOnlyPagesThatExist) {
  Open(7);
  ASSERT_TRUE(Choose(6));
  const ui::WindowId jump = person().Find("Jump to a Report Page");
  ASSERT_NE(jump, ui::kNoWindow);
  EXPECT_EQ(person().Control(jump, 2)->value, 1);
  EXPECT_EQ(person().Control(jump, 2)->high, 7);
  ASSERT_TRUE(person().SetSpin(jump, 2, 50));  // held at 7
  ASSERT_TRUE(person().Click(jump, 3));
  EXPECT_EQ(person().Find("Jump to a Report Page"), ui::kNoWindow);
  EXPECT_EQ(Shown(), "|Single Page|Page 7 of 7|page7.wmf ");
  ASSERT_TRUE(Choose(6));
  ASSERT_TRUE(person().SetSpin(person().Find("Jump to a Report Page"), 2, 3));
  ASSERT_TRUE(person().Click(person().Find("Jump to a Report Page"), 4));  // Cancel: stays
  EXPECT_EQ(Shown(), "|Single Page|Page 7 of 7|page7.wmf ");
}

TEST_F(Preview, NoPagesDisableEveryItemButCancel) {
  Open(0);
  EXPECT_EQ(Shown(), "|Single Page|Page 0 of 0|");
  EXPECT_EQ(Items(), "1000000");
  ASSERT_TRUE(Choose(1));
  EXPECT_EQ(person().Find("Print Preview"), ui::kNoWindow);
  EXPECT_EQ(answer, Response::Cancelled);
}

TEST_F(Preview, PrintAnswersCompletedAndCancelCancelled) {
  Open(2);
  ASSERT_TRUE(Choose(2));
  EXPECT_EQ(person().Find("Print Preview"), ui::kNoWindow);
  EXPECT_EQ(answer, Response::Completed);
  ASSERT_TRUE(person().ChooseMenu(person().Find("ZEPHYRA VERSION 1.0"), "Print MAIN REPORT"));
  preview_ = person().Find("Print Preview");
  ASSERT_TRUE(Choose(1));
  EXPECT_EQ(answer, Response::Cancelled);
}

TEST(FacingPagesText, NamesThePagesThatExist) {
  struct Case {
    int other, current, total;
    const char* text;
  } cases[] = {
      {0, 1, 5, "Page 1 of 5"},
      {2, 3, 5, "Pages 2 and 3 of 5"},
      {4, 5, 4, "Page 4 of 4"},
      {2147483646, 2147483647, 2147483647, "Pages 2147483646 and 2147483647 of 2147483647"},
  };
  for (const Case& c : cases) EXPECT_EQ(FacingPagesText(c.other, c.current, c.total), c.text);
}

}  // namespace
}  // namespace zephcol
