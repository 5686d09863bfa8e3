// One script for the card form, run on the headless platform and on Qt
// offscreen: a person types a card with a negative quantity, reads
// the warning, corrects it, types a price and the notes, and saves.
// `Driver` is HeadlessDriver or QtDriver.
#pragma once

#include <string>
#include <vector>

#include "ui/engine.h"

namespace zephcol::testing_support {

inline constexpr const char* kCardInsertTitle = "Adding a SETINFORMATION Record";

// Controls of the card form ("UPDATESETINFORMATION$QUICKWINDOW").
namespace card_controls {
inline constexpr int kSheet = 1, kSetNo = 3, kCardNo = 5, kFirstName = 7, kLastName = 9, kQty = 11, kLowValue = 13,
                     kHighValue = 15, kPricePaid = 17, kPriceSold = 19, kDateBought = 21, kDateSold = 23,
                     kNotes = 25, kAddAnother = 26, kOk = 27, kCancel = 28;
}

// Returns what the person saw wrong (empty when all held). With
// `type_notes` the notes are typed on their tab too.
template <class Driver>
std::vector<std::string> RunCardFormScript(Driver& driver, bool type_notes) {
  using namespace card_controls;
  std::vector<std::string> wrong;
  auto expect = [&](bool holds, const std::string& what) {
    if (!holds) wrong.push_back(what);
  };
  const tavero::ui::WindowId form = driver.Find(kCardInsertTitle);
  expect(form != tavero::ui::kNoWindow, "the form is open");
  expect(driver.Type(form, kCardNo, "12"), "card number typed");
  expect(driver.Type(form, kFirstName, "Hank"), "first name typed");
  expect(driver.Type(form, kLastName, "Aaron"), "last name typed");
  expect(driver.Type(form, kQty, "-1"), "quantity typed");
  expect(driver.MessageCaption() == "Range Error", "caption: " + driver.MessageCaption());
  expect(driver.MessageText() == "The value of QUANTITY OF THIS CARD HELD must be between 0 and 999.",
         "text: " + driver.MessageText());
  expect(driver.PressButton("OK"), "the warning answered");
  expect(driver.Type(form, kQty, "2"), "quantity corrected");
  expect(driver.Type(form, kLowValue, "1500.25"), "value typed");
  expect(driver.Text(form, kLowValue) == "  1,500.25", "value shown: " + driver.Text(form, kLowValue));
  if (type_notes) {
    expect(driver.PickTab(form, kSheet, 2), "the notes tab");
    expect(driver.Type(form, kNotes, "Signed on the sweet spot."), "notes typed");
  }
  expect(driver.Click(form, kOk), "OK pressed");
  expect(driver.Find(kCardInsertTitle) == tavero::ui::kNoWindow, "the form closed");
  return wrong;
}

}  // namespace zephcol::testing_support
