// Controls on Qt offscreen as a person and a screen reader meet them:
// entries held to their pictures, text boxes reporting on leaving, status
// zones on every kind of window, menu shortcuts, accessible names.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "ui/properties.h"
#include "ui/qt/gui_side.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/test_application.h"
#include "ui/test_pictures.h"
#include "ui/test_windows.h"

namespace tavero::ui::qt {
namespace {

using testing::EventLog;
using Lines = std::vector<std::string>;
namespace defs = tavero::definitions;

defs::ControlDefinition Control(defs::ControlKind kind, int number, std::string text, std::string picture = {}) {
  defs::ControlDefinition c;
  c.kind = kind;
  c.number = number;
  c.text = std::move(text);
  c.picture = std::move(picture);
  c.position = {4, 4 + 16 * number, 120, kind == defs::ControlKind::Text ? 30 : 12};
  return c;
}

defs::EntryDefinition CardForm() {
  defs::ControlDefinition notes = Control(defs::ControlKind::Text, 2, "", "S10");
  notes.message = "Notes on the card";
  defs::ControlDefinition ok = Control(defs::ControlKind::Button, 5, "&OK");
  ok.tip = "Save the card";
  defs::EntryDefinition form = testing::PlainWindow(
      "Card", {Control(defs::ControlKind::Prompt, 1, "&Notes:"), notes, Control(defs::ControlKind::Entry, 3, "", "N5"),
               Control(defs::ControlKind::Entry, 4, "", "S8"), ok});
  form.status_zones = 2;
  return form;
}

TEST(QtControls, EntriesAndTextBoxesKeepToTheirPicturesAndReportOnLeaving) {
  TestApplication();
  EventLog log;
  QtPlatform platform;
  QtProgram program(platform, [&] {
    Window window(CardForm());
    window.Open();
    ACCEPT([&] {
      if (EVENT() == Event::Accepted) log.Add(std::to_string(FIELD()) + " " + GetProperty(FIELD(), property::kText));
      return LoopResult::Continue;
    });
  });
  QtDriver& driver = program.driver();
  const WindowId card = driver.Find("Card");
  ASSERT_TRUE(driver.Type(card, 2, "A rookie card in mint condition"));
  ASSERT_TRUE(driver.Type(card, 3, "1234567"));
  ASSERT_TRUE(driver.Type(card, 4, "Topps 1952 set"));
  EXPECT_EQ(log.Lines(), (Lines{"2 A rookie c", "3 12345", "4 Topps 19"}));
  auto* number = qobject_cast<QLineEdit*>(platform.Gui().ControlWidget(card, 3));
  ASSERT_NE(number, nullptr);
  EXPECT_TRUE(number->alignment() & Qt::AlignRight);
  auto* text = qobject_cast<QLineEdit*>(platform.Gui().ControlWidget(card, 4));
  EXPECT_FALSE(text->alignment() & Qt::AlignRight);
  driver.Close(card);
}

TEST(QtControls, EveryWidgetHasAnAccessibleNameAndDescription) {
  TestApplication();
  QtPlatform platform;
  QtProgram program(platform, [&] {
    Window window(CardForm());
    window.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  QtDriver& driver = program.driver();
  const WindowId card = driver.Find("Card");
  GuiSide& gui = platform.Gui();
  EXPECT_EQ(gui.Find(card)->top->accessibleName(), QStringLiteral("Card"));
  EXPECT_EQ(gui.ControlWidget(card, 1)->accessibleName(), QStringLiteral("Notes:"));
  EXPECT_EQ(gui.ControlWidget(card, 2)->accessibleName(), QStringLiteral("Notes:"));  // its prompt
  EXPECT_EQ(gui.ControlWidget(card, 2)->accessibleDescription(), QStringLiteral("Notes on the card"));
  EXPECT_EQ(gui.ControlWidget(card, 5)->accessibleName(), QStringLiteral("OK"));
  for (QWidget* widget : gui.Find(card)->top->findChildren<QWidget*>()) {
    if (widget->property(kControlProperty).isValid()) EXPECT_FALSE(widget->accessibleName().isEmpty());
  }
  driver.Close(card);
}

TEST(QtControls, PlainWindowsAndMdiChildrenShowStatusZones) {
  TestApplication();
  QtPlatform platform;
  QtProgram program(platform, [&] {
    Window frame(testing::Frame());
    frame.Open();
    START([] {
      defs::EntryDefinition definition = testing::MdiWindow("Preview");
      definition.status_zones = 3;
      Window preview(definition);
      preview.Open();
      SetProperty(0, property::kStatusText, "Page 1 of 4", 2);
      ACCEPT([] { return LoopResult::Continue; });
    });
    Window form(CardForm());
    form.Open();
    SetProperty(0, property::kStatusText, "Ready", 1);
    ACCEPT([] { return LoopResult::Continue; });
  });
  QtDriver& driver = program.driver();
  driver.Settle();
  for (auto [title, zone, text] : {std::tuple{"Card", 1, "Ready"}, std::tuple{"Preview", 2, "Page 1 of 4"}}) {
    QtWindow* w = platform.Gui().Find(driver.Find(title));
    ASSERT_NE(w, nullptr) << title;
    ASSERT_TRUE(w->status) << title;
    auto* label = w->status->findChild<QLabel*>(QStringLiteral("zone%1").arg(zone));
    ASSERT_NE(label, nullptr) << title;
    EXPECT_EQ(label->text(), QString::fromLatin1(text));
  }
  driver.Close(driver.Find("Card"));
  driver.ChooseMenu(driver.Find("Frame"), -2);
}

TEST(QtControls, MenuItemsCarryTheirKeysAsShortcuts) {
  TestApplication();
  defs::EntryDefinition frame = testing::Frame();
  defs::ControlDefinition down = testing::Item(-20, "Page &Down");
  down.key_code = 34;
  defs::ControlDefinition up = testing::Item(-21, "Page &Up");
  up.key_code = 33;
  frame.menu_bar->children.push_back(testing::Menu("&Page", {up, down}));
  QtPlatform platform;
  QtProgram program(platform, [&] {
    Window window(frame);
    window.Open();
    ACCEPT([] { return LoopResult::Continue; });
  });
  QtDriver& driver = program.driver();
  const WindowId id = driver.Find("Frame");
  EXPECT_EQ(platform.Gui().MenuAction(id, -20)->shortcut(), QKeySequence(Qt::Key_PageDown));
  EXPECT_EQ(platform.Gui().MenuAction(id, -21)->shortcut(), QKeySequence(Qt::Key_PageUp));
  driver.ChooseMenu(id, -2);
}

// The pictures script of the headless platform: the same pictures seen, the
// same icons decoded (images/, never Qt's readers).
TEST(QtControls, ImageControlsAndListIconsShowWhatTheHeadlessPlatformShows) {
  TestApplication();
  testing::PictureFiles files;
  QtPlatform platform;
  QtProgram program(platform, testing::PicturesProcedure);
  QtDriver& driver = program.driver();
  const WindowId window = driver.Find("Pictures");
  ASSERT_NE(window, kNoWindow);
  EXPECT_EQ(testing::PicturesScript(driver, window), testing::kPicturesSeen);
  const std::optional<ShownList> list = driver.List(window, 3);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->icons, (std::map<int, ShownPicture>{{1, {16, 16}}, {2, {0, 0}}}));
  driver.Close(window);
}

}  // namespace
}  // namespace tavero::ui::qt
