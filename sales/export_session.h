#pragma once
// What both sale exports do around their work: they hold the cycle timer off while they work and
// leave it running with their own period, and they start on a renewed connection.

#include <chrono>

#include "base/timer.h"
#include "storedb/settings.h"
#include "storedb/store_db.h"

namespace varenta {

// Stops the cycle timer; however the export ends (an error included), the timer gets the period of
// varenta_intervalo seconds, as the settings hold it by then, and starts.
class ExportTimerHold {
 public:
  ExportTimerHold(Timer& timer, const VarentaSettings& settings);
  ~ExportTimerHold();
  ExportTimerHold(const ExportTimerHold&) = delete;
  ExportTimerHold& operator=(const ExportTimerHold&) = delete;

 private:
  Timer& timer_;
  const VarentaSettings& settings_;
};

// Readies the store connection for an export at monotonic time `now` (see Connection::renew); the
// statement handles stay on it. Throws EDatabaseError when it cannot be opened (or was never made).
void renewConnection(StoreDb& db, std::chrono::steady_clock::time_point now);

}  // namespace varenta
