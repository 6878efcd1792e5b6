#pragma once
// Clock: the service's only source of time. The real clock reads the local wall clock; tests use a
// clock of their own and move time themselves, so that everything that waits runs in virtual time.

#include <chrono>

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

}  // namespace varenta
