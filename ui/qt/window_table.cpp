// The window table of the GUI side: opening a window with its menu and
// controls, finding windows and controls, closing them.
#include "ui/qt/gui_side.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cassert>

#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

using definitions::kDefaultCoordinate;

QtWindow* GuiSide::Find(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.get();
}

QtControl* GuiSide::ControlOf(WindowId window, ControlHandle control) {
  QtWindow* w = Find(window);
  if (w == nullptr || control < 0 || static_cast<std::size_t>(control) >= w->controls.size()) return nullptr;
  return &w->controls[static_cast<std::size_t>(control)];
}

std::vector<WindowId> GuiSide::OpenWindows() const {
  std::vector<WindowId> ids;
  for (const auto& [id, w] : windows_) ids.push_back(id);
  return ids;
}

QWidget* GuiSide::ControlWidget(WindowId window, int number) {
  QtWindow* w = Find(window);
  if (w == nullptr) return nullptr;
  for (QtControl& c : w->controls) {
    if (c.blueprint.number == number && c.widget && c.blueprint.kind != ControlKind::Item) return c.widget;
  }
  return nullptr;
}

QAction* GuiSide::MenuAction(WindowId window, int number) {
  QtWindow* w = Find(window);
  if (w == nullptr) return nullptr;
  for (QtControl& c : w->controls) {
    if (c.blueprint.number == number && c.action) return c.action;
  }
  return nullptr;
}

bool GuiSide::Open(const WindowSpec& blueprint) {
  assert(OnGuiThread());
  if (windows_.count(blueprint.id) != 0) return false;
  auto window = std::make_unique<QtWindow>();
  QtWindow& w = *window;
  w.blueprint = blueprint;
  w.controls.resize(blueprint.controls.size());
  for (std::size_t i = 0; i < blueprint.controls.size(); ++i) w.controls[i].blueprint = blueprint.controls[i];

  QWidget* owner_top = nullptr;
  if (QtWindow* owner = Find(blueprint.owner)) owner_top = owner->top;

  const QFont font = FontOf(blueprint.font, QApplication::font());
  w.units = DialogUnitsOf(font);
  const QSize client_size(static_cast<int>(blueprint.position.width * w.units.x),
                          static_cast<int>(blueprint.position.height * w.units.y));

  switch (blueprint.type) {
    case WindowType::Application: {
      auto* frame = new QMainWindow;
      w.mdi = new QMdiArea(frame);
      w.mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      w.mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      frame->setCentralWidget(w.mdi);
      w.client = w.mdi;
      w.top = frame;
      BuildMenus(w, frame->menuBar());
      if (blueprint.status_zones > 0) AddStatusZones(w, frame->statusBar());
      frame->resize(client_size.expandedTo(QSize(320, 200)));
      break;
    }
    case WindowType::MdiChild: {
      QtWindow* frame = Find(blueprint.owner);
      if (frame == nullptr || frame->mdi == nullptr) return false;
      auto* sub = new QMdiSubWindow;
      sub->setWidget(ClientWithMenu(w, client_size));
      sub->setAttribute(Qt::WA_DeleteOnClose, false);
      frame->mdi->addSubWindow(sub);
      w.top = sub;
      break;
    }
    case WindowType::Plain: {
      // Not a Qt child of its owner: the engine, not Qt, decides when it goes.
      auto* dialog = new QWidget(nullptr, Qt::Dialog);
      auto* layout = new QVBoxLayout(dialog);
      layout->setContentsMargins(0, 0, 0, 0);
      layout->addWidget(ClientWithMenu(w, client_size));
      w.top = dialog;
      if (blueprint.modal) dialog->setWindowModality(Qt::ApplicationModal);
      break;
    }
  }
  w.client->setFont(font);
  w.top->setWindowTitle(FromWindows1252(blueprint.title));
  w.top->setAccessibleName(w.top->windowTitle());
  if (blueprint.type == WindowType::Plain && owner_top != nullptr) {
    w.top->winId();  // makes the native window, to stack it over its owner's
    if (QWindow* handle = w.top->windowHandle()) handle->setTransientParent(owner_top->window()->windowHandle());
  }
  w.top->setProperty(kWindowProperty, blueprint.id);
  w.top->installEventFilter(this);
  if (blueprint.type != WindowType::Application) BuildControls(w);

  // Position: default coordinates centre the window on its screen, in the
  // frame's MDI area, or over its owner.
  if (blueprint.type != WindowType::Application) {
    w.top->adjustSize();
    QRect area = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
    if (blueprint.type == WindowType::MdiChild) area = QRect(QPoint(0, 0), Find(blueprint.owner)->mdi->viewport()->size());
    else if (owner_top != nullptr) area = owner_top->frameGeometry();
    const QSize size = w.top->frameSize();
    const int x = blueprint.position.x == kDefaultCoordinate ? area.x() + (area.width() - size.width()) / 2
                                                         : area.x() + static_cast<int>(blueprint.position.x * w.units.x);
    const int y = blueprint.position.y == kDefaultCoordinate ? area.y() + (area.height() - size.height()) / 2
                                                         : area.y() + static_cast<int>(blueprint.position.y * w.units.y);
    w.top->move(std::max(0, x), std::max(0, y));
  }
  QWidget* top = w.top;
  const std::uint32_t size_state = blueprint.state & definitions::window_state::kSizeMask;
  windows_[blueprint.id] = std::move(window);
  ++echo_blocked_;
  if (size_state == definitions::window_state::kMaximized) {
    top->showMaximized();
  } else if (size_state == definitions::window_state::kIconized) {
    top->showMinimized();
  } else {
    top->show();
  }
  if (blueprint.type == WindowType::MdiChild) Find(blueprint.owner)->mdi->setActiveSubWindow(static_cast<QMdiSubWindow*>(top));
  top->raise();
  top->activateWindow();
  --echo_blocked_;
  return true;
}

