#include "storage/views/view.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "runtime/error_state.h"
#include "storage/views/memory_driver.h"

namespace tavero::views {
namespace {

using Code = driver::OperationCode;
using driver::FieldType;
using testing::MemoryDriver;

// A declared file of the collection: its layout, record buffer and keys.
struct TestFile {
  TestFile(MemoryDriver& d, std::string name, std::vector<std::uint8_t> layout_bytes, std::size_t length)
      : layout(std::move(layout_bytes)), record(length, 0) {
    file.entry = &d;
    file.name = std::move(name);
    file.attributes = 0x1c;
    file.record_layout = layout;
    file.record = record;
  }
  driver::KeyObject& AddKey(std::string name, std::vector<std::int32_t> components, std::uint32_t attributes) {
    auto& k = keys.emplace_back(std::make_unique<driver::KeyObject>());
    k->name = std::move(name);
    k->components = std::move(components);
    k->attributes = attributes;
    k->file = &file;
    file.keys.push_back(k.get());
    return *k;
  }
  void Put16(std::size_t at, std::int16_t v) { std::memcpy(record.data() + at, &v, 2); }
  std::int16_t Get16(std::size_t at) const {
    std::int16_t v;
    std::memcpy(&v, record.data() + at, 2);
    return v;
  }
  void PutText(std::size_t at, std::size_t length, std::string_view text) {
    std::memset(record.data() + at, ' ', length);
    std::memcpy(record.data() + at, text.data(), std::min(length, text.size()));
  }
  std::string Text(std::size_t at, std::size_t length) const {
    std::string s(reinterpret_cast<const char*>(record.data()) + at, length);
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }

  std::vector<std::uint8_t> layout;
  std::vector<std::uint8_t> record;
  std::vector<std::unique_ptr<driver::KeyObject>> keys;
  driver::FileObject file;
};

class ViewTest : public ::testing::Test {
 protected:
  ViewTest()
      : cardset_(driver_, "CARDSET",
                 driver::RecordLayoutWriter()
                     .Field("CAR:SET_NO", 0, FieldType::INT16)
                     .String("CAR:MANUFACTURER", 2, 30)
                     .String("CAR:YEAR", 32, 10)
                     .String("CAR:TYPE_OF_CARD", 42, 20)
                     .Finish(),
                 62),
        manufacturer_(driver_, "MANUFACTURER", driver::RecordLayoutWriter().String("MAN:MANUFACTURER", 0, 20).Finish(),
                      20),
        cards_(driver_, "SETINFORMATION",
               driver::RecordLayoutWriter()
                   .Field("SET:SET_NO", 0, FieldType::INT16)
                   .Field("SET:CARD_NO", 2, FieldType::INT16)
                   .String("SET:LAST_NAME", 4, 20)
                   .Finish(),
               24) {
    car_set_ = &cardset_.AddKey("CAR:SET", {1}, 0x16);
    car_manufacturers_ = &cardset_.AddKey("CAR:MANUFACTURERS", {2, 3, 4}, 0x07);
    man_key_ = &manufacturer_.AddKey("MAN:MANFACT", {1}, 0x16);
    set_key_ = &cards_.AddKey("SET:SET_KEY", {1}, 0x07);
    for (TestFile* f : {&cardset_, &manufacturer_, &cards_}) {
      EXPECT_EQ(Run(f->file, Code::Open, {.number = 0x42}), 0);
      eval::BindGroup(f->layout, f->record);
    }
  }
  ~ViewTest() override { eval::ReleaseBindings(); }

  static int Run(driver::FileLike& object, Code code, driver::OperationArgs args = {}) {
    driver::Perform(object, code, args);
    return ErrorCode();
  }
  void AddCardSet(std::int16_t set_no, std::string_view manufacturer) {
    cardset_.Put16(0, set_no);
    cardset_.PutText(2, 30, manufacturer);
    cardset_.PutText(32, 10, "1994");
    cardset_.PutText(42, 20, "BASEBALL");
    ASSERT_EQ(Run(cardset_.file, Code::Add), 0);
  }
  void AddManufacturer(std::string_view name) {
    manufacturer_.PutText(0, 20, name);
    ASSERT_EQ(Run(manufacturer_.file, Code::Add), 0);
  }
  void AddCard(std::int16_t set_no, std::int16_t card_no) {
    cards_.Put16(0, set_no);
    cards_.Put16(2, card_no);
    cards_.PutText(4, 20, "PLAYER " + std::to_string(card_no));
    ASSERT_EQ(Run(cards_.file, Code::Add), 0);
  }
  // Sets the view's filter with operation 71 as the browses do.
  int Filter(View& view, std::string_view text) {
    return Run(view, Code::ViewFilter, {.text = "31928", .filter = text});
  }
  // Every row from here on: `row` describes the current row.
  template <typename F>
  std::vector<std::string> Rows(View& view, F row, Code read = Code::Next) {
    std::vector<std::string> rows;
    while (Run(view, read) == 0) rows.push_back(row());
    EXPECT_EQ(ErrorCode(), 33);
    return rows;
  }
  std::string CardSetRow() {
    std::string man = manufacturer_.Text(0, 20);
    return std::to_string(cardset_.Get16(0)) + ":" + (man.empty() ? "-" : man);
  }

