#include "promotions/suppress_zero_date.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace varenta {
namespace {

TEST(SuppressZeroDate, ReadsIsoTextAsUtc) {
  struct Case {
    std::string_view text;
    DateTime expected;
  };
  for (const Case& c : {
           Case{"", DateTime()},
           {"2024-03-01", DateTime::fromParts(2024, 3, 1)},
           {"2024-03-01T00:00:00-03:00", DateTime::fromParts(2024, 3, 1, 3)},
           {"2024-03-01T10:20", DateTime::fromParts(2024, 3, 1, 10, 20)},
           {"2024-03-01T10:20:30Z", DateTime::fromParts(2024, 3, 1, 10, 20, 30)},
           {"2024-03-01T10:20:30.5Z", DateTime::fromParts(2024, 3, 1, 10, 20, 30, 500)},
           {"2024-03-01T10:20:30.123456", DateTime::fromParts(2024, 3, 1, 10, 20, 30, 123)},
           {"2024-03-01T01:00:00+05:30", DateTime::fromParts(2024, 2, 29, 19, 30)},
           {"2024-12-31T23:30:00-0100", DateTime::fromParts(2025, 1, 1, 0, 30)},
           {"2024-03-01T12:00+02", DateTime::fromParts(2024, 3, 1, 10)},
           // Every form of ISO 8601 with a calendar date, not only the one above (base/iso8601.h).
           {"20240301T102030Z", DateTime::fromParts(2024, 3, 1, 10, 20, 30)},
           {"2024-03-01T10:20:30,5Z", DateTime::fromParts(2024, 3, 1, 10, 20, 30, 500)},
           {"2024-03-01T24:00", DateTime::fromParts(2024, 3, 2)},
       })
    EXPECT_EQ(TSuppressZeroDateInterceptor::StringReverter(c.text), c.expected) << c.text;
}

TEST(SuppressZeroDate, RefusesOtherText) {
  for (const char* text :
       {"x", "01/03/2024", "2024-3-1", "2024-03", "2024-02-30", "2024-03-01T25:00", "2024-03-01T24:01",
        "2024-03-01T10:00:00.", "2024-03-01T10:00+3", "2024-03-01Z", "2024-03-01T10:00Z+01:00",
        "2024-03-01T10:00+24:00", " 2024-03-01", "2024-03-01 10:00"})
    EXPECT_THROW(TSuppressZeroDateInterceptor::StringReverter(text), EConvertError) << text;
}

TEST(SuppressZeroDate, WritesUtcWithMillisecondsOrEmptyForTheZeroDate) {
  EXPECT_EQ(TSuppressZeroDateInterceptor::StringConverter(DateTime()), "");
  EXPECT_EQ(TSuppressZeroDateInterceptor::StringConverter(DateTime::fromParts(2024, 3, 1)),
            "2024-03-01T00:00:00.000Z");
  EXPECT_EQ(TSuppressZeroDateInterceptor::StringConverter(DateTime::fromParts(987, 11, 5, 7, 8, 9, 12)),
            "0987-11-05T07:08:09.012Z");
}

}  // namespace
}  // namespace varenta
