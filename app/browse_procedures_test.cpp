// The browse and select procedures on the headless platform, used as a
// person uses them, over real VMR files in a scratch directory: the program's
// Main, its menu, the browse windows, their lists, tabs and buttons.
#include "app/browse_procedures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
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
#include "storage/vmr/vmr.h"
#include "ui/definitions/definitions.h"
#include "ui/headless/driver.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace driver = tavero::driver;
using ui::ScrollAction;

using namespace testing_support;
constexpr int kList = kBrowseList, kInsert = kInsertButton, kChange = kChangeButton, kDelete = kDeleteButton;
constexpr const char* kCardSets = kCardSetsTitle;

class BrowseProcedures : public ::testing::Test {
 protected:
  void SetUp() override { tavero::definitions::RegisterBlocks(WindowDefinitionBlocks()); }

  // The program on the headless platform, in the scratch directory.
  struct Program {
    ui::headless::HeadlessProgram program{Main};
    ui::headless::HeadlessDriver& person = program.driver();
    ui::WindowId frame = [this] {
      PassTheSplash(person);
      return person.Find(kFrameTitle);
    }();
    ui::WindowId Open(const char* item, const char* title) {
      EXPECT_TRUE(person.ChooseMenu(frame, item));
      return person.Find(title);
    }
    ~Program() {
      person.ChooseMenu(frame, "E&xit");
      person.Settle();
    }
  };

  static std::vector<std::string> Rows(ui::headless::HeadlessDriver& person, ui::WindowId window) {
    return ShownRows(person, window);
  }
  static std::string Highlighted(ui::headless::HeadlessDriver& person, ui::WindowId window) {
    return HighlightedCell(person, window);
  }

  ScratchDirectory scratch_;
};

TEST_F(BrowseProcedures, TheCardSetScriptSeesWhatAPersonShouldSee) {
  WriteCollection(NumberedSets(60), {"FLEER", "TOPPS", "DONRUSS"}, {"BASEBALL", "HOCKEY"});
  CardSetFormInstalled form;
  Program p;
  EXPECT_EQ(RunCardSetBrowseScript(p.person), std::vector<std::string>{});
}

TEST_F(BrowseProcedures, TheMenuOpensEveryBrowseOnAThreadOfItsOwnAndHelpOpensTheHelpPage) {
  WriteCollection(NumberedSets(5), {"TOPPS"}, {"BASEBALL"});
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_NE(browse, ui::kNoWindow);
  EXPECT_EQ(Rows(p.person, browse).size(), 5u);
  ASSERT_TRUE(p.person.Click(browse, 10));  // "Help"
  const auto actions = p.program.platform().StandardActions();
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].second, tavero::definitions::StandardAction::HelpContents);
  // Each choice of the menu starts a browse of its own, on its own thread.
  EXPECT_NE(p.Open("EDIT CARD T&YPES", "Browse the TYPES File"), ui::kNoWindow);
  EXPECT_NE(p.Open("EDIT  CARD &MANUFACTURERS", "MANUFACTURERS"), ui::kNoWindow);
  EXPECT_NE(p.Open("EDIT &INDIVIDUAL CARDS", "CARD SETS"), ui::kNoWindow);
  EXPECT_NE(p.Open("EDIT &CARD SETS", kCardSets), browse);
  EXPECT_EQ(p.program.engine().LiveThreads(), 6);
}

