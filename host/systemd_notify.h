#pragma once
// What the service tells systemd through its notification socket (Type=notify): that it is ready,
// paused or stopping, and that its cycle is alive (the watchdog's ping). Without systemd (no
// NOTIFY_SOCKET, as in a terminal) nothing is sent and nothing fails.

#include <chrono>
#include <string>

namespace varenta {

// One or more "NAME=value" lines, such as "READY=1" or "WATCHDOG=1".
void notifySystemd(const std::string& state);

// "WATCHDOG=1": the service is alive.
void pingWatchdog();

// How often the watchdog wants a ping: half of the unit's WatchdogSec=, so that one late ping does
// not end the service; zero when no watchdog watches this process.
std::chrono::milliseconds watchdogPingPeriod();

}  // namespace varenta
