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
#include "app/global_request.h"
#include "app/index_filters.h"
#include "app/open_files.h"
#include "app/update_forms_declared.h"
#include "app/window_blocks.h"
#include "runtime/error_state.h"
#include "storage/driver/file_operations.h"
#include "storage/vmr/check_testing.h"
#include "tools/sample_collection.h"
#include "tools/sample_files.h"
#include "ui/definitions/definitions.h"
#include "ui/headless/driver.h"

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

}  // namespace
}  // namespace zephcol
