// The VMR driver through the file operations: tables in real files in a
// temporary directory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>

#include "runtime/error_state.h"
#include "storage/vmr/check_testing.h"
#include "storage/vmr/file_io.h"
#include "storage/vmr/vmr.h"

namespace tavero::vmr {
namespace {

namespace fs = std::filesystem;
using namespace tavero::driver;

constexpr int kReadWrite = 0x42;

// A table of: INT32 id (unique key), FIXSTR name (key with duplicates,
// case-insensitive), a dynamic index, a memo and a blob.
struct TestFile {
  explicit TestFile(const std::string& name, VmrDriver& driver) {
    layout = RecordLayoutWriter().Field("T:ID", 0, FieldType::INT32).String("T:NAME", 4, 12).Finish();
    by_id = {"T:BY_ID", nullptr, 0x00, {1}, &file};
    by_name = {"T:BY_NAME", nullptr, 0x05, {2}, &file};
    dynamic = {"T:DYNAMIC", nullptr, 0x4001, {}, &file};
    notes = {"T:NOTES", "", std::span(memo), 40, 0};
    picture = {"T:PICTURE", "", {}, 1000, 0x04};
    file.entry = &driver;
    file.name = name;
    file.attributes = 0x04;
    file.record_layout = layout;
    file.record = record;
    file.keys = {&by_id, &by_name, &dynamic};
    file.blobs = {&notes, &picture};
  }
  void fill(std::int32_t id, const char* name) {
    std::memcpy(record.data(), &id, 4);
    std::memset(record.data() + 4, ' ', 12);
    std::memcpy(record.data() + 4, name, std::strlen(name));
  }
  std::int32_t id() const {
    std::int32_t value;
    std::memcpy(&value, record.data(), 4);
    return value;
  }
  std::vector<std::int32_t> ids_in(KeyObject* key) {
    std::vector<std::int32_t> out;
    EXPECT_EQ(key ? SetKeyOrder(file, *key) : SetRecordOrder(file), 0);
    while (Next(file) == 0) out.push_back(id());
    return out;
  }

  std::vector<std::uint8_t> layout;
  std::array<std::uint8_t, 16> record{};
  std::array<std::uint8_t, 40> memo{};
  KeyObject by_id, by_name, dynamic;
  BlobObject notes, picture;
  FileObject file;
};

class VmrDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavero-vmr-driver-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override {
    EXPECT_TRUE(testing_support::VmrFilesAreSound(directory_));
    fs::remove_all(directory_);
  }
  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  TestFile& created(const std::string& name) {
    files_.push_back(std::make_unique<TestFile>(path(name), driver_));
    TestFile& t = *files_.back();
    EXPECT_EQ(Create(t.file), 0) << ErrorText();
    EXPECT_EQ(Open(t.file, kReadWrite), 0) << ErrorText();
    return t;
  }

