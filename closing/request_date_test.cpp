// The day a resend request names: the forms the cloud writes, the zone taken off, and what is no
// date at all.

#include "closing/request_date.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(RequestDateTest, ReadsTheCloudsFormsAndTakesTheZoneOff) {
  const struct {
    const char* text;
    DateTime instant;
  } cases[] = {
      {"2024-06-10", DateTime::fromParts(2024, 6, 10)},
      {"2024-06-10T10:20", DateTime::fromParts(2024, 6, 10, 10, 20)},
      {"2024-06-10T10:20:30.5", DateTime::fromParts(2024, 6, 10, 10, 20, 30, 500)},
      {"2024-06-10T10:20:30.1239Z", DateTime::fromParts(2024, 6, 10, 10, 20, 30, 123)},
      {"2024-06-10T23:30:00-03:00", DateTime::fromParts(2024, 6, 11, 2, 30)},
      {"2024-06-10T23:30:00.000-0300", DateTime::fromParts(2024, 6, 11, 2, 30)},
      {"2024-06-10T01:00:00+02", DateTime::fromParts(2024, 6, 9, 23)},
      {"2024-12-31T22:00:00-05:30", DateTime::fromParts(2025, 1, 1, 3, 30)},
  };
  for (const auto& c : cases) EXPECT_EQ(readRequestDate(c.text), c.instant) << c.text;
}

TEST(RequestDateTest, RefusesWhatIsNoDate) {
  for (const char* text : {"", "10/06/2024", "2024-6-10", "20240610", "2024-02-30", "2024-06-10 10:20",
                           "2024-06-10T", "2024-06-10T24:00", "2024-06-10T10", "2024-06-10T10:20:30.",
                           "2024-06-10T10:20-3", "2024-06-10T10:20+03:00x", "2024-06-10x"})
    EXPECT_FALSE(readRequestDate(text).has_value()) << text;
}

}  // namespace
}  // namespace varenta
