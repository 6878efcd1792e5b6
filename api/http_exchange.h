#pragma once
// What both platforms' transports share about one exchange: which targets they take, which
// redirects they follow and what each request of the exchange carries. Only the transports use it.
// The exchange itself (the first request, then the redirects its answers ask for) is run here, once
// for both; a transport gives only the sending of one request and its platform's reading of a URL.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "api/http_transport.h"

namespace varenta {

constexpr int kMaxRedirects = 10;

// A URL that names a host. A URL library would take "http:///api-minoristas/..." (what an empty
// base URL gives) for a URL whose host is "api-minoristas" and report a name that does not
// resolve; the cycle would then wait for the network instead of reporting a setting that is wrong.
bool hasHost(const std::string& url);

bool isRedirect(long status);

// Where a URL leads: its scheme and host, both in lower case; both empty when the URL cannot be
// read.
struct Address {
  std::string scheme;
  std::string host;
};

// One request of the exchange: the first, or one a redirect asked for.
struct Hop {
  std::string url;
  const std::string* body;  // a POST of these bytes, or a GET
  bool sameHost;            // the host of the first request: its host headers go along
};

// The request a redirect answer (`status`, with its absolute target `location` leading to `to`)
// asks for after `from`, checked against `origin`, where the exchange began: the method and body go
// on (a post is posted again with its body to the new address, a GET stays a GET), and the host
// headers go only to the first request's host. Every rule of a redirect is here. Throws ERestError
// (12156, the redirection failed, its detail naming the status and the Location) for a target
// that is not http or https, for one in plain http after an exchange that began over HTTPS, and for
// a 303 to a post, which would turn it into a GET whose answer is no verdict on the document.
Hop redirected(const Hop& from, long status, const std::string& location, const Address& to,
               const Address& origin);

// The header lines of `hop`: the host headers on the first request's host only, and no content
// type on a request without a body.
std::vector<std::string> headersOf(const HttpRequest& request, const Hop& hop);

// The answer to one request of the exchange, and where it points when it has a Location (made
// absolute against the request's URL).
struct HopAnswer {
  HttpResponse response;
  std::optional<std::string> location;
};

// The platform's part of an exchange (http_transport_curl.cpp, http_transport_winhttp.cpp).
class ExchangeHops {
 public:
  virtual ~ExchangeHops() = default;
  // Sends one request and reads its answer, whatever its status; throws ERestError for a
  // transport failure.
  virtual HopAnswer send(const Hop& hop) = 0;
  // Where a URL leads, as the platform's URL reader reads it.
  virtual Address addressOf(const std::string& url) const = 0;
};

// The exchange of `request`: its first request, then each redirect the answers ask for (ten at
// most, by redirected()), until an answer that is no redirect, or a redirect without a Location to
// a GET, which is the final response (to a post, one fails with (12156)). No redirect starts once `deadline`
// has passed: (12002), a time-out; an eleventh redirect fails with (12156).
HttpResponse runExchange(const HttpRequest& request, std::chrono::steady_clock::time_point deadline,
                         ExchangeHops& hops);

}  // namespace varenta