  fs::path directory_;
  VmrDriver driver_{PosixFileSystem()};
  std::vector<std::unique_ptr<TestFile>> files_;
};

TEST_F(VmrDriverTest, OpeningNeedsTheFileAndTheTable) {
  TestFile missing(path("MISSING"), driver_);
  EXPECT_EQ(Open(missing.file, kReadWrite), 2);
  EXPECT_FALSE(fs::exists(path("MISSING.VMR")));
  TestFile one(path("DATA\\!ONE"), driver_);
  ASSERT_EQ(Create(one.file), 0);
  EXPECT_TRUE(fs::exists(path("DATA.VMR")));
  TestFile two(path("DATA\\!TWO"), driver_);
  EXPECT_EQ(Open(two.file, kReadWrite), 2);
  two.file.attributes = 0;
  EXPECT_EQ(Create(two.file), 54);
  EXPECT_EQ(Name(two.file), path("DATA\\!TWO"));  // on a closed file too
  TestFile unnamed("", driver_);
  EXPECT_EQ(Create(unnamed.file), 45);
}

TEST_F(VmrDriverTest, SequenceQuestionsAndCounts) {
  TestFile& t = created("SEQ");
  EXPECT_EQ(Next(t.file), 33);  // no SET yet
  EXPECT_TRUE(Eof(t.file));
  for (int i = 1; i <= 3; ++i) {
    t.fill(i * 10, i == 2 ? "bob" : "ann");
    ASSERT_EQ(Add(t.file), 0);
  }
  EXPECT_EQ(Bytes(t.file), 16);  // a current record
  EXPECT_EQ(Records(t.file), 3);
  EXPECT_EQ(Records(t.file, t.by_name), 3);
  EXPECT_EQ(t.ids_in(&t.by_name), (std::vector<std::int32_t>{10, 30, 20}));
  EXPECT_EQ(Bytes(t.file), 48);  // no current record after the last failed read
  ASSERT_EQ(SetKeyOrder(t.file, t.by_id), 0);
  EXPECT_FALSE(Eof(t.file));
  ASSERT_EQ(Next(t.file), 0);
  const std::string position = Position(t.file, t.by_id);
  ASSERT_EQ(Next(t.file), 0);
  EXPECT_EQ(t.id(), 20);
  ASSERT_EQ(Reset(t.file, t.by_id, position), 0);
  ASSERT_EQ(Next(t.file), 0);
  EXPECT_EQ(t.id(), 10);
  ASSERT_EQ(Reget(t.file, t.by_id, position), 0);
  EXPECT_EQ(t.id(), 10);
  EXPECT_EQ(Skip(t.file, 1), 0);
  ASSERT_EQ(Next(t.file), 0);
  EXPECT_EQ(t.id(), 30);
  EXPECT_EQ(Get(t.file, 0u), 35);
  EXPECT_EQ(Put(t.file), 33);
  t.fill(20, "x");
  EXPECT_TRUE(Duplicate(t.file, t.by_id));
  EXPECT_FALSE(Duplicate(t.file, t.by_name));
}

TEST_F(VmrDriverTest, MemosAndBlobs) {
  TestFile& t = created("BLOB");
  t.fill(1, "a");
  std::memcpy(t.memo.data(), "hello", 5);
  std::memset(t.memo.data() + 5, ' ', t.memo.size() - 5);
  OperationArgs put;
  put.number = 2;
  put.start = 0;
  put.end = 299;
  const std::string bytes(300, 'b');
  put.text = bytes;
  ASSERT_EQ(Perform(t.file, OperationCode::BlobPutBytes, put).value, 0);
  ASSERT_EQ(ErrorCode(), 0);
  ASSERT_EQ(Add(t.file), 0);
  const std::uint32_t record = Pointer(t.file);

  OperationArgs length;
  length.number = 2;
  OperationArgs resize = length;
  resize.text = "size=10";
  Perform(t.file, OperationCode::BlobSetProperty, resize);
  EXPECT_EQ(Perform(t.file, OperationCode::BlobLength, length).value, 10);
  std::memset(t.memo.data(), '-', t.memo.size());
  ASSERT_EQ(Get(t.file, record), 0);
  EXPECT_EQ(std::string(t.memo.begin(), t.memo.begin() + 6), "hello ");
  EXPECT_EQ(Perform(t.file, OperationCode::BlobLength, length).value, 300);
  OperationArgs get = length;
  get.start = 298;
  get.end = 400;
  EXPECT_EQ(Perform(t.file, OperationCode::BlobGetBytes, get).text, "bb");
  get.start = 500;
  EXPECT_EQ(Perform(t.file, OperationCode::BlobGetBytes, get).text, "");
  OperationArgs property = length;
  property.text = "SIZE";
  EXPECT_EQ(Perform(t.file, OperationCode::BlobGetProperty, property).text, "300");
  OperationArgs bad;
  bad.number = 3;
  Perform(t.file, OperationCode::BlobLength, bad);
  EXPECT_NE(ErrorCode(), 0);
}

TEST_F(VmrDriverTest, DynamicIndexInAFileOfItsOwn) {
  TestFile& t = created("DYN");
  for (int i = 1; i <= 4; ++i) {
    t.fill(i, i % 2 ? "odd" : "even");
    ASSERT_EQ(Add(t.file), 0);
  }
  EXPECT_EQ(Build(t.file, t.dynamic, "T:NOPE"), 76);
  ASSERT_EQ(Build(t.file, t.dynamic, "+T:NAME, -T:ID"), 0) << ErrorText();
  EXPECT_TRUE(fs::exists(path("DYN.VMR.UNNAMED.2.IDX")));
  EXPECT_EQ(t.ids_in(&t.dynamic), (std::vector<std::int32_t>{4, 2, 3, 1}));
  EXPECT_EQ(Records(t.file, t.dynamic), 4);
  ASSERT_EQ(Empty(t.file), 63);  // EMPTY needs exclusive access

  // With a filter the index holds only the records it accepts.
  driver_.set_filter_factory([](FileObject&, std::string_view filter) {
    const bool even = filter == "EVEN";
    return [even](std::span<const std::uint8_t> record) { return (record[0] % 2 == 0) == even; };
  });
  ASSERT_EQ(Build(t.file, t.dynamic, "T:ID", "EVEN"), 0) << ErrorText();
  EXPECT_EQ(t.ids_in(&t.dynamic), (std::vector<std::int32_t>{2, 4}));
  EXPECT_EQ(Records(t.file, t.dynamic), 2);
}

TEST_F(VmrDriverTest, CopyMovesRecordNumbersAndTheCounterPastThem) {
  TestFile& source = created("SRC\\!T");
  for (int i = 1; i <= 3; ++i) {
    source.fill(i, "n");
    std::memset(source.memo.data(), 'm', source.memo.size());
    ASSERT_EQ(Add(source.file), 0);
  }
  // The destination file already holds a table, so its counter is ahead.
  TestFile& other = created("DST\\!OTHER");
  for (int i = 1; i <= 5; ++i) {
    other.fill(i, "o");
    ASSERT_EQ(Add(other.file), 0);
  }
  ASSERT_EQ(Close(source.file), 0);
  ASSERT_EQ(Copy(source.file, path("DST\\!COPY")), 0) << ErrorText();

  TestFile copy(path("DST\\!COPY"), driver_);
  ASSERT_EQ(Open(copy.file, kReadWrite), 0) << ErrorText();
  EXPECT_EQ(copy.ids_in(&copy.by_id), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(copy.ids_in(nullptr), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(std::string(copy.memo.begin(), copy.memo.end()), std::string(40, 'm'));
  // Later ADDs in the destination file take numbers beyond the copied ones.
  std::set<std::uint32_t> numbers;
  ASSERT_EQ(SetRecordOrder(copy.file), 0);
  while (Next(copy.file) == 0) numbers.insert(Pointer(copy.file));
  copy.fill(9, "new");
  ASSERT_EQ(Add(copy.file), 0);
  EXPECT_GT(Pointer(copy.file), *numbers.rbegin());
  other.fill(6, "o");
  ASSERT_EQ(Add(other.file), 0);
  EXPECT_GT(Pointer(other.file), *numbers.rbegin());

  // RENAME onto an existing table is refused; to a new name it moves.
  EXPECT_EQ(Rename(source.file, path("DST\\!COPY")), 5);
  ASSERT_EQ(Rename(source.file, path("SRC\\!MOVED")), 0);
  TestFile moved(path("SRC\\!MOVED"), driver_);
  ASSERT_EQ(Open(moved.file, kReadWrite), 0);
  EXPECT_EQ(moved.ids_in(&moved.by_id), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(Open(source.file, kReadWrite), 2);
  ASSERT_EQ(Close(moved.file), 0);

  // REMOVE of the last table of a file removes the file.
  ASSERT_EQ(Remove(moved.file), 0);
  EXPECT_FALSE(fs::exists(path("SRC.VMR")));
  ASSERT_EQ(Close(copy.file), 0);
  ASSERT_EQ(Remove(copy.file), 0);
  EXPECT_TRUE(fs::exists(path("DST.VMR")));  // OTHER is still there
}

TEST_F(VmrDriverTest, BuildOfAClosedFileBringsAppendedKeysUpToDate) {
  TestFile& t = created("APP");
  t.fill(2, "b");
  ASSERT_EQ(Append(t.file), 0);
  t.fill(1, "a");
  ASSERT_EQ(Append(t.file), 0);
  EXPECT_EQ(Records(t.file, t.by_id), 0);
  EXPECT_EQ(Build(t.file), 63);  // open with deny none
  EXPECT_EQ(Pack(t.file), 63);
  ASSERT_EQ(Close(t.file), 0);
  // Keys left behind: the file cannot be opened until they are rebuilt.
  EXPECT_EQ(Open(t.file, 0x42), 46);
  EXPECT_FALSE(Has(FileStateOf(t.file), FileState::Open));
  ASSERT_EQ(Build(t.file), 0) << ErrorText();
  ASSERT_EQ(Open(t.file, 0x12), 0);  // read/write, deny all
  EXPECT_EQ(t.ids_in(&t.by_id), (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(Pack(t.file), 0) << ErrorText();
  EXPECT_EQ(t.ids_in(nullptr), (std::vector<std::int32_t>{2, 1}));
}

}  // namespace
}  // namespace tavero::vmr
