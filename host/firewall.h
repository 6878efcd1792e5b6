#pragma once
// The two steps that open the host firewall when the service begins to run: the store database's
// port (3050, through netsh) and the program itself (the firewall's lists of authorised
// applications in the registry). They belong to Windows hosts; on Linux the host's firewall is the
// administrator's business, and nothing is done.

namespace varenta {

// Runs both steps. A failure is reported to the platform's event log (servicelog/journal.h) and never
// stops the service; the service log is not told, so that it reads the same on every host.
void openHostFirewall();

}  // namespace varenta
