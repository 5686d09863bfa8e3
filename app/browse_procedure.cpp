#include "app/browse_procedure.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/list_scrolling.h"
#include "app/open_files.h"
#include "app/warnings.h"
#include "runtime/error_state.h"
#include "ui/engine.h"
#include "ui/properties.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace property = tavero::ui::property;
namespace driver = tavero::driver;
using ui::Event;

// The list's alert keys: Insert, Delete, Ctrl+Enter and the left button's
// double click.
constexpr int kAlertKeys[] = {ui::kKeyInsert, ui::kKeyDelete, ui::kKeyCtrl | ui::kKeyEnter, ui::kKeyDoubleClick};
constexpr int kKeyRightButton = 2;
constexpr int kKeyBackspace = 0x08;

// One running browse: its window, files, page and state.
class BrowseRun {
 public:
  explicit BrowseRun(const BrowseProcedure& procedure) : procedure_(procedure), window_(procedure.module, procedure.procedure) {
    for (DataFile& (*file)() : procedure.counted_files) uses_.push_back(std::make_unique<DataFileUse>(file()));
    const std::span<const std::uint8_t> record = procedure.page.file().record();
    caller_record_.assign(record.begin(), record.end());
  }

  void Run() {
    window_.Open();
    page_ = std::make_unique<BrowsePage>(procedure_.page, VisibleRows());
    window_.SetListFrom(procedure_.list, &page_->page());
    for (int key : kAlertKeys) ui::ALERT(procedure_.list, key);
    window_.SetProperty(procedure_.list, property::kVerticalScroll, 0);
    bool opened = false;
    ui::ACCEPT([&] {
      const Event event = ui::EVENT();
      const int field = ui::FIELD();
      if (event == Event::OpenWindow) {
        if (!opened) {
          opened = true;
          Refresh();
          ui::SELECT(procedure_.list);
        }
      } else if (event == Event::GainFocus) {
        refresh_requested_ = true;
        Refresh();
      } else if (procedure_.sheet != 0 && field == procedure_.sheet) {
        Refresh();
      } else if (field == procedure_.list && field != 0) {
        OnListEvent(event);
      } else if (event == Event::Accepted && field != 0) {
        OnButton(field);
      }
      return ui::LoopResult::Continue;
    });
    window_.Close();
    page_.reset();
    // A select closed without a choice leaves its file's record buffer as
    // the caller had it (else the caller would take the last highlighted
    // record for a choice).
    if (Has(procedure_.select) && request_.response() != Response::Completed) {
      std::copy(caller_record_.begin(), caller_record_.end(), procedure_.page.file().record().begin());
    }
  }

 private:
  DataFile& file() { return page_->file(); }
  bool Has(int control) const { return control != 0; }

  int VisibleRows() {
    const int rows = PropertyNumber(window_.GetProperty(procedure_.list, property::kListItems));
    return rows > 0 ? rows : 10;
  }

  int Tab() {
    if (!Has(procedure_.sheet)) return 1;
    const int tab = PropertyNumber(window_.GetProperty(procedure_.sheet, property::kValue));
    const int orders = static_cast<int>(procedure_.page.sort_orders.size());
    return tab >= 1 && tab <= orders ? tab : 1;
  }

  // Rebuilds the page when the tab, the range or a refresh asks for it, and
  // shows it.
  void Refresh() {
    const int tab = Tab();
    if (page_->sort_order() == 0 || refresh_requested_ || page_->NeedsRebuild(tab)) {
      const LocateMode first = request_.request() == Request::Select ? LocateMode::KeyValue : LocateMode::Beginning;
      page_->set_rows(VisibleRows());
      page_->Rebuild(tab, page_->RebuildMode(tab, first));
      refresh_requested_ = false;
    }
    if (CheckReadError()) return;
    ShowPage();
    window_.SetProperty(procedure_.list, property::kListThumb, page_->ThumbPosition());
    ui::DISPLAY();
  }

  // A read error other than the end of the view closes the browse.
  bool CheckReadError() {
    if (page_->read_error() == 0) return false;
    page_->TakeReadError();
    ShowWarning(35, file().declaration().label);
    ui::POST(Event::CloseWindow);
    return true;
  }

  // The highlighted row selected in the list (which shows the page as it
  // stands), the scroll bar shown while the page is full (also before the
  // first selection, so that a person can scroll at once), the buttons that
  // need a record enabled only when there is one.
  void ShowPage() {
    window_.SetProperty(procedure_.list, property::kListSelected, page_->choice());
    window_.SetProperty(procedure_.list, property::kVerticalScroll, page_->count() >= page_->rows() ? 1 : 0);
    const bool any = page_->count() > 0;
    for (int control : {procedure_.change, procedure_.remove, procedure_.select}) {
      if (Has(control)) window_.SetProperty(control, property::kDisable, any ? 0 : 1);
    }
  }

  // After the page moved: the selection, the thumb and the scroll bar (the
  // work of EVENT:NewSelection, done at once).
  void AfterMove() {
    if (CheckReadError()) return;
    ShowPage();
    NewSelection();
  }