TEST_F(BrowseProcedures, AnEmptyCollectionOpensEmptyListsWhereInsertStillWorks) {
  CardSetFormInstalled form;
  Program p;  // no files at all: created on first use, without a word
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_NE(browse, ui::kNoWindow);
  EXPECT_FALSE(p.person.MessageBox());
  for (const char* file : {"CARDSET.VMR", "MANUFACTURER.VMR", "TYPES.VMR"}) EXPECT_TRUE(std::filesystem::exists(file)) << file;
  EXPECT_TRUE(Rows(p.person, browse).empty());
  EXPECT_FALSE(p.person.Enabled(browse, kChange));
  EXPECT_FALSE(p.person.Enabled(browse, kDelete));
  EXPECT_TRUE(p.person.PressKey(browse, kList, ui::kKeyDelete));
  EXPECT_TRUE(CardSetForm().calls.empty());
  ASSERT_TRUE(p.person.PressKey(browse, kList, ui::kKeyInsert));
  ASSERT_EQ(CardSetForm().calls.size(), 1u);
  EXPECT_EQ(CardSetForm().calls[0].request, Request::Insert);
  // Every other browse opens on its empty list too.
  EXPECT_NE(p.Open("EDIT &INDIVIDUAL CARDS", "CARD SETS"), ui::kNoWindow);
  EXPECT_NE(p.Open("EDIT  CARD &MANUFACTURERS", "MANUFACTURERS"), ui::kNoWindow);
  EXPECT_NE(p.Open("EDIT CARD T&YPES", "Browse the TYPES File"), ui::kNoWindow);
  EXPECT_FALSE(p.person.MessageBox());
}

TEST_F(BrowseProcedures, PageDownWithThreeLeftShiftsByThreeAndMovesTheHighlight) {
  WriteCollection(NumberedSets(40), {"TOPPS"}, {"BASEBALL"});
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  const int shown = p.person.List(browse, kList)->rows_visible;
  ASSERT_GT(shown, 3);
  // To the page that ends three sets before the last, the top row highlighted.
  p.person.Scroll(browse, kList, ScrollAction::Bottom);
  for (int i = 0; i < shown - 1 + 3; ++i) p.person.Scroll(browse, kList, ScrollAction::LineUp);
  ASSERT_EQ(std::stoi(Cell(Rows(p.person, browse).back(), 0)), 37);
  ASSERT_EQ(p.person.List(browse, kList)->selected, 1);
  p.person.Scroll(browse, kList, ScrollAction::PageDown);
  const std::vector<std::string> rows = Rows(p.person, browse);
  EXPECT_EQ(std::stoi(Cell(rows.back(), 0)), 40);
  EXPECT_EQ(std::stoi(Cell(rows.front(), 0)), 40 - shown + 1);
  EXPECT_EQ(p.person.List(browse, kList)->selected, shown - 2);
}

TEST_F(BrowseProcedures, TheManufacturerTabLocatesByYearAsItIsTyped) {
  WriteCollection({{1, "TOPPS", "2001", "BASEBALL"},
                   {2, "TOPPS", "1957", "BASEBALL"},
                   {3, "TOPPS", "1875", "BASEBALL"},
                   {4, "FLEER", "1990", "BASEBALL"}},
                  {"FLEER", "TOPPS"}, {"BASEBALL"});
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_TRUE(p.person.PickTab(browse, kSheet, 2));
  EXPECT_TRUE(Rows(p.person, browse).empty());  // no manufacturer chosen yet
  // The select returns the chosen manufacturer to the browse.
  ASSERT_TRUE(p.person.Click(browse, kManufacturerButton));
  const ui::WindowId select = p.person.Find("MANUFACTURER");
  ASSERT_NE(select, ui::kNoWindow);
  EXPECT_EQ(Rows(p.person, select), (std::vector<std::string>{"FLEER", "TOPPS"}));
  ASSERT_TRUE(p.person.ClickRow(select, kList, 2));
  ASSERT_TRUE(p.person.Click(select, kSelectButton));
  EXPECT_EQ(p.person.Find("MANUFACTURER"), ui::kNoWindow);
  ASSERT_EQ(Rows(p.person, browse).size(), 3u);
  EXPECT_EQ(Highlighted(p.person, browse), "000003");  // 1875 first

  p.person.Scroll(browse, kList, ScrollAction::Bottom);
  ASSERT_TRUE(p.person.TypeChar(browse, kList, '1'));
  ASSERT_TRUE(p.person.TypeChar(browse, kList, '9'));
  EXPECT_EQ(Highlighted(p.person, browse), "000002");  // the first year that begins with "19"
  ASSERT_TRUE(p.person.TypeChar(browse, kList, '\b'));
  EXPECT_EQ(Highlighted(p.person, browse), "000003");  // back to "1"
}

