// Message boxes and popup menus on the GUI thread. Neither blocks it: the box
// or menu is shown, and its answer is posted to the engine when it closes.
#include "ui/qt/gui_side.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <cassert>

#include "ui/message_box.h"

namespace tavero::ui::qt {
namespace {

// The box's font: 8 points of the classic dialog face (the nearest the
// desktop has).
QFont MessageFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSize(8);
  font.setWeight(QFont::Normal);
  return font;
}

QPixmap IconPixmap(const MessageIcon& icon, int size) {
  QStyle* style = QApplication::style();
  auto stock = [&](QStyle::StandardPixmap which) { return style->standardIcon(which).pixmap(size, size); };
  switch (icon.kind) {
    case MessageIcon::Kind::None: return {};
    case MessageIcon::Kind::Stock:
      switch (icon.number) {
        case kStockStopIcon: return stock(QStyle::SP_MessageBoxCritical);
        case kStockQuestionIcon: return stock(QStyle::SP_MessageBoxQuestion);
        case kStockExclamationIcon: return stock(QStyle::SP_MessageBoxWarning);
        case kStockAsteriskIcon: return stock(QStyle::SP_MessageBoxInformation);
        default: break;
      }
      break;
    case MessageIcon::Kind::File: {
      QPixmap file(FromWindows1252(icon.name));
      if (!file.isNull()) return file.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
      break;
    }
    case MessageIcon::Kind::Resource:
    case MessageIcon::Kind::NamedResource: break;
  }
  // What cannot be loaded shows the program's own icon.
  const QIcon program = QApplication::windowIcon();
  return program.isNull() ? stock(QStyle::SP_MessageBoxInformation) : program.pixmap(size, size);
}

QString ButtonText(int bit) {
  for (const ButtonRow& row : ButtonTable()) {
    if (row.bit == bit) return FromWindows1252(row.text);
  }
  return {};
}

QRect Pixels(const Rect& r, DialogUnits units) {
  return QRect(static_cast<int>(r.x * units.x), static_cast<int>(r.y * units.y), static_cast<int>(r.width * units.x),
               static_cast<int>(r.height * units.y));
}

}  // namespace

