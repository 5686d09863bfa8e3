// The page browse without windows, over real VMR files of the collection:
// the page, scrolling, ranges, the locator, the thumb and the reload.
#include "app/page_browse.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "runtime/error_state.h"
#include "storage/vmr/check_testing.h"
#include "storage/vmr/vmr.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;

constexpr std::string_view kColumns[] = {"CAR:SET_NO", "CAR:MANUFACTURER", "CAR:YEAR", "CAR:TYPE_OF_CARD"};
constexpr RangeDeclaration kByManufacturer{"CAR:MANUFACTURER", Manufacturer, "MAN:MANUFACTURER"};
constexpr RangeDeclaration kByType{"CAR:TYPE_OF_CARD", Types, "TYP:TYPE_OF_CARD"};
// The card set browse's four tabs.
constexpr SortOrderDeclaration kSortOrders[] = {
    {.key = "CAR:SET", .thumb_field = "CAR:SET_NO"},
    {.key = "CAR:MANUFACTURERS",
     .range = &kByManufacturer,
     .filter = "UPPER(CAR:MANUFACTURER) = UPPER(MAN:MANUFACTURER)",
     .locator_field = "CAR:YEAR",
     .thumb_field = "CAR:YEAR"},
    {.key = "CAR:TYPES",
     .range = &kByType,
     .filter = "UPPER(CAR:TYPE_OF_CARD) = UPPER(TYP:TYPE_OF_CARD)",
     .locator_field = "CAR:MANUFACTURER",
     .thumb_field = "CAR:MANUFACTURER"},
    {.key = "CAR:SEASON", .thumb_field = "CAR:YEAR"},
};
constexpr PageBrowseDeclaration kCardSets{Cardset, kColumns, kSortOrders};
constexpr int kSetTab = 1, kManufacturerTab = 2, kTypeTab = 3, kSeasonTab = 4;

class PageBrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "zephcol-page-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    std::filesystem::current_path(directory_);
    for (DataFile* data : {&Cardset(), &Manufacturer(), &Types()}) {
      ASSERT_EQ(driver::Create(data->file()), 0) << tavero::ErrorText();
      ASSERT_EQ(driver::Open(data->file(), 0x42), 0) << tavero::ErrorText();
      tavero::eval::BindGroup(data->file().record_layout, data->record());
      data->clear();
    }
  }
  void TearDown() override {
    tavero::eval::ReleaseBindings();
    for (DataFile* data : {&Cardset(), &Manufacturer(), &Types()}) driver::Close(data->file());
    std::filesystem::current_path(previous_);
    EXPECT_TRUE(tavero::vmr::testing_support::VmrFilesAreSound(directory_));
    std::filesystem::remove_all(directory_);
  }

  static void AddSet(int number, std::string_view maker, std::string_view year, std::string_view type) {
    DataFile& sets = Cardset();
    sets.clear();
    sets.set_number("CAR:SET_NO", number);
    sets.set_text("CAR:MANUFACTURER", maker);
    sets.set_text("CAR:YEAR", year);
    sets.set_text("CAR:TYPE_OF_CARD", type);
    ASSERT_EQ(driver::Add(sets.file()), 0) << tavero::ErrorText();
  }
  // Sets 1 to n, each of its own year from 1961.
  static void AddSets(int n) {
    for (int set = 1; set <= n; ++set) AddSet(set, "TOPPS", std::to_string(1960 + set), "BASEBALL");
  }
  static std::vector<int> SetNumbers(BrowsePage& page) {
    std::vector<int> numbers;
    for (int row = 1; row <= page.count(); ++row) numbers.push_back(page.EntryNumber(row, "CAR:SET_NO"));
    return numbers;
  }
  static int Highlighted(BrowsePage& page) {
    return page.choice() == 0 ? 0 : page.EntryNumber(page.choice(), "CAR:SET_NO");
  }

  std::filesystem::path previous_;
  std::filesystem::path directory_;
};

