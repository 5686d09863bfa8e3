// Input translation: what the user does to windows and controls (close box,
// activation, moves, keys, focus) as platform messages to the engine.
#include "ui/qt/gui_side.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "ui/qt/key_codes.h"
#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

void GuiSide::OnFocusChanged(QWidget* now) {
  if (now == nullptr) return;
  const QVariant window = now->property(kWindowProperty);
  const QVariant control = now->property(kControlProperty);
  if (!window.isValid() || !control.isValid()) return;
  Post(MessageKind::Focus, window.toInt(), control.toInt());
}

bool GuiSide::eventFilter(QObject* watched, QEvent* event) {
  const QVariant window_property = watched->property(kWindowProperty);
  if (!window_property.isValid()) return false;
  const WindowId id = window_property.toInt();
  QtWindow* w = Find(id);
  if (w == nullptr) return false;
  if (watched == w->top.data()) {
    switch (event->type()) {
      case QEvent::Close:
        if (w->closing) return false;
        event->ignore();  // the engine decides, and closes the window itself
        Post(MessageKind::Close, id);
        return true;
      case QEvent::WindowActivate:
        Post(MessageKind::Activate, id);
        return false;
      case QEvent::Move:
        if (event->spontaneous() && (w->blueprint.attributes & definitions::entry_attribute::kImmediate)) {
          Post(MessageKind::Moved, id);
        }
        return false;
      case QEvent::Resize:
        if (event->spontaneous() && (w->blueprint.attributes & definitions::entry_attribute::kImmediate)) {
          Post(MessageKind::Sized, id);
        }
        return false;
      case QEvent::WindowStateChange: {
        const Qt::WindowStates states = w->top->windowState();
        const int state = states & Qt::WindowMinimized   ? kSizeIconized
                          : states & Qt::WindowMaximized ? kSizeMaximized
                                                         : kSizeNormal;
        Post(MessageKind::SizeStateChanged, id, kNoControl, state);
        return false;
      }
      default:
        return false;
    }
  }
  if (event->type() == QEvent::FocusOut) {
    auto* box = qobject_cast<QPlainTextEdit*>(watched);
    const QVariant control = watched->property(kControlProperty);
    if (box != nullptr && control.isValid() && box->document()->isModified()) {
      box->document()->setModified(false);
      PostText(id, control.toInt(), box->toPlainText());
    }
    return false;
  }
  if (qobject_cast<QPlainTextEdit*>(watched) != nullptr) return false;  // keys stay with the text box
  if (event->type() == QEvent::KeyPress) {
    const QVariant control = watched->property(kControlProperty);
    auto* key = static_cast<QKeyEvent*>(event);
    const int code = KeyCode(key->key(), static_cast<int>(key->modifiers()));
    if (!control.isValid() || code == 0) return false;
    const QString text = key->text();
    PostKey(id, control.toInt(), code, text.size() == 1 ? static_cast<unsigned char>(ToWindows1252(text)[0]) : 0);
    // Keys that move through the rows stay with the list; others go to the procedure only.
    return false;
  }
  return false;
}

}  // namespace tavero::ui::qt
