#include "app/page_browse.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <utility>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;
using Code = driver::OperationCode;
using driver::FieldType;

using tavero::error_code::kRecordNotAvailable;  // the end (or beginning) of the view
constexpr std::string_view kFilterProperty = "31928";

const FieldDeclaration& DeclaredField(const FileDeclaration& file, std::string_view name) {
  const FieldDeclaration* found = FindField(file, name);
  assert(found != nullptr && "no such field");
  return found != nullptr ? *found : file.fields.front();
}

bool IsText(const FieldDeclaration& field) { return driver::IsStringType(field.type); }

// The largest value a number field holds (its locator stops there).
long LargestOf(const FieldDeclaration& field) { return field.size == 2 ? 32767L : 2147483647L; }

// The page's record: the shown fields, each as the file declares it, one
// after the other, then the row's position text.
std::vector<std::uint8_t> PageLayout(const FileDeclaration& file, std::span<const std::string_view> columns) {
  driver::RecordLayoutWriter writer;
  std::uint32_t offset = 0;
  for (std::string_view name : columns) {
    const FieldDeclaration& field = DeclaredField(file, name);
    if (IsText(field)) {
      writer.String(field.name, offset, field.size, field.type, field.picture);
    } else if (field.type == FieldType::PACKED || field.type == FieldType::PACKED2) {
      writer.Packed(field.name, offset, static_cast<std::uint8_t>(field.size), field.places, field.type);
    } else {
      writer.Field(field.name, offset, field.type);
    }
    offset += field.size;
  }
  writer.String("POSITION", offset, kPositionLength);
  return writer.Finish();
}

// A position text as a page entry holds it: blank padded.
std::string Padded(std::string position) {
  position.resize(kPositionLength, ' ');
  return position;
}

}  // namespace

std::vector<BrowsePage::Column> BrowsePage::ColumnsOf(const FileDeclaration& file,
                                                      std::span<const std::string_view> names) {
  std::vector<Column> columns;
  std::uint32_t offset = 0;
  for (std::string_view name : names) {
    const FieldDeclaration& field = DeclaredField(file, name);
    columns.push_back({field.offset, field.size, offset});
    offset += field.size;
  }
  return columns;
}

BrowsePage::BrowsePage(const PageBrowseDeclaration& declaration, int rows)
    : declaration_(declaration),
      file_(declaration.file()),
      rows_(std::max(rows, 1)),
      columns_(ColumnsOf(file_.declaration(), declaration.columns)),
      position_offset_(columns_.empty() ? 0 : columns_.back().page_offset + columns_.back().size),
      page_layout_(PageLayout(file_.declaration(), declaration.columns)),
      page_record_(position_offset_ + kPositionLength, ' '),
      page_(page_record_, page_layout_),
      view_(tavero::views::ViewComponent{.file = &file_.file()}) {}

BrowsePage::~BrowsePage() { CloseView(); }

void BrowsePage::set_rows(int rows) { rows_ = std::max(rows, 1); }

int BrowsePage::TakeReadError() { return std::exchange(read_error_, 0); }

const SortOrderDeclaration& BrowsePage::order() const {
  assert(sort_ >= 1 && static_cast<std::size_t>(sort_) <= declaration_.sort_orders.size());
  return declaration_.sort_orders[static_cast<std::size_t>(sort_ - 1)];
}

const FieldDeclaration& BrowsePage::FileField(std::string_view name) const {
  return DeclaredField(file_.declaration(), name);
}

// ---- the view ----------------------------------------------------------------

void BrowsePage::CloseView() {
  if (!view_open_) return;
  driver::Close(view_);
  view_open_ = false;
}

void BrowsePage::OpenView() {
  if (view_open_) return;
  driver::Open(view_, 0);
  view_open_ = true;
}

void BrowsePage::Restart() { driver::Perform(view_, Code::GetByPointer, {.pointer = 0}); }

std::string BrowsePage::RangeValue(int tab) {
  const SortOrderDeclaration& sort = declaration_.sort_orders[static_cast<std::size_t>(tab - 1)];
  if (sort.range == nullptr) return {};
  DataFile& source = sort.range->source();
  const std::span<std::uint8_t> bytes = source.field(sort.range->source_field);
  return std::string(bytes.begin(), bytes.end());
}