// The widget that holds a child or plain window's controls: the client of
// the definition's size, under a menu bar when the window has menus.
QWidget* GuiSide::ClientWithMenu(QtWindow& w, QSize client_size) {
  w.client = new QWidget;
  w.client->setFixedSize(client_size);
  bool has_menu = false;
  for (const QtControl& c : w.controls) has_menu = has_menu || c.blueprint.kind == ControlKind::MenuBar;
  if (!has_menu && w.blueprint.status_zones <= 0) return w.client;
  auto* holder = new QWidget;
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (has_menu) {
    auto* bar = new QMenuBar(holder);
    layout->setMenuBar(bar);
    BuildMenus(w, bar);
  }
  layout->addWidget(w.client);
  if (w.blueprint.status_zones > 0) {
    auto* status = new QStatusBar(holder);
    status->setSizeGripEnabled(false);
    layout->addWidget(status);
    AddStatusZones(w, status);
  }
  return holder;
}

void GuiSide::Close(WindowId window) {
  assert(OnGuiThread());
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  std::unique_ptr<QtWindow> w = std::move(it->second);
  windows_.erase(it);
  w->closing = true;
  if (w->timer) {
    w->timer->stop();
    w->timer->deleteLater();
  }
  if (w->top) {
    w->top->removeEventFilter(this);
    w->top->hide();
    w->top->deleteLater();
  }
}

// The status bar's zones: labels "zone1" ... , the first one stretching.
void GuiSide::AddStatusZones(QtWindow& w, QStatusBar* status) {
  w.status = status;
  status->setAccessibleName(QStringLiteral("Status bar"));
  for (int zone = 1; zone <= w.blueprint.status_zones; ++zone) {
    auto* label = new QLabel(status);
    label->setObjectName(QStringLiteral("zone%1").arg(zone));
    label->setAccessibleName(QStringLiteral("Status zone %1").arg(zone));
    status->addWidget(label, zone == 1 ? 1 : 0);
  }
}

}  // namespace tavero::ui::qt