TEST_F(PageBrowseTest, AnEmptyFileGivesAnEmptyPage) {
  BrowsePage page(kCardSets, 5);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  EXPECT_EQ(page.count(), 0);
  EXPECT_EQ(page.choice(), 0);
  EXPECT_EQ(page.read_error(), 0);
  EXPECT_EQ(Cardset().number("CAR:SET_NO"), 0);  // the record buffer is cleared
  page.PageDown();
  page.ScrollBottom();
  EXPECT_EQ(page.count(), 0);
  EXPECT_EQ(page.Reload(), 0);  // nothing to reload
  EXPECT_EQ(page.ThumbPosition(), 0);
}

TEST_F(PageBrowseTest, ThePageHoldsOnlyTheRowsItShowsAndScrollsThroughTheFile) {
  AddSets(13);
  BrowsePage page(kCardSets, 5);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(page.choice(), 1);
  EXPECT_EQ(Cardset().number("CAR:SET_NO"), 1);

  page.ScrollDown();
  EXPECT_EQ(page.choice(), 2);
  page.PageDown();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{6, 7, 8, 9, 10}));
  EXPECT_EQ(Highlighted(page), 7);
  // Three records left below the page: it shifts by three and the highlight
  // moves down by the two that were missing.
  page.PageDown();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{9, 10, 11, 12, 13}));
  EXPECT_EQ(page.choice(), 4);
  page.PageDown();  // nothing left: the highlight goes no further than the last row
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{9, 10, 11, 12, 13}));
  EXPECT_EQ(page.choice(), 5);
  page.ScrollDown();
  EXPECT_EQ(page.choice(), 5);
  EXPECT_EQ(Cardset().number("CAR:SET_NO"), 13);

  page.ScrollTop();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{1, 2, 3, 4, 5}));
  page.ScrollUp();
  EXPECT_EQ(page.choice(), 1);
  page.ScrollBottom();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{9, 10, 11, 12, 13}));
  EXPECT_EQ(page.choice(), 5);
  for (int i = 0; i < 4; ++i) page.ScrollUp();
  page.ScrollUp();  // at the top row: the page shifts by one
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{8, 9, 10, 11, 12}));
  EXPECT_EQ(page.choice(), 1);
  page.PageUp();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{3, 4, 5, 6, 7}));
  page.PageUp();  // two left above: the highlight moves up by three, no further than row 1
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(page.choice(), 1);
  EXPECT_EQ(page.read_error(), 0);
}

TEST_F(PageBrowseTest, ARangeShowsTheChosenManufacturersSetsAndItsChangeRebuildsFromTheTop) {
  AddSet(1, "TOPPS", "1990", "BASEBALL");
  AddSet(2, "Fleer", "1991", "BASEBALL");
  AddSet(3, "topps", "1988", "FOOTBALL");
  AddSet(4, "FLEER", "1987", "HOCKEY");
  AddSet(5, "DONRUSS", "1989", "BASEBALL");
  Manufacturer().set_text("MAN:MANUFACTURER", "Topps");
  BrowsePage page(kCardSets, 5);
  EXPECT_TRUE(page.NeedsRebuild(kManufacturerTab));
  page.Rebuild(kManufacturerTab, page.RebuildMode(kManufacturerTab, LocateMode::Beginning));
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{3, 1}));  // by year within the maker
  EXPECT_FALSE(page.NeedsRebuild(kManufacturerTab));

  Manufacturer().set_text("MAN:MANUFACTURER", "FLEER");
  EXPECT_TRUE(page.NeedsRebuild(kManufacturerTab));
  EXPECT_EQ(page.RebuildMode(kManufacturerTab, LocateMode::Beginning), LocateMode::Beginning);
  page.Rebuild(kManufacturerTab, LocateMode::Beginning);
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{4, 2}));
  EXPECT_EQ(page.choice(), 1);

  // An insert from the type tab starts with the tab's type of card.
  Types().set_text("TYP:TYPE_OF_CARD", "HOCKEY");
  page.Rebuild(kTypeTab, page.RebuildMode(kTypeTab, LocateMode::Beginning));
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{4}));
  Cardset().clear();
  page.PutRangeValue();
  EXPECT_EQ(Cardset().text("CAR:TYPE_OF_CARD"), "HOCKEY");
}

