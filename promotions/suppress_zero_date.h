#pragma once
// Dates of the promotion objects travel as ISO 8601 text in UTC, and the zero date-time (no date)
// as the empty string.

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace varenta {

struct TSuppressZeroDateInterceptor {
  // "" for the zero date-time; otherwise "yyyy-mm-ddThh:nn:ss.zzzZ", the value taken as UTC.
  static std::string StringConverter(DateTime value);

  // "" gives the zero date-time. Otherwise an ISO 8601 date ("2024-03-01"), optionally with "T"
  // and a time ("hh:nn", ":ss", "." and fractions of a second, kept to the millisecond) and a
  // zone ("Z", "+hh:nn", "-hhnn", "+hh"), turned into the UTC instant: a time without zone is
  // already UTC, a date alone is midnight. Throws EConvertError for any other text.
  static DateTime StringReverter(std::string_view text);
};

}  // namespace varenta
