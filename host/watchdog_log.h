#pragma once
// WatchdogLog: the service log, passed through, that also pings the watchdog for every line the
// cycle thread (the thread that made it) writes. A line shows the cycle getting on with its work,
// so a long tick that makes progress (a whole day's sales sent again, many days closed at once) is
// not taken for a stuck one; lines of the service thread prove nothing about the cycle.

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>

#include "base/log.h"

namespace varenta {

class WatchdogLog : public ServiceLog {
 public:
  WatchdogLog(ServiceLog& log, std::function<void()> ping)
      : log_(log), ping_(std::move(ping)), cycle_thread_(std::this_thread::get_id()) {}

  void DoSaveLog(std::string_view message) override {
    if (ping_ && std::this_thread::get_id() == cycle_thread_) ping_();
    log_.DoSaveLog(message);
  }
  void reportLost(std::string_view line, const std::exception& error) override {
    log_.reportLost(line, error);
  }
  // At most once a second: a long import tells it for every row it writes.
  void stillWorking() override {
    if (!ping_ || std::this_thread::get_id() != cycle_thread_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_still_working_ping_ < std::chrono::seconds(1)) return;
    last_still_working_ping_ = now;
    ping_();
  }

 private:
  ServiceLog& log_;
  std::function<void()> ping_;
  std::thread::id cycle_thread_;
  std::chrono::steady_clock::time_point last_still_working_ping_;
};

}  // namespace varenta
