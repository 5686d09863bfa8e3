#include "ui/qt/list_widget.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

#include "ui/qt/decoded_pictures.h"
#include "ui/qt/key_codes.h"
#include "ui/qt/windows1252.h"

namespace tavero::ui::qt {
namespace {

constexpr int kSelectedForegroundRole = Qt::UserRole + 1;
constexpr int kSelectedBackgroundRole = Qt::UserRole + 2;
constexpr int kLevelRole = Qt::UserRole + 3;
constexpr int kBoxRole = Qt::UserRole + 4;  // TreeBox of a tree cell
constexpr int kTreeIndent = 14;             // pixels a tree level
constexpr int kBoxSize = 9;

QColor ColourOf(std::int32_t value) {  // 00BBGGRR
  const auto v = static_cast<std::uint32_t>(value);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

Qt::Alignment AlignmentOf(Justification justification) {
  switch (justification) {
    case Justification::Right:
    case Justification::Decimal: return Qt::AlignRight | Qt::AlignVCenter;
    case Justification::Centre: return Qt::AlignHCenter | Qt::AlignVCenter;
    case Justification::Left: break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

// Where a tree cell's box lies: after two blanks' worth a level.
QRect TreeBoxRect(const QRect& cell, int level) {
  const int x = cell.left() + 2 + kTreeIndent * std::abs(level);
  return QRect(x, cell.center().y() - kBoxSize / 2, kBoxSize, kBoxSize);
}

QAbstractSlider::SliderAction SliderActionOf(ScrollAction action) {
  switch (action) {
    case ScrollAction::LineUp: return QAbstractSlider::SliderSingleStepSub;
    case ScrollAction::LineDown: return QAbstractSlider::SliderSingleStepAdd;
    case ScrollAction::PageUp: return QAbstractSlider::SliderPageStepSub;
    case ScrollAction::PageDown: return QAbstractSlider::SliderPageStepAdd;
    case ScrollAction::Top: return QAbstractSlider::SliderToMinimum;
    case ScrollAction::Bottom: return QAbstractSlider::SliderToMaximum;
  }
  return QAbstractSlider::SliderNoAction;
}

}  // namespace

// The rows as the engine formatted them.
class ListModel : public QAbstractTableModel {
 public:
  ListModel(const ListFormat& format, QObject* parent) : QAbstractTableModel(parent), format_(format) {
    tree_column_ = TreeColumn(format_);
  }

  void SetRows(std::vector<ListRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
  }
  const std::vector<ListRow>& rows() const { return rows_; }
  int tree_column() const { return tree_column_; }
  void SetIcon(int icon, const QIcon& image) { icons_[icon] = image; }
  const std::map<int, QIcon>& icons() const { return icons_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(format_.columns.size()));
  }

  QVariant data(const QModelIndex& index, int role) const override {
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<std::size_t>(index.column());
    if (!index.isValid() || row >= rows_.size() || column >= rows_[row].cells.size()) return {};
    const ListCell& cell = rows_[row].cells[column];
    switch (role) {
      case Qt::DisplayRole: return FromWindows1252(cell.text);
      case Qt::TextAlignmentRole: return QVariant::fromValue(AlignmentOf(format_.columns[column].justification()));
      case Qt::ForegroundRole: return cell.colours[0] != -1 ? QVariant(ColourOf(cell.colours[0])) : QVariant();
      case Qt::BackgroundRole: return cell.colours[1] != -1 ? QVariant(ColourOf(cell.colours[1])) : QVariant();
      case kSelectedForegroundRole: return cell.colours[2] != -1 ? QVariant(ColourOf(cell.colours[2])) : QVariant();
      case kSelectedBackgroundRole: return cell.colours[3] != -1 ? QVariant(ColourOf(cell.colours[3])) : QVariant();
      case Qt::DecorationRole: {
        auto found = icons_.find(cell.icon);
        return found != icons_.end() ? QVariant(found->second) : QVariant();
      }
      case kLevelRole: return rows_[row].level;
      case kBoxRole: {
        if (static_cast<int>(column) != tree_column_) return static_cast<int>(TreeBox::None);
        const int next = row + 1 < rows_.size() ? rows_[row + 1].level : 0;
        return static_cast<int>(TreeBoxOf(rows_[row].level, next));
      }
      case Qt::AccessibleTextRole: return FromWindows1252(cell.text);
      default: return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || static_cast<std::size_t>(section) >= format_.columns.size()) {
      return {};
    }
    const ListColumn& column = format_.columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return FromWindows1252(column.heading);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(column.heading_justification()));
    return {};
  }

 private:
  ListFormat format_;
  int tree_column_ = -1;
  std::vector<ListRow> rows_;
  std::map<int, QIcon> icons_;
};

// Cells: the selected colours, the column's indent, and the tree's levels
// and boxes.
class ListDelegate : public QStyledItemDelegate {
 public:
  ListDelegate(std::vector<int> indents, QObject* parent) : QStyledItemDelegate(parent), indents_(std::move(indents)) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(RowHeight(option.fontMetrics));
    return size;
  }
  static int RowHeight(const QFontMetrics& metrics) { return metrics.height() + 4; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem cell = option;
    if (option.state & QStyle::State_Selected) {
      const QVariant foreground = index.data(kSelectedForegroundRole);
      const QVariant background = index.data(kSelectedBackgroundRole);
      if (foreground.isValid()) cell.palette.setColor(QPalette::HighlightedText, foreground.value<QColor>());
      if (background.isValid()) cell.palette.setColor(QPalette::Highlight, background.value<QColor>());
    }
    const auto column = static_cast<std::size_t>(index.column());
    const int indent = column < indents_.size() ? indents_[column] : 0;
    const auto box = static_cast<TreeBox>(index.data(kBoxRole).toInt());
    const bool tree = TreeCell(index);
    if (tree || indent > 0) {
      // The cell's background and highlight across all of it; the content
      // goes into the part the indent or the tree leaves.
      QStyleOptionViewItem panel = cell;
      initStyleOption(&panel, index);
      panel.text.clear();
      panel.icon = QIcon();
      const QWidget* widget = option.widget;
      QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
      style->drawControl(QStyle::CE_ItemViewItem, &panel, painter, widget);
    }
    if (tree) {
      const QRect box_rect = TreeBoxRect(option.rect, index.data(kLevelRole).toInt());
      if (box != TreeBox::None) {
        painter->save();
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawRect(box_rect.adjusted(0, 0, -1, -1));
        const QPoint c = box_rect.center();
        painter->drawLine(c.x() - 2, c.y(), c.x() + 2, c.y());
        if (box == TreeBox::Contracted) painter->drawLine(c.x(), c.y() - 2, c.x(), c.y() + 2);
        painter->restore();
      }
      cell.rect.setLeft(box_rect.right() + 4);
    } else if (indent > 0) {
      if (index.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight) {
        cell.rect.setRight(cell.rect.right() - indent);
      } else {
        cell.rect.setLeft(cell.rect.left() + indent);
      }
    }
    QStyledItemDelegate::paint(painter, cell, index);
  }

