// Message boxes and popup menus on Qt offscreen: the headless script gives
// the same events, and the GUI thread never waits for a box.
#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>

#include "ui/dialog_script.h"
#include "ui/qt/gui_side.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/test_application.h"

namespace tavero::ui::qt {
namespace {

using testing::EventLog;
using Lines = std::vector<std::string>;

TEST(QtDialogs, TheScriptGivesTheSameEventsAsOnTheHeadlessPlatform) {
  TestApplication();
  EventLog log;
  QtPlatform platform;
  QtProgram program(platform, [&] { testing::DialogsProcedure(log); });
  EXPECT_EQ(testing::RunDialogsScript(program.driver()), Lines{});
  EXPECT_EQ(log.Lines(), testing::DialogsScriptEvents());
  program.driver().Close(program.driver().Find(testing::kDialogsTitle));
}

TEST(QtDialogs, TheBoxIsModalToItsOwnerWithTheDefaultButtonFocused) {
  TestApplication();
  EventLog log;
  QtPlatform platform;
  QtProgram program(platform, [&] { testing::DialogsProcedure(log); });
  QtDriver& driver = program.driver();
  const WindowId owner = driver.Find(testing::kDialogsTitle);
  ASSERT_TRUE(driver.Click(owner, 1));
  QWidget* box = platform.Gui().OpenDialog("messageBox");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  EXPECT_EQ(box->parentWidget(), platform.Gui().Find(owner)->top.data());
  EXPECT_EQ(box->accessibleName(), QStringLiteral("Delete"));
  auto* no = box->findChild<QPushButton*>(QStringLiteral("button4"));
  ASSERT_NE(no, nullptr);
  EXPECT_TRUE(no->isDefault());
  EXPECT_EQ(no->accessibleName(), QStringLiteral("No"));
  ASSERT_TRUE(driver.PressButton("&No"));
  EXPECT_EQ(platform.Gui().OpenDialog("messageBox"), nullptr);
  EXPECT_EQ(log.Lines(), Lines{"message 4"});
  driver.Close(owner);
}

}  // namespace
}  // namespace tavero::ui::qt
