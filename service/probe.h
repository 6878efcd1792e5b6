#pragma once
// The connectivity probe: one HEAD "/" per attempt to well-known public hosts, plain HTTP first and
// then HTTPS, answering true as soon as any host answers anything at all (403 and redirects
// included). It accepts any certificate: the question is only whether the link carries traffic, not
// whom we reach. On Windows it goes through the machine's WinHTTP proxy when one is set, as the
// cloud calls do (a store behind a proxy reaches nothing without it); on Linux it uses none.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace varenta {

struct ProbeHost {
  std::string name;
  int port = 0;  // 0: 80 for HTTP, 443 for HTTPS; otherwise this port for both
};

// What every attempt shares, whatever the platform's HTTP stack: name resolution, connecting,
// sending and receiving may each take up to kProbeStepTimeout, the request names this user agent,
// and a host without a port of its own is asked on 80 for HTTP and 443 for HTTPS.
inline constexpr std::chrono::milliseconds kProbeStepTimeout{2000};
inline constexpr char kProbeUserAgent[] = "Durelco";
int probePort(const ProbeHost& host, bool useHttps);

// The four hosts compiled into the program.
std::vector<ProbeHost> defaultProbeHosts();

// Reads "host[:port],host[:port],..."; throws EConvertError naming the bad entry.
std::vector<ProbeHost> parseProbeHosts(std::string_view list);

// One HEAD request; true when any HTTP response came back. Never throws. The platform's part
// (probe_curl.cpp, probe_winhttp.cpp).
bool TestUrl(const ProbeHost& host, bool useHttps);

// Each host over HTTP, then over HTTPS, in order, until one answers.
bool isInternetOk(const std::vector<ProbeHost>& hosts);

}  // namespace varenta
