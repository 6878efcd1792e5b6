#pragma once
// ServiceLog: where every subsystem writes its lines. The service writes them, time-stamped, to
// Varenta.log; tests hand the units a log that keeps the lines in memory.

#include <exception>
#include <string>
#include <string_view>

namespace varenta {

class ServiceLog {
 public:
  virtual ~ServiceLog() = default;
  // Appends one line carrying the message; throws when the line cannot be written.
  virtual void DoSaveLog(std::string_view message) = 0;
  // Where a line that could not be written goes: standard error here; the service's log sends it
  // to the platform's event log.
  virtual void reportLost(std::string_view line, const std::exception& error);
  // Work going on without a line to show for it (a long import between its lines); the service's
  // log takes it as a sign of life of the cycle, as it takes every line.
  virtual void stillWorking() {}
};

// A log for the lines that report work already done (a post the cloud has answered): a line it
// cannot write goes to the log's reportLost instead of failing the caller, so that the work's mark still
// moves and the work is not done again for the sake of a line.
class LogOrReport : public ServiceLog {
 public:
  explicit LogOrReport(ServiceLog& log) : log_(log) {}
  void DoSaveLog(std::string_view message) override;
  void reportLost(std::string_view line, const std::exception& error) override {
    log_.reportLost(line, error);
  }
  void stillWorking() override { log_.stillWorking(); }

 private:
  ServiceLog& log_;
};

}  // namespace varenta
