#include "app/dictionary/dictionary.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "runtime/error_state.h"
#include "storage/vmr/check_testing.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;

// Each test works in a directory of its own: the files are named by their
// labels in the working directory.
class CollectionFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "zephcol-dictionary-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    std::filesystem::current_path(directory_);
  }
  void TearDown() override {
    for (DataFile* file : all()) driver::Close(file->file());
    std::filesystem::current_path(previous_);
    EXPECT_TRUE(tavero::vmr::testing_support::VmrFilesAreSound(directory_));
    std::filesystem::remove_all(directory_);
  }
  static std::vector<DataFile*> all() { return {&Cardset(), &Manufacturer(), &Types(), &SetInformation()}; }

  static void open_or_create(DataFile& data) {
    driver::FileObject& file = data.file();
    int error = driver::Open(file, 0x42);
    if (error == 2) {
      ASSERT_EQ(driver::Create(file), 0) << data.declaration().label;
      error = driver::Open(file, 0x42);
    }
    ASSERT_EQ(error, 0) << data.declaration().label << ": " << tavero::ErrorText();
  }

  static void add_card(std::int16_t set, std::int16_t card, const char* first, const char* last, std::int32_t bought,
                       const char* notes) {
    DataFile& cards = SetInformation();
    cards.clear();
    cards.set_number("SET:SET_NO", set);
    cards.set_number("SET:CARD_NO", card);
    cards.set_text("SET:FIRST_NAME", first);
    cards.set_text("SET:LAST_NAME", last);
    cards.set_number("SET:DATE_BOUGHT", bought);
    std::memcpy(cards.memo(0).data(), notes, std::strlen(notes));
    ASSERT_EQ(driver::Add(cards.file()), 0) << tavero::ErrorText();
  }

  static void fill() {
    for (const char* name : {"Topps", "fleer", "Upper Deck"}) {
      Manufacturer().set_text("MAN:MANUFACTURER", name);
      ASSERT_EQ(driver::Add(Manufacturer().file()), 0);
    }
    for (const char* name : {"Rookie", "Base"}) {
      Types().set_text("TYP:TYPE_OF_CARD", name);
      ASSERT_EQ(driver::Add(Types().file()), 0);
    }
    struct Set {
      std::int16_t number;
      const char* maker;
      const char* year;
      const char* type;
    };
    for (const Set& set : {Set{3, "TOPPS", "1989", "Base"}, Set{1, "Fleer", "1991", "Rookie"},
                           Set{2, "topps", "1987", "Rookie"}, Set{4, "", "", ""}}) {
      Cardset().clear();
      Cardset().set_number("CAR:SET_NO", set.number);
      Cardset().set_text("CAR:MANUFACTURER", set.maker);
      Cardset().set_text("CAR:YEAR", set.year);
      Cardset().set_text("CAR:TYPE_OF_CARD", set.type);
      ASSERT_EQ(driver::Add(Cardset().file()), 0);
    }
    add_card(1, 1, "Ken", "Griffey", 72687, "mint");
    add_card(1, 2, "Frank", "Thomas", 72000, "");
    add_card(3, 7, "Mark", "griffey", 0, std::string(300, 'n').c_str());
    add_card(2, 5, "Bo", "Jackson", 72687, "");
    add_card(0, 0, "", "", 0, "");  // in no key at all
  }

  // Reads `key` forward and backward; the field values in the forward order.
  static std::vector<std::string> read_both_ways(DataFile& data, std::string_view key, std::string_view field) {
    driver::FileObject& file = data.file();
    std::vector<std::string> forward, backward;
    EXPECT_EQ(driver::SetKeyOrder(file, data.key(key)), 0);
    while (driver::Next(file) == 0) forward.push_back(data.text(field));
    EXPECT_EQ(tavero::ErrorCode(), 33);
    EXPECT_EQ(driver::SetKeyOrder(file, data.key(key)), 0);
    while (driver::Previous(file) == 0) backward.insert(backward.begin(), data.text(field));
    EXPECT_EQ(forward, backward) << key;
    return forward;
  }

  std::filesystem::path previous_;
  std::filesystem::path directory_;
};

