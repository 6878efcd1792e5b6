#include "service/probe.h"

#include <algorithm>
#include <charconv>

#include "base/error.h"

namespace varenta {
namespace {

bool isHostNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

ProbeHost parseEntry(std::string_view entry) {
  const auto fail = [&] {
    throw EConvertError("VARENTA_PROBE_HOSTS: \"" + std::string(entry) +
                        "\" is not host[:port] (a host name or IPv4 address, a port from 1 to 65535)");
  };
  ProbeHost host;
  const auto colon = entry.find(':');
  const std::string_view name = entry.substr(0, colon);
  if (name.empty() || !std::all_of(name.begin(), name.end(), isHostNameChar)) fail();
  host.name = std::string(name);
  if (colon != std::string_view::npos) {
    const std::string_view port = entry.substr(colon + 1);
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), host.port);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || host.port < 1 ||
        host.port > 65535)
      fail();
  }
  return host;
}

}  // namespace

int probePort(const ProbeHost& host, bool useHttps) {
  return host.port != 0 ? host.port : (useHttps ? 443 : 80);
}

std::vector<ProbeHost> defaultProbeHosts() {
  return {
      {"www.google.com", 0}, {"www.microsoft.com", 0}, {"www.cloudflare.com", 0}, {"www.wikipedia.org", 0}};
}

std::vector<ProbeHost> parseProbeHosts(std::string_view list) {
  std::vector<ProbeHost> hosts;
  for (;;) {
    const auto comma = list.find(',');
    hosts.push_back(parseEntry(list.substr(0, comma)));
    if (comma == std::string_view::npos) return hosts;
    list.remove_prefix(comma + 1);
  }
}

bool isInternetOk(const std::vector<ProbeHost>& hosts) {
  for (const ProbeHost& host : hosts) {
    if (TestUrl(host, false) || TestUrl(host, true)) return true;
  }
  return false;
}

}  // namespace varenta
