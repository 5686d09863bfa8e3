#include "ui/qt/gui_side.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <cassert>

#include "ui/qt/key_codes.h"

namespace tavero::ui::qt {
namespace {

using definitions::control_attribute::kDefault;
using definitions::control_attribute::kReadOnly;
using definitions::control_attribute::kSeparator;
using definitions::kDefaultCoordinate;

// Dynamic properties that lead from a widget back to its window and control.
constexpr const char* kWindowProperty = "taveroWindow";
constexpr const char* kControlProperty = "taveroControl";

// Characters 80h-9Fh of Windows-1252 (0: unassigned, shown as itself).
constexpr char16_t kHighCharacters[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

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

QFont FontOf(const std::optional<FontDefinition>& font, const QFont& fallback) {
  QFont f = fallback;
  if (!font) return f;
  if (!font->typeface.empty()) f.setFamily(FromWindows1252(font->typeface));
  if (font->point_size > 0) f.setPointSize(font->point_size);
  if (font->style != 0xFFFFFFFF) {
    f.setBold((font->style & 0xFFF) >= 700);
  }
  return f;
}

}  // namespace

QString FromWindows1252(std::string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    out.append(byte >= 0x80 && byte < 0xA0 ? QChar(kHighCharacters[byte - 0x80]) : QChar(byte));
  }
  return out;
}

std::string ToWindows1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    const char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    char byte = '?';
    for (int k = 0; k < 32; ++k) {
      if (kHighCharacters[k] == u) byte = static_cast<char>(0x80 + k);
    }
    out.push_back(byte);
  }
  return out;
}

