// Holds, watched records and table locks between stations that are real
// processes on one real file. Each process opens the file itself after the
// fork: locks belong to an open file, and a descriptor inherited through a
// fork would be the same station.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "storage/vmr/check_testing.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {
namespace {

namespace fs = std::filesystem;
using namespace tavero::driver;

constexpr int kShared = 0x42;

// A table of INT32 id (unique key) and a 12-byte name.
struct Cards {
  Cards(const std::string& name, VmrDriver& driver) {
    layout = RecordLayoutWriter().Field("C:ID", 0, FieldType::INT32).String("C:NAME", 4, 12).Finish();
    by_id = {"C:BY_ID", nullptr, 0x00, {1}, &file};
    file.entry = &driver;
    file.name = name;
    file.attributes = 0x04;
    file.record_layout = layout;
    file.record = record;
    file.keys = {&by_id};
  }
  void fill(std::int32_t id, const char* name) {
    std::memcpy(record.data(), &id, 4);
    std::memset(record.data() + 4, ' ', 12);
    std::memcpy(record.data() + 4, name, std::strlen(name));
  }
  std::string name() const { return std::string(reinterpret_cast<const char*>(record.data()) + 4, 12); }
  int get(std::int32_t id) {
    std::memcpy(record.data(), &id, 4);
    return Get(file, by_id);
  }

  std::vector<std::uint8_t> layout;
  std::array<std::uint8_t, 16> record{};
  KeyObject by_id;
  FileObject file;
};

// One pipe each way between the test and a forked station.
struct Channel {
  Channel() {
    EXPECT_EQ(pipe(to_child), 0);
    EXPECT_EQ(pipe(to_parent), 0);
  }
  static void send(int fd) { EXPECT_EQ(write(fd, "x", 1), 1); }
  static void await(int fd) {
    char c;
    EXPECT_EQ(read(fd, &c, 1), 1);
  }
  int to_child[2];
  int to_parent[2];
};

class Holds : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavero-vmr-holds-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    path_ = (directory_ / "CARDS").string();
    VmrDriver driver(PosixFileSystem());
    Cards cards(path_, driver);
    ASSERT_EQ(Create(cards.file), 0);
    ASSERT_EQ(Open(cards.file, kShared), 0);
    for (std::int32_t id = 1; id <= 3; ++id) {
      cards.fill(id, "ORIGINAL");
      ASSERT_EQ(Add(cards.file), 0);
    }
    ASSERT_EQ(Close(cards.file), 0);
  }
  void TearDown() override {
    EXPECT_TRUE(testing_support::VmrFilesAreSound(directory_));
    fs::remove_all(directory_);
  }

  // Forks a station that opens the table, runs `body` and exits with its
  // result (0 for success).
  template <typename Body>
  pid_t station(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
      VmrDriver driver(PosixFileSystem());
      Cards cards(path_, driver);
      int rc = Open(cards.file, kShared) == 0 ? body(cards) : 100;
      _exit(rc);
    }
    return pid;
  }
  static int exit_code(pid_t pid) {
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
  }

  fs::path directory_;
  std::string path_;
  VmrDriver driver_{PosixFileSystem()};
};

TEST_F(Holds, ARecordAnotherStationHoldsStopsHoldsPutsAndDeletes) {
  Channel channel;
  // The other station holds record 2 until told to release it.
  const pid_t holder = station([&](Cards& cards) {
    if (Hold(cards.file) != 0 || cards.get(2) != 0) return 1;
    Channel::send(channel.to_parent[1]);
    Channel::await(channel.to_child[0]);
    if (Release(cards.file) != 0) return 2;
    Channel::send(channel.to_parent[1]);
    Channel::await(channel.to_child[0]);
    return 0;
  });
  Channel::await(channel.to_parent[0]);

  Cards cards(path_, driver_);
  ASSERT_EQ(Open(cards.file, kShared), 0);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Hold(cards.file, 2), 0);
  EXPECT_EQ(cards.get(2), 43);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1900));
  EXPECT_LT(waited, std::chrono::seconds(20));

  // Unheld reads still see it; writing it is refused.
  ASSERT_EQ(cards.get(2), 0);
  cards.fill(2, "CHANGED");
  EXPECT_EQ(Put(cards.file), 5);
  EXPECT_EQ(Delete(cards.file), 33);
  // Other records are free.
  ASSERT_EQ(Hold(cards.file, 2), 0);
  ASSERT_EQ(cards.get(3), 0);

  // Once released, the hold, PUT and DELETE go through.
  Channel::send(channel.to_child[1]);
  Channel::await(channel.to_parent[0]);
  ASSERT_EQ(Hold(cards.file, 2), 0);
  EXPECT_EQ(cards.get(2), 0);
  cards.fill(2, "CHANGED");
  EXPECT_EQ(Put(cards.file), 0);
  EXPECT_EQ(Delete(cards.file), 0);
  Channel::send(channel.to_child[1]);
  EXPECT_EQ(exit_code(holder), 0);
}

