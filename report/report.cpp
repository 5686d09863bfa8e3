#include "report/report.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "runtime/error_codes.h"
#include "runtime/message_table.h"
#include "runtime/runtime_error.h"
#include "ui/definitions/definitions.h"

namespace tavero::report {
namespace {

constexpr int kReferenceDpi = 600;
constexpr char kRuntimeErrorTitle[] = "Runtime error";
constexpr char kPrintTitle[] = "Print";

// What the print box says of page `index` (0-based) of `count` that could
// not be read back.
std::string UnreadablePageText(std::size_t index, std::size_t count, std::string_view why) {
  return "The report could not be printed: page " + std::to_string(index + 1) + " of " + std::to_string(count) +
         " is missing or damaged (" + std::string(why) + ").";
}

// Every page file read back: the first one gone or damaged since it was
// written, in the words the print box shows, or nullopt when all are sound.
std::optional<std::string> UnreadablePage(const std::vector<std::filesystem::path>& files) {
  for (std::size_t page = 0; page < files.size(); ++page) {
    auto read = ReadPageFile(files[page]);
    if (auto* error = std::get_if<std::string>(&read)) return UnreadablePageText(page, files.size(), *error);
  }
  return std::nullopt;
}

std::uint32_t ItemFlags(std::uint32_t attributes) {
  std::uint32_t flags = 0;
  if (attributes & band_attribute::kNoPageHeader) flags |= item_flag::kNoPageHeader;
  if (attributes & band_attribute::kFlow) flags |= item_flag::kFlow;
  if (attributes & band_attribute::kNoHeight) flags |= item_flag::kNoHeight;
  return flags;
}

std::string MessageText(int code) {
  std::string text = PostedMessageText(code);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

PageDevice ReferenceDevice() {
  // Millimetres of the locale's paper; glibc hands the numbers back in the
  // pointer's place.
  int width_mm = 210;
  int height_mm = 297;
  if (locale_t paper = ::newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(0)); paper != static_cast<locale_t>(0)) {
    const auto w = static_cast<int>(reinterpret_cast<std::intptr_t>(::nl_langinfo_l(_NL_PAPER_WIDTH, paper)));
    const auto h = static_cast<int>(reinterpret_cast<std::intptr_t>(::nl_langinfo_l(_NL_PAPER_HEIGHT, paper)));
    if (w > 0 && h > 0 && w < 10000 && h < 10000) width_mm = w, height_mm = h;
    ::freelocale(paper);
  }
  PageDevice device;
  device.resolution = {kReferenceDpi, kReferenceDpi};
  device.width = static_cast<int>((width_mm * 10 * kReferenceDpi + 127) / 254);
  device.height = static_cast<int>((height_mm * 10 * kReferenceDpi + 127) / 254);
  return device;
}

Report::Report(std::string_view module_label, std::string_view procedure_label, std::vector<Variable> variables,
               ReportOptions options)
    : Report(definitions::FindDefinition(module_label, procedure_label).value_or(definitions::EntryDefinition{}),
             std::move(variables), std::move(options)) {}

Report::Report(definitions::EntryDefinition definition, std::vector<Variable> variables, ReportOptions options)
    : definition_(std::move(definition)), variables_(std::move(variables)), options_(std::move(options)) {}

Report::~Report() { Close(); }

ui::PrinterPort* Report::Port() const { return options_.printer != nullptr ? options_.printer : ui::CurrentPrinter(); }

// The printer a report lays out for. An unexpected failure (524) no longer
// halts the program: it is shown in a box and the report goes on without a
// device, as with no printer at all.
void Report::ChoosePrinter() {
  printer_metrics_.reset();
  device_ = ReferenceDevice();
  ui::PrinterPort* port = Port();
  if (port == nullptr) return;
  ui::PrinterQuery query = port->QueryPrinter();
  if (auto* metrics = std::get_if<ui::PrinterMetrics>(&query)) {
    if (metrics->width > 0 && metrics->height > 0 && metrics->dpi_x > 0 && metrics->dpi_y > 0) {
      printer_metrics_ = *metrics;
      device_.width = metrics->width;
      device_.height = metrics->height;
      device_.resolution = {metrics->dpi_x, metrics->dpi_y};
    }
    return;
  }
  const ui::PrintStatus& status = std::get<ui::PrintStatus>(query);
  if (status.failure == ui::PrintFailure::Unexpected) {
    std::string text = MessageText(error_code::kUnexpectedErrorOpeningPrinterDevice);
    if (!status.detail.empty()) text += " : " + status.detail;
    ui::ShowErrorBox(kRuntimeErrorTitle, text);
  }
}

void Report::Open() {
  if (open_) {
    ReportRuntimeError(error_code::kReportIsAlreadyOpen);
    return;
  }
  if (!definitions::CheckUseVariables(definition_, variables_.size())) return;
  open_ = true;
  started_ = false;
  cancelled_ = false;
  ChoosePrinter();
  bands_ = CollectBands(definition_);
  const Resolution& r = device_.resolution;
  area_ = {r.X(definition_.position.x), r.Y(definition_.position.y), r.X(definition_.position.width),
           r.Y(definition_.position.height)};
  images_ = std::make_unique<ImageCache>(options_.program_directory);
  context_ = RenderContext{r, &fonts_, images_.get(), ReportFont(definition_)};
  paginator_ = std::make_unique<Paginator>(area_.width, area_.height,
                                           [this](const PageLayout& page) { return EmitPage(page); });
  open_groups_.clear();
  keep_with_next_ = false;
  last_values_ = ReadValues();
  form_ = bands_.form >= 0 ? RenderBand(bands_.bands[bands_.form], *last_values_, context_) : Drawing{};
  page_files_ = std::make_unique<report::PageFiles>(options_.page_directory);
}

void Report::Close() {
  if (!open_) return;
  if (document_) {
    const ui::PrintStatus status = document_->Finish();
    document_.reset();
    if (!status.ok()) ui::ShowErrorBox(kPrintTitle, "The report could not be printed: " + status.detail);
  }
  page_files_.reset();  // deletes every page file (3)
  paginator_.reset();
  open_groups_.clear();
  preview_queue_ = nullptr;
  preview_record_ = {};
  open_ = false;
}

void Report::SetPreviewQueue(queues::Queue& queue, std::span<std::uint8_t> record) {
  preview_queue_ = &queue;
  preview_record_ = record;
}

void Report::SetProperty(int property, int value) {
  if (property == kFlushProperty && value == 1) Flush();
}

std::int32_t Report::page_number() const { return paginator_ ? paginator_->page_number() : 1; }
std::int32_t Report::pages_emitted() const { return paginator_ ? paginator_->pages_emitted() : 0; }

const std::vector<std::filesystem::path>& Report::PageFiles() const {
  static const std::vector<std::filesystem::path> kNone;
  return page_files_ ? page_files_->files() : kNone;
}

ValueSnapshot Report::ReadValues() const {
  auto values = std::make_shared<std::vector<Value>>();
  values->reserve(variables_.size());
  for (const Variable& v : variables_) values->push_back(v ? v() : Value{std::string()});
  return values;
}

void Report::Cancel() {
  cancelled_ = true;
  if (document_) {
    document_->Abort();
    document_.reset();
  }
  if (page_files_) page_files_->DeleteAll();
  if (preview_queue_ != nullptr) preview_queue_->Free();
}

// The target when printing: a PDF file when there is no printer or Print
// Setup asked for a file, else the printer. nullopt: the user gave up.
std::optional<ui::PrintTarget> Report::ChooseTarget() {
  ui::PrinterPort* port = Port();
  if (port == nullptr) {
    ui::ShowErrorBox(kPrintTitle, "There is no printer to print to.");
    return std::nullopt;
  }
  ui::PrintTarget target;
  if (!printer_metrics_ || port->PrintToFileChosen()) {
    std::optional<std::filesystem::path> file = port->AskPrintFile();
    if (!file) return std::nullopt;
    target.pdf_file = *file;
  }
  return target;
}

// A printer that cannot start the document is reported in a box; the report
// is then cancelled.
bool Report::StartDocument(const ui::PrintTarget& target) {
  auto started = Port()->StartDocument(definition_.title, target);
  if (auto* document = std::get_if<std::unique_ptr<ui::PrintDocument>>(&started)) {
    document_ = std::move(*document);
    return true;
  }
  const ui::PrintStatus& status = std::get<ui::PrintStatus>(started);
  ui::ShowErrorBox(kPrintTitle, "The printer could not start the report" +
                                    (status.detail.empty() ? std::string(".") : ": " + status.detail));
  return false;
}

// The document begins with the first output: printing directly, the printer
// (or file) is started now.
bool Report::Start() {
  if (!open_) return false;
  if (!started_) {
    started_ = true;
    if (!preview()) {
      std::optional<ui::PrintTarget> target = ChooseTarget();
      if (!target || !StartDocument(*target)) Cancel();
    }
  }
  return !cancelled_;
}

void Report::AddItem(int band_index, const ValueSnapshot& values, std::uint32_t flags) {
  const Band& band = bands_.bands[band_index];
  PrintItem item;
  item.band = band_index;
  item.picture = std::make_shared<const Drawing>(RenderBand(band, *values, context_));
  item.width = device_.resolution.X(band.position.width);
  item.height = device_.resolution.Y(band.position.height);
  item.flags = flags | ItemFlags(band.attributes);
  if (band.attributes & band_attribute::kPageBefore) item.page_before = std::max(band.page_before, 0);
  if (band.attributes & band_attribute::kPageAfter) item.page_after = std::max(band.page_after, 0);
  if (keep_with_next_) {
    item.flags |= item_flag::kKeepCloses;
    keep_with_next_ = false;
  }
  if ((band.attributes & band_attribute::kKeep) && band.kind != definitions::ControlKind::Break) {
    item.flags |= item_flag::kKeepOpens;
    keep_with_next_ = true;
  }
  item.values = values;
  paginator_->Add(std::move(item));
}

void Report::OpenGroupOf(int group, const ValueSnapshot& values) {
  const BreakGroup& g = bands_.groups[group];
  const Value value = g.variable >= 0 && static_cast<std::size_t>(g.variable) < values->size() ? (*values)[g.variable]
                                                                                                 : Value{std::string()};
  open_groups_.push_back({group, value, values});
  if (g.header >= 0) {
    AddItem(g.header, values, g.keep && g.footer >= 0 ? item_flag::kKeepOpens : 0);
  }
}

// Closes the open groups from the innermost down to `keep` (kept open), each
// footer drawn with the values of the last band printed in its group (2).
void Report::CloseGroups(std::size_t keep) {
  while (open_groups_.size() > keep) {
    const OpenGroup closing = std::move(open_groups_.back());
    open_groups_.pop_back();
    const BreakGroup& g = bands_.groups[closing.group];
    if (g.footer >= 0) {
      AddItem(g.footer, closing.last, g.keep && g.header >= 0 ? item_flag::kKeepCloses : 0);
      // The footer is the last band printed in the groups around it.
      for (OpenGroup& outer : open_groups_) outer.last = closing.last;
    }
  }
}

void Report::Print(int band_number) {
  if (!Start()) return;
  const int band = bands_.DetailByNumber(band_number);
  if (band < 0) return;  // no such band: ignored
  const ValueSnapshot values = ReadValues();
  const int group = bands_.bands[band].group;

  // Groups that hold the band and whose break value holds stay open; the
  // others close, innermost first, with everything inside them.
  std::size_t keep = 0;
  while (keep < open_groups_.size()) {
    const OpenGroup& open = open_groups_[keep];
    if (!bands_.Contains(open.group, group)) break;
    const int variable = bands_.groups[open.group].variable;
    if (variable >= 0 && static_cast<std::size_t>(variable) < values->size() &&
        !SameValue(open.value, (*values)[variable])) {
      break;
    }
    ++keep;
  }
  CloseGroups(keep);
  if (cancelled_) return;

  std::vector<int> chain;  // outermost first
  for (int g = group; g >= 0; g = bands_.groups[g].parent) chain.push_back(g);
  std::reverse(chain.begin(), chain.end());
  for (std::size_t k = keep; k < chain.size() && !cancelled_; ++k) OpenGroupOf(chain[k], values);
  if (cancelled_) return;

  AddItem(band, values, 0);
  for (OpenGroup& open : open_groups_) open.last = values;
  last_values_ = values;
}

void Report::EndPage() {
  if (!Start()) return;
  CloseGroups(0);
  if (!cancelled_) paginator_->Finish();
}

void Report::PostEvent(int /*control*/) { ReportRuntimeError(error_code::kEventPostedToAReportControl); }

// Composes and delivers one page: the form and the page header (unless the
// first item refuses them), the items, the page footer. The header is drawn
// with the values of the page's first item and the footer with its last
// item's; page-number fields show this page's number.
bool Report::EmitPage(const PageLayout& page) {
  if (cancelled_) return false;
  const Resolution& r = device_.resolution;
  std::vector<Drawing> frame;  // header and footer rendered for this page
  frame.reserve(2);
  std::vector<PagePiece> pieces;
  pieces.reserve(page.items.size() + 3);
  auto band_at = [&](int band, const ValueSnapshot& values) {
    const Band& b = bands_.bands[band];
    frame.push_back(RenderBand(b, *values, context_));
    pieces.push_back({&frame.back(), r.X(b.position.x), r.Y(b.position.y)});
  };
  const ValueSnapshot& first = page.items.front().item->values;
  const ValueSnapshot& last = page.items.back().item->values;
  if (page.header_and_form) {
    if (bands_.form >= 0) {
      const Band& b = bands_.bands[bands_.form];
      pieces.push_back({&form_, r.X(b.position.x), r.Y(b.position.y)});
    }
    if (bands_.page_header >= 0) band_at(bands_.page_header, first ? first : last_values_);
  }
  for (const PlacedItem& placed : page.items) {
    pieces.push_back({placed.item->picture.get(), area_.x + placed.x, area_.y + placed.y});
  }
  if (bands_.page_footer >= 0) band_at(bands_.page_footer, last ? last : last_values_);

  std::optional<std::vector<std::uint8_t>> bytes = EncodePage(pieces, page.number, fonts_, device_);
  if (!bytes) {
    Cancel();
    ReportRuntimeError(error_code::kMetafileRecordTooLargeInReport);
    return false;
  }
  return DeliverPage(std::move(*bytes));
}

bool Report::DeliverPage(std::vector<std::uint8_t> bytes) {
  if (preview()) {
    auto written = page_files_->Write(bytes);
    if (auto* error = std::get_if<std::string>(&written)) {
      const std::string text = "The report was cancelled: " + *error;
      Cancel();
      ui::ShowErrorBox(kPrintTitle, text);
      return false;
    }
    const std::string name = std::get<std::filesystem::path>(written).string();
    std::fill(preview_record_.begin(), preview_record_.end(), static_cast<std::uint8_t>(' '));
    std::copy_n(name.begin(), std::min(name.size(), preview_record_.size()), preview_record_.begin());
    preview_queue_->Add();
    return true;
  }
  if (!document_) return false;
  images::MetafileReadResult page = images::ReadMetafile(bytes);
  assert(page.ok() && "the encoder writes what the reader reads");
  if (!page.ok() || !PrintOnePage(page.metafile)) {
    Cancel();
    return false;
  }
  return true;
}

// One page onto the printer, with the engine lock given up meanwhile.
bool Report::PrintOnePage(const images::Metafile& page) {
  ui::PrintStatus status;
  ui::PrintDocument* document = document_.get();
  ui::WithoutEngineLock([&] {
    status = document->StartPage();
    if (status.ok()) status = document->ReplayPage(page);
    if (status.ok()) status = document->EndPage();
  });
  if (!status.ok()) ui::ShowErrorBox(kPrintTitle, "The report could not be printed: " + status.detail);
  return status.ok();
}

void Report::Flush() {
  if (!open_ || !preview() || cancelled_ || document_) return;
  const std::vector<std::filesystem::path> files = page_files_->files();
  // A page that cannot be read back stops the printing before anything
  // goes to the printer (no part of a report is printed), and says which.
  std::optional<ui::PrintTarget> target;
  if (std::optional<std::string> unreadable = UnreadablePage(files)) {
    ui::ShowErrorBox(kPrintTitle, *unreadable);
  } else {
    target = ChooseTarget();
  }
  if (target && StartDocument(*target)) {
    bool ok = true;
    for (std::size_t index = 0; index < files.size(); ++index) {
      auto page = ReadPageFile(files[index]);
      if (auto* error = std::get_if<std::string>(&page)) {  // gone since the check
        ui::ShowErrorBox(kPrintTitle, UnreadablePageText(index, files.size(), *error));
        ok = false;
        break;
      }
      if (!PrintOnePage(std::get<images::Metafile>(page))) {
        ok = false;
        break;
      }
    }
    if (ok) {
      const ui::PrintStatus status = document_->Finish();
      if (!status.ok()) ui::ShowErrorBox(kPrintTitle, "The report could not be printed: " + status.detail);
    } else {
      document_->Abort();
    }
    document_.reset();
  }
  preview_queue_->Free();
  page_files_->DeleteAll();
}

void PRINT(Report& report, int band_number) { report.Print(band_number); }
void ENDPAGE(Report& report) { report.EndPage(); }
void PRINT(ui::Window&, int) { ReportRuntimeError(error_code::kPrintMustOnlyBeCalledForReports); }
void ENDPAGE(ui::Window&) { ReportRuntimeError(error_code::kEndpageMustOnlyBeCalledForReports); }

}  // namespace tavero::report
