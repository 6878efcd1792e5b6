#pragma once
// ServiceLog: where every subsystem writes its lines. The service writes them, time-stamped, to
// Varenta.log; tests hand the units a log that keeps the lines in memory.

#include <string>
#include <string_view>

namespace varenta {

class ServiceLog {
 public:
  virtual ~ServiceLog() = default;
  // Appends one line carrying the message; throws when the line cannot be written.
  virtual void DoSaveLog(std::string_view message) = 0;
};

}  // namespace varenta