TEST_F(BrowseProcedures, ASelectClosedWithoutAChoiceLeavesTheCallersRangeAsItWas) {
  WriteCollection({{1, "TOPPS", "1990", "BASEBALL"}, {2, "FLEER", "1991", "BASEBALL"}}, {"FLEER", "TOPPS"},
                  {"BASEBALL"});
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_TRUE(p.person.PickTab(browse, kSheet, 2));
  ASSERT_TRUE(p.person.Click(browse, kManufacturerButton));
  ASSERT_TRUE(p.person.ClickRow(p.person.Find("MANUFACTURER"), kList, 2));
  ASSERT_TRUE(p.person.Click(p.person.Find("MANUFACTURER"), kSelectButton));
  ASSERT_EQ(FirstCells(p.person, browse), std::vector<std::string>{"000001"});  // TOPPS
  // Chosen again, FLEER highlighted, then closed: still TOPPS.
  ASSERT_TRUE(p.person.Click(browse, kManufacturerButton));
  const ui::WindowId select = p.person.Find("MANUFACTURER");
  ASSERT_TRUE(p.person.ClickRow(select, kList, 1));
  ASSERT_TRUE(p.person.Click(select, 4));  // "Close"
  EXPECT_EQ(p.person.Find("MANUFACTURER"), ui::kNoWindow);
  EXPECT_EQ(FirstCells(p.person, browse), std::vector<std::string>{"000001"});
}

TEST_F(BrowseProcedures, AnInsertFromTheTypeTabStartsWithThatType) {
  WriteCollection(NumberedSets(4), {"TOPPS"}, {"BASEBALL", "HOCKEY"});
  CardSetFormInstalled form;
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_TRUE(p.person.PickTab(browse, kSheet, 3));
  ASSERT_TRUE(p.person.Click(browse, kTypesButton));
  const ui::WindowId select = p.person.Find("Select a TYPE");
  ASSERT_NE(select, ui::kNoWindow);
  ASSERT_TRUE(p.person.ClickRow(select, kList, 2));
  ASSERT_TRUE(p.person.Click(select, kSelectButton));
  EXPECT_EQ(Rows(p.person, browse).size(), 2u);  // the two HOCKEY sets
  ASSERT_TRUE(p.person.Click(browse, kInsert));
  const std::vector<FormCall>& calls = CardSetForm().calls;
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].request, Request::Insert);
  EXPECT_EQ(calls[0].type, "HOCKEY");
  EXPECT_EQ(calls[0].set, 0);
}

TEST_F(BrowseProcedures, DraggingTheThumbToTheMiddleLocatesTheMiddleSetNumber) {
  WriteCollection(NumberedSets(99), {"TOPPS"}, {"BASEBALL"});
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_TRUE(p.person.DragThumb(browse, kList, 50));
  EXPECT_EQ(Highlighted(p.person, browse), "000050");
  EXPECT_NEAR(p.person.List(browse, kList)->thumb, 50, 1);
}

TEST_F(BrowseProcedures, ADeletedSetLeavesTheListAndItsNeighbourIsHighlighted) {
  WriteCollection(NumberedSets(6), {"TOPPS"}, {"BASEBALL"});
  CardSetFormInstalled form(FormWork::DeleteRecord);
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_TRUE(p.person.ClickRow(browse, kList, 3));
  ASSERT_TRUE(p.person.Click(browse, kDelete));
  ASSERT_EQ(CardSetForm().calls.size(), 1u);
  EXPECT_EQ(CardSetForm().calls[0].set, 3);
  EXPECT_EQ(FirstCells(p.person, browse), (std::vector<std::string>{"000001", "000002", "000004", "000005", "000006"}));
  EXPECT_EQ(Highlighted(p.person, browse), "000004");
}

