#pragma once
// The service's registration with systemd: the unit SrvVarenta.service (automatic start once the
// network and a local Firebird server are up, readiness told by the service, a watchdog, restart on
// failure, the executable's full path), written into or removed from a unit directory. Where the
// Debian package gave the program's directory to the service's own account, the unit runs the
// service as that account, confined to what it needs.

#include <optional>
#include <string>

#include "host/service_account.h"

namespace varenta {

// The unit file's text for the executable at `executable` (a full path), run as `account` when
// there is one (which may then write only in the executable's directory), otherwise as root.
std::string unitText(const std::string& executable, const std::optional<ServiceAccount>& account);

// Where the unit goes: /etc/systemd/system, or VARENTA_UNIT_DIR when tests set it. With
// VARENTA_UNIT_DIR systemd is left alone: a unit outside its search path cannot be enabled.
struct UnitPlace {
  std::string directory;  // ends with "/"
  bool tellSystemd = false;
  static UnitPlace fromEnvironment();
};

// Writes the unit (for the service's account when the executable's directory is given to it), then
// reloads systemd and enables the unit when systemd runs and is to be told.
// Throws EInOutError with the system's text.
void installUnit(const UnitPlace& place, const std::string& executable);

// Disables the unit (same condition), removes the file and reloads systemd. Throws EInOutError,
// also when no unit is installed.
void uninstallUnit(const UnitPlace& place);

// True when systemd manages this machine and is taking it down (a stop is then a shutdown).
bool systemIsGoingDown();

}  // namespace varenta
