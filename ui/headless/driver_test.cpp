// The driver acts only where a person could, and sees what a person sees.
#include "ui/headless/driver.h"

#include <gtest/gtest.h>

#include "ui/properties.h"
#include "ui/test_windows.h"

namespace tavero::ui::headless {
namespace {

using testing::EventLog;
using Lines = std::vector<std::string>;

definitions::EntryDefinition FrameWithWindowMenu() {
  definitions::EntryDefinition frame = testing::Frame();
  frame.menu_bar->children.push_back(testing::Menu(
      "&Window", {testing::Item(-13, "T&ile", definitions::StandardAction::Tile), testing::Item(-14, "&Later")}));
  return frame;
}

TEST(HeadlessDriver, MenuChoicesReachTheLoopUnlessTheEngineCarriesThemOut) {
  EventLog log;
  HeadlessProgram program([&] {
    Window frame(FrameWithWindowMenu());
    frame.Open();
    ACCEPT([&] {
      if (EVENT() == Event::OpenWindow) SetProperty(-14, property::kDisable, 1);
      if (EVENT() == Event::Accepted) log.AddCurrent();
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId frame = driver.Find("Frame");
  EXPECT_TRUE(driver.ChooseMenu(frame, "&One"));
  EXPECT_TRUE(driver.ChooseMenu(frame, "T&ile"));
  EXPECT_FALSE(driver.ChooseMenu(frame, "&Later"));  // disabled
  EXPECT_FALSE(driver.ChooseMenu(frame, "&Missing"));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:Accepted -6"}));
  EXPECT_EQ(program.platform().StandardActions(),
            (std::vector<std::pair<WindowId, StandardAction>>{{frame, StandardAction::Tile}}));
}

TEST(HeadlessDriver, HiddenAndDisabledControlsCannotBeUsedAndClosedWindowsAreGone) {
  EventLog log;
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow(
        "Form", {testing::Entry(1), testing::Entry(2), testing::Check(3, "&Keep"), testing::Button(4, "&OK")}));
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::OpenWindow) {
        SetProperty(1, property::kHide, 1);
        SetProperty(2, property::kDisable, 1);
      }
      if (EVENT() == Event::Accepted) log.Add(std::to_string(FIELD()) + "=" + GetProperty(FIELD(), property::kValue));
      return ACCEPTED() == 4 ? LoopResult::Break : LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Form");
  EXPECT_FALSE(driver.Type(form, 1, "x"));
  EXPECT_FALSE(driver.Type(form, 2, "x"));
  EXPECT_TRUE(driver.Click(form, 3));  // a check box toggles
  EXPECT_EQ(driver.Control(form, 3)->value, 1);
  EXPECT_TRUE(driver.Click(form, 4));
  EXPECT_EQ(log.Lines(), (Lines{"3=1", "4=0"}));
  EXPECT_TRUE(driver.Titles().empty());
  EXPECT_FALSE(driver.Click(form, 4));
  EXPECT_FALSE(driver.Close(form));
}

TEST(HeadlessDriver, PostReachesTheTopWindowOfTheThreadNamed) {
  EventLog log;
  HeadlessProgram program([&] {
    int other = START([&] {
      Window window(testing::PlainWindow("Other"));
      window.Open();
      ACCEPT([&] {
        if (EVENT() == Event::Notify || EVENT() == Event::Accepted) log.AddCurrent("other ");
        return LoopResult::Continue;
      });
    });
    Window window(testing::PlainWindow("Main", {testing::Button(1, "&Post")}));
    window.Open();
    ACCEPT([&] {
      if (ACCEPTED() == 1) {
        POST(Event::Notify, 0, other);
        POST(Event::Accepted, 7, other);  // no control 7 there: a window event without control
      }
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  ASSERT_TRUE(driver.Click(driver.Find("Main"), 1));
  EXPECT_EQ(log.Lines(), (Lines{"other EVENT:Notify", "other EVENT:Accepted"}));
}

TEST(HeadlessDriver, ControlsOnATabPageAreReachableOnlyWhenItsTabIsChosen) {
  EventLog log;
  HeadlessProgram program([&] {
    definitions::ControlDefinition sheet = testing::Sheet(5, {"&First", "&Second"});
    sheet.children[0].children.push_back(testing::Button(6, "&A"));
    sheet.children[1].children.push_back(testing::Button(7, "&B"));
    Window window(testing::PlainWindow("Form", {sheet}));
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::Accepted) log.AddCurrent();
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Form");
  EXPECT_TRUE(driver.Visible(form, 6));
  EXPECT_FALSE(driver.Visible(form, 7));
  EXPECT_FALSE(driver.Click(form, 7));
  ASSERT_TRUE(driver.PickTab(form, 5, 2));
  EXPECT_FALSE(driver.Click(form, 6));
  EXPECT_TRUE(driver.Click(form, 7));
  EXPECT_EQ(log.Lines(), (Lines{"EVENT:Accepted 7"}));
}

TEST(HeadlessDriver, AnEntryTakesNoMoreCharactersThanItsPictureShows) {
  EventLog log;
  definitions::ControlDefinition number = testing::Entry(1);
  number.picture = "N5";
  definitions::ControlDefinition name = testing::Entry(2);
  name.picture = "S8";
  HeadlessProgram program([&] {
    Window window(testing::PlainWindow("Form", {number, name, testing::Entry(3)}));
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::Accepted) log.Add(std::to_string(FIELD()) + " " + GetProperty(FIELD(), property::kText));
      return LoopResult::Continue;
    });
  });
  auto& driver = program.driver();
  const WindowId form = driver.Find("Form");
  ASSERT_TRUE(driver.Type(form, 1, "1234567"));
  ASSERT_TRUE(driver.Type(form, 2, "Topps 1952 set"));
  ASSERT_TRUE(driver.Type(form, 3, "no picture, no limit"));
  EXPECT_EQ(log.Lines(), (Lines{"1 12345", "2 Topps 19", "3 no picture, no limit"}));
}

}  // namespace
}  // namespace tavero::ui::headless