void GuiSide::ShowMessageBox(WindowId dialog, const MessageBoxSpec& box) {
  assert(OnGuiThread());
  QtWindow* owner = Find(box.owner);
  QWidget* owner_top = owner != nullptr && owner->top ? owner->top->window() : QApplication::activeWindow();
  auto* window = new QDialog(owner_top, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                            Qt::WindowCloseButtonHint);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setObjectName(QStringLiteral("messageBox"));
  window->setWindowTitle(FromWindows1252(box.caption));
  window->setAccessibleName(window->windowTitle());
  window->setWindowModality(box.system_modal || owner_top == nullptr ? Qt::ApplicationModal : Qt::WindowModal);
  const QFont font = MessageFont();
  window->setFont(font);
  const DialogUnits units = DialogUnitsOf(font);

  // The text wrapped at words within the wrap width, "&" shown as it is.
  QString text = FromWindows1252(box.text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QRect measured = QFontMetrics(font).boundingRect(
      QRect(0, 0, static_cast<int>(kMessageWrapWidth * units.x), 100000), Qt::TextWordWrap, text);
  const int text_width = static_cast<int>(measured.width() / units.x) + 1 + 10;
  const int text_height = static_cast<int>(measured.height() / units.y) + 1;
  const int icon_pixels = QApplication::style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  const bool has_icon = box.icon.kind != MessageIcon::Kind::None;
  const MessageBoxLayout layout =
      LayOutMessageBox(text_width, text_height, has_icon ? static_cast<int>(icon_pixels / units.x) + 1 : 0,
                       has_icon ? static_cast<int>(icon_pixels / units.y) + 1 : 0, static_cast<int>(box.buttons.size()));

  if (has_icon) {
    auto* icon = new QLabel(window);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(IconPixmap(box.icon, icon_pixels));
    icon->setGeometry(Pixels(layout.icon, units));
    icon->setAccessibleName(QStringLiteral("Icon"));
  }
  auto* label = new QLabel(text, window);
  label->setObjectName(QStringLiteral("text"));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(Pixels(layout.text, units));
  label->setAccessibleName(text);
  for (std::size_t k = 0; k < box.buttons.size() && k < layout.buttons.size(); ++k) {
    const int bit = box.buttons[k];
    auto* button = new QPushButton(ButtonText(bit), window);
    button->setObjectName(QStringLiteral("button%1").arg(bit));
    button->setAccessibleName(button->text().remove(QLatin1Char('&')));
    button->setGeometry(Pixels(layout.buttons[k], units));
    button->setAutoDefault(false);
    if (bit == box.default_button) {
      button->setDefault(true);
      button->setFocus(Qt::OtherFocusReason);
    }
    connect(button, &QPushButton::clicked, window, [window, bit] { window->done(bit); });
  }
  window->setFixedSize(Pixels(Rect{0, 0, layout.width, layout.height}, units).size());
  // Every button answers its bit (never 0); Escape and the close box reject: Cancel's bit.
  connect(window, &QDialog::finished, this, [this, dialog](int result) {
    FinishDialog(dialog, result == QDialog::Rejected ? kEscapeAnswer : result);
  });
  dialogs_[dialog] = window;

  // Centred over the frame when it shows, else over the owner, else the screen; kept on the screen.
  QWidget* over = owner_top;
  for (const auto& [id, w] : windows_) {
    if (w->blueprint.type == WindowType::Application && w->top && w->top->isVisible()) over = w->top;
  }
  const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
  const QRect area = over != nullptr ? over->frameGeometry() : screen;
  QPoint at = area.center() - QPoint(window->width() / 2, window->height() / 2);
  at.setX(std::max(0, std::min(at.x(), screen.right() - window->width())));
  at.setY(std::max(0, std::min(at.y(), screen.bottom() - window->height())));
  window->move(at);
  window->show();
}

// Items go into `menu` with their numbers; a greyed item is disabled.
void GuiSide::AddPopupItems(WindowId dialog, QMenu* menu, const std::vector<PopupItem>& items) {
  for (const PopupItem& item : items) {
    switch (item.kind) {
      case PopupItem::Kind::Separator: menu->addSeparator(); break;
      case PopupItem::Kind::Submenu: {
        QMenu* sub = menu->addMenu(FromWindows1252(item.text));
        sub->setEnabled(!item.greyed);
        AddPopupItems(dialog, sub, item.items);
        break;
      }
      case PopupItem::Kind::Item: {
        QAction* action = menu->addAction(FromWindows1252(item.text));
        action->setEnabled(!item.greyed);
        if (item.checked) {
          action->setCheckable(true);
          action->setChecked(true);
        }
        const int number = item.number;
        connect(action, &QAction::triggered, this, [this, dialog, number] { FinishDialog(dialog, number); });
        break;
      }
    }
  }
}

void GuiSide::ShowPopup(WindowId dialog, const PopupSpec& popup) {
  assert(OnGuiThread());
  QtWindow* owner = Find(popup.owner);
  auto* menu = new QMenu(owner != nullptr && owner->top ? owner->top->window() : nullptr);
  menu->setObjectName(QStringLiteral("popup"));
  menu->setAccessibleName(QStringLiteral("Popup menu"));
  AddPopupItems(dialog, menu, popup.items);
  // A menu closes before its chosen item fires: the dismissal waits a turn
  // of the loop, and answers 0 only when no item did.
  QPointer<QMenu> guarded(menu);
  connect(menu, &QMenu::aboutToHide, this, [this, dialog, guarded] {
    QTimer::singleShot(0, this, [this, dialog, guarded] {
      FinishDialog(dialog, 0);
      if (guarded) guarded->deleteLater();
    });
  });
  dialogs_[dialog] = menu;
  const QPoint pointer = QCursor::pos();
  menu->popup(QPoint(popup.x == kAtPointer ? pointer.x() : popup.x, popup.y == kAtPointer ? pointer.y() : popup.y));
}

void GuiSide::FinishDialog(WindowId dialog, int answer) {
  auto found = dialogs_.find(dialog);
  if (found == dialogs_.end()) return;  // answered already, or taken away
  dialogs_.erase(found);
  Post(MessageKind::DialogAnswer, dialog, kNoControl, answer);
}

void GuiSide::EndDialog(WindowId dialog) {
  assert(OnGuiThread());
  auto found = dialogs_.find(dialog);
  if (found == dialogs_.end()) return;
  QPointer<QWidget> widget = found->second;
  dialogs_.erase(found);
  if (widget) widget->close();
}

QWidget* GuiSide::OpenDialog(const char* kind) const {
  QWidget* front = nullptr;
  for (const auto& [id, widget] : dialogs_) {
    if (widget && widget->objectName() == QLatin1String(kind)) front = widget;
  }
  return front;
}

}  // namespace tavero::ui::qt
