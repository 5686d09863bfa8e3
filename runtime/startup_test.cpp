#include "runtime/startup.h"

#include <gtest/gtest.h>

#include <string>

namespace tavero {
namespace {

TEST(Startup, InitialisersRunOnceByRisingPriority) {
  std::string order;
  RegisterModuleInitialiser(10, [&] { order += "b"; });
  RegisterModuleInitialiser(0, [&] { order += "a"; });
  RegisterModuleInitialiser(10, [&] { order += "c"; });
  RegisterModuleInitialiser(255, [&] { order += "d"; });
  RunModuleInitialisers();
  EXPECT_EQ(order, "abcd");
  RunModuleInitialisers();
  EXPECT_EQ(order, "abcd");
}

}  // namespace
}  // namespace tavero