TEST_F(BrowseProcedures, AChangedSetIsHighlightedWhereItsNewKeyPlacesIt) {
  WriteCollection(NumberedSets(6), {"TOPPS"}, {"BASEBALL"});
  CardSetFormInstalled form(FormWork::ChangeYear);
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_TRUE(p.person.PickTab(browse, kSheet, 4));  // "SEASON": by year
  ASSERT_TRUE(p.person.ClickRow(browse, kList, 2));
  ASSERT_TRUE(p.person.Click(browse, kChange));  // 1962 becomes 2099, the last
  EXPECT_EQ(Highlighted(p.person, browse), "000002");
  EXPECT_EQ(Cell(Rows(p.person, browse).back(), 2), "2099");
}

// The other station of RunStation.
TEST(BrowseStation, ChangesCardsetAsItsEnvironmentSays) {
  const char* action = std::getenv(kStationVariable);
  if (action == nullptr) GTEST_SKIP() << "run as another station only";
  std::istringstream words(action);
  std::string verb, year;
  int set = 0;
  words >> verb >> set >> year;
  DataFile cardset(kCardsetDeclaration, tavero::vmr::Driver());
  ASSERT_EQ(driver::Open(cardset.file(), 0x42), 0) << tavero::ErrorText();
  cardset.set_number("CAR:SET_NO", set);
  ASSERT_EQ(driver::Get(cardset.file(), cardset.key("CAR:SET")), 0) << tavero::ErrorText();
  if (verb == "delete") {
    ASSERT_EQ(driver::Delete(cardset.file()), 0) << tavero::ErrorText();
  } else {
    ASSERT_EQ(verb, "year");
    cardset.set_text("CAR:YEAR", year);
    ASSERT_EQ(driver::Put(cardset.file()), 0) << tavero::ErrorText();
  }
  driver::Close(cardset.file());
}

TEST_F(BrowseProcedures, ASetAnotherStationDeletedBeforeChangeGivesWarning35AndNoForm) {
  WriteCollection(NumberedSets(6), {"TOPPS"}, {"BASEBALL"});
  CardSetFormInstalled form;
  Program p;
  const ui::WindowId browse = p.Open("EDIT &CARD SETS", kCardSets);
  ASSERT_TRUE(p.person.ClickRow(browse, kList, 2));
  ASSERT_EQ(RunStation("delete 2"), 0);
  ASSERT_TRUE(p.person.Click(browse, kChange));
  ASSERT_TRUE(p.person.MessageBox());
  EXPECT_EQ(p.person.MessageCaption(), "Record Retrieval Error");
  EXPECT_NE(p.person.MessageText().find("CARDSET"), std::string::npos) << p.person.MessageText();
  ASSERT_TRUE(p.person.PressButton(p.person.MessageDefault()));
  EXPECT_TRUE(CardSetForm().calls.empty());
  // The page is rebuilt where it stood, without the deleted set.
  EXPECT_EQ(FirstCells(p.person, browse), (std::vector<std::string>{"000001", "000003", "000004", "000005", "000006"}));
  EXPECT_EQ(Highlighted(p.person, browse), "000003");
  EXPECT_NE(p.person.Find(kCardSets), ui::kNoWindow);  // the browse stays open
}

TEST_F(BrowseProcedures, TwoBrowsesOnTwoThreadsSeeEachOthersChangeOnTheirNextRefresh) {
  WriteCollection(NumberedSets(5), {"TOPPS"}, {"BASEBALL"});
  CardSetFormInstalled form(FormWork::ChangeYear);
  Program p;
  ASSERT_TRUE(p.person.ChooseMenu(p.frame, "EDIT &CARD SETS"));
  const ui::WindowId first = p.person.Find(kCardSets);
  ASSERT_TRUE(p.person.ChooseMenu(p.frame, "EDIT &CARD SETS"));
  const ui::WindowId second = p.person.Find(kCardSets);
  ASSERT_NE(first, second);
  ASSERT_TRUE(p.person.Activate(first));
  ASSERT_TRUE(p.person.Click(first, kChange));
  ASSERT_EQ(CardSetForm().calls.size(), 1u);
  EXPECT_EQ(Cell(Rows(p.person, first)[0], 2), "2099");
  EXPECT_EQ(Cell(Rows(p.person, second)[0], 2), "1961");  // not yet
  ASSERT_TRUE(p.person.Activate(second));
  EXPECT_EQ(Cell(Rows(p.person, second)[0], 2), "2099");
}