TEST_F(PageBrowseTest, AChangeOfTabCarriesTheHighlightedRecordIntoTheNewOrder) {
  AddSets(20);
  BrowsePage page(kCardSets, 5);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  page.PageDown();
  page.ScrollDown();
  ASSERT_EQ(Highlighted(page), 7);
  EXPECT_EQ(page.RebuildMode(kSeasonTab, LocateMode::Beginning), LocateMode::KeyValue);
  page.Rebuild(kSeasonTab, LocateMode::KeyValue);
  EXPECT_EQ(Highlighted(page), 7);
  EXPECT_EQ(Cardset().text("CAR:YEAR"), "1967");
}

TEST_F(PageBrowseTest, TheLocatorFindsTheFirstYearThatBeginsWithWhatWasTyped) {
  AddSet(1, "TOPPS", "2001", "ZEBRA");
  AddSet(2, "TOPPS", "1957", "BASEBALL");
  AddSet(3, "TOPPS", "1994", "ZEBRA");
  AddSet(4, "TOPPS", "1994", "BASEBALL");  // same year, later component lower
  AddSet(5, "TOPPS", "1875", "BASEBALL");
  AddSet(6, "FLEER", "1994", "AAA");
  Manufacturer().set_text("MAN:MANUFACTURER", "TOPPS");
  BrowsePage page(kCardSets, 3);
  page.Rebuild(kManufacturerTab, LocateMode::Beginning);
  ASSERT_EQ(SetNumbers(page), (std::vector<int>{5, 2, 4}));
  page.ScrollBottom();
  ASSERT_EQ(Highlighted(page), 1);  // "2001", type "ZEBRA"

  EXPECT_TRUE(page.LocatorType('1'));
  EXPECT_EQ(Highlighted(page), 5);  // "1875"
  EXPECT_TRUE(page.LocatorType('9'));
  EXPECT_EQ(Highlighted(page), 2);  // "1957"
  EXPECT_TRUE(page.LocatorBackspace());
  EXPECT_EQ(page.locator().text(), "1");
  EXPECT_EQ(Highlighted(page), 5);
  // "1994" while a "ZEBRA" set is highlighted: the set of 1994 whose type
  // sorts lower is found, not skipped.
  page.ScrollBottom();
  for (char c : std::string("1994")) EXPECT_TRUE(page.LocatorType(c));
  EXPECT_EQ(Highlighted(page), 4);
  EXPECT_EQ(page.locator().text(), "1994");
  // Bounded by the field (ten characters); Backspace on empty does nothing.
  for (char c : std::string("123456")) EXPECT_TRUE(page.LocatorType(c));
  EXPECT_FALSE(page.LocatorType('7'));
  page.ScrollTop();  // any scrolling empties it
  EXPECT_EQ(page.locator().text(), "");
  EXPECT_FALSE(page.LocatorBackspace());
  // The set order has no locator.
  page.Rebuild(kSetTab, LocateMode::Beginning);
  EXPECT_FALSE(page.LocatorType('1'));
}

TEST_F(PageBrowseTest, DraggingTheThumbToTheMiddleOfASetNumberOrderLocatesHalfway) {
  AddSets(99);
  BrowsePage page(kCardSets, 5);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  EXPECT_EQ(page.ThumbPosition(), 0);
  page.ThumbDrag(50);
  EXPECT_EQ(Highlighted(page), 50);
  EXPECT_NEAR(page.ThumbPosition(), 50, 1);
  page.ThumbDrag(100);
  EXPECT_EQ(Highlighted(page), 99);
  EXPECT_EQ(page.ThumbPosition(), 100);
  page.ThumbDrag(1);
  EXPECT_EQ(Highlighted(page), 1);
  // Near the end the page is filled backward around the located record.
  page.ThumbDrag(98);  // 1 + 98 / 99 x 97 = 97.02
  EXPECT_EQ(Highlighted(page), 97);
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{95, 96, 97, 98, 99}));
}

