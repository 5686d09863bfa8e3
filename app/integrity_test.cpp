// The integrity routines: a change or deletion never overwrites or removes
// what another station (a real process) or another instance in this
// process stored after the form read the record; a file held in another
// station's transaction gives warning 34 after the lock limit; a failed
// commit reports the failure and leaves the files as they were.
#include "app/integrity.h"

#include <gtest/gtest.h>

#include <chrono>

#include "app/app_test_support.h"
#include "app/open_files.h"
#include "runtime/error_state.h"
#include "storage/driver/transaction.h"
#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/vmr.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;
namespace vmr = tavero::vmr;
using testing_support::AwaitStation;
using testing_support::BoxRecorder;
using testing_support::ScratchDirectory;
using testing_support::StartStation;
using testing_support::StationEnd;

constexpr std::uint32_t kShared = 0x42;

constexpr std::string_view kChangedByAnotherStation =
    "Update Operation Error|An error (Record Changed By Another Station (89)) was experienced when attempting to "
    "update a record from the file.  Probable Cause: Record Changed by Another Station.";
constexpr std::string_view kDeleteOfChangedRecord =
    "Delete Operation Error|An error (Record Changed By Another Station (89)) was experienced when attempting to "
    "delete a record from the file CARDSET.";

// Fills the collection's CARDSET with sets 1 to 3 through `files`.
void AddSets(DataFiles& files) {
  DataFile& cardset = files.cardset();
  ASSERT_EQ(driver::Create(cardset.file()), 0);
  ASSERT_EQ(driver::Open(cardset.file(), kShared), 0);
  for (int number = 1; number <= 3; ++number) {
    cardset.clear();
    cardset.set_number("CAR:SET_NO", number);
    cardset.set_text("CAR:MANUFACTURER", "TOPPS");
    cardset.set_text("CAR:YEAR", "1952");
    cardset.set_text("CAR:TYPE_OF_CARD", "BASEBALL");
    ASSERT_EQ(driver::Add(cardset.file()), 0);
  }
  ASSERT_EQ(driver::Close(cardset.file()), 0);
}

// Reads set `number` through the unique key, as a browse hands it to a form.
int ReadSet(DataFile& cardset, int number) {
  cardset.clear();
  cardset.set_number("CAR:SET_NO", number);
  return driver::Get(cardset.file(), cardset.key("CAR:SET"));
}

// The year stored for set `number`, read afresh through another instance;
// "gone" when the set is not there.
std::string StoredYear(int number) {
  DataFiles reader(vmr::Driver());
  DataFile& cardset = reader.cardset();
  if (driver::Open(cardset.file(), kShared) != 0) return "unopened";
  return ReadSet(cardset, number) == 0 ? cardset.text("CAR:YEAR") : "gone";
}

// A station in its own process: its own driver, so its own open file and
// locks; it changes, deletes or holds set 1 as `act` says.
int OtherStation(const std::function<int(DataFile&)>& act) {
  vmr::VmrDriver driver(vmr::PosixFileSystem());
  DataFiles files(driver);
  DataFile& cardset = files.cardset();
  if (driver::Open(cardset.file(), kShared) != 0) return 20;
  return act(cardset);
}

class Integrity : public ::testing::Test {
 protected:
  void SetUp() override {
    DataFiles files(vmr::Driver());
    AddSets(files);
  }
  void TearDown() override { EXPECT_FALSE(driver::TransactionActive()); }

  ScratchDirectory directory_;
  BoxRecorder person_;
};

// Station B changes set 1 from another process while this station's form
// shows it.
int ChangeSetOne(DataFile& cardset) {
  if (ReadSet(cardset, 1) != 0) return 21;
  LoadedRecord loaded = LoadedRecord::Take(cardset);
  cardset.set_text("CAR:YEAR", "1953-54");
  return RIUpdate(cardset, loaded) == 0 ? 0 : 22;
}

TEST_F(Integrity, AChangeDoesNotReplaceAnotherStationsNewerVersion) {
  DataFileUse use(Cardset());
  DataFile& cardset = Cardset();
  ASSERT_EQ(ReadSet(cardset, 1), 0);
  LoadedRecord loaded = LoadedRecord::Take(cardset);

  const StationEnd other = testing_support::RunStation({}, [] { return OtherStation(ChangeSetOne); });
  ASSERT_EQ(other.exit_status, 0) << other.boxes;

  cardset.set_text("CAR:YEAR", "1960");
  EXPECT_EQ(RIUpdate(cardset, loaded), 1);
  EXPECT_EQ(person_.lines(), std::vector<std::string>{std::string(kChangedByAnotherStation)});
  EXPECT_EQ(cardset.text("CAR:YEAR"), "1960") << "the form keeps its copy";
  EXPECT_EQ(StoredYear(1), "1953-54");
}

