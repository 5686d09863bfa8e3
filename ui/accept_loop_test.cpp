// The ACCEPT loop as a procedure sees it, driven through the headless platform.
#include <gtest/gtest.h>

#include "ui/engine.h"
#include "ui/headless/driver.h"
#include "ui/properties.h"
#include "ui/test_lists.h"
#include "ui/test_windows.h"

namespace tavero::ui {
namespace {

using headless::HeadlessProgram;
using testing::EventLog;
using Lines = std::vector<std::string>;


definitions::ControlDefinition ImmediateList() {
  return testing::ListBox(1, "20L", {10, 10, 50, 40}, definitions::control_attribute::kImmediate);
}

TEST(AcceptLoop, OpeningAClickAndTheCloseBoxGiveTheirEventsInOrder) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Form", {testing::Button(1, "&OK"), testing::Entry(2)}));
    window.Open();
    ACCEPT([&] {
      log.AddCurrent();
      if (ACCEPTED() != 0) log.Add("ACCEPTED " + std::to_string(ACCEPTED()));
      return LoopResult::Continue;
    });
    log.Add(window.IsOpen() ? "open after the loop" : "closed after the loop");
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Form");
  ASSERT_NE(form, kNoWindow);
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:OpenWindow", "EVENT:GainFocus", "EVENT:Selected 1"}));
  EXPECT_EQ(driver.Focused(form), 1);

  log.Clear();
  ASSERT_TRUE(driver.Click(form, 1));
  ASSERT_TRUE(driver.Type(form, 2, "abc"));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:Accepted 1", "ACCEPTED 1", "EVENT:Selected 2", "EVENT:Accepted 2",
                                "ACCEPTED 2"}));
  EXPECT_EQ(driver.Text(form, 2), "abc");

  log.Clear();
  ASSERT_TRUE(driver.Close(form));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:CloseWindow", "closed after the loop"}));
  EXPECT_TRUE(program.Finished());
  EXPECT_TRUE(driver.Windows().empty());
}

TEST(AcceptLoop, BreakLeavesTheLoopWithTheWindowOpenAndCycleVetoesTheClose) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Form", {testing::Button(1, "&Done")}));
    window.Open();
    int closes = 0;
    ACCEPT([&] {
      if (EVENT() == Event::CloseWindow && ++closes == 1) {
        log.Add("vetoed close");
        return LoopResult::Cycle;
      }
      return ACCEPTED() == 1 ? LoopResult::Break : LoopResult::Continue;
    });
    log.Add(window.IsOpen() ? "open after the loop" : "closed after the loop");
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Form");
  ASSERT_TRUE(driver.Close(form));
  EXPECT_EQ(log.Lines(), (Lines{"vetoed close"}));
  EXPECT_EQ(driver.Find("Form"), form);

  ASSERT_TRUE(driver.Click(form, 1));
  EXPECT_EQ(log.Matching("open"), (Lines{"open after the loop"}));
  EXPECT_TRUE(program.Finished());
}

TEST(AcceptLoop, ASelectedEventForAControlThatLostTheFocusRunsNoBody) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Form", {testing::Entry(1), testing::Entry(2)}));
    window.Open();
    ACCEPT([&] {
      log.AddCurrent();
      if (EVENT() == Event::OpenWindow) {
        POST(Event::Selected, 1);
        SELECT(2);  // the focus moves on before the posted event is taken
      }
      return LoopResult::Continue;
    });
  });
  EXPECT_EQ(log.Matching("EVENT:Selected"), (Lines{"EVENT:Selected 2"}));
  EXPECT_EQ(program.driver().Focused(program.driver().Find("Form")), 2);
}

