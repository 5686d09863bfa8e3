// The update forms as a person uses them: on the headless platform over real
// VMR files, a person opens a form, types, presses its buttons and reads the
// message boxes; afterwards the files hold exactly what was shown.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/app_test_support.h"
#include "app/form_script.h"
#include "app/global_request.h"
#include "app/index_filters.h"
#include "app/main_frame.h"
#include "app/update_forms.h"
#include "app/open_files.h"
#include "app/record_copy.h"
#include "app/update_forms_declared.h"
#include "app/window_blocks.h"
#include "runtime/error_state.h"
#include "storage/driver/file_operations.h"
#include "storage/vmr/check_testing.h"
#include "tools/sample_collection.h"
#include "tools/sample_files.h"
#include "ui/definitions/definitions.h"
#include "ui/headless/driver.h"
#include "ui/test_windows.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace driver = tavero::driver;
using testing_support::ReadMessageBox;
using testing_support::ScratchDirectory;

// Control numbers of the four windows, in window order.
namespace set_form {
constexpr int kSheet = 1, kSetNo = 3, kManufacturer = 5, kYear = 7, kType = 9, kCards = 10, kInsert = 11,
              kChange = 12, kDelete = 13, kOk = 14, kCancel = 15;
}
namespace maker_form {
constexpr int kName = 3, kSets = 4, kInsert = 5, kChange = 6, kDelete = 7, kAddAnother = 8, kOk = 9, kCancel = 10;
}
namespace card_form {
constexpr int kSetNo = 3, kCardNo = 5, kFirstName = 7, kLastName = 9, kQty = 11, kLowValue = 13, kHighValue = 15,
              kPricePaid = 17, kPriceSold = 19, kDateBought = 21, kDateSold = 23, kNotes = 25, kAddAnother = 26,
              kOk = 27, kCancel = 28;
}

// A set as the file holds it.
struct Set {
  int number;
  std::string manufacturer, year, type;
  friend bool operator==(const Set&, const Set&) = default;
};

[[maybe_unused]] std::ostream& operator<<(std::ostream& out, const Set& set) {
  return out << set.number << "/" << set.manufacturer << "/" << set.year << "/" << set.type;
}

// Reads a whole file on the calling (test) thread, in the order of `key`.
std::vector<std::string> Rows(DataFile& data, std::string_view key, const std::function<std::string()>& row) {
  std::vector<std::string> rows;
  DataFileUse use(data);
  driver::SetKeyOrder(data.file(), data.key(key));
  while (driver::Next(data.file()) == 0) rows.push_back(row());
  return rows;
}

std::vector<Set> Sets() {
  std::vector<Set> sets;
  DataFile& data = Cardset();
  DataFileUse use(data);
  driver::SetKeyOrder(data.file(), data.key("CAR:SET"));
  while (driver::Next(data.file()) == 0) {
    sets.push_back({data.number("CAR:SET_NO"), data.text("CAR:MANUFACTURER"), data.text("CAR:YEAR"),
                    data.text("CAR:TYPE_OF_CARD")});
  }
  return sets;
}

std::vector<std::string> Names(DataFile& (*file)(), std::string_view key, std::string_view field) {
  DataFile& data = file();
  return Rows(data, key, [&] { return data.text(field); });
}

void AddSet(const Set& set) {
  DataFile& data = Cardset();
  DataFileUse use(data);
  data.clear();
  data.set_number("CAR:SET_NO", set.number);
  data.set_text("CAR:MANUFACTURER", set.manufacturer);
  data.set_text("CAR:YEAR", set.year);
  data.set_text("CAR:TYPE_OF_CARD", set.type);
  ASSERT_EQ(driver::Add(data.file()), 0) << tavero::ErrorText();
}

void AddName(DataFile& (*file)(), std::string_view field, std::string_view name) {
  DataFile& data = file();
  DataFileUse use(data);
  data.clear();
  data.set_text(field, name);
  ASSERT_EQ(driver::Add(data.file()), 0) << tavero::ErrorText();
}

// Reads `key` = the value `load` put in the buffer into the record buffer
// on the engine thread (a browse's highlighted record), then calls `form`
// with `request`; answers the form's response.
struct Call {
  Request request;
  void (*form)();
  DataFile& (*file)() = nullptr;
  std::string_view key = {};
  std::function<void(DataFile&)> load = {};
};

