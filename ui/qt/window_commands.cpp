// What the engine changes on a whole window: title, status bar, timer,
// stacking and size state.
#include "ui/qt/gui_side.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTimer>

#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

void GuiSide::SetTitle(WindowId window, std::string_view title) {
  if (QtWindow* w = Find(window); w != nullptr && w->top) {
    w->top->setWindowTitle(FromWindows1252(title));
    w->top->setAccessibleName(w->top->windowTitle());
  }
}

void GuiSide::SetStatusText(WindowId window, int zone, std::string_view text) {
  QtWindow* w = Find(window);
  if (w == nullptr || w->status == nullptr) return;
  if (auto* label = w->status->findChild<QLabel*>(QStringLiteral("zone%1").arg(zone))) {
    label->setText(FromWindows1252(text));
  }
}

void GuiSide::StartTimer(WindowId window, int milliseconds) {
  QtWindow* w = Find(window);
  if (w == nullptr) return;
  if (!w->timer) {
    w->timer = new QTimer(this);
    connect(w->timer, &QTimer::timeout, this, [this, window] { Post(MessageKind::Timer, window); });
  }
  w->timer->start(std::max(1, milliseconds));
}

void GuiSide::StopTimer(WindowId window) {
  if (QtWindow* w = Find(window); w != nullptr && w->timer) w->timer->stop();
}

void GuiSide::BringToFront(WindowId window) {
  QtWindow* w = Find(window);
  if (w == nullptr || !w->top) return;
  ++echo_blocked_;
  if (auto* sub = qobject_cast<QMdiSubWindow*>(w->top)) {
    if (sub->mdiArea() != nullptr) sub->mdiArea()->setActiveSubWindow(sub);
  }
  w->top->raise();
  w->top->activateWindow();
  --echo_blocked_;
}

void GuiSide::ApplySysCommand(WindowId window, SysCommand command) {
  QtWindow* w = Find(window);
  if (w == nullptr || !w->top) return;
  switch (command) {
    case SysCommand::Restore: w->top->showNormal(); break;
    case SysCommand::Maximize: w->top->showMaximized(); break;
    case SysCommand::Minimize: w->top->showMinimized(); break;
    case SysCommand::Move:
    case SysCommand::Size: break;  // the user moves and sizes with the window manager
  }
}

}  // namespace tavero::ui::qt
