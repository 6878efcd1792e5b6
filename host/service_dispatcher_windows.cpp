// The service as the service control manager runs it: the dispatcher, the control handler and the
// service thread it starts (Windows).

#include <exception>
#include <functional>
#include <future>
#include <iostream>
#include <optional>
#include <thread>

#include "host/platform_host.h"
#include "host/request_queue.h"
#include "host/service_manager_windows.h"
#include "servicelog/journal.h"

namespace varenta {
namespace {

// A process started by the service control manager: the dispatcher's threads meet the main thread,
// which runs the cycle, here. The manager's entry points take no context of ours, hence one
// instance for the process.
struct ManagedRun {
  explicit ManagedRun(TSrvVarenta& s) : service(s) {}
  TSrvVarenta& service;
  RequestQueue requests;
  StatusReporter* status = nullptr;  // set once the control handler is registered
  std::promise<void> destroyed;      // ServiceDestroy ran: the service may be reported stopped
  int exitStatus = 0;
};
ManagedRun* managedRun = nullptr;

DWORD WINAPI controlHandler(DWORD control, DWORD, void*, void* context) {
  ManagedRun& run = *static_cast<ManagedRun*>(context);
  const auto request = [&](DWORD pending, ControlRequest what) {
    run.status->report(pending);
    run.requests.push(what);
    return static_cast<DWORD>(NO_ERROR);
  };
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return request(SERVICE_STOP_PENDING, ControlRequest::Stop);
    case SERVICE_CONTROL_SHUTDOWN:
      return request(SERVICE_STOP_PENDING, ControlRequest::Shutdown);
    case SERVICE_CONTROL_PAUSE:
      return request(SERVICE_PAUSE_PENDING, ControlRequest::Pause);
    case SERVICE_CONTROL_CONTINUE:
      return request(SERVICE_CONTINUE_PENDING, ControlRequest::Continue);
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// The service thread, started by the dispatcher: the start, the control requests until a stop or
// shutdown, and the end of the cycle. The service is reported stopped only once the main thread
// wrote the last line, so whoever waits for the stop finds the log complete.
void WINAPI serviceMain(DWORD, LPWSTR*) {
  ManagedRun& run = *managedRun;
  const SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerExW(kServiceName, controlHandler, &run);
  if (!handle) {
    reportToJournal("cannot take control requests: " + systemMessage(GetLastError()));
    run.service.stopCycle();
    run.destroyed.get_future().wait();
    ExitProcess(1);
  }
  StatusReporter status(handle);
  run.status = &status;
  status.report(SERVICE_START_PENDING);
  try {
    run.service.ServiceStart();
    status.report(SERVICE_RUNNING);
    std::optional<ControlRequest> last;
    run.service.ServiceExecute([&] {
      // The request before this one has taken effect.
      if (last == ControlRequest::Pause) status.report(SERVICE_PAUSED);
      if (last == ControlRequest::Continue) status.report(SERVICE_RUNNING);
      last = run.requests.pop();
      return *last;
    });
  } catch (const std::exception& e) {
    reportToJournal(e);
    run.exitStatus = 1;
  }
  status.report(SERVICE_STOP_PENDING);
  if (!run.service.stopCycle()) {
    // A call stuck on a database link that stopped answering may never return: the process ends
    // now, without it and without releasing anything it may be using.
    reportToJournal("a call still running when the service stopped was given up on");
    run.service.ServiceDestroy();
    status.endPulse();
    status.report(SERVICE_STOPPED, run.exitStatus);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(run.exitStatus));
  }
  run.destroyed.get_future().wait();
  status.endPulse();
  status.report(SERVICE_STOPPED, run.exitStatus);
}

}  // namespace

int runUnderServiceManager(TSrvVarenta& service, const std::function<void()>& destroy) {
  ManagedRun run(service);
  managedRun = &run;
  DWORD dispatchError = ERROR_SUCCESS;
  std::thread dispatcher([&] {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), serviceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
      dispatchError = GetLastError();
      service.stopCycle();
    }
  });
  service.runCycle();
  destroy();
  run.destroyed.set_value();
  dispatcher.join();
  managedRun = nullptr;
  if (dispatchError == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    std::cerr
        << "prjSrvVarenta: not started by the service control manager; /CONSOLE runs the service in this "
           "console, /INSTALL registers it"
        << std::endl;
    return 1;
  }
  if (dispatchError != ERROR_SUCCESS) {
    reportToJournal("cannot connect to the service control manager: " + systemMessage(dispatchError));
    return 1;
  }
  return run.exitStatus;
}

}  // namespace varenta
