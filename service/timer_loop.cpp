#include "service/timer_loop.h"

#include <optional>

#include "servicelog/journal.h"

namespace varenta {

using Clock = std::chrono::steady_clock;

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

bool TimerLoop::waitForExpiry(std::uint64_t& seen, const Heartbeat& heartbeat) {
  std::unique_lock lock(mutex_);
  seen = timer_.generation();
  const auto changedOrStopping = [&] { return stopping_ || timer_.generation() != seen; };
  if (stopping_) return false;
  std::optional<Clock::time_point> deadline;
  if (timer_.enabled()) {
    const auto period = std::chrono::duration<double, std::milli>(timer_.interval()) * time_scale_;
    deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(period);
  }
  const bool beats = heartbeat.beat && heartbeat.every.count() > 0;
  for (;;) {
    if (!beats && !deadline) {
      changed_.wait(lock, changedOrStopping);
      return false;
    }
    const auto nextBeat = beats ? Clock::now() + heartbeat.every : Clock::time_point::max();
    const bool expiresFirst = deadline && *deadline <= nextBeat;
    if (changed_.wait_until(lock, expiresFirst ? *deadline : nextBeat, changedOrStopping)) return false;
    if (expiresFirst) return true;
    // The beat goes without the lock, so that whoever changes the timer meanwhile is not held up;
    // the wait above looks at the timer again before it sleeps.
    lock.unlock();
    heartbeat.beat();
    lock.lock();
  }
}

void TimerLoop::run(const std::function<void()>& tick, const Heartbeat& heartbeat) {
  {
    std::lock_guard lock(mutex_);
    running_ = true;
  }
  const auto beat = [&] {
    if (heartbeat.beat) heartbeat.beat();
  };
  while (!stopping_) {
    std::uint64_t seen = 0;
    if (!waitForExpiry(seen, heartbeat)) continue;
    std::lock_guard ticking(tick_mutex_);
    // Whoever held the tick lock meanwhile may have disabled or re-armed the timer, and whoever
    // waits for it comes first.
    if (stopping_ || excluding_ > 0 || !timer_.enabled() || timer_.generation() != seen) continue;
    beat();
    try {
      tick();
    } catch (const std::exception& e) {
      reportToJournal(e);
    } catch (...) {
      reportToJournal("an error of unknown type escaped a tick");
    }
    beat();
  }
  std::lock_guard lock(mutex_);
  running_ = false;
  changed_.notify_all();
}

bool TimerLoop::stop(std::chrono::milliseconds patience) {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
  return changed_.wait_for(lock, patience, [&] { return !running_; });
}

}  // namespace varenta
