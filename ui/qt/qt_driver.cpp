#include "ui/qt/qt_driver.h"

#include "ui/qt/image_control.h"


#include <QTreeView>

#include "ui/qt/decoded_pictures.h"
#include "ui/qt/list_widget.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>

#include "ui/qt/gui_side.h"

namespace tavero::ui::qt {
namespace {

// Runs `work` on a helper thread while this (the GUI) thread goes on serving
// the Qt loop, so engine calls that `work` waits for can complete.
void RunServingGui(const std::function<void()>& work) {
  std::atomic<bool> done{false};
  std::thread helper([&] {
    work();
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  helper.join();
}

// The widget is usable by a person: shown and enabled, with its window.
bool Reachable(QWidget* widget) { return widget != nullptr && widget->isVisible() && widget->isEnabled(); }

}  // namespace

QtDriver::QtDriver(QtPlatform& platform, Engine& engine) : platform_(platform), engine_(engine) {}

void QtDriver::Settle() {
  GuiSide& gui = platform_.Gui();
  for (;;) {
    QCoreApplication::processEvents();
    const std::uint64_t before = gui.PostedCount();
    RunServingGui([this] { engine_.WaitUntilIdle(); });
    QCoreApplication::processEvents();
    if (gui.PostedCount() == before) return;  // nothing new went to the engine meanwhile
  }
}

bool QtDriver::SettleUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  bool held = done();
  while (!held && std::chrono::steady_clock::now() < give_up) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    held = done();
  }
  QCoreApplication::processEvents();
  return held;
}

std::vector<WindowId> QtDriver::Windows() { return platform_.Gui().OpenWindows(); }

std::vector<std::string> QtDriver::Titles() {
  std::vector<std::string> titles;
  for (WindowId id : Windows()) {
    if (QtWindow* w = platform_.Gui().Find(id); w != nullptr && w->top) {
      titles.push_back(ToWindows1252(w->top->windowTitle()));
    }
  }
  return titles;
}

WindowId QtDriver::Find(std::string_view title) {
  WindowId found = kNoWindow;
  for (WindowId id : Windows()) {
    QtWindow* w = platform_.Gui().Find(id);
    if (w != nullptr && w->top && ToWindows1252(w->top->windowTitle()) == title) found = id;
  }
  return found;
}

std::string QtDriver::Text(WindowId window, int number) {
  GuiSide& gui = platform_.Gui();
  if (QAction* action = gui.MenuAction(window, number)) return ToWindows1252(action->text());
  QWidget* widget = gui.ControlWidget(window, number);
  if (auto* label = qobject_cast<QLabel*>(widget)) return ToWindows1252(label->text());
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return ToWindows1252(button->text());
  if (auto* entry = qobject_cast<QLineEdit*>(widget)) return ToWindows1252(entry->text());
  if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) return ToWindows1252(box->toPlainText());
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return ToWindows1252(group->title());
  return {};
}

bool QtDriver::Enabled(WindowId window, int number) {
  GuiSide& gui = platform_.Gui();
  if (QAction* action = gui.MenuAction(window, number)) return action->isEnabled();
  QWidget* widget = gui.ControlWidget(window, number);
  return widget != nullptr && widget->isEnabled();
}

bool QtDriver::Visible(WindowId window, int number) {
  GuiSide& gui = platform_.Gui();
  if (QAction* action = gui.MenuAction(window, number)) return action->isVisible();
  QWidget* widget = gui.ControlWidget(window, number);
  return widget != nullptr && widget->isVisible();
}

std::vector<std::string> QtDriver::MenuPaths(WindowId window) {
  std::vector<std::string> paths;
  QtWindow* w = platform_.Gui().Find(window);
  if (w == nullptr) return paths;
  for (const QtControl& c : w->controls) {
    if (c.blueprint.kind != ControlKind::Item || !c.action || c.action->isSeparator()) continue;
    std::string path = ToWindows1252(c.action->text());
    for (ControlHandle p = c.blueprint.parent; p >= 0;) {
      const QtControl& parent = w->controls[static_cast<std::size_t>(p)];
      if (parent.blueprint.kind != ControlKind::Menu || !parent.menu) break;
      path = ToWindows1252(parent.menu->title()) + "/" + path;
      p = parent.blueprint.parent;
    }
    paths.push_back(path);
  }
  return paths;
}

