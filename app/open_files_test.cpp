// Opening the collection's files on real files: every path of the opening
// routine, the open counts, and the bindings for the evaluator. Paths that
// end the program run in a forked process.
#include "app/open_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/app_test_support.h"
#include "eval/eval.h"
#include "runtime/error_state.h"
#include "storage/vmr/vmr.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;
namespace fs = std::filesystem;
using testing_support::BoxRecorder;
using testing_support::RunStation;
using testing_support::ScratchDirectory;
using testing_support::StationEnd;

constexpr std::uint32_t kShared = 0x42;
constexpr int kUnprivileged = 65534;  // nobody

bool IsOpen(DataFile& file) { return driver::Has(driver::FileStateOf(file.file()), driver::FileState::Open); }

// Drops root's privileges in a station, so that file permissions apply.
void BecomeUnprivileged() {
  if (geteuid() == 0) {
    EXPECT_EQ(setgid(kUnprivileged), 0);
    EXPECT_EQ(setuid(kUnprivileged), 0);
  }
}

// CARDSET with three sets, added under APPEND: the keys lag behind.
void MakeCardsetWithKeysToRebuild() {
    DataFiles files(tavero::vmr::Driver());
    DataFile& cardset = files.cardset();
    ASSERT_EQ(driver::Create(cardset.file()), 0);
    ASSERT_EQ(driver::Open(cardset.file(), kShared), 0);
    for (int number : {3, 1, 2}) {
      cardset.clear();
      cardset.set_number("CAR:SET_NO", number);
      cardset.set_text("CAR:MANUFACTURER", "TOPPS");
      ASSERT_EQ(driver::Append(cardset.file()), 0);
    }
    ASSERT_EQ(driver::Close(cardset.file()), 0);
}

// A CARDSET file that holds a table of another structure.
void MakeCardsetOfAnotherStructure() {
  FileDeclaration other = kTypesDeclaration;
  other.label = "CARDSET";
  DataFile wrong(other, tavero::vmr::Driver());
  ASSERT_EQ(driver::Create(wrong.file()), 0);
}

// CARDSET read only, in a read-only directory.
void MakeReadOnlyCardset() {
  {
    DataFiles files(tavero::vmr::Driver());
    ASSERT_EQ(driver::Create(files.cardset().file()), 0);
  }
  ASSERT_EQ(chmod("CARDSET.VMR", 0444), 0);
  ASSERT_EQ(chmod(".", 0555), 0);
}

void MakeReadOnlyDirectory() { ASSERT_EQ(chmod(".", 0555), 0); }

class OpenDataFileTest : public ::testing::Test {
 protected:
  ScratchDirectory directory_;
};

TEST_F(OpenDataFileTest, MissingFilesAreCreatedWithoutABox) {
  BoxRecorder person;
  {
    DataFileUse cardset(Cardset()), cards(SetInformation()), makers(Manufacturer()), types(Types());
    for (DataFile* file : {&Cardset(), &SetInformation(), &Manufacturer(), &Types()}) {
      EXPECT_TRUE(IsOpen(*file)) << file->declaration().label;
      EXPECT_TRUE(fs::exists(std::string(file->declaration().label) + ".VMR"));
    }
    EXPECT_EQ(driver::Records(Cardset().file()), 0);
  }
  EXPECT_TRUE(person.boxes.empty());
}

TEST_F(OpenDataFileTest, AFileIsOpenedOnceAndClosedWhenItsLastUseEnds) {
  BoxRecorder person;
  std::optional<DataFileUse> browse(Cardset());
  {
    DataFileUse second_browse(Cardset());
    EXPECT_EQ(Cardset().open_count(), 2);
  }
  EXPECT_EQ(Cardset().open_count(), 1);
  EXPECT_TRUE(IsOpen(Cardset()));
  browse.reset();
  EXPECT_EQ(Cardset().open_count(), 0);
  EXPECT_FALSE(IsOpen(Cardset()));
}

