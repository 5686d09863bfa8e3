// The dispatch sequence, driven through a small driver that records which
// handlers ran and answers what each test tells it to.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/error_state.h"
#include "storage/driver/driver.h"

namespace tavero::driver {
namespace {

using Code = OperationCode;

// Stores what the VMR column allows (DATE4 only overlaid) and implements
// every code except 58 (WATCH): a handler succeeds unless the test gives it
// an error.
class TestDriver final : public FileDriver {
 public:
  TestDriver()
      : FileDriver({.name = "TESTDRV",
                    .library = "TVTST16.DLL",
                    .notice = "test",
                    .description = "Test Driver 1.0",
                    .operations = {1, 7, 10, 24, 25, 41, 60},
                    .field_types = {6, 18, 22},
                    .sizes = {37, 25, 24, 121}}) {}

  std::map<Code, int> errors;  // what Handle returns, per code
  int pauses_in_next = 0;      // NEXT waits this many times for a lock, using its state after each
  bool state_lost = false;     // the state went away under a waiting NEXT
  std::vector<Code> handled;   // codes whose handler ran
  int states_made = 0;

 protected:
  StoredAs Stores(FieldType type) const override {
    return FieldTypeInfoFor(static_cast<std::uint8_t>(type))->vmr;
  }
  std::unique_ptr<DriverState> NewState() const override {
    ++const_cast<TestDriver*>(this)->states_made;
    return std::make_unique<DriverState>();
  }
  int Handle(Code code, FileObject& file, DriverState& state, const OperationArgs& args,
             OperationResult& result) override {
    if (code == Code::Watch) return 80;
    if (code == Code::Next) {
      for (int k = 0; k < pauses_in_next; ++k) {
        PauseBetweenLockAttempts(std::chrono::milliseconds(10));
        if (file.driver_state.get() != &state) state_lost = true;
      }
    }
    handled.push_back(code);
    if (code == Code::Name) result.text = file.name;
    if (code == Code::Send) result.text = "answer to " + std::string(args.text);
    if (code == Code::Records) result.value = 42;
    if (code == Code::Next && errors.count(code) == 0) file.record[0] = 'N';
    auto it = errors.find(code);
    return it == errors.end() ? 0 : it->second;
  }
};

class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() {
    layout_ = RecordLayoutWriter()
                  .Field("TST:NUMBER", 0, FieldType::INT32)
                  .String("TST:NAME", 4, 12)
                  .Field("TST:DATE", 0, FieldType::DATE4)
                  .Finish();
    key_.name = "TST:KEYNAME";
    key_.components = {-2, 1};
    key_.file = &file_;
    file_.entry = &driver_;
    file_.name = "TEST";
    file_.attributes = 0x1c;
    file_.record_layout = layout_;
    file_.keys = {&key_};
    file_.record = record_;
    ClearError();
  }

  int Run(Code code, OperationArgs args = {}) {
    last_ = Perform(file_, code, args);
    return ErrorCode();
  }
  void Open(std::uint32_t mode = 0x42) { ASSERT_EQ(Run(Code::Open, {.number = mode}), 0); }
  FileState State() const { return FileStateOf(file_); }
  bool Handled(Code code) const {
    return std::find(driver_.handled.begin(), driver_.handled.end(), code) != driver_.handled.end();
  }

