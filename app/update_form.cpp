#include "app/update_form.h"

#include <cassert>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/entry_text.h"
#include "app/form_child_list.h"
#include "app/global_request.h"
#include "app/integrity.h"
#include "app/open_files.h"
#include "app/record_copy.h"
#include "app/warnings.h"
#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/file_operations.h"
#include "ui/engine.h"
#include "ui/properties.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace driver = tavero::driver;
namespace property = tavero::ui::property;
using ui::Event;

// "Variable out of range": a number the field cannot take.
constexpr int kVariableOutOfRange = 405;

// Runs `step` (an integrity routine) with the platform's wait cursor shown.
template <typename Step>
int WithWaitCursor(Step step) {
  ui::BusyCursor wait;
  return step();
}

// One run of a form: its request, files, working copy and window.
class FormRun {
 public:
  explicit FormRun(const UpdateFormDeclaration& form) : form_(form), file_(form.file()) {
    for (DataFile& (*counted)() : form.counted_files) uses_.push_back(std::make_unique<DataFileUse>(counted()));
    saved_ = RecordCopy::Take(file_);
    copy_ = saved_;
    entries_.resize(form.entries.size());
    mode_ = request_.request();
  }

  ~FormRun() {
    if (added_another_) request_.set_response(Response::Completed);
  }

  void Run() {
    switch (mode_) {
      case Request::Delete:
        loaded_ = LoadedRecord::Take(file_);
        return Delete();
      case Request::Change:
        loaded_ = LoadedRecord::Take(file_);
        break;
      case Request::Insert:
        Prime();
        // Numbering that ends without a record leaves at once: no window,
        // nothing posted, nothing to clean up.
        if (form_.auto_number != nullptr && !AutoNumber()) return;
        break;
      default:
        return;  // nothing asked: cancelled
    }
    window_ = std::make_unique<ui::Window>(form_.module, form_.procedure);
    window_->Open();
    window_->SetProperty(0, property::kText, mode_ == Request::Insert ? form_.insert_caption : form_.change_caption);
    if (form_.child != nullptr) {
      child_ = std::make_unique<FormChildList>(*form_.child, *window_, [this] { copy_.Load(file_); });
      child_->Open();
    }
    ui::ACCEPT([this] { return OnEvent(); });
    window_->Close();
  }

 private:
  struct EntryState {
    std::optional<std::string> looked_up;  // the text of the last lookup
    bool refused = false;                   // its text was not taken: shown as typed
  };
  enum class Pending { None, Ok, AddAnother };

  // Every field a form declares is one of its file's (the forms' tests
  // open each form).
  const FieldDeclaration& Field(std::string_view name) const {
    const FieldDeclaration* field = FindField(file_.declaration(), name);
    assert(field != nullptr);
    return *field;
  }
  const FieldDeclaration& Field(const EntryDeclaration& entry) const { return Field(entry.field); }

  // --- the working copy and the window

  // A new record: the caller's values, primed.
  void Prime() {
    copy_ = saved_;
    if (!form_.primed_field.empty()) copy_.SetNumber(Field(form_.primed_field), form_.primed_value);
  }

  // After "add another": the next record starts from the caller's values
  // (primed) or blank.
  void NextRecord() {
    if (form_.primed_field.empty()) {
      copy_.Clear(file_.declaration());
    } else {
      Prime();
    }
    for (EntryState& state : entries_) state = EntryState{};
  }

  void ShowEntry(std::size_t i) {
    const EntryDeclaration& entry = form_.entries[i];
    window_->SetProperty(entry.control, property::kText, EntryText(copy_, Field(entry)));
  }

  // Shows the copy in the entries (an entry whose text was refused keeps
  // the text typed) and the child list.
  void Refresh(bool reread) {
    for (std::size_t i = 0; i < form_.entries.size(); ++i) {
      if (!entries_[i].refused) ShowEntry(i);
    }
    if (form_.memo_entry != nullptr) {
      window_->SetProperty(form_.memo_entry->control, property::kText, copy_.Memo(form_.memo_entry->memo));
    }
    if (child_) child_->Refresh(reread);
    ui::DISPLAY();
  }

  void SelectFirst() {
    if (!form_.entries.empty()) ui::SELECT(form_.entries.front().control);
  }

  // A check failed: the entry is selected and any accept-all pass ends.
  void Refuse(int control) {
    window_->SetProperty(0, property::kAcceptAll, 0);
    pending_ = Pending::None;
    ui::SELECT(control);
  }

  // --- events