TEST_F(PageBrowseTest, AThumbOnATextFieldLocatesBetweenItsEntries) {
  AddSet(1, "ACME", "1990", "ZEBRA");
  AddSet(2, "MMMM", "1990", "ZEBRA");
  AddSet(3, "ZULU", "1990", "ZEBRA");
  Types().set_text("TYP:TYPE_OF_CARD", "ZEBRA");
  BrowsePage page(kCardSets, 3);
  page.Rebuild(kTypeTab, LocateMode::Beginning);
  ASSERT_EQ(SetNumbers(page), (std::vector<int>{1, 2, 3}));
  page.Select(3);
  // The entry just below "MMMM" locates on it.
  const int middle = page.thumb().PositionOf("MMMM");
  ASSERT_GT(middle, 2);
  ASSERT_LT(middle, 99);
  page.ThumbDrag(middle - 1);
  EXPECT_EQ(Highlighted(page), 2);
}

TEST_F(PageBrowseTest, ADeletedRecordLeavesThePageAndItsNeighbourIsHighlighted) {
  AddSets(8);
  BrowsePage page(kCardSets, 5);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  page.Select(3);
  ASSERT_EQ(page.Reload(), 0);
  page.CloseView();
  ASSERT_EQ(driver::Delete(Cardset().file()), 0) << tavero::ErrorText();
  page.OpenView();
  page.RemoveHighlighted();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{1, 2, 4, 5, 6}));
  EXPECT_EQ(Highlighted(page), 4);
  // The last row deleted: the one above it takes its place.
  page.ScrollBottom();
  ASSERT_EQ(page.Reload(), 0);
  page.CloseView();
  ASSERT_EQ(driver::Delete(Cardset().file()), 0) << tavero::ErrorText();
  page.OpenView();
  page.RemoveHighlighted();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{2, 4, 5, 6, 7}));
  EXPECT_EQ(Highlighted(page), 7);
}

TEST_F(PageBrowseTest, AnInsertedRecordBecomesTheHighlightedRow) {
  AddSets(10);
  BrowsePage page(kCardSets, 4);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  page.CloseView();
  AddSet(25, "UPPER DECK", "1999", "BASKETBALL");
  page.OpenView();
  page.LocateToRecord();
  EXPECT_EQ(Highlighted(page), 25);
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{8, 9, 10, 25}));
  EXPECT_EQ(page.ThumbPosition(), 100);
}

TEST_F(PageBrowseTest, ReloadingARecordAnotherStationDeletedFails) {
  AddSets(6);
  BrowsePage page(kCardSets, 5);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  page.Select(2);
  {
    // Another station's handle on the same file deletes set 2.
    DataFile other(kCardsetDeclaration, tavero::vmr::Driver());
    ASSERT_EQ(driver::Open(other.file(), 0x42), 0) << tavero::ErrorText();
    other.set_number("CAR:SET_NO", 2);
    ASSERT_EQ(driver::Get(other.file(), other.key("CAR:SET")), 0) << tavero::ErrorText();
    ASSERT_EQ(driver::Delete(other.file()), 0) << tavero::ErrorText();
    driver::Close(other.file());
  }
  EXPECT_NE(page.Reload(), 0);
  // Rebuilt where it stood: the neighbour takes the deleted set's place.
  page.RefillKeepingPlace();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{1, 3, 4, 5, 6}));
  EXPECT_EQ(Highlighted(page), 3);
  EXPECT_EQ(page.Reload(), 0);
}

TEST_F(PageBrowseTest, ScrollingPastARecordAnotherStationDeletedReadsOn) {
  AddSets(10);
  BrowsePage page(kCardSets, 5);
  page.Rebuild(kSetTab, LocateMode::Beginning);
  Cardset().set_number("CAR:SET_NO", 5);  // the page's last row
  page.CloseView();
  ASSERT_EQ(driver::Get(Cardset().file(), Cardset().key("CAR:SET")), 0);
  ASSERT_EQ(driver::Delete(Cardset().file()), 0);
  page.OpenView();
  page.PageDown();
  EXPECT_EQ(SetNumbers(page), (std::vector<int>{6, 7, 8, 9, 10}));
}

}  // namespace
}  // namespace zephcol
