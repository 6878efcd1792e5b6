#pragma once
// Decimal: an exact fixed-point amount with four fractional digits, held as a signed 64-bit count
// of ten-thousandths. Money and quantities are summed, subtracted and compared in this form; an
// amount becomes a double only when a document writes it.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace varenta {

class Decimal {
 public:
  static constexpr std::int64_t kScale = 10'000;

  constexpr Decimal() = default;
  static constexpr Decimal fromUnits(std::int64_t tenThousandths) { return Decimal(tenThousandths); }
  static Decimal fromInt(std::int64_t whole);
  // A value scaled by 10^scale (scale <= 0, as the database gives NUMERIC columns): exact for
  // scales down to -4; finer values are rounded to the nearest ten-thousandth, ties to even.
  static Decimal fromScaled(std::int64_t value, int scale);
  // The nearest ten-thousandth, ties to even. Throws EOverflowError for NaN, infinities and
  // values outside the range.
  static Decimal fromDouble(double value);
  // Plain decimal text: optional sign, digits, optional "." and digits ("12", "-0.5", "1234.5678").
  // More than four fractional digits round to the nearest, ties to even. Throws EConvertError
  // on anything else and EOverflowError when the value does not fit.
  static Decimal parse(std::string_view text);

  constexpr std::int64_t units() const { return units_; }
  double toDouble() const { return static_cast<double>(units_) / kScale; }
  // Shortest exact text: "12.5", "-0.0001", "3".
  std::string toString() const;
  // Fixed number of decimals (0 to 4), rounded half away from zero: toFixed(2) of 1.005 is "1.01".
  std::string toFixed(int decimals) const;

  constexpr bool isZero() const { return units_ == 0; }
  constexpr Decimal operator-() const { return Decimal(-units_); }
  // Sums and differences are exact; a result outside the 64-bit range throws EOverflowError.
  Decimal operator+(Decimal other) const;
  Decimal operator-(Decimal other) const;
  Decimal& operator+=(Decimal other) { return *this = *this + other; }
  Decimal& operator-=(Decimal other) { return *this = *this - other; }

  constexpr auto operator<=>(const Decimal&) const = default;

 private:
  constexpr explicit Decimal(std::int64_t units) : units_(units) {}
  std::int64_t units_ = 0;
};

}  // namespace varenta