 private:
  static bool TreeCell(const QModelIndex& index) {
    const auto* model = static_cast<const ListModel*>(index.model());
    return model->tree_column() == index.column();
  }
  std::vector<int> indents_;
};

// The view: how the list moves (or does not) on keys, clicks and the wheel.
class ListView : public QTreeView {
 public:
  explicit ListView(ListWidget* owner) : QTreeView(owner), owner_(owner) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    if (owner_->immediate_) {
      setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      setAutoScroll(false);
    }
  }

  int RowHeight() const { return ListDelegate::RowHeight(fontMetrics()); }

  void scrollTo(const QModelIndex& index, ScrollHint hint) override {
    if (!owner_->immediate_) QTreeView::scrollTo(index, hint);
  }

  // The list's own locator (LocatedRow).
  void keyboardSearch(const QString& search) override {
    if (owner_->immediate_ || search.isEmpty()) return;
    const int current = currentIndex().isValid() ? currentIndex().row() + 1 : 0;
    const int row = LocatedRow(owner_->model_->rows(), current, ToWindows1252(search.left(1))[0]);
    if (row != 0) setCurrentIndex(model()->index(row - 1, 0));
  }

 protected:
  // A page is the rows in sight less one, as on the scroll bar.
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
    const int count = model()->rowCount();
    if (owner_->immediate_ || count == 0) return currentIndex();
    if (!currentIndex().isValid()) return model()->index(0, 0);
    const int page = std::max(1, owner_->RowsVisible() - 1);
    const int row = currentIndex().row();
    switch (action) {
      case MovePageUp: return model()->index(std::max(0, row - page), 0);
      case MovePageDown: return model()->index(std::min(count - 1, row + page), 0);
      case MoveHome: return model()->index(0, 0);
      case MoveEnd: return model()->index(count - 1, 0);
      default: return QTreeView::moveCursor(action, modifiers);
    }
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (!owner_->immediate_) {
      QTreeView::keyPressEvent(event);
      return;
    }
    // An immediate list keeps nothing of a key for itself: the procedure has
    // it (the platform's key filter reported it; a typed character without
    // a key code of its own is reported here).
    const QString text = event->text();
    const int code = KeyCode(event->key(), static_cast<int>(event->modifiers()));
    if (code == 0 && text.size() == 1 && text[0].unicode() >= 0x20) {
      PlatformMessage key = MakeMessage(MessageKind::Key, kNoWindow);
      key.key_char = static_cast<unsigned char>(ToWindows1252(text)[0]);
      owner_->post_(std::move(key));
    }
    switch (event->key()) {
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
        QTreeView::keyPressEvent(event);
        return;
      default:
        event->accept();
        return;
    }
  }

  void mousePressEvent(QMouseEvent* event) override {
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    if (index.isValid()) {
      const auto box = static_cast<TreeBox>(index.data(kBoxRole).toInt());
      if (box != TreeBox::None && TreeBoxRect(visualRect(index), index.data(kLevelRole).toInt()).contains(at)) {
        owner_->Report(box == TreeBox::Contracted ? MessageKind::ListExpand : MessageKind::ListContract, index.row() + 1);
        event->accept();
        return;
      }
    }
    if (event->button() == Qt::RightButton) {
      if (!index.isValid()) return;
      // A right click chooses the row and is reported even on the row already chosen.
      pending_button_ = kKeyMouseRight;
      pending_at_ = at;
      reported_ = false;
      selectionModel()->setCurrentIndex(model()->index(index.row(), 0),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      if (!reported_) owner_->Report(MessageKind::ListSelect, index.row() + 1, kKeyMouseRight, MapToList(at));
      pending_button_ = 0;
      event->accept();
      return;
    }
    pending_button_ = event->button() == Qt::LeftButton ? kKeyMouseLeft : 0;
    pending_at_ = at;
    QTreeView::mousePressEvent(event);
    pending_button_ = 0;
  }

  void mouseDoubleClickEvent(QMouseEvent* event) override {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
      PlatformMessage key = MakeMessage(MessageKind::Key, kNoWindow);
      key.key_code = kKeyDoubleClick;
      owner_->post_(std::move(key));
    }
  }

  void wheelEvent(QWheelEvent* event) override {
    if (!owner_->immediate_) {
      QTreeView::wheelEvent(event);
      return;
    }
    wheel_ += event->angleDelta().y();
    for (; wheel_ >= 120; wheel_ -= 120) owner_->Report(MessageKind::ListScroll, static_cast<int>(ScrollAction::LineUp));
    for (; wheel_ <= -120; wheel_ += 120) owner_->Report(MessageKind::ListScroll, static_cast<int>(ScrollAction::LineDown));
    event->accept();
  }

  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
    QTreeView::currentChanged(current, previous);
    if (!current.isValid() || owner_->applying_ > 0) return;
    owner_->Report(MessageKind::ListSelect, current.row() + 1, pending_button_,
                   pending_button_ != 0 ? MapToList(pending_at_) : QPoint());
    reported_ = true;
  }

  void updateGeometries() override {
    QTreeView::updateGeometries();
    if (!owner_->immediate_) verticalScrollBar()->setPageStep(std::max(1, owner_->RowsVisible() - 1));
    owner_->ReportGeometry();
  }

 private:
  QPoint MapToList(QPoint at) const { return viewport()->mapTo(owner_, at); }

  ListWidget* owner_;
  int pending_button_ = 0;
  QPoint pending_at_;
  bool reported_ = false;
  int wheel_ = 0;
};