  TestDriver driver_;
  std::vector<std::uint8_t> layout_;
  std::array<std::uint8_t, 16> record_{};
  KeyObject key_;
  FileObject file_;
  OperationResult last_;
};

TEST_F(DispatchTest, FirstOperationBuildsTheStateWithKeyDescriptors) {
  EXPECT_EQ(Run(Code::Name), 0);
  EXPECT_EQ(last_.text, "TEST");
  ASSERT_NE(file_.driver_state, nullptr);
  const DriverState& state = *file_.driver_state;
  EXPECT_EQ(state.fields.size(), 3u);
  EXPECT_EQ(state.record.size(), 16u);
  EXPECT_EQ(state.file, &file_);
  ASSERT_EQ(state.keys.size(), 1u);
  ASSERT_EQ(key_.descriptor, &state.keys[0]);
  EXPECT_EQ(key_.descriptor->components[0].field, 1u);
  EXPECT_TRUE(key_.descriptor->components[0].descending);
  EXPECT_FALSE(key_.descriptor->components[1].descending);
  EXPECT_EQ(State(), FileState::None);
}

TEST_F(DispatchTest, OperationsNeedingAnOpenFileFailWith37) {
  for (int n = 1; n <= 79; ++n) {
    const auto code = static_cast<Code>(n);
    const bool needs_open = Has(OperationRuleFor(code).required, FileState::Open);
    ClearError();
    driver_.handled.clear();
    Run(code);
    if (needs_open) {
      EXPECT_EQ(ErrorCode(), 37) << n;
      EXPECT_EQ(ErrorText(), "File Not Open");
      EXPECT_EQ(ErrorFile(), &file_);
      EXPECT_TRUE(driver_.handled.empty()) << n;
    } else {
      EXPECT_NE(ErrorCode(), 37) << n;
    }
    if (n == 25 || n == 48) Run(Code::Close);  // OPEN and SHARE succeed here
  }
}

TEST_F(DispatchTest, AccessModeSetsWritableAndExclusive) {
  struct Case {
    std::uint32_t mode;
    FileState expected;
  };
  const Case cases[] = {
      {0x42, FileState::Open | FileState::Writable},
      {0x40, FileState::Open},
      {0x12, FileState::Open | FileState::Writable | FileState::Exclusive},
      {0x22, FileState::Open | FileState::Writable | FileState::Exclusive},
      {0x10, FileState::Open | FileState::Exclusive},
      {0x41, FileState::Open | FileState::Writable},
  };
  for (const Case& c : cases) {
    Open(c.mode);
    EXPECT_EQ(State(), c.expected) << c.mode;
    EXPECT_EQ(file_.driver_state->access_mode, c.mode);
    EXPECT_EQ(Run(Code::Close), 0);
  }
}

TEST_F(DispatchTest, OpenTwiceFailsWith52AndLeavesTheFileOpen) {
  Open();
  EXPECT_EQ(Run(Code::Open, {.number = 0x42}), 52);
  EXPECT_TRUE(Has(State(), FileState::Open));
  EXPECT_EQ(Run(Code::Create), 52);
  EXPECT_TRUE(Has(State(), FileState::Open | FileState::Writable));
}

TEST_F(DispatchTest, NextWithoutSetFailsWith33AndLeavesTheBuffer) {
  Open();
  EXPECT_EQ(Run(Code::Next), 33);
  EXPECT_EQ(record_[0], 0);
  EXPECT_FALSE(Handled(Code::Next));

  EXPECT_EQ(Run(Code::SetRecordOrder), 0);
  EXPECT_EQ(Run(Code::Next), 0);
  EXPECT_EQ(record_[0], 'N');
  EXPECT_TRUE(Has(State(), FileState::HasRecord | FileState::SequenceReady));
  EXPECT_EQ(file_.driver_state->last_sequential, Code::Next);
}

TEST_F(DispatchTest, EofWithNoSetAnswersTrueAndPosts33) {
  Open();
  EXPECT_EQ(Run(Code::Eof), 33);
  EXPECT_EQ(last_.value, 1);
}

TEST_F(DispatchTest, PutAndDeleteNeedARecordAndWriteAccess) {
  Open(0x40);  // read only
  EXPECT_EQ(Run(Code::Put), 33);
  EXPECT_EQ(Run(Code::Delete), 33);
  EXPECT_EQ(Run(Code::Add), 5);
  EXPECT_EQ(Run(Code::GetByPointer, {.pointer = 1}), 0);
  EXPECT_EQ(Run(Code::Put), 5);
  EXPECT_EQ(Run(Code::Delete), 5);
  EXPECT_EQ(ErrorText(), "Access Denied");
  EXPECT_FALSE(Handled(Code::Put));
}

TEST_F(DispatchTest, BuildNeedsExclusiveAccess) {
  Open(0x42);
  EXPECT_EQ(Run(Code::BuildAll), 63);
  EXPECT_EQ(ErrorText(), "Exclusive Access Required");
  EXPECT_EQ(Run(Code::Close), 0);
  Open(0x12);
  EXPECT_EQ(Run(Code::BuildAll), 0);
  EXPECT_TRUE(Handled(Code::BuildAll));
}

TEST_F(DispatchTest, BuildOfAClosedFileGoesOn) {
  EXPECT_EQ(Run(Code::BuildAll), 0);
  EXPECT_TRUE(Handled(Code::BuildAll));
}

TEST_F(DispatchTest, TransactionBlocksCloseWith56AndTheFileStaysOpen) {
  Open();
  EXPECT_EQ(Run(Code::Logout), 0);
  EXPECT_EQ(Run(Code::Close), 56);
  EXPECT_EQ(ErrorText(), "LOGOUT Already Active");
  ASSERT_NE(file_.driver_state, nullptr);
  EXPECT_TRUE(Has(State(), FileState::Open | FileState::InTransaction));
  EXPECT_EQ(Run(Code::Logout), 56);
  EXPECT_EQ(Run(Code::Commit), 0);
  EXPECT_FALSE(Has(State(), FileState::InTransaction));
  EXPECT_EQ(Run(Code::Close), 0);
  EXPECT_EQ(file_.driver_state, nullptr);
}

TEST_F(DispatchTest, QuietRefusalsPostNothingAndChangeNothing) {
  Open();
  PostError(35);  // an earlier error that a quiet refusal leaves alone
  const FileState before = State();
  EXPECT_EQ(Run(Code::Commit), 35);
  EXPECT_EQ(Run(Code::Rollback), 35);
  EXPECT_EQ(Run(Code::Unlock), 35);
  EXPECT_EQ(Run(Code::Flush), 35);
  EXPECT_EQ(State(), before);
  EXPECT_TRUE(driver_.handled.empty() || driver_.handled.back() == Code::Open);

  EXPECT_EQ(Run(Code::Lock), 0);
  EXPECT_TRUE(Has(State(), FileState::Locked | FileState::Exclusive));
  PostError(35);
  EXPECT_EQ(Run(Code::Lock), 35);  // already locked
  EXPECT_EQ(Run(Code::Unlock), 0);
  EXPECT_FALSE(Has(State(), FileState::Locked));

  EXPECT_EQ(Run(Code::Stream), 0);
  PostError(35);
  EXPECT_EQ(Run(Code::Stream), 35);  // already streaming
  EXPECT_EQ(Run(Code::Flush), 0);
  EXPECT_FALSE(Has(State(), FileState::Streaming));
}

TEST_F(DispatchTest, OnlyKindOneSuccessClearsTheErrorState) {
  Open();
  PostError(35);
  SetErrorFile(&file_);
  EXPECT_EQ(Run(Code::Records), 35);  // kind 0
  EXPECT_EQ(last_.value, 42);
  EXPECT_EQ(Run(Code::Hold), 0);  // kind 1
  EXPECT_EQ(ErrorText(), "");
  EXPECT_EQ(ErrorFile(), nullptr);
}

TEST_F(DispatchTest, FailedReadsClearTheirBits) {
  Open();
  EXPECT_EQ(Run(Code::SetRecordOrder), 0);
  EXPECT_EQ(Run(Code::Next), 0);
  driver_.errors[Code::Next] = 33;
  EXPECT_EQ(Run(Code::Next), 33);
  EXPECT_FALSE(Has(State(), FileState::HasRecord));
  EXPECT_TRUE(Has(State(), FileState::SequenceReady));
  driver_.errors[Code::SetKeyOrder] = 35;
  EXPECT_EQ(Run(Code::SetKeyOrder, {.key = &key_}), 35);
  EXPECT_FALSE(Has(State(), FileState::SequenceReady));
  EXPECT_EQ(file_.driver_state->last_sequential, Code::Next);
}

TEST_F(DispatchTest, HandlerErrorsArePostedWithTheFile) {
  Open();
  driver_.errors[Code::GetByKey] = 35;
  EXPECT_EQ(Run(Code::GetByKey, {.key = &key_}), 35);
  EXPECT_EQ(ErrorText(), "Record Not Found");
  EXPECT_EQ(ErrorFile(), &file_);
  driver_.errors[Code::GetByKey] = 0;
  EXPECT_EQ(Run(Code::GetByKey, {.key = &key_}), 0);
  EXPECT_EQ(ErrorFile(), nullptr);
}

TEST_F(DispatchTest, UnimplementedCodeFailsWith80) {
  Open();
  EXPECT_EQ(Run(Code::Watch), 80);
  EXPECT_EQ(ErrorText(), "Unsupported File Driver Function");
}

TEST_F(DispatchTest, CodeSeventyFourDoesNothingAtAll) {
  PostError(35);
  EXPECT_EQ(Run(Code::NoOperation), 35);
  EXPECT_EQ(file_.driver_state, nullptr);
  EXPECT_EQ(driver_.states_made, 0);
}

TEST_F(DispatchTest, OperationsOnAClosedFileReleaseTheState) {
  EXPECT_EQ(Run(Code::Create), 0);
  EXPECT_EQ(file_.driver_state, nullptr);
  EXPECT_EQ(key_.descriptor, nullptr);
  driver_.errors[Code::Remove] = 2;
  EXPECT_EQ(Run(Code::Remove), 2);
  EXPECT_EQ(file_.driver_state, nullptr);
  EXPECT_EQ(Run(Code::Rename, {.text = "OTHER"}), 0);
  EXPECT_EQ(Run(Code::Copy, {.text = "OTHER"}), 0);
  EXPECT_EQ(file_.driver_state, nullptr);
  EXPECT_EQ(driver_.states_made, 4);
}

TEST_F(DispatchTest, FailedOpenKeepsTheState) {
  driver_.errors[Code::Open] = 2;
  EXPECT_EQ(Run(Code::Open, {.number = 0x42}), 2);
  ASSERT_NE(file_.driver_state, nullptr);
  EXPECT_EQ(State(), FileState::None);
}

TEST_F(DispatchTest, SendRegisterAnswersWithoutAHandler) {
  EXPECT_EQ(Run(Code::Send, {.text = "REGISTER"}), 0);
  EXPECT_EQ(last_.text, "TESTDRV");
  const RegistrationRecord& record = driver_.RegistrationRecordBytes();
  EXPECT_EQ(last_.value, reinterpret_cast<std::intptr_t>(record.bytes.data() + record.name_offset));
  EXPECT_FALSE(Handled(Code::Send));
  EXPECT_EQ(file_.driver_state, nullptr);  // the file is not open: released

  Open();
  EXPECT_EQ(Run(Code::Send, {.text = "REGISTER"}), 0);
  EXPECT_NE(file_.driver_state, nullptr);
  EXPECT_EQ(Run(Code::Send, {.text = "TCF=X"}), 0);
  EXPECT_EQ(last_.text, "answer to TCF=X");
}

TEST_F(DispatchTest, BadDeclarationsFailWhenTheStateIsBuilt) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> layout;
    std::vector<std::int32_t> components;
    int error;
  };
  const std::vector<std::uint8_t> array_field =
      RecordLayoutWriter().Field("A", 0, FieldType::INT32, {2}).String("B", 8, 8).Finish();
  const Case cases[] = {
      {"first byte not a group", {0x18, 0}, {1}, 75},
      {"DATE4 not overlaid", RecordLayoutWriter().Field("D", 0, FieldType::DATE4).Finish(), {1}, 79},
      {"UINT8 the driver lacks", RecordLayoutWriter().Field("U", 0, FieldType::UINT8).Finish(), {1}, 0},
      {"BFLOAT64 not overlaid", RecordLayoutWriter().Field("B", 0, FieldType::BFLOAT64).Finish(), {1}, 79},
      {"component names an array", array_field, {1}, 75},
      {"component past the fields", array_field, {3}, 75},
      {"component zero", array_field, {0}, 75},
      {"component of the string", array_field, {-2}, 0},
  };
  for (const Case& c : cases) {
    file_.record_layout = c.layout;
    key_.components = c.components;
    ClearError();
    EXPECT_EQ(Run(Code::Open, {.number = 0x42}), c.error) << c.what;
    if (c.error != 0) {
      EXPECT_EQ(file_.driver_state, nullptr) << c.what;
      EXPECT_EQ(key_.descriptor, nullptr) << c.what;
    } else {
      Run(Code::Close);
    }
  }
}

