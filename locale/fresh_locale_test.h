// A test fixture that starts and ends every test with the default tables.
#pragma once

#include <gtest/gtest.h>

#include "locale/locale.h"

namespace tavero {

class FreshLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLocale(); }
  void TearDown() override { ResetLocale(); }
  const LocaleTables& tables() { return Locale(); }
};

}  // namespace tavero
