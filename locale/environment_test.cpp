#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "locale/fresh_locale_test.h"
#include "locale/locale.h"

namespace tavero {
namespace {

using namespace std::string_literals;

class EnvironmentTest : public FreshLocaleTest {
 protected:
  void SetUp() override {
    FreshLocaleTest::SetUp();
    directory_ = std::filesystem::temp_directory_path() /
                 ("tavero_env_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override {
    FreshLocaleTest::TearDown();
    std::filesystem::remove_all(directory_);
  }
  std::string Write(const std::string& name, const std::string& content) {
    const std::filesystem::path path = directory_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  std::filesystem::path directory_;
};

TEST_F(EnvironmentTest, AppliesEachSettingLine) {
  const std::string path = Write("ZEPHCOL.ENV",
                                 "TAVMONTH=Januar,Februar\r\n"
                                 "\r\n\r\n"
                                 "TAV MSG 35 = Karte fehlt \t \r\n"   // blanks in a name are ignored
                                 "just a comment line\n"
                                 "TAVAMPM=vm,nm\n");
  EXPECT_EQ(LoadEnvironmentFile(path), 0);
  EXPECT_EQ(tables().long_month_names[1], "Februar");
  EXPECT_EQ(*MessageOverride(35), " Karte fehlt");  // trailing blanks and tabs removed
  EXPECT_EQ(tables().am_pm[1], "nm");
}

TEST_F(EnvironmentTest, MissingFileReportsFileNotFoundAndChangesNothing) {
  EXPECT_EQ(LoadEnvironmentFile((directory_ / "NONE.ENV").string()), 2);
  EXPECT_EQ(LoadEnvironmentFile("bad\0name"s), 2);
  EXPECT_EQ(LoadEnvironmentFile(""), 0);  // an empty name applies nothing
  EXPECT_EQ(tables().long_month_names, LocaleTables::Defaults().long_month_names);
}

TEST_F(EnvironmentTest, OnlyRegularFilesAreRead) {
  // A FIFO named like the environment file must not hang the start.
  const std::string fifo = (directory_ / "FIFO.ENV").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(LoadEnvironmentFile(fifo), 2);
  EXPECT_EQ(LoadEnvironmentFile(directory_.string()), 2);  // a directory
  EXPECT_EQ(tables().long_month_names, LocaleTables::Defaults().long_month_names);
}

TEST_F(EnvironmentTest, CharacterSetFlagLastsForItsFileOnly) {
  const std::string path = Write("OEM.ENV",
                                 "TAVCHARSET=OEM\n"
                                 "TAVMONTH=F\x82vrier\n");
  EXPECT_EQ(LoadEnvironmentFile(path), 0);
  EXPECT_EQ(tables().long_month_names[0], "F\xE9vrier");
  EXPECT_EQ(tables().environment_charset, CharacterSet::Ansi);
}

TEST_F(EnvironmentTest, WindowsAppliesThePlatformCaseOrderAndAmPm) {
  MutableLocale().locale_am_pm = {"x", "y"};
  EXPECT_EQ(LoadEnvironmentFile("windows"), 0);
  EXPECT_EQ(ToUpper('\xE9'), '\xC9');
  EXPECT_EQ(tables().am_pm[0], "x");
  EXPECT_NE(tables().collation_ansi, LocaleTables::Defaults().collation_ansi);
}

// Damaged files: applied as far as they are valid, nothing read past the data.
TEST_F(EnvironmentTest, OverLongNamesAndValuesAreCut) {
  const std::string long_value(1000, 'v');
  ApplyEnvironmentText("TAVMSG1" + std::string(40, '0') + "7=too long a name\n" +
                       "TAVMSG12=" + long_value + "\n" +
                       "TAVMSG13=after\n");
  // The first name is cut to "TAVMSG1" and 24 zeros, a number beyond any
  // message: ignored.
  EXPECT_EQ(tables().message_overrides.size(), 2u);
  EXPECT_EQ(MessageOverride(12)->size(), 255u);
  EXPECT_EQ(*MessageOverride(13), "after");
}

TEST_F(EnvironmentTest, NameIsCutAfter31Characters) {
  ApplyEnvironmentText("TAVMSG" + std::string(23, '0') + "42IGNORED=cut\n");
  // The first 31 characters are TAVMSG and 25 digits: message 42.
  ASSERT_TRUE(MessageOverride(42).has_value());
  EXPECT_EQ(*MessageOverride(42), "cut");
}

TEST_F(EnvironmentTest, LinesWithoutEqualsOrWithControlCharactersAreSkipped) {
  ApplyEnvironmentText("TAVMSG1 no equals sign\n"
                       "TAVMSG2\t=tab ends the name\n"
                       "TAVMSG3\x01=control\n"
                       "=no name\n"
                       "TAVMSG4=kept\n");
  EXPECT_FALSE(MessageOverride(1).has_value());
  EXPECT_FALSE(MessageOverride(2).has_value());
  EXPECT_FALSE(MessageOverride(3).has_value());
  EXPECT_EQ(*MessageOverride(4), "kept");
}

TEST_F(EnvironmentTest, CtrlZOrEndOfDataEndsTheFile) {
  ApplyEnvironmentText("TAVMSG1=one\nTAVMSG2=two\x1A" "TAVMSG3=three\n");
  EXPECT_EQ(*MessageOverride(2), "two");
  EXPECT_FALSE(MessageOverride(3).has_value());
  ApplyEnvironmentText("TAVMSG5=no final line end");
  EXPECT_EQ(*MessageOverride(5), "no final line end");
  ApplyEnvironmentText("TAVMSG6");  // a name cut off by the end
  EXPECT_FALSE(MessageOverride(6).has_value());
}

TEST_F(EnvironmentTest, BinaryJunkAndBlockBoundariesAreHarmless) {
  std::string junk;
  for (int k = 0; k < 5000; ++k) junk += static_cast<char>((k * 37 + 11) % 256);
  // A setting that straddles the 2048-byte block boundary still applies.
  std::string text(2040, '\n');
  text += "TAVMSG7=across the block\n" + junk + "\nTAVMSG8=after junk\n";
  const std::string path = Write("JUNK.ENV", text);
  EXPECT_EQ(LoadEnvironmentFile(path), 0);
  EXPECT_EQ(*MessageOverride(7), "across the block");
  // The junk holds a Ctrl-Z, which ends the file before the last line.
  EXPECT_FALSE(MessageOverride(8).has_value());
  ApplyEnvironmentText(std::string("TAVMSG9=nul\0inside\n", 19));
  EXPECT_EQ(*MessageOverride(9), std::string("nul\0inside", 10));
}

TEST_F(EnvironmentTest, EnvironmentFileSitsBesideTheProgram) {
  EXPECT_EQ(EnvironmentFilePath("/opt/zephcol/zephcol"), "/opt/zephcol/zephcol.ENV");
  EXPECT_EQ(EnvironmentFilePath("/opt/zephcol/ZEPHCOL.EXE"), "/opt/zephcol/ZEPHCOL.ENV");
  EXPECT_EQ(EnvironmentFilePath("/opt/v1.2/zephcol"), "/opt/v1.2/zephcol.ENV");
  EXPECT_EQ(EnvironmentFilePath("/home/.zephcol"), "/home/.zephcol.ENV");
}

TEST_F(EnvironmentTest, LoadLocaleRunsOnceAndReadsTheProgramsFile) {
  Write("zephcol.env", "TAVMSG35=from the lower-case file\n");
  IntlSettings intl;
  intl.short_date = "dd.MM.yyyy";
  intl.am_text = "vm";
  MutableLocale().collation_ansi['a'] = 'z';
  EXPECT_EQ(LoadLocale(intl, (directory_ / "zephcol").string()), 0);
  EXPECT_EQ(*MessageOverride(35), "from the lower-case file");
  EXPECT_EQ(tables().locale_am_pm[0], "vm");
  EXPECT_EQ(tables().short_date.width, 10);
  EXPECT_EQ(tables().collation_oem['a'], 'z');  // the ANSI table copied

  // A second run does nothing.
  intl.am_text = "xx";
  EXPECT_EQ(LoadLocale(intl, (directory_ / "zephcol").string()), 0);
  EXPECT_EQ(tables().locale_am_pm[0], "vm");

  // After a reset it runs again; without a file it reports 2.
  ResetLocale();
  EXPECT_EQ(LoadLocale(intl, (directory_ / "other").string()), 2);
  EXPECT_EQ(tables().locale_am_pm[0], "xx");
}

TEST_F(EnvironmentTest, LoadLocaleReadsThePlatformOnce) {
  // The test program has no environment file beside it.
  EXPECT_EQ(LoadLocale(), 2);
  MutableLocale().am_pm[0] = "zz";
  EXPECT_EQ(LoadLocale(), 0);
  EXPECT_EQ(tables().am_pm[0], "zz");
}

}  // namespace
}  // namespace tavero
