#pragma once
// RecordingLog: a ServiceLog that keeps the messages in memory, in order, for the test to read back.
// Thread-safe.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/log.h"

namespace varenta {

class RecordingLog : public ServiceLog {
 public:
  void DoSaveLog(std::string_view message) override {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(message);
  }
  void stillWorking() override { ++still_working_; }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
    still_working_ = 0;
  }
  // How often the work said it went on between lines.
  int stillWorkingCalls() const { return still_working_; }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::atomic<int> still_working_{0};
};

}  // namespace varenta