bool Unattended() {
  const QString name = QGuiApplication::platformName();
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

DialogUnits DialogUnitsOf(const QFont& font) {
  const QFontMetricsF metrics(font);
  const double average =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
  return DialogUnits{average / 4.0, metrics.height() / 8.0};
}

GuiSide::GuiSide(std::filesystem::path help_page) : help_page_(std::move(help_page)) {
  assert(QApplication::instance() != nullptr);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
}

GuiSide::~GuiSide() {
  for (auto& [id, w] : windows_) {
    w->closing = true;
    if (w->top) delete w->top.data();
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

QtWindow* GuiSide::Find(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.get();
}

QtControl* GuiSide::ControlOf(WindowId window, ControlHandle control) {
  QtWindow* w = Find(window);
  if (w == nullptr || control < 0 || static_cast<std::size_t>(control) >= w->controls.size()) return nullptr;
  return &w->controls[static_cast<std::size_t>(control)];
}

std::vector<WindowId> GuiSide::OpenWindows() const {
  std::vector<WindowId> ids;
  for (const auto& [id, w] : windows_) ids.push_back(id);
  return ids;
}

QWidget* GuiSide::ControlWidget(WindowId window, int number) {
  QtWindow* w = Find(window);
  if (w == nullptr) return nullptr;
  for (QtControl& c : w->controls) {
    if (c.blueprint.number == number && c.widget && c.blueprint.kind != ControlKind::Item) return c.widget;
  }
  return nullptr;
}

QAction* GuiSide::MenuAction(WindowId window, int number) {
  QtWindow* w = Find(window);
  if (w == nullptr) return nullptr;
  for (QtControl& c : w->controls) {
    if (c.blueprint.number == number && c.action) return c.action;
  }
  return nullptr;
}

bool GuiSide::Open(const WindowSpec& blueprint) {
  assert(OnGuiThread());
  if (windows_.count(blueprint.id) != 0) return false;
  auto window = std::make_unique<QtWindow>();
  QtWindow& w = *window;
  w.blueprint = blueprint;
  w.controls.resize(blueprint.controls.size());
  for (std::size_t i = 0; i < blueprint.controls.size(); ++i) w.controls[i].blueprint = blueprint.controls[i];

  QWidget* owner_top = nullptr;
  if (QtWindow* owner = Find(blueprint.owner)) owner_top = owner->top;

  const QFont font = FontOf(blueprint.font, QApplication::font());
  w.units = DialogUnitsOf(font);
  const QSize client_size(static_cast<int>(blueprint.position.width * w.units.x),
                          static_cast<int>(blueprint.position.height * w.units.y));

  switch (blueprint.type) {
    case WindowType::Application: {
      auto* frame = new QMainWindow;
      w.mdi = new QMdiArea(frame);
      w.mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      w.mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      frame->setCentralWidget(w.mdi);
      w.client = w.mdi;
      w.top = frame;
      BuildMenus(w, frame->menuBar());
      if (blueprint.status_zones > 0) {
        w.status = frame->statusBar();
        for (int zone = 1; zone <= blueprint.status_zones; ++zone) {
          auto* label = new QLabel(w.status);
          label->setObjectName(QStringLiteral("zone%1").arg(zone));
          w.status->addWidget(label, zone == 1 ? 1 : 0);
        }
      }
      frame->resize(client_size.expandedTo(QSize(320, 200)));
      break;
    }
    case WindowType::MdiChild: {
      QtWindow* frame = Find(blueprint.owner);
      if (frame == nullptr || frame->mdi == nullptr) return false;
      auto* sub = new QMdiSubWindow;
      sub->setWidget(ClientWithMenu(w, client_size));
      sub->setAttribute(Qt::WA_DeleteOnClose, false);
      frame->mdi->addSubWindow(sub);
      w.top = sub;
      break;
    }
    case WindowType::Plain: {
      auto* dialog = new QWidget(owner_top, Qt::Dialog);
      auto* layout = new QVBoxLayout(dialog);
      layout->setContentsMargins(0, 0, 0, 0);
      layout->addWidget(ClientWithMenu(w, client_size));
      w.top = dialog;
      if (blueprint.modal) dialog->setWindowModality(Qt::ApplicationModal);
      break;
    }
  }
  w.client->setFont(font);
  w.top->setWindowTitle(FromWindows1252(blueprint.title));
  w.top->setProperty(kWindowProperty, blueprint.id);
  w.top->installEventFilter(this);
  if (blueprint.type != WindowType::Application) BuildControls(w);

  // Position: default coordinates centre the window on its screen, in the
  // frame's MDI area, or over its owner.
  if (blueprint.type != WindowType::Application) {
    w.top->adjustSize();
    QRect area = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
    if (blueprint.type == WindowType::MdiChild) area = QRect(QPoint(0, 0), Find(blueprint.owner)->mdi->viewport()->size());
    else if (owner_top != nullptr) area = owner_top->frameGeometry();
    const QSize size = w.top->frameSize();
    const int x = blueprint.position.x == kDefaultCoordinate ? area.x() + (area.width() - size.width()) / 2
                                                         : area.x() + static_cast<int>(blueprint.position.x * w.units.x);
    const int y = blueprint.position.y == kDefaultCoordinate ? area.y() + (area.height() - size.height()) / 2
                                                         : area.y() + static_cast<int>(blueprint.position.y * w.units.y);
    w.top->move(std::max(0, x), std::max(0, y));
  }
  QWidget* top = w.top;
  const std::uint32_t size_state = blueprint.state & definitions::window_state::kSizeMask;
  windows_[blueprint.id] = std::move(window);
  ++echo_blocked_;
  if (size_state == definitions::window_state::kMaximized) {
    top->showMaximized();
  } else if (size_state == definitions::window_state::kIconized) {
    top->showMinimized();
  } else {
    top->show();
  }
  if (blueprint.type == WindowType::MdiChild) Find(blueprint.owner)->mdi->setActiveSubWindow(static_cast<QMdiSubWindow*>(top));
  top->raise();
  top->activateWindow();
  --echo_blocked_;
  return true;
}

// The widget that holds a child or plain window's controls: the client of
// the definition's size, under a menu bar when the window has menus.
QWidget* GuiSide::ClientWithMenu(QtWindow& w, QSize client_size) {
  w.client = new QWidget;
  w.client->setFixedSize(client_size);
  bool has_menu = false;
  for (const QtControl& c : w.controls) has_menu = has_menu || c.blueprint.kind == ControlKind::MenuBar;
  if (!has_menu) return w.client;
  auto* holder = new QWidget;
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QMenuBar(holder);
  layout->setMenuBar(bar);
  layout->addWidget(w.client);
  BuildMenus(w, bar);
  return holder;
}

void GuiSide::BuildMenus(QtWindow& w, QMenuBar* bar) {
  for (QtControl& c : w.controls) {
    const ControlSpec& s = c.blueprint;
    if (s.kind != ControlKind::Menu && s.kind != ControlKind::Item) continue;
    const bool has_parent = s.parent >= 0 && static_cast<std::size_t>(s.parent) < w.controls.size();
    QMenu* parent_menu = has_parent ? w.controls[static_cast<std::size_t>(s.parent)].menu.data() : nullptr;
    const QString text = FromWindows1252(s.text);
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
      const WindowId id = w.blueprint.id;
      const ControlHandle handle = s.handle;
      connect(action, &QAction::triggered, this, [this, id, handle] { Post(MessageKind::Command, id, handle); });
      c.action = action;
    }
    c.action->setEnabled(s.enabled);
    c.action->setVisible(s.visible);
  }
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
      auto* label = new QLabel(parent);
      label->setPixmap(QPixmap(text));
      label->setScaledContents(true);
      return label;
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
    case ControlKind::List: {
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

void GuiSide::Close(WindowId window) {
  assert(OnGuiThread());
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  std::unique_ptr<QtWindow> w = std::move(it->second);
  windows_.erase(it);
  w->closing = true;
  if (w->timer != nullptr) w->timer->stop();
  if (w->top) {
    w->top->removeEventFilter(this);
    w->top->hide();
    w->top->deleteLater();
  }
}

void GuiSide::SetTitle(WindowId window, std::string_view title) {
  if (QtWindow* w = Find(window); w != nullptr && w->top) w->top->setWindowTitle(FromWindows1252(title));
}

void GuiSide::SetStatusText(WindowId window, int zone, std::string_view text) {
  QtWindow* w = Find(window);
  if (w == nullptr || w->status == nullptr) return;
  if (auto* label = w->status->findChild<QLabel*>(QStringLiteral("zone%1").arg(zone))) {
    label->setText(FromWindows1252(text));
  }
}

void GuiSide::SetText(WindowId window, ControlHandle control, std::string_view text) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr) return;
  const QString t = FromWindows1252(text);
  c->blueprint.text = std::string(text);
  const QSignalBlocker blocker(c->widget.data());
  ++echo_blocked_;
  if (c->action) {
    c->action->setText(t);
  } else if (auto* label = qobject_cast<QLabel*>(c->widget)) {
    label->setText(t);
  } else if (auto* button = qobject_cast<QAbstractButton*>(c->widget)) {
    button->setText(t);
  } else if (auto* entry = qobject_cast<QLineEdit*>(c->widget)) {
    entry->setText(t);
    entry->setModified(false);
  } else if (auto* box = qobject_cast<QPlainTextEdit*>(c->widget)) {
    box->setPlainText(t);
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
  } else if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
    list->setCurrentItem(list->topLevelItem(value - 1));
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

void GuiSide::SetFocus(WindowId window, ControlHandle control) {
  QtControl* c = ControlOf(window, control);
  if (c == nullptr || !c->widget) return;
  ++echo_blocked_;
  c->widget->setFocus(Qt::OtherFocusReason);
  --echo_blocked_;
}

void GuiSide::OnFocusChanged(QWidget* now) {
  if (now == nullptr) return;
  const QVariant window = now->property(kWindowProperty);
  const QVariant control = now->property(kControlProperty);
  if (!window.isValid() || !control.isValid()) return;
  Post(MessageKind::Focus, window.toInt(), control.toInt());
}

void GuiSide::StartTimer(WindowId window, int milliseconds) {
  QtWindow* w = Find(window);
  if (w == nullptr) return;
  if (w->timer == nullptr) {
    w->timer = new QTimer(w->top);
    connect(w->timer, &QTimer::timeout, this, [this, window] { Post(MessageKind::Timer, window); });
  }
  w->timer->start(std::max(1, milliseconds));
}

void GuiSide::StopTimer(WindowId window) {
  if (QtWindow* w = Find(window); w != nullptr && w->timer != nullptr) w->timer->stop();
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

void GuiSide::PerformStandardAction(WindowId window, StandardAction action) {
  QtWindow* w = Find(window);
  QMdiArea* mdi = w != nullptr ? w->mdi : nullptr;
  auto open_help = [this](const char* anchor) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(help_page_.string()));
    url.setFragment(QString::fromLatin1(anchor));
    QDesktopServices::openUrl(url);
  };
  switch (action) {
    case StandardAction::None:
    case StandardAction::Close:
      break;  // the engine closes windows itself
    case StandardAction::PrintSetup: {
      if (Unattended()) break;  // a modal dialog nobody can answer
      if (!printer_) printer_ = std::make_unique<QPrinter>();
      QPageSetupDialog dialog(printer_.get(), w != nullptr ? w->top.data() : nullptr);
      dialog.exec();
      break;
    }
    case StandardAction::Cut:
    case StandardAction::Copy:
    case StandardAction::Paste: {
      QWidget* focus = QApplication::focusWidget();
      const char* slot = action == StandardAction::Cut ? "cut" : action == StandardAction::Copy ? "copy" : "paste";
      if (focus != nullptr) QMetaObject::invokeMethod(focus, slot);
      break;
    }
    case StandardAction::Tile:
      if (mdi != nullptr) mdi->tileSubWindows();
      break;
    case StandardAction::Cascade:
      if (mdi != nullptr) mdi->cascadeSubWindows();
      break;
    case StandardAction::ArrangeIcons:
      if (mdi != nullptr) {
        // Iconised children in a row along the bottom of the MDI area.
        int x = 0;
        for (QMdiSubWindow* sub : mdi->subWindowList()) {
          if (!sub->isMinimized()) continue;
          sub->move(x, mdi->viewport()->height() - sub->height());
          x += sub->width();
        }
      }
      break;
    case StandardAction::HelpContents: open_help("contents"); break;
    case StandardAction::HelpSearch: open_help("search"); break;
    case StandardAction::HelpOnHelp: open_help("using-help"); break;
  }
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
