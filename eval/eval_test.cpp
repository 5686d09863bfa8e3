#include "eval/eval.h"
#include "eval/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/error_codes.h"
#include "runtime/error_state.h"

namespace tavero::eval {
namespace {

TEST(EvaluateTest, ArithmeticComparisonAndLogic) {
  const Case cases[] = {
      // arithmetic is always real
      {"1 + 2", "3"}, {"2 + 3 * 4", "14"}, {"(2 + 3) * 4", "20"}, {"2 ^ 10", "1024"},
      {"7 % 3", "1"}, {"-7 % 3", "-1"}, {"-2 ^ 2", "4"}, {"2 - 3 - 4", "-5"},
      {"+-+-3", "3"}, {"--3", "3"}, {"1 / 4", "0.25"},
      // literals
      {"1.5e2", "150"}, {".5", "0.5"}, {"1.5E-1", "0.15"}, {"2147483647", "2147483647"},
      {"'ab''c'", "'ab'c'"}, {"''", "''"},
      // comparisons: integers, strings by collation, mixed as tolerant reals
      {"'a' < 'b' AND 1 = 1.0", "1"}, {"0.1 + 0.2 = 0.3", "1"}, {"0.1 + 0.2 > 0.3", "0"},
      {"1 = 1.0000001", "0"}, {"'abc' = 'abc   '", "1"}, {"'abd' > 'abc'", "1"},
      {"3 > 2 > 0", "1"}, {"1 <> 2", "1"}, {"1 ~= 2", "1"}, {"1 NOT = 2", "1"},
      {"1 ~= 1", "0"}, {"2 =< 3", "1"}, {"2 <= 2", "1"}, {"3 => 3", "1"}, {"3 >= 4", "0"},
      {"'10' = 10", "1"}, {"'a' & 'b' = 'ab'", "1"},
      // logic, left to right on one level, no short cut
      {"NOT NOT 1", "1"}, {"NOT 1", "0"}, {"~ 0", "1"}, {"NOT 'x'", "0"}, {"NOT '   '", "1"},
      {"1 OR 0 XOR 1", "0"}, {"1 XOR 1", "0"}, {"1 XOR 0", "1"}, {"1 AND 0 OR 1", "1"},
      {"0.5 AND 1", "1"}, {"'a' AND 0", "0"}, {"not 0 and 1", "1"},
      // concatenation gives strings
      {"'ab' & 'cd'", "'abcd'"}, {"1 & 2", "'12'"}, {"0.5 & ''", "'0.5'"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.shown) << c.text;
}

TEST(EvaluateTest, RealAskedAsLongTruncatesTowardZero) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {{"5 / 2", 2}, {"-5 / 2", -2}, {"7.9", 7}, {"-7.9", -7}, {"1.0e300 * 1.0e300", 0}};
  for (const auto& c : cases) {
    CompileResult r = Compile(c.text);
    ASSERT_TRUE(r.expression) << c.text;
    if (std::strcmp(c.text, "1.0e300 * 1.0e300") == 0) {
      // out of range: the integer-indefinite value, never undefined behaviour
      EXPECT_EQ(r.expression->Long(), std::numeric_limits<std::int32_t>::min());
    } else {
      EXPECT_EQ(r.expression->Long(), c.value) << c.text;
    }
  }
}

TEST(EvaluateTest, SyntaxErrorsPost800AndLeaveNoTree) {
  const char* bad[] = {
      "", "1 +", "(1", "1)", "'abc", "1 2", "#", "AND", "1 + * 2", "1 AND", "UPPER(",
      "UPPER('a',)", "UPPER('a','b')", "SUB('a')", "TODAY", "UPPER 'a'", "99999999999",
      "1.0e999", "1 ,", "1 :", "[1]", "()", "1 = = 2", "NOT", "@", "1 $", "\x01",
  };
  for (const char* text : bad) {
    ClearError();
    EXPECT_FALSE(Evaluate(text)) << text;
    EXPECT_EQ(ErrorCode(), error_code::kInvalidExpressionForEvaluate) << text;
    CompileResult r = Compile(text);
    EXPECT_FALSE(r.expression) << text;
    EXPECT_EQ(r.error, error_code::kInvalidExpressionForEvaluate) << text;
  }
}

TEST(EvaluateTest, HostileTextGivesAnErrorNotACrash) {
  const std::size_t n = 200000;
  EXPECT_FALSE(Evaluate(std::string(n, '(') + "1" + std::string(n, ')')));
  std::string chain = "1";
  for (std::size_t i = 0; i < n; ++i) chain += "+1";
  EXPECT_FALSE(Evaluate(chain));
  EXPECT_FALSE(Evaluate(std::string(n, 'U') + "(1)"));  // an unbound name
  std::string calls;
  for (std::size_t i = 0; i < n; ++i) calls += "UPPER(";
  EXPECT_FALSE(Evaluate(calls + "'a'"));
  EXPECT_FALSE(Evaluate(std::string(n, '9')));
  EXPECT_FALSE(Evaluate("1." + std::string(n, '9') + "e99999"));
  // Unary and NOT runs fold into one node and are fine at any length.
  EXPECT_EQ(Show(std::string(n, '-') + "3"), "3");
  EXPECT_EQ(Show(std::string(n + 1, '~') + " 0"), "1");
  // A tree of moderate height still compiles.
  std::string moderate = "1";
  for (int i = 0; i < 200; ++i) moderate += "+1";
  EXPECT_EQ(Show(moderate), "201");
}

class BindTest : public ::testing::Test {
 protected:
  void TearDown() override { ReleaseBindings(); }

