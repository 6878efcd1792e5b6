#pragma once
// Reading ISO 8601 date and date-time texts, as the cloud writes its dates.

#include <optional>
#include <string_view>

#include "base/datetime.h"

namespace varenta {

// The UTC instant of an ISO 8601 calendar date with an optional time, or nothing when the text is
// not one. The date is "yyyy-mm-dd" or "yyyymmdd"; after a "T" come hours, optionally minutes and
// seconds ("hh:nn:ss" or "hhnnss"), a decimal fraction of the last of them after "." or ","
// (kept to the millisecond, finer digits cut off), and optionally a zone: "Z" or an offset "+hh",
// "+hh:nn" or "+hhnn" (or "-"), which is taken off to reach UTC. A time without a zone is already
// UTC, a date alone is midnight, and 24:00 is the end of the day (midnight of the next one). Each
// of the date, the time and the offset is wholly basic or wholly extended on its own, since the
// cloud writes extended times with basic offsets ("10:20:30.000-0300").
std::optional<DateTime> parseIso8601(std::string_view text);

}  // namespace varenta
