#include "app/index_filters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/dictionary/dictionary.h"
#include "eval/eval.h"
#include "runtime/error_state.h"
#include "storage/vmr/check_testing.h"

namespace zephcol {
namespace {

namespace driver = tavero::driver;
using driver::FieldType;

constexpr FieldDeclaration kFields[] = {
    {"T:ID", FieldType::INT32, 0, 4, 0, ""},
    {"T:NAME", FieldType::FIXSTR, 4, 10, 0, ""},
};
constexpr KeyDeclaration kKeys[] = {
    {"T:BY_ID", 0, {1, 0, 0}},
    {"T:PICKED", 0x4001, {0, 0, 0}},  // a dynamic index
};
const FileDeclaration kFiltered{"FILTERED", "T", 14, 0x1c, kFields, kKeys, {}};

TEST(IndexFilters, BuildWithAFilterKeepsOnlyWhatTheExpressionAccepts) {
  const auto previous = std::filesystem::current_path();
  std::string pattern = (std::filesystem::temp_directory_path() / "zephcol-filter-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  std::filesystem::current_path(pattern);
  InstallIndexFilters(tavero::vmr::Driver());
  {
    DataFile data(kFiltered, tavero::vmr::Driver());
    driver::FileObject& file = data.file();
    ASSERT_EQ(driver::Create(file), 0) << tavero::ErrorText();
    ASSERT_EQ(driver::Open(file, 0x42), 0) << tavero::ErrorText();
    for (int id = 1; id <= 5; ++id) {
      data.clear();
      data.set_number("T:ID", id);
      data.set_text("T:NAME", id % 2 ? "odd" : "even");
      ASSERT_EQ(driver::Add(file), 0) << tavero::ErrorText();
    }
    ASSERT_TRUE(tavero::eval::BindGroup(file.record_layout, file.record));
    data.set_number("T:ID", 42);  // the buffer the program holds

    ASSERT_EQ(driver::Build(file, data.key("T:PICKED"), "T:ID", "T:ID > 2 AND T:NAME = 'odd'"), 0)
        << tavero::ErrorText();
    EXPECT_EQ(driver::Records(file, data.key("T:PICKED")), 2);  // 3 and 5
    EXPECT_EQ(data.number("T:ID"), 42);                          // given back as it was

    // A filter that does not compile keeps nothing.
    ASSERT_EQ(driver::Build(file, data.key("T:PICKED"), "T:ID", "T:ID >"), 0);
    EXPECT_EQ(driver::Records(file, data.key("T:PICKED")), 0);
    tavero::eval::ReleaseBindings();
    driver::Close(file);
  }
  std::filesystem::current_path(previous);
  EXPECT_TRUE(tavero::vmr::testing_support::VmrFilesAreSound(pattern));
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace zephcol