ListWidget::ListWidget(const ControlSpec& blueprint, double unit_x, double unit_y,
                       std::function<void(PlatformMessage)> post, QWidget* parent)
    : QWidget(parent),
      format_(ParseListFormat(blueprint.format)),
      immediate_((blueprint.attributes & definitions::control_attribute::kImmediate) != 0),
      unit_x_(unit_x),
      unit_y_(unit_y),
      post_(std::move(post)),
      bar_wanted_((blueprint.attributes & definitions::control_attribute::kVerticalScroll) != 0) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  model_ = new ListModel(format_, this);
  view_ = new ListView(this);
  view_->setModel(model_);
  std::vector<int> indents;
  bool headings = false;
  for (const ListColumn& column : format_.columns) {
    indents.push_back(static_cast<int>(column.indent * unit_x_));
    headings = headings || !column.heading.empty();
  }
  view_->setItemDelegate(new ListDelegate(std::move(indents), view_));
  QHeaderView* header = view_->header();
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(1);
  header->setSectionsMovable(false);
  for (std::size_t i = 0; i < format_.columns.size(); ++i) {
    const int width = format_.columns[i].width;
    if (width == 0) header->setSectionHidden(static_cast<int>(i), true);
    else header->resizeSection(static_cast<int>(i), static_cast<int>(width * unit_x_));
  }
  view_->setHeaderHidden(!headings);
  layout->addWidget(view_);

  // Accessible names: the list's tip, else its headings.
  QString name = FromWindows1252(blueprint.tip);
  if (name.isEmpty()) {
    QStringList titles;
    for (const ListColumn& column : format_.columns) {
      if (!column.heading.empty()) titles << FromWindows1252(column.heading);
    }
    name = titles.isEmpty() ? QStringLiteral("List") : titles.join(QLatin1Char(' '));
  }
  setAccessibleName(name);
  setAccessibleDescription(FromWindows1252(blueprint.message));
  view_->setAccessibleName(name);
  view_->setAccessibleDescription(FromWindows1252(blueprint.message));

  if (immediate_) {
    bar_ = new QScrollBar(Qt::Vertical, this);
    bar_->setRange(0, kImmediateThumbRange);
    bar_->setPageStep(10);
    bar_->setSingleStep(1);
    bar_->setFocusPolicy(Qt::NoFocus);
    bar_->setAccessibleName(name + QStringLiteral(" scroll bar"));
    layout->addWidget(bar_);
    bar_->setVisible(bar_wanted_);
    connect(bar_, &QAbstractSlider::actionTriggered, this, [this](int action) {
      ScrollAction scroll;
      switch (action) {
        case QAbstractSlider::SliderSingleStepSub: scroll = ScrollAction::LineUp; break;
        case QAbstractSlider::SliderSingleStepAdd: scroll = ScrollAction::LineDown; break;
        case QAbstractSlider::SliderPageStepSub: scroll = ScrollAction::PageUp; break;
        case QAbstractSlider::SliderPageStepAdd: scroll = ScrollAction::PageDown; break;
        case QAbstractSlider::SliderToMinimum: scroll = ScrollAction::Top; break;
        case QAbstractSlider::SliderToMaximum: scroll = ScrollAction::Bottom; break;
        default: return;  // the thumb tracking: nothing until it is released
      }
      bar_->setSliderPosition(thumb_);  // the thumb stays where the procedure put it
      Report(MessageKind::ListScroll, static_cast<int>(scroll));
    });
    connect(bar_, &QAbstractSlider::sliderReleased, this,
            [this] { Report(MessageKind::ListThumb, bar_->sliderPosition()); });
  } else {
    view_->setVerticalScrollBarPolicy(bar_wanted_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    connect(view_->verticalScrollBar(), &QAbstractSlider::valueChanged, this, [this](int top) {
      if (top == reported_top_) return;
      reported_top_ = top;
      Report(MessageKind::ListScrolled, top);
    });
  }
}