  void NewSelection() {
    if (page_->count() == 0) return;
    page_->Select(PropertyNumber(window_.GetProperty(procedure_.list, property::kListSelected)));
    window_.SetProperty(procedure_.list, property::kListThumb, page_->ThumbPosition());
    Refresh();
  }

  void OnListEvent(Event event) {
    if (ScrollPage(*page_, window_, procedure_.list, event)) return AfterMove();
    switch (event) {
      case Event::NewSelection:
        if (ui::KEYCODE() == kKeyRightButton) return PopupMenu();
        return NewSelection();
      case Event::AlertKey:
        return OnKey(ui::KEYCODE(), ui::KEYCHAR());
      default:
        return;
    }
  }

  void PopupMenu() {
    const bool any = page_->count() > 0;
    if (Has(procedure_.select)) {
      if (ui::POPUP(any ? "&Select" : "~&Select") == 1) ui::POST(Event::Accepted, procedure_.select);
      return;
    }
    const int choice = ui::POPUP(any ? "|&Insert|&Change|&Delete" : "|&Insert|~&Change|~&Delete");
    const int buttons[] = {procedure_.insert, procedure_.change, procedure_.remove};
    if (choice >= 1 && choice <= 3 && Has(buttons[choice - 1])) ui::POST(Event::Accepted, buttons[choice - 1]);
  }

  void OnKey(int key_code, int key_char) {
    const bool any = page_->count() > 0;
    const bool open_key = key_code == ui::kKeyDoubleClick || key_code == (ui::kKeyCtrl | ui::kKeyEnter);
    if (open_key) {
      if (!any) return;
      if (Has(procedure_.select)) {
        if (request_.request() == Request::Select) ui::POST(Event::Accepted, procedure_.select);
      } else if (Has(procedure_.change)) {
        ui::POST(Event::Accepted, procedure_.change);
      }
      return;
    }
    if (key_code == ui::kKeyInsert) {
      if (Has(procedure_.insert)) ui::POST(Event::Accepted, procedure_.insert);
      return;
    }
    if (key_code == ui::kKeyDelete) {
      if (any && Has(procedure_.remove)) ui::POST(Event::Accepted, procedure_.remove);
      return;
    }
    // The incremental locator.
    bool moved = false;
    if (key_code == kKeyBackspace) {
      moved = page_->LocatorBackspace();
    } else if (key_char >= 0x20 || key_char < 0) {
      moved = page_->LocatorType(static_cast<char>(key_char));
    }
    if (moved) {
      if (CheckReadError()) return;
      ShowPage();
      NewSelection();
    }
  }

  // Reloads the highlighted record before a button acts on it. When that
  // fails (another station deleted it), warning 35 and the page rebuilt
  // where it stood; the button does nothing more.
  bool ReloadHighlighted() {
    if (page_->count() == 0) return true;
    page_->Select(PropertyNumber(window_.GetProperty(procedure_.list, property::kListSelected)));
    if (page_->Reload() == 0) return true;
    ShowWarning(35, file().declaration().label);
    page_->RefillKeepingPlace();
    AfterMove();
    return false;
  }

  void OnButton(int control) {
    if (control == procedure_.close) {
      request_.set_response(Response::Cancelled);
      ui::POST(Event::CloseWindow);
      return;
    }
    if (control == procedure_.select) {
      if (page_->count() == 0 || !ReloadHighlighted()) return;
      request_.set_response(Response::Completed);
      ui::POST(Event::CloseWindow);
      return;
    }
    if (control == procedure_.insert) {
      driver::Get(file().file(), 0);  // no current record
      file().clear();
      page_->PutRangeValue();  // a new record takes the tab's range
      return CallUpdateForm(Request::Insert);
    }
    if (control == procedure_.change || control == procedure_.remove) {
      if (page_->count() == 0 || !ReloadHighlighted()) return;
      return CallUpdateForm(control == procedure_.change ? Request::Change : Request::Delete);
    }
    for (const CallButton& call : procedure_.calls) {
      if (call.control != control) continue;
      if (call.uses_highlighted && (page_->count() == 0 || !ReloadHighlighted())) return;
      SetGlobalRequest(call.request);
      call.procedure();
      Refresh();
      return;
    }
  }

  // The update form works on the file with the view closed; a completed
  // insert or change is located, a completed delete leaves the page.
  void CallUpdateForm(Request request) {
    if (procedure_.update_form == nullptr) return;
    page_->CloseView();
    SetGlobalRequest(request);
    procedure_.update_form();
    const Response response = GlobalResponse();
    page_->OpenView();
    if (page_->FollowForm(request, response)) AfterMove();
    ui::SELECT(procedure_.list);
    Refresh();
  }

  const BrowseProcedure& procedure_;
  ProcedureRequest request_;
  std::vector<std::unique_ptr<DataFileUse>> uses_;
  std::vector<std::uint8_t> caller_record_;  // the browsed file's record buffer on entry
  ui::Window window_;
  std::unique_ptr<BrowsePage> page_;
  bool refresh_requested_ = false;
};

}  // namespace

void RunPageBrowse(const BrowseProcedure& procedure) {
  BrowseRun run(procedure);
  run.Run();
}

}  // namespace zephcol
