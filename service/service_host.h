#pragma once
// The service host: what the program does with its command line once the module exists. It runs
// the service in the foreground (the cycle on the calling thread, control requests read from
// signals on a service thread) or performs an installation request, and fires the lifecycle
// events in their order. Errors go to standard error, the journal under systemd.

#include "service/command_line.h"
#include "service/srv_varenta.h"

namespace varenta {

// The signals that carry control requests; block them in every thread before calling runHost.
sigset_t controlSignals();

// Fires ServiceCreate first and ServiceDestroy last whatever happens between; returns the
// process's exit status.
int runHost(TSrvVarenta& service, const CommandLine& commandLine);

}  // namespace varenta
