#pragma once
// ServiceLog: where every subsystem writes its lines. The service writes them, time-stamped, to
// Varenta.log; tests hand the units a RecordingLog and read the lines back.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

class ServiceLog {
 public:
  virtual ~ServiceLog() = default;
  // Appends one line carrying the message; throws when the line cannot be written.
  virtual void DoSaveLog(std::string_view message) = 0;
};

// Keeps the messages in memory, in order (thread-safe).
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

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace varenta
