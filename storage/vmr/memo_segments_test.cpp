#include "storage/vmr/memo_segments.h"

#include <gtest/gtest.h>

namespace tavero::vmr {
namespace {

TEST(MemoSegments, MemoCutsAtTheLastNonBlank) {
  EXPECT_TRUE(memo_segments(std::string(500, ' ')).empty());
  const std::string memo = std::string(300, 'x') + std::string(200, ' ');
  const auto segments = memo_segments(memo);
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_EQ(segments[0].size(), 256u);
  EXPECT_EQ(segments[1].size(), 44u);
  EXPECT_EQ(join_memo_segments(segments, 500), memo);
}

TEST(MemoSegments, BlobCarriesItsLengthInTheFirstSegment) {
  EXPECT_TRUE(blob_segments("").empty());
  const std::string blob(256, '\x01');
  auto segments = blob_segments(blob);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].size(), 260u);
  EXPECT_EQ(segments[0].substr(0, 4), std::string("\x00\x01\x00\x00", 4));
  segments = blob_segments(blob + "z");
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_EQ(segments[1], "z");
  std::string joined;
  ASSERT_TRUE(join_blob_segments(segments, joined));
  EXPECT_EQ(joined, blob + "z");
}

TEST(MemoSegments, DamagedSegmentsAreReadOnlyAsFarAsTheyGo) {
  std::string joined;
  EXPECT_FALSE(join_blob_segments(std::vector<std::string>{"ab"}, joined));
  // A length larger than the content present is not believed.
  ASSERT_TRUE(join_blob_segments(std::vector<std::string>{std::string("\xFF\xFF\xFF\x7F", 4) + "abc"}, joined));
  EXPECT_EQ(joined, "abc");
  // More memo content than the buffer holds is dropped.
  EXPECT_EQ(join_memo_segments(std::vector<std::string>{"abcdef"}, 3), "abc");
}

}  // namespace
}  // namespace tavero::vmr
