#include "sales/export_session.h"

#include <chrono>

#include "base/error.h"

namespace varenta {

ExportTimerHold::ExportTimerHold(Timer& timer, const VarentaSettings& settings)
    : timer_(timer), settings_(settings) {
  timer_.setEnabled(false);
}

ExportTimerHold::~ExportTimerHold() {
  timer_.setInterval(std::chrono::seconds(settings_.intervalo));
  timer_.setEnabled(true);
}

void renewConnection(StoreDb& db, std::chrono::steady_clock::time_point now) {
  if (!db.connection || !db.query1 || !db.query2)
    throw EDatabaseError("The store database was never connected");
  db.connection->renew(now);
}

}  // namespace varenta
