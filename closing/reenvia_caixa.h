#pragma once
// The closing resend: the daily closing of one past day sent again with the figures the store
// database holds now, for one register (or, when the request names none, for every register that
// sold that day), then the store-wide record of the day's partial cancellations. The cancellation
// export calls it when a sale is cancelled after its day; the resend poll when the cloud asks.
//
// It moves no mark, leaves the cycle timer alone and throws nothing but what the log throws: a
// failed post (or one the cloud did not judge) is logged and the next one still goes out; any other
// failure is logged and ends the resend. False when something was not sent and judged.

#include <string>

#include "base/datetime.h"
#include "tasks/task_context.h"

namespace varenta {

// `dataCaixa`'s time of day is ignored; `terminal` is the register number as text, empty for every
// register. Nothing is sent for today or later, nor for a register without a live sale that day.
// Uses statement handles 1 (the live totals) and 2 (everything else).
bool ReenviaCaixaVarenta(const TaskContext& context, DateTime dataCaixa, const std::string& terminal);

}  // namespace varenta
