// One script for message boxes and popup menus, run on the headless platform
// and on Qt offscreen: the same actions must give the same events on both.
// `Driver` is headless::HeadlessDriver or qt::QtDriver.
#pragma once

#include <string>
#include <vector>

#include "ui/engine.h"
#include "ui/message_box.h"
#include "ui/test_windows.h"

namespace tavero::ui::testing {

inline constexpr const char* kDialogsTitle = "Dialogs";
inline constexpr const char* kDialogsPopup = "|&Insert|~&Change|~&Delete|-|+&Sort{By &name|By &year}|&Print";

// A window whose button 1 asks a question and button 2 opens a popup menu;
// the answers go to `log`.
inline void DialogsProcedure(EventLog& log) {
  Window window(PlainWindow(kDialogsTitle, {Button(1, "&Ask"), Button(2, "&Menu")}));
  window.Open();
  ACCEPT([&] {
    if (ACCEPTED() == 1) {
      const int answer = MESSAGE("Delete this card?|It cannot be undone.", "Delete", "",
                                 button::kYes | button::kNo | button::kCancel, button::kNo);
      log.Add("message " + std::to_string(answer));
    }
    if (ACCEPTED() == 2) log.Add("popup " + std::to_string(POPUP(kDialogsPopup)));
    return LoopResult::Continue;
  });
}

// Returns what the script saw wrong (empty when all held) and leaves the
// answers in the procedure's log.
template <class Driver>
std::vector<std::string> RunDialogsScript(Driver& driver) {
  std::vector<std::string> wrong;
  auto expect = [&](bool holds, const std::string& what) {
    if (!holds) wrong.push_back(what);
  };
  const WindowId window = driver.Find(kDialogsTitle);
  for (const char* press : {"&Yes", "&No", "Cancel", "Escape"}) {
    expect(driver.Click(window, 1), "the question opens");
    expect(driver.MessageCaption() == "Delete", "caption: " + driver.MessageCaption());
    expect(driver.MessageText() == "Delete this card?\nIt cannot be undone.", "text: " + driver.MessageText());
    expect(driver.MessageButtons() == std::vector<std::string>{"&Yes", "&No", "Cancel"}, "buttons");
    expect(driver.MessageDefault() == "&No", "default: " + driver.MessageDefault());
    const bool pressed = std::string(press) == "Escape" ? driver.PressEscape() : driver.PressButton(press);
    expect(pressed, std::string("pressed ") + press);
    expect(driver.MessageButtons().empty(), "the box is gone");
  }
  expect(driver.Click(window, 2), "the popup opens");
  expect(driver.PopupItems() ==
             std::vector<std::string>{"&Insert", "&Change", "&Delete", "-", "&Sort/By &name", "&Sort/By &year",
                                      "&Print"},
         "popup items");
  expect(driver.PopupItemEnabled("&Insert") && !driver.PopupItemEnabled("&Change") &&
             !driver.PopupItemEnabled("&Delete"),
         "greyed items");
  expect(!driver.ChoosePopupItem("&Change"), "a greyed item cannot be chosen");
  expect(driver.ChoosePopupItem("&Sort/By &year"), "an item of the submenu is chosen");
  expect(driver.Click(window, 2), "the popup opens again");
  expect(driver.DismissPopup(), "the popup is dismissed");
  expect(driver.Click(window, 2), "the popup opens a third time");
  expect(driver.ChoosePopupItem("&Insert"), "the first item is chosen");
  return wrong;
}

inline std::vector<std::string> DialogsScriptEvents() {
  return {"message 2", "message 4", "message 64", "message 64", "popup 5", "popup 0", "popup 1"};
}

}  // namespace tavero::ui::testing
