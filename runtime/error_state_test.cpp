#include "runtime/error_state.h"

#include <gtest/gtest.h>

#include "runtime/system_error.h"

namespace tavero {
namespace {

class ErrorStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearError();
    SetLastSystemError(0);
  }
};

TEST_F(ErrorStateTest, PostSetsCodeTextAndSystemError) {
  SetLastSystemError(5);
  SetErrorFile(this);
  PostError(37);
  EXPECT_EQ(ErrorCode(), 37);
  EXPECT_EQ(ErrorText(), "File Not Open");
  EXPECT_EQ(ErrorOsCode(), 5);
  EXPECT_EQ(ErrorFile(), nullptr);
}

TEST_F(ErrorStateTest, CodeZeroPostsTheSystemError) {
  SetLastSystemError(33);
  PostError(0);
  EXPECT_EQ(ErrorCode(), 333);
  EXPECT_EQ(ErrorText(), "Lock Violation");
  PostError(0, 2);
  EXPECT_EQ(ErrorCode(), 302);
  EXPECT_EQ(ErrorOsCode(), 2);
}

TEST_F(ErrorStateTest, UnknownCodeGetsTheTextOf81) {
  PostError(99);
  EXPECT_EQ(ErrorCode(), 99);
  EXPECT_EQ(ErrorText(), "Unknown Error Posted : 99");
}

TEST_F(ErrorStateTest, TrailingBlankIsKept) {
  PostError(78);
  EXPECT_EQ(ErrorText(), "Invalid Number Of Parameters ");
}

TEST_F(ErrorStateTest, ClearKeepsTheSystemCode) {
  PostError(2, 2);
  SetErrorFile(this);
  ClearError();
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(ErrorText(), "");
  EXPECT_EQ(ErrorFile(), nullptr);
  EXPECT_EQ(ErrorOsCode(), 2);
}

TEST_F(ErrorStateTest, SavedStatesRestoreExactlyInStackOrder) {
  PostError(35, 0);
  PushErrorState();
  PostError(0, 32);
  PushErrorState();
  PostError(80, 7);
  PopErrorState();
  EXPECT_EQ(ErrorCode(), 332);
  EXPECT_EQ(ErrorText(), "Sharing Violation");
  EXPECT_EQ(ErrorOsCode(), 32);
  PopErrorState();
  EXPECT_EQ(ErrorCode(), 35);
  EXPECT_EQ(ErrorText(), "Record Not Found");
  EXPECT_EQ(ErrorOsCode(), 0);
  PopErrorState();  // empty: nothing changes
  EXPECT_EQ(ErrorCode(), 35);
}

TEST_F(ErrorStateTest, EngineCanSwapTheStateWholesale) {
  PostError(40);
  const ErrorState saved = CurrentErrorState();
  PostError(2);
  CurrentErrorState() = saved;
  EXPECT_EQ(ErrorCode(), 40);
  EXPECT_EQ(ErrorText(), "Creates Duplicate Key");
}

}  // namespace
}  // namespace tavero
