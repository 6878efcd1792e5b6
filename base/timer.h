#pragma once
// Timer: the state of the cycle timer that tasks may touch while they work (enabled flag and
// period). Whoever runs the cycle waits on it; the tasks only switch it.

#include <atomic>
#include <chrono>

namespace varenta {

class Timer {
 public:
  bool enabled() const { return enabled_.load(); }
  void setEnabled(bool on) { enabled_.store(on); }
  std::chrono::milliseconds interval() const { return std::chrono::milliseconds(interval_ms_.load()); }
  void setInterval(std::chrono::milliseconds period) { interval_ms_.store(period.count()); }

 private:
  std::atomic<bool> enabled_{false};
  std::atomic<long long> interval_ms_{250};
};

}  // namespace varenta
