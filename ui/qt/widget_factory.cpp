// The widget factory: a window's controls as Qt widgets on its client, placed
// by dialog units, and the tab pages that show and hide them.
#include "ui/qt/gui_side.h"
#include "ui/qt/image_control.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>

#include "pictures/picture.h"
#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

using definitions::control_attribute::kDefault;
using definitions::control_attribute::kReadOnly;

namespace {

bool ShowsContents(ControlKind kind) {
  return kind == ControlKind::Entry || kind == ControlKind::Text || kind == ControlKind::Combo ||
         kind == ControlKind::Spin || kind == ControlKind::List;
}

// The picture's width and whether it shows a number; width 0 without one.
struct EntryPicture {
  int width = 0;
  bool numeric = false;
};
EntryPicture EntryPictureOf(const ControlSpec& s) {
  pictures::CompiledPicture picture;
  if (s.picture.empty() || pictures::CompilePicture(s.picture, picture) == 0) return {};
  return {picture.width(),
          picture.type() == pictures::PictureType::Numeric || picture.type() == pictures::PictureType::Scientific};
}

}  // namespace

// What a screen reader calls the control: its text ("&" left out), for a
// control showing contents the prompt before it, else its tip, else its
// kind and number.
QString GuiSide::AccessibleNameOf(const QtWindow& w, const QtControl& c) {
  const ControlSpec& s = c.blueprint;
  auto plain = [](const std::string& text) { return FromWindows1252(text).remove(QLatin1Char('&')); };
  if (ShowsContents(s.kind)) {
    for (std::size_t k = static_cast<std::size_t>(s.handle); k-- > 0;) {
      const ControlSpec& before = w.controls[k].blueprint;
      if (before.kind == ControlKind::Prompt && !before.text.empty()) return plain(before.text);
      if (ShowsContents(before.kind) || before.kind == ControlKind::Button) break;
    }
  } else if (!s.text.empty() && s.kind != ControlKind::Image) {
    return plain(s.text);
  }
  if (!s.tip.empty()) return plain(s.tip);
  return QStringLiteral("Control %1").arg(s.number);
}

void GuiSide::BuildControls(QtWindow& w) {
  for (QtControl& c : w.controls) {
    const ControlKind kind = c.blueprint.kind;
    if (kind == ControlKind::MenuBar || kind == ControlKind::Menu || kind == ControlKind::Item) continue;
    QWidget* widget = MakeControl(w, c, w.client);
    if (widget == nullptr) continue;
    c.widget = widget;
    widget->setProperty(kWindowProperty, w.blueprint.id);
    widget->setProperty(kControlProperty, c.blueprint.handle);
    widget->setToolTip(FromWindows1252(c.blueprint.tip));
    widget->setStatusTip(FromWindows1252(c.blueprint.message));
    widget->setAccessibleName(AccessibleNameOf(w, c));
    widget->setAccessibleDescription(FromWindows1252(c.blueprint.message));
    if (c.blueprint.font) widget->setFont(FontOf(c.blueprint.font, w.client->font()));
    widget->setEnabled(c.blueprint.enabled);
    if (kind != ControlKind::Tab) Place(w, c);
    widget->setVisible(c.blueprint.visible && kind != ControlKind::Tab);
  }
  // Controls on tab pages show only while their page is chosen.
  for (QtControl& c : w.controls) {
    if (c.blueprint.kind == ControlKind::Sheet) ShowTabPage(w, c.blueprint.handle, std::max(0, c.blueprint.value - 1));
  }
}

void GuiSide::Place(QtWindow& w, QtControl& c) {
  const Rect& p = c.blueprint.position;
  QWidget* widget = c.widget;
  const int x = static_cast<int>(p.x * w.units.x);
  const int y = static_cast<int>(p.y * w.units.y);
  int width = static_cast<int>(p.width * w.units.x);
  int height = static_cast<int>(p.height * w.units.y);
  if (width <= 0 || height <= 0) {
    const QSize hint = widget->sizeHint();
    if (width <= 0) width = hint.width();
    if (height <= 0) height = hint.height();
  }
  widget->setGeometry(x, y, width, height);
  widget->raise();
}

