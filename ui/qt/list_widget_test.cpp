// List boxes on the Qt platform (offscreen): the scripts the headless tests
// run give the same events here, and the lists show what the procedures put
// in them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTreeView>

#include <filesystem>

#include "ui/headless/driver.h"
#include "ui/properties.h"
#include "ui/qt/gui_side.h"
#include "ui/qt/list_widget.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/test_application.h"
#include "ui/test_lists.h"

namespace tavero::ui::qt {
namespace {

using testing::EventLog;
using Lines = std::vector<std::string>;


// Presses a key given by its key code (with kKeyCtrl) in list `number`.
auto Presser(QtDriver& driver, WindowId window, int number) {
  return [&driver, window, number](int key_code) {
    int qt_key = 0;
    switch (key_code & 0xFF) {
      case kKeyPageUp: qt_key = Qt::Key_PageUp; break;
      case kKeyPageDown: qt_key = Qt::Key_PageDown; break;
      case kKeyHome: qt_key = Qt::Key_Home; break;
      case kKeyUp: qt_key = Qt::Key_Up; break;
      case kKeyDown: qt_key = Qt::Key_Down; break;
      default: break;
    }
    driver.PressKey(window, number, qt_key, (key_code & kKeyCtrl) != 0 ? Qt::ControlModifier : Qt::NoModifier);
  };
}

TEST(QtList, TheImmediateListScriptGivesTheSameEventsAsOnTheHeadlessPlatform) {
  TestApplication();
  EventLog log;
  QtPlatform platform;
  QtProgram program(platform, [&] { testing::ListsProcedure(log); });
  QtDriver& driver = program.driver();
  const WindowId lists = driver.Find("Lists");
  ASSERT_NE(lists, kNoWindow);
  std::optional<ShownList> start = driver.List(lists, 2);
  ASSERT_TRUE(start);
  EXPECT_GE(start->rows_visible, 10);
  EXPECT_EQ(start->count, start->rows_visible);  // one page, as many rows as fit
  EXPECT_TRUE(start->scroll_bar);

  // One key, one movement.
  driver.PressKey(lists, 2, Qt::Key_Down);
  EXPECT_EQ(driver.List(lists, 2)->selected, 2);
  log.Clear();
  const Lines expected = testing::ImmediateListScript(driver, lists, Presser(driver, lists, 2));
  EXPECT_EQ(log.Lines(), expected);
  const std::optional<ShownList> list = driver.List(lists, 2);
  EXPECT_EQ(list->selected, 3);
  EXPECT_EQ(list->top, 0);
  EXPECT_NEAR(list->thumb, 50, 1);  // where the procedure put it for the page it built

  log.Clear();
  Lines looks;
  const Lines closing = testing::CloseListsScript(driver, lists, looks);
  EXPECT_EQ(looks, testing::kCloseListsLooks);
  program.WaitUntilFinished();
  EXPECT_EQ(log.Lines(), closing);
}

TEST(QtList, AListThatScrollsItselfShowsTenThousandRowsWithHeadingsAndPictures) {
  TestApplication();
  EventLog log;
  QtPlatform platform;
  QtProgram program(platform, [&] { testing::ListsProcedure(log); });
  QtDriver& driver = program.driver();
  const WindowId lists = driver.Find("Lists");
  std::optional<ShownList> list = driver.List(lists, 1);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->headings, (Lines{"No", "Name", "Price", "Bought"}));
  EXPECT_EQ(list->count, testing::kDemoCards);
  ASSERT_FALSE(list->rows.empty());
  EXPECT_EQ(list->rows[0], "     1\tBANKS 1\t      1.37\t24/08/1992");
  const int visible = list->rows_visible;

