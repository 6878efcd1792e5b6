#include "promotions/promo_params.h"

#include <chrono>
#include <cmath>
#include <cstdint>

#include "base/error.h"

namespace varenta {

// What is rounded is the product as a double, the one nearest to the exact product: a discount
// written with a 5 at its fifth decimal place lands on the tie, just below it or just above it
// depending on that product, not on the decimal text alone.
Decimal descuentoDecimal(double descuento) {
  const double units = std::nearbyint(descuento * 10000.0);  // default rounding mode: ties to even
  if (!std::isfinite(units) || std::fabs(units) >= 9.2e18)
    throw EOverflowError("The discount " + std::to_string(descuento) + " does not fit a four-place decimal");
  return Decimal::fromUnits(static_cast<std::int64_t>(units));
}

void bindDay(Query& query, std::string_view name, DateTime value) {
  using namespace std::chrono;
  constexpr sys_days kFirst = year(1) / January / 1;
  constexpr sys_days kLast = year(9999) / December / 31;
  const sys_days day = value.days();
  if (day >= kFirst && day <= kLast) query.setDate(name, value);
}

}  // namespace varenta