  ui::LoopResult OnEvent() {
    const Event event = ui::EVENT();
    const int field = ui::FIELD();
    switch (event) {
      case Event::OpenWindow:
        if (!opened_) {
          opened_ = true;
          Refresh(false);
          SelectFirst();
        }
        return ui::LoopResult::Continue;
      case Event::GainFocus:
        Refresh(true);
        return ui::LoopResult::Continue;
      case Event::CloseWindow:
      case Event::CloseDown:
        RemoveUnsavedNumbered();
        return ui::LoopResult::Continue;
      case Event::Completed:
        OnCompleted();
        return ui::LoopResult::Continue;
      default:
        break;
    }
    if (field == 0) return ui::LoopResult::Continue;
    if (field == form_.sheet) {
      Refresh(false);
    } else if (child_ && child_->Owns(field)) {
      child_->OnEvent(event, field);
    } else if (event == Event::Selected) {
      if (std::optional<std::size_t> i = EntryOf(field)) LookupOnSelect(*i);
    } else if (event == Event::Accepted) {
      OnAccepted(field);
    }
    return ui::LoopResult::Continue;
  }

  std::optional<std::size_t> EntryOf(int control) const {
    for (std::size_t i = 0; i < form_.entries.size(); ++i) {
      if (form_.entries[i].control == control) return i;
    }
    return std::nullopt;
  }

  void OnAccepted(int control) {
    if (std::optional<std::size_t> i = EntryOf(control)) return AcceptEntry(*i);
    if (form_.memo_entry != nullptr && control == form_.memo_entry->control) return AcceptMemo();
    if (control == form_.ok) return StartAcceptAll(Pending::Ok);
    if (control == form_.add_another) return StartAcceptAll(Pending::AddAnother);
    if (control == form_.cancel) {
      request_.set_response(Response::Cancelled);
      ui::POST(Event::CloseWindow);
    }
  }

  // "OK" and "add another" both validate every entry again first; the
  // engine posts EVENT:Completed when all pass.
  void StartAcceptAll(Pending pending) {
    pending_ = pending;
    ui::SELECT(0);
  }

  void AcceptEntry(std::size_t i) {
    const EntryDeclaration& entry = form_.entries[i];
    const FieldDeclaration& field = Field(entry);
    const std::string text = window_->GetProperty(entry.control, property::kText);
    if (!TakeEntryText(copy_, field, entry.low, entry.high, text)) {
      entries_[i].refused = true;
      const EntryRange range = RangeOf(field, entry.low, entry.high);
      ShowWarning(10, entry.tip, range.low, range.high);
      return Refuse(entry.control);
    }
    entries_[i].refused = false;
    ShowEntry(i);
    if (entry.lookup != nullptr) Lookup(i, true);
  }

  void AcceptMemo() {
    const MemoEntryDeclaration& memo = *form_.memo_entry;
    std::string text = window_->GetProperty(memo.control, property::kText);
    if (text.size() > memo.limit) text.resize(memo.limit);
    copy_.SetMemo(memo.memo, text);
    window_->SetProperty(memo.control, property::kText, copy_.Memo(memo.memo));
  }

  // --- lookups

  // Whether `text` names a record of the lookup file. Text beyond the
  // lookup field's width is never on file.
  bool OnFile(const LookupDeclaration& lookup, const std::string& text) {
    DataFile& file = lookup.file();
    const FieldDeclaration* field = FindField(file.declaration(), lookup.field);
    if (field == nullptr || text.size() > field->size) return false;
    file.set_text(lookup.field, text);
    return driver::Get(file.file(), file.key(lookup.key)) == 0;
  }

  // The select list opens only when the text changed since the last lookup
  // (a person returning to an entry is not asked again).
  void LookupOnSelect(std::size_t i) {
    const EntryDeclaration& entry = form_.entries[i];
    if (entry.lookup == nullptr || entries_[i].refused) return;
    if (entries_[i].looked_up == copy_.Text(Field(entry))) return;
    Lookup(i, false);
  }

  // Looks the entry's value up, opening the select list when it is not on
  // file; when accepting, a value still not on file is warning 11.
  void Lookup(std::size_t i, bool accepting) {
    const EntryDeclaration& entry = form_.entries[i];
    const LookupDeclaration& lookup = *entry.lookup;
    const FieldDeclaration& field = Field(entry);
    entries_[i].looked_up = copy_.Text(field);
    if (!OnFile(lookup, copy_.Text(field)) && lookup.select != nullptr) {
      SetGlobalRequest(Request::Select);
      lookup.select();
      if (GlobalResponse() == Response::Completed) {
        copy_.SetText(field, lookup.file().text(lookup.field));
        entries_[i].looked_up = copy_.Text(field);
      } else if (accepting) {
        ui::SELECT(entry.control);
      }
      Refresh(false);
    }
    if (accepting && !OnFile(lookup, copy_.Text(field))) {
      ShowWarning(11, entry.tip, lookup.file_name);
      Refuse(entry.control);
    }
  }

  // --- writing

  // An ADD or PUT refused: a duplicate of the form's unique key (the only
  // unique key of its file) is warning 24, anything else warning 14.
  void ReportInsertError() {
    if (tavero::ErrorCode() == tavero::error_code::kCreatesDuplicateKey && !form_.unique_key.empty()) {
      ShowWarning(24, form_.unique_key);
    } else {
      ShowWarning(14);
    }
  }

  void Close(Response response) {
    request_.set_response(response);
    ui::POST(Event::CloseWindow);
  }

