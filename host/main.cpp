// prjSrvVarenta: the SrvVarenta service's program.

#include <csignal>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/error.h"
#include "base/paths.h"
#include "host/command_line.h"
#include "host/firewall.h"
#include "host/platform_host.h"
#include "host/service_host.h"
#include "host/watchdog_log.h"
#include "operator/operator_commands.h"
#include "operator/situation.h"
#include "service/options.h"
#include "servicelog/journal.h"
#include "servicelog/log_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
  using namespace varenta;
#ifdef _WIN32
  // The program runs as the local system account: a library it (or a library of Windows, or the
  // Firebird client) loads by name at run time comes from the system directory and the directories
  // added on purpose (the client's own), never from the current directory or PATH, where any user
  // of the machine may put one. The libraries it imports are Windows' own.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
  SetDllDirectoryW(L"");
#endif
#ifdef SIGPIPE
  // A write to a pipe nobody reads any more (standard error of a journal gone, a closed terminal
  // pipe, a socket the peer closed) fails with EPIPE like any failed write, instead of ending the
  // whole process.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  const auto commandLine = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!commandLine) {
    std::cerr << kUsage;
    return 2;
  }
  if (commandLine->inspection == Inspection::Sale)
    return inspectSale(executableDir(), commandLine->venda, inspectionOutput(), inspectionErrors());
  if (commandLine->inspection == Inspection::Marks)
    return printMarks(executableDir(), inspectionOutput(), inspectionErrors());
  if (commandLine->inspection == Inspection::Situation)
    return printSituation(executableDir(), inspectionOutput(), inspectionErrors());
  ServiceOptions options;
  try {
    options = optionsFromEnvironment();
  } catch (const Error& e) {
    std::cerr << "prjSrvVarenta: " << e.what() << std::endl;
    return 2;
  }
  prepareHostProcess();
  options.openHostFirewall = openHostFirewall;
  options.reportStatus = statusReport();

  try {
    LogFile file(systemClock(), executableDir());
    // Made here, on the main thread, which runs the cycle.
    WatchdogLog log(file, cycleAlivePing());
    TSrvVarenta service(log, systemClock(), std::move(options));
    return runHost(service, *commandLine);
  } catch (const std::exception& e) {
    reportToJournal(e);
    return 1;
  }
}
