#include "host/service_host.h"

#include <exception>
#include <iostream>
#include <string>

#include "host/platform_host.h"
#include "servicelog/journal.h"

namespace varenta {

const std::string kUsage =
    std::string(
        "usage: prjSrvVarenta [/INSTALL | /UNINSTALL] [/SILENT] | /CONSOLE | /VENDA <number> "
        "| /MARCAS\n"
        "       | /SITUACAO\n") +
    kRunUsage +
    "  /SILENT      print no confirmation\n"
    "  /VENDA n     print the register and the batch text the sale export would post for "
    "sale n\n"
    "  /MARCAS      print the integration settings and sync marks (password masked)\n"
    "  /SITUACAO    print what is waiting to be sent and the log's latest errors (status 0 "
    "in\n"
    "               step, 3 work waiting, 1 database unreachable)\n"
    "Switches may start with \"/\" or \"-\", in any letter case.\n";

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
        status = runUnderServiceManager(service, destroy);
        break;
      case Command::Console:
        status = runInForeground(service, destroy);
        break;
      case Command::Install:
        service.ServiceBeforeInstall();
        registerService();
        service.ServiceAfterInstall();
        if (!commandLine.silent) std::cout << "Service SrvVarenta installed successfully" << std::endl;
        status = 0;
        break;
      case Command::Uninstall:
        service.ServiceBeforeUninstall();
        unregisterService();
        service.ServiceAfterUninstall();
        if (!commandLine.silent) std::cout << "Service SrvVarenta uninstalled successfully" << std::endl;
        status = 0;
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