  // Two makers; sets 1, 2 and 4 name them in other cases, set 3 names none.
  void AddSetsOfKnownAndUnknownMakers() {
  AddManufacturer("Topps");
  AddManufacturer("fleer");
  AddCardSet(1, "TOPPS");
  AddCardSet(2, "Fleer");
  AddCardSet(3, "Donruss");
  AddCardSet(4, "topps");
  }

  // CARDSET in set order, joined to MANUFACTURER by name, case-insensitively.
  ViewComponent CardSetsWithManufacturers() {
    ViewComponent join{.file = &manufacturer_.file,
                       .key = man_key_,
                       .links = {"CAR:MANUFACTURER"},
                       .join_flags = join_flag::kCaseInsensitive};
    return ViewComponent{.file = &cardset_.file, .children = {join}};
  }

  // MANUFACTURER in its order, its sets by CAR:MANUFACTURERS (names in any
  // case), each set's cards by SET:SET_KEY.
  ViewComponent MakersWithSetsAndCards() {
    ViewComponent cards{.file = &cards_.file, .key = set_key_, .links = {"CAR:SET_NO"}};
    ViewComponent sets{.file = &cardset_.file,
                       .key = car_manufacturers_,
                       .links = {"MAN:MANUFACTURER"},
                       .join_flags = join_flag::kCaseInsensitive,
                       .children = {cards}};
    return ViewComponent{.file = &manufacturer_.file, .children = {sets}};
  }
  // A row of that view: "maker/set/card".
  std::string MakerSetCardRow() {
    return manufacturer_.Text(0, 20) + "/" + std::to_string(cardset_.Get16(0)) + "/" + std::to_string(cards_.Get16(2));
  }

  MemoryDriver driver_;
  TestFile cardset_, manufacturer_, cards_;
  driver::KeyObject *car_set_, *car_manufacturers_, *man_key_, *set_key_;
};

TEST_F(ViewTest, JoinDeliversAPrimaryRowWithoutMatchOnceWithTheJoinedRecordCleared) {
  AddSetsOfKnownAndUnknownMakers();
  View view(CardSetsWithManufacturers());
  ASSERT_EQ(Run(view, Code::Open), 0);
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }),
            (std::vector<std::string>{"1:Topps", "2:fleer", "3:-", "4:Topps"}));
}

TEST_F(ViewTest, CaseInsensitiveFilterKeepsOnlyMatchingManufacturers) {
  AddSetsOfKnownAndUnknownMakers();
  View view(CardSetsWithManufacturers());
  Run(view, Code::Close);
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
  ASSERT_EQ(Filter(view, "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)"), 0);
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }),
            (std::vector<std::string>{"1:Topps", "2:fleer", "4:Topps"}));
  // Backward from a restart: the last row of the order first.
  ASSERT_EQ(Run(view, Code::GetByPointer), 0);  // 16: restart
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }, Code::Previous),
            (std::vector<std::string>{"4:Topps", "2:fleer", "1:Topps"}));
}

TEST_F(ViewTest, NestedJoinsReadLikeAnOdometer) {
  AddManufacturer("Fleer");
  AddManufacturer("Score");
  AddManufacturer("Topps");
  AddCardSet(7, "Topps");
  AddCardSet(3, "fleer");
  AddCardSet(5, "TOPPS");
  for (std::int16_t card : {1, 2}) AddCard(7, card);
  AddCard(3, 9);
  View report(MakersWithSetsAndCards());
  ASSERT_EQ(Run(manufacturer_.file, Code::SetKeyOrder, {.key = man_key_}), 0);
  const auto row = [&] { return MakerSetCardRow(); };
  // Score has no sets (cleared: set 0, card 0); set 5 has no cards.
  EXPECT_EQ(Rows(report, row),
            (std::vector<std::string>{"Fleer/3/9", "Score/0/0", "Topps/7/1", "Topps/7/2", "Topps/5/0"}));
}

