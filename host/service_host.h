#pragma once
// The service host: what the program does with its command line once the module exists. It runs
// the service under the platform's service manager (systemd on Linux, the process in the
// foreground with control requests read from signals; the service control manager on Windows), or
// in the foreground for an operator, or performs an installation request, and fires the lifecycle
// events in their order. The cycle runs on the calling thread, control requests on a service
// thread. What the log cannot take goes to the platform's event log (servicelog/journal.h).

#include <functional>
#include <string>

#include "host/command_line.h"
#include "service/srv_varenta.h"

namespace varenta {

// What the host needs of the whole process, called before any thread exists (on Linux the control
// signals are blocked in every thread, so that only the service thread's sigwait sees them, and a
// missing log that root would create is made the service account's; see service_account.h).
void prepareHostProcess();

// Called by the cycle thread for every line it logs, to show the platform's service manager that the
// cycle is getting on with its work: systemd's watchdog ping when a watchdog watches this process.
// Empty when nothing watches.
std::function<void()> cycleAlivePing();

// Shows the service's status line where the platform's service manager shows one: systemd's
// STATUS= on Linux. Empty where there is none (the Windows service control manager keeps no text).
std::function<void(const std::string&)> statusReport();

// Fires ServiceCreate first and ServiceDestroy last whatever happens between; returns the
// process's exit status.
int runHost(TSrvVarenta& service, const CommandLine& commandLine);

}  // namespace varenta