TEST_F(Integrity, ADeleteDoesNotRemoveARecordAnotherStationChanged) {
  DataFileUse use(Cardset());
  DataFile& cardset = Cardset();
  ASSERT_EQ(ReadSet(cardset, 1), 0);
  const LoadedRecord loaded = LoadedRecord::Take(cardset);

  const StationEnd other = testing_support::RunStation({}, [] { return OtherStation(ChangeSetOne); });
  ASSERT_EQ(other.exit_status, 0) << other.boxes;

  EXPECT_EQ(RIDelete(cardset, loaded), 1);
  EXPECT_EQ(person_.lines(), std::vector<std::string>{std::string(kDeleteOfChangedRecord)});
  EXPECT_EQ(StoredYear(1), "1953-54");
}

TEST_F(Integrity, ARecordAnotherStationDeletedIsNeitherWrittenNorDeletedAgain) {
  DataFileUse use(Cardset());
  DataFile& cardset = Cardset();
  ASSERT_EQ(ReadSet(cardset, 2), 0);
  LoadedRecord loaded = LoadedRecord::Take(cardset);
  const StationEnd other = testing_support::RunStation({}, [] {
    return OtherStation([](DataFile& theirs) {
      if (ReadSet(theirs, 2) != 0) return 21;
      return RIDelete(theirs, LoadedRecord::Take(theirs)) == 0 ? 0 : 22;
    });
  });
  ASSERT_EQ(other.exit_status, 0) << other.boxes;

  cardset.set_text("CAR:YEAR", "1999");
  EXPECT_EQ(RIUpdate(cardset, loaded), 1);
  EXPECT_EQ(RIDelete(cardset, loaded), 1);
  EXPECT_EQ(person_.lines(),
            (std::vector<std::string>{
                "Update Operation Error|An error (Record Not Found (35)) was experienced when attempting to update a "
                "record from the file.  Probable Cause: CARDSET.",
                "Delete Operation Error|An error (Record Not Found (35)) was experienced when attempting to delete "
                "a record from the file CARDSET."}));
  EXPECT_EQ(StoredYear(2), "gone");
  EXPECT_EQ(driver::Records(cardset.file()), 2);
}

TEST_F(Integrity, AFileHeldInAnotherStationsTransactionGivesWarning34AfterTheLockLimit) {
  DataFileUse use(Cardset());
  DataFile& cardset = Cardset();
  ASSERT_EQ(ReadSet(cardset, 1), 0);
  LoadedRecord loaded = LoadedRecord::Take(cardset);

  int go[2];
  ASSERT_EQ(pipe(go), 0);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  int boxes_fd = -1;
  const pid_t holder = StartStation(
      {},
      [&] {
        return OtherStation([&](DataFile& theirs) {
          driver::FileObject* const files[] = {&theirs.file()};
          if (driver::Logout(1, files) != 0) return 21;
          (void)!write(ready[1], "x", 1);
          char c;
          (void)!read(go[0], &c, 1);  // holds the transaction until told
          return driver::Rollback() == 0 ? 0 : 22;
        });
      },
      boxes_fd);
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);

  cardset.set_text("CAR:YEAR", "1960");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(RIUpdate(cardset, loaded), 1);
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_GE(waited, std::chrono::milliseconds(1900));
  EXPECT_EQ(person_.lines(),
            std::vector<std::string>{"Transaction Framing Error|Error: (Unable To Log Transaction (48)) attempting "
                                     "to frame the update transaction on CARDSET.  Update transaction cancelled."});
  ASSERT_EQ(write(go[1], "x", 1), 1);
  EXPECT_EQ(AwaitStation(holder, boxes_fd).exit_status, 0);
  for (int fd : {go[0], go[1], ready[0], ready[1]}) close(fd);
  EXPECT_EQ(StoredYear(1), "1952");

  // Once the other station's transaction is over, the change goes through.
  EXPECT_EQ(RIUpdate(cardset, loaded), 0);
  EXPECT_EQ(StoredYear(1), "1960");
}

