#pragma once
// The day a resend request names: its "fecha" as the cloud writes it, an ISO 8601 date
// ("2024-06-10"), optionally followed by "T" and a time ("10:20", "10:20:30", "10:20:30.500") with
// an optional zone ("Z", "-03:00", "-0300", "-03"). A zone is taken off to reach UTC, so
// "2024-06-10T23:30:00-03:00" is 11 June 02:30; a time without one is taken as written.
//
// Only this narrow reading is needed here; the promotions read the cloud's dates with a reader of
// their own, and the two are meant to become one.

#include <optional>
#include <string_view>

#include "base/datetime.h"

namespace varenta {

// The instant, or nothing when the text is not such a date.
std::optional<DateTime> readRequestDate(std::string_view text);

}  // namespace varenta
