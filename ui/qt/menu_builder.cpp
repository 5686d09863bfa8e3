// Menu bars, menus and menu items of a window as QMenus and QActions.
#include "ui/qt/gui_side.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/qt/key_codes.h"
#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

using definitions::control_attribute::kSeparator;

// An item placed directly on the menu bar ends its text with "!", which is
// not shown (the text property keeps it).
QString ShownMenuText(const QtWindow& w, const QtControl& c, QString text) {
  const ControlHandle parent = c.blueprint.parent;
  const bool in_menu = parent >= 0 && static_cast<std::size_t>(parent) < w.controls.size() &&
                       w.controls[static_cast<std::size_t>(parent)].blueprint.kind == ControlKind::Menu;
  if (c.blueprint.kind == ControlKind::Item && !in_menu && text.endsWith(QLatin1Char('!'))) text.chop(1);
  return text;
}

void GuiSide::BuildMenus(QtWindow& w, QMenuBar* bar) {
  for (QtControl& c : w.controls) {
    const ControlSpec& s = c.blueprint;
    if (s.kind != ControlKind::Menu && s.kind != ControlKind::Item) continue;
    const bool has_parent = s.parent >= 0 && static_cast<std::size_t>(s.parent) < w.controls.size();
    QMenu* parent_menu = has_parent ? w.controls[static_cast<std::size_t>(s.parent)].menu.data() : nullptr;
    const QString text = ShownMenuText(w, c, FromWindows1252(s.text));
    const QString message = FromWindows1252(s.message);
    if (s.kind == ControlKind::Menu) {
      QMenu* menu = parent_menu ? parent_menu->addMenu(text) : bar->addMenu(text);
      menu->menuAction()->setStatusTip(message);
      menu->setToolTipsVisible(false);
      c.menu = menu;
      c.action = menu->menuAction();
    } else if (s.attributes & kSeparator) {
      c.action = parent_menu ? parent_menu->addSeparator() : bar->addSeparator();
    } else {
      QAction* action = parent_menu ? parent_menu->addAction(text) : bar->addAction(text);
      action->setStatusTip(message);
      if (s.key_code != 0) action->setShortcut(ShortcutOf(s.key_code));
      const WindowId id = w.blueprint.id;
      const ControlHandle handle = s.handle;
      connect(action, &QAction::triggered, this, [this, id, handle] { Post(MessageKind::Command, id, handle); });
      c.action = action;
    }
    c.action->setEnabled(s.enabled);
    c.action->setVisible(s.visible);
  }
}

}  // namespace tavero::ui::qt
