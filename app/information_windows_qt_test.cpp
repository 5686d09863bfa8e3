// SPLASH and ABOUT on Qt offscreen, the same steps as on the headless
// platform (the Qt timer ticks by itself): the README loads and shows, the
// frame's menu waits for CONTINUE, About opens from Help and closes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/app_test_support.h"
#include "app/information_windows.h"
#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "ui/definitions/definitions.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/test_application.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
using testing_support::ScratchDirectory;

TEST(InformationWindowsOnQt, TheSplashShowsTheReadmeAndAboutOpensFromHelp) {
  tavero::ui::qt::TestApplication();
  tavero::definitions::RegisterBlocks(WindowDefinitionBlocks());
  ScratchDirectory here;
  {
    std::ofstream out(here.path() / "readme.txt", std::ios::binary);
    for (int n = 1; n <= 500; ++n) out << "Line " << n << " of the notes\r\n";
  }
  static constexpr MenuCommand kCommands[] = {{-19, About, 0}};
  ui::qt::QtPlatform platform;
  ui::qt::QtProgram program(platform, [] { RunMain(kCommands, [] { Splash(std::filesystem::path()); }); });
  ui::qt::QtDriver& person = program.driver();
  // The welcome window opens before its progress window does: wait for the
  // lines themselves, the progress window closed.
  const auto loaded = [&] {
    const ui::WindowId shown = person.Find("Welcome to ZEPHYRA");
    if (shown == ui::kNoWindow || person.Find("Reading File") != ui::kNoWindow) return false;
    const auto lines = person.List(shown, 3);
    return lines.has_value() && lines->count == 500;
  };
  person.SettleUntil(loaded);
  const ui::WindowId splash = person.Find("Welcome to ZEPHYRA");
  ASSERT_NE(splash, ui::kNoWindow);
  const auto list = person.List(splash, 3);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->count, 500);
  ASSERT_FALSE(list->rows.empty());
  EXPECT_EQ(list->rows.front().substr(0, 19), "Line 1 of the notes");

  const ui::WindowId frame = person.Find("ZEPHYRA VERSION 1.0");
  person.ChooseMenu(frame, -19);  // dropped while the splash is open
  ASSERT_TRUE(person.Click(splash, 4));
  EXPECT_EQ(person.Find("About ZEPHYRA"), ui::kNoWindow);

  ASSERT_TRUE(person.ChooseMenu(frame, -19));
  const ui::WindowId about = person.Find("About ZEPHYRA");
  ASSERT_NE(about, ui::kNoWindow);
  EXPECT_EQ(person.Text(about, 1), "ZEPHYRA V1.0");
  EXPECT_EQ(person.Text(about, 2), "FOR WINDOWS 95 / NT 3.51");
  ASSERT_TRUE(person.Click(about, 6));
  EXPECT_EQ(person.Find("About ZEPHYRA"), ui::kNoWindow);
  person.ChooseMenu(frame, -2);
  program.WaitUntilFinished();
}

}  // namespace
}  // namespace zephcol