TEST_F(OpenDataFileTest, AnOpenedFileIsBoundForFiltersRecordAndMemo) {
  BoxRecorder person;
  DataFileUse use(SetInformation());
  SetInformation().set_number("SET:SET_NO", 17);
  SetInformation().set_text("SET:LAST_NAME", "Mantle");
  std::ranges::copy(std::string_view("ROOKIE"), SetInformation().memo(0).begin());
  const auto value = tavero::eval::Evaluate("SET:Set_No = 17 AND UPPER(SET:LAST_NAME) = 'MANTLE' AND "
                                            "SUB(SET:NOTES, 1, 6) = 'ROOKIE'");
  ASSERT_TRUE(value.has_value()) << tavero::ErrorText();
  EXPECT_EQ(value->long_value, 1);
  tavero::eval::ReleaseBindings();
}

TEST_F(OpenDataFileTest, DamagedKeysAreRebuiltWhenThePersonAgrees) {
  MakeCardsetWithKeysToRebuild();
  const StationEnd station = RunStation({button::kYes}, [] {
    DataFileUse use(Cardset());
    // The browse reads the sets in key order.
    DataFile& cardset = Cardset();
    if (driver::SetKeyOrder(cardset.file(), cardset.key("CAR:SET")) != 0) return 10;
    int expected = 1;
    while (driver::Next(cardset.file()) == 0) {
      if (cardset.number("CAR:SET_NO") != expected++) return 11;
    }
    return expected == 4 ? 0 : 12;
  });
  EXPECT_EQ(station.exit_status, 0);
  EXPECT_EQ(station.boxes, "Invalid Key|CARDSET key file is invalid.  Do you want to rebuild the key?\n");
}

