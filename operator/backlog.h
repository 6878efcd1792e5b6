#pragma once
// Backlog: the work waiting for the cycle, counted with the exports' own conditions, so that what
// is called waiting is what the service will send: the sales above the sale mark, the
// cancellations above the cancellation mark (both from the start date on, pseudo-lines left out)
// and the days from the closing mark to yesterday. Nothing is posted and no mark moves.

#include <cstdint>
#include <string>

#include "base/datetime.h"
#include "storedb/query.h"
#include "storedb/settings.h"

namespace varenta {

struct Backlog {
  // Sales with a line waiting: how many, the lowest and highest number, the day of the oldest.
  std::int64_t sales = 0;
  std::int64_t firstSale = 0;
  std::int64_t lastSale = 0;
  DateTime oldestSaleDay;
  // Cancellations: the export's calls still to come (one for each run of one sale's cancellation
  // codes that no other sale's code interrupts), the lowest and highest code waiting and the time
  // of the oldest cancellation.
  std::int64_t cancellations = 0;
  std::int64_t firstCancellationCode = 0;
  std::int64_t lastCancellationCode = 0;
  DateTime oldestCancellation;
  // Days from the closing mark to yesterday, how many of them sold nothing, and whether yesterday
  // sold anything.
  std::int64_t daysToClose = 0;
  std::int64_t daysWithoutSales = 0;
  bool lastDaySold = false;

  bool inStep() const { return sales == 0 && cancellations == 0 && daysToClose == 0; }
  // The ticks this work takes at one task per tick. A day without sales ends the closing's tick;
  // the days with sales after the last such day are closed in one tick, which then hands over to
  // the sale export and sends one sale or cancellation in the same tick.
  std::int64_t ticks() const;
};

// The waiting work in words, "3 vendas, 1 cancelamento e 2 dias a fechar"; with `withDays`, the day
// of the oldest sale and the next day to close follow their counts ("3 vendas (desde 02/03/2024)").
// Empty when nothing waits.
std::string waitingInWords(const Backlog& backlog, const VarentaSettings& marks, bool withDays);

// Counts on `query` (any statement handle of the connection), against the marks and start date of
// `marks` and the day of `now`. Throws EDatabaseError.
Backlog countBacklog(Query& query, const VarentaSettings& marks, DateTime now);

}  // namespace varenta
