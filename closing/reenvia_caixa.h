#pragma once
// The closing resend: the daily closing of one past day sent again with the figures the store
// database holds now, for one register (or, when the request names none, for every register that
// sold that day), then the store-wide record of the day's partial cancellations. The cancellation
// export calls it when a sale is cancelled after its day; the resend poll when the cloud asks.
//
// It moves no mark, leaves the cycle timer alone and throws nothing but what the log throws and a
// transport failure: a failed post (or one the cloud did not judge) is logged and the next one still
// goes out; any other failure is logged and ends the resend. False when something was not sent and
// judged. A transport failure (ERestError) is thrown once the day's records have had their chance,
// so that a caller with more to send (the resend poll) stops instead of waiting out its time-outs.

#include <string>

#include "base/datetime.h"
#include "tasks/task_context.h"

namespace varenta {

// `dataCaixa`'s time of day is ignored; `terminal` is the register number as text, empty for every
// register. Nothing is sent for today or later, nor for a register without a live sale that day.
// Uses statement handles 1 (the live totals) and 2 (everything else).
bool ReenviaCaixaVarenta(const TaskContext& context, DateTime dataCaixa, const std::string& terminal);

// The closing a late cancellation owes: the cancellation changed the figures of day `dataCaixa`,
// whose closing is sent again for `terminal`. What the cloud did not judge (a failed post, a refused
// login, a failure line the log could not take) stays owed in the store database itself: the
// closing mark goes back to that day, so that the closing export sends that day, and the days after
// it, again, after a restart too. The cancellation's own mark moves all the same: the cancellation
// was judged, and posting it again would have the cloud count it twice. Throws only when the
// database cannot store the closing mark.
void resendOwedClosing(const TaskContext& context, DateTime dataCaixa, const std::string& terminal);

}  // namespace varenta
