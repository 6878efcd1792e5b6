#pragma once
// How the mapping reads numeric members from JSON text. A number arrives as the text it was written
// with (or a string's characters), and text that is not a number of the member's kind becomes 0
// rather than an error: "12.5" and "x" give 0 to an integer, "1,5" gives 0 to a number.

#include <charconv>
#include <concepts>
#include <string_view>

#include "base/decimal.h"

namespace varenta {

// The text without a leading "+" sign, so that "+7" reads as 7 to every numeric kind, as it does to
// the fixed-point one; a sign alone or "+-" stays and reads as no number.
constexpr std::string_view withoutPlusSign(std::string_view text) {
  return text.size() > 1 && text[0] == '+' && text[1] != '+' && text[1] != '-' ? text.substr(1) : text;
}

// A decimal integer (optional sign, digits) that fits the type, or 0.
template <std::integral Int>
Int integerFromText(std::string_view text) {
  text = withoutPlusSign(text);
  Int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

// A JSON-style number ("-12.5", "1e3") with a finite double value, or 0.
double floatFromText(std::string_view text);

// A number with "." as decimal separator, kept exactly to four places (finer digits round to
// the nearest, ties to even), or 0 when it is none or does not fit.
Decimal decimalFromText(std::string_view text);

}  // namespace varenta
