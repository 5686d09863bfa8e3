// List boxes on the headless platform, used as a person uses them.
#include <gtest/gtest.h>

#include "ui/headless/driver.h"
#include "ui/properties.h"
#include "ui/test_lists.h"

namespace tavero::ui {
namespace {

using headless::HeadlessProgram;
using testing::EventLog;
using Lines = std::vector<std::string>;
namespace attribute = definitions::control_attribute;

TEST(ListBox, ShowsTheQueueFormattedByThePicturesWithABlankCellPastItsFields) {
  HeadlessProgram program([] {
    testing::CardQueue cards;
    cards.Add(7, "ANN LEE", 1250, 4);
    cards.Add(12, "BOB", -5, 0);
    Window window(testing::PlainWindow(
        "Cards", {testing::ListBox(1, "20R~No~@n3@60L~Name~#2#30R~Price~@n-8.2@20L~Day~20L~Far~#9#", {4, 4, 200, 60})}));
    window.SetListFrom(1, &cards.queue());
    window.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  auto& driver = program.driver();
  std::optional<ShownList> list = driver.List(driver.Find("Cards"), 1);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->headings, (Lines{"No", "Name", "Price", "Day", "Far"}));
  // The day number shows with "@S30"; field 9 is past the queue's four.
  EXPECT_EQ(list->rows, (Lines{"  7\tANN LEE\t   12.50\t4\t", " 12\tBOB\t   -0.05\t0\t"}));
  EXPECT_EQ(list->count, 2);
}

TEST(ListBox, ShowsTheQueueAsTheBodyLeftItAndWritesItsFormatBack) {
  EventLog log;
  HeadlessProgram program([&] {
    testing::CardQueue cards;
    Window window(testing::PlainWindow("Cards", {testing::ListBox(1, "20L~No~@n3@#1#60L|M~Name~#2#", {4, 4, 200, 60}),
                                                 testing::Button(2, "&Add")}));
    window.SetListFrom(1, &cards.queue());
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 2) {
        cards.Add(cards.queue().Records() + 1, "NEW", 0, 0);
        log.Add(window.GetProperty(1, property::kListFormat));
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId cards = driver.Find("Cards");
  EXPECT_TRUE(driver.List(cards, 1)->rows.empty());
  ASSERT_TRUE(driver.Click(cards, 2));
  ASSERT_TRUE(driver.Click(cards, 2));
  EXPECT_EQ(driver.List(cards, 1)->rows, (Lines{"  1\tNEW", "  2\tNEW"}));
  EXPECT_EQ(log.Lines(), (Lines{"20L@n3@~No~60L|M~Name~", "20L@n3@~No~60L|M~Name~"}));
}

TEST(ListBox, AListThatScrollsItselfMakesNoScrollEvents) {
  EventLog log;
  HeadlessProgram program([&] { testing::ListsProcedure(log); });
  auto& driver = program.driver();
  const WindowId lists = driver.Find("Lists");
  std::optional<ShownList> list = driver.List(lists, 1);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count, testing::kDemoCards);
  EXPECT_EQ(list->rows_visible, 21);
  ASSERT_EQ(list->rows.size(), 21u);
  EXPECT_EQ(list->rows[0], "     1\tBANKS 1\t      1.37\t24/08/1992");
  EXPECT_TRUE(list->scroll_bar);

  ASSERT_TRUE(driver.Scroll(lists, 1, ScrollAction::PageDown));
  EXPECT_EQ(driver.List(lists, 1)->top, 20);  // a page is the rows in sight less one
  ASSERT_TRUE(driver.Scroll(lists, 1, ScrollAction::LineUp));
  EXPECT_EQ(driver.List(lists, 1)->top, 19);
  ASSERT_TRUE(driver.Scroll(lists, 1, ScrollAction::Bottom));
  EXPECT_EQ(driver.List(lists, 1)->top, testing::kDemoCards - 21);
  EXPECT_EQ(driver.List(lists, 1)->rows.back().substr(0, 6), " 10000");
  ASSERT_TRUE(driver.DragThumb(lists, 1, 500));
  EXPECT_EQ(driver.List(lists, 1)->thumb, 500);
  ASSERT_TRUE(driver.PressKey(lists, 1, kKeyDown));  // no highlight yet: the first row
  ASSERT_TRUE(driver.PressKey(lists, 1, kKeyDown));
  EXPECT_EQ(driver.List(lists, 1)->selected, 2);
  EXPECT_EQ(driver.List(lists, 1)->top, 0);  // the highlight came into sight
  ASSERT_TRUE(driver.TypeChar(lists, 1, '1'));  // the list's own locator
  EXPECT_EQ(driver.List(lists, 1)->selected, 10);
  EXPECT_TRUE(log.Lines().empty());
}

TEST(ListBox, ThumbAndRowsVisibleAreThePropertiesTheProcedureReads) {
  EventLog log;
  HeadlessProgram program([&] {
    testing::CardQueue cards;
    for (int i = 1; i <= 100; ++i) cards.Add(i, "X", 0, 0);
    Window window(testing::PlainWindow("Cards", {testing::ListBox(1, "20L", {4, 4, 100, 52}, attribute::kVerticalScroll),
                                                 testing::Button(2, "&Go")}));
    window.SetListFrom(1, &cards.queue());
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 2) {
        log.Add("items " + window.GetProperty(1, property::kListItems) + " thumb " +
                window.GetProperty(1, property::kListThumb));
        window.SetProperty(1, property::kListThumb, 1000);  // held to the last top row
        log.Add("thumb " + window.GetProperty(1, property::kListThumb));
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId cards = driver.Find("Cards");
  ASSERT_TRUE(driver.Scroll(cards, 1, ScrollAction::LineDown));
  ASSERT_TRUE(driver.Click(cards, 2));
  EXPECT_EQ(driver.List(cards, 1)->top, 95);
  ASSERT_TRUE(driver.ResizeList(cards, 1, 102));  // ten rows now
  ASSERT_TRUE(driver.Click(cards, 2));
  EXPECT_EQ(driver.List(cards, 1)->top, 90);
  EXPECT_EQ(log.Lines(), (Lines{"items 5 thumb 1", "thumb 95", "items 10 thumb 90", "thumb 90"}));
}

TEST(ListBox, AnImmediateListTurnsKeysAndItsScrollBarIntoEventsAndMovesNothingItself) {
  EventLog log;
  HeadlessProgram program([&] { testing::ListsProcedure(log); });
  auto& driver = program.driver();
  const WindowId lists = driver.Find("Lists");
  const std::optional<ShownList> start = driver.List(lists, 2);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->count, start->rows_visible);  // the procedure filled one page
  EXPECT_EQ(start->count, 21);
  EXPECT_EQ(start->selected, 1);

  // One key, one movement: the procedure moves the highlight, the list does not.
  ASSERT_TRUE(driver.PressKey(lists, 2, kKeyDown));
  EXPECT_EQ(driver.List(lists, 2)->selected, 2);
  log.Clear();
  const Lines expected =
      testing::ImmediateListScript(driver, lists, [&](int key) { driver.PressKey(lists, 2, key); });
  EXPECT_EQ(log.Lines(), expected);

  // The page the procedure rebuilt after the drag to the middle, and the row
  // the right click chose.
  const std::optional<ShownList> list = driver.List(lists, 2);
  EXPECT_EQ(list->thumb, 49);  // where the procedure put it for the page it built
  EXPECT_EQ(list->top, 0);
  EXPECT_EQ(list->selected, 3);
  EXPECT_EQ(list->rows[0].substr(0, 6), "  4990");

  log.Clear();
  Lines looks;
  const Lines closing = testing::CloseListsScript(driver, lists, looks);
  EXPECT_EQ(looks, testing::kCloseListsLooks);
  EXPECT_EQ(log.Lines(), closing);
  EXPECT_TRUE(program.Finished());
}

TEST(ListBox, ARightClickReportsThePointerInsideTheList) {
  EventLog log;
  HeadlessProgram program([&] {
    testing::CardQueue cards;
    for (int i = 1; i <= 5; ++i) cards.Add(i, "X", 0, 0);
    Window window(testing::PlainWindow("Cards", {testing::ListBox(1, "20L~No~", {30, 20, 100, 80})}));
    window.SetListFrom(1, &cards.queue());
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::NewSelection) {
        log.Add("row " + window.GetProperty(1, property::kListSelected) + " KEYCODE " + std::to_string(KEYCODE()));
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId cards = driver.Find("Cards");
  ASSERT_TRUE(driver.ClickRow(cards, 1, 2));
  ASSERT_TRUE(driver.ClickRow(cards, 1, 2, true));  // the same row again
  EXPECT_FALSE(driver.ClickRow(cards, 1, 6));        // no such row in sight
  EXPECT_EQ(log.Lines(), (Lines{"row 2 KEYCODE 1", "row 2 KEYCODE 2"}));
}

TEST(ListBox, ATreeTellsWhichRowWasExpandedOrContracted) {
  EventLog log;
  HeadlessProgram program([&] { testing::TreeProcedure(log); });
  auto& driver = program.driver();
  const WindowId tree = driver.Find("Tree");
  EXPECT_EQ(driver.List(tree, 1)->rows, (Lines{"  ROOT", "  + TOPPS", "    FLEER"}));
  const Lines expected = testing::TreeScript(driver, tree);
  EXPECT_EQ(log.Lines(), expected);
  ASSERT_TRUE(driver.Expand(tree, 1, 2));
  EXPECT_EQ(driver.List(tree, 1)->rows,
            (Lines{"  ROOT", "  - TOPPS", "      1991 SERIES", "      1992 SERIES", "    FLEER"}));
  EXPECT_FALSE(driver.Expand(tree, 1, 2));  // already expanded
}

}  // namespace
}  // namespace tavero::ui
