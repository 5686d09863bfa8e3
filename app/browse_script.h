// Test support for the browse and select procedures: a small collection
// written as real files in the working directory, a stand-in for the update
// forms that logs its calls, and scripts that use the program's browses as a
// person does. The scripts run on the headless platform and on Qt offscreen
// and must see the same; `Driver` is ui::headless::HeadlessDriver or
// ui::qt::QtDriver.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/dictionary/dictionary.h"
#include "app/global_request.h"
#include "app/update_forms.h"
#include "runtime/error_state.h"
#include "storage/driver/driver.h"
#include "storage/vmr/vmr.h"
#include "ui/engine.h"

extern char** environ;

namespace zephcol::testing_support {

inline constexpr const char* kFrameTitle = "ZEPHYRA VERSION 1.0";
inline constexpr const char* kCardSetsTitle = "CARD SET INFORMATION";
// The frame's menu items and the card set browse's controls.
inline constexpr int kEditCardSets = -6, kEditCards = -7, kEditManufacturers = -8, kEditTypes = -9;
inline constexpr int kBrowseList = 1, kInsertButton = 2, kChangeButton = 3, kDeleteButton = 4, kSheet = 5,
                     kManufacturerButton = 6, kTypesButton = 7, kSetCardsButton = 8, kCloseButton = 9;
inline constexpr int kSelectButton = 2;  // of the selects

struct SetRow {
  int number;
  std::string maker;
  std::string year;
  std::string type;
};

struct CardRow {
  int set;
  int card;
  std::string last_name;
  std::string first_name = {};
};

// Creates CARDSET, MANUFACTURER, TYPES and SETINFORMATION in the working
// directory holding these records.
inline void WriteCollection(const std::vector<SetRow>& sets, const std::vector<std::string>& makers,
                            const std::vector<std::string>& types, const std::vector<CardRow>& cards = {}) {
  namespace driver = tavero::driver;
  DataFile cardset(kCardsetDeclaration, tavero::vmr::Driver());
  DataFile manufacturer(kManufacturerDeclaration, tavero::vmr::Driver());
  DataFile type(kTypesDeclaration, tavero::vmr::Driver());
  DataFile card(kSetInformationDeclaration, tavero::vmr::Driver());
  DataFile* const files[] = {&cardset, &manufacturer, &type, &card};
  for (DataFile* file : files) {
    ASSERT_EQ(driver::Create(file->file()), 0) << tavero::ErrorText();
    ASSERT_EQ(driver::Open(file->file(), 0x42), 0) << tavero::ErrorText();
  }
  for (const SetRow& set : sets) {
    cardset.clear();
    cardset.set_number("CAR:SET_NO", set.number);
    cardset.set_text("CAR:MANUFACTURER", set.maker);
    cardset.set_text("CAR:YEAR", set.year);
    cardset.set_text("CAR:TYPE_OF_CARD", set.type);
    ASSERT_EQ(driver::Add(cardset.file()), 0) << tavero::ErrorText();
  }
  for (const std::string& name : makers) {
    manufacturer.clear();
    manufacturer.set_text("MAN:MANUFACTURER", name);
    ASSERT_EQ(driver::Add(manufacturer.file()), 0) << tavero::ErrorText();
  }
  for (const std::string& name : types) {
    type.clear();
    type.set_text("TYP:TYPE_OF_CARD", name);
    ASSERT_EQ(driver::Add(type.file()), 0) << tavero::ErrorText();
  }
  for (const CardRow& row : cards) {
    card.clear();
    card.set_number("SET:SET_NO", row.set);
    card.set_number("SET:CARD_NO", row.card);
    card.set_text("SET:LAST_NAME", row.last_name);
    card.set_text("SET:FIRST_NAME", row.first_name);
    ASSERT_EQ(driver::Add(card.file()), 0) << tavero::ErrorText();
  }
  for (DataFile* file : files) driver::Close(file->file());
}

// Sets 1 to n: TOPPS, FLEER and DONRUSS in turn, a year each from 1961,
// BASEBALL and HOCKEY in turn.
inline std::vector<SetRow> NumberedSets(int n) {
  static const char* const kMakers[] = {"TOPPS", "FLEER", "DONRUSS"};
  std::vector<SetRow> sets;
  for (int i = 1; i <= n; ++i) {
    sets.push_back({i, kMakers[(i - 1) % 3], std::to_string(1960 + i), i % 2 == 1 ? "BASEBALL" : "HOCKEY"});
  }
  return sets;
}

// ---- another station ------------------------------------------------------------

// Another station is this test program started again with kStationVariable
// saying what it does to CARDSET in the working directory: "delete N" (set
// N goes) or "year N YYYY" (set N's year changes). The test named
// kStationTest does it and ends; run otherwise it skips.
inline constexpr const char* kStationVariable = "ZEPHCOL_TEST_STATION";
inline constexpr const char* kStationTest = "BrowseStation.ChangesCardsetAsItsEnvironmentSays";

// Runs the other station and answers its exit status (-1 when it did not
// run or end normally).
inline int RunStation(const std::string& action) {
  std::vector<std::string> kept;
  for (char** e = environ; *e != nullptr; ++e) kept.emplace_back(*e);
  kept.push_back(std::string(kStationVariable) + "=" + action);
  std::vector<char*> environment;
  for (std::string& entry : kept) environment.push_back(entry.data());
  environment.push_back(nullptr);
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string filter = std::string("--gtest_filter=") + kStationTest;
  char* arguments[] = {self.data(), filter.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, arguments, environment.data()) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- a stand-in for the card set form ----------------------------------------

struct FormCall {
  Request request;
  int set;
  std::string type;
};

// What the stand-in does when called: nothing (cancelled) or its work.
enum class FormWork { Cancel, DeleteRecord, ChangeYear };

// The calls the stand-in saw. Process-wide: the form runs on a browse's
// thread while the test waits, and the test reads it once the program is
// settled.
struct CardSetFormLog {
  std::vector<FormCall> calls;
  FormWork work = FormWork::Cancel;
};
inline CardSetFormLog& CardSetForm() {
  static CardSetFormLog log;
  return log;
}

inline void CardSetFormStandIn() {
  namespace driver = tavero::driver;
  ProcedureRequest request;
  DataFile& sets = Cardset();
  CardSetFormLog& log = CardSetForm();
  log.calls.push_back({request.request(), sets.number("CAR:SET_NO"), sets.text("CAR:TYPE_OF_CARD")});
  if (log.work == FormWork::DeleteRecord && request.request() == Request::Delete) {
    if (driver::Delete(sets.file()) == 0) request.set_response(Response::Completed);
  } else if (log.work == FormWork::ChangeYear && request.request() == Request::Change) {
    sets.set_text("CAR:YEAR", "2099");
    if (driver::Put(sets.file()) == 0) request.set_response(Response::Completed);
  }
}

// The stand-in installed as the card set form while it lives.
class CardSetFormInstalled {
 public:
  explicit CardSetFormInstalled(FormWork work = FormWork::Cancel) {
    CardSetForm() = CardSetFormLog{.calls = {}, .work = work};
    InstallUpdateForm(FormFile::Cardset, CardSetFormStandIn);
  }
  ~CardSetFormInstalled() { InstallUpdateForm(FormFile::Cardset, nullptr); }
  CardSetFormInstalled(const CardSetFormInstalled&) = delete;
  CardSetFormInstalled& operator=(const CardSetFormInstalled&) = delete;
};

// ---- the program -----------------------------------------------------------------

// The splash greets first: the person lets README.TXT load (answering the
// warning when there is none) and presses "CONTINUE".
template <class Driver>
void PassTheSplash(Driver& person) {
  namespace ui = tavero::ui;
  if constexpr (requires { person.PassTime(10); }) {
    for (int tick = 0; tick < 100 && person.Find("Reading File") != ui::kNoWindow; ++tick) person.PassTime(10);
  } else {
    person.SettleUntil([&] {
      return !person.MessageCaption().empty() ||
             (person.Find("Welcome to ZEPHYRA") != ui::kNoWindow && person.Find("Reading File") == ui::kNoWindow);
    });
  }
  if (!person.MessageCaption().empty()) person.PressButton("OK");
  EXPECT_TRUE(person.Click(person.Find("Welcome to ZEPHYRA"), 4));
}

// ---- reading a list ------------------------------------------------------------

// Cell `column` (0-based) of a shown row.
inline std::string Cell(const std::string& row, int column) {
  std::size_t start = 0;
  for (int i = 0; i < column; ++i) start = row.find('\t', start) + 1;
  return row.substr(start, row.find('\t', start) - start);
}

template <class Driver>
std::vector<std::string> ShownRows(Driver& person, tavero::ui::WindowId window, int list = kBrowseList) {
  const auto shown = person.List(window, list);
  return shown ? shown->rows : std::vector<std::string>{};
}

// The first cell of each row in sight.
template <class Driver>
std::vector<std::string> FirstCells(Driver& person, tavero::ui::WindowId window, int list = kBrowseList) {
  std::vector<std::string> cells;
  for (const std::string& row : ShownRows(person, window, list)) cells.push_back(Cell(row, 0));
  return cells;
}

// The highlighted row's first cell, empty when none is in sight.
template <class Driver>
std::string HighlightedCell(Driver& person, tavero::ui::WindowId window, int list = kBrowseList) {
  const auto shown = person.List(window, list);
  if (!shown) return {};
  const int index = shown->selected - 1 - shown->top;
  if (shown->selected < 1 || index < 0 || index >= static_cast<int>(shown->rows.size())) return {};
  return Cell(shown->rows[static_cast<std::size_t>(index)], 0);
}

// ---- the scripts ---------------------------------------------------------------

// The card set browse over NumberedSets(60) with makers FLEER, TOPPS and
// DONRUSS, opened from the menu and used as a person does: its first page,
// the scroll bar, the thumb, the popup on a right click, the manufacturer
// chosen with its select and the locator typed on its tab, then "Close".
// Expects the stand-in form installed (cancelling). Returns what it saw
// wrong; empty when all held.
template <class Driver>
std::vector<std::string> RunCardSetBrowseScript(Driver& person) {
  namespace ui = tavero::ui;
  std::vector<std::string> wrong;
  auto expect = [&](bool holds, const std::string& what) {
    if (!holds) wrong.push_back(what);
  };
  const ui::WindowId frame = person.Find(kFrameTitle);
  expect(person.ChooseMenu(frame, kEditCardSets), "the menu item is chosen");
  const ui::WindowId browse = person.Find(kCardSetsTitle);
  if (browse == ui::kNoWindow) return {"the browse did not open"};

  const auto first = person.List(browse, kBrowseList);
  if (!first || first->rows.empty() || first->rows_visible < 4) return {"the browse shows no page"};
  const int shown = first->rows_visible;
  expect(first->headings == std::vector<std::string>{"SET No", "MANUFACTURER", "YEAR", "TYPE OF CARD"},
         "headings");
  expect(first->rows[0] == "000001\tTOPPS\t1961\tBASEBALL", "first row: " + first->rows[0]);
  expect(static_cast<int>(first->rows.size()) == shown, "the page fills the list");
  expect(first->selected == 1 && first->scroll_bar, "row 1 highlighted, the scroll bar in sight");
  expect(person.Enabled(browse, kChangeButton) && person.Enabled(browse, kDeleteButton), "Change and Delete");

  expect(person.Scroll(browse, kBrowseList, ui::ScrollAction::LineDown), "line down");
  expect(HighlightedCell(person, browse) == "000002", "line down moves the highlight");
  expect(person.Scroll(browse, kBrowseList, ui::ScrollAction::PageDown), "page down");
  expect(FirstCells(person, browse).front() == std::to_string(1000000 + shown + 1).substr(1),
         "page down reads the next page: " + FirstCells(person, browse).front());
  expect(person.Scroll(browse, kBrowseList, ui::ScrollAction::Bottom), "to the bottom");
  expect(FirstCells(person, browse).back() == "000060" && HighlightedCell(person, browse) == "000060",
         "the last page, its last row highlighted");
  expect(person.DragThumb(browse, kBrowseList, 50), "the thumb dragged");
  expect(HighlightedCell(person, browse) == "000030", "the middle set: " + HighlightedCell(person, browse));
  expect(person.Scroll(browse, kBrowseList, ui::ScrollAction::Top), "to the top");
  expect(HighlightedCell(person, browse) == "000001", "back at the top");

  // A right click highlights the row and offers the buttons.
  expect(person.ClickRow(browse, kBrowseList, 3, true), "a right click");
  expect(person.PopupItems() == std::vector<std::string>{"&Insert", "&Change", "&Delete"},
         "the popup's items");
  expect(person.ChoosePopupItem("&Change"), "Change chosen");
  const std::vector<FormCall>& calls = CardSetForm().calls;
  expect(calls.size() == 1 && calls.back().request == Request::Change && calls.back().set == 3,
         "the form is called to change set 3");
  expect(HighlightedCell(person, browse) == "000003", "a cancelled form leaves the page");

  // The manufacturer tab: its select, then the locator on the year.
  expect(person.PickTab(browse, kSheet, 2), "the manufacturer tab");
  expect(ShownRows(person, browse).empty(), "no manufacturer chosen yet");
  expect(person.Click(browse, kManufacturerButton), "MANUFACTURER");
  const ui::WindowId select = person.Find("MANUFACTURER");
  if (select == ui::kNoWindow) return wrong.push_back("the select did not open"), wrong;
  expect(FirstCells(person, select) == std::vector<std::string>{"DONRUSS", "FLEER", "TOPPS"}, "the makers");
  expect(person.TypeChar(select, kBrowseList, 't'), "T typed on the select");
  expect(HighlightedCell(person, select) == "TOPPS", "the select's locator: " + HighlightedCell(person, select));
  expect(person.Click(select, kSelectButton), "Select");
  expect(person.Find("MANUFACTURER") == ui::kNoWindow, "the select closed");
  expect(HighlightedCell(person, browse) == "000001", "TOPPS's first set by year");
  for (char c : std::string("197")) expect(person.TypeChar(browse, kBrowseList, c), "typed");
  expect(HighlightedCell(person, browse) == "000010", "the first TOPPS set of the 1970s");
  expect(person.TypeChar(browse, kBrowseList, '\b'), "Backspace");
  expect(HighlightedCell(person, browse) == "000001", "back to \"19\"");

  expect(person.Click(browse, kCloseButton), "Close");
  expect(person.Find(kCardSetsTitle) == ui::kNoWindow, "the browse closed");
  return wrong;
}

// ---- the tree ----------------------------------------------------------------------

inline constexpr const char* kTreeTitle = "Tree View Card Collection";
inline constexpr int kTreeBrowse = -10;  // the frame's "TREE BROWSE THE COLLECTION"
inline constexpr int kTreeList = 1;

// A tree row as shown: its text without the indent, the box and trailing
// blanks, and its box ('+' contracted, '-' expanded, ' ' none).
inline std::string TreeLabel(const std::string& row) {
  std::size_t at = row.find_first_not_of(' ');
  if (at == std::string::npos) return {};
  if ((row[at] == '+' || row[at] == '-') && at + 1 < row.size() && row[at + 1] == ' ') at += 2;
  std::string label = row.substr(at);
  label.erase(label.find_last_not_of(' ') + 1);
  return label;
}
inline char TreeBox(const std::string& row) {
  const std::size_t at = row.find_first_not_of(' ');
  return at != std::string::npos && (row[at] == '+' || row[at] == '-') && at + 1 < row.size() && row[at + 1] == ' '
             ? row[at]
             : ' ';
}

// The tree's rows in sight as "label" with the box in front ("+TOPPS").
template <class Driver>
std::vector<std::string> TreeRows(Driver& person, tavero::ui::WindowId tree) {
  std::vector<std::string> rows;
  for (const std::string& row : ShownRows(person, tree, kTreeList)) {
    const char box = TreeBox(row);
    rows.push_back((box == ' ' ? std::string() : std::string(1, box)) + TreeLabel(row));
  }
  return rows;
}

// The collection of the tree scripts: FLEER (one set, named "fleer"),
// TOPPS (two sets, the 1961 one with two cards) and UPPER DECK (none).
inline void WriteTreeCollection() {
  WriteCollection({{1, "TOPPS", "1961", "BASEBALL"}, {2, "fleer", "1962", "HOCKEY"}, {3, "TOPPS", "1963", "HOCKEY"}},
                  {"FLEER", "TOPPS", "UPPER DECK"}, {"BASEBALL", "HOCKEY"},
                  {{1, 7, "LEE", "ANN"}, {1, 8, "RAY"}, {3, 1, "SMITH"}});
}

// The tree over WriteTreeCollection, opened from the menu, expanded and
// contracted as a person does, then closed. Returns what it saw wrong.
template <class Driver>
std::vector<std::string> RunTreeScript(Driver& person) {
  namespace ui = tavero::ui;
  using Rows = std::vector<std::string>;
  std::vector<std::string> wrong;
  auto expect = [&](bool holds, const std::string& what) {
    if (!holds) wrong.push_back(what);
  };
  auto joined = [](const Rows& rows) {
    std::string all;
    for (const std::string& row : rows) all += "[" + row + "]";
    return all;
  };
  const ui::WindowId frame = person.Find(kFrameTitle);
  expect(person.ChooseMenu(frame, kTreeBrowse), "the menu item is chosen");
  const ui::WindowId tree = person.Find(kTreeTitle);
  if (tree == ui::kNoWindow) return {"the tree did not open"};
  const Rows closed = {"MANUFACTURER", "+FLEER", "+TOPPS", "UPPER DECK"};
  expect(TreeRows(person, tree) == closed, "the manufacturers: " + joined(TreeRows(person, tree)));
  expect(person.Expand(tree, kTreeList, 3), "TOPPS expanded");
  expect(TreeRows(person, tree) == Rows{"MANUFACTURER", "+FLEER", "-TOPPS", "+1961        BASEBALL",
                                        "+1963        HOCKEY", "UPPER DECK"},
         "TOPPS's sets: " + joined(TreeRows(person, tree)));
  expect(person.Expand(tree, kTreeList, 4), "the 1961 set expanded");
  expect(TreeRows(person, tree) == Rows{"MANUFACTURER", "+FLEER", "-TOPPS", "-1961        BASEBALL",
                                        "CARD # 7   ANN  LEE", "CARD # 8     RAY", "+1963        HOCKEY", "UPPER DECK"},
         "the set's cards: " + joined(TreeRows(person, tree)));
  expect(person.Expand(tree, kTreeList, 2), "FLEER expanded");
  expect(TreeRows(person, tree).size() == 9 && TreeRows(person, tree)[2] == "1962        HOCKEY",
         "the set named in another case is FLEER's: " + joined(TreeRows(person, tree)));
  expect(person.Contract(tree, kTreeList, 4), "TOPPS contracted");
  expect(TreeRows(person, tree) == Rows{"MANUFACTURER", "-FLEER", "1962        HOCKEY", "+TOPPS", "UPPER DECK"},
         "TOPPS's sets and cards gone: " + joined(TreeRows(person, tree)));
  expect(person.Click(tree, 2), "Close");
  expect(person.Find(kTreeTitle) == ui::kNoWindow, "the tree closed");
  return wrong;
}

}  // namespace zephcol::testing_support
