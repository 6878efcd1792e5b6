#include <windows.h>

#include "base/clock.h"

namespace varenta {
namespace {

class SystemClock : public Clock {
 public:
  // The wall clock as the host's time zone and its daylight saving rules give it, to the millisecond.
  DateTime now() override {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return DateTime::fromParts(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                               local.wSecond, local.wMilliseconds);
  }
  std::chrono::steady_clock::time_point monotonic() override { return std::chrono::steady_clock::now(); }
};

}  // namespace

Clock& systemClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace varenta