TEST_F(Integrity, TwoInstancesInOneProgramAreTwoStationsToEachOther) {
  // Two engine threads' instances of CARDSET, both writable.
  DataFiles first(vmr::Driver()), second(vmr::Driver());
  DataFile& mine = first.cardset();
  DataFile& theirs = second.cardset();
  ASSERT_EQ(driver::Open(mine.file(), kShared), 0);
  ASSERT_EQ(driver::Open(theirs.file(), kShared), 0);

  // A held record stops the other instance's hold, change and delete.
  ASSERT_EQ(driver::Hold(mine.file(), 1), 0);
  ASSERT_EQ(ReadSet(mine, 1), 0);
  ASSERT_EQ(ReadSet(theirs, 1), 0);
  EXPECT_EQ(driver::Put(theirs.file()), 5);
  EXPECT_EQ(driver::Delete(theirs.file()), 33);
  ASSERT_EQ(driver::Hold(theirs.file(), 1), 0);
  EXPECT_EQ(ReadSet(theirs, 1), 43);
  ASSERT_EQ(driver::Release(mine.file()), 0);

  // A watched record changed by the other instance is not overwritten.
  ASSERT_EQ(driver::Watch(mine.file()), 0);
  ASSERT_EQ(ReadSet(mine, 1), 0);
  ASSERT_EQ(ReadSet(theirs, 1), 0);
  theirs.set_text("CAR:YEAR", "THEIRS");
  ASSERT_EQ(driver::Put(theirs.file()), 0);
  mine.set_text("CAR:YEAR", "MINE");
  EXPECT_EQ(driver::Put(mine.file()), 89);

  // What one instance committed, the other reads.
  ASSERT_EQ(ReadSet(mine, 1), 0);
  EXPECT_EQ(mine.text("CAR:YEAR"), "THEIRS");
  LoadedRecord loaded = LoadedRecord::Take(theirs);
  theirs.set_text("CAR:YEAR", "AGAIN");
  ASSERT_EQ(RIUpdate(theirs, loaded), 0);
  ASSERT_EQ(ReadSet(mine, 1), 0);
  EXPECT_EQ(mine.text("CAR:YEAR"), "AGAIN");
  EXPECT_TRUE(person_.boxes.empty());
}

TEST_F(Integrity, AChangeFromAnotherInstanceInThisProgramIsNotLostEither) {
  DataFiles first(vmr::Driver()), second(vmr::Driver());
  DataFile& form = first.cardset();
  DataFile& other = second.cardset();
  ASSERT_EQ(driver::Open(form.file(), kShared), 0);
  ASSERT_EQ(driver::Open(other.file(), kShared), 0);
  ASSERT_EQ(ReadSet(form, 3), 0);
  LoadedRecord loaded = LoadedRecord::Take(form);
  ASSERT_EQ(ReadSet(other, 3), 0);
  LoadedRecord theirs = LoadedRecord::Take(other);
  other.set_text("CAR:YEAR", "OTHER");
  ASSERT_EQ(RIUpdate(other, theirs), 0);

  form.set_text("CAR:YEAR", "FORM");
  EXPECT_EQ(RIUpdate(form, loaded), 1);
  EXPECT_EQ(person_.lines(), std::vector<std::string>{std::string(kChangedByAnotherStation)});
  EXPECT_EQ(StoredYear(3), "OTHER");
}

TEST_F(Integrity, ADeleteRemovesTheRecordTheFormShowedEvenWhenNoKeyHoldsIt) {
  DataFileUse use(SetInformation());
  DataFile& cards = SetInformation();
  cards.clear();  // set 0, no names, no dates: in no key at all
  ASSERT_EQ(driver::Add(cards.file()), 0);
  cards.set_number("SET:SET_NO", 7);
  cards.set_text("SET:LAST_NAME", "MAYS");
  ASSERT_EQ(driver::Add(cards.file()), 0);
  ASSERT_EQ(driver::Records(cards.file()), 2);

  // The browse found the blank card in record order.
  ASSERT_EQ(driver::SetRecordOrder(cards.file()), 0);
  ASSERT_EQ(driver::Next(cards.file()), 0);
  ASSERT_EQ(cards.number("SET:SET_NO"), 0);
  const LoadedRecord loaded = LoadedRecord::Take(cards);
  // Other procedures read meanwhile and leave another record current.
  ASSERT_EQ(driver::Next(cards.file()), 0);

  EXPECT_EQ(RIDelete(cards, loaded), 0);
  EXPECT_TRUE(person_.boxes.empty());
  ASSERT_EQ(driver::Records(cards.file()), 1);
  ASSERT_EQ(driver::SetRecordOrder(cards.file()), 0);
  ASSERT_EQ(driver::Next(cards.file()), 0);
  EXPECT_EQ(cards.text("SET:LAST_NAME"), "MAYS");
}

