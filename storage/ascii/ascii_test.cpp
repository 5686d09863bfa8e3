#include "storage/ascii/ascii.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/error_state.h"

namespace tavero::ascii {
namespace {

using driver::FieldType;
using Code = driver::OperationCode;
namespace fs = std::filesystem;

constexpr std::uint32_t kReadWriteDenyNone = 0x42;
constexpr std::uint32_t kReadOnlyDenyNone = 0x40;
constexpr std::uint32_t kReadWriteDenyWrite = 0x22;

// One ASCII file over a record of a single FIXSTR field.
class AsciiFile {
 public:
  AsciiFile(const fs::path& path, std::size_t record_length, std::uint8_t attributes = 0x04)
      : layout_(driver::RecordLayoutWriter().String("TXT:LINE", 0, static_cast<std::uint32_t>(record_length)).Finish()),
        record_(record_length, ' ') {
    file_.entry = &AsciiDriver();
    file_.name = path.string();
    file_.attributes = attributes;
    file_.record_layout = layout_;
    file_.record = record_;
  }

  driver::FileObject& file() { return file_; }
  int Run(Code code, driver::OperationArgs args = {}) {
    last_ = driver::Perform(file_, code, args);
    return ErrorCode();
  }
  const driver::OperationResult& last() const { return last_; }
  std::string Record() const { return std::string(record_.begin(), record_.end()); }
  void SetRecord(std::string_view text) {
    std::fill(record_.begin(), record_.end(), ' ');
    std::memcpy(record_.data(), text.data(), std::min(text.size(), record_.size()));
  }
  // NEXT, answering the record or "<error N>".
  std::string Next() {
    const int error = Run(Code::Next);
    return error ? "<error " + std::to_string(error) + ">" : Record();
  }
  std::string Send(std::string_view command) {
    Run(Code::Send, {.text = command});
    return last_.text;
  }

 private:
  std::vector<std::uint8_t> layout_;
  std::vector<std::uint8_t> record_;
  driver::FileObject file_;
  driver::OperationResult last_;
};

class AsciiTest : public ::testing::Test {
 protected:
  AsciiTest() {
    char pattern[] = "/tmp/ascii_test_XXXXXX";
    dir_ = mkdtemp(pattern);
    path_ = dir_ / "README.TXT";
  }
  ~AsciiTest() override { fs::remove_all(dir_); }

  void Write(std::string_view content) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Opens the file over a record of `length` bytes and SETs to its start.
  std::unique_ptr<AsciiFile> Open(std::size_t length, std::uint32_t mode = kReadWriteDenyNone) {
    auto f = std::make_unique<AsciiFile>(path_, length);
    EXPECT_EQ(f->Run(Code::Open, {.number = mode}), 0);
    EXPECT_EQ(f->Run(Code::SetRecordOrder), 0);
    return f;
  }