TEST_F(BrowseProcedures, TheCardBrowseShowsTheSetChosenWithSelectCardset) {
  std::vector<CardRow> cards;
  for (int set = 1; set <= 3; ++set) {
    for (int card = 1; card <= 2; ++card) cards.push_back({set, card, "PLAYER " + std::to_string(set * 10 + card)});
  }
  WriteCollection(NumberedSets(3), {"TOPPS"}, {"BASEBALL"}, cards);
  Program p;
  const ui::WindowId browse = p.Open("EDIT &INDIVIDUAL CARDS", "CARD SETS");
  ASSERT_NE(browse, ui::kNoWindow);
  EXPECT_TRUE(Rows(p.person, browse).empty());  // no set chosen
  ASSERT_TRUE(p.person.Click(browse, 6));       // "Select CARDSET"
  const ui::WindowId select = p.person.Find("Select A Set of Cards");
  ASSERT_NE(select, ui::kNoWindow);
  // "SET #" takes digits only, up to 32767.
  for (char c : std::string("x2")) p.person.TypeChar(select, kList, c);
  EXPECT_EQ(Highlighted(p.person, select), "000002");
  ASSERT_TRUE(p.person.Click(select, kSelectButton));
  const std::vector<std::string> rows = Rows(p.person, browse);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Cell(rows[0], 3), "PLAYER 21");
  EXPECT_EQ(Cell(rows[1], 3), "PLAYER 22");
}

// The buttons that open another browse on the highlighted record: the
// called browse shows that record's sets or cards.
TEST_F(BrowseProcedures, CallingButtonsShowTheHighlightedRecordsSetsOrCards) {
  struct Case {
    const char* menu_item;
    const char* title;
    int row;
    int button;
    const char* called_title;
    std::vector<std::string> shown;  // first cells of the called browse
  };
  const Case cases[] = {
      {"EDIT &CARD SETS", kCardSets, 2, kSetCardsButton, "BROWSE CARDS IN THIS SET", {"000002", "000002"}},
      {"EDIT  CARD &MANUFACTURERS", "MANUFACTURERS", 2, 6, "CARD SETS FOR THIS MANUFACTURER", {"000001", "000004"}},
      {"EDIT CARD T&YPES", "Browse the TYPES File", 2, 6, "CARD SETS BY TYPE", {"000002", "000004"}},
  };
  std::vector<CardRow> cards;
  for (int set = 1; set <= 4; ++set) {
    for (int card = 1; card <= 2; ++card) cards.push_back({set, card, "PLAYER"});
  }
  WriteCollection(NumberedSets(4), {"FLEER", "TOPPS"}, {"BASEBALL", "HOCKEY"}, cards);
  Program p;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    const ui::WindowId browse = p.Open(c.menu_item, c.title);
    ASSERT_NE(browse, ui::kNoWindow);
    ASSERT_TRUE(p.person.ClickRow(browse, kList, c.row));
    ASSERT_TRUE(p.person.Click(browse, c.button));
    const ui::WindowId called = p.person.Find(c.called_title);
    ASSERT_NE(called, ui::kNoWindow);
    EXPECT_EQ(FirstCells(p.person, called), c.shown);
    ASSERT_TRUE(p.person.Click(called, 7));  // "Close"
    EXPECT_EQ(p.person.Find(c.called_title), ui::kNoWindow);
    ASSERT_TRUE(p.person.Close(browse));
  }
}

}  // namespace
}  // namespace zephcol
