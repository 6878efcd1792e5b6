#pragma once
// ManualClock: a clock that stands still until the test moves it, so that everything that waits
// runs in virtual time, deterministic and instant. Thread-safe.

#include <chrono>
#include <mutex>

#include "base/clock.h"

namespace varenta {

class ManualClock : public Clock {
 public:
  explicit ManualClock(DateTime start) : now_(start) {}

  DateTime now() override;
  std::chrono::steady_clock::time_point monotonic() override;
  void set(DateTime at);
  void advance(std::chrono::milliseconds by);

 private:
  std::mutex mutex_;
  DateTime now_;
  std::chrono::steady_clock::time_point mono_{};
};

}  // namespace varenta
