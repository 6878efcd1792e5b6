#include <chrono>

#include "host/service_manager_windows.h"

namespace varenta {
namespace {

constexpr DWORD kWaitHint = 5000;  // milliseconds, while a state change is pending

}  // namespace

StatusReporter::StatusReporter(SERVICE_STATUS_HANDLE handle) : handle_(handle) {
  status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  pulse_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (!ended_) {
      if (changed_.wait_for(lock, std::chrono::seconds(1), [&] { return ended_; })) break;
      if (status_.dwWaitHint == 0) continue;
      ++status_.dwCheckPoint;
      SetServiceStatus(handle_, &status_);
    }
  });
}

void StatusReporter::report(DWORD state, int exitStatus) {
  std::lock_guard lock(mutex_);
  const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                       state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
  const bool controllable = state == SERVICE_RUNNING || state == SERVICE_PAUSED ||
                            state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
  status_.dwCurrentState = state;
  status_.dwControlsAccepted =
      controllable ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN : 0;
  status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
  status_.dwWaitHint = pending ? kWaitHint : 0;
  status_.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status_.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
  SetServiceStatus(handle_, &status_);
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
