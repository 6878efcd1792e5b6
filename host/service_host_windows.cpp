#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/paths.h"
#include "servicelog/journal.h"
#include "host/service_host.h"
#include "base/win32.h"

namespace varenta {

const char* const kUsage =
    "usage: prjSrvVarenta [/INSTALL | /UNINSTALL] [/SILENT] | /CONSOLE | /VENDA <number> | /MARCAS\n"
    "       | /SITUACAO\n"
    "  (no switch)  run as the SrvVarenta service (the service control manager starts it so)\n"
    "  /CONSOLE     run the service in this console until Ctrl+C or Ctrl+Break\n"
    "  /INSTALL     register the service SrvVarenta (automatic start, restarted after a failure)\n"
    "  /UNINSTALL   stop the service if it runs and remove its registration\n"
    "  /SILENT      print no confirmation\n"
    "  /VENDA n     print the register and the batch text the sale export would post for sale n\n"
    "  /MARCAS      print the integration settings and sync marks (password masked)\n"
    "  /SITUACAO    print what is waiting to be sent and the log's latest errors (status 0 in\n"
    "               step, 3 work waiting, 1 database unreachable)\n"
    "Switches may start with \"/\" or \"-\", in any letter case.\n";

namespace {

constexpr wchar_t kServiceName[] = L"SrvVarenta";
constexpr wchar_t kEventSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\SrvVarenta";
constexpr DWORD kWaitHint = 5000;  // milliseconds, while a state change is pending

// Control requests as they come, from the service control manager or the console, for the service
// thread to take in order.
class RequestQueue {
 public:
  void push(ControlRequest request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    arrived_.notify_one();
  }
  ControlRequest pop() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [&] { return !requests_.empty(); });
    const ControlRequest request = requests_.front();
    requests_.pop_front();
    return request;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<ControlRequest> requests_;
};

// The state the service reports to the service control manager. While a change is pending it
// says every second that it is getting on, so that a stop waiting for a long tick (up to the stop's
// patience) is not taken for a hung service.
class StatusReporter {
 public:
  explicit StatusReporter(SERVICE_STATUS_HANDLE handle) : handle_(handle) {
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
  ~StatusReporter() { endPulse(); }
  StatusReporter(const StatusReporter&) = delete;
  StatusReporter& operator=(const StatusReporter&) = delete;

  void report(DWORD state, int exitStatus = 0) {
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
    // A stop with a status other than 0 is a failure: the manager's failure actions restart the
    // service, as systemd's Restart=on-failure does on Linux.
    status_.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status_.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
    SetServiceStatus(handle_, &status_);
  }

  // Before the last report: once the service is reported stopped the handle is no longer ours.
  void endPulse() {
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
      changed_.notify_all();
    }
    if (pulse_.joinable()) pulse_.join();
  }

 private:
  SERVICE_STATUS_HANDLE handle_;
  std::mutex mutex_;
  std::condition_variable changed_;
  SERVICE_STATUS status_{};
  bool ended_ = false;
  std::thread pulse_;
};

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

int runUnderManager(TSrvVarenta& service, const std::function<void()>& destroy) {
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

// The console's control events come on a thread of their own. A closing console window, a logoff
// or a shutdown ends the process as soon as the handler returns, so for those the handler waits
// (the system allows it a few seconds) until the service has stopped and written its last line.
// Both live as long as the process: an event may still come while the process ends.
RequestQueue consoleRequests;
const HANDLE consoleFinished = CreateEventW(nullptr, TRUE, FALSE, nullptr);

BOOL WINAPI consoleHandler(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      consoleRequests.push(ControlRequest::Stop);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
      consoleRequests.push(ControlRequest::Stop);
      WaitForSingleObject(consoleFinished, 20000);
      return TRUE;
    case CTRL_SHUTDOWN_EVENT:
      consoleRequests.push(ControlRequest::Shutdown);
      WaitForSingleObject(consoleFinished, 20000);
      return TRUE;
    default:
      return FALSE;
  }
}

int runInConsole(TSrvVarenta& service, const std::function<void()>& destroy) {
  SetConsoleCtrlHandler(consoleHandler, TRUE);
  int status = 0;
  std::thread serviceThread([&] {
    try {
      service.ServiceStart();
      service.ServiceExecute([] { return consoleRequests.pop(); });
    } catch (const std::exception& e) {
      reportToJournal(e);
      status = 1;
    }
    if (!service.stopCycle()) {
      reportToJournal("a call still running when the service stopped was given up on");
      service.ServiceDestroy();
      SetEvent(consoleFinished);
      std::cout.flush();
      TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    }
  });
  service.runCycle();
  serviceThread.join();
  destroy();
  SetEvent(consoleFinished);
  return status;
}

std::wstring executableW() {
  return widen(executablePath());
}

// Restarted 30 seconds after a failure, however often, and the count of failures starts over after
// a day without one; a stop with an error status counts as a failure too.
void configure(SC_HANDLE service) {
  std::wstring description =
      L"Keeps the store's Firebird database in step with the Varenta promotions cloud: posts sales, "
      L"cancellations and daily closings, imports the promotions the store accepted and answers the cloud's "
      L"resend requests. Reports in Varenta.log beside the program.";
  SERVICE_DESCRIPTIONW text{description.data()};
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text))
    throwSystemError("Cannot describe the service SrvVarenta");
  SC_ACTION restart[3];
  for (SC_ACTION& action : restart) action = {SC_ACTION_RESTART, 30000};
  SERVICE_FAILURE_ACTIONSW actions{};
  actions.dwResetPeriod = 24 * 60 * 60;
  actions.cActions = 3;
  actions.lpsaActions = restart;
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions))
    throwSystemError("Cannot set the service SrvVarenta to restart after a failure");
  // A service manager that does not know this setting (wine's) restarts the service only when its
  // process ends without saying it stopped.
  SERVICE_FAILURE_ACTIONS_FLAG onErrorStatus{TRUE};
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onErrorStatus) &&
      GetLastError() != ERROR_INVALID_LEVEL)
    throwSystemError("Cannot set the service SrvVarenta to restart after a failure");
}

