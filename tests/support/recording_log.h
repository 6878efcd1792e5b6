#pragma once
// RecordingLog: a ServiceLog that keeps the messages in memory, in order, for the test to read back.
// Thread-safe.

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
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace varenta
