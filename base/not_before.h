#pragma once
// NotBefore: a task's own "not before" time in this process. A task that met a failure it would
// only meet again at once (an answer that is not JSON, a promotion the database refuses) holds
// itself off for a while; the cycle then passes it over and runs the tasks below it. The hold lives
// in memory only: the stored marks stay as they are, so a restart tries the task at once.

#include <chrono>

#include "base/datetime.h"

namespace varenta {

class NotBefore {
 public:
  // `holdOff` is the time a hold lasts, as the cycle counts time (already scaled).
  explicit NotBefore(std::chrono::milliseconds holdOff) : hold_off_(holdOff) {}

  // The task is not due again until holdOff after `now`.
  void hold(DateTime now) { until_ = now + hold_off_; }
  // Whether the task may run at `now`.
  bool allows(DateTime now) const { return until_.isZero() || now >= until_; }
  // When the last hold ends (the zero date-time when there was none).
  DateTime until() const { return until_; }

 private:
  std::chrono::milliseconds hold_off_;
  DateTime until_;
};

}  // namespace varenta