void BrowsePage::PutRangeValue() {
  if (sort_ == 0 || order().range == nullptr) return;
  const RangeDeclaration& range = *order().range;
  DataFile& source = range.source();
  if (IsText(FileField(range.field))) {
    file_.set_text(range.field, source.text(range.source_field));
  } else {
    file_.set_number(range.field, source.number(range.source_field));
  }
}

void BrowsePage::ResetView(LocateMode mode) {
  CloseView();
  PutRangeValue();
  driver::KeyObject& key = file_.key(order().key);
  if (mode == LocateMode::KeyValue) {
    driver::SetKeyOrderFromValue(file_.file(), key);
  } else {
    driver::SetKeyOrder(file_.file(), key);
  }
  driver::Perform(view_, Code::ViewFilter, {.text = std::string(kFilterProperty), .filter = std::string(order().filter)});
  range_memory_ = RangeValue(sort_);
  OpenView();
}

// ---- building ------------------------------------------------------------------

bool BrowsePage::NeedsRebuild(int tab) { return tab != sort_ || RangeValue(tab) != range_memory_; }

LocateMode BrowsePage::RebuildMode(int tab, LocateMode first) {
  if (sort_ == 0) return first;
  if (tab != sort_) return LocateMode::KeyValue;  // the key values carry over into the new order
  if (RangeValue(tab) != range_memory_) return LocateMode::Beginning;
  return LocateMode::Keep;  // a refresh asked for: the page where it stands
}

void BrowsePage::Rebuild(int tab, LocateMode mode) {
  assert(tab >= 1 && static_cast<std::size_t>(tab) <= declaration_.sort_orders.size());
  if (count() > 0 && view_open_) (void)Reload();
  if (tab != sort_) {
    sort_ = tab;
    const std::string_view field = order().locator_field;
    if (field.empty()) {
      locator_ = BrowseLocator::ForText(0);
    } else {
      const FieldDeclaration& declared = FileField(field);
      locator_ = IsText(declared) ? BrowseLocator::ForText(declared.size) : BrowseLocator::ForNumber(LargestOf(declared));
    }
  }
  locator_.Clear();
  if (mode == LocateMode::Keep && count() > 0) {
    ResetView(LocateMode::Beginning);
    FillPageKeepingPlace();
  } else {
    ResetView(mode);
    Position();
  }
  if (count() > 0) CopyEntryToRecord();
  BuildThumbTable();
}

void BrowsePage::Position() {
  page_.Free();
  choice_ = 0;
  const int error = driver::Next(view_);
  if (error == kRecordNotAvailable) {
    ScrollBottom();
    return;
  }
  if (error != 0) {
    read_error_ = error;
    return;
  }
  const std::string found = Padded(driver::Position(view_));
  FillPage(found, found);
}

void BrowsePage::AddEntry(bool at_top) {
  const std::span<const std::uint8_t> record = file_.record();
  for (const Column& column : columns_) {
    std::memcpy(page_record_.data() + column.page_offset, record.data() + column.source_offset, column.size);
  }
  const std::string position = driver::Position(view_);
  std::fill(page_record_.begin() + position_offset_, page_record_.end(), ' ');
  std::copy_n(position.begin(), std::min<std::size_t>(position.size(), kPositionLength),
              page_record_.begin() + position_offset_);
  if (at_top) {
    page_.Add(1);
  } else {
    page_.Add();
  }
}

int BrowsePage::FillRecords(int n, bool forward, bool add) {
  // Back in step with the view at the page's edge: the edge row is read
  // again, unless another station took it away, in which case the row that
  // took its place is read next.
  if (count() > 0) {
    const std::string edge = EntryPosition(forward ? count() : 1);
    driver::Reset(view_, edge);
    const int error = forward ? driver::Next(view_) : driver::Previous(view_);
    if (error == 0) {
      const std::string read = Padded(driver::Position(view_));
      if (read != edge) driver::Reset(view_, read);
    } else if (error != kRecordNotAvailable) {
      read_error_ = error;
      return n;
    }
  }
  while (n > 0) {
    const int error = forward ? driver::Next(view_) : driver::Previous(view_);
    if (error == kRecordNotAvailable) break;
    if (error != 0) {
      read_error_ = error;
      break;
    }
    if (add) {
      if (count() >= rows_) {
        page_.Get(forward ? 1 : count());
        page_.Delete();
      }
      AddEntry(!forward);
    }
    --n;
  }
  return n;
}

