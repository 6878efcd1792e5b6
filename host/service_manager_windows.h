#pragma once
// What the Windows host's parts share about the service control manager: the service's name there,
// and the state the running service reports to it.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "base/win32.h"

namespace varenta {

inline constexpr wchar_t kServiceName[] = L"SrvVarenta";

// The state the service reports to the service control manager. While a change is pending it
// says every second that it is getting on (a new check point), so that a stop waiting for a long
// tick (up to the stop's patience) is not taken for a hung service. Once a stop is pending, only
// the stop's own states are reported: a pause or continue handled meanwhile never replaces it.
class StatusReporter {
 public:
  // Where each status goes: SetServiceStatus on the handle, or a test's record.
  using Sink = std::function<void(const SERVICE_STATUS&)>;
  explicit StatusReporter(SERVICE_STATUS_HANDLE handle);
  explicit StatusReporter(Sink sink);
  ~StatusReporter() { endPulse(); }
  StatusReporter(const StatusReporter&) = delete;
  StatusReporter& operator=(const StatusReporter&) = delete;

  // A stop with `exitStatus` other than 0 is a failure: the manager's failure actions restart the
  // service, as systemd's Restart=on-failure does on Linux.
  void report(DWORD state, int exitStatus = 0);

  // Before the last report: once the service is reported stopped the handle is no longer ours.
  void endPulse();

 private:
  Sink sink_;
  std::mutex mutex_;
  std::condition_variable changed_;
  SERVICE_STATUS status_{};
  bool ended_ = false;
  std::thread pulse_;
};

}  // namespace varenta
