// List controls: a QTreeWidget with the columns of the list's format string
// and the rows the engine formatted.
#include "ui/qt/gui_side.h"

#include <QAbstractItemView>
#include <QTreeWidget>

#include "ui/qt/key_codes.h"
#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {

namespace {

// The column titles of a list format string: the texts between "~" marks.
QStringList ColumnTitles(std::string_view format) {
  QStringList titles;
  std::size_t at = 0;
  while ((at = format.find('~', at)) != std::string_view::npos) {
    const std::size_t end = format.find('~', at + 1);
    if (end == std::string_view::npos) break;
    titles << FromWindows1252(format.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  return titles;
}

}  // namespace

QWidget* GuiSide::MakeList(QtWindow& w, QtControl& c, QWidget* parent) {
  const ControlSpec& s = c.blueprint;
  const WindowId id = w.blueprint.id;
  const ControlHandle handle = s.handle;
  auto* list = new QTreeWidget(parent);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  const QStringList titles = ColumnTitles(s.format);
  list->setColumnCount(std::max<qsizetype>(1, titles.size()));
  if (titles.isEmpty()) list->setHeaderHidden(true);
  else list->setHeaderLabels(titles);
  list->installEventFilter(this);
  connect(list, &QTreeWidget::currentItemChanged, this, [this, id, handle, list](QTreeWidgetItem* item) {
    if (item != nullptr) Post(MessageKind::ListSelect, id, handle, list->indexOfTopLevelItem(item) + 1);
  });
  connect(list, &QTreeWidget::itemDoubleClicked, this,
          [this, id, handle] { PostKey(id, handle, kLeftDoubleClick, 0); });
  return list;
}

void GuiSide::SetListRows(WindowId window, ControlHandle control, const std::vector<std::string>& rows) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr) return;
  auto* list = qobject_cast<QTreeWidget*>(c->widget);
  if (list == nullptr) return;
  ++echo_blocked_;
  const QSignalBlocker blocker(list);
  list->clear();
  for (const std::string& row : rows) {
    list->addTopLevelItem(new QTreeWidgetItem(FromWindows1252(row).split(QLatin1Char('\t'))));
  }
  if (c->blueprint.value > 0) list->setCurrentItem(list->topLevelItem(c->blueprint.value - 1));
  --echo_blocked_;
}

void GuiSide::SelectListRow(QWidget* widget, int row) {
  if (auto* list = qobject_cast<QTreeWidget*>(widget)) list->setCurrentItem(list->topLevelItem(row - 1));
}

}  // namespace tavero::ui::qt
