#include "service/probe.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <memory>

#include "api/read_timeout.h"
#include "base/error.h"

namespace varenta {
namespace {

// Name resolution, connecting, sending and receiving may each take up to this long. libcurl bounds
// resolving and connecting (TLS handshake included) together; a ReadTimeout bounds the silence
// while sending and after the request went out, so an answer must begin within this time of it.
constexpr long kStepTimeoutMs = 2000;
// A host that trickles its answer byte by byte is still no sign of a working link.
constexpr long kAttemptTimeoutMs = 3 * kStepTimeoutMs;  // connect, send, receive

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

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

size_t discard(char*, size_t size, size_t count, void*) {
  return size * count;
}

}  // namespace

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

bool TestUrl(const ProbeHost& host, bool useHttps) {
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return false;
  // Without extra headers: curl would otherwise add "Accept: */*".
  std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Accept:"));
  const int port = host.port != 0 ? host.port : (useHttps ? 443 : 80);
  const std::string url = (useHttps ? "https://" : "http://") + host.name + ":" + std::to_string(port) + "/";
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Durelco");
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // direct, whatever http_proxy and friends say
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, kStepTimeoutMs);
  // A name the resolver never answers fails with the connect time-out; without this, libcurl would
  // still wait for the resolver before returning.
  curl_easy_setopt(c, CURLOPT_QUICK_EXIT, 1L);
  ReadTimeout readTimeout(c, std::chrono::milliseconds(kStepTimeoutMs));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, kAttemptTimeoutMs);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, discard);
  return curl_easy_perform(c) == CURLE_OK;
}

bool isInternetOk(const std::vector<ProbeHost>& hosts) {
  for (const ProbeHost& host : hosts) {
    if (TestUrl(host, false) || TestUrl(host, true)) return true;
  }
  return false;
}

}  // namespace varenta
