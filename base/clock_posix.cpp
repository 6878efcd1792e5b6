#include "base/clock.h"

#include <ctime>

namespace varenta {
namespace {

class SystemClock : public Clock {
 public:
  DateTime now() override {
    const auto at = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count() % 1000;
    return DateTime::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec == 60 ? 59 : local.tm_sec,
                               static_cast<int>(ms < 0 ? ms + 1000 : ms));
  }
  std::chrono::steady_clock::time_point monotonic() override { return std::chrono::steady_clock::now(); }
};

}  // namespace

Clock& systemClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace varenta