TEST_F(ViewTest, AReadErrorOfAnyComponentEndsTheReadWithThatError) {
  AddManufacturer("Fleer");
  AddManufacturer("Topps");
  AddCardSet(3, "fleer");
  AddCardSet(7, "Topps");
  for (std::int16_t card : {1, 2}) AddCard(3, card);
  AddCard(7, 1);
  View report(MakersWithSetsAndCards());
  const auto row = [&] { return MakerSetCardRow(); };
  // A file that cannot be read is not a row without its joined records: the
  // read that meets the error answers it, whichever file it was.
  for (const char* failing : {"MANUFACTURER", "CARDSET", "SETINFORMATION"}) {
    SCOPED_TRACE(failing);
    ASSERT_EQ(Run(manufacturer_.file, Code::SetKeyOrder, {.key = man_key_}), 0);
    ASSERT_EQ(Run(report, Code::Open), 0);
    driver_.read_errors[failing] = 36;
    EXPECT_EQ(Run(report, Code::Next), 36);  // the first row reads all three
    driver_.read_errors.clear();
    Run(report, Code::Close);
  }
  // Read again, the view delivers every row.
  ASSERT_EQ(Run(manufacturer_.file, Code::SetKeyOrder, {.key = man_key_}), 0);
  ASSERT_EQ(Run(report, Code::Open), 0);
  EXPECT_EQ(Rows(report, row), (std::vector<std::string>{"Fleer/3/1", "Fleer/3/2", "Topps/7/1"}));
}

TEST_F(ViewTest, AFilterPinningTheFirstKeyComponentEndsTheViewEarly) {
  for (std::int16_t set = 1; set <= 100; ++set) {
    for (std::int16_t card = 1; card <= 10; ++card) AddCard(set, card);
  }
  View view(ViewComponent{.file = &cards_.file});
  ASSERT_EQ(Run(cards_.file, Code::SetKeyOrder, {.key = set_key_}), 0);
  cardset_.Put16(0, 50);  // the card set the browse shows
  ASSERT_EQ(Filter(view, "SET:SET_No = CAR:SET_No"), 0);
  driver_.ResetCounts();
  const auto rows = Rows(view, [&] { return std::to_string(cards_.Get16(0)) + "." + std::to_string(cards_.Get16(2)); });
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows.front(), "50.1");
  EXPECT_EQ(rows.back(), "50.10");
  // One record before the range, the ten of set 50, one after it.
  EXPECT_LE(driver_.Reads(), 12);

  // The same backward from a restart, and a range of sets.
  Run(view, Code::GetByPointer);
  driver_.ResetCounts();
  EXPECT_EQ(Rows(view, [&] { return std::to_string(cards_.Get16(2)); }, Code::Previous).size(), 10u);
  EXPECT_LE(driver_.Reads(), 12);
  Run(view, Code::GetByPointer);
  ASSERT_EQ(Filter(view, "SET:SET_NO >= 98 AND SET:SET_NO < 99.5 AND SET:CARD_NO < 3"), 0);
  driver_.ResetCounts();
  EXPECT_EQ(Rows(view, [&] { return std::to_string(cards_.Get16(0)); }),
            (std::vector<std::string>{"98", "98", "99", "99"}));
  EXPECT_LE(driver_.Reads(), 23);
}

TEST_F(ViewTest, TextBoundsRespectTheKeysCaseRule) {
  AddCardSet(1, "TOPPS");
  AddCardSet(2, "topps");
  AddCardSet(3, "Fleer");
  AddCardSet(4, "Topps");
  AddCardSet(5, "Upper Deck");
  View view(ViewComponent{.file = &cardset_.file});
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_manufacturers_}), 0);
  // The filter compares case-sensitively; the key does not: the range ends
  // after the last "topps" of any case, never before it.
  ASSERT_EQ(Filter(view, "CAR:MANUFACTURER = 'Topps'"), 0);
  driver_.ResetCounts();
  EXPECT_EQ(Rows(view, [&] { return std::to_string(cardset_.Get16(0)); }), (std::vector<std::string>{"4"}));
  EXPECT_LE(driver_.Reads(), 5);
}

