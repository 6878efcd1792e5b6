#pragma once
// The figures of one register's cancelled lines, as the closing and its resend read them.

#include <cstdint>

#include "base/datetime.h"
#include "base/decimal.h"
#include "storedb/query.h"

namespace varenta {

struct CancelledTotals {
  Decimal valor;                // the lines' amount
  std::int64_t quantidade = 0;  // the number of their sales
};

// Runs a cancellation statement for register `terminal` on `day` (bound under `dayParam`); zero
// and zero when it finds nothing.
CancelledTotals cancelledTotals(Query& query, const char* sql, const char* dayParam, DateTime day,
                                std::int64_t terminal);

}  // namespace varenta
