#pragma once
// ServiceOptions: the two switches that let tests and the demo run the real service in seconds.
//   VARENTA_TIME_SCALE   a positive decimal up to 1000000 (default 1) multiplying every wait of the
//                        service: the first tick, every timer period and both pauses. Dates compared
//                        with sync marks are never scaled.
//   VARENTA_PROBE_HOSTS  "host[:port],..." in place of the compiled-in probe hosts.
// Nothing else in the service's behaviour depends on the environment.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/paths.h"
#include "service/probe.h"

namespace varenta {

struct ServiceOptions {
  double timeScale = 1.0;
  std::vector<ProbeHost> probeHosts = defaultProbeHosts();
  // Where Tolvane.ini and the default database file are: beside the executable (tests elsewhere).
  std::string programDir = executableDir();

  // How long a stop waits for a running tick before it gives up on it and the process ends without
  // it. Not scaled: what a tick waits for (a database or cloud call) takes as long as it takes.
  std::chrono::milliseconds stopPatience{10000};

  // The firewall steps when the service begins to run; the program gives the platform's own
  // (host/firewall.h), tests none.
  std::function<void()> openHostFirewall;

  // Where the service shows its status line (operator/status_line.h): the program gives the service
  // manager's, where it has one; tests a recorder or none.
  std::function<void(const std::string&)> reportStatus;

  // A wait of the service as it really lasts, to the nearest millisecond.
  std::chrono::milliseconds scaled(std::chrono::milliseconds wait) const;
};

// Throws EConvertError when a switch is set to something it cannot mean.
ServiceOptions optionsFromEnvironment();

// "0.01", "2", "1.5"; throws EConvertError for anything else, zero and more than 1000000 included.
double parseTimeScale(std::string_view text);

}  // namespace varenta