TEST_F(ViewTest, PositionsSkipAndReget) {
  for (std::int16_t set = 1; set <= 8; ++set) AddCardSet(set, "Topps");
  View view(ViewComponent{.file = &cardset_.file});
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
  driver::OperationResult position = driver::Perform(view, Code::Position);
  EXPECT_EQ(position.text, "");  // not reading yet
  Run(view, Code::Next);
  Run(view, Code::Next);
  ASSERT_EQ(cardset_.Get16(0), 2);
  position = driver::Perform(view, Code::Position);
  ASSERT_EQ(position.text.size(), 12u);  // key number, then one component of 4 bytes
  Run(view, Code::Next);
  ASSERT_EQ(Run(view, Code::Reset, {.text = position.text}), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  EXPECT_EQ(cardset_.Get16(0), 2);
  // SKIP runs to the last row without an error.
  ASSERT_EQ(Run(view, Code::Skip, {.number = 5}), 0);
  EXPECT_EQ(cardset_.Get16(0), 7);
  ASSERT_EQ(Run(view, Code::Skip, {.number = 5}), 0);
  EXPECT_EQ(cardset_.Get16(0), 8);
  // After running off the end, backward reading starts with the last row.
  ASSERT_EQ(Run(view, Code::Skip, {.number = -3}), 0);
  EXPECT_EQ(cardset_.Get16(0), 6);
  // REGET loads the row at once; the next read starts over.
  cardset_.Put16(0, 0);
  ASSERT_EQ(Run(view, Code::Reget, {.text = position.text}), 0);
  EXPECT_EQ(cardset_.Get16(0), 2);
  ASSERT_EQ(Run(view, Code::Next), 0);
  EXPECT_EQ(cardset_.Get16(0), 1);
  // A key number beyond the file's keys positions nothing.
  std::string bad = position.text;
  bad[0] = 9;
  EXPECT_EQ(Run(view, Code::Reset, {.text = bad}), 0);
  EXPECT_EQ(Run(view, Code::Reset, {.text = "xy"}), 33);
}

TEST_F(ViewTest, PositionOfAJoinedRowBringsBackBothRecords) {
  AddSetsOfKnownAndUnknownMakers();
  View view(CardSetsWithManufacturers());
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  const std::string second = driver::Perform(view, Code::Position).text;
  ASSERT_EQ(CardSetRow(), "2:fleer");
  ASSERT_EQ(Run(view, Code::Next), 0);
  const std::string third = driver::Perform(view, Code::Position).text;  // no maker: empty part
  ASSERT_EQ(CardSetRow(), "3:-");
  ASSERT_EQ(Run(view, Code::Reget, {.text = second}), 0);
  EXPECT_EQ(CardSetRow(), "2:fleer");
  ASSERT_EQ(Run(view, Code::Reset, {.text = third}), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  EXPECT_EQ(CardSetRow(), "3:-");
  ASSERT_EQ(Run(view, Code::Next), 0);
  EXPECT_EQ(CardSetRow(), "4:Topps");
}

TEST_F(ViewTest, ResetToAnyRowOfAJoinedViewReadsThatRowAgainAndGoesOnFromIt) {
  AddManufacturer("Fleer");
  AddManufacturer("Score");
  AddManufacturer("Topps");
  AddCardSet(7, "Topps");
  AddCardSet(3, "fleer");
  AddCardSet(5, "TOPPS");
  AddCardSet(8, "Topps");
  for (std::int16_t card : {1, 2, 3}) AddCard(7, card);
  for (std::int16_t card : {4, 9}) AddCard(3, card);
  AddCard(8, 6);
  View report(MakersWithSetsAndCards());
  const auto row = [&] { return MakerSetCardRow(); };
  const std::vector<std::string> all{"Fleer/3/4",  "Fleer/3/9",  "Score/0/0", "Topps/7/1",
                                     "Topps/7/2",  "Topps/7/3",  "Topps/5/0", "Topps/8/6"};
  ASSERT_EQ(Run(manufacturer_.file, Code::SetKeyOrder, {.key = man_key_}), 0);
  ASSERT_EQ(Run(report, Code::Open), 0);
  ASSERT_EQ(Rows(report, row), all);
  // Each row's position, the files moved elsewhere, then RESET: the next
  // read delivers that row, and the reads after it the rest in order.
  for (std::size_t at = 0; at < all.size(); ++at) {
    SCOPED_TRACE(all[at]);
    ASSERT_EQ(Run(report, Code::Close), 0);
    ASSERT_EQ(Run(manufacturer_.file, Code::SetKeyOrder, {.key = man_key_}), 0);
    ASSERT_EQ(Run(report, Code::Open), 0);
    for (std::size_t n = 0; n <= at; ++n) ASSERT_EQ(Run(report, Code::Next), 0);
    const std::string position = driver::Perform(report, Code::Position).text;
    for (TestFile* f : {&cardset_, &manufacturer_, &cards_}) {
      ASSERT_EQ(Run(f->file, Code::SetKeyOrder, {.key = f->file.keys.front()}), 0);
      ASSERT_EQ(Run(f->file, Code::Next), 0);
    }
    ASSERT_EQ(Run(report, Code::Reset, {.text = position}), 0);
    EXPECT_EQ(Rows(report, row), std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(at), all.end()));
  }
}

// The filter text outlives CLOSE and is compiled again when the view
// restarts; replacing the text with itself must not read freed memory.
TEST_F(ViewTest, AFilterSurvivesCloseAndIsCompiledAgain) {
  for (std::int16_t set = 1; set <= 5; ++set) AddCardSet(set, "Topps");
  View view(ViewComponent{.file = &cardset_.file});
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
  ASSERT_EQ(Filter(view, "CAR:SET_NO > 3"), 0);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(Run(view, Code::Close), 0);
    ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
    EXPECT_EQ(Rows(view, [&] { return std::to_string(cardset_.Get16(0)); }),
              (std::vector<std::string>{"4", "5"}));
  }
}