ListWidget::~ListWidget() = default;

QTreeView* ListWidget::View() const { return view_; }

void ListWidget::Report(MessageKind kind, int value, int key_code, QPoint at) {
  PlatformMessage message = MakeMessage(kind, kNoWindow, kNoControl, value);
  message.key_code = key_code;
  if (key_code == kKeyMouseLeft || key_code == kKeyMouseRight) {
    // The pointer in dialog units of the window (the list's parent is its client).
    const QPoint in_window = parentWidget() != nullptr ? mapTo(parentWidget(), at) : at;
    message.mouse_x = static_cast<int>(in_window.x() / unit_x_);
    message.mouse_y = static_cast<int>(in_window.y() / unit_y_);
  }
  post_(std::move(message));
}

int ListWidget::RowsVisible() const {
  const int height = view_->viewport()->height();
  return std::max(1, height / std::max(1, view_->RowHeight()));
}

void ListWidget::ReportGeometry() {
  const int rows = RowsVisible();
  if (rows == reported_rows_) return;
  reported_rows_ = rows;
  Report(MessageKind::ListGeometry, rows);
}

void ListWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ReportGeometry();
}

void ListWidget::SetRows(std::vector<ListRow> rows) {
  ++applying_;
  const int selected = view_->currentIndex().isValid() ? view_->currentIndex().row() + 1 : selected_;
  const int top = view_->verticalScrollBar()->value();
  model_->SetRows(std::move(rows));
  view_->doItemsLayout();
  if (!immediate_) view_->verticalScrollBar()->setValue(top);
  if (selected > 0 && selected <= model_->rowCount()) view_->setCurrentIndex(model_->index(selected - 1, 0));
  --applying_;
}