void AddLookups() {
  AddName(Manufacturer, "MAN:MANUFACTURER", "TOPPS");
  AddName(Manufacturer, "MAN:MANUFACTURER", "FLEER");
  AddName(Types, "TYP:TYPE_OF_CARD", "BASEBALL");
}

// The lookup lists a test installs: what the person picks in them.
std::atomic<int> selects_opened{0};
std::string chosen_manufacturer;  // empty: the person cancels the list

void TestSelectManufacturer() {
  ProcedureRequest request;
  ++selects_opened;
  if (chosen_manufacturer.empty()) return;
  DataFile& makers = Manufacturer();
  makers.set_text("MAN:MANUFACTURER", chosen_manufacturer);
  if (driver::Get(makers.file(), makers.key("MAN:MANFACT")) == 0) request.set_response(Response::Completed);
}
void TestSelectType() {
  ProcedureRequest request;
  ++selects_opened;
}

class UpdateFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
    InstallIndexFilters(tavero::vmr::Driver());
    InstallLookupSelects(TestSelectManufacturer, TestSelectType);
    selects_opened = 0;
    chosen_manufacturer.clear();
    for (DataFile* data : {&Cardset(), &Manufacturer(), &Types(), &SetInformation()}) {
      DataFileUse use(*data);  // creates the empty file
    }
  }
  void TearDown() override {
    program_.reset();
    InstallLookupSelects(nullptr, nullptr);
    EXPECT_TRUE(tavero::vmr::testing_support::VmrFilesAreSound(directory_.path()));
  }

  // Starts the form as its caller would; the person then acts through
  // person() and the form's response is response() once it has closed.
  void Open(Call call) {
    program_.reset();  // one engine at a time
    program_ = std::make_unique<ui::headless::HeadlessProgram>([this, call] {
      std::vector<std::unique_ptr<DataFileUse>> uses;
      if (call.file != nullptr) {
        DataFile& data = call.file();
        uses.push_back(std::make_unique<DataFileUse>(data));
        data.clear();
        if (call.load) call.load(data);
        if (!call.key.empty()) {
          ASSERT_EQ(driver::Get(data.file(), data.key(call.key)), 0) << tavero::ErrorText();
        }
      }
      SetGlobalRequest(call.request);
      call.form();
      response_ = GlobalResponse();
    });
  }
  ui::headless::HeadlessDriver& person() { return program_->driver(); }
  ui::WindowId Window(std::string_view title) { return person().Find(title); }
  Response FormResponse() {
    person().Settle();
    EXPECT_TRUE(program_->Finished());
    return response_;
  }
  // The message box in front as the person reads it, answered with `press`.
  std::string Answer(std::string_view press = {}) {
    if (!person().MessageBox()) return "(no box)";
    const std::string seen = ReadMessageBox(person());
    person().PressButton(press.empty() ? person().MessageDefault() : std::string(press));
    return seen;
  }

  ScratchDirectory directory_;
  std::unique_ptr<ui::headless::HeadlessProgram> program_;
  std::atomic<Response> response_{Response::None};
};

constexpr std::string_view kTypesTitleInsert = "Adding a TYPES Record";
constexpr std::string_view kSetChangeTitle = "Changing a CARDSET Record";

// --- the pattern on the small forms

