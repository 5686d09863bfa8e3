#include "app/form_child_list.h"

#include <charconv>
#include <string>

#include "app/list_scrolling.h"
#include "app/warnings.h"
#include "storage/driver/file_operations.h"
#include "ui/properties.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace property = tavero::ui::property;
using ui::Event;

// The list's alert keys: Insert, Delete, Ctrl+Enter and the left button's
// double click.
constexpr int kAlertKeys[] = {ui::kKeyInsert, ui::kKeyDelete, ui::kKeyCtrl | ui::kKeyEnter, ui::kKeyDoubleClick};

}  // namespace

FormChildList::FormChildList(const ChildListDeclaration& declaration, ui::Window& window,
                             std::function<void()> load_parent)
    : declaration_(declaration), window_(window), load_parent_(std::move(load_parent)) {}

FormChildList::~FormChildList() = default;

int FormChildList::VisibleRows() {
  const int rows = PropertyNumber(window_.GetProperty(declaration_.list, property::kListItems));
  return rows > 0 ? rows : 8;
}

void FormChildList::Open() {
  page_ = std::make_unique<BrowsePage>(declaration_.page, VisibleRows());
  window_.SetListFrom(declaration_.list, &page_->page());
  for (int key : kAlertKeys) ui::ALERT(declaration_.list, key);
}

bool FormChildList::Owns(int control) const {
  return control != 0 && (control == declaration_.list || control == declaration_.insert ||
                          control == declaration_.change || control == declaration_.remove);
}

void FormChildList::Refresh(bool reread) {
  load_parent_();
  if (page_->sort_order() == 0 || reread || page_->NeedsRebuild(1)) {
    page_->set_rows(VisibleRows());
    page_->Rebuild(1, page_->RebuildMode(1, LocateMode::Beginning));
  }
  Show();
}

// The highlighted row selected in the list, Change and Delete only with a
// record; a read error other than the end shows warning 35 (the form
// itself stays).
void FormChildList::Show() {
  if (page_->read_error() != 0) {
    page_->TakeReadError();
    ShowWarning(35, page_->file().declaration().label);
  }
  window_.SetProperty(declaration_.list, property::kListSelected, page_->choice());
  const bool any = page_->count() > 0;
  for (int control : {declaration_.change, declaration_.remove}) {
    if (control != 0) window_.SetProperty(control, property::kDisable, any ? 0 : 1);
  }
  window_.SetProperty(declaration_.list, property::kVerticalScroll, page_->count() >= page_->rows() ? 1 : 0);
  window_.SetProperty(declaration_.list, property::kListThumb, page_->ThumbPosition());
}

void FormChildList::AfterMove() {
  Show();
  if (page_->count() > 0) page_->Select(PropertyNumber(window_.GetProperty(declaration_.list, property::kListSelected)));
}

void FormChildList::OnEvent(Event event, int control) {
  if (control == declaration_.list) {
    if (ScrollPage(*page_, window_, declaration_.list, event)) return AfterMove();
    switch (event) {
      case Event::NewSelection:
        if (page_->count() > 0) page_->Select(PropertyNumber(window_.GetProperty(declaration_.list, property::kListSelected)));
        return;
      case Event::AlertKey: return OnKey(ui::KEYCODE());
      default: return;
    }
  }
  if (event != Event::Accepted) return;
  if (control == declaration_.insert) return CallForm(Request::Insert);
  if (control == declaration_.change) return CallForm(Request::Change);
  if (control == declaration_.remove) return CallForm(Request::Delete);
}

void FormChildList::OnKey(int key_code) {
  const bool any = page_->count() > 0;
  if (key_code == ui::kKeyInsert) {
    if (declaration_.insert != 0) ui::POST(Event::Accepted, declaration_.insert);
  } else if (key_code == ui::kKeyDelete) {
    if (any && declaration_.remove != 0) ui::POST(Event::Accepted, declaration_.remove);
  } else if (key_code == ui::kKeyDoubleClick || key_code == (ui::kKeyCtrl | ui::kKeyEnter)) {
    if (any && declaration_.change != 0) ui::POST(Event::Accepted, declaration_.change);
  }
}

// Reloads the highlighted record before Change or Delete act on it; when
// another station removed it, warning 35 and the page rebuilt where it
// stood.
bool FormChildList::ReloadHighlighted() {
  page_->Select(PropertyNumber(window_.GetProperty(declaration_.list, property::kListSelected)));
  if (page_->Reload() == 0) return true;
  ShowWarning(35, page_->file().declaration().label);
  load_parent_();
  page_->RefillKeepingPlace();
  AfterMove();
  return false;
}

// The child's form works on the child's file with the view closed; a
// completed insert or change is located, a completed delete leaves the page.
void FormChildList::CallForm(Request request) {
  if (request == Request::Insert) {
    tavero::driver::Get(page_->file().file(), 0);  // no current record
    page_->file().clear();
    load_parent_();
    page_->PutRangeValue();  // a new child belongs to this record
  } else if (page_->count() == 0 || !ReloadHighlighted()) {
    return;
  }
  page_->CloseView();
  SetGlobalRequest(request);
  declaration_.form();
  const Response response = GlobalResponse();
  load_parent_();
  page_->OpenView();
  if (page_->FollowForm(request, response)) {
    AfterMove();
  } else {
    Show();
  }
  ui::SELECT(declaration_.list);
}

}  // namespace zephcol