std::string QtDriver::HelpLineOf(WindowId window, int item_number) {
  QtWindow* w = platform_.Gui().Find(window);
  QAction* action = platform_.Gui().MenuAction(window, item_number);
  if (w == nullptr || action == nullptr || w->status == nullptr) return {};
  // Hovering over an item shows its status tip in the frame's status bar.
  action->showStatusText(w->top);
  QCoreApplication::processEvents();
  return ToWindows1252(w->status->currentMessage());
}

bool QtDriver::Grab(WindowId window, const std::filesystem::path& png) {
  QtWindow* w = platform_.Gui().Find(window);
  if (w == nullptr || !w->top) return false;
  return w->top->grab().save(QString::fromStdString(png.string()), "PNG");
}

bool QtDriver::GrabWithMenu(WindowId window, int item_number, const std::filesystem::path& png) {
  QtWindow* w = platform_.Gui().Find(window);
  QAction* action = platform_.Gui().MenuAction(window, item_number);
  auto* frame = w != nullptr ? qobject_cast<QMainWindow*>(w->top) : nullptr;
  auto* menu = action != nullptr ? qobject_cast<QMenu*>(action->parent()) : nullptr;
  if (frame == nullptr || menu == nullptr) return false;
  QMenuBar* bar = frame->menuBar();
  const QRect title = bar->actionGeometry(menu->menuAction());
  const QPoint at = bar->mapTo(frame, title.bottomLeft());
  menu->popup(frame->mapToGlobal(at));
  menu->setActiveAction(action);
  action->showStatusText(frame);
  QCoreApplication::processEvents();
  // The drop-down is a window of its own: paint it over the frame's picture.
  QPixmap picture = frame->grab();
  {
    QPainter painter(&picture);
    painter.drawPixmap(at, menu->grab());
  }
  menu->hide();
  QCoreApplication::processEvents();
  return picture.save(QString::fromStdString(png.string()), "PNG");
}

bool QtDriver::ChooseMenu(WindowId window, int item_number) {
  QAction* action = platform_.Gui().MenuAction(window, item_number);
  if (action == nullptr || !action->isEnabled() || !action->isVisible() || action->menu() != nullptr) return false;
  // A person reaches the item through its menus: they must be enabled too.
  for (QObject* parent = action->parent(); parent != nullptr; parent = parent->parent()) {
    if (auto* menu = qobject_cast<QMenu*>(parent); menu != nullptr && !menu->isEnabled()) return false;
  }
  action->trigger();
  Settle();
  return true;
}

bool QtDriver::Click(WindowId window, int number) {
  auto* button = qobject_cast<QAbstractButton*>(platform_.Gui().ControlWidget(window, number));
  if (!Reachable(button)) return false;
  button->click();
  Settle();
  return true;
}

bool QtDriver::Type(WindowId window, int number, std::string_view text) {
  QWidget* widget = platform_.Gui().ControlWidget(window, number);
  if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
    if (!Reachable(box) || box->isReadOnly()) return false;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    box->insertPlainText(FromWindows1252(text));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);  // the person moves on
    QApplication::sendEvent(box, &leave);
    Settle();
    return true;
  }
  auto* entry = qobject_cast<QLineEdit*>(widget);
  if (!Reachable(entry) || entry->isReadOnly()) return false;
  entry->setFocus(Qt::OtherFocusReason);
  entry->selectAll();
  entry->insert(FromWindows1252(text));  // as typed: the entry is marked modified
  QMetaObject::invokeMethod(entry, "editingFinished");
  Settle();
  return true;
}

bool QtDriver::SetCheck(WindowId window, int number, bool checked) {
  auto* check = qobject_cast<QAbstractButton*>(platform_.Gui().ControlWidget(window, number));
  if (!Reachable(check) || !check->isCheckable()) return false;
  if (check->isChecked() != checked) check->click();
  Settle();
  return true;
}

bool QtDriver::PickTab(WindowId window, int sheet_number, int tab) {
  auto* sheet = qobject_cast<QTabWidget*>(platform_.Gui().ControlWidget(window, sheet_number));
  if (!Reachable(sheet) || tab < 1 || tab > sheet->count() || !sheet->isTabEnabled(tab - 1)) return false;
  sheet->setCurrentIndex(tab - 1);
  Settle();
  return true;
}

bool QtDriver::PressKey(WindowId window, int number, int qt_key, Qt::KeyboardModifiers modifiers) {
  QWidget* widget = platform_.Gui().ControlWidget(window, number);
  if (!Reachable(widget)) return false;
  if (auto* list = dynamic_cast<ListWidget*>(widget)) widget = list->View();  // the keys go to its view
  widget->setFocus(Qt::OtherFocusReason);
  QKeyEvent press(QEvent::KeyPress, qt_key, modifiers);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, qt_key, modifiers);
  QApplication::sendEvent(widget, &release);
  Settle();
  return true;
}

