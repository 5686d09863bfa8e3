// List controls: the ListWidget (list_widget.h) of each list box, and the
// engine's commands to it.
#include <QTreeView>

#include "ui/qt/decoded_pictures.h"
#include "ui/qt/gui_side.h"
#include "ui/qt/list_widget.h"

namespace tavero::ui::qt {

namespace {

ListWidget* ListOf(QWidget* widget) { return dynamic_cast<ListWidget*>(widget); }

}  // namespace

QWidget* GuiSide::MakeList(QtWindow& w, QtControl& c, QWidget* parent) {
  const WindowId id = w.blueprint.id;
  const ControlHandle handle = c.blueprint.handle;
  auto* list = new ListWidget(
      c.blueprint, w.units.x, w.units.y,
      [this, id, handle](PlatformMessage message) {
        message.window = id;
        message.control = handle;
        // What a list reports of its own layout and scrolling is no echo of
        // the engine's commands: it goes even while those are applied.
        const bool report = message.kind == MessageKind::ListGeometry || message.kind == MessageKind::ListScrolled;
        if (report) {
          PostReport(std::move(message));
        } else {
          Post(std::move(message));
        }
      },
      parent);
  // The view takes the focus and the keys: it answers for the control.
  QTreeView* view = list->View();
  view->setProperty(kWindowProperty, id);
  view->setProperty(kControlProperty, handle);
  view->installEventFilter(this);
  return list;
}

ListWidget* GuiSide::List(WindowId window, ControlHandle control) {
  QtControl* c = ControlOf(window, control);
  return c != nullptr ? ListOf(c->widget) : nullptr;
}

void GuiSide::SetListRows(WindowId window, ControlHandle control, std::vector<ListRow> rows) {
  if (ListWidget* list = List(window, control)) list->SetRows(std::move(rows));
}

void GuiSide::SetListScroll(WindowId window, ControlHandle control, int position) {
  if (ListWidget* list = List(window, control)) list->SetScroll(position);
}

void GuiSide::SetListScrollBar(WindowId window, ControlHandle control, bool shown) {
  if (ListWidget* list = List(window, control)) list->SetScrollBar(shown);
}

void GuiSide::SetListIcon(WindowId window, ControlHandle control, int icon, const images::Image& picture) {
  if (ListWidget* list = List(window, control)) list->SetIcon(icon, PixmapOf(picture));
}

void GuiSide::SelectListRow(QWidget* widget, int row) {
  if (ListWidget* list = ListOf(widget)) list->SetSelected(row);
}

}  // namespace tavero::ui::qt
