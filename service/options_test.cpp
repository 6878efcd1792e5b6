#include "service/options.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace varenta {
namespace {

TEST(TimeScale, PositiveDecimalsOnly) {
  for (auto [text, scale] :
       {std::pair{"1", 1.0}, {"0.01", 0.01}, {"2.5", 2.5}, {"007", 7.0}, {"1000000", 1e6}})
    EXPECT_DOUBLE_EQ(parseTimeScale(text), scale) << text;
  for (const char* bad : {"", "0", "0.000", "-1", "+1", "abc", "1e-3", ".5", "1.", " 1", "1 ", "inf", "nan",
                          "1,5", "1000000.5", "100000000000"})
    EXPECT_THROW(parseTimeScale(bad), EConvertError) << bad;
}

TEST(TimeScale, ScalesWaitsToTheMillisecond) {
  ServiceOptions options;
  options.timeScale = 0.001;
  EXPECT_EQ(options.scaled(std::chrono::seconds(900)), std::chrono::milliseconds(900));
  EXPECT_EQ(options.scaled(std::chrono::milliseconds(180000)), std::chrono::milliseconds(180));
  options.timeScale = 0.0001;
  EXPECT_EQ(options.scaled(std::chrono::milliseconds(30000)), std::chrono::milliseconds(3));
}

}  // namespace
}  // namespace varenta
