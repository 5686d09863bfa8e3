#include "app/collection_tree.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"
#include "storage/driver/record_layout.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;
using tavero::error_code::kRecordNotAvailable;  // the end of a file

// The queue's record: what the list shows (text, four colours, icon,
// level), then the procedure's own (loaded flag, position).
constexpr std::uint32_t kTextLength = 200;
constexpr std::uint32_t kColoursAt = 200, kIconAt = 216, kLevelAt = 220, kLoadedAt = 224, kPositionAt = 228;
constexpr std::uint32_t kPositionLength = 512;
constexpr std::uint32_t kRowSize = kPositionAt + kPositionLength;

std::vector<std::uint8_t> TreeLayout() {
  driver::RecordLayoutWriter writer;
  writer.String("TREE:TEXT", 0, kTextLength);
  for (int k = 0; k < 4; ++k) writer.Field("TREE:COLOUR", kColoursAt + 4 * k, driver::FieldType::INT32);
  writer.Field("TREE:ICON", kIconAt, driver::FieldType::INT32)
      .Field("TREE:LEVEL", kLevelAt, driver::FieldType::INT32)
      .Field("TREE:LOADED", kLoadedAt, driver::FieldType::INT32)
      .String("TREE:POSITION", kPositionAt, kPositionLength);
  return writer.Finish();
}

// Colours by level (text, background, selected text, selected background)
// as colour references; -1 is the list's default.
constexpr std::int32_t kColours[4][4] = {
    {-1, -1, -1, -1},
    {0x80FFFF, 0x0000FF, 0x0000FF, 0x80FFFF},
    {0xFF0000, 0xC0C0C0, 0xC0C0C0, 0xFF0000},
    {0xC0C0C0, 0xFF0000, 0xFF0000, 0xC0C0C0},
};

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string Trimmed(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

std::string FieldBytes(DataFile& file, std::string_view name) {
  const std::span<std::uint8_t> bytes = file.field(name);
  return std::string(bytes.begin(), bytes.end());
}

int Depth(TreeLevel level) { return static_cast<int>(level); }

// A position as a row holds it: blank padded.
std::string Padded(std::string position) {
  position.resize(kPositionLength, ' ');
  return position;
}

}  // namespace

CollectionTree::CollectionTree()
    : manufacturers_(Manufacturer()),
      sets_(Cardset()),
      cards_(SetInformation()),
      layout_(TreeLayout()),
      record_(kRowSize, ' '),
      queue_(record_, layout_) {}

DataFile& CollectionTree::FileOf(TreeLevel level) {
  switch (level) {
    case TreeLevel::Manufacturer: return Manufacturer();
    case TreeLevel::CardSet: return Cardset();
    case TreeLevel::Card:
    case TreeLevel::Root: break;
  }
  assert(level == TreeLevel::Card && "the root has no file");
  return SetInformation();
}

// ---- rows --------------------------------------------------------------------------

void CollectionTree::Read(int row) {
  assert(row >= 1 && row <= rows());
  queue_.Get(row);
}

CollectionTree::Row CollectionTree::Current() const {
  Row row;
  row.text.assign(record_.begin(), record_.begin() + kTextLength);
  std::memcpy(row.colours, record_.data() + kColoursAt, sizeof row.colours);
  std::memcpy(&row.icon, record_.data() + kIconAt, 4);
  std::memcpy(&row.level, record_.data() + kLevelAt, 4);
  std::int32_t loaded = 0;
  std::memcpy(&loaded, record_.data() + kLoadedAt, 4);
  row.loaded = loaded != 0;
  row.position.assign(record_.begin() + kPositionAt, record_.end());
  return row;
}

void CollectionTree::Write(const Row& row) {
  std::fill(record_.begin(), record_.end(), ' ');
  std::copy_n(row.text.begin(), std::min<std::size_t>(row.text.size(), kTextLength), record_.begin());
  std::memcpy(record_.data() + kColoursAt, row.colours, sizeof row.colours);
  std::memcpy(record_.data() + kIconAt, &row.icon, 4);
  std::memcpy(record_.data() + kLevelAt, &row.level, 4);
  const std::int32_t loaded = row.loaded ? 1 : 0;
  std::memcpy(record_.data() + kLoadedAt, &loaded, 4);
  std::copy_n(row.position.begin(), std::min<std::size_t>(row.position.size(), kPositionLength),
              record_.begin() + kPositionAt);
}

