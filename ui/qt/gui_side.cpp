// The GUI side's core: the thread it serves, the calls carried onto it, and
// the messages it posts to the engine.
#include "ui/qt/gui_side.h"

#include <QApplication>
#include <QPrinter>
#include <QThread>
#include <QWidget>

#include <cassert>

#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

bool Unattended() {
  const QString name = QGuiApplication::platformName();
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

GuiSide::GuiSide(std::filesystem::path help_page) : help_page_(std::move(help_page)) {
  assert(QApplication::instance() != nullptr);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
}

// Windows go top first (the newest ids first): a child before its owner.
GuiSide::~GuiSide() {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    it->second->closing = true;
    if (it->second->top) delete it->second->top.data();
  }
  for (auto& [id, dialog] : dialogs_) {
    if (dialog) delete dialog.data();
  }
}

bool GuiSide::OnGuiThread() const { return QThread::currentThread() == thread(); }

void GuiSide::Run(const std::function<void()>& work) {
  if (OnGuiThread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void GuiSide::Attach(MessageSink* sink) {
  assert(OnGuiThread());
  sink_ = sink;
}

void GuiSide::Post(PlatformMessage message) {
  if (sink_ == nullptr || echo_blocked_ != 0) return;
  ++posted_;
  sink_->Post(std::move(message));
}

void GuiSide::PostReport(PlatformMessage message) {
  if (sink_ == nullptr) return;
  ++posted_;
  sink_->Post(std::move(message));
}

void GuiSide::Post(MessageKind kind, WindowId window, ControlHandle control, int value) {
  Post(MakeMessage(kind, window, control, value));
}

void GuiSide::PostText(WindowId window, ControlHandle control, const QString& text) {
  PlatformMessage m = MakeMessage(MessageKind::Edit, window, control);
  m.text = ToWindows1252(text);
  Post(std::move(m));
}

void GuiSide::PostKey(WindowId window, ControlHandle control, int key_code, int key_char) {
  PlatformMessage m = MakeMessage(MessageKind::Key, window, control);
  m.key_code = key_code;
  m.key_char = key_char;
  Post(std::move(m));
}

}  // namespace tavero::ui::qt
