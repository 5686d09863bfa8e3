// The GUI-thread half of the Qt platform: the widgets of every open window
// and the translation of user input into platform messages. Everything here
// runs on the GUI thread only (assert(OnGuiThread()) guards the entry points);
// QtPlatform carries the engine's calls over.
//
// One class, one concern per file: gui_side.cpp (thread, posting),
// window_table.cpp (open, find, close), menu_builder.cpp, widget_factory.cpp,
// list_control.cpp, control_setters.cpp, window_commands.cpp, dialogs.cpp,
// standard_actions.cpp, input_translation.cpp.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QMdiArea>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "ui/platform.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/windows1252.h"

class QAction;
class QMainWindow;
class QMdiArea;
class QPrinter;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTimer;


namespace tavero::ui::qt {

class ListWidget;

// True on a display nobody looks at (offscreen, minimal): modal dialogs that
// wait for a person are skipped there.
bool Unattended();

// Dynamic properties that lead from a widget back to its window and control.
inline constexpr const char* kWindowProperty = "taveroWindow";
inline constexpr const char* kControlProperty = "taveroControl";

struct QtControl {
  ControlSpec blueprint;
  QPointer<QWidget> widget;  // the control's widget (a tab's page for tabs)
  QPointer<QAction> action;  // menus and menu items
  QPointer<QMenu> menu;      // menus
};

struct QtWindow;
// The text menu item `c` of `w` shows for `text`.
QString ShownMenuText(const QtWindow& w, const QtControl& c, QString text);

struct QtWindow {
  WindowSpec blueprint;
  QPointer<QWidget> top;     // QMainWindow, QMdiSubWindow, or a dialog
  QPointer<QWidget> client;  // where the controls are placed
  // Guarded: Qt may delete any of them with the widget they sit in.
  QPointer<QMdiArea> mdi;       // the frame's MDI area
  QPointer<QStatusBar> status;  // zones "zone1" ... as labels
  QPointer<QTimer> timer;       // a child of GuiSide, never of a window
  DialogUnits units;
  std::vector<QtControl> controls;  // indexed by ControlHandle
  bool closing = false;             // the engine closes it: the close is no request
};

class GuiSide : public QObject {
 public:
  explicit GuiSide(std::filesystem::path help_page);
  ~GuiSide() override;

  bool OnGuiThread() const;
  // Runs `work` on the GUI thread and waits for it (at once when already there).
  void Run(const std::function<void()>& work);

  void Attach(MessageSink* sink);
  bool Open(const WindowSpec& blueprint);
  void Close(WindowId window);
  void SetTitle(WindowId window, std::string_view title);
  void SetStatusText(WindowId window, int zone, std::string_view text);
  void SetText(WindowId window, ControlHandle control, std::string_view text);
  void SetMessage(WindowId window, ControlHandle control, std::string_view message);
  void SetValue(WindowId window, ControlHandle control, int value);
  void SetRange(WindowId window, ControlHandle control, int low, int high);
  void SetEnabled(WindowId window, ControlHandle control, bool enabled);
  void SetVisible(WindowId window, ControlHandle control, bool visible);
  void SetListRows(WindowId window, ControlHandle control, std::vector<ListRow> rows);
  void SetListScroll(WindowId window, ControlHandle control, int position);
  void SetListScrollBar(WindowId window, ControlHandle control, bool shown);
  void SetListIcon(WindowId window, ControlHandle control, int icon, const images::Image& picture);
  void SetImage(WindowId window, ControlHandle control, const images::Image& picture);
  void SetPage(WindowId window, ControlHandle control, const images::Metafile& page);
  void SetFocus(WindowId window, ControlHandle control);
  void StartTimer(WindowId window, int milliseconds);
  void StopTimer(WindowId window);
  void BringToFront(WindowId window);
  void ApplySysCommand(WindowId window, SysCommand command);
  void PerformStandardAction(WindowId window, StandardAction action);
  void ShowMessageBox(WindowId dialog, const MessageBoxSpec& box);
  void ShowPopup(WindowId dialog, const PopupSpec& popup);
  void EndDialog(WindowId dialog);

  // What a person sees and touches (tests, screenshots).
  QtWindow* Find(WindowId window);
  std::vector<WindowId> OpenWindows() const;
  QWidget* ControlWidget(WindowId window, int number);
  QAction* MenuAction(WindowId window, int number);
  // The open message box ("messageBox") or popup menu ("popup") in front.
  QWidget* OpenDialog(const char* kind) const;

  // How many messages have gone to the engine so far.
  std::uint64_t PostedCount() const { return posted_; }

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Post(PlatformMessage message);
  void Post(MessageKind kind, WindowId window, ControlHandle control = kNoControl, int value = 0);
  // A report of what happened to a widget (a list's geometry or scrolling):
  // posted even while the engine's own changes are applied.
  void PostReport(PlatformMessage message);
  void PostText(WindowId window, ControlHandle control, const QString& text);  // Edit
  void PostKey(WindowId window, ControlHandle control, int key_code, int key_char);
  QWidget* ClientWithMenu(QtWindow& w, QSize client_size);
  void AddStatusZones(QtWindow& w, QStatusBar* status);
  void BuildMenus(QtWindow& w, QMenuBar* bar);
  void BuildControls(QtWindow& w);
  QWidget* MakeControl(QtWindow& w, QtControl& c, QWidget* parent);
  QWidget* MakeList(QtWindow& w, QtControl& c, QWidget* parent);
  void SelectListRow(QWidget* list, int row);  // row 1-based
  ListWidget* List(WindowId window, ControlHandle control);
  void ShowTabPage(QtWindow& w, ControlHandle sheet, int index);
  void Place(QtWindow& w, QtControl& c);
  static QString AccessibleNameOf(const QtWindow& w, const QtControl& c);
  QtControl* ControlOf(WindowId window, ControlHandle control);
  void OnFocusChanged(QWidget* now);
  void AddPopupItems(WindowId dialog, QMenu* menu, const std::vector<PopupItem>& items);
  void FinishDialog(WindowId dialog, int answer);  // posts the answer once

  std::filesystem::path help_page_;
  std::unique_ptr<QPrinter> printer_;  // the program's printer, as Print Setup left it
  MessageSink* sink_ = nullptr;
  std::map<WindowId, std::unique_ptr<QtWindow>> windows_;
  std::map<WindowId, QPointer<QWidget>> dialogs_;  // open message boxes and popup menus
  int echo_blocked_ = 0;  // > 0 while the engine's own changes are applied
  std::uint64_t posted_ = 0;
};

}  // namespace tavero::ui::qt