TEST(AcceptLoop, AcceptAllStopsAtARequiredEmptyFieldAndEndsWithCompleted) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow(
        "Form", {testing::Entry(1, "x"), testing::Entry(2, "", true), testing::Button(3, "&OK")}));
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::Accepted || EVENT() == Event::Selected || EVENT() == Event::Completed) {
        log.AddCurrent();
      }
      if (ACCEPTED() == 3) SELECT(0);
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Form");
  log.Clear();
  ASSERT_TRUE(driver.Click(form, 3));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:Accepted 3", "EVENT:Accepted 1", "EVENT:Selected 2"}));
  EXPECT_EQ(driver.Focused(form), 2);

  ASSERT_TRUE(driver.Type(form, 2, "y"));
  log.Clear();
  ASSERT_TRUE(driver.Click(form, 3));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:Accepted 3", "EVENT:Accepted 1", "EVENT:Accepted 2", "EVENT:Completed"}));
}

TEST(AcceptLoop, TimerTicksCoalesceWhileATimerEventIsPending) {
  EventLog log;
  HeadlessProgram program([&] {
    definitions::EntryDefinition ticker = testing::PlainWindow("Ticker", {testing::Button(1, "&Over")});
    ticker.timer = 1;  // hundredths of a second
    Window window(ticker);
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::Timer) log.Add("tick");
      if (ACCEPTED() == 1) {  // a window above the ticker on the same thread
        Window over(testing::PlainWindow("Over"));
        over.Open();
        ACCEPT([] { return LoopResult::Continue; });
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  driver.PassTime(50);  // the ticker's thread keeps up: one event per tick
  EXPECT_EQ(log.Lines().size(), 5u);

  ASSERT_TRUE(driver.Click(driver.Find("Ticker"), 1));
  driver.PassTime(40);  // the ticker's events wait behind the window above it
  EXPECT_EQ(log.Lines().size(), 5u);
  ASSERT_TRUE(driver.Close(driver.Find("Over")));
  EXPECT_EQ(log.Lines().size(), 6u);  // four ticks, one event
}

TEST(AcceptLoop, PropertiesChangeWhatThePersonSees) {
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow(
        "Form", {testing::Button(1, "&OK"), testing::Button(2, "&Cancel"), testing::Progress(3, 0, 100)}));
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::OpenWindow) {
        SetProperty(1, property::kText, "&Go");
        SetProperty(2, property::kDisable, 1);
        SetProperty(3, property::kHide, 1);
        SetProperty(3, property::kRangeHigh, 50);
        SetProperty(0, property::kText, "Renamed");
        SetProperty(0, property::kStatusText, "Ready", 1);
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Renamed");
  ASSERT_NE(form, kNoWindow);
  EXPECT_EQ(driver.Text(form, 1), "&Go");
  EXPECT_FALSE(driver.Enabled(form, 2));
  EXPECT_FALSE(driver.Click(form, 2));
  EXPECT_FALSE(driver.Visible(form, 3));
  EXPECT_EQ(driver.Control(form, 3)->low, 0);
  EXPECT_EQ(driver.Control(form, 3)->high, 50);
  EXPECT_EQ(driver.StatusText(form, 1), "Ready");
}

TEST(AcceptLoop, VetoableEventsAreDeliveredAtOnceAndCycleCancelsTheirAction) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Form", {testing::Sheet(5, {"&One", "&Two"})}));
    window.Open();
    int maximizes = 0;
    int tab_changes = 0;
    ACCEPT([&] {
      switch (EVENT()) {
        case Event::Maximize:
          log.AddCurrent();
          return ++maximizes == 1 ? LoopResult::Cycle : LoopResult::Continue;
        case Event::TabChanging:
          log.AddCurrent();
          return ++tab_changes == 1 ? LoopResult::Cycle : LoopResult::Continue;
        case Event::Maximized:
        case Event::NewSelection:
          log.AddCurrent();
          break;
        default:
          break;
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Form");
  auto size_state = [&] { return driver.Windows().back().size_state; };

  ASSERT_TRUE(driver.SystemCommand(form, SysCommand::Maximize));
  EXPECT_EQ(size_state(), kSizeNormal);
  ASSERT_TRUE(driver.SystemCommand(form, SysCommand::Maximize));
  EXPECT_EQ(size_state(), kSizeMaximized);

  ASSERT_TRUE(driver.PickTab(form, 5, 2));
  EXPECT_EQ(driver.Control(form, 5)->value, 1);
  ASSERT_TRUE(driver.PickTab(form, 5, 2));
  EXPECT_EQ(driver.Control(form, 5)->value, 2);

  EXPECT_EQ(log.Lines(), (Lines{"EVENT:Maximize", "EVENT:Maximize", "EVENT:Maximized", "EVENT:TabChanging 5",
                                "EVENT:TabChanging 5", "EVENT:NewSelection 5"}));
}

TEST(AcceptLoop, KeysInAnImmediateListBecomeScrollEventsAndTypedCharactersAlertKeys) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Browse", {ImmediateList()}));
    window.Open();
    ACCEPT([&] {
      if (FIELD() == 1 && EVENT() != Event::Selected) {
        log.AddCurrent();
        log.Add("KEYCODE " + std::to_string(KEYCODE()));
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId browse = driver.Find("Browse");
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyPageDown | kKeyCtrl));
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyPageDown));
  ASSERT_TRUE(driver.PressKey(browse, 1, 'A', 'A'));  // not a scroll key: the locator's
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyInsert));  // neither
  ASSERT_TRUE(driver.SelectRow(browse, 1, 3));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:ScrollBottom 1", "KEYCODE " + std::to_string(kKeyPageDown | kKeyCtrl),
                                "EVENT:PageDown 1", "KEYCODE 34", "EVENT:AlertKey 1", "KEYCODE 65",
                                "EVENT:NewSelection 1", "KEYCODE 45"}));
}

