#include "report/paginator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavero::report {
namespace {

// Pages as "number: band@y band@y ...", items named by their band index.
class PaginatorTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 6000;
  static constexpr int kHeight = 1000;

  Paginator paginator{kWidth, kHeight, [this](const PageLayout& page) {
                        std::string text = std::to_string(page.number) + ":";
                        for (const PlacedItem& p : page.items) {
                          text += " " + std::to_string(p.item->band) + "@" + std::to_string(p.y);
                          if (p.x != 0) text += "+" + std::to_string(p.x);
                        }
                        if (!page.header_and_form) text += " (no header)";
                        pages.push_back(text);
                        return true;
                      }};
  std::vector<std::string> pages;

  void Add(int band, int height, std::uint32_t flags = 0, std::int32_t before = kNoPageBreak,
           std::int32_t after = kNoPageBreak, int width = kWidth) {
    PrintItem item;
    item.band = band;
    item.height = height;
    item.width = width;
    item.flags = flags;
    item.page_before = before;
    item.page_after = after;
    paginator.Add(std::move(item));
  }
};

TEST_F(PaginatorTest, ItemsFillPagesInOrderAndEndPageEmitsTheRest) {
  for (int k = 0; k < 7; ++k) Add(k, 300);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0 1@300 2@600", "2: 3@0 4@300 5@600", "3: 6@0"}));
  EXPECT_EQ(paginator.pages_emitted(), 3);
  EXPECT_EQ(paginator.page_number(), 4);
}

TEST_F(PaginatorTest, EndPageWithNothingPendingEmitsNothing) {
  paginator.Finish();
  paginator.Finish();
  EXPECT_TRUE(pages.empty());
  EXPECT_EQ(paginator.pages_emitted(), 0);
  EXPECT_EQ(paginator.page_number(), 1);
}

TEST_F(PaginatorTest, PagesAreEmittedWithOnePageOfLookAhead) {
  for (int k = 0; k < 6; ++k) Add(k, 300);
  EXPECT_EQ(pages.size(), 0u);  // 1800 pending, not more than 2000
  Add(6, 300);                  // 2100 pending: one page can be judged
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0 1@300 2@600"}));
}

TEST_F(PaginatorTest, PageBeforeWithAValueStartsAPageWithThatNumber) {
  Add(0, 300);
  Add(1, 300, 0, 5);
  Add(2, 300);
  Add(3, 300, 0, 0);  // a new page, numbering goes on
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0", "5: 1@0 2@300", "6: 3@0"}));
}

TEST_F(PaginatorTest, PageBeforeOnTheFirstItemMakesNoEmptyPage) {
  Add(0, 300, 0, 5);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"5: 0@0"}));
}

TEST_F(PaginatorTest, PageAfterEndsThePageAndMayNumberTheNext) {
  Add(0, 300, 0, kNoPageBreak, 9);
  Add(1, 300, 0, kNoPageBreak, 0);
  Add(2, 300);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0", "9: 1@0", "10: 2@0"}));
}

TEST_F(PaginatorTest, AnOversizeItemStandsAloneOnItsPage) {
  Add(0, 300);
  Add(1, 2500);
  Add(2, 300);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0", "2: 1@0", "3: 2@0"}));
}

TEST_F(PaginatorTest, AKeepGroupThatDoesNotFitMovesToTheNextPage) {
  Add(0, 500);
  Add(1, 200, item_flag::kKeepOpens);
  Add(2, 200);
  Add(3, 200, item_flag::kKeepCloses);
  Add(4, 200);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0", "2: 1@0 2@200 3@400 4@600"}));
}

TEST_F(PaginatorTest, NestedKeepGroupsCloseInOrder) {
  Add(0, 300);
  Add(1, 100, item_flag::kKeepOpens);
  Add(2, 100, item_flag::kKeepOpens);
  Add(3, 100, item_flag::kKeepCloses);
  Add(4, 500, item_flag::kKeepCloses);  // the outer group: 800 in all, no room after 300
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0", "2: 1@0 2@100 3@200 4@300"}));
}

// A keep group longer than the detail area at the head of a page used to end
// that page before the group again and again: endless empty pages.
TEST_F(PaginatorTest, TooLongKeepGroupNeverYieldsAnEmptyPage) {
  Add(0, 500);
  Add(1, 400, item_flag::kKeepOpens);
  for (int k = 2; k < 6; ++k) Add(k, 400);
  Add(6, 400, item_flag::kKeepCloses);
  Add(7, 100);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0", "2: 1@0 2@400", "3: 3@0 4@400", "4: 5@0 6@400 7@800"}));
  for (const std::string& page : pages) EXPECT_NE(page.back(), ':') << "an empty page";
}

TEST_F(PaginatorTest, FlowingItemsStandSideBySideAndWrap) {
  Add(0, 200, item_flag::kFlow, kNoPageBreak, kNoPageBreak, 2500);
  Add(1, 200, item_flag::kFlow, kNoPageBreak, kNoPageBreak, 2500);
  Add(2, 200, item_flag::kFlow, kNoPageBreak, kNoPageBreak, 2500);  // 7500 would pass 6000: a new row
  Add(3, 100);
  Add(4, 100, item_flag::kNoHeight);
  Add(5, 100);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0 1@0+2500 2@200 3@400 4@500 5@500"}));
}

TEST_F(PaginatorTest, AFirstItemWithoutPageHeaderIsReported) {
  Add(0, 300, item_flag::kNoPageHeader);
  paginator.Finish();
  EXPECT_EQ(pages, (std::vector<std::string>{"1: 0@0 (no header)"}));
}

TEST_F(PaginatorTest, ASinkThatRefusesCancelsTheRest) {
  Paginator refusing(kWidth, kHeight, [](const PageLayout&) { return false; });
  for (int k = 0; k < 10; ++k) {
    PrintItem item;
    item.height = 300;
    refusing.Add(std::move(item));
  }
  refusing.Finish();
  EXPECT_TRUE(refusing.cancelled());
  EXPECT_TRUE(refusing.empty());
  EXPECT_EQ(refusing.pages_emitted(), 0);
}

}  // namespace
}  // namespace tavero::report
