#pragma once
// The daily closing export: for every finished day from the closing mark on, one record per
// register that sold that day and, when some sale was partly cancelled, one store-wide record for
// register "9999"; the mark then moves one day, in memory and in `padrao`. One call closes day
// after day until the mark reaches today and then hands over to the new-sale export; a day without
// live sales moves the mark one day without posting anything and ends the call.
//
// Failures are the call's own business: the record being posted (or an empty line) and an "Erro: "
// line are logged, the day's mark stays, and the whole day is posted again on a later call once the
// closing's hold has ended; days closed before it keep their mark. A name that does not resolve is
// thrown to the caller instead (the cycle pauses for it), and so is every error of the new-sale
// export it hands over to. The cycle timer is off while the call works and on when it returns,
// however it returns.

#include <functional>

#include "base/not_before.h"
#include "tasks/task_context.h"

namespace varenta {

struct ClosingContext {
  TaskContext task;
  // The new-sale export, run once the mark has caught up with today.
  std::function<void()> enviarVendas;
  // The closing's own hold in this process: a day that failed is not tried again before it ends
  // (the cycle passes the closing over meanwhile, to the sales).
  NotBefore& hold;
};

// Uses statement handles 1 (the live totals of the day) and 2 (everything else).
void FechamentoCaixaVarenta(const ClosingContext& context);

// Stores `day` as the next day to close, then takes it in memory, so that a mark the database
// refused is not taken as moved either. Uses statement handle 2.
void storeClosingMark(const TaskContext& task, DateTime day);

}  // namespace varenta
