// The tree browse on the headless platform, used as a person uses it, over
// real VMR files in a scratch directory, with stand-ins for the update
// forms that log what they were given.
#include "app/tree_browse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/browse_script.h"
#include "app/dictionary/dictionary.h"
#include "app/global_request.h"
#include "app/main_frame.h"
#include "app/update_forms.h"
#include "app/window_blocks.h"
#include "runtime/error_state.h"
#include "storage/driver/driver.h"
#include "ui/definitions/definitions.h"
#include "ui/headless/driver.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace driver = tavero::driver;
using namespace testing_support;
using Rows = std::vector<std::string>;

constexpr int kClose = 2, kInsert = 3, kChange = 4, kDelete = 5;

// ---- stand-ins for the manufacturer and card forms ------------------------------

// What a stand-in form was given: the request and the record buffer's
// fields that matter.
struct Given {
  Request request;
  std::string manufacturer;  // MAN:MANUFACTURER, or CAR:MANUFACTURER for a set
  int set = 0;
  std::string names;  // SET:FIRST_NAME + "/" + SET:LAST_NAME
  int quantity = 0;
  std::string paid;  // SET:PRICE_PAID's bytes
  std::string notes;  // the memo, trailing blanks cut
};
std::vector<Given> given;

void ManufacturerForm() {
  ProcedureRequest request;
  DataFile& makers = Manufacturer();
  given.push_back({.request = request.request(), .manufacturer = makers.text("MAN:MANUFACTURER")});
  if (request.request() == Request::Insert) {
    makers.set_text("MAN:MANUFACTURER", "DONRUSS");
    if (driver::Add(makers.file()) == 0) request.set_response(Response::Completed);
  }
}

// Inserts card 9, "NEW CARD", quantity 1 in the set it is given; deletes
// the card it is given.
void CardForm() {
  ProcedureRequest request;
  DataFile& cards = SetInformation();
  const auto paid = cards.field("SET:PRICE_PAID");
  std::string notes(cards.memo(0).begin(), cards.memo(0).end());
  notes.erase(notes.find_last_not_of(' ') + 1);
  given.push_back({.request = request.request(),
                   .set = cards.number("SET:SET_NO"),
                   .names = cards.text("SET:FIRST_NAME") + "/" + cards.text("SET:LAST_NAME"),
                   .quantity = cards.number("SET:QTY"),
                   .paid = std::string(paid.begin(), paid.end()),
                   .notes = notes});
  if (request.request() == Request::Insert) {
    cards.set_number("SET:CARD_NO", 9);
    cards.set_text("SET:FIRST_NAME", "NEW");
    cards.set_text("SET:LAST_NAME", "CARD");
    cards.set_number("SET:QTY", 1);
    if (driver::Add(cards.file()) == 0) request.set_response(Response::Completed);
  } else if (request.request() == Request::Delete) {
    if (driver::Delete(cards.file()) == 0) request.set_response(Response::Completed);
  }
}

class TreeBrowse : public ::testing::Test {
 protected:
  void SetUp() override {
    tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
    given.clear();
    InstallUpdateForm(FormFile::Manufacturer, ManufacturerForm);
    InstallUpdateForm(FormFile::SetInformation, CardForm);
  }
  void TearDown() override {
    InstallUpdateForm(FormFile::Manufacturer, nullptr);
    InstallUpdateForm(FormFile::SetInformation, nullptr);
  }

  // The program with the tree opened from the menu.
  struct Program {
    ui::headless::HeadlessProgram program{Main};
    ui::headless::HeadlessDriver& person = program.driver();
    ui::WindowId frame = [this] {
      PassTheSplash(person);
      return person.Find(kFrameTitle);
    }();
    ui::WindowId tree = [this] {
      EXPECT_TRUE(person.ChooseMenu(frame, kTreeBrowse));
      return person.Find(kTreeTitle);
    }();
    Rows rows() { return TreeRows(person, tree); }
    int highlighted() { return person.List(tree, kTreeList)->selected; }
    ~Program() {
      person.ChooseMenu(frame, "E&xit");
      person.Settle();
    }
  };

  ScratchDirectory scratch_;
};