void ListWidget::SetSelected(int row) {
  ++applying_;
  selected_ = row;
  if (row > 0 && row <= model_->rowCount()) {
    view_->setCurrentIndex(model_->index(row - 1, 0));
  } else {
    view_->selectionModel()->clearCurrentIndex();
    view_->clearSelection();
  }
  --applying_;
}

void ListWidget::SetScroll(int position) {
  if (immediate_) {
    thumb_ = std::clamp(position, 0, kImmediateThumbRange);
    const QSignalBlocker blocker(bar_);
    bar_->setValue(thumb_);
    return;
  }
  view_->verticalScrollBar()->setValue(position);
}

void ListWidget::SetScrollBar(bool shown) {
  bar_wanted_ = shown;
  if (immediate_) {
    bar_->setVisible(shown);
  } else {
    view_->setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  }
}

void ListWidget::SetIcon(int icon, const QPixmap& picture) {
  model_->SetIcon(icon, picture.isNull() ? QIcon() : QIcon(picture));
  view_->viewport()->update();
}

QScrollBar* ListWidget::ActiveBar() const { return immediate_ ? bar_ : view_->verticalScrollBar(); }

ShownList ListWidget::Shown() const {
  ShownList shown;
  shown.headings = ShownHeadings(format_);
  for (const auto& [number, icon] : model_->icons()) shown.icons[number] = ShownPictureOf(icon);
  const std::vector<ListRow>& rows = model_->rows();
  const int count = static_cast<int>(rows.size());
  shown.top = immediate_ ? 0 : view_->verticalScrollBar()->value();
  shown.rows_visible = RowsVisible();
  shown.count = count;
  for (int i = shown.top; i < count && i < shown.top + shown.rows_visible; ++i) {
    const int next = i + 1 < count ? rows[static_cast<std::size_t>(i + 1)].level : 0;
    shown.rows.push_back(ShownRow(rows[static_cast<std::size_t>(i)], next, model_->tree_column()));
  }
  shown.selected = view_->currentIndex().isValid() ? view_->currentIndex().row() + 1 : 0;
  shown.scroll_bar = ActiveBar()->isVisibleTo(immediate_ ? static_cast<const QWidget*>(this) : view_);
  shown.thumb = ActiveBar()->value();
  return shown;
}

bool ListWidget::ClickRow(int row, bool right_button) {
  const ShownList shown = Shown();
  if (row <= shown.top || row > shown.top + static_cast<int>(shown.rows.size())) return false;
  const QRect rect = view_->visualRect(model_->index(row - 1, 0));
  const QPointF at = QPointF(rect.left() + 4, rect.center().y());
  const Qt::MouseButton button = right_button ? Qt::RightButton : Qt::LeftButton;
  const QPointF global = view_->viewport()->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button, Qt::NoModifier);
  QApplication::sendEvent(view_->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, button, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view_->viewport(), &release);
  return true;
}

bool ListWidget::ClickTreeBox(int row, TreeBox box) {
  const ShownList shown = Shown();
  const int column = model_->tree_column();
  if (column < 0 || row <= shown.top || row > shown.top + static_cast<int>(shown.rows.size())) return false;
  const QModelIndex index = model_->index(row - 1, column);
  if (static_cast<TreeBox>(index.data(kBoxRole).toInt()) != box) return false;
  const QPointF at = TreeBoxRect(view_->visualRect(index), index.data(kLevelRole).toInt()).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, view_->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(view_->viewport(), &press);
  return true;
}

bool ListWidget::Scroll(ScrollAction action) {
  QScrollBar* bar = ActiveBar();
  if (!Shown().scroll_bar) return false;
  bar->triggerAction(SliderActionOf(action));
  return true;
}

bool ListWidget::DragThumb(int position) {
  QScrollBar* bar = ActiveBar();
  if (!Shown().scroll_bar) return false;
  bar->setSliderDown(true);
  bar->setSliderPosition(position);
  bar->setSliderDown(false);
  return true;
}

}  // namespace tavero::ui::qt
