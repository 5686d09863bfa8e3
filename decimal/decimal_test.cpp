#include "decimal/decimal.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavero::decimal {
namespace {

DecimalAccumulator D(std::string_view text) { return DecimalAccumulator::FromText(text); }

struct BinaryCase {
  const char* a;
  const char* b;
  const char* expected;
};

TEST(DecimalArithmetic, AddAndSubtractAlignAndComplement) {
  const std::vector<BinaryCase> adds = {
      {"1", "2", "3"},
      {"0.5", "0.5", "1"},
      {"999.99", "0.01", "1000"},
      {"1", "-3", "-2"},
      {"-1.25", "1.25", "0"},
      {"-5", "-0.005", "-5.005"},
      {"100", "-0.01", "99.99"},
      {"0.00000000000000000000000000000001", "1", "1.00000000000000000000000000000001"},
  };
  for (const auto& c : adds) EXPECT_EQ(Add(D(c.a), D(c.b)).ToText(), c.expected) << c.a << " + " << c.b;
  EXPECT_EQ(Subtract(D("1"), D("3")).ToText(), "-2");
  EXPECT_EQ(Subtract(D("-1"), D("-3")).ToText(), "2");
  EXPECT_EQ(Subtract(D("12.5"), D("12.5")).ToText(), "0");
  // A zero result is positive.
  EXPECT_EQ(Subtract(D("-2"), D("-2")).negative, 0);
}

TEST(DecimalArithmetic, MultiplyTruncatesBelowTheWindow) {
  const std::vector<BinaryCase> cases = {
      {"12.5", "4", "50"},
      {"-1.5", "1.5", "-2.25"},
      {"-2", "-3", "6"},
      {"0", "-3", "0"},
      {"99999.99", "99999.99", "9999998000.0001"},
      {"0.00000000000000001", "0.00000000000000001", "0"},
      // 0.3 x 10^-31 = 3 x 10^-32 survives; 0.03 x 10^-31 is truncated.
      {"0.3", "0.0000000000000000000000000000001", "0.00000000000000000000000000000003"},
      {"0.07", "0.0000000000000000000000000000001", "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Multiply(D(c.a), D(c.b)).ToText(), c.expected) << c.a << " * " << c.b;
}

TEST(DecimalArithmetic, DivideRoundsTo31Places) {
  const std::vector<BinaryCase> cases = {
      {"1", "3", "0.3333333333333333333333333333333"},
      {"2", "3", "0.6666666666666666666666666666667"},
      {"-2", "3", "-0.6666666666666666666666666666667"},
      {"10", "0", "0"},
      {"0", "7", "0"},
      {"123.45", "100", "1.2345"},
      {"1", "0.001", "1000"},
      {"7", "-0.5", "-14"},
      {"12345.67", "1.07", "11538.0093457943925233644859813084112"},
      // Divisors of 10 to 18 digits divide in 128-bit chunks.
      {"1", "123456789012", "0.0000000000081000000729226806565083"},
      {"98765.4321", "-1234567.89012", "-0.0800000007212240064930354856555"},
      // A divisor longer than 18 digits takes the digit-by-digit path.
      {"1", "1234567890123456789012", "0.0000000000000000000008100000073"},
      {"2469135780246913578024", "1234567890123456789012", "2"},
  };
  for (const auto& c : cases) {
    const DecimalAccumulator q = Divide(D(c.a), D(c.b));
    std::string want = c.expected;
    // The long expectations above are written to more places than the
    // quotient keeps; compare the rounded form.
    DecimalAccumulator w = D(want);
    w.RoundToPlaces(31);
    EXPECT_EQ(q.ToText(), w.ToText()) << c.a << " / " << c.b;
  }
}

TEST(DecimalArithmetic, CompareOrdersBySignThenMagnitude) {
  EXPECT_EQ(Compare(D("1"), D("2")), -1);
  EXPECT_EQ(Compare(D("2.50"), D("2.5")), 0);
  EXPECT_EQ(Compare(D("-1"), D("0.5")), -1);
  EXPECT_EQ(Compare(D("-1"), D("-2")), 1);
  EXPECT_EQ(Compare(D("-0"), D("0")), 0);
  EXPECT_EQ(Compare(D("100"), D("99.999")), 1);
}

TEST(DecimalText, ParsesAndPrintsExactly) {
  EXPECT_EQ(D("-007.500").ToText(), "-7.5");
  EXPECT_EQ(D(".25").ToText(), "0.25");
  EXPECT_EQ(D("-0").ToText(), "0");
  EXPECT_EQ(D("12abc").ToText(), "12");
  EXPECT_EQ(D("100").ToText(), "100");
  // More than 32 integer digits keep the low 32.
  EXPECT_EQ(D("912345678901234567890123456789012").ToText(), "12345678901234567890123456789012");
  EXPECT_TRUE(DecimalAccumulator::IsNumericText("-1.5"));
  EXPECT_FALSE(DecimalAccumulator::IsNumericText("1.5x"));
  EXPECT_FALSE(DecimalAccumulator::IsNumericText("-"));
  EXPECT_EQ(DecimalAccumulator::FromInt64(-2147483648LL).ToText(), "-2147483648");
}

TEST(DecimalRounding, HalfAwayFromZeroWithCarry) {
  auto rounded = [](const char* text, int places) {
    DecimalAccumulator a = D(text);
    a.RoundToPlaces(places);
    return a.ToText();
  };
  EXPECT_EQ(rounded("12.345", 2), "12.35");
  EXPECT_EQ(rounded("-12.345", 2), "-12.35");
  EXPECT_EQ(rounded("12.344", 2), "12.34");
  EXPECT_EQ(rounded("9.995", 2), "10");
  EXPECT_EQ(rounded("0.004", 2), "0");
  EXPECT_EQ(rounded("0.005", 2), "0.01");
  EXPECT_EQ(rounded("0.0005", 2), "0");
  EXPECT_EQ(rounded("-0.4", 0), "0");
}

std::vector<std::uint8_t> StoreDecimal(const char* text, int size, int places) {
  std::vector<std::uint8_t> field(static_cast<std::size_t>(size));
  WritePacked(PackedForm::kDecimal, D(text), field, places);
  return field;
}

TEST(PackedStorage, DecimalLayoutRoundsAndLosesHighDigits) {
  // DECIMAL(5,2) in 3 bytes: sign nibble, then 5 digits.
  EXPECT_EQ(StoreDecimal("12.345", 3, 2), (std::vector<std::uint8_t>{0x00, 0x12, 0x35}));
  EXPECT_EQ(StoreDecimal("-12.345", 3, 2), (std::vector<std::uint8_t>{0xF0, 0x12, 0x35}));
  // Room for 4 integer digits (4 bytes, 3 places): 123456 stores 3456.
  auto f = StoreDecimal("123456", 4, 3);
  EXPECT_EQ(ReadPacked(PackedForm::kDecimal, f, 3).ToText(), "3456");
  EXPECT_FALSE(FitsDecimalField(D("123456"), 4, 3));
  EXPECT_TRUE(FitsDecimalField(D("3456"), 4, 3));
  EXPECT_TRUE(FitsDecimalField(D("-9999.9994"), 4, 3));
  EXPECT_FALSE(FitsDecimalField(D("9999.9995"), 4, 3));  // rounding adds a digit
  EXPECT_TRUE(TextFitsDecimalField("-0009999.5", 4, 3));
  EXPECT_FALSE(TextFitsDecimalField("123456", 4, 3));
  // 33 integer digits would lose their first one on pushing, and look small.
  EXPECT_FALSE(TextFitsDecimalField("1" + std::string(32, '0'), 16, 0));
  EXPECT_EQ(ReadPacked(PackedForm::kDecimal, StoreDecimal("-1.5", 4, 2), 2).ToText(), "-1.5");
  // Any non-zero sign nibble reads as negative; digit nibbles above 9 read as 9.
  const std::uint8_t odd[] = {0x30, 0x1F};
  EXPECT_EQ(ReadPacked(PackedForm::kDecimal, odd, 0).ToText(), "-19");
}

TEST(PackedStorage, PDecimalSignInLastNibble) {
  std::vector<std::uint8_t> field(3);
  WritePacked(PackedForm::kPDecimal, D("-12.5"), field, 1);
  EXPECT_EQ(field, (std::vector<std::uint8_t>{0x00, 0x12, 0x5D}));
  EXPECT_EQ(ReadPacked(PackedForm::kPDecimal, field, 1).ToText(), "-12.5");
  WritePacked(PackedForm::kPDecimal, D("7"), field, 0);
  EXPECT_EQ(field, (std::vector<std::uint8_t>{0x00, 0x00, 0x7F}));
  const std::uint8_t c_sign[] = {0x12, 0x3C};
  EXPECT_EQ(ReadPacked(PackedForm::kPDecimal, c_sign, 0).ToText(), "123");
}

TEST(DecimalStack, OperandOrderAndStoring) {
  DecimalStack s;
  s.PushText("1");
  s.PushText("3");
  s.Divide();
  std::uint8_t field[3];
  s.PopDecimal(field, 2);
  EXPECT_EQ(ReadPacked(PackedForm::kDecimal, field, 2).ToText(), "0.33");
  s.PushInt32(10);
  s.PushUInt32(4);
  s.Subtract();
  EXPECT_EQ(s.Top().ToText(), "6");
  s.PushInt32(10);
  s.ReverseSubtract();  // 10 - 6
  EXPECT_EQ(s.Top().ToText(), "4");
  s.Negate();
  EXPECT_EQ(s.Top().ToText(), "-4");
  s.Absolute();
  EXPECT_EQ(s.PopInt32(), 4);
  s.PushText("-7.9");
  EXPECT_EQ(s.PopInt32(), -7);
  s.PushInt32(2);
  s.PushInt32(3);
  EXPECT_EQ(s.Compare(), -1);
  EXPECT_EQ(s.depth(), 0);
  s.PushInt32(0);
  EXPECT_TRUE(s.TestZero());
}

TEST(DecimalStack, DepthWrapsWithoutOverflowCheck) {
  DecimalStack s;
  for (int i = 0; i < 257; ++i) s.PushInt32(i);
  EXPECT_EQ(s.depth(), 1);
  EXPECT_EQ(s.Pop().ToText(), "256");
  EXPECT_EQ(s.Pop().ToText(), "255");  // entry 255 still holds the 256th push
}

}  // namespace
}  // namespace tavero::decimal
