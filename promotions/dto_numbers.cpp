#include "promotions/dto_numbers.h"

#include <cmath>

#include "base/error.h"

namespace varenta {
namespace {

bool hasExponent(std::string_view text) {
  return text.find_first_of("eE") != std::string_view::npos;
}

}  // namespace

double floatFromText(std::string_view text) {
  text = withoutPlusSign(text);
  // from_chars also reads "inf", "nan" and friends, which are no numbers here.
  if (text.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return 0;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value) ? value : 0;
}

Decimal decimalFromText(std::string_view text) {
  try {
    return hasExponent(text) ? Decimal::fromDouble(floatFromText(text)) : Decimal::parse(text);
  } catch (const Error&) {
    return Decimal();
  }
}

}  // namespace varenta