TEST_F(UpdateFormTest, InsertedTypeIsStoredAndADuplicateKeepsTheFormOpen) {
  AddName(Types, "TYP:TYPE_OF_CARD", "BASEBALL");
  Open({Request::Insert, UpdateTYPESForm});
  const ui::WindowId form = Window(kTypesTitleInsert);
  ASSERT_NE(form, ui::kNoWindow);
  ASSERT_TRUE(person().Type(form, maker_form::kName, "baseball"));
  ASSERT_TRUE(person().Click(form, maker_form::kOk));
  EXPECT_EQ(Answer(), "Duplicate Key Error|Adding this record creates a duplicate entry for the key:TYP:TYPE|OK (OK)");
  ASSERT_EQ(Window(kTypesTitleInsert), form);  // stays open
  EXPECT_EQ(person().Focused(form), maker_form::kName);
  ASSERT_TRUE(person().Type(form, maker_form::kName, "FOOTBALL"));
  ASSERT_TRUE(person().Click(form, maker_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Names(Types, "TYP:TYPE", "TYP:TYPE_OF_CARD"), (std::vector<std::string>{"BASEBALL", "FOOTBALL"}));
}

// Guards "add another": it used to add without any check (a blank name
// was stored, out of every key).
TEST_F(UpdateFormTest, AddAnotherChecksLikeOkAndTheFormReportsTheAdditions) {
  Open({Request::Insert, UpdateTYPESForm});
  const ui::WindowId form = Window(kTypesTitleInsert);
  ASSERT_NE(form, ui::kNoWindow);
  ASSERT_TRUE(person().Click(form, maker_form::kAddAnother));  // blank name: required
  EXPECT_EQ(person().Focused(form), maker_form::kName);
  EXPECT_TRUE(Names(Types, "TYP:TYPE", "TYP:TYPE_OF_CARD").empty());
  ASSERT_TRUE(person().Type(form, maker_form::kName, "HOCKEY"));
  ASSERT_TRUE(person().Click(form, maker_form::kAddAnother));
  EXPECT_EQ(person().Text(form, maker_form::kName), "");  // ready for the next
  ASSERT_TRUE(person().Type(form, maker_form::kName, "HOCKEY"));
  ASSERT_TRUE(person().Click(form, maker_form::kAddAnother));
  EXPECT_EQ(Answer(), "Duplicate Key Error|Adding this record creates a duplicate entry for the key:TYP:TYPE|OK (OK)");
  ASSERT_TRUE(person().Type(form, maker_form::kName, "SOCCER"));
  ASSERT_TRUE(person().Click(form, maker_form::kCancel));
  EXPECT_EQ(FormResponse(), Response::Completed);  // one was added
  EXPECT_EQ(Names(Types, "TYP:TYPE", "TYP:TYPE_OF_CARD"), std::vector<std::string>{"HOCKEY"});
}

TEST_F(UpdateFormTest, ChangeThenCancelKeepsTheFileAndOkRenamesOnlyTheMaker) {
  AddName(Manufacturer, "MAN:MANUFACTURER", "TOPPS");
  AddSet({1, "TOPPS", "1957", "BASEBALL"});
  AddSet({2, "TOPPS", "1958", "BASEBALL"});
  const Call change{Request::Change, UpdateMANUFACTURERForm, Manufacturer, "MAN:MANFACT",
                    [](DataFile& data) { data.set_text("MAN:MANUFACTURER", "TOPPS"); }};
  Open(change);
  ui::WindowId form = Window("Changing a MANUFACTURER Record");
  ASSERT_NE(form, ui::kNoWindow);
  EXPECT_EQ(person().Text(form, maker_form::kName), "TOPPS");
  ASSERT_TRUE(person().PickTab(form, 1, 2));
  std::optional<ui::ShownList> sets = person().List(form, maker_form::kSets);
  ASSERT_TRUE(sets);
  EXPECT_EQ(sets->count, 2);
  ASSERT_TRUE(person().PickTab(form, 1, 1));
  ASSERT_TRUE(person().Type(form, maker_form::kName, "BOWMAN"));
  ASSERT_TRUE(person().Click(form, maker_form::kCancel));
  EXPECT_EQ(FormResponse(), Response::Cancelled);
  EXPECT_EQ(Names(Manufacturer, "MAN:MANFACT", "MAN:MANUFACTURER"), std::vector<std::string>{"TOPPS"});

  Open(change);
  form = Window("Changing a MANUFACTURER Record");
  ASSERT_TRUE(person().Type(form, maker_form::kName, "BOWMAN"));
  ASSERT_TRUE(person().Click(form, maker_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Names(Manufacturer, "MAN:MANFACT", "MAN:MANUFACTURER"), std::vector<std::string>{"BOWMAN"});
  EXPECT_EQ(Sets()[0].manufacturer, "TOPPS");  // no cascade
}

TEST_F(UpdateFormTest, DeleteAsksFirstAndCancelLeavesTheRecord) {
  AddName(Types, "TYP:TYPE_OF_CARD", "BASEBALL");
  const Call remove{Request::Delete, UpdateTYPESForm, Types, "TYP:TYPE",
                    [](DataFile& data) { data.set_text("TYP:TYPE_OF_CARD", "BASEBALL"); }};
  Open(remove);
  EXPECT_EQ(person().Titles().size(), 0u);  // no window: the question alone
  EXPECT_EQ(Answer("Cancel"),
            "Confirm Delete|You've selected to delete the highlighted record.  Press OK to confirm deletion of this "
            "record.|OK Cancel (Cancel)");
  EXPECT_EQ(FormResponse(), Response::Cancelled);
  EXPECT_EQ(Names(Types, "TYP:TYPE", "TYP:TYPE_OF_CARD"), std::vector<std::string>{"BASEBALL"});
  Open(remove);
  Answer("OK");
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_TRUE(Names(Types, "TYP:TYPE", "TYP:TYPE_OF_CARD").empty());
}

// The maker form's child list calls the card set form, whose lookup reads
// other MANUFACTURER records: the maker form's OK still writes its own
// record, as the person left it.
TEST_F(UpdateFormTest, AMakerSavedAfterItsSetRanALookupIsTheRightMaker) {
  AddLookups();
  AddSet({1, "TOPPS", "1957", "BASEBALL"});
  AddSet({2, "TOPPS", "1958", "BASEBALL"});
  Open({Request::Change, UpdateMANUFACTURERForm, Manufacturer, "MAN:MANFACT",
        [](DataFile& data) { data.set_text("MAN:MANUFACTURER", "TOPPS"); }});
  const ui::WindowId form = Window("Changing a MANUFACTURER Record");
  ASSERT_TRUE(person().Type(form, maker_form::kName, "TOPPS GUM"));
  ASSERT_TRUE(person().Type(form, maker_form::kName, "TOPPS"));
  ASSERT_TRUE(person().PickTab(form, 1, 2));
  std::optional<ui::ShownList> sets = person().List(form, maker_form::kSets);
  ASSERT_TRUE(sets);
  ASSERT_EQ(sets->count, 2);
  ASSERT_TRUE(person().ClickRow(form, maker_form::kSets, 2));
  ASSERT_TRUE(person().Click(form, maker_form::kChange));
  const ui::WindowId set = Window(kSetChangeTitle);
  ASSERT_NE(set, ui::kNoWindow);
  EXPECT_EQ(person().Text(set, set_form::kSetNo), "000002");
  ASSERT_TRUE(person().Type(set, set_form::kManufacturer, "FLEER"));
  ASSERT_TRUE(person().Click(set, set_form::kOk));
  EXPECT_EQ(Window(kSetChangeTitle), ui::kNoWindow);
  sets = person().List(form, maker_form::kSets);
  EXPECT_EQ(sets->count, 1);  // set 2 is FLEER's now
  ASSERT_TRUE(person().PickTab(form, 1, 1));
  ASSERT_TRUE(person().Type(form, maker_form::kName, "TOPPS GUM"));
  ASSERT_TRUE(person().Click(form, maker_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Names(Manufacturer, "MAN:MANFACT", "MAN:MANUFACTURER"), (std::vector<std::string>{"FLEER", "TOPPS GUM"}));
  EXPECT_EQ(Sets(), (std::vector<Set>{{1, "TOPPS", "1957", "BASEBALL"}, {2, "FLEER", "1958", "BASEBALL"}}));
}

// Another station rewrites the record while the form shows it: the form's
// OK is refused with warning 15, and the other change is kept.
TEST_F(UpdateFormTest, AChangeRacingAnotherStationKeepsTheOtherChange) {
  AddName(Types, "TYP:TYPE_OF_CARD", "BASEBALL");
  Open({Request::Change, UpdateTYPESForm, Types, "TYP:TYPE",
        [](DataFile& data) { data.set_text("TYP:TYPE_OF_CARD", "BASEBALL"); }});
  const ui::WindowId form = Window("Changing a TYPES Record");
  ASSERT_NE(form, ui::kNoWindow);
  const testing_support::StationEnd other = testing_support::RunStation({}, [] {
    DataFile& types = Types();
    DataFileUse use(types);
    types.set_text("TYP:TYPE_OF_CARD", "BASEBALL");
    if (driver::Get(types.file(), types.key("TYP:TYPE")) != 0) return 1;
    types.set_text("TYP:TYPE_OF_CARD", "BASE BALL");
    return driver::Put(types.file());
  });
  ASSERT_EQ(other.exit_status, 0) << other.boxes;
  ASSERT_TRUE(person().Type(form, maker_form::kName, "HARDBALL"));
  ASSERT_TRUE(person().Click(form, maker_form::kOk));
  EXPECT_EQ(Answer(), "Update Operation Error|An error (Record Changed By Another Station (89)) was experienced when "
                      "attempting to update a record from the file.  Probable Cause: Record Changed by Another "
                      "Station.|OK (OK)");
  EXPECT_EQ(Answer("&No"), "Record Update Error|An error was experienced changing this record.  Do you want to try to "
                           "save again?|&Yes &No Cancel (Cancel)");
  EXPECT_EQ(FormResponse(), Response::Cancelled);
  EXPECT_EQ(Names(Types, "TYP:TYPE", "TYP:TYPE_OF_CARD"), std::vector<std::string>{"BASE BALL"});
}

// --- the card set form

constexpr std::string_view kSetInsert = "Adding a CARDSET Record";
constexpr std::string_view kSetChange = "Changing a CARDSET Record";

TEST_F(UpdateFormTest, NewSetsAreNumberedFromTheLastAndSavedWithTheirLookups) {
  AddLookups();
  Open({Request::Insert, UpdateCARDSETForm});
  ui::WindowId form = Window(kSetInsert);
  ASSERT_NE(form, ui::kNoWindow);
  EXPECT_EQ(person().Text(form, set_form::kSetNo), "000001");  // empty file
  EXPECT_EQ(person().Focused(form), set_form::kSetNo);
  ASSERT_TRUE(person().Type(form, set_form::kManufacturer, "topps"));
  ASSERT_TRUE(person().Type(form, set_form::kYear, "1957"));
  ASSERT_TRUE(person().Type(form, set_form::kType, "BASEBALL"));
  ASSERT_TRUE(person().Click(form, set_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Sets(), (std::vector<Set>{{1, "topps", "1957", "BASEBALL"}}));

  AddSet({41, "FLEER", "1961", "BASEBALL"});
  Open({Request::Insert, UpdateCARDSETForm});
  form = Window(kSetInsert);
  EXPECT_EQ(person().Text(form, set_form::kSetNo), "000042");
  // Cancel leaves no empty set behind.
  ASSERT_TRUE(person().Click(form, set_form::kCancel));
  EXPECT_EQ(FormResponse(), Response::Cancelled);
  EXPECT_EQ(Sets().size(), 2u);
  EXPECT_EQ(Sets().back().number, 41);
}

TEST_F(UpdateFormTest, ADuplicateSetNumberKeepsTheFormOpenWithWarning24) {
  AddLookups();
  AddSet({7, "TOPPS", "1957", "BASEBALL"});
  Open({Request::Insert, UpdateCARDSETForm});
  const ui::WindowId form = Window(kSetInsert);
  ASSERT_TRUE(person().Type(form, set_form::kManufacturer, "FLEER"));
  ASSERT_TRUE(person().Type(form, set_form::kType, "BASEBALL"));
  ASSERT_TRUE(person().Type(form, set_form::kSetNo, "7"));
  ASSERT_TRUE(person().Click(form, set_form::kOk));
  EXPECT_EQ(Answer(), "Duplicate Key Error|Adding this record creates a duplicate entry for the key:CAR:SET|OK (OK)");
  ASSERT_EQ(Window(kSetInsert), form);
  EXPECT_EQ(person().Focused(form), set_form::kSetNo);
  ASSERT_TRUE(person().Type(form, set_form::kSetNo, "9"));
  ASSERT_TRUE(person().Click(form, set_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Sets(), (std::vector<Set>{{7, "TOPPS", "1957", "BASEBALL"}, {9, "FLEER", "", "BASEBALL"}}));
}

// Guards the set number: 40000 used to be stored as -25536, and 0 left the
// set out of every key.
TEST_F(UpdateFormTest, SetNumbersOutsideOneTo32767AreRefusedBeforeAnythingIsStored) {
  AddLookups();
  AddSet({5, "TOPPS", "1957", "BASEBALL"});
  const Call change{Request::Change, UpdateCARDSETForm, Cardset, "CAR:SET",
                    [](DataFile& data) { data.set_number("CAR:SET_NO", 5); }};
  Open(change);
  const ui::WindowId form = Window(kSetChange);
  ASSERT_NE(form, ui::kNoWindow);
  for (std::string_view typed : {"40000", "999999", "0", "-1", "5x"}) {
    SCOPED_TRACE(typed);
    ASSERT_TRUE(person().Type(form, set_form::kSetNo, typed));
    EXPECT_EQ(Answer(),
              "Range Error|The value of UNIQUE IDENTIFIER FOR SET must be between 1 and 32767.|OK (OK)");
    EXPECT_EQ(person().Focused(form), set_form::kSetNo);
    EXPECT_EQ(person().Text(form, set_form::kSetNo), typed);  // as typed, to be corrected
    ASSERT_TRUE(person().Click(form, set_form::kOk));  // checked again
    EXPECT_EQ(Answer(),
              "Range Error|The value of UNIQUE IDENTIFIER FOR SET must be between 1 and 32767.|OK (OK)");
  }
  ASSERT_TRUE(person().Click(form, set_form::kCancel));
  EXPECT_EQ(FormResponse(), Response::Cancelled);
  EXPECT_EQ(Sets(), (std::vector<Set>{{5, "TOPPS", "1957", "BASEBALL"}}));
}

// Guards the numbering past 32767 (it used to wrap) and a numbering that
// ends without a set: Cancel used to delete the last set read, and the
// close it posted closed the calling browse.
TEST_F(UpdateFormTest, NumberingPast32767IsRefusedAndLeavesTheFileAndTheCallerAsTheyWere) {
  AddSet({32767, "TOPPS", "1957", "BASEBALL"});
  program_ = std::make_unique<ui::headless::HeadlessProgram>([this] {
    ui::Window caller(ui::testing::PlainWindow("CARD SET INFORMATION", {ui::testing::Button(1, "&Insert")}));
    caller.Open();
    ui::ACCEPT([&] {
      if (ui::ACCEPTED() == 1) {
        SetGlobalRequest(Request::Insert);
        UpdateCARDSETForm();
        response_ = GlobalResponse();
      }
      return ui::LoopResult::Continue;
    });
  });
  const ui::WindowId browse = Window("CARD SET INFORMATION");
  ASSERT_TRUE(person().Click(browse, 1));
  EXPECT_EQ(Answer("&Retry"),
            "Auto Increment Error|Attempts to automatically number this record have failed.  Error: Variable out of "
            "range (405).|&Retry Cancel (Cancel)");
  EXPECT_EQ(Answer("Cancel").substr(0, 21), "Auto Increment Error|");
  EXPECT_EQ(response_, Response::Cancelled);
  EXPECT_EQ(person().Titles(), std::vector<std::string>{"CARD SET INFORMATION"});  // no form; the caller stays
  EXPECT_EQ(Sets(), (std::vector<Set>{{32767, "TOPPS", "1957", "BASEBALL"}}));
  person().Close(browse);
}

// Guards the lookup: only the first 20 of the 30 characters were compared,
// so a maker no record names was saved.
TEST_F(UpdateFormTest, AManufacturerNotOnFileOpensTheListAndCannotBeSaved) {
  AddLookups();
  AddName(Manufacturer, "MAN:MANUFACTURER", "UPPER DECK COMPANY L");  // 20 characters
  AddSet({3, "TOPPS", "1957", "BASEBALL"});
  Open({Request::Change, UpdateCARDSETForm, Cardset, "CAR:SET",
        [](DataFile& data) { data.set_number("CAR:SET_NO", 3); }});
  const ui::WindowId form = Window(kSetChange);
  ASSERT_NE(form, ui::kNoWindow);
  ASSERT_TRUE(person().Focus(form, set_form::kManufacturer));
  EXPECT_EQ(selects_opened, 0);  // on file: no list
  ASSERT_TRUE(person().Type(form, set_form::kManufacturer, "UPPER DECK COMPANY LIMITED"));
  EXPECT_EQ(selects_opened, 1);  // the list opened; the person cancelled it
  EXPECT_EQ(Answer(), "Field Contents Error|The value for MANUFACTURER OF CARDS must be found in the MANUFACTURER "
                      "file.|OK (OK)");
  EXPECT_EQ(person().Focused(form), set_form::kManufacturer);
  // Back to the entry with the text unchanged: the list does not open again.
  ASSERT_TRUE(person().Focus(form, set_form::kYear));
  ASSERT_TRUE(person().Focus(form, set_form::kManufacturer));
  EXPECT_EQ(selects_opened, 1);
  ASSERT_TRUE(person().Click(form, set_form::kOk));
  EXPECT_EQ(selects_opened, 2);
  EXPECT_EQ(Answer().substr(0, 21), "Field Contents Error|");
  ASSERT_EQ(Window(kSetChange), form);
  // The person picks the maker from the list instead.
  chosen_manufacturer = "FLEER";
  ASSERT_TRUE(person().Type(form, set_form::kManufacturer, "FLEAR"));
  EXPECT_EQ(person().Text(form, set_form::kManufacturer), "FLEER");
  ASSERT_TRUE(person().Click(form, set_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Sets(), (std::vector<Set>{{3, "FLEER", "1957", "BASEBALL"}}));
}

// --- the card form

constexpr std::string_view kCardInsert = "Adding a SETINFORMATION Record";

struct CardRow {
  int set, card, qty;
  std::string low, high, notes;
  friend bool operator==(const CardRow&, const CardRow&) = default;
};
[[maybe_unused]] std::ostream& operator<<(std::ostream& out, const CardRow& row) {
  return out << row.set << "/" << row.card << "/" << row.qty << "/" << row.low << "/" << row.high << "/" << row.notes;
}

std::vector<CardRow> Cards() {
  std::vector<CardRow> rows;
  DataFile& data = SetInformation();
  DataFileUse use(data);
  driver::SetKeyOrder(data.file(), data.key("SET:SET_KEY"));
  while (driver::Next(data.file()) == 0) {
    auto money = [&](std::string_view field) {
      const FieldDeclaration& declared = *FindField(kSetInformationDeclaration, field);
      return tavero::decimal::ReadPacked(tavero::decimal::PackedForm::kDecimal, data.field(field), declared.places)
          .ToFixedText(2);
    };
    std::string notes(data.memo(0).begin(), data.memo(0).end());
    notes.erase(notes.find_last_not_of(' ') + 1);
    rows.push_back({data.number("SET:SET_NO"), data.number("SET:CARD_NO"), data.number("SET:QTY"),
                    money("SET:LOW_VALUE"), money("SET:HIGH_VALUE"), notes});
  }
  return rows;
}

// Guards QTY (70000 passed as 4464, checked only after storing) and the
// money entries ("1500.25" was stored as 50025.00, "123456" as 23456.00).
TEST_F(UpdateFormTest, CardValuesThatDoNotFitAreRefusedAndWhatIsShownIsStored) {
  const Call insert{Request::Insert, UpdateSETINFORMATIONForm, SetInformation, {},
                    [](DataFile& data) { data.set_number("SET:SET_NO", 4); }};
  Open(insert);
  const ui::WindowId form = Window(kCardInsert);
  ASSERT_NE(form, ui::kNoWindow);
  EXPECT_EQ(person().Text(form, card_form::kSetNo), "000004");  // the caller's set
  EXPECT_EQ(person().Text(form, card_form::kQty).find_first_not_of(' '), 2u);  // "  1"
  struct Refused {
    int control;
    std::string_view typed, text;
  };
  const Refused refused[] = {
      {card_form::kQty, "-1", "The value of QUANTITY OF THIS CARD HELD must be between 0 and 999."},
      {card_form::kLowValue, "123456", "The value of LOWEST RECORDED VALUE must be between -99999.99 and 99999.99."},
      {card_form::kHighValue, "1500.2.5", "The value of HIGHEST VALUE RECORDED must be between -99999.99 and 99999.99."},
      {card_form::kCardNo, "-5", "The value of CARD NUMBER IN THIS SET must be between 0 and 32767."},
      {card_form::kSetNo, "40000", "The value of UNIQUE SET IDENTIFIER must be between 0 and 32767."},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.typed);
    ASSERT_TRUE(person().Type(form, r.control, r.typed));
    EXPECT_EQ(Answer(), "Range Error|" + std::string(r.text) + "|OK (OK)");
    EXPECT_EQ(person().Focused(form), r.control);
    ASSERT_TRUE(person().Click(form, card_form::kOk));
    EXPECT_EQ(Answer(), "Range Error|" + std::string(r.text) + "|OK (OK)");
    EXPECT_TRUE(Cards().empty());
    ASSERT_TRUE(person().Type(form, r.control, "0"));
  }
  // The entry takes three characters: "1000" is cut to what it shows.
  ASSERT_TRUE(person().Type(form, card_form::kQty, "1000"));
  EXPECT_EQ(person().Text(form, card_form::kQty), "100");
  ASSERT_TRUE(person().Type(form, card_form::kSetNo, "4"));
  ASSERT_TRUE(person().Type(form, card_form::kQty, "999"));
  ASSERT_TRUE(person().Type(form, card_form::kLowValue, "1500.25"));
  EXPECT_EQ(person().Text(form, card_form::kLowValue), "  1,500.25");
  ASSERT_TRUE(person().Type(form, card_form::kHighValue, "99,999.99"));
  ASSERT_TRUE(person().Type(form, card_form::kCardNo, "17"));
  ASSERT_TRUE(person().PickTab(form, 1, 2));
  ASSERT_TRUE(person().Type(form, card_form::kNotes, "Rookie card, corner crease."));
  ASSERT_TRUE(person().Click(form, card_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Cards(), (std::vector<CardRow>{{4, 17, 999, "1500.25", "99999.99", "Rookie card, corner crease."}}));
}

TEST_F(UpdateFormTest, NotesAreReadBackAndTakeAtMost500Characters) {
  const Call insert{Request::Insert, UpdateSETINFORMATIONForm, SetInformation, {},
                    [](DataFile& data) { data.set_number("SET:SET_NO", 1); }};
  Open(insert);
  ui::WindowId form = Window(kCardInsert);
  ASSERT_TRUE(person().PickTab(form, 1, 2));
  ASSERT_TRUE(person().Type(form, card_form::kNotes, std::string(600, 'n')));
  EXPECT_EQ(person().Text(form, card_form::kNotes), std::string(500, 'n'));
  ASSERT_TRUE(person().Click(form, card_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  ASSERT_EQ(Cards().size(), 1u);
  EXPECT_EQ(Cards()[0].notes, std::string(500, 'n'));

  Open({Request::Change, UpdateSETINFORMATIONForm, SetInformation, "SET:SET_KEY",
        [](DataFile& data) { data.set_number("SET:SET_NO", 1); }});
  form = Window("Changing a SETINFORMATION Record");
  ASSERT_NE(form, ui::kNoWindow);
  EXPECT_EQ(person().Text(form, card_form::kNotes), std::string(500, 'n'));
  ASSERT_TRUE(person().PickTab(form, 1, 2));
  ASSERT_TRUE(person().Type(form, card_form::kNotes, "Signed."));
  ASSERT_TRUE(person().Click(form, card_form::kOk));
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Cards()[0].notes, "Signed.");
}

// The script the Qt smoke test runs, here on the headless platform.
TEST_F(UpdateFormTest, TheCardFormScriptSavesWhatWasShown) {
  Open({Request::Insert, UpdateSETINFORMATIONForm, SetInformation, {},
        [](DataFile& data) { data.set_number("SET:SET_NO", 3); }});
  EXPECT_EQ(testing_support::RunCardFormScript(person(), true), std::vector<std::string>{});
  EXPECT_EQ(FormResponse(), Response::Completed);
  EXPECT_EQ(Cards(), (std::vector<CardRow>{{3, 12, 2, "1500.25", "0.00", "Signed on the sweet spot."}}));
}

// From the frame's menu: "EDIT CARD T&YPES" starts the browse on its own
// thread, its Insert calls the type form through the update-form hook, and
// the browse shows the type the form saved.
TEST_F(UpdateFormTest, TheFrameMenuReachesAFormThroughItsBrowse) {
  InstallUpdateForms();
  program_ = std::make_unique<ui::headless::HeadlessProgram>([] { RunMain(MainMenuCommands()); });  // no splash
  const ui::WindowId frame = Window("ZEPHYRA VERSION 1.0");
  ASSERT_TRUE(person().ChooseMenu(frame, -9));
  const ui::WindowId browse = Window("Browse the TYPES File");
  ASSERT_NE(browse, ui::kNoWindow);
  ASSERT_TRUE(person().Click(browse, 2));
  const ui::WindowId form = Window(kTypesTitleInsert);
  ASSERT_NE(form, ui::kNoWindow);
  ASSERT_TRUE(person().Type(form, maker_form::kName, "ROOKIE"));
  ASSERT_TRUE(person().Click(form, maker_form::kOk));
  EXPECT_EQ(Window(kTypesTitleInsert), ui::kNoWindow);
  std::optional<ui::ShownList> types = person().List(browse, 1);
  ASSERT_TRUE(types);
  EXPECT_EQ(types->rows, std::vector<std::string>{"ROOKIE"});
  person().ChooseMenu(frame, -2);  // E&xit
  program_.reset();
  for (FormFile file : {FormFile::Cardset, FormFile::Manufacturer, FormFile::Types, FormFile::SetInformation}) {
    InstallUpdateForm(file, nullptr);
  }
  EXPECT_EQ(Names(Types, "TYP:TYPE", "TYP:TYPE_OF_CARD"), std::vector<std::string>{"ROOKIE"});
}

}  // namespace
}  // namespace zephcol
