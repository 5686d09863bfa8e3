// The update forms on Qt offscreen: the card form script gives what it gives
// on the headless platform, over a sample collection; the card form as it
// shows a sample card is saved as a picture (docs/card-form.png).
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_test_support.h"
#include "app/form_script.h"
#include "app/global_request.h"
#include "app/index_filters.h"
#include "app/open_files.h"
#include "app/update_forms_declared.h"
#include "app/window_blocks.h"
#include "storage/driver/file_operations.h"
#include "tools/sample_collection.h"
#include "tools/sample_files.h"
#include "ui/definitions/definitions.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/test_application.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace driver = tavero::driver;

class UpdateFormOnQt : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::qt::TestApplication();
    tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
    InstallIndexFilters(tavero::vmr::Driver());
    std::string failure;
    ASSERT_EQ(tavero::tool::WriteSampleFiles(directory_.path().string(), tavero::tool::MakeSampleCollection({}), failure), 0)
        << failure;
  }

  testing_support::ScratchDirectory directory_;
};

// Opens the card form on `request` for the first card of set `set` (a new
// card of that set for an insert).
void CallCardForm(Request request, int set) {
  DataFile& cards = SetInformation();
  DataFileUse use(cards);
  cards.clear();
  cards.set_number("SET:SET_NO", set);
  if (request != Request::Insert) driver::Get(cards.file(), cards.key("SET:SET_KEY"));
  SetGlobalRequest(request);
  UpdateSETINFORMATIONForm();
}

int CardsOfSet(int set) {
  DataFile& cards = SetInformation();
  DataFileUse use(cards);
  int count = 0;
  driver::SetKeyOrder(cards.file(), cards.key("SET:SET_KEY"));
  while (driver::Next(cards.file()) == 0) count += cards.number("SET:SET_NO") == set;
  return count;
}

TEST_F(UpdateFormOnQt, TheCardFormScriptSavesWhatWasShown) {
  const int before = CardsOfSet(2);
  ui::qt::QtPlatform platform;
  {
    ui::qt::QtProgram program(platform, [] { CallCardForm(Request::Insert, 2); });
    // The notes box of this platform does not report typing yet.
    EXPECT_EQ(testing_support::RunCardFormScript(program.driver(), false), std::vector<std::string>{});
    program.WaitUntilFinished();
  }
  EXPECT_EQ(CardsOfSet(2), before + 1);
}

TEST_F(UpdateFormOnQt, TheCardFormShowsASampleCard) {
  ui::qt::QtPlatform platform;
  ui::qt::QtProgram program(platform, [] { CallCardForm(Request::Change, 1); });
  ui::qt::QtDriver& person = program.driver();
  const ui::WindowId form = person.Find("Changing a SETINFORMATION Record");
  ASSERT_NE(form, ui::kNoWindow);
  EXPECT_EQ(person.Text(form, testing_support::card_controls::kSetNo), "000001");
  EXPECT_FALSE(person.Text(form, testing_support::card_controls::kLastName).empty());
  const std::filesystem::path picture = std::filesystem::path(ZEPHCOL_PROGRAM_DIRECTORY) / "card-form.png";
  EXPECT_TRUE(person.Grab(form, picture));
  ASSERT_TRUE(person.Click(form, testing_support::card_controls::kCancel));
  program.WaitUntilFinished();
}

}  // namespace
}  // namespace zephcol
