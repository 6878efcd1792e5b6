#pragma once
// When the cycle's tasks fall due, from the sync marks, and the cycle's pace: one rule for the cycle
// that runs the tasks and for what an operator is told about them.

#include <chrono>
#include <cstdint>

#include "base/datetime.h"
#include "storedb/settings.h"

namespace varenta {

// After a tick that ran a task the next one comes this much later, whatever the task did. The sale
// exports give the timer varenta_intervalo while they run, but the end of the tick sets this period
// over it, so that setting does not change the pace.
inline constexpr std::chrono::milliseconds kAfterTask{10000};

// Promotions are due when the last import is more than this old.
inline constexpr std::chrono::minutes kPromotionInterval{60};

// The poll's and the import's marks are the database's time: they are compared with the
// database's now, and the moments told are the service's (`now` is always the service's clock).

// The resend poll: on the first tick of a day later than the last poll's.
inline bool resendPollDue(const VarentaSettings& marks, DateTime now) {
  return marks.databaseNow(now).date() > marks.verificaReenvio;
}
inline DateTime resendPollDueAt(const VarentaSettings& marks) {
  return marks.verificaReenvio.date() + std::chrono::days(1) - marks.databaseClockAhead;
}

// The promotion import: on the first tick after the last import is an interval old.
inline bool promotionImportDue(const VarentaSettings& marks, DateTime now) {
  return marks.databaseNow(now) - kPromotionInterval > marks.verificaPromo;
}
inline DateTime promotionImportDueAfter(const VarentaSettings& marks) {
  return marks.verificaPromo + kPromotionInterval - marks.databaseClockAhead;
}

// The daily closing: while a day before today is not closed. The days still to close run from the
// closing mark to yesterday.
inline bool closingDue(const VarentaSettings& marks, DateTime now) {
  return now.date() > marks.ultCaixa;
}
inline std::int64_t daysToClose(const VarentaSettings& marks, DateTime now) {
  return closingDue(marks, now) ? (now.days() - marks.ultCaixa.days()).count() : 0;
}

}  // namespace varenta
