// The view engine over the collection's own files on the VMR driver: joins,
// early-ending filters and row positions on real files in a directory of
// their own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/dictionary/dictionary.h"
#include "eval/eval.h"
#include "runtime/error_state.h"
#include "storage/views/view.h"
#include "storage/vmr/check_testing.h"
#include "storage/vmr/vmr.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;
namespace views = tavero::views;
using Code = driver::OperationCode;

// Passes every operation on to the VMR driver and counts the records read.
class CountingEntry final : public driver::DriverEntry {
 public:
  driver::OperationResult Enter(driver::FileLike& object, Code code, const driver::OperationArgs& args) override {
    if (code == Code::Next || code == Code::Previous) ++reads;
    // The VMR driver takes only objects that name it as their entry.
    object.entry = &tavero::vmr::Driver();
    driver::OperationResult result = driver::Perform(object, code, args);
    object.entry = this;
    return result;
  }
  long reads = 0;
};

class CollectionView : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "zephcol-view-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    std::filesystem::current_path(directory_);
    for (DataFile* data : {&cardset_, &manufacturer_, &cards_}) {
      ASSERT_EQ(driver::Create(data->file()), 0) << tavero::ErrorText();
      ASSERT_EQ(driver::Open(data->file(), 0x42), 0) << tavero::ErrorText();
      tavero::eval::BindGroup(data->file().record_layout, data->record());
    }
  }
  void TearDown() override {
    tavero::eval::ReleaseBindings();
    for (DataFile* data : {&cardset_, &manufacturer_, &cards_}) driver::Close(data->file());
    std::filesystem::current_path(previous_);
    EXPECT_TRUE(tavero::vmr::testing_support::VmrFilesAreSound(directory_));
    std::filesystem::remove_all(directory_);
  }

  static int Run(driver::FileLike& object, Code code, driver::OperationArgs args = {}) {
    driver::Perform(object, code, args);
    return tavero::ErrorCode();
  }
  static int Filter(views::View& view, std::string_view text) {
    return Run(view, Code::ViewFilter, {.text = "31928", .filter = text});
  }

  void AddManufacturer(std::string_view name) {
    manufacturer_.clear();
    manufacturer_.set_text("MAN:MANUFACTURER", name);
    ASSERT_EQ(driver::Add(manufacturer_.file()), 0) << tavero::ErrorText();
  }
  void AddCardSet(std::int16_t set, std::string_view maker) {
    cardset_.clear();
    cardset_.set_number("CAR:SET_NO", set);
    cardset_.set_text("CAR:MANUFACTURER", maker);
    cardset_.set_text("CAR:YEAR", "1994");
    ASSERT_EQ(driver::Add(cardset_.file()), 0) << tavero::ErrorText();
  }
  void AddCard(std::int16_t set, std::int16_t card) {
    cards_.clear();
    cards_.set_number("SET:SET_NO", set);
    cards_.set_number("SET:CARD_NO", card);
    cards_.set_text("SET:LAST_NAME", "PLAYER " + std::to_string(card));
    ASSERT_EQ(driver::Add(cards_.file()), 0) << tavero::ErrorText();
  }

  // Two makers; sets 1, 2, 4 and 5 name them in other cases, set 3 names
  // none. Added out of set order.
  void AddSetsOfKnownAndUnknownMakers() {
    AddManufacturer("Topps");
    AddManufacturer("fleer");
    AddCardSet(4, "topps");
    AddCardSet(2, "Fleer");
    AddCardSet(5, "FLEER");
    AddCardSet(3, "Donruss");
    AddCardSet(1, "TOPPS");
  }
  // CARDSET in set order, joined to MANUFACTURER by name, case-insensitively.
  views::ViewComponent CardSetsWithManufacturers() {
    views::ViewComponent join{.file = &manufacturer_.file(),
                              .key = &manufacturer_.key("MAN:MANFACT"),
                              .links = {"CAR:MANUFACTURER"},
                              .join_flags = views::join_flag::kCaseInsensitive};
    return views::ViewComponent{.file = &cardset_.file(), .children = {join}};
  }
  std::string CardSetRow() {
    const std::string maker = manufacturer_.text("MAN:MANUFACTURER");
    return std::to_string(cardset_.number("CAR:SET_NO")) + ":" + (maker.empty() ? "-" : maker);
  }
  // Every row from here on, as `row` describes it.
  template <typename F>
  static std::vector<std::string> Rows(views::View& view, F row, Code read = Code::Next) {
    std::vector<std::string> rows;
    while (Run(view, read) == 0) rows.push_back(row());
    EXPECT_EQ(tavero::ErrorCode(), 33) << tavero::ErrorText();
    return rows;
  }

  std::filesystem::path previous_;
  std::filesystem::path directory_;
  CountingEntry counting_;
  DataFile cardset_{kCardsetDeclaration, tavero::vmr::Driver()};
  DataFile manufacturer_{kManufacturerDeclaration, tavero::vmr::Driver()};
  DataFile cards_{kSetInformationDeclaration, counting_};
};

