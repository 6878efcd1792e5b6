// Registering the service with the service control manager and removing it (/INSTALL, /UNINSTALL),
// with its event source (Windows).

#include <chrono>
#include <string>
#include <thread>

#include "base/paths.h"
#include "host/platform_host.h"
#include "host/service_manager_windows.h"

namespace varenta {
namespace {

constexpr wchar_t kEventSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\SrvVarenta";

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

}  // namespace

void registerService() {
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
}

namespace {

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

}  // namespace

void unregisterService() {
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
}

}  // namespace varenta
