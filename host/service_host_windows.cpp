// The Windows host: what the program asks of the process, and the usage text's lines on running
// and registering the service. The service control manager's run, the console's and the
// registration have a file each (service_dispatcher_windows.cpp, service_console_windows.cpp,
// service_install_windows.cpp).

#include <functional>
#include <string>

#include "host/platform_host.h"
#include "host/service_host.h"

namespace varenta {

const char* const kRunUsage =
    "  (no switch)  run as the SrvVarenta service (the service control manager starts it so)\n"
    "  /CONSOLE     run the service in this console until Ctrl+C or Ctrl+Break\n"
    "  /INSTALL     register the service SrvVarenta (automatic start, restarted after a failure)\n"
    "  /UNINSTALL   stop the service if it runs and remove its registration\n";

void prepareHostProcess() {}

// The service control manager watches no cycle.
std::function<void()> cycleAlivePing() {
  return {};
}

std::function<void(const std::string&)> statusReport() {
  return {};
}

}  // namespace varenta
