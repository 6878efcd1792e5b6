#include "api/http_exchange.h"

#include <utility>

#include "api/transport_failure.h"
#include "base/text.h"

namespace varenta {

bool hasHost(const std::string& url) {
  const std::size_t scheme = url.find("://");
  return scheme != std::string::npos && scheme + 3 < url.size() &&
         url.find_first_of("/?#", scheme + 3) != scheme + 3;
}

bool isRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Hop redirected(const Hop& from, long status, const std::string& location, const Address& to,
               const Address& origin) {
  const std::string answer = std::to_string(status) + " to " + location;
  if (to.scheme != "http" && to.scheme != "https") {
    throw transportFailure(kErrorRedirectFailed, true,
                           answer + ": no redirect is followed to \"" + to.scheme + ":\"");
  }
  if (origin.scheme == "https" && to.scheme != "https") {
    throw transportFailure(kErrorRedirectFailed, true,
                           answer + ": a call over HTTPS follows no redirect to http://" + to.host);
  }
  // A post stays a post: the answer to a GET in its place would be read as the cloud's verdict on
  // the document. A 303 asks for exactly that GET, so a post goes no further.
  if (from.body != nullptr && status == 303) {
    throw transportFailure(kErrorRedirectFailed, true,
                           answer + ": a post is not followed by a GET (303 See Other)");
  }
  return {location, from.body, to.host == origin.host};
}

std::vector<std::string> headersOf(const HttpRequest& request, const Hop& hop) {
  std::vector<std::string> headers;
  if (hop.sameHost) headers = request.hostHeaders;
  for (const std::string& header : request.headers) {
    // Without its body a GET has no content type.
    if (hop.body == nullptr && asciiLower(header).starts_with("content-type:")) continue;
    headers.push_back(header);
  }
  return headers;
}

HttpResponse runExchange(const HttpRequest& request, std::chrono::steady_clock::time_point deadline,
                         ExchangeHops& hops) {
  const Address origin = hops.addressOf(request.url);
  Hop hop{request.url, request.body ? &*request.body : nullptr, true};
  for (int redirects = 0;; ++redirects) {
    if (redirects > 0 && std::chrono::steady_clock::now() >= deadline)
      throw transportFailure(kErrorTimeout, true);
    HopAnswer answer = hops.send(hop);
    if (!isRedirect(answer.response.status)) return std::move(answer.response);
    // A redirect that leads nowhere is no answer either: a post's document stays unjudged.
    if (!answer.location && hop.body != nullptr)
      throw transportFailure(kErrorRedirectFailed, true,
                             std::to_string(answer.response.status) + " without a Location to a post");
    if (!answer.location) return std::move(answer.response);
    if (redirects == kMaxRedirects) throw transportFailure(kErrorRedirectFailed, true);
    hop = redirected(hop, answer.response.status, *answer.location, hops.addressOf(*answer.location), origin);
  }
}

}  // namespace varenta
