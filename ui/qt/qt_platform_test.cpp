// The Qt platform on an offscreen display (QT_QPA_PLATFORM=offscreen).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>

#include <string>
#include <vector>

#include "ui/definitions/definitions.h"
#include "ui/engine.h"
#include "ui/properties.h"
#include "ui/headless/driver.h"
#include "ui/qt/gui_side.h"
#include "ui/qt/key_codes.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/test_application.h"

namespace tavero::ui::qt {
namespace {

namespace defs = tavero::definitions;

QApplication& Application() { return TestApplication(); }

defs::ControlDefinition Control(defs::ControlKind kind, int number, std::string text, defs::Rect at,
                                std::vector<defs::ControlDefinition> children = {}) {
  defs::ControlDefinition c;
  c.kind = kind;
  c.number = number;
  c.text = std::move(text);
  c.position = at;
  c.children = std::move(children);
  return c;
}

defs::ControlDefinition Item(int number, std::string text, std::string message,
                             defs::StandardAction standard = defs::StandardAction::None) {
  defs::ControlDefinition c = Control(defs::ControlKind::Item, number, std::move(text), {});
  c.message = std::move(message);
  c.standard = standard;
  return c;
}

// The windows the tests open, registered once.
void RegisterTestWindows() {
  static const std::vector<std::uint8_t> block = [] {
    defs::DefinitionBlock b;
    b.module_label = "TEST$qtwin";
    defs::EntryDefinition form;
    form.label = "FORM$WINDOW";
    form.title = "A form";
    form.position = {defs::kDefaultCoordinate, defs::kDefaultCoordinate, 200, 120};
    form.font = defs::FontDefinition{"MS Sans Serif", 8};
    form.controls = {
        Control(defs::ControlKind::Prompt, 1, "Name:", {4, 4, 40, 10}),
        Control(defs::ControlKind::Entry, 2, "", {50, 4, 100, 12}),
        Control(defs::ControlKind::Check, 3, "Keep", {50, 20, 60, 12}),
        Control(defs::ControlKind::Sheet, 4, "", {4, 36, 190, 50},
                {Control(defs::ControlKind::Tab, 5, "First", {},
                         {Control(defs::ControlKind::Button, 6, "On first", {10, 56, 50, 14})}),
                 Control(defs::ControlKind::Tab, 7, "Second", {},
                         {Control(defs::ControlKind::Button, 8, "On second", {10, 56, 50, 14})})}),
        Control(defs::ControlKind::Button, 9, "OK", {150, 100, 40, 14}),
    };
    defs::EntryDefinition frame;
    frame.label = "FRAME$APPFRAME";
    frame.type = defs::WindowType::Application;
    frame.title = "The frame";
    frame.position = {defs::kDefaultCoordinate, defs::kDefaultCoordinate, 400, 250};
    frame.status_zones = 1;
    defs::ControlDefinition bar;
    bar.kind = defs::ControlKind::MenuBar;
    bar.children = {
        Control(defs::ControlKind::Menu, 0, "&File", {},
                {Item(-1, "&Open child", "Open a child window"),
                 Item(-2, "E&xit", "Exit this application", defs::StandardAction::Close)}),
        Control(defs::ControlKind::Menu, 0, "&Window", {},
                {Item(-3, "T&ile", "Make all open windows visible", defs::StandardAction::Tile),
                 Item(-4, "&Cascade", "Stack all open windows", defs::StandardAction::Cascade)}),
    };
    frame.menu_bar = bar;
    defs::EntryDefinition child;
    child.label = "CHILD$WINDOW";
    child.type = defs::WindowType::MdiChild;
    child.title = "A child";
    child.position = {defs::kDefaultCoordinate, defs::kDefaultCoordinate, 120, 60};
    child.controls = {Control(defs::ControlKind::Button, 1, "Close", {70, 40, 40, 14})};
    b.entries = {form, frame, child};
    return defs::EncodeBlock(b);
  }();
  static const defs::ResourceBlock blocks[] = {{"qtwin_RSC", block}};
  defs::RegisterBlocks(blocks);
}

// The script both platforms run: a form whose loop writes down every event.
void FormProcedure(std::vector<std::string>& log) {
  Window form("TEST$qtwin", "FORM$WINDOW");
  form.Open();
  ACCEPT([&] {
    log.push_back(std::string(EventName(InternalCode(EVENT()))) + " " + std::to_string(FIELD()));
    if (EVENT() == Event::Accepted && FIELD() == 9) return LoopResult::Break;
    return LoopResult::Continue;
  });
  form.Close();
}

std::vector<std::string> FormOnHeadless() {
  RegisterTestWindows();
  std::vector<std::string> log;
  headless::HeadlessProgram program([&] { FormProcedure(log); });
  headless::HeadlessDriver& person = program.driver();
  const WindowId form = person.Find("A form");
  EXPECT_NE(form, kNoWindow);
  EXPECT_TRUE(person.Type(form, 2, "Ann"));
  EXPECT_TRUE(person.SetCheck(form, 3, true));
  EXPECT_TRUE(person.PickTab(form, 4, 2));
  EXPECT_TRUE(person.Click(form, 8));
  EXPECT_TRUE(person.Click(form, 9));
  return log;
}

std::vector<std::string> FormOnQt() {
  Application();
  RegisterTestWindows();
  std::vector<std::string> log;
  QtPlatform platform;
  QtProgram program(platform, [&] { FormProcedure(log); });
  QtDriver& person = program.driver();
  const WindowId form = person.Find("A form");
  EXPECT_NE(form, kNoWindow);
  EXPECT_TRUE(person.Type(form, 2, "Ann"));
  EXPECT_TRUE(person.SetCheck(form, 3, true));
  EXPECT_FALSE(person.Click(form, 8));  // on the tab not shown: out of reach, nothing posted
  EXPECT_TRUE(person.PickTab(form, 4, 2));
  EXPECT_TRUE(person.Click(form, 8));
  EXPECT_TRUE(person.Click(form, 9));
  program.WaitUntilFinished();
  return log;
}

TEST(QtPlatform, RunsAScriptWithTheSameEventsAsTheHeadlessPlatform) {
  const std::vector<std::string> headless = FormOnHeadless();
  const std::vector<std::string> qt = FormOnQt();
  EXPECT_FALSE(headless.empty());
  EXPECT_EQ(qt, headless);
}

// Values the procedure sets reach the widgets without coming back as input;
// what the person does afterwards still does.
TEST(QtPlatform, ChangesMadeByTheProcedureAreNotEchoedAsInput) {
  Application();
  RegisterTestWindows();
  std::vector<std::string> log;
  QtPlatform platform;
  QtProgram program(platform, [&] {
    Window form("TEST$qtwin", "FORM$WINDOW");
    form.Open();
    ACCEPT([&] {
      if (EVENT() == Event::OpenWindow) {
        SetProperty(2, property::kText, "Bob");
        SetProperty(3, property::kValue, 1);
        SetProperty(4, property::kValue, 2);
        SELECT(2);
      }
      if (EVENT() == Event::Accepted || EVENT() == Event::NewSelection) {
        log.push_back(std::string(EventName(InternalCode(EVENT()))) + " " + std::to_string(FIELD()));
      }
      return (EVENT() == Event::Accepted && FIELD() == 9) ? LoopResult::Break : LoopResult::Continue;
    });
  });
  QtDriver& person = program.driver();
  const WindowId form = person.Find("A form");
  EXPECT_EQ(person.Text(form, 2), "Bob");
  EXPECT_TRUE(person.Visible(form, 8));  // the second tab is shown
  EXPECT_FALSE(person.Visible(form, 6));
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(person.SetCheck(form, 3, false));
  EXPECT_TRUE(person.Click(form, 9));
  program.WaitUntilFinished();
  EXPECT_EQ(log, (std::vector<std::string>{"EVENT:Accepted 3", "EVENT:Accepted 9"}));
}

TEST(QtPlatform, FrameMenusShowHelpLinesAndArrangeChildren) {
  Application();
  RegisterTestWindows();
  QtPlatform platform;
  QtProgram program(platform, [] {
    Window frame("TEST$qtwin", "FRAME$APPFRAME");
    frame.Open();
    ACCEPT([] {
      if (EVENT() == Event::Accepted && FIELD() == -1) {
        START([] {
          Window child("TEST$qtwin", "CHILD$WINDOW");
          child.Open();
          ACCEPT([] { return (EVENT() == Event::Accepted) ? LoopResult::Break : LoopResult::Continue; });
          child.Close();
        });
      }
      return LoopResult::Continue;
    });
    frame.Close();
  });
  QtDriver& person = program.driver();
  const WindowId frame = person.Find("The frame");
  ASSERT_NE(frame, kNoWindow);
  EXPECT_EQ(person.MenuPaths(frame),
            (std::vector<std::string>{"&File/&Open child", "&File/E&xit", "&Window/T&ile", "&Window/&Cascade"}));
  EXPECT_EQ(person.HelpLineOf(frame, -3), "Make all open windows visible");

  EXPECT_TRUE(person.ChooseMenu(frame, -1));
  EXPECT_TRUE(person.ChooseMenu(frame, -1));
  QMdiArea* mdi = platform.Gui().Find(frame)->mdi;
  ASSERT_EQ(mdi->subWindowList().size(), 2);
  EXPECT_TRUE(person.ChooseMenu(frame, -3));  // Tile: the children side by side
  const QRect a = mdi->subWindowList()[0]->geometry();
  const QRect b = mdi->subWindowList()[1]->geometry();
  EXPECT_FALSE(a.intersects(b));
  EXPECT_TRUE(person.ChooseMenu(frame, -4));  // Cascade: each one lower and to the right
  EXPECT_NE(mdi->subWindowList()[0]->geometry().topLeft(), mdi->subWindowList()[1]->geometry().topLeft());

  // Exit: the frame asks each child to close down, then its loop ends.
  EXPECT_TRUE(person.ChooseMenu(frame, -2));
  program.WaitUntilFinished();
  EXPECT_TRUE(person.Windows().empty());
}

TEST(QtPlatform, TextCrossesToQtAsWindows1252) {
  const std::string text = "Caf\xE9 \x80 5 \x93quoted\x94";
  const QString shown = FromWindows1252(text);
  EXPECT_EQ(shown, QString::fromUtf8("Café € 5 “quoted”"));
  EXPECT_EQ(ToWindows1252(shown), text);
  EXPECT_EQ(ToWindows1252(QString::fromUtf8("日")), "?");  // no such character: a question mark
}

TEST(QtPlatform, KeysBecomeTheEngineKeyCodes) {
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    int code;
  };
  const Case cases[] = {
      {Qt::Key_Insert, Qt::NoModifier, 0x2D},   {Qt::Key_Delete, Qt::NoModifier, 0x2E},
      {Qt::Key_Return, Qt::ControlModifier, 0x20D}, {Qt::Key_PageDown, Qt::NoModifier, 0x22},
      {Qt::Key_A, Qt::ShiftModifier, 0x141},    {Qt::Key_9, Qt::NoModifier, 0x39},
      {Qt::Key_F1, Qt::AltModifier, 0x470},     {Qt::Key_Backspace, Qt::NoModifier, 0x08},
      {Qt::Key_unknown, Qt::NoModifier, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyCode(c.key, static_cast<int>(c.modifiers)), c.code) << c.key;
}

}  // namespace
}  // namespace tavero::ui::qt
