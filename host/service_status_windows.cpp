#include <chrono>
#include <utility>

#include "host/service_manager_windows.h"

namespace varenta {
namespace {

// Milliseconds the manager is told a pending change may take before the next check point. A stop
// waits for a running tick and then for the database's release, up to 10 seconds each.
constexpr DWORD kWaitHint = 5000;
constexpr DWORD kStopWaitHint = 25000;

bool isPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_PAUSE_PENDING ||
         state == SERVICE_CONTINUE_PENDING;
}

}  // namespace

StatusReporter::StatusReporter(SERVICE_STATUS_HANDLE handle)
    : StatusReporter([handle](const SERVICE_STATUS& status) {
        SERVICE_STATUS copy = status;
        SetServiceStatus(handle, &copy);
      }) {}

StatusReporter::StatusReporter(Sink sink) : sink_(std::move(sink)) {
  status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  pulse_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (!ended_) {
      if (changed_.wait_for(lock, std::chrono::seconds(1), [&] { return ended_; })) break;
      if (status_.dwWaitHint == 0) continue;
      ++status_.dwCheckPoint;
      sink_(status_);
    }
  });
}

void StatusReporter::report(DWORD state, int exitStatus) {
  std::lock_guard lock(mutex_);
  // A stop in progress is what the manager (and whoever waits in `net stop`) must go on seeing: a
  // pause or continue that was being handled when it came ends, but its state is never reported
  // over the stop's.
  const bool stopping = status_.dwCurrentState == SERVICE_STOP_PENDING;
  if (stopping && state != SERVICE_STOP_PENDING && state != SERVICE_STOPPED) return;
  const bool pending = isPending(state);
  const bool controllable = state == SERVICE_RUNNING || state == SERVICE_PAUSED ||
                            state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
  status_.dwCurrentState = state;
  status_.dwControlsAccepted =
      controllable ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN : 0;
  status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
  status_.dwWaitHint = pending ? (state == SERVICE_STOP_PENDING ? kStopWaitHint : kWaitHint) : 0;
  status_.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status_.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
  sink_(status_);
}

void StatusReporter::endPulse() {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }
  if (pulse_.joinable()) pulse_.join();
}

}  // namespace varenta
