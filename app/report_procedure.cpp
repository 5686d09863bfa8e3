#include "app/report_procedure.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/global_request.h"
#include "app/open_files.h"
#include "app/report_preview.h"
#include "app/warnings.h"
#include "report/report.h"
#include "runtime/error_state.h"
#include "storage/driver/file_operations.h"
#include "storage/driver/record_layout.h"
#include "storage/queues/queue.h"
#include "storage/views/view.h"
#include "ui/engine.h"
#include "ui/properties.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;
namespace ui = tavero::ui;
namespace property = tavero::ui::property;

constexpr int kProgressBar = 1;
constexpr int kProgressText = 3;
constexpr int kCancelButton = 4;
constexpr int kRecordNotAvailable = 33;
constexpr std::size_t kPageNameLength = 80;

// How a run stands. A run is completed only when its data ran to the end;
// once cancelled it stays cancelled.
enum class RunState { Running, Completed, Cancelled };

// The USE variable over field `name` of one of the view's files.
tavero::report::Variable FieldOf(std::span<DataFile* const> files, std::string_view name) {
  for (DataFile* file : files) {
    const driver::FlatLayout flat = driver::FlattenRecordLayout(file->file().record_layout, file->record().size());
    for (const driver::FieldDescriptor& field : flat.fields) {
      if (SameName(field.name, name)) return tavero::report::FieldVariable(field, file->record());
    }
  }
  assert(false && "a report names only fields of its view");
  return {};
}

tavero::views::ViewComponent ViewOf(std::span<const ReportViewFile> declared, std::span<DataFile* const> files,
                                    std::size_t at = 0) {
  tavero::views::ViewComponent component{.file = &files[at]->file()};
  if (at > 0) {
    component.key = &files[at]->key(declared[at].key);
    component.links = {std::string(declared[at].link)};
    if (declared[at].case_insensitive) component.join_flags = tavero::views::join_flag::kCaseInsensitive;
  }
  component.memos = declared[at].memos;
  if (at + 1 < declared.size()) component.children = {ViewOf(declared, files, at + 1)};
  return component;
}

std::vector<DataFile*> FilesOf(const ReportDeclaration& declaration) {
  std::vector<DataFile*> files;
  for (const ReportViewFile& f : declaration.view) files.push_back(&f.file());
  return files;
}

// One run of a report: its files, view, report, page names and progress.
class ReportRun {
 public:
  explicit ReportRun(const ReportDeclaration& declaration) : declaration_(declaration) {
    files_ = FilesOf(declaration);
    report_.emplace(declaration.module, declaration.report, ReportVariables(declaration));
    page_names_.emplace(page_record_, page_layout_);
  }

  void Run() {
    {
      std::vector<std::unique_ptr<DataFileUse>> uses;
      for (DataFile* file : files_) uses.push_back(std::make_unique<DataFileUse>(*file));
      DataFile& primary = *files_.front();
      total_ = static_cast<std::uint64_t>(std::max<std::int64_t>(driver::Records(primary.file()), 0)) *
               primary.file().record.size();
      view_.emplace(ReportView(declaration_));

      ui::Window progress(declaration_.module, declaration_.progress_window);
      progress.Open();
      ShowPercent(0, /*always=*/true);
      ui::SetProperty(0, property::kText, "Generating Report");
      ui::SetProperty(2, property::kText, "");
      driver::Send(primary.file(), "QUICKSCAN=on");
      ui::ACCEPT([&] { return Step(); });
      // A loop ended by anything but the run's own close (the frame's
      // shutdown) counts as cancelled.
      if (state_ == RunState::Running) state_ = RunState::Cancelled;
      progress.Close();
      driver::Send(primary.file(), "QUICKSCAN=off");

      if (state_ == RunState::Completed && report_->IsOpen()) {
        tavero::report::ENDPAGE(*report_);
        if (!report_->cancelled() && ReportPreview(*page_names_) == Response::Completed) {
          report_->SetProperty(tavero::report::kFlushProperty, 1);
        }
      }
      report_->Close();
      page_names_->Free();
      driver::Close(*view_);
    }
    request_.set_response(state_ == RunState::Completed && opened_ ? Response::Completed : Response::Cancelled);
  }

