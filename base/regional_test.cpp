#include "base/regional.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

TEST(Regional, DatesAndTimeStampsTakeTheHostsSeparators) {
  const struct {
    RegionalSettings settings;
    const char* date;
    const char* stamp;
  } cases[] = {
      {{"/", ":", 1252}, "05/03/2024", "05/03/2024 14:07:09"},
      {{".", ":", 1252}, "05.03.2024", "05.03.2024 14:07:09"},
      {{"-", ".", 1252}, "05-03-2024", "05-03-2024 14.07.09"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(regionalDate(DateTime::fromParts(2024, 3, 5), c.settings), c.date);
    EXPECT_EQ(regionalTimestamp(DateTime::fromParts(2024, 3, 5, 14, 7, 9, 999), c.settings), c.stamp);
  }
  EXPECT_EQ(regionalTimestamp(DateTime::fromParts(2024, 12, 31, 0, 5, 3)), "31/12/2024 00:05:03");
}

// The stores' code page takes our own close equivalents on every host; another code page (a host
// set up for Poland or Russia) takes the system's conversion.
TEST(Regional, TheLogsBytesInTheHostsCodePage) {
  EXPECT_EQ(regionalBytes("Serviço → Łódź 中", {"/", ":", 1252}), "Servi\xE7o -> L\xF3\x64z ?");
#ifdef _WIN32
  EXPECT_EQ(regionalBytes("Łódź 中", {"/", ":", 1250}), "\xA3\xF3\x64\x9F ?");
  EXPECT_EQ(regionalBytes("Привет 中", {"/", ":", 1251}), "\xCF\xF0\xE8\xE2\xE5\xF2 ?");
#endif
}

}  // namespace
}  // namespace varenta