TreeLevel CollectionTree::level(int row) {
  Read(row);
  return static_cast<TreeLevel>(std::clamp(std::abs(Current().level), 0, 3));
}

bool CollectionTree::has_children(int row) {
  Read(row);
  return Current().level < 0;
}

bool CollectionTree::loaded(int row) {
  Read(row);
  return Current().loaded;
}

std::string CollectionTree::text(int row) {
  Read(row);
  return Trimmed(Current().text);
}

TreeNode CollectionTree::node(int row) {
  const TreeLevel depth = level(row);
  return {depth, Current().position};
}

int CollectionTree::ParentRow(int row) {
  const int depth = Depth(level(row));
  for (int above = row - 1; above >= 1; --above) {
    if (Depth(level(above)) < depth) return above;
  }
  return 0;
}

int CollectionTree::RowOf(const TreeNode& wanted) {
  const TreeNode padded{wanted.level, Padded(wanted.position)};
  for (int row = 1; row <= rows(); ++row) {
    if (node(row) == padded) return row;
  }
  return 0;
}

void CollectionTree::Insert(TreeLevel depth, bool children, bool loaded, const std::string& position) {
  Row row;
  row.text = RowText(depth);
  std::copy_n(kColours[Depth(depth)], 4, row.colours);
  row.icon = Depth(depth) + 1;
  row.level = children ? -Depth(depth) : Depth(depth);
  row.loaded = loaded;
  row.position = position;
  Write(row);
  queue_.Add(next_row_);  // past the last entry: appended
  ++next_row_;
}

void CollectionTree::SetHasChildren(int row, bool children) {
  Read(row);
  Row entry = Current();
  const int depth = std::abs(entry.level);
  entry.level = children ? -depth : depth;
  Write(entry);
  queue_.Put();
}

// ---- the expanded-node list -----------------------------------------------------------

bool CollectionTree::Expanded(TreeLevel depth, const std::string& position) const {
  return std::find(expanded_.begin(), expanded_.end(), TreeNode{depth, position}) != expanded_.end();
}

void CollectionTree::Remember(const TreeNode& node) {
  if (node.level == TreeLevel::Root) return;  // always expanded
  const TreeNode padded{node.level, Padded(node.position)};
  if (!Expanded(padded.level, padded.position)) expanded_.push_back(padded);
}

void CollectionTree::Forget(const TreeNode& node) {
  std::erase(expanded_, node);
}

int CollectionTree::Fail(int error, DataFile& file) {
  error_file_ = file.declaration().label;
  return error;
}

// ---- loading --------------------------------------------------------------------------

std::string CollectionTree::RowText(TreeLevel depth) {
  switch (depth) {
    case TreeLevel::Root: return "MANUFACTURER";
    case TreeLevel::Manufacturer: return manufacturers_.text("MAN:MANUFACTURER");
    case TreeLevel::CardSet:  // all of both fields, blanks included
      return FieldBytes(sets_, "CAR:YEAR") + "  " + FieldBytes(sets_, "CAR:TYPE_OF_CARD");
    case TreeLevel::Card:
      return "CARD # " + std::to_string(cards_.number("SET:CARD_NO")) + "   " + cards_.text("SET:FIRST_NAME") + "  " +
             cards_.text("SET:LAST_NAME");
  }
  return {};
}

int CollectionTree::Load() {
  error_file_ = {};
  queue_.Free();
  next_row_ = 1;
  Insert(TreeLevel::Root, true, true, {});
  driver::SetRecordOrder(manufacturers_.file());
  for (;;) {
    const int error = driver::Next(manufacturers_.file());
    if (error == kRecordNotAvailable) return 0;
    if (error != 0) return Fail(error, manufacturers_);
    const std::string name = manufacturers_.text("MAN:MANUFACTURER");
    const std::string position = driver::Position(manufacturers_.file());
    if (Expanded(TreeLevel::Manufacturer, Padded(position))) {
      const int row = next_row_;
      Insert(TreeLevel::Manufacturer, true, true, position);
      if (const int failed = LoadSets(name)) return failed;
      if (next_row_ == row + 1) SetHasChildren(row, false);
    } else {
      bool any = false;
      if (const int failed = ProbeSets(name, any)) return failed;
      Insert(TreeLevel::Manufacturer, any, false, position);
    }
  }
}