TEST(AcceptLoop, AnAlertKeyGivesPreAlertAtOnceAndThenAlertKeyUnlessCycled) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Browse", {ImmediateList()}));
    window.Open();
    ALERT(1, kKeyInsert);
    ALERT(1, kKeyDoubleClick);
    ALERT(1, kKeyEnter | kKeyCtrl);
    ALERT(1, kKeyPageDown);
    ACCEPT([&] {
      Event event = EVENT();
      if (event == Event::PreAlert || event == Event::AlertKey || event == Event::PageDown) {
        log.Add(std::string(EventName(InternalCode(event))) + " " + std::to_string(KEYCODE()));
      }
      // The list keeps its own use of Page Down.
      return event == Event::PreAlert && KEYCODE() == kKeyPageDown ? LoopResult::Cycle : LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId browse = driver.Find("Browse");
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyInsert));
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyDoubleClick));
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyEnter | kKeyCtrl));
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyEnter));  // not alerted
  ASSERT_TRUE(driver.PressKey(browse, 1, kKeyPageDown));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:PreAlert 45", "EVENT:AlertKey 45", "EVENT:PreAlert 5", "EVENT:AlertKey 5",
                                "EVENT:PreAlert 525", "EVENT:AlertKey 525", "EVENT:PreAlert 34",
                                "EVENT:PageDown 34"}));
}

// A plain window opened over another window of the same thread: what a
// person does to the window below meanwhile is dropped, not run afterwards.
TEST(AcceptLoop, AWindowBelowAPlainWindowOfItsThreadTakesNoInput) {
  EventLog log;
  HeadlessProgram program([&] {
    Window below(testing::PlainWindow("Below", {testing::Button(1, "&Count")}));
    below.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) {
        log.Add("counted");
        Window above(testing::PlainWindow("Above", {testing::Button(1, "&Done")}));
        above.Open();
        ACCEPT([&] { return ACCEPTED() == 1 ? LoopResult::Break : LoopResult::Continue; });
        above.Close();
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  ASSERT_TRUE(driver.Click(driver.Find("Below"), 1));
  driver.Click(driver.Find("Below"), 1);  // while "Above" is open
  ASSERT_TRUE(driver.Click(driver.Find("Above"), 1));
  EXPECT_EQ(log.Lines(), (Lines{"counted"}));
  EXPECT_EQ(driver.Titles(), (Lines{"Below"}));
}

}  // namespace
}  // namespace tavero::ui
