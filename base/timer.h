#pragma once
// Timer: the state of the cycle timer that tasks may touch while they work (enabled flag and
// period). Whoever runs the cycle waits on it; the tasks only switch it.
//
// As with a message-loop timer, only a real change restarts the countdown: enabling an enabled
// timer, or giving it the period it already has, leaves the running countdown alone. Every real
// change raises generation() and calls the listener, so that the waiting side can start over.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace varenta {

class Timer {
 public:
  bool enabled() const { return enabled_.load(); }
  void setEnabled(bool on) {
    if (enabled_.exchange(on) != on) changed();
  }
  std::chrono::milliseconds interval() const { return std::chrono::milliseconds(interval_ms_.load()); }
  void setInterval(std::chrono::milliseconds period) {
    if (interval_ms_.exchange(period.count()) != period.count()) changed();
  }

  std::uint64_t generation() const { return generation_.load(); }
  // Called on the thread that made the change. Set it before other threads touch the timer.
  void setListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  void changed() {
    generation_.fetch_add(1);
    if (listener_) listener_();
  }

  std::atomic<bool> enabled_{false};
  std::atomic<long long> interval_ms_{250};
  std::atomic<std::uint64_t> generation_{0};
  std::function<void()> listener_;
};

}  // namespace varenta
