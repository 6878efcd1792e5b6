// The service run in a console by an operator (/CONSOLE), stopped by Ctrl+C or Ctrl+Break (Windows).

#include <exception>
#include <functional>
#include <iostream>
#include <thread>

#include "base/win32.h"
#include "host/platform_host.h"
#include "host/request_queue.h"
#include "servicelog/journal.h"

namespace varenta {
namespace {

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

}  // namespace

int runInForeground(TSrvVarenta& service, const std::function<void()>& destroy) {
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

}  // namespace varenta
