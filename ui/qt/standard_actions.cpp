// The standard actions of menu items, which the platform performs itself:
// Print Setup, the clipboard, MDI arrangement and help.
#include "ui/qt/gui_side.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QUrl>

namespace tavero::ui::qt {

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

}  // namespace tavero::ui::qt