QWidget* GuiSide::MakeControl(QtWindow& w, QtControl& c, QWidget* parent) {
  const ControlSpec& s = c.blueprint;
  const WindowId id = w.blueprint.id;
  const ControlHandle handle = s.handle;
  const QString text = FromWindows1252(s.text);
  switch (s.kind) {
    case ControlKind::String:
    case ControlKind::Prompt:
    case ControlKind::Field:
      return new QLabel(text, parent);
    case ControlKind::Image: {
      // The engine sends its picture (SetImage) or page (SetPage).
      auto* image = new ImageControl(parent);
      image->setAccessibleName(s.tip.empty() ? QStringLiteral("Picture") : FromWindows1252(s.tip));
      return image;
    }
    case ControlKind::Box:
    case ControlKind::Region: {
      auto* frame = new QFrame(parent);
      frame->setFrameShape(s.kind == ControlKind::Box ? QFrame::Box : QFrame::NoFrame);
      return frame;
    }
    case ControlKind::Line: {
      auto* frame = new QFrame(parent);
      frame->setFrameShape(s.position.height == 0 ? QFrame::HLine : QFrame::VLine);
      return frame;
    }
    case ControlKind::Group:
    case ControlKind::Option:
      return new QGroupBox(text, parent);
    case ControlKind::Button: {
      auto* button = new QPushButton(text, parent);
      button->setDefault((s.attributes & kDefault) != 0);
      button->setAutoDefault(false);
      connect(button, &QPushButton::clicked, this, [this, id, handle] { Post(MessageKind::Command, id, handle); });
      return button;
    }
    case ControlKind::Entry: {
      auto* entry = new QLineEdit(text, parent);
      entry->setReadOnly((s.attributes & kReadOnly) != 0);
      // No more characters than the picture shows; numbers to the right.
      if (const EntryPicture picture = EntryPictureOf(s); picture.width > 0) {
        entry->setMaxLength(picture.width);
        if (picture.numeric) entry->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
      connect(entry, &QLineEdit::editingFinished, this, [this, id, handle, entry] {
        if (!entry->isModified()) return;
        entry->setModified(false);
        PostText(id, handle, entry->text());
      });
      return entry;
    }
    case ControlKind::Text: {
      auto* box = new QPlainTextEdit(text, parent);
      box->setReadOnly((s.attributes & kReadOnly) != 0);
      box->document()->setModified(false);
      // The edit reaches the engine when the box loses the focus (see
      // eventFilter); the text is held to the field's length.
      box->installEventFilter(this);
      if (const int limit = EntryPictureOf(s).width; limit > 0) {
        // What goes past the limit is cut off in place: setting the whole
        // text again would mark the box unmodified, and the edit would
        // never reach the engine.
        connect(box, &QPlainTextEdit::textChanged, this, [box, limit] {
          if (box->toPlainText().size() <= limit) return;
          const QSignalBlocker blocker(box);
          QTextCursor cut(box->document());
          cut.setPosition(limit);
          cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
          cut.removeSelectedText();
        });
      }
      return box;
    }
    case ControlKind::Check: {
      auto* check = new QCheckBox(text, parent);
      check->setChecked(s.value != 0);
      connect(check, &QCheckBox::toggled, this,
              [this, id, handle](bool on) { Post(MessageKind::Check, id, handle, on ? 1 : 0); });
      return check;
    }
    case ControlKind::Radio: {
      auto* radio = new QRadioButton(text, parent);
      radio->setChecked(s.value != 0);
      connect(radio, &QRadioButton::toggled, this, [this, id, handle](bool on) {
        if (on) Post(MessageKind::Check, id, handle, 1);
      });
      return radio;
    }
    case ControlKind::List:
      return MakeList(w, c, parent);
    case ControlKind::Combo: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(false);
      connect(combo, &QComboBox::activated, this,
              [this, id, handle, combo](int) { PostText(id, handle, combo->currentText()); });
      return combo;
    }
    case ControlKind::Spin: {
      auto* spin = new QSpinBox(parent);
      spin->setRange(s.low, s.high > s.low ? s.high : 1000000);
      spin->setValue(s.value);
      connect(spin, &QSpinBox::valueChanged, this,
              [this, id, handle](int value) { Post(MessageKind::Check, id, handle, value); });
      return spin;
    }
    case ControlKind::Progress: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(s.low, s.high > s.low ? s.high : 100);
      bar->setValue(s.value);
      return bar;
    }
    case ControlKind::Sheet: {
      auto* sheet = new QTabWidget(parent);
      for (const QtControl& tab : w.controls) {
        if (tab.blueprint.kind == ControlKind::Tab && tab.blueprint.parent == handle) {
          sheet->addTab(new QWidget, FromWindows1252(tab.blueprint.text));
        }
      }
      connect(sheet, &QTabWidget::currentChanged, this, [this, id, handle](int index) {
        if (QtWindow* window = Find(id)) ShowTabPage(*window, handle, index);
        if (index >= 0) Post(MessageKind::TabSelect, id, handle, index + 1);
      });
      return sheet;
    }
    case ControlKind::Tab:
      return new QWidget(parent);  // stands for the page; its controls sit on the client
    default:
      return nullptr;  // menus and report bands have no widget here
  }
}


// Shows the controls of tab `index` of `sheet` and hides those of the other
// tabs. Controls on a tab are children of the client at window positions.
void GuiSide::ShowTabPage(QtWindow& w, ControlHandle sheet, int index) {
  int tab_number = -1;
  for (QtControl& tab : w.controls) {
    if (tab.blueprint.kind != ControlKind::Tab || tab.blueprint.parent != sheet) continue;
    ++tab_number;
    const bool shown = tab_number == index;
    // Every control whose chain of parents leads to this tab.
    for (QtControl& c : w.controls) {
      ControlHandle p = c.blueprint.parent;
      bool inside = false;
      for (int guard = 0; p >= 0 && guard < 64; ++guard) {
        if (p == tab.blueprint.handle) {
          inside = true;
          break;
        }
        p = w.controls[static_cast<std::size_t>(p)].blueprint.parent;
      }
      if (inside && c.widget) c.widget->setVisible(shown && c.blueprint.visible);
    }
  }
}

}  // namespace tavero::ui::qt
