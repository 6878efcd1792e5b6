#pragma once
// What the new-sale and the cancelled-sale exports are handed: the cycle's TaskContext, the
// service's one pseudo-random generator and the closing resend that a late cancellation calls.

#include <functional>
#include <string>

#include "base/datetime.h"
#include "sales/pseudo_random.h"
#include "tasks/task_context.h"

namespace varenta {

struct SalesExportContext {
  TaskContext task;
  // Draws the card digits the store did not record and the numbers of partial cancellations.
  PseudoRandom& random;
  // ReenviaCaixaVarenta: sends the closing of day dataCaixa for register terminal again, because a
  // cancellation dated after its sale's day changed that day's figures; what the cloud does not
  // judge stays owed. Throws only when that cannot be recorded.
  std::function<void(DateTime dataCaixa, const std::string& terminal)> ReenviaCaixaVarenta;
};

}  // namespace varenta
