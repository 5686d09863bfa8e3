#include "storage/views/memory_driver.h"

#include <algorithm>
#include <cstring>

#include "decimal/decimal.h"
#include "locale/locale.h"
#include "runtime/error_codes.h"

namespace tavero::views::testing {
namespace {

using Code = driver::OperationCode;
using driver::FieldType;


template <typename T>
int Order(const std::uint8_t* a, const std::uint8_t* b) {
  T x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return x < y ? -1 : y < x ? 1 : 0;
}

std::string_view Clip(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

int CompareFields(const driver::FieldDescriptor& f, const std::uint8_t* a, const std::uint8_t* b, bool fold) {
  a += f.offset;
  b += f.offset;
  switch (f.type) {
    case FieldType::UINT8: return Order<std::uint8_t>(a, b);
    case FieldType::INT16: return Order<std::int16_t>(a, b);
    case FieldType::UINT16: return Order<std::uint16_t>(a, b);
    case FieldType::INT32:
    case FieldType::DATE4:
    case FieldType::TIME4: return Order<std::int32_t>(a, b);
    case FieldType::UINT32: return Order<std::uint32_t>(a, b);
    case FieldType::FLOAT64: return Order<double>(a, b);
    case FieldType::PACKED:
      return decimal::Compare(decimal::ReadPacked(decimal::PackedForm::kDecimal, {a, f.size}, f.places),
                              decimal::ReadPacked(decimal::PackedForm::kDecimal, {b, f.size}, f.places));
    case FieldType::FIXSTR: {
      const std::string_view x = Clip({reinterpret_cast<const char*>(a), f.size});
      const std::string_view y = Clip({reinterpret_cast<const char*>(b), f.size});
      const int c = fold ? CompareCollatedNoCase(x, y) : CompareCollated(x, y);
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    default: {
      const int c = std::memcmp(a, b, f.size);
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
  }
}

std::string NumberText(std::uint32_t n) {
  std::string t;
  for (int i = 0; i < 4; ++i) t += static_cast<char>(n >> (8 * i));
  return t;
}

bool TextNumber(std::string_view t, std::uint32_t& n) {
  if (t.size() != 4) return false;
  n = 0;
  for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(t[static_cast<std::size_t>(i)]);
  return true;
}

}  // namespace

struct MemoryDriver::Table {
  std::vector<std::vector<std::uint8_t>> records;  // record number - 1
  std::vector<bool> live;
  std::uint64_t version = 0;
};

namespace {

struct MemoryState : driver::DriverState {
  MemoryDriver::Table* table = nullptr;
  std::vector<std::uint32_t> order;  // record indexes in the order in force
  std::vector<std::size_t> rank;     // position of each record index in `order`
  std::uint64_t built_version = ~std::uint64_t{0};
  const driver::KeyDescriptor* built_for = nullptr;
  enum class Start { None, First, FromValue, At } start = Start::None;
  std::vector<std::uint8_t> start_image;
  std::size_t start_at = 0;
  std::ptrdiff_t current = -1;
  std::uint32_t current_record = 0;  // 1-based; 0 none

  int KeyOrder(const std::uint8_t* a, const std::uint8_t* b) const {
    const driver::KeyDescriptor& key = *sequence_key;
    const bool fold = (key.attributes & driver::key_attribute::kCaseInsensitive) != 0;
    for (const driver::KeyComponent& k : key.components) {
      const int c = CompareFields(fields[k.field], a, b, fold);
      if (c != 0) return k.descending ? -c : c;
    }
    return 0;
  }

  void EnsureOrder() {
    if (built_version == table->version && built_for == sequence_key) return;
    order.clear();
    for (std::uint32_t i = 0; i < table->records.size(); ++i) {
      if (table->live[i]) order.push_back(i);
    }
    if (sequence_key != nullptr) {
      std::stable_sort(order.begin(), order.end(), [this](std::uint32_t x, std::uint32_t y) {
        return KeyOrder(table->records[x].data(), table->records[y].data()) < 0;
      });
    }
    rank.assign(table->records.size(), static_cast<std::size_t>(-1));
    for (std::size_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
    built_version = table->version;
    built_for = sequence_key;
    current = current_record ? static_cast<std::ptrdiff_t>(rank[current_record - 1]) : -1;
  }

  int Load(std::uint32_t number) {
    if (number == 0 || number > table->records.size() || !table->live[number - 1]) return error_code::kRecordNotFound;
    std::memcpy(record.data(), table->records[number - 1].data(), record.size());
    current_record = number;
    EnsureOrder();
    current = static_cast<std::ptrdiff_t>(rank[number - 1]);
    return 0;
  }

  int Read(bool forward) {
    EnsureOrder();
    const auto n = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t i = 0;
    const auto before = [this](std::uint32_t x, const std::vector<std::uint8_t>& image) {
      return KeyOrder(table->records[x].data(), image.data()) < 0;
    };
    const auto not_after = [this](const std::vector<std::uint8_t>& image, std::uint32_t x) {
      return KeyOrder(image.data(), table->records[x].data()) < 0;
    };
    switch (start) {
      case Start::First: i = forward ? 0 : n - 1; break;
      case Start::FromValue:
        i = forward ? std::lower_bound(order.begin(), order.end(), start_image, before) - order.begin()
                    : std::upper_bound(order.begin(), order.end(), start_image, not_after) - order.begin() - 1;
        break;
      case Start::At: i = static_cast<std::ptrdiff_t>(start_at); break;
      case Start::None: i = current + (forward ? 1 : -1); break;
    }
    start = Start::None;
    if (i < 0 || i >= n) {
      current = forward ? n : -1;
      return error_code::kRecordNotAvailable;
    }
    current = i;
    current_record = order[static_cast<std::size_t>(i)] + 1;
    std::memcpy(record.data(), table->records[order[static_cast<std::size_t>(i)]].data(), record.size());
    return 0;
  }
};

}  // namespace

MemoryDriver::MemoryDriver()
    : FileDriver({.name = "MEMORY",
                  .library = "",
                  .notice = "",
                  .description = "In-memory test driver",
                  .operations = {1, 7, 11, 16, 18, 19, 24, 25, 31, 32, 36, 41, 44, 45, 58, 61, 62, 63, 64, 65, 66, 67},
                  .field_types = {1, 2, 3, 6, 7, 9, 10, 18, 22},
                  .sizes = {37, 37, 40, 122}}) {}

MemoryDriver::~MemoryDriver() = default;

long MemoryDriver::Reads() const {
  long n = 0;
  for (Code c : {Code::Next, Code::Previous, Code::GetByPointer, Code::Reget, Code::RegetByKey}) {
    const auto it = calls.find(c);
    if (it != calls.end()) n += it->second;
  }
  return n;
}

std::unique_ptr<driver::DriverState> MemoryDriver::NewState() const { return std::make_unique<MemoryState>(); }

MemoryDriver::Table& MemoryDriver::TableOf(const std::string& name) {
  auto& t = tables_[name];
  if (!t) t = std::make_unique<Table>();
  return *t;
}

int MemoryDriver::Handle(Code code, driver::FileObject& file, driver::DriverState& base,
                         const driver::OperationArgs& args, driver::OperationResult& result) {
  MemoryState& s = static_cast<MemoryState&>(base);
  ++calls[code];
  if (s.table == nullptr) s.table = &TableOf(file.name);
  Table& t = *s.table;
  std::uint32_t number = 0;
  switch (code) {
    case Code::Open:
    case Code::Close:
    case Code::Hold:
    case Code::HoldWithLimit:
    case Code::Release:
    case Code::Watch:
    case Code::SkipMemos: return 0;
    case Code::Add:
      t.records.emplace_back(s.record.begin(), s.record.end());
      t.live.push_back(true);
      ++t.version;
      s.current_record = static_cast<std::uint32_t>(t.records.size());
      return 0;
    case Code::Put:
      t.records[s.current_record - 1].assign(s.record.begin(), s.record.end());
      ++t.version;
      return 0;
    case Code::Delete:
      t.live[s.current_record - 1] = false;
      ++t.version;
      s.current_record = 0;
      return 0;
    case Code::Records:
      result.value = std::count(t.live.begin(), t.live.end(), true);
      return 0;
    case Code::SetRecordOrder:
    case Code::SetKeyOrder:
      s.sequence_key = code == Code::SetKeyOrder && args.key ? args.key->descriptor : nullptr;
      s.start = MemoryState::Start::First;
      return 0;
    case Code::SetKeyOrderFromValue:
      s.sequence_key = args.key->descriptor;
      s.start = MemoryState::Start::FromValue;
      s.start_image.assign(s.record.begin(), s.record.end());
      return 0;
    case Code::Next:
    case Code::Previous:
      if (auto failing = read_errors.find(file.name); failing != read_errors.end()) return failing->second;
      return s.Read(code == Code::Next);
    case Code::GetByPointer: return s.Load(args.pointer);
    case Code::Position:
    case Code::PositionOfKey: result.text = NumberText(s.current_record); return 0;
    case Code::Reset:
    case Code::ResetByKey:
      if (!TextNumber(args.text, number) || number == 0 || number > t.records.size() || !t.live[number - 1]) {
        return error_code::kRecordNotFound;
      }
      s.sequence_key = code == Code::ResetByKey && args.key ? args.key->descriptor : nullptr;
      s.EnsureOrder();
      s.start = MemoryState::Start::At;
      s.start_at = s.rank[number - 1];
      return 0;
    case Code::Reget:
    case Code::RegetByKey:
      if (!TextNumber(args.text, number)) return error_code::kRecordNotFound;
      return s.Load(number);
    default: return error_code::kUnsupportedFileDriverFunction;
  }
}

}  // namespace tavero::views::testing
