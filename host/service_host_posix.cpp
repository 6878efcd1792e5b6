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
#include "servicelog/journal.h"
#include "servicelog/log_file.h"
#include "host/service_account.h"
#include "host/service_host.h"
#include "host/systemd_notify.h"
#include "host/systemd_unit.h"

namespace varenta {

const char* const kUsage =
    "usage: prjSrvVarenta [/INSTALL | /UNINSTALL] [/SILENT] | /CONSOLE | /VENDA <number> | /MARCAS\n"
    "       | /SITUACAO\n"
    "  (no switch)  run the SrvVarenta service in the foreground until SIGTERM or SIGINT\n"
    "               (SIGUSR1 pauses it, SIGUSR2 continues it)\n"
    "  /CONSOLE     the same (for a command line that also works on Windows)\n"
    "  /INSTALL     write the systemd unit SrvVarenta.service and enable it\n"
    "  /UNINSTALL   disable and remove that unit\n"
    "  /SILENT      print no confirmation\n"
    "  /VENDA n     print the register and the batch text the sale export would post for sale n\n"
    "  /MARCAS      print the integration settings and sync marks (password masked)\n"
    "  /SITUACAO    print what is waiting to be sent and the log's latest errors (status 0 in\n"
    "               step, 3 work waiting, 1 database unreachable)\n"
    "Switches may start with \"/\" or \"-\", in any letter case.\n";

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

int install(TSrvVarenta& service, bool silent) {
  service.ServiceBeforeInstall();
  installUnit(UnitPlace::fromEnvironment(), executablePath());
  service.ServiceAfterInstall();
  if (!silent) std::cout << "Service SrvVarenta installed successfully" << std::endl;
  return 0;
}

int uninstall(TSrvVarenta& service, bool silent) {
  service.ServiceBeforeUninstall();
  uninstallUnit(UnitPlace::fromEnvironment());
  service.ServiceAfterUninstall();
  if (!silent) std::cout << "Service SrvVarenta uninstalled successfully" << std::endl;
  return 0;
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

int runHost(TSrvVarenta& service, const CommandLine& commandLine) {
  int status = 1;
  try {
    service.ServiceCreate();
    switch (commandLine.command) {
      case Command::Run:
      case Command::Console:
        status = runService(service);
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
    service.ServiceDestroy();
  } catch (const std::exception& e) {
    reportToJournal(e);
    status = 1;
  }
  return status;
}

}  // namespace varenta