// The program is the message file of its own event source (servicelog/event_messages.mc).
void registerEventSource(const std::wstring& executable) {
  HKEY created = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) throwSystemError("Cannot register the event source SrvVarenta", status);
  const Key key(created);
  status = RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(executable.c_str()),
                          static_cast<DWORD>((executable.size() + 1) * sizeof(wchar_t)));
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  if (status == ERROR_SUCCESS)
    status = RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                            sizeof types);
  if (status != ERROR_SUCCESS) throwSystemError("Cannot register the event source SrvVarenta", status);
}

int install(TSrvVarenta& service, bool silent) {
  service.ServiceBeforeInstall();
  const ServiceHandle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager) throwSystemError("Cannot open the service control manager");
  const std::wstring executable = executableW();
  // Quoted, so that a path with spaces ("C:\Program Files\...") is not taken for a shorter one.
  const std::wstring command = L"\"" + executable + L"\"";
  // Right after a removal (an upgrade's) the manager may still hold the old registration until the
  // last handle to it is closed: a tool such as the Services console may keep one a moment longer.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  ServiceHandle created;
  for (;;) {
    created.reset(CreateServiceW(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                 command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (created || GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE ||
        std::chrono::steady_clock::now() > deadline)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (!created) throwSystemError("Cannot register the service SrvVarenta");
  try {
    configure(created.get());
    registerEventSource(executable);
  } catch (...) {
    DeleteService(created.get());
    throw;
  }
  service.ServiceAfterInstall();
  if (!silent) std::cout << "Service SrvVarenta installed successfully" << std::endl;
  return 0;
}

SERVICE_STATUS_PROCESS queryStatus(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                            &needed))
    throwSystemError("Cannot read the state of the service SrvVarenta");
  return status;
}

// A running service is stopped first, and its process waited for, so that the program's file can be
// replaced or deleted as soon as the registration is gone. The service's own stop waits for a tick
// for at most 10 seconds and for the database's release as long again.
void stopAndWait(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status = queryStatus(service);
  if (status.dwCurrentState == SERVICE_STOPPED) return;
  const DWORD processId = status.dwProcessId;
  SERVICE_STATUS ignored{};
  if (status.dwCurrentState != SERVICE_STOP_PENDING &&
      !ControlService(service, SERVICE_CONTROL_STOP, &ignored) && GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
    throwSystemError("Cannot stop the service SrvVarenta");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((status = queryStatus(service)).dwCurrentState != SERVICE_STOPPED) {
    if (std::chrono::steady_clock::now() > deadline)
      throw EOSError("The service SrvVarenta did not stop within 60 seconds");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (processId == 0) return;
  const Handle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  if (process) WaitForSingleObject(process.get(), 10000);
}

int uninstall(TSrvVarenta& service, bool silent) {
  service.ServiceBeforeUninstall();
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) throwSystemError("Cannot open the service control manager");
  const ServiceHandle installed(
      OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!installed) {
    if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
      throw EOSError("The service SrvVarenta is not installed");
    throwSystemError("Cannot open the service SrvVarenta");
  }
  stopAndWait(installed.get());
  if (!DeleteService(installed.get())) throwSystemError("Cannot remove the service SrvVarenta");
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
  service.ServiceAfterUninstall();
  if (!silent) std::cout << "Service SrvVarenta uninstalled successfully" << std::endl;
  return 0;
}

}  // namespace

void prepareHostProcess() {}

// The service control manager watches no cycle.
std::function<void()> cycleAlivePing() {
  return {};
}

std::function<void(const std::string&)> statusReport() {
  return {};
}

int runHost(TSrvVarenta& service, const CommandLine& commandLine) {
  int status = 1;
  bool destroyed = false;
  const auto destroy = [&] {
    if (destroyed) return;
    destroyed = true;
    service.ServiceDestroy();
  };
  try {
    service.ServiceCreate();
    switch (commandLine.command) {
      case Command::Run:
        status = runUnderManager(service, destroy);
        break;
      case Command::Console:
        status = runInConsole(service, destroy);
        break;
      case Command::Install:
        status = install(service, commandLine.silent);
        break;
      case Command::Uninstall:
        status = uninstall(service, commandLine.silent);
        break;
    }
  } catch (const std::exception& e) {
    reportToJournal(e);
    status = 1;
  }
  try {
    destroy();
  } catch (const std::exception& e) {
    reportToJournal(e);
    status = 1;
  }
  return status;
}

}  // namespace varenta
