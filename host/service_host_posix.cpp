#include <curl/curl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <string>
#include <thread>

#include "base/paths.h"
#include "host/platform_host.h"
#include "host/service_account.h"
#include "host/service_host.h"
#include "host/systemd_notify.h"
#include "host/systemd_unit.h"
#include "servicelog/journal.h"
#include "servicelog/log_file.h"

namespace varenta {

const char* const kRunUsage =
    "  (no switch)  run the SrvVarenta service in the foreground until SIGTERM or SIGINT\n"
    "               (SIGUSR1 pauses it, SIGUSR2 continues it)\n"
    "  /CONSOLE     the same (for a command line that also works on Windows)\n"
    "  /INSTALL     write the systemd unit SrvVarenta.service and enable it\n"
    "  /UNINSTALL   disable and remove that unit\n";

namespace {

constexpr const char* kRunningStatus = "STATUS=Serviço em execução";

// The signals that carry control requests.
sigset_t controlSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) sigaddset(&signals, signal);
  return signals;
}

ControlRequest nextControlRequest(const sigset_t& signals) {
  for (;;) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) continue;
    switch (signal) {
      case SIGUSR1:
        return ControlRequest::Pause;
      case SIGUSR2:
        return ControlRequest::Continue;
      case SIGTERM:
      case SIGINT:
        notifySystemd("STOPPING=1");
        return systemIsGoingDown() ? ControlRequest::Shutdown : ControlRequest::Stop;
    }
  }
}

int runService(TSrvVarenta& service) {
  int status = 0;
  std::thread serviceThread([&] {
    const sigset_t signals = controlSignals();
    try {
      service.ServiceStart();
      notifySystemd(std::string("READY=1\n") + kRunningStatus);
      service.ServiceExecute([&] { return nextControlRequest(signals); });
    } catch (const std::exception& e) {
      reportToJournal(e);
      status = 1;
    }
    if (!service.stopCycle()) {
      // A call stuck on a database link that stopped answering may never return: the process ends
      // now, without it and without releasing anything it may be using.
      reportToJournal("a call still running when the service stopped was given up on");
      service.ServiceDestroy();
      std::_Exit(status);
    }
  });
  const std::chrono::milliseconds ping = watchdogPingPeriod();
  service.runCycle({ping.count() > 0 ? pingWatchdog : std::function<void()>(), ping});
  serviceThread.join();
  return status;
}

}  // namespace

void prepareHostProcess() {
  const sigset_t signals = controlSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  if (geteuid() == 0) {
    // A technician's command run as root beside a service that runs as its own account.
    try {
      const std::string directory = executableDir();
      if (const auto account = serviceAccountFor(directory))
        createLogForAccount(LogFile(systemClock(), directory).path(), *account);
    } catch (const std::exception&) {
      // The directory cannot be found: making the log says so, where it is reported.
    }
  }
}

std::function<void()> cycleAlivePing() {
  return watchdogPingPeriod().count() > 0 ? pingWatchdog : std::function<void()>();
}

std::function<void(const std::string&)> statusReport() {
  return [](const std::string& text) { notifySystemd("STATUS=" + text); };
}

int runUnderServiceManager(TSrvVarenta& service, const std::function<void()>&) {
  return runService(service);
}

int runInForeground(TSrvVarenta& service, const std::function<void()>&) {
  return runService(service);
}

std::ostream& inspectionOutput() {
  return std::cout;
}

std::ostream& inspectionErrors() {
  return std::cerr;
}

void registerService() {
  installUnit(UnitPlace::fromEnvironment(), executablePath());
}

void unregisterService() {
  uninstallUnit(UnitPlace::fromEnvironment());
}

}  // namespace varenta
