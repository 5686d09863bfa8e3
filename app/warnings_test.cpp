// The standard warnings as the person reads them: caption, icon, buttons,
// default button and text, and the halts that follow the fatal ones.
#include "app/warnings.h"

#include <gtest/gtest.h>
#include <algorithm>

#include "app/app_test_support.h"
#include "runtime/error_state.h"

namespace zephcol {
namespace {

using testing_support::BoxRecorder;
using testing_support::RunStation;
using testing_support::StationEnd;

struct Case {
  int number;
  int error;  // posted before the warning; 0: none
  std::string_view t1, t2;
  std::string_view caption;
  std::string_view text;
  int buttons;
  int default_button;
  bool question;  // the question icon, else the exclamation icon
};

constexpr int kOk = button::kOk, kYes = button::kYes, kNo = button::kNo, kCancel = button::kCancel;

const Case kCases[] = {
    {1, 47, "CARDSET", "", "Invalid File",
     "Error: (Invalid Record Declaration (47)) accessing CARDSET.  Press OK to end this application.", kOk, kOk,
     false},
    {2, 46, "CARDSET   ", "", "Invalid Key", "CARDSET key file is invalid.  Do you want to rebuild the key?",
     kYes | kNo, kYes, true},
    {3, 5, "TYPES", "", "Key Rebuild Error",
     "Error: (Access Denied (5)) repairing key for TYPES.  Press OK to end this application.", kOk, kOk, false},
    {4, 5, "TYPES", "", "File Creation Error",
     "Error: (Access Denied (5)) creating TYPES.  Press OK to end this application.", kOk, kOk, false},
    {5, 2, "TYPES", "", "File Creation Error",
     "Error: (File Not Found (2)) opening created file:TYPES.  Press OK to end this application.", kOk, kOk, false},
    {15, 89, "Record Changed by Another Station", "", "Update Operation Error",
     "An error (Record Changed By Another Station (89)) was experienced when attempting to update a record from "
     "the file.  Probable Cause: Record Changed by Another Station.",
     kOk, kOk, false},
    {15, 0, "CARDSET", "", "Update Operation Error", "This record was changed by another station.", kOk, kOk, false},
    {16, 0, "", "", "Record Update Error",
     "An error was experienced changing this record.  Do you want to try to save again?", kYes | kNo | kCancel,
     kCancel, false},
    {17, 35, "SETINFORMATION", "", "Delete Operation Error",
     "An error (Record Not Found (35)) was experienced when attempting to delete a record from the file "
     "SETINFORMATION.",
     kOk, kOk, false},
    {22, 2, "CARDSET", "", "File Creation Not Allowed",
     "The File CARDSETwas not found, and creation of the file is not allowed.  Press OK to end this application.",
     kOk, kOk, false},
    {24, 40, "CAR:SET", "", "Duplicate Key Error", "Adding this record creates a duplicate entry for the key:CAR:SET",
     kOk, kOk, false},
    {29, 0, "Down", "", "End of File Error",
     "The end of the viewed file was encountered.  Do you want to start again from the beginning?", kYes | kNo,
     kYes, true},
    {29, 0, "Up", "", "Beginning of File Error",
     "The beginning of the viewed file was encountered.  Do you want to start again from the end of the file?",
     kYes | kNo, kYes, true},
    {30, 5, "CARDSET", "", "File Access Error", "File (CARDSET) could not be opened.  Error: Access Denied (5).",
     kOk, kOk, false},
    {31, 40, "Put", "CARDSET", "Process PUT Error",
     "An error was experienced when making changes to the CARDSET file.  Error: Creates Duplicate Key (40)", kOk,
     kOk, false},
    {31, 33, "Delete", "TYPES", "Process DELETE Error",
     "An error was experienced when deleting a record from the TYPES file.  Error: Record Not Available (33)",
     kOk, kOk, false},
    {32, 0, "", "", "Confirm Delete",
     "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.",
     kOk | kCancel, kCancel, true},
    {33, 0, "", "", "Update Cancelled", "Do you want to save the changes to this record?", kYes | kNo | kCancel, kNo,
     true},
    {34, 48, "Delete", "TYPES", "Transaction Framing Error",
     "Error: (Unable To Log Transaction (48)) attempting to frame the delete transaction on TYPES.  Delete "
     "transaction cancelled.",
     kOk, kOk, false},
    {34, 48, "Update", "CARDSET", "Transaction Framing Error",
     "Error: (Unable To Log Transaction (48)) attempting to frame the update transaction on CARDSET.  Update "
     "transaction cancelled.",
     kOk, kOk, false},
    {35, 33, "CARDSET", "", "Record Retrieval Error",
     "Error: (Record Not Available (33)) attempting to access a record from the CARDSET file.  returning to "
     "previous window.",
     kOk, kOk, false},
};

void Post(int error) {
  if (error == 0) {
    tavero::ClearError();
  } else {
    tavero::PostError(error);
  }
}

TEST(Warnings, ShowTheCatalogueTextsExactly) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "warning " << c.number << " T1 " << c.t1);
    Post(c.error);
    const std::optional<WarningBox> warning = ComposeWarning(c.number, c.t1, c.t2);
    ASSERT_TRUE(warning.has_value());
    EXPECT_EQ(warning->box.caption, c.caption);
    EXPECT_EQ(warning->box.text, c.text);
    EXPECT_EQ(warning->box.buttons, c.buttons);
    EXPECT_EQ(warning->box.default_button, c.default_button);
    EXPECT_EQ(warning->box.icon, c.question ? kQuestionIcon : kExclamationIcon);
  }
}