TEST_F(Holds, AHeldReadWithoutALimitWaitsForTheRelease) {
  Channel channel;
  const pid_t holder = station([&](Cards& cards) {
    if (Hold(cards.file) != 0 || cards.get(1) != 0) return 1;
    Channel::send(channel.to_parent[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cards.fill(1, "BY HOLDER");
    return Put(cards.file) == 0 ? 0 : 2;  // PUT ends the hold
  });
  Channel::await(channel.to_parent[0]);
  Cards cards(path_, driver_);
  ASSERT_EQ(Open(cards.file, kShared), 0);
  ASSERT_EQ(Hold(cards.file), 0);
  ASSERT_EQ(cards.get(1), 0);
  EXPECT_EQ(cards.name(), "BY HOLDER   ");
  EXPECT_EQ(exit_code(holder), 0);
}

TEST_F(Holds, AWatchedRecordChangedByAnotherStationIsNotOverwritten) {
  for (const bool watched : {true, false}) {
    SCOPED_TRACE(watched ? "watched" : "not watched");
    Cards cards(path_, driver_);
    ASSERT_EQ(Open(cards.file, kShared), 0);
    if (watched) {
      ASSERT_EQ(Watch(cards.file), 0);
    }
    ASSERT_EQ(cards.get(1), 0);
    const pid_t other = station([](Cards& theirs) {
      if (theirs.get(1) != 0) return 1;
      theirs.fill(1, "THEIRS");
      return Put(theirs.file) == 0 ? 0 : 2;
    });
    ASSERT_EQ(exit_code(other), 0);
    cards.fill(1, "MINE");
    EXPECT_EQ(Put(cards.file), watched ? 89 : 0);
    ASSERT_EQ(cards.get(1), 0);
    EXPECT_EQ(cards.name(), watched ? "THEIRS      " : "MINE        ");
    ASSERT_EQ(Close(cards.file), 0);
  }
}

TEST_F(Holds, ATableLockedByAnotherStationIsLockedAfterItsUnlock) {
  Channel channel;
  const pid_t locker = station([&](Cards& cards) {
    if (Lock(cards.file) != 0) return 1;
    Channel::send(channel.to_parent[1]);
    Channel::await(channel.to_child[0]);
    return Unlock(cards.file) == 0 ? 0 : 2;
  });
  Channel::await(channel.to_parent[0]);
  Cards cards(path_, driver_);
  ASSERT_EQ(Open(cards.file, kShared), 0);
  int pauses = 0;
  const LockWaitPause plain = SetLockWaitPause([&](std::chrono::milliseconds pause) {
    ++pauses;
    std::this_thread::sleep_for(pause);
  });
  EXPECT_EQ(Lock(cards.file, 1), 32);
  SetLockWaitPause(plain);
  EXPECT_GT(pauses, 0);  // the window system's pause ran while waiting
  Channel::send(channel.to_child[1]);
  EXPECT_EQ(Lock(cards.file), 0);  // waits for the other station's UNLOCK
  EXPECT_EQ(exit_code(locker), 0);
  EXPECT_EQ(Unlock(cards.file), 0);
}

// Two tables of one process share the open file (and its system locks), yet
// hold records and lock the table as two stations would.
TEST_F(Holds, TwoTablesOfOneProcessExcludeEachOther) {
  Cards mine(path_, driver_);
  Cards theirs(path_, driver_);
  ASSERT_EQ(Open(mine.file, kShared), 0);
  ASSERT_EQ(Open(theirs.file, kShared), 0);
  ASSERT_EQ(Hold(mine.file), 0);
  ASSERT_EQ(mine.get(2), 0);

  ASSERT_EQ(Hold(theirs.file, 0), 0);
  EXPECT_EQ(theirs.get(2), 43);
  ASSERT_EQ(theirs.get(2), 0);
  theirs.fill(2, "THEIRS");
  EXPECT_EQ(Put(theirs.file), 5);
  EXPECT_EQ(Delete(theirs.file), 33);
  // Their refused attempts left the hold in place: another process still
  // cannot take the record.
  const pid_t other = station([](Cards& cards) {
    if (Hold(cards.file, 0) != 0) return 1;
    return cards.get(2) == 43 ? 0 : 2;
  });
  EXPECT_EQ(exit_code(other), 0);

  // Released, the record is theirs to write.
  ASSERT_EQ(Release(mine.file), 0);
  ASSERT_EQ(theirs.get(2), 0);
  theirs.fill(2, "THEIRS");
  EXPECT_EQ(Put(theirs.file), 0);

  // The table lock works the same way.
  ASSERT_EQ(Lock(mine.file), 0);
  EXPECT_EQ(Lock(theirs.file, 0), 32);
  ASSERT_EQ(Unlock(mine.file), 0);
  EXPECT_EQ(Lock(theirs.file, 0), 0);
  EXPECT_EQ(Unlock(theirs.file), 0);
  EXPECT_EQ(Close(mine.file), 0);
  EXPECT_EQ(Close(theirs.file), 0);
}

TEST_F(Holds, StreamedChangesReachOtherStationsAtFlush) {
  Cards cards(path_, driver_);
  ASSERT_EQ(Open(cards.file, kShared), 0);
  ASSERT_EQ(Stream(cards.file), 0);
  cards.fill(4, "STREAMED");
  ASSERT_EQ(Add(cards.file), 0);
  ASSERT_EQ(Flush(cards.file), 0);
  const pid_t reader = station([](Cards& theirs) { return theirs.get(4); });
  EXPECT_EQ(exit_code(reader), 0);
}

}  // namespace
}  // namespace tavero::vmr