TEST_F(ViewTest, FiltersThatDoNotCompileLeaveNoFilterAndPostTheirError) {
  for (std::int16_t set = 1; set <= 3; ++set) AddCardSet(set, "Topps");
  View view(ViewComponent{.file = &cardset_.file});
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
  EXPECT_EQ(Filter(view, "CAR:SET_NO = "), 800);
  EXPECT_EQ(Filter(view, "NOSUCH:FIELD = 1"), 801);
  EXPECT_EQ(Rows(view, [&] { return std::to_string(cardset_.Get16(0)); }).size(), 3u);
}

TEST_F(ViewTest, RecordOperationsGoToThePrimaryAndOthersAreRefused) {
  for (std::int16_t set = 1; set <= 3; ++set) AddCardSet(set, "Topps");
  View view(ViewComponent{.file = &cardset_.file});
  ASSERT_EQ(Run(cardset_.file, Code::SetKeyOrder, {.key = car_set_}), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  EXPECT_EQ(Run(view, Code::Delete), 0);
  driver::OperationResult records = driver::Perform(cardset_.file, Code::Records);
  EXPECT_EQ(records.value, 2);
  EXPECT_EQ(Run(view, Code::Add), 80);
  EXPECT_EQ(Run(view, Code::BuildAll), 80);
  // A view whose file is not open cannot start.
  Run(cards_.file, Code::Close);
  View closed(ViewComponent{.file = &cards_.file});
  EXPECT_EQ(Run(closed, Code::Next), 37);
}

// A view that delivers no memo field has the driver leave the memos unread
// on every read (SKIPMEMOS before it): a browse of cards does not look up
// notes it never shows. One that asks for them reads them.
TEST_F(ViewTest, OnlyAComponentThatAsksForMemosHasThemRead) {
  std::array<std::uint8_t, 40> notes{};
  driver::BlobObject memo{.name = "SET:NOTES", .buffer = notes, .size = static_cast<std::uint32_t>(notes.size())};
  cards_.file.blobs.push_back(&memo);
  for (std::int16_t card : {1, 2, 3}) AddCard(7, card);
  for (const bool memos : {false, true}) {
    View browse(ViewComponent{.file = &cards_.file, .memos = memos});
    ASSERT_EQ(Run(cards_.file, Code::SetKeyOrder, {.key = set_key_}), 0);
    driver_.ResetCounts();
    EXPECT_EQ(Rows(browse, [&] { return std::to_string(cards_.Get16(2)); }).size(), 3u);
    EXPECT_EQ(driver_.calls[Code::Next], 4) << "memos " << memos;
    EXPECT_EQ(driver_.calls[Code::SkipMemos], memos ? 0 : 4) << "memos " << memos;
  }
  cards_.file.blobs.clear();
}

}  // namespace
}  // namespace tavero::views