 private:
  ui::LoopResult Step() {
    switch (ui::EVENT()) {
      case ui::Event::OpenWindow:
        Start();
        break;
      case ui::Event::Timer:
        Tick();
        break;
      case ui::Event::Accepted:
        if (ui::FIELD() == kCancelButton) Finish(RunState::Cancelled);
        break;
      case ui::Event::CloseDown:  // the frame closes: the run ends unfinished
        if (state_ == RunState::Running) state_ = RunState::Cancelled;
        break;
      default:
        break;
    }
    return ui::LoopResult::Continue;
  }

  void Start() {
    DataFile& primary = *files_.front();
    driver::SetKeyOrder(primary.file(), primary.key(declaration_.view.front().key));
    driver::Open(*view_, 0x22);
    if (!Fetch()) {  // no row at all: nothing is printed
      Finish(state_ == RunState::Completed ? RunState::Cancelled : state_);
      return;
    }
    report_->Open();
    opened_ = true;
    report_->SetPreviewQueue(*page_names_, page_record_);
    position_ = driver::Position(*view_);
  }

  // Prints the row fetched last and fetches the next, up to kRowsPerTick
  // times.
  void Tick() {
    if (state_ != RunState::Running || !report_->IsOpen()) return;
    // The row fetched last, read again where the last tick left it.
    if (driver::Reset(*view_, position_) != 0 || driver::Next(*view_) != 0) {
      ReadError();
      return;
    }
    for (int n = 0; n < kRowsPerTick; ++n) {
      tavero::report::PRINT(*report_, declaration_.detail_band);
      if (report_->cancelled()) {  // a page could not be written
        Finish(RunState::Cancelled);
        return;
      }
      if (!Fetch()) {
        if (state_ == RunState::Completed) Finish(RunState::Completed);
        return;
      }
    }
    position_ = driver::Position(*view_);
  }

  // NEXT on the view: true with a row. At the end of the data the run is
  // complete; a read error shows warning 35 and ends it likewise, so the
  // pages so far are previewed.
  bool Fetch() {
    if (driver::Next(*view_) == 0) {
      read_ += files_.front()->file().record.size();
      ShowPercent(ProgressPercent(read_, total_), false);
      return true;
    }
    if (tavero::ErrorCode() == kRecordNotAvailable) {
      state_ = RunState::Completed;
    } else {
      ReadError();
    }
    return false;
  }

  void ReadError() {
    ShowWarning(35, declaration_.read_error_file);
    Finish(RunState::Completed);
  }

  void Finish(RunState state) {
    if (closing_) return;
    closing_ = true;
    state_ = state;
    ui::POST(ui::Event::CloseWindow);
  }

  void ShowPercent(int percent, bool always) {
    if (!always && percent == shown_percent_) return;
    shown_percent_ = percent;
    ui::SetProperty(kProgressBar, property::kValue, percent);
    ui::SetProperty(kProgressText, property::kText, std::to_string(percent) + "% Completed");
    ui::DISPLAY();
  }

  const ReportDeclaration& declaration_;
  ProcedureRequest request_;
  std::vector<DataFile*> files_;
  std::optional<tavero::report::Report> report_;
  std::vector<std::uint8_t> page_record_ = std::vector<std::uint8_t>(kPageNameLength, ' ');
  std::vector<std::uint8_t> page_layout_ =
      driver::RecordLayoutWriter().String("PAGE:NAME", 0, kPageNameLength).Finish();
  std::optional<tavero::queues::Queue> page_names_;
  std::optional<tavero::views::View> view_;
  std::string position_;
  RunState state_ = RunState::Running;
  bool closing_ = false;
  bool opened_ = false;
  std::uint64_t total_ = 0;
  std::uint64_t read_ = 0;
  int shown_percent_ = -1;
};

}  // namespace

tavero::views::ViewComponent ReportView(const ReportDeclaration& declaration) {
  return ViewOf(declaration.view, FilesOf(declaration));
}

std::vector<tavero::report::Variable> ReportVariables(const ReportDeclaration& declaration) {
  const std::vector<DataFile*> files = FilesOf(declaration);
  std::vector<tavero::report::Variable> variables;
  for (std::string_view name : declaration.variables) variables.push_back(FieldOf(files, name));
  return variables;
}

int ProgressPercent(std::uint64_t read, std::uint64_t total) {
  if (total == 0 || read >= total) return 100;
  return static_cast<int>(read * 100 / total);
}

void RunReport(const ReportDeclaration& declaration) {
  ReportRun run(declaration);
  run.Run();
}

}  // namespace zephcol