void BrowsePage::FillPage(const std::string& start, const std::string& keep, int keep_row) {
  if (start.empty()) {
    Restart();
  } else {
    driver::Reset(view_, start);
  }
  page_.Free();
  FillRecords(rows_, true, true);
  if (!keep.empty() && count() < rows_ && read_error_ == 0) {
    if (count() == 0) Restart();
    FillRecords(rows_ - count(), false, true);
  }
  // The kept record highlighted; when another station took it away, the
  // row it stood on.
  int row = std::max(keep_row, 1);
  for (int entry = 1; entry <= count() && !keep.empty(); ++entry) {
    if (EntryPosition(entry) == keep) {
      row = entry;
      break;
    }
  }
  Select(row);
}

void BrowsePage::FillPageKeepingPlace() {
  if (count() == 0) {
    FillPage({}, {});
    return;
  }
  const int kept = choice_ >= 1 && choice_ <= count() ? choice_ : count();
  FillPage(EntryPosition(1), EntryPosition(kept), kept);
}

void BrowsePage::CopyEntryToRecord() {
  if (choice_ < 1 || choice_ > count()) return;
  page_.Get(choice_);
  const std::span<std::uint8_t> record = file_.record();
  for (const Column& column : columns_) {
    std::memcpy(record.data() + column.source_offset, page_record_.data() + column.page_offset, column.size);
  }
}

void BrowsePage::BuildThumbTable() {
  thumb_ = ThumbTable{};
  const std::string_view field = order().thumb_field;
  if (field.empty()) return;
  const FieldDeclaration& declared = FileField(field);
  const std::vector<std::uint8_t> saved(file_.record().begin(), file_.record().end());
  Restart();
  const int last = driver::Previous(view_);
  const std::string high = IsText(declared) ? file_.text(field) : std::string();
  const std::int32_t high_number = IsText(declared) ? 0 : file_.number(field);
  Restart();
  const int first = driver::Next(view_);
  if (last == 0 && first == 0) {
    thumb_ = IsText(declared) ? ThumbTable::Texts(file_.text(field), high, declared.size)
                              : ThumbTable::Numbers(file_.number(field), high_number);
  }
  std::copy(saved.begin(), saved.end(), file_.record().begin());
}

// ---- moving ----------------------------------------------------------------------

void BrowsePage::Select(int row) {
  if (count() == 0) {
    choice_ = 0;
    driver::Get(file_.file(), 0);  // no current record
    file_.clear();
    return;
  }
  choice_ = std::clamp(row, 1, count());
  CopyEntryToRecord();
}

void BrowsePage::ScrollUp() {
  if (count() == 0) return;
  if (choice_ > 1) {
    --choice_;
  } else {
    FillRecords(1, false, true);
  }
  ClearLocator();
  Select(choice_);
}

void BrowsePage::ScrollDown() {
  if (count() == 0) return;
  if (choice_ < count()) {
    ++choice_;
  } else {
    FillRecords(1, true, true);
    choice_ = count();
  }
  ClearLocator();
  Select(choice_);
}

void BrowsePage::PageUp() {
  if (count() == 0) return;
  const int left = FillRecords(rows_, false, true);
  if (left > 0) choice_ -= left;
  ClearLocator();
  Select(choice_);
}

void BrowsePage::PageDown() {
  if (count() == 0) return;
  const int left = FillRecords(rows_, true, true);
  if (left > 0) choice_ += left;
  ClearLocator();
  Select(choice_);
}

void BrowsePage::ScrollTop() {
  ResetView(LocateMode::Beginning);
  page_.Free();
  Restart();
  FillRecords(rows_, true, true);
  ClearLocator();
  Select(1);
}

void BrowsePage::ScrollBottom() {
  ResetView(LocateMode::Beginning);
  page_.Free();
  Restart();
  FillRecords(rows_, false, true);
  ClearLocator();
  Select(count());
}

void BrowsePage::ThumbDrag(int position) {
  if (sort_ == 0) return;
  if (position <= 1) return ScrollTop();
  if (position >= ThumbTable::kEntries) return ScrollBottom();
  const std::string_view field = order().thumb_field;
  if (field.empty()) return;
  locator_.Clear();
  if (IsText(FileField(field))) {
    file_.set_text(field, thumb_.Text(position));
  } else {
    file_.set_number(field, static_cast<std::int32_t>(std::lround(thumb_.Number(position))));
  }
  LocateOnField(field);
}