  ASSERT_TRUE(driver.Scroll(lists, 1, ScrollAction::PageDown));
  EXPECT_EQ(driver.List(lists, 1)->top, visible - 1);
  ASSERT_TRUE(driver.Scroll(lists, 1, ScrollAction::Bottom));
  EXPECT_EQ(driver.List(lists, 1)->top, testing::kDemoCards - visible);
  ASSERT_TRUE(driver.DragThumb(lists, 1, 500));
  EXPECT_EQ(driver.List(lists, 1)->thumb, 500);
  driver.PressKey(lists, 1, Qt::Key_Down);
  driver.PressKey(lists, 1, Qt::Key_Down);
  EXPECT_EQ(driver.List(lists, 1)->selected, 2);
  EXPECT_EQ(driver.List(lists, 1)->top, 0);
  ASSERT_TRUE(driver.TypeChar(lists, 1, '1'));
  EXPECT_EQ(driver.List(lists, 1)->selected, 10);
  EXPECT_TRUE(log.Lines().empty());  // no scroll events from it

  // Every widget of the list carries an accessible name.
  auto* widget = dynamic_cast<ListWidget*>(platform.Gui().ControlWidget(lists, 1));
  ASSERT_NE(widget, nullptr);
  EXPECT_FALSE(widget->accessibleName().isEmpty());
  EXPECT_FALSE(widget->View()->accessibleName().isEmpty());

  // The picture of both lists, for the documentation.
  for (int i = 0; i < 30; ++i) driver.PressKey(lists, 2, Qt::Key_Down);
  EXPECT_TRUE(driver.Grab(lists, "lists.png"));
  EXPECT_TRUE(std::filesystem::exists("lists.png"));
  driver.Click(lists, 3);
  driver.PressButton("&Yes");
  program.WaitUntilFinished();
}

TEST(QtList, ATreeExpandsAndContractsAsOnTheHeadlessPlatform) {
  TestApplication();
  EventLog log;
  QtPlatform platform;
  QtProgram program(platform, [&] { testing::TreeProcedure(log); });
  QtDriver& driver = program.driver();
  const WindowId tree = driver.Find("Tree");
  EXPECT_EQ(driver.List(tree, 1)->rows, (Lines{"  ROOT", "  + TOPPS", "    FLEER"}));
  const Lines expected = testing::TreeScript(driver, tree);
  EXPECT_EQ(log.Lines(), expected);
  ASSERT_TRUE(driver.Expand(tree, 1, 2));
  EXPECT_EQ(driver.List(tree, 1)->rows,
            (Lines{"  ROOT", "  - TOPPS", "      1991 SERIES", "      1992 SERIES", "    FLEER"}));
  driver.Click(tree, 2);
  program.WaitUntilFinished();
}

TEST(QtList, TheRowsVisibleFollowTheListsSize) {
  TestApplication();
  EventLog log;
  QtPlatform platform;
  int items_before = 0, items_after = 0;
  QtProgram program(platform, [&] {
    testing::CardQueue cards;
    for (int i = 1; i <= 50; ++i) cards.Add(i, "X", 0, 0);
    Window window(testing::PlainWindow("Sized", {testing::ListBox(1, "20L~No~", {4, 4, 100, 100}),
                                                 testing::Button(2, "&Count")}));
    window.SetListFrom(1, &cards.queue());
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 2) {
        (items_before == 0 ? items_before : items_after) = std::stoi(window.GetProperty(1, property::kListItems));
      }
      return LoopResult::Continue;
    });
  });
  QtDriver& driver = program.driver();
  const WindowId sized = driver.Find("Sized");
  driver.Click(sized, 2);
  QWidget* list = platform.Gui().ControlWidget(sized, 1);
  ASSERT_NE(list, nullptr);
  list->resize(list->width(), list->height() / 2);
  driver.Settle();
  driver.Click(sized, 2);
  EXPECT_GT(items_before, 2);
  EXPECT_LT(items_after, items_before);
  EXPECT_EQ(items_after, driver.List(sized, 1)->rows_visible);
  driver.Close(sized);
}

}  // namespace
}  // namespace tavero::ui::qt
