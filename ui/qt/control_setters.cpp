// What the engine changes on a control: text, help line, value, range,
// enabled and visible state, focus.
#include "ui/qt/gui_side.h"
#include "ui/qt/image_control.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextDocument>

#include "ui/qt/decoded_pictures.h"
#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

void GuiSide::SetText(WindowId window, ControlHandle control, std::string_view text) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr) return;
  const QString t = FromWindows1252(text);
  c->blueprint.text = std::string(text);
  if (c->blueprint.kind == ControlKind::Image) return;  // its picture is sent apart (SetImage)
  const QSignalBlocker blocker(c->widget.data());
  ++echo_blocked_;
  if (c->action) {
    c->action->setText(ShownMenuText(*Find(window), *c, t));
  } else if (auto* label = qobject_cast<QLabel*>(c->widget)) {
    label->setText(t);
  } else if (auto* button = qobject_cast<QAbstractButton*>(c->widget)) {
    button->setText(t);
  } else if (auto* entry = qobject_cast<QLineEdit*>(c->widget)) {
    entry->setText(t);
    entry->setModified(false);
  } else if (auto* box = qobject_cast<QPlainTextEdit*>(c->widget)) {
    box->setPlainText(t);
    box->document()->setModified(false);
  } else if (auto* group = qobject_cast<QGroupBox*>(c->widget)) {
    group->setTitle(t);
  } else if (auto* combo = qobject_cast<QComboBox*>(c->widget)) {
    combo->setCurrentText(t);
  } else if (c->blueprint.kind == ControlKind::Tab) {
    if (QtControl* sheet = ControlOf(window, c->blueprint.parent)) {
      if (auto* tabs = qobject_cast<QTabWidget*>(sheet->widget)) {
        int index = -1;
        for (QtControl& tab : Find(window)->controls) {
          if (tab.blueprint.kind == ControlKind::Tab && tab.blueprint.parent == c->blueprint.parent) ++index;
          if (&tab == c) break;
        }
        tabs->setTabText(index, t);
      }
    }
  }
  --echo_blocked_;
}

// An image control shows the picture the engine decoded; its text (a file
// name) is never shown.
void GuiSide::SetImage(WindowId window, ControlHandle control, const images::Image& picture) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr || c->blueprint.kind != ControlKind::Image) return;
  if (auto* image = dynamic_cast<ImageControl*>(c->widget.data())) image->ShowPicture(PixmapOf(picture));
}

void GuiSide::SetPage(WindowId window, ControlHandle control, const images::Metafile& page) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr || c->blueprint.kind != ControlKind::Image) return;
  if (auto* image = dynamic_cast<ImageControl*>(c->widget.data())) image->ShowPage(page);
}

void GuiSide::SetMessage(WindowId window, ControlHandle control, std::string_view message) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr) return;
  c->blueprint.message = std::string(message);
  if (c->action) c->action->setStatusTip(FromWindows1252(message));
  if (c->widget) c->widget->setStatusTip(FromWindows1252(message));
}

void GuiSide::SetValue(WindowId window, ControlHandle control, int value) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr || !c->widget) return;
  c->blueprint.value = value;
  QWidget* widget = c->widget;
  ++echo_blocked_;
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setChecked(value != 0);
  } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
    bar->setValue(value);
  } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
    spin->setValue(value);
  } else if (c->blueprint.kind == ControlKind::List) {
    SelectListRow(widget, value);
  } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
    tabs->setCurrentIndex(value - 1);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    combo->setCurrentIndex(value - 1);
  }
  --echo_blocked_;
}

void GuiSide::SetRange(WindowId window, ControlHandle control, int low, int high) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr || !c->widget) return;
  c->blueprint.low = low;
  c->blueprint.high = high;
  ++echo_blocked_;
  if (auto* bar = qobject_cast<QProgressBar*>(c->widget)) bar->setRange(low, high);
  if (auto* spin = qobject_cast<QSpinBox*>(c->widget)) spin->setRange(low, high);
  --echo_blocked_;
}

void GuiSide::SetEnabled(WindowId window, ControlHandle control, bool enabled) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr) return;
  c->blueprint.enabled = enabled;
  if (c->action) c->action->setEnabled(enabled);
  if (c->widget) c->widget->setEnabled(enabled);
}

void GuiSide::SetVisible(WindowId window, ControlHandle control, bool visible) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr) return;
  c->blueprint.visible = visible;
  if (c->action) c->action->setVisible(visible);
  if (c->widget && c->blueprint.kind != ControlKind::Tab) {
    c->widget->setVisible(visible);
    // A control on a tab page that is not chosen stays out of sight.
    if (QtWindow* w = Find(window)) {
      for (QtControl& sheet : w->controls) {
        if (sheet.blueprint.kind != ControlKind::Sheet) continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(sheet.widget)) ShowTabPage(*w, sheet.blueprint.handle, tabs->currentIndex());
      }
    }
  }
}

void GuiSide::SetFocus(WindowId window, ControlHandle control) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr || !c->widget) return;
  ++echo_blocked_;
  c->widget->setFocus(Qt::OtherFocusReason);
  --echo_blocked_;
}

}  // namespace tavero::ui::qt
