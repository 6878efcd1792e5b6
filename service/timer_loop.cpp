#include "service/timer_loop.h"

#include <chrono>
#include <iostream>

#include "service/journal.h"

namespace varenta {

TimerLoop::TimerLoop(Timer& timer, double timeScale) : timer_(timer), time_scale_(timeScale) {
  // Taking the lock before notifying means a change cannot slip in between the waiting side's
  // look at the timer and its going to sleep.
  timer_.setListener([this] {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  });
}

TimerLoop::~TimerLoop() {
  timer_.setListener(nullptr);
}

bool TimerLoop::waitForExpiry(std::uint64_t& seen) {
  std::unique_lock lock(mutex_);
  seen = timer_.generation();
  const auto changedOrStopping = [&] { return stopping_ || timer_.generation() != seen; };
  if (stopping_) return false;
  if (!timer_.enabled()) {
    changed_.wait(lock, changedOrStopping);
    return false;
  }
  const auto period = std::chrono::duration<double, std::milli>(timer_.interval()) * time_scale_;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
  return !changed_.wait_until(lock, deadline, changedOrStopping);
}

void TimerLoop::run(const std::function<void()>& tick) {
  while (!stopping_) {
    std::uint64_t seen = 0;
    if (!waitForExpiry(seen)) continue;
    std::lock_guard ticking(tick_mutex_);
    // Whoever held the tick lock meanwhile may have disabled or re-armed the timer, and whoever
    // waits for it comes first.
    if (stopping_ || excluding_ > 0 || !timer_.enabled() || timer_.generation() != seen) continue;
    try {
      tick();
    } catch (const std::exception& e) {
      reportToJournal(e);
    } catch (...) {
      std::cerr << "SrvVarenta: an error of unknown type escaped a tick" << std::endl;
    }
  }
}

void TimerLoop::stop() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
}

}  // namespace varenta
