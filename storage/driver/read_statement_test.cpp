#include "storage/driver/read_statement.h"

#include <gtest/gtest.h>

#include <thread>

namespace tavero::driver {
namespace {

TEST(ReadStatement, ReleasesRunOnceWhenTheOutermostStatementEnds) {
  int released = 0;
  EXPECT_FALSE(InReadStatement());
  {
    ReadStatement page;
    {
      ReadStatement row;
      EXPECT_TRUE(InReadStatement());
      AtEndOfReadStatement([&] { ++released; });
    }
    // The row's end is not the page's.
    EXPECT_EQ(released, 0);
    EXPECT_TRUE(InReadStatement());
    AtEndOfReadStatement([&] { ++released; });
  }
  EXPECT_EQ(released, 2);
  EXPECT_FALSE(InReadStatement());
  // Nothing kept without a statement: the release runs at once.
  AtEndOfReadStatement([&] { ++released; });
  EXPECT_EQ(released, 3);
  // The next statement starts with nothing to release.
  { ReadStatement next; }
  EXPECT_EQ(released, 3);
}

TEST(ReadStatement, IsKeptPerThread) {
  ReadStatement page;
  bool other_thread_in_statement = true;
  std::thread([&] { other_thread_in_statement = InReadStatement(); }).join();
  EXPECT_FALSE(other_thread_in_statement);
  EXPECT_TRUE(InReadStatement());
}

}  // namespace
}  // namespace tavero::driver
