#pragma once
// Clock: the service's only source of time. The real clock reads the local wall clock; tests use
// ManualClock and move time themselves, so that everything that waits runs in virtual time.

#include <chrono>
#include <mutex>

#include "base/datetime.h"

namespace varenta {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime now() = 0;  // local date and time
  virtual std::chrono::steady_clock::time_point monotonic() = 0;
  DateTime today() { return now().date(); }
};

// The process's real clock (local time as the host's time zone gives it).
Clock& systemClock();

// A clock that stands still until told to move; thread-safe.
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
