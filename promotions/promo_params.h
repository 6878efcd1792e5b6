#pragma once
// Values that both promotion writers bind the same way.

#include <string_view>

#include "base/datetime.h"
#include "base/decimal.h"
#include "storedb/query.h"

namespace varenta {

// A promotion's Descuento as a four-place decimal: the double multiplied by 10000 in double
// arithmetic and rounded to the nearest integer, a tie going to the even neighbour (2.50005 gives
// 2.5000, 3.00015 gives 3.0002, and 12.34565, whose product lies just below the tie, 12.3456).
// Throws EOverflowError for a discount beyond the decimal's range.
Decimal descuentoDecimal(double descuento);

// Binds the day of `value` as the date parameter `name`. A day the database cannot hold (before
// the year 1 or after 9999) is left unbound, and so written as null, rather than failing the row.
void bindDay(Query& query, std::string_view name, DateTime value);

}  // namespace varenta