TEST_F(CollectionView, JoinedCardSetsWithACaseInsensitiveFilter) {
  AddSetsOfKnownAndUnknownMakers();
  views::View view(CardSetsWithManufacturers());
  ASSERT_EQ(driver::SetKeyOrder(cardset_.file(), cardset_.key("CAR:SET")), 0);
  // Set 3 has no maker: delivered once, the maker's record cleared.
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }),
            (std::vector<std::string>{"1:Topps", "2:fleer", "3:-", "4:Topps", "5:fleer"}));

  ASSERT_EQ(Run(view, Code::GetByPointer), 0);  // restart
  ASSERT_EQ(Filter(view, "UPPER(CAR:MANUFACTURER) = 'FLEER'"), 0);
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }), (std::vector<std::string>{"2:fleer", "5:fleer"}));
  ASSERT_EQ(Run(view, Code::GetByPointer), 0);
  ASSERT_EQ(Filter(view, "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)"), 0);
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }, Code::Previous),
            (std::vector<std::string>{"5:fleer", "4:Topps", "2:fleer", "1:Topps"}));
}

TEST_F(CollectionView, AFilterPinningTheSetEndsTheViewEarly) {
  for (std::int16_t set = 1; set <= 30; ++set) {
    for (std::int16_t card = 1; card <= 10; ++card) AddCard(set, card);
  }
  views::View view(views::ViewComponent{.file = &cards_.file()});
  ASSERT_EQ(driver::SetKeyOrder(cards_.file(), cards_.key("SET:SET_KEY")), 0);
  cardset_.set_number("CAR:SET_NO", 20);  // the card set the browse shows
  ASSERT_EQ(Filter(view, "SET:SET_No = CAR:SET_No"), 0);
  const auto card = [&] {
    return std::to_string(cards_.number("SET:SET_NO")) + "." + std::to_string(cards_.number("SET:CARD_NO"));
  };
  counting_.reads = 0;
  const std::vector<std::string> rows = Rows(view, card);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows.front(), "20.1");
  EXPECT_EQ(rows.back(), "20.10");
  // The ten of set 20 and at most one on either side of them.
  EXPECT_GE(counting_.reads, 10);
  EXPECT_LE(counting_.reads, 12);

  ASSERT_EQ(Run(view, Code::GetByPointer), 0);
  counting_.reads = 0;
  EXPECT_EQ(Rows(view, card, Code::Previous).size(), 10u);
  EXPECT_LE(counting_.reads, 12);

  ASSERT_EQ(Run(view, Code::GetByPointer), 0);
  ASSERT_EQ(Filter(view, "SET:SET_NO = 30"), 0);  // the last set: the file's end stops it
  counting_.reads = 0;
  EXPECT_EQ(Rows(view, card).size(), 10u);
  EXPECT_LE(counting_.reads, 12);
}

TEST_F(CollectionView, PositionResetAndRegetOfAJoinedRow) {
  AddSetsOfKnownAndUnknownMakers();
  views::View view(CardSetsWithManufacturers());
  ASSERT_EQ(driver::SetKeyOrder(cardset_.file(), cardset_.key("CAR:SET")), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  ASSERT_EQ(CardSetRow(), "2:fleer");
  const std::string second = driver::Perform(view, Code::Position).text;
  ASSERT_FALSE(second.empty());
  ASSERT_EQ(Run(view, Code::Next), 0);
  ASSERT_EQ(CardSetRow(), "3:-");
  const std::string third = driver::Perform(view, Code::Position).text;
  ASSERT_EQ(Run(view, Code::Next), 0);
  ASSERT_EQ(Run(view, Code::Next), 0);
  ASSERT_EQ(CardSetRow(), "5:fleer");

  // REGET loads the row at once, both records of it.
  cardset_.clear();
  manufacturer_.clear();
  ASSERT_EQ(Run(view, Code::Reget, {.text = second}), 0) << tavero::ErrorText();
  EXPECT_EQ(CardSetRow(), "2:fleer");
  // RESET positions on the row: the next read delivers it and goes on from it.
  ASSERT_EQ(Run(view, Code::Reset, {.text = third}), 0) << tavero::ErrorText();
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }), (std::vector<std::string>{"3:-", "4:Topps", "5:fleer"}));
  ASSERT_EQ(Run(view, Code::Reset, {.text = second}), 0);
  EXPECT_EQ(Rows(view, [&] { return CardSetRow(); }, Code::Previous),
            (std::vector<std::string>{"2:fleer", "1:Topps"}));
}

}  // namespace
}  // namespace zephcol
