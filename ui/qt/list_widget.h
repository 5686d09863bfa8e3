// The list box on Qt: a QTreeView over a flat model of the rows the engine
// formatted, with the columns of the list's format (widths in dialog units
// of the list's font, justification, headings), colours, icons and tree
// boxes drawn by a delegate. GUI thread only.
//
// A list that scrolls itself moves over all its rows: its scroll bar steps
// one row and a page of the rows in sight less one, the navigation keys
// move the highlight as far and keep it in sight, a typed character finds
// the next row whose first cell starts with it; it reports where it scrolled
// (ListScrolled).
// An immediate list never scrolls or moves its highlight itself: its own
// scroll bar runs 0 to 100 and reports its actions (ListScroll, and
// ListThumb once when the thumb is released), the wheel reports lines, and
// the navigation keys and typed characters go to the procedure only.
// Both report the rows that fit whenever the list is laid out (ListGeometry).
#pragma once

#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/list_format.h"
#include "ui/platform.h"
#include "ui/shown_list.h"

class QScrollBar;
class QTreeView;

namespace tavero::ui::qt {

class ListModel;
class ListView;

class ListWidget : public QWidget {
 public:
  // `post` takes the list's messages, with kind, value, key code and mouse
  // position filled in (the caller adds window and control); `units` are
  // the pixels of a dialog unit of the window's font.
  ListWidget(const ControlSpec& blueprint, double unit_x, double unit_y, std::function<void(PlatformMessage)> post,
             QWidget* parent);
  ~ListWidget() override;

  // The engine's commands (see Platform). They report nothing back, except
  // where the rows in sight or the top row change (ListGeometry, ListScrolled).
  void SetRows(std::vector<ListRow> rows);
  void SetSelected(int row);  // 1-based, 0 none
  void SetScroll(int position);
  void SetScrollBar(bool shown);
  void SetIcon(int icon, const QPixmap& picture);  // a null one: none

  // What a person sees, and what a person does (the Qt driver).
  ShownList Shown() const;
  bool ClickRow(int row, bool right_button);
  bool ClickTreeBox(int row, TreeBox box);
  bool Scroll(ScrollAction action);
  bool DragThumb(int position);
  QTreeView* View() const;

  int RowsVisible() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class ListView;
  void Report(MessageKind kind, int value, int key_code = 0, QPoint at = {});
  void ReportGeometry();
  QScrollBar* ActiveBar() const;

  ListFormat format_;
  bool immediate_ = false;
  double unit_x_ = 1.5;
  double unit_y_ = 1.625;
  std::function<void(PlatformMessage)> post_;
  ListModel* model_ = nullptr;
  ListView* view_ = nullptr;
  QScrollBar* bar_ = nullptr;  // an immediate list's own bar (0 to 100)
  bool bar_wanted_ = false;
  int thumb_ = 0;              // where the engine put an immediate list's thumb
  int selected_ = 0;           // the row the engine chose
  int reported_rows_ = -1;
  int reported_top_ = 0;
  int applying_ = 0;           // > 0 while the engine's own changes are applied
};

}  // namespace tavero::ui::qt
