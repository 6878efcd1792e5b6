#include "tests/support/manual_clock.h"

namespace varenta {

DateTime ManualClock::now() {
  std::lock_guard lock(mutex_);
  return now_;
}

std::chrono::steady_clock::time_point ManualClock::monotonic() {
  std::lock_guard lock(mutex_);
  return mono_;
}

void ManualClock::set(DateTime at) {
  std::lock_guard lock(mutex_);
  mono_ += at - now_;
  now_ = at;
}

void ManualClock::advance(std::chrono::milliseconds by) {
  std::lock_guard lock(mutex_);
  now_ = now_ + by;
  mono_ += by;
}

}  // namespace varenta
