#include "base/decimal.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace varenta {
namespace {

TEST(Decimal, ParsesExactlyAndRoundsFinerDigitsHalfEven) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"0", 0},
      {"12", 120000},
      {"-0.5", -5000},
      {"+1.25", 12500},
      {"1234.5678", 12345678},
      {"0.00005", 0},
      {"0.00015", 2},
      {"-0.00025", -2},
      {"1.", 10000},
      {".5", 5000},
      {"922337203685477.5807", INT64_MAX},
  };
  for (auto [text, units] : cases) EXPECT_EQ(Decimal::parse(text).units(), units) << text;
  for (const char* bad : {"", "-", ".", "1,5", "1e3", "1.2.3", " 1", "abc"})
    EXPECT_THROW(Decimal::parse(bad), EConvertError) << bad;
  EXPECT_THROW(Decimal::parse("922337203685477.5808"), EOverflowError);
  EXPECT_THROW(Decimal::parse("99999999999999999999999999999999999999"), EOverflowError);
}

TEST(Decimal, ArithmeticIsExactAndChecked) {
  const Decimal a = Decimal::parse("0.1"), b = Decimal::parse("0.2");
  EXPECT_EQ(a + b, Decimal::parse("0.3"));
  EXPECT_EQ((a - b).toString(), "-0.1");
  EXPECT_LT(a, b);
  EXPECT_THROW(Decimal::fromUnits(INT64_MAX) + Decimal::fromUnits(1), EOverflowError);
  EXPECT_THROW(Decimal::fromUnits(INT64_MIN) - Decimal::fromUnits(1), EOverflowError);
}

TEST(Decimal, Conversions) {
  EXPECT_EQ(Decimal::fromScaled(1250, -2).units(), 125000);
  EXPECT_EQ(Decimal::fromScaled(123456, -6).units(), 1235);
  EXPECT_EQ(Decimal::fromScaled(7, 0), Decimal::fromInt(7));
  EXPECT_EQ(Decimal::fromDouble(0.12345).units(), 1234);   // 0.12345 is below the tie in binary
  EXPECT_EQ(Decimal::fromDouble(2.5 / 10000).units(), 2);  // exact tie goes to even
  EXPECT_EQ(Decimal::fromDouble(3.5 / 10000).units(), 4);
  EXPECT_THROW(Decimal::fromDouble(1e300), EOverflowError);
  EXPECT_DOUBLE_EQ(Decimal::parse("12.5").toDouble(), 12.5);
  EXPECT_EQ(Decimal::parse("12.50").toString(), "12.5");
  EXPECT_EQ(Decimal::parse("-3").toString(), "-3");
  EXPECT_EQ(Decimal::parse("1.005").toFixed(2), "1.01");
  EXPECT_EQ(Decimal::parse("-1.005").toFixed(2), "-1.01");
  EXPECT_EQ(Decimal::parse("-0.004").toFixed(2), "0.00");
  EXPECT_EQ(Decimal::parse("7").toFixed(2), "7.00");
  EXPECT_EQ(Decimal::fromUnits(INT64_MIN).toString(), "-922337203685477.5808");
}

}  // namespace
}  // namespace varenta
