#include "closing/cancelled_totals.h"

namespace varenta {

CancelledTotals cancelledTotals(Query& query, const char* sql, const char* dayParam, DateTime day,
                                std::int64_t terminal) {
  query.setSql(sql);
  query.setDate(dayParam, day);
  query.setInteger("TERMINAL", terminal);
  query.open();
  if (query.eof()) return {};
  return {query.field("VALOR").asDecimal(), query.field("QUANTIDADE").asInteger()};
}

}  // namespace varenta
