// Any text read as an ISO 8601 date: a result or nothing, never a crash; a result written back
// in the extended and in the basic form (UTC, to the millisecond) reads back as the same instant.

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/iso8601.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<varenta::DateTime> read =
      varenta::parseIso8601(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read) return 0;
  // Only the date's characters make a date.
  for (std::size_t i = 0; i < size; ++i)
    FUZZ_CHECK(std::string_view("0123456789-:T.,Z+").find(static_cast<char>(data[i])) !=
               std::string_view::npos);
  // An offset can take the instant out of the four-digit years that the forms can write.
  if (read->year() < 0 || read->year() > 9999) return 0;
  FUZZ_CHECK(varenta::parseIso8601(read->format("yyyy-mm-ddThh:nn:ss.zzzZ")) == read);
  FUZZ_CHECK(varenta::parseIso8601(read->format("yyyymmddThhnnss,zzz+0000")) == read);
  return 0;
}