TEST(Warnings, EveryNumberFromOneToThirtyFiveHasABoxAndNoOtherDoes) {
  for (int number = -1; number <= 37; ++number) {
    SCOPED_TRACE(number);
    EXPECT_EQ(ComposeWarning(number).has_value(), number >= 1 && number <= 35);
  }
  BoxRecorder person;
  EXPECT_EQ(ShowWarning(36, "CARDSET"), 0);
  EXPECT_TRUE(person.boxes.empty());
}

TEST(Warnings, TheErrorTextIsCutToOneHundredFiftyCharacters) {
  tavero::PostError(47);
  EXPECT_EQ(WarningErrorText(), "Invalid Record Declaration (47)");
  // A text argument of any length reaches the text whole, an error text
  // never beyond 150 characters.
  const std::string long_name(300, 'N');
  const std::optional<WarningBox> warning = ComposeWarning(30, long_name);
  ASSERT_TRUE(warning);
  EXPECT_NE(warning->box.text.find(long_name), std::string::npos);
}

TEST(Warnings, AQuestionAnswersTheButtonPressedAndEscapeIsTheNegativeAnswer) {
  BoxRecorder person;
  person.answers = {kOk, kCancel};
  EXPECT_EQ(ShowWarning(32), kOk);
  EXPECT_EQ(ShowWarning(32), kCancel);  // Escape answers Cancel
  person.answers = {kYes};
  tavero::PostError(46);
  EXPECT_EQ(ShowWarning(2, "CARDSET"), kYes);  // agreeing to the rebuild returns
  ASSERT_EQ(person.boxes.size(), 3u);
}

TEST(Warnings, AFatalWarningEndsTheProgramWithExitStatusOneAfterTheHaltBox) {
  struct Fatal {
    int number;
    std::deque<int> answers;
    std::string_view halt_text;
  };
  const Fatal kFatal[] = {
      {1, {}, "Invalid File!"},
      {2, {kNo}, "Invalid Key!"},
      {2, {kCancel}, "Invalid Key!"},  // closed with Escape
      {3, {}, "Error Rebuilding Key!"},
      {4, {}, "File Creation Error!"},
      {5, {}, "File Creation Error!"},
      {22, {}, "File Creation Error!"},
  };
  for (const Fatal& f : kFatal) {
    SCOPED_TRACE(f.number);
    const StationEnd ended = RunStation(f.answers, [&] {
      tavero::PostError(47);
      ShowWarning(f.number, "CARDSET");
      return 0;
    });
    EXPECT_EQ(ended.exit_status, 1);
    const std::string halt_line = "ZEPHYRA|" + std::string(f.halt_text) + "\n";
    ASSERT_GE(ended.boxes.size(), halt_line.size());
    EXPECT_EQ(ended.boxes.substr(ended.boxes.size() - halt_line.size()), halt_line);
    EXPECT_EQ(std::count(ended.boxes.begin(), ended.boxes.end(), '\n'), 2);
  }
}

TEST(Warnings, AWarningThatReturnsDoesNotHalt) {
  const StationEnd ended = RunStation({}, [] {
    tavero::PostError(48);
    ShowWarning(34, "Update", "CARDSET");
    return 0;
  });
  EXPECT_EQ(ended.exit_status, 0);
  EXPECT_EQ(ended.boxes,
            "Transaction Framing Error|Error: (Unable To Log Transaction (48)) attempting to frame the update "
            "transaction on CARDSET.  Update transaction cancelled.\n");
}

}  // namespace
}  // namespace zephcol
