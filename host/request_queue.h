#pragma once
// RequestQueue: control requests as they come, from the service control manager or the console, for
// the service thread to take in order (Windows; on Linux the service thread reads them from signals
// itself).

#include <condition_variable>
#include <deque>
#include <mutex>

#include "service/srv_varenta.h"

namespace varenta {

class RequestQueue {
 public:
  void push(ControlRequest request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    arrived_.notify_one();
  }
  ControlRequest pop() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [&] { return !requests_.empty(); });
    const ControlRequest request = requests_.front();
    requests_.pop_front();
    return request;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<ControlRequest> requests_;
};

}  // namespace varenta
