#include "base/datetime.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace varenta {
namespace {

TEST(DateTime, ZeroIsThirtiethOfDecember1899) {
  EXPECT_TRUE(DateTime().isZero());
  EXPECT_EQ(DateTime::fromParts(1899, 12, 30), DateTime());
  EXPECT_EQ(DateTime().format("dd/mm/yyyy hh:nn:ss.zzz"), "30/12/1899 00:00:00.000");
  // Before the zero day the parts still read as the calendar says.
  EXPECT_EQ(DateTime::fromParts(1899, 12, 29, 23, 59, 59, 999).format("yyyy-mm-dd hh:nn:ss.zzz"),
            "1899-12-29 23:59:59.999");
}

TEST(DateTime, PartsDateAndFormat) {
  const DateTime t = DateTime::fromParts(2024, 3, 5, 14, 7, 9, 42);
  EXPECT_EQ(t.format("dd/mm/yyyy hh:nn:ss"), "05/03/2024 14:07:09");
  EXPECT_EQ(t.format("yyyy-mm-ddThh:nn:ss.zzz"), "2024-03-05T14:07:09.042");
  EXPECT_EQ(t.date(), DateTime::fromParts(2024, 3, 5));
  EXPECT_EQ(t.timeOfDay(), std::chrono::milliseconds(((14 * 60 + 7) * 60 + 9) * 1000 + 42));
  EXPECT_EQ(t + std::chrono::hours(10), DateTime::fromParts(2024, 3, 6, 0, 7, 9, 42));
  EXPECT_EQ(DateTime::fromParts(2024, 3, 6) - DateTime::fromParts(2024, 3, 5), std::chrono::hours(24));
}

TEST(DateTime, RejectsImpossibleParts) {
  for (auto [y, m, d, h, n] : {std::array{2024, 13, 1, 0, 0},
                               {2024, 4, 31, 0, 0},
                               {2023, 2, 29, 0, 0},
                               {2024, 1, 1, 24, 0},
                               {2024, 1, 1, 0, 60},
                               {2024, 0, 1, 0, 0}})
    EXPECT_THROW(DateTime::fromParts(y, m, d, h, n), EConvertError) << y << "-" << m << "-" << d;
}

TEST(DateTime, AddMonthsClampsToTheMonthsLastDay) {
  struct Case {
    DateTime from;
    int months;
    DateTime expected;
  };
  const Case cases[] = {
      {DateTime::fromParts(2024, 5, 31), -2, DateTime::fromParts(2024, 3, 31)},
      {DateTime::fromParts(2024, 4, 30), -2, DateTime::fromParts(2024, 2, 29)},
      {DateTime::fromParts(2023, 4, 30), -2, DateTime::fromParts(2023, 2, 28)},
      {DateTime::fromParts(2024, 1, 15, 8, 30), -2, DateTime::fromParts(2023, 11, 15, 8, 30)},
      {DateTime::fromParts(2024, 12, 31), 2, DateTime::fromParts(2025, 2, 28)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.from.addMonths(c.months), c.expected) << c.from.format("yyyy-mm-dd") << " " << c.months;
}

}  // namespace
}  // namespace varenta