void BrowsePage::LocateOnField(std::string_view field) {
  // The later components of the key start from their lowest value, so that
  // the first record with the located value is found whatever it holds
  // there; the earlier ones come from the range (ResetView puts it).
  const FileDeclaration& declared = file_.declaration();
  for (const KeyDeclaration& key : declared.keys) {
    if (!SameName(key.name, order().key)) continue;
    bool after = false;
    for (std::int32_t component : key.components) {
      if (component == 0) continue;
      const FieldDeclaration& part = declared.fields[static_cast<std::size_t>(std::abs(component) - 1)];
      if (after) {
        if (IsText(part)) {
          file_.set_text(part.name, {});
        } else {
          file_.set_number(part.name, 0);
        }
      }
      if (SameName(part.name, field)) after = true;
    }
  }
  ResetView(LocateMode::KeyValue);
  Position();
}

int BrowsePage::ThumbPosition() {
  const std::string_view field = sort_ == 0 ? std::string_view() : order().thumb_field;
  if (field.empty() || count() == 0) return 0;
  return IsText(FileField(field)) ? thumb_.PositionOf(file_.text(field)) : thumb_.PositionOf(file_.number(field));
}

// ---- the locator -------------------------------------------------------------------

bool BrowsePage::LocatorType(char c) {
  if (sort_ == 0 || order().locator_field.empty() || !locator_.Type(c)) return false;
  LocateOnLocator();
  return true;
}

bool BrowsePage::LocatorBackspace() {
  if (sort_ == 0 || order().locator_field.empty() || !locator_.Backspace()) return false;
  LocateOnLocator();
  return true;
}

void BrowsePage::LocateOnLocator() {
  const std::string_view field = order().locator_field;
  if (locator_.numeric()) {
    file_.set_number(field, static_cast<std::int32_t>(locator_.number()));
  } else {
    file_.set_text(field, locator_.text());
  }
  LocateOnField(field);
}

void BrowsePage::ClearLocator() {
  locator_.Clear();
  if (sort_ == 0 || order().locator_field.empty()) return;
  // The blank locator goes into its field too.
  const std::string_view field = order().locator_field;
  if (locator_.numeric()) return;
  file_.set_text(field, {});
}

// ---- the record --------------------------------------------------------------------

int BrowsePage::Reload() {
  if (count() == 0) return 0;
  Select(choice_);
  driver::Reget(view_, EntryPosition(choice_));
  return tavero::ErrorCode();
}

void BrowsePage::LocateToRecord() {
  ResetView(LocateMode::KeyValue);
  Position();
  BuildThumbTable();
}

bool BrowsePage::FollowForm(Request request, Response response) {
  if (response != Response::Completed) return false;
  if (request == Request::Delete) {
    RemoveHighlighted();
  } else {
    LocateToRecord();
  }
  return true;
}

void BrowsePage::RemoveHighlighted() {
  if (count() > 0) {
    page_.Get(choice_);
    page_.Delete();
  }
  ResetView(LocateMode::Beginning);
  FillPageKeepingPlace();
  BuildThumbTable();
}

void BrowsePage::RefillKeepingPlace() {
  ResetView(LocateMode::Beginning);
  FillPageKeepingPlace();
  BuildThumbTable();
}

// ---- reading the page ----------------------------------------------------------------

std::string BrowsePage::EntryPosition(int row) {
  page_.Get(row);
  std::string position(page_record_.begin() + position_offset_, page_record_.end());
  return position;
}

std::string BrowsePage::EntryText(int row, std::string_view field) {
  page_.Get(row);
  const FieldDeclaration& declared = FileField(field);
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].source_offset != declared.offset) continue;
    std::string text(page_record_.begin() + columns_[i].page_offset,
                     page_record_.begin() + columns_[i].page_offset + columns_[i].size);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  return {};
}

std::int32_t BrowsePage::EntryNumber(int row, std::string_view field) {
  page_.Get(row);
  const FieldDeclaration& declared = FileField(field);
  for (const Column& column : columns_) {
    if (column.source_offset != declared.offset) continue;
    if (column.size == 2) {
      std::int16_t value;
      std::memcpy(&value, page_record_.data() + column.page_offset, 2);
      return value;
    }
    std::int32_t value;
    std::memcpy(&value, page_record_.data() + column.page_offset, 4);
    return value;
  }
  return 0;
}

}  // namespace zephcol