TEST_F(CollectionFiles, DeclarationsAsTabulated) {
  const std::pair<DataFile*, std::size_t> lengths[] = {
      {&Cardset(), 62}, {&Manufacturer(), 20}, {&Types(), 20}, {&SetInformation(), 70}};
  for (const auto& [data, length] : lengths) {
    driver::FileObject& file = data->file();
    EXPECT_EQ(file.record.size(), length);
    EXPECT_EQ(file.attributes, 0x1C);
    EXPECT_EQ(file.name, data->declaration().label);
    const driver::FlatLayout flat = driver::FlattenRecordLayout(file.record_layout, static_cast<std::uint32_t>(length));
    ASSERT_EQ(flat.error, 0);
    EXPECT_EQ(flat.covered_size, length);
    ASSERT_EQ(flat.fields.size(), data->declaration().fields.size());
    for (std::size_t i = 0; i < flat.fields.size(); ++i) {
      EXPECT_EQ(flat.fields[i].offset, data->declaration().fields[i].offset);
      EXPECT_EQ(flat.fields[i].size, data->declaration().fields[i].size);
    }
  }
  EXPECT_EQ(Cardset().file().keys.size(), 4u);
  EXPECT_EQ(Cardset().key("CAR:TYPES").components, (std::vector<std::int32_t>{4, 2, 3}));
  EXPECT_EQ(SetInformation().key("SET:BOUGHT").components, (std::vector<std::int32_t>{10, 4}));
  EXPECT_EQ(SetInformation().key("set:sold").attributes, 0x07u);
  ASSERT_EQ(SetInformation().file().blobs.size(), 1u);
  EXPECT_EQ(SetInformation().file().blobs[0]->size, 500u);
  EXPECT_EQ(SetInformation().memo(0).size(), 500u);
}

TEST_F(CollectionFiles, CreatedFilledAndReadInEveryKeyOrder) {
  for (DataFile* data : all()) open_or_create(*data);
  fill();

  // A second set with the same number is refused.
  Cardset().clear();
  Cardset().set_number("CAR:SET_NO", 3);
  EXPECT_EQ(driver::Add(Cardset().file()), 40);
  EXPECT_EQ(driver::Records(Cardset().file()), 4);

  EXPECT_EQ(read_both_ways(Manufacturer(), "MAN:MANFACT", "MAN:MANUFACTURER"),
            (std::vector<std::string>{"fleer", "Topps", "Upper Deck"}));
  EXPECT_EQ(read_both_ways(Types(), "TYP:TYPE", "TYP:TYPE_OF_CARD"), (std::vector<std::string>{"Base", "Rookie"}));
  EXPECT_EQ(read_both_ways(Cardset(), "CAR:SET", "CAR:SET_NO").size(), 4u);
  // Blank manufacturer, year and type: found through CAR:SET only; case is
  // ignored, so "topps" 1987 sorts before "TOPPS" 1989.
  EXPECT_EQ(read_both_ways(Cardset(), "CAR:MANUFACTURERS", "CAR:YEAR"),
            (std::vector<std::string>{"1991", "1987", "1989"}));
  EXPECT_EQ(read_both_ways(Cardset(), "CAR:TYPES", "CAR:YEAR"), (std::vector<std::string>{"1989", "1991", "1987"}));
  EXPECT_EQ(read_both_ways(Cardset(), "CAR:SEASON", "CAR:YEAR"), (std::vector<std::string>{"1987", "1989", "1991"}));
  EXPECT_EQ(read_both_ways(SetInformation(), "SET:NAME_KEY", "SET:FIRST_NAME"),
            (std::vector<std::string>{"Ken", "Mark", "Bo", "Frank"}));  // Griffey, griffey: by record number
  EXPECT_EQ(read_both_ways(SetInformation(), "SET:SET_KEY", "SET:LAST_NAME"),
            (std::vector<std::string>{"Griffey", "Thomas", "Jackson", "griffey"}));
  EXPECT_EQ(read_both_ways(SetInformation(), "SET:BOUGHT", "SET:LAST_NAME"),
            (std::vector<std::string>{"griffey", "Thomas", "Griffey", "Jackson"}));
  EXPECT_EQ(read_both_ways(SetInformation(), "SET:SOLD", "SET:LAST_NAME").size(), 4u);
  EXPECT_EQ(driver::Records(SetInformation().file()), 5);
  EXPECT_EQ(driver::Records(SetInformation().file(), SetInformation().key("SET:SET_KEY")), 4);

  // A manufacturer in capitals finds the one stored in lower case.
  Manufacturer().set_text("MAN:MANUFACTURER", "FLEER");
  ASSERT_EQ(driver::Get(Manufacturer().file(), Manufacturer().key("MAN:MANFACT")), 0);
  EXPECT_EQ(Manufacturer().text("MAN:MANUFACTURER"), "fleer");
}