  template <typename T>
  static Variable Of(const T& v, std::uint8_t type, std::uint8_t places = 0) {
    return Variable{reinterpret_cast<const std::uint8_t*>(&v), type, sizeof(T), places, {}};
  }
};

TEST_F(BindTest, TwoBoundLongsCompileIntoOneComparison) {
  std::int32_t set_no = 7, card_set_no = 7;
  Bind("SET:SET_NO", Of(set_no, 6));
  Bind("CAR:SET_NO", Of(card_set_no, 6));
  CompileResult r = Compile("SET:SET_No = CAR:SET_No");
  ASSERT_TRUE(r.expression);
  const Node& root = r.expression->root();
  EXPECT_EQ(root.kind(), NodeKind::Operator);
  EXPECT_EQ(root.code(), kEqual);
  ASSERT_EQ(root.Operands().size(), 2u);
  for (const auto& operand : root.Operands()) {
    EXPECT_EQ(operand->kind(), NodeKind::Variable);
    EXPECT_EQ(operand->value_class(), ValueClass::Long);
  }
  EXPECT_EQ(root.Operands()[0]->BoundVariable()->address,
            reinterpret_cast<const std::uint8_t*>(&set_no));
  EXPECT_TRUE(r.expression->Truth());
  card_set_no = 8;  // the tree reads the variables each time
  EXPECT_FALSE(r.expression->Truth());
}

TEST_F(BindTest, UnboundNamePosts801AndLeavesNoTree) {
  ClearError();
  CompileResult r = Compile("1 + NOSUCH:FIELD");
  EXPECT_FALSE(r.expression);
  EXPECT_EQ(r.error, error_code::kNoBindOnVariable);
  EXPECT_EQ(ErrorCode(), error_code::kNoBindOnVariable);
  // EVALUATE keeps 801 rather than covering it with 800.
  EXPECT_FALSE(Evaluate("NOSUCH = 1"));
  EXPECT_EQ(ErrorCode(), error_code::kNoBindOnVariable);
  // The first fault from the left decides.
  EXPECT_FALSE(Evaluate("1 1 NOSUCH"));
  EXPECT_EQ(ErrorCode(), error_code::kInvalidExpressionForEvaluate);
  EXPECT_FALSE(Evaluate("NOSUCH 'unterminated"));
  EXPECT_EQ(ErrorCode(), error_code::kNoBindOnVariable);
}

TEST_F(BindTest, NamesMatchRegardlessOfCaseAndRebindReplaces) {
  std::int16_t a = 3, b = 4;
  Bind("Car:Qty", Of(a, 2));
  EXPECT_EQ(Show("CAR:QTY + car:qty"), "6");
  Bind("CAR:QTY", Of(b, 2));
  EXPECT_EQ(Show("Car:Qty"), "4");
  // A name cut at 100 characters is found by its first 100.
  std::string long_name(150, 'X');
  Bind(long_name, Of(a, 2));
  EXPECT_EQ(Show(long_name.substr(0, 100)), "3");
  // Released bindings are gone; the built-in names come back.
  ReleaseBindings();
  EXPECT_EQ(Show("CAR:QTY"), "error 801");
  EXPECT_EQ(Show("UPPER('a')"), "'A'");
}

TEST_F(BindTest, TreesOutliveReleasedBindings) {
  std::int32_t v = 41;
  Bind("V", Of(v, 6));
  CompileResult r = Compile("V + 1");
  ASSERT_TRUE(r.expression);
  ReleaseBindings();
  EXPECT_EQ(r.expression->Long(), 42);
}

TEST_F(BindTest, FieldTypesReadAsTheirClass) {
  const std::uint8_t u8 = 200;
  const std::int16_t i16 = -300;
  const std::uint16_t u16 = 60000;
  const std::uint32_t u32 = 4000000000u;
  const float f32 = 1.5f;
  const double f64 = -2.25;
  const unsigned char packed[4] = {0x00, 0x01, 0x23, 0x45};      // 123.45 with 2 places
  const unsigned char packed_neg[4] = {0xF0, 0x00, 0x12, 0x35};  // -12.35
  const unsigned char packed2[3] = {0x12, 0x34, 0x5D};           // -123.45 with 2 places
  const unsigned char mbf[4] = {0x00, 0x00, 0x40, 0x82};         // 3.0 in the old binary form
  const char fixstr[8] = {'A', 'B', 'C', ' ', ' ', ' ', ' ', ' '};
  const char zstr[8] = {'h', 'i', '\0', 'x', 'x', 'x', 'x', 'x'};
  const char lenstr[6] = {3, 'a', 'b', 'c', 'z', 'z'};
  const char lenstr_bad[4] = {100, 'a', 'b', 'c'};  // a length past the field is cut

  Bind("U8", Of(u8, 1));
  Bind("I16", Of(i16, 2));
  Bind("U16", Of(u16, 3));
  Bind("U32", Of(u32, 7));
  Bind("F32", Of(f32, 8));
  Bind("F64", Of(f64, 9));
  Bind("P", Of(packed, 10, 2));
  Bind("PN", Of(packed_neg, 10, 2));
  Bind("P2", Of(packed2, 11, 2));
  Bind("MBF", Of(mbf, 13));
  Bind("FS", Of(fixstr, 18));
  Bind("ZS", Of(zstr, 19));
  Bind("LS", Of(lenstr, 20));
  Bind("LSBAD", Of(lenstr_bad, 20));

  const Case cases[] = {
      {"U8", "200"}, {"I16", "-300"}, {"U16", "60000"}, {"U32", "4000000000"}, {"F32", "1.5"},
      {"F64", "-2.25"}, {"P", "123.45"}, {"PN", "-12.35"}, {"P2", "-123.45"}, {"MBF", "3"},
      {"FS", "'ABC     '"}, {"ZS", "'hi'"}, {"LS", "'abc'"}, {"LSBAD", "'abc'"},
      {"FS = 'ABC'", "1"}, {"P = 123.45", "1"}, {"I16 < 0", "1"}, {"FS & ZS", "'ABC     hi'"},
      {"FS[2]", "'B'"}, {"FS[2:3]", "'BC'"}, {"FS[3:99]", "'C     '"}, {"FS[9]", "''"},
      {"FS[0:2]", "''"}, {"U16[1:2]", "'60'"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.shown) << c.text;
}

TEST_F(BindTest, ArraysTakeOneSubscriptPerDimension) {
  const std::int32_t grid[2][3] = {{1, 2, 3}, {4, 5, 6}};
  Variable v{reinterpret_cast<const std::uint8_t*>(grid), 6, sizeof grid, 0, {2, 3}};
  Bind("G", v);
  const Case cases[] = {
      {"G[1,1]", "1"}, {"G[2,3]", "6"}, {"G[1+1, 2]", "5"}, {"G[3,1]", "0"}, {"G[0,1]", "0"},
      {"G[2,3,1]", "'6'"}, {"G[2]", "error 800"}, {"G[1,2,3,4]", "error 800"}, {"G", "1"},
      {"G[]", "error 800"}, {"G[1,1", "error 800"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(c.text), c.shown) << c.text;
}

TEST_F(BindTest, ProceduresGetTheirArgumentsEvaluatedLastFirst) {
  std::vector<std::string> order;
  BindProcedure("TRACE", ValueClass::Long, 1, [&order](std::span<const Value> args) {
    order.push_back(args[0].text);
    return Value::OfLong(static_cast<std::int32_t>(order.size()));
  });
  BindProcedure("JOIN", ValueClass::String, 3, [](std::span<const Value> args) {
    std::string s;
    for (const Value& a : args) s += a.value_class == ValueClass::String ? a.text : "#";
    return Value::OfString(s);
  });
  EXPECT_EQ(Show("JOIN(TRACE('a'), 'b', TRACE('c'))"), "'#b#'");
  EXPECT_EQ(order, (std::vector<std::string>{"c", "a"}));
  EXPECT_EQ(Show("JOIN('x')"), "'x'");
  EXPECT_EQ(Show("JOIN('x','y','z','w')"), "error 800");
}

}  // namespace
}  // namespace tavero::eval

namespace tavero::eval {
namespace {

TEST(BindPerThread, ANameBoundOnOneThreadIsTheThreadsOwn) {
  std::int32_t mine = 1;
  Bind("REC:NUMBER", Variable{reinterpret_cast<const std::uint8_t*>(&mine), 6, 4, 0, {}});
  std::int32_t theirs = 2;
  int unbound_elsewhere = 0;
  std::optional<Value> theirs_seen;
  std::thread other([&] {
    unbound_elsewhere = Compile("REC:NUMBER").error;
    Bind("REC:NUMBER", Variable{reinterpret_cast<const std::uint8_t*>(&theirs), 6, 4, 0, {}});
    theirs_seen = Evaluate("REC:NUMBER");
    ReleaseBindings();
  });
  other.join();
  EXPECT_EQ(unbound_elsewhere, error_code::kNoBindOnVariable);
  ASSERT_TRUE(theirs_seen);
  EXPECT_EQ(theirs_seen->long_value, 2);
  const std::optional<Value> mine_seen = Evaluate("REC:NUMBER");
  ASSERT_TRUE(mine_seen);
  EXPECT_EQ(mine_seen->long_value, 1);
  ReleaseBindings();
}

}  // namespace
}  // namespace tavero::eval
