#include "base/decimal.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/error.h"

namespace varenta {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

[[noreturn]] void overflow(std::string_view what) {
  throw EOverflowError("Decimal overflow: " + std::string(what));
}

// Divides by a power of ten, rounding to the nearest and ties to the even neighbour.
__int128 divideHalfEven(__int128 value, __int128 divisor) {
  __int128 q = value / divisor;
  const __int128 r = value % divisor;
  const __int128 twice = (r < 0 ? -r : r) * 2;
  if (twice > divisor || (twice == divisor && (q % 2 != 0))) q += value < 0 ? -1 : 1;
  return q;
}

Decimal checked(__int128 units, std::string_view what) {
  if (units > kMax || units < -kMax - 1) overflow(what);
  return Decimal::fromUnits(static_cast<std::int64_t>(units));
}

}  // namespace

Decimal Decimal::fromInt(std::int64_t whole) {
  return checked(static_cast<__int128>(whole) * kScale, "integer");
}

Decimal Decimal::fromScaled(std::int64_t value, int scale) {
  if (scale > 0 || scale < -18) throw EConvertError("Unsupported decimal scale " + std::to_string(scale));
  __int128 units = value;
  if (scale >= -4) {
    for (int i = scale; i > -4; --i) units *= 10;
  } else {
    __int128 divisor = 1;
    for (int i = scale; i < -4; ++i) divisor *= 10;
    units = divideHalfEven(units, divisor);
  }
  return checked(units, "scaled value");
}

Decimal Decimal::fromDouble(double value) {
  const double scaled = std::nearbyint(value * kScale);  // default rounding mode: ties to even
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18) overflow("floating-point value");
  return Decimal(static_cast<std::int64_t>(scaled));
}

Decimal Decimal::parse(std::string_view text) {
  const auto invalid = [&] { return EConvertError("'" + std::string(text) + "' is not a valid decimal"); };
  std::size_t i = 0;
  const bool negative = !text.empty() && (text[0] == '-' || text[0] == '+') && text[i++] == '-';
  __int128 digits = 0;
  int fraction = -1;  // digits after the point; -1 before the point is seen
  bool any = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && fraction < 0) {
      fraction = 0;
    } else if (c >= '0' && c <= '9') {
      if (digits > (static_cast<__int128>(1) << 100)) overflow(text);
      digits = digits * 10 + (c - '0');
      any = true;
      if (fraction >= 0) ++fraction;
    } else {
      throw invalid();
    }
  }
  if (!any) throw invalid();
  fraction = fraction < 0 ? 0 : fraction;
  if (fraction <= 4) {
    for (int k = fraction; k < 4; ++k) digits *= 10;
  } else {
    __int128 divisor = 1;
    for (int k = 4; k < fraction; ++k) divisor *= 10;
    if (fraction - 4 > 30) throw invalid();
    digits = divideHalfEven(digits, divisor);
  }
  return checked(negative ? -digits : digits, text);
}

Decimal Decimal::operator+(Decimal other) const {
  return checked(static_cast<__int128>(units_) + other.units_, "sum");
}

Decimal Decimal::operator-(Decimal other) const {
  return checked(static_cast<__int128>(units_) - other.units_, "difference");
}

std::string Decimal::toString() const {
  std::string text = toFixed(4);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string Decimal::toFixed(int decimals) const {
  if (decimals < 0 || decimals > 4) throw EConvertError("Unsupported number of decimals");
  const bool negative = units_ < 0;
  unsigned __int128 magnitude = negative ? -static_cast<__int128>(units_) : units_;
  unsigned __int128 divisor = 1;
  for (int k = decimals; k < 4; ++k) divisor *= 10;
  magnitude = (magnitude + divisor / 2) / divisor;  // half away from zero; divisor 1 adds nothing
  unsigned __int128 pow = 1;
  for (int k = 0; k < decimals; ++k) pow *= 10;
  const std::string whole = std::to_string(static_cast<unsigned long long>(magnitude / pow));
  std::string frac = std::to_string(static_cast<unsigned long long>(magnitude % pow));
  std::string text = (negative && magnitude != 0 ? "-" : "") + whole;
  if (decimals > 0) text += "." + std::string(decimals - frac.size(), '0') + frac;
  return text;
}

}  // namespace varenta