// Each way the opening routine ends the program: its warning, then the halt
// box, and exit status 1.
TEST(OpenDataFileHalts, EachUnusableFileEndsTheProgramWithItsWarning) {
  struct Case {
    std::string_view what;
    void (*prepare)();
    bool create_allowed;
    bool unprivileged;  // file permissions apply
    std::deque<int> answers;
    std::string_view boxes;
  };
  const Case kCases[] = {
      {"a file of another structure", MakeCardsetOfAnotherStructure, true, false, {},
       "Invalid File|Error: (Invalid Record Declaration (47)) accessing CARDSET.  Press OK to end this "
       "application.\nZEPHYRA|Invalid File!\n"},
      {"the key rebuild refused", MakeCardsetWithKeysToRebuild, true, false, {button::kNo},
       "Invalid Key|CARDSET key file is invalid.  Do you want to rebuild the key?\nZEPHYRA|Invalid Key!\n"},
      {"the key question closed with Escape", MakeCardsetWithKeysToRebuild, true, false, {button::kCancel},
       "Invalid Key|CARDSET key file is invalid.  Do you want to rebuild the key?\nZEPHYRA|Invalid Key!\n"},
      {"a missing file in a read-only directory", MakeReadOnlyDirectory, true, true, {},
       "File Creation Error|Error: (Access Denied (305)) creating CARDSET.  Press OK to end this application.\n"
       "ZEPHYRA|File Creation Error!\n"},
      {"a missing file whose creation is not allowed", [] {}, false, false, {},
       "File Creation Not Allowed|The File CARDSETwas not found, and creation of the file is not allowed.  "
       "Press OK to end this application.\nZEPHYRA|File Creation Error!\n"},
      {"a file that cannot be opened for writing", MakeReadOnlyCardset, true, true, {},
       "File Access Error|File (CARDSET) could not be opened.  Error: Access Denied (305).\nZEPHYRA|Disk Error\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ScratchDirectory directory;
    c.prepare();
    const StationEnd station = RunStation(c.answers, [&] {
      if (c.unprivileged) BecomeUnprivileged();
      OpenDataFile(Cardset(), c.create_allowed);
      return 0;
    });
    EXPECT_EQ(station.exit_status, 1);
    EXPECT_EQ(station.boxes, c.boxes);
  }
}

TEST(OpenDataFileOnScreen, ThePersonIsAskedBeforeTheKeysAreRebuilt) {
  struct Case {
    std::string_view press;
    int exit_status;
    std::string_view boxes;
  };
  const Case kCases[] = {
      {"&Yes", 3, "Invalid Key|CARDSET key file is invalid.  Do you want to rebuild the key?|&Yes &No (&Yes)\n"},
      {"&No", 1,
       "Invalid Key|CARDSET key file is invalid.  Do you want to rebuild the key?|&Yes &No (&Yes)\n"
       "ZEPHYRA|Invalid Key!|OK (OK)\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.press);
    ScratchDirectory directory;
    MakeCardsetWithKeysToRebuild();
    const StationEnd program = testing_support::RunProgramOnScreen({std::string(c.press)}, [] {
      DataFileUse use(Cardset());  // a browse's files
      DataFile& cardset = Cardset();
      int sets = 0;
      if (driver::SetKeyOrder(cardset.file(), cardset.key("CAR:SET")) != 0) return 10;
      while (driver::Next(cardset.file()) == 0) ++sets;
      return sets;
    });
    EXPECT_EQ(program.exit_status, c.exit_status);
    EXPECT_EQ(program.boxes, c.boxes);
  }
}

// Two threads that take turns, as engine threads do under the engine lock.
class Turns {
 public:
  void Await(int me) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return turn_ == me; });
  }
  void Pass(int next) {
    {
      std::lock_guard lock(mutex_);
      turn_ = next;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int turn_ = 0;
};

TEST(DataFilesPerThread, TwoThreadsReadingDifferentSetsKeepTheirOwnBuffersFiltersAndPositions) {
  ScratchDirectory directory;
  {
    DataFiles files(tavero::vmr::Driver());
    DataFile& cards = files.set_information();
    ASSERT_EQ(driver::Create(cards.file()), 0);
    ASSERT_EQ(driver::Open(cards.file(), kShared), 0);
    for (int card = 1; card <= 3; ++card) {
      for (int set = 1; set <= 2; ++set) {
        cards.clear();
        cards.set_number("SET:SET_NO", set);
        cards.set_number("SET:CARD_NO", card);
        ASSERT_EQ(driver::Add(cards.file()), 0);
      }
    }
    ASSERT_EQ(driver::Close(cards.file()), 0);
  }

  Turns turns;
  std::array<std::vector<int>, 2> read;  // card numbers each thread read, from its own set
  std::array<bool, 2> undisturbed{true, true};
  const auto browse = [&](int me) {
    const int set = me + 1;
    turns.Await(me);
    {
      DataFileUse use(SetInformation());
      DataFile& cards = SetInformation();
      EXPECT_EQ(driver::SetRecordOrder(cards.file()), 0);
      // The filter is compiled after the other thread has bound its own
      // instance's fields under the same names.
      turns.Pass(1 - me);
      turns.Await(me);
      const auto filter = tavero::eval::Compile("SET:SET_NO = " + std::to_string(set));
      std::vector<std::uint8_t> left;
      for (int step = 0; step < 3; ++step) {
        if (step > 0) turns.Await(me);
        if (!left.empty() && !std::ranges::equal(left, cards.record())) undisturbed[me] = false;
        while (driver::Next(cards.file()) == 0) {
          if (filter.expression && filter.expression->Truth()) {
            read[me].push_back(cards.number("SET:CARD_NO"));
            break;
          }
        }
        left.assign(cards.record().begin(), cards.record().end());
        turns.Pass(1 - me);
      }
      turns.Await(me);
    }
    turns.Pass(1 - me);
  };
  std::thread first(browse, 0), second(browse, 1);
  first.join();
  second.join();
  EXPECT_EQ(read[0], (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(read[1], (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(undisturbed[0]);
  EXPECT_TRUE(undisturbed[1]);
}

}  // namespace
}  // namespace zephcol