TEST_F(TreeBrowse, TheScriptSeesWhatAPersonShouldSee) {
  WriteTreeCollection();
  ui::headless::HeadlessProgram program(Main);
  PassTheSplash(program.driver());
  EXPECT_EQ(RunTreeScript(program.driver()), Rows{});
  program.driver().ChooseMenu(program.driver().Find(kFrameTitle), "E&xit");
}

TEST_F(TreeBrowse, AnEmptyCollectionShowsTheRootAndInsertThereAddsAManufacturer) {
  Program p;  // no files: created on first use
  ASSERT_NE(p.tree, ui::kNoWindow);
  EXPECT_EQ(p.rows(), Rows{"MANUFACTURER"});
  EXPECT_FALSE(p.person.MessageBox());
  ASSERT_TRUE(p.person.Click(p.tree, kInsert));
  ASSERT_EQ(given.size(), 1u);
  EXPECT_EQ(given[0].request, Request::Insert);
  EXPECT_EQ(given[0].manufacturer, "");
  EXPECT_EQ(p.rows(), (Rows{"MANUFACTURER", "DONRUSS"}));
  EXPECT_EQ(p.highlighted(), 2);  // the new manufacturer
}

TEST_F(TreeBrowse, ExpandedNodesStayExpandedWhenTheTreeIsLoadedOnFocus) {
  WriteTreeCollection();
  Program p;
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 3));  // TOPPS
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 4));  // its 1961 set
  ASSERT_TRUE(p.person.ClickRow(p.tree, kTreeList, 6));  // card 8
  const Rows expanded = p.rows();
  ASSERT_EQ(expanded.size(), 8u);
  ASSERT_TRUE(p.person.ChooseMenu(p.frame, kEditTypes));
  ASSERT_TRUE(p.person.Activate(p.tree));
  EXPECT_EQ(p.rows(), expanded);
  EXPECT_EQ(p.highlighted(), 6);
}

TEST_F(TreeBrowse, TheRootRowHasNoChangeOrDelete) {
  WriteTreeCollection();
  Program p;
  ASSERT_TRUE(p.person.ClickRow(p.tree, kTreeList, 1, true));
  EXPECT_EQ(p.person.PopupItems(), (Rows{"&Insert", "&Change", "&Delete"}));
  EXPECT_TRUE(p.person.PopupItemEnabled("&Insert"));
  EXPECT_FALSE(p.person.PopupItemEnabled("&Change"));
  EXPECT_FALSE(p.person.PopupItemEnabled("&Delete"));
  ASSERT_TRUE(p.person.DismissPopup());
  EXPECT_TRUE(p.person.Click(p.tree, kChange));
  EXPECT_TRUE(p.person.Click(p.tree, kDelete));
  EXPECT_TRUE(given.empty());
  EXPECT_FALSE(p.person.MessageBox());
  // On another row the popup offers all three.
  ASSERT_TRUE(p.person.ClickRow(p.tree, kTreeList, 2, true));
  EXPECT_TRUE(p.person.PopupItemEnabled("&Change"));
  ASSERT_TRUE(p.person.DismissPopup());
}

TEST_F(TreeBrowse, ACardInsertedFromACardRowLandsInThatRowsSetWithNothingCopied) {
  WriteTreeCollection();
  Program p;
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 3));  // TOPPS
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 5));  // its 1963 set: card SMITH loaded last
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 4));  // its 1961 set
  ASSERT_EQ(p.rows()[5], "CARD # 8     RAY");
  ASSERT_TRUE(p.person.ClickRow(p.tree, kTreeList, 6));
  ASSERT_TRUE(p.person.Click(p.tree, kInsert));
  ASSERT_EQ(given.size(), 1u);
  EXPECT_EQ(given[0].request, Request::Insert);
  EXPECT_EQ(given[0].set, 1);
  EXPECT_EQ(given[0].names, "/");
  EXPECT_EQ(given[0].quantity, 0);
  EXPECT_EQ(given[0].paid, std::string(4, '\0'));
  EXPECT_EQ(given[0].notes, "");
  // The new card shows in the 1961 set, highlighted.
  const Rows rows = p.rows();
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[4], "CARD # 7   ANN  LEE");
  EXPECT_EQ(rows[6], "CARD # 9   NEW  CARD");
  EXPECT_EQ(p.highlighted(), 7);
}