  void OnCompleted() {
    const Pending pending = pending_;
    pending_ = Pending::None;
    if (pending == Pending::AddAnother) return AddAnother();
    if (mode_ == Request::Change) return ChangeRecord();
    if (mode_ == Request::Insert) return numbered_position_.empty() ? AddRecord() : PutNumbered();
  }

  void AddRecord() {
    copy_.Load(file_);
    if (driver::Add(file_.file()) == 0) return Close(Response::Completed);
    ReportInsertError();
    Refresh(false);
    SelectFirst();
  }

  // The set numbered on entry is stored already: found again by its
  // position and rewritten.
  void PutNumbered() {
    const FieldDeclaration& field = Field(form_.auto_number->field);
    if (driver::Reget(file_.file(), numbered_position_) == 0 && file_.number(field.name) == numbered_) {
      copy_.Load(file_);
      if (driver::Put(file_.file()) == 0) {
        numbered_position_.clear();
        return Close(Response::Completed);
      }
    }
    ReportInsertError();
    Refresh(false);
    SelectFirst();
  }

  void ChangeRecord() {
    for (;;) {
      copy_.Load(file_);
      if (WithWaitCursor([this] { return RIUpdate(file_, loaded_); }) == 0) return Close(Response::Completed);
      const int answer = ShowWarning(16);
      if (answer == button::kYes) continue;
      if (answer == button::kNo) return Close(Response::Cancelled);
      Refresh(false);
      return SelectFirst();
    }
  }

  // "Add another": the record is added at once and the form stays open for
  // the next one, which is a new record whatever the form was opened for.
  void AddAnother() {
    copy_.Load(file_);
    if (driver::Add(file_.file()) == 0) {
      added_another_ = true;
      mode_ = Request::Insert;
      window_->SetProperty(0, property::kText, form_.insert_caption);
      NextRecord();
    } else {
      ReportInsertError();
    }
    Refresh(false);
    SelectFirst();
  }

  void Delete() {
    if (ShowWarning(32) != button::kOk) return;
    for (;;) {
      if (WithWaitCursor([this] { return RIDelete(file_, loaded_); }) == 0) {
        request_.set_response(Response::Completed);
        return;
      }
      if (ShowWarning(18) != button::kYes) return;
    }
  }

  // --- automatic numbering

  // Numbers the new record (the last number in the key plus one) and adds
  // it; false when no record was added.
  bool AutoNumber() {
    const AutoNumberDeclaration& numbering = *form_.auto_number;
    const FieldDeclaration& field = Field(numbering.field);
    int attempts = 0;
    for (;;) {
      Prime();
      std::int32_t next = 1;
      driver::SetKeyOrder(file_.file(), file_.key(numbering.key));
      const int error = driver::Previous(file_.file());
      if (error == 0) {
        next = file_.number(field.name) + 1;
      } else if (error != tavero::error_code::kRecordNotAvailable) {
        ShowWarning(35, file_.declaration().label);
        return false;
      }
      Prime();
      if (next > numbering.high) {
        tavero::PostError(kVariableOutOfRange);  // never wrapped
        attempts = 3;
      } else {
        copy_.SetNumber(field, next);
        copy_.Load(file_);
        if (driver::Add(file_.file()) == 0) {
          numbered_ = next;
          numbered_position_ = driver::Position(file_.file());
          return true;
        }
        ++attempts;
      }
      if (attempts < 3) continue;
      if (ShowWarning(25) != button::kRetry) return false;
      attempts = 0;
    }
  }

  // A new set that was numbered and added on entry but never saved leaves
  // no empty set behind: the record this form added, found by its position
  // and checked by its number, is deleted.
  void RemoveUnsavedNumbered() {
    if (numbered_position_.empty() || request_.response() == Response::Completed) return;
    const std::string position = std::move(numbered_position_);
    numbered_position_.clear();
    const FieldDeclaration& field = Field(form_.auto_number->field);
    if (driver::Reget(file_.file(), position) != 0 || file_.number(field.name) != numbered_) return;
    driver::Delete(file_.file());
  }

  const UpdateFormDeclaration& form_;
  ProcedureRequest request_;
  std::vector<std::unique_ptr<DataFileUse>> uses_;
  DataFile& file_;
  Request mode_ = Request::None;  // the request the form works for now
  RecordCopy saved_;  // the record buffer as the caller left it
  RecordCopy copy_;   // the working copy the entries edit
  LoadedRecord loaded_;
  std::vector<EntryState> entries_;
  std::unique_ptr<ui::Window> window_;
  std::unique_ptr<FormChildList> child_;
  bool opened_ = false;
  Pending pending_ = Pending::None;
  bool added_another_ = false;
  std::int32_t numbered_ = 0;      // the number auto-numbering gave
  std::string numbered_position_;  // where that record lies, until it is saved
};

}  // namespace

void RunUpdateForm(const UpdateFormDeclaration& form) {
  FormRun run(form);
  run.Run();
}

}  // namespace zephcol