namespace {
ListWidget* ReachableList(GuiSide& gui, WindowId window, int number) {
  auto* list = dynamic_cast<ListWidget*>(gui.ControlWidget(window, number));
  return Reachable(list) ? list : nullptr;
}
}  // namespace

std::optional<ShownPicture> QtDriver::Picture(WindowId window, int number) {
  QWidget* widget = platform_.Gui().ControlWidget(window, number);
  if (auto* image = dynamic_cast<ImageControl*>(widget)) return ShownPictureOf(image->picture());
  auto* label = qobject_cast<QLabel*>(widget);
  if (label == nullptr) return std::nullopt;
  return ShownPictureOf(label->pixmap());
}

std::optional<ShownList> QtDriver::List(WindowId window, int number) {
  auto* list = dynamic_cast<ListWidget*>(platform_.Gui().ControlWidget(window, number));
  if (list == nullptr) return std::nullopt;
  return list->Shown();
}

bool QtDriver::ClickRow(WindowId window, int list_number, int row, bool right_button) {
  ListWidget* list = ReachableList(platform_.Gui(), window, list_number);
  if (list == nullptr || !list->ClickRow(row, right_button)) return false;
  Settle();
  return true;
}

bool QtDriver::Scroll(WindowId window, int list_number, ScrollAction action) {
  ListWidget* list = ReachableList(platform_.Gui(), window, list_number);
  if (list == nullptr || !list->Scroll(action)) return false;
  Settle();
  return true;
}

bool QtDriver::DragThumb(WindowId window, int list_number, int position) {
  ListWidget* list = ReachableList(platform_.Gui(), window, list_number);
  if (list == nullptr || !list->DragThumb(position)) return false;
  Settle();
  return true;
}

bool QtDriver::TypeChar(WindowId window, int list_number, char character) {
  ListWidget* list = ReachableList(platform_.Gui(), window, list_number);
  if (list == nullptr) return false;
  const auto c = static_cast<unsigned char>(character);
  int qt_key = Qt::Key_unknown;
  if (c >= 'a' && c <= 'z') qt_key = Qt::Key_A + (c - 'a');
  else if (c >= 'A' && c <= 'Z') qt_key = Qt::Key_A + (c - 'A');
  else if (c >= '0' && c <= '9') qt_key = Qt::Key_0 + (c - '0');
  else if (c == ' ') qt_key = Qt::Key_Space;
  else if (c == '\b') qt_key = Qt::Key_Backspace;
  const QString text = FromWindows1252(std::string_view(&character, 1));
  QWidget* view = list->View();
  view->setFocus(Qt::OtherFocusReason);
  QKeyEvent press(QEvent::KeyPress, qt_key, Qt::NoModifier, text);
  QApplication::sendEvent(view, &press);
  QKeyEvent release(QEvent::KeyRelease, qt_key, Qt::NoModifier, text);
  QApplication::sendEvent(view, &release);
  Settle();
  return true;
}

bool QtDriver::Expand(WindowId window, int list_number, int row) {
  ListWidget* list = ReachableList(platform_.Gui(), window, list_number);
  if (list == nullptr || !list->ClickTreeBox(row, TreeBox::Contracted)) return false;
  Settle();
  return true;
}

bool QtDriver::Contract(WindowId window, int list_number, int row) {
  ListWidget* list = ReachableList(platform_.Gui(), window, list_number);
  if (list == nullptr || !list->ClickTreeBox(row, TreeBox::Expanded)) return false;
  Settle();
  return true;
}

bool QtDriver::Close(WindowId window) {
  QtWindow* w = platform_.Gui().Find(window);
  if (w == nullptr || !w->top) return false;
  w->top->close();  // as the close box does
  Settle();
  return true;
}

// Message boxes and popup menus, read and answered as a person would.

namespace {

std::vector<QPushButton*> ButtonsLeftToRight(QWidget* box) {
  std::vector<QPushButton*> buttons;
  if (box == nullptr) return buttons;
  for (QPushButton* button : box->findChildren<QPushButton*>()) buttons.push_back(button);
  std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
  return buttons;
}

// The popup's actions with their paths ("Title/Item"; "-" for a separator).
void PopupActions(QMenu* menu, const QString& prefix, std::vector<std::pair<std::string, QAction*>>& out) {
  if (menu == nullptr) return;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) {
      out.emplace_back(ToWindows1252(prefix) + "-", action);
    } else if (action->menu() != nullptr) {
      PopupActions(action->menu(), prefix + action->text() + QLatin1Char('/'), out);
    } else {
      out.emplace_back(ToWindows1252(prefix + action->text()), action);
    }
  }
}

}  // namespace