TEST_F(DispatchTest, ResourceLimitsGive47) {
  std::vector<std::uint8_t> big(64001);
  file_.record = big;
  EXPECT_EQ(Run(Code::Open, {.number = 0x42}), 47);
  EXPECT_EQ(ErrorText(), "Invalid Record Declaration");
  file_.record = record_;

  std::vector<KeyObject> keys(241, key_);
  file_.keys.clear();
  for (KeyObject& k : keys) file_.keys.push_back(&k);
  EXPECT_EQ(Run(Code::Open, {.number = 0x42}), 47);
  file_.keys = {&key_};

  BlobObject blob{.name = "TST:NOTES", .size = 64001};
  file_.blobs = {&blob};
  EXPECT_EQ(Run(Code::Open, {.number = 0x42}), 47);
  blob.size = 64000;
  EXPECT_EQ(Run(Code::Open, {.number = 0x42}), 0);
  EXPECT_EQ(file_.driver_state->blobs.at(0).size, 64000u);
}

TEST_F(DispatchTest, StateReleaseKindsAreTheClosedFileOperations) {
  std::vector<int> releasing;
  for (int n = 0; n < 100; ++n) {
    if (OperationRuleFor(static_cast<Code>(n)).kind & operation_kind::kReleasesState) releasing.push_back(n);
  }
  EXPECT_EQ(releasing, (std::vector<int>{7, 9, 10, 37, 38}));
}

// A NEXT waiting for a lock gives up the engine lock for each pause (the
// mutex stands for it here); another thread's CLOSE of the same file waits
// until the NEXT is over instead of taking its state away.
TEST_F(DispatchTest, AnOperationWaitingForALockKeepsItsFileFromOtherThreads) {
  std::mutex engine_lock;
  SetLockWaitPause([&](std::chrono::milliseconds pause) {
    engine_lock.unlock();
    std::this_thread::sleep_for(pause);
    engine_lock.lock();
  });
  std::vector<std::string> order;
  engine_lock.lock();
  Open();
  driver_.pauses_in_next = 5;
  std::thread other([&] {
    std::lock_guard lock(engine_lock);
    Perform(file_, Code::Close);
    order.push_back("closed");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the other thread waits for the lock
  EXPECT_EQ(Run(Code::SetRecordOrder), 0);
  EXPECT_EQ(Run(Code::Next), 0);
  order.push_back("next done");
  engine_lock.unlock();
  other.join();
  SetLockWaitPause({});
  EXPECT_FALSE(driver_.state_lost);
  EXPECT_EQ(order, (std::vector<std::string>{"next done", "closed"}));
  EXPECT_EQ(State(), FileState::None);
}

}  // namespace
}  // namespace tavero::driver