// Positions CARDSET's manufacturer key at the first set of `manufacturer`.
// The key compares upper-cased, so a set whose name differs in case only
// is among them.
int CollectionTree::ProbeSets(const std::string& manufacturer, bool& any) {
  sets_.clear();
  sets_.set_text("CAR:MANUFACTURER", manufacturer);
  driver::SetKeyOrderFromValue(sets_.file(), sets_.key("CAR:MANUFACTURERS"));
  const int error = driver::Next(sets_.file());
  if (error == kRecordNotAvailable) return 0;
  if (error != 0) return Fail(error, sets_);
  any = Upper(sets_.text("CAR:MANUFACTURER")) == Upper(manufacturer);
  return 0;
}

int CollectionTree::LoadSets(const std::string& manufacturer) {
  bool any = false;
  if (const int failed = ProbeSets(manufacturer, any)) return failed;
  while (any) {
    const std::int32_t set = sets_.number("CAR:SET_NO");
    const std::string position = driver::Position(sets_.file());
    if (Expanded(TreeLevel::CardSet, Padded(position))) {
      const int row = next_row_;
      Insert(TreeLevel::CardSet, true, true, position);
      if (const int failed = LoadCards(set)) return failed;
      if (next_row_ == row + 1) SetHasChildren(row, false);
    } else {
      bool cards = false;
      if (const int failed = ProbeCards(set, cards)) return failed;
      Insert(TreeLevel::CardSet, cards, false, position);
    }
    // On to the next set of the manufacturer: the probe above moved only
    // SETINFORMATION, so CARDSET continues from this set.
    const int error = driver::Next(sets_.file());
    if (error == kRecordNotAvailable) break;
    if (error != 0) return Fail(error, sets_);
    any = Upper(sets_.text("CAR:MANUFACTURER")) == Upper(manufacturer);
  }
  return 0;
}

int CollectionTree::ProbeCards(std::int32_t set, bool& any) {
  cards_.clear();
  cards_.set_number("SET:SET_NO", set);
  driver::SetKeyOrderFromValue(cards_.file(), cards_.key("SET:SET_KEY"));
  const int error = driver::Next(cards_.file());
  if (error == kRecordNotAvailable) return 0;
  if (error != 0) return Fail(error, cards_);
  any = cards_.number("SET:SET_NO") == set;
  return 0;
}

int CollectionTree::LoadCards(std::int32_t set) {
  bool any = false;
  if (const int failed = ProbeCards(set, any)) return failed;
  while (any) {
    Insert(TreeLevel::Card, false, false, driver::Position(cards_.file()));
    const int error = driver::Next(cards_.file());
    if (error == kRecordNotAvailable) break;
    if (error != 0) return Fail(error, cards_);
    any = cards_.number("SET:SET_NO") == set;
  }
  return 0;
}

// ---- expanding and contracting ------------------------------------------------------------

int CollectionTree::Reget(int row) {
  const TreeNode found = node(row);
  if (found.level == TreeLevel::Root) return 0;
  DataFile& file = FileOf(found.level);
  if (driver::Reget(file.file(), found.position) != 0) return Fail(tavero::ErrorCode(), file);
  return 0;
}

int CollectionTree::Expand(int row) {
  error_file_ = {};
  if (loaded(row)) return 0;
  const TreeLevel depth = level(row);
  if (depth == TreeLevel::Card) return 0;
  if (const int failed = Reget(row)) return failed;
  Read(row);
  Row entry = Current();
  entry.text = RowText(depth);
  entry.loaded = true;
  Write(entry);
  queue_.Put();
  Remember({depth, entry.position});
  next_row_ = row + 1;
  const int failed = depth == TreeLevel::Manufacturer ? LoadSets(manufacturers_.text("MAN:MANUFACTURER"))
                                                      : LoadCards(sets_.number("CAR:SET_NO"));
  if (failed == 0) SetHasChildren(row, next_row_ > row + 1);
  return failed;
}

int CollectionTree::Contract(int row) {
  error_file_ = {};
  const TreeLevel depth = level(row);
  if (depth == TreeLevel::Root || !loaded(row)) return 0;
  if (const int failed = Reget(row)) return failed;
  Read(row);
  Row entry = Current();
  entry.text = RowText(depth);
  entry.loaded = false;
  Write(entry);
  queue_.Put();
  Forget({depth, entry.position});
  while (row < rows() && Depth(level(row + 1)) > Depth(depth)) {
    queue_.Get(row + 1);
    queue_.Delete();
  }
  return 0;
}

}  // namespace zephcol
