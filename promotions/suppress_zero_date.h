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

  // "" gives the zero date-time; any other text is an ISO 8601 date or date-time read into its UTC
  // instant by parseIso8601 (base/iso8601.h). Throws EConvertError for text that is not one.
  static DateTime StringReverter(std::string_view text);
};

}  // namespace varenta