TEST_F(TreeBrowse, ACardInsertedFromACollapsedSetShowsWithItsSetExpanded) {
  WriteTreeCollection();
  Program p;
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 3));  // TOPPS
  ASSERT_TRUE(p.person.ClickRow(p.tree, kTreeList, 5));  // its 1963 set, collapsed
  ASSERT_TRUE(p.person.Click(p.tree, kInsert));
  ASSERT_EQ(given.size(), 1u);
  EXPECT_EQ(given[0].set, 3);
  EXPECT_EQ(p.rows()[4], "-1963        HOCKEY");
  EXPECT_EQ(p.rows()[p.highlighted() - 1], "CARD # 9   NEW  CARD");
}

TEST_F(TreeBrowse, ADeletedCardLeavesItsRowToTheNextCard) {
  WriteTreeCollection();
  Program p;
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 3));
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 4));
  ASSERT_TRUE(p.person.ClickRow(p.tree, kTreeList, 5));  // card 7
  ASSERT_TRUE(p.person.Click(p.tree, kDelete));
  ASSERT_EQ(given.size(), 1u);
  EXPECT_EQ(given[0].request, Request::Delete);
  EXPECT_EQ(given[0].names, "ANN/LEE");
  EXPECT_EQ(p.rows(), (Rows{"MANUFACTURER", "+FLEER", "-TOPPS", "-1961        BASEBALL", "CARD # 8     RAY",
                            "+1963        HOCKEY", "UPPER DECK"}));
  EXPECT_EQ(p.highlighted(), 5);
  // The last card of the set goes: its set is highlighted.
  ASSERT_TRUE(p.person.Click(p.tree, kDelete));
  EXPECT_EQ(p.rows()[3], "1961        BASEBALL");
  EXPECT_EQ(p.highlighted(), 4);
}

TEST_F(TreeBrowse, ASetAnotherStationDeletedGivesWarning35AndTheTreeIsLoadedAgain) {
  WriteTreeCollection();
  CardSetFormInstalled form;
  Program p;
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 3));  // TOPPS: sets 1961 (4) and 1963 (5)
  ASSERT_TRUE(p.person.ClickRow(p.tree, kTreeList, 4));
  ASSERT_EQ(RunStation("delete 1"), 0);
  // Change on its row.
  ASSERT_TRUE(p.person.Click(p.tree, kChange));
  ASSERT_TRUE(p.person.MessageBox());
  EXPECT_EQ(p.person.MessageCaption(), "Record Retrieval Error");
  EXPECT_NE(p.person.MessageText().find("CARDSET"), std::string::npos) << p.person.MessageText();
  ASSERT_TRUE(p.person.PressButton(p.person.MessageDefault()));
  EXPECT_TRUE(CardSetForm().calls.empty());
  EXPECT_EQ(p.rows(), (Rows{"MANUFACTURER", "+FLEER", "-TOPPS", "+1963        HOCKEY", "UPPER DECK"}));
  EXPECT_NE(p.person.Find(kTreeTitle), ui::kNoWindow);
  // Expanding a row whose set went.
  ASSERT_EQ(RunStation("delete 3"), 0);
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 4));
  ASSERT_TRUE(p.person.MessageBox());
  EXPECT_EQ(p.person.MessageCaption(), "Record Retrieval Error");
  ASSERT_TRUE(p.person.PressButton(p.person.MessageDefault()));
  EXPECT_EQ(p.rows(), (Rows{"MANUFACTURER", "+FLEER", "TOPPS", "UPPER DECK"}));
  EXPECT_NE(p.person.Find(kTreeTitle), ui::kNoWindow);
}

TEST_F(TreeBrowse, ASetAnotherStationChangedShowsWhenTheTreeComesBack) {
  WriteTreeCollection();
  Program p;
  ASSERT_TRUE(p.person.Expand(p.tree, kTreeList, 3));
  ASSERT_EQ(p.rows()[4], "+1963        HOCKEY");
  ASSERT_EQ(RunStation("year 3 1999"), 0);
  ASSERT_TRUE(p.person.ChooseMenu(p.frame, kEditTypes));
  ASSERT_TRUE(p.person.Activate(p.tree));
  EXPECT_EQ(p.rows()[4], "+1999        HOCKEY");
}

}  // namespace
}  // namespace zephcol
