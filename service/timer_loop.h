#pragma once
// TimerLoop: runs the ticks of a Timer on the thread that calls run(), one at a time. A tick comes
// when the timer has stayed enabled, unchanged, for its period (times the time scale); any real
// change to the timer starts the countdown again from the moment of the change.
//
// excludeTicks() lets another thread wait, a bounded time, for a running tick to finish and keeps
// new ticks out while the returned exclusion lives: from the moment it is asked for, so a tick that
// falls due as the running one ends does not slip in first; a tick never starts on a timer found
// disabled after an exclusion. A tick stuck in a call that never returns is given up on, never
// waited for without end: the exclusion then says it is not held.
//
// A heartbeat, when given, beats on the loop's thread at the start and the end of every tick and
// at least once every period while the loop waits: as long as it beats, the loop is not stuck.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "base/timer.h"

namespace varenta {

struct Heartbeat {
  std::function<void()> beat;
  std::chrono::milliseconds every{0};  // zero: no beats while waiting
};

class TimerLoop {
 public:
  TimerLoop(Timer& timer, double timeScale);
  ~TimerLoop();
  TimerLoop(const TimerLoop&) = delete;
  TimerLoop& operator=(const TimerLoop&) = delete;

  // Returns after stop(). An error escaping a tick is written to standard error (the journal,
  // under systemd) and the loop goes on.
  void run(const std::function<void()>& tick, const Heartbeat& heartbeat = {});
  // Makes run() return and waits up to `patience` for it to; false when a tick still runs then.
  bool stop(std::chrono::milliseconds patience);

  class Exclusion {
   public:
    Exclusion(TimerLoop& loop, std::chrono::milliseconds patience) : loop_(loop) {
      ++loop_.excluding_;
      held_ = loop_.tick_mutex_.try_lock_for(patience);
    }
    ~Exclusion() {
      if (held_) loop_.tick_mutex_.unlock();
      --loop_.excluding_;
    }
    Exclusion(const Exclusion&) = delete;
    Exclusion& operator=(const Exclusion&) = delete;

    // False when the running tick did not end within the patience given; it may still be running.
    bool held() const { return held_; }

   private:
    TimerLoop& loop_;
    bool held_ = false;
  };
  Exclusion excludeTicks(std::chrono::milliseconds patience) { return Exclusion(*this, patience); }

 private:
  // Waits until the timer expires unchanged (true) or something changes first (false).
  bool waitForExpiry(std::uint64_t& seen, const Heartbeat& heartbeat);

  Timer& timer_;
  const double time_scale_;
  std::mutex mutex_;
  std::condition_variable changed_;  // the timer changed, a stop came, or run() returned
  std::atomic<bool> stopping_{false};
  bool running_ = false;  // run() has not returned yet; guarded by mutex_
  std::timed_mutex tick_mutex_;
  std::atomic<int> excluding_{0};  // exclusions held or waited for
};

}  // namespace varenta
