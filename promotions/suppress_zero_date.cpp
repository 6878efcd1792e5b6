#include "promotions/suppress_zero_date.h"

#include <optional>

#include "base/error.h"
#include "base/iso8601.h"

namespace varenta {

std::string TSuppressZeroDateInterceptor::StringConverter(DateTime value) {
  return value.isZero() ? std::string() : value.format("yyyy-mm-ddThh:nn:ss.zzzZ");
}

DateTime TSuppressZeroDateInterceptor::StringReverter(std::string_view text) {
  if (text.empty()) return DateTime();
  const std::optional<DateTime> instant = parseIso8601(text);
  if (!instant) throw EConvertError("\"" + std::string(text) + "\" is not a valid ISO 8601 date");
  return *instant;
}

}  // namespace varenta
