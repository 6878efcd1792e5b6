#pragma once
// What each platform's host gives the one runHost (service_host.cpp): how the service runs there,
// and how it is registered with the service manager and removed from it. Linux:
// service_host_posix.cpp and systemd_unit.h; Windows: service_dispatcher_windows.cpp,
// service_console_windows.cpp, service_install_windows.cpp.

#include <functional>
#include <ostream>

#include "service/srv_varenta.h"

namespace varenta {

// The lines of the usage text on running the service and registering it, which differ by platform.
extern const char* const kRunUsage;

// Run the service until it stops, as the service manager starts it and in the foreground for an
// operator, and return the process's exit status. `destroy` fires ServiceDestroy (once, whoever
// calls it again): a host that must report the service stopped only after its last line calls it
// first, and runHost calls it after any host.
int runUnderServiceManager(TSrvVarenta& service, const std::function<void()>& destroy);
int runInForeground(TSrvVarenta& service, const std::function<void()>& destroy);

// Where the inspections (/VENDA, /MARCAS, /SITUACAO) write their text (UTF-8 inside): standard
// output and standard error as they are, except a Windows console, which is given UTF-16 so that the
// text shows as written whatever its code page.
std::ostream& inspectionOutput();
std::ostream& inspectionErrors();

// Between ServiceBeforeInstall and ServiceAfterInstall (ServiceBeforeUninstall and
// ServiceAfterUninstall): the platform's registration; throws with the reason it failed.
void registerService();
void unregisterService();

}  // namespace varenta