TEST_F(Integrity, AChangeToTheNotesAloneIsSeenAsAChange) {
  DataFileUse use(SetInformation());
  DataFile& cards = SetInformation();
  cards.clear();
  cards.set_number("SET:SET_NO", 1);
  ASSERT_EQ(driver::Add(cards.file()), 0);
  const LoadedRecord loaded = LoadedRecord::Take(cards);

  DataFiles second(vmr::Driver());
  DataFile& other = second.set_information();
  ASSERT_EQ(driver::Open(other.file(), kShared), 0);
  ASSERT_EQ(driver::SetRecordOrder(other.file()), 0);
  ASSERT_EQ(driver::Next(other.file()), 0);
  LoadedRecord theirs = LoadedRecord::Take(other);
  std::ranges::copy(std::string_view("SIGNED"), other.memo(0).begin());
  ASSERT_EQ(RIUpdate(other, theirs), 0);

  EXPECT_EQ(RIDelete(cards, loaded), 1);
  EXPECT_EQ(driver::Records(cards.file()), 1);
}

TEST_F(Integrity, ThePersonReadsWhyTheChangeWasNotSaved) {
  const StationEnd program = testing_support::RunProgramOnScreen({}, [] {
    DataFileUse use(Cardset());
    DataFile& form = Cardset();
    if (ReadSet(form, 1) != 0) return 10;
    LoadedRecord loaded = LoadedRecord::Take(form);
    {
      // Another window of the program changes the set meanwhile.
      DataFiles other_thread(vmr::Driver());
      DataFile& other = other_thread.cardset();
      if (driver::Open(other.file(), kShared) != 0 || ReadSet(other, 1) != 0) return 11;
      LoadedRecord theirs = LoadedRecord::Take(other);
      other.set_text("CAR:YEAR", "OTHER");
      if (RIUpdate(other, theirs) != 0) return 12;
    }
    form.set_text("CAR:YEAR", "FORM");
    return RIUpdate(form, loaded);
  });
  EXPECT_EQ(program.exit_status, 1);
  EXPECT_EQ(program.boxes, std::string(kChangedByAnotherStation) + "|OK (OK)\n");
  EXPECT_EQ(StoredYear(1), "OTHER");
}

// Every call of the file layer fails once in turn while a change is
// written: the change either goes through whole, or the person is told and
// the file is as it was.
TEST(IntegrityFaults, AnIOErrorAnywhereInTheChangeLeavesTheFileAsItWas) {
  BoxRecorder person;
  bool succeeded = false;
  int commits_failed = 0;
  for (std::uint64_t n = 1; !succeeded && n < 2000; ++n) {
    SCOPED_TRACE(n);
    vmr::FaultFileSystem disk;
    {
      vmr::VmrDriver setup_driver(disk);
      DataFiles setup(setup_driver);
      AddSets(setup);
    }
    person.boxes.clear();
    int result = 0;
    {
      vmr::VmrDriver driver(disk);
      DataFiles files(driver);
      DataFile& cardset = files.cardset();
      ASSERT_EQ(driver::Open(cardset.file(), kShared), 0);
      ASSERT_EQ(ReadSet(cardset, 2), 0);
      LoadedRecord loaded = LoadedRecord::Take(cardset);
      cardset.set_text("CAR:YEAR", "CHANGED");
      disk.FailCall(n);
      result = RIUpdate(cardset, loaded);
      EXPECT_FALSE(driver::TransactionActive());
      succeeded = !disk.failure_happened();
      disk.FailCall(0);
    }
    vmr::VmrDriver reader_driver(disk);
    DataFiles reader(reader_driver);
    ASSERT_EQ(driver::Open(reader.cardset().file(), kShared), 0);
    ASSERT_EQ(ReadSet(reader.cardset(), 2), 0);
    const std::string year = reader.cardset().text("CAR:YEAR");
    if (result == 0) {
      EXPECT_TRUE(person.boxes.empty());
      EXPECT_EQ(year, "CHANGED");
    } else {
      ASSERT_EQ(person.boxes.size(), 1u);
      commits_failed += person.boxes[0].caption == "Update Operation Error";
      EXPECT_TRUE(person.boxes[0].caption == "Update Operation Error" ||
                  person.boxes[0].caption == "Transaction Framing Error")
          << person.boxes[0].caption;
      EXPECT_EQ(year, "1952");
    }
    EXPECT_EQ(driver::Records(reader.cardset().file()), 3);
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GT(commits_failed, 0);
}

}  // namespace
}  // namespace zephcol
