#include "ui/test_lists.h"

#include <algorithm>
#include <cstring>

#include "decimal/decimal.h"
#include "storage/driver/record_layout.h"
#include "ui/engine.h"
#include "ui/message_box.h"
#include "ui/properties.h"

namespace tavero::ui::testing {

using definitions::ControlDefinition;
using definitions::ControlKind;
using definitions::EntryDefinition;
namespace attribute = definitions::control_attribute;

ControlDefinition ListBox(int number, std::string format, definitions::Rect at, std::uint32_t attributes) {
  ControlDefinition list = List(number);
  list.format = std::move(format);
  list.position = at;
  list.attributes = attributes;
  return list;
}

namespace {
constexpr std::size_t kNameAt = 4, kPriceAt = 24, kBoughtAt = 29, kCardSize = 33;
}  // namespace

CardQueue::CardQueue() : record_(kCardSize) {
  driver::RecordLayoutWriter writer;
  writer.Field("Q:NO", 0, driver::FieldType::INT32)
      .String("Q:NAME", kNameAt, 20)
      .Packed("Q:PRICE", kPriceAt, 5, 2)
      .Field("Q:BOUGHT", kBoughtAt, driver::FieldType::INT32);
  layout_ = writer.Finish();
  queue_ = std::make_unique<queues::Queue>(record_, layout_);
}

void CardQueue::Add(int number, std::string_view name, std::int64_t cents, std::int32_t day) {
  std::memcpy(record_.data(), &number, 4);
  std::memset(record_.data() + kNameAt, ' ', 20);
  std::memcpy(record_.data() + kNameAt, name.data(), std::min<std::size_t>(name.size(), 20));
  decimal::DecimalAccumulator price = decimal::DecimalAccumulator::FromInt64(cents);
  price = decimal::Divide(price, decimal::DecimalAccumulator::FromInt64(100));
  decimal::WritePacked(decimal::PackedForm::kDecimal, price, {record_.data() + kPriceAt, 5}, 2);
  std::memcpy(record_.data() + kBoughtAt, &day, 4);
  queue_->Add();
}

std::string CardName(int number) {
  static const char* const kPlayers[] = {"AARON", "BANKS", "CLEMENTE", "DIMAGGIO", "ERSKINE",
                                         "FELLER", "GEHRIG", "HODGES", "IRVIN", "JACKSON"};
  return std::string(kPlayers[number % 10]) + " " + std::to_string(number);
}

namespace {

constexpr const char* kCardFormat = "32R(2)|M~No~@n_6@90L(2)|M~Name~@s20@48R(2)|M~Price~@n10.2@50L(2)|M~Bought~@d6@";

void AddCard(CardQueue& cards, int number) {
  cards.Add(number, CardName(number), 100 + 37 * number, 70000 + number);
}

// The immediate list's page: cards first .. first + rows - 1.
struct Page {
  int first = 1;     // card on the page's first row
  int selected = 1;  // row of the page
  int rows = 1;