// Everything the four files hold, read through every key, with the memos.
std::string digest() {
  std::string out;
  for (DataFile* data : {&Cardset(), &Manufacturer(), &Types(), &SetInformation()}) {
    driver::FileObject& file = data->file();
    if (driver::Open(file, 0x42) != 0) return "open failed: " + std::string(tavero::ErrorText());
    for (const KeyDeclaration& key : data->declaration().keys) {
      out += std::string(key.name) + ":";
      driver::SetKeyOrder(file, data->key(key.name));
      while (driver::Next(file) == 0) {
        out.append(data->record().begin(), data->record().end());
        for (std::size_t m = 0; m < data->declaration().memos.size(); ++m) {
          out.append(data->memo(m).begin(), data->memo(m).end());
        }
      }
    }
    driver::Close(file);
  }
  return out;
}

TEST_F(CollectionFiles, AnotherProcessReadsWhatWasWritten) {
  for (DataFile* data : all()) open_or_create(*data);
  fill();
  for (DataFile* data : all()) ASSERT_EQ(driver::Close(data->file()), 0);
  const std::string here = digest();
  ASSERT_GT(here.size(), 1000u) << here;

  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipe_ends[0]);
    const std::string there = digest();
    std::size_t written = 0;
    while (written < there.size()) {
      const ssize_t n = write(pipe_ends[1], there.data() + written, there.size() - written);
      if (n <= 0) _exit(2);
      written += static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(pipe_ends[1]);
  std::string there;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) there.append(buffer, static_cast<std::size_t>(n));
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(there, here);
}

TEST_F(CollectionFiles, ChangedDeclarationIsRefused) {
  open_or_create(Types());
  ASSERT_EQ(driver::Close(Types().file()), 0);
  // The same file read with the MANUFACTURER declaration (same record
  // length, same field) opens; one whose key differs does not.
  FieldDeclaration fields[] = {{"X:NAME", tavero::driver::FieldType::FIXSTR, 0, 20, 0, ""}};
  KeyDeclaration keys[] = {{"X:KEY", 0x07, {1, 0, 0}}};
  FileDeclaration other{"TYPES", "X", 20, 0x1C, fields, keys, {}};
  DataFile data(other, *Types().file().entry);
  EXPECT_EQ(driver::Open(data.file(), 0x42), 47);
  keys[0].attributes = 0x16;
  DataFile renamed(other, *Types().file().entry);
  EXPECT_EQ(driver::Open(renamed.file(), 0x42), 0);
  driver::Close(renamed.file());
}

}  // namespace
}  // namespace zephcol

namespace zephcol {
namespace {

TEST(DataFilesPerThread, EachThreadHasItsOwnInstanceOfEachFile) {
  const auto buffers = [] {
    return std::array<const std::uint8_t*, 5>{Cardset().record().data(), Manufacturer().record().data(),
                                              Types().record().data(), SetInformation().record().data(),
                                              SetInformation().memo(0).data()};
  };
  EXPECT_EQ(&Cardset(), &ThreadDataFiles().cardset());
  EXPECT_EQ(buffers(), buffers());
  std::array<const std::uint8_t*, 5> there{};
  std::thread other([&] { there = buffers(); });  // gone with the thread afterwards: compared only
  other.join();
  const std::array<const std::uint8_t*, 5> mine = buffers();
  for (std::size_t i = 0; i < mine.size(); ++i) EXPECT_NE(mine[i], there[i]) << i;
}

}  // namespace
}  // namespace zephcol
