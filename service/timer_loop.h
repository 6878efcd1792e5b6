#pragma once
// TimerLoop: runs the ticks of a Timer on the thread that calls run(), one at a time. A tick comes
// when the timer has stayed enabled, unchanged, for its period (times the time scale); any real
// change to the timer starts the countdown again from the moment of the change.
//
// excludeTicks() lets another thread wait for a running tick to finish and keeps new ticks out
// while the returned exclusion lives: from the moment it is asked for, so a tick that falls due
// while the running one ends does not slip in first; a tick never starts on a timer found disabled
// after an exclusion.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "base/timer.h"

namespace varenta {

class TimerLoop {
 public:
  TimerLoop(Timer& timer, double timeScale);
  ~TimerLoop();
  TimerLoop(const TimerLoop&) = delete;
  TimerLoop& operator=(const TimerLoop&) = delete;

  // Returns after stop(). An error escaping a tick is written to standard error (the journal,
  // under systemd) and the loop goes on.
  void run(const std::function<void()>& tick);
  void stop();

  class Exclusion {
   public:
    explicit Exclusion(TimerLoop& loop) : loop_(loop) {
      ++loop_.excluding_;
      loop_.tick_mutex_.lock();
    }
    ~Exclusion() {
      --loop_.excluding_;
      loop_.tick_mutex_.unlock();
    }
    Exclusion(const Exclusion&) = delete;
    Exclusion& operator=(const Exclusion&) = delete;

   private:
    TimerLoop& loop_;
  };
  Exclusion excludeTicks() { return Exclusion(*this); }

 private:
  // Waits until the timer expires unchanged (true) or something changes first (false).
  bool waitForExpiry(std::uint64_t& seen);

  Timer& timer_;
  const double time_scale_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> stopping_{false};
  std::mutex tick_mutex_;
  std::atomic<int> excluding_{0};  // exclusions held or waited for
};

}  // namespace varenta
