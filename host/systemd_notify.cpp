#include "host/systemd_notify.h"

#include <systemd/sd-daemon.h>

namespace varenta {

void notifySystemd(const std::string& state) {
  sd_notify(0, state.c_str());
}

void pingWatchdog() {
  sd_notify(0, "WATCHDOG=1");
}

std::chrono::milliseconds watchdogPingPeriod() {
  std::uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) <= 0) return std::chrono::milliseconds(0);
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::microseconds(usec / 2));
}

}  // namespace varenta