  fs::path dir_;
  fs::path path_;
};

TEST_F(AsciiTest, ReadsLinesTruncatingLongOnesAndEndingAtTheEnd) {
  Write("first\r\nabcdefgh\r\n\r\nlast without terminator");
  auto f = Open(6);
  EXPECT_EQ(f->Next(), "first ");
  EXPECT_EQ(f->Next(), "abcdef");  // the rest of the long line is skipped
  EXPECT_EQ(f->Next(), "      ");
  EXPECT_EQ(f->Next(), "last w");
  EXPECT_EQ(f->Next(), "<error 33>");
  // NEXT without a SET after OPEN finds no sequence.
  AsciiFile fresh(path_, 6);
  ASSERT_EQ(fresh.Run(Code::Open, {.number = kReadOnlyDenyNone}), 0);
  EXPECT_EQ(fresh.Next(), "<error 33>");
}

TEST_F(AsciiTest, TabsFollowTheTabOption) {
  Write("a\tb\r\n\tx\r\n");
  const struct {
    const char* tab;
    const char* first;
    const char* second;
  } cases[] = {
      {"TAB=8", "a       b ", "        x "}, {"TAB=0", "ab        ", "x         "},
      {"TAB=-100", "a\tb       ", "\tx        "}, {"TAB=-3", "a   b     ", "   x      "},
      {"TAB=4", "a   b     ", "    x     "},
  };
  for (const auto& c : cases) {
    auto f = Open(10);
    f->Send(c.tab);
    EXPECT_EQ(f->Next(), c.first) << c.tab;
    EXPECT_EQ(f->Next(), c.second) << c.tab;
    f->Run(Code::Close);
  }
  // A tab never writes past the record.
  Write("abc\td\r\n");
  auto f = Open(5);
  EXPECT_EQ(f->Next(), "abc  ");
}

TEST_F(AsciiTest, EndOfFileMarkAndOtherTerminators) {
  Write("one\r\ntw\x1ao\r\nthree\r\n");
  auto f = Open(5);
  EXPECT_EQ(f->Next(), "one  ");
  EXPECT_EQ(f->Next(), "tw   ");
  EXPECT_EQ(f->Next(), "<error 33>");  // reading stops at the 26
  f->Run(Code::Close);

  Write("x\ny\n");
  f = Open(3);
  EXPECT_EQ(f->Send("ENDOFRECORD=1,10"), "1,10");
  EXPECT_EQ(f->Next(), "x  ");
  EXPECT_EQ(f->Next(), "y  ");
  EXPECT_EQ(f->Next(), "<error 33>");
  // A malformed value leaves the terminator alone.
  EXPECT_EQ(f->Send("ENDOFRECORD=2,10"), "1,10");
  EXPECT_EQ(f->Send("ENDOFRECORD=1,300"), "1,10");
  EXPECT_EQ(f->Send("ENDOFRECORD"), "1,10");
}

TEST_F(AsciiTest, OptionsAnswerTheirValuesAndSlashOptionsApplyAtOpen) {
  Write("x\r\n");
  AsciiFile f(path_, 4);
  f.file().driver_options = "/CLIP=OFF/TAB=4 /FILEBUFFERS=3";
  ASSERT_EQ(f.Run(Code::Open, {.number = kReadWriteDenyNone}), 0);
  EXPECT_EQ(f.Send("CLIP"), "OFF");
  EXPECT_EQ(f.Send("TAB"), "4");
  EXPECT_EQ(f.Send("FILEBUFFERS"), "3");
  EXPECT_EQ(f.Send("QUICKSCAN"), "OFF");  // deny none: no read-ahead
  EXPECT_EQ(f.Send("ENDOFRECORD"), "2,13,10");
  EXPECT_EQ(f.Send("clip=on"), "ON");
  EXPECT_EQ(f.Send("TAB=abc"), "4");
  EXPECT_EQ(f.Send("FILEBUFFERS=0"), "3");
  EXPECT_EQ(f.Send("NOSUCH"), "");
  EXPECT_EQ(f.Send("REGISTER"), "ASCII");
  f.Run(Code::Close);
  AsciiFile exclusive(path_, 4);
  ASSERT_EQ(exclusive.Run(Code::Open, {.number = kReadWriteDenyWrite}), 0);
  EXPECT_EQ(exclusive.Send("QUICKSCAN"), "ON");
  EXPECT_EQ(exclusive.Send("FILEBUFFERS"), "2");  // 1024 bytes
}

TEST_F(AsciiTest, ClipDecidesWhetherTrailingBlanksAreWritten) {
  Write("");
  auto f = Open(80);
  f->SetRecord("hello");
  ASSERT_EQ(f->Run(Code::Add), 0);
  f->Send("CLIP=OFF");
  ASSERT_EQ(f->Run(Code::Add), 0);
  EXPECT_EQ(Contents(), "hello\r\nhello" + std::string(75, ' ') + "\r\n");
  // ADD with a length writes that many bytes of the record.
  f->Send("CLIP=ON");
  f->SetRecord("abcdef");
  ASSERT_EQ(f->Run(Code::AddWithLength, {.number = 3}), 0);
  EXPECT_EQ(Contents().substr(89), "abc\r\n");
}

TEST_F(AsciiTest, BytesPointerAndPositions) {
  Write("alpha\r\nbeta\r\ngamma\r\n");
  auto f = Open(8);
  f->Run(Code::Bytes);
  EXPECT_EQ(f->last().value, 20);  // the file size before any line is read
  f->Next();
  f->Run(Code::Bytes);
  EXPECT_EQ(f->last().value, 7);
  EXPECT_EQ(f->Next(), "beta    ");
  f->Run(Code::Pointer);
  EXPECT_EQ(f->last().value, 8);
  f->Run(Code::Position);
  const std::string position = f->last().text;
  EXPECT_EQ(f->Next(), "gamma   ");
  f->Run(Code::Eof);
  EXPECT_EQ(f->last().value, 1);
  // RESET: the next read starts at that line; REGET reads it at once.
  ASSERT_EQ(f->Run(Code::Reset, {.text = position}), 0);
  EXPECT_EQ(f->Next(), "beta    ");
  f->SetRecord("");
  ASSERT_EQ(f->Run(Code::Reget, {.text = position}), 0);
  EXPECT_EQ(f->Record(), "beta    ");
  // GET by pointer, and its limits.
  ASSERT_EQ(f->Run(Code::GetByPointer, {.pointer = 14}), 0);
  EXPECT_EQ(f->Record(), "gamma   ");
  EXPECT_EQ(f->Run(Code::GetByPointer, {.pointer = 21}), 33);
  EXPECT_EQ(f->Run(Code::GetByPointer, {.pointer = 0}), 33);
  EXPECT_EQ(f->Run(Code::GetByPointerWithLength, {.pointer = 1, .number = 3}), 0);
  EXPECT_EQ(f->Record(), "alp     ");
  // SET from a pointer.
  ASSERT_EQ(f->Run(Code::SetRecordOrderFromPointer, {.pointer = 8}), 0);
  EXPECT_EQ(f->Next(), "beta    ");
  EXPECT_EQ(f->Run(Code::Reset, {.text = "bad"}), 33);
}

// A line rewritten with another length must leave every other line intact.
TEST_F(AsciiTest, PutOfAChangedLengthKeepsTheOtherLines) {
  std::string tail;
  for (int i = 0; i < 20000; ++i) tail += "line " + std::to_string(i) + "\r\n";  // > one shift chunk
  Write("aaa\r\nbbbbbb\r\n" + tail);
  auto f = Open(12);
  f->Next();
  EXPECT_EQ(f->Next(), "bbbbbb      ");
  f->SetRecord("xx");
  ASSERT_EQ(f->Run(Code::Put), 0);
  EXPECT_EQ(Contents(), "aaa\r\nxx\r\n" + tail);
  f->SetRecord("yyyyyyyyyyyy");
  ASSERT_EQ(f->Run(Code::Put), 0);
  EXPECT_EQ(Contents(), "aaa\r\nyyyyyyyyyyyy\r\n" + tail);
  f->Run(Code::Bytes);
  EXPECT_EQ(f->last().value, 14);
  EXPECT_EQ(f->Next(), "line 0      ");  // reading goes on after the rewritten line
  // PUT at a pointer rewrites the line starting there.
  f->SetRecord("Z");
  ASSERT_EQ(f->Run(Code::PutAtPointer, {.pointer = 1}), 0);
  EXPECT_EQ(Contents(), "Z\r\nyyyyyyyyyyyy\r\n" + tail);
  EXPECT_EQ(f->Run(Code::PutAtPointer, {.pointer = static_cast<std::uint32_t>(Contents().size() + 1)}), 33);
  f->Run(Code::Bytes);
  EXPECT_EQ(f->last().value, static_cast<std::int64_t>(Contents().size()));  // no line current
}

TEST_F(AsciiTest, OemFilesConvertBothWays) {
  Write("caf\x82\r\n");  // 0x82 is e-acute in the OEM set
  AsciiFile f(path_, 4, 0x04 | driver::file_attribute::kOemText);
  ASSERT_EQ(f.Run(Code::Open, {.number = kReadWriteDenyNone}), 0);
  f.Run(Code::SetRecordOrder);
  EXPECT_EQ(f.Next(), "caf\xe9");
  f.SetRecord("n\xe9");
  ASSERT_EQ(f.Run(Code::Add), 0);
  EXPECT_EQ(Contents(), "caf\x82\r\nn\x82\r\n");
}

TEST_F(AsciiTest, RefusalsAndFileOperations) {
  Write("x\r\n");
  {  // read-only: every write is refused, ADD with a length included
    auto f = Open(4, kReadOnlyDenyNone);
    f->SetRecord("new");
    EXPECT_EQ(f->Run(Code::Add), 5);
    EXPECT_EQ(f->Run(Code::AddWithLength, {.number = 2}), 5);
    EXPECT_EQ(Contents(), "x\r\n");
  }
  AsciiFile unnamed("", 4);
  EXPECT_EQ(unnamed.Run(Code::Open, {.number = kReadOnlyDenyNone}), 45);
  AsciiFile no_create(dir_ / "new.txt", 4, 0);
  EXPECT_EQ(no_create.Run(Code::Create), 54);
  AsciiFile create(dir_ / "new.txt", 4);
  EXPECT_EQ(create.Run(Code::Create), 0);
  EXPECT_TRUE(fs::exists(dir_ / "new.txt"));
  EXPECT_EQ(create.Run(Code::Copy, {.text = (dir_ / "copy.txt").string()}), 0);
  EXPECT_EQ(create.Run(Code::Rename, {.text = (dir_ / "moved.txt").string()}), 0);
  EXPECT_FALSE(fs::exists(dir_ / "new.txt"));
  EXPECT_TRUE(fs::exists(dir_ / "moved.txt"));
  EXPECT_EQ(create.Run(Code::Remove), 0);
  EXPECT_EQ(create.Run(Code::Remove), 2);
  AsciiFile missing(dir_ / "missing.txt", 4);
  EXPECT_EQ(missing.Run(Code::Open, {.number = kReadOnlyDenyNone}), 2);
  {  // EMPTY needs exclusive access, then truncates
    auto f = Open(4, kReadWriteDenyWrite);
    EXPECT_EQ(f->Run(Code::Empty), 0);
    EXPECT_EQ(Contents(), "");
  }
}

TEST_F(AsciiTest, DeclarationsTheDriverRefuses) {
  Write("x\r\n");
  const auto open_with = [&](std::vector<std::uint8_t> layout, std::size_t length, bool with_key) {
    std::vector<std::uint8_t> record(length, ' ');
    driver::KeyObject key;
    driver::FileObject file;
    file.entry = &AsciiDriver();
    file.name = path_.string();
    file.record_layout = layout;
    file.record = record;
    key.components = {1};
    key.file = &file;
    if (with_key) file.keys = {&key};
    driver::Perform(file, Code::Open, {.number = kReadOnlyDenyNone});
    const int error = ErrorCode();
    driver::Perform(file, Code::Close);
    return error;
  };
  EXPECT_EQ(open_with(driver::RecordLayoutWriter().String("T:S", 0, 4).Finish(), 4, true), 47);
  EXPECT_EQ(open_with(driver::RecordLayoutWriter().Field("T:N", 0, FieldType::INT32).Finish(), 4, false), 79);
  // A number overlaying text is accepted.
  EXPECT_EQ(open_with(driver::RecordLayoutWriter()
                          .String("T:S", 0, 4)
                          .Field("T:N", 0, FieldType::INT32)
                          .Finish(),
                      4, false),
            0);
}

TEST_F(AsciiTest, LocksOnTheFirstByteShutOutOtherWriters) {
  Write("x\r\n");
  auto a = Open(4);
  auto b = Open(4);
  ASSERT_EQ(a->Run(Code::Lock), 0);
  EXPECT_EQ(b->Run(Code::Lock), 32);
  b->SetRecord("b");
  EXPECT_EQ(b->Run(Code::Add), 5);  // its write lock cannot be taken
  a->SetRecord("a");
  EXPECT_EQ(a->Run(Code::Add), 0);  // the holder writes freely
  ASSERT_EQ(a->Run(Code::Unlock), 0);
  EXPECT_EQ(b->Run(Code::Add), 0);
  EXPECT_EQ(Contents(), "x\r\na\r\nb\r\n");
}

TEST_F(AsciiTest, ReadAheadSeesTheFilesOwnWrites) {
  Write("one\r\ntwo\r\nthree\r\n");
  auto f = Open(5, kReadWriteDenyWrite);  // QUICKSCAN on
  EXPECT_EQ(f->Next(), "one  ");
  f->SetRecord("ONE!!");
  ASSERT_EQ(f->Run(Code::Put), 0);
  EXPECT_EQ(f->Next(), "two  ");
  ASSERT_EQ(f->Run(Code::SetRecordOrder), 0);
  EXPECT_EQ(f->Next(), "ONE!!");
}

}  // namespace
}  // namespace tavero::ascii
