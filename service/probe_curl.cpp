// TestUrl over libcurl (Linux).

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>

#include "api/read_timeout.h"
#include "service/probe.h"

namespace varenta {
namespace {

// libcurl bounds resolving and connecting (TLS handshake included) together by the step's time-out;
// a ReadTimeout bounds the silence while sending and after the request went out, so an answer must
// begin within a step's time of it.
constexpr long kStepTimeoutMs = kProbeStepTimeout.count();
// A host that trickles its answer byte by byte is still no sign of a working link.
constexpr long kAttemptTimeoutMs = 3 * kStepTimeoutMs;  // connect, send, receive

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

bool TestUrl(const ProbeHost& host, bool useHttps) {
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return false;
  // Without extra headers: curl would otherwise add "Accept: */*".
  std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Accept:"));
  const int port = probePort(host, useHttps);
  const std::string url = (useHttps ? "https://" : "http://") + host.name + ":" + std::to_string(port) + "/";
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, kProbeUserAgent);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // direct, whatever http_proxy and friends say
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, kStepTimeoutMs);
  // A name the resolver never answers fails with the connect time-out; without this, libcurl would
  // still wait for the resolver before returning.
  curl_easy_setopt(c, CURLOPT_QUICK_EXIT, 1L);
  ReadTimeout readTimeout(c, kProbeStepTimeout);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, kAttemptTimeoutMs);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, discard);
  return curl_easy_perform(c) == CURLE_OK;
}

}  // namespace varenta