  int LastFirst() const { return std::max(1, kDemoCards - rows + 1); }
  int Thumb() const { return LastFirst() == 1 ? 0 : (first - 1) * 100 / (LastFirst() - 1); }
};

}  // namespace

EntryDefinition ListsWindow() {
  EntryDefinition window = PlainWindow(
      "Lists", {ListBox(1, kCardFormat, {4, 4, 240, 222}, attribute::kVerticalScroll),
                ListBox(2, kCardFormat, {250, 4, 240, 222}, attribute::kVerticalScroll | attribute::kImmediate),
                Button(3, "&Close")});
  window.position = {definitions::kDefaultCoordinate, definitions::kDefaultCoordinate, 494, 248};
  window.controls[2].position = {444, 230, 46, 14};
  return window;
}

void ListsProcedure(EventLog& log) {
  CardQueue all;
  for (int number = 1; number <= kDemoCards; ++number) AddCard(all, number);
  CardQueue page_queue;
  Page page;
  Window window(ListsWindow());
  window.SetListFrom(1, &all.queue());
  window.SetListFrom(2, &page_queue.queue());
  window.Open();
  auto fill = [&] {
    page.rows = std::max(1, std::stoi(window.GetProperty(2, property::kListItems)));
    page.first = std::clamp(page.first, 1, page.LastFirst());
    page.selected = std::clamp(page.selected, 1, page.rows);
    page_queue.queue().Free();
    for (int number = page.first; number < page.first + page.rows && number <= kDemoCards; ++number) {
      AddCard(page_queue, number);
    }
    window.SetProperty(2, property::kListSelected, page.selected);
    window.SetProperty(2, property::kListThumb, page.Thumb());
  };
  ACCEPT([&] {
    const Event event = EVENT();
    if (event == Event::OpenWindow) fill();
    if (ACCEPTED() == 3) {
      const int answer = MESSAGE("Close the lists?", "Lists", "", button::kYes | button::kNo, button::kNo);
      log.Add("MESSAGE " + std::to_string(answer));
      return answer == button::kYes ? LoopResult::Break : LoopResult::Continue;
    }
    if (FIELD() != 2) return LoopResult::Continue;
    std::string line = EventName(InternalCode(event)).data();
    switch (event) {
      case Event::ScrollUp:
        if (page.selected > 1) --page.selected;
        else --page.first;
        break;
      case Event::ScrollDown:
        if (page.selected < page.rows) ++page.selected;
        else ++page.first;
        break;
      case Event::PageUp: page.first -= page.rows; break;
      case Event::PageDown: page.first += page.rows; break;
      case Event::ScrollTop: page.first = page.selected = 1; break;
      case Event::ScrollBottom:
        page.first = page.LastFirst();
        page.selected = page.rows;
        break;
      case Event::ScrollDrag: {
        const int thumb = std::stoi(window.GetProperty(2, property::kListThumb));
        line += " thumb " + std::to_string(thumb);
        page.first = 1 + (page.LastFirst() - 1) * thumb / 100;
        break;
      }
      case Event::NewSelection:
        page.selected = std::stoi(window.GetProperty(2, property::kListSelected));
        line += " KEYCODE " + std::to_string(KEYCODE());
        break;
      case Event::AlertKey:
        line += " KEYCHAR " + std::to_string(KEYCHAR());
        break;
      default:
        return LoopResult::Continue;
    }
    log.Add(line);
    fill();
    return LoopResult::Continue;
  });
}

namespace {

// The tree's queue: TEXT, four colours, ICON, LEVEL.
class TreeQueue {
 public:
  TreeQueue() : record_(kSize) {
    driver::RecordLayoutWriter writer;
    writer.String("T:TEXT", 0, 30);
    for (int k = 0; k < 4; ++k) writer.Field("T:COLOUR", 30 + 4 * k, driver::FieldType::INT32);
    writer.Field("T:ICON", 46, driver::FieldType::INT32).Field("T:LEVEL", 50, driver::FieldType::INT32);
    layout_ = writer.Finish();
    queue_ = std::make_unique<queues::Queue>(record_, layout_);
  }
  // Inserts before `position` (any other: appends).
  void Add(std::string_view text, int level, std::int32_t colour, int position = 0) {
    std::memset(record_.data(), ' ', 30);
    std::memcpy(record_.data(), text.data(), std::min<std::size_t>(text.size(), 30));
    const std::int32_t colours[4] = {colour, -1, -1, colour};
    std::memcpy(record_.data() + 30, colours, 16);
    const std::int32_t icon = std::abs(level) + 1;
    std::memcpy(record_.data() + 46, &icon, 4);
    std::memcpy(record_.data() + 50, &level, 4);
    queue_->Add(position);
  }
  int Level(int position) {
    queue_->Get(position);
    std::int32_t level = 0;
    std::memcpy(&level, record_.data() + 50, 4);
    return level;
  }
  queues::Queue& queue() { return *queue_; }

 private:
  static constexpr std::size_t kSize = 54;
  std::vector<std::uint8_t> record_;
  std::vector<std::uint8_t> layout_;
  std::unique_ptr<queues::Queue> queue_;
};

}  // namespace

EntryDefinition TreeWindow() {
  EntryDefinition window = PlainWindow("Tree", {ListBox(1, "120L*IT@s30@", {4, 4, 160, 100}), Button(2, "&Close")});
  window.controls[1].position = {120, 108, 44, 14};
  window.position.height = 126;
  return window;
}

void TreeProcedure(EventLog& log) {
  TreeQueue tree;
  tree.Add("ROOT", 0, -1);
  tree.Add("TOPPS", -1, 0x0000FF);
  tree.Add("FLEER", 1, 0xFF0000);
  Window window(TreeWindow());
  window.SetListFrom(1, &tree.queue());
  for (int icon = 1; icon <= 3; ++icon) window.SetListIcon(1, icon, "star" + std::to_string(icon) + ".ico");
  window.Open();
  ACCEPT([&] {
    if (ACCEPTED() == 2) return LoopResult::Break;
    if (EVENT() != Event::Expanded && EVENT() != Event::Contracted) return LoopResult::Continue;
    const int row = std::stoi(window.GetProperty(1, property::kListEventRow));
    log.Add(std::string(EventName(InternalCode(EVENT()))) + " row " + std::to_string(row));
    const int depth = std::abs(tree.Level(row));
    if (EVENT() == Event::Expanded) {
      tree.Add("1991 SERIES", depth + 1, 0x00FF00, row + 1);
      tree.Add("1992 SERIES", depth + 1, 0x00FF00, row + 2);
    } else {
      while (row < tree.queue().Records() && std::abs(tree.Level(row + 1)) > depth) {
        tree.queue().Get(row + 1);
        tree.queue().Delete();
      }
    }
    return LoopResult::Continue;
  });
}

}  // namespace tavero::ui::testing
