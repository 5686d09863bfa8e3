// The browse procedures and the tree on Qt offscreen: the scripts the headless tests run
// see the same on the Qt platform.
#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/browse_script.h"
#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "ui/definitions/definitions.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/test_application.h"

namespace zephcol {
namespace {

using namespace testing_support;
namespace qt = tavero::ui::qt;

TEST(BrowsesOnQt, TheCardSetScriptSeesWhatItSeesHeadless) {
  qt::TestApplication();
  tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
  ScratchDirectory scratch;
  WriteCollection(NumberedSets(60), {"FLEER", "TOPPS", "DONRUSS"}, {"BASEBALL", "HOCKEY"});
  CardSetFormInstalled form;
  qt::QtPlatform platform;
  qt::QtProgram program(platform, Main);
  qt::QtDriver& person = program.driver();
  PassTheSplash(person);
  EXPECT_EQ(RunCardSetBrowseScript(person), std::vector<std::string>{});
  person.ChooseMenu(person.Find(kFrameTitle), -2);  // "E&xit"
  program.WaitUntilFinished();
}

TEST(BrowsesOnQt, TheTreeScriptSeesWhatItSeesHeadless) {
  qt::TestApplication();
  tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
  ScratchDirectory scratch;
  WriteTreeCollection();
  qt::QtPlatform platform;
  qt::QtProgram program(platform, Main);
  qt::QtDriver& person = program.driver();
  PassTheSplash(person);
  EXPECT_EQ(RunTreeScript(person), std::vector<std::string>{});
  person.ChooseMenu(person.Find(kFrameTitle), -2);  // "E&xit"
  program.WaitUntilFinished();
}

}  // namespace
}  // namespace zephcol