std::string QtDriver::MessageCaption() {
  QWidget* box = platform_.Gui().OpenDialog("messageBox");
  return box != nullptr ? ToWindows1252(box->windowTitle()) : std::string();
}

std::string QtDriver::MessageText() {
  QWidget* box = platform_.Gui().OpenDialog("messageBox");
  auto* label = box != nullptr ? box->findChild<QLabel*>(QStringLiteral("text")) : nullptr;
  return label != nullptr ? ToWindows1252(label->text()) : std::string();
}

std::vector<std::string> QtDriver::MessageButtons() {
  std::vector<std::string> texts;
  for (QPushButton* button : ButtonsLeftToRight(platform_.Gui().OpenDialog("messageBox"))) {
    texts.push_back(ToWindows1252(button->text()));
  }
  return texts;
}

std::string QtDriver::MessageDefault() {
  for (QPushButton* button : ButtonsLeftToRight(platform_.Gui().OpenDialog("messageBox"))) {
    if (button->isDefault()) return ToWindows1252(button->text());
  }
  return {};
}

bool QtDriver::PressButton(std::string_view text) {
  for (QPushButton* button : ButtonsLeftToRight(platform_.Gui().OpenDialog("messageBox"))) {
    if (ToWindows1252(button->text()) != text || !Reachable(button)) continue;
    button->click();
    Settle();
    return true;
  }
  return false;
}

bool QtDriver::PressEscape() {
  QWidget* box = platform_.Gui().OpenDialog("messageBox");
  if (box == nullptr) return DismissPopup();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(box, &press);
  Settle();
  return true;
}

std::vector<std::string> QtDriver::PopupItems() {
  std::vector<std::pair<std::string, QAction*>> actions;
  PopupActions(qobject_cast<QMenu*>(platform_.Gui().OpenDialog("popup")), QString(), actions);
  std::vector<std::string> paths;
  for (const auto& [path, action] : actions) paths.push_back(path);
  return paths;
}

bool QtDriver::PopupItemEnabled(std::string_view path) {
  std::vector<std::pair<std::string, QAction*>> actions;
  PopupActions(qobject_cast<QMenu*>(platform_.Gui().OpenDialog("popup")), QString(), actions);
  for (const auto& [item_path, action] : actions) {
    if (item_path == path) return action->isEnabled() && !action->isSeparator();
  }
  return false;
}

bool QtDriver::ChoosePopupItem(std::string_view path) {
  auto* menu = qobject_cast<QMenu*>(platform_.Gui().OpenDialog("popup"));
  std::vector<std::pair<std::string, QAction*>> actions;
  PopupActions(menu, QString(), actions);
  for (const auto& [item_path, action] : actions) {
    if (item_path != path) continue;
    if (!action->isEnabled() || action->isSeparator()) return false;
    action->trigger();
    menu->hide();
    Settle();
    return true;
  }
  return false;
}

bool QtDriver::DismissPopup() {
  auto* menu = qobject_cast<QMenu*>(platform_.Gui().OpenDialog("popup"));
  if (menu == nullptr) return false;
  menu->hide();
  Settle();
  return true;
}

QtProgram::QtProgram(QtPlatform& platform, std::function<void()> main) {
  main_ = std::thread([this, &platform, main = std::move(main)] {
    engine_ = std::make_unique<Engine>(platform);
    ready_ = true;
    engine_->RunMain(main);
    finished_ = true;
  });
  // Creating the engine calls the platform: serve the loop meanwhile.
  while (!ready_) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  driver_ = std::make_unique<QtDriver>(platform, *engine_);
  driver_->Settle();
}

QtProgram::~QtProgram() {
  // A test that stopped early leaves the program running: its threads are
  // asked to end (each ACCEPT loop is left) while the GUI goes on serving.
  if (!finished_) engine_->RequestShutdown();
  WaitUntilFinished();
  main_.join();
  // The engine's last calls to the platform need the loop too.
  RunServingGui([this] { engine_.reset(); });
}

void QtProgram::WaitUntilFinished() {
  while (!driver_->SettleUntil([this] { return finished_.load(); })) {
  }
}

}  // namespace tavero::ui::qt
