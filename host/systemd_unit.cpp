#include "host/systemd_unit.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/error.h"

namespace varenta {
namespace {

constexpr const char* kUnitName = "SrvVarenta.service";

bool systemdRuns() {
  return std::filesystem::is_directory("/run/systemd/system");
}

// Double quotes keep spaces in a path, "%%" stands for "%" (systemd expands "%" specifiers). A "$"
// stays as it is: systemd substitutes variables in a command's arguments, never in its path, nor in
// the paths of other keys.
std::string quotedForUnit(const std::string& path) {
  if (path.find_first_of("\n\r") != std::string::npos)
    throw EInOutError("The executable's path cannot be written into a unit file: " + path);
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '\\' || c == '"') quoted += '\\';
    if (c == '%') quoted += c;
    quoted += c;
  }
  return quoted + "\"";
}

// The service's own account gets what the service uses and no more: its directory, where the log
// goes, is the one place it may write; it keeps the network (the store database, the probe and the
// cloud, over IPv4 or IPv6) and local sockets (systemd's notifications and watchdog, and systemctl,
// which tells a stop from a shutdown); anything else a system service seldom needs is taken away.
// A forbidden system call fails with an error instead of killing the process, so a library that
// tries one is told no and the service goes on.
std::string confinement(const std::string& executable, const ServiceAccount& account) {
  const std::string directory = std::filesystem::path(executable).parent_path().string();
  return "User=" + account.name +
         "\n"
         "UMask=0027\n"
         "NoNewPrivileges=yes\n"
         "CapabilityBoundingSet=\n"
         "ProtectSystem=strict\n"
         "ReadWritePaths=" +
         quotedForUnit(directory) +
         "\n"
         "ProtectHome=yes\n"
         "PrivateTmp=yes\n"
         "PrivateDevices=yes\n"
         "PrivateMounts=yes\n"
         "ProtectKernelTunables=yes\n"
         "ProtectKernelModules=yes\n"
         "ProtectKernelLogs=yes\n"
         "ProtectControlGroups=yes\n"
         "ProtectClock=yes\n"
         "ProtectHostname=yes\n"
         "ProtectProc=invisible\n"
         "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n"
         "RestrictNamespaces=yes\n"
         "RestrictRealtime=yes\n"
         "RestrictSUIDSGID=yes\n"
         "LockPersonality=yes\n"
         "MemoryDenyWriteExecute=yes\n"
         "RemoveIPC=yes\n"
         "SystemCallArchitectures=native\n"
         "SystemCallFilter=@system-service\n"
         "SystemCallFilter=~@privileged @resources\n"
         "SystemCallErrorNumber=EPERM\n";
}

void runSystemctl(const std::string& arguments) {
  const int status = std::system(("systemctl " + arguments).c_str());
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw EInOutError("systemctl " + arguments + " failed");
}

void writeFile(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw EInOutError(std::strerror(errno));
  const ssize_t written = write(fd, text.data(), text.size());
  if (written != static_cast<ssize_t>(text.size())) {
    const int error = written < 0 ? errno : ENOSPC;
    close(fd);
    throw EInOutError(std::strerror(error));
  }
  if (close(fd) != 0) throw EInOutError(std::strerror(errno));
}

}  // namespace

// Type=notify: systemd counts the service started once it says it is ready, and restarts it when
// its cycle stops pinging the watchdog. The cycle pings at the start and end of every tick, for
// every line it logs and while it waits, so only one call can run for long without a ping: the
// probe takes under a minute, a cloud call at most its connect and response time-outs (30 s each),
// a database call normally seconds; ten minutes leave a wide margin over all of them, and a call
// stuck beyond that (a database link that stopped answering without a reset) ends in a restart.
// The local Firebird server, where there is one, is up first; After= a unit that does not exist
// orders nothing.
std::string unitText(const std::string& executable, const std::optional<ServiceAccount>& account) {
  return "[Unit]\n"
         "Description=SrvVarenta: keeps the store's Firebird database in step with the Varenta promotions "
         "cloud\n"
         "Wants=network-online.target\n"
         "After=network-online.target firebird3.0.service\n"
         "\n"
         "[Service]\n"
         "Type=notify\n"
         "ExecStart=" +
         quotedForUnit(executable) +
         "\n"
         "Restart=on-failure\n"
         "RestartSec=30\n"
         "WatchdogSec=10min\n" +
         (account ? confinement(executable, *account) : std::string()) +
         "\n"
         "[Install]\n"
         "WantedBy=multi-user.target\n";
}

UnitPlace UnitPlace::fromEnvironment() {
  const char* dir = std::getenv("VARENTA_UNIT_DIR");
  if (dir && *dir) return {std::filesystem::path(dir).string() + "/", false};
  return {"/etc/systemd/system/", true};
}

void installUnit(const UnitPlace& place, const std::string& executable) {
  const std::string directory = std::filesystem::path(executable).parent_path().string();
  writeFile(place.directory + kUnitName, unitText(executable, serviceAccountFor(directory)));
  if (place.tellSystemd && systemdRuns()) {
    runSystemctl("daemon-reload");
    runSystemctl(std::string("enable ") + kUnitName);
  }
}

void uninstallUnit(const UnitPlace& place) {
  const std::string path = place.directory + kUnitName;
  if (!std::filesystem::exists(path))
    throw EInOutError("The service is not installed: " + path + " does not exist");
  const bool tell = place.tellSystemd && systemdRuns();
  if (tell) runSystemctl(std::string("disable ") + kUnitName);
  if (unlink(path.c_str()) != 0) throw EInOutError(std::strerror(errno));
  if (tell) runSystemctl("daemon-reload");
}

bool systemIsGoingDown() {
  if (!systemdRuns()) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> out(popen("systemctl is-system-running 2>/dev/null", "r"), pclose);
  if (!out) return false;
  char state[64] = {};
  if (!std::fgets(state, sizeof state, out.get())) return false;
  return std::strncmp(state, "stopping", 8) == 0;
}

}  // namespace varenta
